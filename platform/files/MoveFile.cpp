#include "platform/files/MoveFile.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::files {
namespace {

using Outcome = MoveResult::Outcome;
using Step = MoveResult::Step;

MoveResult failed(Step step, int error) {
    MoveResult result;
    result.outcome = Outcome::Failed;
    result.step = step;
    result.error = error != 0 ? error : EIO;
    return result;
}

MoveResult movedResult(bool copied, bool sourceRemoved) {
    MoveResult result;
    result.outcome = Outcome::Moved;
    result.copied = copied;
    result.sourceRemoved = sourceRemoved;
    return result;
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and says how that went: some file systems report a failed write only here.
    int close() {
        const int rc = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return rc == 0 ? 0 : errno;
    }
    void reset() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
    }

private:
    int fd_;
};

// Deletes the destination this call created unless the copy was completed.
class PartialCopy {
public:
    explicit PartialCopy(QByteArray path) : path_(std::move(path)) {}
    ~PartialCopy() {
        if (!kept_) {
            ::unlink(path_.constData());
        }
    }
    PartialCopy(const PartialCopy&) = delete;
    PartialCopy& operator=(const PartialCopy&) = delete;
    void keep() { kept_ = true; }

private:
    QByteArray path_;
    bool kept_ = false;
};

ssize_t readSome(int fd, std::byte* into, std::size_t length) {
    for (;;) {
        const ssize_t n = ::read(fd, into, length);
        if (n >= 0 || errno != EINTR) {
            return n;
        }
    }
}

int writeAll(int fd, const std::byte* data, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, data + done, length - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return EIO;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// The new name survives a crash before the original is deleted.
void syncFolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    Fd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) {
        ::fsync(dir.get());
    }
}

MoveResult copyThenDelete(const QByteArray& from, const QByteArray& to, const CopyProgress& progress,
                          std::size_t blockSize) {
    Fd in(::open(from.constData(), O_RDONLY | O_CLOEXEC));
    if (!in.valid()) {
        return failed(Step::OpenSource, errno);
    }
    struct stat source {};
    if (::fstat(in.get(), &source) != 0) {
        return failed(Step::OpenSource, errno);
    }
    if (!S_ISREG(source.st_mode)) {
        return failed(Step::OpenSource, EINVAL);
    }
    // Exclusive: whatever appears under the name meanwhile is never written over.
    Fd out(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!out.valid()) {
        return failed(Step::CreateDestination, errno);
    }
    // Held until the copy is checked: a recorder started in the destination folder takes a
    // half-copied take there for an interrupted one unless it sees the file is being written.
    // Only such a recorder's brief check can hold it meanwhile; a file system without locks gets
    // the copy all the same.
    for (int attempt = 0; attempt < 2000 && ::flock(out.get(), LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK;
         ++attempt) {
        ::usleep(1000);
    }
    PartialCopy partial(to);
    ::posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    const auto total = static_cast<std::uint64_t>(source.st_size);
    if (progress && !progress(0, total)) {
        return MoveResult{.outcome = Outcome::Cancelled};
    }
    const auto block = std::make_unique_for_overwrite<std::byte[]>(blockSize);
    std::uint64_t done = 0;
    for (;;) {
        const ssize_t n = readSome(in.get(), block.get(), blockSize);
        if (n < 0) {
            return failed(Step::Read, errno);
        }
        if (n == 0) {
            break;
        }
        if (const int error = writeAll(out.get(), block.get(), static_cast<std::size_t>(n)); error != 0) {
            return failed(Step::Write, error);
        }
        // Writing back as we go keeps the final flush short and the page cache from filling up.
        ::sync_file_range(out.get(), static_cast<off_t>(done), n, SYNC_FILE_RANGE_WRITE);
        done += static_cast<std::uint64_t>(n);
        if (progress && !progress(done, total)) {
            return MoveResult{.outcome = Outcome::Cancelled};
        }
    }
    if (::fdatasync(out.get()) != 0) {
        return failed(Step::Flush, errno);
    }
    struct stat copy {};
    struct stat sourceAfter {};
    if (::fstat(out.get(), &copy) != 0 || ::fstat(in.get(), &sourceAfter) != 0) {
        return failed(Step::Check, errno);
    }
    if (static_cast<std::uint64_t>(copy.st_size) != done || sourceAfter.st_size != copy.st_size) {
        // The original changed length under the copy: the copy is not the take.
        return failed(Step::Check, EIO);
    }
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    ::futimens(out.get(), times);
    if (const int error = out.close(); error != 0) {
        return failed(Step::Flush, error);
    }
    syncFolderOf(to);
    partial.keep();
    in.reset();
    return movedResult(true, ::unlink(from.constData()) == 0);
}

}  // namespace

MoveResult moveFile(const QString& from, const QString& to, const CopyProgress& progress, std::size_t blockSize) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray destination = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, destination.constData(), RENAME_NOREPLACE) == 0) {
        return movedResult(false, true);
    }
    int error = errno;
    if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
        // The file system cannot refuse a replacing rename: a second name, then drop the first.
        if (::link(source.constData(), destination.constData()) == 0) {
            return movedResult(false, ::unlink(source.constData()) == 0);
        }
        error = errno;
        if (error == EPERM || error == EOPNOTSUPP || error == EMLINK) {
            // No hard links here (FAT and the like): a copy on the same file system does it.
            error = EXDEV;
        }
    }
    if (error != EXDEV) {
        return failed(Step::Rename, error);
    }
    return copyThenDelete(source, destination, progress, blockSize == 0 ? kCopyBlockSize : blockSize);
}

QString systemReason(int error) {
    if (error == 0) {
        return QCoreApplication::translate("SystemError", "Erro desconhecido");
    }
    const char* text = ::strerrordesc_np(error);
    return text != nullptr ? QString::fromLocal8Bit(text)
                           : QCoreApplication::translate("SystemError", "Erro %1").arg(error);
}

QString MoveResult::describe(const QString& destination) const {
    if (outcome != Outcome::Failed) {
        return QString();
    }
    const QString reason = systemReason(error);
    switch (step) {
        case Step::OpenSource:
        case Step::Read:
            return QCoreApplication::translate(
                       "MoveFile", "Não foi possível ler a gravação para salvá-la como \"%1\": %2.")
                .arg(destination, reason);
        case Step::Check:
            return QCoreApplication::translate(
                       "MoveFile",
                       "A cópia salva como \"%1\" não conferia com a gravação e foi removida: %2.")
                .arg(destination, reason);
        case Step::None:
        case Step::Rename:
        case Step::CreateDestination:
        case Step::Write:
        case Step::Flush:
            break;
    }
    return QCoreApplication::translate("MoveFile", "Não foi possível salvar a gravação como \"%1\": %2.")
        .arg(destination, reason);
}

}  // namespace platform::files
