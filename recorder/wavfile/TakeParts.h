// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A take longer than one WAV file can hold goes on in further files beside its first: "<name>.WAV",
// "<name>.2.WAV", "<name>.3.WAV"... Each part is a complete WAV file; together, in order, they hold
// the take. A saved take keeps the pattern under its chosen name ("song.Wav", "song.2.Wav"...).

#include <QString>
#include <QStringList>

namespace basSoundRec_2 {

// The path of part `number` (1 is the first file itself) of the take whose first file is `firstPart`.
QString takePartPath(const QString& firstPart, int number);

// Every part of the take whose first file is `firstPart`, in order: the first file, then each further
// part on disk, recorded in the first file's format, up to the first number missing or of another
// format. Empty when the first file is not there.
QStringList takeParts(const QString& firstPart);

// True when neither `firstPart`, its marker file, nor any part of a take under that name (any number)
// exists: a new take may go on there into as many parts as it needs.
bool takeNameFree(const QString& firstPart);

// The first file of the take `path` belongs to (`path` itself for a first part); the part's number
// in `number` when given.
QString firstTakePart(const QString& path, int* number = nullptr);

}  // namespace basSoundRec_2
