// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Processor time of the recorder window over SECONDS in each state of a take that starts at sound,
// next to a take recording as ever: recording (the server's sine), armed (a silent source), and
// paused for silence (two seconds of tone, then silence). Run by `run`, on a private server.
//   bench_autostart SECONDS SILENT_SOURCE BURST_SOURCE
// The sources are monitors of outputs the script plays silence, and a burst then silence, into.
#include "platform/wavein/PulseWaveIn.h"
#include "recorder/window/AutoStartMenu.h"
#include "recorder/window/frmSoundRec.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Processor seconds per second of the window in one state, measured over `seconds` after `settle`.
double measure(const char* source, bool atSound, int settleMs, int seconds, const char* what) {
    qputenv("PULSE_SOURCE", source);
    QTemporaryDir folder;
    auto waveIn = platform::wavein::makePulseAudioWaveIn(QStringLiteral("Tolvane bench"));
    frmSoundRec window({.waveIn = *waveIn, .programFolder = folder.path()});
    window.show();
    window.autoStartMenu().soundTriggerAction().setChecked(atSound);
    QTest::mouseClick(window.Check1(), Qt::LeftButton);
    QTest::qWait(settleMs);
    const bool waiting = window.waitingForSound();
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(seconds * 1000);
    const double used = cpuSeconds() - before;
    const double share = used / (static_cast<double>(wall.nsecsElapsed()) / 1e9);
    // What the window was doing, from what it shows: a take file is made only once sound came.
    const char* state = !atSound                        ? ""
                        : !waiting                      ? " (NOT waiting for sound)"
                        : window.takeFileName.isEmpty() ? " (armed)"
                                                        : " (paused for silence)";
    std::printf("%-22s %8.4f s of processor a second%s\n", what, share, state);
    QTest::mouseClick(window.Check1(), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return !window.captureEngine().isFinishing(); }, 10000)) {
        std::printf("the take was not finished\n");
    }
    return share;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_autostart SECONDS SILENT_SOURCE BURST_SOURCE\n");
        return 2;
    }
    const int seconds = std::atoi(argv[1]);
    const double recording = measure("tolvane_null.monitor", false, 1000, seconds, "recording");
    const double armed = measure(argv[2], true, 1000, seconds, "armed");
    // The burst plays in its first two seconds; five more and the take is paused.
    const double paused = measure(argv[3], true, 14000, seconds, "paused for silence");
    std::printf("armed / recording %.2f, paused for silence / recording %.2f\n", armed / recording,
                paused / recording);
    return 0;
}
