// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The formats, the take read as one run of frames, and one file of a save written and read back,
// through libsndfile.
#include "platform/encoding/AudioFiles.h"
#include "platform/encoding/Encoding.h"
#include "platform/encoding/Resampler.h"

#include <QCoreApplication>
#include <QFile>

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::encoding {
namespace {

using Outcome = EncodeResult::Outcome;
using Step = EncodeResult::Step;
using detail::failure;
using detail::Failure;

constexpr std::array kOpusRates{8000, 12000, 16000, 24000, 48000};
constexpr std::array kMp3Rates{8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

// One row per format, in the order the save dialog offers them.
//   Lossless formats keep the take's samples and bits: WAV as the take keeps them, FLAC at the
//   library's default level (5), the usual balance of size and speed.
//   The lossy formats aim at about 160 kbit/s for 44100 Hz stereo, where music is transparent to
//   most listeners: Vorbis at quality 5 (libsndfile's level 0.5), MP3 as LAME's VBR preset V4
//   (level 0.4, about 165 kbit/s), Opus at 80 kbit/s per channel (level derived from libsndfile's
//   6 + 250 kbit/s per channel scale). Vorbis and MP3 scale with the sample rate by themselves; Opus
//   is told a bit rate, so it gets less for lower-rate takes. Tags and markers are written after
//   the audio, through TagLib (Tagging.h), for every format alike.
struct FormatRow {
    Format format;
    const char* key;
    const char* filter;
    int sndfile;  // container and codec; a lossless format's bits come from the take
    bool lossless;
    double level;  // SFC_SET_COMPRESSION_LEVEL; negative: the library's default
    bool variableBitRate;
    std::span<const int> rates;  // the rates the format takes; empty: any
};

constexpr std::array kFormats{
    FormatRow{Format::Wav, "wav", "*.WAV", SF_FORMAT_WAV, true, -1, false, {}},
    FormatRow{Format::Flac, "flac", "FLAC (*.flac)", SF_FORMAT_FLAC, true, -1, false, {}},
    FormatRow{Format::OggVorbis,
              "ogg",
              "Ogg Vorbis (*.ogg)",
              SF_FORMAT_OGG | SF_FORMAT_VORBIS,
              false,
              0.5,
              false,
              {}},
    FormatRow{Format::Opus, "opus", "Opus (*.opus)", SF_FORMAT_OGG | SF_FORMAT_OPUS, false, -1, false,
              kOpusRates},
    FormatRow{Format::Mp3, "mp3", "MP3 (*.mp3)", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, false, 0.4, true,
              kMp3Rates},
};

constexpr int kOpusBitsPerChannel = 80000;
// Lossless saves go in large blocks, each read back and compared as one: a WAV save is then as fast
// as a copy. The lossy encoders take smaller ones.
constexpr sf_count_t kLosslessBlockFrames = 1 << 17;
constexpr sf_count_t kLossyBlockFrames = 4096;

const FormatRow& rowOf(Format format) {
    return *std::find_if(kFormats.begin(), kFormats.end(),
                         [&](const FormatRow& r) { return r.format == format; });
}

// The library's format for a file of `row` from a take of `bits`; 0 when it cannot keep them.
int sndfileFormat(const FormatRow& row, int bits) {
    if (!row.lossless) {
        return row.sndfile;
    }
    return bits == 16 ? row.sndfile | SF_FORMAT_PCM_16 : bits == 24 ? row.sndfile | SF_FORMAT_PCM_24 : 0;
}

int bitsOf(int sndfileFormat) {
    switch (sndfileFormat & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
            return 8;
        case SF_FORMAT_PCM_16:
            return 16;
        case SF_FORMAT_PCM_24:
            return 24;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT:
            return 32;
        default:
            return 0;
    }
}

// libsndfile reaches files through these, so that every failed write keeps its errno (the library
// itself only counts bytes) and the output is written through the descriptor created for it.
struct FdStream {
    int fd = -1;
    sf_count_t position = 0;
    int error = 0;
    sf_count_t written = 0;  // bytes written since the disk was last told to start on them
};

// A save's audio goes to the disk while the save goes on, so the flush at its end has little left
// to wait for: a long save then takes about as long as the disk needs, not that and a flush after.
constexpr sf_count_t kWriteBehindBytes = sf_count_t{8} << 20;

sf_count_t fdLength(void* user) {
    struct stat st {};
    return ::fstat(static_cast<FdStream*>(user)->fd, &st) == 0 ? st.st_size : -1;
}
sf_count_t fdSeek(sf_count_t offset, int whence, void* user) {
    auto* s = static_cast<FdStream*>(user);
    const sf_count_t base = whence == SEEK_CUR ? s->position : whence == SEEK_END ? fdLength(user) : 0;
    if (base < 0 || base + offset < 0) {
        return -1;
    }
    s->position = base + offset;
    return s->position;
}
sf_count_t fdRead(void* into, sf_count_t count, void* user) {
    auto* s = static_cast<FdStream*>(user);
    sf_count_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(s->fd, static_cast<char*>(into) + done,
                                  static_cast<std::size_t>(count - done), s->position);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n < 0 && s->error == 0) {
                s->error = errno;
            }
            break;
        }
        done += n;
        s->position += n;
    }
    return done;
}
sf_count_t fdWrite(const void* from, sf_count_t count, void* user) {
    auto* s = static_cast<FdStream*>(user);
    sf_count_t done = 0;
    while (done < count && s->error == 0) {
        const ssize_t n = ::pwrite(s->fd, static_cast<const char*>(from) + done,
                                   static_cast<std::size_t>(count - done), s->position);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            s->error = n < 0 ? errno : EIO;
            break;
        }
        done += n;
        s->position += n;
    }
    s->written += done;
    if (s->written >= kWriteBehindBytes) {
        // Only a start, not a wait; where the file system cannot, the flush does it all at the end.
        ::sync_file_range(s->fd, s->position - s->written, s->written, SYNC_FILE_RANGE_WRITE);
        s->written = 0;
    }
    return done;
}
sf_count_t fdTell(void* user) {
    return static_cast<FdStream*>(user)->position;
}
SF_VIRTUAL_IO fdIo{fdLength, fdSeek, fdRead, fdWrite, fdTell};

