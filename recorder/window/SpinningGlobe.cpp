// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SpinningGlobe.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QResizeEvent>
#include <QShowEvent>
#include <QHideEvent>
#include <QTimerEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>

namespace {

constexpr double kPi = std::numbers::pi;
// The north pole leans towards the viewer so the continents read as a globe, not a disc.
constexpr double kTiltRadians = 22.0 * kPi / 180.0;

// Coastlines in degrees, longitude then latitude, coarse enough for a forty-pixel globe.
constexpr double kNorthAmerica[] = {
    -168, 65, -160, 71, -140, 70, -125, 70, -110, 73, -95, 72, -82, 73, -72, 68, -62, 60, -56, 52,
    -65, 45, -70, 42, -76, 35, -81, 31, -80, 25, -82, 28, -85, 30, -90, 29, -97, 27, -97, 21, -92, 18,
    -88, 16, -83, 10, -78, 8, -85, 12, -92, 15, -105, 20, -110, 24, -113, 31, -117, 33, -124, 40,
    -124, 48, -130, 55, -140, 60, -152, 59, -158, 57, -165, 60};
constexpr double kGreenland[] = {
    -55, 60, -44, 60, -22, 70, -18, 80, -40, 83, -60, 81, -72, 77, -56, 68};
constexpr double kSouthAmerica[] = {
    -78, 8, -72, 12, -62, 10, -50, 0, -35, -5, -38, -13, -40, -22, -48, -26, -53, -34, -58, -38,
    -65, -42, -68, -50, -70, -55, -74, -52, -73, -40, -71, -30, -70, -18, -76, -14, -81, -6, -80, 0,
    -77, 5};
constexpr double kAfrica[] = {
    -17, 21, -16, 14, -12, 8, -5, 5, 5, 4, 9, 4, 10, -2, 13, -12, 12, -17, 15, -27, 18, -34, 22, -34,
    28, -33, 33, -26, 36, -18, 40, -15, 40, -10, 39, -5, 42, 0, 51, 11, 44, 11, 38, 18, 33, 28, 32, 31,
    25, 32, 20, 31, 11, 33, 10, 37, 0, 36, -6, 36, -10, 30, -14, 27};
constexpr double kEurasia[] = {
    -10, 36, -9, 43, -2, 44, -4, 48, 2, 51, 8, 54, 8, 57, 5, 62, 12, 66, 20, 70, 30, 71, 40, 67,
    45, 68, 60, 70, 70, 73, 80, 73, 100, 77, 112, 74, 130, 71, 150, 71, 170, 70, 180, 68, 180, 65,
    170, 60, 160, 58, 157, 51, 150, 58, 140, 55, 138, 46, 130, 42, 127, 36, 122, 40, 121, 31, 117, 24,
    109, 21, 106, 16, 109, 12, 105, 9, 100, 13, 100, 6, 104, 1, 98, 8, 98, 16, 94, 17, 91, 22, 87, 21,
    80, 15, 78, 8, 73, 17, 72, 22, 66, 25, 57, 25, 56, 27, 52, 27, 48, 30, 50, 25, 56, 24, 59, 22,
    53, 16, 45, 13, 43, 13, 39, 21, 35, 28, 34, 31, 36, 36, 28, 37, 26, 40, 23, 38, 22, 40, 19, 42,
    16, 43, 13, 45, 12, 44, 15, 41, 18, 40, 15, 38, 8, 44, 3, 43, 0, 39, -5, 36};
constexpr double kBritain[] = {
    -6, 50, 2, 51, 0, 53, -3, 58, -6, 58, -5, 55, -3, 54};
constexpr double kJapan[] = {
    130, 32, 140, 35, 142, 40, 145, 44, 141, 45, 139, 38, 132, 34};
constexpr double kMadagascar[] = {
    44, -25, 47, -25, 50, -15, 49, -12, 44, -17};
constexpr double kBorneo[] = {
    109, 1, 117, 7, 119, 1, 116, -4, 110, -3};
constexpr double kSumatra[] = {
    95, 5, 98, 4, 106, -6, 101, -3};
constexpr double kNewGuinea[] = {
    131, -1, 141, -3, 150, -10, 141, -9, 137, -5};
constexpr double kAustralia[] = {
    114, -22, 114, -34, 118, -35, 124, -33, 131, -31, 138, -35, 141, -38, 146, -39, 150, -37, 153, -30,
    153, -25, 146, -19, 143, -11, 141, -14, 136, -12, 131, -11, 126, -14, 122, -18};
constexpr double kNewZealand[] = {
    172, -35, 178, -38, 174, -41, 167, -46, 171, -44};
const std::span<const double> kLand[] = {kNorthAmerica, kGreenland, kSouthAmerica, kAfrica, kEurasia, kBritain, kJapan, kMadagascar, kBorneo, kSumatra, kNewGuinea, kAustralia, kNewZealand};

// Maps a point in degrees onto the map, whose columns run from 180 W to 180 E.
QPointF onMap(double lon, double lat, QSizeF size)
{
    return {(lon + 180.0) / 360.0 * size.width(), (90.0 - lat) / 180.0 * size.height()};
}

// The flat map the disc samples: ocean, land, ice, and a graticule every 30 degrees.
QImage drawMap(int width)
{
    const int height = width / 2;
    QImage map(width, height, QImage::Format_ARGB32);
    map.fill(QColor(28, 92, 178));
    QPainter p(&map);
    p.setRenderHint(QPainter::Antialiasing);
    const QSizeF size(width, height);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(236, 242, 248));
    p.drawRect(QRectF(onMap(-180, -68, size), onMap(180, -90, size)));

