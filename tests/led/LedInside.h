// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The LED's drawing objects and layout numbers, read from its private side.
#pragma once

#include <LED/LED.h>

#include <stdexcept>
#include <string>

#include "LED_p.h"

inline LEDSegmentLine segment(const LED& led, int index) {
    if (index < 0 || index > 6) {
        throw std::out_of_range("segment index " + std::to_string(index) + " is outside 0..6");
    }
    return LEDPrivate::get(&led)->segments[size_t(index)];
}
inline LEDDot decimalPoint(const LED& led) {
    return LEDPrivate::get(&led)->dot;
}
inline qint16 margin(const LED& led) {
    return LEDPrivate::get(&led)->margin;
}
inline qint16 gap(const LED& led) {
    return LEDPrivate::get(&led)->gap;
}
inline qint16 dotSize(const LED& led) {
    return LEDPrivate::get(&led)->dotSize;
}
inline QSizeF innerSizeTwips(const LED& led) {
    return LEDPrivate::get(&led)->innerSizeTwips();
}
