// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The LED's layout numbers and what it actually paints, on real widgets (offscreen platform).
// Sheets of the ten digits are saved under <build>/led-images for a person to look at.
#include <LED/LED.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QResizeEvent>

#include <gtest/gtest.h>

#include "LedInside.h"

#include <cmath>

namespace {

constexpr quint32 kGreen = 0x0000FF00;
constexpr quint32 kRed = 0x000000FF;  // 0x00BBGGRR
const QColor kGrey(0xC0, 0xC0, 0xC0);

// At 96 dpi a pixel is 15 twips, so 20 x 33 pixels are the recorder's 300 x 495 twips.
constexpr int kTwipsPerPixel = 15;

void expectLine(const LEDSegmentLine& s, float x1, float y1, float x2, float y2, const char* what) {
    EXPECT_FLOAT_EQ(s.x1, x1) << what;
    EXPECT_FLOAT_EQ(s.y1, y1) << what;
    EXPECT_FLOAT_EQ(s.x2, x2) << what;
    EXPECT_FLOAT_EQ(s.y2, y2) << what;
}

void expectDot(const LEDDot& d, float left, float top, float size) {
    EXPECT_FLOAT_EQ(d.left, left);
    EXPECT_FLOAT_EQ(d.top, top);
    EXPECT_FLOAT_EQ(d.width, size);
    EXPECT_FLOAT_EQ(d.height, size);
}

// An LED shown at a size in pixels, so Qt delivers the resize as it does on screen.
struct ShownLed {
    explicit ShownLed(QSize px) {
        led.resize(px);
        led.show();
        QCoreApplication::processEvents();
    }
    LED led;
};

// The pixel under a point given in twips from the inner top-left corner.
QPoint pixelAt(const LED& led, float xTwips, float yTwips) {
    const int border = led.ShowBorder() ? 1 : 0;
    const double perTwip = led.logicalDpiX() / 1440.0;
    return QPoint(border + int(std::floor(xTwips * perTwip)), border + int(std::floor(yTwips * perTwip)));
}

QPointF middle(const LEDSegmentLine& s) {
    return QPointF((s.x1 + s.x2) / 2, (s.y1 + s.y2) / 2);
}

QColor colourOf(quint32 ole) {
    return QColor(int(ole & 0xFF), int((ole >> 8) & 0xFF), int((ole >> 16) & 0xFF));
}

// Checks every segment's middle and the dot's centre against the colours the model gives them.
void expectPaintedAsModel(const LED& led, const QImage& img, const QString& what) {
    for (int i = 0; i < 7; ++i) {
        const LEDSegmentLine s = segment(led, i);
        const QPoint p = pixelAt(led, float(middle(s).x()), float(middle(s).y()));
        EXPECT_EQ(img.pixelColor(p), colourOf(s.colour)) << what.toStdString() << " segment " << i;
    }
    const LEDDot dot = decimalPoint(led);
    const QPoint c = pixelAt(led, dot.left + dot.width / 2, dot.top + dot.height / 2);
    EXPECT_EQ(img.pixelColor(c), colourOf(dot.fill)) << what.toStdString() << " dot";
}

void saveImage(const QImage& img, const QString& name) {
    const QString dir = qEnvironmentVariable("TOLVANE_TEST_BINARY_DIR", QDir::tempPath()) + "/led-images";
    QDir().mkpath(dir);
    ASSERT_TRUE(img.save(dir + "/" + name)) << (dir + "/" + name).toStdString();
}

// Ten digits side by side (odd digits with the decimal point lit), each grabbed from its own LED.
QImage digitSheet(QSize px, LED::BackStyleType back, quint32 on, quint32 off) {
    QImage sheet(px.width() * 10, px.height(), QImage::Format_ARGB32);
    sheet.fill(Qt::transparent);
    QPainter p(&sheet);
    for (int digit = 0; digit <= 9; ++digit) {
        ShownLed s(px);
        s.led.setBackStyle(back);
        s.led.setLEDColorOn(on);
        s.led.setLEDColorOff(off);
        s.led.setValue(qint16(digit));
        s.led.setShowDecimal(digit % 2 == 1);
        p.drawImage(digit * px.width(), 0, s.led.grab().toImage());
    }
    return sheet;
}

}  // namespace

TEST(LedLayout, TheScreenIsAssumedAt96Dpi) {
    LED led;
    ASSERT_EQ(led.logicalDpiX(), 96) << "the pixel sizes in these tests assume 15 twips a pixel";
    ASSERT_EQ(led.logicalDpiY(), 96);
    EXPECT_EQ(led.sizeHint(), QSize(85, 114));  // the design size, 1272 x 1716 twips
    EXPECT_EQ(led.size(), QSize(85, 114));
}

