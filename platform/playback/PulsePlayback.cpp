// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/playback/Playback.h"
#include "platform/playback/Worker.h"

#include "platform/pulse/Connection.h"

#include <QCoreApplication>

#include <pulse/error.h>
#include <pulse/stream.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <utility>

namespace platform::playback {

namespace {

using pulse::Connection;
using pulse::MainloopLock;
using pulse::Operation;
using pulse::Stream;

// The server holds half a second and asks for more a tenth of a second at a time: a handful of
// wake-ups a second, and a disk that stalls for a moment is not heard.
constexpr double kServerBufferSeconds = 0.5;
constexpr double kRequestSeconds = 0.1;
// Sound starts once this much is with the server, and starts again after an underrun.
constexpr double kStartSeconds = 0.1;
// The reader stays up to this far ahead of the server, reading a quarter of a second at a time.
constexpr double kRingSeconds = 2.0;
constexpr double kReadSeconds = 0.25;

constexpr std::uint32_t kSampleBytes = sizeof(std::int32_t);

// A sentence for the user around the server's own reason; also called on the server's thread.
QString told(const char* text, const std::string& reason) {
    return QCoreApplication::translate("PulsePlayback", text).arg(QString::fromStdString(reason));
}

const char* const kCannotConnect =
    QT_TRANSLATE_NOOP("PulsePlayback", "Não foi possível conectar ao servidor de som: %1");
const char* const kCannotPlay = QT_TRANSLATE_NOOP("PulsePlayback", "Não foi possível tocar no servidor de som: %1");
const char* const kLost = QT_TRANSLATE_NOOP("PulsePlayback", "A conexão com o servidor de som foi perdida: %1");

std::uint64_t framesIn(double seconds, std::uint32_t rate) {
    return std::max<std::uint64_t>(static_cast<std::uint64_t>(seconds * rate), 1);
}

// The frames between the reader's thread and the server's: the reader fills it from the source,
// the server's thread empties it into the stream. A restart (a new span or a seek) begins a new
// generation; what the reader was reading for the last one is dropped.
struct Ring {
    explicit Ring(std::shared_ptr<const FrameSource> from)
        : source(std::move(from)),
          channels(std::max<std::uint16_t>(source->format().channels, 1)),
          capacity(framesIn(kRingSeconds, source->format().rate)),
          readFrames(framesIn(kReadSeconds, source->format().rate)),
          samples(new std::int32_t[capacity * channels]) {}

    const std::shared_ptr<const FrameSource> source;
    const std::size_t channels;
    const std::uint64_t capacity;    // frames
    const std::uint64_t readFrames;  // read at a time
    const std::unique_ptr<std::int32_t[]> samples;

    std::mutex mutex;
    std::condition_variable space;
    // Guarded by `mutex`.
    std::uint64_t generation = 0;
    bool active = false;
    std::uint64_t next = 0;  // the source frame read next
    std::uint64_t end = 0;   // the reader stops here
    std::uint64_t head = 0;  // frames put in since the generation began
    std::uint64_t tail = 0;  // frames taken out since then
    // The stream asked for more than there was: the reader wakes the server's side when it adds some.
    bool starved = false;

    // Held while the wake is called, so the player can take it away for good.
    std::mutex wakeMutex;
    std::function<void()> wake;

