#include "recorder/level/LevelMeter.h"

#include <QPainter>
#include <QTimerEvent>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int kMargin = 2;
constexpr int kCellPitch = 4;  // three lit pixels and a gap
const QColor kBack(20, 20, 20);

// Lit cells of the demonstration, in eighths of the strip, frame by frame: the rise and fall of a voice.
constexpr std::array<int, 24> kDemonstration{2, 4, 6, 7, 8, 6, 5, 3, 5, 7, 6, 4,
                                             3, 2, 4, 5, 7, 8, 7, 5, 3, 4, 3, 1};

// Each new strip starts elsewhere in the loop, so strips side by side do not move together.
int nextPhase() {
    static int phase = 0;
    phase += 7;
    return phase;
}

// Green for the lower two thirds, yellow up to the top sixth, red above it.
QColor cellColour(int cell, int cells, bool lit) {
    const double height = static_cast<double>(cell + 1) / cells;
    QColor colour = height > 5.0 / 6   ? QColor(230, 30, 30)
                    : height > 4.0 / 6 ? QColor(240, 210, 0)
                                       : QColor(30, 200, 40);
    return lit ? colour : colour.darker(400);
}

}  // namespace

LevelMeter::LevelMeter(QWidget* parent) : QWidget(parent), frame_(nextPhase()) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    level_ = kDemonstration[static_cast<std::size_t>(frame_) % kDemonstration.size()] / 8.0;
}

void LevelMeter::setLevel(double fraction) {
    const double clamped = std::clamp(fraction, 0.0, 1.0);
    const bool wasDemonstrating = demonstrating_;
    demonstrating_ = false;
    updateTimer();
    if (wasDemonstrating || clamped != level_) {
        const int before = litCells();
        level_ = clamped;
        if (wasDemonstrating || litCells() != before) {
            update();
        }
    }
}

void LevelMeter::playDemonstration() {
    demonstrating_ = true;
    updateTimer();
}

int LevelMeter::cellCount() const {
    return std::max(0, (height() - 2 * kMargin + 1) / kCellPitch);
}

int LevelMeter::litCells() const {
    return static_cast<int>(std::lround(level_ * cellCount()));
}

void LevelMeter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBack);
    const int cells = cellCount();
    const int lit = litCells();
    const int bottom = height() - kMargin;
    for (int i = 0; i < cells; ++i) {
        const QRect cell(kMargin + 1, bottom - (i + 1) * kCellPitch + 1, width() - 2 * (kMargin + 1),
                         kCellPitch - 1);
        painter.fillRect(cell, cellColour(i, cells, i < lit));
    }
}

void LevelMeter::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    updateTimer();
}

void LevelMeter::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    updateTimer();
}

void LevelMeter::updateTimer() {
    if (demonstrating_ && isVisible()) {
        if (!timer_.isActive()) {
            timer_.start(kFrameMilliseconds, Qt::CoarseTimer, this);
        }
    } else {
        timer_.stop();
    }
}

void LevelMeter::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    // A minimised window draws nothing; the loop simply waits.
    if (window()->isMinimized()) {
        return;
    }
    ++frame_;
    const int before = litCells();
    level_ = kDemonstration[static_cast<std::size_t>(frame_) % kDemonstration.size()] / 8.0;
    if (litCells() != before) {
        update();
    }
}
