// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Playback of a take on a real PulseAudio server of the test's own: what reaches the default sink,
// recorded from its monitor, is the take's own sound, frame for frame, from the first frame asked
// to the last; a pause and a resume go on from the frame heard; a server that goes away stops the
// playback with its reason.
#include "platform/playback/Playback.h"

#include "ReviewTakes.h"
#include "SinkRecording.h"
#include "SoundServer.h"
#include "platform/pulse/Connection.h"
#include "recorder/review/TakeAudio.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using platform::playback::Playback;
using review::TakeAudio;
using reviewtest::TakeSpec;
using namespace playbacktest;

// Sinks in the sample format of a 32-bit stream, so nothing is converted on the way; the server
// starts with a plain one as its default.
const QStringList kSinks{QStringLiteral("idle"), QStringLiteral("review44 format=s32le rate=44100 channels=2"),
                         QStringLiteral("review48 format=s32le rate=48000 channels=2")};

std::shared_ptr<platform::pulse::Connection> connect() {
    auto connection = platform::pulse::connectToSoundServer(QStringLiteral("Tolvane tests"));
    return connection;
}

struct Player {
    Player(const QString& folder, const TakeSpec& spec, std::uint64_t frames, std::uint64_t largestRiffSize = 0xFFFFFFFFull)
        : first(reviewtest::writeTake(folder, spec, frames, largestRiffSize)),
          audio(TakeAudio::open(first).audio),
          connection(connect()) {}

    bool ready() const {
        return audio && QTest::qWaitFor([&] { return connection->answering(); }, 10000);
    }
    std::unique_ptr<Playback> make() const { return platform::playback::makePulseAudioPlayback(connection, audio); }

    QString first;
    std::shared_ptr<TakeAudio> audio;
    std::shared_ptr<platform::pulse::Connection> connection;
};

// First, before any server of the tests' own: no server answers at all.
TEST(Playback, WithoutAServerSaysSoAndAnEmptySpanEndsAtOnce) {
    QTemporaryDir folder;
    Player player(folder.path(), {44100, 2, 16}, 44100);
    ASSERT_TRUE(player.audio);
    const auto playback = player.make();
    QSignalSpy finished(playback.get(), &Playback::finished);
    QSignalSpy failed(playback.get(), &Playback::failed);
    playback->play(0, 44100);
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_FALSE(failed.first().at(0).toString().isEmpty());
    EXPECT_FALSE(playback->isPlaying());
    EXPECT_EQ(playback->position(), 0u);
    EXPECT_TRUE(finished.isEmpty());

    playback->play(500, 500);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(failed.count(), 1);
}

struct SpanCase {
    const char* name;
    TakeSpec spec;
    double seconds;
    double from, to;  // the span played, in seconds
    std::uint64_t largestRiffSize;
    const char* sink;
};

TEST(Playback, TheSinkHearsTheTakeItselfFromTheFirstFrameAskedToTheLast) {
    testsound::SoundServer server;
    ASSERT_TRUE(server.start(kSinks));
    const SpanCase rows[] = {
        {"16-bit stereo, the whole take", {44100, 2, 16}, 2.0, 0.0, 2.0, 0xFFFFFFFFull, "review44"},
        {"16-bit mono, a selection", {44100, 1, 16}, 3.0, 0.5, 2.0, 0xFFFFFFFFull, "review44"},
        {"24-bit stereo at 48000 Hz in four parts", {48000, 2, 24}, 2.0, 0.0, 2.0, 38 + 48000 * 6 / 2, "review48"},
    };
    for (const SpanCase& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir folder;
        const auto frames = static_cast<std::uint64_t>(row.seconds * row.spec.rate);
        Player player(folder.path(), row.spec, frames, row.largestRiffSize);
        ASSERT_TRUE(player.ready());
        ASSERT_TRUE(server.pactl({QStringLiteral("set-default-sink"), QLatin1String(row.sink)}));
        const auto from = static_cast<std::uint64_t>(row.from * row.spec.rate);
        const auto to = static_cast<std::uint64_t>(row.to * row.spec.rate);

        MonitorRecording monitor(server, QLatin1String(row.sink), row.spec.rate);
        ASSERT_TRUE(monitor.started());
        const auto playback = player.make();
        QSignalSpy finished(playback.get(), &Playback::finished);
        QSignalSpy failed(playback.get(), &Playback::failed);
        playback->play(from, to);
        EXPECT_TRUE(playback->isPlaying());
        // The playhead moves on, never back, within the span.
        std::uint64_t last = from;
        while (finished.isEmpty() && failed.isEmpty()) {
            const std::uint64_t now = playback->position();
            EXPECT_GE(now, last);
            EXPECT_LE(now, to);
            last = now;
            QTest::qWait(20);
        }
        ASSERT_TRUE(failed.isEmpty()) << failed.first().at(0).toString().toStdString();
        EXPECT_EQ(playback->position(), to);
        EXPECT_FALSE(playback->isPlaying());
        const auto recorded = monitor.stop();

        const auto at = align(recorded, 0, row.spec, from);
        ASSERT_TRUE(at) << "nothing reached the sink";
        const std::size_t head = silentHead(recorded, *at);
        EXPECT_LE(head, rewoundAtMost(row.spec.rate));
        EXPECT_EQ(differences(recorded, *at + head, row.spec, from + head, to - from - head), 0u);
        // Nothing before the span's first frame, nothing after its last.
        for (std::size_t f = 0; f < *at; ++f) {
            ASSERT_TRUE(silent(recorded, f)) << "sound before the span at " << f;
        }
        for (std::size_t f = *at + (to - from); f < recorded.size() / 2; ++f) {
            ASSERT_TRUE(silent(recorded, f)) << "sound after the span at " << f;
        }
    }
}

