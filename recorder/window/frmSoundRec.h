// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The recorder's main window: picks the take's format, starts and stops takes with the record
// toggle, and receives the capture device's buffer notifications through its hook.

#include "platform/wavein/WaveIn.h"
#include "recorder/capture/CaptureEngine.h"
#include "recorder/level/LevelSlider.h"
#include "recorder/wavfile/TakeFile.h"
#include "recorder/window/AutoStart.h"
#include "recorder/window/InputMenu.h"
#include "recorder/window/ProgramTitle.h"
#include "recorder/window/RecorderServices.h"
#include "recorder/window/SaveTake.h"
#include "recorder/window/TakeReview.h"

#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>
#include <memory>

namespace platform {
class Dialogs;
}
namespace level {
class LevelMonitor;
}
namespace Ui {
class frmSoundRec;
}

class DiskRoom;
class LED;
class LevelMeter;
class QualityFrame;
class Readout;
class TakeMenu;
class QAbstractButton;
class QEventLoop;
class QCheckBox;
class QMenu;
class QPushButton;
class QRadioButton;
class QScrollBar;

class frmSoundRec : public QWidget {
    Q_OBJECT

public:
    using Services = RecorderServices;

    using SaveDialogSettings = save::DialogSettings;

    explicit frmSoundRec(Services services, QWidget* parent = nullptr);
    ~frmSoundRec() override;

    // The system or the desktop session ends the program: a running take is finished and kept,
    // without a box or a question, and the window then closes without asking about it.
    void endSession();
    // The desktop session is being saved, perhaps before it ends, perhaps not (a checkpoint): the
    // running take goes on, and everything it holds so far is made safe on the disk.
    void commitSession();

    // Writes and re-queues every buffer the device has filled while a take runs.
    void Gandu();

    // A marker at `takeFrame` of the running take (CaptureEngine::takeFrameAt), kept in the take's
    // marker file; nothing without a running take. Ctrl+M comes here, and so may whatever else sets
    // markers of its own.
    void addMarker(quint64 takeFrame);
    // What "Ouvir e cortar" set for the waiting take, kept for its next save.
    const review::ReviewChoices& reviewChoices() const { return review_->choices(); }

    // Shows the running take's elapsed time, H MM SS, on the five digits.
    void Timer2_Timer();

    QAbstractButton* Check1() const;
    QCheckBox* chkStereo() const;
    QRadioButton* opt44() const;
    QRadioButton* opt225() const;
    QRadioButton* opt11() const;
    QPushButton* cmdSave() const;
    QPushButton* Command1() const;
    QPushButton* Command3() const;
    QScrollBar* scrLevel() const;
    // The readout's digits by index; left to right they stand 4, 0, 1, 2, 3.
    LED* LED1(int index) const { return LED1_.at(static_cast<std::size_t>(index)); }
    LevelMeter* AniGIF2() const;
    LevelMeter* AniGIF3() const;
    // The input menu while it is open, else null.
    QMenu* inputMenu() const { return input_ != nullptr ? input_->menu() : nullptr; }
    QTimer& Timer2() { return timer2_; }
    // The record toggle's context menu: pause, and the time after which a take stops.
    TakeMenu& takeMenu() const { return *takeMenu_; }
    // The QUALIDADE frame: the next take's format and the frame's menu.
    QualityFrame& qualityFrame() const { return *quality_; }
    // Its items for takes that start by themselves: at a time, or at sound.
    AutoStartMenu& autoStartMenu() const { return autoStart_->menu(); }
    // The time a take is set to start at ("Começar às…").
    const ScheduledStart& scheduledStart() const { return autoStart_->scheduled(); }
    // A take that starts at sound waits for it: armed, or paused for silence.
    bool waitingForSound() const { return autoStart_->waitingForSound(); }
    SaveDialogSettings cmdlg;

    const basSoundRec_1::CaptureEngine& captureEngine() const { return *engine_; }
    QString takeFileName;
    bool takeSaved = false;
    platform::wavein::MMRESULT mmResult = 0;
    // The recording level's volume control was found at start-up.
    bool levelControlFound() const { return level_->controlFound(); }

Q_SIGNALS:
    // A take that started at sound began a part (its start, and each resume after silence) at this
    // take frame, the lead-in counted: where a marker goes.
    void markerHeard(quint64 takeFrame);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Below this much room for the chosen format, a press asks before it records.
    static constexpr long long kFewSecondsOfRoom = 10 * 60;

    // The window and its event handlers (frmSoundRec.cpp).
    void Form_Load();
    void Check1_Click();
    void Command1_Click();
    void Command3_Click();
    void cmdSave_Click();
    // Ctrl+M or "Marcar agora": a marker at the sound heard at the press.
    void markNow();
    // Cancel set to 1 keeps the window open.
    void Form_Unload(qint16& Cancel);
    void openMixer();
    // Presses or releases the toggle without running its click handler.
    void setCheck1(bool pressed);
    // Pauses the running take, or resumes the paused one.
    void togglePause();
    void showPaused(bool paused);
    // The take's length limit follows the menu's "Parar após".
    void applyStopAfter();
    void finishReadout();
    // The readout's tooltip and description: how long the disk has room for while a take runs, and
    // what is left of a set time.
    void showReadoutNotes();

