// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Speed of the sound analysis on a generated record side (44100 Hz, stereo, 16-bit): finding its
// track boundaries from samples in memory and from a WAV file in the page cache, each next to a
// plain pass over the same bytes in the same run; finding them again from the loudness profile
// with other settings; and the sound trigger's cost per second of audio next to the copy a capture
// makes of every buffer anyway.
//   bench_analysis [MINUTES] [FOLDER]
#include "recorder/analysis/Gaps.h"
#include "recorder/analysis/PrerollRing.h"
#include "recorder/analysis/SoundTrigger.h"

#include <sndfile.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace analysis;

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;

// The quickest of three runs of `work`, in seconds.
double bestOf3(const std::function<void()>& work) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best =
            std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// A side: a 2 s lead-in of surface noise, tracks of 3 to 5 minutes (two tones beating over noise)
// separated by 2.5 s of -60 dBFS noise with clicks, surface noise to the end.
std::vector<std::int16_t> makeSide(double minutes, int* tracks) {
    const auto frames = static_cast<std::int64_t>(minutes * 60 * kRate);
    std::vector<std::int16_t> side(static_cast<std::size_t>(frames * kChannels));
    std::uint32_t noise = 2463534242U;
    auto white = [&noise] {
        noise ^= noise << 13;
        noise ^= noise >> 17;
        noise ^= noise << 5;
        return static_cast<double>(noise) / 2147483648.0 - 1.0;
    };
    std::int64_t at = 0;
    auto put = [&](std::int64_t count, const std::function<double()>& value) {
        for (std::int64_t i = 0; i < count && at < frames; ++i, ++at) {
            for (int c = 0; c < kChannels; ++c) {
                side[static_cast<std::size_t>(at * kChannels + c)] =
                    static_cast<std::int16_t>(std::lround(value() * 32767.0));
            }
        }
    };
    const double surface = 0.001 * std::sqrt(3.0);  // -60 dBFS RMS
    put(2 * kRate, [&] { return surface * white(); });
    *tracks = 0;
    while (at < frames - 60 * kRate) {
        const std::int64_t length = (180 + 60 * (*tracks % 3)) * std::int64_t{kRate};
        const double pitch = 110.0 * (1 + *tracks % 5);
        std::complex<double> a(0.2, 0), b(0.15, 0);
        const std::complex<double> stepA = std::polar(1.0, 2 * M_PI * pitch / kRate);
        const std::complex<double> stepB = std::polar(1.0, 2 * M_PI * pitch * 1.5 / kRate);
        put(length, [&] {
            a *= stepA;
            b *= stepB;
            return a.imag() + b.imag() + 0.01 * white();
        });
        ++*tracks;
        const std::int64_t gapStart = at;
        put(5 * kRate / 2, [&] { return surface * white(); });
        for (double click : {0.3, 0.95, 1.0, 1.7}) {
            for (int c = 0; c < kChannels; ++c) {
                side[static_cast<std::size_t>(
                    (gapStart + static_cast<std::int64_t>(click * kRate)) * kChannels + c)] = 16384;
            }
        }
    }
    put(frames - at, [&] { return surface * white(); });
    return side;
}

}  // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 25.0;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    int tracks = 0;
    const std::vector<std::int16_t> side = makeSide(minutes, &tracks);
    const double seconds = static_cast<double>(side.size()) / kChannels / kRate;
    const std::size_t bytes = side.size() * sizeof(std::int16_t);
    std::printf("A %.0f-minute side, %d Hz stereo 16-bit, %d tracks, %.1f MiB\n\n", minutes, kRate, tracks,
                static_cast<double>(bytes) / 1048576.0);
    std::printf("%-44s %10s %12s %10s\n", "", "seconds", "x_realtime", "x_plain");

    // From memory, next to a copy of the same bytes.
    std::vector<std::int16_t> copy(side.size());
    const double plainMemory = bestOf3([&] { std::memcpy(copy.data(), side.data(), bytes); });
    LoudnessProfile profile;
    TrackSplit split;
    const double memory = bestOf3([&] {
        profile = LoudnessProfile::of(Samples(std::span(side)), kRate, kChannels);
        split = findTrackBoundaries(profile, GapSettings{});
    });
    auto row = [&](const char* what, double time, double plain) {
        std::printf("%-44s %10.4f %12.0f %10.2f\n", what, time, seconds / time,
                    plain > 0 ? time / plain : 0.0);
    };
    row("memory: copy of the bytes (reference)", plainMemory, plainMemory);
    row("memory: loudness + gaps", memory, plainMemory);
    if (split.boundaries.size() + 1 != static_cast<std::size_t>(tracks)) {
        std::fprintf(stderr, "found %zu boundaries for %d tracks\n", split.boundaries.size(), tracks);
        return 1;
    }
    {
        // Readers that hand float samples (24-bit takes): the first five minutes as floats.
        const std::size_t count = std::min(side.size(), static_cast<std::size_t>(300 * kRate * kChannels));
        std::vector<float> floats(count);
        std::transform(side.begin(), side.begin() + static_cast<std::ptrdiff_t>(count), floats.begin(),
                       [](std::int16_t v) { return static_cast<float>(v) / 32768.0F; });
        const double part = static_cast<double>(count) / kChannels / kRate;
        std::vector<float> floatCopy(count);
        const double plain =
            bestOf3([&] { std::memcpy(floatCopy.data(), floats.data(), count * sizeof(float)); });
        LoudnessProfile ofFloats;
        const double time =
            bestOf3([&] { ofFloats = LoudnessProfile::of(Samples(std::span(floats)), kRate, kChannels); });
        std::printf("%-44s %10.4f %12.0f %10.2f\n", "memory: loudness of float samples (5 min)", time,
                    part / time, time / plain);
    }

    // From a WAV file in the page cache, next to read(2) of the same file.
    const std::string path = folder + "/tolvane-analysis-bench.wav";
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = kChannels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info);
    if (out == nullptr || sf_write_short(out, side.data(), static_cast<sf_count_t>(side.size())) !=
                              static_cast<sf_count_t>(side.size())) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), sf_strerror(out));
        return 1;
    }
    sf_close(out);
    std::vector<std::byte> block(1 << 20);
    const double plainFile = bestOf3([&] {
        const int fd = ::open(path.c_str(), O_RDONLY);
        while (::read(fd, block.data(), block.size()) > 0) {
        }
        ::close(fd);
    });
    const double viaSndfile = bestOf3([&] {
        SF_INFO in{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &in);
        std::vector<std::int16_t> frames(static_cast<std::size_t>(kRate) * kChannels);  // a second at a time
        LoudnessMeter meter(in.samplerate, in.channels);
        LoudnessProfile fromFile(in.samplerate);
        sf_count_t got = 0;
        while ((got = sf_readf_short(file, frames.data(), kRate)) > 0) {
            fromFile.add(
                meter.feed(Samples(std::span(frames).first(static_cast<std::size_t>(got) * kChannels))));
        }
        fromFile.add(meter.finish());
        sf_close(file);
        split = findTrackBoundaries(fromFile, GapSettings{});
    });
    row("file: read(2) of the bytes (reference)", plainFile, plainFile);
    row("file: libsndfile reads + loudness + gaps", viaSndfile, plainFile);
    ::unlink(path.c_str());
    if (split.boundaries.size() + 1 != static_cast<std::size_t>(tracks)) {
        std::fprintf(stderr, "the file gave %zu boundaries for %d tracks\n", split.boundaries.size(), tracks);
        return 1;
    }

    // The settings change: the same profile searched again.
    const GapSettings others[] = {{-45, 1.5}, {-40, 1.0}, {-50, 2.0}, {-30, 0.5}};
    const double again = bestOf3([&] {
                             for (const GapSettings& settings : others) {
                                 split = findTrackBoundaries(profile, settings);
                             }
                         }) /
                         std::size(others);
    std::printf("\nsettings changed: gaps found again from the profile in %.1f us (%zu windows)\n",
                again * 1e6, profile.db.size());

    // The trigger, fed 0.1 s capture buffers of the whole side, next to the copy of each buffer
    // into the capture's own memory that a capture makes anyway.
    const auto* raw = reinterpret_cast<const std::byte*>(side.data());
    const std::size_t buffer = static_cast<std::size_t>(kRate / 10) * kChannels * 2;
    std::vector<std::byte> captureBuffer(buffer);
    const double plainCapture = bestOf3([&] {
        for (std::size_t at = 0; at + buffer <= bytes; at += buffer) {
            std::memcpy(captureBuffer.data(), raw + at, buffer);
        }
    });
    std::int64_t kept = 0;
    const double trigger = bestOf3([&] {
        SoundTrigger soundTrigger(kRate, kChannels, {.levelDb = -40});
        PrerollRing ring(kChannels * 2, soundTrigger.ringFrames(kRate / 10));
        for (std::size_t at = 0; at + buffer <= bytes; at += buffer) {
            const std::span<const std::byte> frames(raw + at, buffer);
            ring.push(frames);
            for (const TriggerEvent& e : soundTrigger.feed(*Samples::pcm(frames, 16))) {
                if (e.kind == TriggerEvent::Kind::Keep) {
                    kept += e.to - e.from;
                }
            }
        }
    });
    std::printf(
        "trigger + pre-roll ring: %.1f us per second of audio (%.4f%% of a core), %.1fx the copy of the "
        "buffers (%.1f us per second)\n",
        trigger / seconds * 1e6, trigger / seconds * 100, trigger / plainCapture,
        plainCapture / seconds * 1e6);
    return kept > 0 ? 0 : 1;
}
