// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SimulatedWaveIn.h"

#include "platform/wavein/HeaderQueue.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <mutex>
#include <numbers>
#include <stop_token>
#include <thread>
#include <vector>

namespace platform::wavein {

namespace {

using Clock = std::chrono::steady_clock;

// How often a real-time device wakes up to hand over the audio of the time that passed.
constexpr auto kRealTimeTick = std::chrono::milliseconds(5);

void putSample(std::byte* out, std::int16_t value) {
    const auto bits = static_cast<std::uint16_t>(value);
    out[0] = static_cast<std::byte>(bits & 0xFF);
    out[1] = static_cast<std::byte>(bits >> 8);
}

std::uint32_t readLe32(const std::vector<std::byte>& bytes, std::size_t at) {
    return std::to_integer<std::uint32_t>(bytes[at]) | std::to_integer<std::uint32_t>(bytes[at + 1]) << 8 |
           std::to_integer<std::uint32_t>(bytes[at + 2]) << 16 |
           std::to_integer<std::uint32_t>(bytes[at + 3]) << 24;
}

bool hasTag(const std::vector<std::byte>& bytes, std::size_t at, const char* tag) {
    return at + 4 <= bytes.size() && std::memcmp(bytes.data() + at, tag, 4) == 0;
}

// A RIFF/WAVE file yields its data chunk (cut to what the file really holds, since a take that was
// never finalised has provisional sizes); anything else is taken as raw samples.
std::vector<std::byte> audioBytesOf(std::vector<std::byte> file) {
    if (!hasTag(file, 0, "RIFF") || !hasTag(file, 8, "WAVE")) {
        return file;
    }
    std::size_t at = 12;
    while (at + 8 <= file.size()) {
        const std::uint64_t size = readLe32(file, at + 4);
        if (hasTag(file, at, "data")) {
            const std::size_t begin = at + 8;
            const std::size_t end =
                static_cast<std::size_t>(std::min<std::uint64_t>(begin + size, file.size()));
            return {file.begin() + static_cast<std::ptrdiff_t>(begin),
                    file.begin() + static_cast<std::ptrdiff_t>(end)};
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

// The audio the simulated device "hears", one frame after another.
class Generator {
public:
    // False (with a reason) when a file source cannot be used.
    bool setUp(const SimulatedSource& source, const WAVEFORMATEX& format, std::string& reason) {
        source_ = source;
        channels_ = format.nChannels;
        rate_ = format.nSamplesPerSec;
        if (source.kind != SimulatedSource::Kind::File) {
            return true;
        }
        std::ifstream in(source.path, std::ios::binary);
        if (!in) {
            reason = "Cannot read the simulated sound source " + source.path + ".";
            return false;
        }
        std::vector<char> raw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::vector<std::byte> bytes(raw.size());
        std::memcpy(bytes.data(), raw.data(), raw.size());
        file_ = audioBytesOf(std::move(bytes));
        // Only whole frames; a torn last frame would shift the channels on every loop.
        file_.erase(file_.end() - static_cast<std::ptrdiff_t>(file_.size() % format.nBlockAlign),
                    file_.end());
        if (file_.empty()) {
            reason = "The simulated sound source " + source.path + " holds no audio.";
            return false;
        }
        return true;
    }

    void render(std::byte* out, std::size_t frames) {
        const std::size_t bytes = frames * channels_ * 2;
        switch (source_.kind) {
            case SimulatedSource::Kind::Silence:
                std::memset(out, 0, bytes);
                break;
            case SimulatedSource::Kind::Counter:
                for (std::size_t f = 0; f < frames; ++f) {
                    const auto value =
                        static_cast<std::int16_t>(static_cast<std::uint16_t>((frame_ + f) & 0xFFFF));
                    for (unsigned c = 0; c < channels_; ++c) {
                        putSample(out + (f * channels_ + c) * 2, value);
                    }
                }
                break;
            case SimulatedSource::Kind::Sine:
                for (std::size_t f = 0; f < frames; ++f) {
                    // The phase is taken from the frame number itself, so no error accumulates.
                    const double cycles =
                        std::fmod(source_.frequency * static_cast<double>(frame_ + f), rate_);
                    const double v = std::round(source_.amplitude * 32767.0 *
                                                std::sin(2.0 * std::numbers::pi * cycles / rate_));
                    const auto value = static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0));
                    for (unsigned c = 0; c < channels_; ++c) {
                        putSample(out + (f * channels_ + c) * 2, value);
                    }
                }
                break;
            case SimulatedSource::Kind::File: {
                std::size_t done = 0;
                while (done < bytes) {
                    const std::size_t n = std::min(bytes - done, file_.size() - filePos_);
                    std::memcpy(out + done, file_.data() + filePos_, n);
                    done += n;
                    filePos_ = (filePos_ + n) % file_.size();
                }
                break;
            }
        }
        frame_ += frames;
    }

    void skip(std::uint64_t frames) {
        frame_ += frames;
        if (!file_.empty()) {
            const std::uint64_t bytes = (frames % file_.size()) * channels_ * 2;
            filePos_ = static_cast<std::size_t>((filePos_ + bytes) % file_.size());
        }
    }

private:
    SimulatedSource source_;
    unsigned channels_ = 1;
    double rate_ = 44100.0;
    std::uint64_t frame_ = 0;
    std::vector<std::byte> file_;
    std::size_t filePos_ = 0;
};

class SimulatedDevice;

}  // namespace

struct SimulatedWaveIn::State {
    State(SimulatedSource s, Pacing p, SimulatedFaults f)
        : source(std::move(s)), pacing(p), faults(std::move(f)) {}