    bool allRead() const { return next >= end && head == tail; }
};

// The reader's thread: keeps the ring full from the source.
void keepFull(const std::shared_ptr<Ring>& shared, const std::atomic<bool>& stop) {
    Ring& ring = *shared;
    std::unique_lock lock(ring.mutex);
    for (;;) {
        ring.space.wait(lock, [&] {
            return stop.load(std::memory_order_acquire) ||
                   (ring.active && ring.next < ring.end &&
                    ring.capacity - (ring.head - ring.tail) >= std::min(ring.readFrames, ring.end - ring.next));
        });
        if (stop.load(std::memory_order_acquire)) {
            return;
        }
        const std::uint64_t generation = ring.generation;
        const std::uint64_t at = ring.head % ring.capacity;
        const std::uint64_t from = ring.next;
        const std::uint64_t count = std::min({ring.readFrames, ring.end - ring.next, ring.capacity - at,
                                              ring.capacity - (ring.head - ring.tail)});
        // Only this thread writes into the free part of the ring, and nobody reads it until `head`
        // passes it: the read goes straight in, without the lock.
        lock.unlock();
        ring.source->readInt32(from, from + count, ring.samples.get() + at * ring.channels);
        lock.lock();
        if (generation != ring.generation) {
            continue;
        }
        ring.head += count;
        ring.next += count;
        if (std::exchange(ring.starved, false)) {
            lock.unlock();
            {
                const std::lock_guard wakeLock(ring.wakeMutex);
                if (ring.wake) {
                    ring.wake();
                }
            }
            lock.lock();
        }
    }
}

class PulsePlayback final : public Playback, private Connection::Listener {
public:
    PulsePlayback(std::shared_ptr<Connection> connection, std::shared_ptr<const FrameSource> source)
        : connection_(std::move(connection)),
          format_(source->format()),
          frames_(source->frames()),
          frameBytes_(std::max<std::uint32_t>(format_.channels, 1) * kSampleBytes),
          ring_(std::make_shared<Ring>(std::move(source))),
          reader_([ring = ring_](const std::atomic<bool>& stop) { keepFull(ring, stop); }) {
        ring_->wake = [this] {
            MainloopLock lock(connection_->mainloop());
            feed();
        };
        end_ = frames_;
        if (connection_->mainloop() != nullptr) {
            MainloopLock lock(connection_->mainloop());
            connection_->addListener(this);
        }
    }

    ~PulsePlayback() override {
        {
            const std::lock_guard wakeLock(ring_->wakeMutex);
            ring_->wake = nullptr;
        }
        if (connection_->mainloop() != nullptr) {
            MainloopLock lock(connection_->mainloop());
            connection_->removeListener(this);
            closeStream();
        }
        reader_.requestStop();
        {
            // Taken so the reader is either waiting (and hears this) or has not yet checked.
            const std::lock_guard lock(ring_->mutex);
        }
        ring_->space.notify_all();
    }

    PulsePlayback(const PulsePlayback&) = delete;
    PulsePlayback& operator=(const PulsePlayback&) = delete;

    void play(std::uint64_t from, std::uint64_t to) override {
        to = std::min(to, frames_);
        from = std::min(from, to);
        if (connection_->mainloop() == nullptr) {
            position_ = from;
            end_ = to;
            deliverFailure(told(kCannotConnect, pa_strerror(PA_ERR_INTERNAL)));
            return;
        }
        MainloopLock lock(connection_->mainloop());
        closeStream();
        end_ = to;
        position_ = from;
        playing_ = false;
        if (from >= to) {
            deliverEnd();
            return;
        }
        if (!connection_->ready()) {
            deliverFailure(told(kCannotConnect, connection_->lastError()));
            return;
        }
        startRun(from);
    }

    void pause() override {
        if (connection_->mainloop() == nullptr) {
            return;
        }
        MainloopLock lock(connection_->mainloop());
        if (!playing_) {
            return;
        }
        position_ = heardNow();
        closeStream();
        playing_ = false;
    }

    void resume() override {
        std::uint64_t from = 0;
        std::uint64_t to = 0;
        if (connection_->mainloop() != nullptr) {
            MainloopLock lock(connection_->mainloop());
            if (playing_) {
                return;
            }
            from = position_;
            to = end_;
        }
        play(from, to);
    }

    void seek(std::uint64_t frame) override {
        frame = std::min(frame, frames_);
        if (connection_->mainloop() == nullptr) {
            position_ = frame;
            return;
        }
        MainloopLock lock(connection_->mainloop());
        if (frame >= end_) {
            end_ = frames_;
        }
        position_ = frame;
        if (playing_) {
            closeStream();
            if (frame >= end_) {
                playing_ = false;
                deliverEnd();
                return;
            }
            startRun(frame);
        }
    }

