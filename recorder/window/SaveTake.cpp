// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/SaveTake.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/files/MoveFile.h"
#include "recorder/review/TrackSaveDialog.h"
#include "recorder/wavfile/TakeMarkers.h"
#include "recorder/wavfile/TakeParts.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace save {

namespace {

const QString kFormatKey = QStringLiteral("save/format");

// The save's texts are the window's, and are translated with it.
QString windowText(const char* text) {
    return QCoreApplication::translate("frmSoundRec", text);
}

QString savingText(const QString& destination) {
    return windowText(QT_TRANSLATE_NOOP("frmSoundRec", "Salvando a gravação como \"%1\"..."))
        .arg(QDir::toNativeSeparators(destination));
}

QString stillWhereItWas(const QString& why, const QString& take) {
    return windowText(QT_TRANSLATE_NOOP("frmSoundRec", "%1 A gravação continua onde estava, \"%2\"."))
        .arg(why, QDir::toNativeSeparators(take));
}

}  // namespace

Destination destinationFor(const QString& chosen, const QString& filter, const std::vector<Format>& offered) {
    const auto typed = platform::encoding::formatOfName(chosen);
    if (typed && std::find(offered.begin(), offered.end(), *typed) != offered.end()) {
        return {.path = chosen, .format = *typed};
    }
    const Format filtered = platform::encoding::formatOfFilter(filter).value_or(Format::Wav);
    return {.path = chosen + QLatin1Char('.') + platform::encoding::extensionOf(filtered),
            .format = filtered};
}

void removeTake(const QString& firstPart) {
    for (const QString& part : basSoundRec_2::takeParts(firstPart)) {
        QFile::remove(part);
    }
    basSoundRec_2::removeTakeMarkers(firstPart);
}

SaveTake::SaveTake(platform::Dialogs& dialogs, DialogSettings& settings, QSettings* kept, QString title)
    : dialogs_(dialogs), settings_(settings), kept_(kept), title_(std::move(title)) {
    if (kept_ != nullptr) {
        format_ = platform::encoding::formatOfKey(kept_->value(kFormatKey).toString()).value_or(format_);
    }
}

bool SaveTake::save(const TakeToSave& take) {
    const std::vector<Format>& formats = platform::encoding::savableFormats();
    QStringList filters;
    QString selected;
    for (Format format : formats) {
        filters << (format == Format::Wav ? settings_.Filter : platform::encoding::filterOf(format));
        if (format == format_) {
            selected = filters.back();
        }
    }
    const auto chosen = dialogs_.saveFileName(windowText(settings_.DialogTitle.toUtf8().constData()), filters,
                                              selected, settings_.FileName);
    if (!chosen || chosen->path.isEmpty()) {
        return false;
    }
    settings_.FileName = chosen->path;
    const Destination destination = destinationFor(chosen->path, chosen->filter, formats);
    remember(destination.format);
    if (!QFile::exists(take.firstPart)) {
        dialogs_.message(windowText(QT_TRANSLATE_NOOP("frmSoundRec",
                                                      "A gravação \"%1\" não está mais lá: já "
                                                      "foi salva ou removida antes."))
                             .arg(QDir::toNativeSeparators(take.firstPart)),
                         title_);
        return false;
    }
    // A trim or markers make a WAV file of their own; only the whole take as it is can be moved.
    const bool asItIs = !take.range && take.markers.empty();
    return destination.format == Format::Wav && asItIs ? move(take, destination.path)
                                                       : encode(take, destination.path, destination.format);
}

bool SaveTake::saveTracks(const TakeToSave& take, const std::vector<analysis::FrameRange>& tracks,
                          const review::TrackSaveChoice& choice) {
    if (tracks.empty() || static_cast<std::size_t>(choice.paths.size()) != tracks.size()) {
        return false;
    }
    platform::encoding::EncodeRequest request;
    request.parts = basSoundRec_2::takeParts(take.firstPart);
    request.format = choice.format;
    request.markers = take.markers;
    const int total = static_cast<int>(tracks.size());
    for (int i = 0; i < total; ++i) {
        const analysis::FrameRange& track = tracks[static_cast<std::size_t>(i)];
        request.outputs.push_back({
            .destination = choice.paths[i],
            .range = {static_cast<std::uint64_t>(track.from), static_cast<std::uint64_t>(track.to)},
            .tags = {.title = choice.titles.value(i),
                     .began = {},
                     .software = QStringLiteral("Tolvane " TOLVANE_VERSION),
                     .album = choice.album,
                     .artist = choice.artist,
                     .trackNumber = i + 1,
                     .trackTotal = total,
                     .year = choice.year},
        });
    }
    const QString saving = windowText(QT_TRANSLATE_NOOP("frmSoundRec", "Salvando as faixas em \"%1\"..."))
                               .arg(QDir::toNativeSeparators(choice.folder));
    // The engine names the track a failure concerns.
    return write(std::move(request), take.firstPart, saving, QString());
}

