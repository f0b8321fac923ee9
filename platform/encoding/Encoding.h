// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Saving a take in a compressed format: the take's WAV parts are read in order and encoded into one
// new file, which is flushed and read back before anyone may delete the take. Encoding runs on a
// thread of its own; the caller watches it and may cancel it at any moment.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace platform::encoding {

enum class Format { Wav, Flac, OggVorbis, Opus, Mp3 };

// The formats a take can be saved in, WAV first, then every other one the installed encoding library
// can really write, in the order the save dialog offers them. Asked once, then remembered.
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

struct Tags {
    QString title;
    QDateTime began;
    QString software;
};

struct EncodeRequest {
    // The take's WAV files, in the order their audio follows one another; they share one format.
    QStringList parts;
    QString destination;
    Format format = Format::Flac;
    Tags tags;
};

struct EncodeResult {
    enum class Outcome { Encoded, Cancelled, Failed };
    // What was being done when it failed; it names the failure for the user.
    enum class Step { None, ReadTake, CreateDestination, Encode, Flush, Check };

    Outcome outcome = Outcome::Failed;
    Step step = Step::None;
    int error = 0;   // errno of the failure, when the system gave one
    QString detail;  // otherwise the reason in words
    // Encoded only: the frames in the new file and its sample rate (Opus may need another rate).
    std::uint64_t frames = 0;
    int sampleRate = 0;

    bool encoded() const { return outcome == Outcome::Encoded; }
    // For the user, with the reason; empty when encoded.
    QString describe(const QString& destination) const;
};

// Told with the work done and the whole of it (the take's frames twice: encoding, then reading back);
// returning false cancels. Called on the thread that encodes.
using EncodeProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Encodes on the calling thread. The new file is written under a hidden name beside the destination
// and given the destination's name only once complete and read back, never replacing anything
// (StagedFile.h); whatever the outcome other than Encoded, nothing of this call stays there, and
// after a crash the next start removes what it left. The parts are only read.
EncodeResult encode(const EncodeRequest& request, const EncodeProgress& progress = {});

// One encoding on a thread of its own, started at once.
class Encoding {
public:
    // `finished` is called on the encoding thread as its last act (to wake whoever waits).
    Encoding(EncodeRequest request, std::function<void()> finished);
    // Cancels what is still running and waits for it: the partial file is gone when this returns.
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
