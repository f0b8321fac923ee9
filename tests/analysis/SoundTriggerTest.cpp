// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The sound trigger driven as a capture drives it: blocks of 16-bit PCM pushed into the pre-roll
// ring and judged, every kept span copied out of the ring into the take.

#include "Signals.h"
#include "recorder/analysis/PrerollRing.h"
#include "recorder/analysis/SoundTrigger.h"

#include <gtest/gtest.h>

#include <optional>

using analysis::PrerollRing;
using analysis::Samples;
using analysis::SoundTrigger;
using analysis::TriggerEvent;
using Kind = analysis::TriggerEvent::Kind;
using Expected = std::vector<std::pair<Kind, double>>;  // starts, pauses and resumes, in seconds

namespace {

// Records `signal` in blocks up to `stopAt` seconds and checks: the starts, pauses and resumes are
// `expected` within one window; the kept spans fill each part from its start to its pause; no part
// begins before the first frame nor before the previous pause; the ring's bytes are the very
// frames the parts name. Returns the events.
std::vector<TriggerEvent> recordAndCheck(const Signal& signal, const std::vector<std::byte>& pcm,
                                         std::int64_t block, double levelDb, const Expected& expected,
                                         double stopAt = 1e9) {
    const auto frameBytes = static_cast<std::size_t>(signal.channels) * 2;
    SoundTrigger trigger(signal.rate, signal.channels, {.levelDb = levelDb});
    PrerollRing ring(frameBytes, trigger.ringFrames(block));
    std::vector<TriggerEvent> events;
    std::vector<std::byte> take, parts;
    std::size_t next = 0;
    std::int64_t kept = 0, partStart = -1, lastPause = 0;
    auto handle = [&](std::span<const TriggerEvent> decided) {
        for (const TriggerEvent& e : decided) {
            events.push_back(e);
            EXPECT_EQ(e.takeFrame, kept);
            if (e.kind == Kind::Keep) {
                EXPECT_EQ(e.from, partStart) << "kept spans follow each other";
                const auto pieces = ring.frames(e.from, e.to);
                ASSERT_TRUE(pieces) << "the ring still holds what is kept";
                for (const auto& piece : *pieces) {
                    take.insert(take.end(), piece.begin(), piece.end());
                }
                parts.insert(parts.end(), pcm.begin() + e.from * frameBytes, pcm.begin() + e.to * frameBytes);
                kept += e.to - e.from;
                partStart = e.to;
                continue;
            }
            ASSERT_LT(next, expected.size()) << "unexpected event at " << e.from;
            EXPECT_EQ(e.kind, expected[next].first) << next;
            EXPECT_NEAR(e.from, signal.frameAt(expected[next].second), signal.rate * 0.05) << next;
            ++next;
            if (e.kind == Kind::Pause) {
                EXPECT_EQ(e.from, partStart) << "a part ends where its last kept span does";
                partStart = -1;
            } else {
                EXPECT_EQ(partStart, -1);
                EXPECT_GE(e.from, lastPause) << "never before the first frame nor into the take";
                partStart = e.from;
            }
            lastPause = e.from;
        }
    };
    const std::int64_t end = std::min(signal.frameAt(stopAt), signal.frames());
    for (std::int64_t at = 0; at < end; at += block) {
        const auto buffer = std::span(pcm).subspan(at * frameBytes, std::min(block, end - at) * frameBytes);
        ring.push(buffer);
        handle(trigger.feed(*Samples::pcm(buffer, 16)));
    }
    handle(trigger.finish());
    EXPECT_EQ(next, expected.size());
    EXPECT_TRUE(take == parts) << "the ring's bytes are the take's frames";
    EXPECT_EQ(trigger.heardSound(), !expected.empty());
    return events;
}

TEST(SoundTrigger, BurstsAreKeptWithTheSecondBeforeAndFiveAfterAtAnyRateAndBuffer) {
    for (int rate : {11025, 44100, 96000}) {
        for (int channels : {1, 2}) {
            // Three bursts at -20 dBFS (2 s, 3 s, 2 s) with 8 s of -60 dBFS noise between and after.
            Signal signal{rate, channels};
            signal.noise(3, -60)
                .tone(2, 440, -20)
                .noise(8, -60)
                .tone(3, 550, -20)
                .noise(8, -60)
                .tone(2, 660, -20);
            const auto pcm = signal.noise(8, -60).pcm(16);
            const std::int64_t r = rate;
            // Capture buffers of 0.1 and 0.2 s, blocks across windows, one block for all.
            for (std::int64_t block :
                 {r / 10, r / 5, r / 50 * 3 + 1, rate == 11025 ? 7 : r, signal.frames()}) {
                SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " ch, blocks of " << block);
                recordAndCheck(signal, pcm, block, -40,
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
        double stopAt;
        Expected expected;
    };
    Case cases[] = {
        {"never above the level", Signal{44100, 2}, -40, 1e9, {}},
        {"sound from 0.3 s: from the first frame",
         Signal{44100, 2},
         -40,
         1e9,
         {{Kind::Start, 0}, {Kind::Pause, 6.3}}},
        {"back within 5 s: no pause", Signal{48000, 1}, -30, 1e9, {{Kind::Start, 0}, {Kind::Pause, 12.5}}},
        {"back 0.5 s after the pause: resumes where it paused",
         Signal{22050, 2},
         -40,
         1e9,
         {{Kind::Start, 0}, {Kind::Pause, 7}, {Kind::Resume, 7}, {Kind::Pause, 13.5}}},
        {"stopped while recording: keeps all it heard", Signal{44100, 2}, -40, 4.0, {{Kind::Start, 0}}},
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
        const auto events = recordAndCheck(c.signal, c.signal.pcm(16), 4410, c.levelDb, c.expected, c.stopAt);
        if (c.stopAt == 4.0) {
            EXPECT_EQ(events.back().to, c.signal.frameAt(4.0));
        }
    }
}

}  // namespace
