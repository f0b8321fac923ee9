// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A take that starts at sound, through the engine, the simulated device and a real take file: which
// frames of the heard stream the take holds, after its lead-in, and where its parts begin. Every
// frame of the signal carries its place (frame n holds a value made from n), so a frame kept twice,
// lost or out of place shows.
#include "recorder/capture/SoundActivation.h"

#include "ScriptedDialogs.h"
#include "SimulatedWaveIn.h"
#include "TakeReader.h"
#include "recorder/capture/CaptureEngine.h"
#include "recorder/wavfile/TakeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace platform::wavein;

namespace {

constexpr int kRate = 44100;
constexpr std::size_t kBufferFrames = 4410;  // mono 44100 Hz
constexpr std::size_t kLeadInFrames = 10 * kBufferFrames;

struct Stretch {
    double seconds;
    bool loud;
};

// Quiet frames stay far below -40 dBFS, loud ones far above; both tell their frame number modulo 61.
std::int16_t sampleOf(std::int64_t n, bool loud) {
    const auto mark = static_cast<std::int16_t>(n % 61);
    return loud ? static_cast<std::int16_t>((n / 10) % 2 == 0 ? 8000 + mark : -8000 - mark)
                : static_cast<std::int16_t>(mark - 30);
}

std::vector<std::int16_t> signalOf(const std::vector<Stretch>& stretches) {
    std::vector<std::int16_t> samples;
    for (const Stretch& s : stretches) {
        const auto frames = static_cast<std::int64_t>(std::llround(s.seconds * kRate));
        for (std::int64_t i = 0; i < frames; ++i) {
            samples.push_back(sampleOf(static_cast<std::int64_t>(samples.size()), s.loud));
        }
    }
    return samples;
}

WAVEFORMATEX monoFormat() {
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = kRate;
    f.wBitsPerSample = 16;
    f.nBlockAlign = 2;
    f.nAvgBytesPerSec = 2 * kRate;
    f.cbSize = 18;
    return f;
}

std::int64_t frameAt(double seconds) {
    return std::llround(seconds * kRate);
}

// The source signal as the simulated device reads it, in `dir`.
std::string rawFile(const QTemporaryDir& dir, const std::vector<std::int16_t>& signal) {
    const QString raw = dir.filePath(QStringLiteral("signal.raw"));
    QFile out(raw);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(reinterpret_cast<const char*>(signal.data()),
              static_cast<qint64>(signal.size() * sizeof(std::int16_t)));
    return raw.toStdString();
}

// The engine on the simulated device playing `signal`, its buffers handled as the window would.
struct Rig {
    Rig(const QTemporaryDir& dir, const std::vector<std::int16_t>& signal)
        : device(SimulatedSource::file(rawFile(dir, signal)), Pacing::Manual) {
        engine.HookWindow(&window, [this] {
            if (engine.isRecording()) {
                engine.HandleDoneBuffers();
            }
        });
        engine.waveFormat = monoFormat();
    }

    testsupport::ScriptedDialogs dialogs;
    SimulatedWaveIn device;
    basSoundRec_2::TakeFile file{dialogs, QStringLiteral("Tolvane")};
    basSoundRec_1::CaptureEngine engine{device, file, dialogs, QStringLiteral("Tolvane")};
    QObject window;
};

}  // namespace

