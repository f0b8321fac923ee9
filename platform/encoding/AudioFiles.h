// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Internal to the save: the take read as one run of frames, and one file of a save written from a
// range of it and read back, through libsndfile. The save itself (Save.cpp) plans the files, stages,
// tags and names them.

#include "platform/encoding/Encoding.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace platform::encoding::detail {

using Failure = std::optional<EncodeResult>;

EncodeResult failure(EncodeResult::Step step, int error, QString detail = {});

// The progress of a whole save over all its files; counts frames of the take.
class Work {
public:
    Work(const EncodeProgress& progress, std::uint64_t total) : progress_(progress), total_(total) {}
    // False when the user cancelled.
    bool advance(std::uint64_t frames) {
        done_ += frames;
        return !progress_ || progress_(std::min(done_, total_), total_);
    }

private:
    const EncodeProgress& progress_;
    std::uint64_t total_;
    std::uint64_t done_ = 0;
};

// The take's parts, in order, as one run of frames.
class TakeSource {
public:
    TakeSource();
    ~TakeSource();
    TakeSource(const TakeSource&) = delete;
    TakeSource& operator=(const TakeSource&) = delete;

    // Opens every part and checks that they share one format.
    Failure open(const QStringList& parts);
    const AudioFormat& format() const;
    std::uint64_t frames() const;
    // Bytes of a frame as the parts keep it.
    int blockAlign() const;

    // The libsndfile side, inside Sndfile.cpp.
    struct Impl;
    Impl& impl() { return *d; }

private:
    std::unique_ptr<Impl> d;
};

// The bytes a WAV file of the take's format takes besides its audio, as the library writes it.
std::uint64_t wavHeaderBytes(const AudioFormat& take);

// Writes the take's frames [begin, end) into `fd` (an empty file) in `format`; then `tag` puts the
// tags and markers into the closed file; then the file is flushed and read back from the disk:
// every frame there, and for FLAC and WAV the very samples. Nothing when all is well.
Failure saveAudio(TakeSource& take, Format format, std::uint64_t begin, std::uint64_t end, int fd,
                  const std::function<Failure()>& tag, Work& work);

}  // namespace platform::encoding::detail
