// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/level/LevelMonitor.h"

#include "platform/mixer/PeakSource.h"

namespace level {

LevelMonitor::LevelMonitor(platform::mixer::PeakSource& source, QObject* parent)
    : QObject(parent), source_(source) {
    clock_.start();
    timer_.setInterval(kFallIntervalMilliseconds);
    connect(&timer_, &QTimer::timeout, this, &LevelMonitor::poll);
    source_.setWake([this] {
        if (!wakePending_.exchange(true)) {
            QMetaObject::invokeMethod(this, &LevelMonitor::wake, Qt::QueuedConnection);
        }
    });
    poll();
}

LevelMonitor::~LevelMonitor() {
    // Once this returns the sound thread no longer calls into the monitor.
    source_.setWake({});
}

void LevelMonitor::clearClips() {
    for (MeterBallistics& channel : channels_) {
        channel.clearClip();
    }
    emit changed();
}

void LevelMonitor::wake() {
    wakePending_ = false;
    poll();
}

void LevelMonitor::poll() {
    const platform::mixer::Peaks peaks = source_.takePeaks();
    const double now = static_cast<double>(clock_.nsecsElapsed()) / 1e9;
    live_ = peaks.live;
    const float values[] = {peaks.left, peaks.right};
    bool lit = false;
    for (std::size_t i = 0; i < channels_.size(); ++i) {
        MeterBallistics& channel = channels_[i];
        if (!live_) {
            channel.darken();
        } else if (peaks.readings > 0) {
            channel.feed(values[i], now);
        } else {
            channel.advance(now);
        }
        lit = lit || channel.level() > MeterBallistics::kFloorDb || channel.hold() > MeterBallistics::kFloorDb;
    }
    // Readings above silence wake the monitor; falling back needs a clock until all is dark.
    if (lit) {
        timer_.start();
    } else {
        timer_.stop();
    }
    emit changed();
}

}  // namespace level
