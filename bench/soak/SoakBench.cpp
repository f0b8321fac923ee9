// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Records HOURS of simulated audio through the capture engine and the take file as fast as the
// simulated device fills buffers, into a real take in FOLDER (in parts past the largest WAV size). Reports
// the process's memory at every hour of audio, what keeping the take valid on disk cost, and the speed over
// real time; then reads the finished take back (every sample of every part, and soxi) and leaves it for the
// caller to delete.
//   bench_soak FOLDER [HOURS] [RATE] [CHANNELS]
// Exits non-zero when the peak memory at the last hour differs from that at the first by more than 1 MiB,
// or when the take is not complete and valid.
#include "platform/dialogs/Dialogs.h"
#include "SimulatedWaveIn.h"
#include "recorder/capture/CaptureEngine.h"
#include "recorder/wavfile/TakeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using namespace platform::wavein;
using Clock = std::chrono::steady_clock;

namespace {

constexpr long kAllowedGrowthKiB = 1024;

// Nothing in a sound take asks the user anything; a message means the run went wrong.
class LoggedDialogs final : public platform::Dialogs {
public:
    void message(const QString& text, const QString&) override {
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
        ++shown;
    }
    platform::Answer question(const QString& text, const QString&) override {
        std::fprintf(stderr, "question box: %s\n", qPrintable(text));
        ++shown;
        return platform::Answer::Cancel;
    }
    platform::Answer confirm(const QString& text, const QString& title) override { return question(text, title); }
    std::optional<platform::SaveChoice> saveFileName(const QString&, const QStringList&, const QString&,
                                                     const QString&) override {
        return {};
    }
    std::unique_ptr<platform::Progress> progress(const QString&, const QString&, std::uint64_t) override {
        return nullptr;
    }
    std::optional<std::chrono::minutes> duration(const QString&, const QString&, std::chrono::minutes) override {
        return {};
    }
    std::optional<QTime> timeOfDay(const QString&, const QString&, QTime) override { return {}; }
    int shown = 0;
};

struct Memory {
    long peakKiB = 0;      // VmHWM
    long residentKiB = 0;  // VmRSS
    long anonKiB = 0, fileKiB = 0;
};

Memory memoryNow() {
    Memory m;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) {
            m.peakKiB = std::stol(line.substr(6));
        } else if (line.starts_with("VmRSS:")) {
            m.residentKiB = std::stol(line.substr(6));
        } else if (line.starts_with("RssAnon:")) {
            m.anonKiB = std::stol(line.substr(8));
        } else if (line.starts_with("RssFile:")) {
            m.fileKiB = std::stol(line.substr(8));
        }
    }
    return m;
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::string clockTime(double s) {
    const auto whole = static_cast<long long>(s);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    return text;
}

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// Reads the finished take back, part after part: in each, sizes that match the file; across them,
// the zeroed lead-in, then the simulated device's counter (frame n holds n modulo 2^16 in every
// channel) without a gap or repeat to the end. Returns what is wrong, or an empty string.
std::string checkTake(const QStringList& parts, std::uint64_t leadIn, unsigned channels) {
    std::uint64_t sample = 0;
    const std::uint64_t leadInSamples = leadIn / 2;
    std::vector<std::int16_t> block(1 << 19);  // a multiple of every frame size
    for (const QString& path : parts) {
        std::FILE* f = std::fopen(QFile::encodeName(path).constData(), "rb");
        if (f == nullptr) {
            return "cannot open " + path.toStdString();
        }
        std::string problem;
        std::uint64_t fileSize = 0;
        unsigned char header[46];
        if (std::fseek(f, 0, SEEK_END) == 0) {
            fileSize = static_cast<std::uint64_t>(std::ftell(f));
            std::rewind(f);
        }
        if (std::fread(header, 1, sizeof header, f) != sizeof header || std::memcmp(header, "RIFF", 4) != 0 ||
            std::memcmp(header + 8, "WAVEfmt ", 8) != 0 || std::memcmp(header + 38, "data", 4) != 0) {
            problem = "not a take header";
        } else if (le32(header + 4) != fileSize - 8 || le32(header + 42) != fileSize - 46) {
            problem = "the header's sizes do not match the file's length";
        }
        while (problem.empty()) {
            const std::size_t n = std::fread(block.data(), 2, block.size(), f);
            for (std::size_t i = 0; i < n && problem.empty(); ++i, ++sample) {
                const std::int16_t want =
                    sample < leadInSamples
                        ? 0
                        : static_cast<std::int16_t>(((sample - leadInSamples) / channels) & 0xFFFF);
                if (block[i] != want) {
                    problem = "sample " + std::to_string(sample) + " is " + std::to_string(block[i]) +
                              ", not " + std::to_string(want);
                }
            }
            if (n < block.size()) {
                break;
            }
        }
        std::fclose(f);
        if (!problem.empty()) {
            return path.toStdString() + ": " + problem;
        }
    }
    return {};
}

