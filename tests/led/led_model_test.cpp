// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The LED's value model as a host sees it: digits and masks, refused values in run and design
// mode, which setters notify and repaint, and the conversions a dispatch applies.
#include <LED/LED.h>

#include <LED/LEDProperties.h>

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "LedInside.h"

#include "ModalBoxWatcher.h"

namespace {

constexpr quint32 kOn = 0x0000FF00;
constexpr quint32 kOff = 0x00000000;

// The lit segments as the model colours them: bit i set when segment i is in LEDColorOn.
int litMask(const LED& led) {
    int mask = 0;
    for (int i = 0; i < 7; ++i) {
        const quint32 c = segment(led, i).colour;
        EXPECT_TRUE(c == led.LEDColorOn() || c == led.LEDColorOff()) << "segment " << i;
        if (c == led.LEDColorOn()) {
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
        EXPECT_EQ(led.Value(), digit);
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
    EXPECT_EQ(led.Value(), 100);
}

TEST(LedModel, SwitchingModesReinterpretsTheValueWithoutCheckingIt) {
    LED led;
    led.setValue(qint16(8));
    led.setValueIsMask(true);  // 8 as a mask: upper left only
    EXPECT_EQ(litMask(led), 1 << 3);

    led.setValue(qint16(100));
    led.setValueIsMask(false);  // 100 is no digit: nothing lit, no error, value kept
    EXPECT_EQ(led.Value(), 100);
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
        EXPECT_EQ(led.Value(), c.mask ? 100 : 7);
        EXPECT_EQ(spy.count(), 0);
        EXPECT_EQ(litMask(led), litBefore);
    }
    EXPECT_NE(LED::errorDescription(100), LED::errorDescription(200));
    EXPECT_EQ(LED::errorDescription(300), "Unknown Error!");
}

// One fault, one error: a bad Value gives the same error number whichever way it arrives, and
// leaves Value as the mode says (run mode: unchanged; design mode: 0 for a refused number, unchanged
// for one that never became a 16-bit number; a load starts from 0 and keeps it).
TEST(LedModel, EveryPathIntoValueGivesTheSameErrorForTheSameInput) {
    struct Input {
        QVariant value;
        bool mask;
        qint32 number;
    };
    const Input inputs[] = {
        {40000, false, LED::ErrorNumberOverflow},
        {-40000, true, LED::ErrorNumberOverflow},
        {QStringLiteral("abc"), false, LED::ErrorNumberTypeMismatch},
        {QStringLiteral("1e400"), false, LED::ErrorNumberOverflow},
        {12, false, LED::ErrorNumberOverFlow},
        {200, true, LED::ErrorNumberInvalidMask},
    };
    enum Path { Setter, SetProperty, Dispatch, Page, Bag };
    const char* const pathNames[] = {"setter", "setProperty", "dispatch", "page", "bag"};

    for (const Input& in : inputs) {
        const bool refusedByControl = in.number == LED::ErrorNumberOverFlow || in.number == LED::ErrorNumberInvalidMask;
        for (Path path : {Setter, SetProperty, Dispatch, Page, Bag}) {
            QString runDescription;
            for (bool design : {false, true}) {
                SCOPED_TRACE(in.value.toString().toStdString() + " via " + pathNames[path] +
                             (design ? " in design mode" : " in run mode"));
                ModalBoxWatcher boxes;
                LED led;
                led.setDesignMode(design);
                led.setValueIsMask(in.mask);
                const int start = in.mask ? 100 : 7;
                led.setValue(start);
                LEDProperties page;
                LEDMemoryPropertyBag bag;
                std::optional<qint32> number;
                QString description;
                try {
                    switch (path) {
                        case Setter:
                            if (in.value.metaType().id() == QMetaType::Int) {
                                led.setValue(in.value.toInt());
                            } else {
                                led.setValueFromVariant(in.value);
                            }
                            break;
                        case SetProperty:
                            led.setProperty("Value", in.value);
                            break;
                        case Dispatch:
                            led.dispatchSet(LED::DispIdValue, in.value);
                            break;
                        case Page:
                            ASSERT_FALSE(page.SelectionChanged({&led}).has_value());
                            page.txtValue()->setText(in.value.toString());
                            if (auto error = page.ApplyChanges()) {
                                number = error->number();
                                description = error->message();
                            }
                            break;
                        case Bag:
                            bag.set("ValueIsMask", in.mask);
                            bag.set("Value", in.value);
                            bag.set("ShowDecimal", true);
                            led.UserControl_ReadProperties(bag);
                            break;
                    }
                } catch (const LEDError& e) {
                    number = e.number();
                    description = e.description();
                }

                // The conversion is the page's (the host's) in either mode; everything else the
                // control reports itself: a throw in run mode, one box in design mode.
                const bool hostReports = !design || (path == Page && !refusedByControl);
                if (hostReports) {
                    EXPECT_EQ(number, in.number);
                    EXPECT_TRUE(boxes.boxes().empty());
                    if (!design) {
                        runDescription = description;
                    }
                } else {
                    EXPECT_FALSE(number.has_value());
                    ASSERT_EQ(boxes.boxes().size(), 1u);
                    EXPECT_EQ(boxes.boxes()[0].title, "LED Error");
                    EXPECT_EQ(boxes.boxes()[0].text, runDescription);
                }
                int expected = start;
                if (path == Bag) {
                    expected = 0;
                    // Run mode stops the load at Value; design mode reports the key and goes on.
                    EXPECT_EQ(led.ShowDecimal(), design);
                } else if (design && refusedByControl) {
                    expected = 0;
                }
                EXPECT_EQ(led.Value(), expected);
                EXPECT_EQ(led.ValueIsMask(), in.mask);
            }
        }
    }
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
    EXPECT_EQ(led.Value(), 0);
    EXPECT_EQ(litMask(led), 0b1111101);  // the digit 0
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toString(), "Value");

    led.setValueIsMask(true);
    led.setValue(qint16(100));
    led.setProperty("Value", 128);
    ASSERT_EQ(watcher.boxes().size(), 2u);
    EXPECT_EQ(watcher.boxes()[1].text, LED::errorDescription(LED::LEDInvalidMask));
    EXPECT_EQ(led.Value(), 0);
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
    EXPECT_EQ(decimalPoint(led).fill, kOff);

    led.setLEDColorOff(0x00123456);  // the unlit dot follows, the lit segments do not
    EXPECT_EQ(decimalPoint(led).fill, 0x00123456u);
    EXPECT_EQ(decimalPoint(led).outline, 0x00123456u);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(segment(led, i).colour, kOn);
    }

