#include "recorder/wavfile/TakeFile.h"

#include "recorder/recovery/TakeHeader.h"

#include "platform/dialogs/Dialogs.h"
#include "recorder/wavfile/FileCalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <QCoreApplication>

#include <QFile>

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

namespace basSoundRec_2 {

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

void putLE32(std::byte* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
    }
}

// Owns one open descriptor and closes it exactly once.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    // The result of close is not acted upon: the descriptor is gone either way, and the data was
    // already flushed by the finalisation.
    void reset() {
        if (fd_ >= 0) {
            ::close(std::exchange(fd_, -1));
        }
    }

private:
    int fd_ = -1;
};

// Writes all of `length`, going on after a partial write: a regular file only takes part of a write
// when it meets a limit, and the next write then names the limit in errno. Returns 0 or that errno.
// `writeSome(data, length, done)` writes part of what is left after `done` bytes, as write(2) does.
template <typename WriteSome>
int writeFully(const std::byte* data, std::size_t length, WriteSome writeSome) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t written = writeSome(data + done, length - done, done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (written == 0) {
            return EIO;
        }
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

int writeAll(int fd, const std::byte* data, std::size_t length) {
    return writeFully(data, length, [fd](const std::byte* from, std::size_t n, std::size_t) {
        return ::write(fd, from, n);
    });
}

int pwriteAll(int fd, const std::byte* data, std::size_t length, std::uint64_t offset) {
    return writeFully(data, length, [fd, offset](const std::byte* from, std::size_t n, std::size_t done) {
        return detail::fileCalls().pwrite(fd, from, n, static_cast<off_t>(offset + done));
    });
}

QString systemReason(int error) {
    if (error == 0) {
        return QCoreApplication::translate("SystemError", "Erro desconhecido");
    }
    // strerrordesc_np is thread-safe and, unlike strerror, never formats into a shared buffer.
    const char* text = ::strerrordesc_np(error);
    return text != nullptr ? QString::fromLocal8Bit(text)
                           : QCoreApplication::translate("SystemError", "Erro %1").arg(error);
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

QString AppendResult::describe() const {
    switch (status) {
        case Status::Written:
            return QString();
        case Status::SizeLimitReached:
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

struct TakeFile::Impl {
    Impl(platform::Dialogs& dialogs, QString title, std::uint64_t largestRiffSize)
        : dialogs(dialogs), title(std::move(title)), largestRiffSize(largestRiffSize) {}

    platform::Dialogs& dialogs;
    QString title;
    std::uint64_t largestRiffSize;

    FileDescriptor file;
    QString path;
    bool headerWritten = false;
    MMCKINFO riffChunk;
    MMCKINFO subChunk;
    std::uint64_t position = 0;  // where the next sequential write lands
    std::uint64_t dataLength = 0;

    // Keeping the header in step with the audio while the take runs.
    std::uint32_t bytesPerSecond = 0;
    std::uint64_t refreshedLength = 0;  // data length the header on disk states
    std::chrono::steady_clock::time_point lastRefresh;
    std::chrono::steady_clock::time_point lastFlush;
    TakeFile::Upkeep upkeep;

    void report(const char* text) { dialogs.message(QCoreApplication::translate("TakeFile", text), title); }

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

    void close() {
        file.reset();
        headerWritten = false;
    }

    // States the current lengths in the RIFF and data size fields, so the file on disk is a
    // complete take of what it holds. The chunk records are left alone: the finalisation measures
    // and writes the same two fields, so the finished file is the same either way.
    bool refreshHeader() {
        // The data is always whole frames of 16-bit samples, so even and without a pad byte.
        const std::uint64_t riff = (kDataOffset - 8) + dataLength;
        if (riff > 0xFFFFFFFFull) {
            return false;
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
        ++upkeep.headerRefreshes;
        return true;
    }

    // Called after every append. Failures here are not the take's: the audio went in, and the
    // finalisation (or the recovery at the next start) still puts the sizes right.
    void keepUp() {
        const auto now = std::chrono::steady_clock::now();
        const bool audioBehind = dataLength - refreshedLength >= std::max<std::uint32_t>(bytesPerSecond, 1);
        // The first append replaces the provisional sizes, which no reader takes for a take.
        const bool provisional = upkeep.headerRefreshes == 0;
        if (provisional || audioBehind || now - lastRefresh >= kHeaderRefreshInterval) {
            const auto begin = std::chrono::steady_clock::now();
            refreshHeader();
            lastRefresh = now;
            upkeep.refreshTime += std::chrono::steady_clock::now() - begin;
        }
        if (now - lastFlush >= kDiskFlushInterval) {
            const auto begin = std::chrono::steady_clock::now();
            if (detail::fileCalls().fdatasync(file.get()) == 0) {
                ++upkeep.diskFlushes;
            }
            lastFlush = now;
            upkeep.flushTime += std::chrono::steady_clock::now() - begin;
        }
    }

    // Steps of the finalisation, each skipped once one fails. `quiet` leaves the user out of it (an
    // owner going away without finalising); the file is completed all the same.
    void finalise(bool quiet) {
        if (!file.isOpen()) {
            return;
        }
        if (!headerWritten) {
            ::fremovexattr(file.get(), recovery::kRecordingAttribute);
            close();  // nothing of a take in it to complete
            return;
        }
        const auto fail = [&](const char* text) {
            close();
            if (!quiet) {
                report(text);
            }
        };
        if (!ascend(subChunk)) {
            return fail(QT_TRANSLATE_NOOP("TakeFile", "Cannot ascend out of DATA CHUNK"));
        }
        if (!ascend(subChunk)) {
            return fail(QT_TRANSLATE_NOOP("TakeFile", "Could Ascend Out Of wformat Chunk"));
        }
        // A flush that fails means the sizes, or the audio before them, may never reach the disk:
        // the file is then no more complete than if the RIFF size had not been written.
        if (!ascend(riffChunk) || detail::fileCalls().fdatasync(file.get()) != 0) {
            return fail(QT_TRANSLATE_NOOP("TakeFile", "Cannot ascend out of RIFF CHUNK"));
        }
        // Complete on disk: no longer a take the next start should recover.
        ::fremovexattr(file.get(), recovery::kRecordingAttribute);
        close();
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
    d->riffChunk = MMCKINFO{};
    d->subChunk = MMCKINFO{};
    d->position = 0;
    d->dataLength = 0;

    for (int n = 1; n <= kMaxNameTries; ++n) {
        const QString candidate = n == 1 ? wanted : numberedName(wanted, n);
        const QByteArray encoded = QFile::encodeName(candidate);
        int fd = -1;
        do {
            fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0) {
            // One take, one writer: a second copy of the program in this folder sees the lock and
            // leaves the file alone. Only a scan that checks the file at this instant can hold it,
            // and it lets go at once; two seconds is ample even on a loaded machine. A file system
            // without locks (or one whose lock server does not answer) gets a take all the same,
            // unlocked, rather than a window that hangs.
            for (int attempt = 0; attempt < 2000 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK;
                 ++attempt) {
                ::usleep(1000);
            }
            ::fsetxattr(fd, recovery::kRecordingAttribute, "1", 1, 0);
            d->file = FileDescriptor(fd);
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
    if (!d->file.isOpen() || d->headerWritten) {
        return false;
    }
    const auto fail = [&](const char* text) {
        d->close();
        d->report(text);
        return false;
    };

    d->riffChunk.fccType = fourCC("WAVE");
    if (!d->createChunk(d->riffChunk, kCreateRiff)) {
        return fail(QT_TRANSLATE_NOOP("TakeFile", "Failed To Create RIFF CHUNK"));
    }
    d->subChunk.ckid = fourCC("fmt");
    d->subChunk.cksize = sizeof(WAVEFORMATEX);
    if (!d->createChunk(d->subChunk, 0)) {
        return fail(QT_TRANSLATE_NOOP("TakeFile", "Failed To Create FMT CHUNK"));
    }
    if (!d->writeHere(reinterpret_cast<const std::byte*>(&format), sizeof(WAVEFORMATEX))) {
        return fail(QT_TRANSLATE_NOOP("TakeFile", "Could Not Write wformat"));
    }
    // The fmt chunk is left without an ascent: its size went out correct and exactly that many bytes
    // follow. The data chunk reuses the record, so its provisional size is the fmt chunk's.
    d->subChunk.ckid = fourCC("data");
    if (!d->createChunk(d->subChunk, 0)) {
        return fail(QT_TRANSLATE_NOOP("TakeFile", "Failed To Create DATA CHUNK"));
    }
    d->headerWritten = true;
    d->bytesPerSecond = format.nAvgBytesPerSec;
    d->refreshedLength = 0;
    d->upkeep = Upkeep{};
    d->lastRefresh = d->lastFlush = std::chrono::steady_clock::now();
    return true;
}

AppendResult TakeFile::Append(const std::byte* data, std::size_t length) {
    if (!d->file.isOpen() || !d->headerWritten) {
        return {AppendResult::Status::NotOpen, 0};
    }
    // The RIFF size the finalised file would have, counting the pad byte of an odd data length.
    const std::uint64_t newData = d->dataLength + length;
    const std::uint64_t riffSize = (kDataOffset - 8) + newData + (newData & 1);
    if (riffSize > d->largestRiffSize || riffSize > kLargestRiffSize) {
        return {AppendResult::Status::SizeLimitReached, 0};
    }
    if (length == 0) {
        return {};
    }
    const int error = writeAll(d->file.get(), data, length);
    if (error != 0) {
        // Cut off what part of this append did reach the file, so the data chunk holds whole appends
        // (whole frames) only. Should the cut itself fail, the position still goes back: the sizes
        // are measured from it, and what lies beyond the RIFF chunk is ignored by every reader.
        const auto end = static_cast<off_t>(d->position);
        while (::ftruncate(d->file.get(), end) != 0 && errno == EINTR) {
        }
        ::lseek(d->file.get(), end, SEEK_SET);
        return {AppendResult::Status::WriteFailed, error};
    }
    d->position += length;
    d->dataLength = newData;
    d->keepUp();
    return {};
}

bool TakeFile::Commit() {
    if (!d->file.isOpen() || !d->headerWritten) {
        return false;
    }
    const bool refreshed = d->refreshHeader();
    const bool flushed = detail::fileCalls().fdatasync(d->file.get()) == 0;
    d->lastRefresh = d->lastFlush = std::chrono::steady_clock::now();
    return refreshed && flushed;
}

void TakeFile::Finalise() {
    d->finalise(false);
}

void TakeFile::Discard() {
    d->close();
    if (!d->path.isEmpty()) {
        ::unlink(QFile::encodeName(d->path).constData());
        d->path.clear();
    }
}

bool TakeFile::isOpen() const {
    return d->file.isOpen();
}

QString TakeFile::path() const {
    return d->path;
}

std::uint64_t TakeFile::dataLength() const {
    return d->dataLength;
}

TakeFile::Upkeep TakeFile::upkeep() const {
    return d->upkeep;
}

}  // namespace basSoundRec_2
