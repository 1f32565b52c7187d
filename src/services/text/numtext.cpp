#include "services/text/numtext.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <locale.h>

namespace torvel::numtext {

namespace {

// Reads "d.ddde+XX" as std::to_chars writes it in scientific form.
void readScientific(const char *begin, const char *end, Digits &d)
{
    const char *p = begin;
    for (; p != end && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            d.digits.push_back(*p);
    }
    int exp10 = 0;
    if (p != end) {
        ++p;   // 'e'
        const bool negative = p != end && *p == '-';
        if (p != end && (*p == '-' || *p == '+'))
            ++p;
        for (; p != end; ++p)
            exp10 = exp10 * 10 + (*p - '0');
        if (negative)
            exp10 = -exp10;
    }
    d.pointPos = exp10 + 1;
}

} // namespace

Digits decimalDigits(double value, int significant)
{
    Digits d;
    if (value == 0.0 || !std::isfinite(value))
        return d;
    d.negative = value < 0;
    const double magnitude = std::fabs(value);
    d.digits.reserve(24);
    char buf[64];
    // The shortest text that reads back as a normal double is, when it has at
    // most 15 digits, also the value rounded to that many digits: the double
    // lies within 1.2e-16 of it relatively, and decimals of 15 digits are at
    // least 1e-15 apart, so no other one is as near. It is much cheaper to
    // make than the exactly rounded text, which the rest still get
    // (subnormals are spaced too coarsely for the argument).
    if (significant <= 15 && magnitude >= DBL_MIN) {
        const auto shortest = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific);
        readScientific(buf, shortest.ptr, d);
        if (int(d.digits.size()) > significant)
            d.digits.clear();
    }
    if (d.digits.empty()) {
        const auto rounded = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific,
                                           significant - 1);
        readScientific(buf, rounded.ptr, d);
    }
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits.empty())
        d.negative = false;
    return d;
}