    led.setShowDecimal(true);
    EXPECT_EQ(decimalPoint(led).fill, kOn);
    led.setLEDColorOn(0x80000008);  // a system colour is kept as given
    EXPECT_EQ(decimalPoint(led).outline, 0x80000008u);
    EXPECT_EQ(segment(led, 0).colour, 0x80000008u);

    led.setShowBorder(true);  // the border changes nothing else
    EXPECT_TRUE(led.ShowBorder());
    EXPECT_EQ(segment(led, 0).colour, 0x80000008u);
}

TEST(LedModel, PropertiesCarryTheContractNamesTypesAndEnums) {
    const QMetaObject& mo = LED::staticMetaObject;
    EXPECT_STREQ(mo.className(), "LED");
    const struct {
        const char* name;
        int type;
    } props[] = {
        {"Value", QMetaType::QVariant},  {"ValueIsMask", QMetaType::Bool}, {"ShowDecimal", QMetaType::Bool},
        {"ShowBorder", QMetaType::Bool}, {"LEDColorOn", QMetaType::UInt},  {"LEDColorOff", QMetaType::UInt},
    };
    for (const auto& p : props) {
        const int index = mo.indexOfProperty(p.name);
        ASSERT_GE(index, 0) << p.name;
        EXPECT_EQ(mo.property(index).metaType().id(), p.type) << p.name;
        EXPECT_TRUE(mo.property(index).isWritable()) << p.name;
    }
    // Value takes any variant, so text reaches the widget's own conversion; it reads as a number.
    LED led;
    led.setValue(6);
    EXPECT_EQ(led.property("Value").metaType().id(), QMetaType::Int);
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
    EXPECT_EQ(led.Value(), 7);
    led.setValueFromVariant(2.5);  // ties go to the even digit
    EXPECT_EQ(led.Value(), 2);
    led.setValueFromVariant(QStringLiteral("3.5"));
    EXPECT_EQ(led.Value(), 4);

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
        EXPECT_EQ(led.Value(), 4);
        EXPECT_EQ(spy.count(), 0);
    }
    // In range for 16 bits but no digit: the control's own error.
    EXPECT_THROW(led.setValueFromVariant(QStringLiteral("127")), LEDError);
    led.setValueIsMask(true);
    led.setValueFromVariant(QStringLiteral("127"));
    EXPECT_EQ(led.Value(), 127);
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
    EXPECT_TRUE(led.ShowDecimal());
    EXPECT_TRUE(led.ShowBorder());
    EXPECT_EQ(led.LEDColorOn(), 0x80000005u);
    EXPECT_EQ(led.dispatchGet(LED::DispIdLEDColorOff).toUInt(), 0x00FF0000u);
    EXPECT_EQ(led.BackStyle(), LED::Opaque);
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
    EXPECT_EQ(led.BackStyle(), LED::Opaque);
    EXPECT_EQ(spy.count(), 0);
}

