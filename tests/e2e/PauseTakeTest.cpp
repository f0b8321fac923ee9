// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Pausing a take and stopping it after a set time, through the real window on a PulseAudio server
// of the test's own whose source counts its frames: what a take lost, doubled or left out is known
// to the frame, and where it lies.
//
// TOLVANE_LONG_PAUSE=1 pauses a take for 60 s against the program's own 20 s backlog (CI pauses
// 3 s against 1 s); TOLVANE_REAL_MINUTE=1 lets "Parar após" count real minutes (CI: 3 s ones).
#include "recorder/window/frmSoundRec.h"

#include "CountingSource.h"
#include "PrivateServer.h"
#include "ScriptedDialogs.h"
#include "TakeReader.h"
#include "platform/wavein/PulseWaveIn.h"
#include "recorder/window/TakeMenu.h"

#include <LED/LED.h>

#include <QAbstractButton>
#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

constexpr double kRate = 44100;
constexpr std::size_t kBufferFrames = 8820;  // one capture buffer of 44100 Hz stereo
constexpr std::size_t kLeadInFrames = 10 * kBufferFrames;

struct Window {
    explicit Window(std::chrono::milliseconds backlog = 20s, std::chrono::milliseconds minute = 1min)
        : waveIn(platform::wavein::makePulseAudioWaveIn(QStringLiteral("Tolvane tests"), backlog)),
          window({.waveIn = *waveIn,
                  .dialogs = &dialogs,
                  .programFolder = folder.path(),
                  .stopAfterMinute = minute}) {
        window.show();
        window.activateWindow();
        active = QTest::qWaitForWindowActive(&window);
        clock.start();
    }

    // Each press is timed at its middle, in seconds since the window opened.
    double press(const std::function<void()>& action) {
        const qint64 before = clock.nsecsElapsed();
        action();
        return static_cast<double>(before + clock.nsecsElapsed()) / 2e9;
    }
    double toggle() {
        return press([this] { QTest::mouseClick(window.Check1(), Qt::LeftButton); });
    }
    double ctrlP() {
        return press([this] { QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier); });
    }
    void waitUntil(double seconds) {
        while (static_cast<double>(clock.nsecsElapsed()) / 1e9 < seconds) {
            QTest::qWait(10);
        }
    }
    QString readout() const {
        const auto d = [this](int i) { return QString::number(window.LED1(i)->Value()); };
        return d(4) + ' ' + d(0) + d(1) + ' ' + d(2) + d(3);
    }

    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    std::unique_ptr<platform::wavein::WaveIn> waveIn;
    frmSoundRec window;
    QElapsedTimer clock;
    bool active = false;
};

struct Sound {
    Sound() : inUse(server) {}
    PrivateServer server;
    ServerInUse inUse;
    CountingSource source;
};

// One server and one count for the three takes: starting them is most of the time they take.
class PauseTakeOnPulse : public testing::Test {
protected:
    static void SetUpTestSuite() { sound = new Sound; }
    static void TearDownTestSuite() {
        delete sound;
        sound = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(sound->server.started());
        ASSERT_TRUE(sound->source.playing());
    }
    static Sound* sound;
};
Sound* PauseTakeOnPulse::sound = nullptr;

std::size_t audioFrames(const TakeBytes& take) {
    return take.dataLength() / 4 - kLeadInFrames;
}

}  // namespace

// Two pauses: the take is the time from press to release less the paused spans, and the count
// runs on by one everywhere but at the two resumes, where each paused span is missing as one jump.
TEST_F(PauseTakeOnPulse, TwoPausesLeaveOutTheirSpansAndNothingElse) {
    Window w;
    ASSERT_TRUE(w.active);
    const double start = 0.5;
    w.waitUntil(start);
    const double pressed = w.toggle();
    ASSERT_TRUE(w.window.captureEngine().isRecording()) << w.dialogs.messages().join(' ').toStdString();
    // Pause and resume moments, seconds after the press.
    const double plan[] = {2.0, 4.5, 6.0, 8.0};
    double at[4];
    for (int i = 0; i < 4; ++i) {
        w.waitUntil(pressed + plan[i]);
        at[i] = w.ctrlP();
        EXPECT_EQ(w.window.captureEngine().isPaused(), i % 2 == 0);
    }
    w.waitUntil(pressed + 9.5);
    const double released = w.toggle();
    ASSERT_TRUE(w.dialogs.shown.empty()) << w.dialogs.messages().join(' ').toStdString();

    const TakeBytes take = readTake(w.window.takeFileName);
    const double heard = released - pressed - (at[1] - at[0]) - (at[3] - at[2]);
    const double recorded = static_cast<double>(audioFrames(take)) / kRate;
    const auto jumps = counterJumps(take, kLeadInFrames);
    std::printf("press to release less pauses %.3f s, take %.3f s; paused %.3f s and %.3f s\n", heard,
                recorded, at[1] - at[0], at[3] - at[2]);
    for (const auto& jump : jumps) {
        std::printf("jump of %lld frames (%.3f s) at %.3f s of audio\n", static_cast<long long>(jump.skipped),
                    static_cast<double>(jump.skipped) / kRate, static_cast<double>(jump.atFrame) / kRate);
    }
    EXPECT_GE(counterAt(take, kLeadInFrames), 65536u) << "the audio after the lead-in is not the count";
    ASSERT_EQ(jumps.size(), 2u);
    const double buffer = kBufferFrames / kRate;
    EXPECT_NEAR(static_cast<double>(jumps[0].skipped) / kRate, at[1] - at[0], buffer);
    EXPECT_NEAR(static_cast<double>(jumps[1].skipped) / kRate, at[3] - at[2], buffer);
    EXPECT_NEAR(static_cast<double>(jumps[0].atFrame) / kRate, at[0] - pressed, buffer);
    EXPECT_NEAR(static_cast<double>(jumps[1].atFrame) / kRate, at[0] - pressed + at[2] - at[1], buffer);
    EXPECT_NEAR(recorded, heard, buffer);
}