void SaveTake::remember(Format format) {
    format_ = format;
    if (kept_ != nullptr) {
        kept_->setValue(kFormatKey, platform::encoding::keyOf(format));
        kept_->sync();
    }
}

bool SaveTake::move(const TakeToSave& take, const QString& destination) {
    // Every part of the take goes under the chosen name, numbered as the take's own are.
    const QStringList parts = basSoundRec_2::takeParts(take.firstPart);
    QStringList destinations;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        destinations << basSoundRec_2::takePartPath(destination, static_cast<int>(i) + 1);
    }
    busy_ = true;
    std::unique_ptr<platform::Progress> progress;
    const auto result =
        platform::files::moveFiles(parts, destinations, [&](std::uint64_t done, std::uint64_t total) {
            // Only a copy to another file system takes long enough to need a box.
            if (!progress) {
                progress = dialogs_.progress(savingText(destination), title_, total);
            }
            return progress->advance(done);
        });
    progress.reset();
    busy_ = false;

    if (result.outcome == platform::files::MoveResult::Outcome::Failed) {
        // Named as the part it failed on: for a take in parts that may be "name.2.Wav".
        const QString why = result.describe(
            QDir::toNativeSeparators(destinations.value(static_cast<qsizetype>(result.file), destination)));
        // The medium failed while the parts already moved were being put back: the take is split
        // between the two names, and the user must hear where each part is, not that it is whole.
        dialogs_.message(result.restored
                             ? stillWhereItWas(why, take.firstPart)
                             : windowText(QT_TRANSLATE_NOOP("frmSoundRec",
                                                            "%1 Algumas partes da gravação ficaram com o novo "
                                                            "nome, \"%2\", e as outras continuam em \"%3\"."))
                                   .arg(why, QDir::toNativeSeparators(destination),
                                        QDir::toNativeSeparators(take.firstPart)),
                         title_);
    }
    if (result.moved()) {
        // Markers it had are carried only by a file written anew; a marker file left empty goes.
        basSoundRec_2::removeTakeMarkers(take.firstPart);
    }
    // Where the original could not be deleted after the copy, both stay; the take is saved all the same.
    return result.moved();
}

bool SaveTake::encode(const TakeToSave& take, const QString& destination, Format format) {
    platform::encoding::EncodeRequest request{
        .parts = basSoundRec_2::takeParts(take.firstPart),
        .destination = destination,
        .format = format,
        .tags = {.title = QFileInfo(destination).completeBaseName(),
                 .began = take.began,
                 .software = QStringLiteral("Tolvane " TOLVANE_VERSION)},
        .range = take.range.value_or(platform::encoding::FrameRange{}),
        .markers = take.markers,
    };
    return write(std::move(request), take.firstPart, savingText(destination), destination);
}

bool SaveTake::write(platform::encoding::EncodeRequest request, const QString& firstPart, const QString& saving,
                     const QString& shown) {
    busy_ = true;
    // The encoding runs on its own thread; this one goes on handling events (the window repaints,
    // the box's Cancel is seen at once) until it wakes this loop.
    QEventLoop waiting;
    platform::encoding::Encoding encoding(std::move(request), [&waiting] {
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    {
        constexpr std::uint64_t kPermille = 1000;
        const auto progress = dialogs_.progress(saving, title_, kPermille);
        QTimer tick;
        tick.setInterval(50);
        QObject::connect(&tick, &QTimer::timeout, &tick, [&] {
            if (!progress->advance(static_cast<std::uint64_t>(encoding.permille()))) {
                encoding.cancel();
                tick.stop();
            }
        });
        tick.start();
        if (!encoding.isFinished()) {
            waiting.exec();
        }
    }
    // The application told every event loop to end (the session is over, or a signal came) before
    // the encoding did: nobody waits for the save, and the take stays where it is.
    if (!encoding.isFinished()) {
        encoding.cancel();
        encoding.wait();
    }
    busy_ = false;

    const platform::encoding::EncodeResult& result = encoding.result();
    if (result.encoded()) {
        // Only now, with the new file complete on disk and read back, does the take go. One that
        // cannot be deleted stays beside it; the take is saved all the same.
        removeTake(firstPart);
        return true;
    }
    // At the end of the session nobody is there to read a box; the take is kept unsaved.
    if (!unattended_) {
        const QString concerned = shown.isEmpty() ? result.destination : shown;
        dialogs_.message(stillWhereItWas(result.describe(QDir::toNativeSeparators(concerned)), firstPart), title_);
    }
    return false;
}

}  // namespace save
