// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The take's WAV file (module basSoundRec_2): created with its RIFF, fmt and data headers at the
// start of a take, appended to buffer by buffer, and finalised with the true chunk sizes at the stop.

#include "platform/wavein/WaveIn.h"
#include "recorder/wavfile/TakeLayout.h"
#include "recorder/wavfile/TakeParts.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {
class Dialogs;
}

namespace basSoundRec_2 {

using platform::wavein::WAVEFORMATEX;

struct MMCKINFO {
    std::uint32_t ckid = 0;
    std::uint32_t cksize = 0;
    std::uint32_t fccType = 0;
    std::uint32_t dwDataOffset = 0;
    std::uint32_t dwFlags = 0;
};

// "MMDDYYYYhhmmssAP.WAV": month, day, year, hour on the 12-hour clock, minutes, seconds and the
// morning/afternoon designator.
QString takeFileBaseName(const QDateTime& when);
// When a take began, read back from its file's generated name (maybe "-N" before ".WAV");
// `otherwise` for a file of another name.
QDateTime takeBeganFromName(const QString& path, const QDateTime& otherwise);

struct AppendResult {
    enum class Status { Written, SizeLimitReached, WriteFailed, NotOpen };
    Status status = Status::Written;
    int error = 0;  // errno of a failed or short write, or of the next part's creation
    // SizeLimitReached: the part the take could not go on in.
    QString nextPart;

    bool ok() const { return status == Status::Written; }
    // For the user, with the system's reason.
    QString describe() const;
};

class TakeFile {
public:
    // Messages go to `dialogs` with `title` as caption. `largestRiffSize` is lowered only by tests.
    TakeFile(platform::Dialogs& dialogs, QString title, std::uint64_t largestRiffSize = kLargestRiffSize);
    // Finalises a take still open, without messages (the dialogs may be gone by then).
    ~TakeFile();
    TakeFile(const TakeFile&) = delete;
    TakeFile& operator=(const TakeFile&) = delete;

    // Creates `wanted` exclusively; when that name is taken, for the first file or for any part the
    // take may go on in (TakeParts.h), "-2", "-3"... goes before the extension.
    // The file holds an exclusive advisory lock (flock) until it is closed.
    // Returns the path created, or an empty string after "Failed to create WAV file".
    // A take still open from before is finalised first, without messages.
    QString Create(const QString& wanted);
    // Writes RIFF, fmt (18 bytes of `format`) and data headers. On failure shows the step's message,
    // closes the file and returns false (the file stays on disk; see Discard).
    // Without a freshly created file (none open, or its header already written) returns false silently.
    bool WriteHeader(const WAVEFORMATEX& format);
    // Appends at the end of the data chunk. While the take runs the header's sizes are brought up to
    // date at least once a second (or per second of audio) and the data flushed to the disk at
    // least every five seconds, so the file on disk is a valid take at every moment. When the RIFF
    // size would pass the largest size, the file is completed full and the take goes on, without a
    // frame lost or doubled, in its next part (TakeParts.h) with the same header; only when that
    // part cannot be made does it return SizeLimitReached. A short write counts as failed.
    // A failed write leaves the file as it was before it, so the data holds whole frames only.
    // NotOpen also before the header is written.
    AppendResult Append(const std::byte* data, std::size_t length);
    // Brings the header's sizes up to everything appended and flushes the file to the disk now,
    // without closing it: the take on disk is then complete up to this moment. False when either
    // failed or no take is open; the take goes on all the same.
    bool Commit();
    // Fills in the chunk sizes and closes the file, showing the step's message on failure.
    // Does nothing when no file is open.
    void Finalise();
    // Closes the file if open and removes it (every part) from disk: a take that never started.
    void Discard();

    bool isOpen() const;
    QString path() const;              // the take's first file
    int partCount() const;             // files the take is in so far
    std::uint64_t dataLength() const;  // audio bytes appended so far, in every part

    // What keeping the file valid during the take cost, since the header was written.
    struct Upkeep {
        int headerRefreshes = 0;
        int diskFlushes = 0;
        std::chrono::nanoseconds refreshTime{0};
        std::chrono::nanoseconds flushTime{0};
    };
    Upkeep upkeep() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace basSoundRec_2
