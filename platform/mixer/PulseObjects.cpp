// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mixer/PulseObjects.h"

#include <pulse/rtclock.h>
#include <pulse/timeval.h>

namespace platform::mixer::detail {

namespace {

// How long a call waits for a server that accepted the connection but does not answer.
constexpr pa_usec_t kServerTimeout = 5 * PA_USEC_PER_SEC;

struct Timeout {
    pa_threaded_mainloop* mainloop;
    bool passed = false;
};

void onTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
    auto* timeout = static_cast<Timeout*>(userdata);
    timeout->passed = true;
    pa_threaded_mainloop_signal(timeout->mainloop, 0);
}

}  // namespace

std::unique_ptr<PulseLink> PulseLink::connect(const std::string& applicationName) {
    std::unique_ptr<PulseLink> link(new PulseLink);
    link->mainloop_.reset(pa_threaded_mainloop_new());
    if (!link->mainloop_) {
        return nullptr;
    }
    link->context_.reset(
        pa_context_new(pa_threaded_mainloop_get_api(link->mainloop_.get()), applicationName.c_str()));
    if (!link->context_) {
        return nullptr;
    }
    pa_context_set_state_callback(link->context_.get(), &PulseLink::onContextState, link.get());
    if (pa_context_connect(link->context_.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(link->mainloop_.get()) < 0) {
        return nullptr;
    }
    MainloopLock lock(link->mainloop_.get());
    const bool ready = link->waitUntil([&] {
        const pa_context_state_t state = pa_context_get_state(link->context_.get());
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    });
    if (!ready || !link->alive()) {
        return nullptr;
    }
    return link;
}

PulseLink::~PulseLink() {
    if (!mainloop_) {
        return;
    }
    if (context_) {
        MainloopLock lock(mainloop_.get());
        pa_context_set_state_callback(context_.get(), nullptr, nullptr);
    }
    // With the thread stopped nothing else touches the context.
    pa_threaded_mainloop_stop(mainloop_.get());
    context_.reset();
}

bool PulseLink::alive() const {
    return pa_context_get_state(context_.get()) == PA_CONTEXT_READY;
}

bool PulseLink::await(pa_operation* operation, std::shared_ptr<void> reply) {
    const Operation owned(operation);
    if (!owned) {
        return false;
    }
    const bool ended =
        waitUntil([&] { return pa_operation_get_state(owned.get()) != PA_OPERATION_RUNNING || !alive(); });
    if (pa_operation_get_state(owned.get()) == PA_OPERATION_RUNNING) {
        // A server that answers after the limit must not find the callback: the caller's wait
        // is over.
        pa_operation_cancel(owned.get());
        abandoned_.push_back(std::move(reply));
    }
    return ended && pa_operation_get_state(owned.get()) == PA_OPERATION_DONE && alive();
}

void PulseLink::signal(void* link) {
    pa_threaded_mainloop_signal(static_cast<PulseLink*>(link)->mainloop_.get(), 0);
}

bool PulseLink::waitUntil(const auto& done) {
    Timeout timeout{mainloop_.get()};
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(mainloop_.get());
    pa_time_event* event =
        pa_context_rttime_new(context_.get(), pa_rtclock_now() + kServerTimeout, &onTimeout, &timeout);
    while (!done() && !timeout.passed) {
        pa_threaded_mainloop_wait(mainloop_.get());
    }
    api->time_free(event);
    return !timeout.passed || done();
}

void PulseLink::onContextState(pa_context*, void* self) {
    signal(self);
}

}  // namespace platform::mixer::detail
