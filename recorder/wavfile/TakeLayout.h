// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Where the take file's header keeps what changes as a take grows: the layout the take file
// writes, its recovery reads and repairs, and a continued take repeats in each of its parts. Plain
// C++, so the header parser can be fuzzed alone.

#include <cstddef>
#include <cstdint>

namespace basSoundRec_2 {

// Offsets of the header fields the finalisation fills in.
inline constexpr std::uint64_t kRiffSizeOffset = 4;
inline constexpr std::uint64_t kDataSizeOffset = 42;
// The audio starts here: RIFF header, an 18-byte fmt chunk, the data chunk's header.
inline constexpr std::uint64_t kDataOffset = 46;
// No RIFF size may pass this; a take moves on to its next part just before it would.
inline constexpr std::uint64_t kLargestRiffSize = 0xFFFFFFFFull;
// The RIFF size of a take holding `dataBytes` of audio (an even count: whole 16-bit frames).
constexpr std::uint64_t riffSizeFor(std::uint64_t dataBytes) {
    return (kDataOffset - 8) + dataBytes;
}

// A size field as the header holds it, little-endian.
inline void putLE32(std::byte* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
    }
}

}  // namespace basSoundRec_2
