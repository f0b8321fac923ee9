// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/Form2.h"

#include "recorder/window/DesignLook.h"
#include "recorder/window/ReadingOrder.h"
#include "ui_Form2.h"

#include <QEvent>
#include <QLabel>

namespace {

constexpr QColor kCableUse(0, 0, 255);

const Look kLooks[] = {
    {.object = "Label19", .face = Face::Arial},
    {.object = "Label18", .face = Face::Tahoma, .points = 6.75, .bold = true},
    {.object = "Label17", .face = Face::Tahoma, .points = 9, .text = kCableUse},
    {.object = "Label16", .face = Face::Tahoma, .points = 9, .text = kCableUse},
    {.object = "Label15", .face = Face::Tahoma, .points = 9, .text = kCableUse},
    {.object = "Label14", .face = Face::Tahoma, .points = 9, .text = kCableUse},
    {.object = "Label5", .face = Face::Tahoma, .points = 11.25, .bold = true, .text = QColor(255, 128, 0)},
    // The socket names sit on panels in the colour of title-bar text.
    {.object = "Label11", .backgroundRole = QPalette::HighlightedText},
    {.object = "Label12", .backgroundRole = QPalette::HighlightedText},
    {.object = "Label13", .backgroundRole = QPalette::HighlightedText},
    {.object = "Label10", .face = Face::Tahoma, .points = 9, .text = QColor(255, 0, 0)},
    {.object = "Label9", .face = Face::Tahoma, .points = 6.75, .bold = true},
    {.object = "Label8", .face = Face::Tahoma, .points = 6.75, .bold = true},
    {.object = "Label7", .face = Face::Arial},
    {.object = "Label6", .face = Face::Arial},
    {.object = "Label4", .face = Face::Arial},
    {.object = "Label3", .face = Face::Tahoma, .points = 6.75, .bold = true},
    {.object = "Label2", .face = Face::Arial},
    {.object = "Label1", .face = Face::Tahoma, .points = 6.75, .bold = true},
};

}  // namespace

Form2::Form2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      ui(std::make_unique<Ui::Form2>()) {
    setFont(dialogFont());
    ui->setupUi(this);
    setFixedSize(size());
    applyLooks(*this, kLooks);
    ui->Shape2->setFillRole(QPalette::Base);
    // A contact the project does not have leaves its caption alone; an empty value would only make a
    // screen reader say "blank".
    for (QLabel* value : {ui->Label2, ui->Label4, ui->Label6, ui->Label7, ui->Label19}) {
        value->setVisible(!value->text().isEmpty());
    }
    // The contacts, the note, each socket beside its use, then the cable heading and its list.
    setAccessibleReadingOrder(
        *this, {QStringLiteral("AniGIF1"), QStringLiteral("Label1"),  QStringLiteral("Label2"),
                QStringLiteral("Label3"),  QStringLiteral("Label4"),  QStringLiteral("Label8"),
                QStringLiteral("Label6"),  QStringLiteral("Label9"),  QStringLiteral("Label7"),
                QStringLiteral("Label18"), QStringLiteral("Label19"), QStringLiteral("Label10"),
                QStringLiteral("Label11"), QStringLiteral("Label12"), QStringLiteral("Label13"),
                QStringLiteral("Label5"),  QStringLiteral("Label14"), QStringLiteral("Label15"),
                QStringLiteral("Label16"), QStringLiteral("Label17")});
    Form_Load();
}

Form2::~Form2() = default;

void Form2::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // The window asks for no minimise button, but some window managers minimise any window. Hidden,
    // it would leave the recorder blocked behind it with nothing to close, so it comes back at once.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                setWindowState(windowState() & ~Qt::WindowMinimized);
                raise();
                activateWindow();
            },
            Qt::QueuedConnection);
    }
}

void Form2::Form_Load() {
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(228, 230, 240));
    setPalette(background);
    setAutoFillBackground(true);
}
