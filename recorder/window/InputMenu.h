// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The input menu: which source the takes, the level slider and the meters use. The server's
// default source first, then every source by its description, then what the computer plays (the
// outputs' monitors) after a separator; the current choice checked. During a take it shows the
// choice but cannot change it.

#include "platform/mixer/SourceList.h"

#include <QString>

#include <vector>

#include <functional>

class QMenu;
class QWidget;

namespace input {

// Fills `menu` anew. Each choice carries the source's name as its data (empty for the default).
// A chosen source the server does not have now is still shown, checked and marked absent.
void fillInputMenu(QMenu& menu, const std::vector<platform::mixer::SourceEntry>& sources,
                   const QString& chosen, bool locked);

// How the input is named to the user: the source's description, "Padrão do sistema" with the
// default's description, or the bare name of a source the server does not have.
QString describeInput(const std::vector<platform::mixer::SourceEntry>& sources, const QString& defaultSource,
                      const QString& chosen);

// Shift+F10 on `widget` calls `open`, as the context-menu key does through the widget's context
// menu request.
void openOnShiftF10(QWidget& widget, std::function<void()> open);

}  // namespace input
