// Uses the installed library through its public header only; prints what a host would see.
#include <LED/LED.h>

#include <QApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    LED led;
    led.resize(20, 33);
    led.setValue(qint16(7));
    MemoryPropertyBag bag;
    led.UserControl_WriteProperties(bag);
    int refused = 0;
    try {
        led.setValue(qint16(12));
    } catch (const LEDError& e) {
        refused = e.code();
    }
    const QImage img = led.grab().toImage();
    std::printf("class=%s value=%d keys=%s refused=%d image=%dx%d\n", led.metaObject()->className(),
                led.property("Value").toInt(), qPrintable(bag.keys().join(',')), refused, img.width(),
                img.height());
    return 0;
}
