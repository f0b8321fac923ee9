// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The resampler Opus needs, as arithmetic; and a save killed halfway, as the user would meet it.
#include "Readers.h"
#include "platform/encoding/Encoding.h"
#include "platform/encoding/Resampler.h"
#include "recorder/recovery/Recovery.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <numbers>

namespace {

using platform::encoding::Resampler;

// A sine in each channel (a midband one, then one near the top of what both rates hold) comes out as
// the same sine at the new rate: every frame there, no delay, and nothing else in it. Up to every
// Opus rate, and down from 96000 Hz for Opus and MP3.
TEST(Resampler, KeepsLengthTimingAndASineAtEveryRateASaveNeeds) {
    for (const auto& [in, out] : {std::pair{11025, 12000}, {22050, 24000}, {44100, 48000}, {96000, 48000}}) {
        for (const std::size_t channels : {1u, 2u}) {
            SCOPED_TRACE(testing::Message() << in << " -> " << out << " Hz, " << channels << " channels");
            const double top = std::min(in, out);
            const double frequency[] = {top * 0.09, top * 0.4};
            const std::size_t frames = static_cast<std::size_t>(in) + 7;
            std::vector<float> input(frames * channels);
            for (std::size_t i = 0; i < input.size(); ++i) {
                const double t = static_cast<double>(i / channels) / in;
                input[i] =
                    static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * frequency[i % channels] * t));
            }
            Resampler resampler(in, out, static_cast<int>(channels));
            std::vector<float> output;
            for (std::size_t at = 0; at < frames; at += 1000) {  // in pieces, as the take's blocks come
                resampler.push(input.data() + at * channels, std::min<std::size_t>(1000, frames - at),
                               output);
            }
            resampler.finish(output);

            // Frame k is the input at time k * in / out, up to the end of the input.
            const std::size_t outFrames = output.size() / channels;
            EXPECT_EQ(outFrames, static_cast<std::size_t>(std::ceil(static_cast<double>(frames) * out / in)));
            EXPECT_EQ(Resampler::outputFrames(frames, in, out), outFrames);
            for (std::size_t ch = 0; ch < channels; ++ch) {
                const double w = 2 * std::numbers::pi * frequency[ch] / out;
                double signal = 0, error = 0, s = 0, q = 0;
                for (std::size_t k = 100; k + 100 < outFrames; ++k) {  // where the filter has input
                    const double y = output[k * channels + ch];
                    const double ideal = 0.5 * std::sin(w * static_cast<double>(k));
                    signal += ideal * ideal;
                    error += (y - ideal) * (y - ideal);
                    s += y * std::sin(w * static_cast<double>(k));
                    q += y * std::cos(w * static_cast<double>(k));
                }
                const double snr = 10 * std::log10(signal / error);
                const double delay = -std::atan2(q, s) / w;  // in output frames
                std::printf("%5d -> %5d Hz, %zu ch, %5.0f Hz: SNR %.1f dB, delay %+.5f frames\n", in, out,
                            channels, frequency[ch], snr, delay);
                EXPECT_GT(snr, 70.0) << frequency[ch] << " Hz";
                EXPECT_LT(std::abs(delay), 0.001) << frequency[ch] << " Hz";
            }
        }
    }
}

// Lowering the rate, what the new rate cannot hold is taken out rather than folded back into what
// it keeps: a tone between 24 and 48 kHz in a 96000 Hz take leaves nothing audible at 48000 Hz.
TEST(Resampler, LoweringTheRateFoldsNothingBack) {
    constexpr int kIn = 96000;
    for (const double frequency : {24500.0, 30000.0, 40000.0}) {
        std::vector<float> input(kIn);
        for (std::size_t i = 0; i < input.size(); ++i) {
            input[i] = static_cast<float>(
                0.5 * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / kIn));
        }
        Resampler resampler(kIn, kIn / 2, 1);
        std::vector<float> output;
        resampler.push(input.data(), input.size(), output);
        resampler.finish(output);
        double power = 0;
        for (std::size_t k = 200; k + 200 < output.size(); ++k) {
            power += static_cast<double>(output[k]) * output[k];
        }
        const double level = 10 * std::log10(power / static_cast<double>(output.size() - 400) / 0.125);
        std::printf("%5.0f Hz at 96000 -> 48000 Hz: %.1f dB\n", frequency, level);
        EXPECT_LT(level, -80.0) << frequency << " Hz folded back";
    }
}

// The program killed in the middle of a ten-minute FLAC save: the chosen name never appears, the
// take is whole, and the next start removes what the save left and says so.
TEST(KilledSave, LeavesNoFileUnderTheChosenNameAndTheNextStartCleansUp) {
    QTemporaryDir state, takes, saved;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    const QString take = takes.filePath(QStringLiteral("03042026090507AM.WAV"));
    const QStringList sine = QStringLiteral("-n -r44100 -c2 -b16 %1 synth 600 sine 440").arg(take).split(' ');
    ASSERT_EQ(testsupport::run(QStringLiteral("sox"), sine).exitCode, 0);
    const QByteArray before = testsupport::readFile(take);
    const QString destination = saved.filePath(QStringLiteral("Palestra.flac"));

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::encoding::encode({{take}, destination, platform::encoding::Format::Flac, {}},
                                   [](std::uint64_t done, std::uint64_t total) {
                                       if (done * 4 >= total) {
                                           ::raise(SIGKILL);  // halfway through the encoding
                                       }
                                       return true;
                                   });
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the save was not killed midway";

    EXPECT_FALSE(QFile::exists(destination));
    EXPECT_EQ(QDir(saved.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    EXPECT_TRUE(testsupport::readFile(take) == before) << "the take changed";

    const recovery::StartUpFindings found = recovery::recoverAtStartUp(takes.path());
    ASSERT_EQ(found.removedSaves.size(), 1u);
    EXPECT_EQ(found.removedSaves[0].destination, destination);
    EXPECT_TRUE(QDir(saved.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    const QString box = recovery::describeStartUp(found);
    EXPECT_TRUE(box.contains(destination) && box.contains(take) && !box.contains(QLatin1Char('\n')))
        << box.toStdString();
    EXPECT_TRUE(recovery::recoverAtStartUp(takes.path()).empty()) << "told twice";
}

}  // namespace
