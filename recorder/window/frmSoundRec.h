#pragma once
// The recorder's main window: picks the take's format, starts and stops takes with the record
// toggle, and receives the capture device's buffer notifications through its hook.

#include "platform/wavein/WaveIn.h"
#include "recorder/capture/CaptureEngine.h"
#include "recorder/wavfile/TakeFile.h"

#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace platform {
class Dialogs;
}
namespace Ui {
class frmSoundRec;
}

class QAbstractButton;
class QCheckBox;
class QRadioButton;

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
    };

    explicit frmSoundRec(Services services, QWidget* parent = nullptr);
    ~frmSoundRec() override;

    // Writes and re-queues every buffer the device has filled while a take runs.
    void Gandu();

    QAbstractButton* Check1() const;
    QCheckBox* chkStereo() const;
    QRadioButton* opt44() const;
    QRadioButton* opt225() const;
    QRadioButton* opt11() const;
    QTimer& Timer2() { return timer2_; }

    const basSoundRec_1::CaptureEngine& captureEngine() const { return *engine_; }
    QString takeFileName;
    bool takeSaved = false;
    platform::wavein::MMRESULT mmResult = 0;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void Check1_Click();
    void Form_Unload();
    void startTake();
    void stopTake();
    void enterStoppedState();
    void abandonFailedStart();
    void stopAfterWriteFailure();
    platform::wavein::WAVEFORMATEX chosenFormat() const;

    std::unique_ptr<Ui::frmSoundRec> ui;
    Services services_;
    std::unique_ptr<platform::Dialogs> ownDialogs_;
    platform::Dialogs& dialogs_;
    // The take file outlives the engine that writes into it.
    std::unique_ptr<basSoundRec_2::TakeFile> takeFile_;
    std::unique_ptr<basSoundRec_1::CaptureEngine> engine_;
    QTimer timer2_;
    bool showingRequeueFailure_ = false;
};
