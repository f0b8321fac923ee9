// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The recorder's command line: --help, --version and --source NAME; the recorder takes no other
// arguments. The sound server is PulseAudio's own business (PULSE_SERVER).

#include <QStringList>

#include <optional>

namespace tolvane {

// Answers --help and --version before any window exists, so both work without a display.
// Returns the exit status when the program should stop here.
std::optional<int> answerHelpOrVersion(int argc, char** argv);

// Refuses what is left once QApplication has taken its own options (-platform, -style ...).
// Returns the exit status when the program should stop here.
std::optional<int> refuseUnknownArguments(const QStringList& arguments);

// The input asked for this run: --source NAME, else PULSE_SOURCE, else empty (the saved choice).
// Expects arguments refuseUnknownArguments accepted.
QString sourceForThisRun(const QStringList& arguments);

}  // namespace tolvane
