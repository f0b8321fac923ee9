// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The files a side's tracks are saved as, "NN Título.ext" in one folder, and what stops a title or
// a folder from being used, in words for the tracks' table, found before anything is written.

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace review {

// What the folder's file system takes and what it holds already.
struct Destination {
    QString folder;
    long nameMax = 255;  // the longest name, in bytes once encoded
    // Refused in names besides "/" and NUL (the characters FAT, exFAT, NTFS and Windows shares refuse).
    QString refusedCharacters;
    // Whether an entry of this name (a file, folder or link, even a broken one) is there already.
    std::function<bool(const QString& name)> holds;
};

// Asks the file system about `folder`, an absolute path to a folder.
Destination destinationAt(const QString& folder);

enum class FolderTrouble { None, Empty, NotAbsolute, Missing, NotFolder, NotWritable };
// A typed folder as a path: "~" at its start is the home folder; the rest is cleaned ("a//b/" is
// "a/b"). An empty text stays empty.
QString folderPath(const QString& typed);
FolderTrouble folderTrouble(const QString& path);
// For the line under the tracks' table; empty for None.
QString describe(FolderTrouble trouble, const QString& path);

// A title as it is saved: without the spaces around it.
QString cleanTitle(const QString& title);

// "01 Faixa 1.flac": the number in two digits, or in as many as the count of tracks needs.
QString trackFileName(int number, int count, const QString& title, const QString& extension);

enum class TitleTrouble { None, Empty, OnlyDots, Slash, ControlCharacter, RefusedCharacter, TooLong, Exists };

struct TrackName {
    QString fileName;
    TitleTrouble trouble = TitleTrouble::None;
    QString reason;  // the trouble in words for the table; empty for None
};

// The file of each title (track i + 1 of titles.size()) in the destination, each with the first
// thing that stops it from being written.
std::vector<TrackName> nameTracks(const QStringList& titles, const QString& extension,
                                  const Destination& destination);

}  // namespace review
