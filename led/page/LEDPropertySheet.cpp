#include <LED/LEDColorPage.h>
#include <LED/LEDProperties.h>
#include <LED/LEDPropertySheet.h>

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

LEDPropertySheet::LEDPropertySheet(const QList<QObject*>& selection, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("LEDPropertySheet"));
    setWindowTitle(tr("LED Properties"));

    tabs_ = new QTabWidget(this);
    properties_ = new LEDProperties(tabs_);
    colors_ = new LEDColorPage(tabs_);
    for (LEDPropertyPage* page : pages()) {
        tabs_->addTab(page, page->caption());
        connect(page, &LEDPropertyPage::changedChanged, this, &LEDPropertySheet::updateApplyButton);
    }

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    cancel_ = buttons->button(QDialogButtonBox::Cancel);
    apply_ = buttons->button(QDialogButtonBox::Apply);
    connect(ok_, &QPushButton::clicked, this, [this] {
        if (applyChanges()) {
            accept();
        }
    });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(apply_, &QPushButton::clicked, this, [this] { applyChanges(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    reporter_ = [this](const QString& text, const QString& title) {
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
        box.exec();
    };

    for (LEDPropertyPage* page : pages()) {
        page->SelectionChanged(selection);
    }
    updateApplyButton();
}

LEDPropertySheet::~LEDPropertySheet() = default;

QList<LEDPropertyPage*> LEDPropertySheet::pages() const {
    return {properties_, colors_};
}

void LEDPropertySheet::setErrorReporter(ErrorReporter reporter) {
    reporter_ = std::move(reporter);
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
            tabs_->setCurrentWidget(page);
            if (reporter_) {
                reporter_(error->message, windowTitle());
            }
            return false;
        }
    }
    return true;
}

void LEDPropertySheet::updateApplyButton() {
    bool anyChanged = false;
    for (LEDPropertyPage* page : pages()) {
        anyChanged = anyChanged || page->changed();
    }
    apply_->setEnabled(anyChanged);
}
