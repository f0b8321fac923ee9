// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// On a real X server, through the real save dialog: a take from the private sound server saved in
// every format, chosen by the dialog's filter and by a typed extension, each file read back by
// programs of its own (ffprobe, ffmpeg, flac); and saves that must not happen (cancelled, disk full,
// name taken) leave the take as it was and say why.
#include "recorder/window/frmSoundRec.h"

#include "ModalDriver.h"
#include "OtherVolume.h"
#include "Readers.h"
#include "RecordFor.h"
#include "platform/wavein/PulseWaveIn.h"

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <optional>

#include <sys/resource.h>

using testsupport::readFile;
using testsupport::recordFor;
using testsupport::run;
using testsupport::ToolRun;

namespace {

QByteArray digestOf(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
}

// The take's audio as sox reads it: 16-bit little-endian frames, and its format.
struct Audio {
    QByteArray pcm;
    int rate = 0;
    int channels = 0;
    double seconds() const { return channels == 0 ? 0 : pcm.size() / 2.0 / channels / rate; }
};

Audio audioOf(const QString& wav) {
    Audio audio;
    audio.rate = run(QStringLiteral("soxi"), {QStringLiteral("-r"), wav}).out.trimmed().toInt();
    audio.channels = run(QStringLiteral("soxi"), {QStringLiteral("-c"), wav}).out.trimmed().toInt();
    audio.pcm =
        run(QStringLiteral("sox"), {wav, QStringLiteral("-t"), QStringLiteral("s16"), QStringLiteral("-")})
            .out;
    return audio;
}

// Decoded by ffmpeg back to the take's rate and channels, as 16-bit frames.
QByteArray decodedLike(const QString& file, const Audio& take) {
    return run(QStringLiteral("ffmpeg"),
               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file,
                QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-ac"),
                QString::number(take.channels), QStringLiteral("-ar"), QString::number(take.rate),
                QStringLiteral("-")})
        .out;
}

// How closely the decoded audio follows the take, in dB of signal to difference, at the best
// offset within `range` frames; the offset found goes to `lag`.
double likeness(const QByteArray& take, const QByteArray& decoded, int channels, int range, int& lag) {
    const auto* a = reinterpret_cast<const qint16*>(take.constData());
    const auto* b = reinterpret_cast<const qint16*>(decoded.constData());
    const qsizetype frames = std::min(take.size(), decoded.size()) / 2 / channels;
    double best = -1e9;
    for (int shift = -range; shift <= range; ++shift) {
        double signal = 0;
        double noise = 0;
        for (qsizetype f = range; f < frames - range; ++f) {
            const double x = a[f * channels];
            const double y = b[(f + shift) * channels];
            signal += x * x;
            noise += (x - y) * (x - y);
        }
        const double db = 10 * std::log10((signal + 1) / (noise + 1));
        if (db > best) {
            best = db;
            lag = shift;
        }
    }
    return best;
}

struct Probe {
    QString formatName;
    QString codec;
    int channels = 0;
    int rate = 0;
    double seconds =
        0;  // what it plays: the container's duration less the encoder delay skipped at the start
    QMap<QString, QString> tags;  // of the stream and the container, keys in lower case
};

Probe probe(const QString& file) {
    const ToolRun r =
        run(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_format"),
             QStringLiteral("-show_streams"), QStringLiteral("-of"), QStringLiteral("json"), file});
    const QJsonObject root = QJsonDocument::fromJson(r.out).object();
    const QJsonObject format = root.value(QStringLiteral("format")).toObject();
    const QJsonObject stream = root.value(QStringLiteral("streams")).toArray().first().toObject();
    Probe p;
    p.formatName = format.value(QStringLiteral("format_name")).toString();
    p.codec = stream.value(QStringLiteral("codec_name")).toString();
    p.channels = stream.value(QStringLiteral("channels")).toInt();
    p.rate = stream.value(QStringLiteral("sample_rate")).toString().toInt();
    p.seconds = format.value(QStringLiteral("duration")).toString().toDouble() -
                stream.value(QStringLiteral("start_time")).toString().toDouble();
    // The file's own tags win over what the stream says of itself (LAME names itself the encoder).
    for (const QJsonObject& tagged : {stream, format}) {
        const QJsonObject tags = tagged.value(QStringLiteral("tags")).toObject();
        for (auto it = tags.begin(); it != tags.end(); ++it) {
            p.tags.insert(it.key().toLower(), it.value().toString());
        }
    }
    return p;
}

