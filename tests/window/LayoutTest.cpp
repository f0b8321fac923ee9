// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The live recorder and About windows against their designed tables: every working control's kind,
// place, text, font and state after loading, the stacking order, the keyboard order, and the
// About window's texts.
#include "RecorderUnderTest.h"
#include "recorder/level/LevelMeter.h"
#include "recorder/window/Decorations.h"
#include "recorder/window/SpinningGlobe.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using testsupport::Recorder;

namespace {

// Twips to pixels at 96 dpi, ties to even.
QRect twips(int left, int top, int width, int height) {
    const auto px = [](int t) { return static_cast<int>(std::nearbyint(t / 15.0)); };
    return {px(left), px(top), px(width), px(height)};
}

struct Font {
    QString family;
    double points;
    bool bold;
};
// Arial is set in Liberation Sans (the same metrics); the small dialog font, designed at 8.25 pt
// with narrow bitmap glyphs, in Liberation Sans at 7.5 pt; Tahoma in DejaVu Sans Condensed.
const Font kDialog{QStringLiteral("Liberation Sans"), 7.5, false};
const Font kArialBold{QStringLiteral("Liberation Sans"), 8.25, true};
Font tahoma(double points, bool bold = false) {
    return {QStringLiteral("DejaVu Sans Condensed"), points, bold};
}
Font arial(double points, bool bold = false) {
    return {QStringLiteral("Liberation Sans"), points, bold};
}

struct Control {
    const char* name;
    const char* kind;
    QRect geometry;
    std::optional<QString> text = {};
    std::optional<Font> font = {};
    bool enabled = true;
    std::optional<bool> checked = {};
};

void expectFont(const QWidget& widget, const Font& font) {
    EXPECT_EQ(widget.font().family(), font.family) << widget.objectName().toStdString();
    EXPECT_DOUBLE_EQ(widget.font().pointSizeF(), font.points) << widget.objectName().toStdString();
    EXPECT_EQ(widget.font().bold(), font.bold) << widget.objectName().toStdString();
    // The face must really be there, not a fallback.
    EXPECT_EQ(QFontInfo(widget.font()).family(), font.family) << widget.objectName().toStdString();
}

void expectControl(const QWidget& window, const Control& c) {
    SCOPED_TRACE(c.name);
    const auto* w = window.findChild<QWidget*>(QString::fromLatin1(c.name));
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(w->metaObject()->className(), c.kind);
    EXPECT_EQ(w->geometry(), c.geometry);
    if (c.text) {
        EXPECT_EQ(w->property("text").toString(), *c.text);
    }
    if (c.font) {
        expectFont(*w, *c.font);
    }
    EXPECT_EQ(w->isEnabled(), c.enabled);
    EXPECT_TRUE(w->isVisible());
    if (c.checked) {
        EXPECT_EQ(w->property("checked").toBool(), *c.checked);
    }
}

// The window's children from the top of the stacking order down.
QStringList stackTopDown(const QWidget& window) {
    QStringList names;
    for (QObject* child : window.children()) {
        // Popups (the toggle's menu) are windows of their own, not controls on the form.
        if (child->isWidgetType() && !static_cast<QWidget*>(child)->isWindow()) {
            names.prepend(child->objectName());
        }
    }
    return names;
}

}  // namespace

