// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A PulseAudio server of the test's own, with null sinks whose monitors serve as sources, so a
// test may change default sources and volumes without disturbing other tests. Starting it points
// this process (and the pactl/paplay it runs) at it.
// With TOLVANE_TEST_SOUND_SERVER=pipewire it is a private PipeWire with its PulseAudio service
// instead (tests/support/pipewire-server); where PipeWire cannot run, starting it says why and
// ends the test program with status 77, which CTest counts as skipped.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <vector>

namespace testsound {

class SoundServer {
public:
    SoundServer();
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    // Starts the server with one null sink per name, which may be followed by more of the sink's
    // arguments ("b channels=1"; its monitor is "b.monitor"); the first
    // sink's monitor becomes the default source. Also restarts a stopped server on the same socket.
    bool start(const QStringList& sinks);
    void stop();

    // Runs pactl against the server; its output, or nothing when it failed.
    std::optional<QString> pactl(const QStringList& arguments) const;
    // The volume of every channel of `source` in percent, as pactl reports it.
    std::vector<int> sourceVolumePercent(const QString& source) const;

    // Plays `file` into `sink` until stopPlaying() or the file ends.
    bool play(const QString& file, const QString& sink);
    void stopPlaying();

    // PipeWire's PulseAudio service always keeps a fallback sink, so its monitor is always a source.
    bool isPipeWire() const { return pipewire_; }

    // The PulseAudio server's process, for a test that freezes it; 0 for PipeWire or none running.
    qint64 processId() const { return pipewire_ ? 0 : server_.processId(); }

    // Where the server listens (PULSE_SERVER's form), also before it started.
    QByteArray address() const;

    // A folder for the test's files, removed with the server.
    QString folder() const { return dir_.path(); }

private:
    QProcessEnvironment environment() const;
    bool startPipeWire(const QStringList& sinks);
    bool runPipeWireServer(const QString& command) const;

    bool pipewire_ = false;

    QTemporaryDir dir_;
    QProcess server_;
    QProcess player_;
};

// Writes a two-channel 16-bit 44100 Hz WAV file of `seconds` with sox's synth effect chain
// `effects` (for example {"sine", "1000", "vol", "0.5"}).
std::optional<QString> makeSound(const QString& folder, const QString& name, double seconds,
                                 const QStringList& effects);

}  // namespace testsound
