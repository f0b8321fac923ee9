// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/review/MarkerSidecar.h"

#include "platform/playback/Worker.h"
#include "recorder/wavfile/TakeMarkers.h"

#include <condition_variable>
#include <mutex>
#include <optional>

namespace review {

struct MarkerSidecar::State {
    explicit State(QString path) : firstPart(std::move(path)) {}

    const QString firstPart;
    std::mutex mutex;
    std::condition_variable changed;
    // Guarded by `mutex`.
    std::optional<std::vector<std::uint64_t>> pending;
    std::uint64_t handedOver = 0;    // sets handed over
    std::uint64_t settled = 0;       // sets written or given up on
    MarkerSidecar* owner = nullptr;  // null once it is gone

    void run(const std::atomic<bool>& stop) {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return pending || stop.load(std::memory_order_acquire); });
            if (!pending) {
                return;
            }
            const std::vector<std::uint64_t> frames = std::move(*pending);
            pending.reset();
            const std::uint64_t generation = handedOver;
            lock.unlock();
            const int error = basSoundRec_2::replaceTakeMarkers(firstPart, frames);
            lock.lock();
            settled = generation;
            changed.notify_all();
            if (error != 0 && owner != nullptr) {
                QMetaObject::invokeMethod(
                    owner, [owner = owner, error] { emit owner->failed(error); }, Qt::QueuedConnection);
            }
        }
    }
};

MarkerSidecar::MarkerSidecar(QString firstPart, QObject* parent)
    : QObject(parent),
      state_(std::make_shared<State>(std::move(firstPart))),
      worker_(std::make_unique<platform::playback::Worker>(
          [state = state_](const std::atomic<bool>& stop) { state->run(stop); })) {
    const std::lock_guard lock(state_->mutex);
    state_->owner = this;
}

MarkerSidecar::~MarkerSidecar() {
    {
        const std::lock_guard lock(state_->mutex);
        state_->owner = nullptr;
    }
    // The thread writes what is still pending before it ends, however long the disk takes.
    worker_->requestStop();
    { const std::lock_guard lock(state_->mutex); }
    state_->changed.notify_all();
}

void MarkerSidecar::write(std::vector<std::uint64_t> frames) {
    {
        const std::lock_guard lock(state_->mutex);
        state_->pending = std::move(frames);
        ++state_->handedOver;
    }
    state_->changed.notify_all();
}

bool MarkerSidecar::settle(std::chrono::milliseconds limit) {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, limit, [&] { return state_->settled == state_->handedOver; });
}

}  // namespace review
