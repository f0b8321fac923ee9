// Saving and loading an LED through a property bag: keys, order, omitted defaults, conversions,
// and what a bad stored value leaves behind.
#include <LED/LED.h>

#include <QSignalSpy>

#include <gtest/gtest.h>

#include "ModalBoxWatcher.h"

namespace {

// Records every write a control makes, defaults included, so order and defaults can be checked.
class RecordingBag : public PropertyBag {
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
    MemoryPropertyBag bag;
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
    MemoryPropertyBag bag;
    out.UserControl_WriteProperties(bag);
    EXPECT_EQ(bag.keys(), (QStringList{"Value", "ShowDecimal", "LEDColorOn", "LEDColorOff", "ShowBorder",
                                       "BackStyle", "ValueIsMask"}));
    EXPECT_EQ(bag.value("LEDColorOn").toInt(), qint32(0x80000012u));

    LED in;
    in.UserControl_ReadProperties(bag);
    EXPECT_TRUE(in.valueIsMask());
    EXPECT_EQ(in.value(), 100);  // checked against the mask mode read just before it
    EXPECT_TRUE(in.showDecimal());
    EXPECT_TRUE(in.showBorder());
    EXPECT_EQ(in.ledColorOn(), 0x80000012u);
    EXPECT_EQ(in.ledColorOff(), 0x00332211u);
    EXPECT_EQ(in.backStyle(), LED::Opaque);
    EXPECT_EQ(in.displayedMask(), 100);
    EXPECT_EQ(in.segment(2).colour, 0x80000012u);
    EXPECT_EQ(in.segment(0).colour, 0x00332211u);
    EXPECT_EQ(in.decimalPoint().fill, 0x80000012u);
}

TEST(LedPersistence, ReadingAppliesKeysInOrderThroughTheSettersExceptBackStyle) {
    LED led;
    MemoryPropertyBag bag;
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
    EXPECT_EQ(led.backStyle(), LED::Opaque);
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
    loaded.UserControl_ReadProperties(MemoryPropertyBag());
    EXPECT_EQ(loaded.value(), 0);
    EXPECT_FALSE(loaded.valueIsMask());
    for (LED* led : {&fresh, &loaded}) {
        EXPECT_FALSE(led->showDecimal());
        EXPECT_FALSE(led->showBorder());
        EXPECT_EQ(led->backStyle(), LED::Transparent);
        EXPECT_EQ(led->ledColorOn(), 0x0000FF00u);
        EXPECT_EQ(led->ledColorOff(), 0u);
        EXPECT_EQ(led->displayedMask(), 0b1111101);
        EXPECT_EQ(led->segment(1).colour, 0u);  // the middle of a 0 is unlit
        EXPECT_EQ(led->segment(0).colour, 0x0000FF00u);
        EXPECT_EQ(led->decimalPoint().fill, 0u);
    }
    QSignalSpy spy(&loaded, &LED::PropertyChanged);
    loaded.setValue(qint16(4));
    loaded.UserControl_InitProperties();  // a new placement: silent, and back to the defaults
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(loaded.value(), 0);
}

TEST(LedPersistence, StoredTextAndNumbersConvertToTheKeysTypes) {
    LED led;
    MemoryPropertyBag bag;
    bag.set("ValueIsMask", QStringLiteral("True"));
    bag.set("Value", QStringLiteral("64"));
    bag.set("ShowDecimal", -1);
    bag.set("LEDColorOn", QStringLiteral("255"));
    bag.set("LEDColorOff", 0xFFFFFFFFu);
    bag.set("ShowBorder", QStringLiteral("0"));
    bag.set("BackStyle", 1.0);
    led.UserControl_ReadProperties(bag);
    EXPECT_TRUE(led.valueIsMask());
    EXPECT_EQ(led.value(), 64);
    EXPECT_TRUE(led.showDecimal());
    EXPECT_EQ(led.ledColorOn(), 255u);
    EXPECT_EQ(led.ledColorOff(), 0xFFFFFFFFu);
    EXPECT_FALSE(led.showBorder());
    EXPECT_EQ(led.backStyle(), LED::Opaque);
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
        MemoryPropertyBag bag;
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
        const bool applied[] = {
            led.valueIsMask() == true,       led.value() == 100,
            led.showDecimal() == true,       led.ledColorOn() == 0x000000FF,
            led.ledColorOff() == 0x00FF0000, led.showBorder() == true,
            led.backStyle() == LED::Opaque,
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
    MemoryPropertyBag bag;
    bag.set("Value", 12);
    bag.set("ShowDecimal", true);

    LED run;
    EXPECT_THROW(run.UserControl_ReadProperties(bag), LEDError);
    EXPECT_FALSE(run.showDecimal());  // the load stopped at Value

    ModalBoxWatcher watcher;
    LED design;
    design.setDesignMode(true);
    design.UserControl_ReadProperties(bag);
    ASSERT_EQ(watcher.boxes().size(), 1u);
    EXPECT_EQ(watcher.boxes()[0].title, "LED Error");
    EXPECT_EQ(design.value(), 0);
    EXPECT_TRUE(design.showDecimal());  // and the load went on
}

TEST(LedPersistence, MemoryBagOmitsDefaultsAndKeepsFirstWriteOrder) {
    MemoryPropertyBag bag;
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
