// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// On a real X server: a take recorded from the private sound server, saved through the real
// save-file dialog by typing a name, and a second take discarded through the real exit question.
#include "recorder/window/frmSoundRec.h"

#include "ModalDriver.h"
#include "OtherVolume.h"
#include "Readers.h"
#include "RecordFor.h"
#include "platform/wavein/PulseWaveIn.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using testsupport::readFile;
using testsupport::recordFor;

TEST(SaveTakeOnScreen, ATakeSavedByTypingANameAndTheNextOneDiscardedAtExit) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QTemporaryDir takes;
    // Another file system when there is one, so the take is copied under a real progress box.
    testsupport::OtherVolume other(64u << 20);
    QTemporaryDir sameVolume;
    const QString folder = other.usable() ? other.path() : sameVolume.path();
    for (const char* name : {"earlier.wav", "notes.txt"}) {
        QFile file(QDir(folder).filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    auto waveIn = platform::wavein::makePulseAudioWaveIn(QStringLiteral("Tolvane tests"));
    frmSoundRec window({.waveIn = *waveIn, .programFolder = takes.path()});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    recordFor(window, 1500);
    const QString generated = window.takeFileName;
    const QByteArray take = readFile(generated);
    ASSERT_GT(take.size(), 46);

    testsupport::ModalDriver driver;
    QStringList listed;
    QString dialogTitle;
    driver.steps.push_back([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
        dialogTitle = dialog->windowTitle();
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
        ASSERT_TRUE(name != nullptr && list != nullptr);
        // The user goes to the folder, sees what is there, and types a name.
        dialog->setDirectory(folder);
        EXPECT_TRUE(QTest::qWaitFor([&] { return list->model()->rowCount(list->rootIndex()) > 0; }));
        for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row) {
            listed << list->model()->index(row, 0, list->rootIndex()).data().toString();
        }
        QTest::keyClicks(name, QStringLiteral("Entrevista"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    QTest::mouseClick(window.cmdSave(), Qt::LeftButton);

    EXPECT_TRUE(driver.steps.empty());
    EXPECT_EQ(dialogTitle, QStringLiteral("Save Wave File"));
    EXPECT_EQ(listed, QStringList{QStringLiteral("earlier.wav")}) << "the *.WAV filter, any case";
    const QString saved = QDir(folder).filePath(QStringLiteral("Entrevista.Wav"));
    EXPECT_EQ(readFile(saved), take);
    EXPECT_FALSE(QFile::exists(generated));
    EXPECT_TRUE(window.takeSaved);

    // A second take, never saved: the exit question, answered Yes, discards it and closes.
    recordFor(window, 500);
    const QString discarded = window.takeFileName;
    ASSERT_TRUE(QFile::exists(discarded));
    QMessageBox::Icon icon = QMessageBox::Information;
    QString question;
    QString questionTitle;
    QAbstractButton* defaultButton = nullptr;
    QAbstractButton* yes = nullptr;
    driver.steps.push_back([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr) << modal->metaObject()->className();
        icon = box->icon();
        question = box->text();
        questionTitle = box->windowTitle();
        defaultButton = box->defaultButton();
        yes = box->button(QMessageBox::Yes);
        QTest::mouseClick(yes, Qt::LeftButton);
    });
    QTest::mouseClick(window.Command1(), Qt::LeftButton);
    EXPECT_TRUE(driver.steps.empty());
    EXPECT_EQ(question, QStringLiteral("Deseja sair sem Gravar o arquivo?"));
    EXPECT_EQ(questionTitle, QStringLiteral("VIZ Eridorov"));
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_TRUE(yes != nullptr && defaultButton == yes);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(QFile::exists(discarded));
    EXPECT_EQ(readFile(saved), take);
}
