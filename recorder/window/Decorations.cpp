// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/Decorations.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

namespace {

void makeDecoration(QWidget& widget) {
    widget.setFocusPolicy(Qt::NoFocus);
    widget.setAttribute(Qt::WA_TransparentForMouseEvents);
}

}  // namespace

ShapeWidget::ShapeWidget(QWidget* parent) : QWidget(parent) {
    makeDecoration(*this);
}

void ShapeWidget::setBorderColor(const QColor& colour) {
    borderColor_ = colour;
    update();
}

void ShapeWidget::setBorderWidth(int pixels) {
    borderWidth_ = pixels;
    update();
}

void ShapeWidget::setFillColor(const QColor& colour) {
    fillColor_ = colour;
    fillRole_.reset();
    update();
}

void ShapeWidget::setFillRole(QPalette::ColorRole role) {
    fillRole_ = role;
    update();
}

QColor ShapeWidget::effectiveFill() const {
    return fillRole_ ? palette().color(*fillRole_) : fillColor_;
}

void ShapeWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor fill = effectiveFill();
    if (fill.isValid()) {
        painter.fillRect(rect(), fill);
    }
    if (borderWidth_ > 0) {
        // The outline lies wholly inside the rectangle, so neighbouring controls never cover it.
        const int w = borderWidth_;
        const QRect r = rect();
        painter.fillRect(QRect(r.left(), r.top(), r.width(), w), borderColor_);
        painter.fillRect(QRect(r.left(), r.bottom() - w + 1, r.width(), w), borderColor_);
        painter.fillRect(QRect(r.left(), r.top(), w, r.height()), borderColor_);
        painter.fillRect(QRect(r.right() - w + 1, r.top(), w, r.height()), borderColor_);
    }
}

PictureWidget::PictureWidget(QWidget* parent) : QWidget(parent) {
    makeDecoration(*this);
}

PictureWidget::~PictureWidget() = default;

void PictureWidget::setSource(const QString& path) {
    source_ = path;
    delete renderer_;
    renderer_ = nullptr;
    if (QFile::exists(path)) {
        renderer_ = new QSvgRenderer(path, this);
        if (!renderer_->isValid()) {
            delete renderer_;
            renderer_ = nullptr;
        }
    }
    update();
}

void PictureWidget::setStretch(bool stretch) {
    stretch_ = stretch;
    update();
}

void PictureWidget::setFramed(bool framed) {
    framed_ = framed;
    update();
}

bool PictureWidget::hasPicture() const {
    return renderer_ != nullptr;
}

void PictureWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (renderer_ != nullptr) {
        const QRectF area = stretch_ ? QRectF(rect()) : QRectF(QPointF(0, 0), renderer_->defaultSize());
        renderer_->render(&painter, area);
    }
    if (framed_) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}
