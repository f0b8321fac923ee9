// The property sheet a design-time host opens for LED controls: the LEDProperties page first, the
// colour page second, with OK, Cancel and Apply. It reports apply errors itself, in a message box.
#pragma once

#include <LED/LEDPropertyPage.h>

#include <QDialog>
#include <QList>

#include <functional>

class LEDColorPage;
class LEDProperties;
class QPushButton;
class QTabWidget;

class LED_EXPORT LEDPropertySheet : public QDialog {
    Q_OBJECT

public:
    // Shows an error that stopped an apply.
    using ErrorReporter = std::function<void(const QString& text, const QString& title)>;

    // `selection` is handed to every page; the first control is the one read and written.
    explicit LEDPropertySheet(const QList<QObject*>& selection, QWidget* parent = nullptr);
    ~LEDPropertySheet() override;

    LEDProperties* propertiesPage() const { return properties_; }
    LEDColorPage* colorPage() const { return colors_; }
    QList<LEDPropertyPage*> pages() const;
    QTabWidget* tabs() const { return tabs_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* applyButton() const { return apply_; }

    // Replaces the message box (tests record the texts instead).
    void setErrorReporter(ErrorReporter reporter);

    // Applies every page that holds unapplied edits, in tab order. At the first error it stops,
    // reports it and returns false; the failing page stays changed.
    bool applyChanges();

signals:
    // A page is about to write to `control`; `applied` follows.
    void aboutToApply(QObject* control);
    // A page wrote to `control` (all of its edits, or those before an error).
    void applied(QObject* control);

private:
    void updateApplyButton();

    LEDProperties* properties_ = nullptr;
    LEDColorPage* colors_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* apply_ = nullptr;
    ErrorReporter reporter_;
};
