// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The real program killed with SIGKILL at random moments of a take: every file it leaves is a valid
// take of the right format that the independent readers open, missing at most the last second.
#include "CountingSource.h"
#include "PrivateServer.h"
#include "RecorderProcess.h"
#include "SessionManager.h"
#include "TakeReader.h"
#include "recorder/wavfile/TakeMarkers.h"
#include "ToneBursts.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <random>
#include <vector>

using namespace testsupport;

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kBlockAlign = 4;  // the program's default: stereo
constexpr std::uint32_t kBufferSize = 35280;
constexpr std::uint32_t kSecond = kRate * kBlockAlign;

constexpr std::size_t kLeadIn = 10u * kBufferSize;

// What the take was recorded from: the shared server's sine, or a numbered source.
enum class Sound { Sine, Count };

// What a take left by a killed program must be; empty when it is.
std::string complaintsAbout(const QString& path, Sound sound = Sound::Sine) {
    std::string out;
    const auto complain = [&](const std::string& what) { out += what + "; "; };
    const TakeBytes take = readTake(path);
    if (take.bytes.size() < 46) {
        return "shorter than its header";
    }
    const std::uint32_t stated = take.u32(42);
    const std::size_t onDisk = take.dataLength();
    if (take.u32(4) != stated + 38) {
        complain("RIFF size " + std::to_string(take.u32(4)) + " does not match data size " + std::to_string(stated));
    }
    if (stated % kBlockAlign != 0) {
        complain("data size " + std::to_string(stated) + " is not whole frames");
    }
    if (stated > onDisk) {
        complain("the header states more audio than the file holds");
    } else if (onDisk - stated >= kSecond + kBufferSize) {
        complain("the header is " + std::to_string(onDisk - stated) + " bytes behind the audio on disk");
    }
    const std::size_t leadIn = kLeadIn;
    if (stated < leadIn) {
        complain("the silent lead-in is not all there");
    }
    for (std::size_t i = 0; i < std::min<std::size_t>(leadIn, stated) / 2; ++i) {
        if (take.sample(i) != 0) {
            complain("lead-in sample " + std::to_string(i) + " is not silent");
            break;
        }
    }
    if (sound == Sound::Count) {
        // Every whole frame on disk after the lead-in, stated or not, goes on by one from the last:
        // nothing lost, doubled or reordered, up to the moment of the kill.
        if (onDisk >= leadIn + kBlockAlign && counterAt(take, leadIn / kBlockAlign) < 65536) {
            complain("the audio after the lead-in is not the count");
        }
        const auto jumps = counterJumps(take, leadIn / kBlockAlign);
        if (!jumps.empty()) {
            complain(std::to_string(jumps.size()) + " breaks in the count, the first " +
                     std::to_string(jumps[0].skipped) + " frames skipped at frame " +
                     std::to_string(jumps[0].atFrame) + " of the audio");
        }
    }
    // The sine continues without a jump: a lost, doubled or reordered buffer breaks one period.
    // Judged from a quarter second in, once the server's resampler settled.
    const std::size_t from = leadIn + kSecond / 4;
    if (sound == Sound::Sine && stated > from + kBufferSize) {
        const SinePeriods periods = sinePeriods(take, from, stated, 2);
        if (periods.shortest < 95 || periods.longest > 106) {
            complain("the sine has periods from " + std::to_string(periods.shortest) + " to " +
                     std::to_string(periods.longest) + " samples");
        }
    }
    const QString readers = independentReadersComplaints(path, 2, static_cast<int>(kRate));
    if (!readers.isEmpty()) {
        complain(readers.toStdString());
    }
    return out;
}

// Waits until the take file holds `bytes` of audio; false when it stopped short of that.
bool waitForLength(const QString& path, std::size_t bytes, int timeoutMs = 30000) {
    QElapsedTimer waited;
    waited.start();
    while (QFileInfo(path).size() < static_cast<qint64>(46 + bytes)) {
        if (waited.elapsed() > timeoutMs) {
            return false;
        }
        QThread::msleep(50);
    }
    return true;
}

// Waits until the take's marker file holds `count` markers.
bool waitForMarkers(const QString& take, std::size_t count) {
    QElapsedTimer waited;
    waited.start();
    while (basSoundRec_2::readTakeMarkers(take).frames.size() < count) {
        if (waited.elapsed() > 30000) {
            return false;
        }
        QThread::msleep(50);
    }
    return true;
}

}  // namespace

