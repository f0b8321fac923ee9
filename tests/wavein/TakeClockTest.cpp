// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The capture device's arithmetic without a server: which frame the stream's clock says was heard
// when, where the take lies in the stream, and what the server's reports say it lost. Times in
// microseconds, 44100 Hz stereo.

#include "platform/wavein/ServerLosses.h"
#include "platform/wavein/StreamClock.h"
#include "platform/wavein/TakeTimeline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

using namespace platform::wavein;
using namespace platform::wavein::detail;
using std::chrono::microseconds;

namespace platform::wavein {
void PrintTo(const Overrun& loss, std::ostream* out) {
    *out << loss.frames << " frames at " << loss.atFrame;
}
}  // namespace platform::wavein

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kBlock = 4;
constexpr std::int64_t kSecond = 1'000'000;
const TimePoint kT0{std::chrono::hours(100)};

std::uint64_t totalFrames(const std::vector<Overrun>& losses) {
    std::uint64_t total = 0;
    for (const Overrun& loss : losses) {
        total += loss.frames;
    }
    return total;
}

// A timing report `steady` microseconds into the run, whose wall clock reads `wallShift` more than
// the run's; the stream's position is `position` frames, all of which arrived, and `skipped` frames
// more were skipped by the server's read index.
TimingReport reportAt(std::int64_t steady, std::int64_t wallShift, std::int64_t position,
                      std::int64_t skipped = 0) {
    TimingReport r;
    constexpr std::int64_t kWall = 1'700'000'000LL * kSecond;
    constexpr std::int64_t kTravel = 2'000;  // the report was handled 2 ms after it was current
    r.wallAt = kWall + steady + wallShift;
    r.handledWall = r.wallAt + kTravel;
    r.handledSteady = 50 * kSecond + steady + kTravel;
    r.position = static_cast<double>(position);
    r.writeIndex = position * kBlock;
    r.readIndex = (position + skipped) * kBlock;
    r.queueLength = 10'000 * kBlock;
    return r;
}

}  // namespace

TEST(StreamClock, TheFrameHeardAtAnInstantComesFromAReadingBeforeOrAfterIt) {
    const ClockReading reading{kT0, 1000.4};
    const struct {
        std::int64_t offset;  // of the instant from the reading
        std::int64_t frame;
    } rows[] = {{0, 1000}, {kSecond / 2, 23050}, {-kSecond, -43100}, {10 * kSecond, 442000}};
    for (const auto& row : rows) {
        EXPECT_EQ(frameHeardAt(reading, kT0 + microseconds(row.offset), kRate), row.frame) << row.offset;
    }
}

TEST(StreamClock, LossIsTimeTheStreamDidNotAdvanceBeyondJitter) {
    LossTracker tracker(kRate, 0.05);
    const struct {
        std::uint64_t at;
        double position;
        std::uint64_t lost;
    } rows[] = {
        {0, 0, 0},                                         // the first report only sets out
        {1'000'000, 44100, 0},                             // in step
        {2'000'000, 44100 + 44100 - 2000, 0},              // 45 ms behind: jitter
        {3'000'000, 44100 + 44100 - 2000 + 22050, 22050},  // half a second missing
        {3'000'000, 200000, 0},                            // no time passed
    };
    for (const auto& row : rows) {
        EXPECT_EQ(tracker.report(row.at, row.position), row.lost) << row.at;
    }
    tracker.restart();
    EXPECT_EQ(tracker.report(13'000'000, 200000), 0u) << "a cork stood the stream still";
}

