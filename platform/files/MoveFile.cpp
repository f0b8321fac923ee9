// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/files/MoveFile.h"

#include "platform/files/FileTools.h"
#include "platform/files/StagedFile.h"

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

// Copies `from` into the staged file `to`, flushed and checked, and finishes it; `from` stays.
// Moved, or what went wrong (the staged file then goes with its owner).
MoveResult copyChecked(const QByteArray& from, StagedFile& to, const CopyProgress& progress,
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
    const int out = to.fd();
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
        if (const int error = writeAll(out, block.get(), static_cast<std::size_t>(n)); error != 0) {
            return failed(Step::Write, error);
        }
        // Writing back as we go keeps the final flush short and the page cache from filling up.
        ::sync_file_range(out, static_cast<off_t>(done), n, SYNC_FILE_RANGE_WRITE);
        done += static_cast<std::uint64_t>(n);
        if (progress && !progress(done, total)) {
            return MoveResult{.outcome = Outcome::Cancelled};
        }
    }
    if (::fdatasync(out) != 0) {
        return failed(Step::Flush, errno);
    }
    struct stat copy {};
    struct stat sourceAfter {};
    if (::fstat(out, &copy) != 0 || ::fstat(in.get(), &sourceAfter) != 0) {
        return failed(Step::Check, errno);
    }
    if (static_cast<std::uint64_t>(copy.st_size) != done || sourceAfter.st_size != copy.st_size) {
        // The original changed length under the copy: the copy is not the take.
        return failed(Step::Check, EIO);
    }
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    ::futimens(out, times);
    if (const int error = to.finish(); error != 0) {
        return failed(Step::Flush, error);
    }
    return movedResult(true, false);
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

    // Every file is copied under a hidden name and checked, then all are named together, before any
    // original is deleted; a failure or a cancel removes the copies made. The names are made first,
    // so a taken one is told before anything is copied.
    std::vector<StagedFile> copies(sources.size());
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
        if (const int error = copies[i].create(to[static_cast<qsizetype>(i)], from.front()); error != 0) {
            MoveResult refused = failed(Step::CreateDestination, error);
            refused.file = i;
            return refused;
        }
    }
    std::uint64_t before = 0;
    const std::size_t block = blockSize == 0 ? kCopyBlockSize : blockSize;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        CopyProgress told;
        if (progress) {
            told = [&](std::uint64_t done, std::uint64_t) { return progress(before + done, total); };
        }
        MoveResult copied = copyChecked(sources[i], copies[i], told, block);
        if (!copied.moved()) {
            copied.file = i;
            return copied;
        }
        before += sizes[i];
    }
    std::size_t refusedAt = 0;
    if (const int error = nameTogether(copies, &refusedAt); error != 0) {
        MoveResult refused = failed(Step::Rename, error);
        refused.file = refusedAt;
        return refused;
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
