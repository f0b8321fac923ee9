// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The waveform view as a user and a screen reader meet it: each channel in its lane as the summary
// holds it, the playhead, the slider "Posição" in seconds, and the keys and clicks that move it.
#include "recorder/review/WaveformView.h"

#include "SyntheticSource.h"
#include "recorder/review/WaveformSummary.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>

namespace {

using platform::playback::Format;
using review::WaveformSummary;
using review::WaveformView;
using reviewtest::SyntheticSource;

constexpr std::uint32_t kRate = 44100;
constexpr std::uint64_t kFrames = 20 * kRate;

// Left loud in the first half, right at half that in the second; silence elsewhere.
std::int32_t halves(std::uint64_t frame, int channel) {
    const bool firstHalf = frame < kFrames / 2;
    const std::int32_t level = channel == 0 ? (firstHalf ? 0x70000000 : 0) : (firstHalf ? 0 : 0x38000000);
    return frame % 2 == 0 ? level : -level;
}

bool isWave(QRgb pixel) {
    return qBlue(pixel) > qRed(pixel) + 40 && qBlue(pixel) > qGreen(pixel) + 20;
}
bool isPlayhead(QRgb pixel) {
    return qRed(pixel) > 150 && qGreen(pixel) < 100 && qBlue(pixel) < 100;
}

struct Viewed {
    // A held source holds the summary's first read too.
    explicit Viewed(bool held = false) {
        if (held) {
            source->hold();
        }
        summary = std::make_shared<WaveformSummary>(source);
        view.resize(400, 200);
        view.setSummary(summary);
        view.show();
    }
    ~Viewed() { source->release(); }
    std::shared_ptr<SyntheticSource> source = std::make_shared<SyntheticSource>(Format{kRate, 2}, kFrames, &halves);
    std::shared_ptr<WaveformSummary> summary;
    WaveformView view;
};

TEST(WaveformView, DrawsEachChannelInItsLaneAndThePlayhead) {
    Viewed viewed;
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewed.summary->complete(); }, 60000));
    viewed.view.setPlayhead(kFrames / 4);
    const QImage picture = viewed.view.grab().toImage();
    ASSERT_EQ(picture.width(), 400);
    // Lane 0 is the top half, lane 1 the bottom; a full-scale sample reaches a lane's edge.
    struct Probe {
        int x, y;
        bool wave;
    };
    const Probe probes[] = {
        {50, 10, true},   {50, 90, true},   {50, 50, true},   {50, 125, false}, {50, 175, false},
        {300, 10, false}, {300, 90, false}, {300, 130, true}, {300, 170, true}, {300, 110, false},
        {199, 10, true},  {201, 10, false},
    };
    for (const Probe& p : probes) {
        EXPECT_EQ(isWave(picture.pixel(p.x, p.y)), p.wave) << "at " << p.x << "," << p.y;
    }
    for (int y = 3; y < 197; y += 17) {
        EXPECT_TRUE(isPlayhead(picture.pixel(100, y))) << "playhead at y " << y;
        EXPECT_FALSE(isPlayhead(picture.pixel(110, y)));
    }
}

TEST(WaveformView, ShowsOnlyWhatIsSummarisedSoFar) {
    Viewed viewed(true);
    viewed.source->awaitReads(1);
    const QImage before = viewed.view.grab().toImage();
    for (int x = 0; x < 400; x += 13) {
        EXPECT_FALSE(isWave(before.pixel(x, 10))) << "column " << x;
    }
    viewed.source->release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewed.summary->complete(); }, 60000));
    // The view redraws by itself as the summary fills.
    QTest::qWait(200);
    EXPECT_TRUE(isWave(viewed.view.grab().toImage().pixel(20, 10)));
}

