// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds arbitrary bytes to the take-header parser and the repair arithmetic, as the start-up scan
// does with whatever files lie in the program's folder. The eight bytes after the header stand for
// the file's length on disk.
#include "recorder/recovery/TakeHeader.h"

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto header = recovery::parseTakeHeader(data, size);
    if (!header) {
        return 0;
    }
    if (size < recovery::kTakeHeaderSize || header->blockAlign != 2 * header->channels) {
        __builtin_trap();
    }
    std::uint64_t fileLength = size;
    if (size >= recovery::kTakeHeaderSize + 8) {
        std::memcpy(&fileLength, data + recovery::kTakeHeaderSize, 8);
    }
    const auto repair = recovery::repairFor(*header, fileLength);
    // Whole frames, sizes that agree, never more than the file holds, and every whole frame it holds
    // up to what a RIFF size can state.
    constexpr std::uint64_t kLargestData = 0xFFFFFFFFull - 38;
    const std::uint64_t onDisk = fileLength > recovery::kTakeHeaderSize ? fileLength - recovery::kTakeHeaderSize : 0;
    const std::uint64_t expected = std::min(onDisk, kLargestData);
    const bool sound = repair.dataSize % header->blockAlign == 0 &&
                       std::uint64_t{repair.riffSize} == std::uint64_t{repair.dataSize} + 38 &&
                       repair.fileLength == recovery::kTakeHeaderSize + repair.dataSize &&
                       repair.dataSize <= expected && expected - repair.dataSize < header->blockAlign;
    if (!sound) {
        __builtin_trap();
    }
    return 0;
}
