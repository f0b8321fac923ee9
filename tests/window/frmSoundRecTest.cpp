// The recorder window driven as a user drives it, with a simulated device.
#include "recorder/window/frmSoundRec.h"

#include "ScriptedDialogs.h"
#include "TakeReader.h"
#include "platform/wavein/SimulatedWaveIn.h"

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstring>

using namespace platform::wavein;
using testsupport::firstCounterMismatch;
using testsupport::readTake;

namespace {

const QDateTime kMorning(QDate(2026, 3, 4), QTime(9, 5, 7));

struct Recorder {
    explicit Recorder(SimulatedFaults faults = {},
                      std::uint64_t largestRiffSize = basSoundRec_2::kLargestRiffSize,
                      Pacing pacing = Pacing::Manual)
        : device(SimulatedSource::counter(), pacing, std::move(faults)),
          window({.waveIn = device,
                  .dialogs = &dialogs,
                  .programFolder = folder.path(),
                  .clock = [] { return kMorning; },
                  .largestRiffSize = largestRiffSize}) {}

    void click() { QTest::mouseClick(window.Check1(), Qt::LeftButton); }
    void deliver() { QCoreApplication::sendPostedEvents(&window); }
    void produceBuffers(int n) {
        for (int i = 0; i < n; ++i) {
            device.produce(static_cast<std::size_t>(window.captureEngine().bufferSize()));
            deliver();
        }
    }
    QStringList files() const { return QDir(folder.path()).entryList(QDir::Files, QDir::Name); }
    bool stopped() const {
        return !window.Check1()->isChecked() &&
               window.Check1()->text() == QStringLiteral("Iniciar Gravação") &&
               !window.captureEngine().isRecording() && !window.captureEngine().deviceOpen();
    }

    QTemporaryDir folder;
    testsupport::ScriptedDialogs dialogs;
    SimulatedWaveIn device;
    frmSoundRec window;
};

}  // namespace

TEST(RecorderWindow, OpensAtItsDesignedSizeWithTheRunTimeDefaults) {
    Recorder r;
    EXPECT_EQ(r.window.windowTitle(), QStringLiteral("Zazudoda Zedarizere V1.00"));
    EXPECT_EQ(r.window.size(), QSize(462, 297));  // 6930 x 4455 twips
    EXPECT_EQ(r.window.Check1()->geometry(), QRect(208, 128, 100, 33));
    EXPECT_EQ(r.window.chkStereo()->geometry(), QRect(352, 216, 97, 13));
    EXPECT_EQ(r.window.opt44()->geometry(), QRect(360, 88, 73, 13));
    EXPECT_EQ(r.window.opt225()->geometry(), QRect(360, 128, 73, 13));
    EXPECT_EQ(r.window.opt11()->geometry(), QRect(360, 168, 73, 13));
    EXPECT_EQ(r.window.Check1()->text(), QStringLiteral("Iniciar Gravação"));
    EXPECT_TRUE(r.window.chkStereo()->isChecked());
    EXPECT_TRUE(r.window.opt44()->isChecked());
    EXPECT_FALSE(r.window.opt225()->isChecked() || r.window.opt11()->isChecked());
    EXPECT_EQ(r.window.palette().color(QPalette::Window), QColor(228, 230, 240));
    EXPECT_FALSE(r.window.windowFlags() & Qt::WindowMaximizeButtonHint);
    r.window.opt11()->click();
    EXPECT_FALSE(r.window.opt44()->isChecked() || r.window.opt225()->isChecked());
}

TEST(RecorderWindow, TabOrderStartsAtTheToggle) {
    Recorder r;
    r.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&r.window));
    EXPECT_EQ(r.window.Check1()->nextInFocusChain(), r.window.opt11());
}

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
    r.click();
    r.click();
    EXPECT_EQ(r.files(), (QStringList{QStringLiteral("03042026090507AM-2.WAV"),
                                      QStringLiteral("03042026090507AM.WAV")}));
    EXPECT_EQ(readTake(QDir(r.folder.path()).filePath(QStringLiteral("03042026090507AM.WAV"))).bytes, first);
}

TEST(RecorderWindow, NoDeviceShowsItsReasonAndLeavesNothingBehind) {
    SimulatedFaults faults;
    faults.openStatus = MMSYSERR_NODRIVER;
    Recorder r(faults);
    r.click();
    EXPECT_EQ(r.dialogs.messages(),
              QStringList{QString::fromStdString(r.device.errorText(MMSYSERR_NODRIVER))});
    EXPECT_TRUE(r.stopped());
    EXPECT_FALSE(r.window.Timer2().isActive());
    EXPECT_TRUE(r.files().isEmpty());
    EXPECT_TRUE(r.window.takeFileName.isEmpty());
    EXPECT_FALSE(r.window.captureEngine().buffersAllocated());
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

TEST(RecorderWindow, TheSizeLimitStopsTheTakeCompleteAndSaysSo) {
    Recorder r({}, 38 + 12 * 35280 + 100);
    r.click();
    r.produceBuffers(3);
    EXPECT_TRUE(r.stopped());
    ASSERT_EQ(r.dialogs.messages().size(), 1);
    EXPECT_TRUE(r.dialogs.messages()[0].contains(QStringLiteral("largest")))
        << r.dialogs.messages()[0].toStdString();
    const auto take = readTake(r.window.takeFileName);
    EXPECT_EQ(take.dataLength(), 12u * 35280);
    EXPECT_EQ(take.u32(4), take.bytes.size() - 8);
    r.produceBuffers(1);  // notifications after the stop do nothing
    EXPECT_EQ(readTake(r.window.takeFileName).bytes, take.bytes);
}

TEST(RecorderWindow, ClosingTheWindowDuringATakeFinishesTheFile) {
    Recorder r;
    r.window.show();
    r.click();
    r.produceBuffers(2);
    r.device.produce(1000);
    EXPECT_TRUE(r.window.close());
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
