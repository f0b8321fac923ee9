// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The recorder window with what the program gives it: capture, level, meters and the input list on
// one connection to the default sound server.

#include "platform/mixer/PeakSource.h"
#include "platform/mixer/PulseMixer.h"
#include "platform/mixer/SourceList.h"
#include "platform/pulse/SoundServer.h"
#include "platform/wavein/PulseWaveIn.h"
#include "recorder/window/frmSoundRec.h"

#include <QString>

#include <memory>

namespace bench {

struct ProgramWindow {
    // Takes go to `folder`; `source`, when given, is the input asked for on the command line.
    explicit ProgramWindow(const QString& folder, const QString& source = {})
        : server(platform::pulse::connectToSoundServer(QStringLiteral("Tolvane bench"))),
          waveIn(platform::wavein::makePulseAudioWaveIn(server)),
          mixer(platform::mixer::makePulseAudioMixer(server)),
          peaks(platform::mixer::makePulseAudioPeakSource(server)),
          sources(platform::mixer::makePulseAudioSourceList(server)),
          window({.waveIn = *waveIn,
                  .programFolder = folder,
                  .mixer = mixer.get(),
                  .peakSource = peaks.get(),
                  .sources = sources.get(),
                  .sourceForThisRun = source}) {
        window.show();
    }

    std::shared_ptr<platform::pulse::Connection> server;
    std::unique_ptr<platform::wavein::WaveIn> waveIn;
    std::unique_ptr<platform::mixer::Mixer> mixer;
    std::unique_ptr<platform::mixer::PeakSource> peaks;
    std::unique_ptr<platform::mixer::SourceList> sources;
    frmSoundRec window;
};

}  // namespace bench
