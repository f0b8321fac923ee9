// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Saving and loading an LED through a property bag: keys, order, omitted defaults, conversions,
// and what a bad stored value leaves behind.
#include <LED/LED.h>

#include <QSignalSpy>

#include <gtest/gtest.h>

#include "LedInside.h"

#include "ModalBoxWatcher.h"

namespace {

// Records every write a control makes, defaults included, so order and defaults can be checked.
class RecordingBag : public LEDPropertyBag {
public:
    struct Write {
        QString key;
        QVariant value, defaultValue;
    };
    std::vector<Write> writes;
    mutable QStringList reads;

    QVariant read(const QString& key, const QVariant& defaultValue) const override {
        reads << key;
        return defaultValue;
    }
    void write(const QString& key, const QVariant& value, const QVariant& defaultValue) override {
        writes.push_back({key, value, defaultValue});
    }
};

QStringList names(const QSignalSpy& spy) {
    QStringList out;
    for (const auto& args : spy) {
        out << args[0].toString();
    }
    return out;
}

}  // namespace

TEST(LedPersistence, WritesTheSevenKeysInOrderWithTheirDefaults) {
    LED led;
    RecordingBag bag;
    led.UserControl_WriteProperties(bag);
    ASSERT_EQ(bag.writes.size(), 7u);
    const QStringList order = {"Value",      "ShowDecimal", "LEDColorOn", "LEDColorOff",
                               "ShowBorder", "BackStyle",   "ValueIsMask"};
    const QVariant defaults[] = {0, false, 65280, 0, false, 0, false};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(bag.writes[i].key, order[i]);
        EXPECT_EQ(bag.writes[i].defaultValue, defaults[i]) << order[i].toStdString();
        EXPECT_EQ(bag.writes[i].value, bag.writes[i].defaultValue) << order[i].toStdString();
    }
    EXPECT_EQ(bag.writes[0].value.metaType().id(), QMetaType::Short);  // Value is stored 16-bit
    EXPECT_EQ(bag.writes[5].value.metaType().id(), QMetaType::Short);  // and so is BackStyle
    EXPECT_EQ(bag.writes[2].value.metaType().id(), QMetaType::Int);    // colours are 32-bit signed
}

TEST(LedPersistence, ADefaultControlLeavesTheBagEmptyAndAnOpaqueOneWritesBackStyle) {
    LED led;
    LEDMemoryPropertyBag bag;
    led.UserControl_WriteProperties(bag);
    EXPECT_TRUE(bag.isEmpty()) << bag.keys().join(',').toStdString();

    led.setBackStyle(LED::Opaque);
    led.UserControl_WriteProperties(bag);
    EXPECT_EQ(bag.keys(), QStringList{"BackStyle"});
    EXPECT_EQ(bag.value("BackStyle").toInt(), 1);

    led.setBackStyle(LED::Transparent);  // back to the default: the key goes away again
    led.UserControl_WriteProperties(bag);
    EXPECT_TRUE(bag.isEmpty());
}

TEST(LedPersistence, EveryPropertySurvivesARoundTrip) {
    LED out;
    out.setValueIsMask(true);
    out.setValue(qint16(100));
    out.setShowDecimal(true);
    out.setShowBorder(true);
    out.setLEDColorOn(0x80000012);  // a system colour: its high bit must survive the signed store
    out.setLEDColorOff(0x00332211);
    out.setBackStyle(LED::Opaque);
    LEDMemoryPropertyBag bag;
    out.UserControl_WriteProperties(bag);
    EXPECT_EQ(bag.keys(), (QStringList{"Value", "ShowDecimal", "LEDColorOn", "LEDColorOff", "ShowBorder",
                                       "BackStyle", "ValueIsMask"}));
    EXPECT_EQ(bag.value("LEDColorOn").toInt(), qint32(0x80000012u));

    LED in;
    in.UserControl_ReadProperties(bag);
    EXPECT_TRUE(in.ValueIsMask());
    EXPECT_EQ(in.Value(), 100);  // checked against the mask mode read just before it
    EXPECT_TRUE(in.ShowDecimal());
    EXPECT_TRUE(in.ShowBorder());
    EXPECT_EQ(in.LEDColorOn(), 0x80000012u);
    EXPECT_EQ(in.LEDColorOff(), 0x00332211u);
    EXPECT_EQ(in.BackStyle(), LED::Opaque);
    EXPECT_EQ(in.displayedMask(), 100);
    EXPECT_EQ(segment(in, 2).colour, 0x80000012u);
    EXPECT_EQ(segment(in, 0).colour, 0x00332211u);
    EXPECT_EQ(decimalPoint(in).fill, 0x80000012u);
}

