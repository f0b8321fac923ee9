// The colour page of the LED's property sheet: LEDColorOn and LEDColorOff of the first selected
// control, as OLE colours (0x00BBGGRR, or a system colour with the high bit set).
#pragma once

#include <LED/LEDPropertyPage.h>

#include <QColor>

#include <array>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;

class LED_EXPORT LEDColorPage : public LEDPropertyPage {
    Q_OBJECT

public:
    // Asks the user for a colour, starting from `initial`; nothing when the user cancels.
    using ColorChooser = std::function<std::optional<QColor>(const QColor& initial, QWidget* parent)>;

    enum Which { ColorOn = 0, ColorOff = 1 };

    explicit LEDColorPage(QWidget* parent = nullptr);
    ~LEDColorPage() override;

    // Replaces the colour dialog (tests script it).
    void setColorChooser(ColorChooser chooser);

    // The colour the page holds for LEDColorOn or LEDColorOff, as an OLE colour.
    quint32 color(Which which) const { return colors_[which]; }
    // Sets it as an edit would: the page becomes changed.
    void setColor(Which which, quint32 oleColor);

    QPushButton* swatch(Which which) const { return swatches_[which]; }

protected:
    void loadFrom(QObject* control) override;
    // Writes LEDColorOn, then LEDColorOff.
    std::optional<LEDApplyError> applyTo(QObject* control) override;
    void changeEvent(QEvent* event) override;

private:
    void choose(Which which);
    void showColor(Which which);

    ColorChooser chooser_;
    std::array<quint32, 2> colors_{};
    std::array<QPushButton*, 2> swatches_{};
    std::array<QLabel*, 2> codes_{};
};
