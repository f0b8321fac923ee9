// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Where takes go: next to a copy run from its own writable folder, never into the folder an
// installed copy lives in, and otherwise into the user's music folder as the desktop names it.
#include "recorder/window/TakeFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

#include <unistd.h>

namespace {

struct Case {
    const char* name;
    QString programFolder;  // relative to the scratch folder
    QString installedBin;   // relative to the scratch folder; empty: no installed location known
    bool readOnly;
    bool besideProgram;
};

}  // namespace

TEST(TakeFolder, InstalledCopiesWriteToTheMusicFolderAndOthersNextToThemselves) {
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QDir root(scratch.path());
    for (const char* folder : {"build/recorder", "usr/bin", "portable", "readonly", "home/.config"}) {
        ASSERT_TRUE(root.mkpath(QString::fromLatin1(folder)));
    }
    ASSERT_TRUE(QFile::link(root.filePath("usr/bin"), root.filePath("bin")));
    // The desktop's own name for the music folder, not a hard-coded ~/Music.
    QFile dirs(root.filePath("home/.config/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_MUSIC_DIR=\"$HOME/Klang\"\n");
    dirs.close();
    qputenv("HOME", QFile::encodeName(root.filePath("home")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath("home/.config")));
    ASSERT_TRUE(QFile::setPermissions(root.filePath("readonly"), QFile::ReadOwner | QFile::ExeOwner));
    const bool permissionsBind = ::access(QFile::encodeName(root.filePath("readonly")).constData(), W_OK) != 0;

    const Case cases[] = {
        {"build tree", "build/recorder", "usr/bin", false, true},
        {"portable copy, no installed location", "portable", "", false, true},
        {"installed, writable as root", "usr/bin", "usr/bin", false, false},
        {"installed, reached through a link", "bin", "usr/bin", false, false},
        {"installed, spelled with a trailing slash", "usr/bin/", "usr/bin", false, false},
        {"installed location spelled through a link", "usr/bin", "bin", false, false},
        {"read-only folder of its own", "readonly", "usr/bin", true, false},
    };
    const QString music = root.filePath("home/Klang/Tolvane");
    for (const Case& c : cases) {
        if (c.readOnly && !permissionsBind) {
            std::printf("skipped \"%s\": running as root, permission bits do not bind\n", c.name);
            continue;
        }
        const QString program = root.filePath(c.programFolder);
        const TakeFolderChoice choice =
            chooseTakeFolder(program, c.installedBin.isEmpty() ? QString() : root.filePath(c.installedBin));
        EXPECT_EQ(choice.besideProgram, c.besideProgram) << c.name;
        EXPECT_EQ(choice.path, c.besideProgram ? program : music) << c.name;
    }
    EXPECT_FALSE(QFileInfo::exists(music)) << "deciding must not create the folder";
    QFile::setPermissions(root.filePath("readonly"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
