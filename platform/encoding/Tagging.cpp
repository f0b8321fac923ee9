// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Tags and chapters through TagLib, one row per format.
//   Vorbis comments (FLAC, Ogg Vorbis, Opus): TITLE, ALBUM, ARTIST, TRACKNUMBER ("n/total"), DATE and
//   ENCODER for the software, the field ffmpeg, opusenc and the players built on them read and write
//   for the program that made the file (libsndfile's own "SOFTWARE" stays as it was). Chapters as
//   CHAPTERnnn=HH:MM:SS.mmm and CHAPTERnnnNAME, the convention players read; three digits, so 999 at
//   most.
//   MP3: ID3v2.4, the version whose TDRC keeps the full date and time (2.3 only has a year, a day and
//   a time in three frames that readers seldom join); TIT2, TALB, TPE1, TRCK, TDRC, TSSE, and a CHAP
//   frame per chapter (named by an embedded TIT2) under one top-level, ordered CTOC.
//   WAV: a RIFF INFO list (INAM, IPRD, IART, IPRT, ICRD as the date RIFF defines, ISFT), and the
//   markers as cue points written by writeWavCues.
#include "platform/encoding/Tagging.h"

#include "platform/encoding/TagStream.h"
#include "platform/files/FileTools.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <taglib/chapterframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tableofcontentsframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <optional>
#include <type_traits>

#include <fcntl.h>

