// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A save as one job: every file planned and its name checked before anything is written, then each
// staged under a hidden name, written, tagged, marked and read back, and all named together.
#include "platform/encoding/AudioFiles.h"
#include "platform/encoding/Encoding.h"
#include "platform/encoding/Markers.h"
#include "platform/encoding/Resampler.h"
#include "platform/encoding/Tagging.h"
#include "platform/files/FileTools.h"
#include "platform/files/StagedFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <set>

#include <sys/stat.h>

namespace platform::encoding {
namespace {

using Outcome = EncodeResult::Outcome;
using Step = EncodeResult::Step;
using detail::Failure;
using detail::failure;
using platform::files::StagedFile;

// One file the save writes: an output, or one part of a WAV output that goes on in parts.
struct PlannedFile {
    QString destination;
    std::uint64_t begin = 0;  // take frames [begin, end)
    std::uint64_t end = 0;
    const Tags* tags = nullptr;
    std::vector<Marker> markers;  // counted from the file's first frame
};

std::vector<EncodeOutput> outputsOf(const EncodeRequest& request) {
    if (!request.outputs.empty()) {
        return request.outputs;
    }
    return {{request.destination, request.range, request.tags}};
}

// The most the tags and cue points written after a WAV file's audio may take (Tagging.h: a RIFF
// INFO list, a "cue " chunk and a "LIST"/"adtl" of "labl"s), so that a part's audio leaves room for
// them under the largest RIFF size.
std::uint64_t wavTailBound(const Tags& tags, const std::vector<Marker>& markers) {
    constexpr std::uint64_t kListHeader = 12;
    constexpr std::uint64_t kField = 10;       // an INFO field's header, its NUL and a pad byte
    constexpr std::uint64_t kShortField = 32;  // a track number, a date
    constexpr std::uint64_t kCuePoint = 24;
    constexpr std::uint64_t kLabel = 14;  // a labl's header, its cue id, its NUL and a pad byte
    constexpr std::uint64_t kSlack = 64;
    std::uint64_t bytes = kListHeader + 2 * (kField + kShortField) + kSlack;
    for (const QString* text : {&tags.title, &tags.album, &tags.artist, &tags.software}) {
        bytes += kField + static_cast<std::uint64_t>(text->toUtf8().size());
    }
    if (!markers.empty()) {
        bytes += kListHeader + kListHeader + kCuePoint * markers.size();
        for (const Marker& marker : markers) {
            bytes += kLabel + static_cast<std::uint64_t>(marker.name.toUtf8().size());
        }
    }
    return bytes;
}

// The files of one output of the take's frames [begin, end). A WAV whose RIFF size would pass
// `largestRiffSize` goes on in parts; its markers are numbered across them, each in its own part.
Failure planOutput(const EncodeOutput& output, std::uint64_t begin, std::uint64_t end,
                   const EncodeRequest& request, const detail::TakeSource& take,
                   std::vector<PlannedFile>& files) {
    std::vector<Marker> markers = markersWithin(request.markers, begin, end);
    if (request.format != Format::Wav) {
        files.push_back({output.destination, begin, end, &output.tags, std::move(markers)});
        return std::nullopt;
    }
    const std::uint64_t header = detail::wavHeaderBytes(take.format());
    const std::uint64_t tail = wavTailBound(output.tags, markers);
    const auto blockAlign = static_cast<std::uint64_t>(take.blockAlign());
    const std::uint64_t overhead = header - 8 + tail;
    if (header == 0 || request.largestRiffSize <= overhead ||
        (request.largestRiffSize - overhead) / blockAlign == 0) {
        return failure(Step::CreateDestination, EFBIG);
    }
    const std::uint64_t perPart = (request.largestRiffSize - overhead) / blockAlign;
    int number = 1;
    std::uint64_t at = begin;
    do {
        PlannedFile part{platform::files::partPath(output.destination, number++),
                         at,
                         std::min(end, at + std::min(perPart, end - at)),
                         &output.tags,
                         {}};
        for (const Marker& marker : markers) {
            if (marker.frame >= part.begin - begin && marker.frame < part.end - begin) {
                part.markers.push_back({marker.frame - (part.begin - begin), marker.name});
            }
        }
        at = part.end;
        files.push_back(std::move(part));
    } while (at < end);
    return std::nullopt;
}

// Every name free, and no two files under one: checked before anything is written.
Failure checkNames(const std::vector<PlannedFile>& files, QString& taken) {
    std::set<QString> seen;
    for (const PlannedFile& file : files) {
        taken = file.destination;
        const QByteArray path = QFile::encodeName(file.destination);
        if (path.isEmpty()) {
            return failure(Step::CreateDestination, ENOENT);
        }
        struct stat existing {};
        // A link to nowhere is a name taken all the same.
        if (::lstat(path.constData(), &existing) == 0 ||
            !seen.insert(QDir::cleanPath(QFileInfo(file.destination).absoluteFilePath())).second) {
            return failure(Step::NameTaken, EEXIST);
        }
    }
    return std::nullopt;
}

}  // namespace

EncodeResult encode(const EncodeRequest& request, const EncodeProgress& progress) {
    const std::vector<EncodeOutput> outputs = outputsOf(request);
    const auto concerning = [&](EncodeResult result, const QString& destination) {
        result.destination = destination;
        result.outputs = static_cast<int>(outputs.size());
        return result;
    };

    detail::TakeSource take;
    if (Failure failed = take.open(request.parts)) {
        return concerning(*failed, outputs.front().destination);
    }
    std::vector<PlannedFile> files;
    std::uint64_t work = 0;
    for (const EncodeOutput& output : outputs) {
        const std::uint64_t end = std::min(output.range.end, take.frames());
        if (output.range.begin > end) {
            return concerning(failure(Step::ReadTake, 0,
                                      QCoreApplication::translate(
                                          "Encoding",
                                          "o trecho do quadro %1 ao %2 não está dentro da gravação, "
                                          "que tem %3 quadros")
                                          .arg(output.range.begin)
                                          .arg(output.range.end)
                                          .arg(take.frames())),
                              output.destination);
        }
        if (Failure failed = planOutput(output, output.range.begin, end, request, take, files)) {
            return concerning(*failed, output.destination);
        }
        work += 2 * (end - output.range.begin);
    }
    QString taken;
    if (Failure failed = checkNames(files, taken)) {
        return concerning(*failed, taken);
    }

    detail::Work done(progress, work);
    if (!done.advance(0)) {
        EncodeResult cancelled;
        cancelled.outcome = Outcome::Cancelled;
        return concerning(cancelled, outputs.front().destination);
    }
    const int rate = encodedRate(request.format, take.format().sampleRate);
    // Whatever returns early takes every hidden file with it.
    std::vector<StagedFile> staged(files.size());
    std::uint64_t frames = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const PlannedFile& file = files[i];
        StagedFile& stage = staged[i];
        if (const int error = stage.create(file.destination, request.parts.front()); error != 0) {
            return concerning(failure(error == EEXIST ? Step::NameTaken : Step::CreateDestination, error),
                              file.destination);
        }
        const auto tag = [&]() -> Failure {
            TagRequest tagging;
            tagging.path = QFile::decodeName(stage.hiddenPath());
            tagging.format = request.format;
            tagging.tags = *file.tags;
            tagging.markers = file.markers;
            tagging.sampleRate = take.format().sampleRate;
            tagging.frames = file.end - file.begin;
            const TagResult tagged = writeTags(tagging);
            if (!tagged.ok()) {
                return failure(Step::Tag, tagged.error, tagged.detail);
            }
            struct stat info {};
            if (::fstat(stage.fd(), &info) != 0) {
                return failure(Step::Tag, errno);
            }
            if (request.format == Format::Wav &&
                static_cast<std::uint64_t>(info.st_size) - 8 > request.largestRiffSize) {
                return failure(Step::Tag, EFBIG);
            }
            return std::nullopt;
        };
        if (Failure failed =
                detail::saveAudio(take, request.format, file.begin, file.end, stage.fd(), tag, done)) {
            return concerning(*failed, file.destination);
        }
        // Closed now: a save of many tracks keeps only their journal entries open until the end.
        if (const int error = stage.finish(); error != 0) {
            return concerning(failure(Step::Flush, error), file.destination);
        }
        const std::uint64_t length = file.end - file.begin;
        frames += rate == take.format().sampleRate
                      ? length
                      : Resampler::outputFrames(length, take.format().sampleRate, rate);
    }
    std::size_t failedAt = 0;
    if (const int error = platform::files::nameTogether(staged, &failedAt); error != 0) {
        return concerning(failure(error == EEXIST ? Step::NameTaken : Step::CreateDestination, error),
                          files[failedAt].destination);
    }

    EncodeResult result;
    result.outcome = Outcome::Encoded;
    result.outputs = static_cast<int>(outputs.size());
    for (const PlannedFile& file : files) {
        result.files << file.destination;
    }
    result.frames = frames;
    result.sampleRate = rate;
    return result;
}

}  // namespace platform::encoding
