// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/review/MarkerWriter.h"

#include "platform/playback/Worker.h"
#include "recorder/wavfile/TakeMarkers.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace review {

struct MarkerWriter::State {
    struct Write {
        QString firstPart;
        // One marker to append, or (without) the whole set in `frames`.
        std::optional<std::uint64_t> frame;
        std::vector<std::uint64_t> frames;
    };

    std::mutex mutex;
    std::condition_variable changed;
    // Guarded by `mutex`.
    std::deque<Write> pending;
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
            const Write write = std::move(pending.front());
            pending.pop_front();
            lock.unlock();
            const int error = write.frame ? basSoundRec_2::addTakeMarker(write.firstPart, *write.frame)
                                          : basSoundRec_2::replaceTakeMarkers(write.firstPart, write.frames);
            lock.lock();
            ++settled;
            changed.notify_all();
            if (error != 0 && owner != nullptr) {
                QMetaObject::invokeMethod(
                    owner, [owner = owner, error, wholeSet = !write.frame] { emit owner->failed(error, wholeSet); },
                    Qt::QueuedConnection);
            }
        }
    }

    void handOver(Write write) {
        {
            const std::lock_guard lock(mutex);
            ++handedOver;
            // A newer set of the same take makes the one still waiting pointless.
            if (!write.frame && !pending.empty() && !pending.back().frame &&
                pending.back().firstPart == write.firstPart) {
                pending.back().frames = std::move(write.frames);
                ++settled;
            } else {
                pending.push_back(std::move(write));
            }
        }
        changed.notify_all();
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
    state_->handOver({firstPart, frame, {}});
}

void MarkerWriter::replace(const QString& firstPart, std::vector<std::uint64_t> frames) {
    state_->handOver({firstPart, std::nullopt, std::move(frames)});
}

bool MarkerWriter::settle(std::chrono::milliseconds limit) {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, limit, [&] { return state_->settled == state_->handedOver; });
}

}  // namespace review
