#include "services/db/connection.h"

#include "services/text/numtext.h"

#include <cmath>

namespace torvel {

QString sqlEscape(const QString &text)
{
    // The database reads a statement only up to a NUL character, which would
    // cut the statement inside the literal; such a text cannot be stored as
    // entered, so it is refused rather than altered.
    if (text.contains(QChar(u'\0')))
        throw ComError(errc::InvalidProcedureCall, QStringLiteral("TORVEL"),
                       QStringLiteral("文本中含有不允许的空字符"));
    QString out = text;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}

QString sqlQuote(const QString &text)
{
    return QLatin1Char('\'') + sqlEscape(text) + QLatin1Char('\'');
}

QString sqlNumber(double value)
{
    if (!std::isfinite(value))
        throw ComError(errc::InvalidProcedureCall, QStringLiteral("TORVEL"),
                       QStringLiteral("数值无效，不能写入语句"));
    return numtext::plainText(numtext::decimalDigits(value));
}

QString sqlNumber(int32_t value)
{
    return numtext::integerText(value);
}

} // namespace torvel