TEST(LedPersistence, ReadingAppliesKeysInOrderThroughTheSettersExceptBackStyle) {
    LED led;
    LEDMemoryPropertyBag bag;
    bag.set("BackStyle", 1);
    bag.set("ValueIsMask", true);
    bag.set("Value", 5);
    QSignalSpy spy(&led, &LED::PropertyChanged);
    RecordingBag order;
    led.UserControl_ReadProperties(order);
    EXPECT_EQ(order.reads, (QStringList{"ValueIsMask", "Value", "ShowDecimal", "LEDColorOn", "LEDColorOff",
                                        "ShowBorder", "BackStyle"}));
    // An unchanged ValueIsMask is no change at all; BackStyle goes to the surface silently.
    EXPECT_EQ(names(spy), (QStringList{"Value", "ShowDecimal", "LEDColorOn", "LEDColorOff", "ShowBorder"}));

    spy.clear();
    led.UserControl_ReadProperties(bag);
    EXPECT_EQ(names(spy), (QStringList{"ValueIsMask", "Value", "ShowDecimal", "LEDColorOn", "LEDColorOff",
                                       "ShowBorder"}));
    EXPECT_EQ(led.BackStyle(), LED::Opaque);
    EXPECT_EQ(led.displayedMask(), 5);
}

TEST(LedPersistence, AnEmptyBagRestoresWhatANewControlShows) {
    LED fresh;
    LED loaded;
    loaded.setValueIsMask(true);
    loaded.setValue(qint16(99));
    loaded.setShowDecimal(true);
    loaded.setShowBorder(true);
    loaded.setLEDColorOn(0x00ABCDEF);
    loaded.setBackStyle(LED::Opaque);
    loaded.UserControl_ReadProperties(LEDMemoryPropertyBag());
    EXPECT_EQ(loaded.Value(), 0);
    EXPECT_FALSE(loaded.ValueIsMask());
    for (LED* led : {&fresh, &loaded}) {
        EXPECT_FALSE(led->ShowDecimal());
        EXPECT_FALSE(led->ShowBorder());
        EXPECT_EQ(led->BackStyle(), LED::Transparent);
        EXPECT_EQ(led->LEDColorOn(), 0x0000FF00u);
        EXPECT_EQ(led->LEDColorOff(), 0u);
        EXPECT_EQ(led->displayedMask(), 0b1111101);
        EXPECT_EQ(segment(*led, 1).colour, 0u);  // the middle of a 0 is unlit
        EXPECT_EQ(segment(*led, 0).colour, 0x0000FF00u);
        EXPECT_EQ(decimalPoint(*led).fill, 0u);
    }
    QSignalSpy spy(&loaded, &LED::PropertyChanged);
    loaded.setValue(qint16(4));
    loaded.UserControl_InitProperties();  // a new placement: silent, and back to the defaults
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(loaded.Value(), 0);
}

TEST(LedPersistence, StoredTextAndNumbersConvertToTheKeysTypes) {
    LED led;
    LEDMemoryPropertyBag bag;
    bag.set("ValueIsMask", QStringLiteral("True"));
    bag.set("Value", QStringLiteral("64"));
    bag.set("ShowDecimal", 0.4);  // any number but zero is True, before rounding
    bag.set("LEDColorOn", QStringLiteral("255"));
    bag.set("LEDColorOff", 0xFFFFFFFFu);
    bag.set("ShowBorder", QStringLiteral("1e-400"));  // a number too small for a double is 0
    bag.set("BackStyle", 1.0);
    led.UserControl_ReadProperties(bag);
    EXPECT_TRUE(led.ValueIsMask());
    EXPECT_EQ(led.Value(), 64);
    EXPECT_TRUE(led.ShowDecimal());
    EXPECT_EQ(led.LEDColorOn(), 255u);
    EXPECT_EQ(led.LEDColorOff(), 0xFFFFFFFFu);
    EXPECT_FALSE(led.ShowBorder());
    EXPECT_EQ(led.BackStyle(), LED::Opaque);
}

