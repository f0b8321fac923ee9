// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/wavfile/TakeFile.h"

#include "recorder/recovery/TakeHeader.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/files/FileTools.h"
#include "recorder/wavfile/FileCalls.h"
#include "recorder/wavfile/TakeParts.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>
#include <utility>

namespace basSoundRec_2 {

using platform::files::FileDescriptor;
using platform::files::systemReason;
using platform::files::writeAll;

namespace detail {

FileCalls systemFileCalls() {
    return FileCalls{::pwrite, ::lseek, ::fdatasync};
}

FileCalls& fileCalls() {
    static FileCalls calls = systemFileCalls();
    return calls;
}

}  // namespace detail

namespace {

// The format record goes to disk byte for byte as it lies in memory, which is the file's
// little-endian layout only on a little-endian machine.
static_assert(std::endian::native == std::endian::little, "the format record is written as in memory");

// A chunk whose length may have changed since it was created; its ascent measures and records it.
constexpr std::uint32_t kChunkDirty = 0x10000000;
constexpr std::uint32_t kCreateRiff = 0x20;

// Four characters packed as they appear in the file; shorter ids are padded with spaces ("fmt ").
constexpr std::uint32_t fourCC(std::string_view text) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(i < text.size() ? text[i] : ' ');
        value |= std::uint32_t{c} << (8 * i);
    }
    return value;
}

int pwriteAll(int fd, const std::byte* data, std::size_t length, std::uint64_t offset) {
    return platform::files::writeFully(
        data, length, [fd, offset](const std::byte* from, std::size_t n, std::size_t done) {
            return detail::fileCalls().pwrite(fd, from, n, static_cast<off_t>(offset + done));
        });
}

// "<stem>-<n>.<ext>" for the n-th try of `wanted`; the extension is what follows the last dot of
// the file name (not of a folder).
QString numberedName(const QString& wanted, int n) {
    const qsizetype slash = wanted.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = wanted.lastIndexOf(QLatin1Char('.'));
    const QString suffix = QStringLiteral("-%1").arg(n);
    if (dot <= slash) {
        return wanted + suffix;
    }
    return wanted.left(dot) + suffix + wanted.mid(dot);
}

// Enough room for a take every second of a busy hour under one name; beyond it something is wrong.
constexpr int kMaxNameTries = 10000;

// A crash, a kill or a power cut loses at most this much of the take from the readers' view: the
// header's sizes are brought up to date this often (and whenever this much audio went in since),
// and the audio is forced to the disk at the longer interval.
constexpr auto kHeaderRefreshInterval = std::chrono::seconds(1);
constexpr auto kDiskFlushInterval = std::chrono::seconds(5);

}  // namespace

QString takeFileBaseName(const QDateTime& when) {
    const QDate date = when.date();
    const QTime time = when.time();
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    // The designator is the C locale's, so the name reads the same on every system it is copied to.
    const char* designator = time.hour() < 12 ? "AM" : "PM";
    return QString::asprintf("%02d%02d%04d%02d%02d%02d%s.WAV", date.month(), date.day(), date.year(), hour12,
                             time.minute(), time.second(), designator);
}

QDateTime takeBeganFromName(const QString& path, const QDateTime& otherwise) {
    const QDateTime parsed =
        QLocale::c().toDateTime(QFileInfo(path).fileName().left(16), QStringLiteral("MMddyyyyhhmmssAP"));
    return parsed.isValid() ? parsed : otherwise;
}

QString AppendResult::describe() const {
    switch (status) {
        case Status::Written:
            return QString();
        case Status::SizeLimitReached:
            if (!nextPart.isEmpty()) {
                return QCoreApplication::translate("TakeFile",
                                                   "A gravação atingiu o maior tamanho que um arquivo WAV "
                                                   "comporta e a parte seguinte, "
                                                   "\"%1\", não pôde ser criada (%2). A gravação foi "
                                                   "interrompida; tudo o que foi gravado "
                                                   "até aqui foi mantido.")
                    .arg(QFileInfo(nextPart).fileName(), systemReason(error));
            }
            return QCoreApplication::translate(
                "TakeFile",
                "A gravação chegou ao maior tamanho que um arquivo WAV comporta, por isso foi parada.");
        case Status::WriteFailed:
            return QCoreApplication::translate("TakeFile",
                                               "Não foi possível escrever no arquivo da gravação: %1.")
                .arg(systemReason(error));
        case Status::NotOpen:
            return QCoreApplication::translate(
                "TakeFile", "Não foi possível escrever no arquivo da gravação: ele não está aberto.");
    }
    return QString();
}

