// The LED's value model as a host sees it: digits and masks, refused values in run and design
// mode, which setters notify and repaint, and the conversions a dispatch applies.
#include <LED/LED.h>

#include <QApplication>
#include <QMetaProperty>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "ModalBoxWatcher.h"

namespace {

constexpr quint32 kOn = 0x0000FF00;
constexpr quint32 kOff = 0x00000000;

// The lit segments as the model colours them: bit i set when segment i is in LEDColorOn.
int litMask(const LED& led) {
    int mask = 0;
    for (int i = 0; i < 7; ++i) {
        const quint32 c = led.segment(i).colour;
        EXPECT_TRUE(c == led.ledColorOn() || c == led.ledColorOff()) << "segment " << i;
        if (c == led.ledColorOn()) {
            mask |= 1 << i;
        }
    }
    return mask;
}

// Counts paint events the widget receives, to see whether a setter scheduled a repaint.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++count;
        }
        return false;
    }
};

void settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

}  // namespace

TEST(LedModel, DigitsLightTheirSegmentsInColourOnAndTheRestInColourOff) {
    // Segments: 0 top, 1 middle, 2 bottom, 3 upper left, 4 upper right, 5 lower left, 6 lower right.
    const int expected[10] = {
        0b1111101, 0b1010000, 0b0110111, 0b1010111, 0b1011010,
        0b1001111, 0b1101111, 0b1010001, 0b1111111, 0b1011111,
    };
    LED led;
    led.setLEDColorOff(0x000000FF);
    for (int digit = 0; digit <= 9; ++digit) {
        led.setValue(qint16(digit));
        EXPECT_EQ(led.value(), digit);
        EXPECT_EQ(led.displayedMask(), expected[digit]) << "digit " << digit;
        EXPECT_EQ(litMask(led), expected[digit]) << "digit " << digit;
        EXPECT_EQ(LED::DigitToMask(qint16(digit)), expected[digit]);
    }
    for (qint16 notDigit : {qint16(-1), qint16(10), qint16(127), qint16(-32768), qint16(32767)}) {
        EXPECT_EQ(LED::DigitToMask(notDigit), 0) << notDigit;
    }
}

TEST(LedModel, MaskModeShowsTheValueAsSegmentBits) {
    LED led;
    led.setValueIsMask(true);
    led.setValue(qint16(127));
    EXPECT_EQ(litMask(led), 127);
    led.setValue(qint16(0));
    EXPECT_EQ(litMask(led), 0);
    led.setValue(qint16(100));  // 1100100: bottom, lower left, lower right
    EXPECT_EQ(litMask(led), (1 << 2) | (1 << 5) | (1 << 6));
    EXPECT_EQ(led.value(), 100);
}

TEST(LedModel, SwitchingModesReinterpretsTheValueWithoutCheckingIt) {
    LED led;
    led.setValue(qint16(8));
    led.setValueIsMask(true);  // 8 as a mask: upper left only
    EXPECT_EQ(litMask(led), 1 << 3);

    led.setValue(qint16(100));
    led.setValueIsMask(false);  // 100 is no digit: nothing lit, no error, value kept
    EXPECT_EQ(led.value(), 100);
    EXPECT_EQ(litMask(led), 0);
}

