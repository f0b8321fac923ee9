// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Helpers for driving the LED's Designer task menu in tests.

#include <LED/LEDPropertySheet.h>

#include <QAction>
#include <QApplication>
#include <QDesignerFormEditorInterface>
#include <QDesignerTaskMenuExtension>
#include <QExtensionManager>
#include <QTimer>

#include <functional>
#include <ostream>

// Readable QStrings in assertion messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace ledpage_test {

// Runs `script` on the property sheet once it is shown modally; the test fails if it never is.
struct SheetScript {
    explicit SheetScript(std::function<void(LEDPropertySheet*)> script) : script_(std::move(script)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* sheet = qobject_cast<LEDPropertySheet*>(QApplication::activeModalWidget());
            if (sheet != nullptr && !ran) {
                ran = true;
                seen = sheet;
                script_(sheet);
                if (sheet->isVisible()) {
                    sheet->reject();
                }
            }
        });
        timer_.start();
    }
    bool ran = false;
    QObject* seen = nullptr;

private:
    std::function<void(LEDPropertySheet*)> script_;
    QTimer timer_;
};

// A form editor with nothing but an extension manager: no form windows at all.
struct BareCore : QDesignerFormEditorInterface {
    BareCore() { setExtensionManager(new QExtensionManager(this)); }
};

QAction* editAction(QDesignerFormEditorInterface* core, QWidget* widget) {
    auto* menu = qt_extension<QDesignerTaskMenuExtension*>(core->extensionManager(), widget);
    if (menu == nullptr) {
        return nullptr;
    }
    for (QAction* action : menu->taskActions()) {
        if (action->text() == "Edit LED Properties...") {
            return action;
        }
    }
    return nullptr;
}

}  // namespace ledpage_test
