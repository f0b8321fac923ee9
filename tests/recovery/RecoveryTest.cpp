// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Interrupted takes in the program's folder: what is repaired and how, what is never touched, and
// what the window makes of it at start-up.
#include "recorder/recovery/Recovery.h"
#include "recorder/recovery/TakeHeader.h"
#include "recorder/window/frmSoundRec.h"

#include "ScriptedDialogs.h"
#include "TakeReader.h"
#include "SimulatedWaveIn.h"
#include "recorder/wavfile/TakeFile.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/xattr.h>

namespace {

QByteArray header(std::uint16_t channels, std::uint32_t rate, std::uint32_t riff, std::uint32_t data,
                  std::uint32_t fmtSize = 18, std::uint16_t bits = 16) {
    QByteArray b;
    const auto put32 = [&](std::uint32_t v) { b.append(reinterpret_cast<const char*>(&v), 4); };
    const auto put16 = [&](std::uint16_t v) { b.append(reinterpret_cast<const char*>(&v), 2); };
    const auto align = static_cast<std::uint16_t>(bits / 8 * channels);
    b.append("RIFF");
    put32(riff);
    b.append("WAVEfmt ");
    put32(fmtSize);
    put16(1), put16(channels), put32(rate), put32(rate * align), put16(align), put16(bits), put16(18);
    b.append("data");
    put32(data);
    return b;
}

QByteArray audio(int bytes) {
    QByteArray a(bytes, '\0');
    for (int i = 0; i < bytes; ++i) {
        a[i] = static_cast<char>(i * 7);
    }
    return a;
}

struct Row {
    const char* name;
    QByteArray bytes;
    std::optional<std::uint32_t> repairedData;  // nothing: the file must stay as it is
    qint64 minutesOld = 60;                     // when the file was last written
    bool marked = false;                        // still marked as being recorded
};

QByteArray listChunk() {
    const char bytes[] = "LIST\x0e\0\0\0INFOINAM\x02\0\0\0A";
    return QByteArray(bytes, 22);
}

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST(Recovery, RepairsInterruptedTakesToWholeFramesAndLeavesEverythingElseAlone) {
    const Row rows[] = {
        // Interrupted takes of ours; their names sort otherwise than their times.
        {"01022026030405PM.WAV", header(2, 44100, 0, 18) + audio(35280), 35280, 50},         // provisional sizes
        {"01022026030406PM.WAV", header(2, 44100, 1038, 1000) + audio(8000 + 3), 8000, 70},  // stale, torn frame
        {"01022026030407AM-2.WAV", header(1, 11025, 99999, 99961) + audio(501), 500, 30},    // power cut: claims more
        {"12312025115959PM.WAV", header(1, 22050, 38, 0) + audio(1), 0, 90},                 // half a frame only
        {"01022026110000AM.WAV", header(2, 44100, 1038, 2000) + audio(4000), 4000, 10},      // killed between sizes
        {"01022026110001AM.WAV", header(2, 44100, 438, 400) + audio(400), 400, 5, true},    // killed, header up to date
        // 24-bit takes: an odd length (mono) ends in RIFF's pad byte, kept when on disk, added when not.
        {"02022026010000AM.WAV", header(1, 96000, 0, 18, 18, 24) + audio(15), 15, 40},
        {"02022026010001AM.WAV", header(1, 48000, 0, 18, 18, 24) + audio(15) + QByteArray(1, '\0'), 15, 41},
        {"02022026010002AM.WAV", header(1, 44100, 0, 18, 18, 24) + audio(14), 12, 42},  // torn frame
        {"02022026010003AM.WAV", header(2, 96000, 0, 18, 18, 24) + audio(64), 60, 43},
        // Not to be touched.
        {"01022026030408PM.WAV", header(2, 44100, 38 + 400, 400) + audio(400), std::nullopt},  // complete
        {"mysong.WAV", header(2, 44100, 0, 18) + audio(4000), std::nullopt},                  // not our name
        {"13022026030405PM.WAV", header(2, 44100, 0, 18) + audio(4000), std::nullopt},        // no month 13
        {"01022026030409PM.wav", header(2, 44100, 0, 18) + audio(4000), std::nullopt},        // not our extension
        {"01022026030410PM.WAV", header(2, 44100, 0, 18, 16) + audio(4000), std::nullopt},    // 16-byte fmt
        {"01022026030411PM.WAV", header(2, 32000, 0, 18) + audio(4000), std::nullopt},        // not our rate
        {"01022026030412PM.WAV", header(2, 44100, 0, 18).left(30), std::nullopt},             // cut in the header
        {"01022026030413PM.WAV", QByteArray("RIFX") + header(2, 44100, 0, 18).mid(4) + audio(40), std::nullopt},
        {"01022026030414PM.WAV", QByteArray(), std::nullopt},                                 // empty
        // Finished, then given a tag after its audio by another program.
        {"01022026030417PM.WAV", header(2, 44100, 38 + 400 + 22, 400) + audio(400) + listChunk(), std::nullopt},
        // Being copied in right now: it states the whole take, and only part has arrived.
        {"01022026030418PM.WAV", header(2, 44100, 38 + 8000, 8000) + audio(3000), std::nullopt, 0},
    };
    QTemporaryDir folder;
    const QDateTime now = QDateTime::currentDateTime();
    bool marksKept = true;
    for (const Row& row : rows) {
        write(folder.filePath(QLatin1String(row.name)), row.bytes);
        QFile file(folder.filePath(QLatin1String(row.name)));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(now.addSecs(-60 * row.minutesOld), QFileDevice::FileModificationTime));
        if (row.marked && ::fsetxattr(file.handle(), recovery::kRecordingAttribute, "1", 1, 0) != 0) {
            // Where the file system keeps no such marks only the sizes can tell, and this row cannot be.
            std::printf("%s left out: %s\n", row.name, std::strerror(errno));
            marksKept = false;
            file.remove();
        }
    }
    // A link under a take's name to a take elsewhere is not followed.
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("01022026030415PM.WAV"));
    write(target, header(2, 44100, 0, 18) + audio(400));
    ASSERT_TRUE(QFile::link(target, folder.filePath(QStringLiteral("01022026030415PM.WAV"))));
    // A take another copy of the program is writing holds its lock; its header is behind its audio.
    testsupport::ScriptedDialogs dialogs;
    basSoundRec_2::TakeFile running(dialogs, QStringLiteral("Tolvane"));
    const QString runningPath = running.Create(folder.filePath(QStringLiteral("01022026030416PM.WAV")));
    platform::wavein::WAVEFORMATEX format;
    format.wFormatTag = 1, format.nChannels = 2, format.nSamplesPerSec = 44100, format.nAvgBytesPerSec = 176400,
    format.nBlockAlign = 4, format.wBitsPerSample = 16, format.cbSize = 18;
    ASSERT_TRUE(running.WriteHeader(format));
    const QByteArray some = audio(4000);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(running.Append(reinterpret_cast<const std::byte*>(some.constData()), some.size()).ok());
    }
    const QByteArray runningBefore = read(runningPath);
    const auto isMarked = [](const QString& path) {
        return ::getxattr(QFile::encodeName(path).constData(), recovery::kRecordingAttribute, nullptr, 0) >= 0;
    };
    EXPECT_EQ(isMarked(runningPath), marksKept) << "a take being recorded is marked";

    const auto recovered = recovery::recoverInterruptedTakes(folder.path());

    QStringList recoveredNames;
    for (const auto& take : recovered) {
        recoveredNames << QFileInfo(take.path).fileName();
    }
    for (const Row& row : rows) {
        const QString path = folder.filePath(QLatin1String(row.name));
        if (row.marked && !marksKept) {
            continue;
        }
        const QByteArray after = read(path);
        if (!row.repairedData) {
            EXPECT_EQ(after, row.bytes) << row.name;
            EXPECT_FALSE(recoveredNames.contains(QLatin1String(row.name))) << row.name;
            continue;
        }
        EXPECT_TRUE(recoveredNames.contains(QLatin1String(row.name))) << row.name;
        EXPECT_FALSE(isMarked(path)) << row.name;
        EXPECT_EQ(QFileInfo(path).lastModified().secsTo(now), 60 * row.minutesOld) << row.name;
        const auto take = testsupport::readTake(path);
        const std::uint32_t pad = *row.repairedData & 1;
        ASSERT_EQ(take.bytes.size(), 46u + *row.repairedData + pad) << row.name;
        EXPECT_EQ(take.u32(42), *row.repairedData) << row.name;
        EXPECT_EQ(take.u32(4), *row.repairedData + pad + 38) << row.name;
        EXPECT_EQ(after.left(46).mid(8, 34), row.bytes.left(46).mid(8, 34)) << row.name;
        EXPECT_EQ(after.mid(46, static_cast<int>(*row.repairedData)),
                  row.bytes.mid(46, static_cast<int>(*row.repairedData)))
            << row.name;
        if (pad != 0) {
            EXPECT_EQ(after.back(), '\0') << row.name;
        }
    }
    // Oldest first, by when each was last written, whatever its name.
    QStringList oldestFirst{"12312025115959PM.WAV", "01022026030406PM.WAV", "01022026030405PM.WAV",
                            "02022026010003AM.WAV", "02022026010002AM.WAV", "02022026010001AM.WAV",
                            "02022026010000AM.WAV", "01022026030407AM-2.WAV", "01022026110000AM.WAV",
                            "01022026110001AM.WAV"};
    if (!marksKept) {
        oldestFirst.removeLast();
    }
    EXPECT_EQ(recoveredNames, oldestFirst);
    EXPECT_EQ(read(target), header(2, 44100, 0, 18) + audio(400));
    EXPECT_EQ(read(runningPath), runningBefore);
    running.Finalise();
    EXPECT_FALSE(isMarked(runningPath)) << "a finished take is no longer marked";

    // Each readable by the independent readers now (the one of no audio at all aside).
    EXPECT_EQ(testsupport::independentReadersComplaints(folder.filePath(QStringLiteral("01022026030405PM.WAV")), 2,
                                                        44100),
              QString());
    EXPECT_EQ(testsupport::independentReadersComplaints(folder.filePath(QStringLiteral("01022026030407AM-2.WAV")),
                                                        1, 11025),
              QString());
    for (const char* odd : {"02022026010000AM.WAV", "02022026010001AM.WAV"}) {
        EXPECT_EQ(testsupport::independentReadersComplaints(folder.filePath(QLatin1String(odd)), 1,
                                                            QLatin1String(odd) == QLatin1String("02022026010000AM.WAV")
                                                                ? 96000
                                                                : 48000,
                                                            24),
                  QString())
            << odd;
    }
    // A second scan finds nothing left to do.
    EXPECT_TRUE(recovery::recoverInterruptedTakes(folder.path()).empty());
}

