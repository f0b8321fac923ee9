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

std::optional<QString> ScriptedDialogs::saveFileName(const QString& title, const QString& filter,
                                                     const QString&) {
    shown.push_back({ShownDialog::Kind::SaveFile, filter, title});
    if (savePaths.empty()) {
        return std::nullopt;
    }
    const bool chosen = savePaths.front().has_value();
    const QString path = chosen ? *savePaths.front() : QString();
    savePaths.pop_front();
    if (!chosen) {
        return std::nullopt;
    }
    return path;
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
