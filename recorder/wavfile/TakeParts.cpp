// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/wavfile/TakeParts.h"

#include "recorder/wavfile/TakeMarkers.h"

#include "platform/files/FileTools.h"
#include "recorder/recovery/TakeHeader.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>

#include <array>
#include <optional>

namespace basSoundRec_2 {

namespace {

// The format a file of a take is recorded in; nothing for a file that is not one.
std::optional<recovery::TakeHeader> takeFormatOf(const QString& path) {
    const platform::files::FileDescriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    std::array<std::uint8_t, recovery::kTakeHeaderSize> bytes{};
    if (!file.isOpen() || platform::files::readAllAt(file.get(), reinterpret_cast<std::byte*>(bytes.data()),
                                                     bytes.size(), 0) != 0) {
        return std::nullopt;
    }
    return recovery::parseTakeHeader(bytes.data(), bytes.size());
}

bool sameFormat(const recovery::TakeHeader& a, const recovery::TakeHeader& b) {
    return a.channels == b.channels && a.rate == b.rate && a.blockAlign == b.blockAlign;
}

// Where the extension starts in the file name of `path` (after its last folder), or its length.
qsizetype extensionAt(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > slash + 1 ? dot : path.size();
}

}  // namespace

QString takePartPath(const QString& firstPart, int number) {
    return platform::files::partPath(firstPart, number);
}

QStringList takeParts(const QString& firstPart) {
    QStringList parts;
    if (firstPart.isEmpty() || !QFileInfo::exists(firstPart)) {
        return parts;
    }
    parts << firstPart;
    // A file under a part's name that is not recorded as the first part is (a leftover of another
    // take, of an interrupted save, or anyone's file) is no part of this take, nor anything after it.
    const auto format = takeFormatOf(firstPart);
    if (!format) {
        return parts;
    }
    for (int number = 2;; ++number) {
        const QString part = takePartPath(firstPart, number);
        const auto partFormat = QFileInfo::exists(part) ? takeFormatOf(part) : std::nullopt;
        if (!partFormat || !sameFormat(*partFormat, *format)) {
            return parts;
        }
        parts << part;
    }
}

bool takeNameFree(const QString& firstPart) {
    // A marker file left by a take deleted by hand would become the new take's markers.
    const QString markers = takeMarkersPath(firstPart);
    if (QFileInfo::exists(firstPart) || QFileInfo(firstPart).isSymLink() || QFileInfo::exists(markers) ||
        QFileInfo(markers).isSymLink()) {
        return false;
    }
    // Any part number, not only the next: a part 3 left alone would stop a long take there.
    const QFileInfo first(firstPart);
    QDirIterator entries(first.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        entries.next();
        const QString name = entries.fileName();
        int number = 1;
        if (name.size() > first.fileName().size() && firstTakePart(name, &number) == first.fileName() &&
            number > 1) {
            return false;
        }
    }
    return true;
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
