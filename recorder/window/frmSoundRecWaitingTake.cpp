// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The take the window holds once it stopped, until it is saved or deleted: recovered at start-up,
// its markers, the review, the save, and the question about it before the next take or the exit.

#include "recorder/window/frmSoundRec.h"

#include "platform/dialogs/Dialogs.h"
#include "recorder/recovery/Recovery.h"
#include "recorder/window/Readout.h"
#include "recorder/window/TakeMenu.h"
#include "ui_frmSoundRec.h"

#include <QFile>

namespace {

// Translated where it is shown, so the box reads in the language of the moment.
const char* const kQuestionTitle = QT_TRANSLATE_NOOP("frmSoundRec", "VIZ Eridorov");

}  // namespace

void frmSoundRec::adoptInterruptedTakes() {
    const auto findings = recovery::recoverAtStartUp(services_.programFolder);
    if (findings.empty()) {
        return;
    }
    if (!findings.takes.empty()) {
        // The newest is the current, unsaved take: Save offers it, and the next take and the exit
        // ask about it as about any take not saved.
        const auto& newest = findings.takes.back();
        takeFileName = newest.path;
        takeBegan_ = basSoundRec_2::takeBeganFromName(
            takeFileName, newest.modified.addMSecs(-static_cast<qint64>(newest.seconds * 1000)));
        takeSaved = false;
        ui->cmdSave->setEnabled(true);
        // Its markers were kept beside it, flushed as each was set.
        review_->recountMarkers(takeFileName);
        offerReview();
        showReadoutNotes();
    }
    // Told once the window is up, over it: the takes recovered and what unfinished saves left.
    QTimer::singleShot(0, this, [this, text = recovery::describeStartUp(findings)] {
        dialogs_.message(text, kProgramTitle);
    });
}

bool frmSoundRec::settleLastTake(const char* question) {
    if (takeFileName.trimmed().isEmpty() || takeSaved) {
        return true;
    }
    switch (dialogs_.question(tr(question), tr(kQuestionTitle))) {
        case platform::Answer::Cancel:
            return false;
        case platform::Answer::No:
            // Whatever comes of the save, the new take starts after it, or the window closes.
            cmdSave_Click();
            return true;
        default:
            // Already gone is as good as deleted; one that cannot be deleted stays on disk.
            review_->deleteTake(takeFileName);
            readout_->zero();
            return true;
    }
}

void frmSoundRec::forgetGoneTake() {
    if (!takeSaved && !takeFileName.isEmpty() && !QFile::exists(takeFileName)) {
        takeFileName.clear();
        takeBegan_ = QDateTime();
    }
}

void frmSoundRec::offerReview() {
    takeMenu_->showReviewable(!takeFileName.trimmed().isEmpty() && !takeSaved && !engine_->isRecording());
}

void frmSoundRec::addMarker(quint64 takeFrame) {
    // A marker that arrives after the take stopped has no take to go into.
    if (!engine_->isRecording() || takeFileName.isEmpty()) {
        return;
    }
    review_->addMarker(takeFileName, takeFrame);
}

void frmSoundRec::reviewTake() {
    if (!takeMenu_->reviewAction().isEnabled() || save_->busy() || engine_->isRecording() ||
        !waitForFinishedTake() || takeFileName.trimmed().isEmpty() || takeSaved) {
        return;
    }
    const auto outcome = review_->review(takeFileName, takeBegan_);
    if (outcome.kind == review::ReviewWindow::Save) {
        cmdSave_Click();
    } else if (outcome.kind == review::ReviewWindow::SaveTracks) {
        saveWaitingTake([&](const save::TakeToSave& take) {
            return save_->saveTracks(take, outcome.tracks, outcome.choice);
        });
    }
}

void frmSoundRec::saveWaitingTake(const std::function<bool(const save::TakeToSave&)>& save) {
    // A save already under way (its box shows only after half a second) is not started twice; a
    // take still receiving its last sound is saved once it is finished.
    if (save_->busy() || !waitForFinishedTake()) {
        return;
    }
    readout_->zero();
    if (save(review_->takeToSave(takeFileName, takeBegan_))) {
        takeSaved = true;
        review_->forget();
    }
    offerReview();
    showReadoutNotes();
    // The session ended while the take was being saved, and the window would not close under the
    // save: it closes now, as the session manager asked, and nothing is asked about the take.
    if (sessionEnding_) {
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}
