#include "recorder/window/TakeFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

QString takeFolder() {
    const QString programFolder = QCoreApplication::applicationDirPath();
    // QFileInfo::isWritable looks at permission bits only; access() also sees read-only mounts.
    if (::access(QFile::encodeName(programFolder).constData(), W_OK | X_OK) == 0) {
        return programFolder;
    }
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty()) {
        music = QDir::home().filePath(QStringLiteral("Music"));
    }
    const QString folder = QDir(music).filePath(QStringLiteral("Tolvane"));
    QDir().mkpath(folder);
    return folder;
}
