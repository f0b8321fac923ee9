// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Without a sound server the user reads the server's reason and no empty take is left behind.
#include "recorder/window/frmSoundRec.h"

#include "ScriptedDialogs.h"
#include "platform/wavein/PulseWaveIn.h"

#include <QAbstractButton>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

TEST(NoSoundServer, TheReasonIsShownAndTheWindowIsBackToStopped) {
    qputenv("PULSE_SERVER", "unix:/nonexistent/tolvane-no-server");
    QTemporaryDir folder;
    testsupport::ScriptedDialogs dialogs;
    auto waveIn = platform::wavein::makePulseAudioWaveIn(QStringLiteral("Tolvane tests"));
    frmSoundRec window({.waveIn = *waveIn, .dialogs = &dialogs, .programFolder = folder.path()});
    QTest::mouseClick(window.Check1(), Qt::LeftButton);

    ASSERT_EQ(dialogs.messages().size(), 1);
    const QString text = dialogs.messages()[0];
    EXPECT_FALSE(text.isEmpty());
    EXPECT_TRUE(text.contains(QStringLiteral("servidor de som"), Qt::CaseInsensitive)) << text.toStdString();
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("Tolvane"));
    EXPECT_FALSE(window.Check1()->isChecked());
    EXPECT_EQ(window.Check1()->text(), QStringLiteral("Iniciar Gravação"));
    EXPECT_FALSE(window.Timer2().isActive());
    EXPECT_FALSE(window.captureEngine().isRecording());
    EXPECT_FALSE(window.captureEngine().deviceOpen());
    EXPECT_FALSE(window.captureEngine().buffersAllocated());
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(window.takeFileName.isEmpty());
}
