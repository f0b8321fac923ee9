// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The two sources the level tests move: the monitors of two null sinks, the first the default.

#include "SoundServer.h"

#include <QString>
#include <QTest>

#include <vector>

namespace testsound {

inline const QString kFirst = QStringLiteral("level_a");
inline const QString kSecond = QStringLiteral("level_b");
inline const QString kFirstSource = kFirst + QStringLiteral(".monitor");
inline const QString kSecondSource = kSecond + QStringLiteral(".monitor");

inline std::vector<int> both(int percent) {
    return {percent, percent};
}

// A level is sent in the background; the server has it a moment later.
inline bool reaches(const SoundServer& server, const QString& source, const std::vector<int>& percents) {
    return QTest::qWaitFor([&] { return server.sourceVolumePercent(source) == percents; }, 20000);
}

// Starts `server` with both sinks, each source at half its normal volume.
inline bool startWithBothAtHalf(SoundServer& server) {
    return server.start({kFirst, kSecond}) &&
           server.pactl({QStringLiteral("set-source-volume"), kFirstSource, QStringLiteral("50%")}) &&
           server.pactl({QStringLiteral("set-source-volume"), kSecondSource, QStringLiteral("50%")});
}

}  // namespace testsound
