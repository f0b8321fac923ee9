// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The loudness of generated signals, window by window, at every rate, channel count and sample form.

#include "Signals.h"
#include "recorder/analysis/Loudness.h"

#include <gtest/gtest.h>

using analysis::LoudnessMeter;
using analysis::Samples;
using analysis::WindowLoudness;

namespace {

enum class Form { Pcm16, Pcm24, Int32, Float };

// Every window of `signal` fed in `form`, `block` frames at a time.
std::vector<WindowLoudness> measure(const Signal& signal, Form form, std::int64_t block = 1 << 30) {
    const int bits = form == Form::Pcm24 ? 24 : 16;
    const auto pcm = signal.pcm(bits);
    std::vector<std::int32_t> int32;
    for (float s : signal.samples) {
        int32.push_back(static_cast<std::int32_t>(std::lround(s * 1e9)));
    }
    LoudnessMeter meter(signal.rate, signal.channels);
    std::vector<WindowLoudness> windows;
    for (std::int64_t at = 0; at < signal.frames(); at += block) {
        const auto first = static_cast<std::size_t>(at * signal.channels);
        const auto count = static_cast<std::size_t>(std::min(block, signal.frames() - at) * signal.channels);
        const Samples samples =
            form == Form::Int32 ? Samples(std::span(int32).subspan(first, count), 1e9)
            : form == Form::Float
                ? Samples(std::span(signal.samples).subspan(first, count))
                : *Samples::pcm(std::span(pcm).subspan(first * bits / 8, count * bits / 8), bits);
        const auto done = meter.feed(samples);
        windows.insert(windows.end(), done.begin(), done.end());
    }
    if (const auto last = meter.finish()) {
        windows.push_back(*last);
    }
    return windows;
}

TEST(Loudness, WindowsOf50msOnTheLouderChannelTheLastOverWhatItHas) {
    for (int rate : {11025, 22050, 44100, 48000, 96000}) {
        for (int channels : {1, 2}) {
            for (Form form : {Form::Pcm16, Form::Pcm24, Form::Int32, Form::Float}) {
                SCOPED_TRACE(testing::Message()
                             << rate << " Hz, " << channels << " ch, form " << static_cast<int>(form));
                // Twenty windows of a full-scale sine, then a partial window of a quarter of full scale,
                // on the last channel only.
                const std::int64_t length = std::lround(rate * 0.05);
                Signal signal{rate, channels};
                signal.tone(20.0 * length / rate, 997, -3.0103).append(37.0 / rate, [](std::int64_t) {
                    return 0.25;
                });
                for (std::size_t i = 0; channels == 2 && i < signal.samples.size(); i += 2) {
                    signal.samples[i] = 0.0F;
                }
                const auto windows = measure(signal, form);
                ASSERT_EQ(std::ssize(windows), 21);
                for (std::size_t i = 0; i < windows.size(); ++i) {
                    EXPECT_EQ(windows[i].start, static_cast<std::int64_t>(i) * length);
                    EXPECT_NEAR(windows[i].db, i < 20 ? -3.01 : -12.04, 0.05);
                    EXPECT_EQ(windows[i].db, windows[i].channelDb[static_cast<std::size_t>(channels - 1)]);
                }
                EXPECT_EQ(windows.back().end(), signal.frames());
                EXPECT_LT(windows[0].channelDb[channels == 2 ? 0 : 1], -150.0) << "the silent channel";
            }
        }
    }
}

TEST(Loudness, AClickOfMinus6PeakLiftsAWindowToAboutMinus40AndBlocksChangeNothing) {
    Signal signal{44100, 2};
    signal.noise(1.0, -60).click(0.52).tone(0.33, 3000, -30);
    const auto whole = measure(signal, Form::Float);
    for (const WindowLoudness& w : whole) {
        const double expected = w.start >= signal.frameAt(1.0)                                      ? -30
                                : w.end() > signal.frameAt(0.52) && w.start <= signal.frameAt(0.52) ? -39.5
                                                                                                    : -60;
        EXPECT_NEAR(w.db, expected, 0.5) << w.start;
    }
    for (std::int64_t block : {1, 7, 2204, 2205, 4411}) {
        const auto pieces = measure(signal, Form::Float, block);
        ASSERT_EQ(pieces.size(), whole.size()) << block;
        for (std::size_t i = 0; i < whole.size(); ++i) {
            EXPECT_NEAR(pieces[i].db, whole[i].db, 1e-4) << block << " window " << i;
        }
    }
}

}  // namespace
