// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Modal message boxes and the save-file dialog, behind one small interface so that the recorder's
// flows can be driven by a scripted double in tests.

#include <QString>
#include <QStringList>
#include <QTime>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

class QWidget;

namespace platform {

enum class Answer { Ok, Yes, No, Cancel };

struct SaveChoice {
    QString path;
    QString filter;
};

// A box with a bar and a Cancel button, open while the window's thread does long work in steps.
class Progress {
public:
    virtual ~Progress() = default;
    // Moves the bar to `done` of the total and lets the window handle what is waiting (the box is
    // modal, so only it takes input). False once the user cancelled.
    virtual bool advance(std::uint64_t done) = 0;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // An OK box without icon.
    virtual void message(const QString& text, const QString& title) = 0;
    // Yes, No and Cancel, Yes the default; Escape or closing the box answers Cancel.
    virtual Answer question(const QString& text, const QString& title) = 0;
    // Yes and No, No the default; Escape or closing the box answers No.
    virtual Answer confirm(const QString& text, const QString& title) = 0;
    // A save-file dialog offering `filters` in order, `selectedFilter` selected as it opens; the
    // chosen full path with the filter selected then, or nothing when the user cancels.
    virtual std::optional<SaveChoice> saveFileName(const QString& title, const QStringList& filters,
                                                   const QString& selectedFilter,
                                                   const QString& initialName) = 0;
    // A small box asking for a length of time in hours and minutes (H:MM), from 0:01 to 9:59,
    // `initial` offered; nothing when the user cancels.
    virtual std::optional<std::chrono::minutes> duration(const QString& text, const QString& title,
                                                         std::chrono::minutes initial) = 0;
    // A small box asking for a time of day in hours and minutes (H:MM), `initial` offered; nothing
    // when the user cancels.
    virtual std::optional<QTime> timeOfDay(const QString& text, const QString& title, QTime initial) = 0;
    // Opens a progress box for work of `total` units; it closes when the returned object goes.
    virtual std::unique_ptr<Progress> progress(const QString& text, const QString& title,
                                               std::uint64_t total) = 0;
};

// QMessageBox and QFileDialog, parented to `parent` (may be null).
std::unique_ptr<Dialogs> makeWidgetDialogs(QWidget* parent);

}  // namespace platform
