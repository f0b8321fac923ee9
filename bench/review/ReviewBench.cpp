// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The review's engines against the figures the issue sets:
//   bench_review make FILE SECONDS [sparse]   a 44100 Hz 16-bit stereo take in the recorder's layout,
//                                             in parts at the WAV limit; noise, or sparse zeros
//   bench_review waveform FILE [loudness]     the whole take's waveform, timed; with its loudness
//                                             profile measured on the same pass
//   bench_review open FILE                    open time, repaint gaps while it fills, memory
//   bench_review picture FILE PNG             the waveform view of a take, as a picture
//   bench_review latency FILE SINK RUNS       from play() to the first sound on SINK's monitor
//   bench_review cpu FILE SECONDS             processor time of playing, and of the same time idle
//   bench_review window FILE [timed]          the review window on FILE, on the default sound server;
//                                             timed: from its making to its first paint and to the
//                                             take being open, then it closes
// Each prints one line per figure.

#include "platform/playback/Playback.h"
#include "platform/pulse/SoundServer.h"
#include "recorder/analysis/Gaps.h"
#include "recorder/review/ReviewWindow.h"
#include "recorder/review/TakeAudio.h"
#include "recorder/review/WaveformSummary.h"
#include "recorder/review/WaveformView.h"
#include "recorder/wavfile/TakeParts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPixmap>
#include <QTimer>

#include <pulse/error.h>
#include <pulse/simple.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return s(usage.ru_utime) + s(usage.ru_stime);
}

double peakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

double residentMiB() {
    FILE* statm = std::fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (statm != nullptr) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void putLE32(unsigned char* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<unsigned char>(v >> (8 * i));
    }
}

// The recorder's 46-byte header for 44100 Hz 16-bit stereo holding `data` bytes.
std::vector<unsigned char> header(std::uint32_t data) {
    std::vector<unsigned char> h(46, 0);
    std::memcpy(h.data(), "RIFF", 4);
    putLE32(h.data() + 4, 38 + data);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    putLE32(h.data() + 16, 18);
    const unsigned char fmt[18] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0, 4, 0, 16, 0, 18, 0};
    std::memcpy(h.data() + 20, fmt, 18);
    std::memcpy(h.data() + 38, "data", 4);
    putLE32(h.data() + 42, data);
    return h;
}

int make(const char* path, double seconds, bool sparse) {
    const std::uint64_t total = static_cast<std::uint64_t>(seconds * 44100) * 4;
    const std::uint64_t perPart = (0xFFFFFFFFull - 8 - 38) / 4 * 4;
    std::uint64_t done = 0;
    std::uint64_t x = 0x9E3779B97F4A7C15ull;
    std::vector<std::uint32_t> block(1 << 20);
    for (int part = 1; done < total; ++part) {
        const std::uint64_t bytes = std::min(perPart, total - done);
        const QByteArray name = basSoundRec_2::takePartPath(QString::fromLocal8Bit(path), part).toLocal8Bit();
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const auto h = header(static_cast<std::uint32_t>(bytes));
        if (fd < 0 || ::write(fd, h.data(), h.size()) != static_cast<ssize_t>(h.size())) {
            std::perror(name.constData());
            return 1;
        }
        if (sparse) {
            if (::ftruncate(fd, static_cast<off_t>(46 + bytes)) != 0) {
                std::perror("ftruncate");
                return 1;
            }
        } else {
            for (std::uint64_t left = bytes; left > 0;) {
                for (auto& word : block) {
                    x ^= x << 13;
                    x ^= x >> 7;
                    x ^= x << 17;
                    word = static_cast<std::uint32_t>(x) & 0x3FFF3FFF;  // quieter noise, both channels
                }
                const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size() * 4));
                if (::write(fd, block.data(), n) != static_cast<ssize_t>(n)) {
                    std::perror("write");
                    return 1;
                }
                left -= n;
            }
        }
        ::close(fd);
        done += bytes;
    }
    std::printf("made %s: %.0f s, %llu bytes of audio\n", path, seconds, static_cast<unsigned long long>(total));
    return 0;
}

std::shared_ptr<review::TakeAudio> openTake(const char* path) {
    auto opened = review::TakeAudio::open(QString::fromLocal8Bit(path));
    if (!opened.audio) {
        std::fprintf(stderr, "%s\n", opened.error.toLocal8Bit().constData());
    }
    return opened.audio;
}

