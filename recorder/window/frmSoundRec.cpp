// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/frmSoundRec.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/encoding/Encoding.h"
#include "platform/files/FileTools.h"
#include "platform/files/MoveFile.h"
#include "platform/mixer/SourceList.h"
#include "platform/power/SleepInhibitor.h"
#include "recorder/level/LevelMeter.h"
#include "recorder/level/LevelMonitor.h"
#include "recorder/recovery/Recovery.h"
#include "recorder/window/AccessibleActions.h"
#include "recorder/window/DesignLook.h"
#include "recorder/window/Form2.h"
#include "recorder/window/InputMenu.h"
#include "recorder/window/ReadingOrder.h"
#include "recorder/window/TakeMenu.h"
#include "ui_frmSoundRec.h"

#include <LED/LED.h>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QSettings>
#include <QSignalBlocker>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

// The pictures are compiled into this static library; the linker keeps them only when asked for.
static void loadPictures() {
    Q_INIT_RESOURCE(pictures);
}

using platform::wavein::WAVE_FORMAT_PCM;
using platform::wavein::WAVEFORMATEX;

namespace {

// Translated where they are shown, so each box reads in the language of the moment.
const char* const kStartCaption = QT_TRANSLATE_NOOP("frmSoundRec", "Iniciar Gravação");
const char* const kStopCaption = QT_TRANSLATE_NOOP("frmSoundRec", "Parar Gravação");
const char* const kQuestionTitle = QT_TRANSLATE_NOOP("frmSoundRec", "VIZ Eridorov");
const char* const kDeleteUnsavedQuestion =
    QT_TRANSLATE_NOOP("frmSoundRec", "Arquivo não foi salvo. Deseja Excluir?");
const char* const kExitUnsavedQuestion =
    QT_TRANSLATE_NOOP("frmSoundRec", "Deseja sair sem Gravar o arquivo?");
// Where the chosen input is kept: the source's name, empty for the server's default.
const QString kInputSetting = QStringLiteral("input/source");

const QString kSaveFormatKey = QStringLiteral("save/format");

// When a take began, from its generated name ("MMDDYYYYhhmmssAM.WAV", maybe "-N" before ".WAV");
// `otherwise` for a take of another name.
QDateTime beganFromName(const QString& path, const QDateTime& otherwise) {
    const QDateTime parsed =
        QLocale::c().toDateTime(QFileInfo(path).fileName().left(16), QStringLiteral("MMddyyyyhhmmssAP"));
    return parsed.isValid() ? parsed : otherwise;
}

constexpr QColor kFace(224, 224, 224);
constexpr QColor kRateNote(0, 0, 192);

// What the form file cannot say: fractional sizes, stand-in fonts, colours. The options, the stereo
// box and the rate notes keep the dialog font.
const Look kLooks[] = {
    {.object = "Command1", .face = Face::Arial, .bold = true, .background = kFace},
    {.object = "chkStereo", .background = kFace},
    {.object = "opt44", .background = kFace},
    {.object = "opt225", .background = kFace},
    {.object = "opt11", .background = kFace},
    {.object = "Command3", .face = Face::Arial, .bold = true, .background = kFace},
    {.object = "cmdSave", .face = Face::Arial, .bold = true},
    {.object = "Check1", .face = Face::Arial, .bold = true, .background = kFace},
    {.object = "Label5", .text = kRateNote},
    {.object = "Label3", .face = Face::Tahoma, .bold = true, .text = QColor(Qt::white)},
    {.object = "Label2", .face = Face::Arial, .points = 14.25, .bold = true},
    {.object = "Label6", .text = kRateNote},
    {.object = "Label7", .text = kRateNote},
    {.object = "Label4",
     .face = Face::MsSansSerif,
     .points = 13.5,
     .bold = true,
     .background = kFace,
     .textRole = QPalette::Highlight},
};

// Both sizes of the window icon are drawn from the handset picture at the size they are shown at;
// the small one has a drawing of its own when there is one.
QIcon handsetIcon() {
    QIcon icon;
    for (const auto& [size, path] :
         {std::pair{16, ":/pictures/handset-16.svg"}, std::pair{32, ":/pictures/handset.svg"},
          std::pair{64, ":/pictures/handset.svg"}}) {
        const QString own = QString::fromLatin1(path);
        QSvgRenderer renderer(QFile::exists(own) ? own : QStringLiteral(":/pictures/handset.svg"));
        if (!renderer.isValid()) {
            continue;
        }
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// Assistive technologies read the digits' panel as one text, the elapsed time.
QAccessibleInterface* readoutPanelAccessible(const QString& className, QObject* object) {
    if (!object->isWidgetType()) {
        return nullptr;
    }
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("ShapeWidget") && widget->objectName() == QLatin1String("Shape6")) {
        return new QAccessibleWidget(widget, QAccessible::StaticText);
    }
    return nullptr;
}

// "H:MM:SS".
QString clockText(long long seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// Below this much room for the chosen format, a press asks before it records.
constexpr long long kFewSecondsOfRoom = 10 * 60;

QString spokenElapsed(long long seconds) {
    return frmSoundRec::tr("Tempo de gravação %1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// Deletes every part of a take; one already gone is as good as deleted.
void removeTake(const QString& firstPart) {
    for (const QString& part : basSoundRec_2::takeParts(firstPart)) {
        QFile::remove(part);
    }
}

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
    loadPictures();
    // The controls are sized for a small dialog font.
    setFont(dialogFont());
    ui->setupUi(this);
    applyLooks(*this, kLooks);
    ui->Shape5->setFillColor(kDesktopColour);
    setWindowIcon(handsetIcon());
    LED1_ = {ui->LED1_0, ui->LED1_1, ui->LED1_2, ui->LED1_3, ui->LED1_4};
    for (LED* digit : LED1_) {
        // Each digit is stored with its size only, so it takes the defaults of an empty property bag.
        digit->UserControl_ReadProperties(LEDMemoryPropertyBag());
        digit->setFocusPolicy(Qt::NoFocus);
    }
    timer2_.setObjectName(QStringLiteral("Timer2"));
    timer2_.setInterval(0);
    describeForAssistiveTechnologies();
    keepOptionsTabStop();

    // Every way of pressing the toggle changes its state once: the mouse, the keyboard and an
    // assistive technology's action, which clicks from the event loop after it returned. Changes
    // made here in code are silenced (setCheck1).
    connect(ui->Check1, &QAbstractButton::toggled, this, &frmSoundRec::Check1_Click);
    connect(ui->Command1, &QAbstractButton::clicked, this, &frmSoundRec::Command1_Click);
    connect(ui->Command3, &QAbstractButton::clicked, this, &frmSoundRec::Command3_Click);
    connect(ui->cmdSave, &QAbstractButton::clicked, this, &frmSoundRec::cmdSave_Click);
    connect(&timer2_, &QTimer::timeout, this, &frmSoundRec::Timer2_Timer);
    takeMenu_ = new TakeMenu(*ui->Check1, *this, dialogs_);
    connect(takeMenu_, &TakeMenu::pauseRequested, this, &frmSoundRec::togglePause);
    connect(takeMenu_, &TakeMenu::stopAfterChanged, this, &frmSoundRec::applyStopAfter);
    blink_.setInterval(500);
    connect(&blink_, &QTimer::timeout, this, &frmSoundRec::blinkReadout);
    // The level changes when a drag of the thumb ends and at each arrow, track or key step.
    ui->scrLevel->setTracking(false);
    // A scroll bar turns its keys round by default; the level's keys go as on every slider: Left,
    // Down and Page Down lower it, Right, Up and Page Up raise it.
    ui->scrLevel->setInvertedControls(false);
    connect(ui->scrLevel, &QAbstractSlider::valueChanged, this, &frmSoundRec::scrLevel_Change);
    ui->AniGIF2->setAccessibleName(tr("Nivel esquerdo"));
    ui->AniGIF3->setAccessibleName(tr("Nivel direito"));
    if (services_.peakSource != nullptr) {
        levelMonitor_ = std::make_unique<level::LevelMonitor>(*services_.peakSource);
        ui->AniGIF2->watch(levelMonitor_.get(), level::LevelMonitor::kLeft);
        ui->AniGIF3->watch(levelMonitor_.get(), level::LevelMonitor::kRight);
    }
    if (services_.settings != nullptr) {
        if (const auto remembered =
                platform::encoding::formatOfKey(services_.settings->value(kSaveFormatKey).toString())) {
            saveFormat_ = *remembered;
        }
    }
    offerInputChoice();
    Form_Load();
}

void frmSoundRec::describeForAssistiveTechnologies() {
    static const bool panelRole = (QAccessible::installFactory(readoutPanelAccessible), true);
    Q_UNUSED(panelRole);
    // Heading, readout, toggle, Save, level, the rates with their notes, stereo, then the buttons.
    setAccessibleReadingOrder(
        *this, {QStringLiteral("Label4"),    QStringLiteral("Shape6"),   QStringLiteral("LED1_4"),
                QStringLiteral("LED1_0"),    QStringLiteral("LED1_1"),   QStringLiteral("LED1_2"),
                QStringLiteral("LED1_3"),    QStringLiteral("Check1"),   QStringLiteral("cmdSave"),
                QStringLiteral("Label1"),    QStringLiteral("scrLevel"), QStringLiteral("Label3"),
                QStringLiteral("opt44"),     QStringLiteral("Label5"),   QStringLiteral("opt225"),
                QStringLiteral("Label6"),    QStringLiteral("opt11"),    QStringLiteral("Label7"),
                QStringLiteral("chkStereo"), QStringLiteral("Command3"), QStringLiteral("Command1")});
    // The controls speak their captions; what the design says only by position is said here.
    static const char* const kDigitRoles[] = {
        QT_TRANSLATE_NOOP("frmSoundRec", "dezenas de minutos"), QT_TRANSLATE_NOOP("frmSoundRec", "minutos"),
        QT_TRANSLATE_NOOP("frmSoundRec", "dezenas de segundos"), QT_TRANSLATE_NOOP("frmSoundRec", "segundos"),
        QT_TRANSLATE_NOOP("frmSoundRec", "horas")};
    for (std::size_t i = 0; i < LED1_.size(); ++i) {
        LED1_[i]->setAccessibleDescription(tr(kDigitRoles[i]));
    }
    ui->Shape6->setAccessibleName(spokenElapsed(0));
    // A screen reader's press of the toggle may open the unsaved-take question; its call must not
    // wait for the answer.
    answerAccessibleActionsAtOnce(*ui->Check1);
    ui->Label1->setBuddy(ui->scrLevel);
    ui->opt44->setAccessibleDescription(ui->Label5->text());
    ui->opt225->setAccessibleDescription(ui->Label6->text());
    ui->opt11->setAccessibleDescription(ui->Label7->text());
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
QMenu* frmSoundRec::inputMenu() const {
    return inputMenu_;
}

void frmSoundRec::offerInputChoice() {
    if (services_.sources == nullptr) {
        return;
    }
    // A right click, the context-menu key or Shift+F10 on what is about the input.
    for (QWidget* about :
         std::initializer_list<QWidget*>{ui->AniGIF2, ui->AniGIF3, ui->scrLevel, ui->Label1}) {
        about->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(about, &QWidget::customContextMenuRequested, this,
                [this, about](QPoint at) { showInputMenu(about, at); });
    }
    input::openOnShiftF10(*ui->scrLevel,
                          [this] { showInputMenu(ui->scrLevel, ui->scrLevel->rect().center()); });
    ui->scrLevel->setAccessibleDescription(tr("Menu de contexto: entrada de áudio"));

    QString initial = services_.sourceForThisRun;
    if (initial.isEmpty() && services_.settings != nullptr) {
        initial = services_.settings->value(kInputSetting).toString();
    }
    services_.sources->choose(initial);
    connect(services_.sources, &platform::mixer::SourceList::changed, this, &frmSoundRec::sourcesChanged);
    sourcesChanged();
}

QString frmSoundRec::chosenInput() const {
    return services_.sources != nullptr ? services_.sources->chosen() : QString();
}

QString frmSoundRec::describedInput() const {
    const QString chosen = chosenInput();
    const auto sources = services_.sources->sources();
    // A source that went away is still named as the user knew it.
    if (!chosen.isEmpty() && knownInputs_.contains(chosen) &&
        std::none_of(sources.begin(), sources.end(),
                     [&](const auto& source) { return source.name == chosen; })) {
        return knownInputs_.value(chosen);
    }
    return input::describeInput(sources, services_.sources->defaultSource(), chosen);
}

void frmSoundRec::sourcesChanged() {
    for (const auto& source : services_.sources->sources()) {
        knownInputs_.insert(source.name, input::describeInput({source}, {}, source.name));
    }
    const QString named = tr("Entrada: %1").arg(describedInput());
    for (LevelMeter* meter : {ui->AniGIF2, ui->AniGIF3}) {
        meter->setToolTip(named);
        meter->setAccessibleDescription(named);
    }
    // An open menu follows the sources as they come and go.
    if (inputMenu_) {
        input::fillInputMenu(*inputMenu_, services_.sources->sources(), chosenInput(),
                             engine_->isRecording());
    }
}

void frmSoundRec::showInputMenu(QWidget* over, QPoint at) {
    QMenu menu(this);
    inputMenu_ = &menu;
    input::fillInputMenu(menu, services_.sources->sources(), chosenInput(), engine_->isRecording());
    // Chosen with the mouse, the keyboard or an assistive technology's action alike.
    connect(&menu, &QMenu::triggered, this, [this, &menu](QAction* picked) {
        const QString name = picked->data().toString();
        const bool choice = picked->isCheckable();
        inputMenu_ = nullptr;
        menu.close();
        // A take that started while the menu was open keeps its input.
        if (choice && !engine_->isRecording()) {
            chooseInput(name);
        }
    });
    menu.exec(over->mapToGlobal(at));
    inputMenu_ = nullptr;
}

void frmSoundRec::chooseInput(const QString& name) {
    services_.sources->choose(name);
    if (services_.settings != nullptr) {
        services_.settings->setValue(kInputSetting, name);
        services_.settings->sync();
    }
    sourcesChanged();
}

bool frmSoundRec::chosenInputPresent() {
    const QString chosen = chosenInput();
    if (chosen.isEmpty() || !services_.sources->answering()) {
        // The default, or no server: the capture device says what is wrong, as ever.
        return true;
    }
    const auto sources = services_.sources->sources();
    // Not yet heard from the server: the device decides.
    if (sources.empty() || std::any_of(sources.begin(), sources.end(),
                                       [&](const auto& source) { return source.name == chosen; })) {
        return true;
    }
    dialogs_.message(tr("A entrada escolhida, \"%1\", não está disponível. Nada foi gravado.\n\n"
                        "Escolha outra entrada no menu de contexto do nível de gravação.")
                         .arg(describedInput()),
                     kProgramTitle);
    return false;
}

void frmSoundRec::keepOptionsTabStop() {
    // Tab reaches the rate group once, at its selected option; the arrow keys move within it.
    const std::array options{ui->opt11, ui->opt225, ui->opt44};
    for (QRadioButton* option : options) {
        connect(option, &QAbstractButton::toggled, this, [options] {
            for (QRadioButton* each : options) {
                each->setFocusPolicy(each->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
            }
        });
    }
}

void frmSoundRec::Form_Load() {
    // The hook comes first: no notification may reach the window unhandled.
    engine_->HookWindow(this, [this] { Gandu(); });
    engine_->onTakeFinished([this] { takeFinished(); });
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(228, 230, 240));
    setPalette(background);
    setAutoFillBackground(true);
    ui->chkStereo->setChecked(true);
    ui->opt44->setChecked(true);
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

void frmSoundRec::adoptInterruptedTakes() {
    const auto recovered = recovery::recoverInterruptedTakes(services_.programFolder);
    if (recovered.empty()) {
        return;
    }
    // The newest is the current, unsaved take: Save offers it, and the next take and the exit ask
    // about it as about any take not saved.
    takeFileName = recovered.back().path;
    takeBegan_ = beganFromName(takeFileName, recovered.back().modified.addMSecs(
                                                 -static_cast<qint64>(recovered.back().seconds * 1000)));
    takeSaved = false;
    ui->cmdSave->setEnabled(true);
    // Told once the window is up, over it.
    QTimer::singleShot(0, this, [this, text = recovery::describeRecovered(recovered)] {
        dialogs_.message(text, kProgramTitle);
    });
}

void frmSoundRec::openMixer() {
    if (services_.mixer == nullptr) {
        return;
    }
    level_ = std::make_unique<basSoundRec_3::Module>(*services_.mixer);
    mmResult = level_->OpenMixer();
    if (mmResult != platform::mixer::MMSYSERR_NOERROR) {
        dialogs_.message(tr("Couldn't open the mixer."), kProgramTitle);
        return;
    }
    levelControlFound = basSoundRec_3::FindVolumeControl(
        level_->mixer, level_->mixerHandle, platform::mixer::MIXERLINE_COMPONENTTYPE_DST_WAVEIN,
        platform::mixer::MIXERCONTROL_CONTROLTYPE_VOLUME, levelControl);
}

void frmSoundRec::scrLevel_Change() {
    const std::uint32_t value =
        basSoundRec_3::LevelForPosition(static_cast<std::int16_t>(ui->scrLevel->value()));
    // A refused level changes nothing else and is not reported.
    if (levelControlFound) {
        basSoundRec_3::SetVolumeLevel(level_->mixer, level_->mixerHandle, levelControl, value);
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
    showElapsed(takeElapsed());
    showReadoutNotes();
}

std::chrono::steady_clock::duration frmSoundRec::takeElapsed() const {
    const auto now = services_.monotonicClock();
    return now - takeStartedAt_ - pausedBefore_ -
           (paused_ ? now - pausedSince_ : std::chrono::steady_clock::duration{});
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
        if (pausing) {
            pausedSince_ = now;
        } else {
            pausedBefore_ += now - pausedSince_;
        }
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
    if (paused) {
        blink_.start();
    } else {
        blink_.stop();
        if (readoutDark_) {
            blinkReadout();
        }
    }
}

void frmSoundRec::blinkReadout() {
    // Dark digits are lit in the unlit colour: the panel stays, the figures go.
    if (!readoutDark_) {
        readoutLit_ = LED1_[0]->LEDColorOn();
    }
    readoutDark_ = !readoutDark_;
    for (LED* digit : LED1_) {
        digit->setLEDColorOn(readoutDark_ ? digit->LEDColorOff() : readoutLit_);
    }
}

void frmSoundRec::applyStopAfter() {
    engine_->setLengthLimit(lengthLimit());
    showReadoutNotes();
    // A time already passed ends the take now, as a press of the toggle would: with everything heard
    // up to now, and the readout at the take's real length, not at the shorter time.
    if (ui->Check1->isChecked() && engine_->isRecording() && engine_->lengthLimitReached()) {
        engine_->setLengthLimit(std::nullopt);
        ui->Check1->setChecked(false);
    }
}

std::optional<std::chrono::milliseconds> frmSoundRec::lengthLimit() const {
    const auto time = takeMenu_->stopAfter();
    if (!time) {
        return std::nullopt;
    }
    return time->count() * services_.stopAfterMinute;
}

std::optional<long long> frmSoundRec::secondsOfRoom(const WAVEFORMATEX& format) const {
    const auto free = platform::files::freeBytesAt(services_.programFolder);
    if (!free || format.nAvgBytesPerSec == 0) {
        return std::nullopt;
    }
    return static_cast<long long>(*free / format.nAvgBytesPerSec);
}

void frmSoundRec::showReadoutNotes() {
    QStringList notes;
    // The room left is told only while a take fills it.
    if (engine_->isRecording()) {
        if (const auto room = secondsOfRoom(engine_->waveFormat)) {
            notes << tr("Espaço livre para %1").arg(clockText(*room));
        }
    }
    if (const auto limit = lengthLimit()) {
        const auto& format = engine_->waveFormat;
        const double recorded = engine_->isRecording() && format.nSamplesPerSec > 0
                                    ? static_cast<double>(engine_->recordedFrames()) / format.nSamplesPerSec
                                    : 0.0;
        const auto left = static_cast<long long>(
            std::max(0.0, std::ceil(static_cast<double>(limit->count()) / 1000.0 - recorded)));
        notes << tr("Faltam %1 para parar a gravação").arg(clockText(left));
    }
    const QString text = notes.join(QLatin1Char('\n'));
    if (ui->Shape6->toolTip() == text) {
        return;
    }
    ui->Shape6->setToolTip(text);
    ui->Shape6->setAccessibleDescription(text);
    for (LED* digit : LED1_) {
        digit->setToolTip(text);
    }
}

void frmSoundRec::finishReadout() {
    // The digits keep the take's length, measured at the moment it ends; a take that ran to its set
    // time holds exactly that, whatever the clock says of the moment its last audio arrived.
    if (timer2_.isActive()) {
        Timer2_Timer();
        if (engine_->lengthLimitReached()) {
            showElapsed(*engine_->lengthLimit());
        }
    }
    timer2_.stop();
}

void frmSoundRec::showElapsed(std::chrono::steady_clock::duration elapsed) {
    using namespace std::chrono;
    // Five digits reach 9:59:59; a longer take holds there.
    constexpr seconds kMost = hours(9) + minutes(59) + seconds(59);
    const auto shown = std::clamp(duration_cast<seconds>(elapsed), seconds(0), kMost).count();
    const std::array<long long, 5> digits{(shown / 600) % 6, (shown / 60) % 10, (shown % 60) / 10, shown % 10,
                                          shown / 3600};
    bool changed = false;
    for (std::size_t i = 0; i < LED1_.size(); ++i) {
        if (LED1_[i]->Value() != digits[i]) {
            LED1_[i]->setValue(static_cast<int>(digits[i]));
            changed = true;
        }
    }
    if (changed) {
        ui->Shape6->setAccessibleName(spokenElapsed(shown));
    }
}

void frmSoundRec::Check1_Click() {
    // While a take is being saved (its box shows only after half a second) no take starts or stops.
    if (saving_) {
        setCheck1(!ui->Check1->isChecked());
        return;
    }
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

bool frmSoundRec::settleLastTake() {
    if (takeFileName.trimmed().isEmpty() || takeSaved) {
        return true;
    }
    switch (dialogs_.question(tr(kDeleteUnsavedQuestion), tr(kQuestionTitle))) {
        case platform::Answer::Cancel:
            return false;
        case platform::Answer::No:
            // Whatever comes of the save, the new take starts after it.
            cmdSave_Click();
            return true;
        default:
            // Already gone is as good as deleted.
            removeTake(takeFileName);
            zeroReadout();
            return true;
    }
}

void frmSoundRec::zeroReadout() {
    for (LED* digit : LED1_) {
        digit->setValue(0);
    }
    // The time a screen reader reads goes back to zero with the digits.
    ui->Shape6->setAccessibleName(spokenElapsed(0));
}

void frmSoundRec::startTake() {
    sessionEnding_ = false;
    // Never another input in its place: nothing is recorded, and nothing else changes. The last take
    // is asked about once it is finished.
    if (!waitForFinishedTake() || !chosenInputPresent() || !settleLastTake()) {
        // Nothing started, so the toggle does not stay down as if something had.
        setCheck1(false);
        return;
    }
    // Asked after the last take was settled: deleting it may have made the room.
    if (const auto room = secondsOfRoom(chosenFormat()); room && *room < kFewSecondsOfRoom) {
        const QString question = tr("Há espaço em disco para apenas %1 de gravação. Gravar mesmo assim?");
        if (dialogs_.confirm(question.arg(clockText(*room)), kProgramTitle) != platform::Answer::Yes) {
            // The last take may have been deleted just before: nothing is left to save or ask about.
            if (!takeSaved && !takeFileName.isEmpty() && !QFile::exists(takeFileName)) {
                takeFileName.clear();
                takeBegan_ = QDateTime();
            }
            // No take ran: a time set for it waits for the next.
            enterStoppedState(false);
            return;
        }
    }
    const QString previousTake = takeFileName;
    const QDateTime previousBegan = takeBegan_;
    const bool previousSaved = takeSaved;

    takeSaved = false;
    ui->cmdSave->setEnabled(false);
    ui->Check1->setText(tr(kStopCaption));
    if (levelMonitor_) {
        levelMonitor_->clearClips();
    }
    takeStartedAt_ = services_.monotonicClock();
    pausedBefore_ = {};
    // The take is what the source heard from here on, whenever the device starts delivering it.
    const auto pressed = std::chrono::steady_clock::now();
    timer2_.start();
    Timer2_Timer();

    const QDateTime began = services_.clock();
    const QString wanted = QDir(services_.programFolder).filePath(basSoundRec_2::takeFileBaseName(began));
    const QString created = takeFile_->Create(wanted);
    bool started = !created.isEmpty();
    if (started) {
        takeFileName = created;
        takeBegan_ = began;
        engine_->waveFormat = chosenFormat();
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
        // No take ran: a time set for it waits for the next.
        enterStoppedState(false);
        return;
    }
    takeMenu_->showTake(true, false);
    showReadoutNotes();
    // The computer stays awake for the take, however long nobody touches it.
    if (services_.sleepInhibitor != nullptr) {
        services_.sleepInhibitor->hold();
    }
    if (engine_->takeWriteFailure()) {
        stopAfterWriteFailure();
    } else if (engine_->sourceLost()) {
        stopAfterSourceLoss();
    }
}

void frmSoundRec::stopTake() {
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
    QStringList reasons;
    if (!failedBeforeStop_ && engine_->takeWriteFailure()) {
        reasons << engine_->takeWriteFailure()->describe();
    }
    // The server may go while the take waits for the sound up to the release: told as any lost server.
    if (engine_->sourceLost()) {
        reasons << sourceLossText(engine_->sourceLostReason());
    }
    tellHowTheTakeEnded(reasons.join(QStringLiteral("\n\n")));
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
    QStringList parts;
    if (!reason.isEmpty()) {
        parts << reason;
    }
    if (const QString lost = engine_->overrunReport(); !lost.isEmpty()) {
        parts << lost;
    }
    if (!parts.isEmpty()) {
        dialogs_.message(parts.join(QStringLiteral("\n\n")), kProgramTitle);
    }
}

void frmSoundRec::stopAfterSourceLoss() {
    // Stopped before the box, like a failed write: the take is finished and the window stopped
    // while the user reads why.
    const QString reason = engine_->sourceLostReason();
    engine_->StopCapture();
    enterStoppedState();
    tellHowTheTakeEnded(sourceLossText(reason));
}

QString frmSoundRec::sourceLossText(const QString& reason) const {
    // The server still answers: it was the chosen input that went (a device unplugged).
    if (!chosenInput().isEmpty() && services_.sources->answering()) {
        return tr("A gravação parou porque a entrada \"%1\" foi desconectada. "
                  "Tudo o que foi gravado até então está na gravação.")
            .arg(describedInput());
    }
    return tr("A gravação parou porque o servidor de som saiu do ar (%1). "
              "Tudo o que foi gravado até então está no arquivo.")
        .arg(reason);
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
}

void frmSoundRec::stopAfterWriteFailure() {
    // Stopped before the box: while it is open, late notifications must find no take running.
    finishReadout();
    engine_->StopCapture();
    enterStoppedState();
    tellHowTheTakeEnded(engine_->takeWriteFailure()->describe());
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
    if (engine_->sourceLost()) {
        stopAfterSourceLoss();
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
    // A save already under way (its box shows only after half a second) is not started twice; a
    // take still receiving its last sound is saved once it is finished.
    if (saving_ || !waitForFinishedTake()) {
        return;
    }
    using platform::encoding::Format;
    zeroReadout();
    const std::vector<Format>& formats = platform::encoding::savableFormats();
    QStringList filters;
    QString selected;
    for (Format format : formats) {
        filters << (format == Format::Wav ? cmdlg.Filter : platform::encoding::filterOf(format));
        if (format == saveFormat_) {
            selected = filters.back();
        }
    }
    const auto chosen = dialogs_.saveFileName(tr(cmdlg.DialogTitle.toUtf8().constData()), filters, selected, cmdlg.FileName);
    if (!chosen || chosen->path.isEmpty()) {
        return;
    }
    cmdlg.FileName = chosen->path;
    const Format filtered = platform::encoding::formatOfFilter(chosen->filter).value_or(Format::Wav);
    // A name typed with the extension of a format offered here is saved in that format, whatever
    // the filter; any other name gets the filter's extension (".Wav" for WAV).
    const auto typed = platform::encoding::formatOfName(chosen->path);
    const bool typedOffered = typed && std::find(formats.begin(), formats.end(), *typed) != formats.end();
    const Format format = typedOffered ? *typed : filtered;
    const QString destination =
        typedOffered ? chosen->path
                     : chosen->path + QLatin1Char('.') + platform::encoding::extensionOf(format);
    rememberSaveFormat(format);
    if (!QFile::exists(takeFileName)) {
        dialogs_.message(tr("A gravação \"%1\" não está mais lá: já foi salva ou removida antes.")
                             .arg(QDir::toNativeSeparators(takeFileName)),
                         kProgramTitle);
        return;
    }
    if (format == Format::Wav) {
        moveTake(destination);
    } else {
        encodeTake(destination, format);
    }
    // The session ended while the take was being saved, and the window would not close under the
    // save: it closes now, as the session manager asked, and nothing is asked about the take.
    if (sessionEnding_) {
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void frmSoundRec::rememberSaveFormat(platform::encoding::Format format) {
    saveFormat_ = format;
    if (services_.settings != nullptr) {
        services_.settings->setValue(kSaveFormatKey, platform::encoding::keyOf(format));
        services_.settings->sync();
    }
}

void frmSoundRec::moveTake(const QString& destination) {
    // Every part of the take goes under the chosen name, numbered as the take's own are.
    const QStringList parts = basSoundRec_2::takeParts(takeFileName);
    QStringList destinations;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        destinations << basSoundRec_2::takePartPath(destination, static_cast<int>(i) + 1);
    }
    saving_ = true;
    std::unique_ptr<platform::Progress> progress;
    const auto result =
        platform::files::moveFiles(parts, destinations, [&](std::uint64_t done, std::uint64_t total) {
            // Only a copy to another file system takes long enough to need a box.
            if (!progress) {
                progress = dialogs_.progress(
                    tr("Salvando a gravação como \"%1\"...").arg(QDir::toNativeSeparators(destination)),
                    kProgramTitle, total);
            }
            return progress->advance(done);
        });
    progress.reset();
    saving_ = false;

    if (result.moved()) {
        // Where the original could not be deleted after the copy, both stay; the take is saved all the same.
        takeSaved = true;
    } else if (result.outcome == platform::files::MoveResult::Outcome::Failed) {
        // Named as the part it failed on: for a take in parts that may be "name.2.Wav".
        dialogs_.message(tr("%1 A gravação continua onde estava, \"%2\".")
                             .arg(result.describe(QDir::toNativeSeparators(
                                      destinations.value(static_cast<qsizetype>(result.file), destination))),
                                  QDir::toNativeSeparators(takeFileName)),
                         kProgramTitle);
    }
}

void frmSoundRec::encodeTake(const QString& destination, platform::encoding::Format format) {
    const QString shown = QDir::toNativeSeparators(destination);
    platform::encoding::EncodeRequest request{
        .parts = basSoundRec_2::takeParts(takeFileName),
        .destination = destination,
        .format = format,
        .tags = {.title = QFileInfo(destination).completeBaseName(),
                 .began = takeBegan_,
                 .software = QStringLiteral("Tolvane " TOLVANE_VERSION)},
    };
    saving_ = true;
    // The encoding runs on its own thread; this one goes on handling events (the window repaints,
    // the box's Cancel is seen at once) until it wakes this loop.
    QEventLoop waiting;
    platform::encoding::Encoding encoding(std::move(request), [&waiting] {
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    {
        constexpr std::uint64_t kPermille = 1000;
        const auto progress =
            dialogs_.progress(tr("Salvando a gravação como \"%1\"...").arg(shown), kProgramTitle, kPermille);
        QTimer tick;
        tick.setInterval(50);
        connect(&tick, &QTimer::timeout, this, [&] {
            if (!progress->advance(static_cast<std::uint64_t>(encoding.permille()))) {
                encoding.cancel();
                tick.stop();
            }
        });
        tick.start();
        if (!encoding.isFinished()) {
            waiting.exec();
        }
    }
    // The application told every event loop to end (the session is over, or a signal came) before
    // the encoding did: nobody waits for the save, and the take stays where it is.
    if (!encoding.isFinished()) {
        encoding.cancel();
        encoding.wait();
    }
    saving_ = false;

    const platform::encoding::EncodeResult& result = encoding.result();
    if (result.encoded()) {
        // Only now, with the new file complete on disk and read back, does the take go. One that
        // cannot be deleted stays beside it; the take is saved all the same.
        removeTake(takeFileName);
        takeSaved = true;
        return;
    }
    // At the end of the session nobody is there to read a box; the take is kept unsaved.
    if (sessionEnding_) {
        return;
    }
    dialogs_.message(tr("%1 A gravação continua onde estava, \"%2\".")
                         .arg(result.describe(shown), QDir::toNativeSeparators(takeFileName)),
                     kProgramTitle);
}

void frmSoundRec::Form_Unload(qint16& Cancel) {
    // The take is finished before anything is asked about it.
    if (engine_->isRecording()) {
        stopTake();
    }
    waitForFinishedTake();
    if (takeFileName.trimmed().isEmpty() || takeSaved) {
        return;
    }
    switch (dialogs_.question(tr(kExitUnsavedQuestion), tr(kQuestionTitle))) {
        case platform::Answer::Cancel:
            Cancel = 1;
            // Staying means going on as after any stop, whatever the take was doing; a running take
            // was ended above, so a time set now is for the next one and stays.
            enterStoppedState(false);
            return;
        case platform::Answer::No:
            // The window closes whatever came of the save.
            cmdSave_Click();
            return;
        default:
            // A take that cannot be deleted stays on disk; the window closes all the same.
            removeTake(takeFileName);
            return;
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
    if (saving_ || waitingForTake_ != nullptr) {
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
