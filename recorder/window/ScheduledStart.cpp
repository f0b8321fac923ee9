// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/ScheduledStart.h"

#include <QList>
#include <QTimeZone>

#include <algorithm>

namespace schedule {

namespace {

// The moments `wanted` shows on `date` in `zone`, in order: none when the clocks skip it that
// day, two when they go back over it.
QList<QDateTime> shownAt(QDate date, QTime wanted, const QTimeZone& zone) {
    const QDateTime candidate(date, wanted, zone);
    // Qt moves a time the clocks skip to another one, or calls it invalid: either way not shown.
    if (!candidate.isValid() || candidate.date() != date || candidate.time() != wanted) {
        return {};
    }
    // Where the clocks went back, the same reading shows twice, a step apart (an hour, or half of one).
    QList<QDateTime> shown{candidate};
    for (const int step : {-3600, -1800, 1800, 3600}) {
        const QDateTime other = candidate.addSecs(step).toTimeZone(zone);
        if (other.date() == date && other.time() == wanted && !shown.contains(other)) {
            shown.append(other);
        }
    }
    std::sort(shown.begin(), shown.end());
    return shown;
}

}  // namespace

QDateTime nextStart(QTime wanted, const QDateTime& now) {
    const QTime time(wanted.hour(), wanted.minute());
    const QTimeZone zone = now.timeZone();
    const QDateTime here = now.toTimeZone(zone);
    for (int day = 0; day <= 2; ++day) {
        const QDate date = here.date().addDays(day);
        QList<QDateTime> moments = shownAt(date, time, zone);
        if (moments.isEmpty()) {
            // Skipped: the moment the clocks jump over it, the first after the day's noon before.
            const QDateTime before(date.addDays(-1), QTime(12, 0), zone);
            const QTimeZone::OffsetData jump = zone.nextTransition(before);
            if (jump.atUtc.isValid()) {
                moments.append(jump.atUtc.toTimeZone(zone));
            }
        }
        for (const QDateTime& start : moments) {
            if (start > now) {
                return start;
            }
        }
    }
    return QDateTime();
}

qint64 countdownSeconds(const QDateTime& start, const QDateTime& now) {
    const qint64 ms = now.msecsTo(start);
    return ms <= 0 ? 0 : (ms + 999) / 1000;
}

std::chrono::steady_clock::time_point steadyInstantOf(const QDateTime& start, const QDateTime& wallNow,
                                                      std::chrono::steady_clock::time_point steadyNow) {
    return steadyNow + std::chrono::milliseconds(wallNow.msecsTo(start));
}

}  // namespace schedule

ScheduledStart::ScheduledStart(WallClock wall, std::chrono::milliseconds lead, QObject* parent)
    : QObject(parent), wall_(std::move(wall)), lead_(lead) {
    // Read often, not counted: the wall clock may jump (a correction, a change of summer time, a
    // computer that slept), and the start is the time it shows.
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &ScheduledStart::check);
}

void ScheduledStart::set(QTime wanted) {
    start_ = schedule::nextStart(wanted, wall_());
    if (!start_.isValid()) {
        return;
    }
    timer_.start();
    check();
}

void ScheduledStart::cancel() {
    timer_.stop();
}

QString ScheduledStart::startText() const {
    return start_.toString(QStringLiteral("HH:mm"));
}

void ScheduledStart::check() {
    if (!waiting()) {
        return;
    }
    const auto steadyNow = std::chrono::steady_clock::now();
    const QDateTime now = wall_();
    if (now.msecsTo(start_) <= lead_.count()) {
        timer_.stop();
        Q_EMIT due(schedule::steadyInstantOf(start_, now, steadyNow), start_);
        return;
    }
    Q_EMIT tick();
}
