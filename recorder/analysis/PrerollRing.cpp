// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/analysis/PrerollRing.h"

#include <algorithm>
#include <cstring>

namespace analysis {

PrerollRing::PrerollRing(std::size_t bytesPerFrame, std::int64_t capacityFrames)
    : frameBytes_(std::max<std::size_t>(bytesPerFrame, 1)),
      capacity_(std::max<std::int64_t>(capacityFrames, 1)),
      bytes_(std::make_unique<std::byte[]>(static_cast<std::size_t>(capacity_) * frameBytes_)) {}

void PrerollRing::push(std::span<const std::byte> frames) {
    auto count = static_cast<std::int64_t>(frames.size() / frameBytes_);
    if (count == 0) {
        return;
    }
    const std::byte* data = frames.data();
    end_ += count;
    if (count > capacity_) {
        data += static_cast<std::size_t>(count - capacity_) * frameBytes_;
        count = capacity_;
    }
    // The frames go where their stream positions fall in the ring.
    const std::int64_t at = (end_ - count) % capacity_;
    const std::int64_t first = std::min(count, capacity_ - at);
    std::memcpy(bytes_.get() + static_cast<std::size_t>(at) * frameBytes_, data,
                static_cast<std::size_t>(first) * frameBytes_);
    std::memcpy(bytes_.get(), data + static_cast<std::size_t>(first) * frameBytes_,
                static_cast<std::size_t>(count - first) * frameBytes_);
    held_ = std::min(capacity_, held_ + count);
}

std::optional<std::array<std::span<const std::byte>, 2>> PrerollRing::frames(std::int64_t from,
                                                                             std::int64_t to) const {
    if (from < firstFrame() || to > end_ || from > to) {
        return std::nullopt;
    }
    const std::int64_t at = from % capacity_;
    const std::int64_t count = to - from;
    const std::int64_t first = std::min(count, capacity_ - at);
    return std::array<std::span<const std::byte>, 2>{
        std::span<const std::byte>(bytes_.get() + static_cast<std::size_t>(at) * frameBytes_,
                                   static_cast<std::size_t>(first) * frameBytes_),
        std::span<const std::byte>(bytes_.get(), static_cast<std::size_t>(count - first) * frameBytes_)};
}

}  // namespace analysis