    // The take's states (frmSoundRec.cpp).
    void startTake();
    void stopTake();
    // What a press asks before a take (a take still finishing, the input, the unsaved take, the room
    // for `roomWanted` seconds): false, with the window stopped, when no take may start.
    bool askBeforeTake(long long roomWanted);
    // Begins the take heard from `pressed` (the press, or a set time), its name from `began`.
    void beginTake(std::chrono::steady_clock::time_point pressed, const QDateTime& began);
    // What every take shows from its start, and once its capture runs.
    void showTakeStarting();
    void showTakeRunning();
    // The take's file, named for `began` in the program's folder; empty when it cannot be made.
    QString createTakeFile(const QDateTime& began);
    // `takeEnded`: a take ran and is over, so what was set for it goes back to its default.
    void enterStoppedState(bool takeEnded = true);

    // Takes that start by themselves (frmSoundRecAutoStart.cpp).
    // With "Gravar quando houver som" on, a press arms the take: the capture runs, and the take begins
    // at the first sound.
    void armTake(std::chrono::steady_clock::time_point pressed);
    // The first sound came: the take's file, or false when it cannot be made.
    bool makeSoundTake();
    // "Começar às…": asks what a press would ask, then waits for the time.
    void startAt(QTime time);
    void cancelStartAt();
    void scheduledTakeDue(std::chrono::steady_clock::time_point heardFrom, const QDateTime& start);
    // A release before the set time's take has begun withdraws it: true when it did.
    bool withdrawScheduledTake();
    // The set time's countdown on the readout.
    void showCountdown();

    // The end of a take (frmSoundRecTakeEnd.cpp).
    // The engine finished a take the stop left receiving its last sound.
    void takeFinished();
    // The one box for a stopped take, once it is finished.
    void tellHowTheStopEnded();
    // Lets the event loop run until a stopped take has received its last sound and is finished;
    // false, at once, while another such wait runs.
    bool waitForFinishedTake();
    // A failed write or a lost source ends the take at once, with a box that says why; false when
    // the take goes on.
    bool stopIfTheTakeFailed();
    // One box for the end of a take: `reason` (may be empty) and the audio lost to overruns.
    void tellHowTheTakeEnded(const QString& reason);

    // The take waiting to be saved (frmSoundRecWaitingTake.cpp).
    // Repairs takes a crash or a kill left in the program's folder and makes the newest current.
    void adoptInterruptedTakes();
    // Asks `question` about an unsaved last take, before a new one or the exit: Yes deletes it, No
    // saves it; false when the user cancelled.
    bool settleLastTake(const char* question);
    // A last take deleted at the question leaves nothing to save or ask about.
    void forgetGoneTake();
    // "Ouvir e cortar…" follows the take: offered while a stopped take waits to be saved.
    void offerReview();
    // "Ouvir e cortar…": the review window, modal, on the take waiting to be saved; its save comes
    // back here.
    void reviewTake();
    // Saves the waiting take with `save` (the whole take, or the review's tracks), once no other save
    // runs and the take is finished.
    void saveWaitingTake(const std::function<bool(const save::TakeToSave&)>& save);

    std::unique_ptr<Ui::frmSoundRec> ui;
    Services services_;
    std::unique_ptr<platform::Dialogs> ownDialogs_;
    platform::Dialogs& dialogs_;
    // The take file outlives the engine that writes into it.
    std::unique_ptr<basSoundRec_2::TakeFile> takeFile_;
    std::unique_ptr<basSoundRec_1::CaptureEngine> engine_;
    std::unique_ptr<save::SaveTake> save_;
    std::unique_ptr<DiskRoom> room_;
    // Owned by the widgets they serve.
    level::LevelSlider* level_ = nullptr;
    input::InputChoice* input_ = nullptr;
    Readout* readout_ = nullptr;
    QualityFrame* quality_ = nullptr;
    std::unique_ptr<level::LevelMonitor> levelMonitor_;
    std::array<LED*, 5> LED1_{};
    QTimer timer2_;
    TakeMenu* takeMenu_ = nullptr;
    TakeReview* review_ = nullptr;
    // Gone before the engine its sound trigger filters.
    std::unique_ptr<AutoStart> autoStart_;
    bool paused_ = false;
    // The set time's take, from the instant it begins; before it, a press still cancels.
    std::optional<std::chrono::steady_clock::time_point> scheduledFrom_;
    // The exit question is open; a set time that comes meanwhile waits for its answer.
    bool askingToQuit_ = false;
    struct DueStart {
        std::chrono::steady_clock::time_point heardFrom;
        QDateTime start;
    };
    std::optional<DueStart> dueWhileAsking_;
    // When the take began, by the wall clock: its date where a saved format carries one.
    QDateTime takeBegan_;
    bool showingRequeueFailure_ = false;
    // A write had failed, and been told, before the stop.
    bool failedBeforeStop_ = false;
    // Runs while something waits for a stopped take to be finished.
    QEventLoop* waitingForTake_ = nullptr;
    // Set when the session ends: nobody is there to answer, so closing asks nothing. A new take
    // shows someone is back (a logout that was cancelled).
    bool sessionEnding_ = false;
};
