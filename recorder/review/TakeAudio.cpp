// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/review/TakeAudio.h"

#include "platform/files/FileTools.h"
#include "recorder/recovery/TakeHeader.h"
#include "recorder/review/TimeText.h"
#include "recorder/wavfile/TakeParts.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace review {

namespace {

using platform::files::FileDescriptor;

// Decoders from the file's little-endian samples to 32-bit left-justified ones.
void decode16(const std::byte* in, std::size_t samples, std::int32_t* out) {
    const auto* b = reinterpret_cast<const unsigned char*>(in);
    for (std::size_t i = 0; i < samples; ++i) {
        out[i] = static_cast<std::int32_t>(std::uint32_t{b[2 * i]} << 16 | std::uint32_t{b[2 * i + 1]} << 24);
    }
}

void decode24(const std::byte* in, std::size_t samples, std::int32_t* out) {
    const auto* b = reinterpret_cast<const unsigned char*>(in);
    for (std::size_t i = 0; i < samples; ++i) {
        out[i] = static_cast<std::int32_t>(std::uint32_t{b[3 * i]} << 8 | std::uint32_t{b[3 * i + 1]} << 16 |
                                           std::uint32_t{b[3 * i + 2]} << 24);
    }
}

// How much of a header is looked at for the format and the data chunk.
constexpr std::size_t kHeaderBytes = 4096;
// Audio is read this much at a time; a read that fails is tried again a page at a time, so a bad
// sector costs only its own frames.
constexpr std::size_t kBlockBytes = 256 * 1024;
constexpr std::size_t kPageBytes = 4096;
// Where the recorder's own layout starts its audio: a part whose header is lost is read from here.
constexpr std::uint64_t kTakeDataOffset = recovery::kTakeHeaderSize;
constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
std::uint16_t le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
bool tagAt(const unsigned char* p, const char* tag) {
    return std::memcmp(p, tag, 4) == 0;
}

QString fileName(const QString& path) {
    return QFileInfo(path).fileName();
}

}  // namespace

// One row per sample size a take may hold.
struct SampleFormat {
    std::uint16_t bits;
    std::uint16_t bytes;
    void (*decode)(const std::byte*, std::size_t, std::int32_t*);
};

namespace {

constexpr std::array<SampleFormat, 2> kSampleFormats{{{16, 2, &decode16}, {24, 3, &decode24}}};

struct Layout {
    Format format;
    const SampleFormat* sample = nullptr;
    std::uint64_t dataOffset = 0;
    std::uint32_t riffSize = 0;
    std::uint32_t dataSize = 0;
    // The header is the recorder's own: its sizes are what the recorder (or its recovery) wrote.
    std::optional<recovery::TakeHeader> take;
    // The sizes are not to be trusted (a lost header): the audio is everything on disk.
    bool allOnDisk = false;

    std::uint64_t blockAlign() const { return std::uint64_t{sample->bytes} * format.channels; }
    bool sameFormat(const Layout& other) const {
        return format.rate == other.format.rate && format.channels == other.format.channels &&
               sample == other.sample;
    }
};

// The format and data chunk of a RIFF/WAVE header: the recorder's 46-byte layout, or any other
// chunk order, as long as fmt comes before data and states PCM the review can play.
std::optional<Layout> parseLayout(const unsigned char* b, std::size_t length) {
    if (length < 12 || !tagAt(b, "RIFF") || !tagAt(b + 8, "WAVE")) {
        return std::nullopt;
    }
    Layout layout;
    layout.riffSize = le32(b + 4);
    bool haveFormat = false;
    std::uint64_t at = 12;
    while (at + 8 <= length) {
        const unsigned char* chunk = b + at;
        const std::uint32_t size = le32(chunk + 4);
        const std::uint64_t body = at + 8;
        if (tagAt(chunk, "fmt ")) {
            if (size < 16 || body + 16 > length) {
                return std::nullopt;
            }
            const unsigned char* f = b + body;
            std::uint16_t tag = le16(f);
            if (tag == kFormatExtensible && size >= 40 && body + 40 <= length) {
                tag = le16(f + 24);  // the sub-format's first two bytes
            }
            const std::uint16_t channels = le16(f + 2);
            const std::uint32_t rate = le32(f + 4);
            const std::uint16_t blockAlign = le16(f + 12);
            const std::uint16_t bits = le16(f + 14);
            const auto* sample = std::find_if(kSampleFormats.begin(), kSampleFormats.end(),
                                              [&](const auto& row) { return row.bits == bits; });
            if (tag != kFormatPcm || channels < 1 || channels > 2 || rate == 0 || sample == kSampleFormats.end() ||
                blockAlign != sample->bytes * channels) {
                return std::nullopt;
            }
            layout.format = {rate, channels};
            layout.sample = &*sample;
            haveFormat = true;
        } else if (tagAt(chunk, "data")) {
            if (!haveFormat) {
                return std::nullopt;
            }
            layout.dataOffset = body;
            layout.dataSize = size;
            return layout;
        }
        at = body + size + (size & 1);
    }
    return std::nullopt;
}

// What a part holds on opening.
struct Probe {
    QString path;
    FileDescriptor fd;
    int error = 0;  // of the open
    std::uint64_t size = 0;
    std::optional<Layout> layout;
};

Probe probe(const QString& path) {
    Probe p;
    p.path = path;
    p.fd = FileDescriptor(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (!p.fd.isOpen()) {
        p.error = errno;
        return p;
    }
    struct stat status {};
    if (::fstat(p.fd.get(), &status) != 0) {
        p.error = errno;
        p.fd.reset();
        return p;
    }
    p.size = static_cast<std::uint64_t>(status.st_size);
    std::array<std::byte, kHeaderBytes> head{};
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(p.size, head.size()));
    if (platform::files::readAllAt(p.fd.get(), head.data(), wanted, 0) == 0) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(head.data());
        p.layout = parseLayout(bytes, wanted);
        if (p.layout) {
            p.layout->take = recovery::parseTakeHeader(bytes, wanted);
        }
    }
    return p;
}

