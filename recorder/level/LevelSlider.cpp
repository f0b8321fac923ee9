// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/level/LevelSlider.h"

#include <QAbstractSlider>

namespace level {

using namespace platform::mixer;

LevelSlider::LevelSlider(QAbstractSlider& slider, Mixer* mixer)
    : QObject(&slider), slider_(slider), mixer_(mixer) {
    slider_.setTracking(false);
    // A scroll bar turns its keys round by default; the level's keys go as on every slider: Left,
    // Down and Page Down lower it, Right, Up and Page Up raise it.
    slider_.setInvertedControls(false);
    connect(&slider_, &QAbstractSlider::valueChanged, this, &LevelSlider::positionChanged);
}

basSoundRec_3::MMRESULT LevelSlider::open() {
    if (mixer_ == nullptr) {
        return MMSYSERR_NODRIVER;
    }
    module_.emplace(basSoundRec_3::Module{.mixer = *mixer_});
    const MMRESULT status = module_->OpenMixer(this);
    if (status != MMSYSERR_NOERROR) {
        return status;
    }
    found_ =
        basSoundRec_3::FindVolumeControl(*mixer_, module_->mixerHandle, MIXERLINE_COMPONENTTYPE_DST_WAVEIN,
                                         MIXERCONTROL_CONTROLTYPE_VOLUME, control_);
    showControl();
    return status;
}

void LevelSlider::positionChanged() {
    // A refused level changes nothing else and is not reported.
    if (found_ && !showing_) {
        basSoundRec_3::SetVolumeLevel(
            *mixer_, module_->mixerHandle, control_,
            basSoundRec_3::LevelForPosition(static_cast<std::int16_t>(slider_.value())));
    }
}

bool LevelSlider::event(QEvent* event) {
    if (event->type() == MixerControlChangeEvent::eventType()) {
        showControl();
        return true;
    }
    return QObject::event(event);
}

void LevelSlider::showControl() {
    // A thumb the user is dragging stays under the mouse; its release sends the user's level anyway.
    if (!found_ || slider_.isSliderDown()) {
        return;
    }
    const auto value = basSoundRec_3::GetVolumeLevel(*mixer_, module_->mixerHandle, control_);
    if (!value) {
        return;
    }
    showing_ = true;
    slider_.setValue(basSoundRec_3::PositionForLevel(*value, static_cast<std::int16_t>(slider_.minimum()),
                                                     static_cast<std::int16_t>(slider_.maximum())));
    showing_ = false;
}

}  // namespace level