struct PaintCounter : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    int count = 0;
};

// The user picks a filter with the keyboard, then types a name and presses Return.
void chooseInDialog(QWidget* modal, const QString& folder, const QString& filter, const QString& name,
                    QString* openedWith = nullptr, QStringList* offered = nullptr) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(types != nullptr && edit != nullptr);
    if (openedWith != nullptr) {
        *openedWith = dialog->selectedNameFilter();
    }
    if (offered != nullptr) {
        *offered = dialog->nameFilters();
    }
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Save Wave File"));
    // Keys go to the window that has the focus, as the user's would.
    dialog->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
    dialog->setDirectory(folder);
    types->setFocus();
    const int wanted = types->findText(filter);
    ASSERT_GE(wanted, 0) << "filter not offered: " << filter.toStdString();
    while (types->currentIndex() != wanted) {
        QTest::keyClick(types, types->currentIndex() < wanted ? Qt::Key_Down : Qt::Key_Up);
    }
    EXPECT_EQ(dialog->selectedNameFilter(), filter);
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, name);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible()) << "Return did not save as " << edit->text().toStdString();
}

const QString kWav = QStringLiteral("*.WAV");
const QString kFlac = QStringLiteral("FLAC (*.flac)");
const QString kOgg = QStringLiteral("Ogg Vorbis (*.ogg)");
const QString kOpus = QStringLiteral("Opus (*.opus)");
const QString kMp3 = QStringLiteral("MP3 (*.mp3)");

struct FormatRow {
    const char* filter;      // selected in the dialog
    const char* typed;       // the name typed
    const char* saved;       // the file that must appear
    const char* formatName;  // ffprobe's container
    const char* codec;       // ffprobe's codec
    bool lossy;
    const char* softwareTag;  // where the program's name shows
};

// Each save picks a filter; half of them type an extension of another format, in any case, which wins.
const FormatRow kRows[] = {
    {"*.WAV", "Wave1", "Wave1.Wav", "wav", "pcm_s16le", false, ""},
    {"FLAC (*.flac)", "Flac1", "Flac1.flac", "flac", "flac", false, "encoder"},
    {"Ogg Vorbis (*.ogg)", "Vorbis1", "Vorbis1.ogg", "ogg", "vorbis", true, "encoder"},
    {"Opus (*.opus)", "Opus1", "Opus1.opus", "ogg", "opus", true, "encoder"},
    {"MP3 (*.mp3)", "Mp3-1", "Mp3-1.mp3", "mp3", "mp3", true, "encoder"},
    {"MP3 (*.mp3)", "Wave2.wAv", "Wave2.wAv", "wav", "pcm_s16le", false, ""},
    {"*.WAV", "Flac2.FLAC", "Flac2.FLAC", "flac", "flac", false, "encoder"},
    {"Opus (*.opus)", "Vorbis2.Ogg", "Vorbis2.Ogg", "ogg", "vorbis", true, "encoder"},
    {"FLAC (*.flac)", "Opus2.OPUS", "Opus2.OPUS", "ogg", "opus", true, "encoder"},
    {"Ogg Vorbis (*.ogg)", "Mp3-2.Mp3", "Mp3-2.Mp3", "mp3", "mp3", true, "encoder"},
};

class SaveFormatsOnScreen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
        // Settings of this run only: the first dialog must open as on a fresh system.
        ASSERT_TRUE(config_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
    }
    QTemporaryDir config_;
};

}  // namespace

