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
                                                     const QString& initialName) {
    shown.push_back({ShownDialog::Kind::SaveFile, filter, title, initialName});
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
