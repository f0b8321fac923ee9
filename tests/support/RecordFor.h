// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A take made by two clicks on the window's record toggle, `ms` apart, and finished.
#pragma once

#include "ScriptedDialogs.h"
#include "platform/wavein/PulseWaveIn.h"
#include "recorder/window/frmSoundRec.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace testsupport {

// What a test changes of the window's services; the rest is as the program has it.
struct WindowSettings {
    // How far the device may run ahead of a stalled window.
    std::chrono::milliseconds backlog = std::chrono::seconds(20);
    // How long a minute of "Parar após" lasts.
    std::chrono::milliseconds stopAfterMinute = std::chrono::minutes(1);
    // The wall clock the window reads; none: the real one.
    std::function<QDateTime()> clock = {};
};

// The recorder window on the sound server the test set up, with boxes scripted and takes in a folder
// of its own; shown and active, so keys reach it.
struct WindowOnServer {
    explicit WindowOnServer(const WindowSettings& settings = {})
        : waveIn(platform::wavein::makePulseAudioWaveIn(QStringLiteral("Tolvane tests"), settings.backlog)),
          window({.waveIn = *waveIn,
                  .dialogs = &dialogs,
                  .programFolder = folder.path(),
                  .clock = settings.clock ? settings.clock : [] { return QDateTime::currentDateTime(); },
                  .stopAfterMinute = settings.stopAfterMinute}) {
        window.show();
        window.activateWindow();
        active = QTest::qWaitForWindowActive(&window);
    }

    // A take runs: the toggle is down and the device records.
    bool recording() const { return window.Check1()->isChecked() && window.captureEngine().isRecording(); }
    // The boxes shown so far, for a failure's message.
    std::string messages() const { return dialogs.messages().join(QStringLiteral(" | ")).toStdString(); }

    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    std::unique_ptr<platform::wavein::WaveIn> waveIn;
    frmSoundRec window;
    bool active = false;
};

// A take stopped by the toggle may still be receiving the sound heard before the release; its file is
// finished once that has come. True when it is.
inline bool takeFinished(const frmSoundRec& window) {
    return QTest::qWaitFor([&] { return !window.captureEngine().isFinishing(); }, 30000);
}

// Waits until the window's take file holds `bytes` of audio past its header; false when it never did.
inline bool waitForTakeLength(const frmSoundRec& window, std::size_t bytes, int timeoutMs = 30000) {
    return QTest::qWaitFor(
        [&] { return QFileInfo(window.takeFileName).size() >= static_cast<qint64>(46 + bytes); }, timeoutMs);
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
