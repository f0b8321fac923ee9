// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The formats and the encoding itself, through libsndfile.
#include "platform/encoding/Encoding.h"
#include "platform/encoding/Resampler.h"
#include "platform/files/StagedFile.h"

#include <QCoreApplication>
#include <QFile>

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace platform::encoding {
namespace {

using Outcome = EncodeResult::Outcome;
using Step = EncodeResult::Step;
using platform::files::StagedFile;

// One row per format, in the order the save dialog offers them.
//   Quality: no knobs, one sensible setting each. FLAC keeps the library's default level (5), the
//   usual balance of size and speed. The lossy formats aim at about 160 kbit/s for 44100 Hz stereo,
//   where music is transparent to most listeners: Vorbis at quality 5 (libsndfile's level 0.5),
//   MP3 as LAME's VBR preset V4 (level 0.4, about 165 kbit/s), Opus at 80 kbit/s per channel
//   (level derived from libsndfile's 6 + 250 kbit/s per channel scale). Vorbis and MP3 scale with
//   the sample rate by themselves; Opus is told a bit rate, so it gets less for lower-rate takes.
struct FormatRow {
    Format format;
    const char* key;
    const char* filter;
    int sndfile;   // 0: not encoded (the WAV take is moved as it is)
    double level;  // SFC_SET_COMPRESSION_LEVEL; negative: the library's default
    bool variableBitRate;
    int softwareTag;  // where "Tolvane <version>" goes; ID3 through libsndfile has no software field
};

constexpr std::array kFormats{
    FormatRow{Format::Wav, "wav", "*.WAV", 0, -1, false, 0},
    FormatRow{Format::Flac, "flac", "FLAC (*.flac)", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, -1, false,
              SF_STR_SOFTWARE},
    FormatRow{Format::OggVorbis, "ogg", "Ogg Vorbis (*.ogg)", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 0.5, false,
              SF_STR_SOFTWARE},
    FormatRow{Format::Opus, "opus", "Opus (*.opus)", SF_FORMAT_OGG | SF_FORMAT_OPUS, -1, false,
              SF_STR_SOFTWARE},
    FormatRow{Format::Mp3, "mp3", "MP3 (*.mp3)", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 0.4, true,
              SF_STR_COMMENT},
};

constexpr int kOpusBitsPerChannel = 80000;
constexpr std::array kOpusRates{8000, 12000, 16000, 24000, 48000};
constexpr sf_count_t kBlockFrames = 4096;

const FormatRow& rowOf(Format format) {
    return *std::find_if(kFormats.begin(), kFormats.end(),
                         [&](const FormatRow& r) { return r.format == format; });
}

// Opus takes only a few rates: the lowest of them that keeps everything the take holds.
int encodedRate(Format format, int takeRate) {
    if (format != Format::Opus) {
        return takeRate;
    }
    for (int rate : kOpusRates) {
        if (rate >= takeRate) {
            return rate;
        }
    }
    return kOpusRates.back();
}

// libsndfile reaches files through these, so that every failed write keeps its errno (the library
// itself only counts bytes) and the output is written through the descriptor created for it.
struct FdStream {
    int fd = -1;
    sf_count_t position = 0;
    int error = 0;
};

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
    const int rc = sf_close(file.release());
    return rc;
}

// Tags and quality, before the first frame is written. False when the library refused a setting:
// the file would not be what we promise.
bool configure(SNDFILE* file, const FormatRow& row, int takeRate, const Tags& tags) {
    const QByteArray title = tags.title.toUtf8();
    const QByteArray date = tags.began.isValid() ? tags.began.toString(Qt::ISODate).toUtf8() : QByteArray();
    const QByteArray software = tags.software.toUtf8();
    if ((!title.isEmpty() && sf_set_string(file, SF_STR_TITLE, title.constData()) != 0) ||
        (!date.isEmpty() && sf_set_string(file, SF_STR_DATE, date.constData()) != 0) ||
        (!software.isEmpty() && sf_set_string(file, row.softwareTag, software.constData()) != 0)) {
        return false;
    }
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

// The library says it knows the format, accepts it for a take, and really writes a short one.
bool canWrite(const FormatRow& row) {
    if (!listed(SFC_GET_FORMAT_MAJOR_COUNT, SFC_GET_FORMAT_MAJOR, row.sndfile & SF_FORMAT_TYPEMASK) ||
        !listed(SFC_GET_FORMAT_SUBTYPE_COUNT, SFC_GET_FORMAT_SUBTYPE, row.sndfile & SF_FORMAT_SUBMASK)) {
        return false;
    }
    constexpr int kRate = 44100;
    constexpr int kChannels = 2;
    SF_INFO info{};
    info.samplerate = encodedRate(row.format, kRate);
    info.channels = kChannels;
    info.format = row.sndfile;
    if (!sf_format_check(&info)) {
        return false;
    }
    MemoryStream memory;
    Sndfile file(sf_open_virtual(&memoryIo, SFM_WRITE, &info, &memory));
    if (!file || !configure(file.get(), row, kRate, {QStringLiteral("t"), {}, QStringLiteral("t")})) {
        return false;
    }
    std::vector<float> silence(static_cast<std::size_t>(info.samplerate / 10 * kChannels), 0.0f);
    const sf_count_t frames = info.samplerate / 10;
    if (sf_writef_float(file.get(), silence.data(), frames) != frames) {
        return false;
    }
    return closeNow(file) == 0 && !memory.bytes.empty();
}

EncodeResult failure(Step step, int error, QString detail = {}) {
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

EncodeResult cancelled() {
    EncodeResult result;
    result.outcome = Outcome::Cancelled;
    return result;
}

QString libraryReason(SNDFILE* file) {
    return QString::fromUtf8(sf_strerror(file));
}

struct Input {
    Sndfile file;
    SF_INFO info{};
};

// Reads the parts one after the other as one stream of frames.
class TakeReader {
public:
    explicit TakeReader(std::vector<Input>& parts) : parts_(parts) {}
    // Up to `frames` frames; fewer only at the end of the take. Negative on a read error.
    sf_count_t read(short* into, sf_count_t frames) {
        sf_count_t done = 0;
        while (done < frames && current_ < parts_.size()) {
            Input& part = parts_[current_];
            const sf_count_t n =
                sf_readf_short(part.file.get(), into + done * part.info.channels, frames - done);
            if (n < 0 || sf_error(part.file.get()) != SF_ERR_NO_ERROR) {
                failed_ = part.file.get();
                return -1;
            }
            if (n == 0) {
                ++current_;
                continue;
            }
            done += n;
        }
        return done;
    }
    bool rewind() {
        current_ = 0;
        return std::all_of(parts_.begin(), parts_.end(), [this](Input& p) {
            if (sf_seek(p.file.get(), 0, SEEK_SET) == 0) {
                return true;
            }
            failed_ = p.file.get();
            return false;
        });
    }
    // Why the last read or rewind failed, in the library's words; the library only keeps the
    // reason with the file that failed.
    QString reason() const {
        return failed_ != nullptr ? libraryReason(failed_)
                                  : QCoreApplication::translate(
                                        "Encoding", "a gravação ficou mais curta durante o salvamento");
    }

private:
    std::vector<Input>& parts_;
    std::size_t current_ = 0;
    SNDFILE* failed_ = nullptr;
};

}  // namespace

const std::vector<Format>& savableFormats() {
    static const std::vector<Format> formats = [] {
        std::vector<Format> found{Format::Wav};
        for (const FormatRow& row : kFormats) {
            if (row.sndfile != 0 && canWrite(row)) {
                found.push_back(row.format);
            }
        }
        return found;
    }();
    return formats;
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

EncodeResult encode(const EncodeRequest& request, const EncodeProgress& progress) {
    const FormatRow& row = rowOf(request.format);
    if (row.sndfile == 0 || request.parts.isEmpty()) {
        return failure(Step::Encode, EINVAL);
    }

    // The take, its parts in order.
    std::vector<Input> inputs;
    std::uint64_t takeFrames = 0;
    for (const QString& part : request.parts) {
        Input input;
        input.file.reset(sf_open(QFile::encodeName(part).constData(), SFM_READ, &input.info));
        if (!input.file) {
            return QFile::exists(part) ? failure(Step::ReadTake, 0, libraryReason(nullptr))
                                       : failure(Step::ReadTake, ENOENT);
        }
        if (!inputs.empty() && (input.info.channels != inputs.front().info.channels ||
                                input.info.samplerate != inputs.front().info.samplerate)) {
            return failure(
                Step::ReadTake, 0,
                QCoreApplication::translate("Encoding", "as partes da gravação têm formatos diferentes"));
        }
        takeFrames += static_cast<std::uint64_t>(input.info.frames);
        inputs.push_back(std::move(input));
    }
    const int channels = inputs.front().info.channels;
    const int takeRate = inputs.front().info.samplerate;
    const int rate = encodedRate(request.format, takeRate);
    const std::uint64_t expectedFrames =
        rate == takeRate ? takeFrames : Resampler::outputFrames(takeFrames, takeRate, rate);
    const std::uint64_t work = 2 * takeFrames;
    if (progress && !progress(0, work)) {
        return cancelled();
    }

    // Written under a hidden name and named only once complete and read back: a crash or a kill
    // meanwhile never leaves a cut-off file under the chosen name, nor replaces one there.
    StagedFile staged;
    if (const int error = staged.create(request.destination, request.parts.front()); error != 0) {
        return failure(Step::CreateDestination, error);
    }

    FdStream sink{staged.fd()};
    SF_INFO outInfo{};
    outInfo.samplerate = rate;
    outInfo.channels = channels;
    outInfo.format = row.sndfile;
    Sndfile out(sf_open_virtual(&fdIo, SFM_WRITE, &outInfo, &sink));
    if (!out) {
        return failure(Step::Encode, sink.error, sink.error != 0 ? QString() : libraryReason(nullptr));
    }
    if (!configure(out.get(), row, takeRate, request.tags)) {
        return failure(Step::Encode, sink.error, sink.error != 0 ? QString() : libraryReason(out.get()));
    }

    TakeReader take(inputs);
    const bool lossless = request.format == Format::Flac;
    std::unique_ptr<Resampler> resampler =
        rate != takeRate ? std::make_unique<Resampler>(takeRate, rate, channels) : nullptr;
    std::vector<short> pcm(static_cast<std::size_t>(kBlockFrames * channels));
    std::vector<float> samples;
    std::vector<float> resampled;
    const auto writeFloats = [&](const std::vector<float>& data) {
        const auto frames = static_cast<sf_count_t>(data.size() / static_cast<std::size_t>(channels));
        return frames == 0 || sf_writef_float(out.get(), data.data(), frames) == frames;
    };
    std::uint64_t read = 0;
    for (;;) {
        const sf_count_t n = take.read(pcm.data(), kBlockFrames);
        if (n < 0) {
            return failure(Step::ReadTake, 0, take.reason());
        }
        if (n == 0) {
            break;
        }
        bool written = true;
        if (lossless) {
            written = sf_writef_short(out.get(), pcm.data(), n) == n;
        } else {
            // Full scale is 32768 both ways, so a sample keeps its exact level.
            samples.resize(static_cast<std::size_t>(n * channels));
            std::transform(pcm.begin(), pcm.begin() + n * channels, samples.begin(),
                           [](short s) { return static_cast<float>(s) / 32768.0f; });
            if (resampler) {
                resampled.clear();
                resampler->push(samples.data(), static_cast<std::size_t>(n), resampled);
                written = writeFloats(resampled);
            } else {
                written = writeFloats(samples);
            }
        }
        if (sink.error != 0) {
            return failure(Step::Encode, sink.error);
        }
        if (!written || sf_error(out.get()) != SF_ERR_NO_ERROR) {
            return failure(Step::Encode, 0, libraryReason(out.get()));
        }
        read += static_cast<std::uint64_t>(n);
        if (progress && !progress(read, work)) {
            return cancelled();
        }
    }
    if (read != takeFrames) {
        return failure(
            Step::ReadTake, 0,
            QCoreApplication::translate("Encoding", "a gravação tem %1 quadros, mas só %2 puderam ser lidos")
                .arg(takeFrames)
                .arg(read));
    }
    if (resampler) {
        resampled.clear();
        resampler->finish(resampled);
        if (!writeFloats(resampled) || sink.error != 0) {
            return failure(Step::Encode, sink.error, sink.error != 0 ? QString() : libraryReason(out.get()));
        }
    }
    // The encoders write their last blocks, and FLAC and MP3 their headers, as the file is closed.
    if (const int rc = closeNow(out); rc != 0 || sink.error != 0) {
        return failure(Step::Encode, sink.error,
                       sink.error != 0 ? QString() : QString::fromUtf8(sf_error_number(rc)));
    }
    if (::fsync(staged.fd()) != 0) {
        return failure(Step::Flush, errno);
    }

    // Read back from the disk what was written: every frame must be there, and FLAC must give back
    // the take's very samples.
    FdStream source{staged.fd()};
    SF_INFO backInfo{};
    Sndfile back(sf_open_virtual(&fdIo, SFM_READ, &backInfo, &source));
    if (!back) {
        return failure(Step::Check, source.error, source.error != 0 ? QString() : libraryReason(nullptr));
    }
    if (backInfo.channels != channels || backInfo.samplerate != rate ||
        static_cast<std::uint64_t>(backInfo.frames) != expectedFrames) {
        return failure(Step::Check, 0,
                       QCoreApplication::translate("Encoding",
                                                   "o arquivo diz ter %1 quadros, %2 canais a %3 Hz, e "
                                                   "deveria ter %4 quadros, %5 canais a %6 Hz")
                           .arg(backInfo.frames)
                           .arg(backInfo.channels)
                           .arg(backInfo.samplerate)
                           .arg(expectedFrames)
                           .arg(channels)
                           .arg(rate));
    }
    if (lossless && !take.rewind()) {
        return failure(Step::ReadTake, 0, take.reason());
    }
    std::vector<short> original(pcm.size());
    std::vector<float> decodedFloats(pcm.size());
    std::uint64_t decoded = 0;
    for (;;) {
        sf_count_t n = 0;
        if (lossless) {
            n = sf_readf_short(back.get(), pcm.data(), kBlockFrames);
            if (n > 0) {
                const sf_count_t m = take.read(original.data(), n);
                if (m != n) {
                    return failure(Step::ReadTake, 0, take.reason());
                }
                const auto count = static_cast<std::size_t>(n * channels);
                const auto mismatch = std::mismatch(
                    pcm.begin(), pcm.begin() + static_cast<std::ptrdiff_t>(count), original.begin());
                if (mismatch.first != pcm.begin() + static_cast<std::ptrdiff_t>(count)) {
                    const auto at = decoded + static_cast<std::uint64_t>(mismatch.first - pcm.begin()) /
                                                  static_cast<std::uint64_t>(channels);
                    return failure(Step::Check, 0,
                                   QCoreApplication::translate("Encoding",
                                                               "as amostras diferem da gravação no quadro %1")
                                       .arg(at));
                }
            }
        } else {
            n = sf_readf_float(back.get(), decodedFloats.data(), kBlockFrames);
        }
        if (n < 0 || source.error != 0 || sf_error(back.get()) != SF_ERR_NO_ERROR) {
            return failure(Step::Check, source.error,
                           source.error != 0 ? QString() : libraryReason(back.get()));
        }
        if (n == 0) {
            break;
        }
        decoded += static_cast<std::uint64_t>(n);
        if (progress &&
            !progress(takeFrames + std::min(takeFrames, decoded * takeFrames /
                                                            std::max<std::uint64_t>(expectedFrames, 1)),
                      work)) {
            return cancelled();
        }
    }
    if (decoded != expectedFrames) {
        return failure(
            Step::Check, 0,
            QCoreApplication::translate("Encoding", "só %1 dos %2 quadros puderam ser lidos de volta")
                .arg(decoded)
                .arg(expectedFrames));
    }
    back.reset();
    if (const int error = staged.finish(); error != 0) {
        return failure(Step::Flush, error);
    }
    if (const int error = staged.name(); error != 0) {
        return failure(Step::CreateDestination, error);
    }

    EncodeResult result;
    result.outcome = Outcome::Encoded;
    result.frames = expectedFrames;
    result.sampleRate = rate;
    return result;
}

}  // namespace platform::encoding
