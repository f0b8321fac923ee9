// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A take past the WAV limit (lowered here) goes on in numbered parts through the real take file and
// capture engine: every frame once and in order across the parts, each part a WAV file that
// independent readers accept, and the parts saved, deleted and recovered together.
#include "PcmFormat.h"
#include "RecorderUnderTest.h"
#include "TakeReader.h"

#include "platform/files/FileTools.h"
#include "recorder/recovery/Recovery.h"
#include "recorder/wavfile/TakeParts.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

using testsupport::firstCounterMismatch;
using testsupport::readTake;
using testsupport::Recorder;
using testsupport::TakeBytes;

namespace {

constexpr std::size_t kBuffer = 35280;  // a fifth of a second at 44100 Hz stereo
constexpr std::size_t kLeadIn = 10 * kBuffer;
// A part holds twelve buffers and 100 bytes: the parts break in the middle of a buffer.
constexpr std::uint64_t kPartData = 12 * kBuffer + 100;
constexpr std::uint64_t kLimit = 38 + kPartData;

// The take the parts make together: the first part's header, then the audio of each in order.
TakeBytes joined(const QStringList& parts) {
    TakeBytes whole;
    for (const QString& part : parts) {
        const TakeBytes bytes = readTake(part);
        const auto from = whole.bytes.empty() ? bytes.bytes.begin() : bytes.bytes.begin() + 46;
        whole.bytes.insert(whole.bytes.end(), from, bytes.bytes.end());
    }
    return whole;
}

// Records `buffers` buffers after the lead-in and stops; the take's parts.
QStringList recordTake(Recorder& r, int buffers) {
    r.click();
    r.produceBuffers(buffers);
    r.click();
    return basSoundRec_2::takeParts(r.window.takeFileName);
}

}  // namespace

TEST(TakeParts, EveryFrameOnceAndInOrderAcrossTwoAndThreeParts) {
    const struct {
        int buffers;
        int parts;
    } rows[] = {{8, 2}, {20, 3}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.parts);
        Recorder r({}, kLimit);
        const QStringList parts = recordTake(r, row.buffers);
        EXPECT_TRUE(r.dialogs.messages().isEmpty()) << r.dialogs.messages().join(' ').toStdString();
        const QString first = r.window.takeFileName;
        ASSERT_EQ(parts.size(), row.parts);
        EXPECT_EQ(parts[1], QDir(r.folder.path()).filePath(QStringLiteral("03042026090507AM.2.WAV")));
        EXPECT_EQ(r.files().size(), row.parts);
        std::uint64_t total = 0;
        for (qsizetype i = 0; i < parts.size(); ++i) {
            const TakeBytes part = readTake(parts[i]);
            EXPECT_EQ(part.u32(42), part.dataLength()) << parts[i].toStdString();
            EXPECT_EQ(part.u32(4), part.bytes.size() - 8) << parts[i].toStdString();
            if (i + 1 < parts.size()) {
                EXPECT_EQ(part.dataLength(), kPartData) << "every part but the last is full";
            }
            EXPECT_EQ(testsupport::independentReadersComplaints(parts[i], 2, 44100), QString());
            total += part.dataLength();
        }
        EXPECT_EQ(total, kLeadIn + row.buffers * kBuffer);
        EXPECT_EQ(firstCounterMismatch(joined(parts), kLeadIn, 2), std::nullopt);
    }
}

