// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CountingSource.h"

#include <QFile>
#include <QTest>

namespace testsupport {

namespace {

// Writes the count without end, a tenth of a second at a time; the pipe to the player paces it.
constexpr char kCounter[] = R"(import array, sys
out = sys.stdout.buffer
n = 65536
while True:
    a = array.array('H', bytes(4 * 4410))
    for i in range(4410):
        a[2 * i] = (n + i) & 0xFFFF
        a[2 * i + 1] = ((n + i) >> 16) & 0xFFFF
    if sys.byteorder == 'big':
        a.byteswap()
    out.write(a.tobytes())
    n += 4410
)";

}  // namespace

CountingSource::CountingSource() {
    if (runProgram(QStringLiteral("pactl"),
                   {QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                    QStringLiteral("sink_name=tolvane_count"), QStringLiteral("rate=44100"),
                    QStringLiteral("channels=2"), QStringLiteral("format=s16le")})
            .exitCode != 0) {
        return;
    }
    // The server plays the count into a sink of its own, in real time; the recorder records the
    // sink's monitor.
    counter_.setStandardOutputProcess(&player_);
    counter_.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kCounter)});
    player_.start(QStringLiteral("pacat"),
                  {QStringLiteral("--playback"), QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                   QStringLiteral("--rate=44100"), QStringLiteral("--channels=2"),
                   QStringLiteral("--device=tolvane_count"), QStringLiteral("--latency-msec=1000")});
    // A reader that stays connected keeps the sink rendering small blocks in real time, as the
    // server's own default source does; what it hears shows when the count is playing.
    reader_.setStandardOutputFile(dir_.filePath(QStringLiteral("heard.raw")));
    reader_.start(QStringLiteral("parec"), {QStringLiteral("--latency-msec=20"), QStringLiteral("--raw"),
                                            QStringLiteral("--device=tolvane_count.monitor")});
    if (!counter_.waitForStarted() || !player_.waitForStarted() || !reader_.waitForStarted()) {
        return;
    }
    qputenv("PULSE_SOURCE", "tolvane_count.monitor");
    playing_ = QTest::qWaitFor(
        [&] {
            QFile heard(dir_.filePath(QStringLiteral("heard.raw")));
            if (!heard.open(QIODevice::ReadOnly) || heard.size() < 4096) {
                return false;
            }
            heard.seek(heard.size() - 4096);
            return heard.read(4096).count('\0') < 4096;
        },
        30000);
}

CountingSource::~CountingSource() {
    qunsetenv("PULSE_SOURCE");
    for (QProcess* process : {&counter_, &player_, &reader_}) {
        process->kill();
        process->waitForFinished();
    }
}

std::uint32_t counterAt(const TakeBytes& take, std::size_t frame) {
    return take.u16(46 + 4 * frame) | static_cast<std::uint32_t>(take.u16(48 + 4 * frame)) << 16;
}

std::vector<CounterJump> counterJumps(const TakeBytes& take, std::size_t first) {
    std::vector<CounterJump> jumps;
    const std::size_t frames = take.dataLength() / 4;
    for (std::size_t f = first + 1; f < frames; ++f) {
        const std::int64_t step = static_cast<std::int64_t>(counterAt(take, f)) - counterAt(take, f - 1);
        if (step != 1) {
            jumps.push_back({f - first, step - 1});
        }
    }
    return jumps;
}

}  // namespace testsupport
