// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Inside the connection to the sound server, for the backends that share it. Only their .cpp files
// include this header.

#include "platform/pulse/PulseOwners.h"
#include "platform/pulse/SoundServer.h"

#include <pulse/def.h>
#include <pulse/subscribe.h>
#include <pulse/timeval.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::pulse {

// How long anyone waits for a server that accepted the connection but does not answer.
inline constexpr pa_usec_t kServerTimeout = 5 * PA_USEC_PER_SEC;
// After a lost server, a failed connection or a stream that failed, the next try comes this much later.
inline constexpr pa_usec_t kRetryDelay = PA_USEC_PER_SEC;

// What a record stream asks of the server: its own defaults, but fragments of `fragmentBytes`, so
// the stream is read as soon as that much has arrived.
pa_buffer_attr recordBufferAttributes(std::uint32_t fragmentBytes);

// A reference on a context someone else connects and disconnects.
struct ContextUnref {
    void operator()(pa_context* c) const { pa_context_unref(c); }
};
using ContextRef = std::unique_ptr<pa_context, ContextUnref>;

// One context on one threaded main loop. Every member that touches libpulse expects the main
// loop's lock held (MainloopLock); listeners are called on the main loop's thread with it held.
class Connection {
public:
    // Told what happens to the connection. Every call comes with the lock held.
    class Listener {
    public:
        // The context is ready: streams and requests may be made on it.
        virtual void contextReady() {}
        // The context is gone; streams made on it are dead and their requests cancelled.
        virtual void contextLost() {}
        // A source or sink came, went or changed, or the server's defaults changed.
        virtual void sourcesChanged() {}
        // The source the recorder uses was chosen anew (chosenSource()).
        virtual void sourceChosen() {}

    protected:
        ~Listener() = default;
    };

    explicit Connection(std::string applicationName);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    pa_threaded_mainloop* mainloop() const { return mainloop_.get(); }
    // Null while there is no connection.
    pa_context* context() const { return context_.get(); }
    bool ready() const;
    // True while the context is ready; read without the lock, from any thread.
    bool answering() const { return answering_.load(std::memory_order_acquire); }
    // Makes sure a connection is ready, trying at once when the last one failed, and waits for it
    // up to the time limit. False when no server answered.
    bool waitReady();
    // Waits until `done()` holds or the time limit passes; true when it holds. Whatever `done`
    // waits for must call signal() when it changes.
    bool waitUntil(const std::function<bool()>& done);
    // Waits until `operation` ends, the server goes or the time limit passes; true when it ended.
    // The operation is cancelled when the wait gives up, so its callback is never called after
    // this returns and may point at the caller's stack. The callback must call signal().
    bool await(pa_operation* operation);
    // Wakes a waiting await or waitReady.
    void signal() const;
    // What the server said last, for the user.
    std::string lastError() const;

    // The source the recorder uses: a source name, or empty for the server's default source.
    const std::string& chosenSource() const { return chosen_; }
    void choose(std::string name);

    void addListener(Listener* listener);
    void removeListener(Listener* listener);

    // A one-shot timer on the connection's main loop, re-armed at will, by the monotonic clock (the
    // wall clock while there is no context to give it). `fire` runs on the main loop's thread with
    // the lock held; it never runs once the timer is destroyed. Made, armed and destroyed with the
    // lock held.
    class Timer {
    public:
        Timer(Connection& connection, std::function<void()> fire);
        ~Timer();
        Timer(const Timer&) = delete;
        Timer& operator=(const Timer&) = delete;

        void after(pa_usec_t delay);
        void cancel();

    private:
        static void onFire(pa_mainloop_api* api, pa_time_event* event, const struct timeval* when,
                           void* self);

        Connection& connection_;
        std::function<void()> fire_;
        pa_time_event* event_ = nullptr;
    };

private:
    void connectNow();
    void dropContext();
    template <typename Event>
    void tell(Event event);
    static void onContextState(pa_context* context, void* self);
    static void onSubscription(pa_context* context, pa_subscription_event_type_t type, std::uint32_t index,
                               void* self);

    std::string applicationName_;
    // Declared first, destroyed last: the context belongs to its thread.
    Mainloop mainloop_;
    pa_mainloop_api* api_ = nullptr;
    std::unique_ptr<Timer> retry_;
    Context context_;
    bool wasReady_ = false;
    std::atomic<bool> answering_{false};
    std::string chosen_;
    std::vector<Listener*> listeners_;
};

}  // namespace platform::pulse
