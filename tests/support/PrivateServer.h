// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A PulseAudio server of a test's own (the same set-up as the shared one: a 440 Hz sine as the
// default source), so it can be killed and started again without disturbing other tests.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

namespace testsupport {

class PrivateServer {
public:
    PrivateServer() : dir_(QDir::tempPath() + QStringLiteral("/tolvane-server-XXXXXX")) { start(); }
    ~PrivateServer() { run(QStringLiteral("stop")); }
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    bool start() { return started_ = run(QStringLiteral("start")); }
    bool started() const { return started_; }
    QByteArray address() const { return ("unix:" + dir_.path() + "/native").toUtf8(); }
    // The server dies at once, as in a crash.
    void kill() {
        send(SIGKILL);
        started_ = false;
    }
    // The server stops answering, as under heavy swapping, until it is resumed.
    void pause() { send(SIGSTOP); }
    void resume() { send(SIGCONT); }

private:
    void send(int signal) {
        QFile pidFile(dir_.path() + QStringLiteral("/pid"));
        if (pidFile.open(QIODevice::ReadOnly)) {
            const auto pid = static_cast<pid_t>(pidFile.readAll().trimmed().toLongLong());
            if (pid > 0) {
                ::kill(pid, signal);
            }
        }
    }

    bool run(const QString& command) {
        return QProcess::execute(qEnvironmentVariable("TOLVANE_TEST_SOURCE_DIR") +
                                     QStringLiteral("/tests/support/pulse-server"),
                                 {command, dir_.path()}) == 0;
    }

    QTemporaryDir dir_;
    bool started_ = false;
};

// Makes `server` the one this process's sound clients (and programs it starts) reach, for as long
// as it lives.
class ServerInUse {
public:
    explicit ServerInUse(const PrivateServer& server) : previous_(qgetenv("PULSE_SERVER")) {
        qputenv("PULSE_SERVER", server.address());
    }
    ~ServerInUse() { qputenv("PULSE_SERVER", previous_); }
    ServerInUse(const ServerInUse&) = delete;
    ServerInUse& operator=(const ServerInUse&) = delete;

private:
    QByteArray previous_;
};

// A server of the test's own that this process's sound clients reach for as long as it lives.
struct ServerOfOwn {
    ServerOfOwn() : inUse(server) {}
    bool started() const { return server.started(); }

    PrivateServer server;
    ServerInUse inUse;
};

}  // namespace testsupport
