// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The recorder window driven as a user drives it, with a simulated device.
#include "RecorderUnderTest.h"
#include "TakeReader.h"

#include "recorder/level/LevelMeter.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <functional>

using namespace platform::wavein;
using testsupport::firstCounterMismatch;
using testsupport::readTake;
using testsupport::Recorder;

TEST(RecorderWindow, ToggleRecordsATakeInTheChosenFormat) {
    Recorder r;
    r.window.opt11()->click();
    r.click();
    EXPECT_TRUE(r.window.Check1()->isChecked());
    EXPECT_EQ(r.window.Check1()->text(), QStringLiteral("Parar Gravação"));
    EXPECT_TRUE(r.window.captureEngine().isRecording());
    EXPECT_EQ(r.window.Timer2().interval(), 100);
    r.produceBuffers(4);
    r.click();
    EXPECT_TRUE(r.stopped());
    EXPECT_FALSE(r.window.Timer2().isActive());

    ASSERT_EQ(r.files(), QStringList{QStringLiteral("03042026090507AM.WAV")});
    EXPECT_EQ(r.window.takeFileName, QDir(r.folder.path()).filePath(QStringLiteral("03042026090507AM.WAV")));
    const auto take = readTake(r.window.takeFileName);
    EXPECT_EQ(take.u16(22), 2);       // stereo
    EXPECT_EQ(take.u32(24), 11025u);  // rate
    EXPECT_EQ(take.u32(28), 44100u);  // bytes per second
    EXPECT_EQ(take.u16(32), 4);       // block align
    EXPECT_EQ(take.dataLength(), 14u * 8820);
    EXPECT_EQ(firstCounterMismatch(take, 10 * 8820, 2), std::nullopt);
    EXPECT_TRUE(r.dialogs.shown.empty());
    EXPECT_EQ(testsupport::independentReadersComplaints(r.window.takeFileName, 2, 11025), QString());
}

TEST(RecorderWindow, ATakeStartedInTheSameSecondNeverOverwritesTheLastOne) {
    Recorder r;
    r.click();
    r.produceBuffers(2);
    r.click();
    const auto first = readTake(r.window.takeFileName).bytes;
    r.dialogs.answers = {platform::Answer::No};  // saved under no name: it stays
    r.click();
    r.click();
    EXPECT_EQ(r.files(), (QStringList{QStringLiteral("03042026090507AM-2.WAV"),
                                      QStringLiteral("03042026090507AM.WAV")}));
    EXPECT_EQ(readTake(QDir(r.folder.path()).filePath(QStringLiteral("03042026090507AM.WAV"))).bytes, first);
}

TEST(RecorderWindow, AFileThatCannotBeCreatedLeavesTheWindowStopped) {
    Recorder r;
    ASSERT_TRUE(r.folder.remove());
    r.click();
    EXPECT_EQ(r.dialogs.messages(), QStringList{QStringLiteral("Failed to create WAV file")});
    EXPECT_TRUE(r.stopped());
    EXPECT_EQ(r.device.stats().opens, 0);
}

TEST(RecorderWindow, RefusedRequeueSaysFailedOncePerNotificationAndKeepsTheAudio) {
    bool refuse = false;
    SimulatedFaults faults;
    faults.addBuffer = [&](const WAVEHDR&, int call) -> MMRESULT {
        return refuse && call > 10 ? MMSYSERR_NOMEM : MMSYSERR_NOERROR;
    };
    Recorder r(faults);
    r.click();
    refuse = true;
    r.produceBuffers(3);
    EXPECT_EQ(r.dialogs.messages(), QStringList(3, QStringLiteral("Failed")));
    EXPECT_EQ(r.dialogs.shown.front().title, QStringLiteral("Tolvane"));
    EXPECT_EQ(r.window.mmResult, MMSYSERR_NOMEM);
    refuse = false;
    r.produceBuffers(1);
    r.click();
    const auto take = readTake(r.window.takeFileName);
    EXPECT_EQ(take.dataLength(), 14u * 35280);
    EXPECT_EQ(firstCounterMismatch(take, 10 * 35280, 2), std::nullopt);
}

