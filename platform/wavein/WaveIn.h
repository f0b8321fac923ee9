// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The wave-input layer: capture buffers handed to a device, filled in queue order by the device's
// own thread, and reported to a notification object on the GUI thread. Status 0 means success.

#include <QEvent>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QObject;

namespace platform::wavein {

using MMRESULT = std::uint32_t;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;        // unspecified failure
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;  // no such device
inline constexpr MMRESULT MMSYSERR_ALLOCATED = 4;    // device already in use
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;  // device closed or never opened
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;     // no sound server / device lost
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT WAVERR_BADFORMAT = 32;     // format not supported
inline constexpr MMRESULT WAVERR_STILLPLAYING = 33;  // buffer still queued
inline constexpr MMRESULT WAVERR_UNPREPARED = 34;    // header not prepared

inline constexpr std::uint32_t WHDR_DONE = 0x00000001;
inline constexpr std::uint32_t WHDR_PREPARED = 0x00000002;
inline constexpr std::uint32_t WHDR_INQUEUE = 0x00000010;

inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr int MM_WIM_DATA = 0x3C0;

// The 18-byte format record; its bytes are also the take file's fmt chunk body.
#pragma pack(push, 1)
struct WAVEFORMATEX {
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "the format record is written byte for byte");

// A capture buffer header. The device thread writes dwBytesRecorded, then sets WHDR_DONE in
// dwFlags with release ordering, then posts the notification; the GUI thread reads dwFlags with
// acquire ordering before it touches lpData or dwBytesRecorded.
struct WAVEHDR {
    std::byte* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uint32_t dwBytesRecorded = 0;
    std::uintptr_t dwUser = 0;
    std::atomic<std::uint32_t> dwFlags{0};
    std::uint32_t dwLoops = 0;

    bool isDone() const { return (dwFlags.load(std::memory_order_acquire) & WHDR_DONE) != 0; }
};

class WaveInDevice;

// Audio the device had to throw away because no capture buffer was queued and its backlog was full
// (the window fell that far behind), or because the sound server skipped it. `atFrame` counts the
// frames the device kept before the loss, so it is where the gap lies in what was handed over.
struct Overrun {
    std::uint64_t atFrame = 0;
    std::uint64_t frames = 0;
    bool operator==(const Overrun&) const = default;
};

// Posted to the notification object once for every buffer the device marks done
// (including buffers returned by reset). Delivered on the object's thread.
class WimDataEvent : public QEvent {
public:
    WimDataEvent(WaveInDevice* device, WAVEHDR* header);
    static QEvent::Type eventType();

    WaveInDevice* device() const { return device_; }
    WAVEHDR* header() const { return header_; }

private:
    WaveInDevice* device_;
    WAVEHDR* header_;
};

// Posted to the notification object once a device that was told where its take ends (endAt) has
// brought the sound heard up to then, or has given up waiting for it. Delivered on the object's thread.
class TakeEndEvent : public QEvent {
public:
    explicit TakeEndEvent(WaveInDevice* device);
    static QEvent::Type eventType();

    WaveInDevice* device() const { return device_; }

private:
    WaveInDevice* device_;
};

// An open wave-input device (the handle). Every call is made on the GUI thread.
class WaveInDevice {
public:
    virtual ~WaveInDevice() = default;

    virtual MMRESULT prepareHeader(WAVEHDR& header) = 0;
    // Queues a prepared buffer at the end of the device's queue; clears WHDR_DONE, sets WHDR_INQUEUE.
    // Audio the device keeps in its backlog goes into it first. A device that lost its source takes
    // buffers only while its backlog holds audio, and hands them back at once; then MMSYSERR_NODRIVER.
    virtual MMRESULT addBuffer(WAVEHDR& header) = 0;
    virtual MMRESULT start() = 0;
    // Stops input and returns every queued buffer as done, in queue order, the partly filled one
    // with the bytes recorded so far. When it returns, no queued buffer remains. Audio received
    // before the reset that did not fit stays in the backlog and fills buffers queued afterwards,
    // so a caller that queues buffers until one comes back empty has everything. Neither it nor
    // any other call waits on the device's source or server.
    virtual MMRESULT reset() = 0;
    virtual MMRESULT stop() = 0;
    // Holds a started device: audio heard from `at` on (the press, steady clock) goes nowhere,
    // neither into buffers nor into the backlog, and is not counted as lost; audio heard before it
    // still arrives. The queued buffers stay queued, the partly filled one where it was, so nothing
    // is returned early. A device without a clock of its source pauses at the call.
    virtual MMRESULT pause(std::chrono::steady_clock::time_point at) = 0;
    // Takes audio again from what was heard at `at` on, into the buffer the pause left partly
    // filled. Reset, stop and close end a pause as well.
    virtual MMRESULT resume(std::chrono::steady_clock::time_point at) = 0;
    virtual MMRESULT unprepareHeader(WAVEHDR& header) = 0;
    // After close the device posts nothing more (nothing it posted is delivered) and touches no header.
    virtual MMRESULT close() = 0;
    // Every loss since the open, in order.
    virtual std::vector<Overrun> overruns() const = 0;

    // The instants (steady clock) a take begins and ends, the press and the release of the toggle.
    // A device that knows when each frame reached its source leaves out what was heard before the
    // beginning, given before start(), and what comes after the end. Given the end, it returns at
    // once: true when sound heard before the end is still on its way, and then posts a TakeEndEvent
    // once it has arrived (or the source, having held back longer than it said it would, or the
    // server, silent beyond its time limit, is given up on; the latter as a lost source), and goes on
    // filling buffers until then. False when there is nothing to wait for: the caller may reset at
    // once. A device without such a clock records from start() to reset(), as it always did.
    virtual void beginAt(std::chrono::steady_clock::time_point) {}
    virtual bool endAt(std::chrono::steady_clock::time_point) { return false; }
    // Where the sound heard at `instant` (a press, steady clock) lies among the frames this device
    // hands over for its take: 0 is the first frame after the beginning, frames lost to overruns are
    // not counted, and a paused take gives the frame where it paused. Nothing when no take runs or
    // when the device has no clock of its source; the caller then counts what has come.
    virtual std::optional<std::uint64_t> takeFrameHeardAt(std::chrono::steady_clock::time_point) {
        return std::nullopt;
    }
};

// A wave-input service: opens devices and describes statuses.
class WaveIn {
public:
    virtual ~WaveIn() = default;

    // Opens the default capture device in `format`; notifications go to `notify` (WimDataEvent).
    // On failure `device` stays empty and the status tells why.
    virtual MMRESULT open(std::unique_ptr<WaveInDevice>& device, const WAVEFORMATEX& format,
                          QObject* notify) = 0;
    // A sentence for the user. For failures reported by a sound server it carries the server's reason.
    virtual std::string errorText(MMRESULT status) const = 0;
};

// The text winmm-like statuses have when nothing more specific is known.
std::string standardErrorText(MMRESULT status);

}  // namespace platform::wavein
