// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SoundServer.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace testsound {

namespace {

// Short enough for a unix socket path wherever the build tree is.
QString serverFolderTemplate() {
    return QStringLiteral("/tmp/tolvane-level-XXXXXX");
}

}  // namespace

SoundServer::SoundServer()
    : pipewire_(qgetenv("TOLVANE_TEST_SOUND_SERVER") == "pipewire"), dir_(serverFolderTemplate()) {
    QDir(dir_.path()).mkpath(QStringLiteral("runtime"));
    QDir(dir_.path()).mkpath(QStringLiteral("state"));
}

SoundServer::~SoundServer() {
    stopPlaying();
    stop();
}

QProcessEnvironment SoundServer::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), dir_.filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("PULSE_STATE_PATH"), dir_.filePath(QStringLiteral("state")));
    env.insert(QStringLiteral("HOME"), dir_.filePath(QStringLiteral("state")));
    if (pipewire_) {
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.filePath(QStringLiteral("pw/runtime")));
    }
    env.insert(QStringLiteral("PULSE_SERVER"), QString::fromUtf8(address()));
    return env;
}

QByteArray SoundServer::address() const {
    return "unix:" + dir_.filePath(pipewire_ ? QStringLiteral("pw/runtime/pulse/native") : QStringLiteral("native"))
                         .toUtf8();
}

bool SoundServer::runPipeWireServer(const QString& command) const {
    QProcess script;
    script.setProcessEnvironment(environment());
    script.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    script.start(qEnvironmentVariable("TOLVANE_TEST_SOURCE_DIR") + QStringLiteral("/tests/support/pipewire-server"),
                 {command, dir_.filePath(QStringLiteral("pw"))});
    return script.waitForFinished(60000) && script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
}

bool SoundServer::startPipeWire(const QStringList& sinks) {
    if (!runPipeWireServer(QStringLiteral("start"))) {
        return false;
    }
    QFile unavailable(dir_.filePath(QStringLiteral("pw/unavailable")));
    if (unavailable.open(QIODevice::ReadOnly)) {
        std::printf("skipped: PipeWire unavailable: %s\n", unavailable.readAll().trimmed().constData());
        std::fflush(stdout);
        // _Exit runs no destructor: the servers the script got as far as starting, and this
        // folder, go first.
        unavailable.close();
        runPipeWireServer(QStringLiteral("stop"));
        dir_.remove();
        std::_Exit(77);
    }
    // Until the session manager has met the new server, loading a sink is "not supported".
    for (const QString& sink : sinks) {
        if (!QTest::qWaitFor(
                [&] {
                    return pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                                  QStringLiteral("sink_name=") + sink})
                        .has_value();
                },
                20000)) {
            return false;
        }
    }
    // Sinks appear a moment after their module loads.
    return QTest::qWaitFor(
        [&] {
            const auto listed = pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sources")});
            return listed && std::all_of(sinks.begin(), sinks.end(), [&](const QString& sink) {
                       return listed->contains(sink.section(QLatin1Char(' '), 0, 0) + QStringLiteral(".monitor"));
                   });
        },
        10000);
}

