// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

// What the property pages edit when they run inside Qt Designer: an object with the pages'
// property names that forwards every write to one LED on a form through the form's cursor, so
// each write is an undoable Designer command and the form knows it changed.
#pragma once

#include <LED/LED.h>

#include <QObject>
#include <QPointer>
#include <QVariant>

class QDesignerFormWindowInterface;

class DesignerLEDTarget : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool ShowBorder READ showBorder WRITE setShowBorder)
    Q_PROPERTY(bool ShowDecimal READ showDecimal WRITE setShowDecimal)
    Q_PROPERTY(bool ValueIsMask READ valueIsMask WRITE setValueIsMask)
    Q_PROPERTY(qint16 Value READ value WRITE setValue)
    Q_PROPERTY(quint32 LEDColorOn READ ledColorOn WRITE setLEDColorOn)
    Q_PROPERTY(quint32 LEDColorOff READ ledColorOff WRITE setLEDColorOff)

public:
    // Without a form window the writes go straight to `led`.
    DesignerLEDTarget(LED* led, QDesignerFormWindowInterface* form, QObject* parent = nullptr);
    ~DesignerLEDTarget() override;

    LED* led() const { return led_.data(); }

    bool showBorder() const;
    void setShowBorder(bool on) { write("ShowBorder", QVariant(on)); }
    bool showDecimal() const;
    void setShowDecimal(bool on) { write("ShowDecimal", QVariant(on)); }
    bool valueIsMask() const;
    void setValueIsMask(bool on) { write("ValueIsMask", QVariant(on)); }
    qint16 value() const;
    void setValue(qint16 value) { write("Value", QVariant(int(value))); }
    quint32 ledColorOn() const;
    void setLEDColorOn(quint32 colour) { write("LEDColorOn", QVariant::fromValue(colour)); }
    quint32 ledColorOff() const;
    void setLEDColorOff(quint32 colour) { write("LEDColorOff", QVariant::fromValue(colour)); }

    // True when `name` holds the value a newly placed LED has, so a form need not store it.
    static bool isDefault(const char* name, const QVariant& value);

private:
    // Throws std::runtime_error when the LED has been destroyed.
    void write(const char* name, const QVariant& value);
    LED* ledOrThrow() const;

    QPointer<LED> led_;
    QPointer<QDesignerFormWindowInterface> form_;
};
