// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

#include <LED/LEDColorPage.h>
#include <LED/LEDProperties.h>
#include <LED/LEDPropertySheet.h>

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

class LEDPropertySheetPrivate {
public:
    LEDProperties* properties = nullptr;
    LEDColorPage* colors = nullptr;
    QTabWidget* tabs = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* apply = nullptr;
    LEDPropertySheet::ErrorReporter reporter;
    std::optional<LEDPageError> loadError;

    QList<LEDPropertyPage*> pages() const { return {properties, colors}; }
    void updateApplyButton();
};

LEDPropertySheet::LEDPropertySheet(const QList<QObject*>& selection, QWidget* parent)
    : QDialog(parent), d(std::make_unique<LEDPropertySheetPrivate>()) {
    setObjectName(QStringLiteral("LEDPropertySheet"));
    setWindowTitle(tr("Propriedades do LED"));

    d->tabs = new QTabWidget(this);
    d->properties = new LEDProperties(d->tabs);
    d->colors = new LEDColorPage(d->tabs);
    for (LEDPropertyPage* page : pages()) {
        d->tabs->addTab(page, page->caption());
        connect(page, &LEDPropertyPage::changedChanged, this, [this] { d->updateApplyButton(); });
    }

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    d->ok = buttons->button(QDialogButtonBox::Ok);
    d->cancel = buttons->button(QDialogButtonBox::Cancel);
    d->apply = buttons->button(QDialogButtonBox::Apply);
    connect(d->ok, &QPushButton::clicked, this, [this] {
        if (applyChanges()) {
            accept();
        }
    });
    connect(d->cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(d->apply, &QPushButton::clicked, this, [this] { applyChanges(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(d->tabs);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    d->reporter = [this](const QString& text, const QString& title) {
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
        box.exec();
    };

    for (LEDPropertyPage* page : pages()) {
        if (auto error = page->SelectionChanged(selection); error && !d->loadError) {
            d->loadError = error;
        }
    }
    if (d->loadError) {
        // Pages that show nothing of the control must not offer to write to it.
        for (LEDPropertyPage* page : pages()) {
            page->setEnabled(false);
        }
        d->ok->setEnabled(false);
    }
    d->updateApplyButton();
}

LEDPropertySheet::~LEDPropertySheet() = default;

std::optional<LEDPageError> LEDPropertySheet::loadError() const {
    return d->loadError;
}

LEDProperties* LEDPropertySheet::propertiesPage() const {
    return d->properties;
}
LEDColorPage* LEDPropertySheet::colorPage() const {
    return d->colors;
}
QTabWidget* LEDPropertySheet::tabs() const {
    return d->tabs;
}
QPushButton* LEDPropertySheet::okButton() const {
    return d->ok;
}
QPushButton* LEDPropertySheet::cancelButton() const {
    return d->cancel;
}
QPushButton* LEDPropertySheet::applyButton() const {
    return d->apply;
}

QList<LEDPropertyPage*> LEDPropertySheet::pages() const {
    return d->pages();
}

void LEDPropertySheet::setErrorReporter(ErrorReporter reporter) {
    d->reporter = std::move(reporter);
}

bool LEDPropertySheet::applyChanges() {
    for (LEDPropertyPage* page : pages()) {
        if (!page->changed()) {
            continue;
        }
        QObject* control = page->firstSelected();
        if (control != nullptr) {
            emit aboutToApply(control);
        }
        const auto error = page->ApplyChanges();
        // Writes made before an error stay made, so the host hears about them either way.
        if (control != nullptr) {
            emit applied(control);
        }
        if (error) {
            d->tabs->setCurrentWidget(page);
            if (d->reporter) {
                d->reporter(error->message(), windowTitle());
            }
            return false;
        }
    }
    return true;
}

void LEDPropertySheetPrivate::updateApplyButton() {
    bool anyChanged = false;
    for (LEDPropertyPage* page : pages()) {
        anyChanged = anyChanged || page->changed();
    }
    apply->setEnabled(anyChanged && !loadError);
}