TEST(LedPersistence, ABadStoredValueStopsTheLoadAtItsKey) {
    const QStringList order = {"ValueIsMask", "Value",      "ShowDecimal", "LEDColorOn",
                               "LEDColorOff", "ShowBorder", "BackStyle"};
    const QVariant good[] = {true, 100, true, 0x000000FF, 0x00FF0000, true, 1};
    const QVariant bad[] = {QStringLiteral("yes"),
                            QStringLiteral("lots"),
                            QStringLiteral("?"),
                            QStringLiteral("green"),
                            5e9,
                            QStringLiteral(""),
                            3};
    for (int badAt = 0; badAt < 7; ++badAt) {
        LEDMemoryPropertyBag bag;
        for (int i = 0; i < 7; ++i) {
            bag.set(order[i], i == badAt ? bad[i] : good[i]);
        }
        LED led;
        QSignalSpy spy(&led, &LED::PropertyChanged);
        try {
            led.UserControl_ReadProperties(bag);
            ADD_FAILURE() << "load did not stop at " << order[badAt].toStdString();
        } catch (const LEDConversionError& e) {
            EXPECT_EQ(e.subject(), order[badAt]);
            EXPECT_EQ(e.kind(), badAt == 4   ? LEDConversionError::Kind::Overflow
                                : badAt == 6 ? LEDConversionError::Kind::InvalidPropertyValue
                                             : LEDConversionError::Kind::TypeMismatch);
        }
        // Keys after the bad one keep the blank control's zeros, not a new control's defaults.
        if (badAt <= 3) {
            EXPECT_EQ(led.LEDColorOn(), 0u);
        }
        const bool applied[] = {
            led.ValueIsMask() == true,       led.Value() == 100,
            led.ShowDecimal() == true,       led.LEDColorOn() == 0x000000FF,
            led.LEDColorOff() == 0x00FF0000, led.ShowBorder() == true,
            led.BackStyle() == LED::Opaque,
        };
        for (int i = 0; i < 7; ++i) {
            EXPECT_EQ(applied[i], i < badAt)
                << "bad " << order[badAt].toStdString() << ", key " << order[i].toStdString();
        }
        // Notices only for what was applied (BackStyle never notifies).
        EXPECT_EQ(spy.count(), std::min(badAt, 6));
    }
}

TEST(LedPersistence, AnOutOfRangeStoredValueBehavesAsTheSetterDoes) {
    LEDMemoryPropertyBag bag;
    bag.set("Value", 12);
    bag.set("ShowDecimal", true);

    LED run;
    EXPECT_THROW(run.UserControl_ReadProperties(bag), LEDError);
    EXPECT_FALSE(run.ShowDecimal());  // the load stopped at Value

    ModalBoxWatcher watcher;
    LED design;
    design.setDesignMode(true);
    design.UserControl_ReadProperties(bag);
    ASSERT_EQ(watcher.boxes().size(), 1u);
    EXPECT_EQ(watcher.boxes()[0].title, "LED Error");
    EXPECT_EQ(design.Value(), 0);
    EXPECT_TRUE(design.ShowDecimal());  // and the load went on
}

TEST(LedPersistence, MemoryBagOmitsDefaultsAndKeepsFirstWriteOrder) {
    LEDMemoryPropertyBag bag;
    bag.write("b", 2, 0);
    bag.write("a", qint16(0), 0);  // equal to its default across integer types: omitted
    bag.write("c", true, false);
    bag.write("b", 3, 0);
    EXPECT_EQ(bag.keys(), (QStringList{"b", "c"}));
    EXPECT_EQ(bag.read("b", 0).toInt(), 3);
    EXPECT_EQ(bag.read("a", 42).toInt(), 42);
    bag.write("b", 0, 0);
    EXPECT_FALSE(bag.contains("b"));
    bag.set("d", 0);  // a container may store a default explicitly
    EXPECT_TRUE(bag.contains("d"));
    bag.clear();
    EXPECT_TRUE(bag.isEmpty());
}
