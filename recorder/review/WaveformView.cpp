// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/review/WaveformView.h"

#include "recorder/review/TimeText.h"
#include "recorder/review/WaveformSummary.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <vector>

namespace review {

namespace {

// While the summary fills, the view redraws this often: the issue allows 50 ms between repaints,
// and a busy machine delays a timer by some.
constexpr int kFillRefreshMs = 30;
const QColor kWave(30, 90, 170);
const QColor kCentre(150, 150, 150);
const QColor kNotYet(225, 225, 225);
const QColor kPlayhead(210, 30, 30);
const QColor kOutside(0, 0, 0, 80);
const QColor kMarker(225, 125, 0);

}  // namespace

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
    exposeAsSecondsSlider();
    setAccessibleName(tr("Posição"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    filling_.setInterval(kFillRefreshMs);
    connect(&filling_, &QTimer::timeout, this, &WaveformView::refreshWhileFilling);
}

WaveformView::~WaveformView() = default;

void WaveformView::setSummary(std::shared_ptr<const WaveformSummary> summary) {
    summary_ = std::move(summary);
    playhead_ = 0;
    drawnUpTo_ = 0;
    if (summary_ && !summary_->complete()) {
        filling_.start();
    } else {
        filling_.stop();
    }
    update();
}

std::uint64_t WaveformView::frames() const {
    return summary_ ? summary_->frames() : 0;
}

double WaveformView::playheadSeconds() const {
    return summary_ && summary_->rate() > 0 ? static_cast<double>(playhead_) / summary_->rate() : 0.0;
}

double WaveformView::lengthSeconds() const {
    return summary_ && summary_->rate() > 0 ? static_cast<double>(frames()) / summary_->rate() : 0.0;
}

void WaveformView::setPlayhead(std::uint64_t frame) {
    frame = std::min(frame, frames());
    if (frame == playhead_) {
        return;
    }
    const int before = columnOf(playhead_);
    const double secondsBefore = std::floor(playheadSeconds());
    playhead_ = frame;
    const int after = columnOf(playhead_);
    update(QRect(std::min(before, after) - 1, 0, std::abs(after - before) + 3, height()));
    // A screen reader hears the position move a second at a time, not at every repaint.
    if (std::floor(playheadSeconds()) != secondsBefore) {
        announceSliderValue(this, playheadSeconds());
    }
}

void WaveformView::setSelection(std::uint64_t from, std::uint64_t to) {
    if (from == selectionFrom_ && to == selectionTo_) {
        return;
    }
    selectionFrom_ = from;
    selectionTo_ = to;
    update();
}

void WaveformView::setMarkers(std::vector<std::uint64_t> frames) {
    markers_ = std::move(frames);
    update();
}

QString WaveformView::sliderText() const {
    return summary_ != nullptr ? preciseClockText(playhead_, summary_->rate()) : preciseClockText(0, 1);
}

void WaveformView::requestSeconds(double seconds) {
    if (!summary_) {
        return;
    }
    const double frame = std::clamp(seconds, 0.0, lengthSeconds()) * summary_->rate();
    request(static_cast<std::uint64_t>(std::llround(frame)));
}

void WaveformView::request(std::uint64_t frame) {
    frame = std::min(frame, frames());
    setPlayhead(frame);
    emit seekRequested(frame);
}

std::uint64_t WaveformView::frameAt(double x) const {
    if (width() <= 0) {
        return 0;
    }
    const double share = std::clamp(x / width(), 0.0, 1.0);
    return std::min(frames(),
                    static_cast<std::uint64_t>(std::llround(share * static_cast<double>(frames()))));
}

int WaveformView::columnOf(std::uint64_t frame) const {
    const std::uint64_t all = frames();
    if (all == 0) {
        return 0;
    }
    return static_cast<int>(std::min<std::uint64_t>(frame * static_cast<std::uint64_t>(width()) / all,
                                                    static_cast<std::uint64_t>(std::max(width() - 1, 0))));
}

void WaveformView::refreshWhileFilling() {
    if (!summary_) {
        filling_.stop();
        return;
    }
    if (summary_->complete()) {
        filling_.stop();
    }
    // Only the columns that filled since the last look. The paint comes later and may find more
    // summarised than `now`, but it draws only within this rectangle: what lies beyond is asked for
    // at the next look, from the column `now` falls in (drawn then, at best, in part).
    const std::uint64_t now = summary_->summarisedFrames();
    if (now != drawnUpTo_) {
        const int from = columnOf(drawnUpTo_);
        update(QRect(from, 0, columnOf(now) - from + 2, height()));
        drawnUpTo_ = now;
    }
}

void WaveformView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit resized();
}

QSize WaveformView::sizeHint() const {
    return {640, 160};
}

QSize WaveformView::minimumSizeHint() const {
    return {120, 48};
}

void WaveformView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, palette().base());
    const std::uint64_t all = frames();
    const int lanes = summary_ ? summary_->channels() : 1;
    const int w = width();
    const double laneHeight = static_cast<double>(height()) / lanes;
    // Not remembered as drawn: this paint may cover only a few columns (the playhead, a handle).
    const std::uint64_t summarised = summary_ ? summary_->summarisedFrames() : 0;

    const int firstColumn = std::max(area.left(), 0);
    const int lastColumn = std::min(area.right(), w - 1);
    if (all > 0 && w > 0) {
        // What is not read yet lies in a lighter shade.
        const int readTo = static_cast<int>(summarised * static_cast<std::uint64_t>(w) / all);
        if (readTo <= lastColumn) {
            painter.fillRect(QRect(QPoint(std::max(readTo, firstColumn), area.top()), area.bottomRight()),
                             kNotYet);
        }
    }
    for (int lane = 0; lane < lanes; ++lane) {
        const double middle = laneHeight * (lane + 0.5);
        const double half = laneHeight / 2 - 1;
        painter.setPen(kCentre);
        painter.drawLine(QPointF(area.left(), middle), QPointF(area.right() + 1, middle));
        if (all == 0 || w <= 0) {
            continue;
        }
        std::vector<QLineF> lines;
        lines.reserve(static_cast<std::size_t>(std::max(lastColumn - firstColumn + 1, 0)));
        for (int x = firstColumn; x <= lastColumn; ++x) {
            const std::uint64_t from = static_cast<std::uint64_t>(x) * all / static_cast<std::uint64_t>(w);
            const std::uint64_t to =
                std::max(from + 1, static_cast<std::uint64_t>(x + 1) * all / static_cast<std::uint64_t>(w));
            const auto extent = summary_->extent(lane, from, to);
            if (!extent) {
                break;
            }
            // At least one pixel tall, so silence reads as a line rather than nothing.
            const double top = middle - extent->greatest * half;
            const double bottom = std::max(middle - extent->least * half, top + 1.0);
            lines.emplace_back(x + 0.5, top, x + 0.5, bottom);
        }
        painter.setPen(QPen(kWave, 1.0));
        painter.drawLines(lines.data(), static_cast<int>(lines.size()));
    }
    if (all > 0 && w > 0) {
        const int from = selectionFrom_ > 0 ? columnOf(selectionFrom_) : 0;
        const int to = selectionTo_ < all ? columnOf(selectionTo_) : w;
        painter.fillRect(QRect(0, 0, from, height()).intersected(area), kOutside);
        painter.fillRect(QRect(to, 0, w - to, height()).intersected(area), kOutside);
        paintMarkers(painter, area);
    }
    if (summary_ && all > 0) {
        const int x = columnOf(playhead_);
        if (x >= area.left() - 1 && x <= area.right() + 1) {
            painter.setPen(QPen(kPlayhead, 1.0));
            painter.drawLine(QPointF(x + 0.5, 0), QPointF(x + 0.5, height()));
        }
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().highlight(), 1.0, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

// A line over the lanes, its number in a tab at the top: "1" for the take's first marker.
void WaveformView::paintMarkers(QPainter& painter, const QRect& area) const {
    const QFontMetrics metrics(font());
    const int tabHeight = metrics.height();
    for (std::size_t i = 0; i < markers_.size(); ++i) {
        const int x = columnOf(markers_[i]);
        const QString number = QString::number(i + 1);
        const QRect tab(x + 1, 0, metrics.horizontalAdvance(number) + 4, tabHeight);
        if (x < area.left() - 1 && tab.right() < area.left()) {
            continue;
        }
        if (x > area.right() + 1) {
            break;
        }
        painter.setPen(QPen(kMarker, 1.0));
        painter.drawLine(QPointF(x + 0.5, 0), QPointF(x + 0.5, height()));
        painter.fillRect(tab, kMarker);
        painter.setPen(Qt::white);
        painter.drawText(tab, Qt::AlignCenter, number);
    }
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && summary_) {
        request(frameAt(event->position().x()));
    }
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
    if ((event->buttons() & Qt::LeftButton) && summary_) {
        request(frameAt(event->position().x()));
    }
}

// The focus frame comes and goes with the focus.
void WaveformView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void WaveformView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void WaveformView::keyPressEvent(QKeyEvent* event) {
    if (!summary_) {
        QWidget::keyPressEvent(event);
        return;
    }
    const std::uint64_t step = std::uint64_t{summary_->rate()} * kStepSeconds;
    switch (event->key()) {
        case Qt::Key_Left:
            request(playhead_ > step ? playhead_ - step : 0);
            break;
        case Qt::Key_Right:
            request(playhead_ + step);
            break;
        case Qt::Key_Home:
            request(0);
            break;
        case Qt::Key_End:
            request(frames());
            break;
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace review
