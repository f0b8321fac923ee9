// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Records one take through the recorder window from the default PulseAudio source, pressing the
// record toggle for the given number of seconds, as a user would, at 44100 Hz 16-bit stereo or the
// rate and resolution given (as chosen in the QUALIDADE frame's menu). Prints the take's path and size.
#include "platform/wavein/PulseWaveIn.h"
#include "recorder/window/QualityFrame.h"
#include "recorder/window/frmSoundRec.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: %s SECONDS FOLDER [RATE BITS]\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    const int seconds = QString::fromLocal8Bit(argv[1]).toInt();
    auto waveIn = platform::wavein::makePulseAudioWaveIn(QStringLiteral("Tolvane bench"));
    frmSoundRec window({.waveIn = *waveIn, .programFolder = QString::fromLocal8Bit(argv[2])});
    window.show();
    if (argc == 5) {
        window.qualityFrame().chooseRate(QString::fromLocal8Bit(argv[3]).toUInt());
        window.qualityFrame().chooseBits(static_cast<std::uint16_t>(QString::fromLocal8Bit(argv[4]).toUInt()));
    }
    window.Check1()->click();
    if (!window.captureEngine().isRecording()) {
        return 1;
    }
    QTimer::singleShot(seconds * 1000, &window, [&] {
        window.Check1()->click();
        std::printf("%s %lld\n", qPrintable(window.takeFileName), QFileInfo(window.takeFileName).size());
        std::fflush(stdout);
        // Not quit(): that closes the window first, and its close asks about the unsaved take
        // with nobody there to answer.
        QApplication::exit(0);
    });
    return QApplication::exec();
}
