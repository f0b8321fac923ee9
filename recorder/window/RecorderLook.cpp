// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/RecorderLook.h"

#include "recorder/window/AccessibleActions.h"
#include "recorder/window/Decorations.h"
#include "recorder/window/DesignLook.h"
#include "recorder/window/ReadingOrder.h"

#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QSvgRenderer>
#include <QWidget>

namespace {

constexpr QColor kFace(224, 224, 224);
constexpr QColor kRateNote(0, 0, 192);

// What the form file cannot say: fractional sizes, stand-in fonts, colours. The options, the stereo
// box and the rate notes keep the dialog font.
const Look kLooks[] = {
    {.object = "Command1", .face = Face::Arial, .bold = true, .background = kFace},
    {.object = "chkStereo", .background = kFace},
    {.object = "opt44", .background = kFace},
    {.object = "opt225", .background = kFace},
    {.object = "opt11", .background = kFace},
    {.object = "Command3", .face = Face::Arial, .bold = true, .background = kFace},
    {.object = "cmdSave", .face = Face::Arial, .bold = true},
    {.object = "Check1", .face = Face::Arial, .bold = true, .background = kFace},
    {.object = "Label5", .text = kRateNote},
    {.object = "Label3", .face = Face::Tahoma, .bold = true, .text = QColor(Qt::white)},
    {.object = "Label2", .face = Face::Arial, .points = 14.25, .bold = true},
    {.object = "Label6", .text = kRateNote},
    {.object = "Label7", .text = kRateNote},
    {.object = "Label4",
     .face = Face::MsSansSerif,
     .points = 13.5,
     .bold = true,
     .background = kFace,
     .textRole = QPalette::Highlight},
};

// Both sizes of the window icon are drawn from the handset picture at the size they are shown at;
// the small one has a drawing of its own when there is one.
QIcon handsetIcon() {
    QIcon icon;
    for (const auto& [size, path] :
         {std::pair{16, ":/pictures/handset-16.svg"}, std::pair{32, ":/pictures/handset.svg"},
          std::pair{64, ":/pictures/handset.svg"}}) {
        const QString own = QString::fromLatin1(path);
        QSvgRenderer renderer(QFile::exists(own) ? own : QStringLiteral(":/pictures/handset.svg"));
        if (!renderer.isValid()) {
            continue;
        }
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

// The pictures are compiled into this static library; the linker keeps them only when asked for.
void loadRecorderPictures() {
    Q_INIT_RESOURCE(pictures);
}

void dressRecorderWindow(QWidget& window) {
    applyLooks(window, kLooks);
    if (auto* desktop = window.findChild<ShapeWidget*>(QStringLiteral("Shape5"))) {
        desktop->setFillColor(kDesktopColour);
    }
    window.setWindowIcon(handsetIcon());
    QPalette background = window.palette();
    background.setColor(QPalette::Window, QColor(228, 230, 240));
    window.setPalette(background);
    window.setAutoFillBackground(true);
}

void describeRecorderWindow(QWidget& window, QAbstractButton& toggle) {
    // Heading, readout, toggle, Save, level, the rates with their notes, stereo, then the buttons.
    setAccessibleReadingOrder(
        window, {QStringLiteral("Label4"),    QStringLiteral("Shape6"),   QStringLiteral("LED1_4"),
                 QStringLiteral("LED1_0"),    QStringLiteral("LED1_1"),   QStringLiteral("LED1_2"),
                 QStringLiteral("LED1_3"),    QStringLiteral("Check1"),   QStringLiteral("cmdSave"),
                 QStringLiteral("Label1"),    QStringLiteral("scrLevel"), QStringLiteral("Label3"),
                 QStringLiteral("opt44"),     QStringLiteral("Label5"),   QStringLiteral("opt225"),
                 QStringLiteral("Label6"),    QStringLiteral("opt11"),    QStringLiteral("Label7"),
                 QStringLiteral("chkStereo"), QStringLiteral("Command3"), QStringLiteral("Command1")});
    // A screen reader's press of the toggle may open the unsaved-take question; its call must not
    // wait for the answer.
    answerAccessibleActionsAtOnce(toggle);
}
