// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PrivateBus.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

namespace testsupport {

namespace {

// Anyone on the machine's own account may connect, own any name and send anything.
const char* const kConfiguration =
    R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
)";

}  // namespace

PrivateBus::PrivateBus(Service service) {
    address_ = QStringLiteral("unix:path=") + dir_.filePath(QStringLiteral("bus"));
    const QString configuration = dir_.filePath(QStringLiteral("bus.conf"));
    QFile file(configuration);
    if (!file.open(QIODevice::WriteOnly)) {
        problem_ = QStringLiteral("cannot write the bus configuration");
        return;
    }
    file.write(QString::fromLatin1(kConfiguration).arg(address_).toUtf8());
    file.close();
    daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + configuration, QStringLiteral("--nofork"),
                   QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    if (!daemon_.waitForStarted() || !daemon_.waitForReadyRead(10000)) {
        problem_ = QStringLiteral("dbus-daemon did not start");
        return;
    }
    if (service == Service::None) {
        return;
    }
    const QString script =
        qEnvironmentVariable("TOLVANE_TEST_SOURCE_DIR") + QStringLiteral("/tests/support/dbus-standin");
    standIn_.setProcessChannelMode(QProcess::ForwardedChannels);
    standIn_.start(script, {service == Service::Logind ? QStringLiteral("logind") : QStringLiteral("portal"),
                            address_, dir_.filePath(QStringLiteral("calls.log"))});
    if (!standIn_.waitForStarted() || !waitFor(QStringLiteral("ready"), 20000)) {
        problem_ = QStringLiteral("the stand-in service did not come up");
    }
}

PrivateBus::~PrivateBus() {
    for (QProcess* process : {&standIn_, &daemon_}) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished();
        }
    }
}

QStringList PrivateBus::calls() const {
    QFile log(dir_.filePath(QStringLiteral("calls.log")));
    if (!log.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.removeAll(QStringLiteral("ready"));
    return lines;
}

bool PrivateBus::waitFor(const QString& line, int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        QFile log(dir_.filePath(QStringLiteral("calls.log")));
        if (log.open(QIODevice::ReadOnly) &&
            QString::fromUtf8(log.readAll()).split(QLatin1Char('\n')).contains(line)) {
            return true;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
    }
}

}  // namespace testsupport
