#include "recorder/window/frmSoundRec.h"

#include "platform/dialogs/Dialogs.h"
#include "ui_frmSoundRec.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>

using platform::wavein::WAVE_FORMAT_PCM;
using platform::wavein::WAVEFORMATEX;

namespace {

const QString kStartCaption = QStringLiteral("Iniciar Gravação");
const QString kStopCaption = QStringLiteral("Parar Gravação");

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
                                                             kProgramTitle)) {
    // The controls are sized for a small dialog font; Liberation Sans has Arial's metrics.
    QFont dialogFont(QStringLiteral("Liberation Sans"));
    dialogFont.setPointSizeF(8.25);
    setFont(dialogFont);
    ui->setupUi(this);
    QFont toggleFont(QStringLiteral("Arial"));
    toggleFont.setPointSizeF(8.25);
    toggleFont.setBold(true);
    ui->Check1->setFont(toggleFont);
    timer2_.setObjectName(QStringLiteral("Timer2"));
    timer2_.setInterval(0);

    connect(ui->Check1, &QAbstractButton::clicked, this, &frmSoundRec::Check1_Click);
    Form_Load();
}

frmSoundRec::~frmSoundRec() {
    // A window torn down mid-take still leaves a finished file behind.
    if (engine_->isRecording()) {
        engine_->StopCapture();
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

void frmSoundRec::Form_Load() {
    // The hook comes first: no notification may reach the window unhandled.
    engine_->HookWindow(this, [this] { Gandu(); });
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(228, 230, 240));
    setPalette(background);
    setAutoFillBackground(true);
    ui->chkStereo->setChecked(true);
    ui->opt44->setChecked(true);
    // The first control of the tab order has the focus when the window opens, so the space bar
    // starts a take at once.
    ui->Check1->setFocus(Qt::OtherFocusReason);
}

void frmSoundRec::Check1_Click() {
    timer2_.setInterval(100);
    if (ui->Check1->isChecked()) {
        startTake();
    } else {
        stopTake();
    }
}

WAVEFORMATEX frmSoundRec::chosenFormat() const {
    WAVEFORMATEX format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = ui->chkStereo->isChecked() ? 2 : 1;
    if (ui->opt44->isChecked()) {
        format.nSamplesPerSec = 44100;
    } else if (ui->opt11->isChecked()) {
        format.nSamplesPerSec = 11025;
    } else if (ui->opt225->isChecked()) {
        format.nSamplesPerSec = 22050;
    }
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<std::uint16_t>(format.wBitsPerSample * format.nChannels / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    format.cbSize = 18;
    return format;
}

void frmSoundRec::startTake() {
    const QString previousTake = takeFileName;
    const bool previousSaved = takeSaved;

    takeSaved = false;
    ui->Check1->setText(kStopCaption);
    timer2_.start();

    const QString wanted =
        QDir(services_.programFolder).filePath(basSoundRec_2::takeFileBaseName(services_.clock()));
    const QString created = takeFile_->Create(wanted);
    bool started = !created.isEmpty();
    if (started) {
        takeFileName = created;
        engine_->waveFormat = chosenFormat();
        started = takeFile_->WriteHeader(engine_->waveFormat) && engine_->StartCapture();
    }
    if (!started) {
        // A take that never ran leaves nothing behind: no device, no buffers, no empty file.
        engine_->StopCapture();
        if (!created.isEmpty()) {
            QFile::remove(created);
        }
        const bool previousStillThere = !previousTake.isEmpty() && QFile::exists(previousTake);
        takeFileName = previousStillThere ? previousTake : QString();
        takeSaved = previousStillThere && previousSaved;
        enterStoppedState();
        return;
    }
    if (engine_->takeWriteFailure()) {
        stopAfterWriteFailure();
    }
}

void frmSoundRec::stopTake() {
    const bool failedBefore = engine_->takeWriteFailure().has_value();
    engine_->StopCapture();
    enterStoppedState();
    if (!failedBefore && engine_->takeWriteFailure()) {
        dialogs_.message(engine_->takeWriteFailure()->describe(), kProgramTitle);
    }
}

void frmSoundRec::enterStoppedState() {
    ui->Check1->setChecked(false);
    ui->Check1->setText(kStartCaption);
    timer2_.stop();
}

void frmSoundRec::stopAfterWriteFailure() {
    // Stopped before the box: while it is open, late notifications must find no take running.
    engine_->StopCapture();
    enterStoppedState();
    dialogs_.message(engine_->takeWriteFailure()->describe(), kProgramTitle);
}

void frmSoundRec::Gandu() {
    if (!ui->Check1->isChecked() || !engine_->isRecording()) {
        return;
    }
    mmResult = engine_->HandleDoneBuffers();
    if (engine_->takeWriteFailure()) {
        stopAfterWriteFailure();
        return;
    }
    if (mmResult != platform::wavein::MMSYSERR_NOERROR && !showingRequeueFailure_) {
        // Notifications keep arriving while the box is open; they retry, but do not stack boxes.
        showingRequeueFailure_ = true;
        dialogs_.message(QStringLiteral("Failed"), kProgramTitle);
        showingRequeueFailure_ = false;
    }
}

void frmSoundRec::Form_Unload() {
    if (engine_->isRecording()) {
        stopTake();
    }
}

void frmSoundRec::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}
