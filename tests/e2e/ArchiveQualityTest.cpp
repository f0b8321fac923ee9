// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Archive quality through the real window on the private sound server: the QUALIDADE frame's menu,
// opened by the mouse and the keyboard, picks the rate and the resolution; the take's file says
// that format to independent readers, a FLAC save keeps its bits, the room question counts its
// bytes, and the next run starts with the same choice.
#include "recorder/window/QualityFrame.h"
#include "recorder/window/frmSoundRec.h"

#include "Readers.h"
#include "RecordFor.h"
#include "ScriptedDialogs.h"
#include "TakeReader.h"
#include "platform/wavein/PulseWaveIn.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using testsupport::run;

namespace {

// Opens the frame's menu with `open`, then picks `entry` of `submenu` with the keyboard alone.
void chooseInMenu(frmSoundRec& window, const std::function<void()>& open, const QString& submenu,
                  const QString& entry) {
    bool chosen = false;
    // Gone with this call: a menu that never opened leaves nothing waiting to pick in the next.
    QTimer inside;
    inside.setSingleShot(true);
    QObject::connect(&inside, &QTimer::timeout, &window, [&] {
        QMenu* menu = window.qualityFrame().menu();
        ASSERT_NE(menu, nullptr) << "the menu did not open";
        QAction* inner = nullptr;
        for (int i = 0; i < 5 && (menu->activeAction() == nullptr || menu->activeAction()->text() != submenu); ++i) {
            QTest::keyClick(menu, Qt::Key_Down);
        }
        inner = menu->activeAction();
        ASSERT_TRUE(inner != nullptr && inner->menu() != nullptr) << submenu.toStdString();
        QTest::keyClick(menu, Qt::Key_Right);
        QMenu* items = inner->menu();
        ASSERT_TRUE(QTest::qWaitFor([&] { return items->isVisible(); }, 5000));
        for (int i = 0; i < 8 && (items->activeAction() == nullptr || items->activeAction()->text() != entry); ++i) {
            QTest::keyClick(items, Qt::Key_Down);
        }
        ASSERT_EQ(items->activeAction() != nullptr ? items->activeAction()->text() : QString(), entry);
        QTest::keyClick(items, Qt::Key_Return);
        chosen = true;
    });
    inside.start(0);
    open();
    EXPECT_TRUE(chosen) << entry.toStdString();
    if (QMenu* left = window.qualityFrame().menu()) {
        left->close();
    }
}

QLabel* heading(const frmSoundRec& window) {
    return window.findChild<QLabel*>(QStringLiteral("Label3"));
}

QString spokenName(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face != nullptr ? face->text(QAccessible::Name) : QString();
}

// One take's format, how it is picked, and what the window must show for it.
struct Row {
    const char* name;
    std::uint32_t rate;
    int bits;
    bool stereo;
    // Opens the menu for the rate, and for the resolution.
    std::function<void(frmSoundRec&)> openForRate;
    std::function<void(frmSoundRec&)> openForBits;
    const char* buttonOn;  // the rate button that must be on, or none
    QString heading;        // what the frame's heading says
    bool roomAsked;         // the room the disk has is under ten minutes of this format
};

// What the window system delivers for a right click (QTest's clicks go to the widget alone).
void rightClickOnHeading(frmSoundRec& window) {
    QLabel* label = heading(window);
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(10, 5), label->mapToGlobal(QPoint(10, 5)));
    QApplication::sendEvent(label, &click);
}

void shiftF10OnFocusedButton(frmSoundRec& window) {
    QRadioButton* button = window.opt11();
    for (QRadioButton* each : {window.opt44(), window.opt225(), window.opt11()}) {
        if (each->focusPolicy() == Qt::StrongFocus) {
            button = each;
        }
    }
    button->setFocus();
    QTest::keyClick(button, Qt::Key_F10, Qt::ShiftModifier);
}

void menuKeyOnButton(frmSoundRec& window) {
    QRadioButton* button = window.opt225();
    button->setFocus();
    QContextMenuEvent key(QContextMenuEvent::Keyboard, button->rect().center(),
                          button->mapToGlobal(button->rect().center()));
    QApplication::sendEvent(button, &key);
}

}  // namespace

