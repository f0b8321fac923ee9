// The LED widget: its state, setters, persistence and painting. The geometry comes from
// LED::layoutFor(); this file applies it and the colours to the eight-object model.
#include <LED/LED.h>

#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QtGlobal>

#include <stdexcept>

#include "LEDInternal.h"

namespace {

// Twips per inch; the widget works in Qt's device-independent pixels, whose logical dpi is 96
// on ordinary screens (15 twips a pixel) and stays so on high-dpi ones, where Qt scales.
constexpr double kTwipsPerInch = 1440.0;

constexpr float kDesignWidth = 1272;
constexpr float kDesignHeight = 1716;

// Where the objects stand on the designed 1272 x 1716 surface, before the first layout.
constexpr LEDGeometry::Line kDesignLines[7] = {
    {240, 120, 720, 120}, {240, 840, 600, 840},  {240, 1560, 720, 1560}, {120, 240, 120, 720},
    {840, 240, 840, 720}, {120, 960, 120, 1440}, {840, 840, 840, 1440},
};
constexpr float kDesignDotLeft = 960, kDesignDotTop = 1320, kDesignDotSize = 255;

// Bit i of a mask lights segment i; the table is indexed by digit.
constexpr qint16 kDigitMasks[10] = {125, 80, 55, 87, 90, 79, 111, 81, 127, 95};

const QString kValue = QStringLiteral("Value");
const QString kValueIsMask = QStringLiteral("ValueIsMask");
const QString kShowDecimal = QStringLiteral("ShowDecimal");
const QString kShowBorder = QStringLiteral("ShowBorder");
const QString kLEDColorOn = QStringLiteral("LEDColorOn");
const QString kLEDColorOff = QStringLiteral("LEDColorOff");
const QString kBackStyle = QStringLiteral("BackStyle");

}  // namespace

struct LED::Private {
    qint16 value = 0;
    bool valueIsMask = false;
    bool showDecimal = false;
    bool showBorder = false;
    quint32 colorOn = 0;
    quint32 colorOff = 0;
    BackStyleType backStyle = Transparent;
    bool designMode = false;

    std::array<LEDSegmentLine, 7> segments{};
    LEDDot dot{};
    qint16 margin = 0, gap = 0, dotSize = 0;
};

LED::LED(QWidget* parent) : QWidget(parent), d(std::make_unique<Private>()) {
    for (int i = 0; i < 7; ++i) {
        const auto& l = kDesignLines[i];
        d->segments[i] = {l.x1, l.y1, l.x2, l.y2, 1, 0};
    }
    d->dot = {kDesignDotLeft, kDesignDotTop, kDesignDotSize, kDesignDotSize, 0, 0};
    setAutoFillBackground(false);
    applyBackMode(Transparent);
    resize(sizeHint());
    UserControl_InitProperties();
}

LED::~LED() = default;

// ---- properties ------------------------------------------------------------------------------

qint16 LED::value() const {
    return d->value;
}

void LED::setValue(qint16 New_Value) {
    if (!d->valueIsMask && (New_Value < 0 || New_Value > 9)) {
        raiseLEDError(LEDOverFlow);
        New_Value = 0;
    }
    if (d->valueIsMask && (New_Value < 0 || New_Value > 127)) {
        raiseLEDError(LEDInvalidMask);
        New_Value = 0;
    }
    d->value = New_Value;
    emit PropertyChanged(kValue);
    updateSegments();
}

void LED::setValue(int New_Value) {
    if (New_Value < -32768 || New_Value > 32767) {
        raiseLEDError(d->valueIsMask ? LEDInvalidMask : LEDOverFlow);
        New_Value = 0;
    }
    setValue(static_cast<qint16>(New_Value));
}

bool LED::valueIsMask() const {
    return d->valueIsMask;
}

void LED::setValueIsMask(bool New_ValueIsMask) {
    if (New_ValueIsMask == d->valueIsMask) {
        return;
    }
    d->valueIsMask = New_ValueIsMask;
    emit PropertyChanged(kValueIsMask);
    updateSegments();
}

