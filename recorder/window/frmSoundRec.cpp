// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/frmSoundRec.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/power/SleepInhibitor.h"
#include "recorder/i18n/ClockText.h"
#include "recorder/level/LevelMeter.h"
#include "recorder/level/LevelMonitor.h"
#include "recorder/window/DesignLook.h"
#include "recorder/window/DiskRoom.h"
#include "recorder/window/Form2.h"
#include "recorder/window/QualityFrame.h"
#include "recorder/window/Readout.h"
#include "recorder/window/RecorderLook.h"
#include "recorder/window/TakeMenu.h"
#include "recorder/window/ToggleCaptions.h"
#include "ui_frmSoundRec.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

using platform::wavein::WAVEFORMATEX;

namespace {

// Translated where they are shown, so each box reads in the language of the moment.
const char* const kDeleteUnsavedQuestion =
    QT_TRANSLATE_NOOP("frmSoundRec", "Arquivo não foi salvo. Deseja Excluir?");
const char* const kExitUnsavedQuestion =
    QT_TRANSLATE_NOOP("frmSoundRec", "Deseja sair sem Gravar o arquivo?");

// How long a press waits for the disk to tell its room; a disk that takes longer is not asked about.
constexpr std::chrono::milliseconds kRoomPatience{100};

platform::Dialogs& chooseDialogs(platform::Dialogs* injected, std::unique_ptr<platform::Dialogs>& own,
                                 QWidget* parent) {
    if (injected != nullptr) {
        return *injected;
    }
    own = platform::makeWidgetDialogs(parent);
    return *own;
}

}  // namespace

