// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/TakeReview.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/files/FileTools.h"
#include "recorder/review/TrackRanges.h"
#include "recorder/wavfile/TakeMarkers.h"
#include "recorder/review/MarkerWriter.h"
#include "recorder/window/ProgramTitle.h"

#include <QCoreApplication>

#include <algorithm>

TakeReview::TakeReview(platform::Dialogs& dialogs, review::PlaybackFactory playback, QSettings* settings,
                       QWidget& window)
    : QObject(&window),
      dialogs_(dialogs),
      playback_(std::move(playback)),
      settings_(settings),
      window_(window),
      writer_(new review::MarkerWriter(this)) {
    connect(writer_, &review::MarkerWriter::failed, this, [this](int error, bool wholeSet) {
        // The review tells its own edits' failures in its window.
        if (wholeSet) {
            return;
        }
        markerCount_ = std::max(0, markerCount_ - 1);
        Q_EMIT markersChanged();
        // One box a take: a full disk would fail every marker after.
        if (!failureTold_) {
            failureTold_ = true;
            dialogs_.message(
                QCoreApplication::translate("frmSoundRec", "Não foi possível guardar a marca: %1.")
                    .arg(platform::files::systemReason(error)),
                kProgramTitle);
        }
    });
}

void TakeReview::countMarkersFrom(int count) {
    markerCount_ = count;
    failureTold_ = false;
}

void TakeReview::addMarker(const QString& take, quint64 takeFrame) {
    writer_->add(take, takeFrame);
    ++markerCount_;
    Q_EMIT markersChanged();
}

void TakeReview::recountMarkers(const QString& take) {
    writer_->settle();
    markerCount_ = take.isEmpty() ? 0 : static_cast<int>(basSoundRec_2::readTakeMarkers(take).frames.size());
}

void TakeReview::settle() {
    writer_->settle();
}

void TakeReview::forget() {
    choices_ = {};
    reviewedTake_.clear();
}

void TakeReview::deleteTake(const QString& take) {
    writer_->settle();
    save::removeTake(take);
    forget();
}

save::TakeToSave TakeReview::takeToSave(const QString& take, const QDateTime& began) {
    save::TakeToSave toSave{.firstPart = take, .began = began};
    if (reviewedTake_ == take && choices_.selection) {
        toSave.range = platform::encoding::FrameRange{static_cast<std::uint64_t>(choices_.selection->from),
                                                      static_cast<std::uint64_t>(choices_.selection->to)};
    }
    // Every marker set, also the last one pressed just before the stop, is in the file first.
    writer_->settle();
    toSave.markers = basSoundRec_2::readTakeMarkers(take).frames;
    return toSave;
}

TakeReview::Outcome TakeReview::review(const QString& take, const QDateTime& began) {
    writer_->settle();
    if (reviewedTake_ != take) {
        choices_ = {};
        reviewedTake_ = take;
    }
    review::ReviewWindow window(
        {.firstPart = take, .playback = playback_, .settings = settings_, .began = began, .markerWriter = writer_}, &choices_,
        &window_);
    Outcome outcome{.kind = static_cast<review::ReviewWindow::Outcome>(window.exec())};
    // Markers added or removed there are in the take's marker file.
    recountMarkers(take);
    Q_EMIT markersChanged();
    if (outcome.kind == review::ReviewWindow::SaveTracks) {
        const auto frames = static_cast<std::int64_t>(window.frames());
        outcome.tracks = review::tracksWithin(choices_.framesToSave(frames), choices_.boundaryFrames());
        outcome.choice = window.trackSaveChoice();
    }
    return outcome;
}
