// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The wave-input service on a PulseAudio (or PipeWire-Pulse) sound server: each device is a record
// stream in the take's format on the source chosen on the connection when it opens (the server's
// default source when none is). A chosen source that is missing fails the open with
// MMSYSERR_BADDEVICEID and is never replaced by another; one that goes away during a take ends it
// as a lost server does. It never starts a server itself.

#include "platform/wavein/WaveIn.h"

#include <QString>

#include <chrono>
#include <memory>

namespace platform::pulse {
class Connection;
}

namespace platform::wavein {

// `applicationName` is how the server lists the recorder. Opening fails with MMSYSERR_NODRIVER
// when no server answers; errorText then carries the server's reason. Each device keeps up to
// `backlog` of audio while no capture buffer is queued, so a window stalled that long loses nothing;
// beyond it the audio is lost and counted (WaveInDevice::overruns).
std::unique_ptr<WaveIn> makePulseAudioWaveIn(std::shared_ptr<pulse::Connection> connection,
                                             std::chrono::milliseconds backlog = std::chrono::seconds(20));
// On a connection of its own.
std::unique_ptr<WaveIn> makePulseAudioWaveIn(const QString& applicationName,
                                             std::chrono::milliseconds backlog = std::chrono::seconds(20));

}  // namespace platform::wavein
