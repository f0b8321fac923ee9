// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

// LEDProperties: the LED's own property page. It edits Value, ValueIsMask, ShowDecimal and
// ShowBorder of the first selected control, reaching it only through properties of those names,
// so it works with any object that has them. Apply writes the three flags first and Value last,
// so a value is checked against the mode applied with it.
#pragma once

#include <LED/LEDPropertyPage.h>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class LEDPropertiesPrivate;

class LED_EXPORT LEDProperties : public LEDPropertyPage {
    Q_OBJECT

public:
    explicit LEDProperties(QWidget* parent = nullptr);
    ~LEDProperties() override;

    // The page's controls, by their object names.
    QCheckBox* chkShowBorder() const;
    QCheckBox* chkShowDecimal() const;
    QCheckBox* chkValueIsMask() const;
    QLineEdit* txtValue() const;
    QLabel* lblValue() const;

protected:
    // Reads ShowBorder, ShowDecimal, ValueIsMask (each And 1) and Value as decimal text.
    std::optional<LEDPageError> loadFrom(QObject* control) override;
    // Writes the three flags, then the value text converted to a 16-bit number: text that is no
    // number is a type mismatch and a number beyond 16 bits an overflow, reported to the host
    // with the flags already written; a number the control refuses is the control's to report.
    std::optional<LEDPageError> applyTo(QObject* control) override;

private:
    std::unique_ptr<LEDPropertiesPrivate> d;
};