TEST(LedModel, RunModeRefusesOutOfRangeValuesAndKeepsTheOldOne) {
    struct Case {
        bool mask;
        qint16 value;
        int code;
        qint32 number;
    };
    const Case cases[] = {
        {false, 10, 100, qint32(0x80040064u)}, {false, -1, 100, -2147221404},
        {false, 32767, 100, -2147221404},      {true, 128, 200, qint32(0x800400C8u)},
        {true, -1, 200, -2147221304},          {true, -32768, 200, -2147221304},
    };
    for (const Case& c : cases) {
        LED led;
        led.setValueIsMask(c.mask);
        led.setValue(qint16(c.mask ? 100 : 7));
        QSignalSpy spy(&led, &LED::PropertyChanged);
        const int litBefore = litMask(led);
        try {
            led.setValue(c.value);
            ADD_FAILURE() << "no error for " << c.value;
        } catch (const LEDError& e) {
            EXPECT_EQ(e.code(), c.code);
            EXPECT_EQ(e.number(), c.number);
            EXPECT_EQ(e.description(), LED::errorDescription(c.code));
            EXPECT_FALSE(e.description().isEmpty());
            EXPECT_EQ(QString::fromUtf8(e.what()), e.description());
        }
        EXPECT_EQ(led.value(), c.mask ? 100 : 7);
        EXPECT_EQ(spy.count(), 0);
        EXPECT_EQ(litMask(led), litBefore);
    }
    EXPECT_NE(LED::errorDescription(100), LED::errorDescription(200));
    EXPECT_EQ(LED::errorDescription(300), "Unknown Error!");
}

TEST(LedModel, RunModeErrorsReachAHostThatSetsThePropertyByName) {
    LED led;
    led.setValue(qint16(3));
    EXPECT_THROW(led.setProperty("Value", 12), LEDError);
    EXPECT_EQ(led.property("Value").toInt(), 3);
    // A number beyond 16 bits is just another refused value.
    try {
        led.setProperty("Value", 40000);
        ADD_FAILURE() << "40000 accepted";
    } catch (const LEDError& e) {
        EXPECT_EQ(e.code(), LED::LEDOverFlow);
    }
    led.setProperty("ValueIsMask", true);
    try {
        led.setProperty("Value", -70000);
        ADD_FAILURE() << "-70000 accepted";
    } catch (const LEDError& e) {
        EXPECT_EQ(e.code(), LED::LEDInvalidMask);
    }
    EXPECT_EQ(led.value(), 3);
}

TEST(LedModel, DesignModeShowsTheErrorBoxThenStoresZero) {
    ModalBoxWatcher watcher;
    LED led;
    led.setDesignMode(true);
    led.setLEDColorOff(0x000000FF);
    led.setValue(qint16(5));
    QSignalSpy spy(&led, &LED::PropertyChanged);

    led.setValue(qint16(10));
    ASSERT_EQ(watcher.boxes().size(), 1u);
    const ShownBox& box = watcher.boxes()[0];
    EXPECT_EQ(box.title, "LED Error");
    EXPECT_EQ(box.text, LED::errorDescription(LED::LEDOverFlow));
    EXPECT_EQ(box.icon, QMessageBox::Warning);
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(led.value(), 0);
    EXPECT_EQ(litMask(led), 0b1111101);  // the digit 0
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toString(), "Value");

    led.setValueIsMask(true);
    led.setValue(qint16(100));
    led.setProperty("Value", 128);
    ASSERT_EQ(watcher.boxes().size(), 2u);
    EXPECT_EQ(watcher.boxes()[1].text, LED::errorDescription(LED::LEDInvalidMask));
    EXPECT_EQ(led.value(), 0);
    EXPECT_EQ(litMask(led), 0);  // mask 0: nothing lit
}

TEST(LedModel, EverySetterButValueIsMaskNotifiesAndRepaintsEvenWhenUnchanged) {
    QWidget window;
    window.resize(100, 130);
    auto* led = new LED(&window);
    window.show();
    settle();
    QSignalSpy spy(led, &LED::PropertyChanged);
    PaintCounter paints(led);

    struct Step {
        const char* name;
        QVariant value;
    };
    const Step same[] = {
        {"Value", 0},        {"ShowDecimal", false}, {"ShowBorder", false},
        {"LEDColorOn", kOn}, {"LEDColorOff", kOff},  {"BackStyle", QVariant::fromValue(LED::Transparent)},
    };
    for (const Step& s : same) {
        spy.clear();
        paints.count = 0;
        ASSERT_TRUE(led->setProperty(s.name, s.value)) << s.name;
        settle();
        ASSERT_EQ(spy.count(), 1) << s.name;
        EXPECT_EQ(spy[0][0].toString(), QString::fromLatin1(s.name));
        EXPECT_GE(paints.count, 1) << s.name;
    }

    spy.clear();
    paints.count = 0;
    led->setValueIsMask(false);
    settle();
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(paints.count, 0);

    led->setValueIsMask(true);
    settle();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toString(), "ValueIsMask");
    EXPECT_GE(paints.count, 1);
}

