// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Takes for the review's tests, written by the recorder's own take file (so in its layout, split
// into parts as a long take is), with a sound whose every sample is known.

#include "platform/playback/FrameSource.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

namespace reviewtest {

struct TakeSpec {
    std::uint32_t rate = 44100;
    std::uint16_t channels = 2;
    std::uint16_t bits = 16;
};

// Sample `channel` of frame `frame` of the test sound: noise that differs in every frame and
// channel, left-justified to 32 bits with only the top `bits` set.
std::int32_t noiseAt(std::uint64_t frame, int channel, int bits);

using Sound = std::function<std::int32_t(std::uint64_t frame, int channel)>;

// Writes a take of `frames` frames of `sound` (the noise when none) in `folder` through the
// recorder's take file, moving on to a new part wherever a RIFF size would pass `largestRiffSize`.
// Returns the first part's path; empty when writing failed.
QString writeTake(const QString& folder, const TakeSpec& spec, std::uint64_t frames,
                  std::uint64_t largestRiffSize = 0xFFFFFFFFull, const Sound& sound = {});

// Where the audio of a WAV file begins: just past its "data" chunk header. 0 when it has none.
std::uint64_t dataOffsetOf(const QString& path);
// Overwrites `bytes` at `offset` of `path`.
bool patch(const QString& path, std::uint64_t offset, const QByteArray& bytes);
QByteArray le32(std::uint32_t value);
// The take's frames as the test sound says, interleaved, for [from, to).
std::vector<std::int32_t> expected(const TakeSpec& spec, std::uint64_t from, std::uint64_t to,
                                   const Sound& sound = {});

}  // namespace reviewtest
