// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The recorder window's look beyond its form file: the fonts and colours of its controls, the
// desktop-coloured panel and the window's icon, drawn from the program's own pictures.

class QWidget;

// The pictures the form files show; called before a form is set up.
void loadRecorderPictures();
// Called once the form is set up on `window`.
void dressRecorderWindow(QWidget& window);
