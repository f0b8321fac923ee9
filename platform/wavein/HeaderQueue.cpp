// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/wavein/HeaderQueue.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>

namespace platform::wavein::detail {

MMRESULT validateFormat(const WAVEFORMATEX& format) {
    const bool valid = format.wFormatTag == WAVE_FORMAT_PCM &&
                       (format.wBitsPerSample == 16 || format.wBitsPerSample == 24) &&
                       (format.nChannels == 1 || format.nChannels == 2) && format.nSamplesPerSec >= 8000 &&
                       format.nSamplesPerSec <= 192000 &&
                       format.nBlockAlign == format.nChannels * (format.wBitsPerSample / 8) &&
                       format.nAvgBytesPerSec == format.nSamplesPerSec * format.nBlockAlign;
    return valid ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

void ErrorReasons::set(MMRESULT status, std::string text) {
    std::lock_guard lock(mutex_);
    texts_[status] = std::move(text);
}

std::string ErrorReasons::text(MMRESULT status) const {
    std::lock_guard lock(mutex_);
    const auto found = texts_.find(status);
    return found != texts_.end() ? found->second : standardErrorText(status);
}

HeaderQueue::HeaderQueue(WaveInDevice* device, QObject* notify, std::uint32_t blockAlign)
    : device_(device), notify_(notify), blockAlign_(blockAlign) {}

MMRESULT HeaderQueue::prepare(WAVEHDR& header) {
    header.dwFlags.fetch_or(WHDR_PREPARED, std::memory_order_relaxed);
    return MMSYSERR_NOERROR;
}

MMRESULT HeaderQueue::unprepare(WAVEHDR& header) {
    if ((header.dwFlags.load(std::memory_order_acquire) & WHDR_INQUEUE) != 0) {
        return WAVERR_STILLPLAYING;
    }
    header.dwFlags.fetch_and(~WHDR_PREPARED, std::memory_order_relaxed);
    return MMSYSERR_NOERROR;
}

MMRESULT HeaderQueue::add(WAVEHDR& header) {
    const std::uint32_t flags = header.dwFlags.load(std::memory_order_acquire);
    if ((flags & WHDR_PREPARED) == 0) {
        return WAVERR_UNPREPARED;
    }
    // Queueing a buffer twice would let the device fill it twice and lose its place in the order.
    if ((flags & WHDR_INQUEUE) != 0) {
        return WAVERR_STILLPLAYING;
    }
    if (header.lpData == nullptr || capacity(header) == 0) {
        return MMSYSERR_INVALPARAM;
    }
    header.dwBytesRecorded = 0;
    header.dwFlags.store((flags & ~WHDR_DONE) | WHDR_INQUEUE, std::memory_order_release);
    queue_.push_back(&header);
    return MMSYSERR_NOERROR;
}

std::uint32_t HeaderQueue::capacity(const WAVEHDR& header) const {
    return header.dwBufferLength - header.dwBufferLength % blockAlign_;
}

std::span<std::byte> HeaderQueue::space() {
    if (queue_.empty()) {
        return {};
    }
    WAVEHDR& front = *queue_.front();
    return {front.lpData + front.dwBytesRecorded, capacity(front) - front.dwBytesRecorded};
}

void HeaderQueue::commit(std::size_t bytes) {
    if (queue_.empty()) {
        return;
    }
    WAVEHDR& front = *queue_.front();
    front.dwBytesRecorded += static_cast<std::uint32_t>(bytes);
    if (front.dwBytesRecorded >= capacity(front)) {
        queue_.pop_front();
        complete(front);
    }
}

std::size_t HeaderQueue::fill(const std::byte* data, std::size_t bytes) {
    bytes -= bytes % blockAlign_;
    std::size_t taken = 0;
    while (taken < bytes && !queue_.empty()) {
        const std::span<std::byte> room = space();
        const std::size_t n = std::min(room.size(), bytes - taken);
        if (data != nullptr) {
            std::memcpy(room.data(), data + taken, n);
        } else {
            std::memset(room.data(), 0, n);
        }
        taken += n;
        commit(n);
    }
    return taken;
}

void HeaderQueue::completePartial() {
    if (!queue_.empty() && queue_.front()->dwBytesRecorded > 0) {
        WAVEHDR& front = *queue_.front();
        queue_.pop_front();
        complete(front);
    }
}

void HeaderQueue::returnAll() {
    while (!queue_.empty()) {
        WAVEHDR& front = *queue_.front();
        queue_.pop_front();
        complete(front);
    }
}

void HeaderQueue::complete(WAVEHDR& header) {
    // One atomic step with release ordering: whoever sees DONE also sees the bytes and the count.
    std::uint32_t flags = header.dwFlags.load(std::memory_order_relaxed);
    while (!header.dwFlags.compare_exchange_weak(flags, (flags & ~WHDR_INQUEUE) | WHDR_DONE,
                                                 std::memory_order_release, std::memory_order_relaxed)) {
    }
    if (notify_ != nullptr) {
        QCoreApplication::postEvent(notify_, new WimDataEvent(device_, &header));
    }
}

Backlog::Backlog(std::uint32_t blockAlign, std::size_t capacityBytes)
    : blockAlign_(blockAlign), capacity_(capacityBytes - capacityBytes % blockAlign) {}

void Backlog::take(HeaderQueue& queue, const std::byte* data, std::size_t bytes, bool deliver) {
    bytes -= bytes % blockAlign_;
    std::size_t done = 0;
    if (deliver) {
        feed(queue);
        if (empty()) {
            done = queue.fill(data, bytes);
            framesKept_ += done / blockAlign_;
        }
    }
    const std::size_t room = capacity_ - size_;
    const std::size_t kept = std::min(room, bytes - done);
    keep(data + done, kept);
    if (done + kept < bytes) {
        lose(bytes - done - kept);
    }
}

void Backlog::lose(std::size_t bytes) {
    const std::uint64_t frames = bytes / blockAlign_;
    if (frames == 0) {
        return;
    }
    // One stretch of loss, however many pieces it arrived in, is one overrun.
    if (!overruns_.empty() && overruns_.back().atFrame == framesKept_) {
        overruns_.back().frames += frames;
    } else {
        overruns_.push_back({framesKept_, frames});
    }
}

void Backlog::keep(const std::byte* data, std::size_t bytes) {
    if (bytes == 0) {
        return;
    }
    if (ring_.size() < size_ + bytes) {
        // Grown in steps (doubling), laid out straight again from the oldest byte.
        std::vector<std::byte> grown(std::min(capacity_, std::max(ring_.size() * 2, size_ + bytes)));
        for (std::size_t i = 0; i < size_; ++i) {
            grown[i] = ring_[(head_ + i) % ring_.size()];
        }
        ring_ = std::move(grown);
        head_ = 0;
    }
    for (std::size_t i = 0; i < bytes;) {
        const std::size_t at = (head_ + size_ + i) % ring_.size();
        const std::size_t n = std::min(bytes - i, ring_.size() - at);
        std::memcpy(ring_.data() + at, data + i, n);
        i += n;
    }
    size_ += bytes;
    framesKept_ += bytes / blockAlign_;
}

void Backlog::feed(HeaderQueue& queue) {
    while (size_ > 0 && !queue.empty()) {
        const std::size_t run = std::min(size_, ring_.size() - head_);
        const std::size_t n = queue.fill(ring_.data() + head_, run);
        if (n == 0) {
            break;
        }
        head_ = (head_ + n) % ring_.size();
        size_ -= n;
    }
    if (size_ == 0) {
        head_ = 0;
    }
}

MMRESULT addAfterSourceLost(HeaderQueue& queue, Backlog& backlog, WAVEHDR& header) {
    if (backlog.empty()) {
        return MMSYSERR_NODRIVER;
    }
    const MMRESULT result = queue.add(header);
    if (result == MMSYSERR_NOERROR) {
        backlog.feed(queue);
        queue.returnAll();
    }
    return result;
}

}  // namespace platform::wavein::detail
