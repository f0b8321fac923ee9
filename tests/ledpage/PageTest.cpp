// The LEDProperties page: its form, and how it loads from and applies to the selected controls.
#include "ModalBoxes.h"

#include <LED/LED.h>
#include <LED/LEDProperties.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using ledpage_test::ModalBoxes;

namespace {

// A control that is not an LED but has the four properties; it records the order of writes and
// can store True as -1, the way an automation Boolean does.
class FakeControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(int ShowBorder READ showBorder WRITE setShowBorder)
    Q_PROPERTY(int ShowDecimal READ showDecimal WRITE setShowDecimal)
    Q_PROPERTY(int ValueIsMask READ valueIsMask WRITE setValueIsMask)
    Q_PROPERTY(qint16 Value READ value WRITE setValue)

public:
    int showBorder() const { return showBorder_; }
    void setShowBorder(int v) { showBorder_ = v, writes << "ShowBorder"; }
    int showDecimal() const { return showDecimal_; }
    void setShowDecimal(int v) { showDecimal_ = v, writes << "ShowDecimal"; }
    int valueIsMask() const { return valueIsMask_; }
    void setValueIsMask(int v) { valueIsMask_ = v, writes << "ValueIsMask"; }
    qint16 value() const { return value_; }
    void setValue(qint16 v) { value_ = v, writes << "Value"; }

    int showBorder_ = 0, showDecimal_ = 0, valueIsMask_ = 0;
    qint16 value_ = 0;
    QStringList writes;
};

struct Leds {
    explicit Leds(bool designMode = true) {
        for (auto& led : leds) {
            led = std::make_unique<LED>();
            led->setDesignMode(designMode);
        }
    }
    QList<QObject*> selection() const { return {leds[0].get(), leds[1].get(), leds[2].get()}; }
    LED& operator[](int i) { return *leds[i]; }
    std::unique_ptr<LED> leds[3];
};

// Every property-changed notice of `led`, in order.
QStringList noticesDuring(LED& led, const std::function<void()>& action) {
    QStringList notices;
    auto c = QObject::connect(&led, &LED::PropertyChanged, [&](const QString& name) { notices << name; });
    action();
    QObject::disconnect(c);
    return notices;
}

// Every test answers modal boxes, so a box nobody expected fails the test instead of hanging it.
class WithBoxes : public ::testing::Test {
protected:
    void TearDown() override {
        if (!boxesExpected) {
            EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text.toStdString();
        }
    }
    ModalBoxes boxes;
    bool boxesExpected = false;
};
using LEDPropertiesLayout = WithBoxes;
using LEDPropertiesLoad = WithBoxes;
using LEDPropertiesChanged = WithBoxes;
using LEDPropertiesApply = WithBoxes;

}  // namespace

TEST_F(LEDPropertiesLayout, FormHasTheNamedControlsAtTheirTwipPositions) {
    LEDProperties page;
    EXPECT_EQ(page.windowTitle(), "LEDProperties");
    EXPECT_EQ(page.caption(), "LEDProperties");
    EXPECT_EQ(page.size(), QSize(395, 233));  // 5928 x 3492 twips

    struct Row {
        const char* name;
        QRect geometry;  // twips / 15, rounded
        QString text;
    };
    const Row rows[] = {
        {"lblValue", QRect(6, 8, 180, 16), "Value:"},
        {"txtValue", QRect(6, 25, 180, 22), ""},
        {"chkValueIsMask", QRect(6, 99, 180, 19), "ValueIsMask"},
        {"chkShowDecimal", QRect(6, 143, 180, 19), "ShowDecimal"},
        {"chkShowBorder", QRect(6, 186, 180, 19), "ShowBorder"},
    };
    for (const Row& row : rows) {
        auto* widget = page.findChild<QWidget*>(row.name);
        ASSERT_NE(widget, nullptr) << row.name;
        EXPECT_EQ(widget->geometry(), row.geometry) << row.name;
        EXPECT_EQ(widget->property("text").toString(), row.text) << row.name;
    }
    EXPECT_EQ(page.lblValue()->buddy(), page.txtValue());

    // chkShowBorder is at the top of the stacking order, lblValue at the bottom.
    QStringList stacking;
    for (QObject* child : page.children()) {
        if (child->isWidgetType()) {
            stacking << child->objectName();
        }
    }
    EXPECT_EQ(stacking,
              QStringList({"lblValue", "txtValue", "chkValueIsMask", "chkShowDecimal", "chkShowBorder"}));
}

