// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A take's sound across all its parts ("<name>.WAV", "<name>.2.WAV", ...) as one run of frames,
// for the review's waveform and playback. 16- and 24-bit PCM, mono or stereo, any rate the header
// states. A take that is not whole plays what is on the disk and says what is missing: a part
// shorter than its header says, a part whose header is damaged, a part in another format, a part
// that cannot be opened, and (found while reading) frames the disk will not give back.

#include "platform/playback/FrameSource.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace review {

using platform::playback::Format;

struct SampleFormat;

enum class Lack {
    Truncated,      // the part ends before the frames its header states
    Unreadable,     // the disk would not give these frames back; they play as silence
    OtherFormat,    // the part's format is not the take's; left out
    DamagedHeader,  // the part's header cannot be read; its data is read in the take's format
    MissingPart,    // the part cannot be opened; left out
};

struct Gap {
    Lack lack = Lack::Truncated;
    int part = 1;                // 1 for the take's first file
    std::uint64_t atFrame = 0;   // where in the take it lies (or would have)
    std::uint64_t frames = 0;    // how many frames are missing; 0 where unknown or none

    bool operator==(const Gap&) const = default;
};

class TakeAudio final : public platform::playback::FrameSource {
public:
    struct Opened {
        std::shared_ptr<TakeAudio> audio;  // null when the take cannot be read at all
        QString error;                     // why, for the user
    };
    // Reads each part's header: a few small reads, no audio. A take of no frames opens.
    static Opened open(const QString& firstPart);
    // The same for parts already listed, in order.
    static Opened openParts(const QStringList& parts);

    ~TakeAudio() override;
    TakeAudio(const TakeAudio&) = delete;
    TakeAudio& operator=(const TakeAudio&) = delete;

    Format format() const override { return format_; }
    std::uint64_t frames() const override { return frames_; }
    int bitsPerSample() const;
    // The take's frame where part `number` (1 for the first file) begins.
    std::uint64_t partStart(int number) const;
    int partCount() const { return static_cast<int>(paths_.size()); }
    const QStringList& partPaths() const { return paths_; }

    void readInt32(std::uint64_t from, std::uint64_t to, std::int32_t* out) const override;
    // The same as floats, full scale ±1.
    void readFloat(std::uint64_t from, std::uint64_t to, float* out) const;

    // What is missing: what the open found, then the frames reads found unreadable, in take order.
    std::vector<Gap> gaps() const;

private:
    struct Part;
    TakeAudio();
    // Reads into `out` the raw bytes of frames [from, to) of one part; what the disk will not give
    // is zero and remembered.
    void readRaw(const Part& part, std::uint64_t from, std::uint64_t to, std::byte* out) const;

    QStringList paths_;
    std::vector<Part> parts_;  // with frames, in take order
    std::vector<std::uint64_t> starts_;  // of every part, 1-based number - 1
    Format format_;
    const SampleFormat* sample_ = nullptr;
    std::uint64_t frames_ = 0;
    std::vector<Gap> opened_;
    mutable std::mutex unreadableMutex_;
    mutable std::map<std::uint64_t, std::pair<std::uint64_t, int>> unreadable_;  // from -> (to, part)
};

// One line for the user on what is missing; empty when nothing is. `parts` names the files.
QString describeGaps(const std::vector<Gap>& gaps, const QStringList& parts, std::uint32_t rate);

}  // namespace review
