// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A take made by two clicks on the window's record toggle, `ms` apart, and finished.
#pragma once

#include "recorder/window/frmSoundRec.h"

#include <QAbstractButton>
#include <QTest>

#include <gtest/gtest.h>

namespace testsupport {

// A take stopped by the toggle may still be receiving the sound heard before the release; its file is
// finished once that has come. True when it is.
inline bool takeFinished(const frmSoundRec& window) {
    return QTest::qWaitFor([&] { return !window.captureEngine().isFinishing(); }, 10000);
}

inline void recordFor(frmSoundRec& window, int ms) {
    QTest::mouseClick(window.Check1(), Qt::LeftButton);
    ASSERT_TRUE(window.captureEngine().isRecording());
    QTest::qWait(ms);
    QTest::mouseClick(window.Check1(), Qt::LeftButton);
    ASSERT_FALSE(window.captureEngine().isRecording());
    ASSERT_TRUE(takeFinished(window));
}

}  // namespace testsupport
