// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The program's one connection to the sound server. Capture, the mixer, the level meters and the
// list of sources all talk to the server through it: one libpulse context on one main loop thread.
// Nothing here names a libpulse type; the backends that use the connection see its inside.

#include <QString>

#include <memory>

namespace platform::pulse {

class Connection;

// Starts connecting at once, in the background, and reconnects by itself within about a second
// whenever the server goes away and comes back. Never starts a server.
std::shared_ptr<Connection> connectToSoundServer(const QString& applicationName);

}  // namespace platform::pulse