namespace {

// One file of the take: the first, or a part it went on in after the WAV limit.
struct Part {
    FileDescriptor file;
    QString path;
    MMCKINFO riffChunk;
    MMCKINFO subChunk;
    std::uint64_t position = 0;  // where the next sequential write lands
    std::uint64_t dataLength = 0;
    std::uint64_t refreshedLength = 0;  // data length the header on disk states

    // Writes at the current position and moves past what was written.
    bool writeHere(const std::byte* data, std::size_t length) {
        if (writeAll(file.get(), data, length) != 0) {
            return false;
        }
        position += length;
        return true;
    }

    // Writes the chunk's id and size (a RIFF chunk also its form type) at the current position and
    // remembers where its data starts. The size written is whatever the record holds at this moment.
    bool createChunk(MMCKINFO& chunk, std::uint32_t flags) {
        std::array<std::byte, 12> header{};
        std::size_t length = 8;
        if ((flags & kCreateRiff) != 0) {
            chunk.ckid = fourCC("RIFF");
            putLE32(header.data() + 8, chunk.fccType);
            length = 12;
        }
        putLE32(header.data(), chunk.ckid);
        putLE32(header.data() + 4, chunk.cksize);
        const std::uint64_t start = position;
        if (!writeHere(header.data(), length)) {
            return false;
        }
        chunk.dwDataOffset = static_cast<std::uint32_t>(start + 8);
        chunk.dwFlags = kChunkDirty;
        return true;
    }

    // RIFF, fmt (18 bytes of `format`) and data headers; the failing step's message, or null.
    const char* writeHeader(const WAVEFORMATEX& format) {
        riffChunk.fccType = fourCC("WAVE");
        if (!createChunk(riffChunk, kCreateRiff)) {
            return QT_TRANSLATE_NOOP("TakeFile", "Failed To Create RIFF CHUNK");
        }
        subChunk.ckid = fourCC("fmt");
        subChunk.cksize = sizeof(WAVEFORMATEX);
        if (!createChunk(subChunk, 0)) {
            return QT_TRANSLATE_NOOP("TakeFile", "Failed To Create FMT CHUNK");
        }
        if (!writeHere(reinterpret_cast<const std::byte*>(&format), sizeof(WAVEFORMATEX))) {
            return QT_TRANSLATE_NOOP("TakeFile", "Could Not Write wformat");
        }
        // The fmt chunk is left without an ascent: its size went out correct and exactly that many
        // bytes follow. The data chunk reuses the record, so its provisional size is the fmt chunk's.
        subChunk.ckid = fourCC("data");
        if (!createChunk(subChunk, 0)) {
            return QT_TRANSLATE_NOOP("TakeFile", "Failed To Create DATA CHUNK");
        }
        return nullptr;
    }

    // Measures a chunk still open for writing from the current position, records its length in its
    // header when it changed, pads an odd length with a zero byte and leaves the position behind it.
    bool ascend(MMCKINFO& chunk) {
        const int fd = file.get();
        if ((chunk.dwFlags & kChunkDirty) != 0) {
            if (position < chunk.dwDataOffset || position - chunk.dwDataOffset > 0xFFFFFFFFull) {
                return false;
            }
            const auto length = static_cast<std::uint32_t>(position - chunk.dwDataOffset);
            if (length != chunk.cksize) {
                std::array<std::byte, 4> size{};
                putLE32(size.data(), length);
                if (pwriteAll(fd, size.data(), size.size(), chunk.dwDataOffset - 4) != 0) {
                    return false;
                }
                chunk.cksize = length;
            }
            if ((length & 1) != 0) {
                const std::byte pad{0};
                if (pwriteAll(fd, &pad, 1, position) != 0) {
                    return false;
                }
            }
            chunk.dwFlags &= ~kChunkDirty;
        }
        const std::uint64_t end = std::uint64_t{chunk.dwDataOffset} + chunk.cksize + (chunk.cksize & 1);
        if (detail::fileCalls().lseek(fd, static_cast<off_t>(end), SEEK_SET) < 0) {
            return false;
        }
        position = end;
        return true;
    }

