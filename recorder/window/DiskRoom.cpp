// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/DiskRoom.h"

#include "platform/files/FileTools.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

// Shared with the thread that asks: a reading that never comes back holds only this.
struct DiskRoom::Request {
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    std::optional<std::uint64_t> free;
};

DiskRoom::DiskRoom(QString folder, Query query, Clock clock)
    : folder_(std::move(folder)),
      query_(query ? std::move(query) : Query(&platform::files::freeBytesAt)),
      clock_(std::move(clock)) {}

// A reading still on its way finishes on its own thread, whenever the file system answers.
DiskRoom::~DiskRoom() = default;

void DiskRoom::ask(std::uint64_t written) {
    if (asked_) {
        // The last question is still unanswered: asking again would only leave another thread hanging.
        return;
    }
    auto request = std::make_shared<Request>();
    try {
        std::thread([request, query = query_, folder = folder_] {
            auto free = query(folder);
            const std::lock_guard lock(request->mutex);
            request->free = free;
            request->done = true;
            request->answered.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to ask on: the room stays as last known.
        return;
    }
    asked_ = std::move(request);
    askedFor_ = {.free = 0, .take = take_, .writtenAt = written};
    askedAt_ = clock_();
}

void DiskRoom::collect() {
    if (!asked_) {
        return;
    }
    const std::lock_guard lock(asked_->mutex);
    if (!asked_->done) {
        return;
    }
    if (asked_->free) {
        last_ = askedFor_;
        last_->free = *asked_->free;
    }
    asked_.reset();
}

namespace {

std::optional<long long> seconds(std::optional<std::uint64_t> bytes, std::uint32_t bytesPerSecond) {
    if (!bytes || bytesPerSecond == 0) {
        return std::nullopt;
    }
    return static_cast<long long>(*bytes / bytesPerSecond);
}

}  // namespace

std::optional<long long> DiskRoom::beforeTake(std::uint32_t bytesPerSecond,
                                              std::chrono::milliseconds patience) {
    ++take_;
    collect();
    ask(0);
    if (asked_) {
        std::unique_lock lock(asked_->mutex);
        asked_->answered.wait_for(lock, patience, [this] { return asked_->done; });
    }
    collect();
    return seconds(last_ ? std::optional(last_->free) : std::nullopt, bytesPerSecond);
}

std::optional<long long> DiskRoom::duringTake(std::uint64_t written, std::uint32_t bytesPerSecond) {
    collect();
    if (!askedAt_ || clock_() - *askedAt_ >= kReadEvery) {
        ask(written);
    }
    if (!last_) {
        return std::nullopt;
    }
    // A reading from before this take knows nothing of what it wrote.
    if (last_->take != take_ || written < last_->writtenAt) {
        return seconds(last_->free, bytesPerSecond);
    }
    const std::uint64_t since = written - last_->writtenAt;
    return seconds(last_->free > since ? last_->free - since : 0, bytesPerSecond);
}
