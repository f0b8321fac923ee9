// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

#include <LED/LED.h>
#include <LED/LEDProperties.h>

#include "../src/LED_p.h"
#include "ui_LEDProperties.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace {

// A Boolean property shown as a check box: checked when the value And 1 is 1, so a control that
// stores True as -1 (all bits set) or 1 reads the same.
Qt::CheckState checkStateOf(const QVariant& value) {
    return (value.toLongLong() & 1) == 1 ? Qt::Checked : Qt::Unchecked;
}

}  // namespace

class LEDPropertiesPrivate {
public:
    Ui::LEDProperties ui;
};

LEDProperties::LEDProperties(QWidget* parent)
    : LEDPropertyPage(parent), d(std::make_unique<LEDPropertiesPrivate>()) {
    d->ui.setupUi(this);
    // The page's client area is fixed; the sheet sizes itself around it.
    setFixedSize(size());
    connect(d->ui.chkShowBorder, &QCheckBox::toggled, this, [this] { markChanged(); });
    connect(d->ui.chkShowDecimal, &QCheckBox::toggled, this, [this] { markChanged(); });
    connect(d->ui.chkValueIsMask, &QCheckBox::toggled, this, [this] { markChanged(); });
    connect(d->ui.txtValue, &QLineEdit::textChanged, this, [this] { markChanged(); });
}

LEDProperties::~LEDProperties() = default;

QCheckBox* LEDProperties::chkShowBorder() const {
    return d->ui.chkShowBorder;
}
QCheckBox* LEDProperties::chkShowDecimal() const {
    return d->ui.chkShowDecimal;
}
QCheckBox* LEDProperties::chkValueIsMask() const {
    return d->ui.chkValueIsMask;
}
QLineEdit* LEDProperties::txtValue() const {
    return d->ui.txtValue;
}
QLabel* LEDProperties::lblValue() const {
    return d->ui.lblValue;
}

std::optional<LEDPageError> LEDProperties::loadFrom(QObject* control) {
    QVariant showBorder, showDecimal, valueIsMask, value;
    for (auto [name, target] : {std::pair{"ShowBorder", &showBorder}, std::pair{"ShowDecimal", &showDecimal},
                                std::pair{"ValueIsMask", &valueIsMask}, std::pair{"Value", &value}}) {
        if (auto error = readProperty(control, name, *target)) {
            return error;
        }
    }
    d->ui.chkShowBorder->setCheckState(checkStateOf(showBorder));
    d->ui.chkShowDecimal->setCheckState(checkStateOf(showDecimal));
    d->ui.chkValueIsMask->setCheckState(checkStateOf(valueIsMask));
    d->ui.txtValue->setText(QString::number(value.toLongLong()));
    return std::nullopt;
}

std::optional<LEDPageError> LEDProperties::applyTo(QObject* control) {
    if (auto e = writeProperty(control, "ShowBorder", d->ui.chkShowBorder->isChecked())) {
        return e;
    }
    if (auto e = writeProperty(control, "ShowDecimal", d->ui.chkShowDecimal->isChecked())) {
        return e;
    }
    if (auto e = writeProperty(control, "ValueIsMask", d->ui.chkValueIsMask->isChecked())) {
        return e;
    }
    // The text becomes a 16-bit number the way a dispatch converts an argument, before the
    // control's setter runs: its errors belong to the host in either mode. The setter then checks
    // the number against the mode (and in design mode reports a refusal itself).
    qint16 value = 0;
    const QString text = d->ui.txtValue->text();
    if (auto e = guardedWrite("Value", [&] { value = LEDPrivate::toInt16(text, QStringLiteral("Value")); })) {
        return e;
    }
    if (auto* led = qobject_cast<LED*>(control)) {
        return guardedWrite("Value", [&] { led->setValue(value); });
    }
    return writeProperty(control, "Value", QVariant::fromValue(value));
}
