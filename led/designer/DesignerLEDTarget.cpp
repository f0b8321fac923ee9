// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

#include "DesignerLEDTarget.h"

#include <LED/LED.h>

#include <QDesignerFormEditorInterface>
#include <QDesignerFormWindowCursorInterface>
#include <QDesignerFormWindowInterface>
#include <QDesignerPropertyEditorInterface>
#include <QDesignerPropertySheetExtension>
#include <QExtensionManager>

#include <cstring>
#include <stdexcept>

DesignerLEDTarget::DesignerLEDTarget(LED* led, QDesignerFormWindowInterface* form, QObject* parent)
    : QObject(parent), led_(led), form_(form) {}

DesignerLEDTarget::~DesignerLEDTarget() = default;

LED* DesignerLEDTarget::ledOrThrow() const {
    if (led_.isNull()) {
        throw std::runtime_error("The LED control no longer exists.");
    }
    return led_.data();
}

// Reads of a destroyed LED give its defaults; only writes report that it is gone.
bool DesignerLEDTarget::showBorder() const {
    return led_ && led_->ShowBorder();
}
bool DesignerLEDTarget::showDecimal() const {
    return led_ && led_->ShowDecimal();
}
bool DesignerLEDTarget::valueIsMask() const {
    return led_ && led_->ValueIsMask();
}
qint16 DesignerLEDTarget::value() const {
    return led_ ? qint16(led_->Value()) : qint16(0);
}
quint32 DesignerLEDTarget::ledColorOn() const {
    return led_ ? led_->LEDColorOn() : LED::DefaultColorOn;
}
quint32 DesignerLEDTarget::ledColorOff() const {
    return led_ ? led_->LEDColorOff() : LED::DefaultColorOff;
}

bool DesignerLEDTarget::isDefault(const char* name, const QVariant& value) {
    if (std::strcmp(name, "LEDColorOn") == 0) {
        return value.toUInt() == LED::DefaultColorOn;
    }
    if (std::strcmp(name, "LEDColorOff") == 0) {
        return value.toUInt() == LED::DefaultColorOff;
    }
    if (std::strcmp(name, "BackStyle") == 0) {
        return value.toInt() == LED::Transparent;
    }
    // Value, ValueIsMask, ShowDecimal and ShowBorder all default to 0 / False.
    return value.toLongLong() == 0;
}

void DesignerLEDTarget::write(const char* name, const QVariant& value) {
    LED* led = ledOrThrow();
    if (form_.isNull()) {
        led->setProperty(name, value);
        return;
    }
    const QString property = QString::fromLatin1(name);
    // A command on the form's undo stack: it calls the LED's own setter (checks, design-mode
    // error box, redraw) and marks the form modified.
    form_->cursor()->setWidgetProperty(led, property, value);

    // Designer saves the properties it marks changed. The command marks this one changed even when
    // it ended at the default (a digit overflow stores 0), so the mark is taken back then and the
    // saved form stays free of defaults.
    QDesignerFormEditorInterface* core = form_->core();
    auto* sheet = qt_extension<QDesignerPropertySheetExtension*>(core->extensionManager(), led);
    if (sheet == nullptr) {
        return;
    }
    const int index = sheet->indexOf(property);
    const QVariant stored = led->property(name);
    if (index >= 0 && isDefault(name, stored)) {
        sheet->setChanged(index, false);
        if (QDesignerPropertyEditorInterface* editor = core->propertyEditor();
            editor && editor->object() == led) {
            editor->setPropertyValue(property, stored, false);
        }
    }
}
