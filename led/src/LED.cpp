// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

// The LED widget: its state, setters, persistence and painting. The geometry comes from
// LEDPrivate::layoutFor(); this file applies it and the colours to the eight-object model.
#include <LED/LED.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QtGlobal>

#include <stdexcept>

#include "LED_p.h"

void ledInstallAccessibility();

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

LED::LED(QWidget* parent) : QWidget(parent), d(std::make_unique<LEDPrivate>(this)) {
    ledInstallAccessibility();
    for (int i = 0; i < 7; ++i) {
        const auto& l = kDesignLines[i];
        d->segments[i] = {l.x1, l.y1, l.x2, l.y2, 1, 0};
    }
    d->dot = {kDesignDotLeft, kDesignDotTop, kDesignDotSize, kDesignDotSize, 0, 0};
    setAutoFillBackground(false);
    d->setBackMode(Transparent);
    resize(sizeHint());
    // Qt's construction is the container's "new placement": a usable green 0 at once. A load
    // from saved data starts again from a blank control (UserControl_ReadProperties).
    d->announcedDigit = QStringLiteral("0");
    UserControl_InitProperties();
}

LED::~LED() = default;

// ---- properties ------------------------------------------------------------------------------

int LED::Value() const {
    return d->value;
}

bool LED::ValueIsMask() const {
    return d->valueIsMask;
}

bool LED::ShowDecimal() const {
    return d->showDecimal;
}

bool LED::ShowBorder() const {
    return d->showBorder;
}

quint32 LED::LEDColorOn() const {
    return d->colorOn;
}

quint32 LED::LEDColorOff() const {
    return d->colorOff;
}

LED::BackStyleType LED::BackStyle() const {
    return d->backStyle;
}

namespace {

// Value is 16-bit: a wider number fails its conversion, as it does through a dispatch.
template <typename Input>
void setValueChecked(LEDPrivate& d, const Input& input) {
    d.runAsSlot([&] {
        qint16 value = 0;
        try {
            value = LEDPrivate::toInt16(input, kValue);
        } catch (const LEDConversionError& e) {
            d.report(e);
            return;
        }
        d.setValue16(value);
    });
}

}  // namespace

void LED::setValue(int New_Value) {
    setValueChecked(*d, New_Value);
}

void LED::setValueFromVariant(const QVariant& New_Value) {
    setValueChecked(*d, New_Value);
}

void LEDPrivate::setValue16(qint16 New_Value) {
    if (!valueIsMask && (New_Value < 0 || New_Value > 9)) {
        raiseLEDError(LED::LEDOverFlow);
        New_Value = 0;
    }
    if (valueIsMask && (New_Value < 0 || New_Value > 127)) {
        raiseLEDError(LED::LEDInvalidMask);
        New_Value = 0;
    }
    const LEDSnapshot before(*this);
    value = New_Value;
    emit q->PropertyChanged(kValue);
    updateSegments();
    emitChangesSince(before);
}

void LED::setValueIsMask(bool New_ValueIsMask) {
    if (New_ValueIsMask == d->valueIsMask) {
        return;
    }
    const LEDSnapshot before(*d);
    d->valueIsMask = New_ValueIsMask;
    emit PropertyChanged(kValueIsMask);
    d->updateSegments();
    d->emitChangesSince(before);
}

void LED::setShowDecimal(bool New_ShowDecimal) {
    const LEDSnapshot before(*d);
    d->showDecimal = New_ShowDecimal;
    emit PropertyChanged(kShowDecimal);
    d->updateDecimalPoint();
    d->emitChangesSince(before);
}

void LED::setShowBorder(bool New_ShowBorder) {
    const LEDSnapshot before(*d);
    d->showBorder = New_ShowBorder;
    update();
    emit PropertyChanged(kShowBorder);
    d->emitChangesSince(before);
}

void LED::setLEDColorOn(quint32 New_LEDColorOn) {
    const LEDSnapshot before(*d);
    d->colorOn = New_LEDColorOn;
    emit PropertyChanged(kLEDColorOn);
    d->updateSegments();
    d->updateDecimalPoint();
    d->emitChangesSince(before);
}

void LED::setLEDColorOff(quint32 New_LEDColorOff) {
    const LEDSnapshot before(*d);
    d->colorOff = New_LEDColorOff;
    emit PropertyChanged(kLEDColorOff);
    d->updateSegments();
    d->updateDecimalPoint();
    d->emitChangesSince(before);
}

void LED::setBackStyle(BackStyleType New_BackStyle) {
    d->runAsSlot([&] {
        const LEDSnapshot before(*d);
        try {
            d->setBackMode(static_cast<int>(New_BackStyle));
        } catch (const LEDConversionError& e) {
            d->report(e);
            return;
        }
        emit PropertyChanged(kBackStyle);
        d->emitChangesSince(before);
    });
}

