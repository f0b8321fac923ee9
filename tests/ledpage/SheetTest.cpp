// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The property sheet: its pages, Apply, OK and Cancel, error reports, and the colour page.
#include "ModalBoxes.h"

#include <LED/LED.h>
#include <LED/LEDColorPage.h>
#include <LED/LEDProperties.h>
#include <LED/LEDPropertySheet.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

class Sheet : public ::testing::Test {
protected:
    Sheet() {
        for (auto& led : leds) {
            led = std::make_unique<LED>();
            led->setDesignMode(true);
        }
        leds[0]->setLEDColorOff(0x8000000Fu);  // a system colour
    }
    void TearDown() override { EXPECT_TRUE(boxes.shown.empty()); }

    std::unique_ptr<LEDPropertySheet> open() {
        auto sheet =
            std::make_unique<LEDPropertySheet>(QList<QObject*>{leds[0].get(), leds[1].get(), leds[2].get()});
        sheet->setErrorReporter(
            [this](const QString& text, const QString& title) { reports << title + "|" + text; });
        sheet->show();
        return sheet;
    }

    ledpage_test::ModalBoxes boxes;
    std::unique_ptr<LED> leds[3];
    QStringList reports;
};

}  // namespace

TEST_F(Sheet, ApplyIsEnabledWhileAPageHoldsEditsAndErrorsAreReportedByTheSheet) {
    auto sheet = open();
    ASSERT_EQ(sheet->tabs()->count(), 2);
    EXPECT_EQ(sheet->tabs()->widget(0), sheet->propertiesPage());
    EXPECT_EQ(sheet->tabs()->tabText(0), "LEDProperties");
    EXPECT_EQ(sheet->tabs()->widget(1), sheet->colorPage());
    EXPECT_FALSE(sheet->applyButton()->isEnabled());

    sheet->propertiesPage()->chkShowBorder()->setChecked(true);
    sheet->propertiesPage()->txtValue()->setText("40000");
    EXPECT_TRUE(sheet->applyButton()->isEnabled());
    sheet->tabs()->setCurrentIndex(1);
    QSignalSpy applied(sheet.get(), &LEDPropertySheet::applied);
    QTest::mouseClick(sheet->applyButton(), Qt::LeftButton);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].startsWith(sheet->windowTitle() + "|Value: estouro")) << reports[0].toStdString();
    EXPECT_EQ(sheet->tabs()->currentIndex(), 0);  // the failing page is shown
    EXPECT_TRUE(sheet->applyButton()->isEnabled());
    EXPECT_TRUE(leds[0]->ShowBorder());  // the host hears of the partial write too
    ASSERT_EQ(applied.count(), 1);
    EXPECT_EQ(applied.at(0).at(0).value<QObject*>(), leds[0].get());

    sheet->propertiesPage()->txtValue()->setText("3");
    QTest::mouseClick(sheet->applyButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet->applyButton()->isEnabled());
    EXPECT_EQ(leds[0]->Value(), 3);
    EXPECT_EQ(reports.size(), 1);
}

TEST_F(Sheet, OkAppliesAndClosesUnlessApplyFailsAndCancelWritesNothing) {
    auto sheet = open();
    sheet->propertiesPage()->txtValue()->setText("");
    QTest::mouseClick(sheet->okButton(), Qt::LeftButton);
    EXPECT_TRUE(sheet->isVisible());
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(QString::fromUtf8("tipo incompatível")));
    sheet->propertiesPage()->txtValue()->setText("8");
    QTest::mouseClick(sheet->okButton(), Qt::LeftButton);
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(leds[0]->Value(), 8);
    EXPECT_EQ(leds[1]->Value(), 0);

    sheet = open();
    sheet->propertiesPage()->chkValueIsMask()->setChecked(true);
    sheet->colorPage()->setColor(LEDColorPage::ColorOn, 0x000000FF);
    QTest::mouseClick(sheet->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(sheet->result(), QDialog::Rejected);
    EXPECT_FALSE(leds[0]->ValueIsMask());
    EXPECT_EQ(leds[0]->LEDColorOn(), LED::DefaultColorOn);
}

TEST_F(Sheet, TheColourPageEditsBothColoursOfTheFirstControlAsOleColours) {
    leds[1]->setLEDColorOn(0x000000FF);
    auto sheet = open();
    LEDColorPage* page = sheet->colorPage();
    EXPECT_EQ(page->findChild<QLabel*>("lblLEDColorOn")->text(), "&H0000FF00&");
    EXPECT_EQ(page->findChild<QLabel*>("lblLEDColorOff")->text(), "&H8000000F&");

    std::optional<QColor> answer = QColor(0x12, 0x34, 0x56);
    QColor offered;
    page->setColorChooser([&](const QColor& initial, QWidget*) {
        offered = initial;
        return answer;
    });
    QTest::mouseClick(page->swatch(LEDColorPage::ColorOn), Qt::LeftButton);
    EXPECT_EQ(offered, QColor(0, 0xFF, 0));
    EXPECT_EQ(page->color(LEDColorPage::ColorOn), 0x00563412u);  // 0x00BBGGRR
    const QImage swatch = page->swatch(LEDColorPage::ColorOn)->icon().pixmap(48, 16).toImage();
    EXPECT_EQ(swatch.pixelColor(24, 8), QColor(0x12, 0x34, 0x56));
    answer.reset();  // the user cancels the dialog
    QTest::mouseClick(page->swatch(LEDColorPage::ColorOff), Qt::LeftButton);
    EXPECT_TRUE(sheet->applyButton()->isEnabled());

    QStringList notices;
    QObject::connect(leds[0].get(), &LED::PropertyChanged, [&](const QString& name) { notices << name; });
    EXPECT_TRUE(sheet->applyChanges());
    EXPECT_EQ(notices, QStringList({"LEDColorOn", "LEDColorOff"}));  // the unedited page is not applied
    EXPECT_EQ(leds[0]->LEDColorOn(), 0x00563412u);
    EXPECT_EQ(leds[0]->LEDColorOff(), 0x8000000Fu);
    EXPECT_EQ(leds[1]->LEDColorOn(), 0x000000FFu);
}

TEST_F(Sheet, ASelectionThePagesCannotReadOffersNothingToApply) {
    QObject plain;
    for (const QList<QObject*>& selection : {QList<QObject*>{}, QList<QObject*>{&plain}}) {
        LEDPropertySheet sheet(selection);
        ASSERT_TRUE(sheet.loadError().has_value());
        EXPECT_FALSE(sheet.okButton()->isEnabled());
        sheet.propertiesPage()->txtValue()->setText("5");
        EXPECT_FALSE(sheet.applyButton()->isEnabled());
        EXPECT_FALSE(sheet.propertiesPage()->isEnabled());
    }
}