    std::uint64_t position() const override {
        if (connection_->mainloop() == nullptr) {
            return position_;
        }
        MainloopLock lock(connection_->mainloop());
        return playing_ ? heardNow() : position_;
    }

    bool isPlaying() const override {
        if (connection_->mainloop() == nullptr) {
            return false;
        }
        MainloopLock lock(connection_->mainloop());
        return playing_;
    }

private:
    // Everything below runs with the main loop's lock held.

    // A fresh stream that plays from `from` to end_; the reader starts on it at once, so the first
    // request finds sound waiting.
    void startRun(std::uint64_t from) {
        ++run_;
        runStart_ = from;
        written_ = 0;
        lastHeard_ = 0;
        {
            const std::lock_guard guard(ring_->mutex);
            ++ring_->generation;
            ring_->active = true;
            ring_->next = from;
            ring_->end = end_;
            ring_->head = ring_->tail = 0;
            ring_->starved = false;
        }
        ring_->space.notify_all();

        const pa_sample_spec spec{PA_SAMPLE_S32NE, format_.rate, static_cast<std::uint8_t>(format_.channels)};
        stream_.reset(pa_stream_new(
            connection_->context(),
            // Its name in the system's volume control.
            QCoreApplication::translate("PulsePlayback", "Reprodução").toUtf8().constData(), &spec, nullptr));
        if (!stream_) {
            failNow(told(kCannotPlay, connection_->lastError()));
            return;
        }
        pa_stream_set_state_callback(stream_.get(), &PulsePlayback::onStreamState, this);
        pa_stream_set_write_callback(stream_.get(), &PulsePlayback::onWritable, this);
        pa_buffer_attr attr;
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = bytesFor(kServerBufferSeconds);
        attr.prebuf = bytesFor(kStartSeconds);
        attr.minreq = bytesFor(kRequestSeconds);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
        if (pa_stream_connect_playback(stream_.get(), nullptr, &attr, flags, nullptr, nullptr) < 0) {
            failNow(told(kCannotPlay, connection_->lastError()));
            return;
        }
        playing_ = true;
    }

    std::uint32_t bytesFor(double seconds) const {
        return static_cast<std::uint32_t>(framesIn(seconds, format_.rate) * frameBytes_);
    }

