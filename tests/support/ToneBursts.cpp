// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ToneBursts.h"

#include "TakeReader.h"

#include <QFile>
#include <QSaveFile>
#include <QTest>

#include <cmath>

namespace testsupport {

namespace {

// Silence a tenth of a second at a time until the plan appears, then the plan, then silence for
// ever; the pipe to the player paces it.
constexpr char kGenerator[] = R"(import array, math, os, sys
out = sys.stdout.buffer
plan = sys.argv[1]
tenth = bytes(4 * 4410)
while not os.path.exists(plan):
    out.write(tenth)
n = 0
for line in open(plan):
    seconds, peak = line.split()
    frames = round(float(seconds) * 44100)
    a = array.array('h', bytes(4 * frames))
    if peak != 'silence':
        amplitude = 32767 * 10 ** (float(peak) / 20)
        for i in range(frames):
            v = int(round(amplitude * math.sin(2 * math.pi * 440 * (n + i) / 44100)))
            a[2 * i] = v
            a[2 * i + 1] = v
    if sys.byteorder == 'big':
        a.byteswap()
    out.write(a.tobytes())
    n += frames
while True:
    out.write(tenth)
)";

int instances = 0;

}  // namespace

ToneBursts::ToneBursts() : sink_(QStringLiteral("tolvane_bursts%1").arg(++instances)) {
    const ProcessResult loaded = runProgram(
        QStringLiteral("pactl"), {QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                                  QStringLiteral("sink_name=") + sink_, QStringLiteral("rate=44100"),
                                  QStringLiteral("channels=2"), QStringLiteral("format=s16le")});
    if (loaded.exitCode != 0) {
        return;
    }
    module_ = loaded.output.trimmed();
    generator_.setStandardOutputProcess(&player_);
    generator_.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kGenerator),
                                                 dir_.filePath(QStringLiteral("plan"))});
    player_.start(QStringLiteral("pacat"),
                  {QStringLiteral("--playback"), QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                   QStringLiteral("--rate=44100"), QStringLiteral("--channels=2"),
                   QStringLiteral("--device=") + sink_, QStringLiteral("--latency-msec=200")});
    // A reader that stays connected keeps the output rendering small blocks in real time.
    reader_.setStandardOutputFile(dir_.filePath(QStringLiteral("heard.raw")));
    reader_.start(QStringLiteral("parec"),
                  {QStringLiteral("--latency-msec=20"), QStringLiteral("--raw"),
                   QStringLiteral("--device=") + sink_ + QStringLiteral(".monitor")});
    if (!generator_.waitForStarted() || !player_.waitForStarted() || !reader_.waitForStarted()) {
        return;
    }
    qputenv("PULSE_SOURCE", (sink_ + QStringLiteral(".monitor")).toUtf8());
    ready_ = QTest::qWaitFor([&] { return QFile(dir_.filePath(QStringLiteral("heard.raw"))).size() > 44100; },
                             30000);
}

ToneBursts::~ToneBursts() {
    qunsetenv("PULSE_SOURCE");
    for (QProcess* process : {&generator_, &player_, &reader_}) {
        process->kill();
        process->waitForFinished();
    }
    if (!module_.isEmpty()) {
        runProgram(QStringLiteral("pactl"), {QStringLiteral("unload-module"), module_});
    }
}

void ToneBursts::play(const std::vector<Stretch>& stretches) {
    QSaveFile plan(dir_.filePath(QStringLiteral("plan")));
    if (!plan.open(QIODevice::WriteOnly)) {
        return;
    }
    for (const Stretch& s : stretches) {
        plan.write(QStringLiteral("%1 %2\n")
                       .arg(s.seconds)
                       .arg(s.peakDb ? QString::number(*s.peakDb) : QStringLiteral("silence"))
                       .toLatin1());
    }
    plan.commit();
}

}  // namespace testsupport
