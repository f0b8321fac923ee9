// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/level/RecordingLevel.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

namespace basSoundRec_3 {

using namespace platform::mixer;

bool FindVolumeControl(Mixer& mixer, HMIXER handle, std::uint32_t componentType, std::uint32_t controlType,
                       MIXERCONTROL& control) {
    MIXERLINE line;
    line.cbStruct = sizeof(MIXERLINE);
    line.dwComponentType = componentType;
    if (mixer.mixerGetLineInfo(handle, &line, MIXER_GETLINEINFOF_COMPONENTTYPE) != MMSYSERR_NOERROR) {
        return false;
    }

    // The mixer writes its own, shorter record at the start of a zero-filled block of ours, so
    // the word beyond it stays zero.
    const auto block = std::make_unique<std::byte[]>(sizeof(MIXERCONTROL));
    MIXERLINECONTROLS controls;
    controls.cbStruct = sizeof(MIXERLINECONTROLS);
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = controlType;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof(MIXERCONTROL);
    controls.pamxctrl = block.get();
    control.cbStruct = sizeof(MIXERCONTROL);
    if (mixer.mixerGetLineControls(handle, &controls, MIXER_GETLINECONTROLSF_ONEBYTYPE) != MMSYSERR_NOERROR) {
        return false;
    }
    std::memcpy(&control, block.get(), sizeof(MIXERCONTROL));
    return true;
}

std::optional<std::uint32_t> GetVolumeLevel(Mixer& mixer, HMIXER handle, const MIXERCONTROL& control) {
    MIXERCONTROLDETAILS_UNSIGNED level;
    MIXERCONTROLDETAILS details;
    details.cbStruct = sizeof(MIXERCONTROLDETAILS);
    details.dwControlID = control.dwControlID;
    details.cChannels = 1;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
    details.paDetails = &level;
    if (mixer.mixerGetControlDetails(handle, &details, MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR) {
        return std::nullopt;
    }
    return level.dwValue;
}

bool SetVolumeLevel(Mixer& mixer, HMIXER handle, const MIXERCONTROL& control, std::uint32_t value) {
    MIXERCONTROLDETAILS_UNSIGNED level{value};
    MIXERCONTROLDETAILS details;
    details.cbStruct = sizeof(MIXERCONTROLDETAILS);
    details.dwControlID = control.dwControlID;
    details.cChannels = 1;
    details.cMultipleItems = 0;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
    details.paDetails = &level;
    return mixer.mixerSetControlDetails(handle, &details, MIXER_SETCONTROLDETAILSF_VALUE) == MMSYSERR_NOERROR;
}

std::uint32_t LevelForPosition(std::int16_t position) {
    return static_cast<std::uint32_t>(std::lround(static_cast<double>(position) * 1.8));
}

std::int16_t PositionForLevel(std::uint32_t value, std::int16_t lowest, std::int16_t highest) {
    // The position whose exact level is nearest, and its neighbours, since each level is rounded.
    const long nearest = std::lround(static_cast<double>(value) / 1.8);
    std::int16_t best = highest;
    std::uint32_t bestDistance = UINT32_MAX;
    for (long p = nearest - 1; p <= nearest + 1; ++p) {
        const auto position = static_cast<std::int16_t>(std::clamp<long>(p, lowest, highest));
        const std::uint32_t level = LevelForPosition(position);
        const std::uint32_t distance = level > value ? level - value : value - level;
        if (distance < bestDistance || (distance == bestDistance && position < best)) {
            best = position;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace basSoundRec_3
