// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The wave-input service on a PulseAudio (or PipeWire-Pulse) sound server: each device is a record
// stream on the server's default source in the take's format. It never starts a server itself.

#include "platform/wavein/WaveIn.h"

#include <QString>

#include <chrono>
#include <memory>

namespace platform::wavein {

// `applicationName` is how the server lists the recorder. Opening fails with MMSYSERR_NODRIVER
// when no server answers; errorText then carries the server's reason. Each device keeps up to
// `backlog` of audio while no capture buffer is queued, so a window stalled that long loses nothing;
// beyond it the audio is lost and counted (WaveInDevice::overruns).
std::unique_ptr<WaveIn> makePulseAudioWaveIn(const QString& applicationName,
                                             std::chrono::milliseconds backlog = std::chrono::seconds(20));

}  // namespace platform::wavein