TEST(RecorderWindow, NotificationsWhileTheFailedBoxIsOpenRetryWithoutStackingBoxes) {
    SimulatedFaults faults;
    faults.addBuffer = [](const WAVEHDR&, int call) -> MMRESULT {
        return call > 10 ? MMSYSERR_NOMEM : MMSYSERR_NOERROR;
    };
    Recorder r(faults);
    r.click();
    int nested = 0;
    r.dialogs.whileMessageOpen = [&] {
        // Two more buffers fill while the box is up; their notifications are handled inside its loop.
        ++nested;
        r.produceBuffers(2);
    };
    r.produceBuffers(1);
    r.dialogs.whileMessageOpen = nullptr;
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(r.dialogs.messages(), QStringList{QStringLiteral("Failed")});
    r.click();
    // The refused buffer is in the take once; the two behind it come at the stop, in order.
    const auto take = readTake(r.window.takeFileName);
    EXPECT_EQ(take.dataLength(), 13u * 35280);
    EXPECT_EQ(firstCounterMismatch(take, 10 * 35280, 2), std::nullopt);
}

TEST(RecorderWindow, LeavingWithSaidaDuringATakeFinishesTheFile) {
    Recorder r;
    r.window.show();
    r.click();
    r.produceBuffers(2);
    r.device.produce(1000);
    r.dialogs.answers = {platform::Answer::No};  // saved under no name: it stays
    QTest::mouseClick(r.window.Command1(), Qt::LeftButton);
    EXPECT_FALSE(r.window.isVisible());
    EXPECT_TRUE(r.stopped());
    const auto take = readTake(r.window.takeFileName);
    EXPECT_EQ(take.dataLength(), 12u * 35280 + 1000);
    EXPECT_EQ(take.u32(42), take.dataLength());
    EXPECT_EQ(firstCounterMismatch(take, 10 * 35280, 2), std::nullopt);
}

