// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The level slider and the level meters of the real recorder window, against a sound server of
// the test's own (its default source and volumes change here), read back with pactl.

#include "recorder/level/LevelMeter.h"
#include "recorder/window/frmSoundRec.h"

#include "ScriptedDialogs.h"
#include "LevelSources.h"
#include "platform/mixer/PeakSource.h"
#include "platform/mixer/PulseMixer.h"
#include "SimulatedWaveIn.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QKeySequence>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace platform::mixer;
using namespace testsound;

namespace {

// The share of the source's normal volume the slider's position stands for (Max is 90 %).
double shownPercent(const QScrollBar& slider) {
    return slider.value() * 1.8 * 100 / 65535;
}
// One step of the slider, in percent.
constexpr double kStepPercent = 1.8 * 100 / 65535;

// The real mixer, counting the levels sent to it.
class CountingMixer final : public Mixer {
public:
    explicit CountingMixer(Mixer& real) : real_(real) {}
    MMRESULT mixerOpen(HMIXER* phmx, std::uint32_t id, std::uintptr_t callback, std::uintptr_t instance,
                       std::uint32_t flags) override {
        return real_.mixerOpen(phmx, id, callback, instance, flags);
    }
    MMRESULT mixerGetLineInfo(HMIXER h, MIXERLINE* line, std::uint32_t flags) override {
        return real_.mixerGetLineInfo(h, line, flags);
    }
    MMRESULT mixerGetLineControls(HMIXER h, MIXERLINECONTROLS* controls, std::uint32_t flags) override {
        return real_.mixerGetLineControls(h, controls, flags);
    }
    MMRESULT mixerGetControlDetails(HMIXER h, MIXERCONTROLDETAILS* details, std::uint32_t flags) override {
        return real_.mixerGetControlDetails(h, details, flags);
    }
    MMRESULT mixerSetControlDetails(HMIXER h, const MIXERCONTROLDETAILS* details, std::uint32_t flags) override {
        ++sets;
        return real_.mixerSetControlDetails(h, details, flags);
    }
    int sets = 0;

private:
    Mixer& real_;
};

struct Recorder {
    // `whileMessageOpen` runs while a message box is open, from the window's start-up on.
    Recorder(Mixer* mixer, PeakSource* peaks, std::function<void()> whileMessageOpen = {})
        : device(platform::wavein::SimulatedSource::silence(), platform::wavein::Pacing::Manual) {
        dialogs.whileMessageOpen = std::move(whileMessageOpen);
        window.emplace(frmSoundRec::Services{.waveIn = device,
                                             .dialogs = &dialogs,
                                             .programFolder = folder.path(),
                                             .mixer = mixer,
                                             .peakSource = peaks});
    }

    QScrollBar& slider() { return *window->scrLevel(); }
    QRect part(QStyle::SubControl control) {
        QStyleOptionSlider option;
        option.initFrom(&slider());
        option.orientation = slider().orientation();
        option.minimum = slider().minimum();
        option.maximum = slider().maximum();
        option.sliderPosition = slider().sliderPosition();
        option.sliderValue = slider().value();
        option.singleStep = slider().singleStep();
        option.pageStep = slider().pageStep();
        option.upsideDown = slider().invertedAppearance();
        return slider().style()->subControlRect(QStyle::CC_ScrollBar, &option, control, &slider());
    }

    QTemporaryDir folder;
    testsupport::ScriptedDialogs dialogs;
    platform::wavein::SimulatedWaveIn device;
    std::optional<frmSoundRec> window;
};

class LevelSlider : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(startWithBothAtHalf(server));
    }

    testsound::SoundServer server;
    std::unique_ptr<Mixer> real = makePulseAudioMixer(QStringLiteral("Tolvane tests"));
    CountingMixer mixer{*real};
};

