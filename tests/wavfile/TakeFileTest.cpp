// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The take file's bytes, names, limits and lifecycle on a real file system.

#include "TakeFileSupport.h"

#include <QDir>
#include <QFileInfo>

#include <sys/xattr.h>

#include <cerrno>

namespace wavfiletest {
namespace {

using basSoundRec_2::AppendResult;
using basSoundRec_2::takeFileBaseName;

TEST(TakeFileName, MonthDayYearTwelveHourClockMinutesSecondsDesignator) {
    const struct {
        QTime time;
        const char* name;
    } rows[] = {
        {QTime(0, 5, 9), "03052024120509AM.WAV"},    {QTime(11, 59, 59), "03052024115959AM.WAV"},
        {QTime(12, 0, 0), "03052024120000PM.WAV"},   {QTime(13, 7, 8), "03052024010708PM.WAV"},
        {QTime(23, 41, 30), "03052024114130PM.WAV"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(takeFileBaseName(QDateTime(QDate(2024, 3, 5), row.time)), QLatin1String(row.name));
    }
    EXPECT_EQ(takeFileBaseName(QDateTime(QDate(1999, 12, 31), QTime(21, 0, 1))), "12311999090001PM.WAV");
}

struct FormatRow {
    std::uint32_t rate;
    std::uint16_t channels;
    std::uint32_t avgBytes;
    std::uint16_t blockAlign;
};

class TakeFileFormats : public TakeFileTest, public ::testing::WithParamInterface<FormatRow> {};

TEST_P(TakeFileFormats, HeaderBytesThenTrueSizesAfterFinalise) {
    const FormatRow row = GetParam();
    auto take = startTake(pcm16(row.rate, row.channels));
    const QByteArray header = readAll(take->path());
    ASSERT_EQ(header.size(), 46);
    EXPECT_EQ(header.mid(0, 4), "RIFF");
    EXPECT_EQ(le32(header, 4), 0u);  // provisional until finalised
    EXPECT_EQ(header.mid(8, 4), "WAVE");
    EXPECT_EQ(header.mid(12, 4), "fmt ");
    EXPECT_EQ(le32(header, 16), 18u);
    EXPECT_EQ(le16(header, 20), 1u);
    EXPECT_EQ(le16(header, 22), row.channels);
    EXPECT_EQ(le32(header, 24), row.rate);
    EXPECT_EQ(le32(header, 28), row.avgBytes);
    EXPECT_EQ(le16(header, 32), row.blockAlign);
    EXPECT_EQ(le16(header, 34), 16u);
    EXPECT_EQ(le16(header, 36), 18u);
    EXPECT_EQ(header.mid(38, 4), "data");
    EXPECT_EQ(le32(header, 42), 18u);  // the fmt chunk's size, left in the shared chunk record

    QByteArray audio;
    for (int i = 0; i < 3; ++i) {
        const QByteArray buffer(row.rate / 10 * row.blockAlign, static_cast<char>(i + 1));
        ASSERT_TRUE(take->Append(bytes(buffer), buffer.size()).ok());
        audio += buffer;
    }
    EXPECT_EQ(take->dataLength(), static_cast<std::uint64_t>(audio.size()));
    take->Finalise();
    EXPECT_FALSE(take->isOpen());

    const QByteArray file = readAll(take->path());
    ASSERT_EQ(file.size(), 46 + audio.size());
    EXPECT_EQ(le32(file, 4), static_cast<std::uint32_t>(file.size() - 8));
    EXPECT_EQ(le32(file, 42), static_cast<std::uint32_t>(file.size() - 46));
    EXPECT_EQ(file.mid(8, 34), header.mid(8, 34));
    EXPECT_EQ(file.mid(46), audio);
    EXPECT_TRUE(messages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(AllOptions, TakeFileFormats,
                         ::testing::Values(FormatRow{44100, 1, 88200, 2}, FormatRow{44100, 2, 176400, 4},
                                           FormatRow{22050, 1, 44100, 2}, FormatRow{22050, 2, 88200, 4},
                                           FormatRow{11025, 1, 22050, 2}, FormatRow{11025, 2, 44100, 4}));

TEST_F(TakeFileTest, OddDataLengthGetsAZeroPadByteOutsideTheDataSize) {
    auto take = startTake();
    const QByteArray odd("\x7f\x7f\x7f", 3);
    ASSERT_TRUE(take->Append(bytes(odd), odd.size()).ok());
    take->Finalise();
    const QByteArray file = readAll(take->path());
    ASSERT_EQ(file.size(), 50);
    EXPECT_EQ(le32(file, 42), 3u);
    EXPECT_EQ(file.at(49), '\0');
    EXPECT_EQ(le32(file, 4), 42u);
}

// What a crash or a kill leaves: the file on disk between appends, never finalised.
TEST_F(TakeFileTest, WhileRunningTheHeaderNeverFallsASecondOfAudioBehind) {
    for (const auto& format : {pcm16(44100, 2), pcm16(11025, 1)}) {
        auto take = startTake(format);
        const std::uint32_t second = format.nAvgBytesPerSec;
        const QByteArray buffer(static_cast<int>(second / 10), 'k');
        std::uint32_t lastStated = 0;
        for (int i = 0; i < 35; ++i) {
            ASSERT_TRUE(take->Append(bytes(buffer), buffer.size()).ok());
            const QByteArray file = readAll(take->path());
            const auto onDisk = static_cast<std::uint32_t>(file.size() - 46);
            const std::uint32_t stated = le32(file, 42);
            // An odd length is followed by its pad byte, which the RIFF size holds.
            EXPECT_EQ(le32(file, 4), stated + 38 + (stated & 1)) << i;
            EXPECT_LE(stated, onDisk) << i;
            EXPECT_LT(onDisk - stated, second) << i;
            EXPECT_GE(stated, lastStated) << i;
            lastStated = stated;
        }
        EXPECT_GE(take->upkeep().headerRefreshes, 3);
    }
}

TEST_F(TakeFileTest, CreateNeverOverwritesAndNumbersBeforeTheExtension) {
    const QByteArray older("an older take");
    for (const char* name : {"take.WAV", "take-2.WAV", "plain", "a.b"}) {
        QFile file(inDir(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(older);
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("a.b.dir")));

    TakeFile take(dialogs, kTitle);
    EXPECT_EQ(take.Create(inDir(QStringLiteral("take.WAV"))), inDir(QStringLiteral("take-3.WAV")));
    EXPECT_TRUE(take.isOpen());
    EXPECT_EQ(take.Create(inDir(QStringLiteral("plain"))), inDir(QStringLiteral("plain-2")));
    EXPECT_EQ(take.Create(inDir(QStringLiteral("a.b.dir/t"))), inDir(QStringLiteral("a.b.dir/t")));
    EXPECT_EQ(take.Create(inDir(QStringLiteral("a.b.dir/t"))), inDir(QStringLiteral("a.b.dir/t-2")));
    EXPECT_EQ(take.path(), inDir(QStringLiteral("a.b.dir/t-2")));

    for (const char* name : {"take.WAV", "take-2.WAV", "plain", "a.b"}) {
        EXPECT_EQ(readAll(inDir(QLatin1String(name))), older) << name;
    }
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(TakeFileTest, CreateInAMissingOrImpossibleFolderFails) {
    QFile blocker(inDir(QStringLiteral("not-a-folder")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    TakeFile take(dialogs, kTitle);
    for (const QString& path : {inDir(QStringLiteral("missing/take.WAV")),
                                inDir(QStringLiteral("not-a-folder/take.WAV")), QString()}) {
        EXPECT_EQ(take.Create(path), QString());
        EXPECT_FALSE(take.isOpen());
        EXPECT_EQ(take.path(), QString());
    }
    EXPECT_EQ(messages(), QStringList(3, QStringLiteral("Failed to create WAV file")));
    take.Finalise();
    EXPECT_EQ(messages().size(), 3);
}

TEST_F(TakeFileTest, AFullFileGoesOnInTheNextPartWhichAloneIsMarkedAsRecording) {
    // Room for 100 bytes of audio in each part; an odd 101st byte would need a pad byte too.
    auto take = startTake(pcm16(44100, 1), 38 + 101);
    const QByteArray sixty(60, 'a'), fortyOne(41, 'b');
    EXPECT_TRUE(take->Append(bytes(sixty), sixty.size()).ok());
    EXPECT_TRUE(take->Append(bytes(fortyOne), fortyOne.size()).ok());
    const QString second = inDir(QStringLiteral("take.2.WAV"));
    EXPECT_EQ(take->partCount(), 2);
    EXPECT_EQ(take->dataLength(), 101u);
    const auto marked = [](const QString& path) {
        return ::getxattr(QFile::encodeName(path).constData(), "user.tolvane.recording", nullptr, 0) >= 0;
    };
    EXPECT_FALSE(marked(take->path()));
    EXPECT_TRUE(marked(second) || errno == ENOTSUP);
    take->Finalise();
    EXPECT_FALSE(marked(second));

    const QByteArray first = readAll(take->path());
    EXPECT_EQ(le32(first, 4), 138u);
    EXPECT_EQ(first.mid(46), sixty + fortyOne.left(40));
    const QByteArray next = readAll(second);
    EXPECT_EQ(next.left(42).mid(8), first.left(42).mid(8));
    EXPECT_EQ(le32(next, 42), 1u);
    EXPECT_EQ(le32(next, 4), 40u);  // with its pad byte
    EXPECT_EQ(next.size(), 48);
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(TakeFileTest, A24BitMonoTakeIsCutIntoPartsAtWholeFramesEachWithItsPadByte) {
    WAVEFORMATEX wide = pcm16(96000, 1);
    wide.wBitsPerSample = 24, wide.nBlockAlign = 3, wide.nAvgBytesPerSec = 3 * 96000;
    // Room for 101 bytes of audio: 33 frames, and the pad byte of their odd length.
    auto take = startTake(wide, 38 + 101);
    QByteArray frames;
    for (int i = 0; i < 40 * 3; ++i) {
        frames.append(static_cast<char>(i + 1));
    }
    ASSERT_TRUE(take->Append(bytes(frames), frames.size()).ok());
    take->Finalise();
    const QByteArray first = readAll(take->path());
    EXPECT_EQ(le32(first, 42), 99u);
    EXPECT_EQ(le32(first, 4), 38u + 99 + 1);
    ASSERT_EQ(first.size(), 46 + 99 + 1);
    EXPECT_EQ(first.mid(46, 99), frames.left(99));
    EXPECT_EQ(first.back(), '\0');
    const QByteArray next = readAll(inDir(QStringLiteral("take.2.WAV")));
    EXPECT_EQ(le32(next, 42), 21u);
    ASSERT_EQ(next.size(), 46 + 21 + 1);
    EXPECT_EQ(next.mid(46, 21), frames.mid(99));
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(TakeFileTest, NothingIsWrittenWithoutAnOpenTake) {
    TakeFile take(dialogs, kTitle);
    const QByteArray some(4, 'x');
    EXPECT_EQ(take.Append(bytes(some), some.size()).status, AppendResult::Status::NotOpen);
    EXPECT_FALSE(take.WriteHeader(pcm16(44100, 1)));
    take.Finalise();

    const QString path = take.Create(inDir(QStringLiteral("take.WAV")));
    EXPECT_EQ(take.Append(bytes(some), some.size()).status, AppendResult::Status::NotOpen);  // no header yet
    ASSERT_TRUE(take.WriteHeader(pcm16(44100, 1)));
    EXPECT_FALSE(take.WriteHeader(pcm16(44100, 1)));
    take.Finalise();
    const QByteArray finished = readAll(path);
    EXPECT_EQ(take.Append(bytes(some), some.size()).status, AppendResult::Status::NotOpen);
    take.Finalise();
    EXPECT_EQ(readAll(path), finished);
    EXPECT_EQ(finished.size(), 46);
    EXPECT_EQ(le32(finished, 42), 0u);
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(TakeFileTest, DiscardRemovesTheFileAndOnlyOnce) {
    auto take = startTake();
    const QString path = take->path();
    take->Discard();
    EXPECT_FALSE(take->isOpen());
    EXPECT_FALSE(QFile::exists(path));

    auto finished = startTake();
    finished->Finalise();
    finished->Discard();
    EXPECT_FALSE(QFile::exists(path));
    // A file made later under the same name is not the take's to remove.
    QFile later(path);
    ASSERT_TRUE(later.open(QIODevice::WriteOnly));
    later.close();
    finished->Discard();
    EXPECT_TRUE(QFile::exists(path));
}

TEST_F(TakeFileTest, ATakeLeftOpenIsCompletedWhenReplacedOrDestroyed) {
    const QByteArray audio(64, 's');
    auto take = startTake();
    const QString first = take->path();
    ASSERT_TRUE(take->Append(bytes(audio), audio.size()).ok());
    const QString second = take->Create(inDir(QStringLiteral("take.WAV")));
    EXPECT_EQ(le32(readAll(first), 42), 64u);
    ASSERT_TRUE(take->WriteHeader(pcm16(22050, 2)));
    ASSERT_TRUE(take->Append(bytes(audio), audio.size()).ok());
    take.reset();
    const QByteArray file = readAll(second);
    EXPECT_EQ(le32(file, 4), static_cast<std::uint32_t>(file.size() - 8));
    EXPECT_EQ(le32(file, 42), 64u);
    EXPECT_TRUE(messages().isEmpty());
}

}  // namespace
}  // namespace wavfiletest
