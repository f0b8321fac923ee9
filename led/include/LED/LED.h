// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

// LED: a seven-segment digit widget with a decimal point.
//
// #include <LED/LED.h>, and link LED::LED from find_package(LED).
//
// Texts (error descriptions, the property pages, the Designer entries) are in Portuguese and
// English. The library installs its own translator when the QApplication is created (or when it is
// loaded into a running one): English when the user's languages put English before Portuguese,
// Portuguese otherwise. A host needs to do nothing.
#pragma once

#include <LED/led_export.h>

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include <exception>
#include <memory>

class QColor;
class QPalette;
class LEDErrorPrivate;
class LEDMemoryPropertyBagPrivate;
class LEDPrivate;

// LEDError is what a refused value costs the caller in run mode. Every error the widget raises
// carries an automation error number, so a host that only wants to know "which fault" compares
// number(): 0x80040064 for a digit outside 0 to 9, 0x800400C8 for a segment mask outside 0 to
// 127, and the conversion errors of LEDConversionError below. description() is a sentence for
// the user. Copies are cheap and share their text.
class LED_EXPORT LEDError : public std::exception {
public:
    // An error of the widget itself: code 100 (LED::LEDOverFlow) or 200 (LED::LEDInvalidMask);
    // its number is 0x80040000 plus the code.
    LEDError(int code, const QString& description);
    LEDError(const LEDError& other) noexcept;
    LEDError& operator=(const LEDError& other) noexcept;
    ~LEDError() override;

    // The automation error number, as a signed 32-bit value.
    qint32 number() const noexcept;
    // 100 or 200 for the widget's own errors, 0 for a conversion error.
    int code() const noexcept;
    QString description() const;
    const char* what() const noexcept override;

protected:
    explicit LEDError(std::shared_ptr<const LEDErrorPrivate> d) noexcept;
    const LEDErrorPrivate* d_func() const noexcept { return d.get(); }

private:
    std::shared_ptr<const LEDErrorPrivate> d;
};

// A value that cannot become a property's type, converted the way an automation dispatch
// converts arguments: text that is empty or no number is a type mismatch (0x80020005), a number
// outside the type's range an overflow (0x8002000A), and a background mode other than
// Transparent or Opaque an invalid property value (0x800A017C). The property keeps its value.
class LED_EXPORT LEDConversionError : public LEDError {
public:
    enum class Kind { TypeMismatch, Overflow, InvalidPropertyValue };

    // `subject` names the property, stored key or layout length that failed; `message` says why.
    LEDConversionError(Kind kind, const QString& subject, const QString& message);
    ~LEDConversionError() override;

    Kind kind() const noexcept;
    QString subject() const;
    QString message() const;
};

// Where a container keeps an LED's properties between sessions (a form, a settings file).
// read() returns the stored value of `key`, or `defaultValue` when the bag holds none; write()
// may leave out a value equal to `defaultValue`, so a bag holds only what differs from a new LED.
class LED_EXPORT LEDPropertyBag {
public:
    LEDPropertyBag();
    virtual ~LEDPropertyBag();
    virtual QVariant read(const QString& key, const QVariant& defaultValue) const = 0;
    virtual void write(const QString& key, const QVariant& value, const QVariant& defaultValue) = 0;

private:
    LEDPropertyBag(const LEDPropertyBag&) = delete;
    LEDPropertyBag& operator=(const LEDPropertyBag&) = delete;
};

// A property bag held in memory. write() leaves out a value equal to its default (and forgets
// one stored before); keys() lists the stored keys in the order they were first written.
class LED_EXPORT LEDMemoryPropertyBag : public LEDPropertyBag {
public:
    LEDMemoryPropertyBag();
    ~LEDMemoryPropertyBag() override;

    QVariant read(const QString& key, const QVariant& defaultValue) const override;
    void write(const QString& key, const QVariant& value, const QVariant& defaultValue) override;

    // Stores `value` under `key` as it is, default or not: a container filling the bag itself.
    void set(const QString& key, const QVariant& value);
    void remove(const QString& key);
    void clear();
    bool contains(const QString& key) const;
    // The stored value, or an invalid QVariant.
    QVariant value(const QString& key) const;
    QStringList keys() const;
    bool isEmpty() const;

private:
    std::unique_ptr<LEDMemoryPropertyBagPrivate> d;
};

// Colours are OLE colours: 0x00BBGGRR, or a system colour with the high bit set and a classic
// system colour index (0 to 30) in the low byte. These turn one into a QColor, resolving system
// colours through `palette` (an unknown index gives its window text colour), and back.
LED_EXPORT QColor ledOleColorToQColor(quint32 oleColor, const QPalette& palette);
LED_EXPORT quint32 ledQColorToOleColor(const QColor& colour);

