// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/wavein/PulseWaveIn.h"

#include "platform/pulse/Connection.h"
#include "platform/wavein/HeaderQueue.h"
#include "platform/wavein/SampleLayout.h"
#include "platform/wavein/ServerLosses.h"
#include "platform/wavein/StreamClock.h"
#include "platform/wavein/TakeTimeline.h"

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
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform::wavein {

namespace {

// How long the end of a take waits beyond the sound the source said it still held back.
constexpr pa_usec_t kEndGrace = PA_USEC_PER_SEC / 2;

using pulse::Connection;
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

// Every call from the window's thread takes the main loop's lock for a moment and never waits for the
// server, but for the open's: a stream is made within a round trip or two, or given up on with the
// connection's time limit. What the server answers later comes to the main loop's thread.
class PulseDevice final : public WaveInDevice, private Connection::Listener {
public:
    PulseDevice(std::shared_ptr<detail::ErrorReasons> reasons, const WAVEFORMATEX& format, QObject* notify,
                std::chrono::milliseconds backlog)
        : reasons_(std::move(reasons)),
          notify_(notify),
          queue_(this, notify, format.nBlockAlign),
          backlog_(format.nBlockAlign,
                   static_cast<std::size_t>(format.nAvgBytesPerSec *
                                            static_cast<std::uint64_t>(backlog.count()) / 1000)),
          spec_{PA_SAMPLE_S16LE, format.nSamplesPerSec, static_cast<std::uint8_t>(format.nChannels)},
          blockAlign_(format.nBlockAlign),
          serverFrame_(format.nBlockAlign),
          // Until buffers are prepared, a tenth of a second, which is what the recorder uses in mono.
          fragment_(std::max<std::uint32_t>(format.nAvgBytesPerSec / 10 / blockAlign_, 1) * blockAlign_),
          wantedFragment_(fragment_),
          losses_(format.nSamplesPerSec, format.nBlockAlign) {}

    ~PulseDevice() override {
        close();
        teardown();
    }
    PulseDevice(const PulseDevice&) = delete;
    PulseDevice& operator=(const PulseDevice&) = delete;

    // Creates the record stream on the shared connection, corked, on the connection's chosen source
    // (the default source when none is chosen). On failure the reason is stored for the returned status.
    MMRESULT connect(const std::shared_ptr<Connection>& connection) {
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
        endTimer_ = std::make_unique<Connection::Timer>(*connection_, [this] { giveUpWaiting(); });

        // 24-bit takes: the first layout the server takes, which it converts the source's sound to.
        const std::vector<std::optional<ServerSamples>> layouts =
            wide_ ? std::vector<std::optional<ServerSamples>>{ServerSamples::Packed24, ServerSamples::Low24Of32,
                                                              ServerSamples::High24Of32}
                  : std::vector<std::optional<ServerSamples>>{std::nullopt};
        MMRESULT opened = MMSYSERR_NOERROR;
        for (const auto& layout : layouts) {
            useLayout(layout);
            opened = openStream();
            const int error = pa_context_errno(context_.get());
            if (opened == MMSYSERR_NOERROR || layout == layouts.back() ||
                (error != PA_ERR_NOTSUPPORTED && error != PA_ERR_INVALID)) {
                break;
            }
            dropStream();
        }
        if (opened != MMSYSERR_NOERROR) {
            return opened;
        }
        const char* device = pa_stream_get_device_name(stream_.get());
        if (!source_.empty() && (device == nullptr || source_ != device)) {
            return fail(MMSYSERR_BADDEVICEID, missingSource());
        }
        open_ = true;
        return MMSYSERR_NOERROR;
    }

    // Creates and connects the record stream in spec_, and waits until the server settled it.
    MMRESULT openStream() {
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
        const pa_buffer_attr attr = pulse::recordBufferAttributes(serverBytes(fragment_));
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
        const bool settled = connection_->waitUntil([this] {
            const pa_stream_state_t state = pa_stream_get_state(stream_.get());
            return state != PA_STREAM_UNCONNECTED && state != PA_STREAM_CREATING;
        });
        if (!settled) {
            return fail(MMSYSERR_NODRIVER, told(kCannotRecord, pa_strerror(PA_ERR_TIMEOUT)));
        }
        if (pa_stream_get_state(stream_.get()) != PA_STREAM_READY) {
            return failToRecord();
        }
        return MMSYSERR_NOERROR;
    }

    void useLayout(std::optional<ServerSamples> layout) {
        layout_ = layout;
        if (!layout) {
            return;
        }
        static constexpr struct {
            ServerSamples layout;
            pa_sample_format_t format;
        } kFormats[] = {{ServerSamples::Packed24, PA_SAMPLE_S24LE},
                        {ServerSamples::Low24Of32, PA_SAMPLE_S24_32LE},
                        {ServerSamples::High24Of32, PA_SAMPLE_S32LE}};
        for (const auto& entry : kFormats) {
            if (entry.layout == *layout) {
                spec_.format = entry.format;
            }
        }
        serverFrame_ = static_cast<std::uint32_t>(serverSampleBytes(*layout) * spec_.channels);
    }

    // A stream the server refused, before another layout is tried.
    void dropStream() {
        if (stream_) {
            pa_stream_set_state_callback(stream_.get(), nullptr, nullptr);
            pa_stream_set_read_callback(stream_.get(), nullptr, nullptr);
            pa_stream_set_latency_update_callback(stream_.get(), nullptr, nullptr);
            pa_stream_disconnect(stream_.get());
        }
        stream_.reset();
    }

    // Bytes of whole take frames as the server hands them over.
    std::uint32_t serverBytes(std::uint32_t takeBytes) const { return takeBytes / blockAlign_ * serverFrame_; }

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
            return lostStatus();
        }
        if (started_) {
            return MMSYSERR_NOERROR;
        }
        // Asked, not waited for: what arrives is placed by the stream's clock, whenever it comes.
        if (wantedFragment_ != fragment_) {
            const pa_buffer_attr attr = pulse::recordBufferAttributes(serverBytes(wantedFragment_));
            ask(pa_stream_set_buffer_attr(stream_.get(), &attr, nullptr, nullptr));
            fragment_ = wantedFragment_;
        }
        ask(pa_stream_cork(stream_.get(), 0, nullptr, nullptr));
        losses_.restart();
        if (begin_ && !timeline_.begun()) {
            // The first report after the uncork places the take's first frame; what arrives before
            // it waits for it.
            track(pa_stream_update_timing_info(stream_.get(), &PulseDevice::onFirstReport, this));
        }
        if (lost_) {
            return lostStatus();
        }
        started_ = true;
        backlog_.feed(queue_);
        return MMSYSERR_NOERROR;
    }

    void beginAt(std::chrono::steady_clock::time_point instant) override {
        MainloopLock lock(mainloop_.get());
        if (!started_) {
            begin_ = instant;
            timeline_ = detail::TakeTimeline();
        }
    }

    bool endAt(std::chrono::steady_clock::time_point instant) override {
        MainloopLock lock(mainloop_.get());
        if (!open_ || !started_ || lost_ || timeline_.last()) {
            return false;
        }
        const auto reading = readClock();
        if (!reading) {
            return false;
        }
        end_ = instant;
        timeline_.end(std::max<std::int64_t>(clockFrameAt(*reading, instant), 0));
        if (arrived()) {
            return false;
        }
        // The source may hold back seconds of sound (a block source, a network) and deliver it in its
        // own time: the take waits for it as long as the source says it holds sound back, and a little
        // more, but not for a source that stopped delivering. Until the source says, as long as
        // anyone waits for the server.
        awaitingEnd_ = true;
        sourceAnswered_ = false;
        endTimer_->after(pulse::kServerTimeout);
        track(pa_context_get_source_info_by_index(context_.get(), pa_stream_get_device_index(stream_.get()),
                                                  &PulseDevice::onSourceInfo, this));
        return awaitingEnd_;
    }

    MMRESULT reset() override {
        MainloopLock lock(mainloop_.get());
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        // Nothing waits for the cork: what arrived before the reset is read now, and the take's end,
        // when it has one, has arrived or been given up on.
        if (!lost_ && started_) {
            ask(pa_stream_cork(stream_.get(), 1, nullptr, nullptr));
        }
        started_ = false;
        losses_.restart();
        stopWaiting();
        drain();
        placeFirst();
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
        placeFirst();
        endPause();
        // Like a stopped sound card: the buffer being filled comes back, empty ones stay queued.
        // Audio still on its way waits in the backlog and continues the take at the next start.
        queue_.completePartial();
        started_ = false;
        losses_.restart();
        if (!lost_) {
            ask(pa_stream_cork(stream_.get(), 1, nullptr, nullptr));
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
        if (started_ && !timeline_.paused()) {
            timeline_.pause(frameHeardAt(at));
        }
        return MMSYSERR_NOERROR;
    }

    MMRESULT resume(std::chrono::steady_clock::time_point at) override {
        MainloopLock lock(mainloop_.get());
        if (!open_) {
            return MMSYSERR_INVALHANDLE;
        }
        if (!timeline_.paused()) {
            return MMSYSERR_NOERROR;
        }
        if (lost_) {
            return lostStatus();
        }
        timeline_.resume(frameHeardAt(at));
        return MMSYSERR_NOERROR;
    }

    // By the same clock as the press, the release and the pauses, so a marker lies where a press of
    // the toggle at that instant would have begun or ended the take.
    std::optional<std::uint64_t> takeFrameHeardAt(std::chrono::steady_clock::time_point instant) override {
        MainloopLock lock(mainloop_.get());
        if (!open_ || !started_ || lost_) {
            return std::nullopt;
        }
        const auto reading = readClock();
        if (!reading) {
            return std::nullopt;
        }
        detail::TakeTimeline timeline = timeline_;
        if (!timeline.begun()) {
            timeline.begin(begin_ ? clockFrameAt(*reading, *begin_) : 0);
        }
        const std::int64_t heard = clockFrameAt(*reading, instant);
        return detail::keptBefore(timeline.takeFrameOf(heard), boundedOverruns());
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
            stopWaiting();
        }
        teardown();
        // An end posted and not yet delivered would reach a caller that no longer knows this device.
        if (notify_ != nullptr) {
            QCoreApplication::removePostedEvents(notify_, TakeEndEvent::eventType());
        }
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

    // A request whose answer nobody needs: the server may answer it whenever, it reaches no one.
    void ask(pa_operation* operation) {
        if (operation == nullptr) {
            refused();
            return;
        }
        pa_operation_unref(operation);
    }

    // A request whose answer comes to this device: cancelled when the device goes, so a server that
    // answers after a stall answers no one.
    void track(pa_operation* operation) {
        if (operation == nullptr) {
            refused();
            return;
        }
        std::erase_if(requests_, [](const Operation& request) {
            return pa_operation_get_state(request.get()) != PA_OPERATION_RUNNING;
        });
        requests_.emplace_back(operation);
    }

    void refused() {
        lose(told(QT_TRANSLATE_NOOP("PulseWaveIn", "O servidor de som recusou um pedido: %1"),
                  reasonOf(context_.get())));
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
            const auto frames = static_cast<std::int64_t>(bytes / serverFrame_);
            // 24-bit samples in a 4-byte layout are packed to the take's 3 bytes first.
            if (data != nullptr && serverFrame_ != blockAlign_ && layout_) {
                packed_.resize(static_cast<std::size_t>(frames) * blockAlign_);
                packTo24(*layout_, static_cast<const std::byte*>(data),
                         static_cast<std::size_t>(frames) * spec_.channels, packed_.data());
                data = packed_.data();
            }
            const std::int64_t from = streamFrames_;
            streamFrames_ += frames;
            if (begin_ && !timeline_.begun()) {
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
        if (awaitingEnd_ && arrived()) {
            endArrived();
        }
    }

    // Frames [from, from + frames) of the stream, null for a hole: what the take holds of them goes
    // on, into the queued buffers or the backlog; what lies before the press, after the release or in
    // a pause is left out.
    void accept(const std::byte* data, std::int64_t from, std::int64_t frames) {
        for (const detail::FrameSpan& span : timeline_.taken(from, from + frames)) {
            const auto length = static_cast<std::size_t>(span.length()) * blockAlign_;
            if (data != nullptr) {
                backlog_.take(queue_, data + (span.from - from) * blockAlign_, length, started_);
                framesInTake_ += static_cast<std::uint64_t>(span.length());
            } else {
                backlog_.lose(length);
            }
        }
    }

    // The take's first frame, heard at the press, once the stream's clock can tell; what arrived
    // before goes on from it.
    void placeFirst() {
        if (!begin_ || timeline_.begun()) {
            return;
        }
        const auto reading = readClock();
        // Without a clock the take starts with the first frame the stream brings.
        timeline_.begin(reading ? clockFrameAt(*reading, *begin_) : 0);
        for (const Early& piece : std::exchange(early_, {})) {
            accept(piece.hole ? nullptr : piece.bytes.data(), piece.from, piece.frames);
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

    // The stream frame heard at `instant`: sound the server skipped without a hole never arrives,
    // and the frames that do are counted without it.
    std::int64_t clockFrameAt(const detail::ClockReading& reading,
                              std::chrono::steady_clock::time_point instant) const {
        return detail::frameHeardAt(reading, instant, spec_.rate) - losses_.skipped();
    }

    // The stream frame heard at `instant`; without a clock, or for sound already read, the next
    // frame to arrive.
    std::int64_t frameHeardAt(std::chrono::steady_clock::time_point instant) const {
        const auto reading = readClock();
        return reading ? std::max(clockFrameAt(*reading, instant), streamFrames_) : streamFrames_;
    }

    void endPause() {
        if (timeline_.paused()) {
            timeline_.resume(streamFrames_);
        }
    }

    // Everything the take needs up to its end has come.
    bool arrived() const {
        const auto needed = timeline_.needed();
        return needed && (!begin_ || timeline_.begun()) && streamFrames_ >= *needed;
    }

    void endArrived() {
        if (!awaitingEnd_) {
            return;
        }
        stopWaiting();
        if (notify_ != nullptr) {
            QCoreApplication::postEvent(notify_, new TakeEndEvent(this));
        }
    }

    void stopWaiting() {
        awaitingEnd_ = false;
        if (endTimer_) {
            endTimer_->cancel();
        }
    }

    // The end's sound did not come in time: a source that stopped delivering is given up on quietly
    // (the take ends with what it brought), a server that did not even say how much its source holds
    // back is lost.
    void giveUpWaiting() {
        if (!awaitingEnd_) {
            return;
        }
        if (!sourceAnswered_) {
            lose(told(QT_TRANSLATE_NOOP("PulseWaveIn", "O servidor de som deixou de responder: %1"),
                      pa_strerror(PA_ERR_TIMEOUT)));
        }
        endArrived();
    }

    // A timing report: what the server lost, and where, is the ledger's to work out.
    void checkForLoss() {
        const pa_timing_info* timing = pa_stream_get_timing_info(stream_.get());
        if (timing == nullptr || !started_ || lost_ || timing->write_index_corrupt ||
            timing->read_index_corrupt) {
            return;
        }
        struct timeval now;
        pa_gettimeofday(&now);
        detail::TimingReport report;
        report.wallAt = static_cast<std::int64_t>(pa_timeval_load(&timing->timestamp));
        report.handledWall = static_cast<std::int64_t>(pa_timeval_load(&now));
        report.handledSteady = static_cast<std::int64_t>(pa_rtclock_now());
        report.position =
            static_cast<double>(timing->write_index) / serverFrame_ +
            (static_cast<double>(timing->source_usec) - static_cast<double>(timing->sink_usec)) * spec_.rate /
                PA_USEC_PER_SEC;
        report.writeIndex = timing->write_index;
        report.readIndex = timing->read_index;
        if (const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream_.get())) {
            report.queueLength = attr->maxlength;
        }
        losses_.report(report, static_cast<std::uint64_t>(streamFrames_), framesInTake_, timeline_);
    }

    // The server's losses, no more than the take misses, with what the device itself could not keep,
    // in the order the gaps lie in the take.
    std::vector<Overrun> boundedOverruns() const {
        std::optional<std::uint64_t> held;
        if (begin_ && end_) {
            held = static_cast<std::uint64_t>(std::llround(
                std::max(0.0, std::chrono::duration<double>(*end_ - *begin_).count() * spec_.rate)));
        }
        std::vector<Overrun> all = losses_.told(held, timeline_, framesInTake_);
        const std::vector<Overrun>& own = backlog_.overruns();
        all.insert(all.end(), own.begin(), own.end());
        std::stable_sort(all.begin(), all.end(),
                         [](const Overrun& a, const Overrun& b) { return a.atFrame < b.atFrame; });
        return all;
    }

    // The server or the stream went away: what was captured comes back with the queued buffers,
    // and every later add or start fails with the server's reason. Runs with the lock held.
    void lose(std::string reason) {
        if (lost_) {
            return;
        }
        drain();
        placeFirst();
        lost_ = true;
        lostReason_ = std::move(reason);
        reasons_->set(MMSYSERR_NODRIVER, lostReason_);
        backlog_.feed(queue_);
        queue_.returnAll();
        // A take waiting for its end waits no more.
        endArrived();
    }

    void teardown() {
        if (!mainloop_) {
            return;
        }
        {
            // With the lock held the main loop's thread is not in the device; once the callbacks are
            // cleared and the requests cancelled it never enters it again, however late the server
            // answers.
            MainloopLock lock(mainloop_.get());
            if (connection_ != nullptr) {
                connection_->removeListener(this);
            }
            for (const Operation& request : requests_) {
                if (pa_operation_get_state(request.get()) == PA_OPERATION_RUNNING) {
                    pa_operation_cancel(request.get());
                }
            }
            requests_.clear();
            endTimer_.reset();
            if (stream_) {
                pa_stream_set_latency_update_callback(stream_.get(), nullptr, nullptr);
            }
            overruns_ = boundedOverruns();
            stream_.reset();
            context_.reset();
            connection_ = nullptr;
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

    static void onFirstReport(pa_stream*, int, void* self) {
        auto* device = static_cast<PulseDevice*>(self);
        device->placeFirst();
        if (device->awaitingEnd_ && device->arrived()) {
            device->endArrived();
        }
    }

    static void onSourceInfo(pa_context*, const pa_source_info* info, int, void* self) {
        auto* device = static_cast<PulseDevice*>(self);
        device->sourceAnswered_ = true;
        if (info != nullptr && device->awaitingEnd_) {
            const pa_usec_t held = std::max(info->configured_latency, info->latency);
            device->endTimer_->after(std::min(held + kEndGrace, pulse::kServerTimeout));
        }
    }

    static void onTiming(pa_stream*, void* self) { static_cast<PulseDevice*>(self)->checkForLoss(); }

    std::shared_ptr<detail::ErrorReasons> reasons_;
    QObject* notify_;
    // Declared first, destroyed last: the stream and the context belong to its thread.
    std::shared_ptr<pa_threaded_mainloop> mainloop_;
    Connection* connection_ = nullptr;
    pulse::ContextRef context_;
    pulse::Stream stream_;
    std::string source_;  // the chosen source at the open; empty for the default
    // Waits for the end's sound on the main loop's thread.
    std::unique_ptr<Connection::Timer> endTimer_;
    std::vector<Operation> requests_;  // asked of the server by this device, maybe not yet answered

    // Everything below is guarded by the main loop's lock.
    detail::HeaderQueue queue_;
    detail::Backlog backlog_;
    std::vector<Overrun> overruns_;  // kept once the main loop is gone
    pa_sample_spec spec_;
    const std::uint32_t blockAlign_;
    const bool wide_ = blockAlign_ == 3 * spec_.channels;  // a 24-bit take
    std::uint32_t serverFrame_;                   // a frame's bytes as the server hands it over
    std::optional<ServerSamples> layout_;         // how it hands over 24-bit samples
    std::vector<std::byte> packed_;               // the last read, packed to 24 bits
    std::uint32_t fragment_;        // the fragment size asked of the server
    std::uint32_t wantedFragment_;  // the length of the capture buffers prepared
    bool open_ = false;
    bool started_ = false;
    bool lost_ = false;
    std::string lostReason_;

    // Read before the take's first frame was placed.
    struct Early {
        std::int64_t from;
        std::int64_t frames;
        bool hole;
        std::vector<std::byte> bytes;
    };
    std::vector<Early> early_;
    std::int64_t streamFrames_ = 0;  // frames the read index has passed, holes included
    std::optional<std::chrono::steady_clock::time_point> begin_;  // the press
    std::optional<std::chrono::steady_clock::time_point> end_;    // the release
    detail::TakeTimeline timeline_;
    detail::ServerLosses losses_;
    std::uint64_t framesInTake_ = 0;  // frames of sound that went into the take
    bool awaitingEnd_ = false;        // the end's sound is still on its way
    bool sourceAnswered_ = false;     // the server said how much sound its source holds back
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
