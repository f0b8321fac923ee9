// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the recorder has of the sound server, all on one connection: capture, the recording level,
// the meters' peaks, the list of sources and the review's playback. The program, its benchmarks and
// the tests that run the window as the program does make them here.

#include "recorder/window/RecorderServices.h"

#include <QString>

#include <memory>

namespace platform::pulse {
class Connection;
}

struct ServerParts {
    // `client` is the connection's name in the server's list of clients.
    explicit ServerParts(const QString& client);
    ~ServerParts();
    ServerParts(const ServerParts&) = delete;
    ServerParts& operator=(const ServerParts&) = delete;

    // The window's services with these parts in; the rest (the folder, the settings, ...) is the
    // caller's to set.
    RecorderServices services() const;

    std::shared_ptr<platform::pulse::Connection> server;
    std::unique_ptr<platform::wavein::WaveIn> waveIn;
    std::unique_ptr<platform::mixer::Mixer> mixer;
    std::unique_ptr<platform::mixer::PeakSource> peaks;
    std::unique_ptr<platform::mixer::SourceList> sources;
};
