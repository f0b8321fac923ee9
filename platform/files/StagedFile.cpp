// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/files/StagedFile.h"

#include "platform/files/FileTools.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <utility>

namespace platform::files {
namespace {

// The hidden name a staged file is written under; cleaning up never removes anything else.
const QRegularExpression& hiddenNamePattern() {
    static const QRegularExpression pattern(QStringLiteral("^\\.tolvane-[0-9a-f]{16}\\.partial$"));
    return pattern;
}

QByteArray randomHex() {
    return QByteArray::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, '0');
}

// Tells this boot from the one before a power cut; empty where the system does not say.
QByteArray bootId() {
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

bool sameFile(const QByteArray& path, dev_t device, ino_t inode) {
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 && info.st_dev == device && info.st_ino == inode;
}

// An entry is written under a name cleaning up ignores, locked, flushed, and only then given the
// name it is found by: a start that runs meanwhile never takes a half-written entry for a dead one.
constexpr const char* kEntrySuffix = ".save";
constexpr const char* kWritingSuffix = ".new";
// An entry still being written after this long was cut off by a crash.
constexpr qint64 kAbandonedWritingSeconds = 3600;

// Journals `hidden` as the file a save to `target` is writing; the entry's path, with its
// descriptor (locked) in `fd`, or empty where the journal cannot be written.
QByteArray journal(const QByteArray& hidden, const QByteArray& target, const QByteArray& origin, int& fd) {
    fd = -1;
    const QString folder = saveJournalFolder();
    if (!QDir().mkpath(folder)) {
        return {};
    }
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    const QByteArray base = QFile::encodeName(folder) + '/' + randomHex();
    const QByteArray writing = base + kWritingSuffix;
    const QByteArray entry = base + kEntrySuffix;
    const int file = ::open(writing.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (file < 0) {
        return {};
    }
    ::flock(file, LOCK_EX | LOCK_NB);
    const QByteArray text = "leftover=" + hidden.toPercentEncoding() +
                            "\ndestination=" + target.toPercentEncoding() +
                            "\norigin=" + origin.toPercentEncoding() + "\nboot=" + bootId() +
                            "\npid=" + QByteArray::number(::getpid()) + '\n';
    if (writeAll(file, reinterpret_cast<const std::byte*>(text.constData()),
                 static_cast<std::size_t>(text.size())) != 0 ||
        ::fsync(file) != 0 || ::rename(writing.constData(), entry.constData()) != 0) {
        ::unlink(writing.constData());
        ::close(file);
        return {};
    }
    syncFolderOf(entry);
    fd = file;  // kept open, and locked, by the staged file
    return entry;
}

struct Entry {
    QByteArray leftover;
    QByteArray destination;
    QByteArray origin;
    QByteArray boot;
    pid_t pid = 0;
};

Entry parseEntry(const QByteArray& text) {
    Entry entry;
    for (const QByteArray& line : text.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        const QByteArray key = line.left(equals);
        const QByteArray value = line.mid(equals + 1);
        if (key == "leftover") {
            entry.leftover = QByteArray::fromPercentEncoding(value);
        } else if (key == "destination") {
            entry.destination = QByteArray::fromPercentEncoding(value);
        } else if (key == "origin") {
            entry.origin = QByteArray::fromPercentEncoding(value);
        } else if (key == "boot") {
            entry.boot = value;
        } else if (key == "pid") {
            entry.pid = value.toInt();
        }
    }
    return entry;
}

// Whether the program that journaled the entry may still be saving: its lock is held, or, where the
// journal's file system has no locks, it runs in this boot and its process is there.
bool stillSaving(int fd, const Entry& entry) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        return false;
    }
    if (errno == EWOULDBLOCK) {
        return true;
    }
    return entry.boot == bootId() && entry.pid > 0 && (::kill(entry.pid, 0) == 0 || errno == EPERM);
}

// Cleans up after one journal entry and removes it, unless its save may still run or its folder
// is not there; the save when a leftover of it was removed.
std::optional<UnfinishedSave> cleanEntry(const QByteArray& path) {
    FileDescriptor file(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!file.isOpen()) {
        return std::nullopt;
    }
    QByteArray text(4096, '\0');
    const ssize_t length = ::pread(file.get(), text.data(), static_cast<std::size_t>(text.size()), 0);
    text.truncate(length > 0 ? length : 0);
    const Entry entry = parseEntry(text);
    if (stillSaving(file.get(), entry)) {
        return std::nullopt;
    }
    const QFileInfo leftover(QFile::decodeName(entry.leftover));
    std::optional<UnfinishedSave> removed;
    struct stat info {};
    if (entry.leftover.isEmpty() || !leftover.isAbsolute() ||
        !hiddenNamePattern().match(leftover.fileName()).hasMatch()) {
        // Cut off by a crash before its file was made, or not a file of ours to follow.
    } else if (::lstat(entry.leftover.constData(), &info) != 0) {
        // Named before the entry could go, or removed: nothing is left. A folder that is not there
        // (a disk not plugged in) is looked at again at a later start.
        if (errno != ENOENT || !QFileInfo(leftover.path()).isDir()) {
            return std::nullopt;
        }
    } else if (S_ISREG(info.st_mode)) {
        // Named through a second name whose first could not be dropped: that save is complete.
        const bool complete = sameFile(entry.destination, info.st_dev, info.st_ino);
        if (::unlink(entry.leftover.constData()) != 0) {
            return std::nullopt;
        }
        syncFolderOf(entry.leftover);
        if (!complete) {
            removed = UnfinishedSave{QFile::decodeName(entry.destination), leftover.filePath(),
                                     QFile::decodeName(entry.origin)};
        }
    }
    ::unlink(path.constData());
    return removed;
}

}  // namespace

