// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/MarkerWriter.h"

#include "platform/playback/Worker.h"
#include "recorder/wavfile/TakeMarkers.h"

#include <condition_variable>
#include <deque>
#include <mutex>

struct MarkerWriter::State {
    struct Marker {
        QString firstPart;
        std::uint64_t frame;
    };

    std::mutex mutex;
    std::condition_variable changed;
    // Guarded by `mutex`.
    std::deque<Marker> pending;
    std::uint64_t handedOver = 0;
    std::uint64_t settled = 0;
    MarkerWriter* owner = nullptr;  // null once it is gone

    void run(const std::atomic<bool>& stop) {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return !pending.empty() || stop.load(std::memory_order_acquire); });
            if (pending.empty()) {
                return;
            }
            const Marker marker = std::move(pending.front());
            pending.pop_front();
            lock.unlock();
            const int error = basSoundRec_2::addTakeMarker(marker.firstPart, marker.frame);
            lock.lock();
            ++settled;
            changed.notify_all();
            if (error != 0 && owner != nullptr) {
                QMetaObject::invokeMethod(
                    owner, [owner = owner, error] { emit owner->failed(error); }, Qt::QueuedConnection);
            }
        }
    }
};

MarkerWriter::MarkerWriter(QObject* parent)
    : QObject(parent),
      state_(std::make_shared<State>()),
      worker_(std::make_unique<platform::playback::Worker>(
          [state = state_](const std::atomic<bool>& stop) { state->run(stop); })) {
    const std::lock_guard lock(state_->mutex);
    state_->owner = this;
}

MarkerWriter::~MarkerWriter() {
    {
        const std::lock_guard lock(state_->mutex);
        state_->owner = nullptr;
    }
    // The thread writes what is still pending before it ends, however long the disk takes.
    worker_->requestStop();
    { const std::lock_guard lock(state_->mutex); }
    state_->changed.notify_all();
}

void MarkerWriter::add(const QString& firstPart, std::uint64_t frame) {
    {
        const std::lock_guard lock(state_->mutex);
        state_->pending.push_back({firstPart, frame});
        ++state_->handedOver;
    }
    state_->changed.notify_all();
}

bool MarkerWriter::settle(std::chrono::milliseconds limit) {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, limit, [&] { return state_->settled == state_->handedOver; });
}
