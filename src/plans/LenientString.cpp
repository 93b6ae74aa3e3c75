#include "LenientString.h"

#include <QLocale>
#include <cmath>

namespace {

// True for a literal without fraction or exponent whose value fits a signed 64-bit integer.
bool isInteger(const QString& literal, qint64& value)
{
    if (literal.contains(QLatin1Char('.')) || literal.contains(QLatin1Char('e'))
        || literal.contains(QLatin1Char('E'))) {
        return false;
    }
    bool ok = false;
    value = literal.toLongLong(&ok);
    return ok;
}

} // namespace

std::optional<LenientString> LenientString::decode(const JsonValue& json)
{
    switch (json.type) {
    case JsonValue::Type::String:
        return LenientString{json.text};
    case JsonValue::Type::Bool:
        return LenientString{json.boolean ? QStringLiteral("true") : QStringLiteral("false")};
    case JsonValue::Type::Number: {
        qint64 integer = 0;
        if (isInteger(json.text, integer)) {
            return LenientString{QString::number(integer)};
        }
        bool ok = false;
        const double number = json.text.toDouble(&ok);
        if (!ok || !std::isfinite(number)) {
            return std::nullopt; // out of range for a double as well
        }
        // A number such as 130.0 or 1e2 is an integer too, and is written as one.
        if (number == std::trunc(number) && std::fabs(number) < 9.2e18) {
            return LenientString{QString::number(static_cast<qint64>(number))};
        }
        return LenientString{QString::number(number, 'g', QLocale::FloatingPointShortest)};
    }
    case JsonValue::Type::Null:
    case JsonValue::Type::Array:
    case JsonValue::Type::Object:
        break;
    }
    return std::nullopt;
}
