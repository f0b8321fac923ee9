// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A take's life through the real window: the question before the next take, Save as, and exit.
#include "RecorderUnderTest.h"
#include "TakeReader.h"

#include "OtherVolume.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using platform::Answer;
using testsupport::Recorder;
using testsupport::ShownDialog;

namespace {

const QString kDeleteQuestion = QStringLiteral("Arquivo não foi salvo. Deseja Excluir?");
const QString kExitQuestion = QStringLiteral("Deseja sair sem Gravar o arquivo?");
const QString A = QStringLiteral("03042026090507AM.WAV");
const QString A2 = QStringLiteral("03042026090507AM-2.WAV");  // sorts before A

struct Step {
    enum Kind {
        Record,    // press the toggle, two buffers, release it
        Start,     // press the toggle only
        Save,      // the Save button
        Exit,      // "Saida"
        CloseBox,  // the window's close box
        TakeGone,  // something else removes the take's file
    } kind;
    std::vector<Answer> answers = {};
    // Names typed in the save dialog, in the destination folder; nullopt cancels it.
    std::vector<std::optional<QString>> names = {};
};

struct LifeCase {
    const char* name;
    std::vector<Step> steps;
    // What was asked, the save dialogs and message boxes shown.
    std::vector<QString> asked;
    int saveDialogs;
    int messages;
    // The folders afterwards, and where the first recorded take's bytes are ("" nowhere).
    QStringList takeFiles;
    QStringList savedFiles;
    QString firstTakeAt;
    bool open;
    bool recording;
    bool takeSaved;
    // The destination folder is on another file system; the copy is cancelled at its first step.
    bool acrossVolumes = false;
    bool cancelCopy = false;
    // "Entrevista.Wav" is in the destination folder before the save.
    bool destinationTaken = false;
};

std::string caseName(const testing::TestParamInfo<LifeCase>& info) {
    return info.param.name;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<ShownDialog> shownOf(const Recorder& r, ShownDialog::Kind kind) {
    std::vector<ShownDialog> found;
    for (const auto& d : r.dialogs.shown) {
        if (d.kind == kind) {
            found.push_back(d);
        }
    }
    return found;
}

void run(Recorder& r, const Step& step, const QString& savedFolder) {
    for (Answer a : step.answers) {
        r.dialogs.answers.push_back(a);
    }
    for (const auto& name : step.names) {
        r.dialogs.savePaths.push_back(name ? std::optional(QDir(savedFolder).filePath(*name)) : std::nullopt);
    }
    switch (step.kind) {
        case Step::Record:
            r.click();
            r.produceBuffers(2);
            r.click();
            break;
        case Step::Start:
            r.click();
            break;
        case Step::Save:
            QTest::mouseClick(r.window.cmdSave(), Qt::LeftButton);
            break;
        case Step::Exit:
            QTest::mouseClick(r.window.Command1(), Qt::LeftButton);
            break;
        case Step::CloseBox:
            r.window.close();
            break;
        case Step::TakeGone:
            QFile::remove(r.window.takeFileName);
            break;
    }
}

class TakeLife : public testing::TestWithParam<LifeCase> {};

}  // namespace

TEST_P(TakeLife, EndsAsTheUserAnswered) {
    const LifeCase c = GetParam();
    Recorder r;
    r.window.show();
    testsupport::OtherVolume other(16u << 20);
    if (c.acrossVolumes && !other.usable()) {
        GTEST_SKIP() << "no second file system to save to";
    }
    QTemporaryDir here;
    const QString savedFolder = c.acrossVolumes ? other.path() : here.path();
    const QByteArray earlier("an earlier file of that name");
    if (c.destinationTaken) {
        QFile file(QDir(savedFolder).filePath(QStringLiteral("Entrevista.Wav")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(earlier);
    }
    if (c.cancelCopy) {
        r.dialogs.onProgress = [](std::uint64_t) { return false; };
    }

    QByteArray firstTake;
    for (const Step& step : c.steps) {
        run(r, step, savedFolder);
        if (firstTake.isEmpty() && step.kind == Step::Record) {
            firstTake = readFile(r.window.takeFileName);
        }
    }

    std::vector<QString> asked;
    for (const auto& q : shownOf(r, ShownDialog::Kind::Question)) {
        asked.push_back(q.text);
        EXPECT_EQ(q.title, QStringLiteral("VIZ Eridorov"));
    }
    EXPECT_EQ(asked, c.asked);
    EXPECT_TRUE(r.dialogs.answers.empty()) << "a question was not asked";
    const auto saveDialogs = shownOf(r, ShownDialog::Kind::SaveFile);
    EXPECT_EQ(static_cast<int>(saveDialogs.size()), c.saveDialogs);
    for (const auto& d : saveDialogs) {
        EXPECT_EQ(d.title, QStringLiteral("Save Wave File"));
        EXPECT_EQ(d.text, QStringLiteral("*.WAV"));
    }
    EXPECT_TRUE(r.dialogs.savePaths.empty()) << "a save dialog was not shown";
    EXPECT_EQ(r.dialogs.messages().size(), c.messages) << r.dialogs.messages().join('\n').toStdString();
    if (c.acrossVolumes) {
        EXPECT_EQ(shownOf(r, ShownDialog::Kind::Progress).size(), 1u) << "a copy shows its progress";
    }

    EXPECT_EQ(r.files(), c.takeFiles);
    EXPECT_EQ(QDir(savedFolder).entryList(QDir::Files, QDir::Name), c.savedFiles);
    if (!firstTake.isEmpty()) {
        QString at;
        for (const auto& [prefix, folder] : {std::pair{"takes/", r.folder.path()}, std::pair{"saved/", savedFolder}}) {
            for (const QString& f : QDir(folder).entryList(QDir::Files)) {
                if (readFile(QDir(folder).filePath(f)) == firstTake) {
                    at = QString::fromLatin1(prefix) + f;
                }
            }
        }
        EXPECT_EQ(at, c.firstTakeAt);
    }
    if (c.destinationTaken) {
        EXPECT_EQ(readFile(QDir(savedFolder).filePath(QStringLiteral("Entrevista.Wav"))), earlier);
    }

    EXPECT_EQ(r.window.isVisible(), c.open);
    EXPECT_EQ(r.window.captureEngine().isRecording(), c.recording);
    EXPECT_EQ(r.window.takeSaved, c.takeSaved);
    if (c.open) {
        // The toggle, its caption, Save and the readout's timer agree with whether a take runs.
        EXPECT_EQ(r.window.Check1()->isChecked(), c.recording);
        EXPECT_EQ(r.window.Check1()->text(), c.recording ? QStringLiteral("Parar Gravação")
                                                         : QStringLiteral("Iniciar Gravação"));
        EXPECT_EQ(r.window.cmdSave()->isEnabled(), !c.recording);
        EXPECT_EQ(r.window.Timer2().isActive(), c.recording);
    }
    if (!c.recording) {
        for (const QString& f : r.files()) {
            const auto take = testsupport::readTake(QDir(r.folder.path()).filePath(f));
            EXPECT_EQ(take.u32(4), take.bytes.size() - 8) << f.toStdString() << " was finished";
        }
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Takes, TakeLife, testing::Values(
    LifeCase{"FirstTakeAsksNothing", {{Step::Start}},
             {}, 0, 0, {A}, {}, "", true, true, false},
    LifeCase{"NextTakeYesDeletesTheLastOne", {{Step::Record}, {Step::Start, {Answer::Yes}}},
             {kDeleteQuestion}, 0, 0, {A}, {}, "", true, true, false},
    LifeCase{"NextTakeNoSavesTheLastOneFirst", {{Step::Record}, {Step::Start, {Answer::No}, {"Entrevista"}}},
             {kDeleteQuestion}, 1, 0, {A}, {"Entrevista.Wav"}, "saved/Entrevista.Wav", true, true, false},
    LifeCase{"NextTakeNoThenNoNameKeepsBoth", {{Step::Record}, {Step::Start, {Answer::No}, {std::nullopt}}},
             {kDeleteQuestion}, 1, 0, {A2, A}, {}, "takes/" + A, true, true, false},
    LifeCase{"NextTakeCancelStartsNothing", {{Step::Record}, {Step::Start, {Answer::Cancel}}},
             {kDeleteQuestion}, 0, 0, {A}, {}, "takes/" + A, true, false, false},
    LifeCase{"AfterCancelTheNextClickAsksAgain",
             {{Step::Record}, {Step::Start, {Answer::Cancel}}, {Step::Start, {Answer::Yes}}},
             {kDeleteQuestion, kDeleteQuestion}, 0, 0, {A}, {}, "", true, true, false},
    LifeCase{"ASavedTakeAsksNothing", {{Step::Record}, {Step::Save, {}, {"Entrevista"}}, {Step::Start}},
             {}, 1, 0, {A}, {"Entrevista.Wav"}, "saved/Entrevista.Wav", true, true, false},
    LifeCase{"SaveCancelledSavesNothing", {{Step::Record}, {Step::Save, {}, {std::nullopt}}},
             {}, 1, 0, {A}, {}, "takes/" + A, true, false, false},
    LifeCase{"SaveAddsTheExtension", {{Step::Record}, {Step::Save, {}, {"Entrevista.txt"}}},
             {}, 1, 0, {}, {"Entrevista.txt.Wav"}, "saved/Entrevista.txt.Wav", true, false, true},
    LifeCase{"SaveKeepsALowerCaseWav", {{Step::Record}, {Step::Save, {}, {"Entrevista.wav"}}},
             {}, 1, 0, {}, {"Entrevista.wav"}, "saved/Entrevista.wav", true, false, true},
    LifeCase{"SaveKeepsAnUpperCaseWav", {{Step::Record}, {Step::Save, {}, {"Entrevista.WAV"}}},
             {}, 1, 0, {}, {"Entrevista.WAV"}, "saved/Entrevista.WAV", true, false, true},
    LifeCase{"SaveNeverOverwrites", {{Step::Record}, {Step::Save, {}, {"Entrevista"}}},
             {}, 1, 1, {A}, {"Entrevista.Wav"}, "takes/" + A, true, false, false, false, false, true},
    LifeCase{"ASecondSaveFindsTheTakeGone",
             {{Step::Record}, {Step::Save, {}, {"Entrevista"}}, {Step::Save, {}, {"Outra"}}},
             {}, 2, 1, {}, {"Entrevista.Wav"}, "saved/Entrevista.Wav", true, false, true},
    LifeCase{"SaveToAnotherVolume", {{Step::Record}, {Step::Save, {}, {"Entrevista"}}},
             {}, 1, 0, {}, {"Entrevista.Wav"}, "saved/Entrevista.Wav", true, false, true, true},
    LifeCase{"SaveToAnotherVolumeCancelled", {{Step::Record}, {Step::Save, {}, {"Entrevista"}}},
             {}, 1, 0, {A}, {}, "takes/" + A, true, false, false, true, true},
    LifeCase{"ExitBeforeAnyTake", {{Step::Exit}},
             {}, 0, 0, {}, {}, "", false, false, false},
    LifeCase{"ExitAfterASave", {{Step::Record}, {Step::Save, {}, {"Entrevista"}}, {Step::Exit}},
             {}, 1, 0, {}, {"Entrevista.Wav"}, "saved/Entrevista.Wav", false, false, true},
    LifeCase{"ExitYesDeletesTheTake", {{Step::Record}, {Step::Exit, {Answer::Yes}}},
             {kExitQuestion}, 0, 0, {}, {}, "", false, false, false},
    LifeCase{"CloseBoxYesDeletesTheTake", {{Step::Record}, {Step::CloseBox, {Answer::Yes}}},
             {kExitQuestion}, 0, 0, {}, {}, "", false, false, false},
    LifeCase{"ExitNoSavesThenCloses", {{Step::Record}, {Step::Exit, {Answer::No}, {"Entrevista"}}},
             {kExitQuestion}, 1, 0, {}, {"Entrevista.Wav"}, "saved/Entrevista.Wav", false, false, true},
    LifeCase{"ExitNoWithoutANameStillCloses", {{Step::Record}, {Step::Exit, {Answer::No}, {std::nullopt}}},
             {kExitQuestion}, 1, 0, {A}, {}, "takes/" + A, false, false, false},
    LifeCase{"ExitCancelStays", {{Step::Record}, {Step::CloseBox, {Answer::Cancel}}},
             {kExitQuestion}, 0, 0, {A}, {}, "takes/" + A, true, false, false},
    LifeCase{"ExitDuringATakeFinishesItFirst", {{Step::Start}, {Step::Exit, {Answer::Cancel}}},
             {kExitQuestion}, 0, 0, {A}, {}, "", true, false, false},
    LifeCase{"ExitDuringATakeYesDeletesIt", {{Step::Start}, {Step::Exit, {Answer::Yes}}},
             {kExitQuestion}, 0, 0, {}, {}, "", false, false, false},
    LifeCase{"ExitWhenTheTakeCannotBeDeletedStillCloses",
             {{Step::Record}, {Step::TakeGone}, {Step::Exit, {Answer::Yes}}},
             {kExitQuestion}, 0, 0, {}, {}, "", false, false, false}),
    caseName);
// clang-format on

TEST(TakeLifeDetails, DigitsGoToZeroInOrderAndTheDialogOffersTheLastName) {
    Recorder r;
    QTemporaryDir saved;
    std::vector<int> zeroed;
    for (int i = 0; i < 5; ++i) {
        QObject::connect(r.window.LED1(i), &LED::PropertyChanged, [&, i] {
            if (r.window.LED1(i)->Value() == 0) {
                zeroed.push_back(i);
            }
        });
    }
    // A take of `length` (the question before it answered from the script), leaving the digits lit.
    const auto takeOf = [&](std::chrono::seconds length) {
        r.click();
        r.now += length;
        r.window.Timer2_Timer();
        r.click();
        ASSERT_NE(r.readout(), QStringLiteral("0 00 00"));
    };
    const std::vector<int> inOrder{0, 1, 2, 3, 4};

    // Yes at the next take zeroes them before the new take's readout starts.
    takeOf(std::chrono::seconds(3723));
    zeroed.clear();
    r.dialogs.answers = {Answer::Yes};
    takeOf(std::chrono::seconds(754));
    ASSERT_GE(zeroed.size(), 5u);
    EXPECT_EQ(std::vector<int>(zeroed.begin(), zeroed.begin() + 5), inOrder);

    // Save zeroes them first, also when the dialog is then cancelled.
    zeroed.clear();
    r.dialogs.savePaths = {std::nullopt};
    QTest::mouseClick(r.window.cmdSave(), Qt::LeftButton);
    EXPECT_EQ(zeroed, inOrder);
    EXPECT_EQ(r.readout(), QStringLiteral("0 00 00"));

    // The dialog opens with the name chosen last, not with the name the take was saved under.
    const QString chosen = QDir(saved.path()).filePath(QStringLiteral("Entrevista"));
    r.dialogs.savePaths = {chosen};
    QTest::mouseClick(r.window.cmdSave(), Qt::LeftButton);
    ASSERT_TRUE(r.window.takeSaved);
    takeOf(std::chrono::seconds(5));
    r.dialogs.savePaths = {std::nullopt};
    QTest::mouseClick(r.window.cmdSave(), Qt::LeftButton);
    const auto& last = r.dialogs.shown.back();
    EXPECT_EQ(last.kind, ShownDialog::Kind::SaveFile);
    EXPECT_EQ(last.initialName, chosen);
    EXPECT_TRUE(r.dialogs.answers.empty());
}

// The session ends while a take is being copied to another disk: the window does not close under
// the copy, and once the take is saved it closes as it was told, asking nothing.
TEST(TakeLifeDetails, TheSessionEndingDuringASaveClosesTheWindowOnceTheTakeIsSaved) {
    Recorder r;
    r.window.show();
    testsupport::OtherVolume other(16u << 20);
    if (!other.usable()) {
        GTEST_SKIP() << "no second file system to save to";
    }
    r.click();
    r.click();
    bool ended = false;
    r.dialogs.onProgress = [&](std::uint64_t) {
        if (!ended) {
            ended = true;
            r.window.endSession();
            EXPECT_FALSE(r.window.close()) << "closed under the copy";
        }
        return true;
    };
    r.dialogs.savePaths = {QDir(other.path()).filePath(QStringLiteral("Entrevista"))};
    QTest::mouseClick(r.window.cmdSave(), Qt::LeftButton);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(r.window.takeSaved);
    EXPECT_TRUE(QFile::exists(QDir(other.path()).filePath(QStringLiteral("Entrevista.Wav"))));
    for (int i = 0; i < 50 && r.window.isVisible(); ++i) {
        QTest::qWait(100);
    }
    EXPECT_FALSE(r.window.isVisible()) << "the window stayed after the session ended";
    EXPECT_TRUE(shownOf(r, ShownDialog::Kind::Question).empty());
}

// The application is told to end while a take is being encoded (a signal, or the session manager's
// order to quit): every event loop ends, the encoding is stopped before its outcome is read, and
// the take stays unsaved where it was, with no box that nobody would read and nothing of the save.
TEST(TakeLifeDetails, QuittingDuringAnEncodingKeepsTheTakeAndSaysNothing) {
    Recorder r;
    r.window.show();
    r.click();
    // Ten minutes: seconds of encoding even on a fast machine, so the quit lands while it runs.
    r.produceBuffers(3000);
    r.click();
    const QString take = r.window.takeFileName;
    const std::vector<std::uint8_t> before = testsupport::readTake(take).bytes;
    ASSERT_FALSE(before.empty());
    QTemporaryDir saved;
    bool quit = false;
    r.dialogs.onProgress = [&](std::uint64_t) {
        if (!quit) {
            quit = true;
            r.window.endSession();
            QCoreApplication::exit(0);
        }
        return true;
    };
    r.dialogs.savePaths = {saved.filePath(QStringLiteral("Palestra.ogg"))};
    QTest::mouseClick(r.window.cmdSave(), Qt::LeftButton);
    ASSERT_TRUE(quit);
    EXPECT_TRUE(r.dialogs.messages().isEmpty()) << r.dialogs.messages().join(' ').toStdString();
    EXPECT_FALSE(r.window.takeSaved);
    EXPECT_EQ(testsupport::readTake(take).bytes, before);
    EXPECT_TRUE(QDir(saved.path()).isEmpty()) << "the partial file stayed";
    // Lets the next test's event loops run again, as a new run of the application would.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();

    // The take can still be saved; as a WAV, which the next tests expect to be offered first.
    r.dialogs.savePaths = {saved.filePath(QStringLiteral("Palestra"))};
    r.dialogs.saveFilters = {QStringLiteral("*.WAV")};
    QTest::mouseClick(r.window.cmdSave(), Qt::LeftButton);
    EXPECT_TRUE(r.window.takeSaved);
    EXPECT_EQ(testsupport::readTake(saved.filePath(QStringLiteral("Palestra.Wav"))).bytes, before);
}