TEST(LedLayout, RecorderDigitSize) {
    ShownLed s(QSize(300 / kTwipsPerPixel, 495 / kTwipsPerPixel));
    const LED& led = s.led;
    EXPECT_EQ(innerSizeTwips(led), QSizeF(300, 495));
    EXPECT_EQ(margin(led), 22);  // 22.5 rounds to even
    EXPECT_EQ(gap(led), 30);
    EXPECT_EQ(dotSize(led), 45);
    expectDot(decimalPoint(led), 233, 428, 45);
    expectLine(segment(led, 0), 52, 22, 159, 22, "top");
    expectLine(segment(led, 1), 52, 247.5f, 159, 247.5f, "middle");
    expectLine(segment(led, 2), 52, 473, 159, 473, "bottom");
    expectLine(segment(led, 3), 22, 52, 22, 217.5f, "upper left");
    expectLine(segment(led, 4), 189, 52, 189, 217.5f, "upper right");
    expectLine(segment(led, 5), 22, 277.5f, 22, 443, "lower left");
    expectLine(segment(led, 6), 189, 277.5f, 189, 443, "lower right");
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(segment(led, i).width, 2) << i;
    }
}

TEST(LedLayout, WideSurfaceTakesItsBaseFromTheHeight) {
    ShownLed s(QSize(495 / kTwipsPerPixel, 300 / kTwipsPerPixel));
    const LED& led = s.led;
    EXPECT_EQ(margin(led), 22);
    EXPECT_EQ(gap(led), 30);
    EXPECT_EQ(dotSize(led), 45);
    expectLine(segment(led, 0), 52, 22, 354, 22, "top");
    expectLine(segment(led, 1), 52, 150, 354, 150, "middle");
    expectLine(segment(led, 2), 52, 278, 354, 278, "bottom");
    expectLine(segment(led, 3), 22, 52, 22, 120, "upper left");
    expectLine(segment(led, 4), 384, 52, 384, 120, "upper right");
    expectLine(segment(led, 5), 22, 180, 22, 248, "lower left");
    expectLine(segment(led, 6), 384, 180, 384, 248, "lower right");
    expectDot(decimalPoint(led), 428, 233, 45);
}

TEST(LedLayout, DesignSizeSquareAndTinySurfaces) {
    const LEDGeometry design = LEDPrivate::layoutFor(1272, 1716);
    EXPECT_EQ(design.margin, 95);
    EXPECT_EQ(design.gap, 127);
    EXPECT_EQ(design.dotSize, 191);
    EXPECT_EQ(design.segmentWidth, 10);  // 9.55 rounds up
    EXPECT_FLOAT_EQ(design.dotLeft, 986);
    EXPECT_FLOAT_EQ(design.dotTop, 1430);

    // A square takes its base from the width; either side gives the same.
    const LEDGeometry square = LEDPrivate::layoutFor(600, 600);
    EXPECT_EQ(square.margin, 45);
    EXPECT_EQ(square.dotSize, 90);

    const struct {
        float side;
        qint16 dot;
        int width;
    } tiny[] = {{70, 10, 0}, {60, 9, 0}, {15, 2, 0}, {0, 0, 0}, {75, 11, 1}};
    for (const auto& t : tiny) {
        const LEDGeometry g = LEDPrivate::layoutFor(t.side, 400);
        EXPECT_EQ(g.dotSize, t.dot) << t.side;
        EXPECT_EQ(g.segmentWidth, t.width) << t.side;
    }
}

TEST(LedLayout, LengthsBeyondSixteenBitsAreAnOverflowAndMoveNothing) {
    const struct {
        float side;
        const char* subject;
    } cases[] = {
        {500000, "Margin"},        // b itself no longer fits
        {250000, "DotSize"},       // b and g fit, d does not
        {200000, "Margin + Gap"},  // b + g as a 16-bit sum
        {150000, "3 x Margin"},    // 3b as a 16-bit product
    };
    for (const auto& c : cases) {
        try {
            LEDPrivate::layoutFor(c.side, c.side);
            ADD_FAILURE() << c.side;
        } catch (const LEDConversionError& e) {
            EXPECT_EQ(e.kind(), LEDConversionError::Kind::Overflow);
            EXPECT_EQ(e.subject(), c.subject) << c.side;
        }
    }
    EXPECT_NO_THROW(LEDPrivate::layoutFor(145000, 145000));

    // Through the widget: the event is handled, the last layout stays whole.
    ShownLed s(QSize(20, 33));
    LED& led = s.led;
    led.hide();
    led.resize(12000, 12000);  // 180000 twips: b + g overflows
    QResizeEvent resize(QSize(12000, 12000), QSize(20, 33));
    EXPECT_NO_THROW(QApplication::sendEvent(&led, &resize));
    expectLine(segment(led, 0), 52, 22, 159, 22, "top");
    expectDot(decimalPoint(led), 233, 428, 45);
    EXPECT_THROW(led.UserControl_Resize(), LEDConversionError);
}

