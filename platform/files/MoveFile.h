// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Moving a file to a name that must not exist yet. On one file system it is a rename, instant at
// any size; to another one the file is copied in blocks, flushed and checked before the original
// is deleted, and a copy that fails or is cancelled is removed again.

#include "platform/files/FileTools.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace platform::files {

// Told before the first block of a copy to another file system and after every block, with the
// bytes copied and the total. Returning false cancels the copy.
using CopyProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

inline constexpr std::size_t kCopyBlockSize = std::size_t{1} << 20;

struct MoveResult {
    enum class Outcome { Moved, Cancelled, Failed };
    // What was being done when the move failed; it names the failure for the user.
    enum class Step { None, Rename, OpenSource, CreateDestination, Read, Write, Flush, Check };

    Outcome outcome = Outcome::Failed;
    Step step = Step::None;
    int error = 0;  // errno of the failure
    // Failed only: of several files moved together, the one it failed on.
    std::size_t file = 0;
    // Moved only: the data went across file systems block by block rather than by a rename.
    bool copied = false;
    // Moved only: false when the original could not be deleted after the copy; both files remain.
    bool sourceRemoved = true;
    // Failed only: false when files already moved could not all be put back (the medium went
    // away meanwhile); those are under their new names.
    bool restored = true;

    bool moved() const { return outcome == Outcome::Moved; }
    // English, with the system's reason; empty unless Failed.
    QString describe(const QString& destination) const;
};

// Moves `from` to `to`, never replacing anything at `to`. Whatever the outcome other than Moved,
// `from` is as it was and `to` holds nothing of this call.
MoveResult moveFile(const QString& from, const QString& to, const CopyProgress& progress = {},
                    std::size_t blockSize = kCopyBlockSize);

// Moves every file of `from` to the name at the same place in `to`, all or nothing: renamed one by
// one (a refusal puts back those done the way they went), or across file systems all copied and
// checked before any original is deleted. Progress counts the bytes of all of them. Whatever the
// outcome other than Moved, every `from` is as it was and no `to` holds anything of this call
// (short of a medium that fails while parts are put back: see `restored`).
MoveResult moveFiles(const QStringList& from, const QStringList& to, const CopyProgress& progress = {},
                     std::size_t blockSize = kCopyBlockSize);

}  // namespace platform::files
