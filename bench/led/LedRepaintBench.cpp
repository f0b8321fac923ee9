// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Time of one repaint of five LED digits at the recorder's size (300 x 495 twips, 20 x 33 pixels
// at 96 dpi), as the elapsed-time readout causes on every tick: the five values change, then the
// strip that holds them is painted. Prints the median and spread over many repaints.
#include <LED/LED.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Stats {
    double median, p10, p90;
};

Stats summarise(std::vector<qint64> ns) {
    std::sort(ns.begin(), ns.end());
    const auto at = [&](double q) { return ns[size_t(q * double(ns.size() - 1))] / 1000.0; };
    return {at(0.5), at(0.1), at(0.9)};
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int runs = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000;

    QWidget strip;
    strip.setAutoFillBackground(true);  // the recorder's window shows through the digits
    auto* row = new QHBoxLayout(&strip);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    std::vector<LED*> digits;
    for (int i = 0; i < 5; ++i) {
        auto* led = new LED(&strip);
        led->setFixedSize(20, 33);
        row->addWidget(led);
        digits.push_back(led);
    }
    strip.show();
    QCoreApplication::processEvents();

    std::vector<qint64> paintOnly, tick;
    paintOnly.reserve(size_t(runs));
    tick.reserve(size_t(runs));
    QElapsedTimer t;
    for (int i = 0; i < runs + 200; ++i) {  // the first 200 warm caches and are not counted
        t.start();
        strip.repaint();
        const qint64 a = t.nsecsElapsed();

        t.start();
        for (int d = 0; d < 5; ++d) {
            digits[size_t(d)]->setValue(qint16((i + d) % 10));
        }
        strip.repaint();
        const qint64 b = t.nsecsElapsed();
        if (i >= 200) {
            paintOnly.push_back(a);
            tick.push_back(b);
        }
    }
    const Stats p = summarise(paintOnly);
    const Stats k = summarise(tick);
    std::printf("%-28s %10s %10s %10s\n", "five digits, 20x33 px", "median_us", "p10_us", "p90_us");
    std::printf("%-28s %10.1f %10.1f %10.1f\n", "repaint", p.median, p.p10, p.p90);
    std::printf("%-28s %10.1f %10.1f %10.1f\n", "set five values + repaint", k.median, k.p10, k.p90);
    std::printf("runs: %d\n", runs);
    return 0;
}
