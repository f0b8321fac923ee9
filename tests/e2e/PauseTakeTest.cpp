// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Pausing a take and stopping it after a set time, through the real window on a PulseAudio server
// of the test's own whose source counts its frames: what a take lost, doubled or left out is known
// to the frame, and where it lies.
//
// TOLVANE_LONG_PAUSE=1 pauses a take for 60 s against the program's own 20 s backlog (CI pauses
// 3 s against 1 s); TOLVANE_REAL_MINUTE=1 lets "Parar após" count real minutes (CI: 3 s ones).
#include "recorder/window/frmSoundRec.h"

#include "RecordFor.h"
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

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

constexpr double kRate = 44100;

struct Window : WindowOnServer {
    Window(std::chrono::milliseconds backlog, std::chrono::milliseconds minute)
        : WindowOnServer({.backlog = backlog, .stopAfterMinute = minute}) {
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

    QElapsedTimer clock;
};

std::size_t audioFrames(const TakeBytes& take) {
    return take.dataLength() / 4 - kTakeLeadInFrames;
}

}  // namespace

// Each take is paused and resumed by Ctrl+P at set moments after the press: the take is the time
// from press to release less the paused spans, and the count runs on by one everywhere but at the
// resumes, where each paused span is missing as one jump. A pause longer than the backlog the device
// keeps for a stalled window loses nothing, as nothing runs into it, and tells no overrun. With
// "Parar após" "Outro tempo…" 0:01 the take stops by itself at one minute of audio, pauses not
// counted, as a press would stop it, and the setting is back to "Sem limite" afterwards.
TEST(PauseTakeOnPulse, PausedSpansAreLeftOutAndNothingElse) {
    const bool longPause = qEnvironmentVariableIntValue("TOLVANE_LONG_PAUSE") == 1;
    const double pause = longPause ? 60.0 : 3.0;
    const std::chrono::milliseconds minute =
        qEnvironmentVariableIntValue("TOLVANE_REAL_MINUTE") == 1 ? 60s : 3s;
    struct Case {
        const char* what;
        std::vector<double> pauses;  // pause and resume moments, seconds after the press
        double release;              // seconds after the press; 0: "Parar após" stops the take
        std::chrono::milliseconds backlog = 20s;
    };
    const Case cases[] = {
        {"two pauses", {2.0, 4.5, 6.0, 8.0}, 9.5},
        {"a pause longer than the backlog", {1.0, 1.0 + pause}, 2.0 + pause, longPause ? 20s : 1s},
        {"stopped after one minute of audio", {1.0, 2.0}, 0},
    };
    const CountingServer sound;
    ASSERT_TRUE(sound.ready());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool stopAfter = c.release == 0;
        Window w(c.backlog, minute);
        ASSERT_TRUE(w.active);
        if (stopAfter) {
            w.dialogs.durations.push_back(1min);
            const auto actions =
                w.window.takeMenu().menu().findChild<QMenu*>(QStringLiteral("StopAfterMenu"))->actions();
            const auto other = std::find_if(actions.begin(), actions.end(), [](QAction* action) {
                return action->text() == QStringLiteral("Outro tempo…");
            });
            ASSERT_NE(other, actions.end());
            (*other)->trigger();
        }
        w.waitUntil(0.5);
        const double pressed = w.toggle();
        ASSERT_TRUE(w.window.captureEngine().isRecording()) << w.messages();
        std::vector<double> at;
        for (const double moment : c.pauses) {
            w.waitUntil(pressed + moment);
            at.push_back(w.ctrlP());
            EXPECT_EQ(w.window.captureEngine().isPaused(), at.size() % 2 == 1);
        }
        double paused = 0;
        for (std::size_t i = 0; i < at.size(); i += 2) {
            paused += at[i + 1] - at[i];
        }
        const double limit = static_cast<double>(minute.count()) / 1000;
        if (stopAfter) {
            while (w.window.Check1()->isChecked() && w.clock.elapsed() / 1000.0 < at.back() + limit + 10) {
                QTest::qWait(5);
            }
            ASSERT_FALSE(w.window.Check1()->isChecked());
        } else {
            w.waitUntil(pressed + c.release);
            w.toggle();
        }
        const double heard = static_cast<double>(w.clock.nsecsElapsed()) / 1e9 - pressed - paused;
        ASSERT_TRUE(takeFinished(w.window));

        const TakeBytes take = readTake(w.window.takeFileName);
        const double recorded = static_cast<double>(audioFrames(take)) / kRate;
        const auto jumps = counterJumps(take, kTakeLeadInFrames);
        std::printf("%s: take %.3f s, press to end less pauses %.3f s, paused %.3f s; readout %s\n", c.what,
                    recorded, heard, paused, qPrintable(w.readout()));
        for (const auto& jump : jumps) {
            std::printf("jump of %lld frames (%.3f s) at %.3f s of audio\n",
                        static_cast<long long>(jump.skipped), static_cast<double>(jump.skipped) / kRate,
                        static_cast<double>(jump.atFrame) / kRate);
        }
        EXPECT_GE(counterAt(take, kTakeLeadInFrames), 65536u) << "the audio after the lead-in is not the count";
        EXPECT_TRUE(w.window.captureEngine().overruns().empty());
        ASSERT_EQ(jumps.size(), at.size() / 2);
        const double buffer = kTakeBufferFrames / kRate;
        double before = 0;  // audio recorded before each pause
        for (std::size_t i = 0; i < jumps.size(); ++i) {
            before += at[2 * i] - (i == 0 ? pressed : at[2 * i - 1]);
            EXPECT_NEAR(static_cast<double>(jumps[i].skipped) / kRate, at[2 * i + 1] - at[2 * i], buffer);
            EXPECT_NEAR(static_cast<double>(jumps[i].atFrame) / kRate, before, buffer);
        }
        if (stopAfter) {
            EXPECT_NEAR(recorded, limit, buffer);
            EXPECT_EQ(w.readout(), minute == 60s ? QStringLiteral("0 01 00") : QStringLiteral("0 00 03"));
            EXPECT_TRUE(w.window.cmdSave()->isEnabled());
            EXPECT_EQ(w.window.takeMenu().stopAfter(), std::nullopt);
            EXPECT_TRUE(w.dialogs.shown.size() == 1 && w.dialogs.messages().isEmpty())
                << w.dialogs.messages().join(' ').toStdString();
        } else {
            EXPECT_NEAR(recorded, heard, buffer);
            EXPECT_TRUE(w.dialogs.shown.empty()) << w.dialogs.messages().join(' ').toStdString();
        }
    }
}
