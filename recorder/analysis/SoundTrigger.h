// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// When a sound-triggered take records: it starts when a window's loudness (Loudness.h, either
// channel) goes above the level, one second before that window (the pre-roll, never before the
// first frame the trigger saw); it pauses five seconds after the end of the last window above the
// level; the next window above it resumes the take, again with one second before it, never
// reaching back into frames the take already holds. Each resume is where a marker goes.
//
// Frames in, decisions out, in stream frames (the first frame fed is 0). How a capture uses it:
//   ring = PrerollRing(bytesPerFrame, trigger.ringFrames(largest buffer's frames));
//   for each buffer the device fills, while armed, recording or paused:
//       ring.push(bytes);
//       for (const TriggerEvent& e : trigger.feed(*Samples::pcm(bytes, bits)))
//           Start: the take begins (lead-in first) | Keep: append ring.frames(e.from, e.to) |
//           Pause: show the pause | Resume: add a marker at e.takeFrame (after the lead-in)
//   at the press that ends it: the same for trigger.finish(); no Start ever: no take, no file.
// The Keep spans follow each other without overlap and are decided for good: append them as they
// come. They trail the stream by at most one window while the take records.

#include "recorder/analysis/Loudness.h"

#include <cstdint>
#include <span>
#include <vector>

namespace analysis {

struct TriggerSettings {
    double levelDb = -40.0;       // "Nível de disparo"
    double prerollSeconds = 1.0;  // kept before the first window above the level
    double holdSeconds = 5.0;     // below the level before the take pauses
};

struct TriggerEvent {
    enum class Kind { Start, Keep, Pause, Resume };
    Kind kind = Kind::Start;
    // Start, Resume: the first frame of the take or of its new part; Pause: one past its last
    // frame; Keep: the frames [from, to) to append to the take.
    std::int64_t from = 0;
    std::int64_t to = 0;  // Keep only; otherwise equal to from
    // Frames of audio the take held before this event (the lead-in not counted): where a
    // Resume's marker goes.
    std::int64_t takeFrame = 0;

    friend bool operator==(const TriggerEvent&, const TriggerEvent&) = default;
};

class SoundTrigger {
public:
    enum class State { Armed, Recording, Paused };

    // `rate` and `channels` as LoudnessMeter takes them; the level at or below 0 dBFS, the
    // pre-roll at least 0 and the hold above 0 seconds.
    SoundTrigger(int rate, int channels, TriggerSettings settings = {});

    // Judges the next frames of the stream (whole frames, blocks of any length); what they
    // decided, in stream order. The span lasts until the next call.
    std::span<const TriggerEvent> feed(const Samples& block);
    // The stream has ended (the press that stops the take): judges its unfinished window and
    // keeps what the take still holds. Nothing is to be fed after it.
    std::span<const TriggerEvent> finish();

    // Frames a PrerollRing must hold so that every Keep is still in it when blocks are at most
    // `maxBlockFrames` long: the pre-roll, one window and one block.
    std::int64_t ringFrames(std::int64_t maxBlockFrames) const;

    State state() const { return state_; }
    // A Start happened: there is a take.
    bool heardSound() const { return started_; }
    std::int64_t framesSeen() const { return meter_.framesSeen(); }
    // Frames of audio kept so far.
    std::int64_t takeFrames() const { return takeFrames_; }
    const TriggerSettings& settings() const { return settings_; }

private:
    void judge(const WindowLoudness& window);
    void begin(TriggerEvent::Kind kind, std::int64_t at);
    void keepUntil(std::int64_t end);
    void keepHeard();
    std::int64_t pauseFrame() const { return lastLoudEnd_ + hold_; }

    TriggerSettings settings_;
    LoudnessMeter meter_;
    std::int64_t preroll_;
    std::int64_t hold_;
    State state_ = State::Armed;
    bool started_ = false;
    std::int64_t lastLoudEnd_ = 0;  // end of the last window above the level
    std::int64_t keptUntil_ = 0;    // stream frames before this are decided
    std::int64_t pausedAt_ = 0;
    std::int64_t takeFrames_ = 0;
    std::vector<TriggerEvent> events_;
};

}  // namespace analysis
