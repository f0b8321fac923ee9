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

LEDColorPage::LEDColorPage(QWidget* parent) : LEDPropertyPage(parent) {
    setObjectName(QStringLiteral("StandardColor"));
    setWindowTitle(tr("Color"));
    // The same client area as the LED's own page, so switching tabs does not resize the sheet.
    setFixedSize(395, 233);

    chooser_ = [](const QColor& initial, QWidget* parent) -> std::optional<QColor> {
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
        swatches_[i] = new QPushButton(this);
        swatches_[i]->setObjectName(QStringLiteral("cmd") + name);
        swatches_[i]->setAccessibleName(name);
        swatches_[i]->setIconSize(QSize(48, 16));
        swatches_[i]->setToolTip(tr("Choose the colour of %1").arg(name));
        label->setBuddy(swatches_[i]);
        codes_[i] = new QLabel(this);
        codes_[i]->setObjectName(QStringLiteral("lbl") + name);
        codes_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(label, i, 0);
        grid->addWidget(swatches_[i], i, 1);
        grid->addWidget(codes_[i], i, 2);
        connect(swatches_[i], &QPushButton::clicked, this, [this, which] { choose(which); });
        showColor(which);
    }
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(2, 1);
}

LEDColorPage::~LEDColorPage() = default;

void LEDColorPage::setColorChooser(ColorChooser chooser) {
    chooser_ = std::move(chooser);
}

void LEDColorPage::setColor(Which which, quint32 oleColor) {
    colors_[which] = oleColor;
    showColor(which);
    markChanged();
}

void LEDColorPage::choose(Which which) {
    if (!chooser_) {
        return;
    }
    const auto chosen = chooser_(ledOleColorToQColor(colors_[which], palette()), this);
    if (chosen && chosen->isValid()) {
        setColor(which, ledQColorToOleColor(*chosen));
    }
}

void LEDColorPage::showColor(Which which) {
    QPixmap swatch(swatches_[which]->iconSize());
    swatch.fill(ledOleColorToQColor(colors_[which], palette()));
    {
        QPainter painter(&swatch);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    }
    swatches_[which]->setIcon(QIcon(swatch));
    codes_[which]->setText(oleColorText(colors_[which]));
}

void LEDColorPage::changeEvent(QEvent* event) {
    // System colours follow the palette, so their swatches are redrawn when it changes.
    if (event->type() == QEvent::PaletteChange) {
        showColor(ColorOn);
        showColor(ColorOff);
    }
    LEDPropertyPage::changeEvent(event);
}

void LEDColorPage::loadFrom(QObject* control) {
    for (int i = 0; i < 2; ++i) {
        colors_[i] = control->property(kPropertyNames[i]).toUInt();
        showColor(static_cast<Which>(i));
    }
}

std::optional<LEDApplyError> LEDColorPage::applyTo(QObject* control) {
    for (int i = 0; i < 2; ++i) {
        if (auto e = writeProperty(control, kPropertyNames[i], QVariant::fromValue(colors_[i]))) {
            return e;
        }
    }
    return std::nullopt;
}
