// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// 24-bit samples in each layout a sound server may hand over, packed to the take's 3 bytes.

#include "platform/wavein/SampleLayout.h"

#include <gtest/gtest.h>

#include <vector>

using platform::wavein::packTo24;
using platform::wavein::ServerSamples;

namespace {

void putLE(std::vector<std::byte>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::byte>((value >> (8 * i)) & 0xFF));
    }
}

}  // namespace

TEST(SampleLayout, EveryLayoutPacksToTheSame24BitLittleEndianSamples) {
    const std::vector<std::int32_t> values{0, 1, -1, 0x7FFFFF, -0x800000, 0x123456, -0x10203};
    std::vector<std::byte> wanted;
    for (const std::int32_t v : values) {
        putLE(wanted, static_cast<std::uint32_t>(v), 3);
    }
    struct Row {
        ServerSamples layout;
        std::vector<std::byte> in;
    };
    std::vector<Row> rows{{ServerSamples::Packed24, {}}, {ServerSamples::Low24Of32, {}}, {ServerSamples::High24Of32, {}}};
    for (const std::int32_t v : values) {
        putLE(rows[0].in, static_cast<std::uint32_t>(v), 3);
        putLE(rows[1].in, static_cast<std::uint32_t>(v), 4);  // sign-extended to 32 bits
        // The low byte is below 24 bits: whatever it holds is dropped.
        putLE(rows[2].in, static_cast<std::uint32_t>(v) << 8 | 0xA5, 4);
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.layout));
        std::vector<std::byte> out(wanted.size());
        packTo24(row.layout, row.in.data(), values.size(), out.data());
        EXPECT_EQ(out, wanted);
    }
}