bool LED::showDecimal() const {
    return d->showDecimal;
}

void LED::setShowDecimal(bool New_ShowDecimal) {
    d->showDecimal = New_ShowDecimal;
    emit PropertyChanged(kShowDecimal);
    updateDecimalPoint();
}

bool LED::showBorder() const {
    return d->showBorder;
}

void LED::setShowBorder(bool New_ShowBorder) {
    d->showBorder = New_ShowBorder;
    update();
    emit PropertyChanged(kShowBorder);
}

quint32 LED::ledColorOn() const {
    return d->colorOn;
}

void LED::setLEDColorOn(quint32 New_LEDColorOn) {
    d->colorOn = New_LEDColorOn;
    emit PropertyChanged(kLEDColorOn);
    updateSegments();
    updateDecimalPoint();
}

quint32 LED::ledColorOff() const {
    return d->colorOff;
}

void LED::setLEDColorOff(quint32 New_LEDColorOff) {
    d->colorOff = New_LEDColorOff;
    emit PropertyChanged(kLEDColorOff);
    updateSegments();
    updateDecimalPoint();
}

LED::BackStyleType LED::backStyle() const {
    return d->backStyle;
}

void LED::setBackStyle(BackStyleType New_BackStyle) {
    applyBackMode(static_cast<int>(New_BackStyle));
    emit PropertyChanged(kBackStyle);
}

void LED::applyBackMode(int mode) {
    if (mode != Transparent && mode != Opaque) {
        throw LEDConversionError(LEDConversionError::Kind::InvalidPropertyValue, kBackStyle,
                                 QStringLiteral("invalid property value: %1 is neither Transparent (0) nor "
                                                "Opaque (1)")
                                     .arg(mode));
    }
    d->backStyle = static_cast<BackStyleType>(mode);
    const bool opaque = d->backStyle == Opaque;
    // Transparent: nothing but the digit is painted, so whatever lies beneath shows through.
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    setAttribute(Qt::WA_NoSystemBackground, !opaque);
    update();
}

void LED::setValueFromVariant(const QVariant& value) {
    setValue(toInt16(value, kValue));
}

QVariant LED::dispatchGet(qint32 dispId) const {
    switch (dispId) {
        case DispIdValue:
            return QVariant::fromValue<qint16>(value());
        case DispIdValueIsMask:
            return valueIsMask();
        case DispIdShowDecimal:
            return showDecimal();
        case DispIdShowBorder:
            return showBorder();
        case DispIdLEDColorOn:
            return QVariant::fromValue<quint32>(ledColorOn());
        case DispIdLEDColorOff:
            return QVariant::fromValue<quint32>(ledColorOff());
        case DispIdBackStyle:
            return QVariant::fromValue(backStyle());
        default:
            throw std::invalid_argument("LED: no property has dispatch id " + std::to_string(dispId));
    }
}

void LED::dispatchSet(qint32 dispId, const QVariant& v) {
    switch (dispId) {
        case DispIdValue:
            setValueFromVariant(v);
            return;
        case DispIdValueIsMask:
            setValueIsMask(toBool(v, kValueIsMask));
            return;
        case DispIdShowDecimal:
            setShowDecimal(toBool(v, kShowDecimal));
            return;
        case DispIdShowBorder:
            setShowBorder(toBool(v, kShowBorder));
            return;
        case DispIdLEDColorOn:
            setLEDColorOn(led_detail::toColour(v, kLEDColorOn));
            return;
        case DispIdLEDColorOff:
            setLEDColorOff(led_detail::toColour(v, kLEDColorOff));
            return;
        case DispIdBackStyle: {
            const qint16 mode = toInt16(v, kBackStyle);
            applyBackMode(mode);
            emit PropertyChanged(kBackStyle);
            return;
        }
        default:
            throw std::invalid_argument("LED: no property has dispatch id " + std::to_string(dispId));
    }
}

