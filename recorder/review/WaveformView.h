// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The take's waveform as its summary holds it so far: one lane a channel, the least and greatest
// sample of every pixel column, and the playhead. Clicking or dragging moves the playhead, as do
// Left/Right (5 s), Home and End; the view asks for the move (seekRequested) and shows it. Assistive
// technology sees a slider named "Posição" whose value is the playhead in seconds.

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>

namespace review {

class WaveformSummary;

class WaveformView : public QWidget {
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

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The user moved the playhead to `frame`.
    void seekRequested(std::uint64_t frame);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    std::uint64_t frames() const;
    std::uint64_t frameAt(double x) const;
    int columnOf(std::uint64_t frame) const;
    void request(std::uint64_t frame);
    void refreshWhileFilling();

    std::shared_ptr<const WaveformSummary> summary_;
    std::uint64_t playhead_ = 0;
    std::uint64_t drawnUpTo_ = 0;  // frames summarised at the last paint
    QTimer filling_;
};

}  // namespace review
