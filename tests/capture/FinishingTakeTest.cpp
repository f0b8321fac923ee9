// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A take released while the sound heard before the release is still on its way, through the real
// window: the toggle comes up at once, and what needs the finished take (Save, a new take's question,
// the exit question) waits for it with the window answering, then sees the whole take.
#include "recorder/window/TakeMenu.h"
#include "recorder/window/frmSoundRec.h"

#include "ScriptedDialogs.h"
#include "SimulatedWaveIn.h"
#include "TakeReader.h"

#include <LED/LED.h>

#include <QAbstractButton>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace platform::wavein;
using testsupport::ShownDialog;

namespace {

constexpr std::size_t kBuffer = 35280;  // the window's default, 44100 Hz stereo

// The window on a device that delivers only what the test hands it, and holds back the sound heard
// before a release until the test lets it arrive.
struct Rig {
    explicit Rig(std::chrono::milliseconds stopAfterMinute = std::chrono::minutes(1))
        : window({.waveIn = device,
                  .dialogs = &dialogs,
                  .programFolder = folder.path(),
                  .stopAfterMinute = stopAfterMinute}) {
        device.setEndHeldBack(true);
        window.show();
    }

    void deliver(int buffers) {
        device.produce(static_cast<std::size_t>(buffers) * kBuffer);
        QCoreApplication::sendPostedEvents(&window);
    }
    // A take of three buffers, released: true when it recorded and now waits for its last sound.
    bool releasedTake() {
        QTest::mouseClick(window.Check1(), Qt::LeftButton);
        const bool recorded = window.captureEngine().isRecording();
        deliver(3);
        QTest::mouseClick(window.Check1(), Qt::LeftButton);
        return recorded && window.captureEngine().isFinishing();
    }

    QTemporaryDir folder;
    testsupport::ScriptedDialogs dialogs;
    SimulatedWaveIn device{SimulatedSource::counter(), Pacing::Manual};
    frmSoundRec window;
};

struct Case {
    const char* what;
    std::function<void(frmSoundRec&)> act;  // done while the take waits for its last sound
    ShownDialog::Kind asked;
    std::optional<platform::Answer> answer;
    bool saved;
};

}  // namespace

TEST(FinishingTake, WhatNeedsTheFinishedTakeWaitsForItsLastSound) {
    QTemporaryDir saved;
    const Case cases[] = {
        {"Save", [](frmSoundRec& w) { QTest::mouseClick(w.cmdSave(), Qt::LeftButton); },
         ShownDialog::Kind::SaveFile, std::nullopt, true},
        {"a new take", [](frmSoundRec& w) { QTest::mouseClick(w.Check1(), Qt::LeftButton); },
         ShownDialog::Kind::Question, platform::Answer::Cancel, false},
        {"closing the window", [](frmSoundRec& w) { w.close(); }, ShownDialog::Kind::Question,
         platform::Answer::Cancel, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        auto& [folder, dialogs, device, window] = rig;
        ASSERT_TRUE(rig.releasedTake());
        EXPECT_FALSE(window.Check1()->isChecked());
        EXPECT_EQ(window.Check1()->text(), QStringLiteral("Iniciar Gravação"));
        EXPECT_TRUE(window.cmdSave()->isEnabled());

        // The late sound and the end come while the window waits, from its own event loop.
        std::size_t shownBeforeEnd = SIZE_MAX;
        QTimer::singleShot(50, &window, [&] {
            shownBeforeEnd = dialogs.shown.size();
            rig.deliver(2);
            device.endArrives();
        });
        if (c.saved) {
            dialogs.savePaths.push_back(saved.filePath(QStringLiteral("kept")));
        } else {
            dialogs.answers.push_back(*c.answer);
        }
        c.act(window);

        EXPECT_EQ(shownBeforeEnd, 0u) << "asked before the take was finished";
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].kind, c.asked);
        EXPECT_FALSE(window.captureEngine().isFinishing());
        EXPECT_FALSE(window.Check1()->isChecked());
        EXPECT_TRUE(window.isVisible());
        const QString path = c.saved ? saved.filePath(QStringLiteral("kept.Wav")) : window.takeFileName;
        const auto take = testsupport::readTake(path);
        EXPECT_EQ(take.dataLength(), 15 * kBuffer) << "the lead-in and the whole take";
        EXPECT_EQ(take.u32(42), take.dataLength());
        EXPECT_EQ(testsupport::firstCounterMismatch(take, 10 * kBuffer, 2), std::nullopt);
        window.takeSaved = true;
    }
}

// A press that waits for the last take to finish is taken back by a release during the wait (a
// quick press, release, press, release): nothing is asked, deleted or started, and no take runs
// under a toggle that is up.
TEST(FinishingTake, AReleaseWhileAPressWaitsTakesThePressBack) {
    Rig rig;
    auto& [folder, dialogs, device, window] = rig;
    ASSERT_TRUE(rig.releasedTake());
    const QString lastTake = window.takeFileName;

    QTimer::singleShot(50, &window, [&] {
        QTest::mouseClick(window.Check1(), Qt::LeftButton);
        QTimer::singleShot(50, &window, [&] {
            rig.deliver(2);
            device.endArrives();
        });
    });
    // Asked only if the press went on regardless; this answer would delete the last take.
    dialogs.answers.push_back(platform::Answer::Yes);
    QTest::mouseClick(window.Check1(), Qt::LeftButton);

    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown.front().text.toStdString();
    EXPECT_FALSE(window.captureEngine().isRecording());
    EXPECT_FALSE(window.captureEngine().isFinishing());
    EXPECT_FALSE(window.Check1()->isChecked());
    EXPECT_EQ(window.Check1()->text(), QStringLiteral("Iniciar Gravação"));
    EXPECT_EQ(window.takeFileName, lastTake);
    EXPECT_EQ(testsupport::readTake(lastTake).dataLength(), 15 * kBuffer) << "the last take, whole";
    window.takeSaved = true;
}

// A time to stop after chosen for the next take while the last one still receives its last sound
// (shorter than that take) is the next take's: the last one keeps all it heard.
TEST(FinishingTake, AStopTimeChosenMeanwhileIsForTheNextTake) {
    // "15 minutos" lasts 0.3 s: half of what the take below holds before its release.
    Rig rig(std::chrono::milliseconds(20));
    auto& [folder, dialogs, device, window] = rig;
    ASSERT_TRUE(rig.releasedTake());

    auto* stopAfter = window.takeMenu().menu().findChild<QMenu*>(QStringLiteral("StopAfterMenu"));
    ASSERT_NE(stopAfter, nullptr);
    stopAfter->actions().front()->trigger();
    ASSERT_TRUE(window.takeMenu().stopAfter().has_value());
    rig.deliver(2);
    device.endArrives();
    QCoreApplication::sendPostedEvents(&window);

    ASSERT_FALSE(window.captureEngine().isFinishing());
    EXPECT_TRUE(window.takeMenu().stopAfter().has_value()) << "the time set stays for the next take";
    const auto take = testsupport::readTake(window.takeFileName);
    EXPECT_EQ(take.dataLength(), 15 * kBuffer) << "the lead-in and the whole take";
    EXPECT_EQ(testsupport::firstCounterMismatch(take, 10 * kBuffer, 2), std::nullopt);
    window.takeSaved = true;
}
