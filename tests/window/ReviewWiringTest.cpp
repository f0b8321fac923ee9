// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "Marcar agora" and "Ouvir e cortar…" in the recorder window, on a simulated counting device: the
// items follow the take, each marker lies at the frame the device had handed over at the press, and
// what the review sets (a trim) reaches the next save, then goes with the take.
#include "RecorderUnderTest.h"
#include "Readers.h"
#include "TakeReader.h"

#include "recorder/review/ReviewWindow.h"
#include "recorder/wavfile/TakeMarkers.h"
#include "recorder/window/TakeMenu.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using testsupport::Recorder;

namespace {

constexpr std::size_t kBuffer = 35280;  // 44100 Hz stereo, the window's default
constexpr std::uint64_t kLeadInFrames = 10 * kBuffer / 4;
constexpr std::uint64_t kSecond = 44100;

void feedSeconds(Recorder& r, int seconds) {
    for (int i = 0; i < seconds * 5; ++i) {
        r.device.produce(kBuffer);
        r.deliver();
    }
}

// Runs `step` on the review window once it is open, when the window asks for one.
void whenReviewOpens(std::function<void(review::ReviewWindow&)> step) {
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, step = std::move(step)] {
        auto* window = qobject_cast<review::ReviewWindow*>(QApplication::activeModalWidget());
        if (window == nullptr || !window->isOpen()) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        step(*window);
    });
    poll->start();
}

void setHandle(review::ReviewWindow& window, const char* name, double seconds) {
    QAccessible::queryAccessibleInterface(window.findChild<QWidget*>(QLatin1String(name)))
        ->valueInterface()
        ->setCurrentValue(seconds);
}

}  // namespace

TEST(ReviewWiring, TheItemsFollowTheTakeAndTheReviewReachesTheSave) {
    Recorder r;
    r.window.show();
    r.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&r.window));
    QAction& mark = r.window.takeMenu().markAction();
    QAction& review = r.window.takeMenu().reviewAction();
    auto* saveMenu = r.window.findChild<QMenu*>(QStringLiteral("cmdSaveMenu"));
    ASSERT_NE(saveMenu, nullptr);
    EXPECT_TRUE(saveMenu->actions().contains(&review)) << "Save's context menu offers the review";

    const auto items = [&] { return std::pair{mark.isEnabled(), review.isEnabled()}; };
    EXPECT_EQ(items(), std::pair(false, false)) << "nothing to mark or review at rest";
    r.click();
    ASSERT_TRUE(r.window.captureEngine().isRecording());
    EXPECT_EQ(items(), std::pair(true, false)) << "a running take is marked, not reviewed";
    QTest::keyClick(&r.window, Qt::Key_E, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "Ctrl+E opened a review mid-take";

    // The counting device hands over exactly what it was told to: each marker lies there.
    feedSeconds(r, 3);
    QTest::keyClick(&r.window, Qt::Key_M, Qt::ControlModifier);
    feedSeconds(r, 1);
    r.window.takeMenu().pauseAction().trigger();
    feedSeconds(r, 1);  // heard while paused: not the take's
    mark.trigger();     // a paused take is marked where it paused
    r.window.takeMenu().pauseAction().trigger();
    feedSeconds(r, 3);
    r.window.addMarker(kLeadInFrames + 6 * kSecond);  // as another part of the program sets one
    r.click();
    EXPECT_EQ(items(), std::pair(false, true)) << "a stopped take is reviewed, not marked";
    const QString take = r.window.takeFileName;
    EXPECT_EQ(r.window.LED1(2)->toolTip(), QStringLiteral("3 marcas"));
    r.window.addMarker(1);  // after the stop: no take to go into

    // The review: the handles at 3 s and 8 s (lead-in included), a track boundary at 6 s; closed
    // with Esc, its choices stay for "Savar Com...".
    whenReviewOpens([&](review::ReviewWindow& window) {
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Ouvir e cortar - ") + QFileInfo(take).fileName());
        EXPECT_EQ(window.frames(), kLeadInFrames + 7 * kSecond);
        // Written off the window's thread, all there once the review reads them.
        EXPECT_EQ(window.markers(), (std::vector<std::uint64_t>{kLeadInFrames + 3 * kSecond, kLeadInFrames + 4 * kSecond,
                                                                kLeadInFrames + 6 * kSecond}));
        setHandle(window, "TrimStart", 3.0);
        setHandle(window, "TrimEnd", 8.0);
        window.reject();
    });
    review.trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.window.reviewChoices().selection.has_value(); }, 20000));
    EXPECT_EQ(r.window.reviewChoices().selection->from, static_cast<std::int64_t>(3 * kSecond));
    EXPECT_EQ(r.window.reviewChoices().selection->to, static_cast<std::int64_t>(8 * kSecond));

    r.dialogs.savePaths.push_back(r.folder.filePath(QStringLiteral("kept.wav")));
    QTest::mouseClick(r.window.cmdSave(), Qt::LeftButton);
    ASSERT_TRUE(r.window.takeSaved) << r.dialogs.messages().join(' ').toStdString();
    EXPECT_EQ(items(), std::pair(false, false)) << "a saved take is not reviewed again";
    EXPECT_FALSE(QFile::exists(basSoundRec_2::takeMarkersPath(take))) << "the marker file outlived the take";
    EXPECT_EQ(r.window.LED1(2)->toolTip(), QString());
    const QString kept = r.folder.filePath(QStringLiteral("kept.wav"));
    EXPECT_EQ(testsupport::run(QStringLiteral("soxi"), {QStringLiteral("-s"), kept}).outText().trimmed(),
              QString::number(5 * kSecond))
        << "not the selection";
    // Counter frame n holds n: the first kept is take frame 3 s, device frame 3 s less the lead-in.
    const QByteArray pcm =
        testsupport::run(QStringLiteral("sox"), {kept, QStringLiteral("-t"), QStringLiteral("s16"), QStringLiteral("-")}).out;
    ASSERT_GE(pcm.size(), 2);
    EXPECT_EQ(*reinterpret_cast<const std::uint16_t*>(pcm.constData()),
              static_cast<std::uint16_t>(3 * kSecond - kLeadInFrames));
    EXPECT_FALSE(r.window.reviewChoices().selection.has_value()) << "the choices outlived the take";
}