namespace platform::encoding {

namespace {

using detail::TagStream;
using platform::files::FileDescriptor;

constexpr int kMostVorbisChapters = 999;
// A CHAP frame's byte offsets say "not given" so: readers go by the times.
constexpr unsigned kNoOffset = 0xFFFFFFFFu;

struct Chapter {
    unsigned startMs = 0;
    unsigned endMs = 0;  // 0 where the format keeps no end
    QString name;
    friend bool operator==(const Chapter&, const Chapter&) = default;
};

// The fields as a format keeps them: what is written, and what is read back to check it.
struct Fields {
    QString title;
    QString album;
    QString artist;
    QString track;
    QString date;
    QString software;
    std::vector<Chapter> chapters;
};

TagLib::String toTag(const QString& text) {
    return TagLib::String(text.toUtf8().toStdString(), TagLib::String::UTF8);
}

QString fromTag(const TagLib::String& text) {
    return QString::fromStdString(text.to8Bit(true));
}

QString inWords(const char* text) {
    return QCoreApplication::translate("Tagging", text);
}

QString clockOf(unsigned ms) {
    return QString::asprintf("%02u:%02u:%02u.%03u", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
}

std::optional<unsigned> msOfClock(const QString& clock) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d+):(\\d\\d):(\\d\\d)\\.(\\d\\d\\d)$"));
    const auto match = pattern.match(clock);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    return ((match.captured(1).toUInt() * 60 + match.captured(2).toUInt()) * 60 +
            match.captured(3).toUInt()) *
               1000 +
           match.captured(4).toUInt();
}

// Nearest millisecond, without overflow for any frame count.
unsigned msOf(std::uint64_t frame, int rate) {
    const auto r = static_cast<std::uint64_t>(rate);
    const std::uint64_t ms = frame / r * 1000 + (frame % r * 1000 + r / 2) / r;
    return static_cast<unsigned>(std::min<std::uint64_t>(ms, 0xFFFFFFFEu));
}

// ---- Vorbis comments ----------------------------------------------------------------------------

TagLib::String chapterKey(int number, const char* suffix = "") {
    return toTag(QString::asprintf("CHAPTER%03d%s", number, suffix));
}

void writeComment(TagLib::Ogg::XiphComment& comment, const Fields& fields) {
    const auto put = [&](const char* key, const QString& value) {
        if (!value.isEmpty()) {
            comment.addField(key, toTag(value), true);
        }
    };
    put("TITLE", fields.title);
    put("ALBUM", fields.album);
    put("ARTIST", fields.artist);
    put("TRACKNUMBER", fields.track);
    put("DATE", fields.date);
    put("ENCODER", fields.software);

    static const QRegularExpression chapterField(QStringLiteral("^CHAPTER\\d+(NAME|URL)?$"),
                                                 QRegularExpression::CaseInsensitiveOption);
    std::vector<TagLib::String> old;
    for (const auto& field : comment.fieldListMap()) {
        if (chapterField.match(fromTag(field.first)).hasMatch()) {
            old.push_back(field.first);
        }
    }
    for (const TagLib::String& key : old) {
        comment.removeFields(key);
    }
    for (std::size_t i = 0; i < fields.chapters.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        comment.addField(chapterKey(number), toTag(clockOf(fields.chapters[i].startMs)), true);
        comment.addField(chapterKey(number, "NAME"), toTag(fields.chapters[i].name), true);
    }
}

Fields readComment(const TagLib::Ogg::XiphComment& comment) {
    const auto& map = comment.fieldListMap();
    const auto get = [&](const TagLib::String& key) {
        const auto it = map.find(key);
        return it == map.end() || it->second.isEmpty() ? QString() : fromTag(it->second.front());
    };
    Fields fields{
        get("TITLE"), get("ALBUM"), get("ARTIST"), get("TRACKNUMBER"), get("DATE"), get("ENCODER"), {}};
    for (int number = 1; map.contains(chapterKey(number)); ++number) {
        const QString clock = get(chapterKey(number));
        fields.chapters.push_back(
            {msOfClock(clock).value_or(0xFFFFFFFFu), 0, get(chapterKey(number, "NAME"))});
    }
    return fields;
}

template <typename File>
std::unique_ptr<File> openXiph(TagStream& stream) {
    if constexpr (std::is_same_v<File, TagLib::FLAC::File>) {
        return std::make_unique<File>(&stream, TagLib::ID3v2::FrameFactory::instance());
    } else {
        return std::make_unique<File>(&stream);
    }
}

template <typename File>
TagLib::Ogg::XiphComment* commentOf(File& file) {
    if constexpr (std::is_same_v<File, TagLib::FLAC::File>) {
        return file.xiphComment(true);
    } else {
        return file.tag();
    }
}

template <typename File>
QString writeXiph(TagStream& stream, const Fields& fields) {
    const auto file = openXiph<File>(stream);
    if (!file->isValid()) {
        return inWords(
            QT_TRANSLATE_NOOP("Tagging", "o arquivo gravado não pôde ser aberto para receber as etiquetas"));
    }
    writeComment(*commentOf(*file), fields);
    return file->save()
               ? QString()
               : inWords(QT_TRANSLATE_NOOP("Tagging", "a biblioteca de etiquetas não conseguiu gravá-las"));
}

template <typename File>
std::optional<Fields> readXiph(TagStream& stream) {
    const auto file = openXiph<File>(stream);
    if (!file->isValid()) {
        return std::nullopt;
    }
    return readComment(*commentOf(*file));
}

// ---- ID3v2 ----------------------------------------------------------------------------------------

TagLib::ID3v2::Frame* textFrame(const char* id, const QString& text) {
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
    frame->setText(toTag(text));
    return frame;
}

TagLib::ByteVector chapterId(std::size_t index) {
    return TagLib::ByteVector(QStringLiteral("chp%1").arg(index + 1).toLatin1().constData());
}

QString writeId3(TagStream& stream, const Fields& fields) {
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance());
    if (!file.isValid()) {
        return inWords(
            QT_TRANSLATE_NOOP("Tagging", "o arquivo gravado não pôde ser aberto para receber as etiquetas"));
    }
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    const std::array<std::pair<const char*, const QString*>, 6> texts{{{"TIT2", &fields.title},
                                                                       {"TALB", &fields.album},
                                                                       {"TPE1", &fields.artist},
                                                                       {"TRCK", &fields.track},
                                                                       {"TDRC", &fields.date},
                                                                       {"TSSE", &fields.software}}};
    for (const auto& [id, text] : texts) {
        if (!text->isEmpty()) {
            tag->removeFrames(id);
            tag->addFrame(textFrame(id, *text));
        }
    }
    tag->removeFrames("CTOC");
    tag->removeFrames("CHAP");
    TagLib::ByteVectorList children;
    for (std::size_t i = 0; i < fields.chapters.size(); ++i) {
        const Chapter& chapter = fields.chapters[i];
        TagLib::ID3v2::FrameList named;
        named.append(textFrame("TIT2", chapter.name));
        tag->addFrame(new TagLib::ID3v2::ChapterFrame(chapterId(i), chapter.startMs, chapter.endMs, kNoOffset,
                                                      kNoOffset, named));
        children.append(chapterId(i));
    }
    if (!children.isEmpty()) {
        auto* toc = new TagLib::ID3v2::TableOfContentsFrame("toc", children);
        toc->setIsTopLevel(true);
        toc->setIsOrdered(true);
        tag->addFrame(toc);
    }

