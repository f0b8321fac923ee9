// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Processor time of the recorder window at rest, with and without its level meters, and of the
// sound server over the same spans:  bench_meters SECONDS SERVER_PID
// Prints one row per span: the share of one core used by the window's process and by the server.

#include "platform/mixer/PeakSource.h"
#include "platform/mixer/PulseMixer.h"
#include "platform/wavein/PulseWaveIn.h"
#include "recorder/window/frmSoundRec.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>

namespace {

double ownSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// User and system time of another process, from /proc.
double processSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return 0.0;
    }
    const QByteArray line = stat.readAll();
    // The fields after the command name, which ends with the last ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks;
}

void settle() {
    QEventLoop loop;
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Span {
    const char* name;
    double window;
    double server;
};

Span measure(const char* name, int seconds, qint64 serverPid) {
    const double ownBefore = ownSeconds();
    const double serverBefore = processSeconds(serverPid);
    const auto start = std::chrono::steady_clock::now();
    // A plain event loop: QTest::qWait would wake every 10 ms and cost more than what is measured.
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {name, 100.0 * (ownSeconds() - ownBefore) / wall, 100.0 * (processSeconds(serverPid) - serverBefore) / wall};
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SECONDS SERVER_PID\n", argv[0]);
        return 2;
    }
    const int seconds = std::atoi(argv[1]);
    const qint64 serverPid = std::atoll(argv[2]);
    QTemporaryDir folder;
    auto waveIn = platform::wavein::makePulseAudioWaveIn(QStringLiteral("Tolvane"));
    auto mixer = platform::mixer::makePulseAudioMixer(QStringLiteral("Tolvane"));

    std::printf("%-22s %12s %12s %12s\n", "span", "window_%", "server_%", "together_%");
    const auto print = [](const Span& s) {
        std::printf("%-22s %12.3f %12.3f %12.3f\n", s.name, s.window, s.server, s.window + s.server);
        std::fflush(stdout);
    };
    print(measure("no window", seconds, serverPid));
    {
        frmSoundRec window({.waveIn = *waveIn, .programFolder = folder.path(), .mixer = mixer.get()});
        window.show();
        settle();
        print(measure("window, no meters", seconds, serverPid));
    }
    {
        auto peaks = platform::mixer::makePulseAudioPeakSource(QStringLiteral("Tolvane"));
        frmSoundRec window(
            {.waveIn = *waveIn, .programFolder = folder.path(), .mixer = mixer.get(), .peakSource = peaks.get()});
        window.show();
        settle();
        print(measure("window with meters", seconds, serverPid));
    }
    return 0;
}
