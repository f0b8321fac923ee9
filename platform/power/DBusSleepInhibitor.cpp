// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/power/SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QVariantMap>

#include <cstdint>
#include <utility>

namespace platform::power {
namespace {

// The portal's flag for suspending the session.
constexpr std::uint32_t kPortalSuspend = 4;
// A bus that does not answer within this long is treated as absent; the take runs on regardless.
constexpr int kCallTimeoutMs = 10000;

class DBusSleepInhibitor final : public SleepInhibitor {
public:
    DBusSleepInhibitor(QString who, QString why) : who_(std::move(who)), made_(std::move(why)) {}
    ~DBusSleepInhibitor() override { release(); }

    void hold() override { hold(made_); }

    void hold(const QString& why) override {
        if (wanted_ && why == why_) {
            return;
        }
        if (wanted_) {
            // The lock held so far stays until the new one is granted: no moment without one.
            dropPrevious();
            previousLock_ = std::exchange(lock_, QDBusUnixFileDescriptor());
            previousRequest_ = std::exchange(portalRequest_, QString());
        }
        wanted_ = true;
        why_ = why;
        askLogind(++generation_);
    }

    void release() override {
        dropPrevious();
        if (!wanted_) {
            return;
        }
        wanted_ = false;
        ++generation_;  // an answer still on its way is dropped when it comes
        lock_ = QDBusUnixFileDescriptor();
        if (!portalRequest_.isEmpty()) {
            closePortalRequest(portalRequest_);
            portalRequest_.clear();
        }
    }

    bool held() const override {
        return lock_.isValid() || !portalRequest_.isEmpty() || previousLock_.isValid() ||
               !previousRequest_.isEmpty();
    }

private:
    void askLogind(std::uint64_t generation) {
        QDBusConnection bus = QDBusConnection::systemBus();
        if (!bus.isConnected()) {
            askPortal(generation);
            return;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
        call << QStringLiteral("sleep") << who_ << why_ << QStringLiteral("block");
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), &context_);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context_,
                         [this, generation](QDBusPendingCallWatcher* answered) {
                             answered->deleteLater();
                             const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *answered;
                             if (generation != generation_) {
                                 return;  // released meanwhile: the descriptor closes with the reply
                             }
                             if (reply.isError()) {
                                 askPortal(generation);  // no logind here, as in a sandbox
                                 return;
                             }
                             lock_ = reply.value();
                             dropPrevious();
                         });
    }

    void askPortal(std::uint64_t generation) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            return;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                                           QStringLiteral("/org/freedesktop/portal/desktop"),
                                                           QStringLiteral("org.freedesktop.portal.Inhibit"),
                                                           QStringLiteral("Inhibit"));
        call << QString() << kPortalSuspend << QVariantMap{{QStringLiteral("reason"), why_}};
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), &context_);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context_,
                         [this, generation](QDBusPendingCallWatcher* answered) {
                             answered->deleteLater();
                             const QDBusPendingReply<QDBusObjectPath> reply = *answered;
                             if (reply.isError()) {
                                 return;  // neither is there: the take runs without a word
                             }
                             const QString request = reply.value().path();
                             if (generation != generation_) {
                                 closePortalRequest(request);
                                 return;
                             }
                             portalRequest_ = request;
                             dropPrevious();
                         });
    }

    void dropPrevious() {
        previousLock_ = QDBusUnixFileDescriptor();
        if (!previousRequest_.isEmpty()) {
            closePortalRequest(std::exchange(previousRequest_, QString()));
        }
    }

    // The portal's inhibition ends when its request is closed.
    static void closePortalRequest(const QString& request) {
        QDBusConnection::sessionBus().asyncCall(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.portal.Desktop"), request,
            QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Close")));
    }

    QString who_;
    QString made_;  // the reason it was made with
    QString why_;   // the reason of the lock held or asked for
    bool wanted_ = false;
    std::uint64_t generation_ = 0;
    QDBusUnixFileDescriptor lock_;
    QString portalRequest_;
    // A lock held for another reason until the one asked for now is granted.
    QDBusUnixFileDescriptor previousLock_;
    QString previousRequest_;
    QObject context_;  // answers die with the inhibitor
};

}  // namespace

std::unique_ptr<SleepInhibitor> makeSleepInhibitor(const QString& who, const QString& why) {
    return std::make_unique<DBusSleepInhibitor>(who, why);
}

}  // namespace platform::power