    // The encoder's ID3v1 tag tells old players the same, as far as it can.
    int kinds = TagLib::MPEG::File::ID3v2;
    if (file.hasID3v1Tag()) {
        kinds |= TagLib::MPEG::File::ID3v1;
        TagLib::ID3v1::Tag* old = file.ID3v1Tag();
        if (!fields.title.isEmpty()) {
            old->setTitle(toTag(fields.title));
        }
        if (!fields.album.isEmpty()) {
            old->setAlbum(toTag(fields.album));
        }
        if (!fields.artist.isEmpty()) {
            old->setArtist(toTag(fields.artist));
        }
        if (!fields.date.isEmpty()) {
            old->setYear(fields.date.left(4).toUInt());
        }
        if (!fields.track.isEmpty()) {
            old->setTrack(fields.track.section(QLatin1Char('/'), 0, 0).toUInt());
        }
    }
    return file.save(kinds, TagLib::File::StripNone, TagLib::ID3v2::v4, TagLib::File::DoNotDuplicate)
               ? QString()
               : inWords(QT_TRANSLATE_NOOP("Tagging", "a biblioteca de etiquetas não conseguiu gravá-las"));
}

std::optional<Fields> readId3(TagStream& stream) {
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance());
    if (!file.isValid() || !file.hasID3v2Tag()) {
        return std::nullopt;
    }
    const TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    const auto text = [&](const char* id) {
        const auto& frames = tag->frameList(id);
        return frames.isEmpty() ? QString() : fromTag(frames.front()->toString());
    };
    Fields fields{text("TIT2"), text("TALB"), text("TPE1"), text("TRCK"), text("TDRC"), text("TSSE"), {}};
    if (const auto* toc = TagLib::ID3v2::TableOfContentsFrame::findTopLevel(tag)) {
        for (const TagLib::ByteVector& id : toc->childElements()) {
            const auto* chapter = TagLib::ID3v2::ChapterFrame::findByElementID(tag, id);
            if (chapter == nullptr) {
                return std::nullopt;
            }
            const auto& names = chapter->embeddedFrameList("TIT2");
            fields.chapters.push_back({chapter->startTime(), chapter->endTime(),
                                       names.isEmpty() ? QString() : fromTag(names.front()->toString())});
        }
    }
    return fields;
}

// ---- RIFF INFO ------------------------------------------------------------------------------------

constexpr std::array<std::pair<const char*, QString Fields::*>, 6> kInfoFields{{{"INAM", &Fields::title},
                                                                                {"IPRD", &Fields::album},
                                                                                {"IART", &Fields::artist},
                                                                                {"IPRT", &Fields::track},
                                                                                {"ICRD", &Fields::date},
                                                                                {"ISFT", &Fields::software}}};

