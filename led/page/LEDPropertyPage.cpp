// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

#include <LED/LED.h>
#include <LED/LEDPropertyPage.h>

#include <QMetaProperty>
#include <QPointer>

#include <exception>

class LEDPageErrorPrivate {
public:
    LEDPageError::Kind kind;
    QString property;
    qint32 number;
    QString message;
};

LEDPageError::LEDPageError(Kind kind, const QString& property, qint32 number, const QString& message)
    : d(std::make_shared<const LEDPageErrorPrivate>(LEDPageErrorPrivate{kind, property, number, message})) {}
LEDPageError::LEDPageError(const LEDPageError& other) = default;
LEDPageError& LEDPageError::operator=(const LEDPageError& other) = default;
LEDPageError::~LEDPageError() = default;

LEDPageError::Kind LEDPageError::kind() const {
    return d->kind;
}
QString LEDPageError::property() const {
    return d->property;
}
qint32 LEDPageError::number() const {
    return d->number;
}
QString LEDPageError::message() const {
    return d->message;
}

class LEDPropertyPagePrivate {
public:
    QList<QPointer<QObject>> selection;
    bool changed = false;
};

LEDPropertyPage::LEDPropertyPage(QWidget* parent)
    : QWidget(parent), d(std::make_unique<LEDPropertyPagePrivate>()) {}

LEDPropertyPage::~LEDPropertyPage() = default;

std::optional<LEDPageError> LEDPropertyPage::SelectionChanged(const QList<QObject*>& selection) {
    d->selection.clear();
    for (QObject* object : selection) {
        d->selection.append(QPointer<QObject>(object));
    }
    QObject* first = firstSelected();
    if (first == nullptr) {
        return LEDPageError(LEDPageError::Kind::NoControl, QString(), 0,
                            tr("Nenhum controle está selecionado."));
    }
    if (auto error = loadFrom(first)) {
        // Nothing was shown from it, so nothing may be written to it either.
        d->selection.clear();
        return error;
    }
    // Loading goes through the same controls whose edit signals mark the page changed; a freshly
    // loaded page holds nothing to apply, so the host's Apply starts disabled.
    setChanged(false);
    return std::nullopt;
}

std::optional<LEDPageError> LEDPropertyPage::ApplyChanges() {
    QObject* first = firstSelected();
    if (first == nullptr) {
        return LEDPageError(LEDPageError::Kind::NoControl, QString(), 0,
                            tr("Não há controle ao qual aplicar as alterações."));
    }
    auto error = applyTo(first);
    if (!error) {
        setChanged(false);
    }
    return error;
}

bool LEDPropertyPage::changed() const {
    return d->changed;
}

void LEDPropertyPage::setChanged(bool changed) {
    if (d->changed == changed) {
        return;
    }
    d->changed = changed;
    emit changedChanged(changed);
}

void LEDPropertyPage::markChanged() {
    setChanged(true);
}

QString LEDPropertyPage::caption() const {
    return windowTitle();
}

QObject* LEDPropertyPage::firstSelected() const {
    return d->selection.isEmpty() ? nullptr : d->selection.first().data();
}

int LEDPropertyPage::selectionCount() const {
    return int(d->selection.size());
}

std::optional<LEDPageError> LEDPropertyPage::readProperty(QObject* control, const char* name, QVariant& value) {
    const QMetaObject* meta = control->metaObject();
    const int index = meta->indexOfProperty(name);
    const QString property = QString::fromLatin1(name);
    if (index < 0 || !meta->property(index).isReadable()) {
        return LEDPageError(LEDPageError::Kind::PropertyMissing, property, 0,
                            tr("O objeto selecionado não tem a propriedade %1.").arg(property));
    }
    value = meta->property(index).read(control);
    return std::nullopt;
}

std::optional<LEDPageError> LEDPropertyPage::writeProperty(QObject* control, const char* name,
                                                           const QVariant& value) {
    const QMetaObject* meta = control->metaObject();
    const int index = meta->indexOfProperty(name);
    const QString property = QString::fromLatin1(name);
    if (index < 0 || !meta->property(index).isWritable()) {
        return LEDPageError(LEDPageError::Kind::PropertyMissing, property, 0,
                            tr("O controle não tem a propriedade %1.").arg(property));
    }
    bool written = false;
    if (auto error = guardedWrite(name, [&] { written = meta->property(index).write(control, value); })) {
        return error;
    }
    if (!written) {
        return LEDPageError(LEDPageError::Kind::InvalidPropertyValue, property,
                            LED::ErrorNumberInvalidPropertyValue,
                            tr("Valor de propriedade inválido para %1.").arg(property));
    }
    return std::nullopt;
}

std::optional<LEDPageError> LEDPropertyPage::guardedWrite(const char* name, const std::function<void()>& write) {
    const QString property = QString::fromLatin1(name);
    try {
        write();
    } catch (const LEDConversionError& e) {
        auto kind = LEDPageError::Kind::InvalidPropertyValue;
        if (e.kind() == LEDConversionError::Kind::TypeMismatch) {
            kind = LEDPageError::Kind::TypeMismatch;
        } else if (e.kind() == LEDConversionError::Kind::Overflow) {
            kind = LEDPageError::Kind::Overflow;
        }
        // "Value: type mismatch: "abc" is not a number" says which property and why.
        return LEDPageError(kind, property, e.number(), QStringLiteral("%1: %2").arg(property, e.message()));
    } catch (const LEDError& e) {
        return LEDPageError(LEDPageError::Kind::ControlError, property, e.number(), e.description());
    } catch (const std::exception& e) {
        return LEDPageError(LEDPageError::Kind::ControlError, property, 0, QString::fromLocal8Bit(e.what()));
    }
    return std::nullopt;
}
