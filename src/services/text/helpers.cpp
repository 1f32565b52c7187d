#include "services/text/helpers.h"

#include "services/text/numtext.h"

#include <cmath>

namespace torvel {

Variant NullToValue(const Variant &value, const Variant &defaultValue)
{
    Variant r = value.isNull() ? defaultValue : value;
    // A stored "*" counts as no value; a number never equals "*".
    if (r.isString() && r.toString() == QLatin1String("*"))
        r = defaultValue;
    if (defaultValue.isString())
        r = r.toString();
    return r;
}

QString FormatDecimal(const Variant &value, int scale)
{
    // The empty value is tested before the scale, as the steps run in that
    // order: Null with a negative scale gives "" rather than an error.
    if (value.isNull() || (value.isString() && value.toString().isEmpty()) || value.isEmpty())
        return QString();
    if (scale < 0)
        throw ComError(errc::InvalidProcedureCall, QStringLiteral("TORVEL"), QStringLiteral("无效的过程调用或参数"));
    double number = 0.0;
    if (value.isString()) {
        // A text that is no number comes back unchanged, as the mask did.
        if (!numtext::parseNumber(value.toString(), number))
            return value.toString();
    } else {
        number = value.toDouble();
    }
    if (!std::isfinite(number))
        throw ComError(errc::Overflow, QStringLiteral("TORVEL"), errtext::kOverflow);
    return numtext::groupedFixed(numtext::decimalDigits(number), scale);
}

double Val(const QString &text)
{
    const double v = numtext::leadingNumber(text);
    if (!std::isfinite(v))
        throw ComError(errc::Overflow, QStringLiteral("TORVEL"), errtext::kOverflow);
    return v;
}

QString Trim(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

} // namespace torvel
