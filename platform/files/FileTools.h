// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The small file tools the take, its recovery and its saves share: an owned descriptor, whole reads
// and writes that go on after a partial one, a bounded wait for a file's lock, a rename that never
// replaces, the system's words for an errno value, and the names of a file's further parts.

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

namespace platform::files {

// Owns one open descriptor and closes it exactly once.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    // Closes without a word: for paths where the data was flushed already or does not matter.
    void reset();
    // Closes now and returns 0 or the errno: some file systems report a failed write only here.
    int close();

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

// At the descriptor's position, or at `offset` without moving it. 0 or the errno.
int writeAll(int fd, const std::byte* data, std::size_t length);
int writeAllAt(int fd, const std::byte* data, std::size_t length, std::uint64_t offset);
// Exactly `length` bytes from `offset`; 0, the errno, or EIO when the file ends first.
int readAllAt(int fd, std::byte* out, std::size_t length, std::uint64_t offset);

// Takes the exclusive advisory lock, waiting up to two seconds: only a scan that checks a file at
// that instant (a recorder starting up) holds a new file's lock, and it lets go at once. A file
// system without locks (or whose lock server does not answer) leaves the file unlocked rather than
// the caller hanging. True when the lock is held.
bool lockForWriting(int fd);

// The bytes a program may still write on the file system that holds `folder`; nothing when the
// folder cannot be asked.
std::optional<std::uint64_t> freeBytesAt(const QString& folder);

// Flushes the folder that holds `path`, so a name just made or changed there survives a crash.
void syncFolderOf(const QByteArray& path);

// A rename that never replaces anything at `to`; where the file system cannot be told to refuse
// (NFS, 9p, FUSE), a second name and then the first dropped. 0, EXDEV when only a copy can do it
// (another file system, or no hard links either), or the errno. `sourceLeft` tells when the second
// name was made but the first could not be dropped.
int renameNoReplace(const QByteArray& from, const QByteArray& to, bool& sourceLeft);

// The system's text for an errno value, in English whatever the locale.
QString systemReason(int error);

// Part `number` of a file that goes on in further files beside its first, as a take's parts and a
// long WAV save's do: "<name>.2.<ext>", "<name>.3.<ext>"...; 1 (or less) is `first` itself.
QString partPath(const QString& first, int number);

}  // namespace platform::files