    // Hands the stream what it asks for, as far as the ring holds it; at the end of the span asks
    // the server to say when all of it has been played.
    void feed() {
        if (!stream_ || pa_stream_get_state(stream_.get()) != PA_STREAM_READY) {
            return;
        }
        const std::size_t writable = pa_stream_writable_size(stream_.get());
        if (writable == static_cast<std::size_t>(-1)) {
            return;
        }
        std::uint64_t wanted = writable / frameBytes_;
        bool atEnd = false;
        {
            const std::lock_guard guard(ring_->mutex);
            while (wanted > 0 && ring_->head > ring_->tail) {
                const std::uint64_t at = ring_->tail % ring_->capacity;
                const std::uint64_t count =
                    std::min({wanted, ring_->head - ring_->tail, ring_->capacity - at});
                if (pa_stream_write(stream_.get(), ring_->samples.get() + at * ring_->channels,
                                    count * frameBytes_, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
                    break;
                }
                ring_->tail += count;
                written_ += count;
                wanted -= count;
            }
            atEnd = ring_->allRead();
            if (wanted > 0 && !atEnd) {
                ring_->starved = true;
            }
        }
        ring_->space.notify_all();
        noteHeard();
        if (atEnd && !drain_) {
            drain_.reset(pa_stream_drain(stream_.get(), &PulsePlayback::onDrained, this));
        }
    }

    void noteHeard() {
        pa_usec_t usec = 0;
        if (stream_ && pa_stream_get_time(stream_.get(), &usec) >= 0) {
            lastHeard_ = std::min(written_, usec * format_.rate / 1000000);
        }
    }

    std::uint64_t heardNow() const {
        std::uint64_t heard = lastHeard_;
        pa_usec_t usec = 0;
        if (stream_ && pa_stream_get_time(stream_.get(), &usec) >= 0) {
            heard = std::min(written_, usec * format_.rate / 1000000);
        }
        return std::min(runStart_ + heard, end_);
    }

    void closeStream() {
        ++run_;
        if (drain_) {
            pa_operation_cancel(drain_.get());
            drain_.reset();
        }
        if (stream_) {
            pa_stream_set_write_callback(stream_.get(), nullptr, nullptr);
            stream_.reset();
        }
        {
            const std::lock_guard guard(ring_->mutex);
            ++ring_->generation;
            ring_->active = false;
            ring_->starved = false;
        }
    }

    void failNow(const QString& reason) {
        closeStream();
        playing_ = false;
        deliverFailure(reason);
    }

    // The signals reach the window's thread later; one from a span that was replaced since is dropped.
    void deliverEnd() {
        deliver([this] { emit finished(); });
    }
    void deliverFailure(const QString& reason) {
        deliver([this, reason] { emit failed(reason); });
    }
    void deliver(std::function<void()> signal) {
        QMetaObject::invokeMethod(
            this,
            [this, run = run_, signal = std::move(signal)] {
                if (connection_->mainloop() != nullptr) {
                    MainloopLock lock(connection_->mainloop());
                    if (run != run_) {
                        return;
                    }
                }
                signal();
            },
            Qt::QueuedConnection);
    }

    void contextLost() override {
        if (!playing_) {
            return;
        }
        position_ = heardNow();
        failNow(told(kLost, connection_->lastError()));
    }

    static void onStreamState(pa_stream* stream, void* self) {
        auto* player = static_cast<PulsePlayback*>(self);
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY) {
            player->feed();
        } else if (!PA_STREAM_IS_GOOD(state) && player->playing_) {
            player->position_ = std::min(player->runStart_ + player->lastHeard_, player->end_);
            player->failNow(told(kCannotPlay, player->connection_->lastError()));
        }
    }

    static void onWritable(pa_stream*, std::size_t, void* self) { static_cast<PulsePlayback*>(self)->feed(); }

    static void onDrained(pa_stream*, int success, void* self) {
        auto* player = static_cast<PulsePlayback*>(self);
        if (!success || !player->playing_) {
            return;
        }
        player->position_ = player->end_;
        player->closeStream();
        player->playing_ = false;
        player->deliverEnd();
    }

    // Declared first, destroyed last: the stream belongs to its main loop.
    const std::shared_ptr<Connection> connection_;
    const Format format_;
    const std::uint64_t frames_;
    const std::uint32_t frameBytes_;
    const std::shared_ptr<Ring> ring_;

    // Guarded by the main loop's lock (or only touched on the window's thread without a main loop).
    Stream stream_;
    Operation drain_;
    bool playing_ = false;
    std::uint64_t position_ = 0;  // while not playing
    std::uint64_t end_ = 0;       // of the span
    std::uint64_t runStart_ = 0;  // the frame the stream began at
    std::uint64_t written_ = 0;   // frames handed to the stream
    std::uint64_t lastHeard_ = 0; // frames of the stream heard at the last look at its clock
    std::uint64_t run_ = 0;       // changes with every stream begun or ended

    // Last: stopped before anything it might wake is gone.
    Worker reader_;
};

}  // namespace

std::unique_ptr<Playback> makePulseAudioPlayback(std::shared_ptr<pulse::Connection> connection,
                                                 std::shared_ptr<const FrameSource> source) {
    return std::make_unique<PulsePlayback>(std::move(connection), std::move(source));
}

}  // namespace platform::playback