// Bursts above -40 dBFS among quiet stretches; the take holds, after its lead-in, each part (in
// seconds of the heard stream) whole and in order, and nothing else; a marker where each part begins.
TEST(SoundActivation, TheTakeHoldsEachPartWithItsSecondBeforeAndFiveAfter) {
    struct Case {
        const char* what;
        std::vector<Stretch> signal;
        std::vector<std::pair<double, double>> parts;  // seconds of the stream, [from, to)
        std::optional<std::chrono::milliseconds> limit = std::nullopt;
    };
    const Case cases[] = {
        {"one burst", {{2, false}, {2, true}, {10, false}}, {{1, 9}}},
        {"an onset inside a window keeps the whole window's second before",
         {{2.03, false}, {1.97, true}, {10, false}},
         {{1, 9}}},
        {"three bursts 8 s apart, the first a second in",
         {{1, false}, {2, true}, {8, false}, {3, true}, {8, false}, {2, true}, {8, false}},
         {{0, 8}, {10, 19}, {21, 29}}},
        {"a silence shorter than the hold is kept",
         {{2, false}, {1, true}, {4, false}, {1, true}, {10, false}},
         {{1, 13}}},
        {"a sound within a second of the pause resumes without reaching back",
         {{2, false}, {1, true}, {5.5, false}, {1, true}, {10, false}},
         {{1, 8}, {8, 14.5}}},
        {"no sound, no take", {{12, false}}, {}},
        {"the set length ends it",
         {{2, false}, {2, true}, {10, false}},
         {{1, 4}},
         std::chrono::milliseconds(3000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const std::vector<std::int16_t> signal = signalOf(c.signal);
        Rig rig(dir, signal);
        auto& [dialogs, device, file, engine, window] = rig;
        engine.setLengthLimit(c.limit);
        QString path;
        std::vector<std::uint64_t> markers;
        int pauses = 0;
        basSoundRec_1::SoundActivation activation(
            engine, {.levelDb = -40.0},
            {.makeTake =
                 [&] {
                     path = file.Create(dir.filePath(QStringLiteral("take.WAV")));
                     return !path.isEmpty() && file.WriteHeader(engine.waveFormat);
                 },
             .partBegan = [&](std::uint64_t frame) { markers.push_back(frame); },
             .silent = [&](bool paused) { pauses += paused ? 1 : 0; }});
        ASSERT_TRUE(engine.StartCapture());
        for (std::size_t done = 0; done < signal.size() * 2 && !engine.lengthLimitReached();) {
            done += device.produce(std::min(kBufferFrames * 2, signal.size() * 2 - done));
            QCoreApplication::sendPostedEvents(&window);
        }
        engine.StopCapture();

        if (c.parts.empty()) {
            EXPECT_TRUE(path.isEmpty());
            EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.WAV")}).isEmpty())
                << "a take without sound left a file";
            EXPECT_TRUE(markers.empty());
            continue;
        }
        ASSERT_FALSE(path.isEmpty());
        const testsupport::TakeBytes take = testsupport::readTake(path);
        EXPECT_EQ(take.u32(42), take.dataLength());
        for (std::size_t i = 0; i < kLeadInFrames; ++i) {
            ASSERT_EQ(take.sample(i), 0) << "lead-in frame " << i;
        }
        std::vector<std::int16_t> expected;
        std::vector<std::uint64_t> expectedMarkers;
        for (const auto& [from, to] : c.parts) {
            expectedMarkers.push_back(kLeadInFrames + expected.size());
            for (std::int64_t n = frameAt(from); n < frameAt(to); ++n) {
                expected.push_back(signal[static_cast<std::size_t>(n)]);
            }
        }
        const std::size_t held = take.dataLength() / 2 - kLeadInFrames;
        EXPECT_EQ(held, expected.size()) << "the take holds " << static_cast<double>(held) / kRate << " s";
        for (std::size_t i = 0; i < std::min(held, expected.size()); ++i) {
            if (take.sample(kLeadInFrames + i) != expected[i]) {
                ADD_FAILURE() << "frame " << i << " of the take's audio is not the expected one";
                break;
            }
        }
        EXPECT_EQ(markers, expectedMarkers);
        EXPECT_EQ(pauses, c.limit ? 0 : static_cast<int>(c.parts.size()));
    }
}

// Audio the device lost (the window fell behind, or the server skipped it) is told only where the
// take kept frames around it, at its place in the take; a loss in a silence the take left out, or
// while it waited for its first sound, is nobody's loss. Every stretch here is a whole number of
// 50 ms windows of the stream the device handed over, so where each part begins is exact.
TEST(SoundActivation, OnlyLossesWithinTheKeptFramesAreTold) {
    struct Loss {
        double atSource;  // seconds of the source signal
        double seconds;
    };
    struct Case {
        const char* what;
        std::vector<Stretch> signal;
        std::vector<Loss> losses;
        std::vector<Overrun> told;  // take frames after the lead-in
    };
    const Case cases[] = {
        {"losses while armed, in a burst, in a left-out silence and in a second before",
         {{2, false}, {2, true}, {10, false}, {2, true}, {8, false}},
         // Handed over: the burst at 1.9 s, kept from 0.9 s; it ends at 3.85 s, the take pauses at
         // 8.85 s; the second burst comes at 13.55 s and is kept from 12.55 s.
         {{0.5, 0.1}, {3.0, 0.05}, {11.0, 0.2}, {13.5, 0.1}},
         {{static_cast<std::uint64_t>(frameAt(2.0)), static_cast<std::uint64_t>(frameAt(0.05))},
          {static_cast<std::uint64_t>(frameAt(7.95 + 0.6)), static_cast<std::uint64_t>(frameAt(0.1))}}},
        {"no sound: nothing lost", {{6, false}}, {{1.0, 0.5}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const std::vector<std::int16_t> signal = signalOf(c.signal);
        Rig rig(dir, signal);
        auto& [dialogs, device, file, engine, window] = rig;
        basSoundRec_1::SoundActivation activation(
            engine, {.levelDb = -40.0},
            {.makeTake =
                 [&] {
                     return !file.Create(dir.filePath(QStringLiteral("take.WAV"))).isEmpty() &&
                            file.WriteHeader(engine.waveFormat);
                 },
             .partBegan = {},
             .silent = {}});
        ASSERT_TRUE(engine.StartCapture());
        // Produces the source up to `until` (bytes), a buffer at a time, as the device fills them.
        std::size_t done = 0;
        const auto produceUntil = [&](std::size_t until) {
            while (done < until) {
                const std::size_t n = device.produce(std::min(kBufferFrames * 2, until - done));
                ASSERT_GT(n, 0u);
                done += n;
                QCoreApplication::sendPostedEvents(&window);
            }
        };
        for (const Loss& loss : c.losses) {
            produceUntil(static_cast<std::size_t>(frameAt(loss.atSource)) * 2);
            const auto bytes = static_cast<std::size_t>(frameAt(loss.seconds)) * 2;
            ASSERT_EQ(device.lose(bytes), bytes);
            done += bytes;
        }
        produceUntil(signal.size() * 2);
        engine.StopCapture();
        ASSERT_EQ(engine.overruns().size(), c.told.size()) << engine.overrunReport().toStdString();
        for (std::size_t i = 0; i < c.told.size(); ++i) {
            EXPECT_EQ(engine.overruns()[i], c.told[i])
                << "loss " << i << " told at " << engine.overruns()[i].atFrame << " for "
                << engine.overruns()[i].frames;
        }
    }
}