// What is on the screen once the summary is complete is what a whole repaint draws: no column
// left as it was drawn before its frames were read, whatever was painted in between (the playhead
// moving repaints a few columns only).
TEST(WaveformView, LeavesNoColumnUnreadOnTheScreenOnceComplete) {
    Viewed viewed(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewed.view));
    viewed.source->awaitReads(1);
    const auto onScreen = [&] {
        return viewed.view.screen()->grabWindow(viewed.view.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    };
    const auto repainted = [&] { return viewed.view.grab().toImage().convertToFormat(QImage::Format_RGB32); };
    // One read through, and a few columns far from it painted before the view looks again (no
    // events handled in between, so its own refresh cannot come first).
    viewed.source->pass(1);
    QElapsedTimer reading;
    reading.start();
    while (viewed.summary->summarisedFrames() == 0) {
        ASSERT_LT(reading.elapsed(), 60000) << "the first read was never summarised";
        std::this_thread::yield();
    }
    viewed.view.repaint(QRect(300, 0, 2, 200));
    viewed.source->release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewed.summary->complete(); }, 60000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen() == repainted(); }, 10000));
    const QImage shown = onScreen();
    for (int x = 0; x < 190; x += 7) {
        EXPECT_TRUE(isWave(shown.pixel(x, 10))) << "column " << x;
    }
}

TEST(WaveformView, IsASliderNamedPositionInSeconds) {
    Viewed viewed;
    QSignalSpy seeks(&viewed.view, &WaveformView::seekRequested);
    viewed.view.setPlayhead(kRate * 3 / 2);
    QAccessibleInterface* slider = QAccessible::queryAccessibleInterface(&viewed.view);
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->role(), QAccessible::Slider);
    EXPECT_EQ(slider->text(QAccessible::Name), QStringLiteral("Posição"));
    EXPECT_EQ(slider->text(QAccessible::Value), QStringLiteral("0:00:01.500"));
    QAccessibleValueInterface* value = slider->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_DOUBLE_EQ(value->currentValue().toDouble(), 1.5);
    EXPECT_DOUBLE_EQ(value->minimumValue().toDouble(), 0.0);
    EXPECT_DOUBLE_EQ(value->maximumValue().toDouble(), 20.0);
    value->setCurrentValue(12.25);
    ASSERT_EQ(seeks.count(), 1);
    EXPECT_EQ(seeks.takeFirst().at(0).value<std::uint64_t>(), kRate * 49 / 4);
    EXPECT_EQ(viewed.view.playhead(), kRate * 49 / 4);
}

TEST(WaveformView, KeysAndTheMouseMoveThePlayhead) {
    Viewed viewed;
    viewed.view.setFocus();
    QSignalSpy seeks(&viewed.view, &WaveformView::seekRequested);
    struct Step {
        const char* name;
        std::function<void(WaveformView&)> act;
        std::uint64_t frame;
    };
    const Step steps[] = {
        {"Right", [](WaveformView& v) { QTest::keyClick(&v, Qt::Key_Right); }, 5 * kRate},
        {"Right again", [](WaveformView& v) { QTest::keyClick(&v, Qt::Key_Right); }, 10 * kRate},
        {"Left", [](WaveformView& v) { QTest::keyClick(&v, Qt::Key_Left); }, 5 * kRate},
        {"End", [](WaveformView& v) { QTest::keyClick(&v, Qt::Key_End); }, kFrames},
        {"Right at the end", [](WaveformView& v) { QTest::keyClick(&v, Qt::Key_Right); }, kFrames},
        {"Home", [](WaveformView& v) { QTest::keyClick(&v, Qt::Key_Home); }, 0},
        {"Left at the start", [](WaveformView& v) { QTest::keyClick(&v, Qt::Key_Left); }, 0},
        {"a click in the middle", [](WaveformView& v) { QTest::mouseClick(&v, Qt::LeftButton, {}, QPoint(200, 50)); },
         kFrames / 2},
        {"a drag to a quarter",
         [](WaveformView& v) {
             QTest::mousePress(&v, Qt::LeftButton, {}, QPoint(300, 50));
             QMouseEvent move(QEvent::MouseMove, QPointF(100, 60), v.mapToGlobal(QPointF(100, 60)), Qt::NoButton,
                              Qt::LeftButton, Qt::NoModifier);
             QApplication::sendEvent(&v, &move);
             QTest::mouseRelease(&v, Qt::LeftButton, {}, QPoint(100, 60));
         },
         kFrames / 4},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        seeks.clear();
        step.act(viewed.view);
        EXPECT_EQ(viewed.view.playhead(), step.frame);
        ASSERT_FALSE(seeks.isEmpty());
        EXPECT_EQ(seeks.last().at(0).value<std::uint64_t>(), step.frame);
    }
}

}  // namespace
