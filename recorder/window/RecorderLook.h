// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The recorder window's look beyond its form file: the fonts and colours of its controls, the
// desktop-coloured panel and the window's icon, drawn from the program's own pictures; and how it
// presents itself to assistive technologies.

class QAbstractButton;
class QWidget;

// The pictures the form files show; called before a form is set up.
void loadRecorderPictures();
// Called once the form is set up on `window`.
void dressRecorderWindow(QWidget& window);
// The order a screen reader reads the recorder's controls in, and its record `toggle`'s actions.
void describeRecorderWindow(QWidget& window, QAbstractButton& toggle);