QString writeInfo(TagStream& stream, const Fields& fields) {
    TagLib::RIFF::WAV::File file(&stream);
    if (!file.isValid()) {
        return inWords(
            QT_TRANSLATE_NOOP("Tagging", "o arquivo gravado não pôde ser aberto para receber as etiquetas"));
    }
    for (const auto& [id, member] : kInfoFields) {
        if (!(fields.*member).isEmpty()) {
            file.InfoTag()->setFieldText(id, toTag(fields.*member));
        }
    }
    return file.save(TagLib::RIFF::WAV::File::Info, TagLib::File::StripNone)
               ? QString()
               : inWords(QT_TRANSLATE_NOOP("Tagging", "a biblioteca de etiquetas não conseguiu gravá-las"));
}

std::optional<Fields> readInfo(TagStream& stream) {
    TagLib::RIFF::WAV::File file(&stream);
    if (!file.isValid()) {
        return std::nullopt;
    }
    Fields fields;
    for (const auto& [id, member] : kInfoFields) {
        fields.*member = fromTag(file.InfoTag()->fieldText(id));
    }
    return fields;
}

// ---- The table --------------------------------------------------------------------------------------

struct TagRow {
    Format format;
    const char* dateFormat;  // as QDateTime::toString takes it
    QString (*write)(TagStream&, const Fields&);
    std::optional<Fields> (*read)(TagStream&);
    bool chapters;     // else the markers are the WAV's cue points
    bool chapterEnds;  // the format keeps where each chapter ends
    int mostChapters;
};

constexpr const char* kFullDate = "yyyy-MM-ddTHH:mm:ss";

constexpr std::array kRows{
    TagRow{Format::Wav, "yyyy-MM-dd", writeInfo, readInfo, false, false, 0},
    TagRow{Format::Flac, kFullDate, writeXiph<TagLib::FLAC::File>, readXiph<TagLib::FLAC::File>, true, false,
           kMostVorbisChapters},
    TagRow{Format::OggVorbis, kFullDate, writeXiph<TagLib::Ogg::Vorbis::File>,
           readXiph<TagLib::Ogg::Vorbis::File>, true, false, kMostVorbisChapters},
    TagRow{Format::Opus, kFullDate, writeXiph<TagLib::Ogg::Opus::File>, readXiph<TagLib::Ogg::Opus::File>,
           true, false, kMostVorbisChapters},
    TagRow{Format::Mp3, kFullDate, writeId3, readId3, true, true, 0},
};

Fields plan(const TagRequest& request, const TagRow& row) {
    const Tags& tags = request.tags;
    Fields fields{tags.title, tags.album, tags.artist, {}, {}, tags.software, {}};
    if (tags.trackNumber > 0) {
        fields.track = tags.trackTotal > 0
                           ? QStringLiteral("%1/%2").arg(tags.trackNumber).arg(tags.trackTotal)
                           : QString::number(tags.trackNumber);
    }
    if (tags.began.isValid()) {
        fields.date = tags.began.toString(QLatin1String(row.dateFormat));
    } else if (tags.year > 0) {
        fields.date = QString::number(tags.year);
    }
    if (row.chapters) {
        for (std::size_t i = 0; i < request.markers.size(); ++i) {
            const std::uint64_t end =
                i + 1 < request.markers.size() ? request.markers[i + 1].frame : request.frames;
            fields.chapters.push_back({msOf(request.markers[i].frame, request.sampleRate),
                                       row.chapterEnds ? msOf(end, request.sampleRate) : 0u,
                                       request.markers[i].name});
        }
    }
    return fields;
}

