// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

// What assistive technology learns about an LED: static text whose name is the digit it shows
// (nothing for a segment pattern), unless the host gave the widget a name of its own.
#include <LED/LED.h>

#include <QAccessible>
#include <QAccessibleWidget>

#include "LED_p.h"

namespace {

class LEDAccessible : public QAccessibleWidget {
public:
    explicit LEDAccessible(LED* led) : QAccessibleWidget(led, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        const QString digit = LEDPrivate::get(led())->shownDigitText();
        switch (t) {
            case QAccessible::Name: {
                const QString name = led()->accessibleName();
                return name.isEmpty() ? digit : name;
            }
            case QAccessible::Value:
                return digit;
            default:
                return QAccessibleWidget::text(t);
        }
    }

private:
    LED* led() const { return static_cast<LED*>(widget()); }
};

QAccessibleInterface* ledAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("LED") && object != nullptr && object->isWidgetType()) {
        if (auto* led = qobject_cast<LED*>(object)) {
            return new LEDAccessible(led);
        }
    }
    return nullptr;
}

}  // namespace

// Installed once, by the first LED. The factory is taken out again when the library goes (a
// host may unload a plugin that brought it); the installer is created after Qt's factory list,
// so it is destroyed before that list.
void ledInstallAccessibility() {
    static const struct Installer {
        Installer() { QAccessible::installFactory(ledAccessibleFactory); }
        ~Installer() { QAccessible::removeFactory(ledAccessibleFactory); }
    } installer;
}
