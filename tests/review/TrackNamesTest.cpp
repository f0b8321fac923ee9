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

#include <set>

using namespace review;

namespace {

struct TitleRow {
    QString title;
    QString fileName;  // of track 2 of 3, as FLAC
    TitleTrouble trouble;
};

Destination madeUp(long nameMax = 255, QString refused = {}, std::set<QString> taken = {}) {
    return Destination{QStringLiteral("/x"), nameMax, std::move(refused),
                       [taken](const QString& name) { return taken.count(name) > 0; }};
}

TrackName secondOfThree(const QString& title, const Destination& destination) {
    return nameTracks({QStringLiteral("A"), title, QStringLiteral("C")}, QStringLiteral("flac"),
                      destination)[1];
}

}  // namespace

TEST(TrackNames, TitlesGiveTheirFileOrTheFirstTroubleInWords) {
    const QString tooLong = QString(247, QLatin1Char('a'));  // "02 " + 247 + ".flac": 255 bytes
    const QString cedillas = QString(123, QChar(0xE7)) + QLatin1Char('a');  // 247 bytes in UTF-8
    const TitleRow rows[] = {
        {QStringLiteral("Faixa 2"), QStringLiteral("02 Faixa 2.flac"), TitleTrouble::None},
        {QStringLiteral("  Lado A \t"), QStringLiteral("02 Lado A.flac"), TitleTrouble::None},
        {QStringLiteral("..."), QStringLiteral("02 ....flac"), TitleTrouble::None},
        {QStringLiteral("Canção: ao vivo?"), QStringLiteral("02 Canção: ao vivo?.flac"), TitleTrouble::None},
        {QString(), QStringLiteral("02 .flac"), TitleTrouble::Empty},
        {QStringLiteral(" \t "), QStringLiteral("02 .flac"), TitleTrouble::Empty},
        {QStringLiteral("."), {}, TitleTrouble::OnlyDots},
        {QStringLiteral(" .. "), {}, TitleTrouble::OnlyDots},
        {QStringLiteral("AC/DC"), {}, TitleTrouble::Slash},
        {QStringLiteral("/"), {}, TitleTrouble::Slash},
        {QStringLiteral("a") + QChar(0) + QStringLiteral("b"), {}, TitleTrouble::ControlCharacter},
        {QStringLiteral("a\nb"), {}, TitleTrouble::ControlCharacter},
        {QStringLiteral("a") + QChar(0x85) + QStringLiteral("b"), {}, TitleTrouble::ControlCharacter},
        {QStringLiteral("a\x7f"), {}, TitleTrouble::ControlCharacter},
        {tooLong, QStringLiteral("02 ") + tooLong + QStringLiteral(".flac"), TitleTrouble::None},
        {tooLong + QLatin1Char('a'), {}, TitleTrouble::TooLong},
        {cedillas, {}, TitleTrouble::None},
        {cedillas + QChar(0xE7), {}, TitleTrouble::TooLong},
    };
    for (const TitleRow& row : rows) {
        SCOPED_TRACE(row.title.toStdString());
        const TrackName name = secondOfThree(row.title, madeUp());
        EXPECT_EQ(name.trouble, row.trouble);
        EXPECT_EQ(name.reason.isEmpty(), row.trouble == TitleTrouble::None) << name.reason.toStdString();
        if (!row.fileName.isEmpty()) {
            EXPECT_EQ(name.fileName, row.fileName);
        }
    }
}

TEST(TrackNames, TheDestinationRefusesItsOwnCharactersItsLongNamesAndTheNamesItHolds) {
    const Destination windows = madeUp(255, QStringLiteral("\"*:<>?\\|"));
    const TrackName colon = secondOfThree(QStringLiteral("Lado A: Intro"), windows);
    EXPECT_EQ(colon.trouble, TitleTrouble::RefusedCharacter);
    EXPECT_TRUE(colon.reason.contains(QLatin1Char(':'))) << colon.reason.toStdString();
    EXPECT_EQ(secondOfThree(QStringLiteral("Lado A - Intro"), windows).trouble, TitleTrouble::None);

    EXPECT_EQ(secondOfThree(QStringLiteral("abcdefghij"), madeUp(18)).trouble, TitleTrouble::None);
    EXPECT_EQ(secondOfThree(QStringLiteral("abcdefghijk"), madeUp(18)).trouble, TitleTrouble::TooLong);

    // A taken name stops only the track that would have it.
    const auto names =
        nameTracks({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}, QStringLiteral("ogg"),
                   madeUp(255, {}, {QStringLiteral("02 B.ogg"), QStringLiteral("01 A.flac")}));
    ASSERT_EQ(names.size(), 3U);
    EXPECT_EQ(names[0].trouble, TitleTrouble::None);
    EXPECT_EQ(names[1].trouble, TitleTrouble::Exists);
    EXPECT_TRUE(names[1].reason.contains(QStringLiteral("02 B.ogg"))) << names[1].reason.toStdString();
    EXPECT_EQ(names[2].trouble, TitleTrouble::None);
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
    const QStringList titles(100, QStringLiteral("x"));
    const auto names = nameTracks(titles, QStringLiteral("mp3"), madeUp());
    EXPECT_EQ(names.front().fileName, QStringLiteral("001 x.mp3"));
    EXPECT_EQ(names.back().fileName, QStringLiteral("100 x.mp3"));
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
