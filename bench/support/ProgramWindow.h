// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The recorder window with what the program gives it: capture, level, meters and the input list on
// one connection to the default sound server.

#include "recorder/window/ServerParts.h"
#include "recorder/window/frmSoundRec.h"

#include <QString>

namespace bench {

struct ProgramWindow {
    // Takes go to `folder`; `source`, when given, is the input asked for on the command line.
    explicit ProgramWindow(const QString& folder, const QString& source = {})
        : parts(QStringLiteral("Tolvane bench")), window([&] {
              RecorderServices services = parts.services();
              services.programFolder = folder;
              services.sourceForThisRun = source;
              return services;
          }()) {
        window.show();
    }

    ServerParts parts;
    frmSoundRec window;
};

}  // namespace bench
