// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Tolvane: records a PulseAudio source into WAV takes.
#include "platform/power/SleepInhibitor.h"
#include "recorder/CommandLine.h"
#include "recorder/i18n/Language.h"
#include "recorder/recovery/SessionEnd.h"
#include "recorder/window/ServerParts.h"
#include "recorder/window/TakeFolder.h"
#include "recorder/window/frmSoundRec.h"

#include <QApplication>
#include <QScreen>
#include <QSessionManager>
#include <QSettings>

#include <csignal>
#include <functional>
#include <utility>

namespace {

// Sees the application asked to quit by the system (the session manager's "die").
class QuitFilter : public QObject {
public:
    QuitFilter(QObject* parent, std::function<void()> onQuit) : QObject(parent), onQuit_(std::move(onQuit)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && event->type() == QEvent::Quit) {
            onQuit_();
        }
        return false;
    }

private:
    std::function<void()> onQuit_;
};

// SIGTERM, SIGHUP, SIGINT and the end of the desktop session finish a running take, keep it and
// leave at once with success, asking nothing.
void endSessionsWith(QApplication& app, frmSoundRec& window) {
    auto* ending = new recovery::SessionEnd(&app);
    QObject::connect(ending, &recovery::SessionEnd::requested, &window, [&window](int) {
        window.endSession();
        QCoreApplication::exit(0);
    });
    // A session save is not yet its end (it may be a checkpoint, or a logout that is cancelled):
    // the take is made safe on disk and goes on. The session manager's order to leave arrives as
    // the application's Quit event, before the windows are closed.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.commitSession(); });
    app.installEventFilter(new QuitFilter(&app, [&window] { window.endSession(); }));
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
    i18n::installTranslations();
    if (const auto status = tolvane::refuseUnknownArguments(QApplication::arguments())) {
        return *status;
    }

    // PULSE_SOURCE is taken as this run's choice; libpulse must not also read it, or the default
    // source chosen in the window would not be the server's default.
    const QString sourceForThisRun = tolvane::sourceForThisRun(QApplication::arguments());
    qunsetenv("PULSE_SOURCE");
    ServerParts server(QStringLiteral("Tolvane"));
    QSettings settings(QStringLiteral("Tolvane"), QStringLiteral("Tolvane"));
    // Asked of the system bus only when a take starts.
    auto sleepInhibitor = platform::power::makeSleepInhibitor(
        QStringLiteral("Tolvane"), QCoreApplication::translate("frmSoundRec", "Gravando"));
    RecorderServices services = server.services();
    services.programFolder = takeFolder();
    services.settings = &settings;
    services.sourceForThisRun = sourceForThisRun;
    services.sleepInhibitor = sleepInhibitor.get();
    frmSoundRec window(std::move(services));
    if (const QScreen* screen = window.screen()) {
        window.move(screen->availableGeometry().center() - window.rect().center());
    }
    window.show();
    endSessionsWith(app, window);
    return QApplication::exec();
}
