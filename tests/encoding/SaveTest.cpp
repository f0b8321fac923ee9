// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Saves of takes written by the recorder's own take file, read back by programs of their own: every
// format from every kind of take, whole and trimmed; a side's tracks, all or nothing; a WAV longer
// than one file holds.
#include "ReviewTakes.h"
#include "TaggingSupport.h"

#include "platform/encoding/Encoding.h"
#include "platform/files/StagedFile.h"
#include "recorder/wavfile/TakeParts.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using platform::encoding::EncodeRequest;
using platform::encoding::EncodeResult;
using platform::encoding::Format;
using reviewtest::TakeSpec;
using taggingtest::probe;
using taggingtest::tagsOf;
using testsupport::run;

const QDateTime kBegan(QDate(2026, 3, 14), QTime(9, 30, 5));

// The take's samples as sox decodes the file, left-justified to 32 bits as the test sound is.
std::vector<std::int32_t> decodedSamples(const QString& path, int bits) {
    const auto decoded =
        run(QStringLiteral("sox"), {path, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-e"),
                                    QStringLiteral("signed"), QStringLiteral("-b"), QString::number(bits),
                                    QStringLiteral("-L"), QStringLiteral("-")});
    EXPECT_EQ(decoded.exitCode, 0) << decoded.errText().toStdString();
    const int width = bits / 8;
    std::vector<std::int32_t> samples;
    for (qsizetype at = 0; at + width <= decoded.out.size(); at += width) {
        std::uint32_t value = 0;
        for (int b = 0; b < width; ++b) {
            value |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(decoded.out[at + b]))
                     << (8 * (4 - width + b));
        }
        samples.push_back(static_cast<std::int32_t>(value));
    }
    return samples;
}