frmSoundRec::frmSoundRec(Services services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::frmSoundRec>()),
      services_(std::move(services)),
      dialogs_(chooseDialogs(services_.dialogs, ownDialogs_, this)),
      takeFile_(
          std::make_unique<basSoundRec_2::TakeFile>(dialogs_, kProgramTitle, services_.largestRiffSize)),
      engine_(std::make_unique<basSoundRec_1::CaptureEngine>(services_.waveIn, *takeFile_, dialogs_,
                                                             kProgramTitle)),
      save_(std::make_unique<save::SaveTake>(dialogs_, cmdlg, services_.settings, kProgramTitle)),
      room_(
          std::make_unique<DiskRoom>(services_.programFolder, services_.freeRoom, services_.monotonicClock)) {
    loadRecorderPictures();
    // The controls are sized for a small dialog font.
    setFont(dialogFont());
    ui->setupUi(this);
    dressRecorderWindow(*this);
    LED1_ = {ui->LED1_0, ui->LED1_1, ui->LED1_2, ui->LED1_3, ui->LED1_4};
    readout_ = new Readout(LED1_, *ui->Shape6, services_.monotonicClock);
    timer2_.setObjectName(QStringLiteral("Timer2"));
    timer2_.setInterval(0);
    quality_ = new QualityFrame(
        {.rates = {{ui->opt11, ui->Label7}, {ui->opt225, ui->Label6}, {ui->opt44, ui->Label5}},
         .stereo = ui->chkStereo,
         .heading = ui->Label3,
         .openOn = {ui->Shape5, ui->Shape1, ui->Shape3, ui->Shape4, ui->Label3, ui->Label5, ui->Label6, ui->Label7}},
        services_.settings, *this);
    describeRecorderWindow(*this, *ui->Check1);

    // Every way of pressing the toggle changes its state once: the mouse, the keyboard and an
    // assistive technology's action, which clicks from the event loop after it returned. Changes
    // made here in code are silenced (setCheck1).
    connect(ui->Check1, &QAbstractButton::toggled, this, &frmSoundRec::Check1_Click);
    connect(ui->Command1, &QAbstractButton::clicked, this, &frmSoundRec::Command1_Click);
    connect(ui->Command3, &QAbstractButton::clicked, this, &frmSoundRec::Command3_Click);
    connect(ui->cmdSave, &QAbstractButton::clicked, this, &frmSoundRec::cmdSave_Click);
    connect(&timer2_, &QTimer::timeout, this, &frmSoundRec::Timer2_Timer);
    takeMenu_ = new TakeMenu(*ui->Check1, *this, dialogs_, services_.stopAfterMinute);
    connect(takeMenu_, &TakeMenu::pauseRequested, this, &frmSoundRec::togglePause);
    connect(takeMenu_, &TakeMenu::stopAfterChanged, this, &frmSoundRec::applyStopAfter);
    connect(takeMenu_, &TakeMenu::markRequested, this, &frmSoundRec::markNow);
    // Opened once the menu that asked for it has closed.
    connect(takeMenu_, &TakeMenu::reviewRequested, this, &frmSoundRec::reviewTake, Qt::QueuedConnection);
    // "Savar Com..." offers the review too, on its own context menu.
    auto* saveMenu = new QMenu(this);
    saveMenu->setObjectName(QStringLiteral("cmdSaveMenu"));
    saveMenu->addAction(&takeMenu_->reviewAction());
    ui->cmdSave->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->cmdSave, &QWidget::customContextMenuRequested, this,
            [this, saveMenu](const QPoint& at) { saveMenu->popup(ui->cmdSave->mapToGlobal(at)); });
    review_ = new TakeReview(dialogs_, services_.playback, services_.settings, *this);
    connect(review_, &TakeReview::markersChanged, this, &frmSoundRec::showReadoutNotes);
    autoStart_ = std::make_unique<AutoStart>(*engine_, takeMenu_->menu(), dialogs_, services_.settings,
                                             services_.clock, std::array{ui->AniGIF2, ui->AniGIF3}, nullptr);
    connect(autoStart_.get(), &AutoStart::startAtChosen, this, &frmSoundRec::startAt);
    connect(autoStart_.get(), &AutoStart::cancelStartChosen, this, &frmSoundRec::cancelStartAt);
    connect(autoStart_.get(), &AutoStart::tick, this, &frmSoundRec::showCountdown);
    connect(autoStart_.get(), &AutoStart::due, this, &frmSoundRec::scheduledTakeDue);
    connect(this, &frmSoundRec::markerHeard, this, &frmSoundRec::addMarker);
    level_ = new level::LevelSlider(*ui->scrLevel, services_.mixer);
    if (services_.peakSource != nullptr) {
        levelMonitor_ = std::make_unique<level::LevelMonitor>(*services_.peakSource);
        ui->AniGIF2->watch(levelMonitor_.get(), level::LevelMonitor::kLeft);
        ui->AniGIF3->watch(levelMonitor_.get(), level::LevelMonitor::kRight);
    }
    if (services_.sources != nullptr) {
        input_ =
            new input::InputChoice(*services_.sources, services_.settings, services_.sourceForThisRun,
                                   dialogs_, kProgramTitle, [this] { return engine_->isRecording(); }, *this,
                                   {.openOn = {ui->AniGIF2, ui->AniGIF3, ui->scrLevel, ui->Label1},
                                    .keyboard = ui->scrLevel,
                                    .named = {ui->AniGIF2, ui->AniGIF3}});
    }
    Form_Load();
    autoStart_->showState();
}

frmSoundRec::~frmSoundRec() {
    // A window torn down mid-take still leaves a finished file behind.
    if (engine_->isRecording() || engine_->isFinishing()) {
        engine_->onTakeFinished(nullptr);
        engine_->StopCapture();
    }
    if (services_.sleepInhibitor != nullptr) {
        services_.sleepInhibitor->release();
    }
}

