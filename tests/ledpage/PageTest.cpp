// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The LEDProperties page: its form, and how it loads from and applies to the selected controls.
#include "ModalBoxes.h"

#include <LED/LED.h>
#include <LED/LEDProperties.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using ledpage_test::ModalBoxes;

namespace {

// Not an LED, but it has the four properties; it records the order of writes and may hold True as
// -1, the way an automation Boolean does.
class FakeControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(int ShowBorder MEMBER showBorder WRITE setShowBorder)
    Q_PROPERTY(int ShowDecimal MEMBER showDecimal WRITE setShowDecimal)
    Q_PROPERTY(int ValueIsMask MEMBER valueIsMask WRITE setValueIsMask)
    Q_PROPERTY(qint16 Value MEMBER value WRITE setValue)

public:
    void setShowBorder(int v) { showBorder = v, writes << "ShowBorder"; }
    void setShowDecimal(int v) { showDecimal = v, writes << "ShowDecimal"; }
    void setValueIsMask(int v) { valueIsMask = v, writes << "ValueIsMask"; }
    void setValue(qint16 v) { value = v, writes << "Value"; }
    int showBorder = 0, showDecimal = 0, valueIsMask = 0;
    qint16 value = 0;
    QStringList writes;
};

// Three LEDs selected, a page loaded from them, and every modal box answered (an unexpected one
// fails the test instead of hanging it).
class Page : public ::testing::Test {
protected:
    void open(bool designMode = true) {
        for (auto& led : leds) {
            led = std::make_unique<LED>();
            led->setDesignMode(designMode);
        }
        leds[0]->setValue(4);
        page.SelectionChanged({leds[0].get(), leds[1].get(), leds[2].get()});
        QObject::connect(leds[0].get(), &LED::PropertyChanged,
                         [this](const QString& name) { notices << name; });
    }
    void TearDown() override {
        if (!boxesExpected) {
            EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text.toStdString();
        }
    }

    ModalBoxes boxes;
    bool boxesExpected = false;
    std::unique_ptr<LED> leds[3];
    LEDProperties page;
    QStringList notices;  // of the first LED
};

}  // namespace

TEST_F(Page, FormHasTheNamedControlsAtTheirTwipPositionsAndTabOrder) {
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
    QStringList stacking;  // bottom first
    for (QObject* child : page.children()) {
        stacking << child->objectName();
    }
    stacking.removeAll(QString());
    EXPECT_EQ(stacking,
              QStringList({"lblValue", "txtValue", "chkValueIsMask", "chkShowDecimal", "chkShowBorder"}));
    for (const Row& row : rows) {
        auto* widget = page.findChild<QWidget*>(row.name);
        ASSERT_NE(widget, nullptr) << row.name;
        EXPECT_EQ(widget->geometry(), row.geometry) << row.name;
        EXPECT_EQ(widget->property("text").toString(), row.text) << row.name;
    }
    EXPECT_EQ(page.lblValue()->buddy(), page.txtValue());

    QStringList tabOrder;
    QWidget* w = page.txtValue();
    for (int i = 0; i < 5; ++i, w = w->nextInFocusChain()) {
        while (!(w->focusPolicy() & Qt::TabFocus)) {
            w = w->nextInFocusChain();
        }
        tabOrder << w->objectName();
    }
    EXPECT_EQ(tabOrder,
              QStringList({"txtValue", "chkValueIsMask", "chkShowDecimal", "chkShowBorder", "txtValue"}));
}

TEST_F(Page, LoadsTheFirstSelectedControlOnlyAndIsThenUnchanged) {
    open();
    leds[0]->setShowBorder(true);
    leds[0]->setValue(0);
    leds[1]->setShowDecimal(true);
    leds[2]->setValueIsMask(true);
    page.SelectionChanged({leds[0].get(), leds[1].get(), leds[2].get()});
    EXPECT_TRUE(page.chkShowBorder()->isChecked());
    EXPECT_FALSE(page.chkShowDecimal()->isChecked());
    EXPECT_FALSE(page.chkValueIsMask()->isChecked());
    EXPECT_EQ(page.txtValue()->text(), "0");
    EXPECT_FALSE(page.changed());

    // Booleans are read by their lowest bit; loading writes nothing.
    FakeControl fake;
    fake.showBorder = -1;
    fake.showDecimal = 2;
    fake.value = -32768;
    page.SelectionChanged({&fake});
    EXPECT_TRUE(page.chkShowBorder()->isChecked());
    EXPECT_FALSE(page.chkShowDecimal()->isChecked());
    EXPECT_EQ(page.txtValue()->text(), "-32768");
    EXPECT_TRUE(fake.writes.isEmpty());
}

TEST_F(Page, EveryEditMarksThePageChangedAndNothingReachesTheControlUntilApplied) {
    open();
    const std::function<void()> edits[] = {
        [&] { QTest::mouseClick(page.chkShowBorder(), Qt::LeftButton); },
        [&] { QTest::mouseClick(page.chkShowDecimal(), Qt::LeftButton); },
        [&] { QTest::mouseClick(page.chkValueIsMask(), Qt::LeftButton); },
        [&] {
            page.txtValue()->selectAll();
            QTest::keyClick(page.txtValue(), Qt::Key_5);
        },
    };
    for (const auto& edit : edits) {
        page.SelectionChanged({leds[0].get()});
        ASSERT_FALSE(page.changed());
        edit();
        EXPECT_TRUE(page.changed());
    }
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_FALSE(page.ApplyChanges().has_value());
    EXPECT_FALSE(page.changed());
    EXPECT_EQ(leds[0]->Value(), 5);
}

