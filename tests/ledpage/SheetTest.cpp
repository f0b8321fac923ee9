// The property sheet: its pages, its Apply button, OK and Cancel, and the colour page.
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

using ledpage_test::ModalBoxes;

namespace {

class Sheet : public ::testing::Test {
protected:
    Sheet() {
        for (auto& led : leds) {
            led = std::make_unique<LED>();
            led->setDesignMode(true);
        }
    }
    void TearDown() override { EXPECT_TRUE(boxes.shown.empty()); }

    // A sheet on all three LEDs whose error reports are recorded.
    std::unique_ptr<LEDPropertySheet> open() {
        auto sheet =
            std::make_unique<LEDPropertySheet>(QList<QObject*>{leds[0].get(), leds[1].get(), leds[2].get()});
        sheet->setErrorReporter(
            [this](const QString& text, const QString& title) { reports << title + "|" + text; });
        return sheet;
    }

    ModalBoxes boxes;
    std::unique_ptr<LED> leds[3];
    QStringList reports;
};

using SheetColors = Sheet;

}  // namespace

TEST_F(Sheet, HasTheLEDPageFirstAndTheColourPageSecond) {
    auto sheet = open();
    ASSERT_EQ(sheet->tabs()->count(), 2);
    EXPECT_EQ(sheet->tabs()->widget(0), sheet->propertiesPage());
    EXPECT_EQ(sheet->tabs()->tabText(0), "LEDProperties");
    EXPECT_EQ(sheet->tabs()->widget(1), sheet->colorPage());
    EXPECT_EQ(sheet->tabs()->currentIndex(), 0);
    EXPECT_EQ(sheet->propertiesPage()->txtValue()->text(), "0");  // loaded on opening
}

TEST_F(Sheet, ApplyIsEnabledExactlyWhileAPageHoldsUnappliedEdits) {
    auto sheet = open();
    EXPECT_FALSE(sheet->applyButton()->isEnabled());

    sheet->propertiesPage()->chkShowDecimal()->setChecked(true);
    EXPECT_TRUE(sheet->applyButton()->isEnabled());
    QTest::mouseClick(sheet->applyButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet->applyButton()->isEnabled());
    EXPECT_TRUE(leds[0]->showDecimal());

    sheet->colorPage()->setColor(LEDColorPage::ColorOff, 0x00112233);
    EXPECT_TRUE(sheet->applyButton()->isEnabled());
    sheet->propertiesPage()->txtValue()->setText("3");
    sheet->applyChanges();
    EXPECT_FALSE(sheet->applyButton()->isEnabled());
    EXPECT_EQ(leds[0]->ledColorOff(), 0x00112233u);
    EXPECT_EQ(leds[0]->value(), 3);

    // A failed apply leaves the edits pending.
    sheet->propertiesPage()->txtValue()->setText("x");
    EXPECT_FALSE(sheet->applyChanges());
    EXPECT_TRUE(sheet->applyButton()->isEnabled());
    EXPECT_TRUE(sheet->propertiesPage()->changed());
}

TEST_F(Sheet, AnApplyErrorIsReportedByTheSheetAfterTheFlagsAreWritten) {
    auto sheet = open();
    QSignalSpy before(sheet.get(), &LEDPropertySheet::aboutToApply);
    QSignalSpy after(sheet.get(), &LEDPropertySheet::applied);
    sheet->propertiesPage()->chkShowBorder()->setChecked(true);
    sheet->propertiesPage()->txtValue()->setText("40000");
    sheet->tabs()->setCurrentIndex(1);

    EXPECT_FALSE(sheet->applyChanges());
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].startsWith(sheet->windowTitle() + "|Value: overflow")) << reports[0].toStdString();
    EXPECT_EQ(sheet->tabs()->currentIndex(), 0);  // the page that failed is shown
    EXPECT_TRUE(leds[0]->showBorder());
    EXPECT_EQ(leds[0]->value(), 0);
    // The host hears of the partial write, too.
    ASSERT_EQ(before.count(), 1);
    ASSERT_EQ(after.count(), 1);
    EXPECT_EQ(after.at(0).at(0).value<QObject*>(), leds[0].get());
}

TEST_F(Sheet, OkAppliesAndClosesButStaysOpenOnAnError) {
    auto sheet = open();
    sheet->show();
    sheet->propertiesPage()->txtValue()->setText("");
    QTest::mouseClick(sheet->okButton(), Qt::LeftButton);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains("type mismatch"));

    sheet->propertiesPage()->txtValue()->setText("8");
    QTest::mouseClick(sheet->okButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    EXPECT_EQ(leds[0]->value(), 8);
    EXPECT_EQ(leds[1]->value(), 0);
}

