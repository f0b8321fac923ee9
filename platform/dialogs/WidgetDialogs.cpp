// The dialogs the user sees: QMessageBox and QFileDialog.
#include "platform/dialogs/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace platform {
namespace {

class WidgetDialogs final : public Dialogs {
public:
    explicit WidgetDialogs(QWidget* parent) : parent_(parent) {}

    void message(const QString& text, const QString& title) override {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent_);
        box.exec();
    }

    Answer question(const QString& text, const QString& title) override {
        QMessageBox box(QMessageBox::NoIcon, title, text,
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        switch (box.exec()) {
            case QMessageBox::Yes: return Answer::Yes;
            case QMessageBox::No: return Answer::No;
            default: return Answer::Cancel;
        }
    }

    std::optional<QString> saveFileName(const QString& title, const QString& filter,
                                        const QString& initialName) override {
        QFileDialog dialog(parent_, title, QString(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // The copy itself refuses to overwrite; asking here would only suggest that it might.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        if (!initialName.isEmpty()) {
            dialog.selectFile(initialName);
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return dialog.selectedFiles().constFirst();
    }

private:
    QWidget* parent_;
};

}  // namespace

std::unique_ptr<Dialogs> makeWidgetDialogs(QWidget* parent) { return std::make_unique<WidgetDialogs>(parent); }

}  // namespace platform
