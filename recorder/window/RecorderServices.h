// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the recorder's window is given to work with: the capture device, the boxes, the folder,
// the clocks and the server's parts. Tests hand in stand-ins.

#include "platform/wavein/WaveIn.h"
#include "recorder/review/ReviewWindow.h"
#include "recorder/wavfile/TakeFile.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace platform {
class Dialogs;
}
namespace platform::mixer {
class Mixer;
class PeakSource;
class SourceList;
}  // namespace platform::mixer
namespace platform::power {
class SleepInhibitor;
}

class QSettings;

struct RecorderServices {
    platform::wavein::WaveIn& waveIn;
    // Null: the window shows real message boxes, parented to itself.
    platform::Dialogs* dialogs = nullptr;
    // Where takes are written.
    QString programFolder;
    // The take's name comes from it; tests pin it.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // Lowered only by tests.
    std::uint64_t largestRiffSize = basSoundRec_2::kLargestRiffSize;
    // The elapsed-time readout measures the take with it; tests drive it by hand.
    std::function<std::chrono::steady_clock::time_point()> monotonicClock = [] {
        return std::chrono::steady_clock::now();
    };
    // The mixer the level slider drives; null leaves out the mixer steps of start-up.
    platform::mixer::Mixer* mixer = nullptr;
    // Peak readings for the level meters; null leaves them dark.
    platform::mixer::PeakSource* peakSource = nullptr;
    // The server's sources and the choice of the input; null: no input menu, the default source.
    platform::mixer::SourceList* sources = nullptr;
    // Where the chosen input and the last save format are kept between runs; null: not kept.
    QSettings* settings = nullptr;
    // The input asked for on the command line or in PULSE_SOURCE; it wins for this run and is
    // not kept.
    QString sourceForThisRun = {};
    // How long a minute of "Parar após" lasts; shortened only by tests.
    std::chrono::milliseconds stopAfterMinute = std::chrono::minutes(1);
    // Held for exactly each take's life; null lets the computer sleep as it will.
    platform::power::SleepInhibitor* sleepInhibitor = nullptr;
    // The bytes the take folder's file system has room for, asked off the window's thread; null
    // asks the file system. Tests give one that never answers.
    std::function<std::optional<std::uint64_t>(const QString& folder)> freeRoom = {};
    // Makes the review window's player on the program's one server connection; null: the
    // review shows the take but cannot play it.
    review::PlaybackFactory playback = {};
};
