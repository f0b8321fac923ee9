// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Saving a take under a name of the user's: the save-file dialog, the file and format a typed name
// and the chosen filter mean, moving a WAV take or encoding it into a new file, and the boxes that
// tell what went wrong. The window says what to save; the save never reaches into the window.

#include "platform/encoding/Encoding.h"
#include "recorder/analysis/Gaps.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace platform {
class Dialogs;
}
namespace review {
struct TrackSaveChoice;
}
class QSettings;

namespace save {

using platform::encoding::Format;

// The save-file dialog's settings; the save shows the dialog with them.
struct DialogSettings {
    // As designed; translated when the dialog is shown.
    QString DialogTitle = QString::fromUtf8(QT_TRANSLATE_NOOP("frmSoundRec", "Save Wave File"));
    QString Filter = QStringLiteral("*.WAV");
    // Kept between showings, so the dialog offers the name chosen last.
    QString FileName;
    int MaxFileSize = 260;
};

// What a save writes: the take whose first file is `firstPart` (its further parts follow it on
// disk), begun at `began` (the date a saved format carries, where it carries one).
struct TakeToSave {
    QString firstPart;
    QDateTime began;
    // The take frames to write (a trim); the whole take without it.
    std::optional<platform::encoding::FrameRange> range{};
    // The take's markers, as take frames; the saved file holds those inside the range, shifted.
    std::vector<std::uint64_t> markers{};
};

struct Destination {
    QString path;
    Format format = Format::Wav;
    bool operator==(const Destination&) const = default;
};

// Where and in which format the name chosen in the dialog is saved. A name typed with the
// extension of an `offered` format (any case) is saved in that format as it is, whatever the
// filter; any other name gets the extension of the filter's format (".Wav" for WAV, also for an
// unknown filter).
Destination destinationFor(const QString& chosen, const QString& filter, const std::vector<Format>& offered);

// Deletes every part of a take and its marker file; one already gone is as good as deleted.
void removeTake(const QString& firstPart);

class SaveTake {
public:
    // Boxes go through `dialogs` with `title`; the format of the last save is kept in `kept` (may
    // be null) and offered first the next time.
    SaveTake(platform::Dialogs& dialogs, DialogSettings& settings, QSettings* kept, QString title);

    // Asks where to save `take`, then saves it there: a whole WAV take without markers is moved
    // (every part); anything else (another format, a trim, markers to carry) is written into a new
    // file, after which the take is removed. True when the take is saved; false when the user
    // cancelled or the save failed (a box said why; the take is where it was).
    bool save(const TakeToSave& take);
    // Saves `tracks` (take frames, in order) of `take` as the files `choice` names, one a track, in
    // its format and with its album's fields, all or none; the take is removed once every file is
    // complete. True when saved; false when cancelled or failed (a box said why).
    bool saveTracks(const TakeToSave& take, const std::vector<analysis::FrameRange>& tracks,
                    const review::TrackSaveChoice& choice);
    // A save is under way (its box shows only after half a second).
    bool busy() const { return busy_; }
    // Nobody is there to read a box (the desktop session is ending): a failed encoding is not told.
    void setUnattended(bool unattended) { unattended_ = unattended; }

private:
    bool move(const TakeToSave& take, const QString& destination);
    bool encode(const TakeToSave& take, const QString& destination, Format format);
    // Runs one save of the engine with a progress box that says `saving`; on success the take is
    // removed. `shown` names the destination in a failure's box; empty: the file the engine names.
    bool write(platform::encoding::EncodeRequest request, const QString& firstPart, const QString& saving,
               const QString& shown);
    void remember(Format format);

    platform::Dialogs& dialogs_;
    DialogSettings& settings_;
    QSettings* kept_;
    QString title_;
    // The format of the last save, offered first by the next one.
    Format format_ = Format::Wav;
    bool busy_ = false;
    bool unattended_ = false;
};

}  // namespace save