TEST(Playback, PauseHoldsTheFrameHeardAndResumeGoesOnFromIt) {
    testsound::SoundServer server;
    ASSERT_TRUE(server.start(kSinks));
    const TakeSpec spec{44100, 2, 16};
    const std::uint64_t frames = 3 * spec.rate;
    QTemporaryDir folder;
    Player player(folder.path(), spec, frames);
    ASSERT_TRUE(player.ready());
    ASSERT_TRUE(server.pactl({QStringLiteral("set-default-sink"), QStringLiteral("review44")}));
    MonitorRecording monitor(server, QStringLiteral("review44"), spec.rate);
    ASSERT_TRUE(monitor.started());
    const auto playback = player.make();
    QSignalSpy finished(playback.get(), &Playback::finished);
    playback->play(0, frames);
    ASSERT_TRUE(QTest::qWaitFor([&] { return playback->position() >= spec.rate * 8 / 10; }, 20000));
    playback->pause();
    const std::uint64_t paused = playback->position();
    EXPECT_FALSE(playback->isPlaying());
    QTest::qWait(400);
    EXPECT_EQ(playback->position(), paused);
    playback->resume();
    EXPECT_TRUE(playback->isPlaying());
    ASSERT_TRUE(finished.wait(20000));
    const auto recorded = monitor.stop();

    const auto first = align(recorded, 0, spec, 0);
    ASSERT_TRUE(first);
    const std::size_t firstHead = silentHead(recorded, *first);
    EXPECT_LE(firstHead, rewoundAtMost(spec.rate));
    const std::size_t firstEnd = silenceFrom(recorded, *first + firstHead);
    const std::uint64_t heard = firstEnd - *first;
    EXPECT_EQ(differences(recorded, *first + firstHead, spec, firstHead, heard - firstHead), 0u);
    // The sink heard about as far as the playhead said: never short of it, and not far beyond
    // (what the server still held when the pause reached it).
    std::printf("heard %lu, paused at %lu\n", static_cast<unsigned long>(heard), static_cast<unsigned long>(paused));
    EXPECT_GE(heard + spec.rate / 20, paused);
    EXPECT_LE(heard, paused + spec.rate / 2);
    // The rest of the take, from exactly the frame the playhead showed.
    const auto second = align(recorded, firstEnd, spec, paused);
    ASSERT_TRUE(second);
    const std::size_t secondHead = silentHead(recorded, *second);
    EXPECT_LE(secondHead, rewoundAtMost(spec.rate));
    EXPECT_EQ(differences(recorded, *second + secondHead, spec, paused + secondHead, frames - paused - secondHead), 0u);
    EXPECT_EQ(silenceFrom(recorded, *second + secondHead), *second + (frames - paused));
}

TEST(Playback, AServerThatGoesAwayStopsItWithTheReason) {
    testsound::SoundServer server;
    ASSERT_TRUE(server.start(kSinks));
    const TakeSpec spec{44100, 2, 16};
    QTemporaryDir folder;
    Player player(folder.path(), spec, 20 * spec.rate);
    ASSERT_TRUE(player.ready());
    const auto playback = player.make();
    QSignalSpy failed(playback.get(), &Playback::failed);
    QSignalSpy finished(playback.get(), &Playback::finished);
    playback->play(0, 20 * spec.rate);
    ASSERT_TRUE(QTest::qWaitFor([&] { return playback->position() > spec.rate / 2; }, 20000));
    server.stop();
    ASSERT_TRUE(failed.wait(20000));
    EXPECT_FALSE(failed.first().at(0).toString().isEmpty());
    EXPECT_FALSE(playback->isPlaying());
    const std::uint64_t stoppedAt = playback->position();
    EXPECT_GT(stoppedAt, spec.rate / 2);
    EXPECT_LT(stoppedAt, 20 * spec.rate);
    EXPECT_TRUE(finished.isEmpty());
    // Playing again without a server says so again, at once.
    playback->resume();
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_EQ(playback->position(), stoppedAt);
}

}  // namespace