TEST(LedLayout, ObjectsStandAtTheDesignPositionsBeforeTheFirstLayout) {
    LED led;  // never shown: no resize has reached it
    expectLine(segment(led, 0), 240, 120, 720, 120, "top");
    expectLine(segment(led, 1), 240, 840, 600, 840, "middle");
    expectLine(segment(led, 6), 840, 840, 840, 1440, "lower right");
    expectDot(decimalPoint(led), 960, 1320, 255);
    EXPECT_THROW(segment(led, 7), std::out_of_range);
}

TEST(LedLayout, ColouringNeverMovesAndLayoutNeverRecolours) {
    ShownLed s(QSize(20, 33));
    LED& led = s.led;
    const LEDSegmentLine before = segment(led, 4);
    const LEDDot dotBefore = decimalPoint(led);
    led.setValue(qint16(1));
    led.setLEDColorOn(kRed);
    led.setShowDecimal(true);
    led.setValueIsMask(true);
    const LEDSegmentLine after = segment(led, 4);
    expectLine(after, before.x1, before.y1, before.x2, before.y2, "upper right after colouring");
    expectDot(decimalPoint(led), dotBefore.left, dotBefore.top, dotBefore.width);

    const quint32 colours[2] = {segment(led, 0).colour, decimalPoint(led).fill};
    led.resize(40, 40);
    QCoreApplication::processEvents();
    EXPECT_EQ(margin(led), 45);  // the layout did run
    EXPECT_EQ(segment(led, 0).colour, colours[0]);
    EXPECT_EQ(decimalPoint(led).fill, colours[1]);

    // The border shrinks the inner area but moves nothing until the next resize.
    led.setShowBorder(true);
    EXPECT_EQ(innerSizeTwips(led), QSizeF(38 * 15, 38 * 15));
    EXPECT_EQ(margin(led), 45);
    led.resize(20, 35);
    QCoreApplication::processEvents();
    EXPECT_EQ(innerSizeTwips(led), QSizeF(270, 495));
    EXPECT_EQ(margin(led), 20);  // 20.25
}

TEST(LedRender, EachDigitLightsItsSegmentsAtRecorderAndDesignSize) {
    for (const QSize px : {QSize(20, 33), QSize(85, 114)}) {
        for (int digit = 0; digit <= 9; ++digit) {
            ShownLed s(px);
            LED& led = s.led;
            led.setBackStyle(LED::Opaque);
            led.setLEDColorOn(kGreen);
            led.setLEDColorOff(kRed);
            led.setValue(qint16(digit));
            led.setShowDecimal(digit % 2 == 1);
            const QImage img = led.grab().toImage();
            ASSERT_EQ(img.size(), px);
            const QString what = QStringLiteral("%1x%2 digit %3").arg(px.width()).arg(px.height()).arg(digit);
            const qint16 mask = LED::DigitToMask(qint16(digit));
            for (int i = 0; i < 7; ++i) {
                EXPECT_EQ(segment(led, i).colour, (mask >> i) & 1 ? kGreen : kRed) << what.toStdString();
            }
            expectPaintedAsModel(led, img, what);
            // The strip right of the digit and above the dot is bare background.
            EXPECT_EQ(img.pixelColor(px.width() - 2, 2), kGrey) << what.toStdString();
            EXPECT_EQ(img.pixelColor(px.width() / 2, px.height() / 4), kGrey) << what.toStdString();
        }
    }
    saveImage(digitSheet(QSize(20, 33), LED::Opaque, kGreen, 0x00404040), "digits-recorder.png");
    saveImage(digitSheet(QSize(85, 114), LED::Opaque, kGreen, 0x00404040), "digits-design.png");
    saveImage(digitSheet(QSize(85, 114), LED::Transparent, kGreen, kRed), "digits-design-transparent.png");
    saveImage(digitSheet(QSize(85, 114), LED::Opaque, LED::DefaultColorOn, LED::DefaultColorOff),
              "digits-default-colours.png");
}

