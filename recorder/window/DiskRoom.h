// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The room left on the file system that holds the takes, read on a thread of its own: a take folder
// on a network mount that stops answering must not freeze the window. One reading is on its way at
// a time, and during a take a new one is asked for only every few seconds; in between, what the take
// wrote since the last reading is taken off it, so the room told still falls with every second.

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class DiskRoom {
public:
    // Bytes a program may still write in `folder`; nothing when it cannot be asked. Runs off the
    // window's thread and may take any time.
    using Query = std::function<std::optional<std::uint64_t>(const QString& folder)>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // How often a running take asks the file system anew.
    static constexpr std::chrono::seconds kReadEvery{5};

    DiskRoom(QString folder, Query query, Clock clock);
    ~DiskRoom();
    DiskRoom(const DiskRoom&) = delete;
    DiskRoom& operator=(const DiskRoom&) = delete;

    // The room in whole seconds of a take writing `bytesPerSecond`, or nothing while none is known.
    // Before a take: from a reading of now, waited for at most `patience`, else the last one known.
    std::optional<long long> beforeTake(std::uint32_t bytesPerSecond, std::chrono::milliseconds patience);
    // During the take that began with the last beforeTake and has written `written` bytes since.
    // Never waits.
    std::optional<long long> duringTake(std::uint64_t written, std::uint32_t bytesPerSecond);

private:
    struct Request;
    struct Reading {
        std::uint64_t free = 0;
        int take = 0;                 // the take it was asked during
        std::uint64_t writtenAt = 0;  // what that take had written when it was asked
    };

    void ask(std::uint64_t written);
    // Takes in the answer on its way, when it has come.
    void collect();

    QString folder_;
    Query query_;
    Clock clock_;
    std::shared_ptr<Request> asked_;
    Reading askedFor_;
    std::optional<std::chrono::steady_clock::time_point> askedAt_;
    std::optional<Reading> last_;
    int take_ = 0;
};
