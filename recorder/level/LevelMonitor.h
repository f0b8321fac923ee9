// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Turns the peak readings of the default source into the movement of the left and right meters,
// on the GUI thread: at each reading above silence, and every 50 ms while a lit meter falls back.
// With the meters dark and the source silent it does nothing at all.

#include "recorder/level/MeterBallistics.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <array>
#include <atomic>

namespace platform::mixer {
class PeakSource;
}

namespace level {

class LevelMonitor : public QObject {
    Q_OBJECT

public:
    static constexpr int kLeft = 0;
    static constexpr int kRight = 1;
    static constexpr int kFallIntervalMilliseconds = 50;

    // `source` is borrowed and must outlive the monitor.
    explicit LevelMonitor(platform::mixer::PeakSource& source, QObject* parent = nullptr);
    ~LevelMonitor() override;

    const MeterBallistics& channel(int index) const { return channels_.at(static_cast<std::size_t>(index)); }
    // True while readings come from a server.
    bool live() const { return live_; }
    // A new take starts: the clip cells go dark.
    void clearClips();

signals:
    // The channels moved (or may have); meters compare with what they show.
    void changed();

private:
    void wake();
    void poll();

    platform::mixer::PeakSource& source_;
    QTimer timer_;
    QElapsedTimer clock_;
    std::array<MeterBallistics, 2> channels_;
    bool live_ = false;
    // Set from the sound thread: a wake-up is on its way to the GUI thread.
    std::atomic<bool> wakePending_{false};
};

}  // namespace level