bool SoundServer::start(const QStringList& sinks) {
    if (!dir_.isValid() || sinks.isEmpty()) {
        return false;
    }
    // Set once: a sound thread of this process may be reading it.
    if (qgetenv("PULSE_SERVER") != address()) {
        qputenv("PULSE_SERVER", address());
    }
    if (pipewire_) {
        return startPipeWire(sinks) &&
               pactl({QStringLiteral("set-default-source"), sinks.front() + QStringLiteral(".monitor")}) &&
               pactl({QStringLiteral("set-default-sink"), sinks.front()});
    }
    QStringList arguments{QStringLiteral("-n"),
                          QStringLiteral("--daemonize=no"),
                          QStringLiteral("--exit-idle-time=-1"),
                          QStringLiteral("--use-pid-file=no"),
                          QStringLiteral("--disallow-exit"),
                          QStringLiteral("--log-target=file:") + dir_.filePath(QStringLiteral("server.log")),
                          QStringLiteral("-L"),
                          QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") +
                              dir_.filePath(QStringLiteral("native"))};
    for (const QString& sink : sinks) {
        arguments << QStringLiteral("-L") << QStringLiteral("module-null-sink sink_name=") + sink;
    }
    server_.setProcessEnvironment(environment());
    server_.setStandardInputFile(QProcess::nullDevice());
    server_.setStandardOutputFile(QProcess::nullDevice());
    server_.setStandardErrorFile(QProcess::nullDevice());
    server_.start(QStringLiteral("pulseaudio"), arguments);
    if (!server_.waitForStarted()) {
        return false;
    }
    const bool up = QTest::qWaitFor([&] { return pactl({QStringLiteral("info")}).has_value(); }, 30000);
    return up && pactl({QStringLiteral("set-default-source"), sinks.front() + QStringLiteral(".monitor")}) &&
           pactl({QStringLiteral("set-default-sink"), sinks.front()});
}

void SoundServer::stop() {
    if (pipewire_) {
        runPipeWireServer(QStringLiteral("stop"));
        return;
    }
    if (server_.state() == QProcess::NotRunning) {
        return;
    }
    server_.terminate();
    if (!server_.waitForFinished(10000)) {
        server_.kill();
        server_.waitForFinished();
    }
}

std::optional<QString> SoundServer::pactl(const QStringList& arguments) const {
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(QStringLiteral("pactl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    // PipeWire's session manager takes a new default over a moment later: wait until it has, as a
    // user who picked another source would have.
    if (pipewire_ && arguments.size() == 2 && arguments[0].startsWith(QStringLiteral("set-default-"))) {
        const QString get = QStringLiteral("get-default-") + arguments[0].mid(12);
        if (!QTest::qWaitFor([&] { return pactl({get}).value_or(QString()).trimmed() == arguments[1]; }, 10000)) {
            return std::nullopt;
        }
    }
    return output;
}

std::vector<int> SoundServer::sourceVolumePercent(const QString& source) const {
    std::vector<int> percents;
    const auto out = pactl({QStringLiteral("get-source-volume"), source});
    if (!out) {
        return percents;
    }
    // "Volume: front-left: 29491 /  45% / -20.81 dB,   front-right: ..."
    const QString firstLine = out->section(QLatin1Char('\n'), 0, 0);
    static const QRegularExpression percent(QStringLiteral("(\\d+)%"));
    for (auto it = percent.globalMatch(firstLine); it.hasNext();) {
        percents.push_back(it.next().captured(1).toInt());
    }
    return percents;
}

bool SoundServer::play(const QString& file, const QString& sink) {
    stopPlaying();
    player_.setProcessEnvironment(environment());
    player_.start(QStringLiteral("paplay"), {QStringLiteral("--device=") + sink, file});
    return player_.waitForStarted();
}

void SoundServer::stopPlaying() {
    if (player_.state() == QProcess::NotRunning) {
        return;
    }
    player_.kill();
    player_.waitForFinished();
}

std::optional<QString> makeSound(const QString& folder, const QString& name, double seconds,
                                 const QStringList& effects) {
    const QString path = QDir(folder).filePath(name);
    // The rate and channels describe the generated input; no dither, so silence stays exact.
    QStringList arguments{QStringLiteral("-q"), QStringLiteral("-D"), QStringLiteral("-r"), QStringLiteral("44100"),
                          QStringLiteral("-c"), QStringLiteral("2"),  QStringLiteral("-n"), QStringLiteral("-b"),
                          QStringLiteral("16"), path,                 QStringLiteral("synth"), QString::number(seconds)};
    arguments << effects;
    QProcess sox;
    sox.start(QStringLiteral("sox"), arguments);
    if (!sox.waitForFinished(60000) || sox.exitCode() != 0) {
        return std::nullopt;
    }
    return path;
}

}  // namespace testsound
