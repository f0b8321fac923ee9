// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The mixer service on a PulseAudio (or PipeWire-Pulse) sound server. The server is mixer 0; its
// default source is the wave-in destination line, whose one control is the source's volume: a
// value v sets every channel to v / 65535 of the source's normal volume. The line and its control
// stand for whichever source is the default when a call is made, so a level set after the user
// changed the default source reaches the new one. Never starts a server: without one the open
// fails with MMSYSERR_NODRIVER.

#include "platform/mixer/Mixer.h"

#include <QString>

#include <memory>

namespace platform::mixer {

inline constexpr std::uint32_t kWaveInLineId = 0xFFFF0000;
inline constexpr std::uint32_t kWaveInVolumeControlId = 1;

// `applicationName` is how the server lists the connection.
std::unique_ptr<Mixer> makePulseAudioMixer(const QString& applicationName);

}  // namespace platform::mixer
