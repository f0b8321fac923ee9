// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The sound server's sources as the recorder offers them for recording, kept up to date as they
// come and go, and the choice of the one the recorder uses: the takes, the recording level and the
// level meters all follow it.

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace platform::pulse {
class Connection;
}

namespace platform::mixer {

struct SourceEntry {
    QString name;
    QString description;
    // For the monitor of an output (what the computer plays): that output's description.
    QString monitorOf;
    bool isMonitor() const { return !monitorOf.isEmpty(); }
};

class SourceList : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~SourceList() override = default;

    // The sources as last heard from the server, in the server's order; empty while none answers.
    virtual std::vector<SourceEntry> sources() const = 0;
    // The server's default source's name; empty while none answers.
    virtual QString defaultSource() const = 0;
    // True while the server answers. Safe on any thread.
    virtual bool answering() const = 0;
    // The source takes, level and meters use from now on; empty for the server's default source.
    virtual void choose(const QString& name) = 0;
    virtual QString chosen() const = 0;

signals:
    // The list or the default source changed; sent on the thread the list lives on.
    void changed();
};

std::unique_ptr<SourceList> makePulseAudioSourceList(std::shared_ptr<pulse::Connection> connection);

}  // namespace platform::mixer
