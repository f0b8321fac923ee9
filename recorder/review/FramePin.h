// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A point of the take that stands over the waveform and that the user moves: a trim handle or a
// track boundary. It takes the focus; the mouse drags it, Left/Right move it 0.1 s, Page Up/Page
// Down 5 s, Home/End to the ends it may reach; Delete asks to remove a boundary. Assistive
// technology sees a slider with the pin's accessible name whose value is its time in seconds.

#include "recorder/review/SecondsSlider.h"

#include <QWidget>

#include <cstdint>

namespace review {

class WaveformView;

class FramePin final : public QWidget, public SecondsSlider {
    Q_OBJECT

public:
    enum class Kind { TrimStart, TrimEnd, Boundary };
    static constexpr double kFineStepSeconds = 0.1;
    static constexpr double kCoarseStepSeconds = 5.0;

    // Stands over `view`, as its child.
    FramePin(Kind kind, WaveformView* view);

    Kind kind() const { return kind_; }
    std::uint64_t frame() const { return frame_; }
    // Places the pin at `frame` within its reach, without telling anyone.
    void setFrame(std::uint64_t frame);
    // The frames it may reach; the frame is kept within them.
    void setReach(std::uint64_t least, std::uint64_t most);
    std::uint64_t least() const { return least_; }
    std::uint64_t most() const { return most_; }

    double seconds() const { return secondsOf(frame_); }
    double secondsOf(std::uint64_t frame) const;
    std::uint32_t rate() const;
    // Moves it to `seconds` as the user would (a screen reader setting the slider).
    void requestSeconds(double seconds);

    double sliderSeconds() const override { return seconds(); }
    double sliderLeast() const override { return secondsOf(least_); }
    double sliderMost() const override { return secondsOf(most_); }
    double sliderStep() const override { return kFineStepSeconds; }
    QString sliderText() const override;
    void sliderRequest(double seconds) override { requestSeconds(seconds); }

signals:
    // The user moved it to `frame`.
    void moved(std::uint64_t frame);
    // The user let go of it after a drag.
    void released();
    // Delete on a boundary.
    void removeRequested();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void place();
    void request(std::uint64_t frame);
    std::uint64_t framesIn(double seconds) const;

    const Kind kind_;
    WaveformView* const view_;
    std::uint64_t frame_ = 0;
    std::uint64_t least_ = 0;
    std::uint64_t most_ = 0;
    bool dragging_ = false;
};

}  // namespace review
