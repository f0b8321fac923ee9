// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TakeReader.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

#include <algorithm>

namespace testsupport {

std::uint32_t TakeBytes::u32(std::size_t o) const {
    return static_cast<std::uint32_t>(bytes.at(o)) | static_cast<std::uint32_t>(bytes.at(o + 1)) << 8 |
           static_cast<std::uint32_t>(bytes.at(o + 2)) << 16 |
           static_cast<std::uint32_t>(bytes.at(o + 3)) << 24;
}

std::uint16_t TakeBytes::u16(std::size_t o) const {
    return static_cast<std::uint16_t>(bytes.at(o) | bytes.at(o + 1) << 8);
}

std::string TakeBytes::fourcc(std::size_t o) const {
    return std::string(reinterpret_cast<const char*>(bytes.data() + o), 4);
}

std::int16_t TakeBytes::sample(std::size_t index) const {
    return static_cast<std::int16_t>(u16(46 + 2 * index));
}

TakeBytes readTake(const QString& path) {
    QFile file(path);
    TakeBytes take;
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray all = file.readAll();
        take.bytes.assign(all.begin(), all.end());
    }
    return take;
}

std::optional<std::size_t> firstCounterMismatch(const TakeBytes& take, std::size_t from, int channels) {
    const std::size_t first = from / 2;
    const std::size_t count = take.dataLength() / 2;
    for (std::size_t i = first; i < count; ++i) {
        const std::size_t frame = (i - first) / static_cast<std::size_t>(channels);
        if (take.sample(i) != static_cast<std::int16_t>(frame & 0xFFFF)) {
            return i;
        }
    }
    return std::nullopt;
}

SinePeriods sinePeriods(const TakeBytes& take, std::size_t from, std::size_t to, int channels) {
    SinePeriods result;
    const auto step = static_cast<std::size_t>(channels);
    to = std::min(to, take.dataLength());
    std::size_t last = 0;
    for (std::size_t i = from / 2 + step; i < to / 2; i += step) {
        if (take.sample(i - step) < 0 && take.sample(i) >= 0) {
            if (last != 0) {
                const std::size_t period = (i - last) / step;
                result.shortest = result.count == 0 ? period : std::min(result.shortest, period);
                result.longest = std::max(result.longest, period);
                ++result.count;
            }
            last = i;
        }
    }
    return result;
}

ProcessResult runProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        result.output = program + QStringLiteral(" did not finish");
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromLocal8Bit(process.readAll());
    return result;
}

QString independentReadersComplaints(const QString& path, int channels, int rate, int bits) {
    QStringList complaints;
    const auto expect = [&](const QString& who, const ProcessResult& r, const QStringList& needles) {
        if (r.exitCode != 0) {
            complaints << who + QStringLiteral(" failed: ") + r.output;
            return;
        }
        for (const auto& needle : needles) {
            if (!r.output.contains(needle)) {
                complaints << who + QStringLiteral(" lacks '") + needle + QStringLiteral("': ") + r.output;
            }
        }
    };
    expect(QStringLiteral("soxi"), runProgram(QStringLiteral("soxi"), {path}),
           {QStringLiteral("Channels       : %1").arg(channels),
            QStringLiteral("Sample Rate    : %1").arg(rate), QStringLiteral("%1-bit Signed Integer PCM").arg(bits)});
    const auto sndfile = runProgram(QStringLiteral("sndfile-info"), {path});
    expect(QStringLiteral("sndfile-info"), sndfile,
           {QStringLiteral("Channels    : %1").arg(channels), QStringLiteral("Sample Rate : %1").arg(rate)});
    for (const auto& bad : {QStringLiteral("Error"), QStringLiteral("error"), QStringLiteral("Should")}) {
        if (sndfile.output.contains(bad)) {
            complaints << QStringLiteral("sndfile-info complains: ") + sndfile.output;
            break;
        }
    }
    expect(
        QStringLiteral("python wave"),
        runProgram(QStringLiteral("python3"),
                   {QStringLiteral("-c"),
                    QStringLiteral("import sys, wave\n"
                                   "w = wave.open(sys.argv[1])\n"
                                   "n = w.getnframes(); d = w.readframes(n)\n"
                                   "assert len(d) == n * w.getsampwidth() * w.getnchannels(), 'short read'\n"
                                   "print('ch=%d rate=%d width=%d' % (w.getnchannels(), w.getframerate(), "
                                   "w.getsampwidth()))\n"),
                    path}),
        {QStringLiteral("ch=%1 rate=%2 width=%3").arg(channels).arg(rate).arg(bits / 8)});
    expect(QStringLiteral("ffprobe"),
           runProgram(QStringLiteral("ffprobe"),
                      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                       QStringLiteral("stream=codec_name,channels,sample_rate"), QStringLiteral("-of"),
                       QStringLiteral("default=noprint_wrappers=1"), path}),
           {QStringLiteral("codec_name=pcm_s%1le").arg(bits), QStringLiteral("channels=%1").arg(channels),
            QStringLiteral("sample_rate=%1").arg(rate)});
    return complaints.join(QLatin1Char('\n'));
}

}  // namespace testsupport
