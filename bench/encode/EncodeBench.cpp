// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Encodes one take in every format the save dialog offers, as a save does (encoding, then reading
// back), and prints for each: the time of the encoding alone and of the whole save, both as times
// real time, and the file's size.
//   bench_encode TAKE.wav FOLDER
#include "platform/encoding/Encoding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <cstdio>

using platform::encoding::Format;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TAKE.wav FOLDER\n", argv[0]);
        return 2;
    }
    const QString take = QString::fromLocal8Bit(argv[1]);
    const QDir folder(QString::fromLocal8Bit(argv[2]));
    const QFileInfo takeInfo(take);
    std::printf("%-6s %12s %12s %10s %10s %12s\n", "format", "encode_s", "save_s", "encode_x", "save_x",
                "size_MiB");
    for (Format format : platform::encoding::savableFormats()) {
        if (format == Format::Wav) {
            continue;
        }
        const QString out =
            folder.filePath(QStringLiteral("bench.") + platform::encoding::extensionOf(format));
        QFile::remove(out);
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        Clock::time_point encoded{};
        const auto result =
            platform::encoding::encode({.parts = {take}, .destination = out, .format = format, .tags = {}},
                                       [&](std::uint64_t done, std::uint64_t total) {
                                           if (encoded == Clock::time_point{} && done >= total / 2) {
                                               encoded = Clock::now();
                                           }
                                           return true;
                                       });
        const auto end = Clock::now();
        if (!result.encoded()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(platform::encoding::keyOf(format)),
                         qPrintable(result.describe(out)));
            return 1;
        }
        // The take's length in seconds, from the frames written at the take's rate or Opus's.
        const double seconds = static_cast<double>(result.frames) / result.sampleRate;
        const double encodeSeconds = std::chrono::duration<double>(encoded - start).count();
        const double saveSeconds = std::chrono::duration<double>(end - start).count();
        std::printf("%-6s %12.2f %12.2f %10.1f %10.1f %12.2f\n",
                    qPrintable(platform::encoding::keyOf(format)), encodeSeconds, saveSeconds,
                    seconds / encodeSeconds, seconds / saveSeconds,
                    static_cast<double>(QFileInfo(out).size()) / 1048576.0);
    }
    std::printf("%-6s %12s %12s %10s %10s %12.2f\n", "wav", "-", "-", "-", "-",
                static_cast<double>(takeInfo.size()) / 1048576.0);
    return 0;
}
