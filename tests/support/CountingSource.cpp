// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CountingSource.h"

#include <QFile>
#include <QTest>

namespace testsupport {

namespace {

// Writes the count without end, a tenth of a second at a time; the pipe to the player paces it.
// Arguments: the rate and the bits of a sample.
constexpr char kCounter[] = R"(import sys
out = sys.stdout.buffer
rate, bits = int(sys.argv[1]), int(sys.argv[2])
width = bits // 8
n = 1 << bits
step = rate // 10
low = (1 << bits) - 1
while True:
    out.write(b''.join((v & low).to_bytes(width, 'little') + (v >> bits).to_bytes(width, 'little')
                       for v in range(n, n + step)))
    n += step
)";

}  // namespace

CountingSource::CountingSource(std::uint32_t rate, int bits) {
    const QString format = QStringLiteral("s%1le").arg(bits);
    if (runProgram(QStringLiteral("pactl"),
                   {QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                    QStringLiteral("sink_name=tolvane_count"), QStringLiteral("rate=%1").arg(rate),
                    QStringLiteral("channels=2"), QStringLiteral("format=") + format})
            .exitCode != 0) {
        return;
    }
    // The server plays the count into a sink of its own, in real time; the recorder records the
    // sink's monitor.
    counter_.setStandardOutputProcess(&player_);
    counter_.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kCounter),
                                               QString::number(rate), QString::number(bits)});
    player_.start(QStringLiteral("pacat"),
                  {QStringLiteral("--playback"), QStringLiteral("--raw"), QStringLiteral("--format=") + format,
                   QStringLiteral("--rate=%1").arg(rate), QStringLiteral("--channels=2"),
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
