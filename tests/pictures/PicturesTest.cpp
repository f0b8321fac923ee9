// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Every picture the windows show: it loads, Qt draws all of it, and it fits its place without distortion.
#include "recorder/window/SpinningGlobe.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <set>

namespace {

struct Place {
    const char* resource;
    int width;  // pixels the control gives the picture
    int height;
};

// Sizes of the controls that show them (twips / 15).
const Place kPlaces[] = {
    {"handset.svg", 32, 32},
    {"handset-16.svg", 16, 16},
    {"laptop-briefcase.svg", 168, 193},
    {"software-box.svg", 32, 32},
    {"emblem.svg", 32, 32},
    {"phone-handheld-globe.svg", 235, 160},
    {"soundcard-panel.svg", 138, 107},
    {"socket-green.svg", 31, 29},
    {"socket-blue.svg", 31, 32},
    {"socket-pink.svg", 31, 33},
    {"cables.svg", 240, 176},
};

// Qt SVG reports what it cannot draw (CSS, filters, unknown elements) only as a warning.
QStringList svgWarnings;
QtMessageHandler previousHandler = nullptr;

void collectSvgWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (context.category && QByteArray(context.category).startsWith("qt.svg"))
        svgWarnings << message;
    else if (previousHandler)
        previousHandler(type, context, message);
}

// Qt 6.4 draws only this subset; filters, masks, clipping and CSS it skips without a word, so a
// picture that leans on them looks different from what its author saw in another viewer.
QStringList unsupportedParts(const QString& path)
{
    static const std::set<QString> elements{"svg", "title", "desc", "defs", "g", "path", "rect",
                                            "circle", "ellipse", "line", "polyline", "polygon",
                                            "linearGradient", "radialGradient", "stop"};
    static const std::set<QString> attributes{"style", "class", "filter", "mask", "clip-path"};
    QStringList found;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {"unreadable"};
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (!elements.count(xml.name().toString()))
            found << xml.name().toString();
        for (const QXmlStreamAttribute& attribute : xml.attributes())
            if (attributes.count(attribute.name().toString()))
                found << attribute.name().toString();
    }
    if (xml.hasError())
        found << xml.errorString();
    return found;
}

TEST(Pictures, EachLoadsDrawsWhollyAndFitsItsControl)
{
    previousHandler = qInstallMessageHandler(collectSvgWarnings);
    for (const Place& place : kPlaces) {
        SCOPED_TRACE(place.resource);
        svgWarnings.clear();
        const QString path = QStringLiteral(":/pictures/") + place.resource;
        const QStringList unsupported = unsupportedParts(path);
        EXPECT_TRUE(unsupported.isEmpty()) << unsupported.join(", ").toStdString();
        QSvgRenderer renderer(path);
        ASSERT_TRUE(renderer.isValid());

        const QRectF box = renderer.viewBoxF();
        EXPECT_NEAR(box.width() / box.height(), double(place.width) / place.height, 0.005);

        for (int scale : {1, 2}) {
            // A margin around the place: nothing may be drawn there, over the neighbouring controls.
            const int margin = 8;
            const QRect target(margin, margin, place.width * scale, place.height * scale);
            QImage image(target.width() + 2 * margin, target.height() + 2 * margin, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            renderer.render(&painter, target);
            painter.end();
            // A picture Qt half understands comes out blank or flat; ours are drawn in many shades.
            std::set<QRgb> colours;
            int spilled = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (target.contains(x, y))
                        colours.insert(image.pixel(x, y));
                    else if (qAlpha(image.pixel(x, y)) > 0)
                        ++spilled;
                }
            }
            EXPECT_GT(colours.size(), 40u) << "at " << scale << "x";
            EXPECT_EQ(spilled, 0) << "at " << scale << "x";
        }
        EXPECT_TRUE(svgWarnings.isEmpty()) << svgWarnings.join('\n').toStdString();
    }
    qInstallMessageHandler(previousHandler);

    // Nothing in the resources without a place, so no picture goes unchecked.
    std::set<QString> placed;
    for (const Place& place : kPlaces)
        placed.insert(place.resource);
    for (const QString& name : QDir(QStringLiteral(":/pictures")).entryList(QDir::Files))
        EXPECT_TRUE(placed.count(name)) << name.toStdString();
}

// The globe alone, without the window's background behind it.
QImage paintedAlone(SpinningGlobe& globe)
{
    QImage image(globe.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    globe.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

TEST(SpinningGlobe, TurnsOnlyWhileShownAndTakesNoFocus)
{
    QWidget window;
    window.resize(120, 100);
    SpinningGlobe globe(&window);
    globe.setGeometry(10, 10, 49, 41);
    EXPECT_EQ(globe.focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(globe.isTurning());

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(globe.isTurning());
    const QImage first = paintedAlone(globe);
    // The turn follows the clock in whole frames; longer than two frames always shows a new one.
    QTest::qWait(3 * 1000 / SpinningGlobe::kFramesPerSecond);
    const QImage later = paintedAlone(globe);
    EXPECT_NE(first, later);
    EXPECT_GT(first.pixelColor(24, 20).alpha(), 200);  // the disc's middle is painted
    EXPECT_EQ(first.pixelColor(1, 1).alpha(), 0);      // the corners are left to the photograph

    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&globe);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Animation);
    EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty());

    globe.hide();
    EXPECT_FALSE(globe.isTurning());
    globe.show();
    EXPECT_TRUE(globe.isTurning());
    window.hide();
    EXPECT_FALSE(globe.isTurning());
}

}  // namespace
