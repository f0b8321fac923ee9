// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The names of a take's parts, which files beside a take are its parts, and a new take's name that
// must be free for every part it may grow.

#include "TakeFileSupport.h"

namespace wavfiletest {
namespace {

using basSoundRec_2::firstTakePart;
using basSoundRec_2::takePartPath;

TEST(TakePartNames, NumberGoesBeforeTheExtensionAndBackAgain) {
    const struct {
        const char* first;
        int number;
        const char* part;
    } table[] = {{"/m/03042026090507AM.WAV", 1, "/m/03042026090507AM.WAV"},
                 {"/m/03042026090507AM.WAV", 2, "/m/03042026090507AM.2.WAV"},
                 {"/m/03042026090507AM-2.WAV", 12, "/m/03042026090507AM-2.12.WAV"},
                 {"/disco.v2/Entrevista.Wav", 3, "/disco.v2/Entrevista.3.Wav"},
                 {"/m/take.02.WAV", 1, "/m/take.02.WAV"}};  // a number no part has is the name's
    for (const auto& row : table) {
        int number = 0;
        EXPECT_EQ(takePartPath(QString::fromUtf8(row.first), row.number), QString::fromUtf8(row.part));
        EXPECT_EQ(firstTakePart(QString::fromUtf8(row.part), &number), QString::fromUtf8(row.first));
        EXPECT_EQ(number, row.number) << row.part;
    }
}

// Files made by the take file in order, "name rate channels" ("name" alone: bytes that are no
// take), the first being the take's first part; how many of them, in order, are its parts.
TEST_F(TakeFileTest, OnlyPartsInTheFirstPartsFormatBelongToTheTake) {
    const struct {
        std::vector<const char*> files;
        int parts;
    } table[] = {{{"a.WAV 44100 2", "a.2.WAV 44100 2", "a.3.WAV 44100 2"}, 3},
                 {{"b.WAV 44100 2", "b.2.WAV 22050 2"}, 1},
                 {{"c.WAV 44100 2", "c.2.WAV 44100 1"}, 1},
                 {{"d.WAV 11025 1", "d.2.WAV 11025 1", "d.3.WAV 44100 1"}, 2},
                 {{"e.WAV 44100 2", "e.2.WAV"}, 1},
                 {{"f.WAV", "f.2.WAV 44100 2"}, 1}};
    for (const auto& row : table) {
        QStringList made;
        for (const char* file : row.files) {
            const QStringList words = QString::fromUtf8(file).split(QLatin1Char(' '));
            made << inDir(words[0]);
            TakeFile take(dialogs, kTitle);
            ASSERT_EQ(take.Create(made.back()), made.back());
            const QByteArray audio(400, 'a');
            if (words.size() == 3) {
                ASSERT_TRUE(take.WriteHeader(pcm16(words[1].toUInt(), words[2].toUShort())));
                ASSERT_TRUE(take.Append(bytes(audio), audio.size()).ok());
            }
        }
        EXPECT_EQ(basSoundRec_2::takeParts(made.front()), made.mid(0, row.parts)) << row.files[0];
    }
}

// A part left over from an interrupted save (or anything under a part's name) takes the name: the
// new take would adopt it, or stop at that part with "file exists".
TEST_F(TakeFileTest, ANewTakesNameIsFreeForEveryPart) {
    // A marker file left by a take deleted by hand would become the new take's markers.
    for (const char* name : {"take.2.WAV", "take-2.7.WAV", "Nota.12.Wav", "Nota-2.Wav.markers"}) {
        QFile leftover(inDir(QString::fromUtf8(name)));
        ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    }
    TakeFile take(dialogs, kTitle);
    EXPECT_EQ(take.Create(inDir(QStringLiteral("take.WAV"))), inDir(QStringLiteral("take-3.WAV")));
    EXPECT_EQ(take.Create(inDir(QStringLiteral("Nota.Wav"))), inDir(QStringLiteral("Nota-3.Wav")));
    EXPECT_EQ(take.Create(inDir(QStringLiteral("take.2.WAV"))), inDir(QStringLiteral("take.2-2.WAV")));
    EXPECT_TRUE(messages().isEmpty());
}

}  // namespace
}  // namespace wavfiletest
