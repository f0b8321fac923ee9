// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/pulse/Connection.h"

#include <pulse/error.h>
#include <pulse/proplist.h>
#include <pulse/rtclock.h>
#include <pulse/timeval.h>

#include <algorithm>

namespace platform::pulse {

pa_buffer_attr recordBufferAttributes(std::uint32_t fragmentBytes) {
    pa_buffer_attr attr;
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(-1);
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = fragmentBytes;
    return attr;
}

Connection::Timer::Timer(Connection& connection, std::function<void()> fire)
    : connection_(connection), fire_(std::move(fire)) {
    event_ = connection_.api_->time_new(connection_.api_, nullptr, &Timer::onFire, this);
}

Connection::Timer::~Timer() {
    connection_.api_->time_free(event_);
}

void Connection::Timer::after(pa_usec_t delay) {
    // A wall clock set forward or back while the timer runs would fire it early or hours late.
    if (connection_.context_) {
        pa_context_rttime_restart(connection_.context_.get(), event_, pa_rtclock_now() + delay);
        return;
    }
    struct timeval when;
    pa_gettimeofday(&when);
    pa_timeval_add(&when, delay);
    connection_.api_->time_restart(event_, &when);
}

void Connection::Timer::cancel() {
    connection_.api_->time_restart(event_, nullptr);
}

void Connection::Timer::onFire(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
    auto* timer = static_cast<Timer*>(self);
    timer->cancel();
    timer->fire_();
}

std::shared_ptr<Connection> connectToSoundServer(const QString& applicationName) {
    return std::make_shared<Connection>(applicationName.toStdString());
}

Connection::Connection(std::string applicationName) : applicationName_(std::move(applicationName)) {
    mainloop_.reset(pa_threaded_mainloop_new());
    if (!mainloop_) {
        return;
    }
    api_ = pa_threaded_mainloop_get_api(mainloop_.get());
    MainloopLock lock(mainloop_.get());
    retry_ = std::make_unique<Timer>(*this, [this] { connectNow(); });
    connectNow();
    if (pa_threaded_mainloop_start(mainloop_.get()) < 0) {
        dropContext();
    }
}

Connection::~Connection() {
    if (!mainloop_) {
        return;
    }
    {
        MainloopLock lock(mainloop_.get());
        retry_.reset();
        dropContext();
    }
    pa_threaded_mainloop_stop(mainloop_.get());
}

bool Connection::ready() const {
    return context_ && pa_context_get_state(context_.get()) == PA_CONTEXT_READY;
}

bool Connection::waitReady() {
    if (!mainloop_) {
        return false;
    }
    if (ready()) {
        return true;
    }
    // A connection being made is waited for; a failed one is not left to the next retry.
    if (!context_ || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_.get()))) {
        connectNow();
    }
    waitUntil(
        [&] { return !context_ || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_.get())) || ready(); });
    return ready();
}

bool Connection::await(pa_operation* operation) {
    const Operation owned(operation);
    if (!owned) {
        return false;
    }
    waitUntil([&] { return pa_operation_get_state(owned.get()) != PA_OPERATION_RUNNING || !ready(); });
    if (pa_operation_get_state(owned.get()) == PA_OPERATION_RUNNING) {
        // Whatever the server answers later reaches nobody.
        pa_operation_cancel(owned.get());
        return false;
    }
    return pa_operation_get_state(owned.get()) == PA_OPERATION_DONE && ready();
}

void Connection::signal() const {
    pa_threaded_mainloop_signal(mainloop_.get(), 0);
}

std::string Connection::lastError() const {
    return context_ ? pa_strerror(pa_context_errno(context_.get())) : pa_strerror(PA_ERR_CONNECTIONREFUSED);
}

void Connection::choose(std::string name) {
    if (name == chosen_) {
        return;
    }
    chosen_ = std::move(name);
    tell(&Listener::sourceChosen);
}

void Connection::addListener(Listener* listener) {
    listeners_.push_back(listener);
}

void Connection::removeListener(Listener* listener) {
    std::erase(listeners_, listener);
}

bool Connection::waitUntil(const std::function<bool()>& done) {
    bool passed = false;
    // Destroyed with the lock held: it can no longer fire into this frame.
    Timer timeout(*this, [&] {
        passed = true;
        signal();
    });
    timeout.after(kServerTimeout);
    while (!done() && !passed) {
        pa_threaded_mainloop_wait(mainloop_.get());
    }
    return done();
}

void Connection::connectNow() {
    dropContext();
    retry_->cancel();
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, applicationName_.c_str());
    context_.reset(pa_context_new_with_proplist(api_, applicationName_.c_str(), properties));
    pa_proplist_free(properties);
    if (!context_) {
        retry_->after(kRetryDelay);
        return;
    }
    pa_context_set_state_callback(context_.get(), &Connection::onContextState, this);
    pa_context_set_subscribe_callback(context_.get(), &Connection::onSubscription, this);
    if (pa_context_connect(context_.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        retry_->after(kRetryDelay);
    }
}

void Connection::dropContext() {
    if (context_) {
        pa_context_set_subscribe_callback(context_.get(), nullptr, nullptr);
        context_.reset();
    }
    answering_.store(false, std::memory_order_release);
    wasReady_ = false;
}

template <typename Event>
void Connection::tell(Event event) {
    // A listener may come or go while others are told.
    const std::vector<Listener*> listeners = listeners_;
    for (Listener* listener : listeners) {
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end()) {
            (listener->*event)();
        }
    }
}

void Connection::onContextState(pa_context* context, void* self) {
    auto* connection = static_cast<Connection*>(self);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY) {
        connection->answering_.store(true, std::memory_order_release);
        connection->wasReady_ = true;
        const auto mask = static_cast<pa_subscription_mask_t>(
            PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER);
        const Operation subscribed(pa_context_subscribe(context, mask, nullptr, nullptr));
        connection->tell(&Listener::contextReady);
    } else if (!PA_CONTEXT_IS_GOOD(state)) {
        // Set before anyone is told, so a reader on another thread knows the server went away
        // before it hears of the streams that ended with it.
        connection->answering_.store(false, std::memory_order_release);
        if (connection->wasReady_) {
            connection->wasReady_ = false;
            connection->tell(&Listener::contextLost);
        }
        // Torn down by the retry, outside this callback.
        connection->retry_->after(kRetryDelay);
    }
    connection->signal();
}

void Connection::onSubscription(pa_context*, pa_subscription_event_type_t type, std::uint32_t, void* self) {
    switch (type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) {
        case PA_SUBSCRIPTION_EVENT_SOURCE:
        case PA_SUBSCRIPTION_EVENT_SINK:
        case PA_SUBSCRIPTION_EVENT_SERVER:
            static_cast<Connection*>(self)->tell(&Listener::sourcesChanged);
            break;
        default:
            break;
    }
}

}  // namespace platform::pulse
