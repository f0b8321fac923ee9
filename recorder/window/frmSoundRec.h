// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The recorder's main window: picks the take's format, starts and stops takes with the record
// toggle, and receives the capture device's buffer notifications through its hook.

#include "platform/encoding/Encoding.h"
#include "platform/wavein/WaveIn.h"
#include "recorder/capture/CaptureEngine.h"
#include "recorder/level/RecordingLevel.h"
#include "recorder/wavfile/TakeFile.h"

#include <QDateTime>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace platform {
class Dialogs;
}
namespace platform::mixer {
class Mixer;
class PeakSource;
class SourceList;
}  // namespace platform::mixer
namespace platform::power {
class SleepInhibitor;
}
namespace level {
class LevelMonitor;
}
namespace Ui {
class frmSoundRec;
}

class LED;
class LevelMeter;
class TakeMenu;
class QAbstractButton;
class QEventLoop;
class QCheckBox;
class QMenu;
class QSettings;
class QPushButton;
class QRadioButton;
class QScrollBar;

// Caption of the program's message boxes.
inline const QString kProgramTitle = QStringLiteral("Tolvane");

class frmSoundRec : public QWidget {
    Q_OBJECT

public:
    struct Services {
        platform::wavein::WaveIn& waveIn;
        // Null: the window shows real message boxes, parented to itself.
        platform::Dialogs* dialogs = nullptr;
        // Where takes are written.
        QString programFolder;
        // The take's name comes from it; tests pin it.
        std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
        // Lowered only by tests.
        std::uint64_t largestRiffSize = basSoundRec_2::kLargestRiffSize;
        // The elapsed-time readout measures the take with it; tests drive it by hand.
        std::function<std::chrono::steady_clock::time_point()> monotonicClock = [] {
            return std::chrono::steady_clock::now();
        };
        // The mixer the level slider drives; null leaves out the mixer steps of start-up.
        platform::mixer::Mixer* mixer = nullptr;
        // Peak readings for the level meters; null leaves them dark.
        platform::mixer::PeakSource* peakSource = nullptr;
        // The server's sources and the choice of the input; null: no input menu, the default source.
        platform::mixer::SourceList* sources = nullptr;
        // Where the chosen input and the last save format are kept between runs; null: not kept.
        QSettings* settings = nullptr;
        // The input asked for on the command line or in PULSE_SOURCE; it wins for this run and is
        // not kept.
        QString sourceForThisRun = {};
        // How long a minute of "Parar após" lasts; shortened only by tests.
        std::chrono::milliseconds stopAfterMinute = std::chrono::minutes(1);
        // Held for exactly each take's life; null lets the computer sleep as it will.
        platform::power::SleepInhibitor* sleepInhibitor = nullptr;
    };

    // The save-file dialog's settings; the save flow shows the dialog with them.
    struct SaveDialogSettings {
        // As designed; translated when the dialog is shown.
        QString DialogTitle = QString::fromUtf8(QT_TRANSLATE_NOOP("frmSoundRec", "Save Wave File"));
        QString Filter = QStringLiteral("*.WAV");
        // Kept between showings, so the dialog offers the name chosen last.
        QString FileName;
        int MaxFileSize = 260;
    };

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
    QMenu* inputMenu() const;
    QTimer& Timer2() { return timer2_; }
    // The record toggle's context menu: pause, and the time after which a take stops.
    TakeMenu& takeMenu() const { return *takeMenu_; }
    SaveDialogSettings cmdlg;