TEST(LedRender, TheDotSitsInTheBottomRightCorner) {
    ShownLed s(QSize(85, 114));
    LED& led = s.led;
    led.setShowDecimal(true);
    led.setLEDColorOn(kRed);
    const QImage img = led.grab().toImage();
    const LEDDot dot = decimalPoint(led);
    // Bottom-right corner of its box lies b in from the inner bottom-right corner.
    EXPECT_FLOAT_EQ(dot.left + dot.width + margin(led), float(innerSizeTwips(led).width()));
    EXPECT_FLOAT_EQ(dot.top + dot.height + margin(led), float(innerSizeTwips(led).height()));
    EXPECT_EQ(img.pixelColor(pixelAt(led, dot.left + dot.width / 2, dot.top + dot.height / 2)),
              QColor(Qt::red));
    // A circle, not a square: the corners of its box stay clear.
    EXPECT_NE(img.pixelColor(pixelAt(led, dot.left + 1, dot.top + 1)), QColor(Qt::red));
    EXPECT_NE(img.pixelColor(pixelAt(led, dot.left + dot.width - 1, dot.top + dot.height - 1)),
              QColor(Qt::red));
}

TEST(LedRender, TransparentShowsTheParentAndOpaqueFillsGrey) {
    QWidget parent;
    parent.resize(40, 40);
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, Qt::magenta);
    parent.setPalette(pal);
    parent.setAutoFillBackground(true);
    auto* led = new LED(&parent);
    led->setGeometry(10, 3, 20, 33);
    parent.show();
    QCoreApplication::processEvents();

    const QPoint bare(10 + 18, 3 + 2);  // right strip, above the dot
    QImage img = parent.grab().toImage();
    EXPECT_EQ(img.pixelColor(bare), QColor(Qt::magenta));
    expectPaintedAsModel(*led, led->grab().toImage(), "transparent");

    led->setBackStyle(LED::Opaque);
    img = parent.grab().toImage();
    EXPECT_EQ(img.pixelColor(bare), kGrey);

    // Alone, a transparent LED leaves its background clear.
    LED alone;
    alone.resize(20, 33);
    const QImage own = alone.grab().toImage();
    EXPECT_EQ(own.pixelColor(18, 2).alpha(), 0);
    EXPECT_EQ(own.pixelColor(pixelAt(alone, 100, 22)), colourOf(kGreen));
}

TEST(LedRender, SingleBorderFramesTheInnerArea) {
    ShownLed s(QSize(22, 35));
    LED& led = s.led;
    led.setBackStyle(LED::Opaque);
    led.setShowBorder(true);
    led.resize(22, 35);  // already this size: lay out again inside the new border
    led.UserControl_Resize();
    EXPECT_EQ(innerSizeTwips(led), QSizeF(300, 495));
    const QImage img = led.grab().toImage();
    const QColor frame = led.palette().color(QPalette::WindowText);
    for (const QPoint p :
         {QPoint(0, 0), QPoint(21, 0), QPoint(0, 34), QPoint(21, 34), QPoint(11, 0), QPoint(0, 17)}) {
        EXPECT_EQ(img.pixelColor(p), frame) << p.x() << "," << p.y();
    }
    EXPECT_EQ(img.pixelColor(20, 3), kGrey);
    expectPaintedAsModel(led, img, "bordered");

    led.setShowBorder(false);
    EXPECT_EQ(led.grab().toImage().pixelColor(0, 0), kGrey);
}

TEST(LedRender, SystemColoursComeFromThePalette) {
    ShownLed s(QSize(20, 33));
    LED& led = s.led;
    QPalette pal = led.palette();
    pal.setColor(QPalette::Active, QPalette::Highlight, QColor(1, 2, 3));
    pal.setColor(QPalette::Inactive, QPalette::Highlight, QColor(1, 2, 3));
    led.setPalette(pal);
    led.setLEDColorOn(0x8000000D);  // the highlight colour
    led.setValue(qint16(8));
    const QImage img = led.grab().toImage();
    EXPECT_EQ(
        img.pixelColor(pixelAt(led, float(middle(segment(led, 1)).x()), float(middle(segment(led, 1)).y()))),
        QColor(1, 2, 3));
    EXPECT_EQ(ledOleColorToQColor(0x00030201, pal), QColor(1, 2, 3));
    EXPECT_EQ(ledQColorToOleColor(QColor(1, 2, 3)), 0x00030201u);
    EXPECT_EQ(ledOleColorToQColor(0x80FFFFFF, pal), pal.color(QPalette::Active, QPalette::WindowText));
}

TEST(LedRender, ATinyDigitStillDrawsHairlines) {
    ShownLed s(QSize(4, 6));  // 60 x 90 twips: computed thickness 0
    LED& led = s.led;
    ASSERT_EQ(segment(led, 0).width, 0);
    led.setValue(qint16(8));
    const QImage img = led.grab().toImage();
    int lit = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            lit += img.pixelColor(x, y) == colourOf(kGreen);
        }
    }
    EXPECT_GT(lit, 0);
}