// The data bytes a part holds by its header and its length. A part in the recorder's own layout
// holds what its recovery would make it state (every whole frame on disk, whatever a crash left in
// its sizes), so the review plays a take cut off before its repair as the repair will leave it.
// Any other WAV holds its data chunk, or everything on disk when that is the file's last chunk.
// `stated` is what the header promises, when it promises more than the file holds.
std::uint64_t dataBytes(const Layout& layout, std::uint64_t fileSize, std::uint64_t* stated) {
    const std::uint64_t onDisk = fileSize > layout.dataOffset ? fileSize - layout.dataOffset : 0;
    *stated = 0;
    if (layout.allOnDisk) {
        return onDisk;
    }
    if (layout.take) {
        const recovery::TakeRepair repair = recovery::repairFor(*layout.take, fileSize);
        if (!repair.foreign) {
            if (repair.statesMore) {
                *stated = layout.take->dataSize;
            }
            return repair.dataSize;
        }
    }
    if (layout.dataSize > onDisk) {
        *stated = layout.dataSize;
        return onDisk;
    }
    const bool dataIsLast = std::uint64_t{layout.riffSize} + 8 <= layout.dataOffset + layout.dataSize + 1;
    return dataIsLast ? onDisk : layout.dataSize;
}

}  // namespace

struct TakeAudio::Part {
    FileDescriptor fd;
    int number = 1;
    std::uint64_t dataOffset = 0;
    std::uint64_t first = 0;   // in the take
    std::uint64_t frames = 0;
};

TakeAudio::TakeAudio() = default;
TakeAudio::~TakeAudio() = default;

TakeAudio::Opened TakeAudio::open(const QString& firstPart) {
    const QStringList parts = basSoundRec_2::takeParts(firstPart);
    if (parts.isEmpty()) {
        return {nullptr, QCoreApplication::translate("TakeAudio", "A gravação \"%1\" não foi encontrada.").arg(fileName(firstPart))};
    }
    return openParts(parts);
}

