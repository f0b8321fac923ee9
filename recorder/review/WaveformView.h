// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The take's waveform as its summary holds it so far: one lane a channel, the least and greatest
// sample of every pixel column, the playhead, the take's markers as numbered lines, and a shade
// over what lies outside the selection. Clicking or dragging moves the playhead, as do
// Left/Right (5 s), Home and End; the view asks for the move (seekRequested) and shows it. Assistive
// technology sees a slider named "Posição" whose value is the playhead in seconds.

#include "recorder/review/SecondsSlider.h"

#include <QTimer>
#include <QWidget>

#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

namespace review {

class WaveformSummary;

class WaveformView : public QWidget, public SecondsSlider {
    Q_OBJECT

public:
    static constexpr int kStepSeconds = 5;

    explicit WaveformView(QWidget* parent = nullptr);
    ~WaveformView() override;

    // Draws `summary`, redrawing as it fills; the playhead goes back to the start.
    void setSummary(std::shared_ptr<const WaveformSummary> summary);
    const WaveformSummary* summary() const { return summary_.get(); }

    void setPlayhead(std::uint64_t frame);
    std::uint64_t playhead() const { return playhead_; }
    double playheadSeconds() const;
    double lengthSeconds() const;
    // Moves the playhead to `seconds` as the user would (a screen reader setting the slider).
    void requestSeconds(double seconds);
    // Moves the playhead to `frame` as the user would.
    void request(std::uint64_t frame);

    // What lies outside frames [from, to) is shaded.
    void setSelection(std::uint64_t from, std::uint64_t to);
    // Lines numbered from 1, ascending.
    void setMarkers(std::vector<std::uint64_t> frames);
    const std::vector<std::uint64_t>& markers() const { return markers_; }

    // Where a frame is drawn, and which frame a point shows: what child widgets over the waveform
    // (the trim handles, the track boundaries) place themselves by.
    int columnOf(std::uint64_t frame) const;
    std::uint64_t frameAt(double x) const;
    std::uint64_t frames() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    double sliderSeconds() const override { return playheadSeconds(); }
    double sliderLeast() const override { return 0.0; }
    double sliderMost() const override { return lengthSeconds(); }
    double sliderStep() const override { return kStepSeconds; }
    QString sliderText() const override;
    void sliderRequest(double seconds) override { requestSeconds(seconds); }

signals:
    // The user moved the playhead to `frame`.
    void seekRequested(std::uint64_t frame);
    // The view's size changed: what stands over it moves along.
    void resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refreshWhileFilling();
    void paintMarkers(QPainter& painter, const QRect& area) const;

    std::shared_ptr<const WaveformSummary> summary_;
    std::uint64_t playhead_ = 0;
    // Columns before the one this frame falls in are drawn from a summary complete over them.
    std::uint64_t drawnUpTo_ = 0;
    std::uint64_t selectionFrom_ = 0;
    std::uint64_t selectionTo_ = UINT64_MAX;
    std::vector<std::uint64_t> markers_;
    QTimer filling_;
};

}  // namespace review