TEST(RecorderWindow, AWriteThatFailsMidTakeStopsItAndKeepsEverythingBefore) {
    Recorder r;
    // The file may not grow past the header, the lead-in, two buffers and a torn third.
    const rlim_t limit = 46 + 12 * 35280 + 500;
    struct rlimit before {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit lowered = before;
    lowered.rlim_cur = limit;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
    r.click();
    r.produceBuffers(3);
    const bool stoppedBySelf = r.stopped();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(stoppedBySelf);
    ASSERT_EQ(r.dialogs.messages().size(), 1);
    EXPECT_TRUE(r.dialogs.messages()[0].contains(QString::fromLocal8Bit(std::strerror(EFBIG))))
        << r.dialogs.messages()[0].toStdString();
    const auto take = readTake(r.window.takeFileName);
    EXPECT_EQ(take.dataLength(), 12u * 35280);
    EXPECT_EQ(take.u32(4), take.bytes.size() - 8);
    EXPECT_EQ(take.u32(42), take.dataLength());
    EXPECT_EQ(firstCounterMismatch(take, 10 * 35280, 2), std::nullopt);
    EXPECT_EQ(testsupport::independentReadersComplaints(r.window.takeFileName, 2, 44100), QString());
}

TEST(RecorderWindow, TheReadoutShowsTheTakesElapsedTimeAndKeepsItsLength) {
    using namespace std::chrono;
    Recorder r;
    const auto start = r.now;
    r.click();
    EXPECT_EQ(r.window.Timer2().interval(), 100);
    EXPECT_TRUE(r.window.Timer2().isActive());
    EXPECT_FALSE(r.window.cmdSave()->isEnabled());
    EXPECT_EQ(r.readout(), QStringLiteral("0 00 00"));
    const struct {
        steady_clock::duration elapsed;
        const char* shown;
    } ticks[] = {
        {milliseconds(900), "0 00 00"},
        {seconds(1), "0 00 01"},
        {seconds(59), "0 00 59"},
        {seconds(61), "0 01 01"},
        {minutes(10), "0 10 00"},
        {hours(1) + minutes(2) + seconds(3), "1 02 03"},
        {hours(9) + minutes(59) + seconds(59), "9 59 59"},
        {hours(10) + seconds(1), "9 59 59"},  // five digits hold at their top
        {hours(30), "9 59 59"},
    };
    for (const auto& tick : ticks) {
        r.now = start + tick.elapsed;
        r.window.Timer2_Timer();
        EXPECT_EQ(r.readout(), QString::fromLatin1(tick.shown))
            << duration_cast<milliseconds>(tick.elapsed).count() << " ms";
    }

    // The stop shows the length at that moment and keeps it, on the digits and read aloud.
    r.now = start + minutes(3) + milliseconds(4500);
    r.click();
    EXPECT_EQ(r.readout(), QStringLiteral("0 03 04"));
    const QWidget* panel = r.window.findChild<QWidget*>(QStringLiteral("Shape6"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(const_cast<QWidget*>(panel))->text(QAccessible::Name),
              QStringLiteral("Tempo de gravação 0:03:04"));
    EXPECT_FALSE(r.window.Timer2().isActive());
    EXPECT_EQ(r.window.Timer2().interval(), 100);
    EXPECT_TRUE(r.window.cmdSave()->isEnabled());
    r.now += minutes(5);
    QTest::qWait(250);
    EXPECT_EQ(r.readout(), QStringLiteral("0 03 04"));

    // The next take counts from zero.
    r.dialogs.answers = {platform::Answer::No};  // the last take saved under no name: it stays
    r.click();
    EXPECT_EQ(r.readout(), QStringLiteral("0 00 00"));
    r.now += seconds(7);
    r.click();
    EXPECT_EQ(r.readout(), QStringLiteral("0 00 07"));

    // Save zeroes the digits, for a screen reader too, whatever comes of its dialog.
    r.dialogs.savePaths = {std::nullopt};
    QTest::mouseClick(r.window.cmdSave(), Qt::LeftButton);
    EXPECT_EQ(r.readout(), QStringLiteral("0 00 00"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(const_cast<QWidget*>(panel))->text(QAccessible::Name),
              QStringLiteral("Tempo de gravação 0:00:00"));
}

TEST(RecorderWindow, EveryWayOfPressingTheToggleStartsAndStopsOneTake) {
    const struct {
        const char* way;
        std::function<void(QAbstractButton*)> press;
    } ways[] = {
        {"mouse", [](QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }},
        {"space", [](QAbstractButton* b) { QTest::keyClick(b, Qt::Key_Space); }},
        {"accessible toggle",
         [](QAbstractButton* b) {
             QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b);
             ASSERT_TRUE(
                 a->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
             a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
             // The action returns first; the press follows from the event loop.
             QCoreApplication::sendPostedEvents();
         }},
        {"accessible press",
         [](QAbstractButton* b) {
             QAccessible::queryAccessibleInterface(b)->actionInterface()->doAction(
                 QAccessibleActionInterface::pressAction());
             QCoreApplication::sendPostedEvents();
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        Recorder r;
        r.window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&r.window));
        ASSERT_EQ(QApplication::focusWidget(), r.window.Check1());
        way.press(r.window.Check1());
        EXPECT_TRUE(r.window.Check1()->isChecked());
        EXPECT_TRUE(r.window.captureEngine().isRecording());
        EXPECT_EQ(r.window.Check1()->text(), QStringLiteral("Parar Gravação"));
        r.produceBuffers(1);
        way.press(r.window.Check1());
        EXPECT_TRUE(r.stopped());
        EXPECT_EQ(r.device.stats().opens, 1);
        EXPECT_EQ(r.files().size(), 1);
    }
}
