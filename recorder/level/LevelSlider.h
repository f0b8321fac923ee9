// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The recording level slider and the volume control behind it: a position the user gives the slider
// goes to the control (basSoundRec_3), and the slider shows the control's value when it changes
// elsewhere (another program, the desktop's volume keys), without sending it back.

#include "recorder/level/RecordingLevel.h"

#include <QObject>

class QAbstractSlider;

namespace level {

class LevelSlider final : public QObject {
    Q_OBJECT

public:
    LevelSlider(QAbstractSlider& slider, platform::mixer::Mixer& mixer);

    // Opens the mixer and finds its wave-in line's volume control; the slider then shows the
    // control's value. The mixer's status: 0 when it opened, whether or not the control was found.
    basSoundRec_3::MMRESULT open();
    bool controlFound() const { return found_; }
    // The slider moved: its position goes to the control, unless the control's own change moved it.
    void positionChanged();

protected:
    bool event(QEvent* event) override;

private:
    void showControl();

    QAbstractSlider& slider_;
    basSoundRec_3::Module module_;
    basSoundRec_3::MIXERCONTROL control_;
    bool found_ = false;
    bool showing_ = false;
};

}  // namespace level