int waveform(const char* path, bool loudness) {
    const auto audio = openTake(path);
    if (!audio) {
        return 1;
    }
    const double cpuBefore = processorSeconds();
    const auto start = Clock::now();
    review::WaveformSummary summary(audio, loudness ? review::WaveformSummary::Loudness::Measure
                                                    : review::WaveformSummary::Loudness::Skip);
    while (!summary.complete()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double wall = secondsSince(start);
    const double length = static_cast<double>(audio->frames()) / audio->format().rate;
    const double bytes = static_cast<double>(audio->frames()) * audio->format().channels * audio->bitsPerSample() / 8;
    std::printf("waveform: %.3f s for %.1f s of sound (%.0fx real time, %.0f MB/s), processor %.3f s\n", wall, length,
                length / wall, bytes / wall / 1e6, processorSeconds() - cpuBefore);
    if (loudness) {
        // What a change of "Silêncio mínimo" or "Limite" costs once the profile is there.
        const auto searchStart = Clock::now();
        const auto split = analysis::findTrackBoundaries(*summary.loudness(), {});
        std::printf("waveform: gap search %.4f s over %zu windows, %zu boundaries\n",
                    secondsSince(searchStart), summary.loudness()->db.size(), split.boundaries.size());
    }
    return 0;
}

int open(const char* path) {
    const double baseline = residentMiB();
    const auto start = Clock::now();
    const auto audio = openTake(path);
    if (!audio) {
        return 1;
    }
    auto summary = std::make_shared<review::WaveformSummary>(audio);
    review::WaveformView view;
    view.resize(1200, 200);
    view.setSummary(summary);
    view.show();
    // The first paint of the view as it opens.
    QPixmap first = view.grab();
    const double opened = secondsSince(start);

    // Repaints while it fills, timed by the view's own paint events.
    struct Gaps : QObject {
        Clock::time_point last = Clock::now();
        double longest = 0;
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                const auto now = Clock::now();
                longest = std::max(longest, std::chrono::duration<double>(now - last).count());
                last = now;
                ++paints;
            }
            return false;
        }
    } gaps;
    view.installEventFilter(&gaps);
    double peakResident = 0;
    while (!summary->complete()) {
        wait(5);
        peakResident = std::max(peakResident, residentMiB());
    }
    const double filled = secondsSince(start);
    std::printf("open: %.3f s to the first picture of %.1f h in %d part(s); filled in %.2f s\n", opened,
                static_cast<double>(audio->frames()) / audio->format().rate / 3600, audio->partCount(), filled);
    std::printf("open: %d repaints while filling, longest gap %.1f ms\n", gaps.paints, gaps.longest * 1000);
    std::printf("open: waveform %.1f MiB (bins of %llu frames); resident growth %.1f MiB, peak resident %.1f MiB\n",
                summary->memoryBytes() / (1024.0 * 1024.0), static_cast<unsigned long long>(summary->binFrames()),
                peakResident - baseline, peakMiB());
    return 0;
}

int picture(const char* path, const char* png) {
    const auto audio = openTake(path);
    if (!audio) {
        return 1;
    }
    auto summary = std::make_shared<review::WaveformSummary>(audio);
    while (!summary->complete()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    review::WaveformView view;
    view.resize(900, 220);
    view.setSummary(summary);
    view.setPlayhead(audio->frames() / 3);
    return view.grab().save(QString::fromLocal8Bit(png)) ? 0 : 1;
}

// Reads SINK's monitor and notes when the first sound (a non-zero sample) arrives.
struct FirstSound {
    explicit FirstSound(const std::string& sink) {
        const pa_sample_spec spec{PA_SAMPLE_S16LE, 44100, 2};
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = 44100 * 4 / 500;  // 2 ms
        int error = 0;
        simple = pa_simple_new(nullptr, "bench", PA_STREAM_RECORD, (sink + ".monitor").c_str(), "first sound", &spec,
                               nullptr, &attr, &error);
        if (simple == nullptr) {
            std::fprintf(stderr, "monitor: %s\n", pa_strerror(error));
            return;
        }
        reader = std::thread([this] {
            std::vector<std::int16_t> samples(44100 * 2 / 500);
            while (!quit.load()) {
                int error = 0;
                if (pa_simple_read(simple, samples.data(), samples.size() * 2, &error) < 0) {
                    return;
                }
                const auto now = Clock::now();
                if (std::any_of(samples.begin(), samples.end(), [](std::int16_t s) { return s != 0; })) {
                    if (!heard.exchange(true)) {
                        at = now;
                    }
                } else {
                    silentSince = now;
                }
            }
        });
    }
    ~FirstSound() {
        quit = true;
        if (reader.joinable()) {
            reader.join();
        }
        if (simple != nullptr) {
            pa_simple_free(simple);
        }
    }
    pa_simple* simple = nullptr;
    std::thread reader;
    std::atomic<bool> quit{false};
    std::atomic<bool> heard{false};
    Clock::time_point at;
    std::atomic<Clock::time_point> silentSince{Clock::now()};
};

int latency(const char* path, const char* sink, int runs) {
    const auto audio = openTake(path);
    if (!audio) {
        return 1;
    }
    auto connection = platform::pulse::connectToSoundServer(QStringLiteral("Tolvane bench"));
    wait(500);
    const auto playback = platform::playback::makePulseAudioPlayback(connection, audio);
    FirstSound monitor(sink);
    if (monitor.simple == nullptr) {
        return 1;
    }
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        wait(400);  // the monitor hears silence again
        monitor.heard = false;
        const auto start = Clock::now();
        playback->play(static_cast<std::uint64_t>(run) * audio->format().rate, audio->frames());
        while (!monitor.heard.load() && secondsSince(start) < 5) {
            wait(1);
        }
        times.push_back(std::chrono::duration<double>(monitor.at - start).count() * 1000);
        playback->pause();
    }
    std::sort(times.begin(), times.end());
    std::printf("latency: play() to the first sound on the monitor over %d runs: median %.1f ms, worst %.1f ms, best %.1f ms\n",
                runs, times[times.size() / 2], times.back(), times.front());
    return 0;
}