// A trial encoding goes to memory.
struct MemoryStream {
    std::vector<char> bytes;
    sf_count_t position = 0;
};
sf_count_t memLength(void* user) {
    return static_cast<sf_count_t>(static_cast<MemoryStream*>(user)->bytes.size());
}
sf_count_t memSeek(sf_count_t offset, int whence, void* user) {
    auto* m = static_cast<MemoryStream*>(user);
    const sf_count_t base = whence == SEEK_CUR ? m->position : whence == SEEK_END ? memLength(user) : 0;
    if (base + offset < 0) {
        return -1;
    }
    m->position = base + offset;
    return m->position;
}
sf_count_t memRead(void* into, sf_count_t count, void* user) {
    auto* m = static_cast<MemoryStream*>(user);
    const sf_count_t n = std::clamp<sf_count_t>(memLength(user) - m->position, 0, count);
    std::memcpy(into, m->bytes.data() + m->position, static_cast<std::size_t>(n));
    m->position += n;
    return n;
}
sf_count_t memWrite(const void* from, sf_count_t count, void* user) {
    auto* m = static_cast<MemoryStream*>(user);
    const auto end = static_cast<std::size_t>(m->position + count);
    if (m->bytes.size() < end) {
        m->bytes.resize(end);
    }
    std::memcpy(m->bytes.data() + m->position, from, static_cast<std::size_t>(count));
    m->position += count;
    return count;
}
sf_count_t memTell(void* user) {
    return static_cast<MemoryStream*>(user)->position;
}
SF_VIRTUAL_IO memoryIo{memLength, memSeek, memRead, memWrite, memTell};

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using Sndfile = std::unique_ptr<SNDFILE, SndfileCloser>;

// Closes now and says whether the library finished the file (encoders write their last blocks and
// headers here).
int closeNow(Sndfile& file) {
    return sf_close(file.release());
}

// Quality, before the first frame is written. False when the library refused a setting: the file
// would not be what we promise.
bool configure(SNDFILE* file, const FormatRow& row, int takeRate) {
    double level = row.level;
    if (row.format == Format::Opus) {
        int original = takeRate;
        if (sf_command(file, SFC_SET_ORIGINAL_SAMPLERATE, &original, sizeof original) != SF_TRUE) {
            return false;
        }
        // A take of a lower rate holds less, and needs fewer bits for it.
        const double perChannel = kOpusBitsPerChannel * std::min(1.0, takeRate / 44100.0);
        level = 1.0 - (perChannel - 6000.0) / 250000.0;
    }
    if (level >= 0 && sf_command(file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) != SF_TRUE) {
        return false;
    }
    if (row.variableBitRate) {
        // After the level: LAME then takes the level as its VBR quality.
        int mode = SF_BITRATE_MODE_VARIABLE;
        if (sf_command(file, SFC_SET_BITRATE_MODE, &mode, sizeof mode) != SF_TRUE) {
            return false;
        }
    }
    return true;
}

