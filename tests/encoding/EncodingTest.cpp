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

struct RateCase {
    int in;
    int out;
    int channels;
};

// A sine in each channel (a midband one, then one near the top of what the take holds) comes out as
// the same sine at the new rate: every frame there, no delay, and nothing else in it.
TEST(Resampler, KeepsLengthTimingAndASineAtEveryOpusRate) {
    const RateCase table[] = {{11025, 12000, 1}, {11025, 12000, 2}, {22050, 24000, 1},
                              {22050, 24000, 2}, {44100, 48000, 1}, {44100, 48000, 2}};
    for (const RateCase& c : table) {
        SCOPED_TRACE(testing::Message() << c.in << " -> " << c.out << " Hz, " << c.channels << " channels");
        const double frequency[] = {c.in * 0.09, c.in * 0.4};
        const std::size_t frames = static_cast<std::size_t>(c.in) + 7;
        std::vector<float> in(frames * static_cast<std::size_t>(c.channels));
        for (std::size_t k = 0; k < frames; ++k) {
            for (int ch = 0; ch < c.channels; ++ch) {
                in[k * static_cast<std::size_t>(c.channels) + static_cast<std::size_t>(ch)] =
                    static_cast<float>(
                        0.5 * std::sin(2 * std::numbers::pi * frequency[ch] * static_cast<double>(k) / c.in));
            }
        }
        Resampler resampler(c.in, c.out, c.channels);
        std::vector<float> out;
        // In uneven pieces, as the take's blocks come.
        for (std::size_t at = 0; at < frames; at += 1000) {
            resampler.push(in.data() + at * static_cast<std::size_t>(c.channels),
                           std::min<std::size_t>(1000, frames - at), out);
        }
        resampler.finish(out);

        const auto outFrames = out.size() / static_cast<std::size_t>(c.channels);
        // Frame k is the input at time k * in / out, up to the end of the input.
        EXPECT_EQ(outFrames, static_cast<std::size_t>(std::ceil(static_cast<double>(frames) * c.out / c.in)));
        EXPECT_EQ(Resampler::outputFrames(frames, c.in, c.out), outFrames);
        for (int ch = 0; ch < c.channels; ++ch) {
            // Away from the ends, where the filter reaches past the input.
            const double w = 2 * std::numbers::pi * frequency[ch] / c.out;
            double signal = 0, error = 0, s = 0, q = 0;
            for (std::size_t k = 100; k + 100 < outFrames; ++k) {
                const double y = out[k * static_cast<std::size_t>(c.channels) + static_cast<std::size_t>(ch)];
                const double ideal = 0.5 * std::sin(w * static_cast<double>(k));
                signal += ideal * ideal;
                error += (y - ideal) * (y - ideal);
                s += y * std::sin(w * static_cast<double>(k));
                q += y * std::cos(w * static_cast<double>(k));
            }
            const double snr = 10 * std::log10(signal / error);
            const double delay = -std::atan2(q, s) / w;  // in output frames
            std::printf("%5d -> %5d Hz, %d ch, %5.0f Hz: SNR %.1f dB, delay %+.5f frames\n", c.in, c.out,
                        c.channels, frequency[ch], snr, delay);
            EXPECT_GT(snr, 70.0) << frequency[ch] << " Hz";
            EXPECT_LT(std::abs(delay), 0.001) << frequency[ch] << " Hz";
        }
    }
}

// The program killed in the middle of a ten-minute FLAC save: the chosen name never appears, the
// take is whole, and the next start removes what the save left and says so.
TEST(KilledSave, LeavesNoFileUnderTheChosenNameAndTheNextStartCleansUp) {
    QTemporaryDir state, takes, saved;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    const QString take = takes.filePath(QStringLiteral("03042026090507AM.WAV"));
    ASSERT_EQ(testsupport::run(QStringLiteral("sox"),
                               {QStringLiteral("-n"), QStringLiteral("-r44100"), QStringLiteral("-c2"),
                                QStringLiteral("-b16"), take, QStringLiteral("synth"), QStringLiteral("600"),
                                QStringLiteral("sine"), QStringLiteral("440")})
                  .exitCode,
              0);
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
    EXPECT_TRUE(found.takes.empty());
    ASSERT_EQ(found.removedSaves.size(), 1u);
    EXPECT_EQ(found.removedSaves[0].destination, destination);
    EXPECT_TRUE(QDir(saved.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    const QString box = recovery::describeStartUp(found);
    EXPECT_TRUE(box.contains(destination) && box.contains(take) && !box.contains(QLatin1Char('\n')))
        << box.toStdString();
    EXPECT_TRUE(recovery::recoverAtStartUp(takes.path()).empty()) << "told twice";
}

}  // namespace
