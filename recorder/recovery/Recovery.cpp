// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/recovery/Recovery.h"

#include "recorder/recovery/TakeHeader.h"

#include "platform/files/FileTools.h"
#include "recorder/i18n/ClockText.h"
#include "recorder/wavfile/TakeParts.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <QCoreApplication>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <optional>

namespace recovery {

namespace {

using basSoundRec_2::kDataSizeOffset;
using basSoundRec_2::kRiffSizeOffset;
using basSoundRec_2::putLE32;
using platform::files::FileDescriptor;
using platform::files::readAllAt;
using platform::files::writeAllAt;

// Cuts a torn last frame and writes both sizes, flushed; false when any step failed.
bool repairSizes(int fd, const TakeHeader& header, const TakeRepair& repair, std::uint64_t fileLength) {
    if (repair.fileLength != fileLength && ::ftruncate(fd, static_cast<off_t>(repair.fileLength)) != 0) {
        return false;
    }
    // In the order that never leaves the RIFF size beyond the data size + 38, so that a repair cut
    // short between the two writes still looks like ours and is finished at the next start.
    std::array<std::byte, 4> data{};
    std::array<std::byte, 4> riff{};
    putLE32(data.data(), repair.dataSize);
    putLE32(riff.data(), repair.riffSize);
    const bool shrinking = repair.dataSize < header.dataSize;
    const auto put = [fd](const std::array<std::byte, 4>& field, std::uint64_t offset) {
        return writeAllAt(fd, field.data(), field.size(), offset) == 0;
    };
    const bool written = shrinking ? put(riff, kRiffSizeOffset) && put(data, kDataSizeOffset)
                                   : put(data, kDataSizeOffset) && put(riff, kRiffSizeOffset);
    return written && ::fdatasync(fd) == 0;
}

constexpr qint64 kSettledSeconds = 60;

// Repairs one file when it is an interrupted take; the take, or nothing.
std::optional<RecoveredTake> recoverOne(const QString& path) {
    // No links followed: only a regular file of the folder's own is ever written to.
    FileDescriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (file.get() < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    // A take another copy of the program is writing stays locked until that take is finished.
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
        return std::nullopt;
    }
    std::array<std::byte, kTakeHeaderSize> bytes{};
    if (readAllAt(file.get(), bytes.data(), bytes.size(), 0) != 0) {
        return std::nullopt;
    }
    const auto header = parseTakeHeader(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    if (!header) {
        return std::nullopt;
    }
    // Marked: its recorder stopped before finishing it, even when its header happened to be up to date.
    const bool marked = ::fgetxattr(file.get(), kRecordingAttribute, nullptr, 0) >= 0;
    const TakeRepair repair = repairFor(*header, static_cast<std::uint64_t>(info.st_size));
    if ((!repair.needed && !marked) || repair.foreign) {
        return std::nullopt;
    }
    // Changed moments ago and stating more than it holds: most likely a take still being copied
    // in, which a repair under the copier would leave stating too little. After a power cut the
    // file is older than that by the time anyone starts the program again.
    const QDateTime modified = QDateTime::fromMSecsSinceEpoch(
        static_cast<qint64>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000);
    if (repair.statesMore && modified.secsTo(QDateTime::currentDateTime()) < kSettledSeconds) {
        return std::nullopt;
    }
    if (repair.needed &&
        !repairSizes(file.get(), *header, repair, static_cast<std::uint64_t>(info.st_size))) {
        return std::nullopt;
    }
    ::fremovexattr(file.get(), kRecordingAttribute);
    // The take keeps the time it was last recorded to: that is how the user tells takes apart (their
    // names do not sort by time: 03 PM comes before 11 AM). Only the file's owner may set it; in a
    // shared folder it may show the repair's time instead, and the choice of the newest take below
    // uses the time read before the repair all the same.
    const struct timespec times[2] = {{.tv_sec = 0, .tv_nsec = UTIME_OMIT}, info.st_mtim};
    ::futimens(file.get(), times);
    RecoveredTake take;
    take.path = path;
    take.dataBytes = repair.dataSize;
    take.seconds =
        static_cast<double>(repair.dataSize) / (static_cast<double>(header->rate) * header->blockAlign);
    take.modified = modified;
    return take;
}

// The audio a finished part of a take states, in bytes and seconds; nothing when it is not one.
std::optional<std::pair<std::uint64_t, double>> statedAudio(const QString& path) {
    FileDescriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    std::array<std::byte, kTakeHeaderSize> bytes{};
    if (!file.isOpen() || readAllAt(file.get(), bytes.data(), bytes.size(), 0) != 0) {
        return std::nullopt;
    }
    const auto header = parseTakeHeader(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    if (!header) {
        return std::nullopt;
    }
    return std::pair{
        std::uint64_t{header->dataSize},
        static_cast<double>(header->dataSize) / (static_cast<double>(header->rate) * header->blockAlign)};
}

// The parts of one take recovered (usually its last, the one being written) become that take: its
// first file, its length over every part, the time it was last recorded to.
std::vector<RecoveredTake> wholeTakes(const std::vector<RecoveredTake>& parts) {
    std::map<QString, RecoveredTake> takes;
    for (const auto& part : parts) {
        QString first = basSoundRec_2::firstTakePart(part.path);
        if (!QFileInfo::exists(first)) {
            first = part.path;  // the user removed the start of it; what is left is offered alone
        }
        auto [at, added] = takes.try_emplace(first);
        RecoveredTake& take = at->second;
        take.path = first;
        take.modified = added ? part.modified : std::max(take.modified, part.modified);
    }
    std::vector<RecoveredTake> whole;
    for (auto& [first, take] : takes) {
        const QStringList files = first == take.path && basSoundRec_2::firstTakePart(first) == first
                                      ? basSoundRec_2::takeParts(first)
                                      : QStringList{first};
        for (const QString& file : files) {
            if (const auto audio = statedAudio(file)) {
                take.dataBytes += audio->first;
                take.seconds += audio->second;
            }
        }
        take.parts = static_cast<int>(files.size());
        whole.push_back(std::move(take));
    }
    return whole;
}

}  // namespace

bool isTakeFileName(const QString& fileName) {
    static const QRegularExpression pattern(
        QStringLiteral("^(0[1-9]|1[0-2])(0[1-9]|[12][0-9]|3[01])[0-9]{4}(0[1-9]|1[0-2])[0-5][0-9][0-5][0-9]("
                       "AM|PM)(-[0-9]+)?(\\.([2-9]|[1-9][0-9]+))?\\.WAV$"));
    return pattern.match(fileName).hasMatch();
}

std::vector<RecoveredTake> recoverInterruptedTakes(const QString& folder) {
    std::vector<RecoveredTake> recovered;
    if (folder.isEmpty()) {
        return recovered;
    }
    const QDir dir(folder);
    for (const QString& name :
         dir.entryList({QStringLiteral("*.WAV")}, QDir::Files | QDir::System | QDir::Hidden)) {
        if (!isTakeFileName(name)) {
            continue;
        }
        if (auto take = recoverOne(dir.filePath(name))) {
            recovered.push_back(std::move(*take));
        }
    }
    recovered = wholeTakes(recovered);
    std::stable_sort(recovered.begin(), recovered.end(),
                     [](const RecoveredTake& a, const RecoveredTake& b) { return a.modified < b.modified; });
    return recovered;
}

QString describeRecovered(const std::vector<RecoveredTake>& takes) {
    QStringList lines;
    for (const auto& take : takes) {
        lines << QStringLiteral("%1 (%2)").arg(QFileInfo(take.path).fileName(), i18n::clockText(static_cast<long long>(take.seconds)));
    }
    const QString intro =
        takes.size() == 1
            ? QCoreApplication::translate("Recovery",
                                          "Uma gravação interrompida (o programa ou o computador parou "
                                          "no meio dela) foi recuperada:")
            : QCoreApplication::translate("Recovery",
                                          "Gravações interrompidas (o programa ou o computador parou "
                                          "no meio delas) foram recuperadas:");
    return intro + QStringLiteral("\n\n") + lines.join(QLatin1Char('\n')) + QStringLiteral("\n\n") +
           QCoreApplication::translate("Recovery",
                                       "A mais recente é agora a gravação atual: salve-a, ou ela será "
                                       "oferecida para exclusão antes da próxima gravação.");
}

StartUpFindings recoverAtStartUp(const QString& folder) {
    StartUpFindings findings;
    findings.removedSaves = platform::files::removeUnfinishedSaves();
    findings.takes = recoverInterruptedTakes(folder);
    return findings;
}

QString describeStartUp(const StartUpFindings& findings) {
    QStringList saves;
    for (const auto& save : findings.removedSaves) {
        const QString destination = QDir::toNativeSeparators(save.destination);
        saves << (!save.origin.isEmpty() && QFileInfo::exists(save.origin)
                      ? QCoreApplication::translate(
                            "Recovery",
                            "O salvamento como \"%1\" foi interrompido: o arquivo "
                            "incompleto foi removido, e a gravação continua em \"%2\".")
                            .arg(destination, QDir::toNativeSeparators(save.origin))
                      : QCoreApplication::translate(
                            "Recovery",
                            "O salvamento como \"%1\" foi interrompido: o arquivo incompleto foi removido.")
                            .arg(destination));
    }
    QStringList paragraphs;
    if (!findings.takes.empty()) {
        paragraphs << describeRecovered(findings.takes);
    }
    if (!saves.isEmpty()) {
        paragraphs << saves.join(QLatin1Char('\n'));
    }
    return paragraphs.join(QStringLiteral("\n\n"));
}

}  // namespace recovery
