// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Where the take file's header keeps what changes as a take grows: the layout the take file
// writes, its recovery reads and repairs, and a continued take repeats in each of its parts. Plain
// C++, so the header parser can be fuzzed alone.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace basSoundRec_2 {

// The rates a take is recorded at: the QUALIDADE frame's three buttons, then the two archive rates
// only its menu offers.
inline constexpr std::array<std::uint32_t, 5> kTakeRates{11025, 22050, 44100, 48000, 96000};
// How many of kTakeRates, from the first, have a button of their own.
inline constexpr std::size_t kRatesWithButtons = 3;
// Bits per sample of a take: 16 by default, 24 for archiving.
inline constexpr std::array<std::uint16_t, 2> kTakeBits{16, 24};

constexpr bool isTakeRate(std::uint32_t rate) {
    return std::find(kTakeRates.begin(), kTakeRates.end(), rate) != kTakeRates.end();
}
constexpr bool isTakeBits(std::uint16_t bits) {
    return std::find(kTakeBits.begin(), kTakeBits.end(), bits) != kTakeBits.end();
}
// One frame's bytes: every channel's sample, packed (3 bytes for a 24-bit sample).
constexpr std::uint16_t takeBlockAlign(std::uint16_t channels, std::uint16_t bits) {
    return static_cast<std::uint16_t>(channels * (bits / 8));
}
// What a take fills the disk with each second.
constexpr std::uint32_t takeBytesPerSecond(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits) {
    return rate * takeBlockAlign(channels, bits);
}

// Offsets of the header fields the finalisation fills in.
inline constexpr std::uint64_t kRiffSizeOffset = 4;
inline constexpr std::uint64_t kDataSizeOffset = 42;
// The audio starts here: RIFF header, an 18-byte fmt chunk, the data chunk's header.
inline constexpr std::uint64_t kDataOffset = 46;
// No RIFF size may pass this; a take moves on to its next part just before it would.
inline constexpr std::uint64_t kLargestRiffSize = 0xFFFFFFFFull;
// The RIFF size of a take holding `dataBytes` of audio. An odd count (24-bit mono, an odd number of
// frames) is followed by the pad byte RIFF asks for, and the RIFF chunk holds it.
constexpr std::uint64_t riffSizeFor(std::uint64_t dataBytes) {
    return (kDataOffset - 8) + dataBytes + (dataBytes & 1);
}

// A size field as the header holds it, little-endian.
inline void putLE32(std::byte* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
    }
}

}  // namespace basSoundRec_2
