// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/files/MoveFile.h"

#include "platform/files/FileTools.h"
#include "platform/files/RenameCall.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::files {

detail::RenameAt2& detail::renameCall() {
    static RenameAt2 call = ::renameat2;
    return call;
}

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

ssize_t readSome(int fd, std::byte* into, std::size_t length) {
    for (;;) {
        const ssize_t n = ::read(fd, into, length);
        if (n >= 0 || errno != EINTR) {
            return n;
        }
    }
}

// Copies `from` to the new file `to`, flushed and checked; `from` stays. Moved, or what went wrong
// with nothing left at `to`.
MoveResult copyChecked(const QByteArray& from, const QByteArray& to, const CopyProgress& progress,
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
    PartialFile partial(to);
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
    return movedResult(true, false);
}

// A rename that never replaces anything at `to`. 0, EXDEV when only a copy can move the file, or
// the errno. `sourceLeft` tells when the file system could only add the second name and the first
// one could not be dropped.
int renameNoReplace(const QByteArray& from, const QByteArray& to, bool& sourceLeft) {
    sourceLeft = false;
    if (detail::renameCall()(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    int error = errno;
    if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
        // The file system cannot refuse a replacing rename: a second name, then drop the first.
        if (::link(from.constData(), to.constData()) == 0) {
            sourceLeft = ::unlink(from.constData()) != 0;
            return 0;
        }
        error = errno;
        if (error == EPERM || error == EOPNOTSUPP || error == EMLINK) {
            // No hard links here (FAT and the like): a copy on the same file system does it.
            error = EXDEV;
        }
    }
    return error;
}

}  // namespace

MoveResult moveFile(const QString& from, const QString& to, const CopyProgress& progress,
                    std::size_t blockSize) {
    return moveFiles({from}, {to}, progress, blockSize);
}

MoveResult moveFiles(const QStringList& from, const QStringList& to, const CopyProgress& progress,
                     std::size_t blockSize) {
    if (from.isEmpty() || from.size() != to.size()) {
        return failed(Step::None, EINVAL);
    }
    std::vector<QByteArray> sources;
    std::vector<QByteArray> destinations;
    for (qsizetype i = 0; i < from.size(); ++i) {
        sources.push_back(QFile::encodeName(from[i]));
        destinations.push_back(QFile::encodeName(to[i]));
    }

    // Renamed one by one; a refusal puts back the ones renamed, so nothing moved at all.
    std::size_t renamed = 0;
    bool allSourcesGone = true;
    std::vector<bool> sourceLeft(sources.size(), false);
    for (; renamed < sources.size(); ++renamed) {
        bool left = false;
        const int error = renameNoReplace(sources[renamed], destinations[renamed], left);
        if (error == 0) {
            sourceLeft[renamed] = left;
            allSourcesGone = allSourcesGone && !left;
            continue;
        }
        if (error == EXDEV && renamed == 0) {
            break;  // another file system: copies below
        }
        MoveResult refused = failed(Step::Rename, error);
        refused.file = renamed;
        // Back the way they came: where the file system cannot refuse a replacing rename, only the
        // second name and the dropped first one put a part back without risking another file.
        while (renamed-- > 0) {
            bool backLeft = false;
            if (sourceLeft[renamed]) {
                refused.restored = ::unlink(destinations[renamed].constData()) == 0 && refused.restored;
            } else if (renameNoReplace(destinations[renamed], sources[renamed], backLeft) != 0) {
                refused.restored = false;
            }
        }
        return refused;
    }
    if (renamed == sources.size()) {
        return movedResult(false, allSourcesGone);
    }

    // Every file is copied and checked before any original is deleted; a failure or a cancel removes
    // the copies made.
    std::vector<std::uint64_t> sizes;
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        struct stat info {};
        if (::stat(sources[i].constData(), &info) != 0) {
            MoveResult unreadable = failed(Step::OpenSource, errno);
            unreadable.file = i;
            return unreadable;
        }
        sizes.push_back(static_cast<std::uint64_t>(info.st_size));
        total += sizes.back();
    }
    std::uint64_t before = 0;
    const std::size_t block = blockSize == 0 ? kCopyBlockSize : blockSize;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        CopyProgress told;
        if (progress) {
            told = [&](std::uint64_t done, std::uint64_t) { return progress(before + done, total); };
        }
        MoveResult copied = copyChecked(sources[i], destinations[i], told, block);
        if (!copied.moved()) {
            for (std::size_t j = 0; j < i; ++j) {
                ::unlink(destinations[j].constData());
            }
            copied.file = i;
            return copied;
        }
        before += sizes[i];
    }
    bool removed = true;
    for (const QByteArray& source : sources) {
        removed = ::unlink(source.constData()) == 0 && removed;
    }
    return movedResult(true, removed);
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
