// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What reaches a null sink, recorded from its monitor, and where in it a take's own sound lies:
// for the tests that play a take and check that the sink heard exactly its frames.

#include "ReviewTakes.h"
#include "SoundServer.h"

#include <QProcess>
#include <QString>
#include <QTest>

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace playbacktest {

using reviewtest::TakeSpec;

// Records a sink's monitor, in two 32-bit channels at the sink's rate, for as long as it lives. A
// null sink's monitor delivers only while something plays into it, and a sink that wakes for a new
// stream may leave the stream's first moment out of its monitor: silence plays into the sink all
// along, so the recording runs before, during and after the sound.
class MonitorRecording {
public:
    MonitorRecording(const testsound::SoundServer& server, const QString& sink, std::uint32_t rate)
        : server_(server) {
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
            const auto streams =
                server_.pactl({QStringLiteral("list"), QStringLiteral("short"), QLatin1String(what)});
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
std::int32_t takeSample(const TakeSpec& spec, std::uint64_t frame, int channel);
bool silent(const std::vector<std::int32_t>& recorded, std::size_t frame);
// Where in `recorded` (frames, two channels) frame `takeFrame` of the take lies: the best match by
// cross-correlation of the left channel, searched around the first sound from `after` on. Nothing
// when nothing sounds.
std::optional<std::size_t> align(const std::vector<std::int32_t>& recorded, std::size_t after,
                                 const TakeSpec& spec, std::uint64_t takeFrame);
// Frames of `recorded` from `at` on that differ from the take's frames from `takeFrame` on, over
// `count` frames.
std::size_t differences(const std::vector<std::int32_t>& recorded, std::size_t at, const TakeSpec& spec,
                        std::uint64_t takeFrame, std::uint64_t count);
// A sink that is already playing, when a new stream comes, plays it sooner by rewriting what it had
// rendered ahead; its monitor had already sent that span and keeps it, so the first few
// milliseconds of a new stream never show in a recording of the monitor. Any player's do not
// (pacat's neither); a listener hears them. The frames of a stream's start the recording may lack:
std::uint64_t rewoundAtMost(std::uint32_t rate);
// How many frames from `at` on are silent before the sound starts.
std::size_t silentHead(const std::vector<std::int32_t>& recorded, std::size_t at);
// The first frame from `from` on that starts `run` silent frames in a row (or the end).
std::size_t silenceFrom(const std::vector<std::int32_t>& recorded, std::size_t from, std::size_t run = 64);

}  // namespace playbacktest
