// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RecorderProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace testsupport {

VirtualDisplay::VirtualDisplay() {
    // -displayfd: the server picks a free display and prints its number once it accepts clients.
    server_.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                           QStringLiteral("-screen"), QStringLiteral("0"),
                                           QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                                           QStringLiteral("tcp")});
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 20000 && server_.state() != QProcess::NotRunning) {
        server_.waitForReadyRead(200);
        const QByteArray line = server_.readAllStandardOutput().trimmed();
        if (!line.isEmpty()) {
            name_ = QStringLiteral(":") + QString::fromLatin1(line);
            // A window manager, so that windows are activated and take the keyboard focus.
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("DISPLAY"), name_);
            windowManager_.setProcessEnvironment(environment);
            windowManager_.start(QStringLiteral("openbox"), {});
            windowManager_.waitForStarted();
            // Until the window manager has taken over the screen, a window it takes over later may
            // lose the focus (and the keys sent to it) when it is reparented.
            while (waited.elapsed() < 20000 && windowManager_.state() == QProcess::Running) {
                QProcess probe;
                probe.setProcessEnvironment(environment);
                probe.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
                if (probe.waitForFinished(5000) && probe.readAllStandardOutput().contains("window id")) {
                    break;
                }
                QThread::msleep(50);
            }
            return;
        }
    }
}

VirtualDisplay::~VirtualDisplay() {
    windowManager_.terminate();
    windowManager_.waitForFinished(5000);
    server_.terminate();
    if (!server_.waitForFinished(5000)) {
        server_.kill();
        server_.waitForFinished();
    }
}

RecorderProcess::RecorderProcess(const VirtualDisplay& display, const QString& folder,
                                 const QStringList& environment, const QStringList& arguments)
    : display_(display.name()), folder_(folder) {
    const QString built = qEnvironmentVariable("TOLVANE_TEST_BINARY_DIR") + QStringLiteral("/recorder/tolvane");
    const QString placed = QDir(folder).filePath(QStringLiteral("tolvane"));
    if (!QFile::exists(placed) &&
        ::link(QFile::encodeName(built).constData(), QFile::encodeName(placed).constData()) != 0) {
        QFile::copy(built, placed);
        QFile::setPermissions(placed, QFile::permissions(built));
    }
    QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
    own.insert(QStringLiteral("DISPLAY"), display_);
    own.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // No accessibility bus on the private display; without this Qt waits for one.
    own.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("0"));
    own.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    // The program's settings (the chosen input) are the folder's, never the user's own.
    own.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir(folder).filePath(QStringLiteral(".config")));
    for (const QString& entry : environment) {
        const qsizetype equals = entry.indexOf(QLatin1Char('='));
        own.insert(entry.left(equals), entry.mid(equals + 1));
    }
    process_.setProcessEnvironment(own);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setWorkingDirectory(folder);
    process_.start(placed, arguments);
    process_.waitForStarted();
}

RecorderProcess::~RecorderProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished();
    }
}

bool RecorderProcess::xdotool(const QStringList& arguments, QString* output) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display_);
    // An X error (a window torn down while the tool walks the tree or activates it) ends the tool
    // at once; it says nothing about the program, so the same read or activation is asked again.
    // Only these are: a key press that may have gone out is never sent twice.
    const bool repeatable = arguments.value(0) == QStringLiteral("search") ||
                            arguments.value(0) == QStringLiteral("windowactivate");
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QProcess tool;
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral("xdotool"), arguments);
        if (!tool.waitForFinished(30000)) {
            tool.kill();
            tool.waitForFinished();
            return false;
        }
        const QByteArray errors = tool.readAllStandardError();
        if (repeatable && errors.contains("X Error") && waited.elapsed() < 30000) {
            QThread::msleep(100);
            continue;
        }
        if (output != nullptr) {
            *output = QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
        }
        return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    }
}

bool RecorderProcess::waitForWindow() {
    // Not `search --sync`: it gives up at the first X error, and walking the tree while the window
    // manager tears down a window just killed gives one.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 30000 && process_.state() != QProcess::NotRunning) {
        QString found;
        if (xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                     QString::number(process_.processId())},
                    &found) &&
            !found.isEmpty()) {
            window_ = found.split(QLatin1Char('\n')).constFirst();
            return true;
        }
        // Waits on the program itself, so that its end is seen: its state changes only here.
        process_.waitForFinished(100);
    }
    failed_ = QStringLiteral("the window never showed");
    return false;
}

bool RecorderProcess::waitForWindows(int count, int timeoutMs) {
    if (window_.isEmpty() && !waitForWindow()) {
        return false;
    }
    QElapsedTimer waited;
    waited.start();
    while (visibleWindows() != count) {
        if (waited.elapsed() > timeoutMs || process_.state() == QProcess::NotRunning) {
            failed_ = QStringLiteral("%1 windows shown, not %2").arg(visibleWindows()).arg(count);
            return false;
        }
        process_.waitForFinished(100);
    }
    return true;
}

int RecorderProcess::visibleWindows() const {
    QString found;
    // None found is an exit status of 1 as well; the list is then empty either way.
    xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
             QString::number(process_.processId())},
            &found);
    return static_cast<int>(found.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
}

bool RecorderProcess::activateAndPress(const QString& keys) {
    if (window_.isEmpty()) {
        failed_ = QStringLiteral("no window to press %1 in").arg(keys);
        return false;
    }
    if (!xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window_})) {
        failed_ = QStringLiteral("the window could not be activated for %1").arg(keys);
        return false;
    }
    if (!xdotool({QStringLiteral("key"), keys})) {
        failed_ = QStringLiteral("pressing %1 failed").arg(keys);
        return false;
    }
    return true;
}

bool RecorderProcess::pressToggle() {
    return activateAndPress(QStringLiteral("space"));
}

bool RecorderProcess::pressKeys(const QString& keys) {
    return activateAndPress(keys);
}

QString RecorderProcess::startTake(const QStringList& others) {
    if ((window_.isEmpty() && !waitForWindow()) || !pressToggle()) {
        return QString();
    }
    const QString take = waitForTake(30000, others);
    if (take.isEmpty()) {
        failed_ = QStringLiteral("no take started");
    }
    return take;
}

QString RecorderProcess::waitForTake(int timeoutMs, const QStringList& others) const {
    QElapsedTimer waited;
    waited.start();
    do {
        for (const QString& name : takeFilesIn(folder_)) {
            const QString path = QDir(folder_).filePath(name);
            if (!others.contains(path) && QFileInfo(path).size() > 46) {
                return path;
            }
        }
        QThread::msleep(20);
    } while (waited.elapsed() < timeoutMs);
    return QString();
}

void RecorderProcess::signal(int number) {
    ::kill(static_cast<pid_t>(process_.processId()), number);
}

int RecorderProcess::waitForExit(int timeoutMs) {
    if (!process_.waitForFinished(timeoutMs)) {
        return -1;
    }
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

QString RecorderProcess::output() {
    return QString::fromLocal8Bit(process_.readAll());
}

std::string RecorderProcess::report() {
    return (failed_ + QStringLiteral("; the program said: ") + output()).toStdString();
}

QStringList takeFilesIn(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.WAV")}, QDir::Files, QDir::Name);
}

}  // namespace testsupport
