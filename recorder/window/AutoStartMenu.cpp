// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/AutoStartMenu.h"

#include "platform/dialogs/Dialogs.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QSettings>

#include <algorithm>
#include <iterator>

namespace {

const QString kSoundKey = QStringLiteral("take/soundTrigger");
const QString kLevelKey = QStringLiteral("take/triggerLevel");
constexpr int kLevels[] = {-50, -40, -30, -20};
constexpr int kDefaultLevel = -40;

}  // namespace

AutoStartMenu::AutoStartMenu(QMenu& menu, QMenu* after, platform::Dialogs& dialogs, QSettings* settings)
    : QObject(&menu), dialogs_(dialogs), settings_(settings) {
    QAction* before = nullptr;
    if (after != nullptr) {
        const auto actions = menu.actions();
        const auto at = actions.indexOf(after->menuAction());
        before = at >= 0 && at + 1 < actions.size() ? actions[at + 1] : nullptr;
    }
    const auto add = [&](const QString& text) {
        auto* action = new QAction(text, &menu);
        menu.insertAction(before, action);
        return action;
    };
    startAt_ = add(tr("Começar às…"));
    startAt_->setObjectName(QStringLiteral("StartAt"));
    connect(startAt_, &QAction::triggered, this, &AutoStartMenu::askForTime);
    cancelStart_ = add(tr("Cancelar início programado"));
    cancelStart_->setObjectName(QStringLiteral("CancelStartAt"));
    connect(cancelStart_, &QAction::triggered, this, &AutoStartMenu::cancelStartChosen);

    sound_ = add(tr("Gravar quando houver som"));
    sound_->setObjectName(QStringLiteral("SoundTrigger"));
    sound_->setCheckable(true);
    sound_->setChecked(settings_ != nullptr && settings_->value(kSoundKey, false).toBool());
    connect(sound_, &QAction::toggled, this, [this](bool on) {
        if (settings_ != nullptr) {
            settings_->setValue(kSoundKey, on);
        }
        Q_EMIT soundTriggerChanged();
    });

    levels_ = new QMenu(tr("Nível de disparo"), &menu);
    levels_->setObjectName(QStringLiteral("TriggerLevelMenu"));
    menu.insertMenu(before, levels_);
    levelGroup_ = new QActionGroup(this);
    levelGroup_->setExclusive(true);
    int kept = settings_ != nullptr ? settings_->value(kLevelKey, kDefaultLevel).toInt() : kDefaultLevel;
    if (std::find(std::begin(kLevels), std::end(kLevels), kept) == std::end(kLevels)) {
        kept = kDefaultLevel;
    }
    for (const int level : kLevels) {
        // A true minus sign, as the level is read out and printed.
        QAction* item = levels_->addAction(tr("%1 dBFS").arg(QString::number(-level).prepend(QChar(0x2212))));
        item->setCheckable(true);
        item->setData(level);
        item->setChecked(level == kept);
        levelGroup_->addAction(item);
        connect(item, &QAction::triggered, this, [this, level] {
            if (settings_ != nullptr) {
                settings_->setValue(kLevelKey, level);
            }
            Q_EMIT soundTriggerChanged();
        });
    }
    showState(true, false);
}

bool AutoStartMenu::soundTrigger() const {
    return sound_->isChecked();
}

double AutoStartMenu::triggerLevel() const {
    const QAction* checked = levelGroup_->checkedAction();
    return checked != nullptr ? checked->data().toInt() : kDefaultLevel;
}

void AutoStartMenu::showState(bool idle, bool waiting) {
    startAt_->setEnabled(idle && !waiting);
    cancelStart_->setEnabled(waiting);
    sound_->setEnabled(idle && !waiting);
    levels_->setEnabled(idle && !waiting);
}

void AutoStartMenu::askForTime() {
    // Offered: the next whole hour, the usual sort of time to set.
    const QTime offered =
        lastTime_.isValid() ? lastTime_ : QTime(QTime::currentTime().hour(), 0).addSecs(3600);
    const auto time = dialogs_.timeOfDay(tr("Começar a gravação às (horas:minutos):"),
                                         tr("Começar a gravação às"), offered);
    if (!time || !time->isValid()) {
        return;
    }
    lastTime_ = *time;
    Q_EMIT startAtChosen(*time);
}
