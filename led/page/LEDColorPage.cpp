// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

#include <LED/LED.h>
#include <LED/LEDColorPage.h>

#include <QColorDialog>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace {

constexpr std::array<const char*, 2> kPropertyNames{"LEDColorOn", "LEDColorOff"};

// The code as the control stores it, the way a property browser shows an OLE colour.
QString oleColorText(quint32 oleColor) {
    return QStringLiteral("&H%1&").arg(oleColor, 8, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

class LEDColorPagePrivate {
public:
    explicit LEDColorPagePrivate(LEDColorPage* q) : q(q) {}
    void choose(LEDColorPage::Which which);
    void showColor(LEDColorPage::Which which);

    LEDColorPage* q;
    LEDColorPage::ColorChooser chooser;
    std::array<quint32, 2> colors{};
    std::array<QPushButton*, 2> swatches{};
    std::array<QLabel*, 2> codes{};
};

LEDColorPage::LEDColorPage(QWidget* parent)
    : LEDPropertyPage(parent), d(std::make_unique<LEDColorPagePrivate>(this)) {
    setObjectName(QStringLiteral("StandardColor"));
    setWindowTitle(tr("Cor"));
    // The same client area as the LED's own page, so switching tabs does not resize the sheet.
    setFixedSize(395, 233);

    d->chooser = [](const QColor& initial, QWidget* parent) -> std::optional<QColor> {
        const QColor chosen = QColorDialog::getColor(initial, parent);
        if (!chosen.isValid()) {
            return std::nullopt;
        }
        return chosen;
    };

    auto* grid = new QGridLayout(this);
    for (int i = 0; i < 2; ++i) {
        const auto which = static_cast<Which>(i);
        const QString name = QString::fromLatin1(kPropertyNames[i]);
        auto* label = new QLabel(name + QLatin1Char(':'), this);
        d->swatches[i] = new QPushButton(this);
        d->swatches[i]->setObjectName(QStringLiteral("cmd") + name);
        d->swatches[i]->setAccessibleName(name);
        d->swatches[i]->setIconSize(QSize(48, 16));
        d->swatches[i]->setToolTip(tr("Escolher a cor de %1").arg(name));
        label->setBuddy(d->swatches[i]);
        d->codes[i] = new QLabel(this);
        d->codes[i]->setObjectName(QStringLiteral("lbl") + name);
        d->codes[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(label, i, 0);
        grid->addWidget(d->swatches[i], i, 1);
        grid->addWidget(d->codes[i], i, 2);
        connect(d->swatches[i], &QPushButton::clicked, this, [this, which] { d->choose(which); });
        d->showColor(which);
    }
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(2, 1);
}

LEDColorPage::~LEDColorPage() = default;

void LEDColorPage::setColorChooser(ColorChooser chooser) {
    d->chooser = std::move(chooser);
}

quint32 LEDColorPage::color(Which which) const {
    return d->colors[which];
}

QPushButton* LEDColorPage::swatch(Which which) const {
    return d->swatches[which];
}

void LEDColorPage::setColor(Which which, quint32 oleColor) {
    d->colors[which] = oleColor;
    d->showColor(which);
    markChanged();
}

void LEDColorPagePrivate::choose(LEDColorPage::Which which) {
    if (!chooser) {
        return;
    }
    const auto chosen = chooser(ledOleColorToQColor(colors[which], q->palette()), q);
    if (chosen && chosen->isValid()) {
        q->setColor(which, ledQColorToOleColor(*chosen));
    }
}

void LEDColorPagePrivate::showColor(LEDColorPage::Which which) {
    QPixmap swatch(swatches[which]->iconSize());
    swatch.fill(ledOleColorToQColor(colors[which], q->palette()));
    {
        QPainter painter(&swatch);
        painter.setPen(q->palette().color(QPalette::WindowText));
        painter.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    }
    swatches[which]->setIcon(QIcon(swatch));
    codes[which]->setText(oleColorText(colors[which]));
}

void LEDColorPage::changeEvent(QEvent* event) {
    // System colours follow the palette, so their swatches are redrawn when it changes.
    if (event->type() == QEvent::PaletteChange && d) {
        d->showColor(ColorOn);
        d->showColor(ColorOff);
    }
    LEDPropertyPage::changeEvent(event);
}

std::optional<LEDPageError> LEDColorPage::loadFrom(QObject* control) {
    std::array<QVariant, 2> values;
    for (int i = 0; i < 2; ++i) {
        if (auto error = readProperty(control, kPropertyNames[i], values[i])) {
            return error;
        }
    }
    for (int i = 0; i < 2; ++i) {
        d->colors[i] = values[i].toUInt();
        d->showColor(static_cast<Which>(i));
    }
    return std::nullopt;
}

std::optional<LEDPageError> LEDColorPage::applyTo(QObject* control) {
    for (int i = 0; i < 2; ++i) {
        if (auto e = writeProperty(control, kPropertyNames[i], QVariant::fromValue(d->colors[i]))) {
            return e;
        }
    }
    return std::nullopt;
}