TakeAudio::Opened TakeAudio::openParts(const QStringList& paths) {
    if (paths.isEmpty()) {
        return {nullptr, QCoreApplication::translate("TakeAudio", "A gravação não foi encontrada.")};
    }
    std::vector<Probe> probes;
    for (const QString& path : paths) {
        probes.push_back(probe(path));
    }
    if (!probes.front().fd.isOpen()) {
        return {nullptr, QCoreApplication::translate("TakeAudio", "Não foi possível abrir \"%1\": %2")
                             .arg(fileName(paths.front()), platform::files::systemReason(probes.front().error))};
    }
    // The take's format is its first readable header's: a continued take repeats it in every part.
    const auto reference =
        std::find_if(probes.begin(), probes.end(), [](const Probe& p) { return p.layout.has_value(); });
    const bool noAudio = std::all_of(probes.begin(), probes.end(),
                                     [](const Probe& p) { return p.size <= kTakeDataOffset; });
    if (reference == probes.end() && !noAudio) {
        return {nullptr, QCoreApplication::translate("TakeAudio", "\"%1\" não é uma gravação que se possa ler.").arg(fileName(paths.front()))};
    }

    std::shared_ptr<TakeAudio> audio(new TakeAudio);
    audio->paths_ = paths;
    Layout take;
    if (reference != probes.end()) {
        take = *reference->layout;
    } else {
        // Files that never got past their header: nothing to play, in the recorder's own format.
        take.format = {44100, 2};
        take.sample = &kSampleFormats.front();
    }
    audio->format_ = take.format;
    audio->sample_ = take.sample;

    std::uint64_t first = 0;
    for (std::size_t i = 0; i < probes.size(); ++i) {
        Probe& p = probes[i];
        const int number = static_cast<int>(i) + 1;
        audio->starts_.push_back(first);
        if (!p.fd.isOpen()) {
            audio->opened_.push_back({Lack::MissingPart, number, first, 0});
            continue;
        }
        Layout layout;
        if (p.layout) {
            layout = *p.layout;
        } else if (p.size > kTakeDataOffset) {
            layout = take;
            layout.dataOffset = kTakeDataOffset;
            layout.take.reset();
            layout.allOnDisk = true;
            audio->opened_.push_back({Lack::DamagedHeader, number, first, 0});
        } else {
            // A last part cut off in its header was only just begun; any other held audio once.
            if (number < static_cast<int>(probes.size())) {
                audio->opened_.push_back({Lack::DamagedHeader, number, first, 0});
            }
            continue;
        }
        std::uint64_t stated = 0;
        const std::uint64_t bytes = dataBytes(layout, p.size, &stated);
        if (!layout.sameFormat(take)) {
            audio->opened_.push_back({Lack::OtherFormat, number, first, bytes / layout.blockAlign()});
            continue;
        }
        const std::uint64_t frames = bytes / layout.blockAlign();
        if (stated > 0) {
            audio->opened_.push_back(
                {Lack::Truncated, number, first + frames, stated / layout.blockAlign() - frames});
        }
        if (frames > 0) {
            audio->parts_.push_back({std::move(p.fd), number, layout.dataOffset, first, frames});
            first += frames;
        }
    }
    audio->frames_ = first;
    return {audio, QString()};
}

int TakeAudio::bitsPerSample() const {
    return sample_->bits;
}

std::uint64_t TakeAudio::partStart(int number) const {
    if (number < 1 || static_cast<std::size_t>(number) > starts_.size()) {
        return frames_;
    }
    return starts_[static_cast<std::size_t>(number) - 1];
}

void TakeAudio::readRaw(const Part& part, std::uint64_t from, std::uint64_t to, std::byte* out) const {
    const std::uint64_t blockAlign = std::uint64_t{sample_->bytes} * format_.channels;
    const std::uint64_t offset = part.dataOffset + (from - part.first) * blockAlign;
    const std::size_t length = static_cast<std::size_t>((to - from) * blockAlign);
    if (platform::files::readAllAt(part.fd.get(), out, length, offset) == 0) {
        return;
    }
    // Again a page at a time, keeping every byte the disk gives: one bad sector (or a file cut short
    // under us) costs only its own frames, which become silence as whole frames.
    // The frames [badFrom, badTo) found unreadable and not yet told; none while badFrom == badTo.
    std::uint64_t badFrom = 0;
    std::uint64_t badTo = 0;
    const auto remember = [&] {
        if (badFrom == badTo) {
            return;
        }
        std::memset(out + (badFrom - from) * blockAlign, 0, static_cast<std::size_t>((badTo - badFrom) * blockAlign));
        {
            const std::lock_guard lock(unreadableMutex_);
            auto& entry = unreadable_[badFrom];
            entry = {std::max(entry.first, badTo), part.number};
        }
        badFrom = badTo;
    };
    for (std::size_t done = 0; done < length;) {
        const std::size_t piece = std::min(length - done, kPageBytes - (offset + done) % kPageBytes);
        const ssize_t got = ::pread(part.fd.get(), out + done, piece, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got > 0) {
            done += static_cast<std::size_t>(got);
            if (badFrom != badTo && done / blockAlign > badTo - from) {
                remember();
            }
            continue;
        }
        const std::uint64_t lo = from + done / blockAlign;
        const std::uint64_t hi = from + (done + piece + blockAlign - 1) / blockAlign;
        if (badFrom == badTo) {
            badFrom = lo;
        }
        badTo = std::max(badTo, hi);
        done += piece;
    }
    remember();
}

