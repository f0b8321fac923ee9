// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A take's format of 16-bit PCM, with the extra-size field the take file carries.

#include "platform/wavein/WaveIn.h"

#include <cstdint>

namespace testsupport {

inline platform::wavein::WAVEFORMATEX pcm16(std::uint32_t rate = 44100, std::uint16_t channels = 2) {
    platform::wavein::WAVEFORMATEX f;
    f.wFormatTag = platform::wavein::WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.nBlockAlign = static_cast<std::uint16_t>(channels * 2);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    f.wBitsPerSample = 16;
    f.cbSize = 18;
    return f;
}

}  // namespace testsupport
