// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The capture engine against the simulated device and a real take file.
#include "recorder/capture/CaptureEngine.h"

#include "ScriptedDialogs.h"
#include "TakeReader.h"
#include "SimulatedWaveIn.h"
#include "recorder/wavfile/TakeFile.h"

#include <QCoreApplication>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace platform::wavein;
using basSoundRec_1::CaptureBufferSize;
using basSoundRec_1::CaptureEngine;
using testsupport::firstCounterMismatch;
using testsupport::readTake;

namespace {


WAVEFORMATEX format(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits = 16) {
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<std::uint16_t>(bits / 8 * channels);
    f.nAvgBytesPerSec = f.nBlockAlign * rate;
    f.cbSize = 18;
    return f;
}

// One engine, its take file and a window stand-in, as the recorder wires them.
struct Rig {
    explicit Rig(SimulatedSource source = SimulatedSource::counter(), Pacing pacing = Pacing::Manual,
                 SimulatedFaults faults = {}, std::uint64_t largestRiffSize = basSoundRec_2::kLargestRiffSize)
        : device(source, pacing, std::move(faults)),
          file(dialogs, QStringLiteral("Tolvane"), largestRiffSize),
          engine(device, file, dialogs, QStringLiteral("Tolvane")) {
        engine.HookWindow(&window, [this] {
            ++notifications;
            if (engine.isRecording()) {
                requeueStatuses.push_back(engine.HandleDoneBuffers());
            }
        });
    }

    bool start(std::uint32_t rate = 44100, std::uint16_t channels = 1) {
        path = file.Create(dir.filePath(QStringLiteral("take.WAV")));
        engine.waveFormat = format(rate, channels);
        return !path.isEmpty() && file.WriteHeader(engine.waveFormat) && engine.StartCapture();
    }

    std::size_t bufferBytes() const { return static_cast<std::size_t>(engine.bufferSize()); }
    std::size_t leadIn() const { return 10 * bufferBytes(); }
    std::uint64_t written() const { return file.dataLength(); }
    void deliver() { QCoreApplication::sendPostedEvents(&window); }

    QTemporaryDir dir;
    QObject window;  // outlives the device, which may still post to it until the engine closes it
    testsupport::ScriptedDialogs dialogs;
    SimulatedWaveIn device;
    basSoundRec_2::TakeFile file;
    CaptureEngine engine;
    QString path;
    int notifications = 0;
    std::vector<MMRESULT> requeueStatuses;
};

}  // namespace

TEST(CaptureBufferSize, IsATenthOrAFifthOfASecondAndWholeFrames) {
    struct Row {
        std::uint32_t rate;
        std::uint16_t channels;
        std::int32_t bytes;
    };
    for (const Row& row : {Row{44100, 1, 8820}, Row{44100, 2, 35280}, Row{22050, 1, 4410},
                           Row{22050, 2, 17640}, Row{11025, 1, 2204}, Row{11025, 2, 8820}}) {
        SCOPED_TRACE(std::to_string(row.rate) + "/" + std::to_string(row.channels));
        EXPECT_EQ(CaptureBufferSize(format(row.rate, row.channels)), row.bytes);
    }
}

TEST(CaptureBufferSize, A24BitTakesBuffersHoldWholeFramesAndLastAsLongAsA16BitTakes) {
    for (const std::uint32_t rate : basSoundRec_2::kTakeRates) {
        for (const std::uint16_t channels : {1, 2}) {
            SCOPED_TRACE(std::to_string(rate) + "/" + std::to_string(channels));
            const WAVEFORMATEX wide = format(rate, channels, 24);
            const std::int32_t bytes = CaptureBufferSize(wide);
            EXPECT_EQ(bytes % wide.nBlockAlign, 0);
            EXPECT_EQ(bytes / wide.nBlockAlign, CaptureBufferSize(format(rate, channels)) / (2 * channels));
        }
    }
}

TEST(CaptureEngine, TakeStartsWithTenZeroedBuffersThenTheDevicesAudioInOrder) {
    Rig rig;
    ASSERT_TRUE(rig.start(11025, 1));
    EXPECT_EQ(rig.bufferBytes(), 2204u);
    EXPECT_EQ(rig.written(), rig.leadIn());
    EXPECT_TRUE(rig.engine.isRecording());

    for (int i = 0; i < 25; ++i) {  // more than two rounds of the pool
        ASSERT_EQ(rig.device.produce(rig.bufferBytes()), rig.bufferBytes());
        rig.deliver();
    }
    EXPECT_EQ(rig.written(), rig.leadIn() + 25 * rig.bufferBytes());
    rig.engine.StopCapture();

    const auto take = readTake(rig.path);
    ASSERT_EQ(take.dataLength(), rig.leadIn() + 25 * rig.bufferBytes());
    for (std::size_t i = 0; i < rig.leadIn() / 2; ++i) {
        ASSERT_EQ(take.sample(i), 0) << "lead-in sample " << i;
    }
    EXPECT_EQ(firstCounterMismatch(take, rig.leadIn(), 1), std::nullopt);
    EXPECT_EQ(take.u32(4), take.bytes.size() - 8);
    EXPECT_EQ(take.u32(42), take.dataLength());
}

