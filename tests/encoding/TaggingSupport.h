// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Short audio files to tag, and what outside programs read back from them.

#include "Readers.h"
#include "TakeReader.h"

#include "platform/encoding/Markers.h"

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace taggingtest {

// A sine (so the encoders have something to code) written by libsndfile; `format` a SF_FORMAT_* WAV.
inline void writeSine(const QString& path, int rate, int channels, std::int64_t frames,
                      int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<float> samples(static_cast<std::size_t>(frames * channels));
    for (std::int64_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            samples[static_cast<std::size_t>(i * channels + c)] =
                0.25f * static_cast<float>(std::sin(2 * M_PI * 440.0 * static_cast<double>(i) / rate));
        }
    }
    EXPECT_EQ(sf_writef_float(file, samples.data(), frames), frames);
    ASSERT_EQ(sf_close(file), 0);
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

inline QByteArray le(std::uint32_t value, int bytes) {
    QByteArray out;
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return out;
}

// A take as the recorder writes it, 16-bit: an 18-byte fmt chunk, then the samples.
inline void writeTakeLayout(const QString& path, std::uint32_t rate, std::uint32_t channels,
                            std::uint32_t frames) {
    const QByteArray fmt = le(1, 2) + le(channels, 2) + le(rate, 4) + le(rate * 2 * channels, 4) +
                           le(2 * channels, 2) + le(16, 2) + le(0, 2);
    const QByteArray data(static_cast<qsizetype>(frames * 2 * channels), '\x10');
    const QByteArray body =
        "WAVE" + ("fmt " + le(18, 4) + fmt) + ("data" + le(frames * 2 * channels, 4) + data);
    writeBytes(path, "RIFF" + le(static_cast<std::uint32_t>(body.size()), 4) + body);
}

// Frames as libsndfile reads them; -1 when it cannot open the file.
inline std::int64_t framesOf(const QString& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
    if (file == nullptr) {
        return -1;
    }
    sf_close(file);
    return info.frames;
}

inline QJsonObject jsonOf(const testsupport::ToolRun& run) {
    EXPECT_EQ(run.exitCode, 0) << run.errText().toStdString();
    return QJsonDocument::fromJson(run.out).object();
}

// ffprobe's view: chapters, and the tags of the file and of its stream, keys in lower case.
inline QJsonObject probe(const QString& path) {
    return jsonOf(
        testsupport::run(QStringLiteral("ffprobe"),
                         {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_chapters"),
                          QStringLiteral("-show_format"), QStringLiteral("-show_streams"),
                          QStringLiteral("-of"), QStringLiteral("json"), path}));
}

inline QJsonObject tagsOf(const QJsonObject& probed) {
    QJsonObject tags;
    const auto add = [&](const QJsonObject& from) {
        for (auto it = from.begin(); it != from.end(); ++it) {
            tags[it.key().toLower()] = it.value();
        }
    };
    // The file's own tags win over what the stream says of itself (LAME names itself the encoder).
    add(probed[QStringLiteral("streams")].toArray().at(0).toObject()[QStringLiteral("tags")].toObject());
    add(probed[QStringLiteral("format")].toObject()[QStringLiteral("tags")].toObject());
    return tags;
}

// The RIFF walk of tests/encoding/riff-chunks.
inline QJsonObject riffChunks(const QString& path) {
    return jsonOf(testsupport::run(
        QStringLiteral("python3"),
        {qEnvironmentVariable("TOLVANE_TEST_SOURCE_DIR") + QStringLiteral("/tests/encoding/riff-chunks"),
         path}));
}

}  // namespace taggingtest
