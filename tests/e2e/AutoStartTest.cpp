// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Takes that start by themselves, through the real window on a PulseAudio server of the test's own:
// at a set time (from a numbered source, so where the take began is known to the frame) and at sound
// (tone bursts among silences on an output of their own).
//
// TOLVANE_REAL_MINUTE=1 lets "Parar após" count real minutes (CI: 3 s ones).
#include "recorder/window/frmSoundRec.h"

#include "CountingSource.h"
#include "PrivateServer.h"
#include "RecordFor.h"
#include "ScriptedDialogs.h"
#include "TakeReader.h"
#include "ToneBursts.h"
#include "platform/wavein/PulseWaveIn.h"
#include "recorder/level/LevelMeter.h"
#include "recorder/wavfile/TakeMarkers.h"
#include "recorder/window/AutoStartMenu.h"
#include "recorder/window/ScheduledStart.h"
#include "recorder/window/TakeMenu.h"

#include <LED/LED.h>

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace testsupport;
using namespace std::chrono;
using namespace std::chrono_literals;

namespace {

constexpr double kRate = 44100;

// The window's wall clock runs `offset` ahead of the real one.
struct Window : WindowOnServer {
    explicit Window(milliseconds minute = 1min, std::shared_ptr<qint64> offset = std::make_shared<qint64>(0))
        : WindowOnServer({.stopAfterMinute = minute,
                          .clock = [offset] { return QDateTime::currentDateTime().addMSecs(*offset); }}),
          offset(std::move(offset)) {}

    // The window's clock from now on reads `secondsIntoMinute` seconds into a minute.
    void setClockInto(int secondsIntoMinute) {
        const QTime real = QTime::currentTime();
        const qint64 into = real.second() * 1000 + real.msec();
        *offset = ((secondsIntoMinute * 1000 - into) % 60000 + 60000) % 60000;
    }
    QDateTime clock() const { return QDateTime::currentDateTime().addMSecs(*offset); }
    // A click of the toggle, timed at its middle.
    steady_clock::time_point toggle() {
        const auto before = steady_clock::now();
        QTest::mouseClick(window.Check1(), Qt::LeftButton);
        return before + (steady_clock::now() - before) / 2;
    }
    // The first line of the readout's tooltip: what the take waits for.
    QString readoutNote() const { return window.LED1(0)->toolTip().section(QLatin1Char('\n'), 0, 0); }
    QStringList takes() const { return QDir(folder.path()).entryList({QStringLiteral("*.WAV")}); }
    void chooseStopAfterOneMinute() {
        dialogs.durations.push_back(1min);
        const auto actions =
            window.takeMenu().menu().findChild<QMenu*>(QStringLiteral("StopAfterMenu"))->actions();
        for (QAction* action : actions) {
            if (action->text() == QStringLiteral("Outro tempo…")) {
                action->trigger();
            }
        }
    }

    std::shared_ptr<qint64> offset;
};

std::size_t audioFrames(const TakeBytes& take) {
    return take.dataLength() / 4 - kTakeLeadInFrames;
}

// Stretches of sound in the left channel after the lead-in, in frames [from, to).
std::vector<std::pair<std::size_t, std::size_t>> soundIn(const TakeBytes& take) {
    std::vector<std::pair<std::size_t, std::size_t>> found;
    const std::size_t frames = take.dataLength() / 4;
    for (std::size_t f = kTakeLeadInFrames; f < frames; ++f) {
        if (std::abs(take.sample(2 * f)) <= 30) {
            continue;
        }
        // Zero crossings of the tone are not silences.
        if (!found.empty() && f - found.back().second < 50) {
            found.back().second = f + 1;
        } else {
            found.emplace_back(f, f + 1);
        }
    }
    return found;
}

}  // namespace

