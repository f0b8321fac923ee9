// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/playback/Worker.h"

namespace platform::playback {

Worker::Worker(Job job) : shared_(std::make_shared<Shared>()) {
    thread_ = std::thread([shared = shared_, job = std::move(job)] {
        job(shared->stop);
        const std::lock_guard lock(shared->mutex);
        shared->done = true;
        shared->ended.notify_all();
    });
}

Worker::~Worker() {
    requestStop();
    bool done = false;
    {
        std::unique_lock lock(shared_->mutex);
        done = shared_->ended.wait_for(lock, kLeaveAfter, [&] { return shared_->done; });
    }
    if (done) {
        thread_.join();
    } else {
        thread_.detach();
    }
}

void Worker::requestStop() {
    shared_->stop.store(true, std::memory_order_release);
}

bool Worker::finished() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->done;
}

}  // namespace platform::playback
