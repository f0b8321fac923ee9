// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ReviewTakes.h"

#include "ScriptedDialogs.h"
#include "recorder/wavfile/TakeFile.h"

#include <QFile>

#include <algorithm>

namespace reviewtest {

std::int32_t noiseAt(std::uint64_t frame, int channel, int bits) {
    std::uint64_t x = frame * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(channel + 1) * 0xBF58476D1CE4E5B9ull;
    x ^= x >> 31;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 29;
    const auto top = static_cast<std::uint32_t>(x >> 32);
    const std::uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : ~((std::uint32_t{1} << (32 - bits)) - 1);
    return static_cast<std::int32_t>(top & mask);
}

namespace {

std::int32_t soundAt(const TakeSpec& spec, const Sound& sound, std::uint64_t frame, int channel) {
    return sound ? sound(frame, channel) : noiseAt(frame, channel, spec.bits);
}

}  // namespace

QString writeTake(const QString& folder, const TakeSpec& spec, std::uint64_t frames,
                  std::uint64_t largestRiffSize, const Sound& sound) {
    testsupport::ScriptedDialogs dialogs;
    basSoundRec_2::TakeFile take(dialogs, QStringLiteral("review test"), largestRiffSize);
    const QString path = take.Create(folder + QStringLiteral("/take.WAV"));
    basSoundRec_2::WAVEFORMATEX format;
    format.wFormatTag = 1;
    format.nChannels = spec.channels;
    format.nSamplesPerSec = spec.rate;
    format.wBitsPerSample = spec.bits;
    format.nBlockAlign = static_cast<std::uint16_t>(spec.channels * spec.bits / 8);
    format.nAvgBytesPerSec = spec.rate * format.nBlockAlign;
    format.cbSize = 18;
    if (path.isEmpty() || !take.WriteHeader(format)) {
        return QString();
    }
    const int bytesPerSample = spec.bits / 8;
    std::vector<std::byte> buffer;
    constexpr std::uint64_t kPiece = 4096;
    for (std::uint64_t at = 0; at < frames; at += kPiece) {
        const std::uint64_t count = std::min(kPiece, frames - at);
        buffer.clear();
        for (std::uint64_t f = at; f < at + count; ++f) {
            for (int c = 0; c < spec.channels; ++c) {
                const auto value = static_cast<std::uint32_t>(soundAt(spec, sound, f, c));
                // Little-endian, the top bytes of the left-justified value.
                for (int b = 4 - bytesPerSample; b < 4; ++b) {
                    buffer.push_back(static_cast<std::byte>(value >> (8 * b)));
                }
            }
        }
        if (!take.Append(buffer.data(), buffer.size()).ok()) {
            return QString();
        }
    }
    take.Finalise();
    return path;
}

std::uint64_t dataOffsetOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray head = file.read(4096);
    const qsizetype at = head.indexOf("data");
    return at < 0 ? 0 : static_cast<std::uint64_t>(at) + 8;
}

bool patch(const QString& path, std::uint64_t offset, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.seek(static_cast<qint64>(offset)) &&
           file.write(bytes) == bytes.size();
}

QByteArray le32(std::uint32_t value) {
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return bytes;
}

std::vector<std::int32_t> expected(const TakeSpec& spec, std::uint64_t from, std::uint64_t to, const Sound& sound) {
    std::vector<std::int32_t> samples;
    for (std::uint64_t f = from; f < to; ++f) {
        for (int c = 0; c < spec.channels; ++c) {
            samples.push_back(soundAt(spec, sound, f, c));
        }
    }
    return samples;
}

}  // namespace reviewtest