bool listed(int countCommand, int itemCommand, int format) {
    int count = 0;
    sf_command(nullptr, countCommand, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, itemCommand, &info, sizeof info) == 0 && info.format == format) {
            return true;
        }
    }
    return false;
}

// The library says it knows the format, accepts it for such a take at the rate the format gets,
// and really writes a short one.
bool canWrite(const FormatRow& row, const AudioFormat& take) {
    const int format = sndfileFormat(row, take.bits);
    if (format == 0 || take.sampleRate <= 0 || take.channels <= 0 ||
        !listed(SFC_GET_FORMAT_MAJOR_COUNT, SFC_GET_FORMAT_MAJOR, format & SF_FORMAT_TYPEMASK) ||
        !listed(SFC_GET_FORMAT_SUBTYPE_COUNT, SFC_GET_FORMAT_SUBTYPE, format & SF_FORMAT_SUBMASK)) {
        return false;
    }
    SF_INFO info{};
    info.samplerate = encodedRate(row.format, take.sampleRate);
    info.channels = take.channels;
    info.format = format;
    if (!sf_format_check(&info)) {
        return false;
    }
    MemoryStream memory;
    Sndfile file(sf_open_virtual(&memoryIo, SFM_WRITE, &info, &memory));
    if (!file || !configure(file.get(), row, take.sampleRate)) {
        return false;
    }
    const sf_count_t frames = info.samplerate / 10;
    std::vector<float> silence(static_cast<std::size_t>(frames * take.channels), 0.0f);
    if (sf_writef_float(file.get(), silence.data(), frames) != frames) {
        return false;
    }
    return closeNow(file) == 0 && !memory.bytes.empty();
}

EncodeResult cancelled() {
    EncodeResult result;
    result.outcome = Outcome::Cancelled;
    return result;
}

QString libraryReason(SNDFILE* file) {
    return QString::fromUtf8(sf_strerror(file));
}

QString inWords(const char* text) {
    return QCoreApplication::translate("Encoding", text);
}

// Tells a changed block from the one written: every 8 bytes go through a step that is one-to-one
// for any state, in four lanes side by side, so a block with one word changed never matches and
// any other change matches by chance once in 2^64.
std::uint64_t digestOf(const void* data, std::size_t length) {
    constexpr std::uint64_t kOdd = 0x9E3779B97F4A7C15ull;
    std::array<std::uint64_t, 4> lane{0x243F6A8885A308D3ull, 0x13198A2E03707344ull, 0xA4093822299F31D0ull,
                                      0x082EFA98EC4E6C89ull};
    const auto* bytes = static_cast<const unsigned char*>(data);
    const auto step = [&](std::size_t l, std::uint64_t word) {
        lane[l] = (lane[l] ^ word) * kOdd;
        lane[l] ^= lane[l] >> 29;
    };
    std::size_t at = 0;
    for (; at + 32 <= length; at += 32) {
        for (std::size_t l = 0; l < 4; ++l) {
            std::uint64_t word;
            std::memcpy(&word, bytes + at + 8 * l, 8);
            step(l, word);
        }
    }
    std::array<unsigned char, 32> tail{};
    std::memcpy(tail.data(), bytes + at, length - at);
    for (std::size_t l = 0; l < 4; ++l) {
        std::uint64_t word;
        std::memcpy(&word, tail.data() + 8 * l, 8);
        step(l, word);
    }
    std::uint64_t digest = length;
    for (std::size_t l = 0; l < 4; ++l) {
        digest = (digest ^ lane[l]) * kOdd;
        digest ^= digest >> 31;
    }
    return digest;
}

// How a file's audio goes from the take into it: the take's bytes as they are (a WAV from WAV
// parts), its samples exactly (FLAC), or as floats for an encoder that changes them.
enum class Path { Bytes, Samples, Floats };

}  // namespace

