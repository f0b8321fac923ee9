// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Pieces every wave-input backend shares: the format check, the per-status reason texts, and the
// queue of capture buffers with its hand-over rules. Internal to platform/wavein; the queue is not
// locked itself, each backend guards it with its own lock.

#include "platform/wavein/WaveIn.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace platform::wavein::detail {

// WAVERR_BADFORMAT unless `format` is 16- or 24-bit PCM, 1 or 2 channels, 8000..192000 Hz, with a block
// align and average byte rate that agree with those.
MMRESULT validateFormat(const WAVEFORMATEX& format);

// The last reason text given for each status; thread-safe. Shared by a service and its devices, so
// a device that fails after its service is gone still has somewhere to put the reason.
class ErrorReasons {
public:
    void set(MMRESULT status, std::string text);
    // The stored reason, or standardErrorText when none was stored.
    std::string text(MMRESULT status) const;

private:
    mutable std::mutex mutex_;
    std::map<MMRESULT, std::string> texts_;
};

// The device's queue of capture buffers. Buffers are filled strictly front first, with whole frames
// only; a finished buffer leaves the queue marked done and one notification is posted for it.
class HeaderQueue {
public:
    // `notify` may be null: buffers are then completed without notifications.
    HeaderQueue(WaveInDevice* device, QObject* notify, std::uint32_t blockAlign);

    static MMRESULT prepare(WAVEHDR& header);
    // WAVERR_STILLPLAYING while the buffer is queued.
    static MMRESULT unprepare(WAVEHDR& header);
    // Checks the header (prepared, not already queued, room for one frame) and queues it.
    MMRESULT add(WAVEHDR& header);

    bool empty() const { return queue_.empty(); }
    std::size_t size() const { return queue_.size(); }
    std::uint32_t blockAlign() const { return blockAlign_; }

    // The free whole-frame room of the front buffer; empty when nothing is queued.
    std::span<std::byte> space();
    // Records `bytes` (whole frames) written into space(); completes the front buffer once full.
    void commit(std::size_t bytes);
    // Copies whole frames of `data` (silence when null) into the queued buffers in order.
    // Returns the bytes taken, less than offered only when the queue ran out of room.
    std::size_t fill(const std::byte* data, std::size_t bytes);
    // Completes the front buffer with what it holds, if it holds anything.
    void completePartial();
    // Completes every queued buffer in queue order, each with what it holds.
    void returnAll();

private:
    void complete(WAVEHDR& header);
    std::uint32_t capacity(const WAVEHDR& header) const;

    WaveInDevice* device_;
    QObject* notify_;
    std::uint32_t blockAlign_;
    std::deque<WAVEHDR*> queue_;
};

// Audio that arrived while no capture buffer had room, kept in arrival order up to a capacity, and
// the record of what did not fit. Not locked itself, like the queue it feeds.
class Backlog {
public:
    Backlog(std::uint32_t blockAlign, std::size_t capacityBytes);

    // Whole frames of `data` from the source: into the queued buffers when `deliver` (after what is
    // kept, which goes first), otherwise or beyond their room kept; what does not fit is lost.
    void take(HeaderQueue& queue, const std::byte* data, std::size_t bytes, bool deliver);
    // Frames the source skipped or that could not be kept at all.
    void lose(std::size_t bytes);
    // Frames that went into the queued buffers by another way than take().
    void delivered(std::size_t bytes) { framesKept_ += bytes / blockAlign_; }
    // Moves what is kept into the queued buffers, oldest first.
    void feed(HeaderQueue& queue);
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    void clear() { head_ = size_ = 0; }
    const std::vector<Overrun>& overruns() const { return overruns_; }

private:
    void keep(const std::byte* data, std::size_t bytes);

    std::uint32_t blockAlign_;
    std::size_t capacity_;
    std::vector<std::byte> ring_;  // grows on demand up to the capacity
    std::size_t head_ = 0;
    std::size_t size_ = 0;
    std::uint64_t framesKept_ = 0;  // handed over or kept since the start
    std::vector<Overrun> overruns_;
};

// What a device whose source is gone does with a buffer queued to it: fills it from the backlog and
// hands it back at once, or refuses it with MMSYSERR_NODRIVER once the backlog is empty.
MMRESULT addAfterSourceLost(HeaderQueue& queue, Backlog& backlog, WAVEHDR& header);

}  // namespace platform::wavein::detail
