// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "Salvar faixas…" used from the keyboard: every field reached by Tab and named, a bad title shown
// in its row with "Salvar" disabled until it is fixed, and the choice and its remembered parts.

#include "recorder/review/TrackSaveDialog.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using platform::encoding::Format;
using review::TrackSaveChoice;
using review::TrackSaveDialog;
using review::TrackSaveSetup;

namespace {

constexpr int kRate = 44100;

TrackSaveSetup threeTracks(const QString& folder, QSettings* settings) {
    return TrackSaveSetup{{{0, kRate * 62}, {kRate * 62, kRate * 245}, {kRate * 245, kRate * 3700}},
                          kRate,
                          1979,
                          folder,
                          settings};
}

template <typename T>
T* child(QDialog& dialog, const char* name) {
    T* found = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

void showActive(QDialog& dialog) {
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
}

QString accessibleName(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face != nullptr ? face->text(QAccessible::Name) : QString();
}

// Replaces the current row's title from the keyboard: Enter opens it, Enter closes it.
void typeTitle(QTableWidget* table, const QString& title) {
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Return);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_TRUE(editor != nullptr && editor != table && table->isAncestorOf(editor))
        << "Enter opened no editor";
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, title);
    QTest::keyClick(editor, Qt::Key_Return);
}

}  // namespace

TEST(TrackSaveDialog, EveryFieldIsReachedByTabAndNamedForAScreenReader) {
    QTemporaryDir dir;
    TrackSaveDialog dialog(threeTracks(dir.path(), nullptr));
    showActive(dialog);
    auto* table = child<QTableWidget>(dialog, "TrackTitles");
    const QStringList expected{"TrackFolder", "TrackFolderBrowse", "TrackFormat", "TrackAlbum", "TrackArtist",
                               "TrackYear",   "TrackTitles",       "TrackSave",   "TrackCancel"};
    child<QLineEdit>(dialog, "TrackFolder")->setFocus();
    QStringList reached;
    for (int i = 0; i < expected.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        // The year's spin box hands its focus to its own line edit.
        QWidget* field = qobject_cast<QSpinBox*>(focus->parentWidget()) ? focus->parentWidget() : focus;
        reached << field->objectName();
        EXPECT_FALSE(accessibleName(field).isEmpty()) << field->objectName().toStdString();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_EQ(reached, expected);

    // The table: number, length and an editable title per track, lengths as H:MM:SS.
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("0:01:02"));
    EXPECT_EQ(table->item(2, 1)->text(), QStringLiteral("0:57:35"));
    EXPECT_EQ(table->item(1, 2)->text(), QStringLiteral("Faixa 2"));
    EXPECT_EQ(child<QSpinBox>(dialog, "TrackYear")->value(), 1979);
}

TEST(TrackSaveDialog, ABadTitleShowsInItsRowAndHoldsSalvarUntilFixedThenTheChoiceComesBack) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    const QString folder = dir.filePath(QStringLiteral("Disco"));
    ASSERT_TRUE(QDir().mkdir(folder));
    TrackSaveDialog dialog(threeTracks(dir.path(), &settings));
    showActive(dialog);
    auto* table = child<QTableWidget>(dialog, "TrackTitles");
    auto* save = child<QPushButton>(dialog, "TrackSave");
    auto* folderField = child<QLineEdit>(dialog, "TrackFolder");

    folderField->clear();
    QTest::keyClicks(folderField, folder);
    auto* format = child<QComboBox>(dialog, "TrackFormat");
    format->setCurrentIndex(format->findText(QStringLiteral("WAV")));
    QTest::keyClicks(child<QLineEdit>(dialog, "TrackAlbum"), QStringLiteral("Lado A"));
    QTest::keyClicks(child<QLineEdit>(dialog, "TrackArtist"), QStringLiteral(" Os Tolvanes "));
    EXPECT_TRUE(save->isEnabled()) << dialog.status().toStdString();

    typeTitle(table, QStringLiteral("AC/DC"));
    EXPECT_TRUE(dialog.isVisible()) << "Enter in the table pressed Salvar";
    EXPECT_FALSE(save->isEnabled());
    const QString trouble = table->item(0, 2)->toolTip();
    EXPECT_FALSE(trouble.isEmpty());
    EXPECT_FALSE(table->item(0, 2)->icon().isNull());
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(table->item(0, column)->data(Qt::AccessibleDescriptionRole).toString(), trouble);
        EXPECT_TRUE(table->item(0, column)->data(Qt::BackgroundRole).isValid());
        EXPECT_FALSE(table->item(1, column)->data(Qt::BackgroundRole).isValid());
    }
    EXPECT_TRUE(dialog.status().contains(trouble)) << dialog.status().toStdString();

    // A file of that name in the folder stops the second track too.
    QFile taken(folder + QStringLiteral("/02 Faixa 2.Wav"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    typeTitle(table, QStringLiteral("Back in Black"));
    EXPECT_FALSE(save->isEnabled());
    EXPECT_TRUE(table->item(0, 2)->toolTip().contains(QStringLiteral("01 Back in Black.Wav")));
    EXPECT_TRUE(table->item(1, 2)->data(Qt::BackgroundRole).isValid());
    // Removed from a file manager, and the dialog comes back to the front.
    ASSERT_TRUE(QFile::remove(taken.fileName()));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&dialog, &activate);
    EXPECT_TRUE(save->isEnabled()) << dialog.status().toStdString();

    // Salvar's shortcut while a title is still open takes the title as typed: here a bad one.
    QTest::keyClick(table, Qt::Key_Down);
    QTest::keyClick(table, Qt::Key_Return);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("/"));
    QSignalSpy clicked(save, &QPushButton::clicked);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
    // A mnemonic presses the button for a moment before it clicks.
    ASSERT_TRUE(clicked.wait());
    EXPECT_TRUE(dialog.isVisible()) << "Salvar took a title with \"/\"";
    EXPECT_FALSE(save->isEnabled());
    typeTitle(table, QStringLiteral("  Hells Bells "));
    ASSERT_TRUE(save->isEnabled()) << dialog.status().toStdString();

    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const TrackSaveChoice choice = dialog.choice();
    EXPECT_EQ(choice.folder, folder);
    EXPECT_EQ(choice.format, Format::Wav);
    EXPECT_EQ(choice.album, QStringLiteral("Lado A"));
    EXPECT_EQ(choice.artist, QStringLiteral("Os Tolvanes"));
    EXPECT_EQ(choice.year, 1979);
    EXPECT_EQ(choice.titles, (QStringList{"Back in Black", "Hells Bells", "Faixa 3"}));
    EXPECT_EQ(choice.paths, (QStringList{folder + "/01 Back in Black.Wav", folder + "/02 Hells Bells.Wav",
                                         folder + "/03 Faixa 3.Wav"}));

    // The next dialog starts where this one ended: folder, format and artist, not the album.
    TrackSaveDialog next(threeTracks(dir.path(), &settings));
    const TrackSaveChoice offered = next.choice();
    EXPECT_EQ(offered.folder, folder);
    EXPECT_EQ(offered.format, Format::Wav);
    EXPECT_EQ(offered.artist, QStringLiteral("Os Tolvanes"));
    EXPECT_TRUE(offered.album.isEmpty());
    // Without settings nothing is remembered.
    TrackSaveDialog fresh(threeTracks(dir.path(), nullptr));
    EXPECT_EQ(fresh.choice().folder, dir.path());
    EXPECT_TRUE(fresh.choice().artist.isEmpty());
}
