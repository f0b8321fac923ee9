#include "recorder/level/LevelMonitor.h"

#include "platform/mixer/PeakSource.h"

namespace level {

LevelMonitor::LevelMonitor(platform::mixer::PeakSource& source, QObject* parent)
    : QObject(parent), source_(source) {
    clock_.start();
    timer_.setInterval(kIntervalMilliseconds);
    connect(&timer_, &QTimer::timeout, this, &LevelMonitor::poll);
    timer_.start();
}

void LevelMonitor::clearClips() {
    for (MeterBallistics& channel : channels_) {
        channel.clearClip();
    }
    emit changed();
}

void LevelMonitor::poll() {
    const platform::mixer::Peaks peaks = source_.takePeaks();
    const double now = static_cast<double>(clock_.nsecsElapsed()) / 1e9;
    live_ = peaks.live;
    const float values[] = {peaks.left, peaks.right};
    for (std::size_t i = 0; i < channels_.size(); ++i) {
        if (!live_) {
            channels_[i].darken();
        } else if (peaks.readings > 0) {
            channels_[i].feed(values[i], now);
        } else {
            channels_[i].advance(now);
        }
    }
    emit changed();
}

}  // namespace level
