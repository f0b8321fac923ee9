// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A WAV's cue points and their names, as outside readers see them, on the WAV layouts a save meets.

#include "TaggingSupport.h"

#include "platform/encoding/Tagging.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include <cstring>

namespace taggingtest {
namespace {

using platform::encoding::Marker;
using platform::encoding::writeWavCues;
using testsupport::readFile;
using testsupport::run;

// libsndfile with a title: its LIST/INFO goes after the audio.
void writeWithInfo(const QString& path, std::int64_t frames) {
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    std::vector<short> silence(static_cast<std::size_t>(frames * 2), 0);
    sf_writef_short(file, silence.data(), frames);
    sf_set_string(file, SF_STR_TITLE, "Lado B");
    ASSERT_EQ(sf_close(file), 0);
}

struct Layout {
    const char* what;
    void (*make)(const QString& path, std::int64_t frames);
    std::int64_t frames;
};

const Layout kLayouts[] = {
    {"libsndfile, 16-bit stereo", [](const QString& p, std::int64_t n) { writeSine(p, 44100, 2, n); }, 44100},
    {"the take's own layout",
     [](const QString& p, std::int64_t n) { writeTakeLayout(p, 11025, 1, static_cast<std::uint32_t>(n)); },
     11025},
    {"24-bit mono, an odd number of data bytes",
     [](const QString& p, std::int64_t n) { writeSine(p, 48000, 1, n, SF_FORMAT_WAV | SF_FORMAT_PCM_24); },
     48001},
    {"a title after the audio", writeWithInfo, 22050},
};

QStringList idsOf(const QJsonObject& walk) {
    QStringList ids;
    for (const auto& chunk : walk[QStringLiteral("chunks")].toArray()) {
        const QJsonObject c = chunk.toObject();
        ids << c[QStringLiteral("id")].toString() + c[QStringLiteral("type")].toString();
    }
    return ids;
}

TEST(WavCues, EveryLayoutGetsNamedCuePointsAfterItsAudio) {
    for (const Layout& layout : kLayouts) {
        SCOPED_TRACE(layout.what);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("saved.Wav"));
        layout.make(path, layout.frames);
        const QByteArray before = readFile(path);
        const QStringList chunksBefore = idsOf(riffChunks(path));
        const auto frames = static_cast<std::uint64_t>(layout.frames);

        const std::vector<Marker> markers{{0, QStringLiteral("Início")},
                                          {100, QStringLiteral("Marca 2")},
                                          {frames, QStringLiteral("Marca 3")}};
        const auto result = writeWavCues(path, markers);
        ASSERT_TRUE(result.ok()) << result.reason().toStdString();

        const QJsonObject walk = riffChunks(path);
        EXPECT_TRUE(walk[QStringLiteral("riffSizeMatches")].toBool());
        EXPECT_EQ(walk[QStringLiteral("trailingBytes")].toInt(), 0);
        EXPECT_EQ(walk[QStringLiteral("frames")].toInteger(), layout.frames);
        const QStringList ours{QStringLiteral("cue "), QStringLiteral("LISTadtl")};
        EXPECT_EQ(idsOf(walk), chunksBefore + ours);
        const QJsonArray cues = walk[QStringLiteral("cues")].toArray();
        ASSERT_EQ(cues.size(), 3);
        const QJsonObject labels = walk[QStringLiteral("labels")].toObject();
        for (int i = 0; i < 3; ++i) {
            const QJsonObject cue = cues.at(i).toObject();
            EXPECT_EQ(cue[QStringLiteral("offset")].toInteger(), static_cast<qint64>(markers[i].frame));
            EXPECT_EQ(cue[QStringLiteral("position")].toInteger(), static_cast<qint64>(markers[i].frame));
            EXPECT_EQ(cue[QStringLiteral("chunk")].toString(), QStringLiteral("data"));
            EXPECT_EQ(labels[QString::number(cue[QStringLiteral("id")].toInt())].toString(), markers[i].name);
        }
        EXPECT_FALSE(walk.contains(QStringLiteral("labelWithoutEnd")));
        // Everything the file held is still there, byte for byte, but the RIFF size.
        const QByteArray after = readFile(path);
        EXPECT_EQ(after.mid(8, before.size() - 8), before.mid(8));

        // libsndfile's own reader: the same audio, and the cue points with their names.
        EXPECT_EQ(framesOf(path), layout.frames);
        const QString info = run(QStringLiteral("sndfile-info"), {path}).outText();
        EXPECT_TRUE(info.contains(QStringLiteral("Count : 3"))) << info.toStdString();
        EXPECT_TRUE(info.contains(QStringLiteral("labl : 2 : Marca 2"))) << info.toStdString();
        EXPECT_TRUE(info.contains(QStringLiteral("labl : 1 : Início"))) << info.toStdString();
    }
}

TEST(WavCues, WritingAgainReplacesTheCuePointsAndNoneLeavesTheFileAsItWas) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved.Wav"));
    writeSine(path, 44100, 2, 44100);
    const QByteArray original = readFile(path);
    ASSERT_TRUE(writeWavCues(path, {{10, QStringLiteral("Marca 1")}, {20, QStringLiteral("Marca 2")}}).ok());
    ASSERT_TRUE(writeWavCues(path, {{30, QStringLiteral("Marca 9")}}).ok());
    const QJsonObject walk = riffChunks(path);
    EXPECT_EQ(idsOf(walk).count(QStringLiteral("cue ")), 1);
    EXPECT_EQ(idsOf(walk).count(QStringLiteral("LISTadtl")), 1);
    ASSERT_EQ(walk[QStringLiteral("cues")].toArray().size(), 1);
    const QJsonObject expected{{QStringLiteral("1"), QStringLiteral("Marca 9")}};
    EXPECT_EQ(walk[QStringLiteral("labels")].toObject(), expected);

