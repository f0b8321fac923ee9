// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A take's markers live beside its first part in a small text file, "<first part>.markers", until
// the take is saved: one marker a line, written and flushed the moment it is set, so a crash keeps
// every marker set before it. A marker is a take frame: frames from the first frame of the take's
// audio (the lead-in zeros included), counted on through its further parts.
//
// Each line is "<frame> <crc>": the frame in decimal and the CRC-32 (as zlib computes it) of those
// digits in eight lower-case hexadecimal digits. A line that does not check out is dropped alone,
// so a damaged file loses only its damaged lines.

#include "platform/encoding/Markers.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace basSoundRec_2 {

// The marker file of the take whose first part is `firstPart`.
QString takeMarkersPath(const QString& firstPart);

// Sets one marker: appended to the take's marker file (made if missing) and flushed to the disk
// before this returns. 0 or the errno.
int addTakeMarker(const QString& firstPart, std::uint64_t frame);

struct TakeMarkers {
    std::vector<std::uint64_t> frames;  // ascending, each once
    int damagedLines = 0;               // lines dropped because they did not check out
    int error = 0;                      // errno when the file is there but cannot be read
};

// The take's markers; none, without an error, when it has no marker file.
TakeMarkers readTakeMarkers(const QString& firstPart);

// Replaces the take's whole set of markers (the review window's edits): written beside under
// another name, flushed, then renamed over the old file, so a crash leaves one set or the other.
// An empty set removes the file. 0 or the errno.
int replaceTakeMarkers(const QString& firstPart, const std::vector<std::uint64_t>& frames);

// Removes the take's marker file, and what an interrupted replacement left beside it. A file that is
// not there is no error. 0 or the errno.
int removeTakeMarkers(const QString& firstPart);

// The markers a save writes when it keeps the take's frames [begin, end): those inside, counted from
// `begin`, numbered from 1 in the saved file ("Marca 1" is the first kept, whatever fell outside).
std::vector<platform::encoding::Marker> savedMarkers(const std::vector<std::uint64_t>& frames,
                                                     std::uint64_t begin, std::uint64_t end);

}  // namespace basSoundRec_2