void LEDPrivate::setBackMode(int mode) {
    if (mode != LED::Transparent && mode != LED::Opaque) {
        throw LEDConversionError(LEDConversionError::Kind::InvalidPropertyValue, kBackStyle,
                                 QCoreApplication::translate("LED",
                                                             "valor de propriedade inválido: %1 não é "
                                                             "Transparent (0) nem Opaque (1)")
                                     .arg(mode));
    }
    backStyle = static_cast<LED::BackStyleType>(mode);
    const bool opaque = backStyle == LED::Opaque;
    // Transparent: nothing but the digit is painted, so whatever lies beneath shows through.
    q->setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    q->setAttribute(Qt::WA_NoSystemBackground, !opaque);
    q->update();
}

void LEDPrivate::emitChangesSince(const LEDSnapshot& before) {
    if (holdSignals > 0) {
        return;
    }
    if (value != before.value) {
        emit q->valueChanged(value);
    }
    if (valueIsMask != before.valueIsMask) {
        emit q->valueIsMaskChanged(valueIsMask);
    }
    if (showDecimal != before.showDecimal) {
        emit q->showDecimalChanged(showDecimal);
    }
    if (showBorder != before.showBorder) {
        emit q->showBorderChanged(showBorder);
    }
    if (colorOn != before.colorOn) {
        emit q->ledColorOnChanged(colorOn);
    }
    if (colorOff != before.colorOff) {
        emit q->ledColorOffChanged(colorOff);
    }
    if (backStyle != before.backStyle) {
        emit q->backStyleChanged(backStyle);
    }
}

QVariant LED::dispatchGet(qint32 dispId) const {
    switch (dispId) {
        case DispIdValue:
            return QVariant::fromValue<qint16>(d->value);
        case DispIdValueIsMask:
            return d->valueIsMask;
        case DispIdShowDecimal:
            return d->showDecimal;
        case DispIdShowBorder:
            return d->showBorder;
        case DispIdLEDColorOn:
            return QVariant::fromValue<quint32>(d->colorOn);
        case DispIdLEDColorOff:
            return QVariant::fromValue<quint32>(d->colorOff);
        case DispIdBackStyle:
            return QVariant::fromValue(d->backStyle);
        default:
            throw std::invalid_argument("LED: no property has dispatch id " + std::to_string(dispId));
    }
}

void LED::dispatchSet(qint32 dispId, const QVariant& v) {
    try {
        switch (dispId) {
            case DispIdValue:
                d->setValue16(LEDPrivate::toInt16(v, kValue));
                return;
            case DispIdValueIsMask:
                setValueIsMask(LEDPrivate::toBool(v, kValueIsMask));
                return;
            case DispIdShowDecimal:
                setShowDecimal(LEDPrivate::toBool(v, kShowDecimal));
                return;
            case DispIdShowBorder:
                setShowBorder(LEDPrivate::toBool(v, kShowBorder));
                return;
            case DispIdLEDColorOn:
                setLEDColorOn(LEDPrivate::toColour(v, kLEDColorOn));
                return;
            case DispIdLEDColorOff:
                setLEDColorOff(LEDPrivate::toColour(v, kLEDColorOff));
                return;
            case DispIdBackStyle:
                // Narrowed to 16 bits first: 65536 is an overflow, 2 an invalid mode.
                setBackStyle(static_cast<BackStyleType>(LEDPrivate::toInt16(v, kBackStyle)));
                return;
            default:
                throw std::invalid_argument("LED: no property has dispatch id " + std::to_string(dispId));
        }
    } catch (const LEDConversionError& e) {
        d->report(e);
    }
}

void LED::setDesignMode(bool designMode) {
    d->designMode = designMode;
}

bool LED::designMode() const {
    return d->designMode;
}

// ---- errors ----------------------------------------------------------------------------------

void LEDPrivate::raiseLEDError(int code) {
    const QString description = LED::errorDescription(static_cast<qint16>(code));
    if (!designMode) {
        throw LEDError(code, description);
    }
    showErrorBox(description);
}

void LEDPrivate::report(const LEDConversionError& error) {
    if (!designMode) {
        throw error;
    }
    // A design-time host must never see an exception from a property: it would end the host.
    showErrorBox(error.description());
}

void LEDPrivate::refuse(const LEDError& error) {
    qWarning("LED: value refused (error 0x%08X): %s", static_cast<quint32>(error.number()),
             qUtf8Printable(error.description()));
    emit q->refused(error.number(), error.description());
}

void LEDPrivate::showErrorBox(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QCoreApplication::translate("LED", "LED Error"), text,
                    QMessageBox::Ok, q);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

// ---- container events ------------------------------------------------------------------------

void LED::UserControl_InitProperties() {
    const LEDSnapshot before(*d);
    d->value = 0;
    d->valueIsMask = false;
    d->showDecimal = false;
    d->showBorder = false;
    d->colorOn = DefaultColorOn;
    d->colorOff = DefaultColorOff;
    d->updateSegments();
    d->updateDecimalPoint();
    d->emitChangesSince(before);
}

