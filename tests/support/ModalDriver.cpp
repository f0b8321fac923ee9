// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ModalDriver.h"

#include <QApplication>
#include <QProgressDialog>
#include <QWidget>

#include <gtest/gtest.h>

namespace testsupport {

ModalDriver::ModalDriver() {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
}

void ModalDriver::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible() || busy_) {
        return;
    }
    if (leaveProgressBoxes && qobject_cast<QProgressDialog*>(modal) != nullptr) {
        return;
    }
    busy_ = true;
    if (steps.empty()) {
        ADD_FAILURE() << "unexpected window: " << modal->windowTitle().toStdString();
        modal->close();
    } else {
        auto step = std::move(steps.front());
        steps.pop_front();
        step(modal);
    }
    busy_ = false;
}

}  // namespace testsupport