// "Começar às…" for the next minute with "Parar após" "Outro tempo…" 0:01: the take begins with the
// frame heard as the window's clock turns the minute, within one capture buffer (judged against a
// pressed take of the same count), holds exactly the set length and stops by itself. Then a wait
// ended by a press ("Cancelar Início") records nothing. Then a null output plays three bursts (2 s,
// 3 s, 2 s, 8 s apart) with "Gravar quando houver som" at -40 dBFS: at a -20 dBFS peak one take holds
// each with the second before it and five after, nothing more, a marker where each part begins; at
// -50 dBFS nothing is recorded and no file is left.
TEST(AutoStartOnPulse, ASetTimeAndSoundStartTheTake) {
    const milliseconds minute = qEnvironmentVariableIntValue("TOLVANE_REAL_MINUTE") == 1 ? 60s : 3s;
    const double buffer = kTakeBufferFrames / kRate;
    const ServerOfOwn own;
    ASSERT_TRUE(own.started());
    {
        CountingSource count;
        ASSERT_TRUE(count.playing());
        Window w(minute);
        ASSERT_TRUE(w.active);
        // A pressed take of the count: which number was heard at a known instant.
        const auto pressed = w.toggle();
        QTest::qWait(1000);
        w.toggle();
        ASSERT_TRUE(takeFinished(w.window));
        const std::uint32_t countAtPress = counterAt(readTake(w.window.takeFileName), kTakeLeadInFrames);

        w.chooseStopAfterOneMinute();
        w.setClockInto(55);
        const QDateTime next = w.clock().addSecs(60);
        w.dialogs.times.push_back(QTime(next.time().hour(), next.time().minute()));
        w.dialogs.answers.push_back(platform::Answer::Yes);  // the pressed take goes
        w.window.autoStartMenu().startAtAction().trigger();
        ASSERT_TRUE(w.window.scheduledStart().waiting()) << w.dialogs.messages().join(' ').toStdString();
        const auto steadyNow = steady_clock::now();
        const QDateTime start = w.window.scheduledStart().start();
        const auto due = steadyNow + milliseconds(w.clock().msecsTo(start));
        EXPECT_TRUE(w.window.Check1()->isChecked());
        EXPECT_EQ(w.window.Check1()->text(), QStringLiteral("Cancelar Início"));
        EXPECT_EQ(w.readoutNote(),
                  QStringLiteral("A gravação começa às ") + start.toString(QStringLiteral("HH:mm")));
        EXPECT_FALSE(w.window.autoStartMenu().startAtAction().isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.window.captureEngine().isRecording(); }, 20000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.window.Check1()->isChecked(); },
                                    static_cast<int>(minute.count()) + 20000));
        ASSERT_TRUE(takeFinished(w.window));

        const TakeBytes take = readTake(w.window.takeFileName);
        const double offBy = (static_cast<double>(counterAt(take, kTakeLeadInFrames)) - countAtPress) / kRate -
                             duration<double>(due - pressed).count();
        std::printf("set time: the take began %+.4f s from the minute, holds %.4f s\n", offBy,
                    static_cast<double>(audioFrames(take)) / kRate);
        EXPECT_NEAR(offBy, 0.0, buffer);
        EXPECT_EQ(audioFrames(take), static_cast<std::size_t>(minute.count() * 441 / 10));
        EXPECT_TRUE(counterJumps(take, kTakeLeadInFrames).empty());
        EXPECT_TRUE(w.dialogs.messages().isEmpty()) << w.dialogs.messages().join(' ').toStdString();
        EXPECT_EQ(w.window.Check1()->text(), QStringLiteral("Iniciar Gravação"));
        EXPECT_EQ(w.window.takeMenu().stopAfter(), std::nullopt);
        EXPECT_FALSE(w.window.scheduledStart().waiting());

        // Cancelled by a press, at once or in the moment before the time when the device already has
        // the take: nothing is recorded, then or at the time.
        for (const bool inTheLastMoment : {false, true}) {
            SCOPED_TRACE(inTheLastMoment);
            w.setClockInto(57);
            const QDateTime again = w.clock().addSecs(60);
            w.dialogs.times.push_back(QTime(again.time().hour(), again.time().minute()));
            w.dialogs.answers.push_back(platform::Answer::Yes);
            w.window.autoStartMenu().startAtAction().trigger();
            ASSERT_TRUE(w.window.scheduledStart().waiting());
            if (inTheLastMoment) {
                ASSERT_TRUE(QTest::qWaitFor([&] { return w.window.captureEngine().isRecording(); }, 20000));
                EXPECT_EQ(w.window.Check1()->text(), QStringLiteral("Cancelar Início"));
            }
            w.toggle();
            EXPECT_FALSE(w.window.scheduledStart().waiting());
            EXPECT_FALSE(w.window.Check1()->isChecked());
            EXPECT_EQ(w.window.Check1()->text(), QStringLiteral("Iniciar Gravação"));
            QTest::qWait(5000);
            EXPECT_FALSE(w.window.captureEngine().isRecording());
            EXPECT_TRUE(w.takes().isEmpty()) << w.takes().join(' ').toStdString();
            EXPECT_TRUE(w.window.takeFileName.isEmpty());
        }
    }

    for (const double peak : {-20.0, -50.0}) {
        SCOPED_TRACE(peak);
        ToneBursts bursts;
        ASSERT_TRUE(bursts.ready());
        Window w;
        ASSERT_TRUE(w.active);
        w.window.autoStartMenu().soundTriggerAction().setChecked(true);
        EXPECT_EQ(w.window.AniGIF2()->markedLevel(), std::optional<double>(-40.0));
        w.toggle();
        ASSERT_TRUE(w.window.captureEngine().isRecording());
        EXPECT_TRUE(w.window.waitingForSound());
        EXPECT_EQ(w.readoutNote(), QStringLiteral("Esperando som acima de \u221240 dBFS"));
        EXPECT_TRUE(w.takes().isEmpty());
        bursts.play({{1, std::nullopt},
                     {2, peak},
                     {8, std::nullopt},
                     {3, peak},
                     {8, std::nullopt},
                     {2, peak},
                     {8, std::nullopt}});
        QTest::qWait(34000);
        EXPECT_EQ(w.window.waitingForSound(), true) << "paused for silence, or never started";
        w.toggle();
        ASSERT_TRUE(takeFinished(w.window));
        if (peak < -40) {
            EXPECT_TRUE(w.takes().isEmpty()) << w.takes().join(' ').toStdString();
            EXPECT_TRUE(w.window.takeFileName.isEmpty());
            EXPECT_FALSE(w.window.cmdSave()->isEnabled());
            continue;
        }
        ASSERT_EQ(w.takes().size(), 1);
        const TakeBytes take = readTake(w.window.takeFileName);
        EXPECT_EQ(take.u32(42), take.dataLength());
        for (std::size_t i = 0; i < 2 * kTakeLeadInFrames; ++i) {
            ASSERT_EQ(take.sample(i), 0) << "lead-in sample " << i;
        }
        const auto sound = soundIn(take);
        ASSERT_EQ(sound.size(), 3u);
        const double seconds[] = {2, 3, 2};
        const std::size_t end = take.dataLength() / 4;
        const auto markers = basSoundRec_2::readTakeMarkers(w.window.takeFileName).frames;
        ASSERT_EQ(markers.size(), 3u);
        for (std::size_t k = 0; k < 3; ++k) {
            const double before =
                static_cast<double>(sound[k].first - (k == 0 ? kTakeLeadInFrames : sound[k - 1].second)) / kRate;
            const double length = static_cast<double>(sound[k].second - sound[k].first) / kRate;
            std::printf("burst %zu: %.4f s, %.4f s of silence before it, marker %.4f s before it\n", k,
                        length, before, static_cast<double>(sound[k].first - markers[k]) / kRate);
            EXPECT_NEAR(length, seconds[k], 0.01);
            // The second before, and before that (after the first) the five after the last burst.
            EXPECT_NEAR(before, k == 0 ? 1.0 : 6.0, buffer);
            EXPECT_NEAR(static_cast<double>(sound[k].first - markers[k]) / kRate, 1.0, buffer);
        }
        EXPECT_EQ(markers[0], kTakeLeadInFrames);
        const double after = static_cast<double>(end - sound[2].second) / kRate;
        std::printf("%.4f s of silence after the last burst\n", after);
        EXPECT_NEAR(after, 5.0, buffer);
        EXPECT_TRUE(w.dialogs.messages().isEmpty()) << w.dialogs.messages().join(' ').toStdString();
        EXPECT_EQ(independentReadersComplaints(w.window.takeFileName, 2, 44100), QString());
    }
}
