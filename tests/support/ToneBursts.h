// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Bursts of a 440 Hz tone among silences, played on the PulseAudio server the test points
// PULSE_SERVER at into a silent output of their own, whose monitor becomes the source whatever
// records the default source (in this process or a program it starts) records. Silence plays until
// play() is called, and again after the bursts, so the monitor always delivers.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <optional>
#include <vector>

namespace testsupport {

class ToneBursts {
public:
    struct Stretch {
        double seconds;
        // The tone's peak in dBFS; nothing for silence.
        std::optional<double> peakDb;
    };

    ToneBursts();
    ~ToneBursts();
    ToneBursts(const ToneBursts&) = delete;
    ToneBursts& operator=(const ToneBursts&) = delete;

    // The output is there and its silence is being heard.
    bool ready() const { return ready_; }
    // Plays `stretches` after the silence now playing, then silence again.
    void play(const std::vector<Stretch>& stretches);

private:
    QTemporaryDir dir_;
    QProcess generator_;
    QProcess player_;
    QProcess reader_;
    QString sink_;
    QString module_;
    bool ready_ = false;
};

}  // namespace testsupport
