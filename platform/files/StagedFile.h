// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A new file that shows under its chosen name only once it is complete, so a crash, a kill or a
// power cut during a save never leaves a cut-off file that looks saved. It is written under a hidden
// name in the chosen folder (".tolvane-<16 hex digits>.partial", created exclusively), flushed with
// its folder, and only then given the chosen name, never replacing anything there.
//
// Before the hidden file is made, the save journal (a small entry per save in progress, under
// $XDG_STATE_HOME/tolvane/saves, flushed) records where it lies; the next start removes what an
// interrupted save left (removeUnfinishedSaves) wherever the user had chosen to save.
//
// A save of several files (a take's parts, tracks) stages each and names them with nameTogether:
// all or none of the names appear.

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <cstddef>
#include <span>
#include <vector>

namespace platform::files {

class StagedFile {
public:
    StagedFile() = default;
    // Removes the hidden file unless it was named, and forgets it in the journal.
    ~StagedFile();
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Journals and creates the hidden file for `destination`, open for reading and writing; `origin`
    // (the take it is saved from) is journaled with it, so the next start can say where that is.
    // 0 or the errno: EEXIST when `destination` exists already.
    int create(const QString& destination, const QString& origin = {});

    int fd() const { return fd_; }
    const QString& destination() const { return destination_; }
    // The hidden name it is written under until named.
    const QByteArray& hiddenPath() const { return hidden_; }

    // Flushes the file and closes it, then flushes its folder. 0 or the errno (a file system may
    // report a failed write only here). Named files are finished first by name().
    int finish();
    // Finishes the file and gives it the chosen name, never replacing anything; the name is on disk
    // when this returns. 0 or the errno: EEXIST when the name was taken meanwhile (the file then
    // stays hidden and goes with this object).
    int name();
    bool named() const { return named_; }

private:
    friend int nameTogether(std::span<StagedFile> files, std::size_t* failedAt);
    // Takes a name back that name() gave, when a save of several files cannot name them all.
    void unname();
    void forget();
    void release();

    QString destination_;
    QByteArray target_;  // the destination, encoded
    QByteArray hidden_;
    QByteArray entry_;  // the journal's entry for it
    int fd_ = -1;
    int entryFd_ = -1;  // held (and locked) while the save runs: a second copy leaves it alone
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool named_ = false;
};

// Names every file in order, all or none: should one name fail, those given already are taken back
// and every file stays hidden (and goes with its object). 0 or the errno of the failure, whose index
// goes to `failedAt`.
int nameTogether(std::span<StagedFile> files, std::size_t* failedAt = nullptr);

// The folder of the save journal: $XDG_STATE_HOME/tolvane/saves, ~/.local/state/tolvane/saves by
// default.
QString saveJournalFolder();

// A save that a crash, a kill or a power cut interrupted, and what it left.
struct UnfinishedSave {
    QString destination;  // the name the user had chosen; it was never given
    QString leftover;     // the hidden file removed
    QString origin;       // what was being saved, when the save said
};

// Removes every hidden file the journal names whose save no running program is doing, and its entry;
// what it removed. A folder that is not there (a disk not plugged in) keeps its entry for a later
// start. Called once at start-up.
std::vector<UnfinishedSave> removeUnfinishedSaves();

}  // namespace platform::files