TEST_F(LEDPropertiesLayout, TabGoesValueThenTheThreeBoxesTopToBottom) {
    LEDProperties page;
    QWidget* w = page.txtValue();
    QStringList order{w->objectName()};
    for (int i = 0; i < 4; ++i) {
        w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus)) {
            w = w->nextInFocusChain();
        }
        order << w->objectName();
    }
    EXPECT_EQ(order,
              QStringList({"txtValue", "chkValueIsMask", "chkShowDecimal", "chkShowBorder", "txtValue"}));
    EXPECT_FALSE(page.lblValue()->focusPolicy() & Qt::TabFocus);
}

TEST_F(LEDPropertiesLoad, ShowsTheFirstOfThreeSelectedControls) {
    Leds leds;
    leds[0].setShowBorder(true);
    leds[1].setShowDecimal(true);
    leds[1].setValue(7);
    leds[2].setValueIsMask(true);
    leds[2].setValue(100);

    LEDProperties page;
    page.SelectionChanged(leds.selection());
    EXPECT_TRUE(page.chkShowBorder()->isChecked());
    EXPECT_FALSE(page.chkShowDecimal()->isChecked());
    EXPECT_FALSE(page.chkValueIsMask()->isChecked());
    EXPECT_EQ(page.txtValue()->text(), "0");

    // A later selection replaces the earlier one.
    page.SelectionChanged({&leds[2], &leds[0]});
    EXPECT_FALSE(page.chkShowBorder()->isChecked());
    EXPECT_TRUE(page.chkValueIsMask()->isChecked());
    EXPECT_EQ(page.txtValue()->text(), "100");
}

TEST_F(LEDPropertiesLoad, BooleansAreReadByTheirLowestBit) {
    FakeControl control;
    control.showBorder_ = -1;  // automation True
    control.showDecimal_ = 2;  // non-zero but bit 0 clear
    control.valueIsMask_ = 1;
    control.value_ = -32768;
    LEDProperties page;
    page.SelectionChanged({&control});
    EXPECT_TRUE(page.chkShowBorder()->isChecked());
    EXPECT_FALSE(page.chkShowDecimal()->isChecked());
    EXPECT_TRUE(page.chkValueIsMask()->isChecked());
    EXPECT_EQ(page.txtValue()->text(), "-32768");
    EXPECT_TRUE(control.writes.isEmpty());  // loading never writes
}

TEST_F(LEDPropertiesChanged, LoadLeavesThePageUnchangedAndEveryEditMarksIt) {
    Leds leds;
    leds[0].setValue(3);
    LEDProperties page;
    QSignalSpy spy(&page, &LEDPropertyPage::changedChanged);
    page.SelectionChanged(leds.selection());
    EXPECT_FALSE(page.changed());

    const std::function<void()> edits[] = {
        [&] { QTest::mouseClick(page.chkShowBorder(), Qt::LeftButton); },
        [&] { QTest::mouseClick(page.chkShowDecimal(), Qt::LeftButton); },
        [&] { QTest::mouseClick(page.chkValueIsMask(), Qt::LeftButton); },
        [&] { QTest::keyClick(page.txtValue(), Qt::Key_5); },
    };
    for (const auto& edit : edits) {
        page.SelectionChanged(leds.selection());
        ASSERT_FALSE(page.changed());
        spy.clear();
        edit();
        EXPECT_TRUE(page.changed());
        ASSERT_EQ(spy.count(), 1);
        EXPECT_EQ(spy.at(0).at(0).toBool(), true);
    }
    // Edits that are never applied never reach the control.
    EXPECT_EQ(leds[0].value(), 3);
    EXPECT_FALSE(leds[0].showBorder());
}

