// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The recorder window on a simulated device, with scripted dialogs and clocks the test sets.

#include "recorder/window/frmSoundRec.h"

#include "ScriptedDialogs.h"
#include "SimulatedWaveIn.h"

#include <LED/LED.h>

#include <QAbstractButton>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>

namespace testsupport {

using namespace platform::wavein;

const QDateTime kMorning(QDate(2026, 3, 4), QTime(9, 5, 7));

struct Recorder {
    explicit Recorder(SimulatedFaults faults = {},
                      std::uint64_t largestRiffSize = basSoundRec_2::kLargestRiffSize,
                      Pacing pacing = Pacing::Manual,
                      std::function<std::optional<std::uint64_t>(const QString&)> freeRoom = {})
        : device(SimulatedSource::counter(), pacing, std::move(faults)),
          window({.waveIn = device,
                  .dialogs = &dialogs,
                  .programFolder = folder.path(),
                  .clock = [] { return kMorning; },
                  .largestRiffSize = largestRiffSize,
                  .monotonicClock = [this] { return now; },
                  .freeRoom = std::move(freeRoom)}) {}

    void click() { QTest::mouseClick(window.Check1(), Qt::LeftButton); }
    void deliver() { QCoreApplication::sendPostedEvents(&window); }
    void produceBuffers(int n) {
        for (int i = 0; i < n; ++i) {
            device.produce(static_cast<std::size_t>(window.captureEngine().bufferSize()));
            deliver();
        }
    }
    QStringList files() const { return QDir(folder.path()).entryList(QDir::Files, QDir::Name); }
    bool stopped() const {
        return !window.Check1()->isChecked() &&
               window.Check1()->text() == QStringLiteral("Iniciar Gravação") &&
               !window.captureEngine().isRecording() && !window.captureEngine().deviceOpen();
    }

    // The readout shows the digits LED1(4), (0), (1), (2), (3) as "H MM SS".
    QString readout() const {
        const auto d = [this](int i) { return QString::number(window.LED1(i)->Value()); };
        return d(4) + ' ' + d(0) + d(1) + ' ' + d(2) + d(3);
    }

    std::chrono::steady_clock::time_point now{std::chrono::hours(1000)};
    QTemporaryDir folder;
    testsupport::ScriptedDialogs dialogs;
    SimulatedWaveIn device;
    frmSoundRec window;
};

}  // namespace testsupport