QString plainText(const Digits &d)
{
    if (d.digits.empty())
        return QStringLiteral("0");
    std::string s;
    if (d.negative)
        s.push_back('-');
    const int n = int(d.digits.size());
    if (d.pointPos <= 0) {
        s += "0.";
        s.append(size_t(-d.pointPos), '0');
        s += d.digits;
    } else if (d.pointPos >= n) {
        s += d.digits;
        s.append(size_t(d.pointPos - n), '0');
    } else {
        s += d.digits.substr(0, size_t(d.pointPos));
        s.push_back('.');
        s += d.digits.substr(size_t(d.pointPos));
    }
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

QString groupedFixed(const Digits &in, int scale)
{
    // Round the decimal digits themselves, so 1.005 (15 digits: "1005", point
    // after the first) rounds up as typed, not as its binary neighbour.
    std::string digits = in.digits;
    int pointPos = in.pointPos;
    const int keep = pointPos + scale;
    if (keep < 0) {
        digits.clear();   // below half a unit of the last decimal
    } else if (keep < int(digits.size())) {
        const bool up = digits[size_t(keep)] >= '5';
        digits.resize(size_t(keep));
        if (up) {
            int i = keep - 1;
            for (; i >= 0 && digits[size_t(i)] == '9'; --i)
                digits[size_t(i)] = '0';
            if (i >= 0) {
                ++digits[size_t(i)];
            } else {
                digits.insert(digits.begin(), '1');
                ++pointPos;
            }
        }
    }
    while (!digits.empty() && digits.back() == '0' && int(digits.size()) > pointPos)
        digits.pop_back();
    const bool zero = digits.find_first_not_of('0') == std::string::npos;

    // Integer part and exactly `scale` decimals from the digit string.
    auto digitAt = [&](int pos) -> char {   // pos: 0 = first digit after the point is pointPos
        return pos >= 0 && pos < int(digits.size()) ? digits[size_t(pos)] : '0';
    };
    std::string intPart;
    if (zero || pointPos <= 0) {
        intPart = "0";
    } else {
        for (int i = 0; i < pointPos; ++i)
            intPart.push_back(digitAt(i));
    }
    std::string grouped;
    const int len = int(intPart.size());
    for (int i = 0; i < len; ++i) {
        if (i > 0 && (len - i) % 3 == 0)
            grouped.push_back(',');
        grouped.push_back(intPart[size_t(i)]);
    }
    std::string s;
    if (in.negative && !zero)
        s.push_back('-');
    s += grouped;
    if (scale > 0) {
        s.push_back('.');
        for (int i = 0; i < scale; ++i)
            s.push_back(zero ? '0' : digitAt(pointPos + i));
    }
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

QString integerText(int64_t value)
{
    char16_t buf[24];
    char16_t *end = buf + 24;
    char16_t *p = end;
    // Negative throughout, so the smallest value needs no special case.
    int64_t rest = value < 0 ? value : -value;
    do {
        *--p = char16_t(u'0' - rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (value < 0)
        *--p = u'-';
    return QString(reinterpret_cast<const QChar *>(p), end - p);
}

// strtod follows the process locale, which QCoreApplication sets from the
// environment; statement and cell text always uses a point.
static double strtodC(const char *text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return strtod_l(text, nullptr, cLocale);
}

// A number's text, gathered in ASCII on the stack: cell and statement
// numbers are short, so the common case allocates nothing.
class AsciiNumber
{
public:
    void push_back(char c)
    {
        if (m_size < sizeof m_short)
            m_short[m_size] = c;
        else if (m_size == sizeof m_short)
            m_long.assign(m_short, m_size).push_back(c);
        else
            m_long.push_back(c);
        ++m_size;
    }
    void append(const std::string &text)
    {
        for (char c : text)
            push_back(c);
    }
    // strtod's value in the C locale. from_chars rounds exactly as strtod
    // does and needs no locale or terminator; what it refuses (a leading
    // '+', a result out of range) takes strtod itself.
    double value() const
    {
        const char *begin = m_size <= sizeof m_short ? m_short : m_long.data();
        const char *end = begin + m_size;
        const char *digits = begin != end && *begin == '+' ? begin + 1 : begin;
        double v = 0;
        const auto r = std::from_chars(digits, end, v);
        if (r.ec == std::errc() && r.ptr == end)
            return v;
        return strtodC(std::string(begin, m_size).c_str());
    }

private:
    char m_short[48];
    size_t m_size = 0;
    std::string m_long;
};

static bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool parseNumber(QStringView text, double &out, bool *outOfRange)
{
    if (outOfRange)
        *outOfRange = false;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    qsizetype end = n;
    while (end > i && isBlank(text[end - 1]))
        --end;
    AsciiNumber ascii;
    if (i < end && (text[i] == u'+' || text[i] == u'-'))
        ascii.push_back(char(text[i++].unicode()));
    int mantissaDigits = 0;
    bool lastWasDigit = false;
    for (; i < end; ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            ascii.push_back(char(c.unicode()));
            ++mantissaDigits;
            lastWasDigit = true;
        } else if (c == u',' && lastWasDigit && i + 1 < end && text[i + 1] >= u'0' && text[i + 1] <= u'9') {
            lastWasDigit = false;   // a group separator between digits
        } else {
            break;
        }
    }
    if (i < end && text[i] == u'.') {
        ascii.push_back('.');
        for (++i; i < end && text[i] >= u'0' && text[i] <= u'9'; ++i) {
            ascii.push_back(char(text[i].unicode()));
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < end && (text[i] == u'e' || text[i] == u'E')) {
        ascii.push_back('e');
        ++i;
        if (i < end && (text[i] == u'+' || text[i] == u'-'))
            ascii.push_back(char(text[i++].unicode()));
        int expDigits = 0;
        for (; i < end && text[i] >= u'0' && text[i] <= u'9'; ++i, ++expDigits)
            ascii.push_back(char(text[i].unicode()));
        if (expDigits == 0)
            return false;
    }
    if (i != end)
        return false;
    const double v = ascii.value();
    if (!std::isfinite(v)) {
        if (outOfRange)
            *outOfRange = true;
        return false;
    }
    out = v == 0.0 ? 0.0 : v;
    return true;
}

double leadingNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    AsciiNumber ascii;
    const bool negative = i < n && text[i] == u'-';
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ascii.push_back(char(text[i++].unicode()));
    int mantissaDigits = 0;
    int64_t whole = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i, ++mantissaDigits) {
        ascii.push_back(char(text[i].unicode()));
        if (mantissaDigits < 15)
            whole = whole * 10 + (text[i].unicode() - u'0');
    }
    // A whole number of up to 15 digits (the ids and counts in cells) is
    // exact as it stands; nothing to round.
    if (mantissaDigits > 0 && mantissaDigits <= 15
        && !(i < n && (text[i] == u'.' || text[i] == u'e' || text[i] == u'E')))
        return whole == 0 ? 0.0 : (negative ? -double(whole) : double(whole));
    if (i < n && text[i] == u'.') {
        ascii.push_back('.');
        for (++i; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i, ++mantissaDigits)
            ascii.push_back(char(text[i].unicode()));
    }
    if (mantissaDigits == 0)
        return 0.0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        // The exponent counts only when digits follow it: "1e" and "1e+" read as 1.
        std::string exp = "e";
        qsizetype j = i + 1;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            exp.push_back(char(text[j++].unicode()));
        const qsizetype digitsFrom = j;
        for (; j < n && text[j] >= u'0' && text[j] <= u'9'; ++j)
            exp.push_back(char(text[j].unicode()));
        if (j > digitsFrom)
            ascii.append(exp);
    }
    const double v = ascii.value();
    return v == 0.0 ? 0.0 : v;   // "-0" reads as 0
}

} // namespace torvel::numtext
