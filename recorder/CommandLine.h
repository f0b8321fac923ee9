// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The recorder's command line: --help and --version, and nothing else; the recorder takes no
// arguments. Sound server and source are PulseAudio's own business (PULSE_SERVER, PULSE_SOURCE).

#include <QStringList>

#include <optional>

namespace tolvane {

// Answers --help and --version before any window exists, so both work without a display.
// Returns the exit status when the program should stop here.
std::optional<int> answerHelpOrVersion(int argc, char** argv);

// Refuses what is left once QApplication has taken its own options (-platform, -style ...).
// Returns the exit status when the program should stop here.
std::optional<int> refuseUnknownArguments(const QStringList& arguments);

}  // namespace tolvane
