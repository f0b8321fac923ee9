// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the tests read a take back with: its bytes, and programs of their own (soxi, ffprobe, flac...).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testsupport {

struct ToolRun {
    int exitCode = -1;  // also when the program did not run or did not end by itself
    QByteArray out;
    QByteArray err;
    QString outText() const { return QString::fromLocal8Bit(out); }
    QString errText() const { return QString::fromLocal8Bit(err); }
};

// Runs the program to its end; one that cannot start, crashes or hangs for two minutes is a failure.
ToolRun run(const QString& program, const QStringList& arguments);

// The file's bytes, or none where it cannot be read.
QByteArray readFile(const QString& path);

}  // namespace testsupport
