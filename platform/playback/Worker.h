// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A thread that works on state it co-owns, and that its owner can leave at once: the destructor
// asks it to stop, waits a moment for it, and otherwise lets it end by itself, so a read held up by
// a stalled disk never holds up the window closing. The job must own (shared_ptr) all it touches.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform::playback {

class Worker {
public:
    // `job` runs on the new thread and returns soon after `stop` turns true.
    using Job = std::function<void(const std::atomic<bool>& stop)>;
    explicit Worker(Job job);
    // Asks the job to stop and waits for it at most `kLeaveAfter`.
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    static constexpr std::chrono::milliseconds kLeaveAfter{50};

    // Sets the stop flag; whoever wakes the job from its own waits does so after this.
    void requestStop();
    bool finished() const;

private:
    struct Shared {
        std::atomic<bool> stop{false};
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
    };
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace platform::playback