// Frames as a reader of the format's own reference library counts them: libFLAC and libvorbisfile
// through soxi, and ffmpeg's decoders (which honour Opus's pre-skip and LAME's gapless header) for
// the others. ffmpeg decodes Opus at 48000 Hz whatever the file's rate.
std::uint64_t framesRead(const QString& path, Format format, int channels, int rate) {
    if (format == Format::Opus || format == Format::Mp3) {
        const auto decoded = run(QStringLiteral("ffmpeg"),
                                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                  QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")});
        EXPECT_EQ(decoded.exitCode, 0) << decoded.errText().toStdString();
        const auto frames =
            static_cast<std::uint64_t>(decoded.out.size()) / (2u * static_cast<unsigned>(channels));
        return format == Format::Opus ? frames * static_cast<std::uint64_t>(rate) / 48000 : frames;
    }
    const auto counted = run(QStringLiteral("soxi"), {QStringLiteral("-s"), path});
    EXPECT_EQ(counted.exitCode, 0) << counted.errText().toStdString();
    return counted.outText().trimmed().toULongLong();
}

struct TakeRow {
    const char* name;
    TakeSpec spec;
};

const TakeRow kTakes[] = {
    {"16-bit 44100 Hz stereo", {44100, 2, 16}},
    {"24-bit 96000 Hz stereo", {96000, 2, 24}},
    {"16-bit 11025 Hz mono", {11025, 1, 16}},
};

// The rate each format's file gets, where it is not the take's: Opus takes only a few, MP3 none
// above 48000 Hz.
int rateSaved(Format format, int takeRate) {
    const struct {
        Format format;
        int take, saved;
    } rows[] = {{Format::Opus, 44100, 48000},
                {Format::Opus, 96000, 48000},
                {Format::Opus, 11025, 12000},
                {Format::Mp3, 96000, 48000}};
    for (const auto& row : rows) {
        if (row.format == format && row.take == takeRate) {
            return row.saved;
        }
    }
    return takeRate;
}

std::uint64_t framesAt(std::uint64_t frames, int from, int to) {
    return (frames * static_cast<std::uint64_t>(to) + static_cast<std::uint64_t>(from) - 1) /
           static_cast<std::uint64_t>(from);
}

// Every format from every kind of take, the whole take and a trimmed selection: the frames, for
// WAV and FLAC the very samples of the selection, the markers inside it shifted and numbered from
// 1, the tags.
TEST(Save, EveryFormatFromEveryTakeWholeAndTrimmed) {
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    for (const TakeRow& take : kTakes) {
        const TakeSpec& spec = take.spec;
        const auto rate = static_cast<std::uint64_t>(spec.rate);
        QTemporaryDir dir;
        const std::uint64_t takeFrames = rate * 3 / 2;
        const QString first = reviewtest::writeTake(dir.path(), spec, takeFrames);
        ASSERT_FALSE(first.isEmpty());
        // Two markers fall outside the selection, two inside.
        const std::vector<std::uint64_t> markers{rate / 10, rate / 2, rate * 9 / 10 + 3, rate * 13 / 10};
        const std::vector<Format> formats =
            platform::encoding::savableFormats({static_cast<int>(spec.rate), spec.channels, spec.bits});
        EXPECT_EQ(formats,
                  (std::vector{Format::Wav, Format::Flac, Format::OggVorbis, Format::Opus, Format::Mp3}))
            << take.name;
        const struct {
            const char* name;
            std::uint64_t begin, end;
            std::vector<double> chapters;  // seconds
        } ranges[] = {
            {"whole", 0, platform::encoding::kTakeEnd, {0.1, 0.5, (rate * 9 / 10 + 3) / double(rate), 1.3}},
            {"trimmed",
             rate * 3 / 10 + 17,
             rate * 6 / 5 + 5,
             {(rate / 2 - rate * 3 / 10 - 17) / double(rate),
              (rate * 9 / 10 + 3 - rate * 3 / 10 - 17) / double(rate)}},
        };
        for (const Format format : formats) {
            for (const auto& range : ranges) {
                SCOPED_TRACE(testing::Message()
                             << take.name << ", " << platform::encoding::keyOf(format).toStdString() << ", "
                             << range.name);
                const QString destination =
                    dir.filePath(QStringLiteral("Lado A %1.").arg(QLatin1String(range.name)) +
                                 platform::encoding::extensionOf(format));
                EncodeRequest request;
                request.parts = basSoundRec_2::takeParts(first);
                request.destination = destination;
                request.format = format;
                request.tags = {.title = QStringLiteral("Lado A"),
                                .began = kBegan,
                                .software = QStringLiteral("Tolvane 1.0")};
                request.range = {range.begin, range.end};
                request.markers = markers;
                const EncodeResult result = platform::encoding::encode(request);
                ASSERT_TRUE(result.encoded()) << result.describe().toStdString();
                EXPECT_EQ(result.files, QStringList{destination});

                const std::uint64_t end = std::min(range.end, takeFrames);
                const int saved = rateSaved(format, spec.rate);
                const std::uint64_t frames = framesAt(end - range.begin, spec.rate, saved);
                EXPECT_EQ(result.sampleRate, saved);
                EXPECT_EQ(result.frames, frames);
                EXPECT_EQ(framesRead(destination, format, spec.channels, saved), frames);
                if (format == Format::Wav || format == Format::Flac) {
                    EXPECT_TRUE(decodedSamples(destination, spec.bits) ==
                                reviewtest::expected(spec, range.begin, end))
                        << "not the selection's very samples";
                }
                if (format == Format::Wav) {
                    const QJsonObject riff = taggingtest::riffChunks(destination);
                    EXPECT_TRUE(riff[QStringLiteral("riffSizeMatches")].toBool());
                    EXPECT_EQ(riff[QStringLiteral("frames")].toInteger(), static_cast<qint64>(frames));
                    const QJsonArray chunks = riff[QStringLiteral("chunks")].toArray();
                    EXPECT_EQ(chunks.at(chunks.size() - 2).toObject()[QStringLiteral("id")].toString(),
                              QStringLiteral("cue "))
                        << "the cue points go after the audio";
                    const auto info = run(QStringLiteral("sndfile-info"), {destination});
                    EXPECT_TRUE(info.outText().contains(QStringLiteral("Bit Width     : %1").arg(spec.bits)))
                        << info.outText().toStdString();
                }

                const QJsonObject probed = probe(destination);
                const QJsonObject tags = tagsOf(probed);
                EXPECT_EQ(tags[QStringLiteral("title")].toString(), QStringLiteral("Lado A"));
                EXPECT_TRUE(tags[QStringLiteral("date")].toString().startsWith(QStringLiteral("2026-03-14")));
                EXPECT_EQ(tags[QStringLiteral("encoder")].toString(), QStringLiteral("Tolvane 1.0"));
                const QJsonArray chapters = probed[QStringLiteral("chapters")].toArray();
                ASSERT_EQ(chapters.size(), static_cast<qsizetype>(range.chapters.size()));
                for (qsizetype i = 0; i < chapters.size(); ++i) {
                    const QJsonObject chapter = chapters.at(i).toObject();
                    EXPECT_NEAR(chapter[QStringLiteral("start_time")].toString().toDouble(),
                                range.chapters[static_cast<std::size_t>(i)], 0.0006);
                    EXPECT_EQ(chapter[QStringLiteral("tags")].toObject()[QStringLiteral("title")].toString(),
                              QStringLiteral("Marca %1").arg(i + 1));
                }
            }
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".partial")),
                  QStringList());
    }
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QString vorbisComment(const QString& path, const char* field) {
    const auto listed = run(QStringLiteral("metaflac"),
                            {QStringLiteral("--list"), QStringLiteral("--block-type=VORBIS_COMMENT"), path});
    EXPECT_EQ(listed.exitCode, 0) << listed.errText().toStdString();
    // "    comment[3]: TITLE=Faixa 1"
    const QString prefix = QStringLiteral("]: %1=").arg(QLatin1String(field));
    for (const QString& line : listed.outText().split(QLatin1Char('\n'))) {
        if (const qsizetype at = line.indexOf(prefix);
            at >= 0 && line.trimmed().startsWith(QStringLiteral("comment["))) {
            return line.mid(at + prefix.size());
        }
    }
    return {};
}

