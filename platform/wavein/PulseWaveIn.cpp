// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/wavein/PulseWaveIn.h"

#include "platform/pulse/Connection.h"
#include "platform/wavein/HeaderQueue.h"
#include "platform/wavein/StreamClock.h"

#include <QCoreApplication>

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform::wavein {

namespace {

// How long a call waits for a server that accepted the connection but does not answer.
constexpr pa_usec_t kServerTimeout = 5 * PA_USEC_PER_SEC;
// How long the end of a take waits beyond the sound the source still held back at the release.
constexpr double kEndGrace = 0.5;
// Between two timing reports (a second or so apart) the stream's position may lag the server's
// clock by a few milliseconds of jitter; a gap beyond this is sound the server lost.
constexpr double kLossThreshold = 0.05;

using pulse::MainloopLock;
using pulse::Operation;

std::string reasonOf(pa_context* context) {
    return pa_strerror(pa_context_errno(context));
}

// A sentence for the user around the server's own reason. Also called on the server's thread:
// translating is safe on any thread.
std::string told(const char* text, const std::string& reason = std::string()) {
    const QString sentence = QCoreApplication::translate("PulseWaveIn", text);
    return (reason.empty() ? sentence : sentence.arg(QString::fromStdString(reason))).toStdString();
}

const char* const kCannotConnect =
    QT_TRANSLATE_NOOP("PulseWaveIn", "Não foi possível conectar ao servidor de som: %1");
const char* const kCannotRecord =
    QT_TRANSLATE_NOOP("PulseWaveIn", "Não foi possível gravar do servidor de som: %1");

class PulseDevice final : public WaveInDevice, private pulse::Connection::Listener {
public:
    PulseDevice(std::shared_ptr<detail::ErrorReasons> reasons, const WAVEFORMATEX& format, QObject* notify,
                std::chrono::milliseconds backlog)
        : reasons_(std::move(reasons)),
          queue_(this, notify, format.nBlockAlign),
          backlog_(format.nBlockAlign,
                   static_cast<std::size_t>(format.nAvgBytesPerSec *
                                            static_cast<std::uint64_t>(backlog.count()) / 1000)),
          spec_{PA_SAMPLE_S16LE, format.nSamplesPerSec, static_cast<std::uint8_t>(format.nChannels)},
          blockAlign_(format.nBlockAlign),
          // Until buffers are prepared, a tenth of a second, which is what the recorder uses in mono.
          fragment_(std::max<std::uint32_t>(format.nAvgBytesPerSec / 10 / blockAlign_, 1) * blockAlign_),
          wantedFragment_(fragment_),
          losses_(format.nSamplesPerSec, kLossThreshold) {}

    ~PulseDevice() override {
        close();
        teardown();
    }
    PulseDevice(const PulseDevice&) = delete;
    PulseDevice& operator=(const PulseDevice&) = delete;

    // Creates the record stream on the shared connection, corked, on the connection's chosen source
    // (the default source when none is chosen). On failure the reason is stored for the returned status.
    MMRESULT connect(const std::shared_ptr<pulse::Connection>& connection) {
        // The main loop is the connection's, and keeps it alive as long as the device needs it.
        mainloop_ = std::shared_ptr<pa_threaded_mainloop>(connection, connection->mainloop());
        if (!mainloop_) {
            return MMSYSERR_NOMEM;
        }
        MainloopLock lock(mainloop_.get());
        if (!connection->waitReady()) {
            return fail(MMSYSERR_NODRIVER, told(kCannotConnect, connection->lastError()));
        }
        connection_ = connection.get();
        connection_->addListener(this);
        context_.reset(pa_context_ref(connection->context()));
        source_ = connection->chosenSource();
        Deadline deadline(*this);

        stream_.reset(pa_stream_new(
            context_.get(),
            // Its name in the system's volume control.
            QCoreApplication::translate("PulseWaveIn", "Gravação").toUtf8().constData(), &spec_, nullptr));
        if (!stream_) {
            return fail(statusFor(pa_context_errno(context_.get())),
                        told(kCannotRecord, reasonOf(context_.get())));
        }
        pa_stream_set_state_callback(stream_.get(), &PulseDevice::onStreamState, this);
        pa_stream_set_read_callback(stream_.get(), &PulseDevice::onReadable, this);
        pa_stream_set_latency_update_callback(stream_.get(), &PulseDevice::onTiming, this);
        const pa_buffer_attr attr = attributes(fragment_);
        // The server's clock says which frame reached the source when, and shows what it lost.
        auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY |
                                                    PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
        // A chosen source is never swapped for another, neither now nor when it goes away.
        if (!source_.empty()) {
            flags = static_cast<pa_stream_flags_t>(flags | PA_STREAM_DONT_MOVE);
        }
        if (pa_stream_connect_record(stream_.get(), source_.empty() ? nullptr : source_.c_str(), &attr,
                                     flags) < 0) {
            return failToRecord();
        }
        pa_stream_state_t streamState;
        while ((streamState = pa_stream_get_state(stream_.get())) != PA_STREAM_READY) {
            if (!PA_STREAM_IS_GOOD(streamState)) {
                return failToRecord();
            }
            if (deadline.passed()) {
                return fail(MMSYSERR_NODRIVER, told(kCannotRecord, pa_strerror(PA_ERR_TIMEOUT)));
            }
            pa_threaded_mainloop_wait(mainloop_.get());
        }
        const char* device = pa_stream_get_device_name(stream_.get());
        if (!source_.empty() && (device == nullptr || source_ != device)) {
            return fail(MMSYSERR_BADDEVICEID, missingSource());
        }
        open_ = true;
        return MMSYSERR_NOERROR;
    }

    MMRESULT prepareHeader(WAVEHDR& header) override {
        MainloopLock lock(mainloop_.get());
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        // One server fragment per capture buffer: the window hears of every buffer as it fills.
        if (header.dwBufferLength >= blockAlign_) {
            wantedFragment_ = header.dwBufferLength - header.dwBufferLength % blockAlign_;
        }
        return detail::HeaderQueue::prepare(header);
    }

    MMRESULT addBuffer(WAVEHDR& header) override {
        MainloopLock lock(mainloop_.get());
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        if (lost_) {
            const MMRESULT result = detail::addAfterSourceLost(queue_, backlog_, header);
            if (result == MMSYSERR_NODRIVER) {
                reasons_->set(MMSYSERR_NODRIVER, lostReason_);
            }
            return result;
        }
        const MMRESULT result = queue_.add(header);
        if (result == MMSYSERR_NOERROR) {
            // Audio that waited while no buffer was queued goes in first.
            backlog_.feed(queue_);
        }
        return result;
    }

    MMRESULT start() override {
        MainloopLock lock(mainloop_.get());
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        if (lost_) {
            reasons_->set(MMSYSERR_NODRIVER, lostReason_);
            return MMSYSERR_NODRIVER;
        }
        if (started_) {
            return MMSYSERR_NOERROR;
        }
        if (wantedFragment_ != fragment_) {
            const pa_buffer_attr attr = attributes(wantedFragment_);
            if (!await(
                    Operation(pa_stream_set_buffer_attr(stream_.get(), &attr, &PulseDevice::onDone, this)))) {
                return lostStatus();
            }
            fragment_ = wantedFragment_;
        }
        if (!await(Operation(pa_stream_cork(stream_.get(), 0, &PulseDevice::onDone, this)))) {
            return lostStatus();
        }
        losses_.restart();
        skippedBaseline_.reset();
        stall_.reset();
        if (begin_ && !firstFrame_) {
            // The first report after the uncork places the take's first frame.
            if (!await(Operation(pa_stream_update_timing_info(stream_.get(), &PulseDevice::onDone, this)))) {
                return lostStatus();
            }
            const auto reading = readClock();
            // Without a clock the take starts with the first frame the stream brings.
            firstFrame_ = reading ? detail::frameHeardAt(*reading, *begin_, spec_.rate) : 0;
        }
        started_ = true;
        // What arrived before the first frame was placed goes on from it.
        for (const Early& piece : std::exchange(early_, {})) {
            accept(piece.hole ? nullptr : piece.bytes.data(), piece.from, piece.frames);
        }
        backlog_.feed(queue_);
        return MMSYSERR_NOERROR;
    }

    void beginAt(std::chrono::steady_clock::time_point instant) override {
        MainloopLock lock(mainloop_.get());
        if (!started_) {
            begin_ = instant;
            firstFrame_.reset();
        }
    }

    void endAt(std::chrono::steady_clock::time_point instant) override {
        MainloopLock lock(mainloop_.get());
        if (!open_ || !started_ || lost_ || lastFrame_) {
            return;
        }
        const auto reading = readClock();
        if (!reading) {
            return;
        }
        // Sound the server skipped without a hole never arrives: the frames that do are counted
        // without it.
        lastFrame_ =
            std::max<std::int64_t>(detail::frameHeardAt(*reading, instant, spec_.rate) - skippedFrames_, 0);
        end_ = instant;
        const double behind =
            static_cast<double>(*lastFrame_ - static_cast<std::int64_t>(streamFrames_)) / spec_.rate;
        if (behind <= 0) {
            return;
        }
        // The source may hold back seconds of sound (a block source, a network) and deliver it in
        // its own time: the take waits for it as long as the source says it holds sound back, but
        // not for a source that stopped delivering.
        sourceLatency_ = 0;
        await(Operation(pa_context_get_source_info_by_index(
            context_.get(), pa_stream_get_device_index(stream_.get()), &PulseDevice::onSourceInfo, this)));
        if (lost_) {
            return;
        }
        const double held = static_cast<double>(sourceLatency_) / PA_USEC_PER_SEC;
        const auto limit = static_cast<pa_usec_t>(
            std::min(held + kEndGrace, static_cast<double>(kServerTimeout) / PA_USEC_PER_SEC) *
            PA_USEC_PER_SEC);
        Deadline deadline(*this, limit);
        while (static_cast<std::int64_t>(streamFrames_) < *lastFrame_ && !lost_ && !deadline.passed()) {
            pa_threaded_mainloop_wait(mainloop_.get());
        }
    }

    MMRESULT reset() override {
        MainloopLock lock(mainloop_.get());
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        // Once the cork is answered, everything the server sent before it has arrived and is read;
        // it goes into the queued buffers, and what does not fit waits in the backlog.
        if (!lost_) {
            await(Operation(pa_stream_cork(stream_.get(), 1, &PulseDevice::onDone, this)));
        }
        started_ = false;
        losses_.restart();
        drain();
        endPause();
        backlog_.feed(queue_);
        queue_.returnAll();
        return MMSYSERR_NOERROR;
    }

    MMRESULT stop() override {
        MainloopLock lock(mainloop_.get());
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        drain();
        endPause();
        // Like a stopped sound card: the buffer being filled comes back, empty ones stay queued.
        // Audio still on its way waits in the backlog and continues the take at the next start.
        queue_.completePartial();
        started_ = false;
        losses_.restart();
        if (!lost_) {
            await(Operation(pa_stream_cork(stream_.get(), 1, &PulseDevice::onDone, this)));
        }
        return MMSYSERR_NOERROR;
    }

    // A pause is like a release and a resume like a press: the frame heard at each instant, by the
    // server's clock, bounds what passes by. The stream runs on meanwhile and is read as ever, so a
    // long pause neither fills the backlog nor looks to the server's reports like lost sound.
    MMRESULT pause(std::chrono::steady_clock::time_point at) override {
        MainloopLock lock(mainloop_.get());
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        if (lost_) {
            return lostStatus();
        }
        if (!started_ || paused_) {
            return MMSYSERR_NOERROR;
        }
        pauses_.push_back({frameHeardAt(at), kOpen});
        paused_ = true;
        return MMSYSERR_NOERROR;
    }

    MMRESULT resume(std::chrono::steady_clock::time_point at) override {
        MainloopLock lock(mainloop_.get());
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        if (!paused_) {
            return MMSYSERR_NOERROR;
        }
        if (lost_) {
            return lostStatus();
        }
        pauses_.back().to = std::max(frameHeardAt(at), pauses_.back().from);
        paused_ = false;
        return MMSYSERR_NOERROR;
    }

    MMRESULT unprepareHeader(WAVEHDR& header) override {
        MainloopLock lock(mainloop_.get());
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        return detail::HeaderQueue::unprepare(header);
    }

    // Buffers still queued come back done first, so no header is left marked as queued.
    MMRESULT close() override {
        if (!mainloop_) {
            return MMSYSERR_INVALHANDLE;
        }
        {
            MainloopLock lock(mainloop_.get());
            if (!open_) {
                return MMSYSERR_INVALHANDLE;
            }
            queue_.returnAll();
            backlog_.clear();
            open_ = false;
            started_ = false;
            endPause();
        }
        teardown();
        return MMSYSERR_NOERROR;
    }

    std::vector<Overrun> overruns() const override {
        if (!mainloop_) {
            return overruns_;
        }
        MainloopLock lock(mainloop_.get());
        return boundedOverruns();
    }

private:
    // A time limit on waiting for the server, from construction on; expects the lock held.
    class Deadline {
    public:
        explicit Deadline(PulseDevice& device, pa_usec_t limit = kServerTimeout) : device_(device) {
            device_.timedOut_ = false;
            event_ = pa_context_rttime_new(device_.context_.get(), pa_rtclock_now() + limit,
                                           &PulseDevice::onTimeout, &device_);
        }
        ~Deadline() {
            if (event_ != nullptr) {
                pa_threaded_mainloop_get_api(device_.mainloop_.get())->time_free(event_);
            }
        }
        Deadline(const Deadline&) = delete;
        Deadline& operator=(const Deadline&) = delete;
        bool passed() const { return device_.timedOut_; }

    private:
        PulseDevice& device_;
        pa_time_event* event_ = nullptr;
    };

    static MMRESULT statusFor(int error) {
        switch (error) {
            case PA_ERR_NOENTITY:
                return MMSYSERR_BADDEVICEID;
            case PA_ERR_NOTSUPPORTED:
            case PA_ERR_INVALID:
                return WAVERR_BADFORMAT;
            case PA_ERR_BUSY:
                return MMSYSERR_ALLOCATED;
            default:
                return MMSYSERR_NODRIVER;
        }
    }

    std::string missingSource() const {
        return told(QT_TRANSLATE_NOOP("PulseWaveIn", "A entrada \"%1\" não está disponível. Nada foi gravado."),
                    source_);
    }

    MMRESULT failToRecord() {
        const int error = pa_context_errno(context_.get());
        if (error == PA_ERR_NOENTITY && !source_.empty()) {
            return fail(MMSYSERR_BADDEVICEID, missingSource());
        }
        return fail(statusFor(error), told(kCannotRecord, reasonOf(context_.get())));
    }

    MMRESULT fail(MMRESULT status, std::string reason) {
        reasons_->set(status, std::move(reason));
        return status;
    }

    MMRESULT lostStatus() {
        reasons_->set(MMSYSERR_NODRIVER, lostReason_);
        return MMSYSERR_NODRIVER;
    }

    pa_buffer_attr attributes(std::uint32_t fragment) const {
        pa_buffer_attr attr;
        // The stream is read as soon as audio arrives; the backlog is ours, not the server's.
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = static_cast<std::uint32_t>(-1);
        attr.prebuf = static_cast<std::uint32_t>(-1);
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = fragment;
        return attr;
    }

    // Waits for a server operation with the lock held; false when the server is gone or silent.
    bool await(Operation operation) {
        if (!operation) {
            lose(told(QT_TRANSLATE_NOOP("PulseWaveIn", "O servidor de som recusou um pedido: %1"),
                      reasonOf(context_.get())));
            return false;
        }
        Deadline deadline(*this);
        while (pa_operation_get_state(operation.get()) == PA_OPERATION_RUNNING && !lost_) {
            if (deadline.passed()) {
                lose(told(QT_TRANSLATE_NOOP("PulseWaveIn", "O servidor de som deixou de responder: %1"),
                          pa_strerror(PA_ERR_TIMEOUT)));
                break;
            }
            pa_threaded_mainloop_wait(mainloop_.get());
        }
        return pa_operation_get_state(operation.get()) == PA_OPERATION_DONE && !lost_;
    }

    // Reads everything the stream holds, as soon as it arrives: into the queued buffers while the
    // device runs, otherwise and beyond their room into the backlog. Runs with the lock held, on the
    // server thread when audio arrives and on the window's thread at a reset or stop.
    void drain() {
        if (lost_ || !stream_ || pa_stream_get_state(stream_.get()) != PA_STREAM_READY) {
            return;
        }
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pa_stream_peek(stream_.get(), &data, &bytes) == 0 && bytes > 0) {
            const std::uint64_t frames = bytes / blockAlign_;
            const std::uint64_t from = streamFrames_;
            streamFrames_ += frames;
            if (begin_ && !firstFrame_) {
                // Not yet known where the take begins: held until the clock says.
                Early piece{from, frames, data == nullptr, {}};
                if (data != nullptr) {
                    const auto* begin = static_cast<const std::byte*>(data);
                    piece.bytes.assign(begin, begin + frames * blockAlign_);
                }
                early_.push_back(std::move(piece));
            } else {
                // A hole (no data) is sound the server skipped; it is counted lost.
                accept(static_cast<const std::byte*>(data), from, frames);
            }
            pa_stream_drop(stream_.get());
        }
        // The end of a take may be waiting for this sound.
        pa_threaded_mainloop_signal(mainloop_.get(), 0);
    }

    // Frames [from, from + frames) of the stream, null for a hole: what the take's span holds goes
    // on, into the queued buffers or the backlog; what lies before the press or after the release
    // is left out.
    void accept(const std::byte* data, std::uint64_t from, std::uint64_t frames) {
        const auto first = static_cast<std::uint64_t>(std::max<std::int64_t>(firstFrame_.value_or(0), 0));
        std::uint64_t lo = std::max(from, first);
        std::uint64_t hi = from + frames;
        if (lastFrame_) {
            hi = std::min(hi, static_cast<std::uint64_t>(*lastFrame_));
        }
        // Heard while paused: neither the take's nor a loss.
        while (lo < hi) {
            while (!pauses_.empty() && pauses_.front().to <= lo) {
                pauses_.pop_front();
            }
            if (!pauses_.empty() && pauses_.front().from <= lo) {
                const std::uint64_t resumed = std::min(hi, pauses_.front().to);
                pausedFrames_ += resumed - lo;
                lo = resumed;
                continue;
            }
            const std::uint64_t end = pauses_.empty() ? hi : std::min(hi, pauses_.front().from);
            acceptHeard(data, from, lo, end);
            lo = end;
        }
    }

    // Frames [lo, hi) of the piece of the stream that begins at `from`, all of them the take's.
    void acceptHeard(const std::byte* data, std::uint64_t from, std::uint64_t lo, std::uint64_t hi) {
        const std::size_t length = (hi - lo) * blockAlign_;
        if (data != nullptr) {
            backlog_.take(queue_, data + (lo - from) * blockAlign_, length, started_);
            framesInTake_ += hi - lo;
        } else {
            backlog_.lose(length);
        }
    }

    // The frame reaching the source now, as the server's clock tells; none before its first report.
    std::optional<detail::ClockReading> readClock() const {
        pa_usec_t usec = 0;
        if (pa_stream_get_time(stream_.get(), &usec) < 0) {
            return std::nullopt;
        }
        return detail::ClockReading{std::chrono::steady_clock::now(),
                                    static_cast<double>(usec) * spec_.rate / PA_USEC_PER_SEC};
    }

    // The stream frame heard at `instant`, by the server's clock (as the end of a take finds it);
    // without a clock, or for sound already read, the next frame to arrive.
    std::uint64_t frameHeardAt(std::chrono::steady_clock::time_point instant) const {
        const auto reading = readClock();
        if (!reading) {
            return streamFrames_;
        }
        const std::int64_t frame = detail::frameHeardAt(*reading, instant, spec_.rate) - skippedFrames_;
        return static_cast<std::uint64_t>(
            std::max<std::int64_t>(frame, static_cast<std::int64_t>(streamFrames_)));
    }

    void endPause() {
        paused_ = false;
        pauses_.clear();
    }

    // A timing report: when the stream's position (frames captured, those the source still holds
    // counted in) moved on less than the server's clock, the server lost that much sound, at the
    // point where its queue for the stream filled while nobody read it.
    void checkForLoss() {
        const pa_timing_info* timing = pa_stream_get_timing_info(stream_.get());
        if (timing == nullptr || !started_ || lost_ || timing->write_index_corrupt ||
            timing->read_index_corrupt) {
            return;
        }
        const double rate = spec_.rate;
        const double position =
            static_cast<double>(timing->write_index) / blockAlign_ +
            (static_cast<double>(timing->source_usec) - static_cast<double>(timing->sink_usec)) * rate /
                PA_USEC_PER_SEC;
        const std::uint64_t lost = losses_.report(pa_timeval_load(&timing->timestamp), position);
        const std::int64_t readAt = lastReadIndex_;
        lastReadIndex_ = timing->read_index;
        // A server that drops what its queue cannot hold by moving the queue's read index on
        // (PipeWire does) sends no hole: the read index runs ahead of what arrived here. libpulse
        // already counts what waits unread in the stream out of the record stream's read index, so
        // it is set against what was read, and nothing unread is counted a second time.
        const auto received = static_cast<std::int64_t>(streamFrames_ * blockAlign_);
        const std::int64_t skipped = timing->read_index - received;
        std::uint64_t skippedNow = 0;
        if (skippedBaseline_ &&
            skipped - *skippedBaseline_ > static_cast<std::int64_t>(kLossThreshold * rate) * blockAlign_) {
            skippedNow = static_cast<std::uint64_t>((skipped - *skippedBaseline_) / blockAlign_);
            skippedFrames_ += static_cast<std::int64_t>(skippedNow);
        }
        skippedBaseline_ = skipped;
        // A clock loss told at the last report whose skip shows only now is the same stall.
        const std::optional<Stall> stall = std::exchange(stall_, std::nullopt);
        if (skippedNow > 0) {
            // One stall, seen two ways: sound the server never queued (its clock ran on) and sound
            // it queued and then skipped unread. Neither ever arrives, so the gap lies where the
            // take stood when the stall was first seen; what came after is from after the stall.
            if (stall && stall->index < serverLosses_.size()) {
                Overrun& told = serverLosses_[stall->index];
                told = {stall->delivered, told.frames + lost + skippedNow};
            } else {
                serverLoss(framesInTake_, lost + skippedNow);
            }
            return;
        }
        if (lost == 0) {
            return;
        }
        // A server that keeps what it holds and drops what comes after (PulseAudio) leaves the gap
        // where its queue for the stream filled, which may lie in sound not yet read.
        std::int64_t at = timing->write_index;
        if (const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream_.get())) {
            at = std::min<std::int64_t>(at, readAt + attr->maxlength);
        }
        const std::int64_t inTake = at / blockAlign_ - skippedFrames_ -
                                    static_cast<std::int64_t>(pausedFrames_) -
                                    std::max<std::int64_t>(firstFrame_.value_or(0), 0);
        if (serverLoss(static_cast<std::uint64_t>(std::max<std::int64_t>(inTake, 0)), lost)) {
            stall_ = Stall{serverLosses_.size() - 1, framesInTake_};
        }
    }

    // A server whose clock ran fast while it dropped sound (PipeWire after a long stall) counts
    // more lost than the take misses: no more is told than the time held less the sound taken.
    std::vector<Overrun> boundedOverruns() const {
        std::vector<Overrun> all = serverLosses_;
        if (begin_ && end_) {
            const double held = std::chrono::duration<double>(*end_ - *begin_).count() * spec_.rate;
            all = detail::boundedBy(std::move(all), static_cast<std::uint64_t>(std::max(
                                                        0.0, held - static_cast<double>(framesInTake_))));
        }
        // No gap lies beyond the sound the take holds.
        for (Overrun& loss : all) {
            loss.atFrame = std::min(loss.atFrame, framesInTake_);
        }
        // With what the device itself could not keep, in the order the gaps lie in the take.
        const std::vector<Overrun>& own = backlog_.overruns();
        all.insert(all.end(), own.begin(), own.end());
        std::stable_sort(all.begin(), all.end(),
                         [](const Overrun& a, const Overrun& b) { return a.atFrame < b.atFrame; });
        return all;
    }

    // Sound the server lost before it reached the stream, found out from its reports: the gap lies
    // at `atFrame` of the take. False when it is not told.
    bool serverLoss(std::uint64_t atFrame, std::uint64_t frames) {
        // Sound lost while the take is paused would have passed by all the same.
        if (paused_) {
            return false;
        }
        serverLosses_.push_back({atFrame, frames});
        return true;
    }

    // The server or the stream went away: what was captured comes back with the queued buffers,
    // and every later add or start fails with the server's reason. Runs with the lock held.
    void lose(std::string reason) {
        if (lost_) {
            return;
        }
        drain();
        lost_ = true;
        lostReason_ = std::move(reason);
        reasons_->set(MMSYSERR_NODRIVER, lostReason_);
        backlog_.feed(queue_);
        queue_.returnAll();
    }

    void teardown() {
        if (!mainloop_) {
            return;
        }
        {
            // With the lock held the main loop's thread is not in the device; once the callbacks are
            // cleared it never enters it again.
            MainloopLock lock(mainloop_.get());
            if (connection_ != nullptr) {
                connection_->removeListener(this);
                connection_ = nullptr;
            }
            if (stream_) {
                pa_stream_set_latency_update_callback(stream_.get(), nullptr, nullptr);
            }
            overruns_ = boundedOverruns();
            stream_.reset();
            context_.reset();
        }
        mainloop_.reset();
    }

    void contextLost() override {
        if (open_) {
            lose(told(QT_TRANSLATE_NOOP("PulseWaveIn", "A conexão com o servidor de som foi perdida: %1"),
                      reasonOf(context_.get())));
        }
        pa_threaded_mainloop_signal(mainloop_.get(), 0);
    }

    static void onStreamState(pa_stream* stream, void* self) {
        auto* device = static_cast<PulseDevice*>(self);
        if (device->open_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
            device->lose(told(QT_TRANSLATE_NOOP("PulseWaveIn", "A gravação do servidor de som parou: %1"),
                              reasonOf(device->context_.get())));
        }
        pa_threaded_mainloop_signal(device->mainloop_.get(), 0);
    }

    static void onReadable(pa_stream*, std::size_t, void* self) { static_cast<PulseDevice*>(self)->drain(); }

    static void onSourceInfo(pa_context*, const pa_source_info* info, int, void* self) {
        auto* device = static_cast<PulseDevice*>(self);
        if (info != nullptr) {
            device->sourceLatency_ = std::max(info->configured_latency, info->latency);
        }
        pa_threaded_mainloop_signal(device->mainloop_.get(), 0);
    }

    static void onTiming(pa_stream*, void* self) { static_cast<PulseDevice*>(self)->checkForLoss(); }

    static void onDone(pa_stream*, int, void* self) {
        pa_threaded_mainloop_signal(static_cast<PulseDevice*>(self)->mainloop_.get(), 0);
    }

    static void onTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
        auto* device = static_cast<PulseDevice*>(self);
        device->timedOut_ = true;
        pa_threaded_mainloop_signal(device->mainloop_.get(), 0);
    }

    std::shared_ptr<detail::ErrorReasons> reasons_;
    // Declared first, destroyed last: the stream and the context belong to its thread.
    std::shared_ptr<pa_threaded_mainloop> mainloop_;
    pulse::Connection* connection_ = nullptr;
    pulse::ContextRef context_;
    pulse::Stream stream_;
    std::string source_;  // the chosen source at the open; empty for the default

    // Everything below is guarded by the main loop's lock.
    detail::HeaderQueue queue_;
    detail::Backlog backlog_;
    std::vector<Overrun> overruns_;  // kept once the main loop is gone
    const pa_sample_spec spec_;
    const std::uint32_t blockAlign_;
    std::uint32_t fragment_;        // the fragment size asked of the server
    std::uint32_t wantedFragment_;  // the length of the capture buffers prepared
    bool open_ = false;
    bool started_ = false;
    bool lost_ = false;
    bool timedOut_ = false;
    std::string lostReason_;

    // Where the take lies in the stream, in the stream's frames (counted by its read index).
    struct Early {
        std::uint64_t from;
        std::uint64_t frames;
        bool hole;
        std::vector<std::byte> bytes;
    };
    std::uint64_t streamFrames_ = 0;  // frames the read index has passed, holes included
    std::optional<std::chrono::steady_clock::time_point> begin_;
    std::optional<std::int64_t> firstFrame_;  // heard at the press; negative: before the stream began
    std::optional<std::int64_t> lastFrame_;   // heard at the release
    std::vector<Early> early_;                // read before the first frame was placed
    detail::LossTracker losses_;
    std::int64_t lastReadIndex_ = 0;
    std::optional<std::int64_t> skippedBaseline_;  // read index less what arrived, at the last report
    std::int64_t skippedFrames_ = 0;               // skipped by the server without a hole
    std::vector<Overrun> serverLosses_;            // found from the server's reports
    // A loss the server's clock showed at the last report, and the take's frames at that moment.
    struct Stall {
        std::size_t index;
        std::uint64_t delivered;
    };
    std::optional<Stall> stall_;
    std::optional<std::chrono::steady_clock::time_point> end_;
    std::uint64_t framesInTake_ = 0;  // frames of sound that went into the take
    // Stretches of the stream heard while the take was paused; the last one open while it is.
    static constexpr std::uint64_t kOpen = UINT64_MAX;
    struct Pause {
        std::uint64_t from;
        std::uint64_t to;
    };
    std::deque<Pause> pauses_;
    bool paused_ = false;
    std::uint64_t pausedFrames_ = 0;  // frames of the stream left out by pauses
    pa_usec_t sourceLatency_ = 0;     // the most sound the source holds back, as it says
};