    // States the current lengths in the RIFF and data size fields, so the file on disk is a
    // complete take of what it holds. The chunk records are left alone: the finalisation measures
    // and writes the same two fields, so the finished file is the same either way.
    bool refreshHeader() {
        const std::uint64_t riff = riffSizeFor(dataLength);
        if (riff > 0xFFFFFFFFull) {
            return false;
        }
        // An odd length (24-bit mono) gets its pad byte, so the file on disk is whole; the next
        // audio is written over it.
        if ((dataLength & 1) != 0) {
            const std::byte pad{0};
            if (pwriteAll(file.get(), &pad, 1, kDataOffset + dataLength) != 0) {
                return false;
            }
        }
        std::array<std::byte, 4> size{};
        putLE32(size.data(), static_cast<std::uint32_t>(dataLength));
        if (pwriteAll(file.get(), size.data(), size.size(), kDataSizeOffset) != 0) {
            return false;
        }
        putLE32(size.data(), static_cast<std::uint32_t>(riff));
        if (pwriteAll(file.get(), size.data(), size.size(), kRiffSizeOffset) != 0) {
            return false;
        }
        refreshedLength = dataLength;
        return true;
    }

    // Fills in the chunk sizes, flushes and closes; the failing step's message, or null. The file
    // is closed either way.
    const char* complete() {
        const char* failure = nullptr;
        if (!ascend(subChunk)) {
            failure = QT_TRANSLATE_NOOP("TakeFile", "Cannot ascend out of DATA CHUNK");
        } else if (!ascend(subChunk)) {
            failure = QT_TRANSLATE_NOOP("TakeFile", "Could Ascend Out Of wformat Chunk");
        } else if (!ascend(riffChunk) || detail::fileCalls().fdatasync(file.get()) != 0) {
            // A flush that fails means the sizes, or the audio before them, may never reach the
            // disk: the file is then no more complete than if the RIFF size had not been written.
            failure = QT_TRANSLATE_NOOP("TakeFile", "Cannot ascend out of RIFF CHUNK");
        } else {
            // Complete on disk: no longer a take the next start should recover.
            ::fremovexattr(file.get(), recovery::kRecordingAttribute);
        }
        file.reset();
        return failure;
    }
};

// Opens `path` as a new file of a take: never an existing one, locked against a second writer (a
// file system without locks gets a take all the same), and marked as recording. -1 with errno.
int createTakeFile(const QString& path) {
    const QByteArray encoded = QFile::encodeName(path);
    int fd = -1;
    do {
        fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
        platform::files::lockForWriting(fd);
        ::fsetxattr(fd, recovery::kRecordingAttribute, "1", 1, 0);
    }
    return fd;
}

}  // namespace

struct TakeFile::Impl {
    Impl(platform::Dialogs& dialogs, QString title, std::uint64_t largestRiffSize)
        : dialogs(dialogs), title(std::move(title)), largestRiffSize(largestRiffSize) {}

    platform::Dialogs& dialogs;
    QString title;
    std::uint64_t largestRiffSize;

    QString path;  // the take's first file
    Part part;     // the file being written
    int partNumber = 1;
    std::uint64_t earlierParts = 0;  // audio bytes in the parts before this one
    bool headerWritten = false;
    WAVEFORMATEX format;

    // Keeping the header in step with the audio while the take runs.
    std::uint32_t bytesPerSecond = 0;
    std::chrono::steady_clock::time_point lastRefresh;
    std::chrono::steady_clock::time_point lastFlush;
    TakeFile::Upkeep upkeep;

    void report(const char* text) { dialogs.message(QCoreApplication::translate("TakeFile", text), title); }

    void close() {
        part.file.reset();
        headerWritten = false;
    }

