// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/AutoStart.h"

#include "recorder/capture/CaptureEngine.h"
#include "recorder/level/LevelMeter.h"
#include "recorder/window/AutoStartMenu.h"

#include <QCoreApplication>
#include <QMenu>

#include <cmath>
#include <optional>

namespace {

// A take set for a time is handed to the device this long before it, so the device runs when the
// time comes and the take begins with the frame heard then, as a press's does.
constexpr std::chrono::milliseconds kScheduledLead{1500};

}  // namespace

AutoStart::AutoStart(basSoundRec_1::CaptureEngine& engine, QMenu& takeMenu, platform::Dialogs& dialogs,
                     QSettings* settings, ScheduledStart::WallClock wall, std::array<LevelMeter*, 2> meters,
                     QObject* parent)
    : QObject(parent),
      engine_(engine),
      meters_(meters),
      menu_(new AutoStartMenu(takeMenu, takeMenu.findChild<QMenu*>(QStringLiteral("StopAfterMenu")), dialogs,
                              settings)),
      scheduled_(new ScheduledStart(std::move(wall), kScheduledLead, this)) {
    connect(menu_, &AutoStartMenu::startAtChosen, this, &AutoStart::startAtChosen);
    connect(menu_, &AutoStartMenu::cancelStartChosen, this, &AutoStart::cancelStartChosen);
    connect(menu_, &AutoStartMenu::soundTriggerChanged, this, &AutoStart::showState);
    connect(scheduled_, &ScheduledStart::tick, this, &AutoStart::tick);
    connect(scheduled_, &ScheduledStart::due, this, &AutoStart::due);
}

AutoStart::~AutoStart() = default;

bool AutoStart::waitFor(QTime time) {
    scheduled_->set(time);
    return scheduled_->waiting();
}

void AutoStart::cancelWait() {
    scheduled_->cancel();
}

QString AutoStart::sleepReason() const {
    return QCoreApplication::translate("frmSoundRec", "Aguardando para gravar às %1")
        .arg(scheduled_->startText());
}

QString AutoStart::exitQuestion() const {
    return QCoreApplication::translate("frmSoundRec",
                                       "Há uma gravação programada para as %1. Sair mesmo assim?")
        .arg(scheduled_->startText());
}

bool AutoStart::soundTrigger() const {
    return menu_->soundTrigger();
}

void AutoStart::arm(basSoundRec_1::SoundActivation::Hooks hooks) {
    activation_ = std::make_unique<basSoundRec_1::SoundActivation>(
        engine_, analysis::TriggerSettings{.levelDb = menu_->triggerLevel()}, std::move(hooks));
}

bool AutoStart::waitingForSound() const {
    return activation_ && engine_.isRecording() && (!activation_->heardSound() || activation_->silent());
}

std::chrono::steady_clock::duration AutoStart::recordedTime() const {
    const auto rate = engine_.waveFormat.nSamplesPerSec;
    if (rate == 0) {
        return {};
    }
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(static_cast<double>(engine_.recordedFrames()) / rate));
}

QString AutoStart::waitingNote() const {
    if (scheduled_->waiting()) {
        return QCoreApplication::translate("frmSoundRec", "A gravação começa às %1")
            .arg(scheduled_->startText());
    }
    if (activation_ && engine_.isRecording() && !activation_->heardSound()) {
        return QCoreApplication::translate("frmSoundRec", "Esperando som acima de %1").arg(soundLevelText());
    }
    return {};
}

QString AutoStart::soundLevelText() const {
    // A true minus sign, as the menu shows the levels.
    const double level = activation_ ? activation_->settings().levelDb : menu_->triggerLevel();
    return QStringLiteral("%1%2 dBFS")
        .arg(level < 0 ? QString(QChar(0x2212)) : QString())
        .arg(std::abs(level));
}

void AutoStart::showState() {
    menu_->showState(!engine_.isRecording() && !engine_.isFinishing(), scheduled_->waiting());
    const std::optional<double> line =
        menu_->soundTrigger() ? std::optional<double>(menu_->triggerLevel()) : std::nullopt;
    for (LevelMeter* meter : meters_) {
        meter->setMarkedLevel(line);
    }
}