TEST(LedModel, ColoursFollowOnlyTheirOwnSetters) {
    LED led;
    led.setValue(qint16(8));
    EXPECT_EQ(litMask(led), 127);
    EXPECT_EQ(led.decimalPoint().fill, kOff);

    led.setLEDColorOff(0x00123456);  // the unlit dot follows, the lit segments do not
    EXPECT_EQ(led.decimalPoint().fill, 0x00123456u);
    EXPECT_EQ(led.decimalPoint().outline, 0x00123456u);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(led.segment(i).colour, kOn);
    }

    led.setShowDecimal(true);
    EXPECT_EQ(led.decimalPoint().fill, kOn);
    led.setLEDColorOn(0x80000008);  // a system colour is kept as given
    EXPECT_EQ(led.decimalPoint().outline, 0x80000008u);
    EXPECT_EQ(led.segment(0).colour, 0x80000008u);

    led.setShowBorder(true);  // the border changes nothing else
    EXPECT_TRUE(led.showBorder());
    EXPECT_EQ(led.segment(0).colour, 0x80000008u);
}

TEST(LedModel, PropertiesCarryTheContractNamesTypesAndEnums) {
    const QMetaObject& mo = LED::staticMetaObject;
    EXPECT_STREQ(mo.className(), "LED");
    const struct {
        const char* name;
        int type;
    } props[] = {
        {"Value", QMetaType::Int},       {"ValueIsMask", QMetaType::Bool}, {"ShowDecimal", QMetaType::Bool},
        {"ShowBorder", QMetaType::Bool}, {"LEDColorOn", QMetaType::UInt},  {"LEDColorOff", QMetaType::UInt},
    };
    for (const auto& p : props) {
        const int index = mo.indexOfProperty(p.name);
        ASSERT_GE(index, 0) << p.name;
        EXPECT_EQ(mo.property(index).metaType().id(), p.type) << p.name;
        EXPECT_TRUE(mo.property(index).isWritable()) << p.name;
    }
    // Forms apply properties in this order, and a mask must meet its mode first.
    EXPECT_LT(mo.indexOfProperty("ValueIsMask"), mo.indexOfProperty("Value"));
    const QMetaProperty back = mo.property(mo.indexOfProperty("BackStyle"));
    ASSERT_TRUE(back.isEnumType());
    EXPECT_STREQ(back.enumerator().name(), "BackStyleType");
    EXPECT_EQ(back.enumerator().keyToValue("Transparent"), 0);
    EXPECT_EQ(back.enumerator().keyToValue("Opaque"), 1);
}

