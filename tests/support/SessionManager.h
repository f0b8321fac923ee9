// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A desktop session manager of a test's own (the X session management protocol, as GNOME's, KDE's
// and xsm speak it): programs started with its address in SESSION_MANAGER join its session, and the
// test ends the session as a logout does.

#include <QString>

#include <atomic>
#include <thread>

namespace testsupport {

class SessionManager {
public:
    SessionManager();
    ~SessionManager();
    SessionManager(const SessionManager&) = delete;
    SessionManager& operator=(const SessionManager&) = delete;

    bool listening() const { return !address_.isEmpty(); }
    // The value for SESSION_MANAGER.
    QString address() const { return address_; }

    // Waits until a program has joined the session; false when none did in time.
    bool waitForMember(int timeoutMs) const;
    // The session is saved while it goes on (a checkpoint): the member is asked to save without
    // the shutdown flag. True when it answered that it is done, and successfully, in time.
    bool checkpoint(int timeoutMs) { return save(SaveForCheckpoint, timeoutMs); }
    // The session ends: the member is asked to save with the shutdown flag, as at a logout.
    bool endSession(int timeoutMs) { return save(SaveForShutdown, timeoutMs); }
    // After a shutdown save: the member is told to leave.
    void die();

private:
    enum Request { None, SaveForCheckpoint, SaveForShutdown, Die, Stop };
    bool save(Request request, int timeoutMs);
    void run();

    QString address_;
    std::atomic<int> request_{None};
    std::atomic<bool> joined_{false};
    std::atomic<int> saved_{0};  // 0 not yet, 1 done, 2 done but failed
    std::atomic<bool> ready_{false};
    std::thread thread_;
};

}  // namespace testsupport
