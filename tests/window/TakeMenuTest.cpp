// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Pausing a take and stopping it after a set time, from the record toggle's menu and Ctrl+P, with a
// simulated counting device: the take on disk shows exactly which frames went in.
#include "RecorderUnderTest.h"
#include "TakeReader.h"

#include "recorder/window/TakeMenu.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace platform::wavein;
using testsupport::readTake;
using testsupport::Recorder;

namespace {

constexpr std::size_t kBuffer = 35280;  // 44100 Hz stereo, the window's default
constexpr std::size_t kFrame = 4;
constexpr std::size_t kLeadIn = 10 * kBuffer;

QAction* item(QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions()) {
        if (action->text() == text) {
            return action;
        }
        if (action->menu() != nullptr) {
            if (QAction* inner = item(*action->menu(), text)) {
                return inner;
            }
        }
    }
    return nullptr;
}

void pressCtrlP(Recorder& r) {
    QTest::keyClick(&r.window, Qt::Key_P, Qt::ControlModifier);
}

// The window up and active, so its shortcuts work.
void showWindow(Recorder& r) {
    r.window.show();
    r.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&r.window));
}

// The source's next `bytes`, a buffer at a time as a device delivers them.
void feed(Recorder& r, std::size_t bytes) {
    while (bytes > 0) {
        const std::size_t piece = std::min(bytes, kBuffer);
        r.device.produce(piece);
        r.deliver();
        bytes -= piece;
    }
}

// Where the count of the simulated device (frame n holds n mod 65536) steps by other than one,
// after the lead-in: the frame, counted from the end of the lead-in, and the frames skipped.
std::vector<std::pair<std::size_t, std::size_t>> countJumps(const testsupport::TakeBytes& take) {
    std::vector<std::pair<std::size_t, std::size_t>> jumps;
    const std::size_t frames = (take.dataLength() - kLeadIn) / kFrame;
    for (std::size_t f = 1; f < frames; ++f) {
        const auto previous = static_cast<std::uint16_t>(take.sample((kLeadIn + (f - 1) * kFrame) / 2));
        const auto current = static_cast<std::uint16_t>(take.sample((kLeadIn + f * kFrame) / 2));
        const auto step = static_cast<std::uint16_t>(current - previous);
        if (step != 1) {
            jumps.emplace_back(f, static_cast<std::size_t>(step) - 1);
        }
    }
    return jumps;
}

}  // namespace

