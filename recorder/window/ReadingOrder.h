// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The order in which assistive technologies read a designed window's controls. A window holds its
// controls in stacking order, which is not the order a person reads them in; this gives the window
// an accessible interface whose children come in reading order instead.

#include <QStringList>

class QWidget;

// Children named in `names` come first, in that order; the others follow in stacking order.
// `window` is announced as a window, or as a dialog when it is one.
void setAccessibleReadingOrder(QWidget& window, const QStringList& names);
