// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

// The colour page of the LED's property sheet: LEDColorOn and LEDColorOff of the first selected
// control, as OLE colours (0x00BBGGRR, or a system colour with the high bit set).
#pragma once

#include <LED/LEDPropertyPage.h>

#include <QColor>

#include <functional>
#include <memory>
#include <optional>

class QPushButton;
class LEDColorPagePrivate;

class LED_EXPORT LEDColorPage : public LEDPropertyPage {
    Q_OBJECT

public:
    // Asks the user for a colour, starting from `initial`; nothing when the user cancels.
    using ColorChooser = std::function<std::optional<QColor>(const QColor& initial, QWidget* parent)>;

    enum Which { ColorOn = 0, ColorOff = 1 };

    explicit LEDColorPage(QWidget* parent = nullptr);
    ~LEDColorPage() override;

    // Replaces the colour dialog (a host with its own picker, or a test).
    void setColorChooser(ColorChooser chooser);

    // The colour the page holds for LEDColorOn or LEDColorOff, as an OLE colour.
    quint32 color(Which which) const;
    // Sets it as an edit would: the page becomes changed.
    void setColor(Which which, quint32 oleColor);

    // The button that shows a colour and opens the chooser.
    QPushButton* swatch(Which which) const;

protected:
    std::optional<LEDPageError> loadFrom(QObject* control) override;
    // Writes LEDColorOn, then LEDColorOff.
    std::optional<LEDPageError> applyTo(QObject* control) override;
    void changeEvent(QEvent* event) override;

private:
    std::unique_ptr<LEDColorPagePrivate> d;
};
