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

// Half a second of 440 Hz on the left (or only) channel and 660 Hz on the right.
QByteArray tone(std::uint32_t rate, std::uint16_t channels, int frames) {
    QByteArray audio;
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double t = static_cast<double>(i) / rate;
            const auto sample =
                static_cast<std::int16_t>(12000 * std::sin(2 * std::numbers::pi * (440 + 220 * c) * t));
            audio.append(static_cast<char>(sample & 0xFF));
            audio.append(static_cast<char>((sample >> 8) & 0xFF));
        }
    }
    return audio;
}

struct Format {
    std::uint32_t rate;
    std::uint16_t channels;
};

class IndependentReaders : public TakeFileTest, public ::testing::WithParamInterface<Format> {};

TEST_P(IndependentReaders, ReadTheFinalisedTakeWithoutComplaint) {
    const Format format = GetParam();
    const int frames = static_cast<int>(format.rate / 2);
    const QByteArray audio = tone(format.rate, format.channels, frames);
    auto take = startTake(pcm16(format.rate, format.channels));
    // Whole buffers of a tenth of a second, as the capture engine hands them over.
    const auto buffer = static_cast<qsizetype>(format.rate / 10) * format.channels * 2;
    for (qsizetype at = 0; at < audio.size(); at += buffer) {
        const QByteArray part = audio.mid(at, buffer);
        ASSERT_TRUE(take->Append(bytes(part), part.size()).ok());
    }
    take->Finalise();
    const QString path = take->path();
    const QString rate = QString::number(format.rate);
    const QString channels = QString::number(format.channels);
    const QString count = QString::number(frames);

    const ToolRun soxi = run(QStringLiteral("soxi"), {path});
    EXPECT_EQ(soxi.exitCode, 0);
    EXPECT_EQ(soxi.errText(), QString());
    EXPECT_EQ(field(soxi.outText(), QStringLiteral("Channels")), channels);
    EXPECT_EQ(field(soxi.outText(), QStringLiteral("Sample Rate")), rate);
    EXPECT_EQ(field(soxi.outText(), QStringLiteral("Precision")), QStringLiteral("16-bit"));
    EXPECT_TRUE(
        field(soxi.outText(), QStringLiteral("Duration")).contains(QStringLiteral("= %1 samples").arg(count)))
        << soxi.outText().toStdString();

    const ToolRun info = run(QStringLiteral("sndfile-info"), {path});
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_FALSE(info.outText().contains(QStringLiteral("should be"))) << info.outText().toStdString();
    EXPECT_EQ(field(info.outText(), QStringLiteral("RIFF")), QString::number(46 - 8 + audio.size()));
    EXPECT_EQ(field(info.outText(), QStringLiteral("data")), QString::number(audio.size()));
    EXPECT_EQ(field(info.outText(), QStringLiteral("Sample Rate")), rate);
    EXPECT_EQ(field(info.outText(), QStringLiteral("Channels")), channels);
    EXPECT_EQ(field(info.outText(), QStringLiteral("Frames")), count);

    const ToolRun python =
        run(QStringLiteral("python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import hashlib, sys, wave\n"
                            "w = wave.open(sys.argv[1])\n"
                            "print(w.getnchannels(), w.getsampwidth(), w.getframerate(), "
                            "w.getnframes(), hashlib.sha1(w.readframes(w.getnframes())).hexdigest())"),
             path});
    EXPECT_EQ(python.exitCode, 0) << python.errText().toStdString();
    const QString sha1 =
        QString::fromLatin1(QCryptographicHash::hash(audio, QCryptographicHash::Sha1).toHex());
    EXPECT_EQ(python.outText().trimmed(), QStringLiteral("%1 2 %2 %3 %4").arg(channels, rate, count, sha1));

    const ToolRun ffprobe =
        run(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("warning"), QStringLiteral("-show_entries"),
             QStringLiteral("stream=codec_name,sample_rate,channels,duration_ts"), QStringLiteral("-of"),
             QStringLiteral("default=noprint_wrappers=1"), path});
    EXPECT_EQ(ffprobe.exitCode, 0);
    EXPECT_EQ(ffprobe.errText(), QString());
    EXPECT_EQ(ffprobe.outText().split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              (QStringList{QStringLiteral("codec_name=pcm_s16le"), QStringLiteral("sample_rate=") + rate,
                           QStringLiteral("channels=") + channels, QStringLiteral("duration_ts=") + count}));
    EXPECT_TRUE(messages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(AllOptions, IndependentReaders,
                         ::testing::Values(Format{44100, 1}, Format{44100, 2}, Format{22050, 1},
                                           Format{22050, 2}, Format{11025, 1}, Format{11025, 2}));

}  // namespace
}  // namespace wavfiletest