    ASSERT_TRUE(writeWavCues(path, {}).ok());
    EXPECT_EQ(readFile(path), original);
}

TEST(WavCues, RefusedWithoutTouchingTheFile) {
    QTemporaryDir dir;
    // libsndfile's own cue chunk, written before the audio: a second list would contradict it.
    const QString early = dir.filePath(QStringLiteral("early.wav"));
    {
        SF_INFO info{};
        info.samplerate = 8000;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* file = sf_open(early.toLocal8Bit().constData(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr);
        SF_CUES cues{};
        cues.cue_count = 1;
        cues.cue_points[0].indx = 1;
        cues.cue_points[0].sample_offset = 5;
        std::memcpy(&cues.cue_points[0].fcc_chunk, "data", 4);
        ASSERT_EQ(sf_command(file, SFC_SET_CUE, &cues, sizeof cues), SF_TRUE);
        std::vector<short> silence(800, 0);
        sf_writef_short(file, silence.data(), 800);
        sf_close(file);
    }
    const QString text = dir.filePath(QStringLiteral("text.wav"));
    writeBytes(text, "not a sound file at all");
    const QString shortOne = dir.filePath(QStringLiteral("short.wav"));
    writeSine(shortOne, 8000, 1, 800);
    const QString cut = dir.filePath(QStringLiteral("cut.wav"));
    writeSine(cut, 8000, 1, 800);
    writeBytes(cut, readFile(cut).chopped(10));

    const struct {
        const char* what;
        QString path;
        std::vector<Marker> markers;
    } rows[] = {
        {"cue points before the audio", early, {{1, QStringLiteral("Marca 1")}}},
        {"not a WAV", text, {{1, QStringLiteral("Marca 1")}}},
        {"a marker past the audio", shortOne, {{801, QStringLiteral("Marca 1")}}},
        {"audio cut short", cut, {{1, QStringLiteral("Marca 1")}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const QByteArray before = readFile(row.path);
        const auto result = writeWavCues(row.path, row.markers);
        EXPECT_FALSE(result.ok());
        EXPECT_FALSE(result.reason().isEmpty());
        EXPECT_EQ(readFile(row.path), before);
    }
    EXPECT_EQ(writeWavCues(dir.filePath(QStringLiteral("gone.wav")), {}).error, ENOENT);
}

}  // namespace
}  // namespace taggingtest
