// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The elapsed-time readout: five LED digits on their panel, H MM SS, which a screen reader reads as
// one text, and the take's clock they show: paused spans do not count. A paused take's digits
// blink; the tooltip (and the panel's description) carries the notes of the moment, one a line.

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <chrono>
#include <functional>
#include <optional>

class LED;
class QWidget;

class Readout final : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // `digits` by index; left to right they stand 4, 0, 1, 2, 3. `panel` is the frame that holds
    // them. The take's time is measured on `clock`.
    Readout(const std::array<LED*, 5>& digits, QWidget& panel, Clock clock);

    // The take's clock starts now, with nothing paused.
    void startClock();
    // The clock holds from `at` (a pause), or goes on from `at` (the resume).
    void holdClock(bool hold, std::chrono::steady_clock::time_point at);
    // The take's time so far, paused spans left out.
    std::chrono::steady_clock::duration elapsed() const;

    // The take's length; a longer take than 9:59:59 holds there.
    void showElapsed(std::chrono::steady_clock::duration elapsed);
    void zero();
    // A paused take's digits are unlit half of each second; they light up again when it goes on.
    void setPaused(bool paused);

    // What the tooltip tells, each when known.
    struct Notes {
        // What the take waits for, before it runs: a time, or sound.
        QString waiting;
        // How long the disk still has room for, while a take fills it.
        std::optional<long long> roomSeconds;
        // What is left of the time set to stop the take after.
        std::optional<long long> secondsLeft;
        // The markers of the take, running or waiting to be saved.
        std::optional<int> markers;
    };
    void showNotes(const Notes& notes);

    LED* digit(int index) const { return digits_.at(static_cast<std::size_t>(index)); }

private:
    void blink();
    void speak(long long seconds);

    std::array<LED*, 5> digits_;
    QWidget& panel_;
    Clock clock_;
    std::chrono::steady_clock::time_point startedAt_{};
    std::chrono::steady_clock::duration pausedBefore_{};
    std::optional<std::chrono::steady_clock::time_point> heldSince_;
    QTimer blink_;
    bool dark_ = false;
    quint32 lit_ = 0;  // the digits' lit colour, while they are dark
};