// A side's selection as three tagged tracks in one job: played in order they are the selection,
// frame for frame; a name taken before, a name taken during and a cancel each leave nothing.
TEST(Save, TracksAllOrNothing) {
    QTemporaryDir state, takes, folder;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    const TakeSpec spec{96000, 2, 24};
    const QString first = reviewtest::writeTake(takes.path(), spec, 200000);
    ASSERT_FALSE(first.isEmpty());
    const std::uint64_t bounds[] = {12345, 70001, 140000, 190007};
    EncodeRequest request;
    request.parts = {first};
    request.format = Format::Flac;
    for (int n = 1; n <= 3; ++n) {
        const QString title = QStringLiteral("Faixa %1").arg(n);
        request.outputs.push_back({folder.filePath(QStringLiteral("0%1 %2.flac").arg(n).arg(title)),
                                   {bounds[n - 1], bounds[n]},
                                   {.title = title,
                                    .software = QStringLiteral("Tolvane 1.0"),
                                    .album = QStringLiteral("Fita 3"),
                                    .artist = QStringLiteral("Zé Ninguém"),
                                    .trackNumber = n,
                                    .trackTotal = 3,
                                    .year = 1975}});
    }
    const QString third = request.outputs[2].destination;

    {
        SCOPED_TRACE("a name taken before");
        QFile taken(third);
        ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
        taken.close();
        bool told = false;
        const EncodeResult result = platform::encoding::encode(request, [&](std::uint64_t, std::uint64_t) {
            told = true;
            return true;
        });
        EXPECT_EQ(result.step, EncodeResult::Step::NameTaken);
        EXPECT_EQ(result.destination, third);
        EXPECT_FALSE(told) << "the save began before every name was checked";
        EXPECT_TRUE(result.describe().contains(QStringLiteral("Nenhum dos 3 arquivos")))
            << result.describe().toStdString();
        EXPECT_EQ(entriesOf(folder.path()), QStringList{QFileInfo(third).fileName()});
        ASSERT_TRUE(QFile::remove(third));
    }
    {
        SCOPED_TRACE("a name taken during the save, and a cancel");
        for (const bool cancel : {false, true}) {
            const EncodeResult result =
                platform::encoding::encode(request, [&](std::uint64_t done, std::uint64_t total) {
                    if (done * 10 < total * 7) {
                        return true;
                    }
                    if (!cancel && !QFile::exists(third)) {
                        QFile(third).open(QIODevice::WriteOnly);
                    }
                    return !cancel;
                });
            EXPECT_EQ(result.outcome,
                      cancel ? EncodeResult::Outcome::Cancelled : EncodeResult::Outcome::Failed);
            EXPECT_EQ(entriesOf(folder.path()),
                      cancel ? QStringList() : QStringList{QFileInfo(third).fileName()});
            EXPECT_EQ(entriesOf(platform::files::saveJournalFolder()), QStringList());
            QFile::remove(third);
        }
    }

    std::uint64_t last = 0, told = 0;
    const EncodeResult result =
        platform::encoding::encode(request, [&](std::uint64_t done, std::uint64_t total) {
            EXPECT_GE(done, last);
            last = done;
            told = total;
            return true;
        });
    ASSERT_TRUE(result.encoded()) << result.describe().toStdString();
    EXPECT_EQ(told, 2 * (bounds[3] - bounds[0]));
    EXPECT_EQ(last, told);
    std::vector<std::int32_t> joined;
    for (int n = 1; n <= 3; ++n) {
        const QString path = request.outputs[static_cast<std::size_t>(n - 1)].destination;
        EXPECT_EQ(result.files.value(n - 1), path);
        const auto samples = decodedSamples(path, spec.bits);
        joined.insert(joined.end(), samples.begin(), samples.end());
        EXPECT_EQ(vorbisComment(path, "TRACKNUMBER"), QStringLiteral("%1/3").arg(n));
        EXPECT_EQ(vorbisComment(path, "TITLE"), QStringLiteral("Faixa %1").arg(n));
        EXPECT_EQ(vorbisComment(path, "ALBUM"), QStringLiteral("Fita 3"));
        EXPECT_EQ(vorbisComment(path, "ARTIST"), QStringLiteral("Zé Ninguém"));
        EXPECT_EQ(vorbisComment(path, "DATE"), QStringLiteral("1975"));
        EXPECT_EQ(vorbisComment(path, "ENCODER"), QStringLiteral("Tolvane 1.0"));
    }
    EXPECT_TRUE(joined == reviewtest::expected(spec, bounds[0], bounds[3]))
        << "the tracks are not the selection";
    EXPECT_EQ(entriesOf(platform::files::saveJournalFolder()), QStringList());
}

