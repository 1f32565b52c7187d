// Decimal text of doubles against the C library's exact conversions: the
// fast paths must write and read every number exactly as printf and strtod do.

#include "printers.h"

#include "services/text/numtext.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace torvel;

namespace {

// printf's exactly rounded digits, as "%.*e" writes them, trailing zeros off.
numtext::Digits printfDigits(double value, int significant)
{
    numtext::Digits d;
    if (value == 0.0 || !std::isfinite(value))
        return d;
    d.negative = value < 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", significant - 1, std::fabs(value));
    const char *p = buf;
    for (; *p && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            d.digits.push_back(*p);
    }
    d.pointPos = std::atoi(p + 1) + 1;
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

void expectSameDigits(double value, int significant)
{
    const numtext::Digits got = numtext::decimalDigits(value, significant);
    const numtext::Digits want = printfDigits(value, significant);
    ASSERT_EQ(got.digits, want.digits) << "value " << std::hexfloat << value << std::defaultfloat << " ("
                                       << value << "), " << significant << " digits";
    ASSERT_EQ(got.pointPos, want.pointPos) << "value " << value;
    ASSERT_EQ(got.negative, want.negative) << "value " << value;
}

std::vector<double> specialValues()
{
    return {
        0.07 * 100, 0.1 + 0.2, 1.0 / 3, 2.0 / 3, 1e15, 1e15 - 1, 1e16, 999999999999999.4, 999999999999999.5,
        9999999999999995.0, 0.000001, 1e-7, 1e-14, 1e-15, 1.005, 2.675, 1234567.5,
        // Ties exactly half way at the 15th digit: printf rounds them to even.
        123456789012345.5, 123456789012344.5, 0.5, 1.5, 2.5, 1125899906842624.5, 4503599627370497.0,
        DBL_MAX, DBL_MIN, DBL_TRUE_MIN, 5e-324, 1.7976931348623157e308, -0.000123, -1e300,
        4.35, 0.29, 1.15, 100.0 / 7, 9.999999999999999, 9.9999999999999999e22,
    };
}

TEST(NumText, DecimalDigitsMatchPrintfOnSpecialValues)
{
    for (double v : specialValues()) {
        for (int significant : {15, 1, 2, 6, 14, 16, 17})
            expectSameDigits(v, significant);
    }
}

TEST(NumText, DecimalDigitsMatchPrintfOnRandomValues)
{
    std::mt19937_64 rng(20261206);
    for (int i = 0; i < 200000; ++i) {
        double v = 0;
        switch (i % 4) {
        case 0: {   // any finite bit pattern
            const uint64_t bits = rng();
            std::memcpy(&v, &bits, sizeof v);
            if (!std::isfinite(v))
                continue;
            break;
        }
        case 1:   // money and quantities: k / 10^n
            v = double(int64_t(rng() % 20000000) - 10000000) / std::pow(10.0, double(rng() % 7));
            break;
        case 2:   // arithmetic on those, where the 16th digit shows
            v = double(rng() % 10000) / 100.0 * 100.0 / double(1 + rng() % 9) * 3.0;
            break;
        case 3:   // wide magnitudes
            v = std::ldexp(double(rng() % (1ULL << 53)), int(rng() % 200) - 120);
            break;
        }
        expectSameDigits(v, 15);
        if (i % 16 == 0)
            expectSameDigits(v, 17);
    }
}

TEST(NumText, PlainTextOfDecimalDigits)
{
    const struct { double value; const char *text; } cases[] = {
        {1234567.5, "1234567.5"}, {1e-7, "0.0000001"}, {1e15, "1000000000000000"}, {-0.0, "0"},
        {0.07 * 100, "7"}, {0.1 + 0.2, "0.3"}, {-2.5, "-2.5"}, {123456789012345.5, "123456789012346"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(numtext::plainText(numtext::decimalDigits(c.value)), QString::fromLatin1(c.text)) << c.value;
}

TEST(NumText, ReadingMatchesStrtod)
{
    std::mt19937_64 rng(7);
    auto digits = [&rng](int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s.push_back(char('0' + rng() % 10));
        return s;
    };
    for (int i = 0; i < 100000; ++i) {
        std::string text;
        if (rng() % 4 == 0)
            text.push_back(rng() % 2 ? '-' : '+');
        text += digits(int(rng() % 20));
        if (rng() % 2) {
            text.push_back('.');
            text += digits(int(rng() % 25));
        }
        if (text.find_first_of("0123456789") == std::string::npos)
            text += "7";
        if (rng() % 3 == 0) {
            text.push_back('e');
            if (rng() % 2)
                text.push_back(rng() % 2 ? '-' : '+');
            text += std::to_string(rng() % 400);
        }
        const double want = std::strtod(text.c_str(), nullptr);   // on a mismatch the text is shown
        const QString q = QString::fromLatin1(text.c_str());
        double parsed = 0;
        if (std::isfinite(want)) {
            ASSERT_TRUE(numtext::parseNumber(q, parsed)) << text;
            ASSERT_EQ(parsed, want == 0 ? 0.0 : want) << text;
        } else {
            ASSERT_FALSE(numtext::parseNumber(q, parsed)) << text;
        }
        const double leading = numtext::leadingNumber(QString(q + QStringLiteral("kg")));
        ASSERT_EQ(leading, want == 0 ? 0.0 : want) << text;
    }
}

TEST(NumText, ReadingEdgeTexts)
{
    const struct { const char *text; bool number; double value; double leading; } cases[] = {
        {"1e", false, 0, 1}, {"1e+", false, 0, 1}, {"+.5", true, 0.5, 0.5}, {"5.", true, 5, 5},
        {"1e-400", true, 0, 0}, {"4.9e-324", true, 4.9e-324, 4.9e-324}, {"2.2250738585072011e-308", true,
        2.2250738585072011e-308, 2.2250738585072011e-308}, {"-0", true, 0, 0}, {" 1,234.5 ", true, 1234.5, 1},
        {"12345678901234567890123456789012345678901234567890123", true, 1.2345678901234568e52, 1.2345678901234568e52},
    };
    for (const auto &c : cases) {
        double v = -1;
        EXPECT_EQ(numtext::parseNumber(QString::fromLatin1(c.text), v), c.number) << c.text;
        if (c.number) {
            EXPECT_EQ(v, c.value) << c.text;
            EXPECT_FALSE(std::signbit(v)) << c.text;
        }
        EXPECT_EQ(numtext::leadingNumber(QString::fromLatin1(c.text)), c.leading) << c.text;
    }
    EXPECT_TRUE(std::isinf(numtext::leadingNumber(u"1e999")));
}

TEST(NumText, IntegerTextMatchesQStringNumber)
{
    std::vector<int64_t> values = {0, 1, -1, 9, 10, -10, 2147483647, -2147483647 - 1, INT64_MAX, INT64_MIN};
    std::mt19937_64 rng(3);
    for (int i = 0; i < 20000; ++i)
        values.push_back(int64_t(rng()) >> (rng() % 64));
    for (int64_t v : values)
        ASSERT_EQ(numtext::integerText(v), QString::number(v)) << v;
}

} // namespace
