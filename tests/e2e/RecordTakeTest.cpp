// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A take recorded through the real window from a private PulseAudio server whose default source
// is a 440 Hz sine, then read back by independent readers.
#include "recorder/window/frmSoundRec.h"

#include "RecordFor.h"
#include "ScriptedDialogs.h"
#include "TakeReader.h"
#include "platform/wavein/PulseWaveIn.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

using testsupport::readTake;

namespace {

struct Choice {
    int rate;
    int channels;
    std::uint32_t bufferSize;
};

std::string name(const testing::TestParamInfo<Choice>& info) {
    return std::to_string(info.param.rate) + (info.param.channels == 2 ? "Stereo" : "Mono");
}

// Frequency of channel 0 from its rising zero crossings.
double frequencyOf(const testsupport::TakeBytes& take, std::size_t fromByte, int channels, int rate) {
    const std::size_t first = fromByte / 2;
    const std::size_t samples = take.dataLength() / 2;
    std::size_t firstCrossing = 0;
    std::size_t lastCrossing = 0;
    int crossings = 0;
    for (std::size_t i = first + static_cast<std::size_t>(channels); i < samples;
         i += static_cast<std::size_t>(channels)) {
        if (take.sample(i - static_cast<std::size_t>(channels)) < 0 && take.sample(i) >= 0) {
            if (crossings == 0) {
                firstCrossing = i;
            }
            lastCrossing = i;
            ++crossings;
        }
    }
    if (crossings < 2) {
        return 0;
    }
    const double seconds = static_cast<double>(lastCrossing - firstCrossing) / channels / rate;
    return (crossings - 1) / seconds;
}

class RecordTake : public testing::TestWithParam<Choice> {};

}  // namespace

TEST_P(RecordTake, ThreeSecondsOfSineBecomeAFinishedWavFile) {
    const Choice choice = GetParam();
    QTemporaryDir folder;
    testsupport::ScriptedDialogs dialogs;
    auto waveIn = platform::wavein::makePulseAudioWaveIn(QStringLiteral("Tolvane tests"));
    frmSoundRec window({.waveIn = *waveIn, .dialogs = &dialogs, .programFolder = folder.path()});
    window.show();
    window.chkStereo()->setChecked(choice.channels == 2);
    (choice.rate == 44100   ? window.opt44()
     : choice.rate == 22050 ? window.opt225()
                            : window.opt11())
        ->click();

    QElapsedTimer down;
    QTest::mouseClick(window.Check1(), Qt::LeftButton);
    down.start();
    ASSERT_TRUE(window.captureEngine().isRecording()) << dialogs.messages().join(' ').toStdString();
    QTest::qWait(3000);
    QTest::mouseClick(window.Check1(), Qt::LeftButton);
    const double secondsDown = static_cast<double>(down.elapsed()) / 1000.0;
    ASSERT_TRUE(testsupport::takeFinished(window));
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.messages().join(' ').toStdString();

    const QStringList files = QDir(folder.path()).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    const QString path = QDir(folder.path()).filePath(files[0]);
    EXPECT_EQ(path, window.takeFileName);
    const auto take = readTake(path);
    ASSERT_GT(take.bytes.size(), 46u);

    const std::uint32_t blockAlign = 2u * static_cast<std::uint32_t>(choice.channels);
    EXPECT_EQ(take.fourcc(0), "RIFF");
    EXPECT_EQ(take.u32(4), take.bytes.size() - 8);
    EXPECT_EQ(take.fourcc(8), "WAVE");
    EXPECT_EQ(take.fourcc(12), "fmt ");
    EXPECT_EQ(take.u32(16), 18u);
    EXPECT_EQ(take.u16(20), 1);
    EXPECT_EQ(take.u16(22), choice.channels);
    EXPECT_EQ(take.u32(24), static_cast<std::uint32_t>(choice.rate));
    EXPECT_EQ(take.u32(28), blockAlign * static_cast<std::uint32_t>(choice.rate));
    EXPECT_EQ(take.u16(32), blockAlign);
    EXPECT_EQ(take.u16(34), 16);
    EXPECT_EQ(take.u16(36), 18);
    EXPECT_EQ(take.fourcc(38), "data");
    EXPECT_EQ(take.u32(42), take.bytes.size() - 46);

    const std::size_t leadIn = 10u * choice.bufferSize;
    ASSERT_GT(take.dataLength(), leadIn);
    for (std::size_t i = 0; i < leadIn / 2; ++i) {
        ASSERT_EQ(take.sample(i), 0) << "lead-in sample " << i;
    }
    EXPECT_EQ((take.dataLength() - leadIn) % blockAlign, 0u);
    // Judged from a quarter second in: the sound server's resampler settles first.
    const double frequency = frequencyOf(
        take, leadIn + blockAlign * static_cast<std::size_t>(choice.rate / 4), choice.channels, choice.rate);
    EXPECT_NEAR(frequency, 440.0, 4.4);

    const double secondsRecorded =
        static_cast<double>(take.dataLength() - leadIn) / (blockAlign * static_cast<double>(choice.rate));
    const double secondsPerBuffer = static_cast<double>(choice.bufferSize) / (blockAlign * choice.rate);
    std::printf("%d Hz %d ch: %.4f s recorded while the toggle was down %.4f s; sine at %.2f Hz\n", choice.rate,
                choice.channels, secondsRecorded, secondsDown, frequency);
    // Never more than the toggle was down: nothing invented or written twice. Less only by how late the
    // stream started on a loaded machine, which the test cannot see; half a second is far above that.
    EXPECT_LE(secondsRecorded, secondsDown + secondsPerBuffer)
        << "recorded " << secondsRecorded << " s while the toggle was down " << secondsDown << " s";
    EXPECT_GE(secondsRecorded, secondsDown - 0.5)
        << "recorded " << secondsRecorded << " s while the toggle was down " << secondsDown << " s";

    EXPECT_EQ(testsupport::independentReadersComplaints(path, choice.channels, choice.rate), QString());
}

INSTANTIATE_TEST_SUITE_P(EveryRateAndChannelChoice, RecordTake,
                         testing::Values(Choice{44100, 1, 8820}, Choice{44100, 2, 35280},
                                         Choice{22050, 1, 4410}, Choice{22050, 2, 17640},
                                         Choice{11025, 1, 2204}, Choice{11025, 2, 8820}),
                         name);