TEST(RecorderWindowLayout, EveryControlAsDesignedAndLoaded) {
    Recorder r;
    frmSoundRec& w = r.window;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    // The working controls after the load handler: stereo ticked, 44100 Hz chosen, Save disabled.
    const Control controls[] = {
        {"Command1", "QPushButton", twips(5760, 3960, 1095, 375), QStringLiteral("Saida"), kArialBold},
        {"chkStereo", "QCheckBox", twips(5280, 3240, 1455, 195), QStringLiteral("Stereo / Mono"), kDialog,
         true, true},
        {"opt44", "QRadioButton", twips(5400, 1320, 1095, 195), QStringLiteral("44100 Hz"), kDialog, true,
         true},
        {"opt225", "QRadioButton", twips(5400, 1920, 1095, 195), QStringLiteral("22050 Hz"), kDialog, true,
         false},
        {"opt11", "QRadioButton", twips(5400, 2520, 1095, 195), QStringLiteral("11025 Hz"), kDialog, true,
         false},
        {"Command3", "QPushButton", twips(4440, 3960, 1095, 375), QStringLiteral("Sobre"), kArialBold},
        {"cmdSave", "QPushButton", twips(3120, 2640, 1500, 500), QStringLiteral("Savar Com..."), kArialBold,
         false},
        {"scrLevel", "QScrollBar", twips(120, 4080, 2415, 255)},
        {"Check1", "QPushButton", twips(3120, 1920, 1500, 500), QStringLiteral("Iniciar Gravação"),
         kArialBold, true, false},
        {"LED1_1", "LED", twips(3720, 1080, 300, 495)},
        {"LED1_0", "LED", twips(3360, 1080, 300, 495)},
        {"LED1_2", "LED", twips(4080, 1080, 300, 495)},
        {"LED1_3", "LED", twips(4440, 1080, 300, 495)},
        {"LED1_4", "LED", twips(3000, 1080, 300, 495)},
        {"AniGIF2", "LevelMeter", twips(120, 120, 495, 615)},
        {"AniGIF3", "LevelMeter", twips(600, 120, 495, 615)},
        {"Shape6", "ShapeWidget", twips(2880, 960, 1890, 735)},
        {"Shape4", "ShapeWidget", twips(5040, 1800, 1770, 615)},
        {"Shape3", "ShapeWidget", twips(5040, 1200, 1770, 615)},
        {"Label5", "QLabel", twips(5040, 1560, 1815, 255), QStringLiteral("Gravação LP/Fita cassete"),
         kDialog},
        {"Image1", "PictureWidget", twips(120, 840, 2520, 2895)},
        {"Shape2", "ShapeWidget", twips(5040, 3120, 1770, 495)},
        {"Label3", "QLabel", twips(5280, 960, 1335, 255), QStringLiteral("QUALIDADE"), tahoma(8.25, true)},
        {"Shape1", "ShapeWidget", twips(5040, 1200, 1770, 1815)},
        {"Image3", "PictureWidget", twips(6360, 0, 480, 480)},
        {"Label2", "QLabel", twips(5400, 360, 1335, 300), QStringLiteral("Windows "), arial(14.25, true)},
        {"Image2", "PictureWidget", twips(1200, 120, 480, 480)},
        {"Label1", "QLabel", twips(120, 3840, 2415, 255),
         QStringLiteral("Min") + QString(17, ' ') + QStringLiteral("Nivel") + QString(16, ' ') +
             QStringLiteral("Max"),
         kDialog},
        {"Label6", "QLabel", twips(5040, 2160, 1815, 255), QStringLiteral("Gravação ambiente"), kDialog},
        {"Label7", "QLabel", twips(5040, 2760, 1815, 255), QStringLiteral("Conversa Telefônica"), kDialog},
        {"Shape5", "ShapeWidget", twips(5040, 840, 1770, 375)},
        {"Label4", "QLabel", twips(1560, 240, 3615, 375), QStringLiteral("GRAVADOR DE ÁUDIO"),
         arial(13.5, true)},
    };
    QStringList designedStack;
    for (const Control& c : controls) {
        designedStack << QString::fromLatin1(c.name);
    }
    EXPECT_EQ(stackTopDown(w), designedStack);

    // No control moves or resizes with the window, whichever way it is dragged.
    for (const QSize size : {QSize(462, 297), QSize(700, 520), QSize(200, 120)}) {
        SCOPED_TRACE(size.width());
        w.resize(size);
        QCoreApplication::processEvents();
        for (const Control& c : controls) {
            expectControl(w, c);
        }
    }
    w.resize(462, 297);

    EXPECT_EQ(w.windowTitle(), QStringLiteral("Zazudoda Zedarizere V1.00"));
    EXPECT_EQ(w.size(), QSize(462, 297));
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(228, 230, 240));
    EXPECT_EQ(w.windowIcon().availableSizes(), (QList<QSize>{{16, 16}, {32, 32}, {64, 64}}));
    for (const char* picture : {"Image1", "Image2", "Image3"}) {
        EXPECT_TRUE(w.findChild<PictureWidget*>(QString::fromLatin1(picture))->hasPicture()) << picture;
    }
    EXPECT_EQ(w.scrLevel()->minimum(), 0);
    EXPECT_EQ(w.scrLevel()->maximum(), 32767);
    EXPECT_EQ(w.scrLevel()->value(), 32767);
    EXPECT_EQ(w.scrLevel()->singleStep(), 300);
    EXPECT_EQ(w.scrLevel()->pageStep(), 300);
    EXPECT_EQ(w.scrLevel()->orientation(), Qt::Horizontal);
    EXPECT_EQ(w.Timer2().interval(), 0);
    EXPECT_FALSE(w.Timer2().isActive());
    EXPECT_EQ(w.cmdlg.DialogTitle, QStringLiteral("Save Wave File"));
    EXPECT_EQ(w.cmdlg.Filter, QStringLiteral("*.WAV"));
    EXPECT_TRUE(w.cmdlg.FileName.isEmpty());
    EXPECT_EQ(w.cmdlg.MaxFileSize, 260);
    EXPECT_TRUE(w.Check1()->isCheckable());

    // The digits, left to right 4, 0, 1, 2, 3 on the black panel, take an empty property bag's
    // defaults: digit 0, green on black, no point, no border, transparent.
    const QRect panel = w.findChild<QWidget*>(QStringLiteral("Shape6"))->geometry();
    int left = -1;
    for (const int index : {4, 0, 1, 2, 3}) {
        const LED* led = w.LED1(index);
        EXPECT_EQ(led->objectName(), QStringLiteral("LED1_%1").arg(index));
        EXPECT_GT(led->x(), left);
        left = led->x();
        EXPECT_TRUE(panel.contains(led->geometry()));
        EXPECT_EQ(led->Value(), 0);
        EXPECT_FALSE(led->ValueIsMask() || led->ShowDecimal() || led->ShowBorder());
        EXPECT_EQ(led->LEDColorOn(), 0x0000FF00u);
        EXPECT_EQ(led->LEDColorOff(), 0u);
        EXPECT_EQ(led->BackStyle(), LED::Transparent);
    }

    // Keyboard order from the first focus: the toggle, the slider, Save when it is enabled,
    // Sobre, the selected rate only, stereo, Saida, and round again.
    const auto tabRound = [&] {
        QStringList order;
        for (int i = 0; i < 8; ++i) {
            order << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        return order.join(' ');
    };
    EXPECT_EQ(tabRound(),
              QStringLiteral("Check1 scrLevel Command3 opt44 chkStereo Command1 Check1 scrLevel"));
    w.opt11()->click();
    w.cmdSave()->setEnabled(true);
    w.Check1()->setFocus();
    EXPECT_EQ(tabRound(), QStringLiteral("Check1 scrLevel cmdSave Command3 opt11 chkStereo Command1 Check1"));
    // Only one rate is ever selected.
    EXPECT_FALSE(w.opt44()->isChecked() || w.opt225()->isChecked());

    // What a screen reader reads: every working control by its caption, the slider as "Nivel".
    for (QWidget* control : {static_cast<QWidget*>(w.Check1()), static_cast<QWidget*>(w.cmdSave()),
                             static_cast<QWidget*>(w.Command1()), static_cast<QWidget*>(w.Command3()),
                             static_cast<QWidget*>(w.opt44()), static_cast<QWidget*>(w.chkStereo())}) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(control);
        EXPECT_EQ(a->text(QAccessible::Name), control->property("text").toString());
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.scrLevel())->text(QAccessible::Name),
              QStringLiteral("Nivel"));
    // Decoration never takes the focus.
    for (QWidget* child : w.findChildren<QWidget*>()) {
        if (!qobject_cast<QAbstractButton*>(child) && !qobject_cast<QScrollBar*>(child)) {
            EXPECT_EQ(child->focusPolicy(), Qt::NoFocus) << child->objectName().toStdString();
        }
    }
}