TEST(TakeParts, SavedAndDeletedTogether) {
    Recorder r({}, kLimit);
    const QStringList parts = recordTake(r, 20);
    ASSERT_EQ(parts.size(), 3);
    const TakeBytes whole = joined(parts);

    // Saved under the chosen name, numbered as the take was, on the same disk and to another one.
    for (const QString& folder : {r.folder.path(), QStringLiteral("/dev/shm")}) {
        SCOPED_TRACE(folder.toStdString());
        QTemporaryDir target(folder + QStringLiteral("/saved-XXXXXX"));
        r.dialogs.savePaths.push_back(target.filePath(QStringLiteral("song")));
        const QStringList before = basSoundRec_2::takeParts(r.window.takeFileName);
        ASSERT_EQ(before.size(), 3);
        r.window.cmdSave()->click();
        const QStringList saved = basSoundRec_2::takeParts(target.filePath(QStringLiteral("song.Wav")));
        EXPECT_EQ(saved, (QStringList{target.filePath(QStringLiteral("song.Wav")),
                                      target.filePath(QStringLiteral("song.2.Wav")),
                                      target.filePath(QStringLiteral("song.3.Wav"))}));
        EXPECT_EQ(joined(saved).bytes, whole.bytes);
        for (const QString& part : before) {
            EXPECT_FALSE(QFile::exists(part)) << part.toStdString();
        }
        // Put back for the next round, as an unsaved take.
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(QFile::rename(saved[i], before[i]));
        }
        r.window.takeSaved = false;
    }

    // All or nothing: a third part's name already taken leaves the whole take where it was.
    QTemporaryDir target;
    r.dialogs.savePaths.push_back(target.filePath(QStringLiteral("song")));
    QFile taken(target.filePath(QStringLiteral("song.3.Wav")));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    r.window.cmdSave()->click();
    EXPECT_EQ(r.dialogs.messages().size(), 1);
    // The box names the file that is there, not the first one, which is not.
    EXPECT_TRUE(r.dialogs.messages().value(0).contains(QStringLiteral("/song.3.Wav\"")))
        << r.dialogs.messages().value(0).toStdString();
    EXPECT_EQ(joined(basSoundRec_2::takeParts(r.window.takeFileName)).bytes, whole.bytes);
    EXPECT_EQ(QDir(target.path()).entryList(QDir::Files), QStringList{QStringLiteral("song.3.Wav")});
    EXPECT_FALSE(r.window.takeSaved);

    // The next take asks about it; Yes deletes every part.
    r.dialogs.answers.push_back(platform::Answer::Yes);
    r.click();
    r.click();
    EXPECT_EQ(r.files(), QStringList{QStringLiteral("03042026090507AM.WAV")});
    EXPECT_EQ(readTake(r.window.takeFileName).dataLength(), kLeadIn);
}

TEST(TakeParts, APartThatCannotBeMadeStopsTheTakeCompleteAndSaysWhy) {
    Recorder r({}, kLimit);
    r.click();
    // Made while the take runs: a name taken before the press gives the take another name.
    QFile blocker(QDir(r.folder.path()).filePath(QStringLiteral("03042026090507AM.2.WAV")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.write("not ours");
    blocker.close();
    r.produceBuffers(4);
    EXPECT_TRUE(r.stopped());
    ASSERT_EQ(r.dialogs.messages().size(), 1);
    const QString box = r.dialogs.messages()[0];
    EXPECT_TRUE(box.contains(QStringLiteral("03042026090507AM.2.WAV")) &&
                box.contains(platform::files::systemReason(EEXIST)))
        << box.toStdString();
    const TakeBytes take = readTake(r.window.takeFileName);
    EXPECT_EQ(take.dataLength(), kPartData);
    EXPECT_EQ(take.u32(4), take.bytes.size() - 8);
    EXPECT_EQ(firstCounterMismatch(take, kLeadIn, 2), std::nullopt);
    QFile kept(blocker.fileName());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "not ours");
}

TEST(TakeParts, AKilledTakeIsRecoveredWithAllItsParts) {
    QTemporaryDir folder;
    const QString first = folder.filePath(QStringLiteral("03042026090507AM.WAV"));
    // A recorder killed while its third part runs, the moment after the second was begun, or in the
    // first: recovery finds the take by whichever part is still marked.
    const struct {
        std::size_t bytes;
        int parts;
    } rows[] = {{2 * kPartData + 5000, 3}, {kPartData + 4, 2}, {7000, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.parts);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            testsupport::ScriptedDialogs dialogs;
            basSoundRec_2::TakeFile take(dialogs, QStringLiteral("Tolvane"), kLimit);
            if (take.Create(first) != first || !take.WriteHeader(testsupport::pcm16())) {
                _exit(1);
            }
            std::vector<std::byte> audio(row.bytes, std::byte{7});
            take.Append(audio.data(), audio.size());
            ::raise(SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        const auto recovered = recovery::recoverInterruptedTakes(folder.path());
        ASSERT_EQ(recovered.size(), 1u);
        EXPECT_EQ(recovered[0].path, first);
        EXPECT_EQ(recovered[0].parts, row.parts);
        EXPECT_EQ(recovered[0].dataBytes, row.bytes);
        const QStringList parts = basSoundRec_2::takeParts(first);
        ASSERT_EQ(parts.size(), row.parts);
        for (const QString& part : parts) {
            const TakeBytes bytes = readTake(part);
            EXPECT_EQ(bytes.u32(42), bytes.dataLength()) << part.toStdString();
        }
        EXPECT_TRUE(recovery::describeRecovered(recovered).contains(QStringLiteral("03042026090507AM.WAV")));
        for (const QString& part : parts) {
            QFile::remove(part);
        }
    }
}
