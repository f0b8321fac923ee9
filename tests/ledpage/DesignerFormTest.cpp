// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "Edit LED Properties..." on a real Designer form: the plugin found on QT_PLUGIN_PATH by Designer's
// own form editor, the selection it passes, the undo steps and the .ui it saves.
#include "DesignerHelpers.h"
#include "ModalBoxes.h"

#include <LED/LED.h>
#include <LED/LEDColorPage.h>
#include <LED/LEDProperties.h>
#include <LED/LEDPropertySheet.h>

#include <QCheckBox>
#include <QDesignerComponents>
#include <QDesignerFormEditorInterface>
#include <QDesignerFormWindowInterface>
#include <QDesignerFormWindowManagerInterface>
#include <QDesignerIntegration>
#include <QLineEdit>
#include <QPushButton>
#include <QUndoStack>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>
#include <memory>

using ledpage_test::editAction;
using ledpage_test::ModalBoxes;
using ledpage_test::SheetScript;

namespace {

// The properties a .ui stores for each widget of class LED: name -> (property -> text).
using StoredProperties = std::map<QString, std::map<QString, QString>>;

StoredProperties ledPropertiesIn(const QString& ui) {
    StoredProperties result;
    QXmlStreamReader xml(ui);
    QStringList widgetClasses, widgetNames;
    QString property;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"widget") {
            widgetClasses << xml.attributes().value("class").toString();
            widgetNames << xml.attributes().value("name").toString();
        } else if (xml.isEndElement() && xml.name() == u"widget") {
            widgetClasses.removeLast();
            widgetNames.removeLast();
        } else if (xml.isStartElement() && xml.name() == u"property" && !widgetClasses.isEmpty() &&
                   widgetClasses.last() == "LED") {
            property = xml.attributes().value("name").toString();
            if (property != "geometry") {
                result[widgetNames.last()][property] =
                    xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            }
        }
    }
    return result;
}

const char* const kForm = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>Digits</class>
 <widget class="QWidget" name="Digits">
  <property name="geometry"><rect><x>0</x><y>0</y><width>400</width><height>200</height></rect></property>
  <widget class="LED" name="LED1">
   <property name="geometry"><rect><x>10</x><y>10</y><width>85</width><height>114</height></rect></property>
  </widget>
  <widget class="LED" name="LED2">
   <property name="geometry"><rect><x>110</x><y>10</y><width>85</width><height>114</height></rect></property>
   <property name="Value"><number>7</number></property>
  </widget>
  <widget class="LED" name="LED3">
   <property name="geometry"><rect><x>210</x><y>10</y><width>85</width><height>114</height></rect></property>
  </widget>
 </widget>
 <customwidgets>
  <customwidget><class>LED</class><extends>QWidget</extends><header>LED/LED.h</header></customwidget>
 </customwidgets>
 <resources/>
 <connections/>
</ui>
)";

}  // namespace

// A real Designer form editor with the plugin found on QT_PLUGIN_PATH, as Designer itself runs it.
class DesignerForm : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        QDesignerComponents::initializeResources();
        core_ = QDesignerComponents::createFormEditor(nullptr);
        new QDesignerIntegration(core_, core_);
        QDesignerComponents::initializePlugins(core_);
    }
    static void TearDownTestSuite() {
        delete core_;
        core_ = nullptr;
    }

    QDesignerFormWindowInterface* openForm(const QString& ui) {
        QDesignerFormWindowInterface* form = core_->formWindowManager()->createFormWindow(nullptr);
        forms_.emplace_back(form);
        EXPECT_TRUE(form->setContents(ui));
        form->setDirty(false);
        return form;
    }
    static LED* led(QDesignerFormWindowInterface* form, const QString& name) {
        return form->mainContainer()->findChild<LED*>(name);
    }
    void TearDown() override {
        if (!boxesExpected) {
            EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text.toStdString();
        }
    }

    static QDesignerFormEditorInterface* core_;
    std::vector<std::unique_ptr<QDesignerFormWindowInterface>> forms_;
    ModalBoxes boxes;
    bool boxesExpected = false;
};
QDesignerFormEditorInterface* DesignerForm::core_ = nullptr;

TEST_F(DesignerForm, EditingTheFirstSelectedLEDSavesOnlyItsPropertiesThatDifferFromDefaults) {
    QDesignerFormWindowInterface* form = openForm(kForm);
    LED* first = led(form, "LED3");
    form->clearSelection();
    form->selectWidget(led(form, "LED2"));
    form->selectWidget(led(form, "LED1"));
    form->selectWidget(first);

    SheetScript script([](LEDPropertySheet* sheet) {
        LEDProperties* page = sheet->propertiesPage();
        EXPECT_EQ(page->txtValue()->text(), "0");  // LED3, not LED2's 7
        page->chkShowBorder()->setChecked(true);
        page->chkValueIsMask()->setChecked(true);
        page->txtValue()->setText("100");
        sheet->colorPage()->setColor(LEDColorPage::ColorOn, 0x000000FF);
        sheet->okButton()->click();
    });
    editAction(core_, first)->trigger();
    ASSERT_TRUE(script.ran);

    EXPECT_TRUE(first->designMode());
    EXPECT_TRUE(form->isDirty());
    EXPECT_TRUE(first->ValueIsMask());
    EXPECT_EQ(first->Value(), 100);
    EXPECT_EQ(led(form, "LED2")->Value(), 7);

    const StoredProperties stored = ledPropertiesIn(form->contents());
    EXPECT_EQ(stored.at("LED3"),
              (std::map<QString, QString>{
                  {"ShowBorder", "true"}, {"ValueIsMask", "true"}, {"Value", "100"}, {"LEDColorOn", "255"}}));
    EXPECT_EQ(stored.at("LED2"), (std::map<QString, QString>{{"Value", "7"}}));
    EXPECT_EQ(stored.count("LED1"), 0u);

    // The saved form loads back to the same state.
    QDesignerFormWindowInterface* reopened = openForm(form->contents());
    LED* again = led(reopened, "LED3");
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->ShowBorder());
    EXPECT_TRUE(again->ValueIsMask());
    EXPECT_EQ(again->Value(), 100);
    EXPECT_FALSE(again->ShowDecimal());
    EXPECT_EQ(again->LEDColorOn(), 0x000000FFu);
    EXPECT_EQ(again->LEDColorOff(), LED::DefaultColorOff);
    EXPECT_EQ(led(reopened, "LED2")->Value(), 7);
}

