// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/TakeFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace {

QString musicTakeFolder() {
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty()) {
        music = QDir::home().filePath(QStringLiteral("Music"));
    }
    return QDir(music).filePath(QStringLiteral("Tolvane"));
}

// The same folder reached through symbolic links (/bin and /usr/bin on a merged-/usr system)
// counts as the same folder.
QString comparable(const QString& folder) {
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

}  // namespace

TakeFolderChoice chooseTakeFolder(const QString& programFolder, const QString& installedBinFolder) {
    const bool installed = !installedBinFolder.isEmpty() && comparable(programFolder) == comparable(installedBinFolder);
    // QFileInfo::isWritable looks at permission bits only; access() also sees read-only mounts.
    if (!installed && ::access(QFile::encodeName(programFolder).constData(), W_OK | X_OK) == 0) {
        return {programFolder, true};
    }
    return {musicTakeFolder(), false};
}

TakeFolderChoice thisProgramsTakeFolder() {
    return chooseTakeFolder(QCoreApplication::applicationDirPath(), QStringLiteral(TOLVANE_INSTALLED_BINDIR));
}

QString takeFolder() {
    const TakeFolderChoice choice = thisProgramsTakeFolder();
    if (!choice.besideProgram) {
        QDir().mkpath(choice.path);
    }
    return choice.path;
}
