// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The elapsed-time readout of takes recorded through the real window from the private PulseAudio
// server, judged against the length of the audio each take holds.
#include "recorder/window/frmSoundRec.h"

#include "RecordFor.h"
#include "ScriptedDialogs.h"
#include "TakeReader.h"
#include "platform/wavein/PulseWaveIn.h"

#include <LED/LED.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

struct Window : testsupport::WindowOnServer {
    // Seconds shown by the five digits LED1(4) H, (0)(1) MM, (2)(3) SS.
    int readoutSeconds() const {
        const auto d = [this](int i) { return static_cast<int>(window.LED1(i)->Value()); };
        return d(4) * 3600 + (d(0) * 10 + d(1)) * 60 + d(2) * 10 + d(3);
    }
    // Seconds of sound after the silent lead-in of ten buffers (44100 Hz stereo: 35280 bytes each).
    double recordedSeconds() const {
        const auto take = testsupport::readTake(window.takeFileName);
        return static_cast<double>(take.dataLength() - 10u * 35280) / (4 * 44100.0);
    }
};

}  // namespace

TEST(ReadoutOfARealTake, TwelveSecondsShowAsTwelve) {
    Window w;
    QTest::mouseClick(w.window.Check1(), Qt::LeftButton);
    ASSERT_TRUE(w.window.captureEngine().isRecording()) << w.dialogs.messages().join(' ').toStdString();
    QElapsedTimer down;
    down.start();
    while (down.elapsed() < 12000) {
        QTest::qWait(static_cast<int>(12000 - down.elapsed()));
    }
    QTest::mouseClick(w.window.Check1(), Qt::LeftButton);
    ASSERT_TRUE(testsupport::takeFinished(w.window));
    EXPECT_TRUE(w.dialogs.shown.empty()) << w.dialogs.messages().join(' ').toStdString();

    const double recorded = w.recordedSeconds();
    std::printf("readout %d s, take holds %.3f s of sound\n", w.readoutSeconds(), recorded);
    EXPECT_NEAR(w.readoutSeconds(), 12, 1);
    EXPECT_NEAR(w.readoutSeconds(), std::floor(recorded), 1.0);
}

TEST(ReadoutOfARealTake, KeepsCountingWhileTheAboutWindowIsOpen) {
    Window w;
    QTest::mouseClick(w.window.Check1(), Qt::LeftButton);
    ASSERT_TRUE(w.window.captureEngine().isRecording()) << w.dialogs.messages().join(' ').toStdString();
    QTest::qWait(1000);
    int shownWhenClosed = -1;
    QTimer::singleShot(3000, [&] {
        QWidget* about = QApplication::activeModalWidget();
        ASSERT_NE(about, nullptr);
        shownWhenClosed = w.readoutSeconds();
        about->close();
    });
    QTest::mouseClick(w.window.Command3(), Qt::LeftButton);
    QTest::qWait(1000);
    QTest::mouseClick(w.window.Check1(), Qt::LeftButton);
    ASSERT_TRUE(testsupport::takeFinished(w.window));

    const double recorded = w.recordedSeconds();
    std::printf("readout %d s (%d s as the About window closed), take holds %.3f s\n", w.readoutSeconds(),
                shownWhenClosed, recorded);
    EXPECT_GE(shownWhenClosed, 3);
    EXPECT_NEAR(w.readoutSeconds(), std::floor(recorded), 1.0);
    EXPECT_TRUE(w.dialogs.shown.empty()) << w.dialogs.messages().join(' ').toStdString();
}
