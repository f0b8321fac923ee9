// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The time ruler over the waveform: ticks in H:MM:SS as far apart as the width lets their labels
// stand, on the same scale as a WaveformView of the same width. A decoration: it takes no focus;
// the playhead's time is read elsewhere.

#include <QWidget>

#include <cstdint>

namespace review {

class TimeRuler final : public QWidget {
    Q_OBJECT

public:
    explicit TimeRuler(QWidget* parent = nullptr);

    void setLength(std::uint64_t frames, std::uint32_t rate);
    // The seconds between two labelled ticks at the present width.
    std::uint64_t labelSeconds() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::uint64_t frames_ = 0;
    std::uint32_t rate_ = 0;
};

}  // namespace review