TEST_F(Page, WritesTheFirstControlOnlyFlagsFirstValueIsMaskBeforeValue) {
    open();
    page.chkShowBorder()->setChecked(true);
    page.chkShowDecimal()->setChecked(true);
    page.chkValueIsMask()->setChecked(true);
    page.txtValue()->setText("100");
    EXPECT_FALSE(page.ApplyChanges().has_value());
    EXPECT_EQ(notices, QStringList({"ShowBorder", "ShowDecimal", "ValueIsMask", "Value"}));
    EXPECT_EQ(leds[0]->displayedMask(), 100);
    for (int i : {1, 2}) {
        EXPECT_FALSE(leds[i]->ShowBorder() || leds[i]->ShowDecimal() || leds[i]->ValueIsMask());
        EXPECT_EQ(leds[i]->Value(), 0);
    }

    // Any object with the four properties gets the same order and the same text conversion.
    FakeControl fake;
    page.SelectionChanged({&fake});
    page.txtValue()->setText(" 2.5 ");
    EXPECT_FALSE(page.ApplyChanges().has_value());
    EXPECT_EQ(fake.writes, QStringList({"ShowBorder", "ShowDecimal", "ValueIsMask", "Value"}));
    EXPECT_EQ(fake.value, 2);  // half to even
    page.txtValue()->setText("nine");
    ASSERT_TRUE(page.ApplyChanges().has_value());
    EXPECT_EQ(fake.value, 2);
}

TEST_F(Page, ValueTextOutcomes) {
    using Kind = LEDPageError::Kind;
    struct Case {
        bool designMode;
        bool mask;
        QString text;
        std::optional<Kind> error;  // none: the apply succeeds
        qint32 number;
        qint16 value;  // the first LED's Value afterwards (it was 4)
        bool ledErrorBox;
    };
    const Case cases[] = {
        {true, true, "127", {}, 0, 127, false},
        {true, false, "127", {}, 0, 0, true},  // the control's digit overflow, then 0
        {false, false, "10", Kind::ControlError, LED::ErrorNumberOverFlow, 4, false},
        {true, false, "abc", Kind::TypeMismatch, qint32(0x80020005u), 4, false},
        {true, false, "", Kind::TypeMismatch, qint32(0x80020005u), 4, false},
        {true, false, "12abc", Kind::TypeMismatch, qint32(0x80020005u), 4, false},
        {true, true, "40000", Kind::Overflow, qint32(0x8002000Au), 4, false},
        {true, false, "-32769", Kind::Overflow, qint32(0x8002000Au), 4, false},
    };
    boxesExpected = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        boxes.shown.clear();
        notices.clear();
        open(c.designMode);
        notices.clear();
        page.chkShowDecimal()->setChecked(true);
        page.chkValueIsMask()->setChecked(c.mask);
        page.txtValue()->setText(c.text);
        const auto error = page.ApplyChanges();

        ASSERT_EQ(error.has_value(), c.error.has_value());
        if (error) {
            EXPECT_EQ(error->kind(), *c.error);
            EXPECT_EQ(error->number(), c.number);
            EXPECT_EQ(error->property(), "Value");
            if (c.designMode) {
                EXPECT_TRUE(error->message().startsWith(QString::fromUtf8(
                    *c.error == Kind::Overflow ? "Value: estouro" : "Value: tipo incompatível")))
                    << error->message().toStdString();
            }
        }
        EXPECT_EQ(page.changed(), c.error.has_value());
        EXPECT_TRUE(leds[0]->ShowDecimal());  // the flags are written either way
        EXPECT_EQ(leds[0]->ValueIsMask(), c.mask);
        EXPECT_EQ(notices.mid(0, 2), QStringList({"ShowBorder", "ShowDecimal"}));
        EXPECT_EQ(leds[0]->Value(), c.value);
        ASSERT_EQ(boxes.shown.size(), c.ledErrorBox ? 1u : 0u);
        if (c.ledErrorBox) {
            EXPECT_EQ(boxes.shown[0].title, "LED Error");
            EXPECT_EQ(boxes.shown[0].text, LED::errorDescription(LED::LEDOverFlow));
        }
    }
}

TEST_F(Page, NothingToLoadOrWriteIsAnErrorForTheHost) {
    auto led = std::make_unique<LED>();
    led->setValue(3);
    EXPECT_FALSE(page.SelectionChanged({led.get()}).has_value());
    page.txtValue()->setText("1");
    led.reset();
    auto error = page.ApplyChanges();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), LEDPageError::Kind::NoControl);

    // A load that cannot read the control leaves the page showing what it showed, not zeros, and
    // gives Apply nothing to write to.
    QObject plain;
    error = page.SelectionChanged({&plain});
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), LEDPageError::Kind::PropertyMissing);
    EXPECT_EQ(error->property(), "ShowBorder");
    EXPECT_EQ(page.txtValue()->text(), "1");
    EXPECT_EQ(page.ApplyChanges()->kind(), LEDPageError::Kind::NoControl);

    error = page.SelectionChanged({});
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), LEDPageError::Kind::NoControl);
    EXPECT_EQ(page.txtValue()->text(), "1");
}

#include "PageTest.moc"