void TakeAudio::readInt32(std::uint64_t from, std::uint64_t to, std::int32_t* out) const {
    to = std::min(to, frames_);
    if (from >= to) {
        return;
    }
    const std::uint64_t blockAlign = std::uint64_t{sample_->bytes} * format_.channels;
    const std::uint64_t blockFrames = std::max<std::uint64_t>(kBlockBytes / blockAlign, 1);
    thread_local std::vector<std::byte> raw;
    raw.resize(static_cast<std::size_t>(blockFrames * blockAlign));
    auto part = std::upper_bound(parts_.begin(), parts_.end(), from,
                                 [](std::uint64_t frame, const Part& p) { return frame < p.first; }) -
                1;
    while (from < to) {
        while (from >= part->first + part->frames) {
            ++part;
        }
        const std::uint64_t count = std::min({to - from, part->first + part->frames - from, blockFrames});
        readRaw(*part, from, from + count, raw.data());
        const std::size_t samples = static_cast<std::size_t>(count * format_.channels);
        sample_->decode(raw.data(), samples, out);
        out += samples;
        from += count;
    }
}

void TakeAudio::readFloat(std::uint64_t from, std::uint64_t to, float* out) const {
    to = std::min(to, frames_);
    if (from >= to) {
        return;
    }
    // Decoded in place: an int32 and a float are the same size.
    static_assert(sizeof(float) == sizeof(std::int32_t));
    auto* samples = reinterpret_cast<std::int32_t*>(out);
    readInt32(from, to, samples);
    constexpr float kScale = 1.0F / 2147483648.0F;
    const std::size_t count = static_cast<std::size_t>((to - from) * format_.channels);
    for (std::size_t i = 0; i < count; ++i) {
        std::int32_t value;
        std::memcpy(&value, out + i, sizeof value);
        out[i] = static_cast<float>(value) * kScale;
    }
}

std::vector<Gap> TakeAudio::gaps() const {
    std::vector<Gap> all = opened_;
    {
        const std::lock_guard lock(unreadableMutex_);
        // Spans found by reads that overlapped are told as one.
        std::optional<Gap> open;
        for (const auto& [lo, entry] : unreadable_) {
            const auto& [hi, number] = entry;
            if (open && lo <= open->atFrame + open->frames && number == open->part) {
                open->frames = std::max(open->atFrame + open->frames, hi) - open->atFrame;
                continue;
            }
            if (open) {
                all.push_back(*open);
            }
            open = Gap{Lack::Unreadable, number, lo, hi - lo};
        }
        if (open) {
            all.push_back(*open);
        }
    }
    std::stable_sort(all.begin(), all.end(), [](const Gap& a, const Gap& b) {
        return a.part != b.part ? a.part < b.part : a.atFrame < b.atFrame;
    });
    return all;
}

QString describeGaps(const std::vector<Gap>& gaps, const QStringList& parts, std::uint32_t rate) {
    if (gaps.empty()) {
        return QString();
    }
    std::uint64_t missing = 0;
    for (const Gap& gap : gaps) {
        missing += gap.frames;
    }
    if (gaps.size() > 1) {
        return QCoreApplication::translate("TakeAudio", "Partes desta gravação não puderam ser lidas: faltam %1 em %2 trechos; o resto toca normalmente.")
            .arg(preciseClockText(missing, rate))
            .arg(gaps.size());
    }
    const Gap& gap = gaps.front();
    const QString name = fileName(parts.value(gap.part - 1));
    const QString length = preciseClockText(gap.frames, rate);
    switch (gap.lack) {
        case Lack::Truncated:
            return QCoreApplication::translate("TakeAudio", "Faltam %1 no fim de \"%2\": o arquivo é menor do que o cabeçalho diz.").arg(length, name);
        case Lack::Unreadable:
            return QCoreApplication::translate("TakeAudio", "%1 de \"%2\" não puderam ser lidos e tocam como silêncio.").arg(length, name);
        case Lack::OtherFormat:
            return QCoreApplication::translate("TakeAudio", "\"%2\" está em outro formato e ficou de fora (%1).").arg(length, name);
        case Lack::DamagedHeader:
            return QCoreApplication::translate("TakeAudio", "O cabeçalho de \"%1\" está danificado; o som foi lido no formato da gravação.").arg(name);
        case Lack::MissingPart:
            return QCoreApplication::translate("TakeAudio", "Não foi possível abrir \"%1\"; o que ele guarda ficou de fora.").arg(name);
    }
    return QString();
}

}  // namespace review
