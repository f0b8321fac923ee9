// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/wavfile/TakeMarkers.h"

#include "platform/files/FileTools.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace basSoundRec_2 {

namespace {

using platform::files::FileDescriptor;
using platform::files::syncFolderOf;
using platform::files::writeAll;

// A marker file of a few thousand markers is a few tens of kilobytes; anything past this is not one
// of ours, and is not read into memory whole.
constexpr std::size_t kLargestMarkerFile = 8u << 20;
constexpr std::size_t kCrcDigits = 8;
constexpr std::size_t kMostFrameDigits = 20;  // 2^64 - 1

constexpr std::array<std::uint32_t, 256> kCrcTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}();

std::uint32_t crc32(std::string_view text) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char byte : text) {
        c = kCrcTable[(c ^ byte) & 0xFF] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

std::string lineFor(std::uint64_t frame) {
    char digits[kMostFrameDigits + 1];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, frame);
    const std::string_view text(digits, static_cast<std::size_t>(end - digits));
    char crc[kCrcDigits + 1];
    std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(crc32(text)));
    std::string line(text);
    line += ' ';
    line += crc;
    line += '\n';
    return line;
}

// The frame a line holds, or nothing when it does not check out.
std::optional<std::uint64_t> parseLine(std::string_view line) {
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos || space == 0 || space > kMostFrameDigits ||
        line.size() - space - 1 != kCrcDigits) {
        return std::nullopt;
    }
    const std::string_view digits = line.substr(0, space);
    const std::string_view crc = line.substr(space + 1);
    const auto decimal = [](char c) { return c >= '0' && c <= '9'; };
    const auto hex = [&](char c) { return decimal(c) || (c >= 'a' && c <= 'f'); };
    if (!std::all_of(digits.begin(), digits.end(), decimal) || !std::all_of(crc.begin(), crc.end(), hex) ||
        (digits.size() > 1 && digits.front() == '0')) {
        return std::nullopt;
    }
    std::uint64_t frame = 0;
    if (std::from_chars(digits.data(), digits.data() + digits.size(), frame).ec != std::errc()) {
        return std::nullopt;
    }
    std::uint32_t sum = 0;
    std::from_chars(crc.data(), crc.data() + crc.size(), sum, 16);
    if (sum != crc32(digits)) {
        return std::nullopt;
    }
    return frame;
}

std::vector<std::uint64_t> ascendingOnce(std::vector<std::uint64_t> frames) {
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    return frames;
}

QByteArray encodedMarkersPath(const QString& firstPart) {
    return QFile::encodeName(takeMarkersPath(firstPart));
}

QByteArray replacementOf(const QByteArray& path) {
    return path + ".new";
}

// 0, or the errno; a file that is not there is no error. True in `removed` when one went.
int removeFile(const QByteArray& path, bool& removed) {
    if (::unlink(path.constData()) == 0) {
        removed = true;
        return 0;
    }
    return errno == ENOENT ? 0 : errno;
}

// Writes the set into `path` through a file beside it, so a crash leaves the old set or the new one.
int writeWhole(const QByteArray& path, const std::vector<std::uint64_t>& frames) {
    std::string text;
    for (std::uint64_t frame : frames) {
        text += lineFor(frame);
    }
    const QByteArray temporary = replacementOf(path);
    FileDescriptor fd(
        ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!fd.isOpen()) {
        return errno;
    }
    int error = writeAll(fd.get(), reinterpret_cast<const std::byte*>(text.data()), text.size());
    if (error == 0 && ::fdatasync(fd.get()) != 0) {
        error = errno;
    }
    if (const int closed = fd.close(); error == 0) {
        error = closed;
    }
    if (error == 0 && ::rename(temporary.constData(), path.constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.constData());
        return error;
    }
    syncFolderOf(path);
    return 0;
}

}  // namespace

QString takeMarkersPath(const QString& firstPart) {
    return firstPart + QStringLiteral(".markers");
}

int addTakeMarker(const QString& firstPart, std::uint64_t frame) {
    const QByteArray path = encodedMarkersPath(firstPart);
    bool created = true;
    FileDescriptor fd(::open(path.constData(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.isOpen() && errno == EEXIST) {
        created = false;
        fd = FileDescriptor(::open(path.constData(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW));
    }
    if (!fd.isOpen()) {
        return errno;
    }
    std::string line = lineFor(frame);
    // A crash in the middle of an earlier line left it without its end; this one starts on a line
    // of its own, or the two would be lost together.
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return errno;
    }
    if (st.st_size > 0) {
        char last = '\n';
        errno = 0;
        if (::pread(fd.get(), &last, 1, st.st_size - 1) != 1) {
            return errno != 0 ? errno : EIO;
        }
        if (last != '\n') {
            line.insert(line.begin(), '\n');
        }
    }
    // One write on a descriptor opened for appending: the line lands whole at the end.
    int error = writeAll(fd.get(), reinterpret_cast<const std::byte*>(line.data()), line.size());
    if (error == 0 && ::fdatasync(fd.get()) != 0) {
        error = errno;
    }
    if (const int closed = fd.close(); error == 0) {
        error = closed;
    }
    if (error == 0 && created) {
        syncFolderOf(path);
    }
    return error;
}

TakeMarkers readTakeMarkers(const QString& firstPart) {
    TakeMarkers result;
    const QByteArray path = encodedMarkersPath(firstPart);
    FileDescriptor fd(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.isOpen()) {
        result.error = errno == ENOENT ? 0 : errno;
        return result;
    }
    std::string text;
    std::array<char, 65536> block{};
    while (text.size() < kLargestMarkerFile) {
        const ssize_t n = ::read(fd.get(), block.data(), block.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            result.error = errno;
            return result;
        }
        if (n == 0) {
            break;
        }
        text.append(block.data(), static_cast<std::size_t>(n));
    }
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.empty()) {
            continue;
        }
        if (const auto frame = parseLine(line)) {
            result.frames.push_back(*frame);
        } else {
            ++result.damagedLines;
        }
    }
    result.frames = ascendingOnce(std::move(result.frames));
    return result;
}

int replaceTakeMarkers(const QString& firstPart, const std::vector<std::uint64_t>& frames) {
    if (frames.empty()) {
        return removeTakeMarkers(firstPart);
    }
    return writeWhole(encodedMarkersPath(firstPart), ascendingOnce(frames));
}

int removeTakeMarkers(const QString& firstPart) {
    const QByteArray path = encodedMarkersPath(firstPart);
    bool removed = false;
    const int error = removeFile(path, removed);
    const int leftover = removeFile(replacementOf(path), removed);
    if (removed) {
        syncFolderOf(path);
    }
    return error != 0 ? error : leftover;
}

std::vector<platform::encoding::Marker> savedMarkers(const std::vector<std::uint64_t>& frames,
                                                     std::uint64_t begin, std::uint64_t end) {
    return platform::encoding::markersWithin(frames, begin, end);
}

}  // namespace basSoundRec_2