QAbstractButton* frmSoundRec::Check1() const {
    return ui->Check1;
}
QCheckBox* frmSoundRec::chkStereo() const {
    return ui->chkStereo;
}
QRadioButton* frmSoundRec::opt44() const {
    return ui->opt44;
}
QRadioButton* frmSoundRec::opt225() const {
    return ui->opt225;
}
QRadioButton* frmSoundRec::opt11() const {
    return ui->opt11;
}
QPushButton* frmSoundRec::cmdSave() const {
    return ui->cmdSave;
}
QPushButton* frmSoundRec::Command1() const {
    return ui->Command1;
}
QPushButton* frmSoundRec::Command3() const {
    return ui->Command3;
}
QScrollBar* frmSoundRec::scrLevel() const {
    return ui->scrLevel;
}
LevelMeter* frmSoundRec::AniGIF2() const {
    return ui->AniGIF2;
}
LevelMeter* frmSoundRec::AniGIF3() const {
    return ui->AniGIF3;
}

void frmSoundRec::Form_Load() {
    // The hook comes first: no notification may reach the window unhandled.
    engine_->HookWindow(this, [this] { Gandu(); });
    engine_->onTakeFinished([this] { takeFinished(); });
    ui->chkStereo->setChecked(true);
    ui->opt44->setChecked(true);
    // The archive quality chosen in an earlier run comes back.
    quality_->restore();
    ui->cmdSave->setEnabled(false);
    // Nothing is sent yet: the volume control is not found until the mixer is open.
    ui->scrLevel->setValue(32767);
    openMixer();
    // The first control of the tab order has the focus when the window opens, so the space bar
    // starts a take at once.
    ui->Check1->setFocus(Qt::OtherFocusReason);
    adoptInterruptedTakes();
}

void frmSoundRec::endSession() {
    // Nobody is there to answer: the take is finished and kept under its generated name, and no
    // box or question is shown.
    sessionEnding_ = true;
    save_->setUnattended(true);
    if (autoStart_->waitingForTime()) {
        cancelStartAt();
    }
    if (engine_->isRecording() || engine_->isFinishing()) {
        engine_->StopCapture();
        enterStoppedState();
    }
}

void frmSoundRec::commitSession() {
    if (engine_->isRecording()) {
        takeFile_->Commit();
    }
}

void frmSoundRec::openMixer() {
    if (services_.mixer == nullptr) {
        return;
    }
    // The slider shows the volume of the source it moves, and follows it.
    mmResult = level_->open();
    if (mmResult != platform::mixer::MMSYSERR_NOERROR) {
        dialogs_.message(tr("Couldn't open the mixer."), kProgramTitle);
    }
}

void frmSoundRec::Command1_Click() {
    close();
}

void frmSoundRec::Command3_Click() {
    // A new About window every time, owned by no window; the take and its readout go on while it is open.
    Form2 about;
    about.exec();
}

void frmSoundRec::setCheck1(bool pressed) {
    const QSignalBlocker quiet(ui->Check1);
    ui->Check1->setChecked(pressed);
}

void frmSoundRec::Timer2_Timer() {
    // A take that starts at sound holds what it kept, however long it waited.
    readout_->showElapsed(autoStart_->soundStarted() ? autoStart_->recordedTime() : readout_->elapsed());
    showReadoutNotes();
}

void frmSoundRec::togglePause() {
    if (!ui->Check1->isChecked() || !engine_->isRecording()) {
        return;
    }
    // The press is the moment: the readout holds what it shows now, and the time from here on is
    // not the take's.
    const auto now = services_.monotonicClock();
    const auto pressed = std::chrono::steady_clock::now();
    const bool pausing = !paused_;
    if (pausing) {
        Timer2_Timer();
    }
    const auto result = pausing ? engine_->PauseCapture(pressed) : engine_->ResumeCapture(pressed);
    if (result == platform::wavein::MMSYSERR_NOERROR) {
        readout_->holdClock(pausing, now);
        showPaused(pausing);
    } else if (result != platform::wavein::MMSYSERR_NODRIVER) {
        // A lost server is told once, by the stop its returned buffers bring.
        engine_->ReportWaveError();
    }
}

void frmSoundRec::showPaused(bool paused) {
    paused_ = paused;
    ui->Check1->setAccessibleDescription(paused ? tr("Pausado") : QString());
    takeMenu_->showTake(engine_->isRecording(), paused);
    // Waiting for sound looks like a pause.
    readout_->setPaused(paused || waitingForSound());
}

