// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "Ouvir e cortar" on a real PulseAudio server of the test's own, through the program's one
// connection: Space plays the take and the default sink hears the take's own sound; with the trim
// set by I and O, Shift+Space plays exactly the frames between the handles; a server that goes away
// stops the playback with one line in the window.
#include "recorder/review/ReviewWindow.h"

#include "SinkRecording.h"
#include "platform/playback/Playback.h"
#include "platform/pulse/SoundServer.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace playbacktest;

TEST(ReviewWindowPlayback, SpacePlaysTheTakeAndShiftSpaceExactlyTheSelection) {
    testsound::SoundServer server;
    // A plain sink first: the server starts with it as its default.
    ASSERT_TRUE(server.start(
        {QStringLiteral("idle"), QStringLiteral("review44 format=s32le rate=44100 channels=2")}));
    ASSERT_TRUE(server.pactl({QStringLiteral("set-default-sink"), QStringLiteral("review44")}));
    const TakeSpec spec{44100, 2, 16};
    const std::uint64_t frames = 3 * spec.rate;
    QTemporaryDir folder;
    const QString take = reviewtest::writeTake(folder.path(), spec, frames);
    const auto connection = platform::pulse::connectToSoundServer(QStringLiteral("Tolvane tests"));

    review::ReviewChoices choices;
    review::ReviewWindow window(
        {take,
         [&](auto source) { return platform::playback::makePulseAudioPlayback(connection, source); },
         nullptr,
         {}},
        &choices);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isOpen(); }, 20000));
    auto* play = window.findChild<QPushButton*>(QStringLiteral("Play"));
    auto* view = window.findChild<QWidget*>(QStringLiteral("Waveform"));
    view->setFocus();
    const auto press = [&](QKeyCombination keys) {
        QTest::keyClick(QApplication::focusWidget(), keys.key(), keys.keyboardModifiers());
    };
    const auto playedThrough = [&] {
        return QTest::qWaitFor([&] { return play->text() == QStringLiteral("Pausar"); }, 5000) &&
               QTest::qWaitFor([&] { return play->text() == QStringLiteral("Tocar"); }, 20000);
    };

    {
        MonitorRecording monitor(server, QStringLiteral("review44"), spec.rate);
        ASSERT_TRUE(monitor.started());
        press(Qt::Key_Space);
        ASSERT_TRUE(playedThrough());
        EXPECT_EQ(window.playhead(), frames);
        const auto recorded = monitor.stop();
        const auto at = align(recorded, 0, spec, 0);
        ASSERT_TRUE(at) << "nothing reached the sink";
        const std::size_t head = silentHead(recorded, *at);
        EXPECT_LE(head, rewoundAtMost(spec.rate));
        EXPECT_EQ(differences(recorded, *at + head, spec, head, frames - head), 0u);
        EXPECT_EQ(silenceFrom(recorded, *at + head), *at + frames);
    }

    // The handles at 1.0 s and 2.0 s, as a screen reader user sets them.
    QAccessibleValueInterface* position = QAccessible::queryAccessibleInterface(view)->valueInterface();
    position->setCurrentValue(1.0);
    press(Qt::Key_I);
    position->setCurrentValue(2.0);
    press(Qt::Key_O);
    const std::uint64_t from = spec.rate;
    const std::uint64_t to = 2 * spec.rate;
    {
        MonitorRecording monitor(server, QStringLiteral("review44"), spec.rate);
        ASSERT_TRUE(monitor.started());
        press(Qt::SHIFT | Qt::Key_Space);
        ASSERT_TRUE(playedThrough());
        EXPECT_EQ(window.playhead(), to);
        const auto recorded = monitor.stop();
        const auto at = align(recorded, 0, spec, from);
        ASSERT_TRUE(at) << "nothing reached the sink";
        const std::size_t head = silentHead(recorded, *at);
        EXPECT_LE(head, rewoundAtMost(spec.rate));
        EXPECT_EQ(differences(recorded, *at + head, spec, from + head, to - from - head), 0u);
        // Nothing before the selection's first frame, nothing after its last.
        for (std::size_t f = 0; f < *at; ++f) {
            ASSERT_TRUE(silent(recorded, f)) << "sound before the selection at " << f;
        }
        EXPECT_EQ(silenceFrom(recorded, *at + head), *at + (to - from));
        for (std::size_t f = *at + (to - from); f < recorded.size() / 2; ++f) {
            ASSERT_TRUE(silent(recorded, f)) << "sound after the selection at " << f;
        }
    }

    auto* status = window.findChild<QLabel*>(QStringLiteral("Status"));
    EXPECT_TRUE(status->text().isEmpty());
    press(Qt::Key_Home);
    press(Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.playhead() > spec.rate / 4; }, 10000));
    server.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !status->text().isEmpty(); }, 20000));
    EXPECT_EQ(play->text(), QStringLiteral("Tocar"));
    EXPECT_GT(window.playhead(), spec.rate / 4);
    EXPECT_LT(window.playhead(), frames);
}

}  // namespace
