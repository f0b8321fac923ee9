// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// How long the recorder window stops answering when a take stops. The real window records TAKES
// takes of a few seconds each from SOURCE (by name) on the server PULSE_SERVER names, with what the
// program gives it (capture, level, meters and the input list on one connection). Something asks
// the window to repaint every 10 ms, as a compositor or a screen reader asking questions would; the
// window repaints only when its thread is free. For each take it prints the longest gap between two
// repaints during the last two seconds before the release (the reference), in the second after the
// press (the press) and from the release until two and a half seconds after it (the stop), in
// milliseconds, and how long after the release the take was finished.
//   bench_stop SOURCE TAKES FOLDER
// Compare the stop with the reference of the same run; absolute figures vary from machine to machine.
#include "bench/support/ProgramWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The time of every paint of the window or one of its widgets.
class PaintClock final : public QObject {
public:
    explicit PaintClock(QWidget& window) : window_(window) { clock_.start(); }
    std::vector<qint64> paints;  // nanoseconds since the start
    qint64 now() const { return clock_.nsecsElapsed(); }

    // The longest time without a paint in [from, to), counting the edges as paints.
    double longestGapMs(qint64 from, qint64 to) const {
        qint64 last = from;
        qint64 longest = 0;
        for (const qint64 at : paints) {
            if (at < from) {
                continue;
            }
            if (at >= to) {
                break;
            }
            longest = std::max(longest, at - last);
            last = at;
        }
        return static_cast<double>(std::max(longest, to - last)) / 1e6;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == &window_) {
            paints.push_back(clock_.nsecsElapsed());
        }
        return false;
    }

private:
    QWidget& window_;
    QElapsedTimer clock_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SOURCE TAKES FOLDER\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    const QString source = QString::fromLocal8Bit(argv[1]);
    const int takes = QString::fromLocal8Bit(argv[2]).toInt();
    bench::ProgramWindow program(QString::fromLocal8Bit(argv[3]), source);
    frmSoundRec& window = program.window;
    PaintClock paints(window);
    app.installEventFilter(&paints);
    QTimer ask;
    ask.setInterval(10);
    QObject::connect(&ask, &QTimer::timeout, &window, [&window] { window.update(); });
    ask.start();

    constexpr qint64 kMs = 1000000;
    int failures = 0;
    std::printf("%-6s %14s %10s %10s %16s\n", "take", "reference_ms", "press_ms", "stop_ms",
                "finished_after_ms");
    for (int n = 0; n < takes; ++n) {
        QEventLoop wait;
        QTimer::singleShot(1500, &wait, &QEventLoop::quit);
        wait.exec();
        // The take is the bench's own: a new press asks nothing about the last one.
        window.takeSaved = true;
        const qint64 pressed = paints.now();
        window.Check1()->click();
        if (!window.captureEngine().isRecording()) {
            std::fprintf(stderr, "the take did not start\n");
            return 1;
        }
        QTimer::singleShot(4000, &wait, &QEventLoop::quit);
        wait.exec();
        const qint64 released = paints.now();
        window.Check1()->click();
        qint64 finished = -1;
        QTimer poll;
        poll.setInterval(1);
        QObject::connect(&poll, &QTimer::timeout, &window, [&] {
            if (finished < 0 && !window.captureEngine().deviceOpen()) {
                finished = paints.now();
            }
        });
        poll.start();
        if (!window.captureEngine().deviceOpen()) {
            finished = paints.now();
        }
        QTimer::singleShot(2500, &wait, &QEventLoop::quit);
        wait.exec();
        poll.stop();
        if (finished < 0) {
            ++failures;
        }
        std::printf("%-6d %14.1f %10.1f %10.1f %16.1f\n", n + 1,
                    paints.longestGapMs(released - 2000 * kMs, released),
                    paints.longestGapMs(pressed, pressed + 1000 * kMs),
                    paints.longestGapMs(released, released + 2500 * kMs),
                    finished < 0 ? -1.0 : static_cast<double>(finished - released) / 1e6);
        std::fflush(stdout);
    }
    window.takeSaved = true;
    return failures == 0 ? 0 : 1;
}
