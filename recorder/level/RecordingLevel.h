// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The recording level (module basSoundRec_3): finds the volume control of the mixer's wave-in
// line and sends it the level the window's slider asks for.

#include "platform/mixer/Mixer.h"

#include <cstdint>
#include <optional>

class QObject;

namespace basSoundRec_3 {

using platform::mixer::HMIXER;
using platform::mixer::MMRESULT;

// The recorder's declaration of a mixer control: the mixer's record and one word more, 152 bytes.
// Only dwControlID is used once the lookup filled it.
struct MIXERCONTROL {
    std::uint32_t cbStruct = 0;
    std::uint32_t dwControlID = 0;
    std::uint32_t dwControlType = 0;
    std::uint32_t fdwControl = 0;
    std::uint32_t cMultipleItems = 0;
    char szShortName[16] = {};
    char szName[64] = {};
    std::int32_t lMinimum = 0;
    std::int32_t lMaximum = 0;
    std::uint32_t reserved[11] = {};
};
static_assert(sizeof(MIXERCONTROL) == 152);

// The module's state: the mixer service it talks to and the mixer opened at start-up, 0 until
// then. Nothing closes the mixer; it lives as long as the service.
struct Module {
    platform::mixer::Mixer& mixer;
    HMIXER mixerHandle = 0;

    // Opens the first mixer into mixerHandle; `window` (may be null) is told of changes made elsewhere.
    MMRESULT OpenMixer(QObject* window = nullptr) {
        return mixer.mixerOpen(&mixerHandle, 0, reinterpret_cast<std::uintptr_t>(window), 0,
                               window != nullptr ? platform::mixer::CALLBACK_WINDOW : 0);
    }
};

// Looks up the control of `controlType` on the line of `componentType` and copies it into
// `control`. False when either is missing: a missing line leaves `control` untouched, a missing
// control leaves it with only cbStruct set to 152.
bool FindVolumeControl(platform::mixer::Mixer& mixer, HMIXER handle, std::uint32_t componentType,
                       std::uint32_t controlType, MIXERCONTROL& control);

// Sends one value for every channel of `control`; true when the mixer took it.
bool SetVolumeLevel(platform::mixer::Mixer& mixer, HMIXER handle, const MIXERCONTROL& control,
                    std::uint32_t value);
// The value `control` holds now (the loudest channel), or nothing while the mixer knows none.
std::optional<std::uint32_t> GetVolumeLevel(platform::mixer::Mixer& mixer, HMIXER handle,
                                            const MIXERCONTROL& control);

// The value a slider position sends: the position x 1.8 to the nearest whole number, unclamped.
std::uint32_t LevelForPosition(std::int16_t position);
// The position from `lowest` to `highest` whose value is nearest `value` (the lower on a tie): what
// the slider shows for a volume set elsewhere.
std::int16_t PositionForLevel(std::uint32_t value, std::int16_t lowest, std::int16_t highest);

}  // namespace basSoundRec_3