namespace detail {

EncodeResult failure(Step step, int error, QString detail) {
    EncodeResult result;
    result.outcome = Outcome::Failed;
    result.step = step;
    result.error = error;
    result.detail = std::move(detail);
    if (result.error == 0 && result.detail.isEmpty()) {
        result.error = EIO;
    }
    return result;
}

struct TakeSource::Impl {
    struct Part {
        Sndfile file;
        SF_INFO info{};
    };
    std::vector<Part> parts;
    AudioFormat format;
    int sndfileFormat = 0;
    std::uint64_t frames = 0;
    int blockAlign = 0;
    std::size_t current = 0;
    SNDFILE* failed = nullptr;

    // From take frame `frame` on; a read error names its part.
    bool seek(std::uint64_t frame) {
        current = 0;
        std::uint64_t start = 0;
        while (current + 1 < parts.size() &&
               frame >= start + static_cast<std::uint64_t>(parts[current].info.frames)) {
            start += static_cast<std::uint64_t>(parts[current].info.frames);
            ++current;
        }
        if (sf_seek(parts[current].file.get(), static_cast<sf_count_t>(frame - start), SEEK_SET) < 0) {
            failed = parts[current].file.get();
            return false;
        }
        return true;
    }

    // Up to `frames` frames, across parts; fewer only at the end of the take, negative on a read
    // error. `readPart(file, done, count)` reads up to `count` frames of one part after `done`.
    template <typename ReadPart>
    sf_count_t read(sf_count_t frames, ReadPart readPart) {
        sf_count_t done = 0;
        while (done < frames && current < parts.size()) {
            SNDFILE* file = parts[current].file.get();
            const sf_count_t n = readPart(file, done, frames - done);
            if (n < 0 || sf_error(file) != SF_ERR_NO_ERROR) {
                failed = file;
                return -1;
            }
            if (n == 0) {
                if (++current < parts.size() && sf_seek(parts[current].file.get(), 0, SEEK_SET) < 0) {
                    failed = parts[current].file.get();
                    return -1;
                }
                continue;
            }
            done += n;
        }
        return done;
    }

