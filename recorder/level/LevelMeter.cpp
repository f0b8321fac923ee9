// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/level/LevelMeter.h"

#include "recorder/level/LevelMonitor.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

using level::MeterBallistics;

constexpr int kMargin = 2;
constexpr int kCellPitch = 3;  // two lit pixels and a gap
constexpr double kRange = -MeterBallistics::kFloorDb;
const QColor kBack(20, 20, 20);
const QColor kRed(230, 30, 30);
const QColor kYellow(240, 210, 0);
const QColor kGreen(30, 200, 40);

// The colour of the cell whose top lies at `topDb`.
QColor cellColour(double topDb, bool lit) {
    const QColor colour = topDb > -10.0 ? kRed : topDb > -20.0 ? kYellow : kGreen;
    return lit ? colour : colour.darker(400);
}

// How many cells of `cells` a level lights, counted from the bottom.
int cellsFor(double db, int cells) {
    if (db <= MeterBallistics::kFloorDb) {
        return 0;
    }
    return std::clamp(static_cast<int>(std::lround((db + kRange) / kRange * cells)), 0, cells);
}

// Screen readers read a meter as a value between -60 and 0 dBFS.
class LevelMeterAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit LevelMeterAccessible(LevelMeter* meter) : QAccessibleWidget(meter, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }
    QVariant currentValue() const override { return meter()->peakDbfs(); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 0.0; }
    QVariant minimumValue() const override { return MeterBallistics::kFloorDb; }
    QVariant minimumStepSize() const override { return 0.1; }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return QStringLiteral("%1 dBFS").arg(meter()->peakDbfs(), 0, 'f', 1);
        }
        return QAccessibleWidget::text(t);
    }

private:
    LevelMeter* meter() const { return static_cast<LevelMeter*>(widget()); }
};

QAccessibleInterface* levelMeterAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("LevelMeter") && object->isWidgetType()) {
        return new LevelMeterAccessible(static_cast<LevelMeter*>(object));
    }
    return nullptr;
}

}  // namespace

LevelMeter::LevelMeter(QWidget* parent) : QWidget(parent) {
    static const bool accessible = (QAccessible::installFactory(levelMeterAccessible), true);
    Q_UNUSED(accessible);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LevelMeter::watch(const level::LevelMonitor* monitor, int channel) {
    if (monitor_) {
        disconnect(monitor_.data(), nullptr, this, nullptr);
    }
    monitor_ = monitor;
    channel_ = channel;
    if (monitor_) {
        connect(monitor_.data(), &level::LevelMonitor::changed, this, &LevelMeter::refresh);
    }
    refresh();
}

double LevelMeter::peakDbfs() const {
    return shown_.db;
}

int LevelMeter::cellCount() const {
    // The top cell is the clip cell.
    return std::max(0, (height() - 2 * kMargin + 1) / kCellPitch - 1);
}

LevelMeter::Shown LevelMeter::measure() const {
    Shown shown;
    if (!monitor_) {
        return shown;
    }
    const MeterBallistics& channel = monitor_->channel(channel_);
    const int cells = cellCount();
    shown.lit = cellsFor(channel.level(), cells);
    const int held = cellsFor(channel.hold(), cells);
    shown.hold = held > 0 ? held - 1 : -1;
    shown.clip = channel.clipped();
    // A tenth of a decibel is as fine as a reader needs.
    shown.db = std::round(std::clamp(channel.level(), MeterBallistics::kFloorDb, 0.0) * 10.0) / 10.0;
    return shown;
}

void LevelMeter::refresh() {
    const Shown now = measure();
    if (now == shown_) {
        return;
    }
    const bool valueChanged = now.db != shown_.db;
    const bool cellsChanged = now.lit != shown_.lit || now.hold != shown_.hold || now.clip != shown_.clip;
    shown_ = now;
    if (cellsChanged) {
        update();
    }
    if (valueChanged && QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, shown_.db);
        QAccessible::updateAccessibility(&event);
    }
}

void LevelMeter::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    shown_ = measure();
}

void LevelMeter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBack);
    const int cells = cellCount();
    const int bottom = height() - kMargin;
    const auto cellRect = [&](int i) {
        return QRect(kMargin + 1, bottom - (i + 1) * kCellPitch + 1, width() - 2 * (kMargin + 1), kCellPitch - 1);
    };
    for (int i = 0; i < cells; ++i) {
        const double topDb = MeterBallistics::kFloorDb + kRange * (i + 1) / cells;
        painter.fillRect(cellRect(i), cellColour(topDb, i < shown_.lit || i == shown_.hold));
    }
    painter.fillRect(cellRect(cells), shown_.clip ? kRed : kRed.darker(400));
    if (marked_) {
        // On the cells' scale: the line lies where the bar's top stands at that level.
        const int y = bottom - static_cast<int>(std::lround((*marked_ + kRange) / kRange * cells * kCellPitch));
        painter.fillRect(QRect(0, y - 1, width(), 2), Qt::white);
    }
}

void LevelMeter::setMarkedLevel(std::optional<double> db) {
    if (marked_ != db) {
        marked_ = db;
        update();
    }
}
