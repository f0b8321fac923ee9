// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/wavfile/TakeParts.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace basSoundRec_2 {

namespace {

// Where the extension starts in the file name of `path` (after its last folder), or its length.
qsizetype extensionAt(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > slash + 1 ? dot : path.size();
}

}  // namespace

QString takePartPath(const QString& firstPart, int number) {
    if (number <= 1) {
        return firstPart;
    }
    const qsizetype at = extensionAt(firstPart);
    return firstPart.left(at) + QLatin1Char('.') + QString::number(number) + firstPart.mid(at);
}

QStringList takeParts(const QString& firstPart) {
    QStringList parts;
    if (firstPart.isEmpty() || !QFileInfo::exists(firstPart)) {
        return parts;
    }
    parts << firstPart;
    for (int number = 2;; ++number) {
        const QString part = takePartPath(firstPart, number);
        if (!QFileInfo::exists(part)) {
            return parts;
        }
        parts << part;
    }
}

QString firstTakePart(const QString& path, int* number) {
    // ".<number>" just before the extension, the number 2 or more without leading zeros.
    static const QRegularExpression partSuffix(QStringLiteral("\\.([2-9]|[1-9][0-9]+)$"));
    const qsizetype at = extensionAt(path);
    const QString stem = path.left(at);
    const qsizetype slash = stem.lastIndexOf(QLatin1Char('/'));
    const auto match = partSuffix.match(stem);
    if (number != nullptr) {
        *number = 1;
    }
    if (!match.hasMatch() || match.capturedStart() <= slash + 1) {
        return path;
    }
    if (number != nullptr) {
        *number = match.captured(1).toInt();
    }
    return stem.left(match.capturedStart()) + path.mid(at);
}

}  // namespace basSoundRec_2
