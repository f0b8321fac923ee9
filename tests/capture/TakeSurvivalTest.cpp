// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A take through the real window when the window falls behind, when the device runs out of room
// for what it keeps, and when the source goes away: everything the device delivered is in the file,
// in order, and the user hears of every loss in one box.
#include "recorder/window/AutoStartMenu.h"
#include "recorder/window/frmSoundRec.h"

#include "ScriptedDialogs.h"
#include "TakeReader.h"
#include "SimulatedWaveIn.h"

#include <QAbstractButton>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace platform::wavein;
using testsupport::readTake;

namespace {

constexpr std::uint32_t kSecond = 176400;  // the window's default, 44100 Hz stereo
constexpr std::uint32_t kBuffer = 35280;

struct Scenario {
    const char* name;
    Pacing pacing;
    std::chrono::milliseconds backlog;
    std::optional<std::uint64_t> dieAfter;
    // What happens to the running take; the window is not handling notifications meanwhile.
    std::function<void(SimulatedWaveIn&)> meanwhile;
    bool userStops;          // the user presses the toggle; otherwise the take must end by itself
    const char* boxPattern;  // the one box expected, or null for none
};

void produce(SimulatedWaveIn& device, std::size_t bytes) {
    while (bytes > 0) {
        const std::size_t done = device.produce(bytes);
        ASSERT_GT(done, 0u) << "the device has no room left";
        bytes -= done;
    }
}

const Scenario kScenarios[] = {
    // 3.5 s behind: ten buffers hold two seconds, the backlog the rest, and the stop writes it all.
    {"StopWhileBehindKeepsTheBacklog", Pacing::Manual, std::chrono::seconds(20), std::nullopt,
     [](SimulatedWaveIn& d) { produce(d, kSecond * 7 / 2); }, true, nullptr},
    // The source dies while the window is behind: what it delivered before is all written.
    {"SourceLostWhileBehindKeepsEverythingAndTellsWhy", Pacing::Manual, std::chrono::seconds(20), kSecond * 3,
     [](SimulatedWaveIn& d) { produce(d, kSecond * 3); }, false,
     "^A gravação parou porque o servidor de som saiu do ar \\(.+\\)\\. Tudo o que foi gravado até então "
     "está no arquivo\\.$"},
    // A window stalled beyond buffers and backlog (2 s + 1 s) for four seconds loses about one.
    {"OverrunIsToldWithItsLengthAndPlace", Pacing::RealTime, std::chrono::seconds(1), std::nullopt,
     [](SimulatedWaveIn&) {
         std::this_thread::sleep_for(std::chrono::seconds(4));
         QTest::qWait(500);  // the window catches up, and the take goes on after the gap
     },
     true,
     "^O gravador ficou para trás e parte da gravação se perdeu: (\\d+\\.\\d) s perdidos em 0:00:0(\\d)\\.$"},
};

class TakeSurvival : public testing::TestWithParam<Scenario> {};

}  // namespace