    // Why the last read failed, in the library's words; the library only keeps the reason with the
    // file that failed.
    QString reason() const {
        return failed != nullptr ? libraryReason(failed)
                                 : inWords(QT_TRANSLATE_NOOP(
                                       "Encoding", "a gravação ficou mais curta durante o salvamento"));
    }
};

TakeSource::TakeSource() : d(std::make_unique<Impl>()) {}
TakeSource::~TakeSource() = default;

const AudioFormat& TakeSource::format() const {
    return d->format;
}
std::uint64_t TakeSource::frames() const {
    return d->frames;
}
int TakeSource::blockAlign() const {
    return d->blockAlign;
}

Failure TakeSource::open(const QStringList& parts) {
    if (parts.isEmpty()) {
        return failure(Step::ReadTake, ENOENT);
    }
    for (const QString& path : parts) {
        Impl::Part part;
        part.file.reset(sf_open(QFile::encodeName(path).constData(), SFM_READ, &part.info));
        if (!part.file) {
            return QFile::exists(path) ? failure(Step::ReadTake, 0, libraryReason(nullptr))
                                       : failure(Step::ReadTake, ENOENT);
        }
        if (!d->parts.empty() && (part.info.channels != d->parts.front().info.channels ||
                                  part.info.samplerate != d->parts.front().info.samplerate ||
                                  part.info.format != d->parts.front().info.format)) {
            return failure(
                Step::ReadTake, 0,
                inWords(QT_TRANSLATE_NOOP("Encoding", "as partes da gravação têm formatos diferentes")));
        }
        d->frames += static_cast<std::uint64_t>(part.info.frames);
        d->parts.push_back(std::move(part));
    }
    const SF_INFO& first = d->parts.front().info;
    d->sndfileFormat = first.format;
    d->format = {first.samplerate, first.channels, bitsOf(first.format)};
    d->blockAlign = first.channels * std::max(d->format.bits, 8) / 8;
    return std::nullopt;
}

std::uint64_t wavHeaderBytes(const AudioFormat& take) {
    SF_INFO info{};
    info.samplerate = take.sampleRate;
    info.channels = take.channels;
    info.format = sndfileFormat(rowOf(Format::Wav), take.bits);
    MemoryStream memory;
    Sndfile file(sf_open_virtual(&memoryIo, SFM_WRITE, &info, &memory));
    return file && closeNow(file) == 0 ? memory.bytes.size() : 0;
}

Failure saveAudio(TakeSource& takeSource, Format format, std::uint64_t begin, std::uint64_t end, int fd,
                  const std::function<Failure()>& tag, Work& work) {
    TakeSource::Impl& take = takeSource.impl();
    const FormatRow& row = rowOf(format);
    const AudioFormat& in = take.format;
    const int channels = in.channels;
    const int outFormat = sndfileFormat(row, in.bits);
    if (outFormat == 0) {
        return failure(Step::Encode, 0,
                       QCoreApplication::translate("Encoding",
                                                   "a gravação tem %1 bits por amostra, e só gravações de "
                                                   "16 ou 24 bits podem ser salvas sem perdas")
                           .arg(in.bits));
    }
    // PCM in a WAV file, with or without the extensible header, is the very bytes a WAV file holds.
    const int container = take.sndfileFormat & SF_FORMAT_TYPEMASK;
    const bool takeIsWav = (container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX) &&
                           (take.sndfileFormat & SF_FORMAT_ENDMASK) == SF_ENDIAN_FILE;
    const Path path = !row.lossless                        ? Path::Floats
                      : format == Format::Wav && takeIsWav ? Path::Bytes
                                                           : Path::Samples;
    const int rate = encodedRate(format, in.sampleRate);
    const std::uint64_t frames = end - begin;
    const std::uint64_t expected =
        rate == in.sampleRate ? frames : Resampler::outputFrames(frames, in.sampleRate, rate);
    const sf_count_t block = row.lossless ? kLosslessBlockFrames : kLossyBlockFrames;
    const auto blockAlign = static_cast<std::size_t>(take.blockAlign);
    if (!take.seek(begin)) {
        return failure(Step::ReadTake, 0, take.reason());
    }

    FdStream sink{fd};
    SF_INFO outInfo{};
    outInfo.samplerate = rate;
    outInfo.channels = channels;
    outInfo.format = outFormat;
    Sndfile out(sf_open_virtual(&fdIo, SFM_WRITE, &outInfo, &sink));
    if (!out) {
        return failure(Step::Encode, sink.error, sink.error != 0 ? QString() : libraryReason(nullptr));
    }
    if (!configure(out.get(), row, in.sampleRate)) {
        return failure(Step::Encode, sink.error, sink.error != 0 ? QString() : libraryReason(out.get()));
    }

    std::unique_ptr<Resampler> resampler =
        rate != in.sampleRate ? std::make_unique<Resampler>(in.sampleRate, rate, channels) : nullptr;
    const auto samplesOf = [&](sf_count_t n) { return static_cast<std::size_t>(n * channels); };
    std::vector<std::byte> bytes(path == Path::Bytes ? static_cast<std::size_t>(block) * blockAlign : 0);
    std::vector<int> samples(path == Path::Samples ? samplesOf(block) : 0);
    std::vector<float> floats(path == Path::Floats ? samplesOf(block) : 0);
    std::vector<float> resampled;
    // What each block of a lossless file must read back as.
    std::vector<std::uint64_t> digests;
    const auto writeFloats = [&](const std::vector<float>& data, sf_count_t n) {
        return n == 0 || sf_writef_float(out.get(), data.data(), n) == n;
    };

    for (std::uint64_t left = frames; left > 0;) {
        const auto n =
            static_cast<sf_count_t>(std::min<std::uint64_t>(left, static_cast<std::uint64_t>(block)));
        sf_count_t got = 0;
        bool written = false;
        switch (path) {
            case Path::Bytes: {
                const auto length = static_cast<sf_count_t>(static_cast<std::size_t>(n) * blockAlign);
                got = take.read(n, [&](SNDFILE* file, sf_count_t done, sf_count_t count) {
                    const sf_count_t r =
                        sf_read_raw(file, bytes.data() + static_cast<std::size_t>(done) * blockAlign,
                                    count * static_cast<sf_count_t>(blockAlign));
                    return r < 0 ? r : r / static_cast<sf_count_t>(blockAlign);
                });
                written = got == n && sf_write_raw(out.get(), bytes.data(), length) == length;
                digests.push_back(digestOf(bytes.data(), static_cast<std::size_t>(length)));
                break;
            }
            case Path::Samples:
                got = take.read(n, [&](SNDFILE* file, sf_count_t done, sf_count_t count) {
                    return sf_readf_int(file, samples.data() + samplesOf(done), count);
                });
                written = got == n && sf_writef_int(out.get(), samples.data(), n) == n;
                digests.push_back(digestOf(samples.data(), samplesOf(n) * sizeof(int)));
                break;
            case Path::Floats:
                // Full scale is ±1 for every bit depth, so a sample keeps its exact level.
                got = take.read(n, [&](SNDFILE* file, sf_count_t done, sf_count_t count) {
                    return sf_readf_float(file, floats.data() + samplesOf(done), count);
                });
                if (got == n && resampler) {
                    resampled.clear();
                    resampler->push(floats.data(), static_cast<std::size_t>(n), resampled);
                    written = writeFloats(resampled, static_cast<sf_count_t>(resampled.size()) / channels);
                } else {
                    written = got == n && writeFloats(floats, n);
                }
                break;
        }
        if (got < 0) {
            return failure(Step::ReadTake, 0, take.reason());
        }
        if (got != n) {
            return failure(Step::ReadTake, 0,
                           QCoreApplication::translate(
                               "Encoding", "a gravação tem %1 quadros, mas só %2 puderam ser lidos")
                               .arg(take.frames)
                               .arg(begin + frames - left + static_cast<std::uint64_t>(got)));
        }
        if (sink.error != 0) {
            return failure(Step::Encode, sink.error);
        }
        if (!written || sf_error(out.get()) != SF_ERR_NO_ERROR) {
            return failure(Step::Encode, 0, libraryReason(out.get()));
        }
        left -= static_cast<std::uint64_t>(n);
        if (!work.advance(static_cast<std::uint64_t>(n))) {
            return cancelled();
        }
    }
    if (resampler) {
        resampled.clear();
        resampler->finish(resampled);
        if (!writeFloats(resampled, static_cast<sf_count_t>(resampled.size()) / channels) ||
            sink.error != 0) {
            return failure(Step::Encode, sink.error, sink.error != 0 ? QString() : libraryReason(out.get()));
        }
    }
    // The encoders write their last blocks, and the headers their sizes, as the file is closed.
    if (const int rc = closeNow(out); rc != 0 || sink.error != 0) {
        return failure(Step::Encode, sink.error,
                       sink.error != 0 ? QString() : QString::fromUtf8(sf_error_number(rc)));
    }
    if (Failure tagged = tag()) {
        return tagged;
    }
    if (::fsync(fd) != 0) {
        return failure(Step::Flush, errno);
    }

    // Read back from the disk what was written: every frame must be there, and a lossless file
    // must give back the take's very samples, block by block.
    FdStream source{fd};
    SF_INFO backInfo{};
    Sndfile back(sf_open_virtual(&fdIo, SFM_READ, &backInfo, &source));
    if (!back) {
        return failure(Step::Check, source.error, source.error != 0 ? QString() : libraryReason(nullptr));
    }
    if (backInfo.channels != channels || backInfo.samplerate != rate ||
        static_cast<std::uint64_t>(backInfo.frames) != expected ||
        (row.lossless && backInfo.format != outFormat)) {
        return failure(Step::Check, 0,
                       QCoreApplication::translate("Encoding",
                                                   "o arquivo diz ter %1 quadros, %2 canais a %3 Hz, e "
                                                   "deveria ter %4 quadros, %5 canais a %6 Hz")
                           .arg(backInfo.frames)
                           .arg(backInfo.channels)
                           .arg(backInfo.samplerate)
                           .arg(expected)
                           .arg(channels)
                           .arg(rate));
    }
    const auto differs = [&](std::uint64_t at, sf_count_t n) {
        return failure(Step::Check, 0,
                       QCoreApplication::translate("Encoding",
                                                   "as amostras diferem da gravação entre os quadros %1 e %2")
                           .arg(at)
                           .arg(at + static_cast<std::uint64_t>(n)));
    };
    std::uint64_t decoded = 0;
    std::uint64_t told = 0;  // of the take's frames
    for (std::size_t index = 0;; ++index) {
        sf_count_t n = 0;
        if (row.lossless) {
            n = static_cast<sf_count_t>(
                std::min<std::uint64_t>(expected - decoded, static_cast<std::uint64_t>(block)));
            if (n == 0) {
                break;
            }
            sf_count_t got = 0;
            std::uint64_t digest = 0;
            if (path == Path::Bytes) {
                const auto length = static_cast<sf_count_t>(static_cast<std::size_t>(n) * blockAlign);
                const sf_count_t r = sf_read_raw(back.get(), bytes.data(), length);
                got = r == length ? n : r < 0 ? r : r / static_cast<sf_count_t>(blockAlign);
                digest = digestOf(bytes.data(), static_cast<std::size_t>(length));
            } else {
                got = sf_readf_int(back.get(), samples.data(), n);
                digest = digestOf(samples.data(), samplesOf(n) * sizeof(int));
            }
            if (got == n && digest != digests[index]) {
                return differs(decoded, n);
            }
            n = got;
        } else {
            n = sf_readf_float(back.get(), floats.data(), block);
        }
        if (n < 0 || source.error != 0 || sf_error(back.get()) != SF_ERR_NO_ERROR) {
            return failure(Step::Check, source.error,
                           source.error != 0 ? QString() : libraryReason(back.get()));
        }
        if (n == 0) {
            break;
        }
        decoded += static_cast<std::uint64_t>(n);
        const std::uint64_t now = std::min(frames, decoded * frames / std::max<std::uint64_t>(expected, 1));
        if (!work.advance(now - told)) {
            return cancelled();
        }
        told = now;
    }
    if (decoded != expected) {
        return failure(
            Step::Check, 0,
            QCoreApplication::translate("Encoding", "só %1 dos %2 quadros puderam ser lidos de volta")
                .arg(decoded)
                .arg(expected));
    }
    if (!work.advance(frames - told)) {
        return cancelled();
    }
    return std::nullopt;
}

}  // namespace detail

