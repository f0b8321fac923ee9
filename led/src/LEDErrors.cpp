// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

// The widget's error types and the argument conversions an automation dispatch would apply.
#include <LED/LED.h>

#include <QCoreApplication>
#include <QMetaType>

#include <charconv>
#include <cmath>
#include <limits>

#include "LED_p.h"

namespace {

std::shared_ptr<const LEDErrorPrivate> makeError(qint32 number, int code, LEDConversionError::Kind kind,
                                                 const QString& subject, const QString& message,
                                                 const QString& description) {
    auto d = std::make_shared<LEDErrorPrivate>();
    d->number = number;
    d->code = code;
    d->kind = kind;
    d->subject = subject;
    d->message = message;
    d->description = description;
    d->what = description.toStdString();
    return d;
}

qint32 conversionNumber(LEDConversionError::Kind kind) {
    switch (kind) {
        case LEDConversionError::Kind::TypeMismatch:
            return LED::ErrorNumberTypeMismatch;
        case LEDConversionError::Kind::Overflow:
            return LED::ErrorNumberOverflow;
        case LEDConversionError::Kind::InvalidPropertyValue:
            break;
    }
    return LED::ErrorNumberInvalidPropertyValue;
}

}  // namespace

LEDError::LEDError(int code, const QString& description)
    : d(makeError(static_cast<qint32>(0x80040000u + static_cast<quint32>(code)), code,
                  LEDConversionError::Kind::TypeMismatch, QString(), description, description)) {}

LEDError::LEDError(std::shared_ptr<const LEDErrorPrivate> d) noexcept : d(std::move(d)) {}
LEDError::LEDError(const LEDError& other) noexcept = default;
LEDError& LEDError::operator=(const LEDError& other) noexcept = default;
LEDError::~LEDError() = default;

qint32 LEDError::number() const noexcept {
    return d->number;
}
int LEDError::code() const noexcept {
    return d->code;
}
QString LEDError::description() const {
    return d->description;
}
const char* LEDError::what() const noexcept {
    return d->what.c_str();
}

LEDConversionError::LEDConversionError(Kind kind, const QString& subject, const QString& message)
    : LEDError(makeError(conversionNumber(kind), 0, kind, subject, message,
                         QStringLiteral("%1: %2").arg(subject, message))) {}

LEDConversionError::~LEDConversionError() = default;

LEDConversionError::Kind LEDConversionError::kind() const noexcept {
    return d_func()->kind;
}
QString LEDConversionError::subject() const {
    return d_func()->subject;
}
QString LEDConversionError::message() const {
    return d_func()->message;
}

QString LED::errorDescription(int code) {
    switch (code) {
        case LEDOverFlow:
            return QCoreApplication::translate(
                "LED", "Dígito inválido: no modo de dígito o valor deve ser de 0 a 9.");
        case LEDInvalidMask:
            return QCoreApplication::translate(
                "LED", "Máscara de segmentos inválida: no modo de máscara o valor deve ser de 0 a 127.");
        default:
            return QCoreApplication::translate("LED", "Unknown Error!");
    }
}

namespace {

[[noreturn]] void throwMismatch(const QString& what, const QString& detail) {
    throw LEDConversionError(LEDConversionError::Kind::TypeMismatch, what,
                             QCoreApplication::translate("LED", "tipo incompatível: %1").arg(detail));
}

[[noreturn]] void throwOverflow(const QString& what, const QString& detail) {
    throw LEDConversionError(LEDConversionError::Kind::Overflow, what,
                             QCoreApplication::translate("LED", "estouro: %1").arg(detail));
}

// A numeric reading of a variant, before any rounding: integers exactly (long double holds every
// 64-bit integer), everything else as the double it denotes.
struct Number {
    bool isInteger = false;
    long double value = 0;
};

// Decimal text in the C locale, whatever the user's locale: digits with an optional sign,
// fraction and exponent. Text that is a number too large for a double is an overflow; one too
// small is 0.
Number parseText(const QString& raw, const QString& what) {
    const QString text = raw.trimmed();
    if (text.isEmpty()) {
        throwMismatch(what, QCoreApplication::translate("LED", "texto vazio não é um número"));
    }
    std::string s = text.toStdString();
    for (const char c : s) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-')) {
            throwMismatch(what, QCoreApplication::translate("LED", "\"%1\" não é um número").arg(text));
        }
    }
    const char* begin = s.data();
    const char* end = s.data() + s.size();
    if (*begin == '+' && end - begin > 1 && begin[1] != '-' && begin[1] != '+') {
        ++begin;
    }
    double real = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, real);
    if (ptr != end || ec == std::errc::invalid_argument) {
        throwMismatch(what, QCoreApplication::translate("LED", "\"%1\" não é um número").arg(text));
    }
    if (ec == std::errc::result_out_of_range) {
        if (text.contains(QLatin1String("e-"), Qt::CaseInsensitive)) {
            return {};  // a tiny number: 0
        }
        throwOverflow(what, QCoreApplication::translate("LED", "%1 é grande demais").arg(text));
    }
    return {false, real};
}

