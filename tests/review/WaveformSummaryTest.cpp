// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The waveform's summary: bins sized from the take's length within a fixed memory, pixel columns
// answered from the bins they touch, filling from the start while the window is open, and leaving
// at once when it closes.
#include "recorder/review/WaveformSummary.h"

#include "SyntheticSource.h"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using platform::playback::Format;
using review::WaveformSummary;
using reviewtest::SyntheticSource;

constexpr std::size_t kMiB = 1024 * 1024;

bool awaitComplete(const WaveformSummary& summary) {
    return QTest::qWaitFor([&] { return summary.complete(); }, 120000);
}

TEST(WaveformSummary, BinsGrowWithTheTakeAndMemoryDoesNot) {
    struct Row {
        const char* name;
        Format format;
        std::uint64_t frames;
    };
    const Row rows[] = {
        {"nothing", {44100, 2}, 0},
        {"one frame", {44100, 2}, 1},
        {"ten seconds", {44100, 2}, 441000},
        {"an hour", {44100, 2}, 44100ull * 3600},
        {"eight hours", {44100, 2}, 44100ull * 3600 * 8},
        {"eight hours of mono", {44100, 1}, 44100ull * 3600 * 8},
        {"a day at 96000 Hz", {96000, 2}, 96000ull * 3600 * 24},
    };
    std::size_t previousBin = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto source = std::make_shared<SyntheticSource>(row.format, row.frames, nullptr);
        source->hold();
        {
            const WaveformSummary summary(source);
            EXPECT_EQ(summary.frames(), row.frames);
            EXPECT_EQ(summary.channels(), row.format.channels);
            EXPECT_LE(summary.memoryBytes(), 32 * kMiB);
            EXPECT_GE(summary.binFrames(), WaveformSummary::kFewestBinFrames);
            // The bins cover the take, and no more than a bin beyond it.
            const std::uint64_t bins = (row.frames + summary.binFrames() - 1) / summary.binFrames();
            EXPECT_LE(bins, WaveformSummary::kMostBins);
            EXPECT_GE(bins * summary.binFrames(), row.frames);
            if (row.format.channels == 2) {
                EXPECT_GE(summary.binFrames(), previousBin);
                previousBin = summary.binFrames();
            }
            EXPECT_EQ(summary.summarisedFrames(), 0u);
            EXPECT_EQ(summary.complete(), row.frames == 0);
        }
        source->release();
    }
}

// The least and greatest sample of a channel over frames [from, to), full scale 1.
std::pair<double, double> truth(const reviewtest::Sound& sound, int channel, std::uint64_t from, std::uint64_t to) {
    std::int32_t least = INT32_MAX;
    std::int32_t greatest = INT32_MIN;
    for (std::uint64_t f = from; f < to; ++f) {
        least = std::min(least, sound(f, channel));
        greatest = std::max(greatest, sound(f, channel));
    }
    return {least / 2147483648.0, greatest / 2147483648.0};
}

