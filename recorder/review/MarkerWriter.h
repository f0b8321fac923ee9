// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A take's marker file (TakeMarkers.h) written on a thread of its own: every write flushes to the
// disk, which must never hold up a window, neither mid-take nor while a take is reviewed. Markers set
// during a take are appended in the order they were set; a review's edits hand over the whole set,
// and the newest set is what the file ends up holding. What is handed over is written even if its
// window goes first.

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

class MarkerWriter final : public QObject {
    Q_OBJECT

public:
    explicit MarkerWriter(QObject* parent = nullptr);
    ~MarkerWriter() override;

    // One more marker, at take frame `frame` of the take whose first part is `firstPart`.
    void add(const QString& firstPart, std::uint64_t frame);
    // The take's markers are now `frames` (ascending).
    void replace(const QString& firstPart, std::vector<std::uint64_t> frames);
    // Waits until everything handed over is on the disk (or failed), at most `limit`; true when it
    // is. Whoever reads or moves the marker file asks first.
    bool settle(std::chrono::milliseconds limit = std::chrono::seconds(5));

signals:
    // A write failed: the errno, and whether it was a whole set (replace) or one marker (add). The
    // file holds what was written before it.
    void failed(int error, bool wholeSet);

private:
    struct State;
    std::shared_ptr<State> state_;
    std::unique_ptr<platform::playback::Worker> worker_;
};

}  // namespace review
