// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A button whose accessible actions return at once. A screen reader waits for the answer to each
// action it asks for, and pressing the record toggle may open a question box whose nested loop
// runs until the user answers it; the press is therefore carried out from the event loop once
// the action has returned.

class QAbstractButton;

// Gives `button` an accessible interface like Qt's own (a check box while it is checkable, its
// caption as name, its checked state, the Toggle or Press action) whose actions are queued.
void answerAccessibleActionsAtOnce(QAbstractButton& button);
