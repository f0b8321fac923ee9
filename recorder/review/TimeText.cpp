// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/review/TimeText.h"

#include "recorder/i18n/ClockText.h"

namespace review {

namespace {

// Milliseconds from the start, exact in integers for any take: a frame count below 2^64 at any
// rate the header can state.
std::uint64_t millisecondsAt(std::uint64_t frame, std::uint32_t rate) {
    if (rate == 0) {
        return 0;
    }
    return frame / rate * 1000 + frame % rate * 1000 / rate;
}

QString hms(std::uint64_t seconds) {
    return i18n::clockText(static_cast<long long>(seconds));
}

}  // namespace

QString clockText(std::uint64_t frame, std::uint32_t rate) {
    return hms(millisecondsAt(frame, rate) / 1000);
}

QString preciseClockText(std::uint64_t frame, std::uint32_t rate) {
    const std::uint64_t ms = millisecondsAt(frame, rate);
    return hms(ms / 1000) + QStringLiteral(".%1").arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

}  // namespace review