    const SimulatedSource source;
    const Pacing pacing;
    const SimulatedFaults faults;
    detail::ErrorReasons reasons;

    // Guards everything below and every open device's queue and run state.
    mutable std::mutex mutex;
    std::condition_variable_any wake;
    Stats stats;
    std::chrono::milliseconds backlog{0};
    bool endHeldBack = false;
    SimulatedDevice* current = nullptr;  // the open device
};

namespace {

class SimulatedDevice final : public WaveInDevice {
public:
    SimulatedDevice(std::shared_ptr<SimulatedWaveIn::State> state, const WAVEFORMATEX& format,
                    QObject* notify, Generator generator)
        : state_(std::move(state)),
          notify_(notify),
          queue_(this, notify, format.nBlockAlign),
          backlog_(format.nBlockAlign, static_cast<std::size_t>(format.nAvgBytesPerSec *
                                                                static_cast<std::uint64_t>(state_->backlog.count()) /
                                                                1000)),
          generator_(std::move(generator)),
          rate_(format.nSamplesPerSec),
          blockAlign_(format.nBlockAlign) {}

    ~SimulatedDevice() override { close(); }
    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

    // Called once the device is registered as the service's open device.
    void launch() {
        switch (state_->pacing) {
            case Pacing::RealTime:
                thread_ = std::jthread([this](std::stop_token stop) { runRealTime(stop); });
                break;
            case Pacing::AsFastAsPossible:
                thread_ = std::jthread([this](std::stop_token stop) { runAsFastAsPossible(stop); });
                break;
            case Pacing::Manual:
                break;
        }
    }

    MMRESULT prepareHeader(WAVEHDR& header) override {
        std::lock_guard lock(state_->mutex);
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        return detail::HeaderQueue::prepare(header);
    }

    MMRESULT addBuffer(WAVEHDR& header) override {
        std::unique_lock lock(state_->mutex);
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        ++state_->stats.adds;
        const int addCall = ++addCalls_;
        if (dead_) {
            return detail::addAfterSourceLost(queue_, backlog_, header);
        }
        if (state_->faults.addBuffer) {
            // Asked without the lock, so the rule may look at the service (stats, produce).
            lock.unlock();
            const MMRESULT refused = state_->faults.addBuffer(header, addCall);
            lock.lock();
            if (refused != MMSYSERR_NOERROR) {
                return refused;
            }
            if (!open_) {
                return MMSYSERR_INVALHANDLE;
            }
            if (dead_) {
                return detail::addAfterSourceLost(queue_, backlog_, header);
            }
        }
        const MMRESULT result = queue_.add(header);
        if (result == MMSYSERR_NOERROR) {
            backlog_.feed(queue_);
            state_->wake.notify_all();
        }
        return result;
    }

    MMRESULT start() override {
        std::lock_guard lock(state_->mutex);
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        ++state_->stats.starts;
        if (dead_) {
            return MMSYSERR_NODRIVER;
        }
        if (!started_) {
            started_ = true;
            startedAt_ = Clock::now();
            framesTaken_ = 0;
            ++run_;
            backlog_.feed(queue_);
            state_->wake.notify_all();
        }
        return MMSYSERR_NOERROR;
    }

