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

enum class Form { Int16, Int24, Int32, Float };
const Form kForms[] = {Form::Int16, Form::Int24, Form::Int32, Form::Float};
const int kRates[] = {11025, 22050, 44100, 48000, 96000};

// Every window of `signal` fed in `form`, `block` frames at a time.
std::vector<WindowLoudness> measure(const Signal& signal, Form form, std::int64_t block = 1 << 30) {
    const auto int16 = signal.int16();
    const auto int24 = signal.int24();
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
            form == Form::Int16   ? Samples(std::span(int16).subspan(first, count))
            : form == Form::Int24 ? *Samples::pcm(std::span(int24).subspan(first * 3, count * 3), 24)
            : form == Form::Int32 ? Samples(std::span(int32).subspan(first, count), 1e9)
                                  : Samples(std::span(signal.samples).subspan(first, count));
        for (const WindowLoudness& w : meter.feed(samples)) {
            windows.push_back(w);
        }
    }
    if (const auto last = meter.finish()) {
        windows.push_back(*last);
    }
    return windows;
}

TEST(Loudness, WindowsOf50msTheLastMeasuredOverWhatItHasAtEveryRateAndForm) {
    for (int rate : kRates) {
        for (int channels : {1, 2}) {
            for (Form form : kForms) {
                SCOPED_TRACE(testing::Message()
                             << rate << " Hz, " << channels << " ch, form " << static_cast<int>(form));
                // Twenty windows of a full-scale sine, then a partial window of a constant quarter of
                // full scale.
                const std::int64_t length = std::lround(rate * 0.05);
                Signal signal{rate, channels};
                signal.tone(20.0 * length / rate, 997, -3.0103).append(37.0 / rate, [](std::int64_t) {
                    return 0.25;
                });
                const auto windows = measure(signal, form);
                ASSERT_EQ(std::ssize(windows), signal.frames() / length + 1);
                for (std::size_t i = 0; i + 1 < windows.size(); ++i) {
                    EXPECT_EQ(windows[i].start, static_cast<std::int64_t>(i) * length);
                    EXPECT_EQ(windows[i].frames, length);
                    EXPECT_NEAR(windows[i].db, -3.01, 0.05);
                }
                EXPECT_EQ(windows.back().end(), signal.frames());
                EXPECT_NEAR(windows.back().db, -12.04, 0.01);
            }
        }
    }
}

TEST(Loudness, AWindowIsAsLoudAsItsLouderChannel) {
    for (int loud : {0, 1}) {
        Signal signal{44100, 2};
        signal.tone(0.2, 440, -20).noise(0.2, -60);
        for (std::size_t i = static_cast<std::size_t>(1 - loud); i < signal.samples.size(); i += 2) {
            signal.samples[i] = 0.0F;  // only one channel sounds
        }
        for (const WindowLoudness& w : measure(signal, Form::Int16)) {
            const double expected = w.end() <= signal.frameAt(0.2) ? -20.0 : -60.0;
            EXPECT_NEAR(w.channelDb[static_cast<std::size_t>(loud)], expected, 0.5);
            EXPECT_LT(w.channelDb[static_cast<std::size_t>(1 - loud)], -150.0);
            EXPECT_EQ(w.db, w.channelDb[static_cast<std::size_t>(loud)]);
        }
    }
}

TEST(Loudness, AClickOfMinus6PeakLiftsOneWindowToAboutMinus40) {
    Signal signal{44100, 2};
    signal.noise(1.0, -60).click(0.52);
    const auto windows = measure(signal, Form::Int24);
    for (const WindowLoudness& w : windows) {
        const bool hasClick = w.start <= signal.frameAt(0.52) && signal.frameAt(0.52) < w.end();
        EXPECT_NEAR(w.db, hasClick ? -39.5 : -60.0, 0.5) << w.start;
    }
}

TEST(Loudness, BlocksOfAnyLengthGiveTheSameWindows) {
    Signal signal{48000, 2};
    signal.tone(0.3, 220, -10).noise(0.4, -60).click(0.45).tone(0.33, 3000, -30);
    const auto whole = measure(signal, Form::Float);
    for (std::int64_t block : {1, 7, 2399, 2400, 4801, 9600}) {
        const auto pieces = measure(signal, Form::Float, block);
        ASSERT_EQ(pieces.size(), whole.size()) << block;
        for (std::size_t i = 0; i < whole.size(); ++i) {
            EXPECT_EQ(pieces[i].start, whole[i].start);
            EXPECT_NEAR(pieces[i].db, whole[i].db, 1e-4) << block << " window " << i;
        }
    }
}

}  // namespace
