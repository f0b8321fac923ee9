// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mixer/PeakSource.h"

#include "platform/mixer/PulseObjects.h"

#include <QCoreApplication>

#include <pulse/channelmap.h>
#include <pulse/proplist.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>

namespace platform::mixer {

namespace {

using detail::Context;
using detail::Mainloop;
using detail::MainloopLock;
using detail::Stream;

// One reading per 40 ms: the server hands the stream the largest magnitude of every 1/25 s.
constexpr std::uint32_t kReadingsPerSecond = 25;
constexpr std::uint8_t kChannels = 2;
// Readings come two at a time, every 80 ms: half the wake-ups of the server and of the recorder
// at rest, and still a smooth meter.
constexpr std::uint32_t kReadingsPerPacket = 2;
// After a lost server, a failed connection or a stopped stream, the next try comes this much later.
constexpr pa_usec_t kRetryDelay = PA_USEC_PER_SEC;

class PulsePeakSource final : public PeakSource {
public:
    explicit PulsePeakSource(std::string applicationName) : applicationName_(std::move(applicationName)) {
        mainloop_.reset(pa_threaded_mainloop_new());
        if (!mainloop_) {
            return;
        }
        api_ = pa_threaded_mainloop_get_api(mainloop_.get());
        MainloopLock lock(mainloop_.get());
        retry_ = api_->time_new(api_, nullptr, &PulsePeakSource::onRetry, this);
        scheduleRetry(0);
        if (pa_threaded_mainloop_start(mainloop_.get()) < 0) {
            api_->time_free(retry_);
            retry_ = nullptr;
        }
    }

    ~PulsePeakSource() override {
        if (!mainloop_) {
            return;
        }
        {
            MainloopLock lock(mainloop_.get());
            if (retry_ != nullptr) {
                api_->time_free(retry_);
                retry_ = nullptr;
            }
            stream_.reset();
            context_.reset();
        }
        pa_threaded_mainloop_stop(mainloop_.get());
    }

    PulsePeakSource(const PulsePeakSource&) = delete;
    PulsePeakSource& operator=(const PulsePeakSource&) = delete;

    void setWake(std::function<void()> wake) override {
        const std::lock_guard guard(peaksMutex_);
        wake_ = std::move(wake);
    }

    Peaks takePeaks() override {
        const std::lock_guard guard(peaksMutex_);
        Peaks taken = pending_;
        pending_.left = pending_.right = 0.0F;
        pending_.readings = 0;
        return taken;
    }

private:
    // Everything below runs on the main loop's thread, or with its lock held.

    void scheduleRetry(pa_usec_t delay) {
        if (retry_ == nullptr) {
            return;
        }
        struct timeval when;
        pa_gettimeofday(&when);
        pa_timeval_add(&when, delay);
        api_->time_restart(retry_, &when);
    }

    void setLive(bool live) {
        const std::lock_guard guard(peaksMutex_);
        const bool changed = pending_.live != live;
        pending_.live = live;
        if (!live) {
            pending_.left = pending_.right = 0.0F;
        }
        if (changed && wake_) {
            wake_();
        }
    }

    // Starts over: a fresh connection, then a fresh stream once it is ready.
    void connect() {
        stream_.reset();
        context_.reset();
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, applicationName_.c_str());
        context_.reset(pa_context_new_with_proplist(api_, applicationName_.c_str(), properties));
        pa_proplist_free(properties);
        if (!context_) {
            scheduleRetry(kRetryDelay);
            return;
        }
        pa_context_set_state_callback(context_.get(), &PulsePeakSource::onContextState, this);
        if (pa_context_connect(context_.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            scheduleRetry(kRetryDelay);
        }
    }

    void openStream() {
        const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kReadingsPerSecond, kChannels};
        pa_channel_map map;
        pa_channel_map_init_stereo(&map);
        stream_.reset(pa_stream_new(
            context_.get(),
            // Its name in the system's volume control.
            QCoreApplication::translate("PulsePeakSource", "Medidor de nível").toUtf8().constData(), &format,
            &map));
        if (!stream_) {
            scheduleRetry(kRetryDelay);
            return;
        }
        pa_stream_set_state_callback(stream_.get(), &PulsePeakSource::onStreamState, this);
        pa_stream_set_read_callback(stream_.get(), &PulsePeakSource::onReadable, this);
        // The source is asked to deliver at the pace of the fragments.
        pa_buffer_attr attr;
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = static_cast<std::uint32_t>(-1);
        attr.prebuf = static_cast<std::uint32_t>(-1);
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(pa_frame_size(&format)) * kReadingsPerPacket;
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_PEAK_DETECT | PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_record(stream_.get(), nullptr, &attr, flags) < 0) {
            scheduleRetry(kRetryDelay);
        }
    }

    void read() {
        float left = 0.0F;
        float right = 0.0F;
        std::uint32_t readings = 0;
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pa_stream_peek(stream_.get(), &data, &bytes) == 0 && bytes > 0) {
            // A hole (no data) measured nothing.
            if (data != nullptr) {
                const auto* bytesIn = static_cast<const unsigned char*>(data);
                const std::size_t frames = bytes / (kChannels * sizeof(float));
                for (std::size_t i = 0; i < frames; ++i) {
                    float frame[kChannels];
                    std::memcpy(frame, bytesIn + i * sizeof frame, sizeof frame);
                    left = std::max(left, std::fabs(frame[0]));
                    right = std::max(right, std::fabs(frame[1]));
                }
                readings += static_cast<std::uint32_t>(frames);
            }
            pa_stream_drop(stream_.get());
        }
        if (readings == 0) {
            return;
        }
        const std::lock_guard guard(peaksMutex_);
        pending_.left = std::max(pending_.left, left);
        pending_.right = std::max(pending_.right, right);
        pending_.readings += readings;
        if ((left > 0.0F || right > 0.0F) && wake_) {
            wake_();
        }
    }

    static void onRetry(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
        static_cast<PulsePeakSource*>(self)->connect();
    }

    static void onContextState(pa_context* context, void* userdata) {
        auto* self = static_cast<PulsePeakSource*>(userdata);
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY) {
            self->openStream();
        } else if (!PA_CONTEXT_IS_GOOD(state)) {
            // Torn down by the retry, outside this callback.
            self->setLive(false);
            self->scheduleRetry(kRetryDelay);
        }
    }

    static void onStreamState(pa_stream* stream, void* userdata) {
        auto* self = static_cast<PulsePeakSource*>(userdata);
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY) {
            self->setLive(true);
        } else if (!PA_STREAM_IS_GOOD(state)) {
            self->setLive(false);
            self->scheduleRetry(kRetryDelay);
        }
    }

    static void onReadable(pa_stream*, std::size_t, void* self) { static_cast<PulsePeakSource*>(self)->read(); }

    std::string applicationName_;
    // Declared first, destroyed last: the stream and the context belong to its thread.
    Mainloop mainloop_;
    pa_mainloop_api* api_ = nullptr;
    pa_time_event* retry_ = nullptr;
    Context context_;
    Stream stream_;

    std::mutex peaksMutex_;
    Peaks pending_;
    std::function<void()> wake_;
};

}  // namespace

std::unique_ptr<PeakSource> makePulseAudioPeakSource(const QString& applicationName) {
    return std::make_unique<PulsePeakSource>(applicationName.toStdString());
}

}  // namespace platform::mixer