// The wall clock may be set (NTP, by hand) between two reports; the loss is judged on a clock that
// does not jump.
TEST(ServerLosses, AWallClockSetDuringATakeLosesNothing) {
    const struct {
        const char* what;
        std::int64_t step;      // the wall clock set forward (or back) between the reports
        std::int64_t elapsed;   // time between the reports
        std::int64_t advanced;  // frames the stream advanced
        std::uint64_t lost;
    } rows[] = {
        {"in step", 0, 3 * kSecond, 3 * 44100, 0},
        {"clock set 3 s forward", 3 * kSecond, 3 * kSecond, 3 * 44100, 0},
        {"clock set 3 s back", -3 * kSecond, 3 * kSecond, 3 * 44100, 0},
        {"3 s lost", 0, 3 * kSecond, 0, 3 * 44100},
        {"3 s lost, clock set forward", 3 * kSecond, 3 * kSecond, 0, 3 * 44100},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TakeTimeline timeline;
        timeline.begin(0);
        ServerLosses losses(kRate, kBlock);
        losses.report(reportAt(0, 0, 1000), 1000, 1000, timeline);
        losses.report(reportAt(row.elapsed, row.step, 1000 + row.advanced),
                      static_cast<std::uint64_t>(1000 + row.advanced), 1000, timeline);
        EXPECT_EQ(totalFrames(losses.told(std::nullopt, timeline, 1'000'000)), row.lost);
    }
}

TEST(TakeTimeline, ThePressPausesAndReleaseSayWhatIsTheTakes) {
    TakeTimeline timeline;
    EXPECT_EQ(timeline.taken(0, 100), (std::vector<FrameSpan>{{0, 100}}))
        << "without a press, from the start";
    timeline.begin(-500);
    EXPECT_EQ(timeline.first(), 0) << "nothing lies before the stream's first frame";
    timeline.begin(1000);
    timeline.pause(5000);
    timeline.pause(5500);  // already paused: nothing
    timeline.resume(7000);
    timeline.pause(9000);
    timeline.end(12000);

    EXPECT_TRUE(timeline.paused());
    EXPECT_EQ(timeline.needed(), 9000) << "a take that ended paused needs nothing heard after the pause";
    EXPECT_EQ(timeline.taken(0, 20000), (std::vector<FrameSpan>{{1000, 5000}, {7000, 9000}}));
    EXPECT_EQ(timeline.taken(4000, 8000), (std::vector<FrameSpan>{{4000, 5000}, {7000, 8000}}));
    EXPECT_TRUE(timeline.taken(5000, 7000).empty());
    EXPECT_EQ(timeline.pausedBefore(INT64_MAX), 2000u + 3000u);
    const struct {
        std::int64_t frame;
        std::uint64_t inTake;
    } rows[] = {{0, 0}, {1000, 0}, {4999, 3999}, {6000, 4000}, {8000, 5000}, {11000, 6000}, {20000, 6000}};
    for (const auto& row : rows) {
        EXPECT_EQ(timeline.takeFrameOf(row.frame), row.inTake) << row.frame;
    }

    TakeTimeline early;
    early.begin(0);
    early.pause(5000);
    early.resume(4000);  // never from before the pause
    EXPECT_FALSE(early.paused());
    EXPECT_EQ(early.taken(0, 10000), (std::vector<FrameSpan>{{0, 10000}}));
    EXPECT_EQ(early.needed(), std::nullopt);
}

// A marker's frame among those handed over: the gaps of the losses before it are not in the take.
TEST(StreamClock, AMarkerCountsOnlyTheFramesKeptBeforeIt) {
    const std::vector<Overrun> losses{{1000, 500}, {3000, 200}};  // at the frames kept before each
    const struct {
        std::uint64_t heard;
        std::uint64_t kept;
    } rows[] = {{0, 0}, {999, 999}, {1000, 1000}, {1200, 1000}, {1500, 1000}, {1501, 1001},
                {3499, 2999}, {3600, 3000}, {3800, 3100}};
    for (const auto& row : rows) {
        EXPECT_EQ(keptBefore(row.heard, losses), row.kept) << row.heard;
    }
    EXPECT_EQ(keptBefore(777, {}), 777u);
}