    const basSoundRec_1::CaptureEngine& captureEngine() const { return *engine_; }
    QString takeFileName;
    bool takeSaved = false;
    platform::wavein::MMRESULT mmResult = 0;
    // The recording level's volume control, found once at start-up.
    basSoundRec_3::MIXERCONTROL levelControl;
    bool levelControlFound = false;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Form_Load();
    // Repairs takes a crash or a kill left in the program's folder and makes the newest current.
    void adoptInterruptedTakes();
    void Check1_Click();
    void Command1_Click();
    void Command3_Click();
    void cmdSave_Click();
    // The two ways a take is saved: moved as it is (WAV), or encoded into a new file and then removed.
    void moveTake(const QString& destination);
    void encodeTake(const QString& destination, platform::encoding::Format format);
    void rememberSaveFormat(platform::encoding::Format format);
    // Cancel set to 1 keeps the window open.
    void Form_Unload(qint16& Cancel);
    // Asks about an unsaved last take before a new one; false when the user cancelled.
    bool settleLastTake();
    void zeroReadout();
    void scrLevel_Change();
    void openMixer();
    // The input menu on the meters, the slider and its scale; the choice made at start-up.
    void offerInputChoice();
    void showInputMenu(QWidget* over, QPoint at);
    void chooseInput(const QString& name);
    void sourcesChanged();
    QString chosenInput() const;
    QString describedInput() const;
    // False, after telling the user, when the chosen input is known to be missing.
    bool chosenInputPresent();
    // Presses or releases the toggle without running its click handler.
    void setCheck1(bool pressed);
    void keepOptionsTabStop();
    void describeForAssistiveTechnologies();
    void finishReadout();
    void showElapsed(std::chrono::steady_clock::duration elapsed);
    void startTake();
    void stopTake();
    // The engine finished a take the stop left receiving its last sound.
    void takeFinished();
    // The one box for a stopped take, once it is finished.
    void tellHowTheStopEnded();
    // Lets the event loop run until a stopped take has received its last sound and is finished;
    // false, at once, while another such wait runs.
    bool waitForFinishedTake();
    // `takeEnded`: a take ran and is over, so what was set for it goes back to its default.
    void enterStoppedState(bool takeEnded = true);
    // Pauses the running take, or resumes the paused one.
    void togglePause();
    void showPaused(bool paused);
    void blinkReadout();
    // The take's length limit follows the menu's "Parar após".
    void applyStopAfter();
    // The length of audio the menu's "Parar após" allows a take.
    std::optional<std::chrono::milliseconds> lengthLimit() const;
    std::chrono::steady_clock::duration takeElapsed() const;
    void abandonFailedStart();
    void stopAfterWriteFailure();
    void stopAfterSourceLoss();
    // One box for the end of a take: `reason` (may be empty) and the audio lost to overruns.
    void tellHowTheTakeEnded(const QString& reason);
    // Why a take ended on a lost source: the chosen input unplugged or the server gone, with its reason.
    QString sourceLossText(const QString& reason) const;
    platform::wavein::WAVEFORMATEX chosenFormat() const;
    // Whole seconds of `format` the take folder's file system still has room for.
    std::optional<long long> secondsOfRoom(const platform::wavein::WAVEFORMATEX& format) const;
    // The readout's tooltip and description: how long the disk has room for while a take runs, and
    // what is left of a set time.
    void showReadoutNotes();

    std::unique_ptr<Ui::frmSoundRec> ui;
    Services services_;
    std::unique_ptr<platform::Dialogs> ownDialogs_;
    platform::Dialogs& dialogs_;
    // The take file outlives the engine that writes into it.
    std::unique_ptr<basSoundRec_2::TakeFile> takeFile_;
    std::unique_ptr<basSoundRec_1::CaptureEngine> engine_;
    std::unique_ptr<basSoundRec_3::Module> level_;
    std::unique_ptr<level::LevelMonitor> levelMonitor_;
    std::array<LED*, 5> LED1_{};
    QPointer<QMenu> inputMenu_;
    // Every input seen this run, by name: a source that went away is named as the user knew it.
    QHash<QString, QString> knownInputs_;
    QTimer timer2_;
    std::chrono::steady_clock::time_point takeStartedAt_{};
    TakeMenu* takeMenu_ = nullptr;
    // Paused spans do not count in the take's time.
    std::chrono::steady_clock::duration pausedBefore_{};
    std::chrono::steady_clock::time_point pausedSince_{};
    // A paused readout blinks: its digits are unlit half of each second.
    QTimer blink_;
    bool paused_ = false;
    bool readoutDark_ = false;
    quint32 readoutLit_ = 0;  // the digits' lit colour, while they are dark
    // When the take began, by the wall clock: its date where a saved format carries one.
    QDateTime takeBegan_;
    // The format of the last save, offered first by the next one; kept between runs.
    platform::encoding::Format saveFormat_ = platform::encoding::Format::Wav;
    bool showingRequeueFailure_ = false;
    // A write had failed, and been told, before the stop.
    bool failedBeforeStop_ = false;
    // Runs while something waits for a stopped take to be finished.
    QEventLoop* waitingForTake_ = nullptr;
    // A take is being moved to its chosen name; the window does not close under it.
    bool saving_ = false;
    // Set when the session ends: nobody is there to answer, so closing asks nothing. A new take
    // shows someone is back (a logout that was cancelled).
    bool sessionEnding_ = false;
};
