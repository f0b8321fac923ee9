// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A wave-input service without sound hardware, for tests and benchmarks: audio comes from a
// generator or a file, paced in real time, as fast as buffers are queued, or by hand; faults can be
// injected on open, on add and in the middle of a take. It follows the same queue, reset and close
// rules as the PulseAudio backend.

#include "platform/wavein/WaveIn.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace platform::wavein {

struct SimulatedSource {
    enum class Kind { Silence, Sine, Counter, File } kind = Kind::Silence;
    double frequency = 440.0;  // Sine
    double amplitude = 0.5;    // Sine, of full scale
    // Counter: sample of frame n (counted from the device's open) is (int16)(n & 0xFFFF) in every
    // channel, so tests can prove order and completeness of captured audio exactly.
    // File: raw interleaved s16le in the device's format, or a .wav whose data chunk is used as
    // such (its own fmt is not looked at); it loops. An unreadable or empty file fails the open.
    std::string path;

    // Shorthands; designated initializers that leave members out trip -Wmissing-field-initializers.
    static SimulatedSource silence() { return {}; }
    static SimulatedSource sine(double frequency = 440.0, double amplitude = 0.5) {
        SimulatedSource s;
        s.kind = Kind::Sine, s.frequency = frequency, s.amplitude = amplitude;
        return s;
    }
    static SimulatedSource counter() {
        SimulatedSource s;
        s.kind = Kind::Counter;
        return s;
    }
    static SimulatedSource file(std::string path) {
        SimulatedSource s;
        s.kind = Kind::File, s.path = std::move(path);
        return s;
    }
};

enum class Pacing { RealTime, AsFastAsPossible, Manual };

struct SimulatedFaults {
    MMRESULT openStatus = MMSYSERR_NOERROR;  // non-zero: open fails with it
    // Asked on every addBuffer with the header and the 1-based count of addBuffer calls on this
    // device; a non-zero result refuses the buffer with that status (header untouched otherwise).
    std::function<MMRESULT(const WAVEHDR&, int addCall)> addBuffer;
    // The source dies after putting out this many bytes (delivered or dropped, rounded down to whole
    // frames): the partly filled buffer and every queued buffer come back done (bytes recorded so
    // far) with one notification each, and every later addBuffer and start fail with
    // MMSYSERR_NODRIVER.
    std::optional<std::uint64_t> dieAfterBytes;

    static SimulatedFaults failOpen(MMRESULT status) {
        SimulatedFaults f;
        f.openStatus = status;
        return f;
    }
    static SimulatedFaults refuseAdd(std::function<MMRESULT(const WAVEHDR&, int addCall)> rule) {
        SimulatedFaults f;
        f.addBuffer = std::move(rule);
        return f;
    }
    static SimulatedFaults dieAfter(std::uint64_t bytes) {
        SimulatedFaults f;
        f.dieAfterBytes = bytes;
        return f;
    }
};

class SimulatedWaveIn final : public WaveIn {
public:
    SimulatedWaveIn(SimulatedSource source, Pacing pacing, SimulatedFaults faults = {});
    ~SimulatedWaveIn() override;
    SimulatedWaveIn(const SimulatedWaveIn&) = delete;
    SimulatedWaveIn& operator=(const SimulatedWaveIn&) = delete;

    // One device at a time: a second open while one is open fails with MMSYSERR_ALLOCATED.
    // `notify` may be null (no notifications are posted then).
    MMRESULT open(std::unique_ptr<WaveInDevice>& device, const WAVEFORMATEX& format,
                  QObject* notify) override;
    std::string errorText(MMRESULT status) const override;

    // Like a sound server's stream, devices opened from now on keep up to `length` of audio that
    // arrives while no buffer is queued (real-time and manual pacing) and hand it over in order when
    // buffers come; only what does not fit is dropped and counted as an overrun. None by default.
    void setBacklog(std::chrono::milliseconds length);

    // Like a source that holds sound back: a started device, not paused, told where its take ends
    // (endAt) says the end's sound is still to come, goes on taking what is produced, and posts the
    // end (TakeEndEvent) at endArrives(). Off by default: the end is there at once.
    void setEndHeldBack(bool held);
    // The sound up to the end has come; false when no device waits for it.
    bool endArrives();

    // Manual pacing: fills up to `bytes` (whole frames) of the source into the queued buffers now, on
    // the calling thread, in queue order, posting one notification per completed buffer, and then
    // into the backlog. Returns the bytes consumed (it stops early when neither has room).
    // 0 when no device is open/started.
    std::size_t produce(std::size_t bytes);
    // Manual pacing: the source puts out `bytes` (whole frames) that reach no buffer, as a server
    // that skipped them; counted as one loss where they would have gone. 0 when no device is
    // open/started.
    std::size_t lose(std::size_t bytes);

    // Counts are of calls made, whether they succeeded or not; bytesProduced went into buffers or
    // the backlog, bytesDropped was lost because neither had room (real-time pacing only). `open` and
    // `started` describe the device now open, if any.
    struct Stats {
        int opens = 0, adds = 0, resets = 0, stops = 0, closes = 0;
        std::uint64_t bytesProduced = 0, bytesDropped = 0;
        bool open = false, started = false;
        int starts = 0;
    };
    Stats stats() const;  // thread-safe

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace platform::wavein
