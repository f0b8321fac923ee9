// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/ServerParts.h"

#include "platform/mixer/PeakSource.h"
#include "platform/mixer/PulseMixer.h"
#include "platform/mixer/SourceList.h"
#include "platform/playback/Playback.h"
#include "platform/pulse/SoundServer.h"
#include "platform/wavein/PulseWaveIn.h"

ServerParts::ServerParts(const QString& client)
    : server(platform::pulse::connectToSoundServer(client)),
      waveIn(platform::wavein::makePulseAudioWaveIn(server)),
      mixer(platform::mixer::makePulseAudioMixer(server)),
      peaks(platform::mixer::makePulseAudioPeakSource(server)),
      sources(platform::mixer::makePulseAudioSourceList(server)) {}

ServerParts::~ServerParts() = default;

RecorderServices ServerParts::services() const {
    return {.waveIn = *waveIn,
            .programFolder = {},
            .mixer = mixer.get(),
            .peakSource = peaks.get(),
            .sources = sources.get(),
            .playback = [server = server](std::shared_ptr<const platform::playback::FrameSource> take) {
                return platform::playback::makePulseAudioPlayback(server, std::move(take));
            }};
}
