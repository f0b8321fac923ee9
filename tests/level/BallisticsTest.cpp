// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// How a meter channel moves between readings, on an explicit clock.

#include "recorder/level/MeterBallistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using level::MeterBallistics;

namespace {

float linear(double db) {
    return static_cast<float>(std::pow(10.0, db / 20.0));
}

TEST(MeterBallistics, RisesAtOnceFallsTwentyDecibelsIn1_7sAndHoldsThePeak1_5s) {
    struct Step {
        double time;
        std::optional<double> readingDb;  // nothing: time passes without a reading
        double level;
        double hold;
        bool clipped;
    };
    const Step steps[] = {
        {0.00, -6.0, -6.0, -6.0, false},   // rises at once
        {0.85, -40.0, -16.0, -6.0, false},  // half of 1.7 s: 10 dB lower; the quiet reading does not pull it down
        {1.40, std::nullopt, -22.4706, -6.0, false},
        {1.30, std::nullopt, -22.4706, -6.0, false},    // a clock that steps back moves nothing
        {1.51, std::nullopt, -23.7647, -23.7647, false},  // the mark let go after 1.5 s and rides on the bar
        {1.60, -30.0, -24.8235, -24.8235, false},         // a reading below the falling bar
        {2.00, 0.0, 0.0, 0.0, true},                      // full scale latches the clip cell
        {5.00, -50.0, -35.2941, -35.2941, true},          // still latched after the level fell
        {9.00, std::nullopt, -82.3529, -82.3529, true},   // below the floor: unlit
    };
    MeterBallistics channel;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.time);
        if (step.readingDb) {
            channel.feed(*step.readingDb >= 0.0 ? 1.0F : linear(*step.readingDb), step.time);
        } else {
            channel.advance(step.time);
        }
        EXPECT_NEAR(channel.level(), step.level, 1e-3);
        EXPECT_NEAR(channel.hold(), step.hold, 1e-3);
        EXPECT_EQ(channel.clipped(), step.clipped);
    }
    EXPECT_LE(channel.level(), MeterBallistics::kFloorDb);

    // One LSB short of full scale is not a clip; the largest 16-bit sample is.
    MeterBallistics quiet;
    quiet.feed(32766.0F / 32768.0F, 0.0);
    EXPECT_FALSE(quiet.clipped());
    quiet.feed(32767.0F / 32768.0F, 0.1);
    EXPECT_TRUE(quiet.clipped());
    quiet.darken();
    EXPECT_LE(quiet.level(), MeterBallistics::kFloorDb);
    EXPECT_TRUE(quiet.clipped()) << "only a new take clears the clip cell";
    quiet.clearClip();
    EXPECT_FALSE(quiet.clipped());
}

}  // namespace
