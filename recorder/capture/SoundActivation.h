// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A take that starts when sound comes: while armed the capture runs and its last second is kept;
// the first window of sound above the level begins the take (its file, the lead-in, then the second
// before that window), five seconds below the level pause it and the next sound resumes it, again
// with the second before. It sits between the engine's buffers and the take (CaptureEngine's sound
// filter); the trigger's arithmetic is SoundTrigger's.

#include "platform/wavein/WaveIn.h"
#include "recorder/analysis/PrerollRing.h"
#include "recorder/analysis/SoundTrigger.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace basSoundRec_1 {

class CaptureEngine;

class SoundActivation {
public:
    struct Hooks {
        // The first sound came: makes the take's file, its header written. False: there is none, and
        // nothing more is kept.
        std::function<bool()> makeTake;
        // A part of the take began (the start, and each resume after silence) at this take frame, the
        // lead-in counted.
        std::function<void(std::uint64_t takeFrame)> partBegan;
        // The take paused for silence, or went on.
        std::function<void(bool paused)> silent;
    };

    // Hands itself to `engine` as the next take's sound filter; `engine.waveFormat` must be the
    // take's. Lives until that take ended.
    SoundActivation(CaptureEngine& engine, analysis::TriggerSettings settings, Hooks hooks);
    SoundActivation(const SoundActivation&) = delete;
    SoundActivation& operator=(const SoundActivation&) = delete;

    // Sound above the level was heard: there is a take.
    bool heardSound() const { return trigger_.heardSound(); }
    // Waiting for the next sound after a silence.
    bool silent() const { return trigger_.state() == analysis::SoundTrigger::State::Paused; }
    const analysis::TriggerSettings& settings() const { return trigger_.settings(); }

    // The device's losses, placed among the frames it handed over, that fell within frames the take
    // kept, placed among the take's frames after its lead-in. A gap lies within when the take kept
    // the frames on both sides of it; one at the edge of a part lost only what the take left out.
    std::vector<platform::wavein::Overrun> lossesInTake(
        const std::vector<platform::wavein::Overrun>& heard) const;

private:
    void heard(std::span<const std::byte> bytes);
    void keep(std::int64_t from, std::span<const std::byte> bytes);
    void act(std::span<const analysis::TriggerEvent> events);

    CaptureEngine& engine_;
    Hooks hooks_;
    int bits_;
    analysis::SoundTrigger trigger_;
    analysis::PrerollRing ring_;
    bool failed_ = false;
    // The stretches of the heard stream the take holds, in order: the first frame heard, the take
    // frame it went to (after the lead-in), and how many frames.
    struct Kept {
        std::int64_t from;
        std::uint64_t takeFrame;
        std::uint64_t frames;
    };
    std::vector<Kept> kept_;
};

}  // namespace basSoundRec_1
