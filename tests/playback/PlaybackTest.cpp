// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Playback of a take on a real PulseAudio server of the test's own: what reaches the default sink,
// recorded from its monitor, is the take's own sound, frame for frame, from the first frame asked
// to the last; a pause and a resume go on from the frame heard; a server that goes away stops the
// playback with its reason.
#include "platform/playback/Playback.h"

#include "ReviewTakes.h"
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

// Sinks in the sample format of a 32-bit stream, so nothing is converted on the way; the server
// starts with a plain one as its default.
const QStringList kSinks{QStringLiteral("idle"), QStringLiteral("review44 format=s32le rate=44100 channels=2"),
                         QStringLiteral("review48 format=s32le rate=48000 channels=2")};

std::shared_ptr<platform::pulse::Connection> connect() {
    auto connection = platform::pulse::connectToSoundServer(QStringLiteral("Tolvane tests"));
    return connection;
}


// Records a sink's monitor, in two 32-bit channels at the sink's rate, for as long as it lives. A
// null sink's monitor delivers only while something plays into it, and a sink that wakes for a new
// stream may leave the stream's first moment out of its monitor: silence plays into the sink all
// along, so the recording runs before, during and after the sound.
class MonitorRecording {
public:
    MonitorRecording(const testsound::SoundServer& server, const QString& sink, std::uint32_t rate) : server_(server) {
        silence_.setStandardInputFile(QStringLiteral("/dev/zero"));
        silence_.start(QStringLiteral("pacat"),
                       {QStringLiteral("--playback"), QStringLiteral("-d"), sink, QStringLiteral("--raw"),
                        QStringLiteral("--format=s32le"), QStringLiteral("--rate=%1").arg(rate),
                        QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=50")});
        recorder_.start(QStringLiteral("parec"),
                        {QStringLiteral("-d"), sink + QStringLiteral(".monitor"), QStringLiteral("--raw"),
                         QStringLiteral("--format=s32le"), QStringLiteral("--rate=%1").arg(rate),
                         QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=20")});
    }
    ~MonitorRecording() {
        silence_.kill();
        silence_.waitForFinished(10000);
    }
    // Waits until the server lists both streams and silence has reached the recording.
    bool started() {
        const auto listed = [&](const char* what) {
            const auto streams = server_.pactl({QStringLiteral("list"), QStringLiteral("short"), QLatin1String(what)});
            return streams && !streams->trimmed().isEmpty();
        };
        return silence_.waitForStarted() && recorder_.waitForStarted() &&
               QTest::qWaitFor([&] { return listed("sink-inputs") && listed("source-outputs"); }, 10000) &&
               QTest::qWaitFor([&] { return recorder_.bytesAvailable() > 0; }, 10000);
    }
    // Stops and returns what was recorded, interleaved.
    std::vector<std::int32_t> stop() {
        QTest::qWait(300);
        recorder_.terminate();
        recorder_.waitForFinished(10000);
        const QByteArray bytes = recorder_.readAllStandardOutput();
        std::vector<std::int32_t> samples(static_cast<std::size_t>(bytes.size()) / 4);
        std::memcpy(samples.data(), bytes.constData(), samples.size() * 4);
        return samples;
    }

private:
    const testsound::SoundServer& server_;
    QProcess silence_;
    QProcess recorder_;
};

// The take's samples as they reach a two-channel sink: mono goes to both channels.
std::int32_t takeSample(const TakeSpec& spec, std::uint64_t frame, int channel) {
    return reviewtest::noiseAt(frame, std::min(channel, spec.channels - 1), spec.bits);
}

bool silent(const std::vector<std::int32_t>& recorded, std::size_t frame) {
    return recorded[2 * frame] == 0 && recorded[2 * frame + 1] == 0;
}

// Where in `recorded` (frames, two channels) frame `takeFrame` of the take lies: the best match by
// cross-correlation of the left channel, searched around the first sound from `after` on. Nothing
// when nothing sounds.
std::optional<std::size_t> align(const std::vector<std::int32_t>& recorded, std::size_t after, const TakeSpec& spec,
                                 std::uint64_t takeFrame) {
    const std::size_t frames = recorded.size() / 2;
    std::size_t first = after;
    while (first < frames && silent(recorded, first)) {
        ++first;
    }
    if (first == frames) {
        return std::nullopt;
    }
    constexpr std::size_t kTemplate = 2048;
    constexpr std::size_t kSearch = 4096;
    std::vector<double> wanted(kTemplate);
    for (std::size_t i = 0; i < kTemplate; ++i) {
        wanted[i] = takeSample(spec, takeFrame + i, 0) / 2147483648.0;
    }
    double best = -1;
    std::size_t bestLag = first;
    const std::size_t from = first > kSearch ? first - kSearch : after;
    for (std::size_t lag = std::max(from, after); lag <= first + kSearch && lag + kTemplate <= frames; ++lag) {
        double sum = 0;
        for (std::size_t i = 0; i < kTemplate; ++i) {
            sum += wanted[i] * (recorded[2 * (lag + i)] / 2147483648.0);
        }
        if (sum > best) {
            best = sum;
            bestLag = lag;
        }
    }
    return bestLag;
}

// Frames of `recorded` from `at` on that differ from the take's frames from `takeFrame` on, over
// `count` frames.
std::size_t differences(const std::vector<std::int32_t>& recorded, std::size_t at, const TakeSpec& spec,
                        std::uint64_t takeFrame, std::uint64_t count) {
    std::size_t wrong = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t f = at + i;
        if (2 * f + 1 >= recorded.size()) {
            return wrong + (count - i);
        }
        for (int c = 0; c < 2; ++c) {
            if (recorded[2 * f + static_cast<std::size_t>(c)] != takeSample(spec, takeFrame + i, c)) {
                ++wrong;
                break;
            }
        }
    }
    return wrong;
}

// A sink that is already playing, when a new stream comes, plays it sooner by rewriting what it had
// rendered ahead; its monitor had already sent that span and keeps it, so the first few
// milliseconds of a new stream never show in a recording of the monitor. Any player's do not
// (pacat's neither); a listener hears them. The frames of a stream's start the recording may lack:
std::uint64_t rewoundAtMost(std::uint32_t rate) {
    return rate / 20;
}

// How many frames from `at` on are silent before the sound starts.
std::size_t silentHead(const std::vector<std::int32_t>& recorded, std::size_t at) {
    std::size_t f = at;
    while (2 * f + 1 < recorded.size() && silent(recorded, f)) {
        ++f;
    }
    return f - at;
}

// The first frame from `from` on that starts `run` silent frames in a row (or the end).
std::size_t silenceFrom(const std::vector<std::int32_t>& recorded, std::size_t from, std::size_t run = 64) {
    const std::size_t frames = recorded.size() / 2;
    for (std::size_t f = from; f < frames; ++f) {
        std::size_t quiet = 0;
        while (f + quiet < frames && quiet < run && silent(recorded, f + quiet)) {
            ++quiet;
        }
        if (quiet == run || f + quiet == frames) {
            return f;
        }
        f += quiet;
    }
    return frames;
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


