// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The mixer service on a PulseAudio (or PipeWire-Pulse) sound server. The server is mixer 0; the
// wave-in destination line exists while the server has a default source, and its one control is
// the volume of the source the recorder uses (the connection's chosen source, or whichever source
// is the default when a value is sent): a value v sets every channel to v / 65535 of the source's
// normal volume. Setting a value never waits on the server: it returns once the value is on its
// way, and values given while one is on its way leave only the newest to follow it. From the first
// open on, the control's value follows that source's volume (the loudest channel) from the server's
// change events, and a mixer opened with a window tells it of changes made elsewhere. Never starts
// a server: without one the open fails with MMSYSERR_NODRIVER.

#include "platform/mixer/Mixer.h"

#include <QString>

#include <memory>

namespace platform::pulse {
class Connection;
}

namespace platform::mixer {

inline constexpr std::uint32_t kWaveInLineId = 0xFFFF0000;
inline constexpr std::uint32_t kWaveInVolumeControlId = 1;

std::unique_ptr<Mixer> makePulseAudioMixer(std::shared_ptr<pulse::Connection> connection);
// On a connection of its own; `applicationName` is how the server lists it.
std::unique_ptr<Mixer> makePulseAudioMixer(const QString& applicationName);

}  // namespace platform::mixer
