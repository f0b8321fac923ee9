// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the review's drawn widgets (the waveform's playhead, the trim handles, the track boundaries)
// are to assistive technology: a slider whose value is a time in the take, in seconds, read as
// "H:MM:SS.mmm" and set as the user would set it.

#include <QString>

class QWidget;

namespace review {

class SecondsSlider {
public:
    virtual double sliderSeconds() const = 0;
    virtual double sliderLeast() const = 0;
    virtual double sliderMost() const = 0;
    virtual double sliderStep() const = 0;
    virtual QString sliderText() const = 0;
    // A screen reader set the value.
    virtual void sliderRequest(double seconds) = 0;

protected:
    ~SecondsSlider() = default;
};

// Makes every widget that is a SecondsSlider such a slider for assistive technology; call from the
// constructor of each such widget (it installs itself once).
void exposeAsSecondsSlider();
// Tells assistive technology that `widget`'s value changed.
void announceSliderValue(QWidget* widget, double seconds);

}  // namespace review
