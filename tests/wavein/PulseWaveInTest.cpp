// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The PulseAudio wave-input backend against a private server whose default source is a 440 Hz sine.

#include "platform/wavein/PulseWaveIn.h"

#include "CountingSource.h"
#include "PrivateServer.h"
#include "WaveInHarness.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fstream>
#include <numbers>
#include <thread>

using namespace platform::wavein;
using namespace wavein_test;

namespace {

struct TakeFormat {
    std::uint32_t rate;
    std::uint16_t channels;
    std::uint32_t bufferSize;  // what the recorder prepares for this format
};

constexpr TakeFormat kTakeFormats[] = {
    {44100, 1, 8820},  {44100, 2, 35280}, {22050, 1, 4410},
    {22050, 2, 17640}, {11025, 1, 2204},  {11025, 2, 8820},
};

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() { qputenv(name_, old_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    QByteArray old_;
};

// A take as the recorder runs it: ten buffers, each handed back to the device as soon as its
// notification is handled, the audio kept in notification order.
struct Take {
    Take(const TakeFormat& f) : format(takeFormat(f.rate, f.channels)), pool(10, f.bufferSize) {
        receiver.onData = [this](const Receiver::Note& note) {
            EXPECT_TRUE(note.flags & WHDR_DONE);
            EXPECT_FALSE(note.flags & WHDR_INQUEUE);
            EXPECT_EQ(note.bytesRecorded % format.nBlockAlign, 0u) << "whole frames only";
            order.push_back(pool.indexOf(note.header));
            audio.insert(audio.end(), note.header->lpData, note.header->lpData + note.bytesRecorded);
            if (requeue && device) {
                EXPECT_EQ(device->addBuffer(*note.header), MMSYSERR_NOERROR);
            }
        };
    }

    bool open(WaveIn& waveIn) {
        const MMRESULT status = waveIn.open(device, format, &receiver);
        EXPECT_EQ(status, MMSYSERR_NOERROR) << waveIn.errorText(status);
        return status == MMSYSERR_NOERROR && device;
    }

    bool startAll() { return pool.prepareAndQueueAll(*device) && device->start() == MMSYSERR_NOERROR; }

    bool waitForSeconds(double seconds) {
        const auto wanted = static_cast<std::size_t>(seconds * format.nAvgBytesPerSec);
        return QTest::qWaitFor([&] { return audio.size() >= wanted; }, 30000);
    }

    std::vector<std::int16_t> samples() const { return samplesOf(audio.data(), audio.size()); }

    WAVEFORMATEX format;
    Pool pool;
    Receiver receiver;
    std::unique_ptr<WaveInDevice> device;
    std::vector<std::byte> audio;
    std::vector<std::size_t> order;
    bool requeue = true;
};

// The samples once the sine runs steadily: a stream may open with a little silence, the server's
// resampler rings for a few samples when it starts, and the test server's loopback settles during
// its first tenth of a second. Half a second of sound is left out.
std::vector<std::int16_t> settled(const std::vector<std::int16_t>& samples, unsigned channels,
                                  unsigned rate) {
    std::size_t first = 0;
    while (first < samples.size() && std::abs(samples[first]) < 64) {
        ++first;
    }
    first = std::min(samples.size(), first - first % channels + rate / 2 * channels);
    return {samples.begin() + static_cast<std::ptrdiff_t>(first), samples.end()};
}

// The largest step between neighbouring samples that a sine of this peak and frequency allows,
// with room for the server's resampler.
int allowedStep(int peakValue, double frequency, double rate) {
    return static_cast<int>(2.0 * peakValue * std::sin(std::numbers::pi * frequency / rate) * 1.15) + 16;
}

void expectQueueOrder(const std::vector<std::size_t>& order, std::size_t poolSize) {
    for (std::size_t n = 0; n < order.size(); ++n) {
        ASSERT_EQ(order[n], n % poolSize) << "notification " << n << " is out of queue order";
    }
}

class PulseTakeFormats : public ::testing::TestWithParam<TakeFormat> {};

TEST_P(PulseTakeFormats, CapturesTheSineInQueueOrderAndReturnsEverythingOnReset) {
    const TakeFormat f = GetParam();
    auto waveIn = makePulseAudioWaveIn("Tolvane tests");
    Take take(f);
    ASSERT_TRUE(take.open(*waveIn));
    ASSERT_TRUE(take.startAll());
    ASSERT_TRUE(take.waitForSeconds(2.5));

    take.requeue = false;
    const std::size_t before = take.receiver.notes.size();
    ASSERT_EQ(take.device->reset(), MMSYSERR_NOERROR);
    for (std::size_t i = 0; i < take.pool.size(); ++i) {
        EXPECT_EQ(take.pool.header(i).dwFlags.load(), WHDR_PREPARED | WHDR_DONE) << i;
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(take.receiver.notes.size() - before, 10u) << "every queued buffer comes back once";
    ASSERT_EQ(take.device->close(), MMSYSERR_NOERROR);
    QTest::qWait(150);
    EXPECT_EQ(take.receiver.notes.size() - before, 10u) << "nothing is posted after close";

    expectQueueOrder(take.order, take.pool.size());
    // Buffers handled during the take were full; only the ones the reset returned may be partial.
    for (std::size_t n = 0; n < before; ++n) {
        EXPECT_EQ(take.receiver.notes[n].bytesRecorded, f.bufferSize) << n;
    }

    const auto samples = settled(take.samples(), f.channels, f.rate);
    ASSERT_GT(samples.size(), f.rate * f.channels * 3 / 2);
    const int top = peak(samples);
    EXPECT_GT(top, 1000);
    for (unsigned c = 0; c < f.channels; ++c) {
        EXPECT_NEAR(zeroCrossingFrequency(samples, f.channels, c, f.rate), 440.0, 4.4) << "channel " << c;
        EXPECT_LE(largestStep(samples, f.channels, c), allowedStep(top, 440.0, f.rate)) << "channel " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(All, PulseTakeFormats, ::testing::ValuesIn(kTakeFormats),
                         [](const ::testing::TestParamInfo<TakeFormat>& info) {
                             return std::to_string(info.param.rate) +
                                    (info.param.channels == 1 ? "Mono" : "Stereo");
                         });

// The server is asked for 24-bit samples and converts whatever its source has: from a source of
// 24-bit sound, every value comes through, the low byte too.
TEST(PulseWaveIn, A24BitTakeHoldsEveryValueOfA24BitCount) {
    const testsupport::ServerOfOwn own;
    ASSERT_TRUE(own.started());
    const testsupport::CountingSource count(96000, 24);
    ASSERT_TRUE(count.playing());
    auto waveIn = makePulseAudioWaveIn("Tolvane tests");
    Take take({96000, 2, 115200});
    take.format.wBitsPerSample = 24;
    take.format.nBlockAlign = 6;
    take.format.nAvgBytesPerSec = 6 * 96000;
    ASSERT_TRUE(take.open(*waveIn));
    ASSERT_TRUE(take.startAll());
    ASSERT_TRUE(take.waitForSeconds(2.5));
    take.requeue = false;
    ASSERT_EQ(take.device->reset(), MMSYSERR_NOERROR);
    QCoreApplication::processEvents();
    ASSERT_EQ(take.device->close(), MMSYSERR_NOERROR);

    const auto byte = [&](std::size_t at) { return std::to_integer<std::uint32_t>(take.audio[at]); };
    const auto valueAt = [&](std::size_t frame) {
        const std::size_t at = 6 * frame;
        return static_cast<std::uint64_t>(byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16) |
               static_cast<std::uint64_t>(byte(at + 3) | byte(at + 4) << 8 | byte(at + 5) << 16) << 24;
    };
    const std::size_t frames = take.audio.size() / 6;
    std::size_t first = 0;
    while (first < frames && valueAt(first) == 0) {
        ++first;
    }
    ASSERT_GT(frames - first, 96000u * 2) << "two seconds of the count";
    std::size_t jumps = 0;
    for (std::size_t f = first + 1; f < frames; ++f) {
        if (valueAt(f) != valueAt(f - 1) + 1 && ++jumps <= 5) {
            ADD_FAILURE() << "frame " << f - first << ": " << valueAt(f - 1) << " then " << valueAt(f);
        }
    }
    EXPECT_EQ(jumps, 0u);
}

TEST(PulseWaveIn, AStalledWindowLosesNoAudio) {
    const TakeFormat f{44100, 1, 8820};
    auto waveIn = makePulseAudioWaveIn("Tolvane tests");
    Take take(f);
    ASSERT_TRUE(take.open(*waveIn));

    // How far the captured audio is ahead of the clock, at each notification. A source may render
    // ahead in bursts of up to two seconds (a bare sine source does), so the lead may swing;
    // its top over a window longer than a burst only drops when audio went missing.
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    std::vector<std::pair<double, double>> leads;  // (seconds since start, lead)
    auto handle = take.receiver.onData;
    take.receiver.onData = [&](const Receiver::Note& note) {
        handle(note);
        const double now = std::chrono::duration<double>(Clock::now() - started).count();
        leads.emplace_back(now, static_cast<double>(take.audio.size()) / take.format.nAvgBytesPerSec - now);
    };
    auto topLead = [&](double from, double to) {
        double top = -1e9;
        for (const auto& [at, lead] : leads) {
            if (at >= from && at <= to) {
                top = std::max(top, lead);
            }
        }
        return top;
    };

    ASSERT_TRUE(take.startAll());
    QTest::qWait(3000);
    // Twice as long as the ten queued buffers last: without the stream's backlog a second is lost.
    const double stallStart = std::chrono::duration<double>(Clock::now() - started).count();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    QTest::qWait(3500);

    take.requeue = false;
    ASSERT_EQ(take.device->reset(), MMSYSERR_NOERROR);
    QCoreApplication::processEvents();
    take.device->close();
    expectQueueOrder(take.order, take.pool.size());

    const double before = topLead(0.5, stallStart);
    const double after = topLead(stallStart + 3.0, stallStart + 5.5);
    RecordProperty("lead_before_stall", std::to_string(before));
    RecordProperty("lead_after_stall", std::to_string(after));
    EXPECT_NEAR(after, before, 0.3);

    const auto samples = settled(take.samples(), 1, f.rate);
    EXPECT_LE(largestStep(samples, 1, 0), allowedStep(peak(samples), 440.0, f.rate));
    EXPECT_NEAR(zeroCrossingFrequency(samples, 1, 0, f.rate), 440.0, 4.4);
}

TEST(PulseWaveIn, RestartsAfterAStopAndAfterAReset) {
    const TakeFormat f{22050, 2, 17640};
    auto waveIn = makePulseAudioWaveIn("Tolvane tests");
    Take take(f);
    ASSERT_TRUE(take.open(*waveIn));
    ASSERT_TRUE(take.startAll());
    ASSERT_TRUE(take.waitForSeconds(0.3));

    take.requeue = false;
    ASSERT_EQ(take.device->stop(), MMSYSERR_NOERROR);
    QCoreApplication::processEvents();
    const std::size_t afterStop = take.receiver.notes.size();
    QTest::qWait(300);
    EXPECT_EQ(take.receiver.notes.size(), afterStop) << "a stopped device fills nothing";

    take.requeue = true;
    ASSERT_EQ(take.device->start(), MMSYSERR_NOERROR);
    ASSERT_TRUE(take.waitForSeconds(0.8));
    take.requeue = false;
    ASSERT_EQ(take.device->reset(), MMSYSERR_NOERROR);
    QCoreApplication::processEvents();

    // After a reset the buffers go back in and the device starts afresh.
    take.audio.clear();
    for (std::size_t i = 0; i < take.pool.size(); ++i) {
        ASSERT_EQ(take.device->addBuffer(take.pool.header(i)), MMSYSERR_NOERROR);
    }
    take.requeue = true;
    ASSERT_EQ(take.device->start(), MMSYSERR_NOERROR);
    ASSERT_TRUE(take.waitForSeconds(0.5));
    take.requeue = false;
    ASSERT_EQ(take.device->reset(), MMSYSERR_NOERROR);
    for (std::size_t i = 0; i < take.pool.size(); ++i) {
        EXPECT_EQ(take.device->unprepareHeader(take.pool.header(i)), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(take.device->close(), MMSYSERR_NOERROR);
    const auto samples = settled(take.samples(), 2, f.rate);
    EXPECT_NEAR(zeroCrossingFrequency(samples, 2, 0, f.rate), 440.0, 4.4);
}

TEST(PulseWaveIn, OpenWithoutAServerFailsWithItsReason) {
    ScopedEnv server("PULSE_SERVER", "unix:/nonexistent/tolvane-wavein-test");
    auto waveIn = makePulseAudioWaveIn("Tolvane tests");
    Receiver receiver;
    std::unique_ptr<WaveInDevice> device;

    WAVEFORMATEX wrong = takeFormat(44100, 2);
    wrong.wBitsPerSample = 8;
    EXPECT_EQ(waveIn->open(device, wrong, &receiver), WAVERR_BADFORMAT);

    const MMRESULT status = waveIn->open(device, takeFormat(44100, 2), &receiver);
    EXPECT_EQ(status, MMSYSERR_NODRIVER);
    EXPECT_FALSE(device);
    const std::string text = waveIn->errorText(status);
    const std::string prefix = "Não foi possível conectar ao servidor de som: ";
    ASSERT_EQ(text.rfind(prefix, 0), 0u) << text;
    EXPECT_GT(text.size(), prefix.size() + 3) << "the server's reason follows";
    EXPECT_EQ(waveIn->errorText(WAVERR_BADFORMAT), standardErrorText(WAVERR_BADFORMAT));
    QCoreApplication::processEvents();
    EXPECT_TRUE(receiver.notes.empty());
}

// A sound server of the test's own, so it can die without disturbing the other tests.
class OwnServer {
public:
    OwnServer() : dir_(QDir::tempPath() + "/tolvane-wavein-XXXXXX") {
        script_ = qEnvironmentVariable("TOLVANE_TEST_SOURCE_DIR") + "/tests/support/pulse-server";
        started_ = QProcess::execute(script_, {"start", dir_.path()}) == 0;
    }
    ~OwnServer() { QProcess::execute(script_, {"stop", dir_.path()}); }
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;

    bool started() const { return started_; }
    QByteArray address() const { return ("unix:" + dir_.path() + "/native").toUtf8(); }
    void kill() const {
        std::ifstream pidFile((dir_.path() + "/pid").toStdString());
        pid_t pid = 0;
        pidFile >> pid;
        ASSERT_GT(pid, 0);
        ::kill(pid, SIGKILL);
    }

private:
    QTemporaryDir dir_;
    QString script_;
    bool started_ = false;
};

TEST(PulseWaveIn, ServerDyingMidTakeReturnsTheBuffersAndRefusesMore) {
    OwnServer server;
    ASSERT_TRUE(server.started());
    ScopedEnv address("PULSE_SERVER", server.address());
    auto waveIn = makePulseAudioWaveIn("Tolvane tests");
    const TakeFormat f{44100, 2, 35280};
    Take take(f);
    ASSERT_TRUE(take.open(*waveIn));
    ASSERT_TRUE(take.startAll());
    ASSERT_TRUE(take.waitForSeconds(0.5));

    take.requeue = false;
    server.kill();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (std::size_t i = 0; i < take.pool.size(); ++i) {
                if (!take.pool.header(i).isDone()) {
                    return false;
                }
            }
            return true;
        },
        10000))
        << "the queued buffers come back when the server dies";
    QCoreApplication::processEvents();
    expectQueueOrder(take.order, take.pool.size());

    const MMRESULT status = take.device->addBuffer(take.pool.header(0));
    EXPECT_EQ(status, MMSYSERR_NODRIVER);
    EXPECT_EQ(take.pool.header(0).dwFlags.load(), WHDR_PREPARED | WHDR_DONE);
    const std::string text = waveIn->errorText(status);
    EXPECT_EQ(text.rfind("A conexão com o servidor de som foi perdida: ", 0), 0u) << text;
    EXPECT_EQ(take.device->start(), MMSYSERR_NODRIVER);

    const std::size_t notes = take.receiver.notes.size();
    EXPECT_EQ(take.device->reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(take.device->close(), MMSYSERR_NOERROR);
    QTest::qWait(50);
    EXPECT_EQ(take.receiver.notes.size(), notes);
}

}  // namespace
