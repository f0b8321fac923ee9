#include <LED/LED.h>
#include <LED/LEDPropertyPage.h>

#include <QMetaProperty>

#include <exception>

LEDPropertyPage::LEDPropertyPage(QWidget* parent) : QWidget(parent) {}

LEDPropertyPage::~LEDPropertyPage() = default;

void LEDPropertyPage::SelectionChanged(const QList<QObject*>& selection) {
    selection_.clear();
    for (QObject* object : selection) {
        selection_.append(QPointer<QObject>(object));
    }
    QObject* first = firstSelected();
    if (first == nullptr) {
        return;
    }
    loadFrom(first);
    // Loading goes through the same controls whose edit signals mark the page changed; a freshly
    // loaded page holds nothing to apply, so the host's Apply starts disabled.
    setChanged(false);
}

std::optional<LEDApplyError> LEDPropertyPage::ApplyChanges() {
    QObject* first = firstSelected();
    if (first == nullptr) {
        return LEDApplyError{LEDApplyError::Kind::NoControl, QString(), 0,
                             tr("There is no control to apply the changes to.")};
    }
    auto error = applyTo(first);
    if (!error) {
        setChanged(false);
    }
    return error;
}

void LEDPropertyPage::setChanged(bool changed) {
    if (changed_ == changed) {
        return;
    }
    changed_ = changed;
    emit changedChanged(changed_);
}

QObject* LEDPropertyPage::firstSelected() const {
    return selection_.isEmpty() ? nullptr : selection_.first().data();
}

std::optional<LEDApplyError> LEDPropertyPage::writeProperty(QObject* control, const char* name,
                                                            const QVariant& value) {
    const QMetaObject* meta = control->metaObject();
    const int index = meta->indexOfProperty(name);
    const QString property = QString::fromLatin1(name);
    if (index < 0 || !meta->property(index).isWritable()) {
        return LEDApplyError{LEDApplyError::Kind::PropertyMissing, property, 0,
                             tr("The control has no property %1.").arg(property)};
    }
    bool written = false;
    if (auto error = guardedWrite(name, [&] { written = meta->property(index).write(control, value); })) {
        return error;
    }
    if (!written) {
        return LEDApplyError{LEDApplyError::Kind::InvalidPropertyValue, property, 0,
                             tr("Invalid property value for %1.").arg(property)};
    }
    return std::nullopt;
}

std::optional<LEDApplyError> LEDPropertyPage::guardedWrite(const char* name,
                                                           const std::function<void()>& write) {
    const QString property = QString::fromLatin1(name);
    try {
        write();
    } catch (const LEDError& e) {
        return LEDApplyError{LEDApplyError::Kind::ControlError, property, e.number(), e.description()};
    } catch (const LEDConversionError& e) {
        auto kind = LEDApplyError::Kind::InvalidPropertyValue;
        if (e.kind() == LEDConversionError::Kind::TypeMismatch) {
            kind = LEDApplyError::Kind::TypeMismatch;
        } else if (e.kind() == LEDConversionError::Kind::Overflow) {
            kind = LEDApplyError::Kind::Overflow;
        }
        // "Value: type mismatch: "abc" is not a number" says which property and why.
        return LEDApplyError{kind, property, e.number(), QStringLiteral("%1: %2").arg(property, e.message())};
    } catch (const std::exception& e) {
        return LEDApplyError{LEDApplyError::Kind::ControlError, property, 0,
                             QString::fromLocal8Bit(e.what())};
    }
    return std::nullopt;
}
