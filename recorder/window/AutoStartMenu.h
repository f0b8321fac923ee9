// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The record toggle's menu items for takes that start by themselves: "Começar às…" and "Cancelar
// início programado" below "Parar após", then "Gravar quando houver som" and its "Nível de
// disparo". The sound choices are kept between runs; the window does what they mean.

#include <QObject>
#include <QTime>

#include <optional>

namespace platform {
class Dialogs;
}

class QAction;
class QActionGroup;
class QMenu;
class QSettings;

class AutoStartMenu final : public QObject {
    Q_OBJECT

public:
    // Adds its items to `menu`, after the item that opens `after` (at the end when null). The sound
    // choices are read from and written to `settings` (null: not kept).
    AutoStartMenu(QMenu& menu, QMenu* after, platform::Dialogs& dialogs, QSettings* settings);

    bool soundTrigger() const;
    // The level in dBFS above which sound starts a take.
    double triggerLevel() const;
    // The items follow the window: a start can be set only with nothing running, cancelled only
    // while it is waited for, and the sound choices change only with nothing running.
    void showState(bool idle, bool waiting);

    QAction& startAtAction() const { return *startAt_; }
    QAction& cancelStartAction() const { return *cancelStart_; }
    QAction& soundTriggerAction() const { return *sound_; }
    QMenu& levelMenu() const { return *levels_; }

Q_SIGNALS:
    // The user set a time of day to start at.
    void startAtChosen(QTime time);
    void cancelStartChosen();
    // The mode or its level changed.
    void soundTriggerChanged();

private:
    void askForTime();

    platform::Dialogs& dialogs_;
    QSettings* settings_;
    QAction* startAt_;
    QAction* cancelStart_;
    QAction* sound_;
    QMenu* levels_;
    QActionGroup* levelGroup_;
    QTime lastTime_;
};