    MMRESULT reset() override {
        std::lock_guard lock(state_->mutex);
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        ++state_->stats.resets;
        catchUp();
        started_ = false;
        paused_ = false;
        awaitingEnd_ = false;
        ++run_;
        backlog_.feed(queue_);
        queue_.returnAll();
        return MMSYSERR_NOERROR;
    }

    MMRESULT stop() override {
        std::lock_guard lock(state_->mutex);
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        ++state_->stats.stops;
        catchUp();
        started_ = false;
        paused_ = false;
        ++run_;
        // Like a stopped sound card: the buffer being filled comes back, empty ones stay queued.
        queue_.completePartial();
        return MMSYSERR_NOERROR;
    }

    // Without a clock the device takes the end to be now: all that was heard of a paused take, or of
    // one whose source holds nothing back, has come.
    bool endAt(std::chrono::steady_clock::time_point) override {
        std::lock_guard lock(state_->mutex);
        if (!open_ || !started_ || paused_ || dead_ || !state_->endHeldBack) {
            return false;
        }
        awaitingEnd_ = true;
        return true;
    }

    // Expects the state's lock held.
    bool endArrivesLocked() {
        if (!awaitingEnd_) {
            return false;
        }
        awaitingEnd_ = false;
        if (notify_ != nullptr) {
            QCoreApplication::postEvent(notify_, new TakeEndEvent(this));
        }
        return true;
    }

    MMRESULT pause(std::chrono::steady_clock::time_point) override {
        std::lock_guard lock(state_->mutex);
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        if (!started_ || paused_ || dead_) {
            return MMSYSERR_NOERROR;
        }
        // What was heard until now still goes in.
        catchUp();
        paused_ = true;
        ++run_;
        state_->wake.notify_all();
        return MMSYSERR_NOERROR;
    }

    MMRESULT resume(std::chrono::steady_clock::time_point) override {
        std::lock_guard lock(state_->mutex);
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        if (!paused_) {
            return MMSYSERR_NOERROR;
        }
        paused_ = false;
        if (state_->pacing == Pacing::RealTime) {
            // The source ran on while nobody listened: the paused span is skipped, not owed.
            const std::uint64_t due = framesDue();
            if (due > framesTaken_) {
                generator_.skip(due - framesTaken_);
                framesTaken_ = due;
            }
        }
        ++run_;
        state_->wake.notify_all();
        return MMSYSERR_NOERROR;
    }

    MMRESULT unprepareHeader(WAVEHDR& header) override {
        std::lock_guard lock(state_->mutex);
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        return detail::HeaderQueue::unprepare(header);
    }

    // Buffers still queued come back done first, so no header is left marked as queued.
    MMRESULT close() override {
        {
            std::lock_guard lock(state_->mutex);
            if (!open_) {
                return MMSYSERR_INVALHANDLE;
            }
            ++state_->stats.closes;
            queue_.returnAll();
            backlog_.clear();
            open_ = false;
            started_ = false;
            paused_ = false;
            awaitingEnd_ = false;
            if (state_->current == this) {
                state_->current = nullptr;
            }
        }
        if (thread_.joinable()) {
            thread_.request_stop();
            thread_.join();
        }
        if (notify_ != nullptr) {
            QCoreApplication::removePostedEvents(notify_, TakeEndEvent::eventType());
        }
        return MMSYSERR_NOERROR;
    }

    // Expects the state's lock held.
    std::size_t produceLocked(std::size_t bytes) {
        if (!open_ || !started_ || dead_) {
            return 0;
        }
        if (paused_) {
            // Heard while paused: it passes by.
            bytes -= bytes % blockAlign_;
            generator_.skip(bytes / blockAlign_);
            return bytes;
        }
        return deliver(bytes);
    }

    std::size_t loseLocked(std::size_t bytes) {
        if (!open_ || !started_ || dead_ || paused_) {
            return 0;
        }
        bytes -= bytes % blockAlign_;
        drop(bytes);
        return bytes;
    }

    bool startedLocked() const { return started_; }

    std::vector<Overrun> overruns() const override {
        std::lock_guard lock(state_->mutex);
        return backlog_.overruns();
    }