// The first field read back that is not what was written, or nothing.
std::optional<QString> difference(const Fields& written, const Fields& read) {
    const std::array<std::pair<const char*, QString Fields::*>, 6> texts{{{"title", &Fields::title},
                                                                          {"album", &Fields::album},
                                                                          {"artist", &Fields::artist},
                                                                          {"track", &Fields::track},
                                                                          {"date", &Fields::date},
                                                                          {"software", &Fields::software}}};
    for (const auto& [name, member] : texts) {
        if (!(written.*member).isEmpty() && written.*member != read.*member) {
            return QString::fromLatin1(name);
        }
    }
    if (written.chapters != read.chapters) {
        return QStringLiteral("chapters");
    }
    return std::nullopt;
}

bool hasText(const Fields& fields) {
    return !fields.title.isEmpty() || !fields.album.isEmpty() || !fields.artist.isEmpty() ||
           !fields.track.isEmpty() || !fields.date.isEmpty() || !fields.software.isEmpty();
}

TagResult failed(int error, QString reason = {}) {
    TagResult result;
    result.error = error;
    result.detail = std::move(reason);
    return result;
}

// Markers the file cannot hold are refused before anything is written.
std::optional<TagResult> refusedMarkers(const TagRequest& request, const TagRow& row) {
    if (request.markers.empty()) {
        return std::nullopt;
    }
    if (request.sampleRate <= 0) {
        return failed(EINVAL);
    }
    const bool ordered = std::is_sorted(request.markers.begin(), request.markers.end(),
                                        [](const Marker& a, const Marker& b) { return a.frame < b.frame; });
    if (!ordered || request.markers.back().frame > request.frames) {
        return failed(0,
                      inWords(QT_TRANSLATE_NOOP("Tagging", "as marcas não estão dentro do áudio gravado")));
    }
    if (row.mostChapters > 0 && request.markers.size() > static_cast<std::size_t>(row.mostChapters)) {
        return failed(0, QCoreApplication::translate("Tagging", "o formato guarda no máximo %1 marcas")
                             .arg(row.mostChapters));
    }
    return std::nullopt;
}

}  // namespace

QString TagResult::reason() const {
    if (ok()) {
        return {};
    }
    return error != 0 ? platform::files::systemReason(error) : detail;
}

TagResult writeTags(const TagRequest& request) {
    const auto row =
        std::find_if(kRows.begin(), kRows.end(), [&](const TagRow& r) { return r.format == request.format; });
    if (row == kRows.end()) {
        return failed(EINVAL);
    }
    if (auto refused = refusedMarkers(request, *row)) {
        return *refused;
    }
    const Fields fields = plan(request, *row);
    const QByteArray path = QFile::encodeName(request.path);
    if (row->chapters || hasText(fields)) {
        FileDescriptor fd(::open(path.constData(), O_RDWR | O_CLOEXEC));
        if (!fd.isOpen()) {
            return failed(errno);
        }
        {
            TagStream stream(fd.get(), path, true);
            const QString refused = row->write(stream, fields);
            if (stream.error() != 0) {
                return failed(stream.error());
            }
            if (!refused.isEmpty()) {
                return failed(0, refused);
            }
        }
        if (const int error = fd.close(); error != 0) {
            return failed(error);
        }

        // What TagLib was given is only as good as what a fresh reading of the file finds.
        FileDescriptor again(::open(path.constData(), O_RDONLY | O_CLOEXEC));
        if (!again.isOpen()) {
            return failed(errno);
        }
        TagStream stream(again.get(), path, false);
        const std::optional<Fields> read = row->read(stream);
        if (stream.error() != 0) {
            return failed(stream.error());
        }
        if (!read) {
            return failed(0, inWords(QT_TRANSLATE_NOOP(
                                 "Tagging", "as etiquetas gravadas não puderam ser lidas de volta")));
        }
        if (const auto field = difference(fields, *read)) {
            return failed(0, QCoreApplication::translate("Tagging",
                                                         "as etiquetas lidas de volta diferem das "
                                                         "gravadas (%1)")
                                 .arg(*field));
        }
    }
    if (!row->chapters) {
        return writeWavCues(request.path, request.markers);
    }
    return {};
}

}  // namespace platform::encoding
