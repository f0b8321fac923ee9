// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/recovery/TakeHeader.h"

#include <cstring>

namespace recovery {

namespace {

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

bool tagAt(const std::uint8_t* bytes, std::size_t at, const char* tag) {
    return std::memcmp(bytes + at, tag, 4) == 0;
}

using basSoundRec_2::isTakeBits;
using basSoundRec_2::isTakeRate;
using basSoundRec_2::kDataSizeOffset;
using basSoundRec_2::kLargestRiffSize;
using basSoundRec_2::kRiffSizeOffset;
using basSoundRec_2::riffSizeFor;
using basSoundRec_2::takeBlockAlign;
using basSoundRec_2::takeBytesPerSecond;

}  // namespace

std::optional<TakeHeader> parseTakeHeader(const std::uint8_t* bytes, std::size_t length) {
    if (bytes == nullptr || length < kTakeHeaderSize) {
        return std::nullopt;
    }
    if (!tagAt(bytes, 0, "RIFF") || !tagAt(bytes, 8, "WAVE") || !tagAt(bytes, 12, "fmt ") ||
        le32(bytes + 16) != 18 || !tagAt(bytes, 38, "data")) {
        return std::nullopt;
    }
    TakeHeader header;
    header.channels = le16(bytes + 22);
    header.rate = le32(bytes + 24);
    header.blockAlign = le16(bytes + 32);
    const std::uint16_t bits = le16(bytes + 34);
    const bool ourFormat = le16(bytes + 20) == 1 && (header.channels == 1 || header.channels == 2) &&
                           isTakeRate(header.rate) && isTakeBits(bits) &&
                           header.blockAlign == takeBlockAlign(header.channels, bits) &&
                           le32(bytes + 28) == takeBytesPerSecond(header.rate, header.channels, bits) &&
                           le16(bytes + 36) == 18;
    if (!ourFormat) {
        return std::nullopt;
    }
    header.riffSize = le32(bytes + kRiffSizeOffset);
    header.dataSize = le32(bytes + kDataSizeOffset);
    return header;
}

TakeRepair repairFor(const TakeHeader& header, std::uint64_t fileLength) {
    TakeRepair repair;
    std::uint64_t data = fileLength > kTakeHeaderSize ? fileLength - kTakeHeaderSize : 0;
    const std::uint64_t largestData = kLargestRiffSize - riffSizeFor(0);
    if (data > largestData) {
        data = largestData;
    }
    const std::uint64_t frame = header.blockAlign != 0 ? header.blockAlign : 1;
    data -= data % frame;
    // An odd length (24-bit mono) needs its pad byte within the RIFF size limit.
    if (riffSizeFor(data) > kLargestRiffSize) {
        data -= frame;
    }
    // A pad byte on disk is not a torn frame: kept, and one missing is added (a take interrupted
    // just after an odd number of 3-byte frames).
    repair.fileLength = kTakeHeaderSize + data + (data & 1);
    repair.dataSize = static_cast<std::uint32_t>(data);
    repair.riffSize = static_cast<std::uint32_t>(riffSizeFor(data));
    repair.needed = repair.fileLength != fileLength || header.dataSize != repair.dataSize ||
                    header.riffSize != repair.riffSize;
    const bool provisional = header.riffSize == 0 && header.dataSize == 18;
    repair.foreign = std::uint64_t{header.riffSize} > riffSizeFor(header.dataSize);
    repair.statesMore = !provisional && std::uint64_t{header.dataSize} + kTakeHeaderSize > fileLength;
    return repair;
}

}  // namespace recovery