    // No clock: the frame heard now is the next the source puts out, and a paused source puts out
    // nothing that counts.
    std::optional<std::uint64_t> takeFrameHeardAt(std::chrono::steady_clock::time_point) override {
        std::lock_guard lock(state_->mutex);
        if (!open_ || !started_ || dead_) {
            return std::nullopt;
        }
        catchUp();
        return keptBytes_ / blockAlign_;
    }

private:
    // Bytes the source may still put out before it dies, in whole frames.
    std::uint64_t lifeLeft() const {
        if (!state_->faults.dieAfterBytes) {
            return std::numeric_limits<std::uint64_t>::max();
        }
        const std::uint64_t limit = *state_->faults.dieAfterBytes;
        const std::uint64_t left = limit > sourceBytes_ ? limit - sourceBytes_ : 0;
        return left - left % blockAlign_;
    }

    void dieIfSpent() {
        if (!dead_ && lifeLeft() == 0) {
            dead_ = true;
            backlog_.feed(queue_);
            queue_.returnAll();
        }
    }

    // Fills queued buffers from the source, front first, up to `bytes`; returns what went in.
    std::size_t deliver(std::size_t bytes) {
        bytes -= bytes % blockAlign_;
        std::size_t delivered = 0;
        dieIfSpent();
        backlog_.feed(queue_);
        while (delivered < bytes && !dead_ && !queue_.empty() && backlog_.empty()) {
            const std::span<std::byte> room = queue_.space();
            std::size_t n = std::min(room.size(), bytes - delivered);
            n = static_cast<std::size_t>(std::min<std::uint64_t>(n, lifeLeft()));
            generator_.render(room.data(), n / blockAlign_);
            sourceBytes_ += n;
            keptBytes_ += n;
            state_->stats.bytesProduced += n;
            delivered += n;
            backlog_.delivered(n);
            queue_.commit(n);
            dieIfSpent();
        }
        // No buffer has room: the rest waits in the backlog as far as it has room.
        while (delivered < bytes && !dead_) {
            std::size_t n = std::min({bytes - delivered, backlogRoom(), scratch_.size()});
            n = static_cast<std::size_t>(std::min<std::uint64_t>(n, lifeLeft()));
            n -= n % blockAlign_;
            if (n == 0) {
                break;
            }
            generator_.render(scratch_.data(), n / blockAlign_);
            sourceBytes_ += n;
            keptBytes_ += n;
            state_->stats.bytesProduced += n;
            delivered += n;
            backlog_.take(queue_, scratch_.data(), n, false);
            dieIfSpent();
        }
        return delivered;
    }

    std::size_t backlogRoom() const { return backlog_.capacity() - backlog_.size(); }

    // Audio of time that passed with no buffer queued is lost, as on a real overrun.
    void drop(std::uint64_t bytes) {
        bytes = std::min(bytes, lifeLeft());
        generator_.skip(bytes / blockAlign_);
        sourceBytes_ += bytes;
        state_->stats.bytesDropped += bytes;
        backlog_.lose(static_cast<std::size_t>(bytes));
        dieIfSpent();
    }

    // Real-time frames the source has put out since the start.
    std::uint64_t framesDue() const {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - startedAt_).count();
        const auto ns = static_cast<std::uint64_t>(std::max<std::int64_t>(elapsed, 0));
        // Whole seconds and the rest apart, so the product cannot overflow in a long take.
        return ns / 1'000'000'000 * rate_ + ns % 1'000'000'000 * rate_ / 1'000'000'000;
    }

    // Real-time pacing: hands over the audio of the time since the last hand-over.
    void catchUp() {
        if (state_->pacing != Pacing::RealTime || !started_ || paused_ || dead_) {
            return;
        }
        const std::uint64_t due = framesDue();
        if (due <= framesTaken_) {
            return;
        }
        const std::uint64_t owed = (due - framesTaken_) * blockAlign_;
        framesTaken_ = due;
        const std::size_t delivered = deliver(static_cast<std::size_t>(owed));
        if (delivered < owed && !dead_) {
            drop(owed - delivered);
        }
    }

    void runRealTime(std::stop_token stop) {
        std::unique_lock lock(state_->mutex);
        while (!stop.stop_requested()) {
            if (!started_ || paused_ || dead_) {
                state_->wake.wait(lock, stop, [this] { return started_ && !paused_ && !dead_; });
                continue;
            }
            catchUp();
            const std::uint64_t run = run_;
            // The next wake-up is counted from the start, so the pace does not drift.
            const auto sinceStart = Clock::now() - startedAt_;
            const auto ticks = sinceStart / kRealTimeTick + 1;
            const auto next = startedAt_ + ticks * kRealTimeTick;
            state_->wake.wait_until(lock, stop, next, [this, run] { return run_ != run; });
        }
    }