std::string clockTimeMs(double s) {
    const auto ms = static_cast<long long>(std::llround(s * 1000.0));
    char text[40];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2 || argc > 5) {
        std::fprintf(stderr, "usage: %s FOLDER [HOURS] [RATE] [CHANNELS]\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int hours = argc > 2 ? std::atoi(argv[2]) : 8;
    const auto rate = static_cast<std::uint32_t>(argc > 3 ? std::atoi(argv[3]) : 44100);
    const auto channels = static_cast<std::uint16_t>(argc > 4 ? std::atoi(argv[4]) : 2);
    if (hours < 1) {
        std::fprintf(stderr, "HOURS must be 1 or more\n");
        return 2;
    }

    WAVEFORMATEX format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<std::uint16_t>(2 * channels);
    format.nAvgBytesPerSec = format.nBlockAlign * rate;
    format.cbSize = 18;

    const double bytesPerSecond = format.nAvgBytesPerSec;
    const std::uint64_t bytesPerHour = 3600ull * format.nAvgBytesPerSec;
    const std::uint64_t target = static_cast<std::uint64_t>(hours) * bytesPerHour;
    const auto bufferBytes = static_cast<std::uint64_t>(basSoundRec_1::CaptureBufferSize(format));
    const auto leadIn = basSoundRec_1::kBufferCount * bufferBytes;

    // The source ends once it has put out the asked length less the lead-in, so the take is exactly
    // that long: a stop could come late, as one pass of the window over its done buffers may go on
    // for as long as the device keeps refilling them. The end is then the path of a lost source:
    // every buffer comes back with what it holds, and the next re-queue fails.
    QObject window;  // outlives the device, which posts to it until the engine closes it
    LoggedDialogs dialogs;
    SimulatedWaveIn device(SimulatedSource::counter(), Pacing::AsFastAsPossible,
                           SimulatedFaults::dieAfter(target - leadIn));
    basSoundRec_2::TakeFile file(dialogs, QStringLiteral("Tolvane soak"));
    basSoundRec_1::CaptureEngine engine(device, file, dialogs, QStringLiteral("Tolvane soak"));
    engine.waveFormat = format;

    // Past the largest WAV size the take goes on in its next part.
    const double largestData = static_cast<double>(basSoundRec_2::kLargestRiffSize - 38);
    const double largestPart = largestData / bytesPerSecond;
    std::printf("format: %u Hz, %u channel(s), 16-bit; %d h of audio asked for\n", rate, channels, hours);
    std::printf(
        "one WAV file of this format holds at most %s of audio (RIFF size 4 GiB); the take goes on in "
        "numbered parts, %d expected\n",
        clockTime(largestPart).c_str(), static_cast<int>(std::ceil(hours * 3600.0 / largestPart)));

    struct Mark {
        Memory memory;
        double wall = 0;
        long long waitingNotifications = 0;
    };
    std::vector<Mark> marks;  // at the end of every hour of audio
    MMRESULT requeue = MMSYSERR_NOERROR;
    bool done = false;
    Clock::time_point started;
    // Notifications the window has handled: one pass may take in several buffers, and the
    // notifications of those then wait in the event queue.
    long long notifications = 0;
    const auto markHours = [&] {
        while (file.dataLength() >= (marks.size() + 1) * bytesPerHour) {
            const auto buffers = static_cast<long long>((file.dataLength() - leadIn) / bufferBytes);
            marks.push_back({memoryNow(), seconds(Clock::now() - started), buffers - notifications});
        }
    };
    engine.HookWindow(&window, [&] {
        if (!engine.isRecording() || done) {
            return;
        }
        requeue = engine.HandleDoneBuffers();
        ++notifications;
        markHours();
        done = requeue != MMSYSERR_NOERROR || engine.takeWriteFailure();
    });

    QDir().mkpath(folder);
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    started = Clock::now();
    const QString path = file.Create(QDir(folder).filePath(QStringLiteral("soak.WAV")));
    if (path.isEmpty() || !file.WriteHeader(format) || !engine.StartCapture()) {
        std::fprintf(stderr, "the take did not start\n");
        return 1;
    }
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const auto writeFailure = engine.takeWriteFailure();
    const auto stopping = Clock::now();
    engine.StopCapture();
    markHours();  // the last buffers of the take come in with the stop
    const double stopTime = seconds(Clock::now() - stopping);
    const double wall = seconds(Clock::now() - started);
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    const auto cpu = [](const timeval& a, const timeval& b) {
        return static_cast<double>(b.tv_sec - a.tv_sec) + static_cast<double>(b.tv_usec - a.tv_usec) / 1e6;
    };

    const std::uint64_t data = file.dataLength();
    const double audio = static_cast<double>(data) / bytesPerSecond;
    bool ok = true;

    std::printf("\ntake: %s, %.1f MiB, %s of audio (%.3f s; the first %.1f s is the silent lead-in)\n",
                qPrintable(path), static_cast<double>(data + 46) / 1048576.0, clockTime(audio).c_str(), audio,
                static_cast<double>(leadIn) / bytesPerSecond);
    if (writeFailure) {
        std::printf("FAIL: writing the take failed: %s\n", qPrintable(writeFailure->describe()));
        ok = false;
    } else if (requeue != MMSYSERR_NODRIVER || !engine.sourceLost() || data != target) {
        std::printf("FAIL: the take ended early (re-queue status %u)\n", requeue);
        ok = false;
    }
    std::printf("wall time %.1f s, %.0f times real time; processor time user %.1f s, system %.1f s\n", wall,
                audio / wall, cpu(before.ru_utime, after.ru_utime), cpu(before.ru_stime, after.ru_stime));

    std::printf("\n%-4s %7s %10s %10s %12s %12s %21s\n", "hour", "wall_s", "VmHWM_KiB", "VmRSS_KiB",
                "RssAnon_KiB", "RssFile_KiB", "queued_notifications");
    for (std::size_t h = 0; h < marks.size(); ++h) {
        std::printf("%-4zu %7.1f %10ld %10ld %12ld %12ld %21lld\n", h + 1, marks[h].wall,
                    marks[h].memory.peakKiB, marks[h].memory.residentKiB, marks[h].memory.anonKiB,
                    marks[h].memory.fileKiB, marks[h].waitingNotifications);
    }
    if (marks.empty()) {
        std::printf("FAIL: not one hour of audio recorded\n");
        ok = false;
    } else {
        const long growth = marks.back().memory.peakKiB - marks.front().memory.peakKiB;
        const bool pass = growth <= kAllowedGrowthKiB && growth >= -kAllowedGrowthKiB;
        std::printf("%s: peak memory at hour %zu is %+ld KiB from hour 1 (at most 1024 KiB allowed)\n",
                    pass ? "PASS" : "FAIL", marks.size(), growth);
        ok = ok && pass;
    }

    const auto upkeep = file.upkeep();
    const double refreshTotal = seconds(upkeep.refreshTime);
    const double flushTotal = seconds(upkeep.flushTime);
    std::printf("\nheader refreshes: %d, %.3f s in all, %.1f us each, %.3f %% of the wall time\n",
                upkeep.headerRefreshes, refreshTotal,
                upkeep.headerRefreshes > 0 ? refreshTotal / upkeep.headerRefreshes * 1e6 : 0.0,
                100.0 * refreshTotal / wall);
    std::printf("disk flushes:     %d, %.3f s in all, %.1f ms each, %.1f %% of the wall time\n",
                upkeep.diskFlushes, flushTotal,
                upkeep.diskFlushes > 0 ? flushTotal / upkeep.diskFlushes * 1e3 : 0.0,
                100.0 * flushTotal / wall);
    // Refreshes are due after a second of wall time or a second of audio, whichever comes first;
    // flushes after five seconds of wall time only.
    std::printf(
        "Cadence: the header is refreshed after 1 s of wall time or 1 s of audio, whichever comes "
        "first, so faster than real time once per second of audio (%.2f per audio second here): a "
        "real-time take of this length makes as many and spends about %.4f %% of its time on them. "
        "The disk is flushed after 5 s of wall time only: this run made %d flush(es) for %s of audio, "
        "where a real-time take makes %.0f, each carrying 5 s; so the flush figures above are not those "
        "of a real-time take. The stop, whose finalisation flushes whatever is not yet on disk, took "
        "%.1f s of the wall time.\n",
        upkeep.headerRefreshes / audio, 100.0 * refreshTotal / audio, upkeep.diskFlushes,
        clockTime(audio).c_str(), audio / 5.0, stopTime);

    const QStringList parts = basSoundRec_2::takeParts(path);
    if (const std::string problem = checkTake(parts, leadIn, channels); !problem.empty()) {
        std::printf("FAIL: the take read back wrong: %s\n", problem.c_str());
        ok = false;
    } else {
        std::printf(
            "\nread back: %lld part(s), each with header sizes that match the file; lead-in silent; "
            "every sample after it in order across the parts\n",
            static_cast<long long>(parts.size()));
    }
    // soxi's durations of the parts must add up to exactly the length asked for.
    double soxiTotal = 0;
    bool soxiRan = true;
    for (const QString& part : parts) {
        QProcess soxi;
        soxi.start(QStringLiteral("soxi"), {QStringLiteral("-D"), part});
        const bool ran =
            soxi.waitForFinished(60000) && soxi.exitStatus() == QProcess::NormalExit && soxi.exitCode() == 0;
        const double partSeconds = ran ? soxi.readAllStandardOutput().trimmed().toDouble() : -1.0;
        std::printf("  %s: soxi reads %s (%.3f s)\n", qPrintable(QFileInfo(part).fileName()),
                    ran ? clockTimeMs(partSeconds).c_str() : "nothing", partSeconds);
        soxiRan = soxiRan && ran;
        soxiTotal += partSeconds;
    }
    const double expected = hours * 3600.0;
    const bool soxiOk =
        soxiRan && std::abs(soxiTotal - audio) < 0.001 && std::abs(soxiTotal - expected) < 0.0005;
    std::printf("%s: the parts add up to %s (%.3f s); expected %s\n", soxiOk ? "PASS" : "FAIL",
                clockTimeMs(soxiTotal).c_str(), soxiTotal, clockTimeMs(expected).c_str());
    ok = ok && soxiOk;
    if (dialogs.shown > 0) {
        std::printf("FAIL: %d message box(es) during the take\n", dialogs.shown);
        ok = false;
    }
    return ok ? 0 : 1;
}
