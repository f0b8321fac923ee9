// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window's side of the takes that start by themselves: armed for the first sound, or set for a
// time and handed to the device just before it. AutoStart holds their menu items, the time and the
// trigger; here the window arms, begins and withdraws the takes.

#include "recorder/window/frmSoundRec.h"

#include "platform/power/SleepInhibitor.h"
#include "recorder/window/QualityFrame.h"
#include "recorder/window/Readout.h"
#include "recorder/window/TakeMenu.h"
#include "recorder/window/ToggleCaptions.h"
#include "ui_frmSoundRec.h"

#include <algorithm>

void frmSoundRec::armTake(std::chrono::steady_clock::time_point pressed) {
    // The file is made when the sound comes; until then the last take stays what it was.
    forgetGoneTake();
    showTakeStarting();
    engine_->waveFormat = quality_->format();
    autoStart_->arm({.makeTake = [this] { return makeSoundTake(); },
                     .partBegan = [this](std::uint64_t takeFrame) { Q_EMIT markerHeard(takeFrame); },
                     .silent =
                         [this](bool) {
                             showPaused(paused_);
                             showReadoutNotes();
                         }});
    readout_->zero();
    readout_->startClock();
    timer2_.start();
    if (!engine_->StartCapture(pressed)) {
        engine_->StopCapture();
        enterStoppedState(false);
        return;
    }
    showPaused(false);
    showTakeRunning();
}

bool frmSoundRec::makeSoundTake() {
    const QDateTime began = services_.clock();
    const QString created = createTakeFile(began);
    if (created.isEmpty() || !takeFile_->WriteHeader(engine_->waveFormat)) {
        if (!created.isEmpty()) {
            takeFile_->Discard();
        }
        // The take cannot be: it ends as a press would end it, once the buffer at hand is handled.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (ui->Check1->isChecked() && engine_->isRecording()) {
                    ui->Check1->setChecked(false);
                }
            },
            Qt::QueuedConnection);
        return false;
    }
    takeFileName = created;
    takeBegan_ = began;
    takeSaved = false;
    showPaused(paused_);
    showReadoutNotes();
    return true;
}

void frmSoundRec::startAt(QTime time) {
    if (engine_->isRecording() || engine_->isFinishing() || autoStart_->waitingForTime() || save_->busy()) {
        return;
    }
    sessionEnding_ = false;
    save_->setUnattended(false);
    // Asked now: nobody may be there when the time comes. The room for the set length, or for the
    // same ten minutes a press asks about.
    const auto limit = takeMenu_->lengthLimit();
    const long long roomWanted =
        limit ? std::chrono::duration_cast<std::chrono::seconds>(*limit).count() : kFewSecondsOfRoom;
    if (!askBeforeTake(roomWanted)) {
        return;
    }
    forgetGoneTake();
    if (!autoStart_->waitFor(time)) {
        return;
    }
    setCheck1(true);
    ui->Check1->setText(tr(kCancelStartCaption));
    // Awake until the time: a computer that sleeps through it records nothing.
    if (services_.sleepInhibitor != nullptr) {
        services_.sleepInhibitor->hold(autoStart_->sleepReason());
    }
    autoStart_->showState();
    showCountdown();
}

void frmSoundRec::cancelStartAt() {
    if (!autoStart_->waitingForTime()) {
        return;
    }
    autoStart_->cancelWait();
    // Nothing ran: what was set for the take (its "Parar após") stays for the next.
    enterStoppedState(false);
    readout_->zero();
    autoStart_->showState();
}

void frmSoundRec::showCountdown() {
    readout_->showElapsed(std::chrono::seconds(autoStart_->scheduled().secondsLeft()));
    showReadoutNotes();
}

void frmSoundRec::scheduledTakeDue(std::chrono::steady_clock::time_point heardFrom, const QDateTime& start) {
    readout_->zero();
    // Nobody may be there: nothing is asked now, and what cannot be is told in a box that stays.
    // The window stops waiting before the box: the box may stay for hours, with the toggle up and the
    // computer free to sleep.
    if (input_ != nullptr && !input_->available()) {
        enterStoppedState(false);
        autoStart_->showState();
        input_->tellMissing();
        return;
    }
    // The exit question is open: its answer decides whether there is a take at all.
    if (askingToQuit_) {
        dueWhileAsking_ = DueStart{heardFrom, start};
        return;
    }
    timer2_.setInterval(100);
    // As a press would: with the sound trigger on, the take waits for sound from the set time.
    if (autoStart_->soundTrigger()) {
        armTake(heardFrom);
        return;
    }
    beginTake(heardFrom, start);
    if (!engine_->isRecording()) {
        return;
    }
    // The device was handed the take ahead of its time; until then a press still ends the wait.
    scheduledFrom_ = heardFrom;
    ui->Check1->setText(tr(kCancelStartCaption));
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(heardFrom - std::chrono::steady_clock::now());
    QTimer::singleShot(std::max(left, std::chrono::milliseconds(0)), this, [this] {
        if (scheduledFrom_ && engine_->isRecording()) {
            ui->Check1->setText(tr(kStopCaption));
        }
    });
}

bool frmSoundRec::withdrawScheduledTake() {
    const auto from = std::exchange(scheduledFrom_, std::nullopt);
    if (!from || std::chrono::steady_clock::now() >= *from || !engine_->isRecording()) {
        return false;
    }
    // Nothing of the take was heard yet: it leaves nothing behind, as a wait that was cancelled.
    engine_->StopCapture();
    takeFile_->Discard();
    save::removeTake(takeFileName);
    takeFileName.clear();
    takeBegan_ = QDateTime();
    takeSaved = false;
    review_->countMarkersFrom(0);
    readout_->zero();
    enterStoppedState(false);
    return true;
}
