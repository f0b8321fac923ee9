// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A dialogs double: records every box it was asked to show and answers from a script.

#include "platform/dialogs/Dialogs.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace testsupport {

struct ShownDialog {
    enum class Kind { Message, Question, SaveFile, Progress, Duration, TimeOfDay } kind;
    QString text;  // the message or question; the first filter for a save dialog
    QString title;
    QString initialName = {};         // save dialog only
    std::vector<std::uint64_t> steps = {};  // progress box only: the total first, then every step
    QStringList filters = {};               // save dialog only, with the one selected as it opened
    QString selectedFilter = {};
};

class ScriptedDialogs final : public platform::Dialogs {
public:
    void message(const QString& text, const QString& title) override;
    platform::Answer question(const QString& text, const QString& title) override;
    // Shown as a question; answered from the same script.
    platform::Answer confirm(const QString& text, const QString& title) override;
    std::optional<platform::SaveChoice> saveFileName(const QString& title, const QStringList& filters,
                                                     const QString& selectedFilter,
                                                     const QString& initialName) override;
    std::unique_ptr<platform::Progress> progress(const QString& text, const QString& title,
                                                 std::uint64_t total) override;
    std::optional<std::chrono::minutes> duration(const QString& text, const QString& title,
                                                 std::chrono::minutes initial) override;
    std::optional<QTime> timeOfDay(const QString& text, const QString& title, QTime initial) override;

    // Answers given in order; a question with no scripted answer fails the test and answers Cancel.
    std::deque<platform::Answer> answers;
    // Chosen paths in order; nullopt cancels. None left cancels.
    std::deque<std::optional<QString>> savePaths;
    // Filters chosen in order, one for each chosen path; none left keeps the one selected as it opened.
    std::deque<QString> saveFilters;
    // Lengths of time given in order; nullopt cancels. None left cancels.
    std::deque<std::optional<std::chrono::minutes>> durations;
    // Times of day given in order; nullopt cancels. None left cancels.
    std::deque<std::optional<QTime>> times;

    // Runs while a message box is "open", as the nested event loop of a real box would.
    std::function<void()> whileMessageOpen;
    // Runs at every step of an open progress box; returning false presses its Cancel.
    std::function<bool(std::uint64_t done)> onProgress;

    std::vector<ShownDialog> shown;
    QStringList messages() const;  // texts of the message boxes only, in order
};

}  // namespace testsupport
