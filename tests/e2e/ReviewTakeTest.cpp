// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Markers and a trim, through the real window on a PulseAudio server of the test's own whose source
// counts its frames: two Ctrl+M during a take, the review opened with Ctrl+E, its handles set with I
// and O, and "Salvar…". The saved file, read back by programs of its own, holds exactly the frames
// between the handles, and the markers shifted by the first handle.
#include "recorder/window/frmSoundRec.h"

#include "CountingSource.h"
#include "ModalDriver.h"
#include "PrivateServer.h"
#include "Readers.h"
#include "RecordFor.h"
#include "ScriptedDialogs.h"
#include "platform/wavein/PulseWaveIn.h"
#include "recorder/wavfile/TakeMarkers.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace testsupport;

namespace {

constexpr double kRate = 44100;
constexpr int kHeader = 46;

// The frame count and the cue points' sample offsets of a WAV file, as Python's own wave module
// and a walk over its chunks read them.
const char* const kWavReader = R"(
import struct, sys, wave
path = sys.argv[1]
print(wave.open(path).getnframes())
data = open(path, 'rb').read()
at = 12
while at + 8 <= len(data):
    kind, size = data[at:at + 4], struct.unpack('<I', data[at + 4:at + 8])[0]
    if kind == b'cue ':
        for n in range(struct.unpack('<I', data[at + 8:at + 12])[0]):
            print(struct.unpack('<I', data[at + 12 + 24 * n + 20:at + 12 + 24 * n + 24])[0])
    at += 8 + size + (size & 1)
)";

struct ReadBack {
    std::uint64_t frames = 0;
    std::vector<double> markerSeconds;  // as the file states them
    double markerPrecision = 0;         // seconds either way
    QByteArray pcm;                     // 16-bit little-endian frames
    QString complaint;
};

ReadBack readWav(const QString& path) {
    ReadBack back;
    const QStringList lines =
        run(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kWavReader), path})
            .outText()
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    back.frames = lines.value(0).toULongLong();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        back.markerSeconds.push_back(lines[i].toDouble() / kRate);
    }
    back.markerPrecision = 0.5 / kRate;
    const QString info = run(QStringLiteral("sndfile-info"), {path}).outText();
    for (std::size_t n = 1; n <= back.markerSeconds.size(); ++n) {
        if (!info.contains(QStringLiteral("labl : %1 : Marca %1").arg(n))) {
            back.complaint += QStringLiteral("sndfile-info shows no label \"Marca %1\"; ").arg(n);
        }
    }
    back.pcm = run(QStringLiteral("sox"), {path, QStringLiteral("-t"), QStringLiteral("s16"), QStringLiteral("-")}).out;
    return back;
}

ReadBack readFlac(const QString& path) {
    ReadBack back;
    back.frames = run(QStringLiteral("metaflac"), {QStringLiteral("--show-total-samples"), path})
                      .outText()
                      .trimmed()
                      .toULongLong();
    const QStringList tags = run(QStringLiteral("metaflac"), {QStringLiteral("--export-tags-to=-"), path})
                                 .outText()
                                 .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (int n = 1;; ++n) {
        const QString key = QStringLiteral("CHAPTER%1=").arg(n, 3, 10, QLatin1Char('0'));
        const auto found = std::find_if(tags.begin(), tags.end(), [&](const QString& t) { return t.startsWith(key); });
        if (found == tags.end()) {
            break;
        }
        // "00:01:02.500"
        const QStringList parts = found->mid(key.size()).split(QLatin1Char(':'));
        back.markerSeconds.push_back(parts.value(0).toDouble() * 3600 + parts.value(1).toDouble() * 60 +
                                     parts.value(2).toDouble());
        if (!tags.contains(QStringLiteral("CHAPTER%1NAME=Marca %2").arg(n, 3, 10, QLatin1Char('0')).arg(n))) {
            back.complaint += QStringLiteral("no name for chapter %1; ").arg(n);
        }
    }
    back.markerPrecision = 0.001;
    back.pcm = run(QStringLiteral("flac"), {QStringLiteral("-d"), QStringLiteral("-s"), QStringLiteral("-c"),
                                            QStringLiteral("--force-raw-format"), QStringLiteral("--endian=little"),
                                            QStringLiteral("--sign=signed"), path})
                   .out;
    return back;
}

}  // namespace

