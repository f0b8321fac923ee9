// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// An LED stored in a form: the .ui compiled by uic and the same file loaded at run time by
// QUiLoader must both give the widget every stored property.
#include <LED/LED.h>

#include <QFile>
#include <QUiLoader>

#include <gtest/gtest.h>

#include <memory>

#include "ui_LedForm.h"

namespace {

void expectStored(const LED& led) {
    EXPECT_TRUE(led.ValueIsMask());
    EXPECT_EQ(led.Value(), 100);  // a mask, accepted because ValueIsMask came first
    EXPECT_TRUE(led.ShowDecimal());
    EXPECT_TRUE(led.ShowBorder());
    EXPECT_EQ(led.LEDColorOn(), 0x8000000Du);
    EXPECT_EQ(led.LEDColorOff(), 0x000000FFu);
    EXPECT_EQ(led.BackStyle(), LED::Opaque);
}

void expectDefaults(const LED& led) {
    EXPECT_EQ(led.Value(), 0);
    EXPECT_FALSE(led.ValueIsMask());
    EXPECT_EQ(led.LEDColorOn(), 0x0000FF00u);
    EXPECT_EQ(led.BackStyle(), LED::Transparent);
}

class LedLoader : public QUiLoader {
public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        if (className == QLatin1String("LED")) {
            auto* led = new LED(parent);
            led->setObjectName(name);
            return led;
        }
        return QUiLoader::createWidget(className, parent, name);
    }
};

}  // namespace

TEST(LedForm, CompiledFormSetsEveryProperty) {
    QWidget form;
    Ui::LedForm ui;
    ui.setupUi(&form);
    expectStored(*ui.maskDigit);
    expectDefaults(*ui.plainDigit);
}

TEST(LedForm, FormLoadedAtRunTimeSetsEveryProperty) {
    QFile file(QStringLiteral(LED_FORM_PATH));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    LedLoader loader;
    std::unique_ptr<QWidget> form(loader.load(&file));
    ASSERT_TRUE(form) << loader.errorString().toStdString();
    auto* mask = form->findChild<LED*>(QStringLiteral("maskDigit"));
    auto* plain = form->findChild<LED*>(QStringLiteral("plainDigit"));
    ASSERT_TRUE(mask && plain);
    expectStored(*mask);
    expectDefaults(*plain);
}