TEST(CaptureEngine, ASecondStartWhileRecordingChangesNothing) {
    Rig rig;
    ASSERT_TRUE(rig.start());
    const auto before = rig.written();
    EXPECT_TRUE(rig.engine.StartCapture());
    EXPECT_EQ(rig.device.stats().opens, 1);
    EXPECT_EQ(rig.device.stats().adds, 10);
    EXPECT_EQ(rig.written(), before);
    rig.engine.StopCapture();
}

TEST(CaptureEngine, FailedOpenReportsTheDeviceTextAndTheNextStopReleasesWithoutDeviceCalls) {
    SimulatedFaults faults;
    faults.openStatus = MMSYSERR_NODRIVER;
    Rig rig(SimulatedSource::counter(), Pacing::Manual, faults);
    EXPECT_FALSE(rig.start());
    EXPECT_FALSE(rig.engine.isRecording());
    ASSERT_EQ(rig.dialogs.messages().size(), 1);
    EXPECT_EQ(rig.dialogs.messages()[0].toStdString(), rig.device.errorText(MMSYSERR_NODRIVER));
    EXPECT_EQ(rig.dialogs.shown[0].title, QStringLiteral("Tolvane"));
    EXPECT_TRUE(rig.engine.buffersAllocated());
    EXPECT_EQ(rig.written(), 0u);

    rig.engine.StopCapture();
    EXPECT_FALSE(rig.engine.buffersAllocated());
    EXPECT_FALSE(rig.file.isOpen());
    const auto stats = rig.device.stats();
    EXPECT_EQ(stats.resets + stats.stops + stats.closes, 0);
    const auto take = readTake(rig.path);
    EXPECT_EQ(take.bytes.size(), 46u);
    EXPECT_EQ(take.u32(42), 0u);
}

TEST(CaptureEngine, OneNotificationHandlesEveryDoneBufferAndTheRestFindNothing) {
    Rig rig;
    ASSERT_TRUE(rig.start());
    ASSERT_EQ(rig.device.produce(3 * rig.bufferBytes()), 3 * rig.bufferBytes());
    rig.deliver();
    EXPECT_EQ(rig.notifications, 3);
    EXPECT_EQ(rig.written(), rig.leadIn() + 3 * rig.bufferBytes());
    EXPECT_EQ(rig.device.stats().adds, 13);
    rig.engine.StopCapture();
    EXPECT_EQ(firstCounterMismatch(readTake(rig.path), rig.leadIn(), 1), std::nullopt);
}

TEST(CaptureEngine, RefusedRequeueKeepsTheBytesOnceAndHoldsLaterBuffersInOrder) {
    bool refuse = true;
    const WAVEHDR* refused = nullptr;
    SimulatedFaults faults;
    faults.addBuffer = [&](const WAVEHDR& header, int call) -> MMRESULT {
        return call > 10 && refuse && &header == refused ? MMSYSERR_NOMEM : MMSYSERR_NOERROR;
    };
    Rig rig(SimulatedSource::counter(), Pacing::Manual, faults);
    ASSERT_TRUE(rig.start());
    refused = &rig.engine.waveHeader(4);
    const auto buffer = rig.bufferBytes();

    rig.device.produce(7 * buffer);  // buffers 0..6 done, one notification each
    rig.deliver();
    // Buffers 0..3 went back; buffer 4 is in the file but out of the queue; 5 and 6 wait behind it.
    EXPECT_EQ(rig.written(), rig.leadIn() + 5 * buffer);
    EXPECT_EQ(rig.requeueStatuses, std::vector<MMRESULT>(7, MMSYSERR_NOMEM));

    refuse = false;
    rig.device.produce(buffer);  // buffer 7's notification: 4 goes back, 5, 6, 7 follow
    rig.deliver();
    EXPECT_EQ(rig.requeueStatuses.back(), MMSYSERR_NOERROR);
    EXPECT_EQ(rig.written(), rig.leadIn() + 8 * buffer);
    rig.engine.StopCapture();
    EXPECT_EQ(firstCounterMismatch(readTake(rig.path), rig.leadIn(), 1), std::nullopt);
}

TEST(CaptureEngine, StopWritesBuffersNotYetHandledAndThePartlyFilledOne) {
    Rig rig;
    ASSERT_TRUE(rig.start(22050, 2));
    const auto buffer = rig.bufferBytes();
    rig.device.produce(buffer);
    rig.deliver();
    rig.device.produce(2 * buffer + 4 * 100);  // two done but unhandled, and 100 frames of a third
    rig.engine.StopCapture();
    rig.deliver();  // the late notifications change nothing

    const auto take = readTake(rig.path);
    EXPECT_EQ(take.dataLength(), rig.leadIn() + 3 * buffer + 400);
    EXPECT_EQ(firstCounterMismatch(take, rig.leadIn(), 2), std::nullopt);
    EXPECT_EQ(take.u32(4), take.bytes.size() - 8);
}