TEST_F(SaveFormatsOnScreen, EveryFormatByItsFilterAndByATypedExtensionReadsBackAsTheTake) {
    QTemporaryDir takes;
    QTemporaryDir saved;
    auto waveIn = platform::wavein::makePulseAudioWaveIn(QStringLiteral("Tolvane tests"));
    QSettings settings(takes.filePath(QStringLiteral("Tolvane.conf")), QSettings::IniFormat);
    frmSoundRec window({.waveIn = *waveIn, .programFolder = takes.path(), .settings = &settings});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    recordFor(window, 2500);
    const QString takePath = window.takeFileName;
    const QByteArray takeBytes = readFile(takePath);
    const Audio take = audioOf(takePath);
    ASSERT_GT(take.seconds(), 1.0);
    ASSERT_EQ(take.channels, 2);
    ASSERT_EQ(take.rate, 44100);
    // The take's name says when it began: the date every tagged format carries.
    const QDateTime began =
        QLocale::c().toDateTime(QFileInfo(takePath).fileName().left(16), QStringLiteral("MMddyyyyhhmmssAP"));
    ASSERT_TRUE(began.isValid());

    testsupport::ModalDriver driver;
    driver.leaveProgressBoxes = true;
    QString previousFormat = kWav;  // nothing remembered yet
    for (const FormatRow& row : kRows) {
        SCOPED_TRACE(row.typed);
        // Every save starts from the same take, under its own name, not saved yet.
        if (!QFile::exists(takePath)) {
            QFile restored(takePath);
            ASSERT_TRUE(restored.open(QIODevice::WriteOnly) && restored.write(takeBytes) == takeBytes.size());
        }
        window.takeFileName = takePath;
        window.takeSaved = false;

        QString openedWith;
        QStringList offered;
        driver.steps.push_back([&](QWidget* modal) {
            chooseInDialog(modal, saved.path(), QString::fromLatin1(row.filter),
                           QString::fromLatin1(row.typed), &openedWith, &offered);
        });
        QTest::mouseClick(window.cmdSave(), Qt::LeftButton);
        ASSERT_TRUE(driver.steps.empty());
        EXPECT_EQ(offered, (QStringList{kWav, kFlac, kOgg, kOpus, kMp3}));
        EXPECT_EQ(openedWith, previousFormat) << "the last format is offered first";

        const QString file = QDir(saved.path()).filePath(QString::fromLatin1(row.saved));
        ASSERT_TRUE(QFile::exists(file)) << QDir(saved.path()).entryList(QDir::Files).join(' ').toStdString();
        EXPECT_TRUE(window.takeSaved);
        EXPECT_FALSE(QFile::exists(takePath)) << "the take stays after it was saved";
        const Probe p = probe(file);
        EXPECT_EQ(p.formatName, QString::fromLatin1(row.formatName));
        EXPECT_EQ(p.codec, QString::fromLatin1(row.codec));
        EXPECT_EQ(p.channels, take.channels);
        // Opus carries 48000 Hz whatever the take's rate; decoders give that.
        EXPECT_EQ(p.rate, p.codec == QLatin1String("opus") ? 48000 : take.rate);
        const Audio back{decodedLike(file, take), take.rate, take.channels};
        if (row.lossy) {
            EXPECT_NEAR(p.seconds, take.seconds(), 0.030);
            EXPECT_NEAR(back.seconds(), take.seconds(), 0.030);
            // The same audio at the same time: the lead-in and the sound where they were.
            int lag = 0;
            const double db = likeness(take.pcm, back.pcm, take.channels, 64, lag);
            EXPECT_GT(db, 20.0);
            EXPECT_LE(std::abs(lag), 2) << "the audio moved by " << lag << " frames";
        } else {
            // Lossless: the very samples, also as the flac tool decodes them.
            EXPECT_EQ(back.pcm, take.pcm);
        }
        if (p.codec == QLatin1String("pcm_s16le")) {
            EXPECT_EQ(readFile(file), takeBytes) << "a WAV save moves the take as it is";
        } else {
            EXPECT_EQ(p.tags.value(QStringLiteral("title")), QFileInfo(file).completeBaseName());
            // The full start in every format, ID3v2.4 included.
            EXPECT_EQ(p.tags.value(QStringLiteral("date")), began.toString(Qt::ISODate));
            EXPECT_EQ(p.tags.value(QString::fromLatin1(row.softwareTag)), QStringLiteral("Tolvane 1.0"));
        }
        if (p.codec == QLatin1String("flac")) {
            EXPECT_EQ(
                run(QStringLiteral("flac"), {QStringLiteral("-t"), QStringLiteral("-s"), file}).exitCode, 0);
            const ToolRun raw = run(QStringLiteral("flac"),
                                    {QStringLiteral("-d"), QStringLiteral("-s"), QStringLiteral("-c"),
                                     QStringLiteral("--force-raw-format"), QStringLiteral("--endian=little"),
                                     QStringLiteral("--sign=signed"), file});
            EXPECT_TRUE(raw.out == take.pcm) << "flac decodes other samples than the take's";
        }
        // The format saved in is the one the next dialog offers first.
        const QString suffix = QFileInfo(file).suffix().toLower();
        for (const QString& f : {kWav, kFlac, kOgg, kOpus, kMp3}) {
            if (f.contains(QStringLiteral("*.") + suffix, Qt::CaseInsensitive)) {
                previousFormat = f;
            }
        }
    }
    // Nothing but the saved files, no leftovers of the encoding.
    EXPECT_EQ(QDir(saved.path()).entryList(QDir::Files).size(), static_cast<qsizetype>(std::size(kRows)));

    // The program started again remembers the format chosen last.
    window.close();
    frmSoundRec again({.waveIn = *waveIn, .programFolder = takes.path(), .settings = &settings});
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    recordFor(again, 300);
    QString openedWith;
    driver.steps.push_back([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
        openedWith = dialog->selectedNameFilter();
        dialog->reject();
    });
    QTest::mouseClick(again.cmdSave(), Qt::LeftButton);
    EXPECT_TRUE(driver.steps.empty());
    EXPECT_EQ(openedWith, previousFormat);
    // Kept in the program's settings file, not only in the window that chose it.
    EXPECT_FALSE(QSettings(settings.fileName(), QSettings::IniFormat).allKeys().isEmpty());
}

