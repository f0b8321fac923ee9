// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Tags and markers written into each saved format, read back by programs of their own.

#include "TaggingSupport.h"

#include "platform/encoding/Encoding.h"
#include "platform/encoding/Tagging.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <csignal>

namespace taggingtest {
namespace {

using platform::encoding::Format;
using platform::encoding::Marker;
using platform::encoding::TagRequest;
using platform::encoding::writeTags;
using testsupport::run;

constexpr int kRate = 44100;
constexpr std::int64_t kFrames = 3 * kRate;

const QDateTime kBegan(QDate(2026, 3, 14), QTime(9, 30, 5));

// A short take saved in `format` as the save does it today (encoded, tagged by libsndfile).
QString savedTake(const QTemporaryDir& dir, Format format) {
    const QString take = dir.filePath(QStringLiteral("take.WAV"));
    if (!QFile::exists(take)) {
        writeSine(take, kRate, 2, kFrames);
    }
    const QString saved = dir.filePath(QStringLiteral("saved.") + platform::encoding::keyOf(format));
    QFile::remove(saved);
    if (format == Format::Wav) {
        // As the recorder writes its takes.
        writeTakeLayout(saved, kRate, 2, kFrames);
        return saved;
    }
    platform::encoding::EncodeRequest request;
    request.parts = {take};
    request.destination = saved;
    request.format = format;
    request.tags = {
        .title = QStringLiteral("Lado A"), .began = kBegan, .software = QStringLiteral("Tolvane 1.0")};
    const auto result = platform::encoding::encode(request);
    EXPECT_TRUE(result.encoded()) << result.describe(saved).toStdString();
    return saved;
}

TagRequest fullRequest(const QString& path, Format format) {
    TagRequest request;
    request.path = path;
    request.format = format;
    request.tags = {.title = QStringLiteral("Canção do mar"),
                    .began = kBegan,
                    .software = QStringLiteral("Tolvane 1.0"),
                    .album = QStringLiteral("Fita 3, lado A"),
                    .artist = QStringLiteral("Zé Ninguém"),
                    .trackNumber = 3,
                    .trackTotal = 12};
    request.markers = {{kRate, QStringLiteral("Marca 1")}, {kRate * 3 / 2, QStringLiteral("Marca 2")}};
    request.sampleRate = kRate;
    request.frames = static_cast<std::uint64_t>(kFrames);
    return request;
}

struct FormatRow {
    Format format;
    const char* date;  // as the format keeps the take's start
    bool chapterEnds;  // the file says where each chapter ends
};

class TaggedFormats : public ::testing::TestWithParam<FormatRow> {};

TEST_P(TaggedFormats, OutsideReadersFindTheTagsTheChaptersAndEveryFrame) {
    const FormatRow row = GetParam();
    QTemporaryDir dir;
    const QString path = savedTake(dir, row.format);
    const std::int64_t frames = framesOf(path);
    ASSERT_GT(frames, 0);

    const auto result = writeTags(fullRequest(path, row.format));
    ASSERT_TRUE(result.ok()) << result.reason().toStdString();
    EXPECT_EQ(framesOf(path), frames) << "the audio must not change";

    const QJsonObject probed = probe(path);
    const QJsonObject tags = tagsOf(probed);
    EXPECT_EQ(tags[QStringLiteral("title")].toString(), QStringLiteral("Canção do mar"));
    EXPECT_EQ(tags[QStringLiteral("album")].toString(), QStringLiteral("Fita 3, lado A"));
    EXPECT_EQ(tags[QStringLiteral("artist")].toString(), QStringLiteral("Zé Ninguém"));
    EXPECT_EQ(tags[QStringLiteral("track")].toString(), QStringLiteral("3/12"));
    EXPECT_EQ(tags[QStringLiteral("date")].toString(), QLatin1String(row.date));
    EXPECT_EQ(tags[QStringLiteral("encoder")].toString(), QStringLiteral("Tolvane 1.0"));

    const QJsonArray chapters = probed[QStringLiteral("chapters")].toArray();
    ASSERT_EQ(chapters.size(), 2);
    const struct {
        double start, end;
        const char* name;
    } expected[] = {{1.0, 1.5, "Marca 1"}, {1.5, 3.0, "Marca 2"}};
    for (int i = 0; i < 2; ++i) {
        const QJsonObject chapter = chapters.at(i).toObject();
        EXPECT_NEAR(chapter[QStringLiteral("start_time")].toString().toDouble(), expected[i].start, 0.0005);
        if (row.chapterEnds) {
            EXPECT_NEAR(chapter[QStringLiteral("end_time")].toString().toDouble(), expected[i].end, 0.0005);
        }
        EXPECT_EQ(chapter[QStringLiteral("tags")].toObject()[QStringLiteral("title")].toString(),
                  QLatin1String(expected[i].name));
    }

    // Tagged again: the fields not given stay, the markers are replaced.
    TagRequest again;
    again.path = path;
    again.format = row.format;
    again.markers = {{0, QStringLiteral("Marca 1")}};
    again.sampleRate = kRate;
    again.frames = static_cast<std::uint64_t>(kFrames);
    const auto second = writeTags(again);
    ASSERT_TRUE(second.ok()) << second.reason().toStdString();
    const QJsonObject reprobed = probe(path);
    EXPECT_EQ(reprobed[QStringLiteral("chapters")].toArray().size(), 1);
    EXPECT_EQ(tagsOf(reprobed)[QStringLiteral("title")].toString(), QStringLiteral("Canção do mar"));
    EXPECT_EQ(framesOf(path), frames);
}

INSTANTIATE_TEST_SUITE_P(Formats, TaggedFormats,
                         ::testing::Values(FormatRow{Format::Wav, "2026-03-14", true},
                                           FormatRow{Format::Flac, "2026-03-14T09:30:05", false},
                                           FormatRow{Format::OggVorbis, "2026-03-14T09:30:05", false},
                                           FormatRow{Format::Opus, "2026-03-14T09:30:05", false},
                                           FormatRow{Format::Mp3, "2026-03-14T09:30:05", true}),
                         [](const auto& info) {
                             return platform::encoding::keyOf(info.param.format).toStdString();
                         });

// The fields as written, read by the format's own tools rather than through ffmpeg's mapping.
TEST(TaggedFields, FlacCommentsAreTheChapterConventionAndTheAudioIsIntact) {
    QTemporaryDir dir;
    const QString path = savedTake(dir, Format::Flac);
    ASSERT_TRUE(writeTags(fullRequest(path, Format::Flac)).ok());
    const auto exported = run(QStringLiteral("metaflac"), {QStringLiteral("--export-tags-to=-"), path});
    const QStringList fields = exported.outText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const char* field : {"TITLE=Canção do mar", "TRACKNUMBER=3/12", "DATE=2026-03-14T09:30:05",
                              "ENCODER=Tolvane 1.0", "CHAPTER001=00:00:01.000", "CHAPTER001NAME=Marca 1",
                              "CHAPTER002=00:00:01.500", "CHAPTER002NAME=Marca 2"}) {
        EXPECT_EQ(fields.count(QString::fromUtf8(field)), 1) << field;
    }
    const auto tested = run(QStringLiteral("flac"), {QStringLiteral("-t"), QStringLiteral("-s"), path});
    EXPECT_EQ(tested.exitCode, 0) << tested.errText().toStdString();
}

TEST(TaggedFields, Mp3HasId3v24ChaptersUnderOneOrderedTopLevelTable) {
    QTemporaryDir dir;
    const QString path = savedTake(dir, Format::Mp3);
    ASSERT_TRUE(writeTags(fullRequest(path, Format::Mp3)).ok());
    const QJsonObject id3 =
        jsonOf(run(QStringLiteral("python3"), {qEnvironmentVariable("TOLVANE_TEST_SOURCE_DIR") +
                                                   QStringLiteral("/tests/encoding/id3-frames"),
                                               path}));
    ASSERT_TRUE(id3[QStringLiteral("id3")].toBool());
    EXPECT_EQ(id3[QStringLiteral("version")].toInt(), 4);
    const QJsonArray tocs = id3[QStringLiteral("tocs")].toArray();
    ASSERT_EQ(tocs.size(), 1);
    const QJsonObject toc = tocs.at(0).toObject();
    EXPECT_TRUE(toc[QStringLiteral("topLevel")].toBool());
    EXPECT_TRUE(toc[QStringLiteral("ordered")].toBool());
    const QJsonArray chapters = id3[QStringLiteral("chapters")].toArray();
    ASSERT_EQ(chapters.size(), 2);
    EXPECT_EQ(toc[QStringLiteral("children")].toArray(),
              (QJsonArray{chapters.at(0)[QStringLiteral("id")], chapters.at(1)[QStringLiteral("id")]}));
    EXPECT_EQ(chapters.at(1).toObject(),
              (QJsonObject{{QStringLiteral("id"), chapters.at(1)[QStringLiteral("id")]},
                           {QStringLiteral("start"), 1500},
                           {QStringLiteral("end"), 3000},
                           {QStringLiteral("title"), QStringLiteral("Marca 2")}}));
}

// TagLib's own file stream drops write errors: a tag that cannot grow the file must not look written.
TEST(TaggingFailures, AFileThatCannotGrowSaysWhy) {
    QTemporaryDir dir;
    const QString path = savedTake(dir, Format::Flac);
    TagRequest request = fullRequest(path, Format::Flac);
    request.tags.title = QString(20000, QLatin1Char('x'));  // beyond any padding the file has

    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old;
    limit.rlim_cur = static_cast<rlim_t>(QFileInfo(path).size());
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const auto result = writeTags(request);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result.error, EFBIG) << result.reason().toStdString();
    EXPECT_FALSE(result.reason().isEmpty());
}

TEST(TaggingFailures, RefusedBeforeAnythingIsWritten) {
    QTemporaryDir dir;
    const QString path = savedTake(dir, Format::Flac);
    const QByteArray before = testsupport::readFile(path);

    TagRequest pastTheEnd = fullRequest(path, Format::Flac);
    pastTheEnd.markers.push_back({static_cast<std::uint64_t>(kFrames) + 1, QStringLiteral("Marca 3")});
    TagRequest tooMany = fullRequest(path, Format::Flac);
    tooMany.markers.assign(1000, Marker{1, QStringLiteral("Marca")});
    TagRequest missing = fullRequest(dir.filePath(QStringLiteral("gone.flac")), Format::Flac);

    for (const TagRequest& request : {pastTheEnd, tooMany}) {
        const auto result = writeTags(request);
        EXPECT_FALSE(result.ok());
        EXPECT_FALSE(result.reason().isEmpty());
    }
    EXPECT_EQ(testsupport::readFile(path), before);
    EXPECT_EQ(writeTags(missing).error, ENOENT);
}

}  // namespace
}  // namespace taggingtest
