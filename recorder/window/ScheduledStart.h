// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A take set to start at a time of day ("Começar às…"): when that time next comes, the countdown to
// it, and the instant (on the steady clock every press is measured on) the take is to begin at.

#include <QDateTime>
#include <QObject>
#include <QTime>
#include <QTimer>

#include <chrono>
#include <functional>

namespace schedule {

// The first moment after `now` at which the clock of now's time zone reads `wanted` (its seconds
// and below ignored): today, or tomorrow once that has passed. On a day the clocks go forward over
// it, the moment they jump, as the time never shows; on a day they go back over it, the first of
// the two moments it shows that is still to come.
QDateTime nextStart(QTime wanted, const QDateTime& now);

// Whole seconds from `now` to `start`, a part of one counted as one; 0 once it has come.
qint64 countdownSeconds(const QDateTime& start, const QDateTime& now);

// The steady-clock instant of `start`, from a reading of both clocks at one moment.
std::chrono::steady_clock::time_point steadyInstantOf(const QDateTime& start, const QDateTime& wallNow,
                                                      std::chrono::steady_clock::time_point steadyNow);

}  // namespace schedule

class ScheduledStart final : public QObject {
    Q_OBJECT

public:
    using WallClock = std::function<QDateTime()>;

    // The time of day is read on `wall`. The take is handed over `lead` before its time, so that the
    // device is running when the time comes and its first frame is the one heard then.
    ScheduledStart(WallClock wall, std::chrono::milliseconds lead, QObject* parent = nullptr);

    // Waits for the next time the clock reads `wanted`.
    void set(QTime wanted);
    // Ends the wait; nothing is due.
    void cancel();
    bool waiting() const { return timer_.isActive(); }
    // The moment waited for, while waiting.
    const QDateTime& start() const { return start_; }
    // Its time of day as the user set it ("HH:MM").
    QString startText() const;
    qint64 secondsLeft() const { return schedule::countdownSeconds(start_, wall_()); }

Q_SIGNALS:
    // A few times a second while waiting: the countdown moved on.
    void tick();
    // The time is close: the take begins with what is heard at `heardFrom` (steady clock), which
    // is the time `start`. The wait is over.
    void due(std::chrono::steady_clock::time_point heardFrom, const QDateTime& start);

private:
    void check();

    WallClock wall_;
    std::chrono::milliseconds lead_;
    QTimer timer_;
    QDateTime start_;
};
