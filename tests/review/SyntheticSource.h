// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A frame source computed rather than read, for the waveform's tests: any length at no cost, and
// reads that can be held up, as a slow disk would, and counted.

#include "ReviewTakes.h"
#include "platform/playback/FrameSource.h"

#include <atomic>
#include <climits>
#include <condition_variable>
#include <mutex>

namespace reviewtest {

class SyntheticSource final : public platform::playback::FrameSource {
public:
    SyntheticSource(platform::playback::Format format, std::uint64_t frames, Sound sound)
        : format_(format), frames_(frames), sound_(std::move(sound)) {}

    platform::playback::Format format() const override { return format_; }
    std::uint64_t frames() const override { return frames_; }
    void readInt32(std::uint64_t from, std::uint64_t to, std::int32_t* out) const override {
        {
            std::unique_lock lock(mutex_);
            ++started_;
            changed_.notify_all();
            changed_.wait(lock, [&] { return passes_ > 0; });
            if (passes_ != kUnlimited) {
                --passes_;
            }
        }
        for (std::uint64_t f = from; f < std::min(to, frames_); ++f) {
            for (int c = 0; c < format_.channels; ++c) {
                *out++ = sound_ ? sound_(f, c) : 0;
            }
        }
    }

    // Reads that begin from now on wait, until let through one by one (pass) or all (release).
    void hold() {
        const std::lock_guard lock(mutex_);
        passes_ = 0;
    }
    void pass(int reads) {
        const std::lock_guard lock(mutex_);
        passes_ = reads;
        changed_.notify_all();
    }
    void release() { pass(kUnlimited); }
    int readsStarted() const {
        const std::lock_guard lock(mutex_);
        return started_;
    }
    // Waits until `count` reads have begun.
    void awaitReads(int count) const {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return started_ >= count; });
    }

private:
    const platform::playback::Format format_;
    const std::uint64_t frames_;
    const Sound sound_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    static constexpr int kUnlimited = INT_MAX;
    mutable int started_ = 0;
    mutable int passes_ = kUnlimited;
};

}  // namespace reviewtest
