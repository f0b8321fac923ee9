// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SessionManager.h"

#include <QElapsedTimer>
#include <QThread>

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace testsupport {

namespace {

// Everything of the protocol lives on the manager's own thread: the ICE library is not thread-safe.
struct Session {
    std::atomic<bool>* joined;
    std::atomic<int>* saved;
    SmsConn member = nullptr;
    std::vector<IceConn> connections;
};

Bool acceptAnyHost(char*) {
    return True;  // a private session on this machine only; no cookies to hand out
}

// A member that leaves closes its end: the connection is dropped, not the test program ended (the
// library's own handler calls exit()).
void ignoreIoError(IceConn) {}

Status onRegister(SmsConn conn, SmPointer data, char* previousId) {
    auto* session = static_cast<Session*>(data);
    std::free(previousId);
    char* id = SmsGenerateClientID(conn);
    const Status status = SmsRegisterClientReply(conn, id);
    std::free(id);
    session->member = conn;
    session->joined->store(true);
    return status;
}

void onInteractRequest(SmsConn conn, SmPointer, int) {
    SmsInteract(conn);
}

void onInteractDone(SmsConn, SmPointer, Bool) {}

void onSaveYourselfRequest(SmsConn, SmPointer, int, Bool, int, Bool, Bool) {}

void onPhase2Request(SmsConn conn, SmPointer) {
    SmsSaveYourselfPhase2(conn);
}

void onSaveYourselfDone(SmsConn, SmPointer data, Bool success) {
    static_cast<Session*>(data)->saved->store(success ? 1 : 2);
}

void onCloseConnection(SmsConn conn, SmPointer data, int count, char** reasons) {
    auto* session = static_cast<Session*>(data);
    SmFreeReasons(count, reasons);
    IceConn ice = SmsGetIceConnection(conn);
    SmsCleanUp(conn);
    if (session->member == conn) {
        session->member = nullptr;
    }
    std::erase(session->connections, ice);
    IceSetShutdownNegotiation(ice, False);
    IceCloseConnection(ice);
}

void onSetProperties(SmsConn, SmPointer, int count, SmProp** properties) {
    for (int i = 0; i < count; ++i) {
        SmFreeProperty(properties[i]);
    }
    std::free(properties);
}

void onDeleteProperties(SmsConn, SmPointer, int count, char** names) {
    for (int i = 0; i < count; ++i) {
        std::free(names[i]);
    }
    std::free(names);
}

void onGetProperties(SmsConn conn, SmPointer) {
    SmsReturnProperties(conn, 0, nullptr);
}

Status onNewClient(SmsConn, SmPointer data, unsigned long* mask, SmsCallbacks* callbacks, char**) {
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask | SmsSaveYourselfDoneProcMask |
            SmsCloseConnectionProcMask | SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask |
            SmsGetPropertiesProcMask;
    callbacks->register_client = {onRegister, data};
    callbacks->interact_request = {onInteractRequest, data};
    callbacks->interact_done = {onInteractDone, data};
    callbacks->save_yourself_request = {onSaveYourselfRequest, data};
    callbacks->save_yourself_phase2_request = {onPhase2Request, data};
    callbacks->save_yourself_done = {onSaveYourselfDone, data};
    callbacks->close_connection = {onCloseConnection, data};
    callbacks->set_properties = {onSetProperties, data};
    callbacks->delete_properties = {onDeleteProperties, data};
    callbacks->get_properties = {onGetProperties, data};
    return True;
}

}  // namespace

SessionManager::SessionManager() : thread_([this] { run(); }) {
    while (!ready_.load()) {
        QThread::msleep(10);
    }
}

SessionManager::~SessionManager() {
    request_.store(Stop);
    thread_.join();
}

bool SessionManager::waitForMember(int timeoutMs) const {
    QElapsedTimer waited;
    waited.start();
    while (!joined_.load() && waited.elapsed() < timeoutMs) {
        QThread::msleep(20);
    }
    return joined_.load();
}

bool SessionManager::save(Request request, int timeoutMs) {
    saved_.store(0);
    request_.store(request);
    QElapsedTimer waited;
    waited.start();
    while (saved_.load() == 0 && waited.elapsed() < timeoutMs) {
        QThread::msleep(20);
    }
    return saved_.load() == 1;
}

void SessionManager::die() {
    request_.store(Die);
}

void SessionManager::run() {
    Session session{&joined_, &saved_, nullptr, {}};
    char error[256] = {};
    int listeners = 0;
    IceListenObj* listenObjs = nullptr;
    IceSetIOErrorHandler(ignoreIoError);
    if (!SmsInitialize("Tolvane tests", "1.0", onNewClient, &session, acceptAnyHost, sizeof error, error) ||
        !IceListenForConnections(&listeners, &listenObjs, sizeof error, error)) {
        ready_.store(true);
        return;
    }
    for (int i = 0; i < listeners; ++i) {
        IceSetHostBasedAuthProc(listenObjs[i], acceptAnyHost);
    }
    char* ids = IceComposeNetworkIdList(listeners, listenObjs);
    address_ = QString::fromLatin1(ids);
    std::free(ids);
    ready_.store(true);

    while (request_.load() != Stop) {
        switch (request_.exchange(None)) {
            case SaveForCheckpoint:
                if (session.member != nullptr) {
                    SmsSaveYourself(session.member, SmSaveBoth, False, SmInteractStyleNone, False);
                }
                break;
            case SaveForShutdown:
                if (session.member != nullptr) {
                    SmsSaveYourself(session.member, SmSaveBoth, True, SmInteractStyleAny, False);
                }
                break;
            case Die:
                if (session.member != nullptr) {
                    SmsDie(session.member);
                }
                break;
            default:
                break;
        }
        std::vector<pollfd> fds;
        for (int i = 0; i < listeners; ++i) {
            fds.push_back({IceGetListenConnectionNumber(listenObjs[i]), POLLIN, 0});
        }
        const std::vector<IceConn> polled = session.connections;
        for (IceConn conn : polled) {
            fds.push_back({IceConnectionNumber(conn), POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), 50) <= 0) {
            continue;
        }
        for (int i = 0; i < listeners; ++i) {
            if ((fds[static_cast<std::size_t>(i)].revents & POLLIN) == 0) {
                continue;
            }
            IceAcceptStatus accepted;
            IceConn conn = IceAcceptConnection(listenObjs[i], &accepted);
            if (conn == nullptr) {
                continue;
            }
            IceConnectStatus status;
            while ((status = IceConnectionStatus(conn)) == IceConnectPending) {
                if (IceProcessMessages(conn, nullptr, nullptr) == IceProcessMessagesIOError) {
                    break;
                }
            }
            if (IceConnectionStatus(conn) == IceConnectAccepted) {
                session.connections.push_back(conn);
            } else {
                IceCloseConnection(conn);
            }
        }
        // A message may close a connection: only those still open are served.
        for (std::size_t n = 0; n < polled.size(); ++n) {
            IceConn conn = polled[n];
            if (fds[static_cast<std::size_t>(listeners) + n].revents == 0 ||
                std::find(session.connections.begin(), session.connections.end(), conn) ==
                    session.connections.end()) {
                continue;
            }
            if (IceProcessMessages(conn, nullptr, nullptr) == IceProcessMessagesIOError) {
                if (session.member != nullptr && SmsGetIceConnection(session.member) == conn) {
                    SmsCleanUp(session.member);
                    session.member = nullptr;
                }
                std::erase(session.connections, conn);
                IceSetShutdownNegotiation(conn, False);
                IceCloseConnection(conn);
            }
        }
    }
    for (IceConn conn : session.connections) {
        IceSetShutdownNegotiation(conn, False);
        IceCloseConnection(conn);
    }
    IceFreeListenObjs(listeners, listenObjs);
}

}  // namespace testsupport