QString saveJournalFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state)) {
        state = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return state + QStringLiteral("/tolvane/saves");
}

StagedFile::StagedFile(StagedFile&& other) noexcept {
    *this = std::move(other);
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        release();
        destination_ = std::exchange(other.destination_, {});
        target_ = std::exchange(other.target_, {});
        hidden_ = std::exchange(other.hidden_, {});
        entry_ = std::exchange(other.entry_, {});
        fd_ = std::exchange(other.fd_, -1);
        entryFd_ = std::exchange(other.entryFd_, -1);
        device_ = other.device_;
        inode_ = other.inode_;
        named_ = std::exchange(other.named_, false);
    }
    return *this;
}

StagedFile::~StagedFile() {
    release();
}

void StagedFile::release() {
    if (fd_ >= 0) {
        ::close(std::exchange(fd_, -1));
    }
    // After a name given through a second name, the hidden one may still be there: it is the
    // same file, and goes all the same.
    const bool gone = hidden_.isEmpty() || ::unlink(hidden_.constData()) == 0 || errno == ENOENT;
    hidden_.clear();
    // A file that could not be removed stays in the journal for the next start.
    if (gone) {
        forget();
    } else if (entryFd_ >= 0) {
        ::close(std::exchange(entryFd_, -1));
    }
    entry_.clear();
    named_ = false;
}

void StagedFile::forget() {
    if (entryFd_ >= 0) {
        ::unlink(entry_.constData());
        ::close(std::exchange(entryFd_, -1));
    }
    entry_.clear();
}

int StagedFile::create(const QString& destination, const QString& origin) {
    release();
    destination_ = destination;
    target_ = QFile::encodeName(destination);
    if (target_.isEmpty()) {
        return ENOENT;
    }
    struct stat existing {};
    if (::lstat(target_.constData(), &existing) == 0) {
        return EEXIST;
    }
    // Absolute for the journal: the next start may run in another folder.
    const QFileInfo absolute(QFileInfo(destination).absoluteFilePath());
    const QDir folder(absolute.path());
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QByteArray hidden = QFile::encodeName(
            folder.filePath(QStringLiteral(".tolvane-%1.partial").arg(QLatin1String(randomHex()))));
        // Remembered on disk before the file exists. Where the journal cannot be written the save
        // goes on all the same; only the clean-up after a crash is lost.
        entry_ =
            journal(hidden, QFile::encodeName(absolute.filePath()),
                    origin.isEmpty() ? QByteArray() : QFile::encodeName(QFileInfo(origin).absoluteFilePath()),
                    entryFd_);
        const int fd = ::open(hidden.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            struct stat info {};
            ::fstat(fd, &info);
            fd_ = fd;
            hidden_ = hidden;
            device_ = info.st_dev;
            inode_ = info.st_ino;
            return 0;
        }
        const int error = errno;
        forget();
        if (error != EEXIST) {
            return error;
        }
    }
    return EEXIST;
}

int StagedFile::finish() {
    if (fd_ < 0) {
        return 0;
    }
    const int fd = std::exchange(fd_, -1);
    const int synced = ::fsync(fd) == 0 ? 0 : errno;
    const int closed = ::close(fd) == 0 ? 0 : errno;
    if (synced != 0 || closed != 0) {
        return synced != 0 ? synced : closed;
    }
    syncFolderOf(hidden_);
    return 0;
}

int StagedFile::name() {
    if (named_) {
        return 0;
    }
    if (hidden_.isEmpty()) {
        return EBADF;
    }
    if (const int error = finish(); error != 0) {
        return error;
    }
    bool hiddenLeft = false;
    int error = renameNoReplace(hidden_, target_, hiddenLeft);
    if (error == EXDEV) {
        // Neither a refusing rename nor a second name here (exFAT or NTFS through FUSE): the name is
        // taken first by an empty file of our own, which the rename then replaces.
        const int placeholder = ::open(target_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (placeholder < 0) {
            return errno;
        }
        ::close(placeholder);
        error = ::rename(hidden_.constData(), target_.constData()) == 0 ? 0 : errno;
        if (error != 0) {
            ::unlink(target_.constData());
        }
    }
    if (error != 0) {
        return error;
    }
    syncFolderOf(target_);
    named_ = true;
    if (!hiddenLeft) {
        hidden_.clear();
    }
    forget();
    return 0;
}

void StagedFile::unname() {
    if (named_ && sameFile(target_, device_, inode_)) {
        ::unlink(target_.constData());
        syncFolderOf(target_);
    }
    named_ = false;
}

int nameTogether(std::span<StagedFile> files, std::size_t* failedAt) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (const int error = files[i].name(); error != 0) {
            for (std::size_t j = 0; j < i; ++j) {
                files[j].unname();
            }
            if (failedAt != nullptr) {
                *failedAt = i;
            }
            return error;
        }
    }
    return 0;
}

std::vector<UnfinishedSave> removeUnfinishedSaves() {
    std::vector<UnfinishedSave> removed;
    const QDir folder(saveJournalFolder());
    const QDateTime now = QDateTime::currentDateTime();
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
        const QByteArray path = QFile::encodeName(info.absoluteFilePath());
        if (path.endsWith(kWritingSuffix)) {
            if (info.lastModified().secsTo(now) > kAbandonedWritingSeconds) {
                ::unlink(path.constData());
            }
            continue;
        }
        if (!path.endsWith(kEntrySuffix)) {
            continue;
        }
        if (auto save = cleanEntry(path)) {
            removed.push_back(std::move(*save));
        }
    }
    return removed;
}

}  // namespace platform::files
