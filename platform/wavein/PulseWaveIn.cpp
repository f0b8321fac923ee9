// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/wavein/PulseWaveIn.h"

#include "platform/pulse/PulseOwners.h"
#include "platform/wavein/HeaderQueue.h"

#include <QCoreApplication>

#include <pulse/context.h>
#include <pulse/error.h>
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

namespace platform::wavein {

namespace {

// How long a call waits for a server that accepted the connection but does not answer.
constexpr pa_usec_t kServerTimeout = 5 * PA_USEC_PER_SEC;

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

class PulseDevice final : public WaveInDevice {
public:
    PulseDevice(std::shared_ptr<detail::ErrorReasons> reasons, const WAVEFORMATEX& format, QObject* notify,
                std::chrono::milliseconds backlog)
        : reasons_(std::move(reasons)),
          queue_(this, notify, format.nBlockAlign),
          backlog_(format.nBlockAlign,
                   static_cast<std::size_t>(format.nAvgBytesPerSec * static_cast<std::uint64_t>(backlog.count()) / 1000)),
          spec_{PA_SAMPLE_S16LE, format.nSamplesPerSec, static_cast<std::uint8_t>(format.nChannels)},
          blockAlign_(format.nBlockAlign),
          // Until buffers are prepared, a tenth of a second, which is what the recorder uses in mono.
          fragment_(std::max<std::uint32_t>(format.nAvgBytesPerSec / 10 / blockAlign_, 1) * blockAlign_),
          wantedFragment_(fragment_) {}

    ~PulseDevice() override {
        close();
        teardown();
    }
    PulseDevice(const PulseDevice&) = delete;
    PulseDevice& operator=(const PulseDevice&) = delete;

