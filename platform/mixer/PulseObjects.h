#pragma once
// Owners of libpulse objects, shared by the mixer and the peak meter source. Only their .cpp
// files include this header.

#include <pulse/context.h>
#include <pulse/operation.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <memory>
#include <string>

namespace platform::mixer::detail {

struct MainloopFree {
    void operator()(pa_threaded_mainloop* m) const { pa_threaded_mainloop_free(m); }
};
struct ContextFree {
    void operator()(pa_context* c) const {
        pa_context_set_state_callback(c, nullptr, nullptr);
        pa_context_disconnect(c);
        pa_context_unref(c);
    }
};
struct StreamFree {
    void operator()(pa_stream* s) const {
        pa_stream_set_state_callback(s, nullptr, nullptr);
        pa_stream_set_read_callback(s, nullptr, nullptr);
        pa_stream_disconnect(s);
        pa_stream_unref(s);
    }
};
struct OperationFree {
    void operator()(pa_operation* o) const { pa_operation_unref(o); }
};

using Mainloop = std::unique_ptr<pa_threaded_mainloop, MainloopFree>;
using Context = std::unique_ptr<pa_context, ContextFree>;
using Stream = std::unique_ptr<pa_stream, StreamFree>;
using Operation = std::unique_ptr<pa_operation, OperationFree>;

class MainloopLock {
public:
    explicit MainloopLock(pa_threaded_mainloop* m) : m_(m) { pa_threaded_mainloop_lock(m_); }
    ~MainloopLock() { pa_threaded_mainloop_unlock(m_); }
    MainloopLock(const MainloopLock&) = delete;
    MainloopLock& operator=(const MainloopLock&) = delete;

private:
    pa_threaded_mainloop* m_;
};

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
    // passes; true when it ended. The operation's callback must signal the main loop.
    bool await(pa_operation* operation);
    // For callbacks whose userdata is the link.
    static void signal(void* link);

private:
    PulseLink() = default;
    bool waitUntil(const auto& done);
    static void onContextState(pa_context* context, void* self);

    // Declared first, destroyed last: the context belongs to its thread.
    Mainloop mainloop_;
    Context context_;
};

}  // namespace platform::mixer::detail