TEST(Recovery, TheWindowTellsOnceAndTheNewestBecomesTheUnsavedTake) {
    QTemporaryDir folder;
    const QString older = folder.filePath(QStringLiteral("01022026030405PM.WAV"));
    const QString newer = folder.filePath(QStringLiteral("01022026040000PM.WAV"));
    write(older, header(2, 44100, 0, 18) + audio(176400 * 3 + 2));
    write(newer, header(1, 11025, 0, 18) + audio(22050 * 75));
    QFile(older).setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime);

    testsupport::ScriptedDialogs dialogs;
    platform::wavein::SimulatedWaveIn device(platform::wavein::SimulatedSource::counter(),
                                             platform::wavein::Pacing::Manual);
    frmSoundRec window({.waveIn = device, .dialogs = &dialogs, .programFolder = folder.path()});
    window.show();
    QTest::qWait(50);

    ASSERT_EQ(dialogs.messages().size(), 1);
    const QString text = dialogs.messages()[0];
    EXPECT_TRUE(text.contains(QStringLiteral("01022026030405PM.WAV (0:00:03)"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("01022026040000PM.WAV (0:01:15)"))) << text.toStdString();
    EXPECT_EQ(window.takeFileName, newer);
    EXPECT_FALSE(window.takeSaved);
    EXPECT_TRUE(window.cmdSave()->isEnabled());
    EXPECT_EQ(testsupport::readTake(older).u32(42), 176400u * 3);

    // The next take asks about it as about any unsaved take; Yes deletes it.
    dialogs.answers.push_back(platform::Answer::Yes);
    window.Check1()->click();
    ASSERT_GE(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].kind, testsupport::ShownDialog::Kind::Question);
    EXPECT_FALSE(QFile::exists(newer));
    window.Check1()->click();
}
