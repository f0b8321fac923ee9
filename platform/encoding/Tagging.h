// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Tags and markers written into a finished file, through TagLib for what the encoding library cannot
// write (album, artist, track numbers, full dates in MP3, chapters), and as RIFF chunks of our own for
// a WAV's cue points. Meant for the save's temporary file before it is flushed and read back: a
// failure leaves that file damaged and says so, and the save then throws the file away.

#include "platform/encoding/Encoding.h"
#include "platform/encoding/Markers.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <vector>

namespace platform::encoding {

struct TagRequest {
    QString path;
    Format format = Format::Flac;
    Tags tags;
    // The file's markers, as WAV cue points or as chapters, replacing any it had. Their frames and
    // `frames`, the length of the file's audio (where the last chapter ends), count at `sampleRate`:
    // the take's frames and rate also for an Opus file resampled to another rate.
    std::vector<Marker> markers;
    int sampleRate = 0;
    std::uint64_t frames = 0;
};

struct TagResult {
    int error = 0;   // errno of the failure, when the system gave one
    QString detail;  // otherwise the reason in words
    bool ok() const { return error == 0 && detail.isEmpty(); }
    // For the user, with the reason; empty when ok.
    QString reason() const;
};

// Writes the tags and markers into the file, then reads them back from the disk to be sure they are
// there. Vorbis comments for FLAC, Ogg Vorbis and Opus; ID3v2.4 for MP3 (its ID3v1 tag, where the
// file has one, gets the same title, artist, album, year and track); a RIFF INFO list and cue points
// for WAV.
TagResult writeTags(const TagRequest& request);

// Writes the markers as the WAV's cue points ("cue " chunk), each named in a "LIST"/"adtl" "labl",
// after everything the file holds, and brings the RIFF size up to date. Cue points an earlier call
// left at the end are replaced. `frames` ascending, inside the audio.
TagResult writeWavCues(const QString& path, const std::vector<Marker>& markers);

}  // namespace platform::encoding