TEST_F(DesignerForm, AValueTheLEDTurnsIntoZeroIsNotSaved) {
    boxesExpected = true;
    QDesignerFormWindowInterface* form = openForm(kForm);
    LED* l = led(form, "LED2");
    SheetScript script([](LEDPropertySheet* sheet) {
        sheet->propertiesPage()->txtValue()->setText("127");  // digit mode: overflow, stored as 0
        sheet->okButton()->click();
    });
    editAction(core_, l)->trigger();
    ASSERT_TRUE(script.ran);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "LED Error");
    EXPECT_EQ(l->Value(), 0);
    EXPECT_EQ(ledPropertiesIn(form->contents()).count("LED2"), 0u);
}

TEST_F(DesignerForm, AnApplyIsOneStepToUndo) {
    QDesignerFormWindowInterface* form = openForm(kForm);
    LED* l = led(form, "LED1");
    SheetScript script([](LEDPropertySheet* sheet) {
        sheet->propertiesPage()->chkShowDecimal()->setChecked(true);
        sheet->propertiesPage()->txtValue()->setText("4");
        sheet->okButton()->click();
    });
    editAction(core_, l)->trigger();
    ASSERT_TRUE(script.ran);
    EXPECT_EQ(l->Value(), 4);
    form->commandHistory()->undo();
    EXPECT_EQ(l->Value(), 0);
    EXPECT_FALSE(l->ShowDecimal());
    EXPECT_EQ(ledPropertiesIn(form->contents()).count("LED1"), 0u);
}

TEST_F(DesignerForm, AFailedApplyStillRecordsTheFlagsItWrote) {
    QDesignerFormWindowInterface* form = openForm(kForm);
    LED* l = led(form, "LED1");
    QStringList reports;
    SheetScript script([&](LEDPropertySheet* sheet) {
        sheet->setErrorReporter([&](const QString& text, const QString&) { reports << text; });
        sheet->propertiesPage()->chkShowDecimal()->setChecked(true);
        sheet->propertiesPage()->txtValue()->setText("forty");
        sheet->okButton()->click();
        EXPECT_TRUE(sheet->isVisible());
        sheet->cancelButton()->click();
    });
    editAction(core_, l)->trigger();
    ASSERT_TRUE(script.ran);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(QString::fromUtf8("tipo incompatível")));
    EXPECT_TRUE(l->ShowDecimal());
    EXPECT_EQ(ledPropertiesIn(form->contents()).at("LED1"),
              (std::map<QString, QString>{{"ShowDecimal", "true"}}));
}

// A stored value the LED refuses must not end Designer: design mode reports it in the box and the
// form opens, the LED at its default and the rest of the form intact.
TEST_F(DesignerForm, AFormWithARefusedStoredValueOpensAfterTheErrorBox) {
    boxesExpected = true;
    const struct {
        const char* property;
        const char* stored;
        QString boxText;
    } cases[] = {
        {"BackStyle", "<number>7</number>", QString::fromUtf8("valor de propriedade inválido")},
        {"Value", "<number>40000</number>", QStringLiteral("estouro")},
        {"Value", "<number>12</number>", LED::errorDescription(LED::LEDOverFlow)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.property) + " " + c.stored);
        boxes.shown.clear();
        QString ui = QString::fromLatin1(kForm);
        ui.replace(R"(<property name="Value"><number>7</number></property>)",
                   QStringLiteral(R"(<property name="%1">%2</property><property name="ShowDecimal"><bool>true</bool></property>)")
                       .arg(QLatin1String(c.property), QLatin1String(c.stored)));
        QDesignerFormWindowInterface* form = openForm(ui);
        LED* l = led(form, "LED2");
        ASSERT_NE(l, nullptr);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].title, "LED Error");
        EXPECT_TRUE(boxes.shown[0].text.contains(c.boxText)) << boxes.shown[0].text.toStdString();
        EXPECT_EQ(l->BackStyle(), LED::Transparent);
        EXPECT_EQ(l->Value(), 0);
        EXPECT_TRUE(l->ShowDecimal());  // the properties after the bad one were applied
        EXPECT_NE(led(form, "LED3"), nullptr);
        EXPECT_FALSE(form->contents().isEmpty());
    }
}

