// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Takes interrupted by a crash, a kill or a power cut, found in the program's folder at start-up and
// made complete again.

#include "platform/files/StagedFile.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <vector>

namespace recovery {

// A take whose parts (see TakeParts.h) are counted as one.
struct RecoveredTake {
    QString path;                 // its first file
    std::uint64_t dataBytes = 0;  // audio now stated in the headers of all its parts
    int parts = 1;
    double seconds = 0;
    QDateTime modified;
};

// True for the names the recorder gives takes and their parts: "MMDDYYYYhhmmssAM.WAV", maybe with
// "-N" and then ".N" (a part) before ".WAV".
bool isTakeFileName(const QString& fileName);

// Repairs every take in `folder` whose name is a take's, whose first 46 bytes are exactly the
// recorder's header and whose sizes disagree with its length as only the recorder's own writing
// leaves them, and which no running recorder or copy holds locked: the sizes then cover every whole
// frame on disk, and the file keeps its modification time. Anything else is not touched, nor is a
// file changed in the last minute whose header states more audio than it holds (being copied in).
// Recovered parts of one take are offered as that take, its first file. The recovered takes, oldest
// first.
std::vector<RecoveredTake> recoverInterruptedTakes(const QString& folder);

// The one message that tells the user which takes were recovered and how long each is.
QString describeRecovered(const std::vector<RecoveredTake>& takes);

// What a start found left by a crash, a kill or a power cut, and put right.
struct StartUpFindings {
    std::vector<RecoveredTake> takes;                           // recoverInterruptedTakes
    std::vector<platform::files::UnfinishedSave> removedSaves;  // platform::files::removeUnfinishedSaves
    bool empty() const { return takes.empty() && removedSaves.empty(); }
};

// Removes what interrupted saves left wherever they were going, then repairs the interrupted
// takes in `folder`. Called once at start-up, before the window offers a take.
StartUpFindings recoverAtStartUp(const QString& folder);

// The start-up box: the recovered takes as describeRecovered tells them, then one line for each
// save whose unfinished file was removed. Empty when nothing was found.
QString describeStartUp(const StartUpFindings& findings);

}  // namespace recovery