void frmSoundRec::applyStopAfter() {
    engine_->setLengthLimit(takeMenu_->lengthLimit());
    showReadoutNotes();
    // A time already passed ends the take now, as a press of the toggle would: with everything heard
    // up to now, and the readout at the take's real length, not at the shorter time.
    if (ui->Check1->isChecked() && engine_->isRecording() && engine_->lengthLimitReached()) {
        engine_->setLengthLimit(std::nullopt);
        ui->Check1->setChecked(false);
    }
}

void frmSoundRec::showReadoutNotes() {
    Readout::Notes notes;
    notes.waiting = autoStart_->waitingNote();
    const auto& format = engine_->waveFormat;
    // The room left is told only while a take fills it.
    if (engine_->isRecording()) {
        const std::uint64_t written = std::uint64_t{basSoundRec_1::kBufferCount} * engine_->bufferSize() +
                                      engine_->recordedFrames() * format.nBlockAlign;
        notes.roomSeconds = room_->duringTake(written, format.nAvgBytesPerSec);
    }
    if (!takeSaved && !takeFileName.trimmed().isEmpty()) {
        notes.markers = review_->markers();
    }
    if (const auto limit = takeMenu_->lengthLimit()) {
        const double recorded = engine_->isRecording() && format.nSamplesPerSec > 0
                                    ? static_cast<double>(engine_->recordedFrames()) / format.nSamplesPerSec
                                    : 0.0;
        notes.secondsLeft = static_cast<long long>(
            std::max(0.0, std::ceil(static_cast<double>(limit->count()) / 1000.0 - recorded)));
    }
    readout_->showNotes(notes);
}

void frmSoundRec::finishReadout() {
    // The digits keep the take's length, measured at the moment it ends; a take that ran to its set
    // time holds exactly that, whatever the clock says of the moment its last audio arrived.
    if (timer2_.isActive()) {
        Timer2_Timer();
        if (engine_->lengthLimitReached()) {
            readout_->showElapsed(*engine_->lengthLimit());
        }
    }
    timer2_.stop();
}

void frmSoundRec::Check1_Click() {
    // While a take is being saved (its box shows only after half a second) no take starts or stops.
    if (save_->busy()) {
        setCheck1(!ui->Check1->isChecked());
        return;
    }
    // A release while a press waits for the last take to finish takes that press back: there is no
    // take of its own to stop, and the press sees the toggle up once the wait is over.
    if (waitingForTake_ != nullptr && !ui->Check1->isChecked()) {
        return;
    }
    // A press while a take waits for its time ends the wait, and nothing is recorded.
    if (autoStart_->waitingForTime()) {
        cancelStartAt();
        return;
    }
    timer2_.setInterval(100);
    if (ui->Check1->isChecked()) {
        startTake();
    } else {
        stopTake();
    }
}

void frmSoundRec::startTake() {
    sessionEnding_ = false;
    scheduledFrom_.reset();
    save_->setUnattended(false);
    // A release during the wait for the last take took this press back.
    if (!waitForFinishedTake() || !ui->Check1->isChecked()) {
        setCheck1(false);
        return;
    }
    if (!askBeforeTake(kFewSecondsOfRoom)) {
        return;
    }
    // The take is what the source heard from here on, whenever the device starts delivering it.
    const auto pressed = std::chrono::steady_clock::now();
    if (autoStart_->soundTrigger()) {
        armTake(pressed);
        return;
    }
    beginTake(pressed, services_.clock());
}