std::optional<AudioFormat> audioFormatOf(const QString& firstPart) {
    SF_INFO info{};
    Sndfile file(sf_open(QFile::encodeName(firstPart).constData(), SFM_READ, &info));
    if (!file) {
        return std::nullopt;
    }
    return AudioFormat{info.samplerate, info.channels, bitsOf(info.format)};
}

std::vector<Format> savableFormats(const AudioFormat& take) {
    static std::mutex guard;
    static std::map<std::tuple<int, int, int>, std::vector<Format>> known;
    const std::lock_guard lock(guard);
    const auto key = std::tuple{take.sampleRate, take.channels, take.bits};
    if (const auto found = known.find(key); found != known.end()) {
        return found->second;
    }
    // WAV is always offered: a whole take is moved as it is.
    std::vector<Format> formats{Format::Wav};
    for (const FormatRow& row : kFormats) {
        if (row.format != Format::Wav && canWrite(row, take)) {
            formats.push_back(row.format);
        }
    }
    return known.emplace(key, std::move(formats)).first->second;
}

const std::vector<Format>& savableFormats() {
    static const std::vector<Format> formats = savableFormats(AudioFormat{});
    return formats;
}

int encodedRate(Format format, int takeRate) {
    const std::span<const int> rates = rowOf(format).rates;
    if (rates.empty()) {
        return takeRate;
    }
    // The lowest that keeps everything the take holds, else the highest there is.
    const auto above = std::find_if(rates.begin(), rates.end(), [&](int rate) { return rate >= takeRate; });
    return above != rates.end() ? *above : rates.back();
}

QString extensionOf(Format format) {
    // A WAV take keeps the extension it always had.
    return format == Format::Wav ? QStringLiteral("Wav") : QString::fromLatin1(rowOf(format).key);
}

QString filterOf(Format format) {
    return QString::fromLatin1(rowOf(format).filter);
}

QString keyOf(Format format) {
    return QString::fromLatin1(rowOf(format).key);
}

std::optional<Format> formatOfKey(const QString& key) {
    for (const FormatRow& row : kFormats) {
        if (key == QLatin1String(row.key)) {
            return row.format;
        }
    }
    return std::nullopt;
}

std::optional<Format> formatOfFilter(const QString& filter) {
    for (const FormatRow& row : kFormats) {
        if (filter == QLatin1String(row.filter)) {
            return row.format;
        }
    }
    return std::nullopt;
}

std::optional<Format> formatOfName(const QString& name) {
    for (const FormatRow& row : kFormats) {
        if (name.endsWith(QLatin1Char('.') + QLatin1String(row.key), Qt::CaseInsensitive)) {
            return row.format;
        }
    }
    return std::nullopt;
}

}  // namespace platform::encoding
