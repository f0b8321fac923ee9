// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "OtherVolume.h"

#include <QDir>
#include <QFile>

#include <sys/mount.h>
#include <sys/stat.h>

namespace testsupport {
namespace {

std::optional<dev_t> deviceOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return std::nullopt;
    }
    return st.st_dev;
}

}  // namespace

OtherVolume::OtherVolume(std::uint64_t bytes) {
    dir_.emplace(QDir::temp().filePath(QStringLiteral("tolvane-volume-XXXXXX")));
    if (dir_->isValid()) {
        const QByteArray options = "size=" + QByteArray::number(static_cast<qulonglong>(bytes)) + ",mode=0700";
        mounted_ = ::mount("tmpfs", QFile::encodeName(dir_->path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                           options.constData()) == 0;
    }
    if (!mounted_) {
        dir_.emplace(QStringLiteral("/dev/shm/tolvane-volume-XXXXXX"));
    }
    const auto here = deviceOf(QDir::tempPath());
    const auto there = dir_->isValid() ? deviceOf(dir_->path()) : std::nullopt;
    usable_ = here && there && *here != *there;
}

OtherVolume::~OtherVolume() {
    if (mounted_) {
        ::umount2(QFile::encodeName(dir_->path()).constData(), MNT_DETACH);
    }
}

QString OtherVolume::path() const {
    return dir_->path();
}

}  // namespace testsupport
