// Helpers shared by the library's sources; not installed.
#pragma once

#include <QString>
#include <QVariant>

namespace led_detail {
// Converts a bag or dispatch value to an OLE colour: any integer from -2^31 to 2^32-1, taken as
// a 32-bit pattern. Throws LEDConversionError.
quint32 toColour(const QVariant& value, const QString& what);
// Nearest integer, ties to even.
double roundToEven(double x);
}  // namespace led_detail