int cpu(const char* path, int seconds) {
    const auto audio = openTake(path);
    if (!audio) {
        return 1;
    }
    auto connection = platform::pulse::connectToSoundServer(QStringLiteral("Tolvane bench"));
    wait(500);
    const auto playback = platform::playback::makePulseAudioPlayback(connection, audio);
    const auto measure = [&](bool play) {
        if (play) {
            playback->play(0, audio->frames());
        }
        wait(1000);
        const double before = processorSeconds();
        const auto start = Clock::now();
        wait(seconds * 1000);
        const double share = 100 * (processorSeconds() - before) / secondsSince(start);
        if (play) {
            playback->pause();
        }
        return share;
    };
    const double idle = measure(false);
    const double playing = measure(true);
    std::printf("cpu: idle %.2f %% of a core, playing %.2f %%, playback costs %.2f %% of a core\n", idle, playing,
                playing - idle);
    return 0;
}

int window(const char* path, bool timed) {
    const auto connection = platform::pulse::connectToSoundServer(QStringLiteral("Tolvane bench"));
    review::ReviewChoices choices;
    const auto start = Clock::now();
    review::ReviewWindow window(
        {QString::fromLocal8Bit(path),
         [&](auto source) { return platform::playback::makePulseAudioPlayback(connection, source); },
         nullptr,
         {}},
        &choices);
    window.resize(900, 420);
    if (timed) {
        window.show();
        window.grab();
        const double painted = secondsSince(start);
        while (!window.isOpen()) {
            wait(1);
        }
        std::printf("window: first paint %.3f s, take open %.3f s (%.1f h)\n", painted, secondsSince(start),
                    static_cast<double>(window.frames()) / 44100 / 3600);
        return 0;
    }
    window.exec();
    if (choices.selection) {
        std::printf("window: selection %lld to %lld\n", static_cast<long long>(choices.selection->from),
                    static_cast<long long>(choices.selection->to));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make" && argc >= 4) {
        return make(argv[2], std::atof(argv[3]), argc > 4 && std::strcmp(argv[4], "sparse") == 0);
    }
    if (mode == "waveform" && argc >= 3) {
        return waveform(argv[2], argc > 3 && std::strcmp(argv[3], "loudness") == 0);
    }
    if (mode == "open" && argc >= 3) {
        return open(argv[2]);
    }
    if (mode == "picture" && argc >= 4) {
        return picture(argv[2], argv[3]);
    }
    if (mode == "latency" && argc >= 5) {
        return latency(argv[2], argv[3], std::atoi(argv[4]));
    }
    if (mode == "cpu" && argc >= 4) {
        return cpu(argv[2], std::atoi(argv[3]));
    }
    if (mode == "window" && argc >= 3) {
        return window(argv[2], argc > 3 && std::strcmp(argv[3], "timed") == 0);
    }
    std::fprintf(stderr, "usage: see the top of %s\n", __FILE__);
    return 2;
}
