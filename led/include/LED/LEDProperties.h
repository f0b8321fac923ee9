// The LED's own property page: Value, ValueIsMask, ShowDecimal and ShowBorder of the first
// selected control. It reaches the control only through properties of those names, so it works
// with any object that has them.
#pragma once

#include <LED/LEDPropertyPage.h>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace Ui {
class LEDProperties;
}

class LED_EXPORT LEDProperties : public LEDPropertyPage {
    Q_OBJECT

public:
    explicit LEDProperties(QWidget* parent = nullptr);
    ~LEDProperties() override;

    QCheckBox* chkShowBorder() const;
    QCheckBox* chkShowDecimal() const;
    QCheckBox* chkValueIsMask() const;
    QLineEdit* txtValue() const;
    QLabel* lblValue() const;

protected:
    // Reads ShowBorder, ShowDecimal, ValueIsMask (each And 1) and Value as decimal text.
    void loadFrom(QObject* control) override;
    // Writes the three flags, then the value text, so the value is checked against the mode
    // being applied with it. Stops at the first failing write; earlier writes stay made.
    std::optional<LEDApplyError> applyTo(QObject* control) override;

private:
    std::unique_ptr<Ui::LEDProperties> ui_;
};
