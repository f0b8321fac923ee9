// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/capture/SoundActivation.h"

#include "recorder/capture/CaptureEngine.h"

#include <algorithm>

namespace basSoundRec_1 {

namespace {

std::int64_t bufferFrames(const WAVEFORMATEX& format) {
    return format.nBlockAlign == 0 ? 0 : CaptureBufferSize(format) / format.nBlockAlign;
}

}  // namespace

SoundActivation::SoundActivation(CaptureEngine& engine, analysis::TriggerSettings settings, Hooks hooks)
    : engine_(engine),
      hooks_(std::move(hooks)),
      bits_(engine.waveFormat.wBitsPerSample),
      trigger_(static_cast<int>(engine.waveFormat.nSamplesPerSec), engine.waveFormat.nChannels, settings),
      // The engine hands over at most a buffer at a time.
      ring_(engine.waveFormat.nBlockAlign, trigger_.ringFrames(bufferFrames(engine.waveFormat))) {
    engine_.setSoundFilter(
        {.heard = [this](std::span<const std::byte> bytes) { heard(bytes); },
         .ended = [this] { act(trigger_.finish()); },
         .losses =
             [this](const std::vector<platform::wavein::Overrun>& losses) { return lossesInTake(losses); }});
}

void SoundActivation::heard(std::span<const std::byte> bytes) {
    // Judged a buffer at a time at most, so that every frame a judgement keeps is still held.
    const std::size_t step =
        static_cast<std::size_t>(bufferFrames(engine_.waveFormat)) * engine_.waveFormat.nBlockAlign;
    while (!bytes.empty() && step > 0) {
        const auto piece = bytes.first(std::min(bytes.size(), step));
        bytes = bytes.subspan(piece.size());
        ring_.push(piece);
        if (const auto samples = analysis::Samples::pcm(piece, bits_)) {
            act(trigger_.feed(*samples));
        }
    }
}

void SoundActivation::act(std::span<const analysis::TriggerEvent> events) {
    using Kind = analysis::TriggerEvent::Kind;
    for (const analysis::TriggerEvent& event : events) {
        if (failed_) {
            return;
        }
        switch (event.kind) {
            case Kind::Start:
                if (!hooks_.makeTake || !hooks_.makeTake()) {
                    failed_ = true;
                    return;
                }
                engine_.writeLeadIn();
                [[fallthrough]];
            case Kind::Resume:
                if (event.kind == Kind::Resume && hooks_.silent) {
                    hooks_.silent(false);
                }
                if (hooks_.partBegan) {
                    hooks_.partBegan(engine_.leadInFrames() + static_cast<std::uint64_t>(event.takeFrame));
                }
                break;
            case Kind::Keep:
                if (const auto kept = ring_.frames(event.from, event.to)) {
                    keep(event.from, (*kept)[0]);
                    keep(event.from +
                             static_cast<std::int64_t>((*kept)[0].size() / engine_.waveFormat.nBlockAlign),
                         (*kept)[1]);
                }
                break;
            case Kind::Pause:
                if (hooks_.silent) {
                    hooks_.silent(true);
                }
                break;
        }
    }
}

void SoundActivation::keep(std::int64_t from, std::span<const std::byte> bytes) {
    // What the take really took: its length limit or a failed write may leave some out.
    const std::uint64_t before = engine_.recordedFrames();
    engine_.appendAudio(bytes);
    const std::uint64_t added = engine_.recordedFrames() - before;
    if (added == 0) {
        return;
    }
    if (!kept_.empty()) {
        Kept& last = kept_.back();
        if (last.from + static_cast<std::int64_t>(last.frames) == from &&
            last.takeFrame + last.frames == before) {
            last.frames += added;
            return;
        }
    }
    kept_.push_back({from, before, added});
}

std::vector<platform::wavein::Overrun> SoundActivation::lossesInTake(
    const std::vector<platform::wavein::Overrun>& heard) const {
    std::vector<platform::wavein::Overrun> told;
    for (const platform::wavein::Overrun& loss : heard) {
        // The gap lies before the frame handed over at `atFrame`.
        const auto at = static_cast<std::int64_t>(loss.atFrame);
        for (const Kept& stretch : kept_) {
            if (stretch.from < at && at < stretch.from + static_cast<std::int64_t>(stretch.frames)) {
                told.push_back(
                    {stretch.takeFrame + static_cast<std::uint64_t>(at - stretch.from), loss.frames});
                break;
            }
        }
    }
    return told;
}

}  // namespace basSoundRec_1
