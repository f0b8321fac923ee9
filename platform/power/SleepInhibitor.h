// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Keeps the computer from suspending while a take runs. The screen may still blank and lock: only
// sleep is held off. Where the system offers no way to ask, holding does nothing and says nothing.

#include <QString>

#include <memory>

namespace platform::power {

class SleepInhibitor {
public:
    virtual ~SleepInhibitor() = default;
    // Asks for the lock; a second call while held does nothing. Never waits for an answer: the
    // lock is in place as soon as the system grants it.
    virtual void hold() = 0;
    // The same, told to the system with `why` instead of the reason it was made with; a lock held
    // for another reason is asked anew with this one, then the old one let go.
    virtual void hold(const QString& why) = 0;
    // Lets go at once, also of a request not yet answered. Nothing when not held.
    virtual void release() = 0;
    // The system granted the lock and it is still held.
    virtual bool held() const = 0;
};

// logind's sleep lock on the system bus ("sleep", "block"), which lasts as long as its descriptor
// stays open, so the kernel lets go for a program that dies. Where logind cannot be reached (a
// sandbox), the desktop portal's inhibition of suspend on the session bus, which the portal ends
// with the program's bus connection. `who` and `why` are shown to the user by the system.
std::unique_ptr<SleepInhibitor> makeSleepInhibitor(const QString& who, const QString& why);

}  // namespace platform::power
