// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// Where takes go. A copy run from its build tree or from a folder of its own (a portable install)
// writes next to its executable when that folder is writable. An installed copy, one whose
// executable sits in the install prefix's bin folder, never writes there, even as root: its takes
// go to the user's music folder, subfolder "Tolvane". So does a copy whose folder is read-only.
struct TakeFolderChoice {
    QString path;
    // True when takes go next to the executable.
    bool besideProgram = false;
};

// The rule for a program in programFolder when installed copies live in installedBinFolder.
TakeFolderChoice chooseTakeFolder(const QString& programFolder, const QString& installedBinFolder);

// The rule for this program; creates nothing.
TakeFolderChoice thisProgramsTakeFolder();

// This program's take folder, created on demand.
QString takeFolder();