TEST(AboutWindowLayout, EveryLabelAsDesigned) {
    Recorder r;
    r.window.show();
    struct Label {
        const char* name;
        QRect geometry;
        QString text;
        Font font;
        std::optional<QColor> colour = {};
    };
    const QColor blue(0, 0, 255);
    const Label labels[] = {
        {"Label18", twips(3840, 1560, 975, 255), QStringLiteral("Fone:"), tahoma(6.75, true)},
        {"Label17", twips(4200, 6960, 3015, 255), QStringLiteral("Esculta tipo espião"), tahoma(9), blue},
        {"Label16", twips(4200, 6480, 3015, 255), QStringLiteral("Gravação telefônica (Grampo)"), tahoma(9),
         blue},
        {"Label15", twips(4200, 6000, 3015, 255), QStringLiteral("Gravação de ambiente"), tahoma(9), blue},
        {"Label14", twips(4200, 5520, 3015, 255), QStringLiteral("Conversor de LP ou fita cassete"),
         tahoma(9), blue},
        {"Label5", twips(4080, 5040, 3135, 375), QStringLiteral("TIPOS DE CABOS PARA:"), tahoma(11.25, true),
         QColor(255, 128, 0)},
        {"Label11", twips(4320, 3000, 2295, 255), QStringLiteral("Saida para caixa de som"), kDialog},
        {"Label12", twips(4320, 3480, 2295, 255), QStringLiteral("Entrada de sinal"), kDialog},
        {"Label13", twips(4320, 4080, 2295, 255), QStringLiteral("Entrada do microfone"), kDialog},
        {"Label10", twips(3720, 1920, 3615, 615),
         QStringLiteral("* Nota: Em caso de sistemas especificos para telefônia e/ou varreduras anti-grampos "
                        "telefônicos entre em contato. "),
         tahoma(9), QColor(255, 0, 0)},
        {"Label9", twips(3840, 1200, 975, 255), QStringLiteral("Messenger:"), tahoma(6.75, true)},
        {"Label8", twips(3840, 840, 975, 255), QStringLiteral("E-mail:"), tahoma(6.75, true)},
        {"Label3", twips(3840, 480, 975, 255), QStringLiteral("Website:"), tahoma(6.75, true)},
        {"Label2", twips(5040, 110, 2415, 255), QStringLiteral("Tolvane"), arial(8.25)},
        {"Label1", twips(3840, 120, 1095, 255), QStringLiteral("Programador:"), tahoma(6.75, true)},
    };

    // Opened twice: each time a new window, fixed, modal, with its background from its load handler.
    for (int showing = 0; showing < 2; ++showing) {
        bool checked = false;
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(about, nullptr);
            checked = true;
            EXPECT_EQ(about->windowTitle(), QStringLiteral("Sobre o Programa"));
            EXPECT_EQ(about->size(), QSize(497, 506));
            EXPECT_EQ(about->minimumSize(), about->maximumSize());
            EXPECT_FALSE(about->windowFlags() &
                         (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
            EXPECT_TRUE(about->windowFlags() & Qt::WindowCloseButtonHint);
            EXPECT_EQ(about->parentWidget(), nullptr);
            EXPECT_EQ(about->palette().color(QPalette::Window), QColor(228, 230, 240));
            // Only the programmer's name is filled in; the project has no other contact to give.
            for (const char* value : {"Label4", "Label6", "Label7", "Label19"}) {
                EXPECT_FALSE(about->findChild<QLabel*>(QString::fromLatin1(value))->isVisible()) << value;
            }
            for (const Label& l : labels) {
                SCOPED_TRACE(l.name);
                const auto* label = about->findChild<QLabel*>(QString::fromLatin1(l.name));
                ASSERT_NE(label, nullptr);
                EXPECT_EQ(label->geometry(), l.geometry);
                EXPECT_EQ(label->text(), l.text);
                expectFont(*label, l.font);
                if (l.colour) {
                    EXPECT_EQ(label->palette().color(QPalette::WindowText), *l.colour);
                }
            }
            EXPECT_EQ(about->findChild<QWidget*>(QStringLiteral("AniGIF1"))->geometry(),
                      twips(1080, 240, 735, 615));
            // A window manager that minimises it anyway must not leave the recorder blocked behind
            // a window nobody can see.
            about->setWindowState(Qt::WindowMinimized);
            QCoreApplication::processEvents();
            EXPECT_FALSE(about->windowState() & Qt::WindowMinimized);
            about->close();
        });
        QTest::mouseClick(r.window.Command3(), Qt::LeftButton);
        EXPECT_TRUE(checked);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}
