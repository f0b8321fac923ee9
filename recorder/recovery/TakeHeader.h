// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The 46-byte header of a take file, read from bytes that may come from anywhere: a take cut off by
// a crash, another program's WAV file, or garbage. Plain C++, so the parser can be fuzzed alone.

#include "recorder/wavfile/TakeLayout.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace recovery {

inline constexpr std::size_t kTakeHeaderSize = basSoundRec_2::kDataOffset;

// An extended attribute the recorder sets on a take while it records and removes once the take is
// finished, so that a take interrupted at the moment its header was up to date is still known for
// one. Where the file system keeps no such attributes, only the sizes tell.
inline constexpr const char* kRecordingAttribute = "user.tolvane.recording";

struct TakeHeader {
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint16_t blockAlign = 0;
    std::uint32_t riffSize = 0;  // as stated at kRiffSizeOffset
    std::uint32_t dataSize = 0;  // as stated at kDataSizeOffset
};

// The header when `bytes` begin with exactly the layout the recorder writes (RIFF, WAVE, an 18-byte
// fmt chunk of 16- or 24-bit PCM in one of the recorder's formats with extra-size 18, then the data chunk
// header); the two sizes may hold anything. Nothing for any other bytes or fewer than 46.
std::optional<TakeHeader> parseTakeHeader(const std::uint8_t* bytes, std::size_t length);

// The sizes that make a take of `fileLength` bytes complete: every whole frame on disk (a torn last
// frame is cut off), no more than a RIFF size can state, and after an odd length its pad byte (kept
// when on disk, added when not).
struct TakeRepair {
    std::uint64_t fileLength = 0;
    std::uint32_t dataSize = 0;
    std::uint32_t riffSize = 0;
    // The header and the length disagree with these: the take was interrupted.
    bool needed = false;
    // The recorder never leaves a RIFF size beyond the data size + 38 (it writes the data size
    // first, starting from the provisional 0 and 18): a larger one was written by something else,
    // such as a tag editor that added a chunk after the audio. Such a file is not ours to cut.
    bool foreign = false;
    // The header, past its provisional sizes, states more audio than the file holds: a take whose
    // last audio did not reach the disk before a power cut, or a file still being copied in.
    bool statesMore = false;
};
TakeRepair repairFor(const TakeHeader& header, std::uint64_t fileLength);

}  // namespace recovery
