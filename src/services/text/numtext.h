#pragma once

// Decimal text of doubles, shared by the variant, the format helpers and the
// statement builder so that all three write a number the same way.

#include <QString>
#include <QStringView>

#include <cstdint>
#include <string>

namespace torvel::numtext {

// |value| = 0.d1d2...dn * 10^pointPos, digits without trailing zeros;
// zero has no digits.
struct Digits
{
    bool negative = false;
    std::string digits;
    int pointPos = 0;
};

// The value rounded to `significant` digits (the platform kept 15).
Digits decimalDigits(double value, int significant = 15);

// "1234567.5", "0.0000001", "1000000000000000"; never an exponent, never "-0".
QString plainText(const Digits &d);

// The value rounded half away from zero to exactly `scale` decimals, the
// integer part grouped by thousands with ','.
QString groupedFixed(const Digits &d, int scale);

// Plain decimal text of a whole number, as QString::number writes it.
QString integerText(int64_t value);

// A whole text that is a number: blanks around it, a sign, digits (with ','
// between digits of the integer part), one point, an exponent. False when the
// text is anything else or the number overflows a double; outOfRange tells
// the second from the first.
bool parseNumber(QStringView text, double &out, bool *outOfRange = nullptr);

// The platform's leading-number parse; may return an infinity for a text
// beyond the range of a double, which the caller reports.
double leadingNumber(QStringView text);

} // namespace torvel::numtext
