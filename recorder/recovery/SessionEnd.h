// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Turns SIGTERM, SIGHUP and SIGINT into a Qt signal on the GUI thread, so the program can finish
// its take and leave in good order when the system or the user's session ends it.

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace recovery {

class SessionEnd final : public QObject {
    Q_OBJECT

public:
    // Installs the handlers; one object per process.
    explicit SessionEnd(QObject* parent = nullptr);
    ~SessionEnd() override;

signals:
    // One of the signals arrived; `number` is which.
    void requested(int number);

private:
    void readPipe();

    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace recovery
