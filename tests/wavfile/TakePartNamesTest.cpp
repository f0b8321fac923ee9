// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The names of a take's parts, which files beside a take are its parts, and a new take's name that
// must be free for every part it may grow.

#include "TakeFileSupport.h"

#include <QDir>

namespace wavfiletest {
namespace {

using basSoundRec_2::firstTakePart;
using basSoundRec_2::takePartPath;
using basSoundRec_2::takeParts;

struct PartName {
    const char* first;
    int number;
    const char* part;
};

TEST(TakePartNames, NumberGoesBeforeTheExtensionAndBackAgain) {
    const PartName table[] = {
        {"/m/03042026090507AM.WAV", 1, "/m/03042026090507AM.WAV"},
        {"/m/03042026090507AM.WAV", 2, "/m/03042026090507AM.2.WAV"},
        {"/m/03042026090507AM-2.WAV", 12, "/m/03042026090507AM-2.12.WAV"},
        {"/m/Entrevista.Wav", 3, "/m/Entrevista.3.Wav"},
        {"/disco.v2/faixa.Wav", 2, "/disco.v2/faixa.2.Wav"},
    };
    for (const PartName& row : table) {
        const QString first = QString::fromUtf8(row.first);
        const QString part = QString::fromUtf8(row.part);
        EXPECT_EQ(takePartPath(first, row.number), part) << row.first << " " << row.number;
        int number = 0;
        EXPECT_EQ(firstTakePart(part, &number), first) << row.part;
        EXPECT_EQ(number, row.number) << row.part;
    }
    // A number that is not a part's is part of the name.
    for (const char* name : {"/m/take.1.WAV", "/m/take.02.WAV", "/m/2.WAV", "/m/take.x2.WAV"}) {
        int number = 0;
        EXPECT_EQ(firstTakePart(QString::fromUtf8(name), &number), QString::fromUtf8(name));
        EXPECT_EQ(number, 1) << name;
    }
}

// A file beside a take, made by the take file itself: "" none, or the format it is recorded in.
struct Beside {
    const char* name;
    std::uint32_t rate = 44100;
    std::uint16_t channels = 2;
    bool take = true;  // false: bytes that are no take at all
};

struct PartsCase {
    const char* name;
    std::vector<Beside> files;  // in the order they are made; the first is the take's first part
    int parts;                  // how many of them, in order, are the take's
};

void PrintTo(const PartsCase& c, std::ostream* out) {
    *out << c.name;
}

class TakePartsBeside : public TakeFileTest, public ::testing::WithParamInterface<PartsCase> {};

TEST_P(TakePartsBeside, OnlyPartsOfTheFirstPartsFormatBelong) {
    QStringList made;
    for (const Beside& file : GetParam().files) {
        const QString path = inDir(QString::fromUtf8(file.name));
        if (file.take) {
            TakeFile take(dialogs, kTitle);
            ASSERT_EQ(take.Create(path), path);
            ASSERT_TRUE(take.WriteHeader(pcm16(file.rate, file.channels)));
            const QByteArray audio(400, 'a');
            ASSERT_TRUE(take.Append(bytes(audio), audio.size()).ok());
            take.Finalise();
        } else {
            QFile other(path);
            ASSERT_TRUE(other.open(QIODevice::WriteOnly));
            other.write(QByteArray(200, 'x'));
        }
        made << path;
    }
    EXPECT_EQ(takeParts(made.front()), made.mid(0, GetParam().parts));
    EXPECT_TRUE(messages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Leftovers, TakePartsBeside,
    testing::Values(
        PartsCase{"ThreePartsOfOneFormat", {{"take.WAV"}, {"take.2.WAV"}, {"take.3.WAV"}}, 3},
        PartsCase{"APartOfAnotherRate", {{"take.WAV"}, {"take.2.WAV", 22050}}, 1},
        PartsCase{"APartOfOtherChannels", {{"take.WAV"}, {"take.2.WAV", 44100, 1}}, 1},
        PartsCase{"AThirdOfAnotherFormat", {{"take.WAV"}, {"take.2.WAV"}, {"take.3.WAV", 11025, 1}}, 2},
        PartsCase{"APartThatIsNoTake", {{"take.WAV"}, {"take.2.WAV", 44100, 2, false}}, 1},
        PartsCase{"AFirstThatIsNoTake", {{"take.WAV", 44100, 2, false}, {"take.2.WAV"}}, 1},
        PartsCase{"ASavedTakeKeepsItsParts", {{"Entrevista.Wav", 11025, 1}, {"Entrevista.2.Wav", 11025, 1}}, 2}),
    [](const testing::TestParamInfo<PartsCase>& info) { return std::string(info.param.name); });

// A part left over from an interrupted save (or anything under a part's name) makes the name taken:
// the new take would adopt it, or stop at that part with "file exists".
TEST_F(TakeFileTest, ANewTakesNameIsFreeForEveryPart) {
    for (const char* name : {"take.2.WAV", "take-2.7.WAV", "Nota.12.Wav"}) {
        QFile leftover(inDir(QString::fromUtf8(name)));
        ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
        leftover.write("a part of another take");
    }
    TakeFile take(dialogs, kTitle);
    EXPECT_EQ(take.Create(inDir(QStringLiteral("take.WAV"))), inDir(QStringLiteral("take-3.WAV")));
    EXPECT_EQ(take.Create(inDir(QStringLiteral("Nota.Wav"))), inDir(QStringLiteral("Nota-2.Wav")));
    EXPECT_EQ(take.Create(inDir(QStringLiteral("take.2.WAV"))), inDir(QStringLiteral("take.2-2.WAV")));
    EXPECT_TRUE(messages().isEmpty());
}

}  // namespace
}  // namespace wavfiletest