// Recorded from a numbered source on a server of the test's own, so a buffer lost, doubled or
// swapped shows in the count. The kills fall from 0.2 to 10 s into the audio after the lead-in,
// spread evenly, so some come after the take's periodic flushes to the disk and many header
// refreshes.
TEST(KilledTakes, EveryFileLeftByAKillIsAValidTake) {
    QElapsedTimer runTime;
    runTime.start();
    const CountingServer sound;
    ASSERT_TRUE(sound.ready());
    VirtualDisplay display;
    ASSERT_TRUE(display.running());
    const int kills = qEnvironmentVariableIntValue("TOLVANE_KILLS") > 0 ? qEnvironmentVariableIntValue("TOLVANE_KILLS") : 20;
    std::random_device entropy;
    const unsigned seed = entropy();
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> within(0.0, 1.0);
    std::vector<int> moments;
    for (int n = 0; n < kills; ++n) {
        moments.push_back(200 + static_cast<int>((n + within(random)) * 9800.0 / kills));
    }
    std::shuffle(moments.begin(), moments.end(), random);
    std::printf("seed %u\n", seed);

    QTemporaryDir root;
    const QString gathered = root.filePath(QStringLiteral("gathered"));
    ASSERT_TRUE(QDir().mkpath(gathered));
    std::map<QString, std::size_t> audioOnDisk;
    for (int round = 0; round < kills; ++round) {
        const QString folder = root.filePath(QString::number(round));
        ASSERT_TRUE(QDir().mkpath(folder));
        RecorderProcess program(display, folder);
        const QString take = program.startTake();
        ASSERT_FALSE(take.isEmpty()) << program.report();
        ASSERT_TRUE(waitForLength(take, kLeadIn + kBlockAlign)) << "no audio after the lead-in";
        const int moment = moments[static_cast<std::size_t>(round)];
        QThread::msleep(static_cast<unsigned long>(moment));
        program.signal(SIGKILL);
        program.waitForExit(10000);

        const auto files = takeFilesIn(folder);
        ASSERT_EQ(files.size(), 1) << files.join(' ').toStdString();
        const std::string complaints = complaintsAbout(take, Sound::Count);
        const TakeBytes bytes = readTake(take);
        const std::size_t counted = bytes.dataLength() / kBlockAlign - std::min(bytes.dataLength(), kLeadIn) / kBlockAlign;
        std::printf("kill %2d after %4d ms: %zu bytes of audio on disk, %u stated, %zu frames of the count "
                    "from %u\n",
                    round, moment, bytes.dataLength(), bytes.u32(42), counted,
                    bytes.dataLength() > kLeadIn ? counterAt(bytes, kLeadIn / kBlockAlign) : 0u);
        EXPECT_EQ(complaints, "") << "kill " << round << " after " << moment << " ms, seed " << seed;
        const QString kept = QDir(gathered).filePath(files[0]);
        ASSERT_TRUE(QFile::rename(take, kept));
        audioOnDisk[kept] = bytes.dataLength();
    }

    // The program started again where all those takes lie repairs each to every whole frame on
    // disk and says so in a box over its window.
    RecorderProcess program(display, gathered);
    EXPECT_TRUE(program.waitForWindows(2)) << "no recovery box: " << program.report();
    for (const auto& [path, onDisk] : audioOnDisk) {
        const TakeBytes take = readTake(path);
        const std::size_t whole = onDisk - onDisk % kBlockAlign;
        EXPECT_EQ(take.dataLength(), whole) << path.toStdString();
        EXPECT_EQ(take.u32(42), whole) << path.toStdString();
        EXPECT_EQ(take.u32(4), whole + 38) << path.toStdString();
        // The repair changed the header only: the count still runs on to the last frame.
        const auto jumps = counterJumps(take, kLeadIn / kBlockAlign);
        EXPECT_TRUE(jumps.empty()) << path.toStdString() << ": " << jumps.size() << " breaks in the count";
    }
    std::printf("%d kills and the recovery in %.1f s\n", kills, static_cast<double>(runTime.elapsed()) / 1000.0);
}

