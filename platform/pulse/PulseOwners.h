// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Owners of libpulse objects for the backends that talk to the sound server. Only their .cpp files
// include this header, so no other part of the program sees a libpulse type.

#include <pulse/context.h>
#include <pulse/operation.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <memory>

namespace platform::pulse {

struct MainloopFree {
    void operator()(pa_threaded_mainloop* m) const { pa_threaded_mainloop_free(m); }
};
// Callbacks are cleared first: whatever they pointed to is being torn down with the object.
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

}  // namespace platform::pulse