// Pauses by Ctrl+P, each over audio the source went on making: the take holds everything before
// and after each, and each paused span is missing as one jump in the count. "Parar após" chosen
// during a take stops it by itself at the set length of audio, pauses not counted, exactly as a
// press would stop it, even where the end falls inside a buffer; the choice is for one take.
TEST(TakeMenu, PausedSpansAreLeftOutAndATimedStopIsExact) {
    constexpr std::size_t second = 44100 * kFrame;
    struct Span {
        std::size_t pausedBytes;
        std::size_t afterBytes;
    };
    struct Case {
        const char* what;
        std::size_t leadBytes;  // before the first pause
        std::vector<Span> spans;
        bool stopAfterOneMinute;
    };
    const Case cases[] = {
        {"two pauses, a press ends the take",
         kBuffer * 3 + 400,  // the pause falls inside a buffer
         {{kBuffer * 7 + 1200, kBuffer * 2 + 88}, {20000, kBuffer * 4}},
         false},
        {"a pause, then one minute chosen", second * 10, {{second * 5, 0}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Recorder r;
        showWindow(r);
        QMenu& menu = r.window.takeMenu().menu();
        QAction& pause = r.window.takeMenu().pauseAction();
        r.click();
        feed(r, c.leadBytes);
        r.now += std::chrono::milliseconds(c.leadBytes * 1000 / second);
        std::size_t recorded = c.leadBytes;
        std::vector<std::pair<std::size_t, std::size_t>> expectedJumps;
        for (const Span& span : c.spans) {
            r.window.Timer2_Timer();
            const QString before = r.readout();
            pressCtrlP(r);
            ASSERT_TRUE(r.window.captureEngine().isPaused());
            // The time goes on, the readout does not; the toggle stays down and Save stays off.
            r.now += std::chrono::seconds(30);
            feed(r, span.pausedBytes);
            r.window.Timer2_Timer();
            EXPECT_EQ(r.readout(), before);
            EXPECT_TRUE(r.window.Check1()->isChecked());
            EXPECT_FALSE(r.window.cmdSave()->isEnabled());
            pressCtrlP(r);
            EXPECT_FALSE(r.window.captureEngine().isPaused());
            // The count wraps at 65536 frames, and so does a jump in it.
            expectedJumps.emplace_back(recorded / kFrame, span.pausedBytes / kFrame % 65536);
            feed(r, span.afterBytes);
            recorded += span.afterBytes;
        }
        if (c.stopAfterOneMinute) {
            r.dialogs.durations.push_back(std::chrono::minutes(1));
            item(menu, QStringLiteral("Outro tempo…"))->trigger();
            ASSERT_EQ(r.window.takeMenu().stopAfter(), std::chrono::minutes(1));
            EXPECT_TRUE(item(menu, QStringLiteral("Outro tempo… (0:01)"))->isChecked());
            r.window.Timer2_Timer();
            // Below the room left on the disk, which a running take's tooltip gives first.
            EXPECT_TRUE(r.window.LED1(0)->toolTip().endsWith(
                QStringLiteral("\nFaltam 0:00:50 para parar a gravação")))
                << r.window.LED1(0)->toolTip().toStdString();
            r.now += std::chrono::seconds(50);
            // Fed in odd pieces: the end falls inside a buffer.
            for (; recorded < 62 * second && r.window.Check1()->isChecked(); recorded += 30000) {
                r.device.produce(30000);
                r.deliver();
            }
            recorded = 60 * second;
        } else {
            r.click();
        }
        ASSERT_TRUE(r.stopped());
        EXPECT_FALSE(pause.isEnabled());
        EXPECT_TRUE(r.window.cmdSave()->isEnabled());
        const auto take = readTake(r.window.takeFileName);
        EXPECT_EQ(take.dataLength(), kLeadIn + recorded);
        EXPECT_EQ(countJumps(take), expectedJumps);
        EXPECT_EQ(r.dialogs.shown.size(), c.stopAfterOneMinute ? 1u : 0u)
            << r.dialogs.messages().join(' ').toStdString();
        EXPECT_EQ(r.window.takeMenu().stopAfter(), std::nullopt);
        EXPECT_TRUE(item(menu, QStringLiteral("Sem limite"))->isChecked());
        EXPECT_EQ(r.window.LED1(0)->toolTip(), QString());
        if (c.stopAfterOneMinute) {
            EXPECT_EQ(r.readout(), QStringLiteral("0 01 00"));
        }
    }
}

// While paused the digits go dark and light again once a second; a resume leaves them lit.
TEST(TakeMenu, APausedReadoutBlinks) {
    Recorder r;
    showWindow(r);
    r.click();
    const quint32 lit = r.window.LED1(3)->LEDColorOn();
    pressCtrlP(r);
    std::vector<bool> seen;
    for (int i = 0; i < 3; ++i) {
        QTest::qWait(500);
        seen.push_back(r.window.LED1(3)->LEDColorOn() == lit);
    }
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_NE(seen[1], seen[2]);
    pressCtrlP(r);
    EXPECT_EQ(r.window.LED1(3)->LEDColorOn(), lit);
    r.click();
}

// A pause is not a stop: closing the window finishes the take, and a new take starts unpaused.
TEST(TakeMenu, ClosingWhilePausedFinishesTheTake) {
    Recorder r;
    showWindow(r);
    r.click();
    r.produceBuffers(2);
    pressCtrlP(r);
    // Keys held down repeat; the pause does not flip with every repeat.
    QKeyEvent repeated(QEvent::KeyPress, Qt::Key_P, Qt::ControlModifier, QString(), true);
    QCoreApplication::sendEvent(&r.window, &repeated);
    EXPECT_TRUE(r.window.captureEngine().isPaused());
    r.dialogs.answers.push_back(platform::Answer::Cancel);  // "Deseja sair sem Gravar o arquivo?"
    r.window.close();
    ASSERT_TRUE(r.stopped());
    EXPECT_TRUE(r.window.cmdSave()->isEnabled());
    EXPECT_EQ(readTake(r.window.takeFileName).dataLength(), kLeadIn + 2 * kBuffer);
    EXPECT_EQ(r.window.Check1()->accessibleDescription(), QString());
    // Ctrl+P does nothing without a take.
    pressCtrlP(r);
    EXPECT_FALSE(r.window.captureEngine().isPaused());
    // A time chosen for the next take outlives a close that was called off.
    item(r.window.takeMenu().menu(), QStringLiteral("1 hora"))->trigger();
    r.dialogs.answers.push_back(platform::Answer::Cancel);
    r.window.close();
    EXPECT_EQ(r.window.takeMenu().stopAfter(), std::chrono::hours(1));
}

// A time shorter than what the take already holds ends it at once, as a press would: nothing
// recorded is cut, and the readout keeps the take's real length, not the time chosen.
TEST(TakeMenu, AStopAfterAlreadyPassedEndsTheTakeAsAPress) {
    Recorder r;
    showWindow(r);
    r.click();
    const std::size_t second = 44100 * kFrame;
    feed(r, second * 90 + 1000);  // the last 1000 bytes still in the buffer being filled
    r.now += std::chrono::seconds(90);
    r.dialogs.durations.push_back(std::chrono::minutes(1));
    item(r.window.takeMenu().menu(), QStringLiteral("Outro tempo…"))->trigger();
    ASSERT_TRUE(r.stopped());
    EXPECT_EQ(readTake(r.window.takeFileName).dataLength(), kLeadIn + 90 * second + 1000);
    EXPECT_EQ(r.readout(), QStringLiteral("0 01 30"));
    EXPECT_EQ(r.window.takeMenu().stopAfter(), std::nullopt);
}

// The presets set their time and say so in the tooltip before a take; a cancelled "Outro tempo…"
// keeps what was chosen; the context-menu key and Shift+F10 open the menu under the toggle.
TEST(TakeMenu, ChoicesAndKeys) {
    Recorder r;
    showWindow(r);
    QMenu& menu = r.window.takeMenu().menu();
    EXPECT_FALSE(r.window.takeMenu().pauseAction().isEnabled());
    EXPECT_TRUE(item(menu, QStringLiteral("Sem limite"))->isChecked());
    const std::pair<const char*, int> presets[] = {
        {"15 minutos", 15}, {"30 minutos", 30}, {"45 minutos", 45}, {"1 hora", 60}, {"2 horas", 120}};
    for (const auto& [text, minutes] : presets) {
        item(menu, QString::fromUtf8(text))->trigger();
        EXPECT_EQ(r.window.takeMenu().stopAfter(), std::chrono::minutes(minutes)) << text;
        EXPECT_EQ(r.window.LED1(2)->toolTip(), QStringLiteral("Faltam %1:%2:00 para parar a gravação")
                                                   .arg(minutes / 60)
                                                   .arg(minutes % 60, 2, 10, QChar('0')));
    }
    item(menu, QStringLiteral("Outro tempo…"))->trigger();  // nothing typed: cancelled
    EXPECT_EQ(r.window.takeMenu().stopAfter(), std::chrono::minutes(120));
    EXPECT_TRUE(item(menu, QStringLiteral("2 horas"))->isChecked());
    item(menu, QStringLiteral("Sem limite"))->trigger();
    EXPECT_EQ(r.window.LED1(2)->toolTip(), QString());

    for (const auto& [key, modifiers] : {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()},
                                         std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
        QTest::keyClick(r.window.Check1(), key, modifiers);
        EXPECT_TRUE(menu.isVisible());
        EXPECT_FALSE(r.window.Check1()->isChecked());
        menu.hide();
    }

    // An assistive technology's request opens it too, but not while a modal box holds the window.
    QAccessibleActionInterface* actions =
        QAccessible::queryAccessibleInterface(r.window.Check1())->actionInterface();
    for (const bool modalOpen : {true, false}) {
        QDialog box(&r.window);
        box.setModal(true);
        if (modalOpen) {
            box.show();
        }
        actions->doAction(QAccessibleActionInterface::showMenuAction());
        QCoreApplication::processEvents();
        EXPECT_EQ(menu.isVisible(), !modalOpen);
        menu.hide();
    }
}