bool frmSoundRec::askBeforeTake(long long roomWanted) {
    // Never another input in its place: nothing is recorded, and nothing else changes. The last take
    // is asked about once it is finished.
    if (!waitForFinishedTake() || (input_ != nullptr && !input_->present()) ||
        !settleLastTake(kDeleteUnsavedQuestion)) {
        // Nothing started, so the toggle does not stay down as if something had.
        setCheck1(false);
        return false;
    }
    // Asked after the last take was settled: deleting it may have made the room.
    if (const auto room = room_->beforeTake(quality_->format().nAvgBytesPerSec, kRoomPatience);
        room && *room < roomWanted) {
        const QString question = tr("Há espaço em disco para apenas %1 de gravação. Gravar mesmo assim?");
        if (dialogs_.confirm(question.arg(i18n::clockText(*room)), kProgramTitle) != platform::Answer::Yes) {
            // The last take may have been deleted just before: nothing is left to save or ask about.
            forgetGoneTake();
            // No take ran: a time set for it waits for the next.
            enterStoppedState(false);
            return false;
        }
    }
    return true;
}

void frmSoundRec::beginTake(std::chrono::steady_clock::time_point pressed, const QDateTime& began) {
    autoStart_->disarm();
    const QString previousTake = takeFileName;
    const QDateTime previousBegan = takeBegan_;
    const bool previousSaved = takeSaved;

    takeSaved = false;
    takeMenu_->showReviewable(false);
    const int previousMarkers = review_->markers();
    review_->countMarkersFrom(0);
    showTakeStarting();
    readout_->startClock();
    // A take handed over before its time counts from its time on.
    if (const auto steadyNow = std::chrono::steady_clock::now(); pressed > steadyNow) {
        const auto now = services_.monotonicClock();
        readout_->holdClock(true, now);
        readout_->holdClock(false, now + (pressed - steadyNow));
    }
    timer2_.start();
    Timer2_Timer();

    const QString created = createTakeFile(began);
    bool started = !created.isEmpty();
    if (started) {
        // The take before is saved or deleted by now, or replaced.
        review_->forget();
        takeFileName = created;
        takeBegan_ = began;
        engine_->waveFormat = quality_->format();
        started = takeFile_->WriteHeader(engine_->waveFormat) && engine_->StartCapture(pressed);
    }
    if (!started) {
        // A take that never ran leaves nothing behind: no device, no buffers, no empty file.
        engine_->StopCapture();
        if (!created.isEmpty()) {
            QFile::remove(created);
        }
        const bool previousStillThere = !previousTake.isEmpty() && QFile::exists(previousTake);
        takeFileName = previousStillThere ? previousTake : QString();
        takeBegan_ = previousStillThere ? previousBegan : QDateTime();
        takeSaved = previousStillThere && previousSaved;
        review_->countMarkersFrom(previousStillThere ? previousMarkers : 0);
        // No take ran: a time set for it waits for the next.
        enterStoppedState(false);
        return;
    }
    showTakeRunning();
}

void frmSoundRec::showTakeStarting() {
    ui->cmdSave->setEnabled(false);
    ui->Check1->setText(tr(kStopCaption));
    if (levelMonitor_) {
        levelMonitor_->clearClips();
    }
}

void frmSoundRec::showTakeRunning() {
    takeMenu_->showTake(true, false);
    autoStart_->showState();
    showReadoutNotes();
    // The computer stays awake for the take, however long nobody touches it.
    if (services_.sleepInhibitor != nullptr) {
        services_.sleepInhibitor->hold();
    }
    stopIfTheTakeFailed();
}

QString frmSoundRec::createTakeFile(const QDateTime& began) {
    return takeFile_->Create(QDir(services_.programFolder).filePath(basSoundRec_2::takeFileBaseName(began)));
}

void frmSoundRec::stopTake() {
    if (withdrawScheduledTake()) {
        return;
    }
    // The take ends with what the source heard at the release, however long it holds sound back; the
    // window goes on meanwhile, and the take is finished when that sound has come.
    const auto released = std::chrono::steady_clock::now();
    failedBeforeStop_ = engine_->takeWriteFailure().has_value();
    finishReadout();
    engine_->StopCapture(released);
    enterStoppedState();
    if (!engine_->isFinishing()) {
        tellHowTheStopEnded();
    }
}