    p.setPen(QPen(QColor(38, 110, 40), std::max(0.6, width / 300.0)));
    p.setBrush(QColor(86, 170, 72));
    for (std::span<const double> coast : kLand) {
        QPolygonF polygon;
        for (size_t i = 0; i + 1 < coast.size(); i += 2)
            polygon << onMap(coast[i], coast[i + 1], size);
        p.drawPolygon(polygon);
    }
    // Greenland under its ice.
    p.setBrush(QColor(226, 236, 240));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(onMap(-50, 80, size), onMap(-30, 68, size)));

    QPen grid(QColor(200, 225, 255, 110), std::max(0.7, width / 260.0));
    p.setPen(grid);
    for (int lon = -180; lon < 180; lon += 30)
        p.drawLine(onMap(lon, 90, size), onMap(lon, -90, size));
    for (int lat = -60; lat <= 60; lat += 30)
        p.drawLine(onMap(-180, lat, size), onMap(180, lat, size));
    return map;
}

QRgb sample(const QImage& map, double u, double v)
{
    // Bilinear, wrapping around in longitude and clamped at the poles.
    const int w = map.width();
    const int h = map.height();
    u = std::fmod(u, double(w));
    if (u < 0)
        u += w;
    v = std::clamp(v, 0.0, double(h - 1));
    const int x0 = int(u) % w;
    const int x1 = (x0 + 1) % w;
    const int y0 = int(v);
    const int y1 = std::min(y0 + 1, h - 1);
    const double fx = u - std::floor(u);
    const double fy = v - y0;
    const auto* row0 = reinterpret_cast<const QRgb*>(map.constScanLine(y0));
    const auto* row1 = reinterpret_cast<const QRgb*>(map.constScanLine(y1));
    auto mix = [&](int shift) {
        auto channel = [shift](QRgb c) { return double((c >> shift) & 0xff); };
        const double top = channel(row0[x0]) * (1 - fx) + channel(row0[x1]) * fx;
        const double bottom = channel(row1[x0]) * (1 - fx) + channel(row1[x1]) * fx;
        return int(top * (1 - fy) + bottom * fy);
    };
    return qRgb(mix(16), mix(8), mix(0));
}

class AccessibleGlobe : public QAccessibleWidget {
public:
    explicit AccessibleGlobe(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::Animation)
    {
    }
};

QAccessibleInterface* globeAccessibility(const QString&, QObject* object)
{
    if (auto* globe = qobject_cast<SpinningGlobe*>(object))
        return new AccessibleGlobe(globe);
    return nullptr;
}

}  // namespace

SpinningGlobe::SpinningGlobe(QWidget* parent)
    : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(globeAccessibility);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(tr("Globo girando"));
}

QSize SpinningGlobe::sizeHint() const
{
    return {40, 40};
}

void SpinningGlobe::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    clock_.start();
    ticker_.start(1000 / kFramesPerSecond, Qt::CoarseTimer, this);
}