TEST(WaveformSummary, EveryColumnShowsTheExtremesOfTheBinsItTouches) {
    constexpr std::uint64_t kFrames = 100003;  // no whole number of bins
    struct Row {
        const char* name;
        Format format;
        int bits;
    };
    const Row rows[] = {{"16-bit stereo", {44100, 2}, 16}, {"24-bit mono", {96000, 1}, 24}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // Noise, with one loud click per channel at frames a pixel column may hold alone.
        const reviewtest::Sound sound = [bits = row.bits](std::uint64_t f, int c) -> std::int32_t {
            if (f == 50001 + static_cast<std::uint64_t>(c)) {
                return c == 0 ? INT32_MAX : INT32_MIN;
            }
            return reviewtest::noiseAt(f, c, bits) / 4;
        };
        const WaveformSummary summary(std::make_shared<SyntheticSource>(row.format, kFrames, sound));
        ASSERT_TRUE(awaitComplete(summary));
        ASSERT_EQ(summary.summarisedFrames(), kFrames);
        const std::uint64_t bin = summary.binFrames();
        for (const int columns : {1, 7, 640, 4096, 100003, 250000}) {
            SCOPED_TRACE(testing::Message() << columns << " columns");
            for (int x = 0; x < columns; x += std::max(1, columns / 997)) {
                const std::uint64_t from = static_cast<std::uint64_t>(x) * kFrames / columns;
                const std::uint64_t to = std::max(from + 1, static_cast<std::uint64_t>(x + 1) * kFrames / columns);
                for (int c = 0; c < row.format.channels; ++c) {
                    const auto got = summary.extent(c, from, to);
                    ASSERT_TRUE(got);
                    const auto [least, greatest] =
                        truth(sound, c, from / bin * bin, std::min(kFrames, (to + bin - 1) / bin * bin));
                    ASSERT_NEAR(got->least, least, 1.0 / 32768) << "column " << x << ", channel " << c;
                    ASSERT_NEAR(got->greatest, greatest, 1.0 / 32768) << "column " << x << ", channel " << c;
                }
            }
        }
        EXPECT_FALSE(summary.extent(0, kFrames, kFrames + 10));
        EXPECT_FALSE(summary.extent(row.format.channels, 0, kFrames));
        // The clicks show in the whole take's single column.
        EXPECT_FLOAT_EQ(summary.extent(0, 0, kFrames)->greatest, 32767.0F / 32768.0F);
        if (row.format.channels == 2) {
            EXPECT_FLOAT_EQ(summary.extent(1, 0, kFrames)->least, -1.0F);
        }
    }
}

TEST(WaveformSummary, MeasuresTheTakesLoudnessOnTheSamePassWhenAsked) {
    // No whole number of reads, bins or loudness windows.
    constexpr std::uint64_t kFrames = 300007;
    const reviewtest::Sound sound = [](std::uint64_t f, int c) {
        return reviewtest::noiseAt(f, c, 16) / static_cast<std::int32_t>(1 + f / 30000);
    };
    for (const int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        auto source = std::make_shared<SyntheticSource>(Format{22050, static_cast<std::uint16_t>(channels)},
                                                        kFrames, sound);
        source->hold();
        const WaveformSummary measured(source, WaveformSummary::Loudness::Measure);
        EXPECT_EQ(measured.loudness(), nullptr);
        source->release();
        ASSERT_TRUE(awaitComplete(measured));
        ASSERT_NE(measured.loudness(), nullptr);

        std::vector<std::int32_t> samples(kFrames * static_cast<std::uint64_t>(channels));
        source->readInt32(0, kFrames, samples.data());
        const auto expected =
            analysis::LoudnessProfile::of(analysis::Samples(samples, 2147483648.0), 22050, channels);
        EXPECT_EQ(measured.loudness()->frames, expected.frames);
        EXPECT_EQ(measured.loudness()->db, expected.db);

        const WaveformSummary skipped(source);
        ASSERT_TRUE(awaitComplete(skipped));
        EXPECT_EQ(skipped.loudness(), nullptr);
    }
}

TEST(WaveformSummary, FillsFromTheStartAndLeavesAtOnceWhenTheWindowCloses) {
    constexpr std::uint64_t kFrames = 44100ull * 600;
    const reviewtest::Sound sound = [](std::uint64_t f, int c) { return reviewtest::noiseAt(f, c, 16); };
    auto source = std::make_shared<SyntheticSource>(Format{44100, 2}, kFrames, sound);
    source->hold();
    auto summary = std::make_unique<WaveformSummary>(source);
    source->awaitReads(1);
    EXPECT_EQ(summary->summarisedFrames(), 0u);
    EXPECT_FALSE(summary->extent(0, 0, kFrames));

    // One read goes through, the next waits.
    source->pass(1);
    source->awaitReads(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return summary->summarisedFrames() > 0; }, 10000));
    const std::uint64_t done = summary->summarisedFrames();
    EXPECT_LT(done, kFrames);
    EXPECT_FALSE(summary->complete());
    EXPECT_TRUE(summary->extent(1, 0, done));
    EXPECT_FALSE(summary->extent(1, done, kFrames));
    const auto part = summary->extent(1, 0, done);
    const auto all = summary->extent(1, 0, kFrames);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->least, part->least);
    EXPECT_EQ(all->greatest, part->greatest);

    // Closed while a read is held up: the summary goes at once and nothing more is read.
    summary.reset();
    source->release();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(source->readsStarted(), 2);
}

}  // namespace
