// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/files/FileTools.h"
#include "platform/files/RenameCall.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>

#include <cstring>

namespace platform::files {

detail::RenameAt2& detail::renameCall() {
    static RenameAt2 call = ::renameat2;
    return call;
}

void FileDescriptor::reset() {
    if (fd_ >= 0) {
        ::close(std::exchange(fd_, -1));
    }
}

int FileDescriptor::close() {
    if (fd_ < 0) {
        return 0;
    }
    return ::close(std::exchange(fd_, -1)) == 0 ? 0 : errno;
}

int writeAll(int fd, const std::byte* data, std::size_t length) {
    return writeFully(data, length, [fd](const std::byte* from, std::size_t n, std::size_t) {
        return ::write(fd, from, n);
    });
}

int writeAllAt(int fd, const std::byte* data, std::size_t length, std::uint64_t offset) {
    return writeFully(data, length, [fd, offset](const std::byte* from, std::size_t n, std::size_t done) {
        return ::pwrite(fd, from, n, static_cast<off_t>(offset + done));
    });
}

int readAllAt(int fd, std::byte* out, std::size_t length, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, out + done, length - done, static_cast<off_t>(offset + done));
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

bool lockForWriting(int fd) {
    for (int attempt = 0; attempt < 2000; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno == ENOLCK) {
            return false;
        }
        ::usleep(1000);
    }
    return false;
}

std::optional<std::uint64_t> freeBytesAt(const QString& folder) {
    struct statvfs info {};
    if (folder.isEmpty() || ::statvfs(QFile::encodeName(folder).constData(), &info) != 0) {
        return std::nullopt;
    }
    return std::uint64_t{info.f_bavail} * info.f_frsize;
}

void syncFolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    FileDescriptor dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.isOpen()) {
        ::fsync(dir.get());
    }
}

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
        if (error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK) {
            // No hard links here (FAT and the like): only a copy can move the file.
            error = EXDEV;
        }
    }
    return error;
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

QString partPath(const QString& first, int number) {
    if (number <= 1) {
        return first;
    }
    // Before the extension of the file's own name; a dot in a folder's name is no extension.
    const qsizetype slash = first.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = first.lastIndexOf(QLatin1Char('.'));
    const qsizetype at = dot > slash + 1 ? dot : first.size();
    return first.left(at) + QLatin1Char('.') + QString::number(number) + first.mid(at);
}

}  // namespace platform::files