TEST_F(LEDPropertiesApply, WritesOnlyTheFirstControlFlagsFirstAndValueIsMaskBeforeValue) {
    Leds leds;
    LEDProperties page;
    page.SelectionChanged(leds.selection());
    page.chkShowBorder()->setChecked(true);
    page.chkShowDecimal()->setChecked(true);
    page.chkValueIsMask()->setChecked(true);
    page.txtValue()->setText("100");

    QStringList notices;
    notices = noticesDuring(leds[0], [&] { EXPECT_FALSE(page.ApplyChanges().has_value()); });
    EXPECT_EQ(notices, QStringList({"ShowBorder", "ShowDecimal", "ValueIsMask", "Value"}));
    EXPECT_FALSE(page.changed());
    EXPECT_TRUE(leds[0].showBorder());
    EXPECT_TRUE(leds[0].showDecimal());
    EXPECT_TRUE(leds[0].valueIsMask());
    EXPECT_EQ(leds[0].value(), 100);
    EXPECT_EQ(leds[0].displayedMask(), 100);
    for (int i : {1, 2}) {
        EXPECT_FALSE(leds[i].showBorder());
        EXPECT_FALSE(leds[i].showDecimal());
        EXPECT_FALSE(leds[i].valueIsMask());
        EXPECT_EQ(leds[i].value(), 0);
    }

    FakeControl control;
    page.SelectionChanged({&control});
    page.txtValue()->setText("9");
    EXPECT_FALSE(page.ApplyChanges().has_value());
    EXPECT_EQ(control.writes, QStringList({"ShowBorder", "ShowDecimal", "ValueIsMask", "Value"}));
    EXPECT_EQ(control.value_, 9);
}

TEST_F(LEDPropertiesApply, MaskTextWithValueIsMaskCheckedLightsAllSegments) {
    Leds leds;
    LEDProperties page;
    page.SelectionChanged(leds.selection());
    page.chkValueIsMask()->setChecked(true);
    page.txtValue()->setText("127");
    EXPECT_FALSE(page.ApplyChanges().has_value());
    EXPECT_EQ(leds[0].value(), 127);
    EXPECT_EQ(leds[0].displayedMask(), 127);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(leds[0].segment(i).colour, LED::DefaultColorOn) << i;
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LEDPropertiesApply, DigitOverflowInDesignModeIsTheControlsBoxAndStoresZero) {
    Leds leds;
    leds[0].setValue(5);
    boxesExpected = true;
    LEDProperties page;
    page.SelectionChanged(leds.selection());
    page.txtValue()->setText("127");
    EXPECT_FALSE(page.ApplyChanges().has_value());
    EXPECT_FALSE(page.changed());
    EXPECT_EQ(leds[0].value(), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "LED Error");
    EXPECT_EQ(boxes.shown[0].text, LED::errorDescription(LED::LEDOverFlow));
}

TEST_F(LEDPropertiesApply, DigitOverflowInRunModeIsReportedAndKeepsTheValue) {
    Leds leds(false);
    leds[0].setValue(5);
    LEDProperties page;
    page.SelectionChanged(leds.selection());
    page.chkShowDecimal()->setChecked(true);
    page.txtValue()->setText("10");
    const auto error = page.ApplyChanges();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, LEDApplyError::Kind::ControlError);
    EXPECT_EQ(error->number, LED::ErrorNumberOverFlow);
    EXPECT_EQ(error->message, LED::errorDescription(LED::LEDOverFlow));
    EXPECT_TRUE(leds[0].showDecimal());
    EXPECT_EQ(leds[0].value(), 5);
    EXPECT_TRUE(page.changed());
}

