#include <LED/LED.h>
#include <LED/LEDProperties.h>

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

LEDProperties::LEDProperties(QWidget* parent)
    : LEDPropertyPage(parent), ui_(std::make_unique<Ui::LEDProperties>()) {
    ui_->setupUi(this);
    // The page's client area is fixed; the sheet sizes itself around it.
    setFixedSize(size());
    connect(ui_->chkShowBorder, &QCheckBox::toggled, this, [this] { markChanged(); });
    connect(ui_->chkShowDecimal, &QCheckBox::toggled, this, [this] { markChanged(); });
    connect(ui_->chkValueIsMask, &QCheckBox::toggled, this, [this] { markChanged(); });
    connect(ui_->txtValue, &QLineEdit::textChanged, this, [this] { markChanged(); });
}

LEDProperties::~LEDProperties() = default;

QCheckBox* LEDProperties::chkShowBorder() const {
    return ui_->chkShowBorder;
}
QCheckBox* LEDProperties::chkShowDecimal() const {
    return ui_->chkShowDecimal;
}
QCheckBox* LEDProperties::chkValueIsMask() const {
    return ui_->chkValueIsMask;
}
QLineEdit* LEDProperties::txtValue() const {
    return ui_->txtValue;
}
QLabel* LEDProperties::lblValue() const {
    return ui_->lblValue;
}

void LEDProperties::loadFrom(QObject* control) {
    ui_->chkShowBorder->setCheckState(checkStateOf(control->property("ShowBorder")));
    ui_->chkShowDecimal->setCheckState(checkStateOf(control->property("ShowDecimal")));
    ui_->chkValueIsMask->setCheckState(checkStateOf(control->property("ValueIsMask")));
    ui_->txtValue->setText(QString::number(control->property("Value").toLongLong()));
}

std::optional<LEDApplyError> LEDProperties::applyTo(QObject* control) {
    if (auto e = writeProperty(control, "ShowBorder", ui_->chkShowBorder->isChecked())) {
        return e;
    }
    if (auto e = writeProperty(control, "ShowDecimal", ui_->chkShowDecimal->isChecked())) {
        return e;
    }
    if (auto e = writeProperty(control, "ValueIsMask", ui_->chkValueIsMask->isChecked())) {
        return e;
    }
    // The text goes to the control as it is; turning it into a 16-bit number is the control's
    // conversion, with its type-mismatch and overflow errors.
    const QString text = ui_->txtValue->text();
    if (auto* led = qobject_cast<LED*>(control)) {
        return guardedWrite("Value", [&] { led->setValueFromVariant(text); });
    }
    qint16 value = 0;
    if (auto e = guardedWrite("Value", [&] { value = LED::toInt16(text, QStringLiteral("Value")); })) {
        return e;
    }
    return writeProperty(control, "Value", QVariant::fromValue(value));
}