// Two markers set with Ctrl+M, then a kill: the take's marker file holds both, inside the audio that
// reached the disk, and the next start, which recovers the take, leaves them with it.
TEST(KilledTakes, MarkersSetBeforeAKillAreRecoveredWithTheTake) {
    const CountingServer sound;
    ASSERT_TRUE(sound.ready());
    VirtualDisplay display;
    ASSERT_TRUE(display.running());
    QTemporaryDir folder;
    QString take;
    {
        RecorderProcess program(display, folder.path());
        take = program.startTake();
        ASSERT_FALSE(take.isEmpty()) << program.report();
        ASSERT_TRUE(waitForLength(take, kLeadIn + kSecond));
        // Flushed as each is set: once its line is there, the kill cannot take it. The second press
        // waits for the first's line, so however late the first came the two are apart.
        for (const std::size_t n : {1u, 2u}) {
            ASSERT_TRUE(program.pressKeys(QStringLiteral("ctrl+m"))) << program.report();
            ASSERT_TRUE(waitForMarkers(take, n)) << "marker " << n << " is not in the marker file";
            if (n == 1) {
                QThread::msleep(700);
            }
        }
        ASSERT_TRUE(waitForLength(take, readTake(take).dataLength() + kSecond));
        program.signal(SIGKILL);
        program.waitForExit(10000);
    }
    const std::vector<std::uint64_t> set = basSoundRec_2::readTakeMarkers(take).frames;
    ASSERT_EQ(set.size(), 2u);
    EXPECT_GT(set[1] - set[0], kRate / 2) << "the presses were 0.7 s apart";

    RecorderProcess again(display, folder.path());
    EXPECT_TRUE(again.waitForWindows(2)) << "no recovery box: " << again.report();
    const TakeBytes recovered = readTake(take);
    EXPECT_EQ(recovered.u32(42), recovered.dataLength()) << "not recovered";
    const basSoundRec_2::TakeMarkers kept = basSoundRec_2::readTakeMarkers(take);
    EXPECT_EQ(kept.frames, set);
    EXPECT_EQ(kept.damagedLines, 0);
    EXPECT_LT(set[1], recovered.dataLength() / kBlockAlign) << "a marker past the recovered audio";
}

// The system or the session ends the program mid-take: the take is finished and kept, and the
// program leaves with success at once, asking nothing.
TEST(EndedTakes, TermHangUpAndInterruptFinishTheTakeAndExitZero) {
    VirtualDisplay display;
    ASSERT_TRUE(display.running());
    QTemporaryDir root;
    for (const int number : {SIGTERM, SIGHUP, SIGINT}) {
        const QString folder = root.filePath(QString::number(number));
        ASSERT_TRUE(QDir().mkpath(folder));
        RecorderProcess program(display, folder);
        const QString take = program.startTake();
        ASSERT_FALSE(take.isEmpty()) << "signal " << number << ": " << program.report();
        // More than a second of sound after the lead-in, so the finished take must hold it.
        ASSERT_TRUE(waitForLength(take, kLeadIn + kSecond + kBlockAlign));
        QElapsedTimer ending;
        ending.start();
        program.signal(number);
        EXPECT_EQ(program.waitForExit(30000), 0) << "signal " << number << ": " << program.output().toStdString();
        std::printf("signal %d: exited %lld ms after it\n", number, static_cast<long long>(ending.elapsed()));

        EXPECT_EQ(takeFilesIn(folder), QStringList{QFileInfo(take).fileName()});
        const TakeBytes bytes = readTake(take);
        EXPECT_EQ(bytes.u32(42), bytes.dataLength()) << "finished, not left for recovery";
        EXPECT_EQ(bytes.u32(4), bytes.bytes.size() - 8);
        EXPECT_GT(bytes.dataLength(), 10u * kBufferSize + kSecond);
        EXPECT_EQ(complaintsAbout(take), "") << "signal " << number;
    }
}

