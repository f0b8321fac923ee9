// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mixer/SourceList.h"

#include "platform/pulse/Connection.h"

#include <pulse/introspect.h>

#include <QMetaObject>

#include <map>
#include <mutex>

namespace platform::mixer {

namespace {

using pulse::Connection;
using pulse::MainloopLock;
using pulse::Operation;

QString text(const char* s) {
    return s != nullptr ? QString::fromUtf8(s) : QString();
}

// Asks the server for its defaults, sinks and sources whenever one of them changes, and hands the
// result to the GUI thread whole. Never waits on the server.
class PulseSourceList final : public SourceList, private Connection::Listener {
public:
    explicit PulseSourceList(std::shared_ptr<Connection> connection) : connection_(std::move(connection)) {
        MainloopLock lock(connection_->mainloop());
        connection_->addListener(this);
        if (connection_->ready()) {
            refresh();
        }
    }

    ~PulseSourceList() override {
        MainloopLock lock(connection_->mainloop());
        connection_->removeListener(this);
        cancelAll();
    }

    PulseSourceList(const PulseSourceList&) = delete;
    PulseSourceList& operator=(const PulseSourceList&) = delete;

    std::vector<SourceEntry> sources() const override {
        const std::lock_guard guard(mutex_);
        return published_.sources;
    }
    QString defaultSource() const override {
        const std::lock_guard guard(mutex_);
        return published_.defaultSource;
    }
    bool answering() const override { return connection_->answering(); }

    void choose(const QString& name) override {
        MainloopLock lock(connection_->mainloop());
        connection_->choose(name.toStdString());
    }
    QString chosen() const override {
        MainloopLock lock(connection_->mainloop());
        return QString::fromStdString(connection_->chosenSource());
    }

private:
    struct Snapshot {
        std::vector<SourceEntry> sources;
        QString defaultSource;
    };

    // Everything below runs with the main loop's lock held.

    void contextReady() override { refresh(); }
    void sourcesChanged() override { refresh(); }
    void contextLost() override {
        // The context's requests were cancelled with it.
        requests_.clear();
        busy_ = again_ = false;
        publish({});
    }

    void refresh() {
        if (busy_) {
            // Asked again as soon as the answers in flight are in.
            again_ = true;
            return;
        }
        staging_ = {};
        sinks_.clear();
        monitorIndex_.clear();
        answers_ = 0;
        pa_context* c = connection_->context();
        for (pa_operation* o :
             {pa_context_get_server_info(c, &onServer, this), pa_context_get_sink_info_list(c, &onSink, this),
              pa_context_get_source_info_list(c, &onSource, this)}) {
            if (o != nullptr) {
                requests_.emplace_back(o);
            }
        }
        busy_ = !requests_.empty();
    }

    // Each request ends with one last call; once all three are in, the list is whole.
    void answered() {
        if (++answers_ < requests_.size()) {
            return;
        }
        for (SourceEntry& source : staging_.sources) {
            if (const auto index = monitorIndex_.find(source.name); index != monitorIndex_.end()) {
                const auto sink = sinks_.find(index->second);
                source.monitorOf =
                    sink != sinks_.end() && !sink->second.isEmpty() ? sink->second : source.description;
            }
        }
        requests_.clear();
        busy_ = false;
        publish(std::move(staging_));
        if (again_) {
            again_ = false;
            refresh();
        }
    }

    void publish(Snapshot snapshot) {
        {
            const std::lock_guard guard(mutex_);
            published_ = std::move(snapshot);
        }
        QMetaObject::invokeMethod(this, &SourceList::changed, Qt::QueuedConnection);
    }

    void cancelAll() {
        for (const Operation& o : requests_) {
            pa_operation_cancel(o.get());
        }
        requests_.clear();
    }

    static void onServer(pa_context*, const pa_server_info* info, void* self) {
        auto* list = static_cast<PulseSourceList*>(self);
        if (info != nullptr) {
            list->staging_.defaultSource = text(info->default_source_name);
        }
        list->answered();
    }

    static void onSink(pa_context*, const pa_sink_info* info, int eol, void* self) {
        auto* list = static_cast<PulseSourceList*>(self);
        if (eol == 0 && info != nullptr) {
            list->sinks_[info->index] = text(info->description);
            return;
        }
        list->answered();
    }

    static void onSource(pa_context*, const pa_source_info* info, int eol, void* self) {
        auto* list = static_cast<PulseSourceList*>(self);
        if (eol == 0 && info != nullptr) {
            SourceEntry entry;
            entry.name = text(info->name);
            entry.description = info->description != nullptr ? text(info->description) : entry.name;
            if (info->monitor_of_sink != PA_INVALID_INDEX) {
                list->monitorIndex_[entry.name] = info->monitor_of_sink;
            }
            list->staging_.sources.push_back(std::move(entry));
            return;
        }
        list->answered();
    }

    std::shared_ptr<Connection> connection_;
    std::vector<Operation> requests_;
    std::size_t answers_ = 0;
    bool busy_ = false;
    bool again_ = false;
    Snapshot staging_;
    std::map<std::uint32_t, QString> sinks_;
    std::map<QString, std::uint32_t> monitorIndex_;

    mutable std::mutex mutex_;
    Snapshot published_;
};

}  // namespace

std::unique_ptr<SourceList> makePulseAudioSourceList(std::shared_ptr<pulse::Connection> connection) {
    return std::make_unique<PulseSourceList>(std::move(connection));
}

}  // namespace platform::mixer
