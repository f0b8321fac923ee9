// The contract between a property page of the LED library and the sheet that hosts it: the host
// passes the selected controls, asks the page to apply, and watches the page's changed flag.
#pragma once

#include <LED/led_export.h>

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

// Why an apply stopped. Writes made before the failing one stay made.
struct LED_EXPORT LEDApplyError {
    enum class Kind {
        TypeMismatch,          // the text is empty or not a number
        Overflow,              // a number outside the property's range
        InvalidPropertyValue,  // a value the property's type does not accept
        ControlError,          // the control refused the value (run mode)
        NoControl,             // nothing selected, or the selected control is gone
        PropertyMissing,       // the control has no writable property of that name
    };
    Kind kind;
    QString property;  // the property whose write failed
    qint32 number;     // the automation status or error number, 0 when there is none
    QString message;   // a sentence for the user
};

class LED_EXPORT LEDPropertyPage : public QWidget {
    Q_OBJECT

public:
    explicit LEDPropertyPage(QWidget* parent = nullptr);
    ~LEDPropertyPage() override;

    // The host's selection; the page loads from the first control only. An empty selection
    // leaves the page's controls as they are and makes ApplyChanges report NoControl.
    void SelectionChanged(const QList<QObject*>& selection);
    // Writes the page to the first selected control only. Clears the changed flag when every
    // write succeeded; otherwise returns why it stopped and stays changed.
    std::optional<LEDApplyError> ApplyChanges();

    // True while the page holds edits not yet applied.
    bool changed() const { return changed_; }
    void setChanged(bool changed);

    // The text of the page's tab.
    QString caption() const { return windowTitle(); }

    // The first selected control, or null when nothing is selected or it has been destroyed.
    QObject* firstSelected() const;
    int selectionCount() const { return int(selection_.size()); }

signals:
    void changedChanged(bool changed);

protected:
    // Subclasses show `control`'s properties / write them to `control` (never null).
    virtual void loadFrom(QObject* control) = 0;
    virtual std::optional<LEDApplyError> applyTo(QObject* control) = 0;

    // Edit events of the page's own controls call this.
    void markChanged() { setChanged(true); }

    // Writes one property by name, turning a refusal or an exception into an error value.
    static std::optional<LEDApplyError> writeProperty(QObject* control, const char* name,
                                                      const QVariant& value);
    // Runs `write` for property `name`, turning the control's exceptions into an error value.
    static std::optional<LEDApplyError> guardedWrite(const char* name, const std::function<void()>& write);

private:
    QList<QPointer<QObject>> selection_;
    bool changed_ = false;
};
