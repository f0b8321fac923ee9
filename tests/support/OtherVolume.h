// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A folder on another file system than the tests' temporary folders, for moves that must copy.

#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <optional>

namespace testsupport {

class OtherVolume {
public:
    // A tmpfs of `bytes` mounted on a fresh folder when the system lets this process mount;
    // otherwise a fresh folder in /dev/shm, which is not limited to `bytes`.
    explicit OtherVolume(std::uint64_t bytes);
    ~OtherVolume();
    OtherVolume(const OtherVolume&) = delete;
    OtherVolume& operator=(const OtherVolume&) = delete;

    // False when no such folder could be made, or it is on the temporary folders' file system.
    bool usable() const { return usable_; }
    // A mount of its own, holding no more than `bytes`.
    bool sizeLimited() const { return mounted_; }
    QString path() const;

private:
    std::optional<QTemporaryDir> dir_;
    bool mounted_ = false;
    bool usable_ = false;
};

}  // namespace testsupport
