// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Owners of libpulse objects, shared by the mixer and the peak meter source. Only their .cpp
// files include this header.

#include "platform/pulse/PulseOwners.h"

#include <memory>
#include <string>
#include <vector>

namespace platform::mixer::detail {

using pulse::Context;
using pulse::Mainloop;
using pulse::MainloopLock;
using pulse::Operation;
using pulse::Stream;

// A connection to the sound server whose callers wait for each answer: a context on a main loop
// thread of its own. Never starts a server.
class PulseLink {
public:
    // Null when no server answered within the time limit.
    static std::unique_ptr<PulseLink> connect(const std::string& applicationName);
    ~PulseLink();
    PulseLink(const PulseLink&) = delete;
    PulseLink& operator=(const PulseLink&) = delete;

    pa_threaded_mainloop* mainloop() const { return mainloop_.get(); }
    pa_context* context() const { return context_.get(); }
    // False once the server went away. Expects the lock held.
    bool alive() const;
    // Waits, with the lock held, until the operation ends, the server goes or the time limit
    // passes; true when it ended. The operation's callback must signal the main loop. `reply` is
    // what the callback writes to: an operation given up is cancelled, so a late answer never
    // reaches its callback, and the reply is kept with the link all the same.
    bool await(pa_operation* operation, std::shared_ptr<void> reply);
    // For callbacks whose userdata is the link.
    static void signal(void* link);

private:
    PulseLink() = default;
    bool waitUntil(const auto& done);
    static void onContextState(pa_context* context, void* self);

    // Declared first, destroyed last: the context belongs to its thread.
    Mainloop mainloop_;
    Context context_;
    // Replies of operations given up on; freed with the link, after its thread stopped.
    std::vector<std::shared_ptr<void>> abandoned_;
};

}  // namespace platform::mixer::detail
