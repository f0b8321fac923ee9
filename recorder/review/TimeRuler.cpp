// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/review/TimeRuler.h"

#include "recorder/review/TimeText.h"

#include <QPainter>

#include <array>

namespace review {

namespace {

// The spacings a clock reader expects, smallest first.
constexpr std::array<std::uint64_t, 16> kSpacings{1,   2,   5,   10,   15,   30,   60,    120,
                                                  300, 600, 900, 1800, 3600, 7200, 14400, 28800};

}  // namespace

TimeRuler::TimeRuler(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void TimeRuler::setLength(std::uint64_t frames, std::uint32_t rate) {
    frames_ = frames;
    rate_ = rate;
    update();
}

std::uint64_t TimeRuler::labelSeconds() const {
    if (frames_ == 0 || rate_ == 0 || width() <= 0) {
        return 0;
    }
    // A label and some room after it.
    const double wanted = fontMetrics().horizontalAdvance(QStringLiteral("0:00:00")) * 1.8;
    const double pixelsPerSecond = static_cast<double>(width()) * rate_ / static_cast<double>(frames_);
    for (const std::uint64_t spacing : kSpacings) {
        if (spacing * pixelsPerSecond >= wanted) {
            return spacing;
        }
    }
    return kSpacings.back();
}

QSize TimeRuler::sizeHint() const {
    return {640, fontMetrics().height() + 6};
}

QSize TimeRuler::minimumSizeHint() const {
    return {120, fontMetrics().height() + 6};
}

void TimeRuler::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawLine(0, height() - 1, width(), height() - 1);
    const std::uint64_t spacing = labelSeconds();
    if (spacing == 0) {
        return;
    }
    const std::uint64_t seconds = frames_ / rate_;
    const int textHeight = fontMetrics().height();
    for (std::uint64_t s = 0; s <= seconds; s += spacing) {
        const auto x = static_cast<int>(s * rate_ * static_cast<std::uint64_t>(width()) / frames_);
        painter.drawLine(x, textHeight, x, height() - 1);
        const QString label = clockText(s * rate_, rate_);
        // A label cut at the edge reads as another time: the tick alone says enough there.
        if (x + 2 + fontMetrics().horizontalAdvance(label) <= width()) {
            painter.drawText(QPoint(x + 2, textHeight - fontMetrics().descent()), label);
        }
    }
}

}  // namespace review