void SpinningGlobe::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    ticker_.stop();
    if (clock_.isValid())
        elapsedBeforeHide_ += clock_.elapsed();
    clock_.invalidate();
}

void SpinningGlobe::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != ticker_.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (!isVisible()) {
        ticker_.stop();
        return;
    }
    update();
}

void SpinningGlobe::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    preparedSide_ = 0;
}

double SpinningGlobe::currentTurn() const
{
    const qint64 ms = elapsedBeforeHide_ + (clock_.isValid() ? clock_.elapsed() : 0);
    // Whole frames only, so the motion steps evenly whatever the timer's jitter.
    const qint64 frameMs = 1000 / kFramesPerSecond;
    return double((ms / frameMs * frameMs) % kTurnMilliseconds) / kTurnMilliseconds;
}

void SpinningGlobe::prepare(int side)
{
    preparedSide_ = side;
    frame_ = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
    frame_.fill(Qt::transparent);
    disc_.clear();
    // About one map column per pixel along the equator, so meridians stay crisp without shimmer.
    map_ = drawMap(std::max(64, int(std::lround(kPi * side))) & ~1);

    const double radius = side / 2.0;
    const double mapW = map_.width();
    const double mapH = map_.height();
    // Light from the upper left, in front.
    const double lx = -0.45, ly = 0.55, lz = 0.70;
    const double ll = std::sqrt(lx * lx + ly * ly + lz * lz);
    const double hx = lx / ll, hy = ly / ll, hz = lz / ll + 1.0;
    const double hl = std::sqrt(hx * hx + hy * hy + hz * hz);
    for (int py = 0; py < side; ++py) {
        for (int px = 0; px < side; ++px) {
            double x = (px + 0.5 - radius) / radius;
            double y = (radius - py - 0.5) / radius;
            const double d = std::hypot(x, y);
            const float coverage = float(std::clamp((1.0 - d) * radius + 0.5, 0.0, 1.0));
            if (coverage <= 0)
                continue;
            if (d > 1.0) {
                x /= d;
                y /= d;
            }
            const double z = std::sqrt(std::max(0.0, 1.0 - x * x - y * y));
            // Into the globe's own frame: undo the tilt about the horizontal axis.
            const double gy = y * std::cos(kTiltRadians) + z * std::sin(kTiltRadians);
            const double gz = -y * std::sin(kTiltRadians) + z * std::cos(kTiltRadians);
            const double lat = std::asin(std::clamp(gy, -1.0, 1.0));
            const double lon = std::atan2(x, gz);
            const double diffuse = std::max(0.0, (x * lx + y * ly + z * lz) / ll);
            const double specular = std::pow(std::max(0.0, (x * hx + y * hy + z * hz) / hl), 24.0);
            disc_.push_back({py * side + px, float((lon + kPi) / (2 * kPi) * mapW),
                             float((kPi / 2 - lat) / kPi * mapH), float(0.30 + 0.85 * diffuse),
                             float(70.0 * specular), coverage});
        }
    }
}

void SpinningGlobe::renderFrame(double turn)
{
    auto* pixels = reinterpret_cast<QRgb*>(frame_.bits());
    // The globe turns eastwards: the map slides under a fixed view.
    const double shift = (1.0 - turn) * map_.width();
    for (const DiscPixel& dp : disc_) {
        const QRgb c = sample(map_, dp.u + shift, dp.v);
        auto channel = [&](int value) {
            return std::clamp(int(value * dp.light + dp.shine), 0, 255);
        };
        const float a = dp.coverage;
        pixels[dp.offset] = qRgba(int(channel(qRed(c)) * a), int(channel(qGreen(c)) * a),
                                  int(channel(qBlue(c)) * a), int(255 * a));
    }
}

void SpinningGlobe::paintEvent(QPaintEvent*)
{
    const qreal dpr = devicePixelRatioF();
    const int logicalSide = std::max(1, std::min(width(), height()) - 1);
    const int side = std::max(1, int(std::lround(logicalSide * dpr)));
    if (side != preparedSide_)
        prepare(side);
    renderFrame(currentTurn());
    frame_.setDevicePixelRatio(dpr);
    QPainter p(this);
    const QSizeF logical(side / dpr, side / dpr);
    const QPointF topLeft((width() - logical.width()) / 2.0, (height() - logical.height()) / 2.0);
    p.drawImage(QRectF(topLeft, logical), frame_);
}
