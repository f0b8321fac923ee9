// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A named point of a saved file's audio: what a WAV keeps as a cue point, a FLAC, Ogg or MP3 file as
// a chapter. Header only, so the take's marker bookkeeping can hand markers over without the
// libraries that write them.

#include <QString>

#include <cstdint>

namespace platform::encoding {

struct Marker {
    std::uint64_t frame = 0;  // from the saved audio's first frame
    QString name;

    friend bool operator==(const Marker&, const Marker&) = default;
};

}  // namespace platform::encoding
