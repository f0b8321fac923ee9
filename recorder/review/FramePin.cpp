// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/review/FramePin.h"

#include "recorder/review/TimeText.h"
#include "recorder/review/WaveformSummary.h"
#include "recorder/review/WaveformView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace review {

namespace {

// Wide enough to grab, narrow enough to leave the waveform clickable beside it.
constexpr int kWidth = 13;
constexpr int kGrip = 12;
const QColor kTrim(35, 35, 35);
const QColor kBoundary(0, 140, 60);

// The keys a pin moves by, which the window's own shortcuts must leave to it while it has the focus.
bool isPinKey(const QKeyEvent& key, FramePin::Kind kind) {
    if (key.modifiers() & ~Qt::KeypadModifier) {
        return false;
    }
    switch (key.key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            return true;
        case Qt::Key_Delete:
            return kind == FramePin::Kind::Boundary;
        default:
            return false;
    }
}

}  // namespace

FramePin::FramePin(Kind kind, WaveformView* view) : QWidget(view), kind_(kind), view_(view) {
    exposeAsSecondsSlider();
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::SizeHorCursor);
    most_ = view_->frames();
    connect(view_, &WaveformView::resized, this, &FramePin::place);
    place();
}

std::uint32_t FramePin::rate() const {
    return view_->summary() != nullptr ? view_->summary()->rate() : 0;
}

double FramePin::secondsOf(std::uint64_t frame) const {
    return rate() > 0 ? static_cast<double>(frame) / rate() : 0.0;
}

std::uint64_t FramePin::framesIn(double seconds) const {
    return static_cast<std::uint64_t>(std::llround(seconds * rate()));
}

void FramePin::setReach(std::uint64_t least, std::uint64_t most) {
    least_ = least;
    most_ = std::max(least, most);
    setFrame(frame_);
}

void FramePin::setFrame(std::uint64_t frame) {
    frame = std::clamp(frame, least_, most_);
    const bool moved = frame != frame_;
    frame_ = frame;
    place();
    if (moved) {
        announceSliderValue(this, seconds());
    }
}

QString FramePin::sliderText() const {
    return preciseClockText(frame_, std::max<std::uint32_t>(rate(), 1));
}

void FramePin::requestSeconds(double seconds) {
    request(framesIn(std::max(seconds, 0.0)));
}

void FramePin::request(std::uint64_t frame) {
    const std::uint64_t before = frame_;
    setFrame(frame);
    if (frame_ != before) {
        emit moved(frame_);
    }
}

void FramePin::place() {
    setGeometry(view_->columnOf(frame_) - kWidth / 2, 0, kWidth, view_->height());
}

bool FramePin::event(QEvent* event) {
    // The window plays, marks and trims by plain keys; the ones a pin moves by stay with it.
    if (event->type() == QEvent::ShortcutOverride && isPinKey(*static_cast<QKeyEvent*>(event), kind_)) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void FramePin::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double middle = kWidth / 2 + 0.5;
    const double h = height();
    // The pin with the focus stands out in the focus colour, also where it sits at an edge.
    const QColor colour =
        hasFocus() ? palette().color(QPalette::Highlight) : (kind_ == Kind::Boundary ? kBoundary : kTrim);
    QPen line(colour, hasFocus() ? 3.0 : 2.0);
    if (kind_ == Kind::Boundary) {
        line.setDashPattern({3.0, 2.0});
    }
    painter.setPen(line);
    painter.drawLine(QPointF(middle, 0), QPointF(middle, h));
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    // A trim handle's grips point into the selection, like brackets; a boundary's are diamonds.
    for (const double edge : {0.0, h}) {
        const double inward = edge == 0.0 ? kGrip : -kGrip;
        QPainterPath grip;
        if (kind_ == Kind::Boundary) {
            grip.moveTo(middle, edge);
            grip.lineTo(middle - kWidth / 2, edge + inward / 2);
            grip.lineTo(middle, edge + inward);
            grip.lineTo(middle + kWidth / 2, edge + inward / 2);
        } else {
            const double side = kind_ == Kind::TrimStart ? kWidth / 2 : -kWidth / 2;
            grip.moveTo(middle, edge);
            grip.lineTo(middle + side, edge);
            grip.lineTo(middle, edge + inward);
        }
        grip.closeSubpath();
        painter.drawPath(grip);
    }
}

void FramePin::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void FramePin::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        request(view_->frameAt(mapToParent(event->position()).x()));
    }
}

void FramePin::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_ && event->button() == Qt::LeftButton) {
        dragging_ = false;
        emit released();
    }
}

void FramePin::keyPressEvent(QKeyEvent* event) {
    if (!isPinKey(*event, kind_)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const std::uint64_t fine = std::max<std::uint64_t>(framesIn(kFineStepSeconds), 1);
    const std::uint64_t coarse = std::max<std::uint64_t>(framesIn(kCoarseStepSeconds), 1);
    const auto back = [&](std::uint64_t step) { return frame_ > step ? frame_ - step : 0; };
    switch (event->key()) {
        case Qt::Key_Left:
            request(back(fine));
            break;
        case Qt::Key_Right:
            request(frame_ + fine);
            break;
        case Qt::Key_PageDown:
            request(back(coarse));
            break;
        case Qt::Key_PageUp:
            request(frame_ + coarse);
            break;
        case Qt::Key_Home:
            request(least_);
            break;
        case Qt::Key_End:
            request(most_);
            break;
        case Qt::Key_Delete:
            emit removeRequested();
            break;
        default:
            break;
    }
}

}  // namespace review
