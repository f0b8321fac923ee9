// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A named point of a saved file's audio: what a WAV keeps as a cue point, a FLAC, Ogg or MP3 file as
// a chapter. Header only, so the take's marker bookkeeping can hand markers over without the
// libraries that write them.

#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace platform::encoding {

struct Marker {
    std::uint64_t frame = 0;  // from the saved audio's first frame
    QString name;

    friend bool operator==(const Marker&, const Marker&) = default;
};

// A saved marker's name: "Marca 1".
inline QString markerName(int number) {
    return QCoreApplication::translate("Markers", "Marca %1").arg(number);
}

// The markers a file holds that keeps the take's frames [begin, end): the take's markers inside,
// counted from `begin`, each once, numbered from 1 in their order in the file, which stands alone
// ("Marca 1" is its first whatever the take had before `begin`). `takeFrames` in any order.
inline std::vector<Marker> markersWithin(std::vector<std::uint64_t> takeFrames, std::uint64_t begin,
                                         std::uint64_t end) {
    std::sort(takeFrames.begin(), takeFrames.end());
    takeFrames.erase(std::unique(takeFrames.begin(), takeFrames.end()), takeFrames.end());
    std::vector<Marker> kept;
    for (const std::uint64_t frame : takeFrames) {
        if (frame >= begin && frame < end) {
            kept.push_back({frame - begin, markerName(static_cast<int>(kept.size()) + 1)});
        }
    }
    return kept;
}

}  // namespace platform::encoding
