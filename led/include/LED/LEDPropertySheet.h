// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

// The property sheet a design-time host opens for LED controls: the LEDProperties page first,
// the colour page second, with OK, Cancel and Apply (enabled while a page holds edits). It
// reports apply errors itself, in a message box titled like the sheet.
#pragma once

#include <LED/LEDPropertyPage.h>

#include <QDialog>
#include <QList>

#include <functional>
#include <memory>
#include <optional>

class LEDColorPage;
class LEDProperties;
class QPushButton;
class QTabWidget;
class LEDPropertySheetPrivate;

class LED_EXPORT LEDPropertySheet : public QDialog {
    Q_OBJECT

public:
    // Shows an error that stopped an apply.
    using ErrorReporter = std::function<void(const QString& text, const QString& title)>;

    // `selection` is handed to every page; the first control is the one read and written. When a
    // page cannot load from it, loadError() says why and the sheet offers nothing to apply.
    explicit LEDPropertySheet(const QList<QObject*>& selection, QWidget* parent = nullptr);
    ~LEDPropertySheet() override;

    // Why the pages could not load from the selection; a host shows it instead of the sheet.
    std::optional<LEDPageError> loadError() const;

    LEDProperties* propertiesPage() const;
    LEDColorPage* colorPage() const;
    QList<LEDPropertyPage*> pages() const;
    QTabWidget* tabs() const;
    QPushButton* okButton() const;
    QPushButton* cancelButton() const;
    QPushButton* applyButton() const;

    // Replaces the message box (a host with its own reporting, or a test).
    void setErrorReporter(ErrorReporter reporter);

    // Applies every page that holds unapplied edits, in tab order. At the first error it stops,
    // reports it and returns false; the failing page stays changed.
    bool applyChanges();

Q_SIGNALS:
    // A page is about to write to `control`; `applied` follows.
    void aboutToApply(QObject* control);
    // A page wrote to `control` (all of its edits, or those before an error).
    void applied(QObject* control);

private:
    std::unique_ptr<LEDPropertySheetPrivate> d;
};
