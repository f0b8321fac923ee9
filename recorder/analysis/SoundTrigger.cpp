// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/analysis/SoundTrigger.h"

#include <algorithm>
#include <cassert>

namespace analysis {

SoundTrigger::SoundTrigger(int rate, int channels, TriggerSettings settings)
    : settings_(settings),
      meter_(rate, channels),
      preroll_(framesIn(settings.prerollSeconds, rate)),
      hold_(framesIn(settings.holdSeconds, rate)) {
    assert(settings.levelDb <= 0.0 && preroll_ >= 0 && hold_ > 0);
    events_.reserve(8);
}

std::span<const TriggerEvent> SoundTrigger::feed(const Samples& block) {
    events_.clear();
    for (const WindowLoudness& window : meter_.feed(block)) {
        judge(window);
    }
    keepHeard();
    return events_;
}

std::span<const TriggerEvent> SoundTrigger::finish() {
    events_.clear();
    if (const auto window = meter_.finish()) {
        judge(*window);
    }
    keepHeard();
    return events_;
}

std::int64_t SoundTrigger::ringFrames(std::int64_t maxBlockFrames) const {
    return preroll_ + meter_.windowFrames() + std::max<std::int64_t>(maxBlockFrames, 0);
}

void SoundTrigger::judge(const WindowLoudness& window) {
    const bool loud = window.db > settings_.levelDb;
    switch (state_) {
        case State::Armed:
            if (loud) {
                started_ = true;
                begin(TriggerEvent::Kind::Start, std::max<std::int64_t>(window.start - preroll_, 0));
            }
            break;
        case State::Recording:
            // A quiet window that reaches the end of the hold: nothing above the level came in
            // time, so the take ends exactly there; the window straddling it had to be heard
            // whole first.
            if (!loud && window.end() >= pauseFrame()) {
                pausedAt_ = pauseFrame();
                keepUntil(pausedAt_);
                state_ = State::Paused;
                events_.push_back({TriggerEvent::Kind::Pause, pausedAt_, pausedAt_, takeFrames_});
            }
            break;
        case State::Paused:
            if (loud) {
                begin(TriggerEvent::Kind::Resume, std::max(window.start - preroll_, pausedAt_));
            }
            break;
    }
    if (loud) {
        lastLoudEnd_ = window.end();
    }
}

void SoundTrigger::begin(TriggerEvent::Kind kind, std::int64_t at) {
    state_ = State::Recording;
    keptUntil_ = at;
    events_.push_back({kind, at, at, takeFrames_});
}

void SoundTrigger::keepUntil(std::int64_t end) {
    if (end > keptUntil_) {
        events_.push_back({TriggerEvent::Kind::Keep, keptUntil_, end, takeFrames_});
        takeFrames_ += end - keptUntil_;
        keptUntil_ = end;
    }
}

// Every frame heard before the end of the hold belongs to the take: a pause can only come later.
void SoundTrigger::keepHeard() {
    if (state_ == State::Recording) {
        keepUntil(std::min(meter_.framesSeen(), pauseFrame()));
    }
}

}  // namespace analysis
