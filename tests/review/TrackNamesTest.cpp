// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The tracks' file names and what stops a title or a folder, from made-up destinations and from
// real folders.

#include "recorder/review/TrackNames.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace review;

namespace {

struct TitleRow {
    QString title;
    TitleTrouble trouble;
    QString fileName = {};  // of track 2 of 3 as FLAC, where the row names it
    long nameMax = 255;
    QString refused = {};
};

const QString kWindows = QStringLiteral("\"*:<>?\\|");

}  // namespace

TEST(TrackNames, TitlesGiveTheirFileOrTheFirstTroubleInWords) {
    const QString tooLong = QString(247, QLatin1Char('a'));  // "02 " + 247 + ".flac": 255 bytes
    const QString cedillas = QString(123, QChar(0xE7)) + QLatin1Char('a');  // 247 bytes in UTF-8
    const TitleRow rows[] = {
        {QStringLiteral("  Lado A \t"), TitleTrouble::None, QStringLiteral("02 Lado A.flac")},
        {QStringLiteral("..."), TitleTrouble::None, QStringLiteral("02 ....flac")},
        {QStringLiteral("Canção: ao vivo?"), TitleTrouble::None, QStringLiteral("02 Canção: ao vivo?.flac")},
        {QString(), TitleTrouble::Empty},
        {QStringLiteral(" \t "), TitleTrouble::Empty},
        {QStringLiteral("."), TitleTrouble::OnlyDots},
        {QStringLiteral(" .. "), TitleTrouble::OnlyDots},
        {QStringLiteral("AC/DC"), TitleTrouble::Slash},
        {QStringLiteral("a") + QChar(0) + QStringLiteral("b"), TitleTrouble::ControlCharacter},
        {QStringLiteral("a\nb"), TitleTrouble::ControlCharacter},
        {QStringLiteral("a") + QChar(0x85) + QStringLiteral("b"), TitleTrouble::ControlCharacter},
        {QStringLiteral("a\x7f"), TitleTrouble::ControlCharacter},
        {tooLong, TitleTrouble::None, QStringLiteral("02 ") + tooLong + QStringLiteral(".flac")},
        {tooLong + QLatin1Char('a'), TitleTrouble::TooLong},
        {cedillas, TitleTrouble::None},
        {cedillas + QChar(0xE7), TitleTrouble::TooLong},
        {QStringLiteral("abcdefghij"), TitleTrouble::None, {}, 18},
        {QStringLiteral("abcdefghijk"), TitleTrouble::TooLong, {}, 18},
        {QStringLiteral("Lado A: Intro"), TitleTrouble::RefusedCharacter, {}, 255, kWindows},
        {QStringLiteral("Lado A - Intro"), TitleTrouble::None, {}, 255, kWindows},
        {QStringLiteral("Taken"), TitleTrouble::Exists},
    };
    for (const TitleRow& row : rows) {
        SCOPED_TRACE(row.title.toStdString());
        // A taken name stops only the track that would have it.
        const Destination destination{
            QStringLiteral("/x"), row.nameMax, row.refused, [](const QString& name) {
                return name == QLatin1String("02 Taken.flac") || name == QLatin1String("01 A.ogg");
            }};
        const auto names = nameTracks({QStringLiteral("A"), row.title, QStringLiteral("C")},
                                      QStringLiteral("flac"), destination);
        EXPECT_EQ(names[0].trouble, TitleTrouble::None);
        EXPECT_EQ(names[1].trouble, row.trouble);
        EXPECT_EQ(names[1].reason.isEmpty(), row.trouble == TitleTrouble::None)
            << names[1].reason.toStdString();
        if (!row.fileName.isEmpty()) {
            EXPECT_EQ(names[1].fileName, row.fileName);
        }
    }
}

TEST(TrackNames, NumbersHaveTwoDigitsOrAsManyAsTheCountNeeds) {
    const struct {
        int number, count;
        const char* name;
    } rows[] = {{1, 1, "01 T.flac"},    {9, 99, "09 T.flac"},     {99, 99, "99 T.flac"},
                {1, 100, "001 T.flac"}, {100, 100, "100 T.flac"}, {7, 1000, "0007 T.flac"}};
    for (const auto& row : rows) {
        EXPECT_EQ(trackFileName(row.number, row.count, QStringLiteral(" T "), QStringLiteral("flac")),
                  QString::fromLatin1(row.name));
    }
}

TEST(TrackNames, ARealFolderHoldsFilesFoldersAndBrokenLinksAndGivesItsTrouble) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    QFile file(root + QStringLiteral("/01 A.flac"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(QDir(root).mkdir(QStringLiteral("02 B.flac")));
    ASSERT_EQ(
        ::symlink("/nonexistent/target", QFile::encodeName(root + QStringLiteral("/03 C.flac")).constData()),
        0);

    const Destination here = destinationAt(root);
    EXPECT_GT(here.nameMax, 0);
    EXPECT_TRUE(here.refusedCharacters.isEmpty());
    const auto names =
        nameTracks({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")},
                   QStringLiteral("flac"), here);
    EXPECT_EQ(names[0].trouble, TitleTrouble::Exists);
    EXPECT_EQ(names[1].trouble, TitleTrouble::Exists);
    EXPECT_EQ(names[2].trouble, TitleTrouble::Exists);
    EXPECT_EQ(names[3].trouble, TitleTrouble::None);

    const struct {
        QString typed;
        QString path;
        FolderTrouble trouble;
    } folders[] = {
        {QString(), QString(), FolderTrouble::Empty},
        {QStringLiteral("  "), QString(), FolderTrouble::Empty},
        {QStringLiteral("Música"), QStringLiteral("Música"), FolderTrouble::NotAbsolute},
        {QStringLiteral("~"), QDir::homePath(), FolderTrouble::None},
        {root + QStringLiteral("//02 B.flac/"), root + QStringLiteral("/02 B.flac"), FolderTrouble::None},
        {root + QStringLiteral("/nada"), root + QStringLiteral("/nada"), FolderTrouble::Missing},
        {root + QStringLiteral("/01 A.flac"), root + QStringLiteral("/01 A.flac"), FolderTrouble::NotFolder},
    };
    for (const auto& row : folders) {
        SCOPED_TRACE(row.typed.toStdString());
        const QString path = folderPath(row.typed);
        EXPECT_EQ(path, row.path);
        EXPECT_EQ(folderTrouble(path), row.trouble);
        EXPECT_EQ(describe(folderTrouble(path), path).isEmpty(), row.trouble == FolderTrouble::None);
    }
    // Root writes anywhere; anyone else cannot write into a folder without the write bit.
    if (::geteuid() != 0) {
        const QString locked = root + QStringLiteral("/locked");
        ASSERT_TRUE(QDir(root).mkdir(QStringLiteral("locked")));
        ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
        EXPECT_EQ(folderTrouble(locked), FolderTrouble::NotWritable);
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}
