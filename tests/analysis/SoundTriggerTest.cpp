// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The sound trigger driven as a capture drives it: blocks of 16-bit PCM pushed into the pre-roll
// ring and judged, every kept span copied out of the ring into the take. The take must be exactly
// the frames its starts, pauses and resumes name, and those within one window of where the sound
// says they belong.

#include "Signals.h"
#include "recorder/analysis/PrerollRing.h"
#include "recorder/analysis/SoundTrigger.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

using analysis::PrerollRing;
using analysis::Samples;
using analysis::SoundTrigger;
using analysis::TriggerEvent;
using Kind = analysis::TriggerEvent::Kind;

namespace {

struct Capture {
    std::vector<TriggerEvent> events;
    std::vector<std::byte> take;  // what the Keep spans copied out of the ring
    bool ringMissed = false;
};

Capture record(const Signal& signal, const std::vector<std::int16_t>& samples, std::int64_t block,
               double levelDb, std::optional<double> stopAt = std::nullopt) {
    const auto* bytes = reinterpret_cast<const std::byte*>(samples.data());
    const auto frameBytes = static_cast<std::size_t>(signal.channels) * 2;
    SoundTrigger trigger(signal.rate, signal.channels, {.levelDb = levelDb});
    PrerollRing ring(frameBytes, trigger.ringFrames(block));
    Capture run;
    auto handle = [&](std::span<const TriggerEvent> events) {
        for (const TriggerEvent& e : events) {
            run.events.push_back(e);
            if (e.kind == Kind::Keep) {
                const auto pieces = ring.frames(e.from, e.to);
                run.ringMissed = run.ringMissed || !pieces;
                for (const auto& piece : pieces.value_or(std::array<std::span<const std::byte>, 2>{})) {
                    run.take.insert(run.take.end(), piece.begin(), piece.end());
                }
            }
        }
    };
    const std::int64_t end = stopAt ? signal.frameAt(*stopAt) : signal.frames();
    for (std::int64_t at = 0; at < end; at += block) {
        const std::span<const std::byte> buffer(bytes + at * frameBytes,
                                                std::min(block, end - at) * frameBytes);
        ring.push(buffer);
        handle(trigger.feed(*Samples::pcm(buffer, 16)));
    }
    handle(trigger.finish());
    return run;
}

// The starts, pauses and resumes of `run` are `expected` (kind, seconds) within one window; the
// Keep spans fill each part from its start to its pause without gap or overlap, the take never
// reaches before the first frame nor back into itself, and the ring gave the very frames named.
void checkCapture(const Capture& run, const Signal& signal, const std::vector<std::int16_t>& samples,
                  const std::vector<std::pair<Kind, double>>& expected) {
    const std::int64_t window = std::lround(signal.rate * 0.05);
    const auto frameBytes = static_cast<std::size_t>(signal.channels) * 2;
    const auto* bytes = reinterpret_cast<const std::byte*>(samples.data());
    std::vector<std::byte> parts;
    std::size_t next = 0;
    std::int64_t kept = 0, partStart = -1, lastPause = 0;
    for (const TriggerEvent& e : run.events) {
        EXPECT_EQ(e.takeFrame, kept);
        if (e.kind == Kind::Keep) {
            EXPECT_EQ(e.from, partStart) << "kept spans follow each other";
            EXPECT_GT(e.to, e.from);
            kept += e.to - e.from;
            partStart = e.to;
            continue;
        }
        ASSERT_LT(next, expected.size()) << "unexpected event at " << e.from;
        EXPECT_EQ(e.kind, expected[next].first) << next;
        EXPECT_NEAR(e.from, signal.frameAt(expected[next].second), window) << next;
        ++next;
        if (e.kind == Kind::Pause) {
            EXPECT_EQ(e.from, partStart) << "a part ends where its last kept span does";
            parts.insert(parts.end(), bytes + lastPause * frameBytes, bytes + e.from * frameBytes);
            partStart = -1;
            lastPause = e.from;
        } else {
            EXPECT_EQ(partStart, -1);
            EXPECT_GE(e.from, lastPause) << "never before the first frame nor into the take";
            partStart = lastPause = e.from;
        }
    }
    EXPECT_EQ(next, expected.size());
    if (partStart >= 0) {
        parts.insert(parts.end(), bytes + lastPause * frameBytes, bytes + partStart * frameBytes);
    }
    EXPECT_FALSE(run.ringMissed);
    EXPECT_TRUE(run.take == parts) << "the ring's bytes are the take's frames";
}

TEST(SoundTrigger, BurstsAreKeptWithTheSecondBeforeAndFiveAfterAtAnyRateAndBuffer) {
    for (int rate : {11025, 44100, 96000}) {
        for (int channels : {1, 2}) {
            Signal signal{rate, channels};
            // Three bursts at -20 dBFS (2 s, 3 s, 2 s) with 8 s of -60 dBFS noise between and after.
            signal.noise(3, -60)
                .tone(2, 440, -20)
                .noise(8, -60)
                .tone(3, 550, -20)
                .noise(8, -60)
                .tone(2, 660, -20)
                .noise(8, -60);
            const auto pcm = signal.int16();
            const std::int64_t r = rate;
            // Capture buffers of 0.1 and 0.2 s, blocks across windows, one block for all.
            for (std::int64_t block :
                 {r / 10, r / 5, r / 50 * 3 + 1, rate == 11025 ? 7 : r, signal.frames()}) {
                SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " ch, blocks of " << block);
                checkCapture(record(signal, pcm, block, -40), signal, pcm,
                             {{Kind::Start, 2},
                              {Kind::Pause, 10},
                              {Kind::Resume, 12},
                              {Kind::Pause, 21},
                              {Kind::Resume, 23},
                              {Kind::Pause, 31}});
            }
        }
    }
}