// The desktop session is saved while it goes on (a checkpoint): the take goes on. Then it ends (a
// logout): the session manager asks the program to save for shutdown and tells it to leave; the take
// is finished and kept, and the program leaves with success without a question.
TEST(EndedTakes, ASessionSaveKeepsTheTakeGoingAndTheSessionEndingFinishesIt) {
    VirtualDisplay display;
    ASSERT_TRUE(display.running());
    SessionManager manager;
    ASSERT_TRUE(manager.listening());
    QTemporaryDir folder;
    RecorderProcess program(display, folder.path(), {QStringLiteral("SESSION_MANAGER=") + manager.address()});
    ASSERT_TRUE(program.waitForWindow()) << program.report();
    ASSERT_TRUE(manager.waitForMember(30000)) << "the program did not join the session";
    const QString take = program.startTake();
    ASSERT_FALSE(take.isEmpty()) << program.report();
    ASSERT_TRUE(waitForLength(take, kLeadIn + kSecond));

    ASSERT_TRUE(manager.checkpoint(30000)) << program.output().toStdString();
    const std::size_t checkpointed = readTake(take).dataLength();
    // Ten buffers of audio more: the take is still running.
    EXPECT_TRUE(waitForLength(take, checkpointed + 10u * kBufferSize)) << "the take stopped at a session save";
    ASSERT_TRUE(manager.endSession(30000)) << program.output().toStdString();
    EXPECT_EQ(program.visibleWindows(), 1) << "a box or a question at the logout";
    QElapsedTimer leaving;
    leaving.start();
    manager.die();
    EXPECT_EQ(program.waitForExit(30000), 0) << program.output().toStdString();
    std::printf("left %lld ms after the session told it to\n", static_cast<long long>(leaving.elapsed()));

    EXPECT_EQ(takeFilesIn(folder.path()), QStringList{QFileInfo(take).fileName()});
    const TakeBytes kept = readTake(take);
    EXPECT_EQ(kept.u32(42), kept.dataLength()) << "left without finishing the take";
    EXPECT_GT(kept.dataLength(), checkpointed + 10u * kBufferSize);
    EXPECT_EQ(complaintsAbout(take), "");
}