void LED::UserControl_ReadProperties(const LEDPropertyBag& PropBag) {
    const LEDSnapshot before(*d);
    ++d->holdSignals;
    const auto finish = [&] {
        --d->holdSignals;
        d->emitChangesSince(before);
    };
    try {
        // A load is the instance's initialisation: it starts from the blank control, so keys
        // after a failing one stay at zero rather than at a new control's defaults.
        d->value = 0;
        d->valueIsMask = false;
        d->showDecimal = false;
        d->showBorder = false;
        d->colorOn = 0;
        d->colorOff = 0;
        d->setBackMode(Transparent);
        d->updateSegments();
        d->updateDecimalPoint();

        // In run mode the first failure ends the load; in design mode each failing key is shown in
        // the box and skipped, so a form with one bad value still opens.
        const auto step = [&](auto&& apply) {
            try {
                apply();
            } catch (const LEDConversionError& e) {
                d->report(e);
            }
        };
        step([&] { setValueIsMask(LEDPrivate::toBool(PropBag.read(kValueIsMask, false), kValueIsMask)); });
        step([&] {
            d->setValue16(LEDPrivate::toInt16(PropBag.read(kValue, QVariant::fromValue<qint16>(0)), kValue));
        });
        step([&] { setShowDecimal(LEDPrivate::toBool(PropBag.read(kShowDecimal, false), kShowDecimal)); });
        step([&] {
            setLEDColorOn(
                LEDPrivate::toColour(PropBag.read(kLEDColorOn, qint32(DefaultColorOn)), kLEDColorOn));
        });
        step([&] {
            setLEDColorOff(
                LEDPrivate::toColour(PropBag.read(kLEDColorOff, qint32(DefaultColorOff)), kLEDColorOff));
        });
        step([&] { setShowBorder(LEDPrivate::toBool(PropBag.read(kShowBorder, false), kShowBorder)); });
        // The background mode goes straight to the surface: no notification for it.
        step([&] {
            d->setBackMode(LEDPrivate::toInt16(
                PropBag.read(kBackStyle, QVariant::fromValue<qint16>(Transparent)), kBackStyle));
        });
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void LED::UserControl_WriteProperties(LEDPropertyBag& PropBag) const {
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
    const QSizeF inner = d->innerSizeTwips();
    // Computed in full before anything moves, so an overflow leaves the old layout standing.
    const LEDGeometry g =
        LEDPrivate::layoutFor(static_cast<float>(inner.width()), static_cast<float>(inner.height()));
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

int LED::DigitToMask(int digit) {
    return digit >= 0 && digit <= 9 ? kDigitMasks[digit] : 0;
}

int LED::displayedMask() const {
    return d->valueIsMask ? d->value : DigitToMask(d->value);
}

void LEDPrivate::updateSegments() {
    const int mask = q->displayedMask();
    for (int i = 0; i < 7; ++i) {
        const int bit = 1 << i;
        segments[i].colour = (mask & bit) == bit ? colorOn : colorOff;
    }
    q->update();
    announceShownDigit();
}

void LEDPrivate::updateDecimalPoint() {
    const quint32 c = showDecimal ? colorOn : colorOff;
    dot.fill = c;
    dot.outline = c;
    q->update();
}

QString LEDPrivate::shownDigitText() const {
    return !valueIsMask && value >= 0 && value <= 9 ? QString::number(value) : QString();
}

void LEDPrivate::announceShownDigit() {
    const QString text = shownDigitText();
    if (text == announcedDigit) {
        return;
    }
    announcedDigit = text;
    if (!QAccessible::isActive()) {
        return;
    }
    // A screen reader reads the digit as the widget's name unless the host named it. No value
    // event: static text has no value interface, and the desktop bridge only warns about one.
    if (q->accessibleName().isEmpty()) {
        QAccessibleEvent nameChanged(q, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&nameChanged);
    }
}

// ---- geometry --------------------------------------------------------------------------------

QSize LED::sizeHint() const {
    return QSize(qRound(kDesignWidth * logicalDpiX() / kTwipsPerInch),
                 qRound(kDesignHeight * logicalDpiY() / kTwipsPerInch));
}

QSize LED::minimumSizeHint() const {
    return QSize(1, 1);
}

// ---- events ----------------------------------------------------------------------------------

bool LED::event(QEvent* event) {
    if (event->type() != QEvent::MetaCall) {
        return QWidget::event(event);
    }
    // A queued call may end the LED itself, as Qt allows: count it off only while it lives.
    struct Delivering {
        QPointer<LED> led;
        LEDPrivate* d;
        ~Delivering() {
            if (led) {
                --d->queuedCalls;
            }
        }
    } delivering{this, d.get()};
    ++d->queuedCalls;
    return QWidget::event(event);
}

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