    // The most audio one file may hold: whole frames, with no pad byte, within the RIFF size limit.
    // The whole file, header included, also stays below 4 GiB: a FAT32 stick (where a portable
    // copy keeps its takes) refuses the byte past 4 GiB - 1, which would stop the take there rather
    // than let it go on in its next part.
    std::uint64_t largestPartData() const {
        const std::uint64_t limit = std::min(largestRiffSize, kLargestRiffSize - 8);
        if (limit <= riffSizeFor(0)) {
            return 0;
        }
        std::uint64_t data = (limit - riffSizeFor(0)) & ~std::uint64_t{1};
        const std::uint16_t blockAlign = format.nBlockAlign;  // a copy: the record is packed
        const std::uint64_t frame = blockAlign > 0 ? blockAlign : 1;
        return data - data % frame;
    }

    bool refreshHeader() {
        if (!part.refreshHeader()) {
            return false;
        }
        ++upkeep.headerRefreshes;
        return true;
    }

    // Called after every append. Failures here are not the take's: the audio went in, and the
    // finalisation (or the recovery at the next start) still puts the sizes right.
    void keepUp() {
        const auto now = std::chrono::steady_clock::now();
        const bool audioBehind =
            part.dataLength - part.refreshedLength >= std::max<std::uint32_t>(bytesPerSecond, 1);
        // The first append replaces the provisional sizes, which no reader takes for a take.
        const bool provisional = part.refreshedLength == 0;
        if (provisional || audioBehind || now - lastRefresh >= kHeaderRefreshInterval) {
            const auto begin = std::chrono::steady_clock::now();
            refreshHeader();
            lastRefresh = now;
            upkeep.refreshTime += std::chrono::steady_clock::now() - begin;
        }
        if (now - lastFlush >= kDiskFlushInterval) {
            const auto begin = std::chrono::steady_clock::now();
            if (detail::fileCalls().fdatasync(part.file.get()) == 0) {
                ++upkeep.diskFlushes;
            }
            lastFlush = now;
            upkeep.flushTime += std::chrono::steady_clock::now() - begin;
        }
    }

    // Goes on in the take's next file, complete with its header, then completes the full one: at
    // every moment one file of the take is marked as recording, so a take killed between the two
    // is still found and recovered whole. 0 or the errno of the new file's creation or header.
    int nextPart() {
        const QString nextPath = takePartPath(path, partNumber + 1);
        const int fd = createTakeFile(nextPath);
        if (fd < 0) {
            return errno;
        }
        Part next;
        next.file = FileDescriptor(fd);
        next.path = nextPath;
        if (next.writeHeader(format) != nullptr) {
            const int error = errno != 0 ? errno : EIO;
            next.file.reset();
            ::unlink(QFile::encodeName(nextPath).constData());
            return error;
        }
        // Should completing the full part fail, its audio is on disk and it stays marked: the next
        // start repairs its sizes. The take goes on rather than stop over a header field.
        part.complete();
        earlierParts += part.dataLength;
        part = std::move(next);
        ++partNumber;
        lastRefresh = lastFlush = std::chrono::steady_clock::now();
        return 0;
    }

    // Steps of the finalisation, each skipped once one fails. `quiet` leaves the user out of it (an
    // owner going away without finalising); the file is completed all the same.
    void finalise(bool quiet) {
        if (!part.file.isOpen()) {
            return;
        }
        if (!headerWritten) {
            ::fremovexattr(part.file.get(), recovery::kRecordingAttribute);
            close();  // nothing of a take in it to complete
            return;
        }
        const char* failure = part.complete();
        headerWritten = false;
        if (failure != nullptr && !quiet) {
            report(failure);
        }
    }
};

TakeFile::TakeFile(platform::Dialogs& dialogs, QString title, std::uint64_t largestRiffSize)
    : d(std::make_unique<Impl>(dialogs, std::move(title), largestRiffSize)) {}

// A take still open when its owner goes is completed rather than left with provisional sizes; the
// dialogs may already be gone, so without messages.
TakeFile::~TakeFile() {
    d->finalise(true);
}

