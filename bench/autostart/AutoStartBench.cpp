// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Processor time of the recorder window over SECONDS in each state of a take that starts at sound,
// next to a take recording as ever: recording (the server's sine), armed (a silent source), and
// paused for silence (two seconds of tone, then silence). Run by `run`, on a private server.
//   bench_autostart SECONDS SILENT_SOURCE BURST_SOURCE BURST_FILE
// The sources are monitors of outputs: the script plays silence into the first, the bench plays
// BURST_FILE (raw 44100 Hz stereo: half a second of silence, two of tone, then silence) into the
// second once the take is armed.
#include "platform/dialogs/Dialogs.h"
#include "platform/wavein/PulseWaveIn.h"
#include "recorder/window/AutoStartMenu.h"
#include "recorder/window/frmSoundRec.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace {

// Nothing in these takes asks anything; a box is printed, and means the run went wrong.
class PrintedDialogs final : public platform::Dialogs {
public:
    void message(const QString& text, const QString&) override {
        std::printf("message box: %s\n", qPrintable(text));
    }
    platform::Answer question(const QString& text, const QString& title) override {
        message(text, title);
        return platform::Answer::Cancel;
    }
    platform::Answer confirm(const QString& text, const QString& title) override {
        return question(text, title);
    }
    std::optional<platform::SaveChoice> saveFileName(const QString&, const QStringList&, const QString&,
                                                     const QString&) override {
        return {};
    }
    std::optional<std::chrono::minutes> duration(const QString&, const QString&,
                                                 std::chrono::minutes) override {
        return {};
    }
    std::optional<QTime> timeOfDay(const QString&, const QString&, QTime) override { return {}; }
    std::unique_ptr<platform::Progress> progress(const QString&, const QString&, std::uint64_t) override {
        return nullptr;
    }
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Processor seconds per second of the window in one state, measured over `seconds` after `settle`.
double measure(const char* source, bool atSound, int settleMs, int seconds, const char* what,
               const char* burst = nullptr) {
    qputenv("PULSE_SOURCE", source);
    QTemporaryDir folder;
    auto waveIn = platform::wavein::makePulseAudioWaveIn(QStringLiteral("Tolvane bench"));
    PrintedDialogs dialogs;
    frmSoundRec window({.waveIn = *waveIn, .dialogs = &dialogs, .programFolder = folder.path()});
    window.show();
    window.autoStartMenu().soundTriggerAction().setChecked(atSound);
    QTest::mouseClick(window.Check1(), Qt::LeftButton);
    // The burst plays from the moment the take is armed.
    QProcess player;
    if (burst != nullptr) {
        player.start(
            QStringLiteral("pacat"),
            {QStringLiteral("--playback"), QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
             QStringLiteral("--rate=44100"), QStringLiteral("--channels=2"), QStringLiteral("-d"),
             QString::fromLocal8Bit(source).section(QLatin1Char('.'), 0, 0), QString::fromLocal8Bit(burst)});
    }
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
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc < 5) {
        std::fprintf(stderr, "usage: bench_autostart SECONDS SILENT_SOURCE BURST_SOURCE BURST_FILE\n");
        return 2;
    }
    const int seconds = std::atoi(argv[1]);
    const double recording = measure("tolvane_null.monitor", false, 1000, seconds, "recording");
    const double armed = measure(argv[2], true, 1000, seconds, "armed");
    // The burst plays in its first two seconds; five more and the take is paused.
    const double paused = measure(argv[3], true, 9000, seconds, "paused for silence", argv[4]);
    std::printf("armed / recording %.2f, paused for silence / recording %.2f\n", armed / recording,
                paused / recording);
    return 0;
}
