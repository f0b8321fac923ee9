// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Takes that start by themselves: at a set time ("Começar às…") or when sound comes. Holds their
// menu items, the time waited for and the running take's sound trigger, and tells what a take waits
// for; the window begins, arms and stops the takes themselves.

#include "recorder/capture/SoundActivation.h"
#include "recorder/window/ScheduledStart.h"

#include <QObject>
#include <QTime>

#include <array>
#include <chrono>
#include <memory>

namespace basSoundRec_1 {
class CaptureEngine;
}
namespace platform {
class Dialogs;
}

class AutoStartMenu;
class LevelMeter;
class QMenu;
class QSettings;

class AutoStart final : public QObject {
    Q_OBJECT

public:
    // Its items go into the record toggle's `takeMenu`; the time of day is read on `wall`; the
    // trigger level is drawn on `meters`.
    AutoStart(basSoundRec_1::CaptureEngine& engine, QMenu& takeMenu, platform::Dialogs& dialogs,
              QSettings* settings, ScheduledStart::WallClock wall, std::array<LevelMeter*, 2> meters,
              QObject* parent);
    ~AutoStart() override;

    AutoStartMenu& menu() const { return *menu_; }
    const ScheduledStart& scheduled() const { return *scheduled_; }

    // Waits for the next time the clock reads `time`; false when nothing is waited for.
    bool waitFor(QTime time);
    void cancelWait();
    bool waitingForTime() const { return scheduled_->waiting(); }
    // Why the computer stays awake until the time.
    QString sleepReason() const;
    // Asked before the window closes on a set time.
    QString exitQuestion() const;

    // "Gravar quando houver som" is on: a press arms the take rather than begins it.
    bool soundTrigger() const;
    // The engine's next take starts at sound (the engine's waveFormat is the take's); `hooks` make its
    // file and hear its parts and silences.
    void arm(basSoundRec_1::SoundActivation::Hooks hooks);
    // The next take starts at once.
    void disarm() { activation_.reset(); }
    // The running or last take started at sound.
    bool soundStarted() const { return activation_ != nullptr; }
    // The running or last take was armed for sound and never heard any: it has no file.
    bool heardNothing() const { return activation_ && !activation_->heardSound(); }
    // The take that starts at sound waits for it: armed, or paused for silence.
    bool waitingForSound() const;
    // What a sound-started take kept so far, however long it waited.
    std::chrono::steady_clock::duration recordedTime() const;

    // What the readout tells a take waits for: the time, or sound; empty when none waits.
    QString waitingNote() const;
    // The items and the meters' level line follow the window.
    void showState();

Q_SIGNALS:
    // The user set a time to start at, or cancelled it.
    void startAtChosen(QTime time);
    void cancelStartChosen();
    // The countdown to the set time moved on.
    void tick();
    // The set time is close: the take begins with what is heard at `heardFrom`.
    void due(std::chrono::steady_clock::time_point heardFrom, const QDateTime& start);

private:
    QString soundLevelText() const;

    basSoundRec_1::CaptureEngine& engine_;
    std::array<LevelMeter*, 2> meters_;
    AutoStartMenu* menu_;
    ScheduledStart* scheduled_;
    // The running or last take that started at sound; a press's take has none.
    std::unique_ptr<basSoundRec_1::SoundActivation> activation_;
};