void LED::setDesignMode(bool designMode) {
    d->designMode = designMode;
}

bool LED::designMode() const {
    return d->designMode;
}

// ---- errors ----------------------------------------------------------------------------------

void LED::raiseLEDError(int code) {
    const QString description = errorDescription(static_cast<qint16>(code));
    if (!d->designMode) {
        throw LEDError(code, description);
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("LED Error"), description, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

// ---- container events ------------------------------------------------------------------------

void LED::UserControl_InitProperties() {
    d->value = 0;
    d->valueIsMask = false;
    d->showDecimal = false;
    d->showBorder = false;
    d->colorOn = DefaultColorOn;
    d->colorOff = DefaultColorOff;
    updateSegments();
    updateDecimalPoint();
}

void LED::UserControl_ReadProperties(const PropertyBag& PropBag) {
    setValueIsMask(toBool(PropBag.read(kValueIsMask, false), kValueIsMask));
    setValue(toInt16(PropBag.read(kValue, QVariant::fromValue<qint16>(0)), kValue));
    setShowDecimal(toBool(PropBag.read(kShowDecimal, false), kShowDecimal));
    setLEDColorOn(led_detail::toColour(PropBag.read(kLEDColorOn, qint32(DefaultColorOn)), kLEDColorOn));
    setLEDColorOff(led_detail::toColour(PropBag.read(kLEDColorOff, qint32(DefaultColorOff)), kLEDColorOff));
    setShowBorder(toBool(PropBag.read(kShowBorder, false), kShowBorder));
    // The background mode goes straight to the surface: no notification for it.
    applyBackMode(toInt16(PropBag.read(kBackStyle, QVariant::fromValue<qint16>(Transparent)), kBackStyle));
}

void LED::UserControl_WriteProperties(PropertyBag& PropBag) const {
    // Colours are stored as signed 32-bit integers: a system colour keeps its bit pattern.
    PropBag.write(kValue, QVariant::fromValue<qint16>(d->value), QVariant::fromValue<qint16>(0));
    PropBag.write(kShowDecimal, d->showDecimal, false);
    PropBag.write(kLEDColorOn, static_cast<qint32>(d->colorOn), qint32(DefaultColorOn));
    PropBag.write(kLEDColorOff, static_cast<qint32>(d->colorOff), qint32(DefaultColorOff));
    PropBag.write(kShowBorder, d->showBorder, false);
    PropBag.write(kBackStyle, QVariant::fromValue<qint16>(static_cast<qint16>(d->backStyle)),
                  QVariant::fromValue<qint16>(Transparent));
    PropBag.write(kValueIsMask, d->valueIsMask, false);
}

void LED::UserControl_Resize() {
    const QSizeF inner = innerSizeTwips();
    // Computed in full before anything moves, so an overflow leaves the old layout standing.
    const LEDGeometry g = layoutFor(static_cast<float>(inner.width()), static_cast<float>(inner.height()));
    d->margin = g.margin;
    d->gap = g.gap;
    d->dotSize = g.dotSize;
    d->dot.left = g.dotLeft;
    d->dot.top = g.dotTop;
    d->dot.width = g.dotWidth;
    d->dot.height = g.dotHeight;
    for (int i = 0; i < 7; ++i) {
        auto& s = d->segments[i];
        s.width = g.segmentWidth;
        s.x1 = g.lines[i].x1;
        s.y1 = g.lines[i].y1;
        s.x2 = g.lines[i].x2;
        s.y2 = g.lines[i].y2;
    }
    // Qt repaints once the resize has been handled; no need to spin the event loop here.
    update();
}

// ---- colouring -------------------------------------------------------------------------------

qint16 LED::DigitToMask(qint16 digit) {
    return digit >= 0 && digit <= 9 ? kDigitMasks[digit] : 0;
}

qint16 LED::displayedMask() const {
    return d->valueIsMask ? d->value : DigitToMask(d->value);
}

void LED::updateSegments() {
    const qint16 mask = displayedMask();
    for (int i = 0; i < 7; ++i) {
        const int bit = 1 << i;
        d->segments[i].colour = (mask & bit) == bit ? d->colorOn : d->colorOff;
    }
    update();
}

void LED::updateDecimalPoint() {
    const quint32 c = d->showDecimal ? d->colorOn : d->colorOff;
    d->dot.fill = c;
    d->dot.outline = c;
    update();
}

// ---- model -----------------------------------------------------------------------------------

LEDSegmentLine LED::segment(int index) const {
    if (index < 0 || index > 6) {
        throw std::out_of_range("LED: segment index " + std::to_string(index) + " is outside 0..6");
    }
    return d->segments[index];
}

LEDDot LED::decimalPoint() const {
    return d->dot;
}
qint16 LED::margin() const {
    return d->margin;
}
qint16 LED::gap() const {
    return d->gap;
}
qint16 LED::dotSize() const {
    return d->dotSize;
}

QSizeF LED::innerSizeTwips() const {
    const int border = d->showBorder ? 1 : 0;
    const int w = qMax(0, width() - 2 * border);
    const int h = qMax(0, height() - 2 * border);
    return QSizeF(w * kTwipsPerInch / logicalDpiX(), h * kTwipsPerInch / logicalDpiY());
}

QSize LED::sizeHint() const {
    return QSize(qRound(kDesignWidth * logicalDpiX() / kTwipsPerInch),
                 qRound(kDesignHeight * logicalDpiY() / kTwipsPerInch));
}

QSize LED::minimumSizeHint() const {
    return QSize(1, 1);
}

// ---- painting --------------------------------------------------------------------------------

void LED::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    try {
        UserControl_Resize();
    } catch (const LEDConversionError& e) {
        // An exception must not cross Qt's event dispatch; the digit keeps its last layout.
        qWarning("LED: layout skipped: %s", e.what());
    }
}

void LED::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    const int border = d->showBorder ? 1 : 0;
    const QRect inner = rect().adjusted(border, border, -border, -border);

    if (d->backStyle == Opaque) {
        p.fillRect(inner, ledOleColorToQColor(OpaqueBackColor, pal));
    }

    const double sx = logicalDpiX() / kTwipsPerInch;
    const double sy = logicalDpiY() / kTwipsPerInch;
    const auto at = [&](float x, float y) { return QPointF(inner.left() + x * sx, inner.top() + y * sy); };

    p.save();
    p.setClipRect(inner);
    for (const LEDSegmentLine& s : d->segments) {
        // A computed thickness of 0 (a side of 70 twips or less) still draws the thinnest line.
        QPen pen(ledOleColorToQColor(s.colour, pal), s.width > 0 ? s.width : 1, Qt::SolidLine, Qt::FlatCap);
        p.setPen(pen);
        p.drawLine(at(s.x1, s.y1), at(s.x2, s.y2));
    }
    p.setPen(QPen(ledOleColorToQColor(d->dot.outline, pal), 1));
    p.setBrush(ledOleColorToQColor(d->dot.fill, pal));
    // The outline lies inside the bounding box, as a shape's border does. No antialiasing here or
    // for the lines: a digit a few pixels tall stays crisp, in exactly its two colours.
    // The box is snapped to whole pixels so a dot only a few pixels wide comes out symmetric.
    const QPointF topLeft = at(d->dot.left, d->dot.top);
    const QPointF bottomRight = at(d->dot.left + d->dot.width, d->dot.top + d->dot.height);
    const QRectF box(QPointF(qRound(topLeft.x()), qRound(topLeft.y())),
                     QPointF(qRound(bottomRight.x()), qRound(bottomRight.y())));
    p.drawEllipse(box.adjusted(0.5, 0.5, -0.5, -0.5));
    p.restore();

    if (border) {
        p.setPen(QPen(pal.color(QPalette::WindowText), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}
