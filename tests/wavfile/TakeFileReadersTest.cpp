// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Finalised takes read back by independent WAV readers, for every format the recorder offers.

#include "Readers.h"
#include "TakeFileSupport.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <cmath>
#include <numbers>

namespace wavfiletest {
namespace {

using testsupport::run;
using testsupport::ToolRun;

// The value after "<label> :" on a line of a reader's report.
QString field(const QString& report, const QString& label) {
    const QRegularExpression line(QStringLiteral("^%1\\s*:\\s*(.*)$").arg(QRegularExpression::escape(label)),
                                  QRegularExpression::MultilineOption);
    return line.match(report).captured(1).trimmed();
}

// 440 Hz on the left (or only) channel and 660 Hz on the right; 24-bit samples use their low byte.
QByteArray tone(std::uint32_t rate, std::uint16_t channels, int frames, int bits) {
    QByteArray audio;
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double t = static_cast<double>(i) / rate;
            const double wave = std::sin(2 * std::numbers::pi * (440 + 220 * c) * t);
            if (bits == 24) {
                const auto sample = static_cast<std::int32_t>(3000000 * wave);
                audio.append(static_cast<char>(sample & 0xFF));
                audio.append(static_cast<char>((sample >> 8) & 0xFF));
                audio.append(static_cast<char>((sample >> 16) & 0xFF));
                continue;
            }
            const auto sample = static_cast<std::int16_t>(12000 * wave);
            audio.append(static_cast<char>(sample & 0xFF));
            audio.append(static_cast<char>((sample >> 8) & 0xFF));
        }
    }
    return audio;
}

struct Format {
    std::uint32_t rate;
    std::uint16_t channels;
    std::uint16_t bits = 16;
};

class IndependentReaders : public TakeFileTest, public ::testing::WithParamInterface<Format> {};

TEST_P(IndependentReaders, ReadTheFinalisedTakeWithoutComplaint) {
    const Format format = GetParam();
    // Half a second; a frame more for 24-bit takes, so that a mono one has an odd length.
    const int frames = static_cast<int>(format.rate / 2) + (format.bits == 24 ? 1 : 0);
    const QByteArray audio = tone(format.rate, format.channels, frames, format.bits);
    const int sampleBytes = format.bits / 8;
    WAVEFORMATEX wanted = pcm16(format.rate, format.channels);
    wanted.wBitsPerSample = format.bits;
    wanted.nBlockAlign = static_cast<std::uint16_t>(format.channels * sampleBytes);
    wanted.nAvgBytesPerSec = wanted.nBlockAlign * format.rate;
    auto take = startTake(wanted);
    // Whole buffers of a tenth of a second, as the capture engine hands them over.
    const auto buffer = static_cast<qsizetype>(format.rate / 10) * wanted.nBlockAlign;
    for (qsizetype at = 0; at < audio.size(); at += buffer) {
        const QByteArray part = audio.mid(at, buffer);
        ASSERT_TRUE(take->Append(bytes(part), part.size()).ok());
    }
    const QString sha1 =
        QString::fromLatin1(QCryptographicHash::hash(audio, QCryptographicHash::Sha1).toHex());
    const QString pythonRead = QStringLiteral(
        "import hashlib, sys, wave\n"
        "w = wave.open(sys.argv[1])\n"
        "print(w.getnchannels(), w.getsampwidth(), w.getframerate(), "
        "w.getnframes(), hashlib.sha1(w.readframes(w.getnframes())).hexdigest())");
    const QString rate = QString::number(format.rate);
    const QString channels = QString::number(format.channels);
    const QString count = QString::number(frames);
    const QString pythonSays = QStringLiteral("%1 %2 %3 %4 %5").arg(channels).arg(sampleBytes).arg(rate, count, sha1);
    // A take brought up to date while it runs is a whole file too.
    ASSERT_TRUE(take->Commit());
    const ToolRun midway = run(QStringLiteral("python3"), {QStringLiteral("-c"), pythonRead, take->path()});
    EXPECT_EQ(midway.outText().trimmed(), pythonSays) << midway.errText().toStdString();
    take->Finalise();
    const QString path = take->path();

    const ToolRun soxi = run(QStringLiteral("soxi"), {path});
    EXPECT_EQ(soxi.exitCode, 0);
    EXPECT_EQ(soxi.errText(), QString());
    EXPECT_EQ(field(soxi.outText(), QStringLiteral("Channels")), channels);
    EXPECT_EQ(field(soxi.outText(), QStringLiteral("Sample Rate")), rate);
    EXPECT_EQ(field(soxi.outText(), QStringLiteral("Precision")), QStringLiteral("%1-bit").arg(format.bits));
    EXPECT_TRUE(
        field(soxi.outText(), QStringLiteral("Duration")).contains(QStringLiteral("= %1 samples").arg(count)))
        << soxi.outText().toStdString();

    const ToolRun info = run(QStringLiteral("sndfile-info"), {path});
    EXPECT_EQ(info.exitCode, 0);
    // libsndfile notes any odd chunk, though RIFF allows one with its pad byte (24-bit mono); it
    // must find nothing else amiss.
    QString report = info.outText();
    report.remove(QStringLiteral("*** 'data' chunk should be an even number of bytes in length."));
    EXPECT_FALSE(report.contains(QStringLiteral("should be"))) << info.outText().toStdString();
    EXPECT_EQ(field(info.outText(), QStringLiteral("RIFF")), QString::number(46 - 8 + audio.size() + (audio.size() & 1)));
    EXPECT_EQ(field(info.outText(), QStringLiteral("data")), QString::number(audio.size()));
    EXPECT_EQ(field(info.outText(), QStringLiteral("Sample Rate")), rate);
    EXPECT_EQ(field(info.outText(), QStringLiteral("Channels")), channels);
    EXPECT_EQ(field(info.outText(), QStringLiteral("Frames")), count);

    const ToolRun python = run(QStringLiteral("python3"), {QStringLiteral("-c"), pythonRead, path});
    EXPECT_EQ(python.exitCode, 0) << python.errText().toStdString();
    EXPECT_EQ(python.outText().trimmed(), pythonSays);

    const ToolRun ffprobe =
        run(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("warning"), QStringLiteral("-show_entries"),
             QStringLiteral("stream=codec_name,sample_rate,channels,duration_ts"), QStringLiteral("-of"),
             QStringLiteral("default=noprint_wrappers=1"), path});
    EXPECT_EQ(ffprobe.exitCode, 0);
    EXPECT_EQ(ffprobe.errText(), QString());
    EXPECT_EQ(ffprobe.outText().split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              (QStringList{QStringLiteral("codec_name=pcm_s%1le").arg(format.bits), QStringLiteral("sample_rate=") + rate,
                           QStringLiteral("channels=") + channels, QStringLiteral("duration_ts=") + count}));
    EXPECT_TRUE(messages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(AllOptions, IndependentReaders,
                         ::testing::Values(Format{44100, 1}, Format{44100, 2}, Format{22050, 1},
                                           Format{22050, 2}, Format{11025, 1}, Format{11025, 2},
                                           Format{96000, 2, 24}, Format{48000, 1, 24}, Format{11025, 1, 24}));

}  // namespace
}  // namespace wavfiletest