TEST_P(TakeSurvival, EverythingDeliveredIsWrittenInOrderAndLossesAreTold) {
    const Scenario& s = GetParam();
    QTemporaryDir folder;
    testsupport::ScriptedDialogs dialogs;
    SimulatedFaults faults;
    faults.dieAfterBytes = s.dieAfter;
    SimulatedWaveIn device(SimulatedSource::counter(), s.pacing, faults);
    device.setBacklog(s.backlog);
    frmSoundRec window({.waveIn = device, .dialogs = &dialogs, .programFolder = folder.path()});
    window.show();

    window.Check1()->click();
    ASSERT_TRUE(window.captureEngine().isRecording());
    s.meanwhile(device);
    if (s.userStops) {
        window.Check1()->click();
    } else {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Check1()->isChecked(); }, 10000))
            << "the take did not end by itself";
    }

    EXPECT_FALSE(window.Check1()->isChecked());
    EXPECT_EQ(window.Check1()->text(), QStringLiteral("Iniciar Gravação"));
    EXPECT_FALSE(window.captureEngine().isRecording());
    const QStringList boxes = dialogs.messages();
    std::optional<double> toldLost;
    if (s.boxPattern == nullptr) {
        EXPECT_TRUE(boxes.isEmpty()) << boxes.join(' ').toStdString();
    } else {
        ASSERT_EQ(boxes.size(), 1) << boxes.join(' ').toStdString();
        const auto match = QRegularExpression(QString::fromUtf8(s.boxPattern)).match(boxes[0]);
        EXPECT_TRUE(match.hasMatch()) << boxes[0].toStdString();
        if (match.lastCapturedIndex() >= 1) {
            toldLost = match.captured(1).toDouble();
        }
    }

    const auto take = readTake(window.takeFileName);
    const auto stats = device.stats();
    const std::size_t leadIn = 10u * kBuffer;
    ASSERT_GE(take.dataLength(), leadIn);
    EXPECT_EQ(take.u32(42), take.dataLength());
    // Every byte the device delivered, nothing twice, nothing else.
    EXPECT_EQ(take.dataLength() - leadIn, stats.bytesProduced);
    const auto overruns = window.captureEngine().overruns();
    const auto mismatch = testsupport::firstCounterMismatch(take, leadIn, 2);
    if (stats.bytesDropped == 0) {
        EXPECT_TRUE(overruns.empty());
        EXPECT_EQ(mismatch, std::nullopt);
    } else {
        // The counter jumps where the device says it lost audio, by exactly what it lost.
        ASSERT_EQ(overruns.size(), 1u);
        EXPECT_EQ(overruns[0].frames * 4, stats.bytesDropped);
        ASSERT_TRUE(mismatch.has_value());
        EXPECT_EQ((*mismatch * 2 - leadIn) / 4, overruns[0].atFrame);
        EXPECT_EQ(static_cast<std::uint16_t>(take.sample(*mismatch)),
                  static_cast<std::uint16_t>((overruns[0].atFrame + overruns[0].frames) & 0xFFFF));
        ASSERT_TRUE(toldLost.has_value());
        EXPECT_NEAR(*toldLost, static_cast<double>(stats.bytesDropped) / kSecond, 0.06);
    }
    EXPECT_EQ(testsupport::independentReadersComplaints(window.takeFileName, 2, 44100), QString());
}

INSTANTIATE_TEST_SUITE_P(Scenarios, TakeSurvival, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

// A take armed for sound loses its source before any sound came: no file, and the box does not send
// the user looking for one.
TEST(TakeSurvivalArmed, ASourceLostBeforeAnySoundLeavesNoFileAndSaysSo) {
    QTemporaryDir folder;
    testsupport::ScriptedDialogs dialogs;
    SimulatedWaveIn device(SimulatedSource::silence(), Pacing::Manual, SimulatedFaults::dieAfter(kSecond * 2));
    frmSoundRec window({.waveIn = device, .dialogs = &dialogs, .programFolder = folder.path()});
    window.autoStartMenu().soundTriggerAction().setChecked(true);
    window.Check1()->click();
    ASSERT_TRUE(window.captureEngine().isRecording());
    for (int i = 0; i < 20 && window.captureEngine().isRecording(); ++i) {
        device.produce(kBuffer);
        QCoreApplication::sendPostedEvents(&window);
    }
    ASSERT_FALSE(window.captureEngine().isRecording());
    ASSERT_EQ(dialogs.messages().size(), 1) << dialogs.messages().join(' ').toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^A gravação parou porque o servidor de som saiu do ar \\(.+\\)\\. "
                                                  "Nenhum som passou do nível de disparo: nada foi gravado\\.$"))
                    .match(dialogs.messages()[0])
                    .hasMatch())
        << dialogs.messages()[0].toStdString();
    EXPECT_TRUE(QDir(folder.path()).entryList({QStringLiteral("*.WAV")}, QDir::Files).isEmpty());
    EXPECT_TRUE(window.takeFileName.isEmpty());
}
