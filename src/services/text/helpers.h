#pragma once

#include "services/com/variant.h"

#include <QString>

namespace torvel {

// Value if not Null and not the text "*", else Default; converted to text
// when Default is text.
Variant NullToValue(const Variant &value, const Variant &defaultValue);

// Thousands separators and exactly `scale` decimals, rounding half away from
// zero; Null or the empty text gives the empty text. A negative scale throws
// InvalidProcedureCall.
QString FormatDecimal(const Variant &value, int scale);

// The platform's Trim: leading and trailing blanks only (not tabs or line
// breaks, which QString::trimmed would also drop).
QString Trim(const QString &text);

// The platform's leading-number parse: leading blanks, a sign, digits, one
// point, an exponent; whatever follows is ignored; no number gives 0.
double Val(const QString &text);

} // namespace torvel
