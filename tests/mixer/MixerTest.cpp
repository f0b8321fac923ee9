// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The recording level and the peak readings against a sound server of the test's own, read back
// with pactl.

#include "platform/mixer/PeakSource.h"
#include "platform/mixer/PulseMixer.h"
#include "recorder/level/RecordingLevel.h"

#include "LevelSources.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstring>

using namespace platform::mixer;
using namespace testsound;
using basSoundRec_3::FindVolumeControl;
using basSoundRec_3::LevelForPosition;
using basSoundRec_3::SetVolumeLevel;

namespace {

bool isAllZero(const void* bytes, std::size_t length) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    return std::all_of(p, p + length, [](unsigned char b) { return b == 0; });
}

class MixerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(startWithBothAtHalf(server));
    }

    testsound::SoundServer server;
    std::unique_ptr<Mixer> mixer = makePulseAudioMixer(QStringLiteral("Tolvane tests"));
    basSoundRec_3::Module module{*mixer};
};

TEST_F(MixerTest, SliderPositionsSetTheDefaultSourcesVolume) {
    ASSERT_EQ(module.OpenMixer(), MMSYSERR_NOERROR);
    EXPECT_NE(module.mixerHandle, 0u);
    basSoundRec_3::MIXERCONTROL control;
    ASSERT_TRUE(FindVolumeControl(*mixer, module.mixerHandle, MIXERLINE_COMPONENTTYPE_DST_WAVEIN,
                                  MIXERCONTROL_CONTROLTYPE_VOLUME, control));
    EXPECT_NE(control.dwControlID, 0u);
    EXPECT_EQ(control.dwControlType, MIXERCONTROL_CONTROLTYPE_VOLUME);
    EXPECT_EQ(control.cbStruct, sizeof(MIXERCONTROL)) << "the mixer's own record was copied in";
    EXPECT_EQ(control.reserved[10], 0u) << "the word beyond the mixer's record stays zero";
    EXPECT_EQ(server.sourceVolumePercent(kFirstSource), both(50)) << "opening and the lookup change nothing";

    struct Row {
        std::int16_t position;
        std::uint32_t value;
        int percent;
    };
    for (const Row& row :
         {Row{0, 0, 0}, Row{3, 5, 0}, Row{300, 540, 1}, Row{16384, 29491, 45}, Row{32767, 58981, 90}}) {
        SCOPED_TRACE(row.position);
        EXPECT_EQ(LevelForPosition(row.position), row.value);
        EXPECT_TRUE(SetVolumeLevel(*mixer, module.mixerHandle, control, LevelForPosition(row.position)));
        EXPECT_TRUE(reaches(server, kFirstSource, both(row.percent)));
    }
    EXPECT_EQ(server.sourceVolumePercent(kSecondSource), both(50)) << "only the default source moves";

    // The user picks another microphone between two changes: the second change goes to it.
    EXPECT_TRUE(SetVolumeLevel(*mixer, module.mixerHandle, control, LevelForPosition(16384)));
    EXPECT_TRUE(reaches(server, kFirstSource, both(45)));
    ASSERT_TRUE(server.pactl({QStringLiteral("set-default-source"), kSecondSource}));
    EXPECT_TRUE(SetVolumeLevel(*mixer, module.mixerHandle, control, LevelForPosition(32767)));
    EXPECT_TRUE(reaches(server, kSecondSource, both(90)));
    EXPECT_EQ(server.sourceVolumePercent(kFirstSource), both(45));

    // While the server is away a change fails; once it is back (the connection finds it again by
    // itself) changes reach it.
    server.stop();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !SetVolumeLevel(*mixer, module.mixerHandle, control, 0); }, 20000));
    ASSERT_TRUE(server.start({kFirst}));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return SetVolumeLevel(*mixer, module.mixerHandle, control, LevelForPosition(16384)); }, 20000));
    EXPECT_TRUE(reaches(server, kFirstSource, both(45)));
}

// A volume set elsewhere is shown at the position whose level is nearest it: each position's own
// level brings back that position, and a volume above the slider's top stands at its top.
TEST(SliderPosition, IsTheOneWhoseLevelIsNearest) {
    using basSoundRec_3::PositionForLevel;
    for (int position = 0; position <= 32767; ++position) {
        ASSERT_EQ(PositionForLevel(LevelForPosition(static_cast<std::int16_t>(position)), 0, 32767), position);
    }
    for (const std::uint32_t above : {58982u, 60000u, 65535u}) {
        EXPECT_EQ(PositionForLevel(above, 0, 32767), 32767) << above;
    }
    EXPECT_EQ(PositionForLevel(0, 0, 32767), 0);
}