TEST_F(Sheet, CancelWritesNothing) {
    auto sheet = open();
    sheet->show();
    sheet->propertiesPage()->chkValueIsMask()->setChecked(true);
    sheet->propertiesPage()->txtValue()->setText("99");
    sheet->colorPage()->setColor(LEDColorPage::ColorOn, 0x000000FF);
    QTest::mouseClick(sheet->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(sheet->result(), QDialog::Rejected);
    EXPECT_FALSE(leds[0]->valueIsMask());
    EXPECT_EQ(leds[0]->value(), 0);
    EXPECT_EQ(leds[0]->ledColorOn(), LED::DefaultColorOn);
}

TEST_F(Sheet, OnlyPagesWithEditsAreApplied) {
    auto sheet = open();
    sheet->colorPage()->setColor(LEDColorPage::ColorOn, 0x00FF0000);
    QStringList notices;
    QObject::connect(leds[0].get(), &LED::PropertyChanged, [&](const QString& name) { notices << name; });
    EXPECT_TRUE(sheet->applyChanges());
    EXPECT_EQ(notices, QStringList({"LEDColorOn", "LEDColorOff"}));
}

TEST_F(SheetColors, LoadsTheFirstControlsColoursAsOleCodes) {
    leds[0]->setLEDColorOff(0x00405060);
    leds[1]->setLEDColorOn(0x000000FF);
    auto sheet = open();
    LEDColorPage* page = sheet->colorPage();
    EXPECT_EQ(page->color(LEDColorPage::ColorOn), LED::DefaultColorOn);
    EXPECT_EQ(page->color(LEDColorPage::ColorOff), 0x00405060u);
    EXPECT_EQ(page->findChild<QLabel*>("lblLEDColorOn")->text(), "&H0000FF00&");
    EXPECT_EQ(page->findChild<QLabel*>("lblLEDColorOff")->text(), "&H00405060&");
    EXPECT_FALSE(page->changed());
    // The swatch shows the colour itself: 0x00BBGGRR is red 0x60, green 0x50, blue 0x40.
    const QImage swatch = page->swatch(LEDColorPage::ColorOff)->icon().pixmap(48, 16).toImage();
    EXPECT_EQ(swatch.pixelColor(24, 8), QColor(0x60, 0x50, 0x40));
}

TEST_F(SheetColors, TheSwatchAsksForAColourAndAppliesItToTheFirstControl) {
    auto sheet = open();
    LEDColorPage* page = sheet->colorPage();
    std::optional<QColor> answer = QColor(0x12, 0x34, 0x56);
    QColor offered;
    page->setColorChooser([&](const QColor& initial, QWidget*) {
        offered = initial;
        return answer;
    });

    QTest::mouseClick(page->swatch(LEDColorPage::ColorOn), Qt::LeftButton);
    EXPECT_EQ(offered, QColor(0, 0xFF, 0));
    EXPECT_EQ(page->color(LEDColorPage::ColorOn), 0x00563412u);
    EXPECT_TRUE(page->changed());

    answer.reset();  // the user cancels the dialog
    QTest::mouseClick(page->swatch(LEDColorPage::ColorOff), Qt::LeftButton);
    EXPECT_EQ(page->color(LEDColorPage::ColorOff), 0u);

    EXPECT_TRUE(sheet->applyChanges());
    EXPECT_EQ(leds[0]->ledColorOn(), 0x00563412u);
    EXPECT_EQ(leds[0]->ledColorOff(), 0u);
    EXPECT_EQ(leds[0]->segment(0).colour, 0x00563412u);  // digit 0 lights the top segment
    EXPECT_EQ(leds[1]->ledColorOn(), LED::DefaultColorOn);
}

TEST_F(SheetColors, ASystemColourSurvivesAnApplyOfTheOtherColour) {
    const quint32 buttonFace = 0x8000000Fu;
    leds[0]->setLEDColorOff(buttonFace);
    auto sheet = open();
    sheet->colorPage()->setColor(LEDColorPage::ColorOn, 0x000000FF);
    EXPECT_TRUE(sheet->applyChanges());
    EXPECT_EQ(leds[0]->ledColorOff(), buttonFace);
    EXPECT_EQ(leds[0]->ledColorOn(), 0x000000FFu);
}
