// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

// Property pages for the LED, as a design-time host (a form editor) shows them: the host hands a
// page the selected controls, the page shows the first one, the user edits, and the host asks the
// page to apply. LEDPropertyPage is the contract every page of the library keeps.
#pragma once

#include <LED/led_export.h>

#include <QList>
#include <QObject>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class LEDPageErrorPrivate;
class LEDPropertyPagePrivate;

// Why a page could not load or apply. Writes made before the failing one stay made.
class LED_EXPORT LEDPageError {
public:
    enum class Kind {
        TypeMismatch,          // the text is empty or not a number
        Overflow,              // a number outside the property's range
        InvalidPropertyValue,  // a value the property's type does not accept
        ControlError,          // the control refused the value (run mode)
        NoControl,             // nothing selected, or the selected control is gone
        PropertyMissing,       // the control has no such property (or it cannot be written)
    };

    LEDPageError(Kind kind, const QString& property, qint32 number, const QString& message);
    LEDPageError(const LEDPageError& other);
    LEDPageError& operator=(const LEDPageError& other);
    ~LEDPageError();

    Kind kind() const;
    // The property whose read or write failed; empty when there was no control.
    QString property() const;
    // The error number the control or the conversion gave (see LEDError), 0 when there is none.
    qint32 number() const;
    // A sentence for the user.
    QString message() const;

private:
    std::shared_ptr<const LEDPageErrorPrivate> d;
};

class LED_EXPORT LEDPropertyPage : public QWidget {
    Q_OBJECT

public:
    explicit LEDPropertyPage(QWidget* parent = nullptr);
    ~LEDPropertyPage() override;

    // The host's selection; the page loads from the first control only and is then unchanged.
    // An empty selection, or a first control without the page's properties, is an error for the
    // host: the page's controls stay as they were and ApplyChanges has nothing to write to.
    std::optional<LEDPageError> SelectionChanged(const QList<QObject*>& selection);
    // Writes the page to the first selected control only. Clears the changed flag when every
    // write succeeded; otherwise returns why it stopped and stays changed.
    std::optional<LEDPageError> ApplyChanges();

    // True while the page holds edits not yet applied; the host offers Apply while it is set.
    bool changed() const;
    void setChanged(bool changed);

    // The text of the page's tab.
    QString caption() const;

    // The first selected control, or null when nothing is selected or it has been destroyed.
    QObject* firstSelected() const;
    int selectionCount() const;

Q_SIGNALS:
    void changedChanged(bool changed);

protected:
    // Subclasses show `control`'s properties (never null); a load reads everything it needs
    // before it changes the page, so a failed load leaves the page as it was.
    virtual std::optional<LEDPageError> loadFrom(QObject* control) = 0;
    // Subclasses write the page to `control` (never null), stopping at the first failure.
    virtual std::optional<LEDPageError> applyTo(QObject* control) = 0;

    // Edit events of the page's own controls call this.
    void markChanged();

    // Reads one property by name; PropertyMissing when `control` has none of that name.
    static std::optional<LEDPageError> readProperty(QObject* control, const char* name, QVariant& value);
    // Writes one property by name, turning a refusal or an exception into an error.
    static std::optional<LEDPageError> writeProperty(QObject* control, const char* name, const QVariant& value);
    // Runs `write` for property `name`, turning the control's exceptions into an error.
    static std::optional<LEDPageError> guardedWrite(const char* name, const std::function<void()>& write);

private:
    std::unique_ptr<LEDPropertyPagePrivate> d;
};
