// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The dialogs the user sees: QMessageBox, QFileDialog and QProgressDialog.
#include "platform/dialogs/Dialogs.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace platform {
namespace {

class WidgetProgress final : public Progress {
public:
    WidgetProgress(const QString& text, const QString& title, std::uint64_t total, QWidget* parent)
        // Qt's own Cancel, in Qt's translation.
        : dialog_(parent), total_(total) {
        dialog_.setLabelText(text);
        dialog_.setRange(0, kSteps);
        dialog_.setWindowTitle(title);
        dialog_.setWindowModality(Qt::WindowModal);
        // Quick work passes without a box flashing up.
        dialog_.setMinimumDuration(500);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.setValue(0);
    }

    bool advance(std::uint64_t done) override {
        // A cancelled box stays closed: moving its bar would show it again.
        if (dialog_.wasCanceled()) {
            return false;
        }
        // The bar counts in steps of its own: totals beyond what an int holds are common here.
        const auto step = total_ == 0 ? kSteps
                                      : static_cast<int>(static_cast<double>(std::min(done, total_)) /
                                                         static_cast<double>(total_) * kSteps);
        // A modal progress dialog handles the waiting events itself; without a visible change it
        // would not, and a Cancel click would wait for the next step.
        if (step != dialog_.value()) {
            dialog_.setValue(step);
        } else {
            QCoreApplication::processEvents();
        }
        return !dialog_.wasCanceled();
    }

private:
    static constexpr int kSteps = 1000;
    QProgressDialog dialog_;
    std::uint64_t total_;
};

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

    Answer confirm(const QString& text, const QString& title) override {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent_);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }

    std::optional<SaveChoice> saveFileName(const QString& title, const QStringList& filters,
                                           const QString& selectedFilter,
                                           const QString& initialName) override {
        QFileDialog dialog(parent_, title);
        dialog.setNameFilters(filters);
        // Before the name: choosing a filter in a save dialog changes the extension of the name shown.
        if (!selectedFilter.isEmpty()) {
            dialog.selectNameFilter(selectedFilter);
        }
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // The copy itself refuses to overwrite; asking here would only suggest that it might.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        // "*.WAV" lists takes whatever case their extension has.
        dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
        if (!initialName.isEmpty()) {
            dialog.selectFile(initialName);
        } else {
            // Nothing chosen yet in this run: where music is kept, not wherever the program was started.
            const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
            dialog.setDirectory(QDir(music).exists() ? music : QDir::homePath());
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return SaveChoice{dialog.selectedFiles().constFirst(), dialog.selectedNameFilter()};
    }

    std::optional<std::chrono::minutes> duration(const QString& text, const QString& title,
                                                 std::chrono::minutes initial) override {
        const auto chosen = askForTime(text, title, [&](QTimeEdit& field) {
            field.setTimeRange(QTime(0, 1), QTime(9, 59));
            field.setTime(QTime(0, 0).addSecs(static_cast<int>(std::chrono::seconds(initial).count())));
        });
        if (!chosen) {
            return std::nullopt;
        }
        return std::chrono::hours(chosen->hour()) + std::chrono::minutes(chosen->minute());
    }

    std::optional<QTime> timeOfDay(const QString& text, const QString& title, QTime initial) override {
        return askForTime(text, title, [&](QTimeEdit& field) {
            field.setTime(QTime(initial.hour(), initial.minute()));
            // The hours roll over into the day: 23:59 and one minute more is 0:00.
            field.setWrapping(true);
        });
    }

    std::unique_ptr<Progress> progress(const QString& text, const QString& title,
                                       std::uint64_t total) override {
        return std::make_unique<WidgetProgress>(text, title, total, parent_);
    }

private:
    // A small question of an H:MM time; `prepare` sets the field's range and first value.
    std::optional<QTime> askForTime(const QString& text, const QString& title,
                                    const std::function<void(QTimeEdit&)>& prepare) {
        QDialog dialog(parent_);
        dialog.setWindowTitle(title);
        auto* label = new QLabel(text, &dialog);
        auto* edit = new QTimeEdit(&dialog);
        edit->setDisplayFormat(QStringLiteral("H:mm"));
        prepare(*edit);
        // The field is read out with the question it answers.
        label->setBuddy(edit);
        edit->setAccessibleName(text);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(label);
        layout->addWidget(edit);
        layout->addWidget(buttons);
        // A small question, not a window to resize.
        layout->setSizeConstraint(QLayout::SetFixedSize);
        edit->setFocus();
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return QTime(edit->time().hour(), edit->time().minute());
    }

    QWidget* parent_;
};

}  // namespace

std::unique_ptr<Dialogs> makeWidgetDialogs(QWidget* parent) { return std::make_unique<WidgetDialogs>(parent); }

}  // namespace platform