TEST_F(MixerTest, AFailedLookupSendsNothing) {
    ASSERT_EQ(module.OpenMixer(), MMSYSERR_NOERROR);

    // The line exists but has no control of that kind: only the size is left in the record.
    basSoundRec_3::MIXERCONTROL control;
    EXPECT_FALSE(FindVolumeControl(*mixer, module.mixerHandle, MIXERLINE_COMPONENTTYPE_DST_WAVEIN,
                                   0x20010002 /* a mute switch */, control));
    EXPECT_EQ(control.cbStruct, 152u);
    EXPECT_TRUE(isAllZero(reinterpret_cast<const char*>(&control) + 4, sizeof control - 4));
    EXPECT_FALSE(SetVolumeLevel(*mixer, module.mixerHandle, control, 58981));
    EXPECT_EQ(server.sourceVolumePercent(kFirstSource), both(50));

    // No such line: the record is not touched.
    basSoundRec_3::MIXERCONTROL untouched;
    untouched.dwControlID = 77;
    EXPECT_FALSE(FindVolumeControl(*mixer, module.mixerHandle, 4 /* speakers */,
                                   MIXERCONTROL_CONTROLTYPE_VOLUME, untouched));
    EXPECT_EQ(untouched.cbStruct, 0u);
    EXPECT_EQ(untouched.dwControlID, 77u);

    // A server without any source has no wave-in line. PipeWire's fallback sink leaves none such.
    if (server.isPipeWire()) {
        return;
    }
    ASSERT_TRUE(server.pactl({QStringLiteral("unload-module"), QStringLiteral("module-null-sink")}));
    EXPECT_FALSE(FindVolumeControl(*mixer, module.mixerHandle, MIXERLINE_COMPONENTTYPE_DST_WAVEIN,
                                   MIXERCONTROL_CONTROLTYPE_VOLUME, untouched));
    EXPECT_EQ(untouched.dwControlID, 77u);
}

TEST_F(MixerTest, ALookupTheServerLeavesUnansweredIsGivenUpAndItsLateAnswerReachesNobody) {
    ASSERT_EQ(module.OpenMixer(), MMSYSERR_NOERROR);
    const auto pid = static_cast<pid_t>(server.pulsePid());
    ASSERT_GT(pid, 0);
    ::kill(pid, SIGSTOP);
    basSoundRec_3::MIXERCONTROL control;
    const bool found = FindVolumeControl(*mixer, module.mixerHandle, MIXERLINE_COMPONENTTYPE_DST_WAVEIN,
                                         MIXERCONTROL_CONTROLTYPE_VOLUME, control);
    ::kill(pid, SIGCONT);
    EXPECT_FALSE(found);
    // The server now answers the question given up on; the answer must find no caller's frame
    // (the sanitizer watches the stack), and the next lookup works.
    QTest::qWait(500);
    EXPECT_TRUE(FindVolumeControl(*mixer, module.mixerHandle, MIXERLINE_COMPONENTTYPE_DST_WAVEIN,
                                  MIXERCONTROL_CONTROLTYPE_VOLUME, control));
}

TEST(MixerWithoutServer, OpenFails) {
    qputenv("PULSE_SERVER", "unix:/nonexistent/tolvane-no-server");
    auto mixer = makePulseAudioMixer(QStringLiteral("Tolvane tests"));
    basSoundRec_3::Module module{*mixer};
    EXPECT_EQ(module.OpenMixer(), MMSYSERR_NODRIVER);
    EXPECT_EQ(module.mixerHandle, 0u);
}

// The loudest reading per channel, in dBFS, over about a second once `source` settled.
struct Loudest {
    double left;
    double right;
};

double dbfs(float peak) {
    return peak > 0.0F ? 20.0 * std::log10(static_cast<double>(peak)) : -200.0;
}

Loudest loudestSecond(PeakSource& source) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return source.takePeaks().live; }, 60000));
    QTest::qWait(1500);
    source.takePeaks();
    float left = 0.0F;
    float right = 0.0F;
    std::uint32_t readings = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1000 || readings == 0) {
        QTest::qWait(40);
        const Peaks peaks = source.takePeaks();
        left = std::max(left, peaks.left);
        right = std::max(right, peaks.right);
        readings += peaks.readings;
    }
    return {dbfs(left), dbfs(right)};
}

TEST(PeakSource, FollowsTheDefaultSourceShowsMonoOnBothAndComesBackWithTheServer) {
    testsound::SoundServer server;
    ASSERT_TRUE(server.start({kFirst, kSecond + QStringLiteral(" channels=1")}));
    auto source = makePulseAudioPeakSource(QStringLiteral("Tolvane tests"));
    const auto sine = testsound::makeSound(server.folder(), "sine.wav", 30, {"sine", "1000", "vol", "0.5"});
    ASSERT_TRUE(sine);
    ASSERT_TRUE(server.play(*sine, kSecond));
    EXPECT_LT(loudestSecond(*source).right, -100);
    ASSERT_TRUE(server.pactl({QStringLiteral("set-default-source"), kSecondSource}));
    const Loudest mono = loudestSecond(*source);
    // The sine file has two channels and the second sink one. PulseAudio mixes them down by their
    // mean; PipeWire weights each by -3 dB and adds them, so the same file peaks 3 dB higher there.
    // Either way the meter must show that one channel on both sides alike.
    const double expected = server.isPipeWire() ? -3.01 : -6.02;
    EXPECT_NEAR(mono.left, expected, 1.0);
    EXPECT_NEAR(mono.right, expected, 1.0);
    EXPECT_NEAR(mono.left, mono.right, 0.1);
    server.stopPlaying();

    server.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !source->takePeaks().live; }, 60000));
    const Peaks away = source->takePeaks();
    EXPECT_EQ(away.left, 0.0F);
    EXPECT_EQ(away.readings, 0u);

    ASSERT_TRUE(server.start({kFirst}));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return source->takePeaks().readings > 0; }, 60000));
    RecordProperty("reconnect_ms", static_cast<int>(clock.elapsed()));
    std::printf("readings again %lld ms after the server was back\n",
                static_cast<long long>(clock.elapsed()));
}

}  // namespace
