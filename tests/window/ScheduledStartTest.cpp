// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// When a take set with "Começar às…" starts, and the countdown to it, in time zones with and
// without summer time.
#include "recorder/window/ScheduledStart.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

// The zone's clock reading `iso`; one ending in Z is a moment in UTC, for a reading shown twice.
QDateTime at(const char* zone, const char* iso) {
    const QDateTime read = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODateWithMs);
    if (read.timeSpec() == Qt::UTC) {
        return read.toTimeZone(QTimeZone(zone));
    }
    return QDateTime(read.date(), read.time(), QTimeZone(zone));
}

}  // namespace

TEST(ScheduledStart, TheNextTimeTheClockReadsIt) {
    struct Case {
        const char* what;
        const char* zone;
        const char* now;
        QTime wanted;
        const char* startUtc;  // ISO, UTC
        qint64 countdown;
    };
    const Case cases[] = {
        {"later today", "UTC", "2024-05-10T21:15:30.000", QTime(22, 0), "2024-05-10T22:00:00Z", 2670},
        {"passed: tomorrow", "UTC", "2024-05-10T22:00:20.000", QTime(22, 0), "2024-05-11T22:00:00Z", 86380},
        {"this very minute has begun: tomorrow", "UTC", "2024-05-10T22:00:00.000", QTime(22, 0),
         "2024-05-11T22:00:00Z", 86400},
        {"a part of a second counts as one", "UTC", "2024-05-10T21:59:59.001", QTime(22, 0),
         "2024-05-10T22:00:00Z", 1},
        {"the seconds of the wanted time do not count", "UTC", "2024-05-10T21:59:00.000", QTime(22, 0, 45),
         "2024-05-10T22:00:00Z", 60},
        {"across midnight", "America/Sao_Paulo", "2024-05-10T23:59:30.000", QTime(0, 5),
         "2024-05-11T03:05:00Z", 330},
        {"the end of a month and a year", "UTC", "2024-12-31T23:30:00.000", QTime(0, 0),
         "2025-01-01T00:00:00Z", 1800},
        {"a day of 23 hours: the hour counts once", "Europe/Lisbon", "2024-03-30T22:00:00.000", QTime(22, 0),
         "2024-03-31T21:00:00Z", 82800},
        {"a time the clocks skip: when they jump", "Europe/Lisbon", "2024-03-30T23:00:00.000", QTime(1, 30),
         "2024-03-31T01:00:00Z", 7200},
        {"a time shown twice: the first", "Europe/Lisbon", "2024-10-26T23:00:00.000", QTime(1, 30),
         "2024-10-27T00:30:00Z", 9000},
        {"between the two showings: the second is still to come", "Europe/Lisbon", "2024-10-27T00:45:00.000Z",
         QTime(1, 30), "2024-10-27T01:30:00Z", 2700},
        {"after both showings: tomorrow", "Europe/Lisbon", "2024-10-27T01:45:00.000Z", QTime(1, 30),
         "2024-10-28T01:30:00Z", 85500},
        {"a day of 25 hours", "Europe/Lisbon", "2024-10-26T22:00:00.000", QTime(22, 0),
         "2024-10-27T22:00:00Z", 90000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(QTimeZone(c.zone).isValid()) << c.zone;
        const QDateTime now = at(c.zone, c.now);
        const QDateTime start = schedule::nextStart(c.wanted, now);
        const QDateTime expected = QDateTime::fromString(QString::fromLatin1(c.startUtc), Qt::ISODate);
        EXPECT_EQ(start.toUTC(), expected.toUTC())
            << start.toUTC().toString(Qt::ISODate).toStdString() << " from "
            << now.toUTC().toString(Qt::ISODate).toStdString();
        if (c.countdown > 0) {
            EXPECT_EQ(schedule::countdownSeconds(start, now), c.countdown);
        }
        EXPECT_EQ(schedule::countdownSeconds(start, start.addMSecs(1)), 0);
    }
}

// The steady instant a take begins at follows the wall clock as read at the moment: a clock set
// forward or back while waiting moves it.
TEST(ScheduledStart, TheInstantOnTheSteadyClock) {
    using namespace std::chrono;
    const auto steady = steady_clock::time_point(seconds(1000));
    const QDateTime start(QDate(2024, 5, 10), QTime(22, 0), QTimeZone::utc());
    EXPECT_EQ(schedule::steadyInstantOf(start, start.addMSecs(-1500), steady), steady + milliseconds(1500));
    EXPECT_EQ(schedule::steadyInstantOf(start, start.addSecs(-3600), steady), steady + hours(1));
    EXPECT_EQ(schedule::steadyInstantOf(start, start.addMSecs(250), steady), steady - milliseconds(250));
}