    void runAsFastAsPossible(std::stop_token stop) {
        std::unique_lock lock(state_->mutex);
        while (!stop.stop_requested()) {
            if (!state_->wake.wait(lock, stop,
                                   [this] { return started_ && !paused_ && !dead_ && !queue_.empty(); })) {
                break;
            }
            deliver(std::numeric_limits<std::size_t>::max());
        }
    }

    std::shared_ptr<SimulatedWaveIn::State> state_;
    QObject* notify_;
    detail::HeaderQueue queue_;
    detail::Backlog backlog_;
    std::vector<std::byte> scratch_ = std::vector<std::byte>(64 * 1024);
    Generator generator_;
    const std::uint32_t rate_;
    const std::uint32_t blockAlign_;
    bool open_ = true;
    bool started_ = false;
    bool paused_ = false;
    bool dead_ = false;
    bool awaitingEnd_ = false;
    int addCalls_ = 0;
    std::uint64_t sourceBytes_ = 0;  // put out by the source, delivered or dropped
    std::uint64_t keptBytes_ = 0;    // put out by the source and handed over (or in the backlog)
    Clock::time_point startedAt_;
    std::uint64_t framesTaken_ = 0;  // real-time frames handed over (or dropped) since the start
    std::uint64_t run_ = 0;          // changes on every start and stop, to wake the paced thread
    std::jthread thread_;            // last member: stopped before anything it uses goes away
};

}  // namespace

SimulatedWaveIn::SimulatedWaveIn(SimulatedSource source, Pacing pacing, SimulatedFaults faults)
    : state_(std::make_shared<State>(std::move(source), pacing, std::move(faults))) {}

SimulatedWaveIn::~SimulatedWaveIn() = default;

MMRESULT SimulatedWaveIn::open(std::unique_ptr<WaveInDevice>& device, const WAVEFORMATEX& format,
                               QObject* notify) {
    device.reset();
    std::lock_guard lock(state_->mutex);
    ++state_->stats.opens;
    if (state_->faults.openStatus != MMSYSERR_NOERROR) {
        return state_->faults.openStatus;
    }
    if (state_->current != nullptr) {
        return MMSYSERR_ALLOCATED;
    }
    if (const MMRESULT result = detail::validateFormat(format); result != MMSYSERR_NOERROR) {
        return result;
    }
    Generator generator;
    if (std::string reason; !generator.setUp(state_->source, format, reason)) {
        state_->reasons.set(MMSYSERR_NODRIVER, reason);
        return MMSYSERR_NODRIVER;
    }
    auto opened = std::make_unique<SimulatedDevice>(state_, format, notify, std::move(generator));
    state_->current = opened.get();
    // The paced thread waits for the lock held here, so it sees the device registered.
    opened->launch();
    device = std::move(opened);
    return MMSYSERR_NOERROR;
}

void SimulatedWaveIn::setBacklog(std::chrono::milliseconds length) {
    std::lock_guard lock(state_->mutex);
    state_->backlog = length;
}

void SimulatedWaveIn::setEndHeldBack(bool held) {
    std::lock_guard lock(state_->mutex);
    state_->endHeldBack = held;
}

bool SimulatedWaveIn::endArrives() {
    std::lock_guard lock(state_->mutex);
    return state_->current != nullptr && state_->current->endArrivesLocked();
}

std::string SimulatedWaveIn::errorText(MMRESULT status) const {
    return state_->reasons.text(status);
}

std::size_t SimulatedWaveIn::produce(std::size_t bytes) {
    std::lock_guard lock(state_->mutex);
    return state_->current != nullptr ? state_->current->produceLocked(bytes) : 0;
}

std::size_t SimulatedWaveIn::lose(std::size_t bytes) {
    std::lock_guard lock(state_->mutex);
    return state_->current != nullptr ? state_->current->loseLocked(bytes) : 0;
}

SimulatedWaveIn::Stats SimulatedWaveIn::stats() const {
    std::lock_guard lock(state_->mutex);
    Stats result = state_->stats;
    result.open = state_->current != nullptr;
    result.started = result.open && state_->current->startedLocked();
    return result;
}

}  // namespace platform::wavein