// LED shows one seven-segment digit and a decimal point, like a single digit of a clock radio.
//
// Value is a digit 0 to 9. With ValueIsMask set, Value is instead a pattern of segments, one bit
// each (bit 0 top, 1 middle, 2 bottom, 3 upper left, 4 upper right, 5 lower left, 6 lower right),
// 0 to 127, for letters and signs. Lit segments and a lit decimal point take LEDColorOn, the
// others LEDColorOff: unlit segments stay visible, as on a real display. The digit scales with the
// widget; its design size is 1272 x 1716 twips (85 x 114 pixels at 96 dpi).
//
// A value the mode does not allow is refused. In run mode (the default) the setter throws an
// LEDError and the widget keeps its old value; in design mode, which a form editor sets, the
// widget shows the error in an "LED Error" message box instead, never throws, and stores 0.
// A setter reached through a signal or a queued call (QMetaObject::invokeMethod) never throws,
// since an exception must not unwind through the emitter or the event loop: the widget keeps its
// old value, emits refused() with the error's number and description and logs a warning, as
// QLCDNumber emits overflow(). Call the setter directly (not from a signal) to get the LEDError.
// Every setter emits PropertyChanged with the property's name each time it stores, changed or not
// (ValueIsMask only when it changes), so a container knows its saved form is out of date; the
// per-property signals follow Qt's custom and fire only when the value really changes.
//
// The property names, the numbers of the two enums and the dispatch ids below are fixed: forms,
// settings and hosts that address properties by id rely on them.
class LED_EXPORT LED : public QWidget {
    Q_OBJECT
    // ValueIsMask is declared first: forms apply properties in declaration order, and a mask must
    // meet its mode before it is checked.
    Q_PROPERTY(bool ValueIsMask READ ValueIsMask WRITE setValueIsMask NOTIFY valueIsMaskChanged)
    // Any number or numeric text is accepted here and converted like a dispatch argument, so a
    // host that sets Value by name meets the same errors as every other caller.
    Q_PROPERTY(QVariant Value READ Value WRITE setValueFromVariant NOTIFY valueChanged)
    Q_PROPERTY(bool ShowDecimal READ ShowDecimal WRITE setShowDecimal NOTIFY showDecimalChanged)
    Q_PROPERTY(bool ShowBorder READ ShowBorder WRITE setShowBorder NOTIFY showBorderChanged)
    Q_PROPERTY(quint32 LEDColorOn READ LEDColorOn WRITE setLEDColorOn NOTIFY ledColorOnChanged)
    Q_PROPERTY(quint32 LEDColorOff READ LEDColorOff WRITE setLEDColorOff NOTIFY ledColorOffChanged)
    Q_PROPERTY(BackStyleType BackStyle READ BackStyle WRITE setBackStyle NOTIFY backStyleChanged)

public:
    // The widget's own error codes; LEDError::number() is 0x80040000 plus the code.
    enum LEDErrorType : int { LEDOverFlow = 100, LEDInvalidMask = 200 };
    Q_ENUM(LEDErrorType)
    // Transparent paints only the digit, so the parent shows through; Opaque fills light grey.
    // Any int is a valid BackStyleType, so a stored out-of-range mode reaches the setter's check.
    enum BackStyleType : int { Transparent = 0, Opaque = 1 };
    Q_ENUM(BackStyleType)

    // Dispatch ids of the seven properties, for dispatchGet() and dispatchSet().
    static constexpr qint32 DispIdValue = 0x68030006;
    static constexpr qint32 DispIdValueIsMask = 0x68030005;
    static constexpr qint32 DispIdShowDecimal = 0x68030004;
    static constexpr qint32 DispIdShowBorder = 0x68030003;
    static constexpr qint32 DispIdLEDColorOn = 0x68030002;
    static constexpr qint32 DispIdLEDColorOff = 0x68030001;
    static constexpr qint32 DispIdBackStyle = 0x68030000;

    // Error numbers (LEDError::number()) of the widget's own errors and of the conversions.
    static constexpr qint32 ErrorNumberOverFlow = qint32(0x80040064u);
    static constexpr qint32 ErrorNumberInvalidMask = qint32(0x800400C8u);
    static constexpr qint32 ErrorNumberTypeMismatch = qint32(0x80020005u);
    static constexpr qint32 ErrorNumberOverflow = qint32(0x8002000Au);
    static constexpr qint32 ErrorNumberInvalidPropertyValue = qint32(0x800A017Cu);