TEST_F(LevelSlider, MovesTheDefaultSourcesVolumeAtEachStepAndAtTheEndOfADrag) {
    Recorder r(&mixer, nullptr);
    r.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&*r.window));
    EXPECT_TRUE(r.dialogs.shown.empty());
    EXPECT_TRUE(r.window->levelControlFound());
    EXPECT_NEAR(shownPercent(r.slider()), 50, kStepPercent) << "the slider opens at the source's volume";
    EXPECT_EQ(mixer.sets, 0) << "start-up leaves the recording volume as it was";
    EXPECT_EQ(server.sourceVolumePercent(kFirstSource), both(50));

    struct Step {
        const char* what;
        std::function<void()> act;
        int position;
        int percent;
    };
    const Step steps[] = {
        {"End key from the source's own volume", [&] { QTest::keyClick(&r.slider(), Qt::Key_End); }, 32767, 90},
        {"Home key", [&] { QTest::keyClick(&r.slider(), Qt::Key_Home); }, 0, 0},
        {"click on the right arrow",
         [&] { QTest::mouseClick(&r.slider(), Qt::LeftButton, {}, r.part(QStyle::SC_ScrollBarAddLine).center()); },
         300, 1},
        {"click on the track", [&] {
             QTest::mouseClick(&r.slider(), Qt::LeftButton, {}, r.part(QStyle::SC_ScrollBarAddPage).center());
         }, 600, 2},
        {"End key", [&] { QTest::keyClick(&r.slider(), Qt::Key_End); }, 32767, 90},
        {"set by a program", [&] { r.slider().setValue(16384); }, 16384, 45},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const int before = mixer.sets;
        step.act();
        EXPECT_EQ(r.slider().value(), step.position);
        EXPECT_EQ(mixer.sets, before + 1);
        EXPECT_TRUE(reaches(server, kFirstSource, both(step.percent)));
    }

    // A drag of the thumb: nothing while it moves, one change when it is let go.
    const int before = mixer.sets;
    const QPoint grab = r.part(QStyle::SC_ScrollBarSlider).center();
    QTest::mousePress(&r.slider(), Qt::LeftButton, {}, grab);
    for (int dx = 5; dx <= 40; dx += 5) {
        QMouseEvent move(QEvent::MouseMove, QPointF(grab + QPoint(dx, 0)), r.slider().mapToGlobal(QPointF(grab + QPoint(dx, 0))),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&r.slider(), &move);
    }
    EXPECT_GT(r.slider().sliderPosition(), 16384);
    EXPECT_EQ(mixer.sets, before);
    EXPECT_EQ(server.sourceVolumePercent(kFirstSource), both(45));
    QTest::mouseRelease(&r.slider(), Qt::LeftButton, {}, grab + QPoint(40, 0));
    EXPECT_EQ(mixer.sets, before + 1);
    const int dropped = r.slider().value();
    EXPECT_GT(dropped, 16384);
    EXPECT_TRUE(reaches(server, kFirstSource,
                        both(static_cast<int>(std::lround(std::lround(dropped * 1.8) * 100.0 / 65535)))));

    // The user picks another source between two changes: the second change goes to it.
    ASSERT_TRUE(server.pactl({QStringLiteral("set-default-source"), kSecondSource}));
    QTest::keyClick(&r.slider(), Qt::Key_End);
    EXPECT_TRUE(reaches(server, kSecondSource, both(90)));
    EXPECT_NE(server.sourceVolumePercent(kFirstSource), both(90));

    // Another program changes the volume (the desktop's volume control, the volume keys, pactl):
    // the slider shows it and sends nothing back; above the slider's top it stands at Max.
    const int sets = mixer.sets;
    for (const int percent : {30, 120}) {
        SCOPED_TRACE(percent);
        ASSERT_TRUE(server.pactl(
            {QStringLiteral("set-source-volume"), kSecondSource, QStringLiteral("%1%").arg(percent)}));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return percent > 90 ? r.slider().value() == r.slider().maximum()
                                    : std::abs(shownPercent(r.slider()) - percent) <= kStepPercent;
            },
            20000))
            << shownPercent(r.slider());
        // A change sent back would have gone out as the slider moved.
        EXPECT_EQ(mixer.sets, sets);
        EXPECT_EQ(server.sourceVolumePercent(kSecondSource), both(percent));
    }
    EXPECT_TRUE(r.dialogs.shown.empty());
}

