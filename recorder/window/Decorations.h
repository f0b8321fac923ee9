// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Decoration on the designed windows: painted rectangles and pictures. They take no focus and let
// every mouse event through to whatever lies beneath.

#include <QColor>
#include <QPalette>
#include <QString>
#include <QWidget>

#include <optional>

class QSvgRenderer;

// A rectangle with an outline drawn inside its edges and, optionally, a solid fill. The fill is a
// fixed colour or a colour of the desktop scheme, looked up each time it is drawn.
class ShapeWidget : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor borderColor READ borderColor WRITE setBorderColor)
    Q_PROPERTY(int borderWidth READ borderWidth WRITE setBorderWidth)
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor)

public:
    explicit ShapeWidget(QWidget* parent = nullptr);

    QColor borderColor() const { return borderColor_; }
    void setBorderColor(const QColor& colour);
    int borderWidth() const { return borderWidth_; }
    void setBorderWidth(int pixels);
    // An invalid colour leaves the inside transparent.
    QColor fillColor() const { return fillColor_; }
    void setFillColor(const QColor& colour);
    void setFillRole(QPalette::ColorRole role);
    // The colour the inside is painted in now; invalid when it is transparent.
    QColor effectiveFill() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor borderColor_{128, 128, 128};
    int borderWidth_ = 1;
    QColor fillColor_;
    std::optional<QPalette::ColorRole> fillRole_;
};

// A drawing from the program's resources, rendered at the size it is shown at so it stays sharp on
// any screen. Stretched, it fills the widget; otherwise it keeps its own size from the top-left.
class PictureWidget : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString source READ source WRITE setSource)
    Q_PROPERTY(bool stretch READ stretch WRITE setStretch)
    Q_PROPERTY(bool framed READ framed WRITE setFramed)

public:
    explicit PictureWidget(QWidget* parent = nullptr);
    ~PictureWidget() override;

    QString source() const { return source_; }
    // A resource path such as ":/pictures/emblem.svg"; a missing one shows nothing.
    void setSource(const QString& path);
    bool stretch() const { return stretch_; }
    void setStretch(bool stretch);
    // A single-line border around the picture.
    bool framed() const { return framed_; }
    void setFramed(bool framed);
    bool hasPicture() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString source_;
    bool stretch_ = false;
    bool framed_ = false;
    QSvgRenderer* renderer_ = nullptr;
};
