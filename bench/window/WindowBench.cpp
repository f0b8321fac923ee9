// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Shows the recorder window for the given number of seconds, either at rest or recording a take
// from the default PulseAudio source the whole time, and prints the processor time it used. The
// window has what the program gives it: capture, level, meters and the input list on one
// connection to the server.
#include "bench/support/ProgramWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

namespace {

double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[1], "rest") != 0 && std::strcmp(argv[1], "take") != 0)) {
        std::fprintf(stderr, "usage: %s rest|take SECONDS FOLDER\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    const bool take = std::strcmp(argv[1], "take") == 0;
    const int seconds = QString::fromLocal8Bit(argv[2]).toInt();
    bench::ProgramWindow program(QString::fromLocal8Bit(argv[3]));
    frmSoundRec& window = program.window;
    double startedAt = 0;
    // Measured from the first second on, once the window has been drawn and settled.
    QTimer::singleShot(1000, &window, [&] {
        startedAt = processorSeconds();
        if (take) {
            window.Check1()->click();
            if (!window.captureEngine().isRecording()) {
                QApplication::exit(1);
            }
        }
    });
    QTimer::singleShot(1000 + seconds * 1000, &window, [&] {
        if (take) {
            window.Check1()->click();
        }
        std::printf("%.3f\n", processorSeconds() - startedAt);
        std::fflush(stdout);
        // The take is the bench's own: closing the window asks nothing about it.
        window.takeSaved = true;
        QApplication::quit();
    });
    return QApplication::exec();
}
