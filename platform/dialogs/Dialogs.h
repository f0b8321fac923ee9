#pragma once
// Modal message boxes and the save-file dialog, behind one small interface so that the recorder's
// flows can be driven by a scripted double in tests.

#include <QString>

#include <memory>
#include <optional>

class QWidget;

namespace platform {

enum class Answer { Ok, Yes, No, Cancel };

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // An OK box without icon.
    virtual void message(const QString& text, const QString& title) = 0;
    // Yes, No and Cancel, Yes the default; Escape or closing the box answers Cancel.
    virtual Answer question(const QString& text, const QString& title) = 0;
    // A save-file dialog; the chosen full path, or nothing when the user cancels.
    virtual std::optional<QString> saveFileName(const QString& title, const QString& filter,
                                                const QString& initialName) = 0;
};

// QMessageBox and QFileDialog, parented to `parent` (may be null).
std::unique_ptr<Dialogs> makeWidgetDialogs(QWidget* parent);

}  // namespace platform