    static constexpr quint32 DefaultColorOn = 0x0000FF00u;   // pure green
    static constexpr quint32 DefaultColorOff = 0x00000000u;  // black
    static constexpr quint32 OpaqueBackColor = 0x00C0C0C0u;  // light grey

    // A new LED shows a green 0 on a transparent background at its design size, in run mode.
    explicit LED(QWidget* parent = nullptr);
    ~LED() override;

    // Value: the digit (0 to 9), or the segment mask (0 to 127) with ValueIsMask.
    int Value() const;
    // ValueIsMask: Value is a segment mask rather than a digit.
    bool ValueIsMask() const;
    // ShowDecimal: the decimal point is lit.
    bool ShowDecimal() const;
    // ShowBorder: a single line frames the widget; the digit keeps its place until the next resize.
    bool ShowBorder() const;
    // LEDColorOn and LEDColorOff: OLE colours of lit and unlit segments and decimal point.
    quint32 LEDColorOn() const;
    quint32 LEDColorOff() const;
    // BackStyle: Transparent or Opaque.
    BackStyleType BackStyle() const;

    // The segments on display: Value in mask mode, else the digit's pattern (none for a number
    // that is no digit, which a mode switch can leave behind).
    int displayedMask() const;
    // The segment pattern of a digit 0 to 9, 0 for any other number.
    static int DigitToMask(int digit);
    // The user's sentence for error code 100 or 200; "Unknown Error!" for any other code.
    static QString errorDescription(int code);

    // Design mode: errors show the "LED Error" box instead of throwing, and a refused Value
    // becomes 0. A form editor turns it on for the LEDs on its forms.
    void setDesignMode(bool designMode);
    bool designMode() const;

    // Reads or writes a property by dispatch id, converting `value` like a dispatch argument.
    // An id that is none of the seven throws std::invalid_argument.
    QVariant dispatchGet(qint32 dispId) const;
    void dispatchSet(qint32 dispId, const QVariant& value);

    // A container's hooks. InitProperties gives a newly placed LED its defaults, silently.
    // ReadProperties restores a saved LED: it starts from a blank control (every field 0,
    // Transparent, no border) and applies the seven keys in turn through the setters; in run mode
    // it stops at the first key that fails and throws, leaving the later ones at 0. In design mode
    // a failing key is reported in the box and skipped. WriteProperties stores the seven keys,
    // leaving out defaults.
    void UserControl_InitProperties();
    void UserControl_ReadProperties(const LEDPropertyBag& PropBag);
    void UserControl_WriteProperties(LEDPropertyBag& PropBag) const;
    // Lays the digit out for the current size. Throws LEDConversionError (Overflow) for a size
    // so large that a length no longer fits 16 bits; the digit then keeps its last layout.
    void UserControl_Resize();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public Q_SLOTS:
    // Checks New_Value against the mode: run mode throws LEDError (0x80040064 for a digit,
    // 0x800400C8 for a mask) and keeps the old value; design mode shows the box and stores 0.
    // A number outside -32768 to 32767 is an overflow (LEDConversionError) in either mode and
    // changes nothing. Connectable: connect(spin, &QSpinBox::valueChanged, led, &LED::setValue);
    // reached through a signal or a queued call, a refused value emits refused() instead of throwing.
    void setValue(int New_Value);
    // Sets Value from a number or numeric text, converted like a dispatch argument (rounded half
    // to even); text that is no number is a type mismatch. Then as setValue().
    void setValueFromVariant(const QVariant& New_Value);
    // Changes nothing when the flag is already so; Value is not checked again.
    void setValueIsMask(bool New_ValueIsMask);
    void setShowDecimal(bool New_ShowDecimal);
    void setShowBorder(bool New_ShowBorder);
    void setLEDColorOn(quint32 New_LEDColorOn);
    void setLEDColorOff(quint32 New_LEDColorOff);
    // A mode other than Transparent or Opaque is an invalid property value and changes nothing.
    void setBackStyle(LED::BackStyleType New_BackStyle);

Q_SIGNALS:
    // A setter stored a persisted property (its name), whether or not the value changed.
    void PropertyChanged(const QString& name);
    void valueChanged(int value);
    void valueIsMaskChanged(bool valueIsMask);
    void showDecimalChanged(bool showDecimal);
    void showBorderChanged(bool showBorder);
    void ledColorOnChanged(quint32 colour);
    void ledColorOffChanged(quint32 colour);
    void backStyleChanged(LED::BackStyleType backStyle);
    // A setter reached through a signal or a queued call refused its value (and kept the old one): the
    // error's automation number (LEDError::number()) and its description.
    void refused(qint32 number, const QString& description);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class LEDPrivate;
    std::unique_ptr<LEDPrivate> d;
};
