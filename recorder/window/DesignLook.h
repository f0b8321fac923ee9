// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Fonts and colours of the designed windows that a form file cannot hold: fractional point sizes,
// fonts a Linux desktop lacks, and colours of the desktop scheme looked up when drawn.

#include <QColor>
#include <QFont>
#include <QPalette>

#include <optional>
#include <span>

class QWidget;

// The faces the windows were designed with. Each stands for an installed font with close metrics,
// so captions fit the boxes they were laid out for:
//   Arial and MS Sans Serif: Liberation Sans, Arial's metrics;
//   Tahoma: DejaVu Sans Condensed, Tahoma's narrow humanist shapes at nearly the same widths;
//   Dialog, the small dialog font designed at 8.25 pt, whose bitmap glyphs run narrower than
//   Arial's: Liberation Sans at 7.5 pt, which sets its captions at the same widths.
enum class Face { Dialog, Arial, Tahoma, MsSansSerif };

QFont designFont(Face face, qreal points, bool bold = false);
// The dialog font every control starts with.
QFont dialogFont();

// The scheme has no desktop colour on Linux; the classic desktop blue stands in for it.
inline const QColor kDesktopColour(58, 110, 165);

// One control's look. Colours left out keep the scheme's; a role is looked up each time the
// control is drawn.
struct Look {
    const char* object;
    Face face = Face::Dialog;
    qreal points = 8.25;
    bool bold = false;
    std::optional<QColor> text = {};
    std::optional<QColor> background = {};
    std::optional<QPalette::ColorRole> textRole = {};
    std::optional<QPalette::ColorRole> backgroundRole = {};
};

// Applies each look to the child of `window` named by it. Push buttons take the background as
// their face; other controls are filled with it.
void applyLooks(QWidget& window, std::span<const Look> looks);
