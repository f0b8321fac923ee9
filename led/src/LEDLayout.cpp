// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

// The digit's geometry as a pure function of the inner size, and OLE colour resolution.
#include <LED/LED.h>

#include <QCoreApplication>
#include <QPalette>

#include "LED_p.h"

namespace {

[[noreturn]] void overflow(const QString& what, double x) {
    throw LEDConversionError(
        LEDConversionError::Kind::Overflow, what,
        QCoreApplication::translate("LED", "estouro: %1 twips não cabem num comprimento de 16 bits")
            .arg(x, 0, 'f', 1));
}

qint16 roundedLength(double x, const QString& what) {
    const double r = LEDPrivate::roundToEven(x);
    if (!(r >= -32768.0 && r <= 32767.0)) {
        overflow(what, x);
    }
    return static_cast<qint16>(r);
}

// The layout's integer sums are 16-bit; wider results are an overflow, not a wrap.
qint16 sum16(int x, const QString& what) {
    if (x < -32768 || x > 32767) {
        overflow(what, x);
    }
    return static_cast<qint16>(x);
}

}  // namespace

LEDGeometry LEDPrivate::layoutFor(float widthTwips, float heightTwips) {
    const float W = widthTwips;
    const float H = heightTwips;
    const float base = W > H ? H : W;

    LEDGeometry g;
    g.margin = roundedLength(double(base) * 0.075, QStringLiteral("Margin"));
    g.gap = roundedLength(double(base) * 0.1, QStringLiteral("Gap"));
    g.dotSize = roundedLength(double(base) * 0.15, QStringLiteral("DotSize"));
    const qint16 b = g.margin;
    const qint16 gp = g.gap;
    const qint16 d = g.dotSize;

    g.dotLeft = W - b - d;
    g.dotTop = H - b - d;
    g.dotWidth = d;
    g.dotHeight = d;

    g.segmentWidth = roundedLength(double(d) * 0.05, QStringLiteral("segment width"));

    const qint16 bg = sum16(b + gp, QStringLiteral("Margin + Gap"));
    const qint16 b3 = sum16(3 * b, QStringLiteral("3 x Margin"));
    const float R = W - b3 - d;  // x of the right-hand column
    const float M = H / 2;       // y of the middle row
    const float fb = b;
    const float fbg = bg;
    const float fg = gp;

    g.lines[0] = {fbg, fb, R - fg, fb};          // top
    g.lines[1] = {fbg, M, R - fg, M};            // middle
    g.lines[2] = {fbg, H - fb, R - fg, H - fb};  // bottom
    g.lines[3] = {fb, fbg, fb, M - fg};          // upper left
    g.lines[4] = {R, fbg, R, M - fg};            // upper right
    g.lines[5] = {fb, M + fg, fb, H - fb - fg};  // lower left
    g.lines[6] = {R, M + fg, R, H - fb - fg};    // lower right
    return g;
}

namespace {
struct SystemColour {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The classic system colour indexes (COLOR_SCROLLBAR = 0 ... COLOR_MENUBAR = 30) by the
// nearest role a Qt palette has.
constexpr SystemColour kSystemColours[] = {
    {QPalette::Active, QPalette::Button},             // 0 scroll bar
    {QPalette::Active, QPalette::Window},             // 1 desktop
    {QPalette::Active, QPalette::Highlight},          // 2 active caption
    {QPalette::Inactive, QPalette::Highlight},        // 3 inactive caption
    {QPalette::Active, QPalette::Window},             // 4 menu
    {QPalette::Active, QPalette::Base},               // 5 window
    {QPalette::Active, QPalette::WindowText},         // 6 window frame
    {QPalette::Active, QPalette::WindowText},         // 7 menu text
    {QPalette::Active, QPalette::Text},               // 8 window text
    {QPalette::Active, QPalette::HighlightedText},    // 9 caption text
    {QPalette::Active, QPalette::Window},             // 10 active border
    {QPalette::Inactive, QPalette::Window},           // 11 inactive border
    {QPalette::Active, QPalette::Dark},               // 12 application workspace
    {QPalette::Active, QPalette::Highlight},          // 13 highlight
    {QPalette::Active, QPalette::HighlightedText},    // 14 highlight text
    {QPalette::Active, QPalette::Button},             // 15 button face
    {QPalette::Active, QPalette::Dark},               // 16 button shadow
    {QPalette::Disabled, QPalette::Text},             // 17 grey text
    {QPalette::Active, QPalette::ButtonText},         // 18 button text
    {QPalette::Inactive, QPalette::HighlightedText},  // 19 inactive caption text
    {QPalette::Active, QPalette::Light},              // 20 button highlight
    {QPalette::Active, QPalette::Shadow},             // 21 3-D dark shadow
    {QPalette::Active, QPalette::Midlight},           // 22 3-D light
    {QPalette::Active, QPalette::ToolTipText},        // 23 info text
    {QPalette::Active, QPalette::ToolTipBase},        // 24 info background
    {QPalette::Active, QPalette::WindowText},         // 25 (unused)
    {QPalette::Active, QPalette::Link},               // 26 hot light
    {QPalette::Active, QPalette::Highlight},          // 27 gradient active caption
    {QPalette::Inactive, QPalette::Highlight},        // 28 gradient inactive caption
    {QPalette::Active, QPalette::Highlight},          // 29 menu highlight
    {QPalette::Active, QPalette::Window},             // 30 menu bar
};
}  // namespace

QColor ledOleColorToQColor(quint32 oleColor, const QPalette& palette) {
    if (oleColor & 0x80000000u) {
        const quint32 index = oleColor & 0x00FFFFFFu;
        if (index < std::size(kSystemColours)) {
            const SystemColour& s = kSystemColours[index];
            return palette.color(s.group, s.role);
        }
        return palette.color(QPalette::Active, QPalette::WindowText);
    }
    return QColor(int(oleColor & 0xFF), int((oleColor >> 8) & 0xFF), int((oleColor >> 16) & 0xFF));
}

quint32 ledQColorToOleColor(const QColor& colour) {
    const QColor c = colour.toRgb();
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}
