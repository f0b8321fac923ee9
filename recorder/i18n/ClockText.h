// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// How every text of the program writes a length of time, in every language: "H:MM:SS", hours
// unbounded. The readout's tooltips, the room question, the recovered takes and the overrun report
// all read alike.

#include <QString>

namespace i18n {

// `seconds` (a negative length counts as none) as "H:MM:SS".
inline QString clockText(long long seconds) {
    seconds = seconds < 0 ? 0 : seconds;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace i18n
