// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Reads a finished take back for checks, independently of the code that wrote it.

#include <QString>
#include <QStringList>

#include <ostream>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// The window's takes unless a test chooses otherwise: 44100 Hz 16-bit stereo, captured in buffers of
// a fifth of a second, the first ten of them a silent lead-in.
inline constexpr std::size_t kTakeBufferFrames = 8820;
inline constexpr std::size_t kTakeLeadInFrames = 10 * kTakeBufferFrames;

struct TakeBytes {
    std::vector<std::uint8_t> bytes;

    std::uint32_t u32(std::size_t offset) const;
    std::uint16_t u16(std::size_t offset) const;
    std::string fourcc(std::size_t offset) const;
    std::size_t dataLength() const { return bytes.size() >= 46 ? bytes.size() - 46 : 0; }
    std::int16_t sample(std::size_t index) const;  // index-th 16-bit sample of the data chunk
};

TakeBytes readTake(const QString& path);

// The first index at which the samples stop being the counter the simulated device produces
// (frame n holds n & 0xFFFF in every channel), starting at data byte `from`; nullopt when all match.
std::optional<std::size_t> firstCounterMismatch(const TakeBytes& take, std::size_t from, int channels);

// The longest and shortest period (in frames) of channel 0 of a sine between data bytes `from` and
// `to`, from its rising zero crossings: a lost, doubled or reordered piece of audio breaks a period.
struct SinePeriods {
    std::size_t shortest = 0, longest = 0, count = 0;
};
SinePeriods sinePeriods(const TakeBytes& take, std::size_t from, std::size_t to, int channels);

// Runs a program, returns its exit status and everything it printed.
struct ProcessResult {
    int exitCode = -1;
    QString output;
};
ProcessResult runProgram(const QString& program, const QStringList& arguments);

// Checks the file with soxi, sndfile-info, Python's wave module and ffprobe; empty when all four
// read it as PCM of `bits` with `channels` and `rate`, otherwise what went wrong.
QString independentReadersComplaints(const QString& path, int channels, int rate, int bits = 16);

}  // namespace testsupport

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '[' << list.join(QStringLiteral(" | ")).toStdString() << ']';
}
