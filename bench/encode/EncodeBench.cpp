// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Encodes one take in every format the save dialog offers, as a save does (encoding, then reading
// back), and prints for each: the time of the encoding alone and of the whole save, both as times
// real time, and the file's size.
//   bench_encode TAKE.wav FOLDER
// With --trimmed: a selection from the take's second tenth to its ninth saved as WAV beside cp of
// the same bytes (and cp followed by sync of the copy, as durable as the save), and as FLAC beside a
// FLAC save of the whole take; each the best of three runs.
//   bench_encode --trimmed TAKE.wav FOLDER
#include "platform/encoding/Encoding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

using platform::encoding::Format;
using Clock = std::chrono::steady_clock;

namespace {

// The shortest of three runs of `job`, in seconds; negative when a run failed.
double bestOfThree(const std::function<bool()>& job) {
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        if (!job()) {
            return -1;
        }
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

bool runs(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

int trimmed(const QString& take, const QDir& folder) {
    const auto format = platform::encoding::audioFormatOf(take);
    if (!format) {
        std::fprintf(stderr, "%s: not a take\n", qPrintable(take));
        return 1;
    }
    const auto frames = static_cast<std::uint64_t>(QFileInfo(take).size()) /
                        static_cast<std::uint64_t>(format->channels * format->bits / 8);
    const platform::encoding::FrameRange selection{frames / 10, frames * 9 / 10};
    QString failed;
    const auto save = [&](Format as, platform::encoding::FrameRange range, const QString& name) {
        return [&, as, range, name] {
            const QString out = folder.filePath(name);
            QFile::remove(out);
            platform::encoding::EncodeRequest request;
            request.parts = {take};
            request.destination = out;
            request.format = as;
            request.range = range;
            const auto result = platform::encoding::encode(request);
            if (!result.encoded()) {
                failed = result.describe();
            }
            return result.encoded();
        };
    };
    const QString wav = folder.filePath(QStringLiteral("trimmed.Wav"));
    const QString copy = folder.filePath(QStringLiteral("copy.Wav"));
    const double wavSave = bestOfThree(save(Format::Wav, selection, QStringLiteral("trimmed.Wav")));
    const auto copyJob = [&](bool durable) {
        return [&, durable] {
            QFile::remove(copy);
            return runs(QStringLiteral("cp"), {wav, copy}) &&
                   (!durable || runs(QStringLiteral("sync"), {copy}));
        };
    };
    const double cp = bestOfThree(copyJob(false));
    const double cpSync = bestOfThree(copyJob(true));
    const double flacTrimmed = bestOfThree(save(Format::Flac, selection, QStringLiteral("trimmed.flac")));
    const double flacWhole = bestOfThree(save(Format::Flac, {}, QStringLiteral("whole.flac")));
    if (wavSave < 0 || cp < 0 || cpSync < 0 || flacTrimmed < 0 || flacWhole < 0) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(failed.isEmpty() ? QStringLiteral("cp or sync failed") : failed));
        return 1;
    }
    const double selected = static_cast<double>(selection.end - selection.begin) / format->sampleRate;
    std::printf("take: %d Hz, %d bits, %d channels; selection %.0f s of %.0f s, %.1f MiB\n",
                format->sampleRate, format->bits, format->channels, selected,
                static_cast<double>(frames) / format->sampleRate,
                static_cast<double>(QFileInfo(wav).size()) / 1048576.0);
    std::printf("%-30s %10s %14s\n", "job", "seconds", "ratio");
    std::printf("%-30s %10.3f %14s\n", "save selection as WAV", wavSave, "");
    std::printf("%-30s %10.3f %14.2f\n", "cp of the same bytes", cp, wavSave / cp);
    std::printf("%-30s %10.3f %14.2f\n", "cp, then sync of the copy", cpSync, wavSave / cpSync);
    std::printf("%-30s %10.3f %14s\n", "save selection as FLAC", flacTrimmed, "");
    std::printf("%-30s %10.3f %14.2f\n", "save whole take as FLAC", flacWhole, flacTrimmed / flacWhole);
    std::printf(
        "(ratio: the save's time over the reference's; FLAC per second of audio: %.2f of the whole take's)\n",
        (flacTrimmed / selected) / (flacWhole / (static_cast<double>(frames) / format->sampleRate)));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 4 && QLatin1String(argv[1]) == QLatin1String("--trimmed")) {
        return trimmed(QString::fromLocal8Bit(argv[2]), QDir(QString::fromLocal8Bit(argv[3])));
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s [--trimmed] TAKE.wav FOLDER\n", argv[0]);
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