// Left and Down lower the level, Right and Up raise it, Page Down lowers it by a page, Home and End
// go to the ends, as on every slider of the desktop; at an end a key past it changes nothing.
TEST_F(LevelSlider, KeysMoveTheLevelLikeEverySliderFromTheMiddleAndBothEnds) {
    Recorder r(&mixer, nullptr);
    r.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&*r.window));
    const int step = r.slider().singleStep();
    const int page = r.slider().pageStep();
    struct Row {
        int from;
        Qt::Key key;
        int to;
    };
    const Row rows[] = {
        {16384, Qt::Key_Left, 16384 - step},
        {16384, Qt::Key_Down, 16384 - step},
        {16384, Qt::Key_Right, 16384 + step},
        {16384, Qt::Key_Up, 16384 + step},
        {16384, Qt::Key_PageDown, 16384 - page},
        {16384, Qt::Key_PageUp, 16384 + page},
        {16384, Qt::Key_Home, 0},
        {16384, Qt::Key_End, 32767},
        {0, Qt::Key_Left, 0},
        {0, Qt::Key_Down, 0},
        {0, Qt::Key_PageDown, 0},
        {0, Qt::Key_Right, step},
        {0, Qt::Key_End, 32767},
        {32767, Qt::Key_Right, 32767},
        {32767, Qt::Key_Up, 32767},
        {32767, Qt::Key_PageUp, 32767},
        {32767, Qt::Key_Left, 32767 - step},
        {32767, Qt::Key_PageDown, 32767 - page},
        {32767, Qt::Key_Home, 0},
    };
    const auto percentAt = [](int position) {
        return both(static_cast<int>(std::lround(std::lround(position * 1.8) * 100.0 / 65535)));
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "from " << row.from << ", key " << QKeySequence(row.key).toString().toStdString());
        // The server answers each change on its own time: a row starts once the last has arrived.
        r.slider().setValue(row.from);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return server.sourceVolumePercent(kFirstSource) == percentAt(row.from); }, 2000))
            << "at " << server.sourceVolumePercent(kFirstSource)[0] << " %";
        QTest::keyClick(&r.slider(), row.key);
        EXPECT_EQ(r.slider().value(), row.to);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return server.sourceVolumePercent(kFirstSource) == percentAt(row.to); }, 2000))
            << "at " << server.sourceVolumePercent(kFirstSource)[0] << " %";
    }
}

TEST(LevelWithoutServer, OneBoxBeforeTheWindowShowsThenSilence) {
    qputenv("PULSE_SERVER", "unix:/nonexistent/tolvane-no-server");
    auto real = makePulseAudioMixer(QStringLiteral("Tolvane tests"));
    CountingMixer mixer(*real);
    bool aWindowWasShown = false;
    Recorder r(&mixer, nullptr, [&] {
        for (const QWidget* widget : QApplication::topLevelWidgets()) {
            aWindowWasShown = aWindowWasShown || widget->isVisible();
        }
    });
    const testsupport::ScriptedDialogs* dialogs = &r.dialogs;

    ASSERT_EQ(dialogs->shown.size(), 1u);
    EXPECT_EQ(dialogs->shown[0].kind, testsupport::ShownDialog::Kind::Message);
    EXPECT_EQ(dialogs->shown[0].text, QStringLiteral("Couldn't open the mixer."));
    EXPECT_EQ(dialogs->shown[0].title, QStringLiteral("Tolvane"));
    EXPECT_FALSE(aWindowWasShown) << "the box comes before the window";
    EXPECT_FALSE(r.window->levelControlFound());

    r.window->show();
    QTest::keyClick(&r.slider(), Qt::Key_Home);
    QTest::keyClick(&r.slider(), Qt::Key_Right);
    r.slider().setValue(20000);
    EXPECT_EQ(dialogs->shown.size(), 1u);
    EXPECT_EQ(mixer.sets, 0);

    // The window works as ever: a take starts and stops.
    QTest::mouseClick(r.window->Check1(), Qt::LeftButton);
    EXPECT_TRUE(r.window->captureEngine().isRecording());
    QTest::mouseClick(r.window->Check1(), Qt::LeftButton);
    EXPECT_FALSE(r.window->captureEngine().isRecording());
    EXPECT_FALSE(r.window->takeFileName.isEmpty());
    EXPECT_EQ(dialogs->shown.size(), 1u);
}

