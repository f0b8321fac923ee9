// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A take made by two clicks on the window's record toggle, `ms` apart, and finished.
#pragma once

#include "ScriptedDialogs.h"
#include "platform/wavein/PulseWaveIn.h"
#include "recorder/window/frmSoundRec.h"

#include <QAbstractButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <gtest/gtest.h>

namespace testsupport {

// The recorder window on the sound server the test set up, with boxes scripted and takes in a folder
// of its own; shown and active, so keys reach it.
struct WindowOnServer {
    WindowOnServer()
        : waveIn(platform::wavein::makePulseAudioWaveIn(QStringLiteral("Tolvane tests"))),
          window({.waveIn = *waveIn, .dialogs = &dialogs, .programFolder = folder.path()}) {
        window.show();
        window.activateWindow();
        active = QTest::qWaitForWindowActive(&window);
    }

    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    std::unique_ptr<platform::wavein::WaveIn> waveIn;
    frmSoundRec window;
    bool active = false;
};

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
