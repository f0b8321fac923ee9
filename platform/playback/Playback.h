// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Plays the frames of a frame source to the sound server's default output. Lives on the window's
// thread; no call waits on the server: each returns at once and the sound follows, or failed()
// says why not. The source is read on a thread of the player's own.

#include "platform/playback/FrameSource.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

namespace platform::pulse {
class Connection;
}

namespace platform::playback {

class Playback : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Plays frames [from, to) from `from`, in place of whatever played before. An empty span ends at
    // once (finished()).
    virtual void play(std::uint64_t from, std::uint64_t to) = 0;
    // Stops the sound at the frame heard now; position() stays there.
    virtual void pause() = 0;
    // Plays on from position() to the end of the last play().
    virtual void resume() = 0;
    // Moves to `frame`: playing goes on from there, a paused player waits there. A frame at or past
    // the end of the last play() moves that end to the end of the source.
    virtual void seek(std::uint64_t frame) = 0;
    // The frame being heard now while playing, by the server's clock; else where it stopped.
    virtual std::uint64_t position() const = 0;
    virtual bool isPlaying() const = 0;

signals:
    // The last frame of the span was heard; position() is its end.
    void finished();
    // Playing stopped (or could not start) for `reason`, the server's own words in a sentence for
    // the user; position() is the last frame heard.
    void failed(const QString& reason);
};

// On the program's one connection to the server.
std::unique_ptr<Playback> makePulseAudioPlayback(std::shared_ptr<pulse::Connection> connection,
                                                 std::shared_ptr<const FrameSource> source);

}  // namespace platform::playback
