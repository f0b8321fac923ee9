// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// Caption of the program's message boxes.
inline const QString kProgramTitle = QStringLiteral("Tolvane");
