// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A small globe that turns about its axis: the About window's animation. It is painted from a map
// drawn once per size, so each frame costs a table lookup per pixel, and it only ticks while shown.

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>

#include <vector>

class SpinningGlobe : public QWidget {
    Q_OBJECT

public:
    explicit SpinningGlobe(QWidget* parent = nullptr);

    QSize sizeHint() const override;

    // Frames per second while visible, and the time of one full turn.
    static constexpr int kFramesPerSecond = 12;
    static constexpr int kTurnMilliseconds = 9000;

    // True while the globe is ticking; false whenever it is hidden.
    bool isTurning() const { return ticker_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // What one pixel of the disc looks up in the map, computed once per size.
    struct DiscPixel {
        int offset;      // index into the frame
        float u;         // map column at the turn's start
        float v;         // map row
        float light;     // diffuse shading factor
        float shine;     // specular highlight, added on top
        float coverage;  // how much of the pixel the disc covers (antialiased rim)
    };

    void prepare(int side);
    void renderFrame(double turn);
    double currentTurn() const;

    QBasicTimer ticker_;
    QElapsedTimer clock_;
    qint64 elapsedBeforeHide_ = 0;
    QImage map_;
    QImage frame_;
    std::vector<DiscPixel> disc_;
    int preparedSide_ = 0;
};