TEST(LedModel, TextAndWideNumbersConvertLikeADispatch) {
    LED led;
    led.setValueFromVariant(QStringLiteral(" 7 "));
    EXPECT_EQ(led.value(), 7);
    led.setValueFromVariant(2.5);  // ties go to the even digit
    EXPECT_EQ(led.value(), 2);
    led.setValueFromVariant(QStringLiteral("3.5"));
    EXPECT_EQ(led.value(), 4);

    const struct {
        QVariant input;
        LEDConversionError::Kind kind;
        qint32 number;
    } bad[] = {
        {QString(), LEDConversionError::Kind::TypeMismatch, qint32(0x80020005u)},
        {QStringLiteral("   "), LEDConversionError::Kind::TypeMismatch, qint32(0x80020005u)},
        {QStringLiteral("abc"), LEDConversionError::Kind::TypeMismatch, qint32(0x80020005u)},
        {QStringLiteral("12abc"), LEDConversionError::Kind::TypeMismatch, qint32(0x80020005u)},
        {QVariant(), LEDConversionError::Kind::TypeMismatch, qint32(0x80020005u)},
        {QStringLiteral("40000"), LEDConversionError::Kind::Overflow, qint32(0x8002000Au)},
        {QStringLiteral("-32769"), LEDConversionError::Kind::Overflow, qint32(0x8002000Au)},
        {70000, LEDConversionError::Kind::Overflow, qint32(0x8002000Au)},
        {qQNaN(), LEDConversionError::Kind::Overflow, qint32(0x8002000Au)},
    };
    for (const auto& b : bad) {
        QSignalSpy spy(&led, &LED::PropertyChanged);
        try {
            led.setValueFromVariant(b.input);
            ADD_FAILURE() << "accepted " << b.input.toString().toStdString();
        } catch (const LEDConversionError& e) {
            EXPECT_EQ(e.kind(), b.kind) << b.input.toString().toStdString();
            EXPECT_EQ(e.number(), b.number);
            EXPECT_EQ(e.subject(), "Value");
            EXPECT_FALSE(e.message().isEmpty());
        }
        EXPECT_EQ(led.value(), 4);
        EXPECT_EQ(spy.count(), 0);
    }
    // In range for 16 bits but no digit: the control's own error.
    EXPECT_THROW(led.setValueFromVariant(QStringLiteral("127")), LEDError);
    led.setValueIsMask(true);
    led.setValueFromVariant(QStringLiteral("127"));
    EXPECT_EQ(led.value(), 127);
}

TEST(LedModel, DispatchIdsReachTheSevenProperties) {
    LED led;
    led.dispatchSet(LED::DispIdValueIsMask, true);
    led.dispatchSet(LED::DispIdValue, QStringLiteral("90"));
    led.dispatchSet(LED::DispIdShowDecimal, QStringLiteral("True"));
    led.dispatchSet(LED::DispIdShowBorder, 1);
    led.dispatchSet(LED::DispIdLEDColorOn, qint32(0x80000005u));  // signed, as a bag stores it
    led.dispatchSet(LED::DispIdLEDColorOff, 0x00FF0000u);
    led.dispatchSet(LED::DispIdBackStyle, 1);
    EXPECT_EQ(led.dispatchGet(LED::DispIdValue).toInt(), 90);
    EXPECT_TRUE(led.dispatchGet(LED::DispIdValueIsMask).toBool());
    EXPECT_TRUE(led.showDecimal());
    EXPECT_TRUE(led.showBorder());
    EXPECT_EQ(led.ledColorOn(), 0x80000005u);
    EXPECT_EQ(led.dispatchGet(LED::DispIdLEDColorOff).toUInt(), 0x00FF0000u);
    EXPECT_EQ(led.backStyle(), LED::Opaque);
    EXPECT_THROW(led.dispatchGet(0x68030007), std::invalid_argument);
    EXPECT_THROW(led.dispatchSet(0, 1), std::invalid_argument);
    EXPECT_THROW(led.dispatchSet(LED::DispIdShowDecimal, QStringLiteral("maybe")), LEDConversionError);
}

TEST(LedModel, BackStyleRefusesUnknownModesBeforeChangingAnything) {
    LED led;
    led.setBackStyle(LED::Opaque);
    QSignalSpy spy(&led, &LED::PropertyChanged);
    for (const QVariant& mode : {QVariant(2), QVariant(-1)}) {
        try {
            led.dispatchSet(LED::DispIdBackStyle, mode);
            ADD_FAILURE() << "mode " << mode.toInt() << " accepted";
        } catch (const LEDConversionError& e) {
            EXPECT_EQ(e.kind(), LEDConversionError::Kind::InvalidPropertyValue);
        }
    }
    try {
        led.dispatchSet(LED::DispIdBackStyle, 65536);
        ADD_FAILURE() << "65536 accepted";
    } catch (const LEDConversionError& e) {
        EXPECT_EQ(e.kind(), LEDConversionError::Kind::Overflow);
    }
    EXPECT_THROW(led.setBackStyle(static_cast<LED::BackStyleType>(5)), LEDConversionError);
    EXPECT_EQ(led.backStyle(), LED::Opaque);
    EXPECT_EQ(spy.count(), 0);
}
