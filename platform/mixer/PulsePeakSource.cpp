// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mixer/PeakSource.h"

#include "platform/pulse/Connection.h"

#include <QCoreApplication>

#include <pulse/channelmap.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>

namespace platform::mixer {

namespace {

using pulse::Connection;
using pulse::MainloopLock;
using pulse::Stream;

// One reading per 40 ms: the server hands the stream the largest magnitude of every 1/25 s.
constexpr std::uint32_t kReadingsPerSecond = 25;
constexpr std::uint8_t kChannels = 2;
// Readings come two at a time, every 80 ms: half the wake-ups of the server and of the recorder
// at rest, and still a smooth meter.
constexpr std::uint32_t kReadingsPerPacket = 2;

class PulsePeakSource final : public PeakSource, private Connection::Listener {
public:
    explicit PulsePeakSource(std::shared_ptr<Connection> connection) : connection_(std::move(connection)) {
        if (connection_->mainloop() == nullptr) {
            return;
        }
        MainloopLock lock(connection_->mainloop());
        // After a stream that failed (its source went away), the next one comes a little later.
        retry_ = std::make_unique<Connection::Timer>(*connection_, [this] {
            if (connection_->ready()) {
                openStream();
            }
        });
        connection_->addListener(this);
        if (connection_->ready()) {
            openStream();
        }
    }

    ~PulsePeakSource() override {
        if (connection_->mainloop() == nullptr) {
            return;
        }
        MainloopLock lock(connection_->mainloop());
        connection_->removeListener(this);
        retry_.reset();
        stream_.reset();
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
        pending_.sourceChanged = false;
        return taken;
    }

private:
    // Everything below runs on the main loop's thread, or with its lock held.

    void retryLater() { retry_->after(pulse::kRetryDelay); }

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

    void contextReady() override { openStream(); }
    void contextLost() override {
        stream_.reset();
        setLive(false);
    }
    void sourceChosen() override {
        {
            // What the meters showed was another input's.
            const std::lock_guard guard(peaksMutex_);
            pending_.sourceChanged = true;
            pending_.left = pending_.right = 0.0F;
            pending_.readings = 0;
        }
        setLive(false);
        if (connection_->ready()) {
            openStream();
        }
    }

    // A fresh stream on the chosen source, or on the default one. A chosen source is never left for
    // another: when it goes, the stream fails and the meters go dark until it is back.
    void openStream() {
        stream_.reset();
        const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kReadingsPerSecond, kChannels};
        pa_channel_map map;
        pa_channel_map_init_stereo(&map);
        stream_.reset(pa_stream_new(
            connection_->context(),
            // Its name in the system's volume control.
            QCoreApplication::translate("PulsePeakSource", "Medidor de nível").toUtf8().constData(), &format,
            &map));
        if (!stream_) {
            retryLater();
            return;
        }
        pa_stream_set_state_callback(stream_.get(), &PulsePeakSource::onStreamState, this);
        pa_stream_set_read_callback(stream_.get(), &PulsePeakSource::onReadable, this);
        // The source is asked to deliver at the pace of the fragments.
        const pa_buffer_attr attr = pulse::recordBufferAttributes(
            static_cast<std::uint32_t>(pa_frame_size(&format)) * kReadingsPerPacket);
        const std::string& chosen = connection_->chosenSource();
        auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_PEAK_DETECT | PA_STREAM_ADJUST_LATENCY);
        if (!chosen.empty()) {
            flags = static_cast<pa_stream_flags_t>(flags | PA_STREAM_DONT_MOVE);
        }
        if (pa_stream_connect_record(stream_.get(), chosen.empty() ? nullptr : chosen.c_str(), &attr, flags) <
            0) {
            retryLater();
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

    static void onStreamState(pa_stream* stream, void* userdata) {
        auto* self = static_cast<PulsePeakSource*>(userdata);
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY) {
            // The server also reads a number as a source's index and "@...@" as a default: a
            // chosen name is only ever the source of that name, as it is for the take.
            const std::string& chosen = self->connection_->chosenSource();
            const char* device = pa_stream_get_device_name(stream);
            if (!chosen.empty() && (device == nullptr || chosen != device)) {
                self->stream_.reset();
                self->setLive(false);
                self->retryLater();
                return;
            }
            self->setLive(true);
        } else if (!PA_STREAM_IS_GOOD(state)) {
            self->setLive(false);
            self->retryLater();
        }
    }

    static void onReadable(pa_stream*, std::size_t, void* self) { static_cast<PulsePeakSource*>(self)->read(); }

    // Declared first, destroyed last: the stream belongs to its main loop.
    std::shared_ptr<Connection> connection_;
    std::unique_ptr<Connection::Timer> retry_;
    Stream stream_;

    std::mutex peaksMutex_;
    Peaks pending_;
    std::function<void()> wake_;
};

}  // namespace

std::unique_ptr<PeakSource> makePulseAudioPeakSource(std::shared_ptr<pulse::Connection> connection) {
    return std::make_unique<PulsePeakSource>(std::move(connection));
}

std::unique_ptr<PeakSource> makePulseAudioPeakSource(const QString& applicationName) {
    return makePulseAudioPeakSource(pulse::connectToSoundServer(applicationName));
}

}  // namespace platform::mixer
