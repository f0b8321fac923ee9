// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The positioning system calls of the take file's finalisation, reached through a table so that tests
// can fail the ones no real condition can fail (a seek within a regular file, a flush). Internal to the
// take file and its tests; the program never changes the table.

#include <sys/types.h>

#include <cstddef>

namespace basSoundRec_2::detail {

struct FileCalls {
    ssize_t (*pwrite)(int fd, const void* buffer, std::size_t count, off_t offset);
    off_t (*lseek)(int fd, off_t offset, int whence);
    int (*fdatasync)(int fd);
};

// The table in use; starts out with the system's own calls.
FileCalls& fileCalls();
// The system's own calls, for restoring the table.
FileCalls systemFileCalls();

}  // namespace basSoundRec_2::detail
