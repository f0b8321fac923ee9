// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The elapsed-time readout: five LED digits on their panel, H MM SS, which a screen reader reads as
// one text. A paused take's digits blink; the tooltip (and the panel's description) carries the
// notes of the moment, one a line. The window says what to show; the readout says how.

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <chrono>
#include <optional>

class LED;
class QWidget;

class Readout final : public QObject {
    Q_OBJECT

public:
    // `digits` by index; left to right they stand 4, 0, 1, 2, 3. `panel` is the frame that holds them.
    Readout(const std::array<LED*, 5>& digits, QWidget& panel);

    // The take's length; a longer take than 9:59:59 holds there.
    void showElapsed(std::chrono::steady_clock::duration elapsed);
    void zero();
    // A paused take's digits are unlit half of each second; they light up again when it goes on.
    void setPaused(bool paused);

    // What the tooltip tells, each when known.
    struct Notes {
        // How long the disk still has room for, while a take fills it.
        std::optional<long long> roomSeconds;
        // What is left of the time set to stop the take after.
        std::optional<long long> secondsLeft;
    };
    void showNotes(const Notes& notes);

    LED* digit(int index) const { return digits_.at(static_cast<std::size_t>(index)); }

private:
    void blink();
    void speak(long long seconds);

    std::array<LED*, 5> digits_;
    QWidget& panel_;
    QTimer blink_;
    bool dark_ = false;
    quint32 lit_ = 0;  // the digits' lit colour, while they are dark
};
