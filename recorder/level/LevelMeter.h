// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A level meter strip for one channel of the default source: a column of cells on a dBFS scale
// from -60 at the bottom to 0 at the top, green, then yellow from -20, then red from -10; the cell
// of the held peak stays lit; a clip cell above the scale latches red. It shows what a
// LevelMonitor measures, and nothing (dark) while there is nothing to measure.

#include <QPointer>
#include <QWidget>

#include <optional>

namespace level {
class LevelMonitor;
}

class LevelMeter : public QWidget {
    Q_OBJECT

public:
    explicit LevelMeter(QWidget* parent = nullptr);

    // Shows `channel` of `monitor` from now on; null, or a monitor that is gone, leaves the strip dark.
    void watch(const level::LevelMonitor* monitor, int channel);

    // A line across the strip at `db` (the level that starts a take), or none.
    void setMarkedLevel(std::optional<double> db);
    const std::optional<double>& markedLevel() const { return marked_; }

    // The bar's level in dBFS, -60 (the floor) when nothing is lit; the strip's accessible value.
    double peakDbfs() const;
    // Cells of the scale (the clip cell apart), how many the bar lights, the held peak's cell
    // (-1: none) and the clip cell.
    int cellCount() const;
    int litCells() const { return shown_.lit; }
    int holdCell() const { return shown_.hold; }
    bool clipLit() const { return shown_.clip; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Shown {
        int lit = 0;
        int hold = -1;
        bool clip = false;
        double db = -60.0;
        bool operator==(const Shown&) const = default;
    };
    void refresh();
    Shown measure() const;

    QPointer<const level::LevelMonitor> monitor_;
    int channel_ = 0;
    Shown shown_;
    std::optional<double> marked_;
};