// A WAV save longer than one file holds (the limit lowered) from a take in parts: complete WAV
// files named as a take's parts are, each within the limit, together the selection, its markers in
// the part they fall in, numbered across the parts; a part's name taken stops it before it starts.
TEST(Save, WavPastTheLargestFileGoesOnInParts) {
    QTemporaryDir state, takes, folder;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    const TakeSpec spec{44100, 2, 16};
    constexpr std::uint64_t kLimit = 150000;
    const QString first = reviewtest::writeTake(takes.path(), spec, 100000, 120000);
    const QStringList parts = basSoundRec_2::takeParts(first);
    ASSERT_GT(parts.size(), 2);
    const std::uint64_t begin = 1001, end = 99003;
    const std::vector<std::uint64_t> markers{500, 2000, 40000, 40001, 75000, 99500};
    EncodeRequest request;
    request.parts = parts;
    request.destination = folder.filePath(QStringLiteral("Lado B.Wav"));
    request.format = Format::Wav;
    request.tags = {.title = QStringLiteral("Lado B")};
    request.range = {begin, end};
    request.markers = markers;
    request.largestRiffSize = kLimit;

    const QString second = basSoundRec_2::takePartPath(request.destination, 2);
    QFile(second).open(QIODevice::WriteOnly);
    const EncodeResult refused = platform::encoding::encode(request);
    EXPECT_EQ(refused.step, EncodeResult::Step::NameTaken);
    EXPECT_EQ(refused.destination, second);
    EXPECT_EQ(entriesOf(folder.path()), QStringList{QFileInfo(second).fileName()});
    ASSERT_TRUE(QFile::remove(second));

    const EncodeResult result = platform::encoding::encode(request);
    ASSERT_TRUE(result.encoded()) << result.describe().toStdString();
    ASSERT_GT(result.files.size(), 1);
    std::vector<std::int32_t> joined;
    std::uint64_t partStart = begin;
    int marker = 0;
    for (qsizetype i = 0; i < result.files.size(); ++i) {
        const QString& path = result.files[i];
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(path, basSoundRec_2::takePartPath(request.destination, static_cast<int>(i) + 1));
        EXPECT_LE(static_cast<std::uint64_t>(QFileInfo(path).size()) - 8, kLimit);
        const QJsonObject riff = taggingtest::riffChunks(path);
        EXPECT_TRUE(riff[QStringLiteral("riffSizeMatches")].toBool());
        const auto frames = static_cast<std::uint64_t>(riff[QStringLiteral("frames")].toInteger());
        const auto samples = decodedSamples(path, spec.bits);
        joined.insert(joined.end(), samples.begin(), samples.end());
        const QJsonArray cues = riff[QStringLiteral("cues")].toArray();
        const QJsonObject labels = riff[QStringLiteral("labels")].toObject();
        for (const QJsonValue cue : cues) {
            ASSERT_LT(static_cast<std::size_t>(marker + 2), markers.size());
            const std::uint64_t at =
                markers[static_cast<std::size_t>(marker + 1)];  // the first is before `begin`
            EXPECT_EQ(static_cast<std::uint64_t>(cue[QStringLiteral("position")].toInteger()),
                      at - partStart);
            EXPECT_EQ(labels[QString::number(cue[QStringLiteral("id")].toInteger())].toString(),
                      QStringLiteral("Marca %1").arg(++marker));
        }
        partStart += frames;
    }
    EXPECT_EQ(marker, 4) << "markers inside the selection, the last one outside";
    EXPECT_EQ(partStart, end);
    EXPECT_TRUE(joined == reviewtest::expected(spec, begin, end)) << "the parts are not the selection";
}

}  // namespace
