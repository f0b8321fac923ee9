// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// How a sound server may hand over 24-bit samples, and their packing into the take's 3-byte
// little-endian samples. Plain C++, so the packing is tested without a server.

#include <cstddef>
#include <cstdint>

namespace platform::wavein {

enum class ServerSamples {
    Packed24,  // 3 bytes, little-endian: already the take's layout
    Low24Of32,  // 4 bytes, little-endian, the sample in the low 24 bits
    High24Of32,  // 4 bytes, little-endian, a 32-bit sample whose top 24 bits are kept
};

constexpr std::size_t serverSampleBytes(ServerSamples layout) {
    return layout == ServerSamples::Packed24 ? 3 : 4;
}

// Packs `samples` samples from `in` (the server's layout) into `out`, 3 bytes each. The low byte of
// a 32-bit sample is dropped: the take keeps 24 bits.
inline void packTo24(ServerSamples layout, const std::byte* in, std::size_t samples, std::byte* out) {
    const std::size_t step = serverSampleBytes(layout);
    const std::size_t skip = layout == ServerSamples::High24Of32 ? 1 : 0;
    for (std::size_t i = 0; i < samples; ++i, in += step, out += 3) {
        out[0] = in[skip];
        out[1] = in[skip + 1];
        out[2] = in[skip + 2];
    }
}

}  // namespace platform::wavein
