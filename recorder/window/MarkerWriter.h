// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The markers set during a take, appended to the take's marker file (TakeMarkers.h) on a thread of
// their own: each append flushes to the disk, which must never hold up the window mid-take. They are
// written in the order they were set; one handed over is written even if the window goes first.

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>

namespace platform::playback {
class Worker;
}

class MarkerWriter final : public QObject {
    Q_OBJECT

public:
    explicit MarkerWriter(QObject* parent = nullptr);
    ~MarkerWriter() override;

    // A marker at take frame `frame` of the take whose first part is `firstPart`.
    void add(const QString& firstPart, std::uint64_t frame);
    // Waits until every marker handed over is on the disk (or failed), at most `limit`; true when it
    // is. Whoever reads or moves the marker file asks first.
    bool settle(std::chrono::milliseconds limit = std::chrono::seconds(5));

signals:
    // A marker could not be written: the errno. Those before it are in the file.
    void failed(int error);

private:
    struct State;
    std::shared_ptr<State> state_;
    std::unique_ptr<platform::playback::Worker> worker_;
};