TEST(ArchiveQuality, TheFramesMenuPicksTheTakesFormatWhichItsFileAndItsFlacKeep) {
    QTemporaryDir takes;
    QTemporaryDir saved;
    const QString settingsPath = takes.filePath(QStringLiteral("Tolvane.conf"));
    QSettings settings(settingsPath, QSettings::IniFormat);
    auto waveIn = platform::wavein::makePulseAudioWaveIn(QStringLiteral("Tolvane tests"));
    testsupport::ScriptedDialogs dialogs;
    // Just under ten minutes of 96000 Hz 24-bit stereo; more than half an hour of the other rows.
    const std::uint64_t room = std::uint64_t{96000} * 6 * 599;
    frmSoundRec window({.waveIn = *waveIn,
                        .dialogs = &dialogs,
                        .programFolder = takes.path(),
                        .settings = &settings,
                        .freeRoom = [room](const QString&) { return std::optional<std::uint64_t>(room); }});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(heading(window)->text(), QStringLiteral("QUALIDADE"));

    const Row rows[] = {
        {"96000/24 stereo", 96000, 24, true, rightClickOnHeading, menuKeyOnButton, nullptr,
         QStringLiteral("96000 Hz · 24 bits"), true},
        {"48000/16 mono", 48000, 16, false, shiftF10OnFocusedButton, rightClickOnHeading, nullptr,
         QStringLiteral("48000 Hz · 16 bits"), false},
        {"44100/24 mono", 44100, 24, false, menuKeyOnButton, shiftF10OnFocusedButton, "opt44",
         QStringLiteral("44100 Hz · 24 bits"), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        chooseInMenu(window, [&] { row.openForRate(window); }, QStringLiteral("Taxa de amostragem"),
                     QStringLiteral("%1 Hz").arg(row.rate));
        chooseInMenu(window, [&] { row.openForBits(window); }, QStringLiteral("Resolução"),
                     QStringLiteral("%1 bits").arg(row.bits));
        if (window.chkStereo()->isChecked() != row.stereo) {
            QTest::mouseClick(window.chkStereo(), Qt::LeftButton);
        }
        for (QRadioButton* button : {window.opt44(), window.opt225(), window.opt11()}) {
            EXPECT_EQ(button->isChecked(), row.buttonOn != nullptr && button->objectName() == row.buttonOn)
                << button->objectName().toStdString();
        }
        // Seen without opening the menu, and read by a screen reader.
        EXPECT_EQ(heading(window)->text(), row.heading);
        EXPECT_EQ(spokenName(heading(window)), row.heading);
        EXPECT_TRUE(heading(window)->isVisible());
        EXPECT_LE(heading(window)->fontMetrics().horizontalAdvance(row.heading), heading(window)->width());

        const std::size_t shownBefore = dialogs.shown.size();
        if (row.roomAsked) {
            dialogs.answers.push_back(platform::Answer::Yes);
        }
        testsupport::recordFor(window, 1500);
        std::size_t questions = 0;
        for (std::size_t i = shownBefore; i < dialogs.shown.size(); ++i) {
            questions += dialogs.shown[i].kind == testsupport::ShownDialog::Kind::Question ? 1 : 0;
        }
        EXPECT_EQ(questions, row.roomAsked ? 1u : 0u) << "the room question counts this format's bytes";
        const QString take = window.takeFileName;
        const int channels = row.stereo ? 2 : 1;
        EXPECT_EQ(testsupport::independentReadersComplaints(take, channels, static_cast<int>(row.rate), row.bits),
                  QString());
        const QByteArray takeSamples =
            run(QStringLiteral("sox"), {take, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-")}).out;
        ASSERT_GT(takeSamples.size(), static_cast<qsizetype>(row.rate * channels * row.bits / 8));

        const QString flac = saved.filePath(QStringLiteral("%1-%2.flac").arg(row.rate).arg(row.bits));
        dialogs.savePaths.push_back(flac);
        dialogs.saveFilters.push_back(QStringLiteral("FLAC (*.flac)"));
        QTest::mouseClick(window.cmdSave(), Qt::LeftButton);
        ASSERT_TRUE(window.takeSaved) << dialogs.messages().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(run(QStringLiteral("metaflac"), {QStringLiteral("--show-bps"), flac}).outText().trimmed(),
                  QString::number(row.bits));
        EXPECT_EQ(run(QStringLiteral("metaflac"), {QStringLiteral("--show-sample-rate"), flac}).outText().trimmed(),
                  QString::number(row.rate));
        EXPECT_TRUE(run(QStringLiteral("sox"), {flac, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-")})
                        .out == takeSamples)
            << "the FLAC holds the take's samples";

        // The next run starts with this choice.
        QSettings again(settingsPath, QSettings::IniFormat);
        testsupport::ScriptedDialogs quiet;
        frmSoundRec next({.waveIn = *waveIn, .dialogs = &quiet, .programFolder = saved.path(), .settings = &again});
        const auto format = next.qualityFrame().format();
        EXPECT_EQ(format.nSamplesPerSec, row.rate);
        EXPECT_EQ(format.wBitsPerSample, row.bits);
        EXPECT_EQ(heading(next)->text(), row.heading);
    }
}
