// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What a take carries besides its sound until it is saved: the markers set while it ran (written
// beside it as they come, and counted for the readout) and what "Ouvir e cortar…" set for it. The
// window says which take is current; a save takes both from here.

#include "recorder/review/ReviewWindow.h"
#include "recorder/window/SaveTake.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <vector>

namespace platform {
class Dialogs;
}

namespace review {
class MarkerWriter;
}
class QSettings;
class QWidget;

class TakeReview final : public QObject {
    Q_OBJECT

public:
    // What the review window was closed for.
    struct Outcome {
        review::ReviewWindow::Outcome kind = review::ReviewWindow::Closed;
        // With SaveTracks: the tracks to save and how.
        std::vector<analysis::FrameRange> tracks{};
        review::TrackSaveChoice choice{};
    };

    // The review window opens over `window`, its player from `playback`.
    TakeReview(platform::Dialogs& dialogs, review::PlaybackFactory playback, QSettings* settings,
               QWidget& window);

    // A new take's markers count from none; `count` puts back those of a take that stays current.
    void countMarkersFrom(int count = 0);
    int markers() const { return markerCount_; }
    // A marker at `takeFrame` of `take`, written off the window's thread.
    void addMarker(const QString& take, quint64 takeFrame);
    // The markers of `take`, counted from its marker file (none without a take).
    void recountMarkers(const QString& take);
    // Every marker handed over is in the file.
    void settle();

    const review::ReviewChoices& choices() const { return choices_; }
    // The take was saved, deleted or replaced: what its review set goes with it.
    void forget();
    // Deletes `take` with its markers; one already gone is as good as deleted.
    void deleteTake(const QString& take);
    // `take` as a save writes it: the review's trim and the take's markers.
    save::TakeToSave takeToSave(const QString& take, const QDateTime& began);
    // The review window, modal, on `take`; its choices are kept for the take's next save.
    Outcome review(const QString& take, const QDateTime& began);

Q_SIGNALS:
    // The count of markers changed.
    void markersChanged();

private:
    platform::Dialogs& dialogs_;
    review::PlaybackFactory playback_;
    QSettings* settings_;
    QWidget& window_;
    review::MarkerWriter* writer_;
    // The markers of the current take, told in the readout's tooltip.
    int markerCount_ = 0;
    // A marker that could not be written was told during this take.
    bool failureTold_ = false;
    // What the review set, and the take it was set for.
    review::ReviewChoices choices_;
    QString reviewedTake_;
};