TEST(SoundTrigger, PrerollHoldAndStopAtTheEdges) {
    struct Case {
        const char* what;
        Signal signal;
        double levelDb;
        std::optional<double> stopAt;
        std::vector<std::pair<Kind, double>> expected;
    };
    Case cases[] = {
        {"never above the level", Signal{44100, 2}, -40, {}, {}},
        {"sound from 0.3 s: the pre-roll starts at the first frame",
         Signal{44100, 2},
         -40,
         {},
         {{Kind::Start, 0}, {Kind::Pause, 6.3}}},
        {"back within 5 s: no pause", Signal{48000, 1}, -30, {}, {{Kind::Start, 0}, {Kind::Pause, 12.5}}},
        {"back 0.5 s after the pause: resumes where it paused",
         Signal{22050, 2},
         -40,
         {},
         {{Kind::Start, 0}, {Kind::Pause, 7}, {Kind::Resume, 7}, {Kind::Pause, 13.5}}},
        {"stopped while recording", Signal{44100, 2}, -40, 4.0, {{Kind::Start, 0}}},
        // At 11025 Hz the hold ends inside a window: the stop comes before that window is whole.
        {"stopped in the hold's last window",
         Signal{11025, 2},
         -40,
         7.06,
         {{Kind::Start, 0}, {Kind::Pause, 7.05}}},
    };
    cases[0].signal.noise(2, -60).tone(3, 440, -50).noise(2, -60);
    cases[1].signal.noise(0.3, -60).tone(1, 440, -20).noise(10, -60);
    cases[2].signal.tone(1.5, 440, -20).silence(4.5).tone(1.5, 440, -20).silence(10);
    cases[3].signal.noise(1, -60).tone(1, 440, -20).noise(5.5, -60).tone(1, 440, -20).noise(10, -60);
    cases[4].signal.noise(0.5, -60).tone(1.5, 440, -20).noise(10, -60);
    cases[5].signal.noise(0.5, -60).tone(1.5, 440, -20).noise(10, -60);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto pcm = c.signal.int16();
        const Capture run = record(c.signal, pcm, 4410, c.levelDb, c.stopAt);
        checkCapture(run, c.signal, pcm, c.expected);
        if (c.stopAt && c.expected.back().first == Kind::Start) {
            ASSERT_FALSE(run.events.empty());
            EXPECT_EQ(run.events.back().to, c.signal.frameAt(*c.stopAt)) << "a stop keeps all it heard";
        }
    }
}

TEST(PrerollRing, HoldsTheLastFramesAcrossItsWrapAndNothingOlder) {
    PrerollRing ring(2, 5);
    std::vector<std::byte> stream;
    for (int i = 0; i < 13; ++i) {
        stream.push_back(static_cast<std::byte>(i));
        stream.push_back(static_cast<std::byte>(100 + i));
    }
    ring.push(std::span(stream).first(6));       // frames 0-2
    ring.push(std::span(stream).subspan(6, 8));  // 3-6: wraps
    EXPECT_EQ(ring.firstFrame(), 2);
    EXPECT_FALSE(ring.frames(1, 3)) << "frame 1 is gone";
    EXPECT_FALSE(ring.frames(3, 8)) << "frame 7 has not come";
    const auto pieces = ring.frames(2, 7);
    ASSERT_TRUE(pieces);
    std::vector<std::byte> joined((*pieces)[0].begin(), (*pieces)[0].end());
    joined.insert(joined.end(), (*pieces)[1].begin(), (*pieces)[1].end());
    EXPECT_TRUE(std::ranges::equal(joined, std::span(stream).subspan(4, 10)));
    ring.push(std::span(stream).subspan(14));  // frames 7-12, more than it holds
    EXPECT_EQ(ring.firstFrame(), 8);
    const auto last = ring.frames(8, 13);
    ASSERT_TRUE(last);
    EXPECT_EQ((*last)[0].size() + (*last)[1].size(), 10U);
    EXPECT_EQ((*last)[0][0], std::byte{8});
}

}  // namespace
