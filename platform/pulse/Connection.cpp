// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/pulse/Connection.h"

#include <pulse/error.h>
#include <pulse/proplist.h>
#include <pulse/timeval.h>

#include <algorithm>

namespace platform::pulse {

namespace {

// How long a caller waits for a server that accepted the connection but does not answer.
constexpr pa_usec_t kServerTimeout = 5 * PA_USEC_PER_SEC;
// After a lost server or a failed connection, the next try comes this much later.
constexpr pa_usec_t kRetryDelay = PA_USEC_PER_SEC;

struct Timeout {
    const Connection* connection;
    bool passed = false;
};

void onTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
    auto* timeout = static_cast<Timeout*>(userdata);
    timeout->passed = true;
    timeout->connection->signal();
}

struct timeval inFromNow(pa_usec_t delay) {
    struct timeval when;
    pa_gettimeofday(&when);
    pa_timeval_add(&when, delay);
    return when;
}

}  // namespace

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
    retry_ = api_->time_new(api_, nullptr, &Connection::onRetry, this);
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
        if (retry_ != nullptr) {
            api_->time_free(retry_);
            retry_ = nullptr;
        }
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

bool Connection::waitUntil(const auto& done) {
    Timeout timeout{this};
    const struct timeval when = inFromNow(kServerTimeout);
    pa_time_event* event = api_->time_new(api_, &when, &onTimeout, &timeout);
    while (!done() && !timeout.passed) {
        pa_threaded_mainloop_wait(mainloop_.get());
    }
    // Freed with the lock held: the timeout can no longer fire into this frame.
    api_->time_free(event);
    return done();
}

void Connection::connectNow() {
    dropContext();
    api_->time_restart(retry_, nullptr);
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, applicationName_.c_str());
    context_.reset(pa_context_new_with_proplist(api_, applicationName_.c_str(), properties));
    pa_proplist_free(properties);
    if (!context_) {
        scheduleRetry();
        return;
    }
    pa_context_set_state_callback(context_.get(), &Connection::onContextState, this);
    pa_context_set_subscribe_callback(context_.get(), &Connection::onSubscription, this);
    if (pa_context_connect(context_.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        scheduleRetry();
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

void Connection::scheduleRetry() {
    if (retry_ != nullptr) {
        const struct timeval when = inFromNow(kRetryDelay);
        api_->time_restart(retry_, &when);
    }
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
        connection->scheduleRetry();
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

void Connection::onRetry(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
    static_cast<Connection*>(self)->connectNow();
}

}  // namespace platform::pulse
