// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Answers the modal message boxes a test provokes (the LED's design-mode "LED Error" box, the
// sheet's own reports): each one is recorded and closed with OK as soon as it is shown.

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>

#include <vector>

namespace ledpage_test {

struct ShownBox {
    QString title;
    QString text;
    QMessageBox::Icon icon;
};

class ModalBoxes {
public:
    ModalBoxes() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr && box->isVisible()) {
                shown.push_back({box->windowTitle(), box->text(), box->icon()});
                box->done(QMessageBox::Ok);
            }
        });
        timer_.start();
    }

    std::vector<ShownBox> shown;

private:
    QTimer timer_;
};

}  // namespace ledpage_test