void frmSoundRec::enterStoppedState(bool takeEnded) {
    // Every end of a take comes here: the computer may sleep again.
    if (services_.sleepInhibitor != nullptr) {
        services_.sleepInhibitor->release();
    }
    // The readout keeps the time it held, paused or not, and lights up again.
    finishReadout();
    showPaused(false);
    if (takeEnded) {
        // A set time is for one take.
        takeMenu_->clearStopAfter();
    }
    // The room left goes with the take; a time set for the next take stays told.
    showReadoutNotes();
    setCheck1(false);
    ui->Check1->setText(tr(kStartCaption));
    // Save is offered once there is a take to save.
    ui->cmdSave->setEnabled(!takeFileName.trimmed().isEmpty());
    offerReview();
    autoStart_->showState();
}

void frmSoundRec::markNow() {
    // The press is the moment, whatever the window does before it gets here.
    const auto pressed = std::chrono::steady_clock::now();
    if (!ui->Check1->isChecked() || !engine_->isRecording()) {
        return;
    }
    if (const auto frame = engine_->takeFrameAt(pressed)) {
        addMarker(*frame);
    }
}

void frmSoundRec::Gandu() {
    if (!ui->Check1->isChecked() || !engine_->isRecording()) {
        return;
    }
    mmResult = engine_->HandleDoneBuffers();
    if (stopIfTheTakeFailed()) {
        return;
    }
    if (engine_->lengthLimitReached()) {
        // The set time is up: the take ends as a press of the toggle would end it.
        ui->Check1->setChecked(false);
        return;
    }
    if (mmResult != platform::wavein::MMSYSERR_NOERROR && !showingRequeueFailure_) {
        // Notifications keep arriving while the box is open; they retry, but do not stack boxes.
        showingRequeueFailure_ = true;
        dialogs_.message(tr("Failed"), kProgramTitle);
        showingRequeueFailure_ = false;
    }
}

void frmSoundRec::cmdSave_Click() {
    saveWaitingTake([this](const save::TakeToSave& take) { return save_->save(take); });
}

void frmSoundRec::Form_Unload(qint16& Cancel) {
    if (autoStart_->waitingForTime()) {
        askingToQuit_ = true;
        const auto answer = dialogs_.confirm(autoStart_->exitQuestion(), kProgramTitle);
        askingToQuit_ = false;
        const auto due = std::exchange(dueWhileAsking_, std::nullopt);
        if (answer != platform::Answer::Yes) {
            Cancel = 1;
            // The time came while the question was open: the take begins now, late but whole from here.
            if (due) {
                const auto now = std::chrono::steady_clock::now();
                scheduledTakeDue(std::max(due->heardFrom, now), due->heardFrom < now ? services_.clock() : due->start);
            }
            return;
        }
        if (due) {
            enterStoppedState(false);
        }
        cancelStartAt();
    }
    // The take is finished before anything is asked about it.
    if (engine_->isRecording()) {
        stopTake();
    }
    waitForFinishedTake();
    if (!settleLastTake(kExitUnsavedQuestion)) {
        Cancel = 1;
        // Staying means going on as after any stop, whatever the take was doing; a running take
        // was ended above, so a time set now is for the next one and stays.
        enterStoppedState(false);
    }
}

void frmSoundRec::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The window offers no maximise button, but some window managers maximise any sizable window
    // (a double click on the title bar); it goes back to its size at once.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized)) {
        QMetaObject::invokeMethod(
            this, [this] { setWindowState(windowState() & ~Qt::WindowMaximized); }, Qt::QueuedConnection);
    }
}

void frmSoundRec::closeEvent(QCloseEvent* event) {
    if (save_->busy() || waitingForTake_ != nullptr) {
        event->ignore();
        return;
    }
    // The session manager closes the windows after the take was kept: asking would hold up the
    // logout with nobody to answer.
    if (sessionEnding_) {
        endSession();
        event->accept();
        return;
    }
    qint16 Cancel = 0;
    Form_Unload(Cancel);
    event->setAccepted(Cancel == 0);
}
