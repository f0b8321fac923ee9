// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A take made by two clicks on the window's record toggle, `ms` apart.
#pragma once

#include "recorder/window/frmSoundRec.h"

#include <QAbstractButton>
#include <QTest>

#include <gtest/gtest.h>

namespace testsupport {

inline void recordFor(frmSoundRec& window, int ms) {
    QTest::mouseClick(window.Check1(), Qt::LeftButton);
    ASSERT_TRUE(window.captureEngine().isRecording());
    QTest::qWait(ms);
    QTest::mouseClick(window.Check1(), Qt::LeftButton);
    ASSERT_FALSE(window.captureEngine().isRecording());
}

}  // namespace testsupport
