// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace testsupport {

void ScriptedDialogs::message(const QString& text, const QString& title) {
    shown.push_back({ShownDialog::Kind::Message, text, title});
    if (whileMessageOpen) {
        whileMessageOpen();
    }
}

platform::Answer ScriptedDialogs::question(const QString& text, const QString& title) {
    shown.push_back({ShownDialog::Kind::Question, text, title});
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return platform::Answer::Cancel;
    }
    const auto answer = answers.front();
    answers.pop_front();
    return answer;
}

platform::Answer ScriptedDialogs::confirm(const QString& text, const QString& title) {
    return question(text, title);
}

std::optional<platform::SaveChoice> ScriptedDialogs::saveFileName(const QString& title,
                                                                  const QStringList& filters,
                                                                  const QString& selectedFilter,
                                                                  const QString& initialName) {
    shown.push_back(
        {ShownDialog::Kind::SaveFile, filters.value(0), title, initialName, {}, filters, selectedFilter});
    if (savePaths.empty()) {
        return std::nullopt;
    }
    const std::optional<QString> path = savePaths.front();
    savePaths.pop_front();
    if (!path) {
        return std::nullopt;
    }
    QString filter = selectedFilter;
    if (!saveFilters.empty()) {
        filter = saveFilters.front();
        saveFilters.pop_front();
    }
    return platform::SaveChoice{*path, filter};
}

namespace {

class ScriptedProgress final : public platform::Progress {
public:
    ScriptedProgress(ScriptedDialogs& dialogs, std::size_t index) : dialogs_(dialogs), index_(index) {}
    bool advance(std::uint64_t done) override {
        dialogs_.shown[index_].steps.push_back(done);
        return !dialogs_.onProgress || dialogs_.onProgress(done);
    }

private:
    ScriptedDialogs& dialogs_;
    std::size_t index_;
};

}  // namespace

std::unique_ptr<platform::Progress> ScriptedDialogs::progress(const QString& text, const QString& title,
                                                              std::uint64_t total) {
    shown.push_back({ShownDialog::Kind::Progress, text, title, QString(), {total}});
    return std::make_unique<ScriptedProgress>(*this, shown.size() - 1);
}

std::optional<std::chrono::minutes> ScriptedDialogs::duration(const QString& text, const QString& title,
                                                              std::chrono::minutes) {
    shown.push_back({ShownDialog::Kind::Duration, text, title});
    if (durations.empty()) {
        return std::nullopt;
    }
    const auto given = durations.front();
    durations.pop_front();
    return given;
}

std::optional<QTime> ScriptedDialogs::timeOfDay(const QString& text, const QString& title, QTime) {
    shown.push_back({ShownDialog::Kind::TimeOfDay, text, title});
    if (times.empty()) {
        return std::nullopt;
    }
    const auto given = times.front();
    times.pop_front();
    return given;
}

QStringList ScriptedDialogs::messages() const {
    QStringList texts;
    for (const auto& d : shown) {
        if (d.kind == ShownDialog::Kind::Message) {
            texts << d.text;
        }
    }
    return texts;
}

}  // namespace testsupport
