// LED: a seven-segment digit widget with a decimal point.
//
// The widget keeps its eight drawing objects (seven line segments and the decimal point) as a
// model in twips (1/1440 inch) and paints them after its background. Its seven properties are
// Q_PROPERTYs whose names, types and numbers are part of the library's contract: containers store
// them, and hosts address them by name or by dispatch id.
#pragma once

#include <LED/led_export.h>

#include <QColor>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include <array>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QPalette;

// An error the control reports in run mode: an out-of-range Value. number() is the automation
// error number, 0x80040000 plus code(), as a signed 32-bit value.
class LED_EXPORT LEDError : public std::exception {
public:
    LEDError(int code, QString description);
    ~LEDError() override;

    qint32 number() const noexcept { return number_; }
    int code() const noexcept { return code_; }
    QString description() const { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    qint32 number_;
    int code_;
    QString description_;
    std::string what_;
};

// A value that cannot be turned into a property's type, the way an automation dispatch converts
// arguments: text that is not a number is a type mismatch, a number outside the type's range an
// overflow. A background mode other than Transparent or Opaque is an invalid property value.
class LED_EXPORT LEDConversionError : public std::exception {
public:
    enum class Kind { TypeMismatch, Overflow, InvalidPropertyValue };

    // `what` names the property, bag key or layout length that failed.
    LEDConversionError(Kind kind, QString what, QString message);
    ~LEDConversionError() override;

    Kind kind() const noexcept { return kind_; }
    // The automation status: DISP_E_TYPEMISMATCH 0x80020005, DISP_E_OVERFLOW 0x8002000A or
    // CTL_E_INVALIDPROPERTYVALUE 0x800A017C, as signed 32-bit values.
    qint32 number() const noexcept;
    QString subject() const { return subject_; }
    QString message() const { return message_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    Kind kind_;
    QString subject_;
    QString message_;
    std::string what_;
};

// Where a container keeps an instance's properties. read() returns the stored value of `key`, or
// `defaultValue` when there is none; write() may omit a value equal to `defaultValue`.
class LED_EXPORT PropertyBag {
public:
    virtual ~PropertyBag();
    virtual QVariant read(const QString& key, const QVariant& defaultValue) const = 0;
    virtual void write(const QString& key, const QVariant& value, const QVariant& defaultValue) = 0;
};

// A bag held in memory. write() omits a value equal to its default (and forgets a key stored
// before); keys() lists the stored keys in the order they were first written.
class LED_EXPORT MemoryPropertyBag : public PropertyBag {
public:
    MemoryPropertyBag();
    ~MemoryPropertyBag() override;

    QVariant read(const QString& key, const QVariant& defaultValue) const override;
    void write(const QString& key, const QVariant& value, const QVariant& defaultValue) override;

    // Stores `value` under `key` as it is, default or not (a container filling the bag itself).
    void set(const QString& key, const QVariant& value);
    void remove(const QString& key);
    void clear();
    bool contains(const QString& key) const;
    QVariant value(const QString& key) const;
    QStringList keys() const;
    bool isEmpty() const { return entries_.empty(); }

private:
    std::vector<std::pair<QString, QVariant>> entries_;
};

// One line segment of the layout: end points in twips from the inner top-left corner, thickness
// in pixels, colour as an OLE colour (0x00BBGGRR, or a system colour with the high bit set).
struct LEDSegmentLine {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int width = 0;
    quint32 colour = 0;
};

// The decimal point: a solid circle inside its bounding box (twips), fill and outline colours.
struct LEDDot {
    float left = 0, top = 0, width = 0, height = 0;
    quint32 fill = 0, outline = 0;
};

// Positions and thickness of the eight objects for one inner size; no colours.
struct LEDGeometry {
    qint16 margin = 0;   // b: distance of the outer segments from the edges
    qint16 gap = 0;      // g: how far segments stop short of corners and the middle
    qint16 dotSize = 0;  // d: diameter of the decimal point
    int segmentWidth = 0;
    struct Line {
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    };
    std::array<Line, 7> lines{};
    float dotLeft = 0, dotTop = 0, dotWidth = 0, dotHeight = 0;
};

// OLE colour <-> QColor. System colours (high bit set, low byte a system colour index) resolve
// through `palette`; an unknown index resolves to the palette's window text colour.
LED_EXPORT QColor ledOleColorToQColor(quint32 oleColor, const QPalette& palette);
LED_EXPORT quint32 ledQColorToOleColor(const QColor& colour);

class LED_EXPORT LED : public QWidget {
    Q_OBJECT
    // ValueIsMask comes first: forms and Designer apply properties in declaration order, and a
    // mask must be checked against the mask mode it is stored with. Value is an int here only
    // because Designer and .ui files cannot hold a 16-bit property; the model stays 16-bit.
    Q_PROPERTY(bool ValueIsMask READ valueIsMask WRITE setValueIsMask)
    Q_PROPERTY(int Value READ value WRITE setValue)
    Q_PROPERTY(bool ShowDecimal READ showDecimal WRITE setShowDecimal)
    Q_PROPERTY(bool ShowBorder READ showBorder WRITE setShowBorder)
    Q_PROPERTY(quint32 LEDColorOn READ ledColorOn WRITE setLEDColorOn)
    Q_PROPERTY(quint32 LEDColorOff READ ledColorOff WRITE setLEDColorOff)
    Q_PROPERTY(BackStyleType BackStyle READ backStyle WRITE setBackStyle)

public:
    enum LEDErrorType { LEDOverFlow = 100, LEDInvalidMask = 200 };
    Q_ENUM(LEDErrorType)
    enum BackStyleType { Transparent = 0, Opaque = 1 };
    Q_ENUM(BackStyleType)

