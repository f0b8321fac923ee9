// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A D-Bus message bus of the test's own (dbus-daemon with a configuration of its own), with a
// stand-in for logind's sleep lock or the desktop portal on it (tests/support/dbus-standin) that logs
// every call it gets and every lock that ends.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

class PrivateBus {
public:
    enum class Service { None, Logind, Portal };
    explicit PrivateBus(Service service);
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // The bus and its stand-in are up; otherwise what went wrong.
    bool ready() const { return problem_.isEmpty(); }
    QString problem() const { return problem_; }
    QString address() const { return address_; }
    // The stand-in's log lines so far, "ready" left out.
    QStringList calls() const;
    // Waits until the log holds `line`; false when it did not within `timeoutMs`.
    bool waitFor(const QString& line, int timeoutMs = 10000) const;

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QProcess standIn_;
    QString address_;
    QString problem_;
};

}  // namespace testsupport
