#include "platform/files/MoveFile.h"

#include "platform/files/FileTools.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <fcntl.h>
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

// The new name survives a crash before the original is deleted.
void syncFolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    FileDescriptor dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.isOpen()) {
        ::fsync(dir.get());
    }
}

MoveResult copyThenDelete(const QByteArray& from, const QByteArray& to, const CopyProgress& progress,
                          std::size_t blockSize) {
    FileDescriptor in(::open(from.constData(), O_RDONLY | O_CLOEXEC));
    if (!in.isOpen()) {
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
    FileDescriptor out(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!out.isOpen()) {
        return failed(Step::CreateDestination, errno);
    }
    // Held until the copy is checked: a recorder started in the destination folder takes a
    // half-copied take there for an interrupted one unless it sees the file is being written.
    // Only such a recorder's brief check can hold it meanwhile; a file system without locks gets
    // the copy all the same.
    lockForWriting(out.get());
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

MoveResult moveFile(const QString& from, const QString& to, const CopyProgress& progress,
                    std::size_t blockSize) {
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

QString MoveResult::describe(const QString& destination) const {
    if (outcome != Outcome::Failed) {
        return QString();
    }
    const QString reason = systemReason(error);
    switch (step) {
        case Step::OpenSource:
        case Step::Read:
            return QStringLiteral("Could not read the take to save it as \"%1\": %2.")
                .arg(destination, reason);
        case Step::Check:
            return QStringLiteral("The copy saved as \"%1\" did not match the take, so it was removed: %2.")
                .arg(destination, reason);
        case Step::None:
        case Step::Rename:
        case Step::CreateDestination:
        case Step::Write:
        case Step::Flush:
            break;
    }
    return QStringLiteral("Could not save the take as \"%1\": %2.").arg(destination, reason);
}

}  // namespace platform::files
