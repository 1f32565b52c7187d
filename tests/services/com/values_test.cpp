// Variant conversions, the value helpers and the statement text helpers.

#include "printers.h"

#include "services/db/connection.h"
#include "services/text/helpers.h"
#include "services/com/variant.h"

#include <gtest/gtest.h>

#include "comerrors.h"

#include <cmath>
#include <limits>

using namespace torvel;
using torvel::test::errorNumber;

namespace {

// Null and NaN have no text of their own.
std::string describe(const Variant &v)
{
    try {
        return v.toString().toStdString();
    } catch (const ComError &) {
        return v.typeName().toStdString();
    }
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Variant, IntegerConversionsRoundHalfToEvenAndOverflow)
{
    struct Case { Variant value; bool wide; int32_t expected; int error; };
    const Case cases[] = {
        {2.5, false, 2, 0}, {3.5, false, 4, 0}, {-2.5, false, -2, 0}, {0.5, false, 0, 0}, {2.5001, false, 3, 0},
        {32767.4, false, 32767, 0}, {32767.5, false, 0, errc::Overflow},   // 32767.5 rounds to 32768
        {-32768.5, false, -32768, 0}, {-32769.0, false, 0, errc::Overflow},
        {int32_t(40000), false, 0, errc::Overflow}, {kNaN, false, 0, errc::Overflow},
        {true, false, -1, 0}, {Variant(), false, 0, 0}, {" 12 ", false, 12, 0}, {"2.5", false, 2, 0},
        {"abc", false, 0, errc::TypeMismatch}, {"", false, 0, errc::TypeMismatch},
        {Variant::null(), false, 0, errc::TypeMismatch},
        {2147483647.5, true, 0, errc::Overflow}, {-2147483649.0, true, 0, errc::Overflow},
        {-2147483648.5, true, -2147483648, 0},    // ties to the even bound
        {"1,234", true, 1234, 0}, {"12abc", true, 0, errc::TypeMismatch}, {Variant::date(45000.5), true, 45000, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(describe(c.value));
        int32_t got = 0;
        EXPECT_EQ(errorNumber([&] { got = c.wide ? c.value.toInt32() : c.value.toInt16(); }), c.error);
        if (c.error == 0) {
            EXPECT_EQ(got, c.expected);
        }
    }
}

// The number grammar itself is numtext's; here what a text that is no
// number, or too large, becomes.
TEST(Variant, ToDoubleOfTextMismatchesOrOverflows)
{
    EXPECT_DOUBLE_EQ(Variant(QStringLiteral("  -1,234,567.25  ")).toDouble(), -1234567.25);
    for (const char *text : {"   ", ".", "12abc", ",12"})
        EXPECT_EQ(errorNumber([&] { Variant(QString::fromLatin1(text)).toDouble(); }), errc::TypeMismatch) << text;
    for (const char *text : {"1e999", "-1e999"})
        EXPECT_EQ(errorNumber([&] { Variant(QString::fromLatin1(text)).toDouble(); }), errc::Overflow) << text;
}

TEST(Variant, NullConvertsToNothingAndEmptyToNeutral)
{
    const Variant n = Variant::null();
    EXPECT_EQ(errorNumber([&] { n.toString(); }), errc::TypeMismatch);
    EXPECT_EQ(errorNumber([&] { n.toBool(); }), errc::TypeMismatch);
    EXPECT_EQ(errorNumber([&] { n.toDouble(); }), errc::TypeMismatch);
    EXPECT_EQ(errorNumber([&] { n.toDate(); }), errc::TypeMismatch);
    EXPECT_EQ(errorNumber([&] { n.toObject(); }), errc::ObjectRequired);
    EXPECT_EQ(Variant().toString(), QString());
    EXPECT_EQ(Variant().toDouble(), 0.0);
    EXPECT_FALSE(Variant().toBool());
}

TEST(Variant, TextOfValues)
{
    struct Case { Variant value; QString text; };
    const Case cases[] = {
        // Plain decimal up to 15 integer digits, the exponent form beyond.
        {true, "True"}, {-0.0, "0"}, {123456789012345.0, "123456789012345"}, {1e15, "1E+15"},
        {1e-13, "0.0000000000001"}, {1e20, "1E+20"}, {-1.5e-20, "-1.5E-20"},
        {Variant::date(45000.75), "2023-03-15 18:00:00"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.value.toString(), c.text);
}

// Type names are read where they matter, in NullToValue's results.
TEST(Variant, BooleansAndEquality)
{
    EXPECT_EQ(Variant(true).toInt32(), -1);
    EXPECT_EQ(Variant(true).toDouble(), -1.0);
    EXPECT_TRUE(Variant("true").toBool());
    EXPECT_TRUE(Variant("-1").toBool());
    EXPECT_FALSE(Variant("0").toBool());
    EXPECT_EQ(errorNumber([] { Variant("yes").toBool(); }), errc::TypeMismatch);

    EXPECT_EQ(Variant(int16_t(12)), Variant(12.0));
    EXPECT_EQ(Variant(true), Variant(int32_t(-1)));
    EXPECT_FALSE(Variant("abc") == Variant("ABC"));
    EXPECT_FALSE(Variant("12") == Variant(12.0));
    EXPECT_EQ(Variant(), Variant(""));
    EXPECT_EQ(Variant(), Variant(0.0));
    EXPECT_EQ(Variant::null(), Variant::null());
    EXPECT_FALSE(Variant::null() == Variant());
}

TEST(OleDate, TextRoundTrips)
{
    struct Case { QString text; double ole; QString back; };
    const Case cases[] = {
        {"1899-12-30", 0.0, "1899-12-30"}, {"2023-03-15 18:00:00", 45000.75, "2023-03-15 18:00:00"},
        {"2023-03-15T06:00:00.000", 45000.25, "2023-03-15 06:00:00"}, {"2023-03-15 06:00", 45000.25, "2023-03-15 06:00:00"},
        {"2023/3/5", 44990.0, "2023-03-05"},
        {"1899-12-29 06:00:00", -1.25, "1899-12-29 06:00:00"},   // time counts forward before the epoch
        {"2024-02-29 23:59:59", 45351.0 + 86399.0 / 86400.0, "2024-02-29 23:59:59"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_NEAR(oleDateFromText(c.text), c.ole, 1e-9);
        EXPECT_EQ(oleDateToText(c.ole), c.back);
        EXPECT_NEAR(Variant(c.text).toDate(), c.ole, 1e-9);
    }
    // A time that rounds to midnight carries to the next day.
    EXPECT_EQ(oleDateToText(45000.9999999), "2023-03-16");
    EXPECT_EQ(oleDateToText(-1.9999999), "1899-12-30");
}

TEST(OleDate, RejectsBadText)
{
    for (const char *text : {"", "2023-02-30", "2023-13-01", "15.03.2023", "2023-03-15 24:00:00",
                             "2023-03-15x", "2023", "abc"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(errorNumber([&] { oleDateFromText(QString::fromUtf8(text)); }), errc::TypeMismatch);
    }
    EXPECT_EQ(errorNumber([] { oleDateToText(3e6); }), errc::Overflow);
}

TEST(NullToValue, ReplacesNullAndStar)
{
    struct Case { Variant value; Variant def; Variant expected; QString expectedType; };
    const Case cases[] = {
        {Variant::null(), int32_t(0), int32_t(0), "Long"}, {Variant::null(), "", "", "String"},
        {"*", int32_t(0), int32_t(0), "Long"}, {int32_t(12), "", "12", "String"},
        {int32_t(12), int32_t(0), int32_t(12), "Long"}, {"**", "", "**", "String"},
        {"abc", int32_t(0), "abc", "String"}, {true, "", "True", "String"},
    };
    for (const Case &c : cases) {
        const Variant got = NullToValue(c.value, c.def);
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(got.typeName(), c.expectedType);
    }
}

TEST(FormatDecimal, MaskRoundsHalfAwayFromZero)
{
    struct Case { Variant value; int scale; QString expected; };
    const Case cases[] = {
        {1234.5, 2, "1,234.50"}, {1234.5, 0, "1,235"}, {-1234.5, 0, "-1,235"}, {2.5, 0, "3"}, {-2.5, 0, "-3"},
        {1.005, 2, "1.01"}, {-1.005, 2, "-1.01"}, {2.675, 2, "2.68"}, {1.0049, 2, "1.00"},
        {-0.004, 2, "0.00"}, {999.995, 2, "1,000.00"}, {999999.5, 0, "1,000,000"}, {0.4, 0, "0"},
        {int32_t(-1234567), 0, "-1,234,567"}, {true, 0, "-1"}, {" 7 ", 0, "7"}, {"abc", 2, "abc"},
        {Variant::null(), -1, ""}, {0.1 + 0.2, 20, "0.30000000000000000000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(describe(c.value) + " scale " + std::to_string(c.scale));
        EXPECT_EQ(FormatDecimal(c.value, c.scale), c.expected);
    }
    EXPECT_EQ(errorNumber([] { FormatDecimal(12.5, -1); }), errc::InvalidProcedureCall);
    EXPECT_EQ(errorNumber([] { FormatDecimal("3", -2); }), errc::InvalidProcedureCall);
}

// The leading-number grammar is numtext's; Val adds the overflow error.
TEST(Val, ReadsTheLeadingNumberAndOverflows)
{
    EXPECT_DOUBLE_EQ(Val("\t 12.5kg"), 12.5);
    EXPECT_EQ(errorNumber([] { Val("1e999"); }), errc::Overflow);
}

// What quoted text means is proven by the connection tests' round trip;
// here only the doubling, and a NUL (which would end the text early) refused.
TEST(SqlQuote, DoublesQuotesAndRefusesNul)
{
    EXPECT_EQ(sqlQuote(QStringLiteral("a''b'")), QStringLiteral("'a''''b'''"));
    EXPECT_EQ(sqlEscape(QStringLiteral("O'Brien")), QStringLiteral("O''Brien"));
    const QString withNul = QStringLiteral("ab") + QChar(u'\0') + QStringLiteral("' OR 1=1");
    EXPECT_EQ(errorNumber([&] { sqlQuote(withNul); }), errc::InvalidProcedureCall);
    EXPECT_EQ(errorNumber([&] { sqlEscape(withNul); }), errc::InvalidProcedureCall);
}

// The digits are numtext's; a statement never gets an exponent, nor a NaN.
TEST(SqlNumber, PlainDecimalTextOrRefusal)
{
    EXPECT_EQ(sqlNumber(1e20), "100000000000000000000");
    EXPECT_EQ(sqlNumber(-1e-30), "-0.000000000000000000000000000001");
    EXPECT_EQ(sqlNumber(int32_t(-2147483647 - 1)), "-2147483648");
    EXPECT_EQ(errorNumber([] { sqlNumber(kNaN); }), errc::InvalidProcedureCall);
    EXPECT_EQ(errorNumber([] { sqlNumber(std::numeric_limits<double>::infinity()); }), errc::InvalidProcedureCall);
}

} // namespace