    // Dispatch ids of the seven properties; hosts that bind by id rely on these numbers.
    static constexpr qint32 DispIdValue = 0x68030006;
    static constexpr qint32 DispIdValueIsMask = 0x68030005;
    static constexpr qint32 DispIdShowDecimal = 0x68030004;
    static constexpr qint32 DispIdShowBorder = 0x68030003;
    static constexpr qint32 DispIdLEDColorOn = 0x68030002;
    static constexpr qint32 DispIdLEDColorOff = 0x68030001;
    static constexpr qint32 DispIdBackStyle = 0x68030000;

    // Automation error numbers that reach a caller in run mode.
    static constexpr qint32 ErrorNumberOverFlow = qint32(0x80040064u);
    static constexpr qint32 ErrorNumberInvalidMask = qint32(0x800400C8u);

    static constexpr quint32 DefaultColorOn = 0x0000FF00u;   // pure green
    static constexpr quint32 DefaultColorOff = 0x00000000u;  // black
    static constexpr quint32 OpaqueBackColor = 0x00C0C0C0u;  // light grey

    // A new widget is initialised as a newly placed control (UserControl_InitProperties), in run
    // mode, transparent, at the design size, with its objects at their design positions.
    explicit LED(QWidget* parent = nullptr);
    ~LED() override;

    qint16 value() const;
    // Digit mode takes 0..9, mask mode 0..127. Outside that: run mode throws LEDError and keeps
    // the old value; design mode shows the "LED Error" box and stores 0.
    void setValue(qint16 New_Value);
    // The property system's setter: a number outside 16 bits is simply out of range and is
    // reported like any other refused value (LEDOverFlow or LEDInvalidMask).
    void setValue(int New_Value);
    bool valueIsMask() const;
    // Changes nothing when the flag is unchanged; Value is not checked again.
    void setValueIsMask(bool New_ValueIsMask);
    bool showDecimal() const;
    void setShowDecimal(bool New_ShowDecimal);
    bool showBorder() const;
    // Draws or removes the single border; the segments keep their positions until the next resize.
    void setShowBorder(bool New_ShowBorder);
    quint32 ledColorOn() const;
    void setLEDColorOn(quint32 New_LEDColorOn);
    quint32 ledColorOff() const;
    void setLEDColorOff(quint32 New_LEDColorOff);
    BackStyleType backStyle() const;
    // Throws LEDConversionError (InvalidPropertyValue) for a mode other than 0 or 1, before any
    // change or notification.
    void setBackStyle(BackStyleType New_BackStyle);

    // Sets Value from any variant the way an automation dispatch converts its argument (text,
    // floating point, other integer types): LEDConversionError for text that is empty or not a
    // number (TypeMismatch) or a number outside -32768..32767 (Overflow), else setValue().
    void setValueFromVariant(const QVariant& value);
    // Reads or writes a property by dispatch id, converting like setValueFromVariant() does.
    // Throws std::invalid_argument for an id that is not one of the seven.
    QVariant dispatchGet(qint32 dispId) const;
    void dispatchSet(qint32 dispId, const QVariant& value);

    // Design mode: errors show a message box instead of throwing. A design-time host sets it.
    void setDesignMode(bool designMode);
    bool designMode() const;

    // Container events. InitProperties sets the defaults without notifications; ReadProperties
    // applies the seven keys through the setters and stops at the first key that fails (throwing
    // LEDConversionError or LEDError); WriteProperties stores them, omitting defaults.
    void UserControl_InitProperties();
    void UserControl_ReadProperties(const PropertyBag& PropBag);
    void UserControl_WriteProperties(PropertyBag& PropBag) const;
    // Lays the objects out for the current inner size. Throws LEDConversionError (Overflow) when
    // a length does not fit 16 bits; nothing is moved then.
    void UserControl_Resize();

    // The segment mask on display: Value in mask mode, else the digit's mask (0 for a non-digit).
    qint16 displayedMask() const;
    // The mask of a digit 0..9, 0 for any other value.
    static qint16 DigitToMask(qint16 digit);
    // The description of an error code: the library's translated text for 100 and 200,
    // "Unknown Error!" for anything else.
    static QString errorDescription(int code);
    // Converts like an automation dispatch (see setValueFromVariant); `what` names the target in
    // the error.
    static qint16 toInt16(const QVariant& value, const QString& what);
    static qint32 toInt32(const QVariant& value, const QString& what);
    static bool toBool(const QVariant& value, const QString& what);

    // The model as last laid out and coloured.
    LEDSegmentLine segment(int index) const;  // index 0..6
    LEDDot decimalPoint() const;
    qint16 margin() const;
    qint16 gap() const;
    qint16 dotSize() const;
    // Inner drawing area in twips: inside the border when there is one.
    QSizeF innerSizeTwips() const;
    // The layout for an inner size in twips; throws LEDConversionError (Overflow) when a length
    // or one of the 16-bit sums does not fit.
    static LEDGeometry layoutFor(float widthTwips, float heightTwips);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // A persisted property changed (its name); emitted by every setter that stores.
    void PropertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void raiseLEDError(int code);
    void updateSegments();
    void updateDecimalPoint();
    void applyBackMode(int mode);

    struct Private;
    std::unique_ptr<Private> d;
};