QString TakeFile::Create(const QString& wanted) {
    d->finalise(true);  // a take left open by its caller keeps its audio
    d->path.clear();
    d->part = Part{};
    d->partNumber = 1;
    d->earlierParts = 0;

    for (int n = 1; n <= kMaxNameTries; ++n) {
        const QString candidate = n == 1 ? wanted : numberedName(wanted, n);
        // Free for every part the take may grow, or its parts would meet another take's files.
        if (!wanted.isEmpty() && !takeNameFree(candidate)) {
            continue;
        }
        const int fd = createTakeFile(candidate);
        if (fd >= 0) {
            d->part.file = FileDescriptor(fd);
            d->part.path = candidate;
            d->path = candidate;
            return candidate;
        }
        if (errno != EEXIST || wanted.isEmpty()) {
            break;
        }
    }
    d->report(QT_TRANSLATE_NOOP("TakeFile", "Failed to create WAV file"));
    return QString();
}

bool TakeFile::WriteHeader(const WAVEFORMATEX& format) {
    if (!d->part.file.isOpen() || d->headerWritten || d->partNumber != 1) {
        return false;
    }
    if (const char* failure = d->part.writeHeader(format)) {
        d->close();
        d->report(failure);
        return false;
    }
    d->headerWritten = true;
    d->format = format;
    d->bytesPerSecond = format.nAvgBytesPerSec;
    d->upkeep = Upkeep{};
    d->lastRefresh = d->lastFlush = std::chrono::steady_clock::now();
    return true;
}

AppendResult TakeFile::Append(const std::byte* data, std::size_t length) {
    if (!d->part.file.isOpen() || !d->headerWritten) {
        return {AppendResult::Status::NotOpen, 0, {}};
    }
    const std::uint64_t largest = d->largestPartData();
    while (length > 0) {
        Part& part = d->part;
        if (largest == 0) {
            return {AppendResult::Status::SizeLimitReached, 0, {}};
        }
        if (part.dataLength >= largest) {
            if (const int error = d->nextPart(); error != 0) {
                return {AppendResult::Status::SizeLimitReached, error,
                        takePartPath(d->path, d->partNumber + 1)};
            }
            continue;
        }
        // What fits goes in this file, in whole frames; the rest opens the next.
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::uint64_t>(length, largest - part.dataLength));
        const int error = writeAll(part.file.get(), data, piece);
        if (error != 0) {
            // Cut off what part of this piece did reach the file, so the data chunk holds whole
            // pieces (whole frames) only. Should the cut itself fail, the position still goes back:
            // the sizes are measured from it, and what lies beyond the RIFF chunk is ignored by
            // every reader.
            const auto end = static_cast<off_t>(part.position);
            while (::ftruncate(part.file.get(), end) != 0 && errno == EINTR) {
            }
            ::lseek(part.file.get(), end, SEEK_SET);
            return {AppendResult::Status::WriteFailed, error, {}};
        }
        part.position += piece;
        part.dataLength += piece;
        data += piece;
        length -= piece;
        d->keepUp();
    }
    return {};
}

bool TakeFile::Commit() {
    if (!d->part.file.isOpen() || !d->headerWritten) {
        return false;
    }
    const bool refreshed = d->refreshHeader();
    const bool flushed = detail::fileCalls().fdatasync(d->part.file.get()) == 0;
    d->lastRefresh = d->lastFlush = std::chrono::steady_clock::now();
    return refreshed && flushed;
}

void TakeFile::Finalise() {
    d->finalise(false);
}

void TakeFile::Discard() {
    d->close();
    if (!d->path.isEmpty()) {
        for (int number = d->partNumber; number >= 1; --number) {
            ::unlink(QFile::encodeName(takePartPath(d->path, number)).constData());
        }
        d->path.clear();
    }
}

bool TakeFile::isOpen() const {
    return d->part.file.isOpen();
}

QString TakeFile::path() const {
    return d->path;
}

int TakeFile::partCount() const {
    return d->path.isEmpty() ? 0 : d->partNumber;
}

std::uint64_t TakeFile::dataLength() const {
    return d->earlierParts + d->part.dataLength;
}

TakeFile::Upkeep TakeFile::upkeep() const {
    return d->upkeep;
}

}  // namespace basSoundRec_2