TEST(CaptureEngine, TwoStopsReleaseEverythingOnce) {
    Rig rig;
    ASSERT_TRUE(rig.start());
    rig.engine.StopCapture();
    const auto size = readTake(rig.path).bytes.size();
    const auto first = rig.device.stats();
    rig.engine.StopCapture();
    const auto stats = rig.device.stats();
    EXPECT_EQ(stats.resets, first.resets);
    EXPECT_EQ(stats.adds, first.adds);
    EXPECT_EQ(stats.closes, 1);
    EXPECT_FALSE(rig.engine.deviceOpen());
    EXPECT_FALSE(rig.engine.buffersAllocated());
    EXPECT_EQ(readTake(rig.path).bytes.size(), size);
    EXPECT_TRUE(rig.dialogs.shown.empty());
}

TEST(CaptureEngine, ADeadSourceKeepsWhatItRecorded) {
    SimulatedFaults faults;
    faults.dieAfterBytes = 8820 * 3 + 1000;
    Rig rig(SimulatedSource::counter(), Pacing::AsFastAsPossible, faults);
    ASSERT_TRUE(rig.start());
    for (int i = 0; i < 50 && rig.requeueStatuses.empty(); ++i) {
        QTest::qWait(20);
    }
    QTest::qWait(100);
    rig.engine.StopCapture();
    const auto take = readTake(rig.path);
    EXPECT_EQ(take.dataLength(), rig.leadIn() + 8820 * 3 + 1000);
    EXPECT_EQ(firstCounterMismatch(take, rig.leadIn(), 1), std::nullopt);
    EXPECT_NE(std::find(rig.requeueStatuses.begin(), rig.requeueStatuses.end(), MMSYSERR_NODRIVER),
              rig.requeueStatuses.end());
}

TEST(CaptureEngine, AStalledWindowThreadLosesNothingAndKeepsOrder) {
    Rig rig(SimulatedSource::counter(), Pacing::RealTime);
    ASSERT_TRUE(rig.start(44100, 1));  // 0.1 s buffers
    QTest::qWait(300);
    std::this_thread::sleep_for(std::chrono::milliseconds(650));  // more than three buffers unhandled
    QTest::qWait(400);
    rig.engine.StopCapture();
    const auto stats = rig.device.stats();
    EXPECT_EQ(stats.bytesDropped, 0u);
    const auto take = readTake(rig.path);
    EXPECT_EQ(take.dataLength(), rig.leadIn() + stats.bytesProduced);
    EXPECT_GT(stats.bytesProduced, 10 * rig.bufferBytes());
    EXPECT_EQ(firstCounterMismatch(take, rig.leadIn(), 1), std::nullopt);
}

// A release whose sound is still on its way leaves the take finishing: nothing waits for it, what
// comes meanwhile is written, and the file is finished once the device brings the end; at once when
// the take holds all it may, or when the stop gives no release.
TEST(CaptureEngine, AReleasedTakeIsFinishedWhenItsLastSoundHasCome) {
    using std::chrono::milliseconds;
    const struct {
        const char* what;
        std::optional<milliseconds> limit;
        bool release;
        bool finishing;
        bool forced;  // a stop without an instant while finishing (the session ends)
        int buffers;  // of sound in the finished take
    } rows[] = {
        {"its last sound comes later", std::nullopt, true, true, false, 5},
        {"the session ends while it waits", std::nullopt, true, true, true, 5},
        {"at its set length", milliseconds(300), true, false, false, 3},
        {"stopped without a release", std::nullopt, false, false, false, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Rig rig;
        rig.device.setEndHeldBack(true);
        int finished = 0;
        rig.engine.onTakeFinished([&] { ++finished; });
        ASSERT_TRUE(rig.start(44100, 1));  // 0.1 s buffers
        rig.engine.setLengthLimit(row.limit);
        rig.device.produce(3 * rig.bufferBytes());
        rig.deliver();
        rig.engine.StopCapture(row.release ? std::optional(std::chrono::steady_clock::now()) : std::nullopt);
        EXPECT_FALSE(rig.engine.isRecording());
        ASSERT_EQ(rig.engine.isFinishing(), row.finishing);
        if (row.finishing) {
            rig.device.produce(2 * rig.bufferBytes());
            rig.deliver();
            EXPECT_EQ(rig.written(), rig.leadIn() + 5 * rig.bufferBytes()) << "written as it comes";
            if (row.forced) {
                rig.engine.StopCapture();
            } else {
                ASSERT_TRUE(rig.device.endArrives());
                rig.deliver();
            }
            EXPECT_FALSE(rig.engine.isFinishing());
        }
        EXPECT_EQ(finished, row.finishing ? 1 : 0);
        EXPECT_FALSE(rig.engine.deviceOpen());
        EXPECT_FALSE(rig.file.isOpen());
        const auto take = readTake(rig.path);
        EXPECT_EQ(take.dataLength(),
                  rig.leadIn() + static_cast<std::size_t>(row.buffers) * rig.bufferBytes());
        EXPECT_EQ(take.u32(42), take.dataLength());
        EXPECT_EQ(firstCounterMismatch(take, rig.leadIn(), 1), std::nullopt);
    }
}