// Two copies of the program in one folder, both recording. The second starts while the first's take
// runs, so its start-up search for interrupted takes meets that take open, locked and with sizes
// behind its length; it must neither repair, adopt nor delete it. Its clock runs late by as long as
// it takes to start, so its own take gets the name the first one's already has.
TEST(TwoCopies, BothRecordTakesOfTheirOwnAndNeitherTouchesTheOther) {
    VirtualDisplay display;
    ASSERT_TRUE(display.running());
    QTemporaryDir folder;
    RecorderProcess first(display, folder.path(), {QStringLiteral("TZ=UTC0")});
    const QString firstTake = first.startTake();
    ASSERT_FALSE(firstTake.isEmpty()) << first.report();

    // The second the first take's name was made in: "MMDDYYYYhhmmssAM".
    const QString name = QFileInfo(firstTake).completeBaseName();
    const int hour = name.mid(8, 2).toInt() % 12 + (name.mid(14, 2) == QStringLiteral("PM") ? 12 : 0);
    const QDateTime named(QDate(name.mid(4, 4).toInt(), name.mid(0, 2).toInt(), name.mid(2, 2).toInt()),
                          QTime(hour, name.mid(10, 2).toInt(), name.mid(12, 2).toInt()), Qt::UTC);
    ASSERT_TRUE(named.isValid()) << name.toStdString();
    const qint64 late = named.secsTo(QDateTime::currentDateTimeUtc()) + 10;

    QThread::msleep(300);  // audio beyond the header's last refresh
    struct stat before{};
    ASSERT_EQ(::stat(QFile::encodeName(firstTake).constData(), &before), 0);
    const TakeBytes written = readTake(firstTake);
    RecorderProcess second(display, folder.path(),
                           {QStringLiteral("TZ=LAG+0:%1:%2").arg(late / 60).arg(late % 60, 2, 10, QLatin1Char('0'))});
    ASSERT_TRUE(second.waitForWindow()) << second.report();
    // Pressed early in the second that reads, on the second's clock, as the first take's.
    const qint64 due = (named.toSecsSinceEpoch() + late) * 1000 + 100;
    const qint64 wait = due - QDateTime::currentMSecsSinceEpoch();
    std::printf("the second copy was up %lld ms before its take was due\n", static_cast<long long>(wait));
    if (wait > 0) {
        QThread::msleep(static_cast<unsigned long>(wait));
    }
    // A window that adopted the first take would ask about it instead of starting one.
    const QString secondTake = second.startTake({firstTake});
    ASSERT_FALSE(secondTake.isEmpty()) << second.visibleWindows() << " windows; " << second.report();
    std::printf("takes %s and %s\n", qPrintable(QFileInfo(firstTake).fileName()),
                qPrintable(QFileInfo(secondTake).fileName()));
    // More than a second of sound after its lead-in, time enough for a box the start-up might show.
    ASSERT_TRUE(waitForLength(secondTake, kLeadIn + kSecond + kBlockAlign));
    EXPECT_EQ(second.visibleWindows(), 1) << "the second copy showed a box";
    EXPECT_EQ(first.visibleWindows(), 1);
    ASSERT_TRUE(first.pressToggle());
    ASSERT_TRUE(second.pressToggle());
    first.signal(SIGTERM);
    second.signal(SIGTERM);
    EXPECT_EQ(first.waitForExit(30000), 0) << first.output().toStdString();
    EXPECT_EQ(second.waitForExit(30000), 0) << second.output().toStdString();

    EXPECT_EQ(takeFilesIn(folder.path()).size(), 2) << takeFilesIn(folder.path()).join(' ').toStdString();
    // The first take is still the file its copy created, with every byte of audio it had written.
    struct stat after{};
    ASSERT_EQ(::stat(QFile::encodeName(firstTake).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    const TakeBytes firstBytes = readTake(firstTake);
    ASSERT_GT(firstBytes.bytes.size(), written.bytes.size());
    EXPECT_TRUE(std::equal(written.bytes.begin() + 46, written.bytes.end(), firstBytes.bytes.begin() + 46));
    for (const QString& take : {firstTake, secondTake}) {
        const TakeBytes bytes = readTake(take);
        EXPECT_EQ(bytes.u32(42), bytes.dataLength()) << take.toStdString();
        EXPECT_GT(bytes.dataLength(), 10u * kBufferSize + kSecond) << take.toStdString();
        EXPECT_EQ(complaintsAbout(take), "") << take.toStdString();
    }
}

// "Gravar quando houver som": a program killed while armed leaves no file; one killed while its take
// is paused for silence leaves a take the next start recovers, as any killed take.
TEST(KilledTakes, ArmedLeavesNothingAndPausedForSilenceIsRecovered) {
    PrivateServer server;
    ASSERT_TRUE(server.started());
    const ServerInUse inUse(server);
    VirtualDisplay display;
    ASSERT_TRUE(display.running());
    QTemporaryDir root;
    for (const bool sound : {false, true}) {
        SCOPED_TRACE(sound ? "paused for silence" : "armed");
        ToneBursts bursts;
        ASSERT_TRUE(bursts.ready());
        const QString folder = root.filePath(sound ? QStringLiteral("paused") : QStringLiteral("armed"));
        ASSERT_TRUE(QDir().mkpath(folder));
        {
            // The program's settings are the folder's.
            QSettings settings(QDir(folder).filePath(QStringLiteral(".config/Tolvane/Tolvane.conf")),
                               QSettings::IniFormat);
            settings.setValue(QStringLiteral("take/soundTrigger"), true);
        }
        RecorderProcess program(display, folder);
        ASSERT_TRUE(program.waitForWindow()) << program.report();
        ASSERT_TRUE(program.pressToggle()) << program.report();
        QString take;
        if (sound) {
            bursts.play({{0.5, std::nullopt}, {2, -20.0}});
            take = program.waitForTake();
            ASSERT_FALSE(take.isEmpty()) << program.output().toStdString();
            // The second before the burst, the burst and the five seconds after it reached the
            // disk; then the take pauses: two seconds more must add nothing.
            ASSERT_TRUE(waitForLength(take, kLeadIn + 8u * kSecond, 60000));
            QThread::msleep(2000);
        } else {
            QThread::msleep(3000);
        }
        program.signal(SIGKILL);
        program.waitForExit(10000);
        const QStringList files = takeFilesIn(folder);
        if (!sound) {
            EXPECT_TRUE(files.isEmpty()) << files.join(' ').toStdString();
            continue;
        }
        ASSERT_EQ(files, QStringList{QFileInfo(take).fileName()});
        const std::size_t onDisk = readTake(take).dataLength();
        // The lead-in, the second before the burst, the burst and the five seconds after it, each of
        // the two seconds up to a 50 ms window longer where the burst does not meet one's edge.
        EXPECT_GE(onDisk, kLeadIn + 8u * kSecond);
        EXPECT_LE(onDisk, kLeadIn + 8u * kSecond + 2u * 2205u * kBlockAlign);

        RecorderProcess again(display, folder);
        EXPECT_TRUE(again.waitForWindows(2)) << "no recovery box: " << again.report();
        const TakeBytes recovered = readTake(take);
        EXPECT_EQ(recovered.dataLength(), onDisk);
        EXPECT_EQ(recovered.u32(42), onDisk);
        EXPECT_EQ(recovered.u32(4), onDisk + 38);
        EXPECT_EQ(independentReadersComplaints(take, 2, static_cast<int>(kRate)), QString());
    }
}