TEST_F(LEDPropertiesApply, TextThatIsNoNumberFailsWithTypeMismatchAfterTheFlags) {
    for (const QString text : {"abc", "", "   ", "12abc", "0x7F"}) {
        Leds leds;
        leds[0].setValue(4);
        LEDProperties page;
        page.SelectionChanged(leds.selection());
        page.chkShowBorder()->setChecked(true);
        page.chkShowDecimal()->setChecked(true);
        page.chkValueIsMask()->setChecked(true);
        page.txtValue()->setText(text);

        QStringList notices;
        std::optional<LEDApplyError> error;
        notices = noticesDuring(leds[0], [&] { error = page.ApplyChanges(); });
        ASSERT_TRUE(error.has_value()) << text.toStdString();
        EXPECT_EQ(error->kind, LEDApplyError::Kind::TypeMismatch) << text.toStdString();
        EXPECT_EQ(error->property, "Value");
        EXPECT_EQ(error->number, qint32(0x80020005u));
        EXPECT_TRUE(error->message.contains("type mismatch", Qt::CaseInsensitive))
            << error->message.toStdString();
        EXPECT_TRUE(error->message.startsWith("Value")) << error->message.toStdString();
        EXPECT_EQ(notices, QStringList({"ShowBorder", "ShowDecimal", "ValueIsMask"}));
        EXPECT_TRUE(leds[0].showBorder());
        EXPECT_TRUE(leds[0].showDecimal());
        EXPECT_TRUE(leds[0].valueIsMask());
        EXPECT_EQ(leds[0].value(), 4);
        EXPECT_TRUE(page.changed());
    }
}

TEST_F(LEDPropertiesApply, NumbersOutsideSixteenBitsFailWithOverflowAfterTheFlags) {
    for (const QString text : {"40000", "32768", "-32769", "1e9"}) {
        Leds leds;
        leds[0].setValue(4);
        LEDProperties page;
        page.SelectionChanged(leds.selection());
        page.chkShowBorder()->setChecked(true);
        page.txtValue()->setText(text);
        const auto error = page.ApplyChanges();
        ASSERT_TRUE(error.has_value()) << text.toStdString();
        EXPECT_EQ(error->kind, LEDApplyError::Kind::Overflow) << text.toStdString();
        EXPECT_EQ(error->number, qint32(0x8002000Au));
        EXPECT_TRUE(error->message.contains("overflow", Qt::CaseInsensitive));
        EXPECT_TRUE(leds[0].showBorder());
        EXPECT_EQ(leds[0].value(), 4);
    }
}

TEST_F(LEDPropertiesApply, ObjectsOtherThanLEDsGetTheSameConversion) {
    FakeControl control;
    LEDProperties page;
    page.SelectionChanged({&control});

    page.txtValue()->setText(" 2.5 ");  // rounds half to even
    EXPECT_FALSE(page.ApplyChanges().has_value());
    EXPECT_EQ(control.value_, 2);

    control.writes.clear();
    page.txtValue()->setText("nine");
    auto error = page.ApplyChanges();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, LEDApplyError::Kind::TypeMismatch);
    EXPECT_EQ(control.writes, QStringList({"ShowBorder", "ShowDecimal", "ValueIsMask"}));

    page.txtValue()->setText("-40000");
    error = page.ApplyChanges();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, LEDApplyError::Kind::Overflow);
    EXPECT_EQ(control.value_, 2);
}

TEST_F(LEDPropertiesApply, NoControlToWriteIsAnErrorNotACrash) {
    LEDProperties page;
    page.SelectionChanged({});
    page.txtValue()->setText("1");
    auto error = page.ApplyChanges();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, LEDApplyError::Kind::NoControl);

    auto led = std::make_unique<LED>();
    page.SelectionChanged({led.get()});
    page.txtValue()->setText("1");
    led.reset();
    error = page.ApplyChanges();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, LEDApplyError::Kind::NoControl);
    EXPECT_TRUE(page.changed());
}

TEST_F(LEDPropertiesApply, AControlWithoutThePropertyIsReported) {
    QObject plain;
    LEDProperties page;
    page.SelectionChanged({&plain});
    page.txtValue()->setText("1");
    const auto error = page.ApplyChanges();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, LEDApplyError::Kind::PropertyMissing);
    EXPECT_EQ(error->property, "ShowBorder");
}

#include "PageTest.moc"
