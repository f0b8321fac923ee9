// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A record side cut into tracks, through the real window on a PulseAudio server of the test's own:
// five tones of different pitch, with quiet gaps of faint noise and a loud click between them, are
// played into a sink whose monitor the take records; the review (Ctrl+E) splits it with the default
// values and "Salvar faixas…" writes FLAC files with the album's fields. Read back by programs of
// their own: one file a tone, numbered and tagged, and together the take frame for frame.
#include "recorder/window/frmSoundRec.h"

#include "ModalDriver.h"
#include "PrivateServer.h"
#include "Readers.h"
#include "RecordFor.h"
#include "ScriptedDialogs.h"
#include "TakeReader.h"
#include "platform/encoding/Encoding.h"
#include "platform/wavein/PulseWaveIn.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

using namespace testsupport;

namespace {

constexpr int kRate = 44100;
const std::vector<double> kTones{330, 440, 587, 698, 880};

// Plays silence until the file named first exists, then the side once, then silence for good: the
// sink's monitor delivers only while something plays into it.
constexpr char kSide[] = R"(import array, math, os, random, sys
trigger, rate = sys.argv[1], 44100
tones = [float(f) for f in sys.argv[2:]]
out = sys.stdout.buffer
def frames(samples):
    a = array.array('h', bytes(4 * len(samples)))
    for i, s in enumerate(samples):
        a[2 * i] = a[2 * i + 1] = max(-32768, min(32767, int(round(s))))
    if sys.byteorder == 'big':
        a.byteswap()
    return a.tobytes()
random.seed(1)
side = []
for k, f in enumerate(tones):
    side += [16384 * math.sin(2 * math.pi * f * n / rate) for n in range(2 * rate)]
    if k + 1 < len(tones):
        # 2.5 s of noise at -60 dBFS with one click at -6 dBFS peak in its middle.
        gap = [random.gauss(0, 32.8) for n in range(rate * 5 // 2)]
        gap[len(gap) // 2] = 16384
        side += gap
side = frames(side)
block = frames([0] * (rate // 10))
while not os.path.exists(trigger):
    out.write(block)
for at in range(0, len(side), len(block)):
    out.write(side[at:at + len(block)])
while True:
    out.write(block)
)";

// The side, played through a sink of its own whose monitor is where takes record from.
class SidePlayer {
public:
    explicit SidePlayer(const QString& folder) : trigger_(QDir(folder).filePath(QStringLiteral("go"))) {
        if (run(QStringLiteral("pactl"), {QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                                          QStringLiteral("sink_name=tolvane_side"), QStringLiteral("rate=44100"),
                                          QStringLiteral("channels=2"), QStringLiteral("format=s16le")})
                .exitCode != 0) {
            return;
        }
        QStringList arguments{QStringLiteral("-c"), QString::fromLatin1(kSide), trigger_};
        for (const double tone : kTones) {
            arguments << QString::number(tone);
        }
        side_.setStandardOutputProcess(&player_);
        side_.start(QStringLiteral("python3"), arguments);
        player_.start(QStringLiteral("pacat"),
                      {QStringLiteral("--playback"), QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                       QStringLiteral("--rate=44100"), QStringLiteral("--channels=2"),
                       QStringLiteral("--device=tolvane_side"), QStringLiteral("--latency-msec=100")});
        ready_ = side_.waitForStarted() && player_.waitForStarted();
        qputenv("PULSE_SOURCE", "tolvane_side.monitor");
    }
    ~SidePlayer() {
        qunsetenv("PULSE_SOURCE");
        for (QProcess* process : {&side_, &player_}) {
            process->kill();
            process->waitForFinished();
        }
    }
    bool ready() const { return ready_; }
    void play() {
        QFile go(trigger_);
        go.open(QIODevice::WriteOnly);
    }

private:
    QString trigger_;
    QProcess side_;
    QProcess player_;
    bool ready_ = false;
};

// 16-bit stereo frames decoded by flac itself.
QByteArray decoded(const QString& flac) {
    return run(QStringLiteral("flac"), {QStringLiteral("-d"), QStringLiteral("-s"), QStringLiteral("-c"),
                                        QStringLiteral("--force-raw-format"), QStringLiteral("--endian=little"),
                                        QStringLiteral("--sign=signed"), flac})
        .out;
}

// The pitch of the longest loud stretch of the left channel (a tone, not a click), from its rising
// zero crossings.
double pitchOf(const QByteArray& pcm) {
    const auto* samples = reinterpret_cast<const qint16*>(pcm.constData());
    const qsizetype frames = pcm.size() / 4;
    const qsizetype apart = kRate / 100;  // loud samples this close belong to one stretch
    qsizetype first = -1;
    qsizetype last = -1;
    qsizetype from = -1;
    qsizetype previous = -1;
    for (qsizetype f = 0; f <= frames; ++f) {
        const bool end = f == frames;
        if (!end && std::abs(samples[2 * f]) <= 8000) {
            continue;
        }
        if (!end && from >= 0 && f - previous <= apart) {
            previous = f;
            continue;
        }
        if (from >= 0 && previous - from > last - first) {
            first = from;
            last = previous;
        }
        from = previous = f;
    }
    if (first < 0) {
        return 0;
    }
    int rising = 0;
    qsizetype firstRise = -1;
    qsizetype lastRise = -1;
    for (qsizetype f = first + 1; f <= last; ++f) {
        if (samples[2 * (f - 1)] < 0 && samples[2 * f] >= 0) {
            firstRise = firstRise < 0 ? f : firstRise;
            lastRise = f;
            ++rising;
        }
    }
    return rising < 2 ? 0 : (rising - 1) * static_cast<double>(kRate) / static_cast<double>(lastRise - firstRise);
}

QString tagsOf(const QString& flac) {
    return run(QStringLiteral("metaflac"), {QStringLiteral("--export-tags-to=-"), flac}).outText();
}

}  // namespace

TEST(TracksOnPulse, ASideSplitAtItsGapsIsSavedAsOneTaggedFlacATrackHoldingTheTakeExactly) {
    const ServerOfOwn own;
    ASSERT_TRUE(own.started());
    QTemporaryDir work;
    SidePlayer side(work.path());
    ASSERT_TRUE(side.ready());

    QTemporaryDir saved;
    WindowOnServer recorder;
    ASSERT_TRUE(recorder.active);
    auto& [folder, dialogs, waveIn, window, active] = recorder;

    // The side: five tones of 2 s and four gaps of 2.5 s, and a second of the silence after it.
    QTest::mouseClick(window.Check1(), Qt::LeftButton);
    ASSERT_TRUE(window.captureEngine().isRecording());
    QTest::qWait(500);
    side.play();
    QTest::qWait(5 * 2000 + 4 * 2500 + 2500);
    QTest::mouseClick(window.Check1(), Qt::LeftButton);
    ASSERT_TRUE(takeFinished(window));
    const QString take = window.takeFileName;
    const QByteArray takeAudio = readFile(take).mid(46);
    ASSERT_GT(takeAudio.size(), 4 * kRate * 20);

    ModalDriver driver;
    driver.leaveProgressBoxes = true;
    int rows = 0;
    driver.steps.push_back([&](QWidget* review) {
        auto* save = review->findChild<QPushButton*>(QStringLiteral("Save"));
        auto* split = review->findChild<QPushButton*>(QStringLiteral("Split"));
        auto* saveTracks = review->findChild<QPushButton*>(QStringLiteral("SaveTracks"));
        ASSERT_TRUE(save != nullptr && split != nullptr && saveTracks != nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return save->isEnabled(); }, 20000));
        // The tracks lie within the trim: its start a second into the silence before the side.
        QAccessible::queryAccessibleInterface(review->findChild<QWidget*>(QStringLiteral("TrimStart")))
            ->valueInterface()
            ->setCurrentValue(1.0);
        QTest::mouseClick(split, Qt::LeftButton);
        const bool found = QTest::qWaitFor([&] { return saveTracks->isEnabled(); }, 20000);
        if (!found) {
            ADD_FAILURE() << "no boundary found";
            review->close();
            return;
        }
        // Clicked once this step is over: the dialog it opens is the driver's next step.
        QTimer::singleShot(0, saveTracks, [saveTracks] { QTest::mouseClick(saveTracks, Qt::LeftButton); });
    });
    driver.steps.push_back([&](QWidget* dialog) {
        ASSERT_EQ(dialog->objectName(), QStringLiteral("TrackSaveDialog"));
        rows = dialog->findChild<QTableWidget*>(QStringLiteral("TrackTitles"))->rowCount();
        dialog->findChild<QLineEdit*>(QStringLiteral("TrackFolder"))->setText(saved.path());
        auto* format = dialog->findChild<QComboBox*>(QStringLiteral("TrackFormat"));
        format->setCurrentIndex(format->findData(static_cast<int>(platform::encoding::Format::Flac)));
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("TrackAlbum")), QStringLiteral("Lado A"));
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("TrackArtist")), QStringLiteral("Banda Teste"));
        auto* write = dialog->findChild<QPushButton*>(QStringLiteral("TrackSave"));
        ASSERT_TRUE(write->isEnabled());
        QTest::mouseClick(write, Qt::LeftButton);
    });
    QTest::keyClick(&window, Qt::Key_E, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.takeSaved; }, 60000)) << dialogs.messages().join(' ').toStdString();
    EXPECT_TRUE(driver.steps.empty());
    EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.messages().join(' ').toStdString();
    EXPECT_EQ(rows, 5) << "the defaults find the four gaps between the tones, and no other";
    EXPECT_FALSE(QFile::exists(take));

    QByteArray joined;
    for (int n = 1; n <= 5; ++n) {
        SCOPED_TRACE(n);
        const QString file = QDir(saved.path()).filePath(QStringLiteral("%1 Faixa %2.flac").arg(n, 2, 10, QLatin1Char('0')).arg(n));
        ASSERT_TRUE(QFile::exists(file)) << QDir(saved.path()).entryList().join(' ').toStdString();
        const QStringList tags = tagsOf(file).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& wanted : {QStringLiteral("TRACKNUMBER=%1/5").arg(n), QStringLiteral("ALBUM=Lado A"),
                                      QStringLiteral("ARTIST=Banda Teste"), QStringLiteral("TITLE=Faixa %1").arg(n)}) {
            EXPECT_TRUE(tags.contains(wanted)) << wanted.toStdString() << " in " << tags.join(' ').toStdString();
        }
        const QByteArray pcm = decoded(file);
        EXPECT_NEAR(pitchOf(pcm), kTones[static_cast<std::size_t>(n - 1)], 2.0);
        joined += pcm;
    }
    const QByteArray selection = takeAudio.mid(4 * kRate);
    EXPECT_EQ(joined.size(), selection.size());
    EXPECT_TRUE(joined == selection) << "the tracks played in order are not the selection frame for frame";
}
