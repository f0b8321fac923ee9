// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The simulated wave-input device: the buffer rules it shares with the real backend, its sources,
// its pacings and its injected faults.

#include "SimulatedWaveIn.h"

#include "WaveInHarness.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

using namespace platform::wavein;
using namespace wavein_test;

namespace {

constexpr std::uint32_t kMonoBuffer = 8820;  // 0.1 s at 44100 Hz mono

// The Counter source's frame numbers, read back from captured bytes; checks that every channel
// of a frame carries the same number.
std::vector<std::uint16_t> counterFrames(const std::byte* data, std::size_t bytes, unsigned channels) {
    const auto samples = samplesOf(data, bytes);
    std::vector<std::uint16_t> frames;
    for (std::size_t i = 0; i + channels <= samples.size(); i += channels) {
        for (unsigned c = 1; c < channels; ++c) {
            EXPECT_EQ(samples[i + c], samples[i]) << "channels of one frame differ";
        }
        frames.push_back(static_cast<std::uint16_t>(samples[i]));
    }
    return frames;
}

// Checks that `frames` continue the counter from `next` without a gap; advances `next`.
void expectCounterContinues(const std::vector<std::uint16_t>& frames, std::uint64_t& next) {
    for (std::size_t i = 0; i < frames.size(); ++i, ++next) {
        if (frames[i] != static_cast<std::uint16_t>(next & 0xFFFF)) {
            FAIL() << "counter jumps to " << frames[i] << " where " << (next & 0xFFFF) << " was due";
        }
    }
}

// The receiver outlives the device: closing a device with buffers queued posts to it.
struct Opened {
    Receiver receiver;
    std::unique_ptr<WaveInDevice> device;
};

void openOn(SimulatedWaveIn& waveIn, Opened& o, std::uint32_t rate = 44100, std::uint16_t channels = 1) {
    ASSERT_EQ(waveIn.open(o.device, takeFormat(rate, channels), &o.receiver), MMSYSERR_NOERROR);
    ASSERT_TRUE(o.device);
}

TEST(SimulatedWaveInFormat, AcceptsTakeFormatsAndRefusesOthers) {
    SimulatedWaveIn waveIn({}, Pacing::Manual);
    for (const std::uint32_t rate : {44100u, 22050u, 11025u, 8000u, 192000u}) {
        for (const std::uint16_t channels : {std::uint16_t{1}, std::uint16_t{2}}) {
            std::unique_ptr<WaveInDevice> device;
            EXPECT_EQ(waveIn.open(device, takeFormat(rate, channels), nullptr), MMSYSERR_NOERROR) << rate;
            ASSERT_TRUE(device);
            EXPECT_EQ(device->close(), MMSYSERR_NOERROR);
        }
    }
    struct Bad {
        const char* what;
        std::function<void(WAVEFORMATEX&)> spoil;
    };
    const std::vector<Bad> bad = {
        {"not PCM", [](WAVEFORMATEX& f) { f.wFormatTag = 3; }},
        {"8 bits", [](WAVEFORMATEX& f) { f.wBitsPerSample = 8; }},
        {"no channels", [](WAVEFORMATEX& f) { f.nChannels = 0; }},
        {"3 channels",
         [](WAVEFORMATEX& f) { f.nChannels = 3, f.nBlockAlign = 6, f.nAvgBytesPerSec = 44100 * 6; }},
        {"rate too low", [](WAVEFORMATEX& f) { f.nSamplesPerSec = 7999, f.nAvgBytesPerSec = 7999 * 2; }},
        {"rate too high", [](WAVEFORMATEX& f) { f.nSamplesPerSec = 192001, f.nAvgBytesPerSec = 192001 * 2; }},
        {"block align", [](WAVEFORMATEX& f) { f.nBlockAlign = 4; }},
        {"byte rate", [](WAVEFORMATEX& f) { f.nAvgBytesPerSec = 44100; }},
    };
    for (const auto& b : bad) {
        WAVEFORMATEX format = takeFormat(44100, 1);
        b.spoil(format);
        std::unique_ptr<WaveInDevice> device;
        EXPECT_EQ(waveIn.open(device, format, nullptr), WAVERR_BADFORMAT) << b.what;
        EXPECT_FALSE(device) << b.what;
    }
    EXPECT_FALSE(waveIn.stats().open);
}

TEST(SimulatedWaveInHeaders, QueueRulesAndFlags) {
    SimulatedWaveIn waveIn({}, Pacing::Manual);
    Opened o;
    openOn(waveIn, o);
    Pool pool(3, kMonoBuffer);
    WAVEHDR& h = pool.header(0);

    EXPECT_EQ(o.device->addBuffer(h), WAVERR_UNPREPARED);
    EXPECT_EQ(h.dwFlags.load(), 0u);
    ASSERT_EQ(o.device->prepareHeader(h), MMSYSERR_NOERROR);
    EXPECT_EQ(h.dwFlags.load(), WHDR_PREPARED);

    h.dwFlags.fetch_or(WHDR_DONE);
    h.dwBytesRecorded = 1234;
    ASSERT_EQ(o.device->addBuffer(h), MMSYSERR_NOERROR);
    EXPECT_EQ(h.dwFlags.load(), WHDR_PREPARED | WHDR_INQUEUE);
    EXPECT_EQ(h.dwBytesRecorded, 0u);

    // A buffer already queued must not get a second place in the queue.
    EXPECT_EQ(o.device->addBuffer(h), WAVERR_STILLPLAYING);
    EXPECT_EQ(o.device->unprepareHeader(h), WAVERR_STILLPLAYING);
    EXPECT_EQ(h.dwFlags.load(), WHDR_PREPARED | WHDR_INQUEUE);

    // Buffers the device cannot put a single frame into are refused.
    WAVEHDR& noData = pool.header(1);
    noData.lpData = nullptr;
    o.device->prepareHeader(noData);
    EXPECT_EQ(o.device->addBuffer(noData), MMSYSERR_INVALPARAM);
    WAVEHDR& tiny = pool.header(2);
    tiny.dwBufferLength = 1;
    o.device->prepareHeader(tiny);
    EXPECT_EQ(o.device->addBuffer(tiny), MMSYSERR_INVALPARAM);
    EXPECT_EQ(tiny.dwFlags.load(), WHDR_PREPARED);

    ASSERT_EQ(o.device->reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(h.dwFlags.load(), WHDR_PREPARED | WHDR_DONE);
    EXPECT_EQ(o.device->unprepareHeader(h), MMSYSERR_NOERROR);
    EXPECT_EQ(h.dwFlags.load(), WHDR_DONE);
    EXPECT_EQ(o.device->addBuffer(h), WAVERR_UNPREPARED);
}

TEST(SimulatedWaveInManual, FillsBuffersInQueueOrderAcrossBoundaries) {
    SimulatedWaveIn waveIn(SimulatedSource::counter(), Pacing::Manual);
    Opened o;
    openOn(waveIn, o);
    Pool pool(3, kMonoBuffer);
    // Queued in the order 2, 0, 1: the device must follow the queue, not the pool's order.
    for (const std::size_t i : {2, 0, 1}) {
        ASSERT_EQ(o.device->prepareHeader(pool.header(i)), MMSYSERR_NOERROR);
        ASSERT_EQ(o.device->addBuffer(pool.header(i)), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(waveIn.produce(5000), 0u) << "a device that was not started produces nothing";
    ASSERT_EQ(o.device->start(), MMSYSERR_NOERROR);

    EXPECT_EQ(waveIn.produce(5001), 5000u) << "only whole frames";
    QCoreApplication::processEvents();
    EXPECT_TRUE(o.receiver.notes.empty());
    EXPECT_FALSE(pool.header(2).isDone());

    EXPECT_EQ(waveIn.produce(5000), 5000u);
    QCoreApplication::processEvents();
    ASSERT_EQ(o.receiver.notes.size(), 1u);
    EXPECT_EQ(o.receiver.notes[0].header, &pool.header(2));
    EXPECT_EQ(o.receiver.notes[0].device, o.device.get());
    EXPECT_EQ(o.receiver.notes[0].bytesRecorded, kMonoBuffer);
    EXPECT_EQ(o.receiver.notes[0].flags, WHDR_PREPARED | WHDR_DONE);

    EXPECT_EQ(waveIn.produce(100000), 3 * kMonoBuffer - 10000) << "stops when the queue runs out";
    EXPECT_EQ(waveIn.produce(100), 0u);
    ASSERT_TRUE(o.receiver.waitFor(3));
    EXPECT_EQ(o.receiver.notes[1].header, &pool.header(0));
    EXPECT_EQ(o.receiver.notes[2].header, &pool.header(1));

    std::uint64_t next = 0;
    for (const std::size_t i : {2, 0, 1}) {
        EXPECT_EQ(pool.header(i).dwBytesRecorded, kMonoBuffer);
        expectCounterContinues(counterFrames(pool.data(i), kMonoBuffer, 1), next);
    }
    const auto stats = waveIn.stats();
    EXPECT_EQ(stats.bytesProduced, 3 * kMonoBuffer);
    EXPECT_EQ(stats.adds, 3);
    EXPECT_TRUE(stats.started);
}

TEST(SimulatedWaveInManual, ResetReturnsEveryQueuedBufferWithWholeFrames) {
    SimulatedWaveIn waveIn(SimulatedSource::counter(), Pacing::Manual);
    Opened o;
    openOn(waveIn, o, 44100, 2);
    const std::uint32_t length = 35280;  // 0.2 s stereo
    Pool pool(4, length);
    ASSERT_TRUE(pool.prepareAndQueueAll(*o.device));
    ASSERT_EQ(o.device->start(), MMSYSERR_NOERROR);
    ASSERT_EQ(waveIn.produce(length + 1234 * 4 + 3), length + 1234 * 4);

    ASSERT_EQ(o.device->reset(), MMSYSERR_NOERROR);
    // Everything is back when reset returns, before any notification was handled.
    for (std::size_t i = 0; i < pool.size(); ++i) {
        EXPECT_EQ(pool.header(i).dwFlags.load(), WHDR_PREPARED | WHDR_DONE) << i;
    }
    EXPECT_EQ(pool.header(1).dwBytesRecorded, 1234u * 4);
    EXPECT_EQ(pool.header(2).dwBytesRecorded, 0u);
    std::uint64_t next = 0;
    expectCounterContinues(counterFrames(pool.data(0), length, 2), next);
    expectCounterContinues(counterFrames(pool.data(1), 1234 * 4, 2), next);

    ASSERT_TRUE(o.receiver.waitFor(4));
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(o.receiver.notes[i].header, &pool.header(i)) << "notifications in queue order";
    }
    EXPECT_FALSE(waveIn.stats().started);
    EXPECT_EQ(waveIn.produce(length), 0u) << "a reset device is stopped";
    QTest::qWait(20);
    EXPECT_EQ(o.receiver.notes.size(), 4u) << "one notification per buffer";
    EXPECT_EQ(waveIn.stats().resets, 1);
}

TEST(SimulatedWaveInManual, StopReturnsOnlyThePartlyFilledBuffer) {
    SimulatedWaveIn waveIn(SimulatedSource::counter(), Pacing::Manual);
    Opened o;
    openOn(waveIn, o);
    Pool pool(2, kMonoBuffer);
    ASSERT_TRUE(pool.prepareAndQueueAll(*o.device));
    ASSERT_EQ(o.device->start(), MMSYSERR_NOERROR);
    ASSERT_EQ(waveIn.produce(400), 400u);
    ASSERT_EQ(o.device->stop(), MMSYSERR_NOERROR);
    EXPECT_TRUE(pool.header(0).isDone());
    EXPECT_EQ(pool.header(0).dwBytesRecorded, 400u);
    EXPECT_EQ(pool.header(1).dwFlags.load(), WHDR_PREPARED | WHDR_INQUEUE);
    EXPECT_EQ(waveIn.produce(400), 0u);

    // Started again, the queued buffer goes on where the source is.
    ASSERT_EQ(o.device->start(), MMSYSERR_NOERROR);
    ASSERT_EQ(waveIn.produce(kMonoBuffer), kMonoBuffer);
    std::uint64_t next = 0;
    expectCounterContinues(counterFrames(pool.data(0), 400, 1), next);
    expectCounterContinues(counterFrames(pool.data(1), kMonoBuffer, 1), next);
    ASSERT_TRUE(o.receiver.waitFor(2));
    EXPECT_EQ(waveIn.stats().stops, 1);
    EXPECT_EQ(waveIn.stats().starts, 2);
}

TEST(SimulatedWaveInLifecycle, CloseReturnsQueuedBuffersThenRefusesEveryCall) {
    SimulatedWaveIn waveIn(SimulatedSource::sine(), Pacing::AsFastAsPossible);
    Opened o;
    openOn(waveIn, o);
    Pool pool(3, kMonoBuffer);
    ASSERT_TRUE(pool.prepareAndQueueAll(*o.device));
    ASSERT_EQ(o.device->close(), MMSYSERR_NOERROR);
    for (std::size_t i = 0; i < pool.size(); ++i) {
        EXPECT_EQ(pool.header(i).dwFlags.load(), WHDR_PREPARED | WHDR_DONE) << i;
    }
    ASSERT_TRUE(o.receiver.waitFor(3));
    WAVEHDR& h = pool.header(0);
    EXPECT_EQ(o.device->prepareHeader(h), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(o.device->addBuffer(h), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(o.device->start(), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(o.device->reset(), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(o.device->stop(), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(o.device->unprepareHeader(h), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(o.device->close(), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(h.dwFlags.load(), WHDR_PREPARED | WHDR_DONE);
    QTest::qWait(30);
    EXPECT_EQ(o.receiver.notes.size(), 3u) << "nothing is posted after close";
    const auto stats = waveIn.stats();
    EXPECT_FALSE(stats.open);
    EXPECT_EQ(stats.closes, 1);
    EXPECT_EQ(stats.bytesProduced, 0u) << "never started";
}

TEST(SimulatedWaveInLifecycle, OpenFailuresAndOneDeviceAtATime) {
    std::unique_ptr<WaveInDevice> device;
    SimulatedWaveIn failing({}, Pacing::RealTime, SimulatedFaults::failOpen(MMSYSERR_ALLOCATED));
    EXPECT_EQ(failing.open(device, takeFormat(44100, 2), nullptr), MMSYSERR_ALLOCATED);
    EXPECT_FALSE(device);
    EXPECT_EQ(failing.stats().opens, 1);

    SimulatedWaveIn unreadable(SimulatedSource::file("/nonexistent/take.raw"), Pacing::Manual);
    const MMRESULT status = unreadable.open(device, takeFormat(44100, 1), nullptr);
    EXPECT_EQ(status, MMSYSERR_NODRIVER);
    EXPECT_FALSE(device);
    EXPECT_NE(unreadable.errorText(status).find("/nonexistent/take.raw"), std::string::npos);
    EXPECT_EQ(unreadable.errorText(WAVERR_BADFORMAT), standardErrorText(WAVERR_BADFORMAT));

    SimulatedWaveIn waveIn({}, Pacing::RealTime);
    std::unique_ptr<WaveInDevice> second;
    ASSERT_EQ(waveIn.open(device, takeFormat(22050, 2), nullptr), MMSYSERR_NOERROR);
    EXPECT_EQ(waveIn.open(second, takeFormat(22050, 2), nullptr), MMSYSERR_ALLOCATED);
    EXPECT_FALSE(second);
    device->start();
    EXPECT_TRUE(waveIn.stats().started);
    device.reset();  // destroying an open device closes it
    EXPECT_EQ(waveIn.stats().closes, 1);
    EXPECT_FALSE(waveIn.stats().open);
    EXPECT_EQ(waveIn.open(second, takeFormat(22050, 2), nullptr), MMSYSERR_NOERROR);
}

TEST(SimulatedWaveInPacing, AsFastAsPossibleKeepsEveryFrameAcrossManyBuffers) {
    SimulatedWaveIn waveIn(SimulatedSource::counter(), Pacing::AsFastAsPossible);
    Opened o;
    openOn(waveIn, o, 22050, 2);
    const std::uint32_t length = 17640;
    Pool pool(10, length);
    std::uint64_t next = 0;
    constexpr std::size_t kBuffers = 300;  // past one wrap of the 16-bit counter
    o.receiver.onData = [&](const Receiver::Note& note) {
        const std::size_t i = pool.indexOf(note.header);
        ASSERT_TRUE(note.header->isDone());
        ASSERT_EQ(note.bytesRecorded, length);
        expectCounterContinues(counterFrames(pool.data(i), length, 2), next);
        if (o.receiver.notes.size() + pool.size() <= kBuffers) {
            ASSERT_EQ(o.device->addBuffer(*note.header), MMSYSERR_NOERROR);
        }
    };
    ASSERT_TRUE(pool.prepareAndQueueAll(*o.device));
    ASSERT_EQ(o.device->start(), MMSYSERR_NOERROR);
    ASSERT_TRUE(o.receiver.waitFor(kBuffers, 60000));
    // Queue order is kept over the whole run: the pool cycles 0..9 again and again.
    for (std::size_t n = 0; n < o.receiver.notes.size(); ++n) {
        ASSERT_EQ(o.receiver.notes[n].header, &pool.header(n % pool.size())) << n;
    }
    EXPECT_EQ(next, kBuffers * length / 4);
    EXPECT_EQ(waveIn.stats().bytesDropped, 0u);
    EXPECT_EQ(waveIn.stats().bytesProduced, kBuffers * length);
}

TEST(SimulatedWaveInPacing, RealTimeDropsWhatNoBufferWasQueuedFor) {
    SimulatedWaveIn waveIn(SimulatedSource::counter(), Pacing::RealTime);
    // The buffers outlive the device, so an assertion that ends the test mid-take cannot leave the
    // device filling freed memory.
    const std::uint32_t length = 882;  // 10 ms
    Pool pool(3, length);
    Pool last(1, 44100 * 2 * 30);
    Opened o;
    openOn(waveIn, o, 44100, 1);
    bool requeue = true;
    // Buffers queued whose notification has not been handled yet. A buffer is marked done before
    // its notification is posted, so only this count says that no note for the pool is still on
    // its way; a late note would otherwise queue its buffer a second time.
    std::size_t outstanding = 0;
    std::vector<std::uint16_t> captured;
    o.receiver.onData = [&](const Receiver::Note& note) {
        const auto frames = counterFrames(note.header->lpData, note.bytesRecorded, 1);
        captured.insert(captured.end(), frames.begin(), frames.end());
        --outstanding;
        if (requeue) {
            ASSERT_EQ(o.device->addBuffer(*note.header), MMSYSERR_NOERROR);
            ++outstanding;
        }
    };
    ASSERT_TRUE(pool.prepareAndQueueAll(*o.device));
    outstanding = pool.size();
    ASSERT_EQ(o.device->start(), MMSYSERR_NOERROR);
    ASSERT_TRUE(o.receiver.waitFor(10));

    // With nothing queued the device keeps time and loses that audio.
    // (Under load the queue may already have run dry with requeueing on; counted from here.)
    requeue = false;
    const std::uint64_t droppedBefore = waveIn.stats().bytesDropped;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return outstanding == 0 && waveIn.stats().bytesDropped > droppedBefore; }, 10000));
    requeue = true;
    const std::size_t before = o.receiver.notes.size();
    for (std::size_t i = 0; i < pool.size(); ++i) {
        ASSERT_EQ(o.device->addBuffer(pool.header(i)), MMSYSERR_NOERROR);
        ++outstanding;
    }
    ASSERT_TRUE(o.receiver.waitFor(before + 10));

    // A long last buffer keeps the queue from running dry before the reset ends the take.
    requeue = false;
    ASSERT_TRUE(last.prepareAndQueueAll(*o.device));
    outstanding += last.size();
    ASSERT_EQ(o.device->reset(), MMSYSERR_NOERROR);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return last.header(0).isDone() && !o.receiver.notes.empty() &&
               o.receiver.notes.back().header == &last.header(0);
    }));

    // The captured counter jumps exactly by the audio that was dropped, and nowhere else.
    std::uint64_t skipped = 0;
    int jumps = 0;
    for (std::size_t i = 1; i < captured.size(); ++i) {
        const auto gap = static_cast<std::uint16_t>(captured[i] - captured[i - 1] - 1);
        skipped += gap;
        jumps += gap != 0 ? 1 : 0;
    }
    const auto stats = waveIn.stats();
    EXPECT_GT(jumps, 0);
    EXPECT_EQ(skipped * 2, stats.bytesDropped);
    EXPECT_EQ(captured.size() * 2, stats.bytesProduced);
    EXPECT_EQ(captured.front(), 0);
    EXPECT_FALSE(stats.started);
}

TEST(SimulatedWaveInSources, SineHasItsFrequencyAndAmplitude) {
    SimulatedWaveIn waveIn(SimulatedSource::sine(1000.0, 0.25), Pacing::Manual);
    Opened o;
    openOn(waveIn, o, 11025, 2);
    Pool pool(1, 11025 * 4);
    ASSERT_TRUE(pool.prepareAndQueueAll(*o.device));
    o.device->start();
    ASSERT_EQ(waveIn.produce(11025 * 4), 11025u * 4);
    const auto samples = samplesOf(pool.data(0), 11025 * 4);
    EXPECT_NEAR(zeroCrossingFrequency(samples, 2, 0, 11025), 1000.0, 1.0);
    EXPECT_NEAR(zeroCrossingFrequency(samples, 2, 1, 11025), 1000.0, 1.0);
    EXPECT_NEAR(peak(samples), 0.25 * 32767, 20);
}

TEST(SimulatedWaveInSources, FileSourceUsesTheDataChunkAndLoops) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A data chunk between two other chunks, with sizes that claim more than the file holds.
    const std::string wav = dir.filePath("in.wav").toStdString();
    {
        std::ofstream out(wav, std::ios::binary);
        auto le32 = [&](std::uint32_t v) {
            for (int i = 0; i < 4; ++i) {
                out.put(static_cast<char>(v >> (8 * i) & 0xFF));
            }
        };
        out.write("RIFF", 4), le32(0xFFFFFFF0), out.write("WAVE", 4);
        out.write("junk", 4), le32(3), out.write("abc", 3), out.put(0);  // odd size: padded
        out.write("data", 4), le32(1000);
        for (std::int16_t s : {7, -7, 300, -300, 1, 2}) {
            out.put(static_cast<char>(s & 0xFF)), out.put(static_cast<char>(s >> 8 & 0xFF));
        }
        out.put(0x55);  // half a sample: not a whole frame
    }
    SimulatedWaveIn waveIn(SimulatedSource::file(wav), Pacing::Manual);
    Opened o;
    openOn(waveIn, o, 8000, 2);
    Pool pool(1, 40);
    ASSERT_TRUE(pool.prepareAndQueueAll(*o.device));
    o.device->start();
    ASSERT_EQ(waveIn.produce(40), 40u);
    const std::vector<std::int16_t> expected = {7, -7, 300, -300, 1,   2,    7, -7, 300, -300,
                                                1, 2,  7,   -7,   300, -300, 1, 2,  7,   -7};
    EXPECT_EQ(samplesOf(pool.data(0), 40), expected);
}

TEST(SimulatedWaveInFaults, AddBufferRefusalLeavesTheHeaderAlone) {
    std::vector<int> calls;
    SimulatedWaveIn* service = nullptr;
    SimulatedFaults faults;
    faults.addBuffer = [&](const WAVEHDR&, int addCall) {
        calls.push_back(addCall);
        EXPECT_EQ(service->stats().adds, addCall) << "the rule may look at the service";
        return addCall == 2 || addCall == 5 ? MMSYSERR_NOMEM : MMSYSERR_NOERROR;
    };
    SimulatedWaveIn waveIn(SimulatedSource::counter(), Pacing::Manual, faults);
    service = &waveIn;
    Opened o;
    openOn(waveIn, o);
    Pool pool(4, kMonoBuffer);
    for (std::size_t i = 0; i < pool.size(); ++i) {
        o.device->prepareHeader(pool.header(i));
    }
    pool.header(1).dwFlags.fetch_or(WHDR_DONE);
    pool.header(1).dwBytesRecorded = 77;
    EXPECT_EQ(o.device->addBuffer(pool.header(0)), MMSYSERR_NOERROR);
    EXPECT_EQ(o.device->addBuffer(pool.header(1)), MMSYSERR_NOMEM);
    EXPECT_EQ(pool.header(1).dwFlags.load(), WHDR_PREPARED | WHDR_DONE);
    EXPECT_EQ(pool.header(1).dwBytesRecorded, 77u);
    EXPECT_EQ(o.device->addBuffer(pool.header(2)), MMSYSERR_NOERROR);
    EXPECT_EQ(o.device->addBuffer(pool.header(1)), MMSYSERR_NOERROR);
    EXPECT_EQ(o.device->addBuffer(pool.header(3)), MMSYSERR_NOMEM);
    EXPECT_EQ(calls, (std::vector<int>{1, 2, 3, 4, 5}));

    o.device->start();
    EXPECT_EQ(waveIn.produce(10 * kMonoBuffer), 3 * kMonoBuffer) << "refused buffers are not queued";
    ASSERT_TRUE(o.receiver.waitFor(3));
    EXPECT_EQ(o.receiver.notes[0].header, &pool.header(0));
    EXPECT_EQ(o.receiver.notes[1].header, &pool.header(2));
    EXPECT_EQ(o.receiver.notes[2].header, &pool.header(1));
    EXPECT_EQ(waveIn.stats().adds, 5);
}

TEST(SimulatedWaveInFaults, DyingSourceReturnsBuffersAndRefusesMore) {
    SimulatedWaveIn waveIn(SimulatedSource::counter(), Pacing::Manual, SimulatedFaults::dieAfter(10001));
    Opened o;
    openOn(waveIn, o);
    Pool pool(4, kMonoBuffer);
    ASSERT_TRUE(pool.prepareAndQueueAll(*o.device));
    o.device->start();
    EXPECT_EQ(waveIn.produce(6000), 6000u);
    EXPECT_EQ(waveIn.produce(6000), 4000u) << "whole frames up to the end of the source";
    for (std::size_t i = 0; i < pool.size(); ++i) {
        EXPECT_EQ(pool.header(i).dwFlags.load(), WHDR_PREPARED | WHDR_DONE) << i;
    }
    EXPECT_EQ(pool.header(0).dwBytesRecorded, kMonoBuffer);
    EXPECT_EQ(pool.header(1).dwBytesRecorded, 10000 - kMonoBuffer);
    EXPECT_EQ(pool.header(2).dwBytesRecorded, 0u);
    ASSERT_TRUE(o.receiver.waitFor(4));
    for (std::size_t i = 0; i < pool.size(); ++i) {
        EXPECT_EQ(o.receiver.notes[i].header, &pool.header(i));
    }
    std::uint64_t next = 0;
    expectCounterContinues(counterFrames(pool.data(0), kMonoBuffer, 1), next);
    expectCounterContinues(counterFrames(pool.data(1), 10000 - kMonoBuffer, 1), next);

    EXPECT_EQ(o.device->addBuffer(pool.header(0)), MMSYSERR_NODRIVER);
    EXPECT_EQ(pool.header(0).dwFlags.load(), WHDR_PREPARED | WHDR_DONE);
    EXPECT_EQ(o.device->start(), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveIn.produce(100), 0u);
    EXPECT_EQ(o.device->reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(o.device->close(), MMSYSERR_NOERROR);
    QTest::qWait(10);
    EXPECT_EQ(o.receiver.notes.size(), 4u);
}

}  // namespace