// A pause longer than the backlog the device keeps for a stalled window: nothing runs into it, so
// nothing is lost and no overrun is told.
TEST_F(PauseTakeOnPulse, APauseLongerThanTheBacklogLosesNothing) {
    const bool full = qEnvironmentVariableIntValue("TOLVANE_LONG_PAUSE") == 1;
    const auto backlog = full ? 20s : 1s;
    const double pause = full ? 60.0 : 3.0;
    Window w(backlog);
    ASSERT_TRUE(w.active);
    const double pressed = w.toggle();
    ASSERT_TRUE(w.window.captureEngine().isRecording()) << w.dialogs.messages().join(' ').toStdString();
    w.waitUntil(pressed + 1.0);
    const double paused = w.ctrlP();
    w.waitUntil(paused + pause);
    const double resumed = w.ctrlP();
    w.waitUntil(resumed + 1.0);
    const double released = w.toggle();

    EXPECT_TRUE(w.dialogs.shown.empty()) << w.dialogs.messages().join(' ').toStdString();
    EXPECT_TRUE(w.window.captureEngine().overruns().empty());
    const TakeBytes take = readTake(w.window.takeFileName);
    const auto jumps = counterJumps(take, kLeadInFrames);
    std::printf("paused %.3f s against a backlog of %lld s; take %.3f s of %.3f s heard\n", resumed - paused,
                static_cast<long long>(std::chrono::seconds(backlog).count()),
                static_cast<double>(audioFrames(take)) / kRate, released - pressed - (resumed - paused));
    ASSERT_EQ(jumps.size(), 1u);
    std::printf("jump of %.3f s\n", static_cast<double>(jumps[0].skipped) / kRate);
    EXPECT_NEAR(static_cast<double>(jumps[0].skipped) / kRate, resumed - paused, kBufferFrames / kRate);
}

// "Parar após" "Outro tempo…" 0:01: the take stops by itself at one minute of audio, the pause not
// counted, as a press would stop it; the setting is back to "Sem limite" afterwards.
TEST_F(PauseTakeOnPulse, StopAfterOneMinuteOfAudio) {
    const bool real = qEnvironmentVariableIntValue("TOLVANE_REAL_MINUTE") == 1;
    const std::chrono::milliseconds minute = real ? 60s : 3s;
    Window w(20s, minute);
    ASSERT_TRUE(w.active);
    w.dialogs.durations.push_back(1min);
    QAction* other = nullptr;
    for (QAction* action :
         w.window.takeMenu().menu().findChild<QMenu*>(QStringLiteral("StopAfterMenu"))->actions()) {
        if (action->text() == QStringLiteral("Outro tempo…")) {
            other = action;
        }
    }
    ASSERT_NE(other, nullptr);
    other->trigger();
    const double pressed = w.toggle();
    ASSERT_TRUE(w.window.captureEngine().isRecording()) << w.dialogs.messages().join(' ').toStdString();
    w.waitUntil(pressed + 1.0);
    const double paused = w.ctrlP();
    w.waitUntil(paused + 1.0);
    const double resumed = w.ctrlP();
    const double limit = static_cast<double>(minute.count()) / 1000;
    while (w.window.Check1()->isChecked() && w.clock.elapsed() / 1000.0 < resumed + limit + 10) {
        QTest::qWait(5);
    }
    const double stopped = static_cast<double>(w.clock.nsecsElapsed()) / 1e9;
    ASSERT_FALSE(w.window.Check1()->isChecked());

    const TakeBytes take = readTake(w.window.takeFileName);
    const double recorded = static_cast<double>(audioFrames(take)) / kRate;
    const double due = pressed + limit + (resumed - paused);
    std::printf("take %.4f s of a %.1f s limit; stopped %.3f s after its audio was due; readout %s\n",
                recorded, limit, stopped - due, qPrintable(w.readout()));
    EXPECT_NEAR(recorded, limit, kBufferFrames / kRate);
    EXPECT_EQ(w.readout(), real ? QStringLiteral("0 01 00") : QStringLiteral("0 00 03"));
    EXPECT_TRUE(w.window.cmdSave()->isEnabled());
    EXPECT_EQ(w.window.takeMenu().stopAfter(), std::nullopt);
    EXPECT_EQ(counterJumps(take, kLeadInFrames).size(), 1u);
    EXPECT_TRUE(w.dialogs.shown.size() == 1 && w.dialogs.messages().isEmpty())
        << w.dialogs.messages().join(' ').toStdString();
}