TEST(LedModel, TypedConnectionsAndChangeSignalsFollowRealChanges) {
    QSpinBox spin;
    spin.setRange(0, 9);
    LED led;
    QObject::connect(&spin, &QSpinBox::valueChanged, &led, &LED::setValue);
    QSignalSpy values(&led, &LED::valueChanged);
    QSignalSpy notices(&led, &LED::PropertyChanged);
    spin.setValue(5);
    EXPECT_EQ(led.Value(), 5);
    ASSERT_EQ(values.count(), 1);
    EXPECT_EQ(values[0][0].toInt(), 5);
    led.setValue(5);  // stored and notified to the container, but no change
    EXPECT_EQ(notices.count(), 2);
    EXPECT_EQ(values.count(), 1);

    // A load passes through blank fields, yet reports each real change once, after it.
    QSignalSpy colours(&led, &LED::ledColorOnChanged);
    QSignalSpy borders(&led, &LED::showBorderChanged);
    LEDMemoryPropertyBag bag;
    bag.set("Value", 5);
    bag.set("LEDColorOn", 255);
    led.UserControl_ReadProperties(bag);
    EXPECT_EQ(values.count(), 1);
    ASSERT_EQ(colours.count(), 1);
    EXPECT_EQ(colours[0][0].toUInt(), 255u);
    EXPECT_EQ(borders.count(), 0);
}

// Whichever way Qt carries a refused value to the LED, nobody up the stack can catch an error: the
// LED keeps its value and says refused() once; a direct call afterwards throws again.
TEST(LedModel, ARefusedValueArrivingThroughQtIsToldNotThrown) {
    const std::pair<const char*, std::function<void(QSpinBox&, LED&)>> ways[] = {
        {"typed connection",
         [](QSpinBox& spin, LED& led) {
             QObject::connect(&spin, &QSpinBox::valueChanged, &led, &LED::setValue);
             spin.setValue(12);
         }},
        {"queued connection",
         [](QSpinBox& spin, LED& led) {
             QObject::connect(&spin, &QSpinBox::valueChanged, &led, &LED::setValue, Qt::QueuedConnection);
             spin.setValue(12);
         }},
        {"connection by name",
         [](QSpinBox& spin, LED& led) {
             QObject::connect(&spin, SIGNAL(valueChanged(int)), &led, SLOT(setValue(int)));
             spin.setValue(12);
         }},
        {"queued call by name",
         [](QSpinBox&, LED& led) {
             QMetaObject::invokeMethod(&led, "setValue", Qt::QueuedConnection, Q_ARG(int, 12));
         }},
        {"queued call",
         [](QSpinBox&, LED& led) {
             QMetaObject::invokeMethod(
                 &led, [&led] { led.setValue(12); }, Qt::QueuedConnection);
         }},
    };
    for (const auto& [name, deliver] : ways) {
        SCOPED_TRACE(name);
        QSpinBox spin;
        spin.setRange(0, 99);
        LED led;
        led.setValue(7);
        QSignalSpy refused(&led, &LED::refused);
        EXPECT_NO_THROW({
            deliver(spin, led);
            QCoreApplication::sendPostedEvents();
        });
        EXPECT_EQ(led.Value(), 7);
        ASSERT_EQ(refused.count(), 1);
        EXPECT_EQ(refused[0][0].toInt(), LED::ErrorNumberOverFlow);
        EXPECT_EQ(refused[0][1].toString(), LED::errorDescription(LED::LEDOverFlow));
        EXPECT_THROW(led.setValue(12), LEDError);
    }
    // A queued call may end the LED itself, as Qt allows.
    auto* doomed = new LED;
    QMetaObject::invokeMethod(
        doomed, [doomed] { delete doomed; }, Qt::QueuedConnection);
    QCoreApplication::sendPostedEvents();
}

TEST(LedModel, AssistiveTechnologyReadsTheShownDigit) {
    LED led;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&led);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::StaticText);
    EXPECT_EQ(iface->text(QAccessible::Name), "0");
    led.setValue(7);
    EXPECT_EQ(iface->text(QAccessible::Name), "7");
    led.setValueIsMask(true);  // a segment pattern is no digit: nothing to read
    EXPECT_EQ(iface->text(QAccessible::Name), "");
    EXPECT_EQ(iface->text(QAccessible::Value), "");

    // A name the host gives wins; the digit stays the value.
    led.setAccessibleName(QStringLiteral("Segundos"));
    led.setValueIsMask(false);
    EXPECT_EQ(iface->text(QAccessible::Name), "Segundos");
    EXPECT_EQ(iface->text(QAccessible::Value), "7");
}
