// Tolvane: records the default PulseAudio source into WAV takes.
#include "platform/wavein/PulseWaveIn.h"
#include "recorder/CommandLine.h"
#include "recorder/window/TakeFolder.h"
#include "recorder/window/frmSoundRec.h"

#include <QApplication>
#include <QScreen>

#include <csignal>

int main(int argc, char** argv) {
    // A take that meets a file-size limit must fail its write and be finished, not kill the program.
    std::signal(SIGXFSZ, SIG_IGN);
    if (const auto status = tolvane::answerHelpOrVersion(argc, argv)) {
        return *status;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolvane"));
    if (const auto status = tolvane::refuseUnknownArguments(QApplication::arguments())) {
        return *status;
    }

    auto waveIn = platform::wavein::makePulseAudioWaveIn(QStringLiteral("Tolvane"));
    frmSoundRec window({.waveIn = *waveIn, .programFolder = takeFolder()});
    if (const QScreen* screen = window.screen()) {
        window.move(screen->availableGeometry().center() - window.rect().center());
    }
    window.show();
    return QApplication::exec();
}