double valueOf(LevelMeter* meter) {
    return QAccessible::queryAccessibleInterface(meter)->valueInterface()->currentValue().toDouble();
}

bool dark(LevelMeter* meter) {
    return meter->litCells() == 0 && meter->holdCell() == -1 && valueOf(meter) == -60.0;
}

TEST(LevelMeters, ShowTheDefaultSourcesPeaksPerChannelFromTheServersReturnOn) {
    testsound::SoundServer server;
    qputenv("PULSE_SERVER", server.address());
    auto peaks = makePulseAudioPeakSource(QStringLiteral("Tolvane tests"));
    Recorder r(nullptr, peaks.get());
    r.window->show();
    LevelMeter* const left = r.window->AniGIF2();
    LevelMeter* const right = r.window->AniGIF3();

    // No server yet: dark, and it stays dark.
    QTest::qWait(1000);
    EXPECT_TRUE(dark(left) && !left->clipLit());
    EXPECT_TRUE(dark(right) && !right->clipLit());
    ASSERT_TRUE(server.start({kFirst}));

    struct Row {
        const char* name;
        QStringList effects;
        double left;  // dBFS; -60 is nothing lit
        double right;
        bool clip;
    };
    const Row rows[] = {
        {"sine at -6 dBFS", {"sine", "1000", "vol", "0.5"}, -6.02, -6.02, false},
        {"silence", {}, -60, -60, false},
        {"left channel silent", {"sine", "1000", "vol", "0.5", "remix", "0", "1"}, -60, -6.02, false},
        {"full-scale square", {"square", "100"}, 0, 0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.effects.isEmpty()) {
            const auto file =
                testsound::makeSound(server.folder(), QString::fromLatin1(row.name) + ".wav", 60, row.effects);
            ASSERT_TRUE(file);
            ASSERT_TRUE(server.play(*file, kFirst));
        }
        const auto reads = [](LevelMeter* meter, double db) {
            return db <= -60 ? dark(meter) : std::abs(valueOf(meter) - db) <= 1.0 && meter->litCells() > 0;
        };
        const bool shown = QTest::qWaitFor(
            [&] {
                return reads(left, row.left) && reads(right, row.right) && left->clipLit() == row.clip &&
                       right->clipLit() == row.clip;
            },
            30000);
        EXPECT_TRUE(shown) << "left " << valueOf(left) << " right " << valueOf(right) << " clip " << left->clipLit()
                           << right->clipLit();
        server.stopPlaying();
    }

    // The clip cells stay lit after the loud part, until the next take starts.
    ASSERT_TRUE(QTest::qWaitFor([&] { return dark(left) && dark(right); }, 30000));
    EXPECT_TRUE(left->clipLit() && right->clipLit());
    QTest::mouseClick(r.window->Check1(), Qt::LeftButton);
    ASSERT_TRUE(r.window->captureEngine().isRecording());
    EXPECT_FALSE(left->clipLit());
    EXPECT_FALSE(right->clipLit());
    QTest::mouseClick(r.window->Check1(), Qt::LeftButton);
}

}  // namespace
