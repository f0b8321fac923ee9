// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The loudness the track finder and the sound trigger both judge by: the RMS of each channel over
// consecutive 50 ms windows, in dBFS relative to full scale (a full-scale square wave reads 0 dBFS,
// a full-scale sine -3.01 dBFS), a window's loudness being its louder channel. RMS, not peaks: one
// click at -6 dBFS peak lifts a 44100 Hz window to only about -40 dBFS.
//
// Windows start at the stream's first frame and follow each other without overlap; the last one
// of a stream may be shorter and is measured over the frames it has (LoudnessMeter::finish).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace analysis {

inline constexpr int kMaxChannels = 2;
inline constexpr double kWindowSeconds = 0.05;
// What digital silence reads: below anything a 24-bit sample can carry.
inline constexpr float kSilentDb = -200.0F;

// Frames in one window at `rate`: rate x 0.05 rounded half up (551 at 11025 Hz, 1103 at 22050 Hz).
std::int32_t windowFrames(int rate);
// Frames in `seconds` at `rate`, to the nearest frame.
std::int64_t framesIn(double seconds, int rate);
// dBFS of a mean square relative to full scale squared; kSilentDb at and below 1e-20.
float dbfsOfMeanSquare(double meanSquare);

// A read-only view of interleaved samples as the takes and the capture hold them, with the value
// that stands for full scale. It holds no copy: the samples must outlive it.
class Samples {
public:
    enum class Encoding { Int16, Int24, Int32, Float32 };

    // 16-bit samples: full scale 32768.
    explicit Samples(std::span<const std::int16_t> samples);
    // Samples held in 32-bit integers with the value of full scale: 8388608 for 24-bit samples in
    // the low bits, 2147483648 for samples in the high bits (libsndfile's int reads).
    Samples(std::span<const std::int32_t> samples, double fullScale);
    Samples(std::span<const float> samples, double fullScale = 1.0);
    // Little-endian PCM bytes as a capture buffer or a take file holds them, 16 or 24 bits a
    // sample; nothing for any other width.
    static std::optional<Samples> pcm(std::span<const std::byte> bytes, int bitsPerSample);

    Encoding encoding() const { return encoding_; }
    std::size_t count() const { return count_; }
    double fullScale() const { return fullScale_; }
    const std::byte* data() const { return data_; }

private:
    Samples(Encoding encoding, const std::byte* data, std::size_t count, double fullScale)
        : encoding_(encoding), data_(data), count_(count), fullScale_(fullScale) {}

    Encoding encoding_;
    const std::byte* data_;
    std::size_t count_;
    double fullScale_;
};

struct WindowLoudness {
    std::int64_t start = 0;   // the window's first frame in the stream
    std::int32_t frames = 0;  // a whole window's, fewer only for the last window of a stream
    std::array<float, kMaxChannels> channelDb{kSilentDb, kSilentDb};  // a mono stream's second reads silent
    float db = kSilentDb;                                             // the louder channel

    std::int64_t end() const { return start + frames; }
};

// Measures a stream fed in blocks of any length, window by window.
class LoudnessMeter {
public:
    // `rate` above 0, `channels` 1 or 2 (see supports()).
    LoudnessMeter(int rate, int channels);

    static bool supports(int rate, int channels) {
        return rate > 0 && channels >= 1 && channels <= kMaxChannels;
    }

    // Measures the next frames of the stream: whole frames (a trailing partial frame is not read).
    // The windows this block completed, in order; the span lasts until the next call.
    std::span<const WindowLoudness> feed(const Samples& block);
    // The stream has ended: the unfinished window measured over the frames it has, or nothing when
    // the last window was whole. The meter then starts a new window at the frame after it.
    std::optional<WindowLoudness> finish();

    int rate() const { return rate_; }
    int channels() const { return channels_; }
    std::int32_t windowFrames() const { return window_; }
    // Frames fed since construction.
    std::int64_t framesSeen() const { return seen_; }

private:
    WindowLoudness closeWindow();

    int rate_;
    int channels_;
    std::int32_t window_;
    std::int64_t seen_ = 0;
    std::int32_t filled_ = 0;                        // frames of the window under way
    std::array<double, kMaxChannels> sumSquares_{};  // of that window, relative to full scale
    std::vector<WindowLoudness> completed_;
};

// The loudness of a whole stretch, window by window: measured once (on a worker thread, feeding a
// LoudnessMeter and adding what it returns) and searched again at no cost whenever the gap
// settings change.
struct LoudnessProfile {
    int rate = 0;
    std::int32_t windowFrames = 0;
    std::int64_t frames = 0;  // frames measured
    std::vector<float> db;    // each window's loudness, in stream order

    LoudnessProfile() = default;
    explicit LoudnessProfile(int rate);

    // Appends windows in stream order, as the meter returns them.
    void add(const WindowLoudness& window);
    void add(std::span<const WindowLoudness> windows);
    void add(const std::optional<WindowLoudness>& window);

    // The profile of samples held in memory.
    static LoudnessProfile of(const Samples& samples, int rate, int channels);
};

}  // namespace analysis
