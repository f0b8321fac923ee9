// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Why a take ended, in the words of the one box that tells it: a failed write, the chosen input
// unplugged or the sound server gone, and the audio lost to overruns.

#include <QString>

#include <optional>

namespace basSoundRec_1 {
class CaptureEngine;
}
namespace input {
class InputChoice;
}

namespace take_end {

// Why the running take must end now (a failed write or a lost source); nothing while it may go on.
// `input` is the window's input choice, null without one; `nothingKept`: the take was armed for sound
// and never heard any, so it has no file.
std::optional<QString> failure(const basSoundRec_1::CaptureEngine& engine, const input::InputChoice* input,
                               bool nothingKept);

// What went wrong once a stopped take is finished: a write that failed after the stop (one before it
// was told already), the server gone while the take waited for the sound up to the release.
QString afterStop(const basSoundRec_1::CaptureEngine& engine, const input::InputChoice* input,
                  bool failedBeforeStop, bool nothingKept);

// The box's text: `reason` (may be empty) and the audio lost to overruns; empty: no box.
QString message(const basSoundRec_1::CaptureEngine& engine, const QString& reason);

}  // namespace take_end
