// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Saving a take: its WAV parts are read in order as one run of frames, and one or more new files are
// written from frame ranges of it (a trimmed selection, a side's tracks), tagged, marked, flushed
// and read back, then named all together, before anyone may delete the take. The take is never
// changed. Saving runs on a thread of its own; the caller watches it and may cancel it at any moment.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace platform::encoding {

enum class Format { Wav, Flac, OggVorbis, Opus, Mp3 };

// What a take holds: its rate, channels and bits per sample.
struct AudioFormat {
    int sampleRate = 44100;
    int channels = 2;
    int bits = 16;
    friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

// The take's format as its first part's header states it; nothing when it cannot be read.
std::optional<AudioFormat> audioFormatOf(const QString& firstPart);

// The formats a take of `take`'s format can be saved in, WAV first, then every other one the
// installed encoding library really writes from such a take (a short trial in memory, at the bits
// and the rate the file would get), in the order the save dialog offers them. Asked once per take
// format, then remembered; safe from any thread.
std::vector<Format> savableFormats(const AudioFormat& take);
// The same for the recorder's first format, 16-bit 44100 Hz stereo.
const std::vector<Format>& savableFormats();

// The extension the format's files get ("flac"), and the save dialog's filter for it ("FLAC (*.flac)").
QString extensionOf(Format format);
QString filterOf(Format format);
// The format whose filter this is, or whose extension (any case) ends `name`; nothing if none does.
std::optional<Format> formatOfFilter(const QString& filter);
std::optional<Format> formatOfName(const QString& name);
// A short name that is kept in settings and stays the same between versions ("flac").
QString keyOf(Format format);
std::optional<Format> formatOfKey(const QString& key);
// The rate a file of `format` gets from a take of `takeRate`: the take's own, or the nearest the
// format takes (Opus: 8000, 12000, 16000, 24000 or 48000 Hz; MP3: no more than 48000 Hz).
int encodedRate(Format format, int takeRate);

// What a saved file says about itself. Empty fields (and a track number of 0) are not written. Every
// field has a default, so a request names only those it gives.
struct Tags {
    QString title{};
    QDateTime began{};   // DATE: the take's start, as precise as the format keeps it
    QString software{};  // "Tolvane <version>"
    QString album{};
    QString artist{};
    int trackNumber = 0;
    int trackTotal = 0;  // 0: "n" alone, else "n/total"
    int year = 0;        // DATE as a year alone (an album's), where `began` is not given
};

// Frames [begin, end) of the take; an end past the take's means to its end.
inline constexpr std::uint64_t kTakeEnd = std::numeric_limits<std::uint64_t>::max();
struct FrameRange {
    std::uint64_t begin = 0;
    std::uint64_t end = kTakeEnd;
    friend bool operator==(const FrameRange&, const FrameRange&) = default;
};

// One file of a save (for WAV, one file or its parts: see largestRiffSize).
struct EncodeOutput {
    QString destination;
    FrameRange range;
    Tags tags;
};

// The largest RIFF size a WAV file can state.
inline constexpr std::uint64_t kLargestRiffSize = 0xFFFFFFFFull;

struct EncodeRequest {
    // The take's WAV files, in the order their audio follows one another; they share one format.
    QStringList parts;
    // A save of one file: where, and (below) which frames with which tags.
    QString destination;
    Format format = Format::Flac;
    Tags tags;
    FrameRange range{};
    // The take's markers, as take frames: each file holds those inside its range, shifted by the
    // range's start and numbered from 1 in the file ("Marca 1"...; markersWithin in Markers.h).
    std::vector<std::uint64_t> markers{};
    // A save of several files (a side's tracks): when not empty, these instead of the one above,
    // all in `format`, written all or none in one job with one progress and one cancel.
    std::vector<EncodeOutput> outputs{};
    // A WAV file whose RIFF size would pass this goes on in parts named as a take's are ("<name>.2.
    // <ext>"...), each a complete WAV file. Lowered only by tests.
    std::uint64_t largestRiffSize = kLargestRiffSize;
};

struct EncodeResult {
    enum class Outcome { Encoded, Cancelled, Failed };
    // What was being done when it failed; it names the failure for the user.
    enum class Step { None, ReadTake, NameTaken, CreateDestination, Encode, Tag, Flush, Check };

    Outcome outcome = Outcome::Failed;
    Step step = Step::None;
    int error = 0;        // errno of the failure, when the system gave one
    QString detail;       // otherwise the reason in words
    QString destination;  // the file the failure concerns (for WAV in parts, the part)
    int outputs = 0;      // how many files the save was to write
    // Encoded only: every file now under its name, in order (a WAV in parts gives each part); the
    // frames in them all and their sample rate (Opus and MP3 may need another than the take's).
    QStringList files;
    std::uint64_t frames = 0;
    int sampleRate = 0;

    bool encoded() const { return outcome == Outcome::Encoded; }
    // For the user, with the reason; empty when encoded. `shown` stands for the file concerned.
    QString describe(const QString& shown) const;
    QString describe() const;
};

// Told with the work done and the whole of it (every output's frames twice: writing, then reading
// back); returning false cancels. Called on the thread that saves.
using EncodeProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Saves on the calling thread. Every name is checked first: one that exists (or two outputs of one
// name) stops the save before anything is written. Each file is written under a hidden name beside
// its destination (StagedFile.h), tagged and marked, flushed and read back (every frame; for FLAC
// and WAV the very samples of its range), and all are named together at the end, never replacing
// anything. Whatever the outcome other than Encoded, nothing this call wrote stays, and after a
// crash the next start removes what it left. The parts are only read.
EncodeResult encode(const EncodeRequest& request, const EncodeProgress& progress = {});

// One save on a thread of its own, started at once.
class Encoding {
public:
    // `finished` is called on the saving thread as its last act (to wake whoever waits).
    Encoding(EncodeRequest request, std::function<void()> finished);
    // Cancels what is still running and waits for it: the partial files are gone when this returns.
    ~Encoding();
    Encoding(const Encoding&) = delete;
    Encoding& operator=(const Encoding&) = delete;

    // Progress in thousandths.
    int permille() const { return permille_.load(std::memory_order_relaxed); }
    void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    bool isFinished() const { return finished_.load(std::memory_order_acquire); }
    // Blocks until the thread has ended; then it is finished.
    void wait();
    // Valid once finished.
    const EncodeResult& result() const { return result_; }

private:
    std::atomic<int> permille_{0};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> finished_{false};
    EncodeResult result_;
    std::thread thread_;
};

}  // namespace platform::encoding