    // Connects to the server and creates the record stream, corked. On failure the reason is stored
    // for the returned status.
    MMRESULT connect(const std::string& applicationName) {
        mainloop_.reset(pa_threaded_mainloop_new());
        if (!mainloop_) {
            return MMSYSERR_NOMEM;
        }
        context_.reset(
            pa_context_new(pa_threaded_mainloop_get_api(mainloop_.get()), applicationName.c_str()));
        if (!context_) {
            return MMSYSERR_NOMEM;
        }
        pa_context_set_state_callback(context_.get(), &PulseDevice::onContextState, this);
        if (pa_context_connect(context_.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            return fail(MMSYSERR_NODRIVER, told(kCannotConnect, reasonOf(context_.get())));
        }
        if (pa_threaded_mainloop_start(mainloop_.get()) < 0) {
            return fail(MMSYSERR_ERROR,
                        told(QT_TRANSLATE_NOOP("PulseWaveIn",
                                               "Não foi possível iniciar a conexão com o servidor de som.")));
        }
        MainloopLock lock(mainloop_.get());
        Deadline deadline(*this);
        pa_context_state_t state;
        while ((state = pa_context_get_state(context_.get())) != PA_CONTEXT_READY) {
            if (!PA_CONTEXT_IS_GOOD(state)) {
                return fail(MMSYSERR_NODRIVER, told(kCannotConnect, reasonOf(context_.get())));
            }
            if (deadline.passed()) {
                return fail(MMSYSERR_NODRIVER, told(kCannotConnect, pa_strerror(PA_ERR_TIMEOUT)));
            }
            pa_threaded_mainloop_wait(mainloop_.get());
        }

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
        const pa_buffer_attr attr = attributes(fragment_);
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_record(stream_.get(), nullptr, &attr, flags) < 0) {
            return fail(statusFor(pa_context_errno(context_.get())),
                        told(kCannotRecord, reasonOf(context_.get())));
        }
        pa_stream_state_t streamState;
        while ((streamState = pa_stream_get_state(stream_.get())) != PA_STREAM_READY) {
            if (!PA_STREAM_IS_GOOD(streamState)) {
                return fail(statusFor(pa_context_errno(context_.get())),
                            told(kCannotRecord, reasonOf(context_.get())));
            }
            if (deadline.passed()) {
                return fail(MMSYSERR_NODRIVER, told(kCannotRecord, pa_strerror(PA_ERR_TIMEOUT)));
            }
            pa_threaded_mainloop_wait(mainloop_.get());
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
        started_ = true;
        backlog_.feed(queue_);
        return MMSYSERR_NOERROR;
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
        if (!lost_) {
            await(Operation(pa_stream_cork(stream_.get(), 1, &PulseDevice::onDone, this)));
        }
        return MMSYSERR_NOERROR;
    }

    MMRESULT pause() override {
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
        // The audio heard until now is the take's, also what is still on its way; from the frame
        // heard now on, what arrives passes by, so a long pause does not run into the backlog.
        const auto heard = positionHeardNow();
        if (!heard) {
            return lostStatus();
        }
        drain();
        skips_.push_back({std::max(*heard, readPosition_), kOpen});
        paused_ = true;
        return MMSYSERR_NOERROR;
    }

    MMRESULT resume() override {
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
        // Audio heard from now on is the take's again, also where it arrives after this call.
        const auto heard = positionHeardNow();
        if (!heard) {
            return lostStatus();
        }
        skips_.back().to = std::max(*heard, skips_.back().from);
        paused_ = false;
        drain();
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
        return backlog_.overruns();
    }

private:
    // A time limit on waiting for the server, from construction on; expects the lock held.
    class Deadline {
    public:
        explicit Deadline(PulseDevice& device) : device_(device) {
            device_.timedOut_ = false;
            event_ = pa_context_rttime_new(device_.context_.get(), pa_rtclock_now() + kServerTimeout,
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
            for (std::size_t done = 0; done < bytes;) {
                const std::uint64_t at = readPosition_ + done;
                while (!skips_.empty() && skips_.front().to <= at) {
                    skips_.pop_front();
                }
                const bool skipped = !skips_.empty() && skips_.front().from <= at;
                std::size_t run = bytes - done;
                if (!skips_.empty()) {
                    run = static_cast<std::size_t>(std::min<std::uint64_t>(
                        run, (skipped ? skips_.front().to : skips_.front().from) - at));
                }
                if (skipped) {
                    // Heard while paused: neither the take's nor a loss.
                } else if (data != nullptr) {
                    backlog_.take(queue_, static_cast<const std::byte*>(data) + done, run, started_);
                } else {
                    // A hole: the server skipped this much of the source.
                    backlog_.lose(run);
                }
                done += run;
            }
            readPosition_ += bytes;
            pa_stream_drop(stream_.get());
        }
    }

    // Where in the stream (bytes read since it was made, holes counted) the frame the source is
    // capturing now will arrive, by the server's clock and the stream's read index. Expects the
    // lock held; nothing when the server does not answer.
    std::optional<std::uint64_t> positionHeardNow() {
        if (!await(Operation(pa_stream_update_timing_info(stream_.get(), &PulseDevice::onDone, this)))) {
            return std::nullopt;
        }
        pa_usec_t usec = 0;
        if (pa_stream_get_time(stream_.get(), &usec) < 0) {
            return std::nullopt;
        }
        return pa_usec_to_bytes(usec, &spec_);
    }

    // A reset, stop or close ends a pause; what it left out is in the past.
    void endPause() {
        paused_ = false;
        skips_.clear();
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
            MainloopLock lock(mainloop_.get());
            if (stream_) {
                pa_stream_set_state_callback(stream_.get(), nullptr, nullptr);
                pa_stream_set_read_callback(stream_.get(), nullptr, nullptr);
            }
            if (context_) {
                pa_context_set_state_callback(context_.get(), nullptr, nullptr);
            }
        }
        // With the server thread stopped nothing else touches the stream, the context or the headers.
        pa_threaded_mainloop_stop(mainloop_.get());
        overruns_ = backlog_.overruns();
        stream_.reset();
        context_.reset();
        mainloop_.reset();
    }

    static void onContextState(pa_context* context, void* self) {
        auto* device = static_cast<PulseDevice*>(self);
        if (device->open_ && !PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
            device->lose(
                told(QT_TRANSLATE_NOOP("PulseWaveIn", "A conexão com o servidor de som foi perdida: %1"),
                     reasonOf(context)));
        }
        pa_threaded_mainloop_signal(device->mainloop_.get(), 0);
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
    pulse::Mainloop mainloop_;
    pulse::Context context_;
    pulse::Stream stream_;

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
    bool paused_ = false;
    bool lost_ = false;
    // Stretches of the stream heard while the take was paused; the last one is open while it is.
    static constexpr std::uint64_t kOpen = UINT64_MAX;
    struct Skip {
        std::uint64_t from;
        std::uint64_t to;
    };
    std::deque<Skip> skips_;
    std::uint64_t readPosition_ = 0;  // bytes read from the stream since it was made
    bool timedOut_ = false;
    std::string lostReason_;
};

class PulseWaveIn final : public WaveIn {
public:
    PulseWaveIn(const QString& applicationName, std::chrono::milliseconds backlog)
        : applicationName_(applicationName.toStdString()), backlog_(backlog) {}

    MMRESULT open(std::unique_ptr<WaveInDevice>& device, const WAVEFORMATEX& format,
                  QObject* notify) override {
        device.reset();
        if (const MMRESULT result = detail::validateFormat(format); result != MMSYSERR_NOERROR) {
            return result;
        }
        auto opened = std::make_unique<PulseDevice>(reasons_, format, notify, backlog_);
        if (const MMRESULT result = opened->connect(applicationName_); result != MMSYSERR_NOERROR) {
            return result;
        }
        device = std::move(opened);
        return MMSYSERR_NOERROR;
    }

    std::string errorText(MMRESULT status) const override { return reasons_->text(status); }

private:
    std::string applicationName_;
    std::chrono::milliseconds backlog_;
    std::shared_ptr<detail::ErrorReasons> reasons_ = std::make_shared<detail::ErrorReasons>();
};

}  // namespace

std::unique_ptr<WaveIn> makePulseAudioWaveIn(const QString& applicationName, std::chrono::milliseconds backlog) {
    return std::make_unique<PulseWaveIn>(applicationName, backlog);
}

}  // namespace platform::wavein
