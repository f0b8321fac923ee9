// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The review window's edits of a take's markers, kept in the take's marker file (TakeMarkers.h) on
// a thread of its own, so the window never waits on the disk: each edit hands over the whole set,
// and the newest set is what the file ends up holding. A set handed over is written even if the
// window closes first.

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform::playback {
class Worker;
}

namespace review {

class MarkerSidecar final : public QObject {
    Q_OBJECT

public:
    explicit MarkerSidecar(QString firstPart, QObject* parent = nullptr);
    ~MarkerSidecar() override;

    // The take's markers are now `frames` (ascending).
    void write(std::vector<std::uint64_t> frames);
    // Waits until every set handed over is on the disk, at most `limit`; true when it is.
    bool settle(std::chrono::milliseconds limit);

signals:
    // A set could not be written: the errno. The file holds an earlier set.
    void failed(int error);

private:
    struct State;
    std::shared_ptr<State> state_;
    std::unique_ptr<platform::playback::Worker> worker_;
};

}  // namespace review
