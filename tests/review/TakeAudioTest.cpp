// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A take's frames across its parts, as the review reads them: every format a take may have, and
// takes that are not whole (cut short, damaged, in pieces, empty), which play what is there and
// say what is missing.
#include "recorder/review/TakeAudio.h"

#include "ReviewTakes.h"
#include "TakeReader.h"
#include "recorder/review/TimeText.h"
#include "recorder/wavfile/TakeParts.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace review {
// Readable failure messages.
void PrintTo(const Gap& gap, std::ostream* os) {
    *os << "{lack " << static_cast<int>(gap.lack) << ", part " << gap.part << ", at " << gap.atFrame << ", "
        << gap.frames << " frames}";
}
}  // namespace review

namespace {

using review::Gap;
using review::Lack;
using review::TakeAudio;
using reviewtest::TakeSpec;

constexpr std::uint64_t kFrames = 25000;

// Parts of at most `frames` frames of `spec`.
std::uint64_t riffSizeForParts(const TakeSpec& spec, std::uint64_t frames) {
    // The RIFF size counts the 4-byte form type, the fmt chunk (8 + 18) and the data chunk header.
    return 4 + 26 + 8 + frames * spec.channels * spec.bits / 8;
}

std::vector<std::int32_t> read(const TakeAudio& audio, std::uint64_t from, std::uint64_t to) {
    std::vector<std::int32_t> out((to - from) * audio.format().channels, 0x5A5A5A5A);
    audio.readInt32(from, to, out.data());
    return out;
}

// Frames each part file holds, by its size.
std::vector<std::uint64_t> framesPerPart(const QString& first, const TakeSpec& spec) {
    std::vector<std::uint64_t> frames;
    for (const QString& part : basSoundRec_2::takeParts(first)) {
        const auto bytes = static_cast<std::uint64_t>(QFileInfo(part).size()) - reviewtest::dataOffsetOf(part);
        frames.push_back(bytes / (spec.channels * spec.bits / 8));
    }
    return frames;
}

struct FormatCase {
    const char* name;
    TakeSpec spec;
};

const FormatCase kFormats[] = {
    {"16-bit stereo 44100 Hz", {44100, 2, 16}},
    {"16-bit mono 22050 Hz", {22050, 1, 16}},
    {"24-bit stereo 96000 Hz", {96000, 2, 24}},
    {"24-bit mono 48000 Hz", {48000, 1, 24}},
};

TEST(TakeAudio, ReadsEveryFormatAcrossItsParts) {
    for (const FormatCase& row : kFormats) {
        SCOPED_TRACE(row.name);
        QTemporaryDir folder;
        const QString first = reviewtest::writeTake(folder.path(), row.spec, kFrames, riffSizeForParts(row.spec, 10000));
        ASSERT_FALSE(first.isEmpty());
        const auto perPart = framesPerPart(first, row.spec);
        ASSERT_GE(perPart.size(), 3u);

        const auto opened = TakeAudio::open(first);
        ASSERT_TRUE(opened.audio) << opened.error.toStdString();
        const TakeAudio& audio = *opened.audio;
        EXPECT_EQ(audio.frames(), kFrames);
        EXPECT_EQ(audio.format().rate, row.spec.rate);
        EXPECT_EQ(audio.format().channels, row.spec.channels);
        EXPECT_EQ(audio.bitsPerSample(), row.spec.bits);
        EXPECT_TRUE(audio.gaps().empty());
        ASSERT_EQ(audio.partCount(), static_cast<int>(perPart.size()));
        std::uint64_t start = 0;
        for (int part = 1; part <= audio.partCount(); ++part) {
            EXPECT_EQ(audio.partStart(part), start) << "part " << part;
            start += perPart[static_cast<std::size_t>(part) - 1];
        }

        const std::uint64_t second = audio.partStart(2);
        const std::uint64_t third = audio.partStart(3);
        const std::pair<std::uint64_t, std::uint64_t> ranges[] = {
            {0, kFrames},               {second - 3, second + 3}, {second - 1, second},
            {second, second + 1},       {third - 5, kFrames},     {kFrames - 1, kFrames},
            {1, third + 7},             {1234, 1235},
        };
        for (const auto& [from, to] : ranges) {
            SCOPED_TRACE(testing::Message() << "frames " << from << ".." << to);
            EXPECT_EQ(read(audio, from, to), reviewtest::expected(row.spec, from, to));
            std::vector<float> floats((to - from) * row.spec.channels);
            audio.readFloat(from, to, floats.data());
            const auto ints = reviewtest::expected(row.spec, from, to);
            for (std::size_t i = 0; i < floats.size(); ++i) {
                ASSERT_EQ(floats[i], static_cast<float>(ints[i]) / 2147483648.0F) << "sample " << i;
            }
        }
        // Past the end nothing is written.
        const auto past = read(audio, kFrames - 2, kFrames + 3);
        EXPECT_EQ(std::vector<std::int32_t>(past.begin(), past.begin() + 2 * row.spec.channels),
                  reviewtest::expected(row.spec, kFrames - 2, kFrames));
        EXPECT_EQ(past.back(), 0x5A5A5A5A);
    }
}

// What a damaged take looks like to the review, each from a whole three-part take of 10000, 10000
// and 5000 frames of 16-bit stereo.
struct DamageCase {
    const char* name;
    std::function<void(const QStringList& parts)> damage;
    std::uint64_t frames;
    std::vector<Gap> gaps;
    // Take frames and the recorded frames they hold, to check the reading across what was lost.
    std::uint64_t at;
    std::uint64_t recorded;
};

const TakeSpec kStereo16{44100, 2, 16};

void truncateTo(const QString& path, std::uint64_t length) {
    ASSERT_TRUE(QFile::resize(path, static_cast<qint64>(length)));
}
std::uint64_t sizeOf(const QString& path) {
    return static_cast<std::uint64_t>(QFileInfo(path).size());
}
std::uint64_t fmtOffsetOf(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return static_cast<std::uint64_t>(file.read(4096).indexOf("fmt ")) + 8;
}

const std::vector<DamageCase>& damageCases() {
    static const std::vector<DamageCase> cases = {
        {"the first part cut short, a frame torn",
         [](const QStringList& p) { truncateTo(p[0], sizeOf(p[0]) - 1000 * 4 - 1); }, kFrames - 1001,
         {{Lack::Truncated, 1, 8999, 1001}}, 8989, 8989},
        {"the first part's last frames read on into the second's",
         [](const QStringList& p) { truncateTo(p[0], sizeOf(p[0]) - 1000 * 4); }, kFrames - 1000,
         {{Lack::Truncated, 1, 9000, 1000}}, 9000, 10000},
        {"the last part cut short", [](const QStringList& p) { truncateTo(p[2], sizeOf(p[2]) - 2 * 4); },
         kFrames - 2, {{Lack::Truncated, 3, kFrames - 2, 2}}, 24990, 24990},
        {"the second part's header damaged",
         [](const QStringList& p) { reviewtest::patch(p[1], 0, QByteArray(12, '\0')); }, kFrames,
         {{Lack::DamagedHeader, 2, 10000, 0}}, 9998, 9998},
        {"the second part in another format",
         [](const QStringList& p) {
             const std::uint64_t fmt = fmtOffsetOf(p[1]);
             reviewtest::patch(p[1], fmt + 2, QByteArray("\x01\x00", 2));   // channels
             reviewtest::patch(p[1], fmt + 12, QByteArray("\x02\x00", 2));  // block align
         },
         kFrames - 10000, {{Lack::OtherFormat, 2, 10000, 20000}}, 9990, 9990},
        {"the last part's sizes still provisional",
         [](const QStringList& p) {
             reviewtest::patch(p[2], 4, reviewtest::le32(0));
             reviewtest::patch(p[2], reviewtest::dataOffsetOf(p[2]) - 4, reviewtest::le32(18));
         },
         kFrames, {}, 24000, 24000},
        {"the last part's header a second behind its audio",
         [](const QStringList& p) {
             const std::uint64_t data = reviewtest::dataOffsetOf(p[2]);
             reviewtest::patch(p[2], 4, reviewtest::le32(static_cast<std::uint32_t>(data - 8 + 400)));
             reviewtest::patch(p[2], data - 4, reviewtest::le32(400));
         },
         kFrames, {}, 24000, 24000},
        {"a chunk after the last part's audio",
         [](const QStringList& p) {
             QFile file(p[2]);
             ASSERT_TRUE(file.open(QIODevice::Append));
             file.write(QByteArray("LIST\x04\x00\x00\x00INFO", 12));
             file.close();
             reviewtest::patch(p[2], 4, reviewtest::le32(static_cast<std::uint32_t>(sizeOf(p[2]) - 8)));
         },
         kFrames, {}, 24999, 24999},
        {"the first part cut in its header", [](const QStringList& p) { truncateTo(p[0], 20); }, kFrames - 10000,
         {{Lack::DamagedHeader, 1, 0, 0}}, 0, 10000},
    };
    return cases;
}

TEST(TakeAudio, PlaysWhatIsThereAndSaysWhatIsMissing) {
    for (const DamageCase& row : damageCases()) {
        SCOPED_TRACE(row.name);
        QTemporaryDir folder;
        const QString first = reviewtest::writeTake(folder.path(), kStereo16, kFrames, riffSizeForParts(kStereo16, 10000));
        const QStringList parts = basSoundRec_2::takeParts(first);
        ASSERT_EQ(parts.size(), 3);
        row.damage(parts);
        const auto opened = TakeAudio::open(first);
        ASSERT_TRUE(opened.audio) << opened.error.toStdString();
        EXPECT_EQ(opened.audio->frames(), row.frames);
        EXPECT_EQ(opened.audio->gaps(), row.gaps);
        // A few frames from `at` on are the recorded ones from `recorded` on.
        const std::uint64_t to = std::min(row.at + 10, row.frames);
        EXPECT_EQ(read(*opened.audio, row.at, to), reviewtest::expected(kStereo16, row.recorded, row.recorded + (to - row.at)));
        EXPECT_EQ(review::describeGaps(opened.audio->gaps(), opened.audio->partPaths(), 44100).isEmpty(),
                  row.gaps.empty());
    }
}

TEST(TakeAudio, LeavesOutAPartThatCannotBeOpened) {
    QTemporaryDir folder;
    const QString first = reviewtest::writeTake(folder.path(), kStereo16, kFrames, riffSizeForParts(kStereo16, 10000));
    QStringList parts = basSoundRec_2::takeParts(first);
    parts[1] = folder.filePath(QStringLiteral("gone.2.WAV"));
    const auto opened = TakeAudio::openParts(parts);
    ASSERT_TRUE(opened.audio);
    EXPECT_EQ(opened.audio->frames(), kFrames - 10000);
    EXPECT_EQ(opened.audio->gaps(), (std::vector<Gap>{{Lack::MissingPart, 2, 10000, 0}}));
    auto want = reviewtest::expected(kStereo16, 9999, 10000);
    const auto after = reviewtest::expected(kStereo16, 20000, 20001);
    want.insert(want.end(), after.begin(), after.end());
    EXPECT_EQ(read(*opened.audio, 9999, 10001), want);
}

TEST(TakeAudio, EmptyTakesOpenWithNoFramesAndUnreadableOnesDoNot) {
    QTemporaryDir folder;
    const QString headerOnly = reviewtest::writeTake(folder.path(), {48000, 1, 24}, 0);
    const QString empty = folder.filePath(QStringLiteral("empty.WAV"));
    {
        QFile file(empty);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString garbage = folder.filePath(QStringLiteral("garbage.WAV"));
    {
        QFile file(garbage);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(100, 'x'));
    }
    struct Row {
        const char* name;
        QString path;
        bool opens;
    };
    const Row rows[] = {
        {"a header and nothing after", headerOnly, true},
        {"a file never written", empty, true},
        {"not a WAV file", garbage, false},
        {"no file", folder.filePath(QStringLiteral("none.WAV")), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto opened = TakeAudio::open(row.path);
        EXPECT_EQ(static_cast<bool>(opened.audio), row.opens);
        EXPECT_EQ(opened.error.isEmpty(), row.opens) << opened.error.toStdString();
        if (opened.audio) {
            EXPECT_EQ(opened.audio->frames(), 0u);
            EXPECT_TRUE(opened.audio->gaps().empty());
            opened.audio->readInt32(0, 10, nullptr);  // nothing to read, nothing written
        } else {
            EXPECT_TRUE(opened.error.contains(QFileInfo(row.path).fileName())) << opened.error.toStdString();
        }
    }
    EXPECT_EQ(TakeAudio::open(headerOnly).audio->format().rate, 48000u);
}

TEST(TakeAudio, FramesTheDiskNoLongerGivesBackPlayAsSilenceAndAreToldOnce) {
    QTemporaryDir folder;
    const QString first = reviewtest::writeTake(folder.path(), kStereo16, kFrames, riffSizeForParts(kStereo16, 10000));
    const auto opened = TakeAudio::open(first);
    ASSERT_TRUE(opened.audio);
    const QStringList parts = basSoundRec_2::takeParts(first);
    // The second part loses its end under the reader, half-way into frame 4000.
    truncateTo(parts[1], reviewtest::dataOffsetOf(parts[1]) + 4000 * 4 + 2);
    for (int pass = 0; pass < 2; ++pass) {
        const auto all = read(*opened.audio, 0, kFrames);
        const auto want = reviewtest::expected(kStereo16, 0, kFrames);
        EXPECT_TRUE(std::equal(all.begin(), all.begin() + 14000 * 2, want.begin()));
        EXPECT_TRUE(std::all_of(all.begin() + 14000 * 2, all.begin() + 20000 * 2, [](std::int32_t s) { return s == 0; }));
        EXPECT_TRUE(std::equal(all.begin() + 20000 * 2, all.end(), want.begin() + 20000 * 2));
    }
    EXPECT_EQ(opened.audio->gaps(), (std::vector<Gap>{{Lack::Unreadable, 2, 14000, 6000}}));
}

TEST(TakeAudio, SaysWhatIsMissingInOneLine) {
    const QStringList parts{QStringLiteral("/takes/a.WAV"), QStringLiteral("/takes/a.2.WAV")};
    struct Row {
        std::vector<Gap> gaps;
        QStringList mentions;
    };
    const Row rows[] = {
        {{}, {}},
        {{{Lack::Truncated, 2, 100, 44100 * 61 + 441}}, {QStringLiteral("a.2.WAV"), QStringLiteral("0:01:01.010")}},
        {{{Lack::Unreadable, 1, 0, 22050}}, {QStringLiteral("a.WAV"), QStringLiteral("0:00:00.500")}},
        {{{Lack::OtherFormat, 2, 0, 44100}}, {QStringLiteral("a.2.WAV"), QStringLiteral("0:00:01.000")}},
        {{{Lack::DamagedHeader, 2, 0, 0}}, {QStringLiteral("a.2.WAV")}},
        {{{Lack::MissingPart, 2, 0, 0}}, {QStringLiteral("a.2.WAV")}},
        {{{Lack::Truncated, 1, 0, 44100}, {Lack::Unreadable, 2, 0, 44100}}, {QStringLiteral("0:00:02.000"), QStringLiteral("2")}},
    };
    for (const Row& row : rows) {
        const QString line = review::describeGaps(row.gaps, parts, 44100);
        EXPECT_EQ(line.isEmpty(), row.gaps.empty());
        EXPECT_FALSE(line.contains(QLatin1Char('\n')));
        for (const QString& word : row.mentions) {
            EXPECT_TRUE(line.contains(word)) << line.toStdString() << " lacks " << word.toStdString();
        }
    }
}

TEST(TakeAudio, TimesAreShownToTheSecondAndToTheMillisecond) {
    struct Row {
        std::uint64_t frame;
        std::uint32_t rate;
        const char* clock;
        const char* precise;
    };
    const Row rows[] = {
        {0, 44100, "0:00:00", "0:00:00.000"},
        {44099, 44100, "0:00:00", "0:00:00.999"},
        {44100, 44100, "0:00:01", "0:00:01.000"},
        {44100ull * 3661 + 22050, 44100, "1:01:01", "1:01:01.500"},
        {96000ull * 8 * 3600 - 1, 96000, "7:59:59", "7:59:59.999"},
        {11025ull * 36000 + 11, 11025, "10:00:00", "10:00:00.000"},
        {1, 0, "0:00:00", "0:00:00.000"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(review::clockText(row.frame, row.rate), QLatin1String(row.clock));
        EXPECT_EQ(review::preciseClockText(row.frame, row.rate), QLatin1String(row.precise));
    }
}

}  // namespace
