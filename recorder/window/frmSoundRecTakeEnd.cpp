// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The end of a take: waiting for a stopped take's last sound, and the one box that tells why a take
// ended, or ended early (a failed write, a lost source) and what overruns cost it.

#include "recorder/window/frmSoundRec.h"

#include "platform/dialogs/Dialogs.h"
#include "recorder/window/TakeEndNotice.h"

#include <QEventLoop>

void frmSoundRec::takeFinished() {
    if (waitingForTake_ != nullptr) {
        waitingForTake_->quit();
    }
    // At the end of the session nobody is there to read a box.
    if (!sessionEnding_) {
        tellHowTheStopEnded();
    }
}

void frmSoundRec::tellHowTheStopEnded() {
    tellHowTheTakeEnded(take_end::afterStop(*engine_, input_, failedBeforeStop_, autoStart_->heardNothing()));
}

bool frmSoundRec::waitForFinishedTake() {
    if (!engine_->isFinishing()) {
        return true;
    }
    // One wait at a time: what is asked for during it is dropped.
    if (waitingForTake_ != nullptr) {
        return false;
    }
    QEventLoop waiting;
    waitingForTake_ = &waiting;
    waiting.exec();
    waitingForTake_ = nullptr;
    // The application told every event loop to end: the take is finished with what has come.
    if (engine_->isFinishing()) {
        engine_->StopCapture();
    }
    return true;
}

void frmSoundRec::tellHowTheTakeEnded(const QString& reason) {
    if (const QString text = take_end::message(*engine_, reason); !text.isEmpty()) {
        dialogs_.message(text, kProgramTitle);
    }
}

bool frmSoundRec::stopIfTheTakeFailed() {
    if (!take_end::failure(*engine_, input_, false)) {
        return false;
    }
    // Stopped before the box: the take is finished and the window stopped while the user reads why,
    // and late notifications find no take running.
    finishReadout();
    engine_->StopCapture();
    enterStoppedState();
    // Told after the stop: the buffers it writes may hold the first sound, and with it a take file.
    tellHowTheTakeEnded(take_end::failure(*engine_, input_, autoStart_->heardNothing()).value_or(QString()));
    return true;
}