class PulseWaveIn final : public WaveIn {
public:
    PulseWaveIn(std::shared_ptr<pulse::Connection> connection, std::chrono::milliseconds backlog)
        : connection_(std::move(connection)), backlog_(backlog) {}

    MMRESULT open(std::unique_ptr<WaveInDevice>& device, const WAVEFORMATEX& format,
                  QObject* notify) override {
        device.reset();
        if (const MMRESULT result = detail::validateFormat(format); result != MMSYSERR_NOERROR) {
            return result;
        }
        auto opened = std::make_unique<PulseDevice>(reasons_, format, notify, backlog_);
        if (const MMRESULT result = opened->connect(connection_); result != MMSYSERR_NOERROR) {
            return result;
        }
        device = std::move(opened);
        return MMSYSERR_NOERROR;
    }

    std::string errorText(MMRESULT status) const override { return reasons_->text(status); }

private:
    std::shared_ptr<pulse::Connection> connection_;
    std::chrono::milliseconds backlog_;
    std::shared_ptr<detail::ErrorReasons> reasons_ = std::make_shared<detail::ErrorReasons>();
};

}  // namespace

std::unique_ptr<WaveIn> makePulseAudioWaveIn(std::shared_ptr<pulse::Connection> connection,
                                             std::chrono::milliseconds backlog) {
    return std::make_unique<PulseWaveIn>(std::move(connection), backlog);
}

std::unique_ptr<WaveIn> makePulseAudioWaveIn(const QString& applicationName,
                                             std::chrono::milliseconds backlog) {
    return makePulseAudioWaveIn(pulse::connectToSoundServer(applicationName), backlog);
}

}  // namespace platform::wavein
