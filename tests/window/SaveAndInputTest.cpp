// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a name chosen in the save dialog means, and how the input menu shows the server's names:
// tables, without a window or a server.
#include "recorder/window/InputMenu.h"
#include "recorder/window/SaveTake.h"

#include <QAccessible>
#include <QAction>
#include <QKeySequence>
#include <QMenu>

#include <gtest/gtest.h>

using platform::encoding::filterOf;
using platform::encoding::Format;

namespace {

TEST(SaveDestination, ATypedExtensionOfAnOfferedFormatWinsOverTheFilter) {
    const std::vector<Format> wavAndFlac{Format::Wav, Format::Flac};
    const std::vector<Format> all{Format::Wav, Format::Flac, Format::OggVorbis, Format::Opus, Format::Mp3};
    struct Row {
        const char* typed;
        Format filter;
        const std::vector<Format>& offered;
        const char* path;
        Format format;
    };
    const Row rows[] = {
        {"/m/song", Format::Wav, wavAndFlac, "/m/song.Wav", Format::Wav},
        {"/m/song", Format::Flac, wavAndFlac, "/m/song.flac", Format::Flac},
        {"/m/song", Format::OggVorbis, all, "/m/song.ogg", Format::OggVorbis},
        {"/m/song", Format::Opus, all, "/m/song.opus", Format::Opus},
        {"/m/song", Format::Mp3, all, "/m/song.mp3", Format::Mp3},
        // A typed ".wav" in any case gets no second extension, whatever the filter.
        {"/m/song.wav", Format::Flac, wavAndFlac, "/m/song.wav", Format::Wav},
        {"/m/song.WAV", Format::Wav, wavAndFlac, "/m/song.WAV", Format::Wav},
        {"/m/song.Flac", Format::Wav, wavAndFlac, "/m/song.Flac", Format::Flac},
        {"/m/a.flac.mp3", Format::Wav, all, "/m/a.flac.mp3", Format::Mp3},
        // The extension of a format not offered here is part of the name.
        {"/m/song.mp3", Format::Wav, wavAndFlac, "/m/song.mp3.Wav", Format::Wav},
        {"/m/song.mp3", Format::Flac, wavAndFlac, "/m/song.mp3.flac", Format::Flac},
        {"/m/live.2024", Format::Opus, all, "/m/live.2024.opus", Format::Opus},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.typed << " with " << filterOf(row.filter).toStdString());
        EXPECT_EQ(save::destinationFor(QString::fromUtf8(row.typed), filterOf(row.filter), row.offered),
                  (save::Destination{.path = QString::fromUtf8(row.path), .format = row.format}));
    }
    // A dialog that names no filter it offered saves a WAV take.
    EXPECT_EQ(save::destinationFor(QStringLiteral("/m/song"), QString(), all),
              (save::Destination{.path = QStringLiteral("/m/song.Wav"), .format = Format::Wav}));
}

// What the server calls a source is what the menu shows and a screen reader reads: an "&" is no
// keyboard mnemonic.
TEST(InputMenu, ShowsTheServersNamesAsWritten) {
    QMenu menu;
    input::fillInputMenu(
        menu,
        {{.name = QStringLiteral("mic"), .description = QStringLiteral("Mic & Line"), .monitorOf = {}},
         {.name = QStringLiteral("rr.monitor"),
          .description = QStringLiteral("Monitor of Rock&Roll"),
          .monitorOf = QStringLiteral("Rock&Roll")}},
        QStringLiteral("gone&back"), false);
    QStringList read;
    QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(&menu);
    for (int i = 0; i < shown->childCount(); ++i) {
        if (shown->child(i)->role() != QAccessible::Separator) {
            read << shown->child(i)->text(QAccessible::Name);
        }
    }
    EXPECT_EQ(read, (QStringList{QStringLiteral("Padrão do sistema"), QStringLiteral("Mic & Line"),
                                 QStringLiteral("gone&back (não disponível)"),
                                 QStringLiteral("Som do computador: Rock&Roll")}));
    for (const QAction* action : menu.actions()) {
        EXPECT_TRUE(QKeySequence::mnemonic(action->text()).isEmpty()) << action->text().toStdString();
    }
}

}  // namespace