TEST(ReviewTakeOnPulse, MarkersAndATrimReachTheSavedFileExactly) {
    const CountingServer sound;
    ASSERT_TRUE(sound.ready());

    struct Row {
        const char* name;
        ReadBack (*read)(const QString&);
    };
    const Row rows[] = {{"cut.wav", readWav}, {"cut.flac", readFlac}};

    QTemporaryDir saved;
    WindowOnServer recorder;
    ASSERT_TRUE(recorder.active);
    auto& [folder, dialogs, waveIn, window, active] = recorder;
    ModalDriver driver;

    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // The keys reach the window that is active, as after the review closed.
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        // Each press is timed before and after, on the clock the window reads.
        using Clock = std::chrono::steady_clock;
        struct Press {
            Clock::time_point before, after;
        };
        const auto press = [](const std::function<void()>& action) {
            Press p{Clock::now(), {}};
            action();
            p.after = Clock::now();
            return p;
        };
        const auto ctrlM = [&] { QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier); };
        const Press start = press([&] { QTest::mouseClick(window.Check1(), Qt::LeftButton); });
        ASSERT_TRUE(window.captureEngine().isRecording());
        QTest::qWait(1500);
        const Press first = press(ctrlM);
        QTest::qWait(1000);
        const Press second = press(ctrlM);
        QTest::qWait(1000);
        QTest::mouseClick(window.Check1(), Qt::LeftButton);
        ASSERT_TRUE(takeFinished(window));
        const QString take = window.takeFileName;
        EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("Shape6"))->toolTip(), QStringLiteral("2 marcas"));

        // Where the stream's clock put each marker: as far after the take's first frame as the press
        // was after the toggle's.
        const std::vector<std::uint64_t> markers = basSoundRec_2::readTakeMarkers(take).frames;
        ASSERT_EQ(markers.size(), 2u);
        for (const auto& [marker, p] : {std::pair{markers[0], first}, std::pair{markers[1], second}}) {
            const double seconds = (static_cast<double>(marker) - kTakeLeadInFrames) / kRate;
            const double earliest = std::chrono::duration<double>(p.before - start.after).count();
            const double latest = std::chrono::duration<double>(p.after - start.before).count();
            EXPECT_GT(seconds, earliest - 0.02);
            EXPECT_LT(seconds, latest + 0.02);
        }
        const QByteArray takeBytes = readFile(take);

        // The handles at 3.0 s and 5.0 s of the take, lead-in included, both markers between them.
        const std::uint64_t begin = 3 * 44100;
        const std::uint64_t end = 5 * 44100;
        ASSERT_GT(markers[0], begin);
        ASSERT_LT(markers[1], end);
        dialogs.savePaths.push_back(QDir(saved.path()).filePath(QString::fromLatin1(row.name)));
        driver.steps.push_back([&](QWidget* modal) {
            EXPECT_EQ(modal->windowTitle(), QStringLiteral("Ouvir e cortar - ") + QFileInfo(take).fileName());
            auto* save = modal->findChild<QPushButton*>(QStringLiteral("Save"));
            ASSERT_TRUE(QTest::qWaitFor([&] { return save->isEnabled(); }, 20000));
            // The handles set as a screen reader sets the sliders "Início do corte" and "Fim do corte".
            for (const auto& [name, seconds] : {std::pair{"TrimStart", 3.0}, std::pair{"TrimEnd", 5.0}}) {
                auto* handle = modal->findChild<QWidget*>(QLatin1String(name));
                ASSERT_NE(handle, nullptr) << name;
                QAccessible::queryAccessibleInterface(handle)->valueInterface()->setCurrentValue(seconds);
            }
            QTest::mouseClick(save, Qt::LeftButton);
        });
        QTest::keyClick(&window, Qt::Key_E, Qt::ControlModifier);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.takeSaved; }, 60000)) << dialogs.messages().join(' ').toStdString();
        EXPECT_TRUE(driver.steps.empty());
        EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.messages().join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(take)) << "the take stays after it was saved";
        EXPECT_FALSE(QFile::exists(basSoundRec_2::takeMarkersPath(take))) << "its marker file stays";

        const ReadBack back = row.read(QDir(saved.path()).filePath(QString::fromLatin1(row.name)));
        EXPECT_EQ(back.complaint, QString());
        EXPECT_EQ(back.frames, end - begin);
        EXPECT_TRUE(back.pcm == takeBytes.mid(kHeader + static_cast<qsizetype>(begin) * 4,
                                              static_cast<qsizetype>(end - begin) * 4))
            << "other frames than the selection's (" << back.pcm.size() << " bytes)";
        ASSERT_EQ(back.markerSeconds.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_NEAR(back.markerSeconds[i], static_cast<double>(markers[i] - begin) / kRate,
                        back.markerPrecision);
        }
    }
}
