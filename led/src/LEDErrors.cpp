// The control's error types and the argument conversions an automation dispatch would apply.
#include <LED/LED.h>

#include <QCoreApplication>
#include <QLocale>
#include <QMetaType>

#include <cmath>
#include <limits>

LEDError::LEDError(int code, QString description)
    : number_(static_cast<qint32>(0x80040000u + static_cast<quint32>(code))),
      code_(code),
      description_(std::move(description)),
      what_(description_.toStdString()) {}

LEDError::~LEDError() = default;

LEDConversionError::LEDConversionError(Kind kind, QString what, QString message)
    : kind_(kind),
      subject_(std::move(what)),
      message_(std::move(message)),
      what_(QStringLiteral("%1: %2").arg(subject_, message_).toStdString()) {}

LEDConversionError::~LEDConversionError() = default;

qint32 LEDConversionError::number() const noexcept {
    switch (kind_) {
        case Kind::TypeMismatch:
            return static_cast<qint32>(0x80020005u);
        case Kind::Overflow:
            return static_cast<qint32>(0x8002000Au);
        case Kind::InvalidPropertyValue:
            break;
    }
    return static_cast<qint32>(0x800A017Cu);
}

QString LED::errorDescription(int code) {
    switch (code) {
        case LEDOverFlow:
            return QCoreApplication::translate("LED",
                                               "Invalid digit: in digit mode the value must be 0 to 9.");
        case LEDInvalidMask:
            return QCoreApplication::translate(
                "LED", "Invalid segment mask: in mask mode the value must be 0 to 127.");
        default:
            return QStringLiteral("Unknown Error!");
    }
}

namespace {

[[noreturn]] void throwMismatch(const QString& what, const QString& detail) {
    throw LEDConversionError(LEDConversionError::Kind::TypeMismatch, what,
                             QStringLiteral("type mismatch: %1").arg(detail));
}

[[noreturn]] void throwOverflow(const QString& what, const QString& detail) {
    throw LEDConversionError(LEDConversionError::Kind::Overflow, what,
                             QStringLiteral("overflow: %1").arg(detail));
}

// Rounds to the nearest integer, ties to the even one, independent of the FPU rounding mode.
double roundHalfEven(double x) {
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

// A numeric reading of a variant: either an exact integer or a floating-point number that
// still needs rounding. Text is parsed as a decimal number (C locale, surrounding blanks allowed).
struct Number {
    bool isInteger = false;
    long double integer = 0;  // wide enough for every 64-bit integer, signed or not
    double real = 0;
};

Number toNumber(const QVariant& v, const QString& what) {
    if (!v.isValid() || v.isNull()) {
        throwMismatch(what, QStringLiteral("no value"));
    }
    const QMetaType type = v.metaType();
    Number n;
    switch (type.id()) {
        case QMetaType::Bool:
            // Automation's True is -1.
            n.isInteger = true;
            n.integer = v.toBool() ? -1 : 0;
            return n;
        case QMetaType::Int:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::SChar:
        case QMetaType::Char:
            n.isInteger = true;
            n.integer = static_cast<long double>(v.toLongLong());
            return n;
        case QMetaType::UInt:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UShort:
        case QMetaType::UChar:
            n.isInteger = true;
            n.integer = static_cast<long double>(v.toULongLong());
            return n;
        case QMetaType::Double:
        case QMetaType::Float:
            n.real = v.toDouble();
            break;
        case QMetaType::QString:
        case QMetaType::QByteArray: {
            const QString text = v.toString().trimmed();
            if (text.isEmpty()) {
                throwMismatch(what, QStringLiteral("empty text is not a number"));
            }
            bool ok = false;
            n.real = QLocale::c().toDouble(text, &ok);
            if (!ok) {
                throwMismatch(what, QStringLiteral("\"%1\" is not a number").arg(text));
            }
            break;
        }
        default:
            if (type.flags().testFlag(QMetaType::IsEnumeration)) {
                n.isInteger = true;
                n.integer = static_cast<long double>(v.toLongLong());
                return n;
            }
            throwMismatch(what, QStringLiteral("a %1 is not a number").arg(QString::fromLatin1(type.name())));
    }
    if (!std::isfinite(n.real)) {
        throwOverflow(what, QStringLiteral("the number is not finite"));
    }
    n.isInteger = true;
    n.integer = static_cast<long double>(roundHalfEven(n.real));
    return n;
}

long double inRange(const Number& n, long double lo, long double hi, const QString& what) {
    if (n.integer < lo || n.integer > hi) {
        throwOverflow(what, QStringLiteral("%1 is outside %2 to %3")
                                .arg(QString::number(static_cast<double>(n.integer), 'f', 0),
                                     QString::number(static_cast<double>(lo), 'f', 0),
                                     QString::number(static_cast<double>(hi), 'f', 0)));
    }
    return n.integer;
}

}  // namespace

qint16 LED::toInt16(const QVariant& value, const QString& what) {
    return static_cast<qint16>(inRange(toNumber(value, what), -32768.0L, 32767.0L, what));
}

qint32 LED::toInt32(const QVariant& value, const QString& what) {
    return static_cast<qint32>(inRange(toNumber(value, what), -2147483648.0L, 2147483647.0L, what));
}

bool LED::toBool(const QVariant& value, const QString& what) {
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
    return toNumber(value, what).integer != 0;
}

namespace led_detail {
// An OLE colour arrives as a signed 32-bit integer from a bag but as an unsigned one from
// Qt's property system; both bit patterns are the same colour.
quint32 toColour(const QVariant& value, const QString& what) {
    const long double n = inRange(toNumber(value, what), -2147483648.0L, 4294967295.0L, what);
    return n < 0 ? static_cast<quint32>(static_cast<qint32>(n)) : static_cast<quint32>(n);
}

double roundToEven(double x) {
    return roundHalfEven(x);
}
}  // namespace led_detail
