// Tolvane: records the default PulseAudio source into WAV takes.
#include "platform/mixer/PeakSource.h"
#include "platform/mixer/PulseMixer.h"
#include "platform/wavein/PulseWaveIn.h"
#include "recorder/CommandLine.h"
#include "recorder/recovery/SessionEnd.h"
#include "recorder/window/TakeFolder.h"
#include "recorder/window/frmSoundRec.h"

#include <QApplication>
#include <QScreen>
#include <QSessionManager>

#include <csignal>

namespace {

// SIGTERM, SIGHUP, SIGINT and the end of the desktop session finish a running take, keep it and
// leave at once with success, asking nothing.
void endSessionsWith(QApplication& app, frmSoundRec& window) {
    auto* ending = new recovery::SessionEnd(&app);
    QObject::connect(ending, &recovery::SessionEnd::requested, &window, [&window](int) {
        window.endSession();
        QCoreApplication::exit(0);
    });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&window](QSessionManager&) {
        window.endSession();
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] { window.endSession(); });
}

}  // namespace

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
    auto mixer = platform::mixer::makePulseAudioMixer(QStringLiteral("Tolvane"));
    auto peaks = platform::mixer::makePulseAudioPeakSource(QStringLiteral("Tolvane"));
    frmSoundRec window(
        {.waveIn = *waveIn, .programFolder = takeFolder(), .mixer = mixer.get(), .peakSource = peaks.get()});
    if (const QScreen* screen = window.screen()) {
        window.move(screen->availableGeometry().center() - window.rect().center());
    }
    window.show();
    endSessionsWith(app, window);
    return QApplication::exec();
}
