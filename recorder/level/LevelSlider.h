// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The recording level slider and the volume control behind it: a position the user gives the slider
// goes to the control (basSoundRec_3), and the slider shows the control's value when it changes
// elsewhere (another program, the desktop's volume keys), without sending it back. The level
// changes when a drag of the thumb ends and at each arrow, track or key step.

#include "recorder/level/RecordingLevel.h"

#include <QObject>

#include <optional>

class QAbstractSlider;

namespace level {

class LevelSlider final : public QObject {
    Q_OBJECT

public:
    // Without a mixer the slider moves nothing.
    LevelSlider(QAbstractSlider& slider, platform::mixer::Mixer* mixer);

    // Opens the mixer and finds its wave-in line's volume control; the slider then shows the
    // control's value. The mixer's status: 0 when it opened, whether or not the control was found.
    basSoundRec_3::MMRESULT open();
    bool controlFound() const { return found_; }

protected:
    bool event(QEvent* event) override;

private:
    // The slider moved: its position goes to the control, unless the control's own change moved it.
    void positionChanged();
    void showControl();

    QAbstractSlider& slider_;
    platform::mixer::Mixer* mixer_;
    std::optional<basSoundRec_3::Module> module_;
    basSoundRec_3::MIXERCONTROL control_;
    bool found_ = false;
    bool showing_ = false;
};

}  // namespace level
