// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The rename that refuses to replace, reached through a pointer so that tests can give it the
// answer of a file system that cannot refuse a replacing rename (NFS, 9p, FUSE). Internal to the
// file tools and their tests; the program never changes it.

namespace platform::files::detail {

using RenameAt2 = int (*)(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags);

// The call in use; starts out as the system's renameat2.
RenameAt2& renameCall();

}  // namespace platform::files::detail