Number toNumber(const QVariant& v, const QString& what) {
    if (!v.isValid() || v.isNull()) {
        throwMismatch(what, QCoreApplication::translate("LED", "nenhum valor"));
    }
    const QMetaType type = v.metaType();
    switch (type.id()) {
        case QMetaType::Bool:
            // Automation's True is -1.
            return {true, v.toBool() ? -1.0L : 0.0L};
        case QMetaType::Int:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::SChar:
        case QMetaType::Char:
            return {true, static_cast<long double>(v.toLongLong())};
        case QMetaType::UInt:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UShort:
        case QMetaType::UChar:
            return {true, static_cast<long double>(v.toULongLong())};
        case QMetaType::Double:
        case QMetaType::Float: {
            const double real = v.toDouble();
            if (!std::isfinite(real)) {
                throwOverflow(what, QCoreApplication::translate("LED", "o número não é finito"));
            }
            return {false, real};
        }
        case QMetaType::QString:
        case QMetaType::QByteArray:
            return parseText(v.toString(), what);
        default:
            if (type.flags().testFlag(QMetaType::IsEnumeration)) {
                return {true, static_cast<long double>(v.toLongLong())};
            }
            throwMismatch(what, QCoreApplication::translate("LED", "um %1 não é um número")
                                    .arg(QString::fromLatin1(type.name())));
    }
}

// The number rounded (half to even) and checked against [lo, hi].
long double inRange(const Number& n, long double lo, long double hi, const QString& what) {
    const long double integer = n.isInteger ? n.value : static_cast<long double>(LEDPrivate::roundToEven(double(n.value)));
    if (integer < lo || integer > hi) {
        throwOverflow(what, QCoreApplication::translate("LED", "%1 está fora do intervalo de %2 a %3")
                                .arg(QString::number(static_cast<double>(integer), 'g', 17),
                                     QString::number(static_cast<double>(lo), 'f', 0),
                                     QString::number(static_cast<double>(hi), 'f', 0)));
    }
    return integer;
}

}  // namespace

double LEDPrivate::roundToEven(double x) {
    const double f = std::floor(x);
    const double diff = x - f;
    if (diff > 0.5) {
        return f + 1.0;
    }
    if (diff < 0.5) {
        return f;
    }
    return std::fmod(f, 2.0) == 0.0 ? f : f + 1.0;
}

qint16 LEDPrivate::toInt16(const QVariant& value, const QString& what) {
    return static_cast<qint16>(inRange(toNumber(value, what), -32768.0L, 32767.0L, what));
}

qint32 LEDPrivate::toInt32(const QVariant& value, const QString& what) {
    return static_cast<qint32>(inRange(toNumber(value, what), -2147483648.0L, 2147483647.0L, what));
}

bool LEDPrivate::toBool(const QVariant& value, const QString& what) {
    if (value.metaType().id() == QMetaType::Bool) {
        return value.toBool();
    }
    if (value.metaType().id() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
            return true;
        }
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
            return false;
        }
    }
    // Any number but zero is True, 0.4 included: the test comes before any rounding.
    return toNumber(value, what).value != 0;
}

// An OLE colour arrives as a signed 32-bit integer from a bag but as an unsigned one from Qt's
// property system; both bit patterns are the same colour.
quint32 LEDPrivate::toColour(const QVariant& value, const QString& what) {
    const long double n = inRange(toNumber(value, what), -2147483648.0L, 4294967295.0L, what);
    return n < 0 ? static_cast<quint32>(static_cast<qint32>(n)) : static_cast<quint32>(n);
}
