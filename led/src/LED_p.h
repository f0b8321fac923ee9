// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

// The LED's inside: its state, its drawing objects and the conversions every path into a property
// shares. Not installed; the library's sources and its tests include it. Nothing here is part of
// the library's binary interface: what the tests need from it is exported under the version
// LED_PRIVATE, which the ABI check leaves out.
#pragma once

#include <LED/LED.h>

#include <QSizeF>
#include <QString>
#include <QVariant>

#include <array>
#include <string>

struct LEDSnapshot;

// One line segment: end points in twips from the inner top-left corner, thickness in pixels,
// colour as an OLE colour.
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

// What an LED error carries; shared by copies of the exception.
class LEDErrorPrivate {
public:
    qint32 number = 0;
    int code = 0;
    LEDConversionError::Kind kind = LEDConversionError::Kind::TypeMismatch;
    QString subject;
    QString message;
    QString description;
    std::string what;
};

class LEDPrivate {
public:
    explicit LEDPrivate(LED* q) : q(q) {}

    static LEDPrivate* get(LED* led) { return led->d.get(); }
    static const LEDPrivate* get(const LED* led) { return led->d.get(); }

    // The layout for an inner size in twips. Throws LEDConversionError (Overflow) when a length
    // or one of the 16-bit sums does not fit.
    LED_EXPORT static LEDGeometry layoutFor(float widthTwips, float heightTwips);

    // Conversions like an automation dispatch's; `what` names the target in the error. Text is a
    // decimal number (C locale, blanks around it allowed); fractions round half to even.
    LED_EXPORT static qint16 toInt16(const QVariant& value, const QString& what);
    LED_EXPORT static qint32 toInt32(const QVariant& value, const QString& what);
    // Any number but 0 is True (tested before rounding, so 0.4 is True); "True"/"False" as text.
    LED_EXPORT static bool toBool(const QVariant& value, const QString& what);
    // An OLE colour: any integer from -2^31 to 2^32-1, taken as a 32-bit pattern.
    static quint32 toColour(const QVariant& value, const QString& what);
    // Nearest integer, ties to even.
    static double roundToEven(double x);

    // Inner drawing area in twips: inside the border when there is one.
    QSizeF innerSizeTwips() const {
        const int border = showBorder ? 1 : 0;
        const int w = qMax(0, q->width() - 2 * border);
        const int h = qMax(0, q->height() - 2 * border);
        return QSizeF(w * 1440.0 / q->logicalDpiX(), h * 1440.0 / q->logicalDpiY());
    }

    // The Value setter on a 16-bit number: the mode check, then store, notify and recolour.
    void setValue16(qint16 value);
    void setBackMode(int mode);
    // Reports the widget's own error (100, 200): throws in run mode, shows the box in design mode.
    void raiseLEDError(int code);
    // Reports a conversion error the same way.
    void report(const LEDConversionError& error);
    void showErrorBox(const QString& text);
    // Runs a setter's work. Reached through a signal or a queued call, a refused value must not
    // unwind through the emitter or the event loop: it is reported by refused() and a warning
    // instead, and the old value stays. Called directly, the error goes to the caller as before.
    template <typename Work>
    void runAsSlot(Work&& work) {
        if (q->sender() == nullptr && queuedCalls == 0) {
            work();
            return;
        }
        try {
            work();
        } catch (const LEDError& e) {
            refuse(e);
        }
    }
    void refuse(const LEDError& error);

    void updateSegments();
    void updateDecimalPoint();
    // Tells assistive technology when the shown digit changed.
    void announceShownDigit();
    // The digit on display as text, empty in mask mode or for a number that is no digit.
    QString shownDigitText() const;

    // A setter stored `name`; the typed signal follows only a real change (see NotifyScope).
    void stored(const QString& name);
    void emitChangesSince(const LEDSnapshot& before);

    LED* q;
    qint16 value = 0;
    bool valueIsMask = false;
    bool showDecimal = false;
    bool showBorder = false;
    quint32 colorOn = 0;
    quint32 colorOff = 0;
    LED::BackStyleType backStyle = LED::Transparent;
    bool designMode = false;
    // Typed change signals are held back while a load or an initialisation runs, then sent once.
    int holdSignals = 0;
    // Queued calls being delivered: a queued invokeMethod has no sender, and nobody but the event
    // loop is there to receive an error.
    int queuedCalls = 0;
    QString announcedDigit;

    std::array<LEDSegmentLine, 7> segments{};
    LEDDot dot{};
    qint16 margin = 0, gap = 0, dotSize = 0;
};

// The seven fields as seen by the typed change signals.
struct LEDSnapshot {
    explicit LEDSnapshot(const LEDPrivate& d)
        : value(d.value),
          valueIsMask(d.valueIsMask),
          showDecimal(d.showDecimal),
          showBorder(d.showBorder),
          colorOn(d.colorOn),
          colorOff(d.colorOff),
          backStyle(d.backStyle) {}
    qint16 value;
    bool valueIsMask, showDecimal, showBorder;
    quint32 colorOn, colorOff;
    LED::BackStyleType backStyle;
};
