// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Uses the installed library through its public header only; prints what a host would see.
#include <LED/LED.h>

#include <QApplication>
#include <QImage>
#include <QSpinBox>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    LED led;
    led.resize(20, 33);
    // A typed connection names the one setter.
    QSpinBox spin;
    spin.setRange(0, 99);
    QObject::connect(&spin, &QSpinBox::valueChanged, &led, &LED::setValue);
    spin.setValue(7);
    // Through a signal a refused value is told, never thrown: the program goes on showing 7.
    quint32 told = 0;
    QObject::connect(&led, &LED::refused, [&](qint32 number, const QString&) { told = quint32(number); });
    spin.setValue(12);
    LEDMemoryPropertyBag bag;
    led.UserControl_WriteProperties(bag);
    int refused = 0;
    try {
        led.setValue(12);
    } catch (const LEDError& e) {
        refused = e.code();
    }
    const QImage img = led.grab().toImage();
    std::printf("class=%s value=%d keys=%s told=%08x refused=%d image=%dx%d\n", led.metaObject()->className(),
                led.property("Value").toInt(), qPrintable(bag.keys().join(',')), told, refused, img.width(),
                img.height());
    return 0;
}