// Three saves of a long take that must not happen; each leaves the take as it was, nothing of the
// save behind, and a box that says why and where the take still is.
TEST_F(SaveFormatsOnScreen, ACancelledFullOrTakenSaveLeavesTheTakeAsItWas) {
    QTemporaryDir takes;
    QTemporaryDir elsewhere;
    testsupport::OtherVolume small(1u << 20);
    auto waveIn = platform::wavein::makePulseAudioWaveIn(QStringLiteral("Tolvane tests"));
    QSettings settings(takes.filePath(QStringLiteral("Tolvane.conf")), QSettings::IniFormat);
    frmSoundRec window({.waveIn = *waveIn, .programFolder = takes.path(), .settings = &settings});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    recordFor(window, 300);
    // The take made ten minutes long, with sound all through.
    const QString takePath = window.takeFileName;
    ASSERT_TRUE(QFile::remove(takePath));
    ASSERT_EQ(run(QStringLiteral("sox"),
                  {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
                   QStringLiteral("2"), QStringLiteral("-b"), QStringLiteral("16"), QStringLiteral("-t"),
                   QStringLiteral("wav"), takePath, QStringLiteral("synth"), QStringLiteral("600"),
                   QStringLiteral("pinknoise"), QStringLiteral("vol"), QStringLiteral("0.3")})
                  .exitCode,
              0);
    const QByteArray takeDigest = digestOf(takePath);
    ASSERT_FALSE(takeDigest.isEmpty());

    // A disk that fills up: a small file system of its own, or else a limit on file sizes.
    const bool limitSizes = !small.sizeLimited();
    const QString fullFolder = limitSizes ? elsewhere.path() : small.path();
    const QString fullReason = QString::fromLocal8Bit(strerrordesc_np(limitSizes ? EFBIG : ENOSPC));
    const QString taken = QDir(elsewhere.path()).filePath(QStringLiteral("Existente.mp3"));
    {
        QFile existing(taken);
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly) && existing.write("not to be touched") > 0);
    }

    struct FailureRow {
        const char* name;
        QString folder;
        QString typed;
        bool cancel;            // pressed in the progress box
        QString reason;         // in the box
        QStringList leftThere;  // what the folder holds afterwards
    };
    const FailureRow rows[] = {
        {"cancelled",
         elsewhere.path(),
         QStringLiteral("Longa.opus"),
         true,
         QStringLiteral("cancelado"),
         {QStringLiteral("Existente.mp3")}},
        {"disk full", fullFolder, QStringLiteral("Cheia.flac"), false, fullReason,
         limitSizes ? QStringList{QStringLiteral("Existente.mp3")} : QStringList{}},
        {"name taken",
         elsewhere.path(),
         QStringLiteral("Existente.mp3"),
         false,
         QStringLiteral("Já existe um arquivo chamado"),
         {QStringLiteral("Existente.mp3")}},
    };
    PaintCounter painted;
    window.installEventFilter(&painted);
    testsupport::ModalDriver driver;
    for (const FailureRow& row : rows) {
        SCOPED_TRACE(row.name);
        driver.leaveProgressBoxes = !row.cancel;
        driver.steps.push_back([&](QWidget* modal) { chooseInDialog(modal, row.folder, kWav, row.typed); });
        int shownAt = -1;
        if (row.cancel) {
            driver.steps.push_back([&](QWidget* modal) {
                auto* box = qobject_cast<QProgressDialog*>(modal);
                ASSERT_NE(box, nullptr) << modal->metaObject()->className();
                shownAt = box->value();
                // The window goes on painting beside the box while the take is encoded.
                const int paintedBefore = painted.count;
                window.update();
                EXPECT_TRUE(QTest::qWaitFor([&] { return painted.count > paintedBefore; }, 10000))
                    << "the window did not repaint during the encoding";
                QTest::mouseClick(box->findChild<QPushButton*>(), Qt::LeftButton);
            });
        }
        QString told;
        driver.steps.push_back([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr) << modal->metaObject()->className();
            told = box->text();
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
        struct rlimit before {};
        const bool limited = limitSizes && row.reason == fullReason;
        if (limited) {
            ::signal(SIGXFSZ, SIG_IGN);
            ::getrlimit(RLIMIT_FSIZE, &before);
            const struct rlimit limit { 1u << 20, before.rlim_max };
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        QTest::mouseClick(window.cmdSave(), Qt::LeftButton);
        if (limited) {
            ::setrlimit(RLIMIT_FSIZE, &before);
        }
        EXPECT_TRUE(driver.steps.empty()) << "a box did not come";
        driver.steps.clear();
        if (row.cancel) {
            EXPECT_GE(shownAt, 0) << "the progress box showed";
        }
        EXPECT_TRUE(told.contains(row.reason)) << told.toStdString();
        EXPECT_TRUE(told.contains(QDir::toNativeSeparators(takePath))) << told.toStdString();
        EXPECT_FALSE(window.takeSaved);
        EXPECT_EQ(window.takeFileName, takePath);
        EXPECT_EQ(digestOf(takePath), takeDigest) << "the take changed";
        EXPECT_EQ(QDir(row.folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), row.leftThere);
        EXPECT_EQ(readFile(taken), QByteArray("not to be touched"));
    }
}
