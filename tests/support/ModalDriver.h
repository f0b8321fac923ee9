// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Answers the modal windows of a test as they come up, each with the next step; a modal nobody
// expected fails the test and is closed so that nothing hangs.

#include <QTimer>

#include <deque>
#include <functional>

class QWidget;

namespace testsupport {

class ModalDriver {
public:
    ModalDriver();
    std::deque<std::function<void(QWidget*)>> steps;
    // Progress boxes come and go with the speed of the machine: while this is set they are left to
    // themselves and never taken for the next step.
    bool leaveProgressBoxes = false;

private:
    void poll();

    QTimer timer_;
    bool busy_ = false;
};

}  // namespace testsupport