// Where each loss lies in the take, seen as the two servers show it: PulseAudio's clock runs on while
// its full queue drops what comes; PipeWire moves the queue's read index on and sends no hole.
TEST(ServerLosses, EachLossLiesWhereTheTakeStoodWhenTheServerDroppedIt) {
    TakeTimeline timeline;
    timeline.begin(1000);
    timeline.pause(50000);
    timeline.resume(60000);
    {
        SCOPED_TRACE("the queue filled (PulseAudio)");
        ServerLosses losses(kRate, kBlock);
        losses.report(reportAt(0, 0, 100000), 100000, 89000, timeline);
        losses.report(reportAt(kSecond, 0, 100000 + 22050), 122050, 89000, timeline);
        // Where the queue of 10000 frames filled, after the read index of the last report, less the
        // press's frames and the pause's.
        EXPECT_EQ(losses.told(std::nullopt, timeline, 200000), (std::vector<Overrun>{{99000, 22050}}));
        EXPECT_EQ(losses.skipped(), 0);
    }
    {
        SCOPED_TRACE("the read index skipped (PipeWire)");
        ServerLosses losses(kRate, kBlock);
        losses.report(reportAt(0, 0, 100000), 100000, 89000, timeline);
        losses.report(reportAt(kSecond, 0, 144100, 44100), 144100, 133100, timeline);
        EXPECT_EQ(losses.told(std::nullopt, timeline, 200000), (std::vector<Overrun>{{133100, 44100}}));
        EXPECT_EQ(losses.skipped(), 44100);
    }
    {
        SCOPED_TRACE("one stall seen first by the clock, then by the read index");
        ServerLosses losses(kRate, kBlock);
        losses.report(reportAt(0, 0, 100000), 100000, 89000, timeline);
        losses.report(reportAt(kSecond, 0, 122050), 122050, 111050, timeline);
        losses.report(reportAt(2 * kSecond, 0, 166150, 44100), 166150, 155150, timeline);
        EXPECT_EQ(losses.told(std::nullopt, timeline, 200000),
                  (std::vector<Overrun>{{111050, 22050 + 44100}}));
    }
    {
        SCOPED_TRACE("lost while paused: it would have passed by");
        TakeTimeline paused = timeline;
        paused.pause(100000);
        ServerLosses losses(kRate, kBlock);
        losses.report(reportAt(0, 0, 100000), 100000, 89000, paused);
        losses.report(reportAt(kSecond, 0, 122050), 122050, 89000, paused);
        EXPECT_TRUE(losses.told(std::nullopt, paused, 200000).empty());
    }
}

// A server whose clock ran fast while it dropped sound (PipeWire after a long stall) counts more lost
// than the take misses: the time held less the paused spans less the sound taken.
TEST(ServerLosses, NoMoreIsToldThanTheTakeMisses) {
    const struct {
        const char* what;
        std::optional<std::uint64_t> held;
        std::vector<std::pair<std::int64_t, std::int64_t>> pauses;  // stream frames
        std::uint64_t inTake;
        std::uint64_t told;
    } rows[] = {
        {"no time known", std::nullopt, {}, 100000, 2 * 44100},
        {"less missing than told", 10 * 44100, {}, 15 * 44100 / 2, 2 * 44100},
        {"more missing than told", 10 * 44100, {}, 9 * 44100, 44100},
        {"a pause of four seconds", 10 * 44100, {{176400, 352800}}, 11 * 44100 / 2, 44100 / 2},
        {"paused for the last four seconds", 10 * 44100, {{264600, -1}}, 11 * 44100 / 2, 44100 / 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TakeTimeline timeline;
        timeline.begin(0);
        ServerLosses losses(kRate, kBlock);
        losses.report(reportAt(0, 0, 1000), 1000, 1000, timeline);
        losses.report(reportAt(3 * kSecond, 0, 1000 + 44100), 45100, 45100, timeline);
        for (const auto& [from, to] : row.pauses) {
            timeline.pause(from);
            if (to >= 0) {
                timeline.resume(to);
            }
        }
        timeline.end(441000);
        const auto told = losses.told(row.held, timeline, row.inTake);
        EXPECT_NEAR(static_cast<double>(totalFrames(told)), static_cast<double>(row.told), 1.0);
        for (const Overrun& loss : told) {
            EXPECT_LE(loss.atFrame, row.inTake);
        }
    }
}
