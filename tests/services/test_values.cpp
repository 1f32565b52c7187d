// Variant conversions, the value helpers and the statement text helpers.

#include "printers.h"

#include "services/connection.h"
#include "services/helpers.h"
#include "services/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace torvel;

namespace {

int errorNumber(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const ComError &e) {
        return e.number();
    }
    return 0;
}

std::string describe(const Variant &v)
{
    try {
        return QString(v.typeName() + QLatin1Char(' ') + v.toString()).toStdString();
    } catch (const ComError &) {
        return v.typeName().toStdString();
    }
}

// ---- integer conversions ---------------------------------------------------

struct IntCase
{
    Variant value;
    int32_t expected;   // ignored when error != 0
    int error;
};

TEST(VariantToInt16, RoundsHalfToEvenAndOverflows)
{
    const IntCase cases[] = {
        {2.5, 2, 0},
        {3.5, 4, 0},
        {-2.5, -2, 0},
        {-3.5, -4, 0},
        {2.4999, 2, 0},
        {2.5001, 3, 0},
        {0.5, 0, 0},
        {1.5, 2, 0},
        {32767.0, 32767, 0},
        {32767.4, 32767, 0},
        {32767.5, 0, errc::Overflow},      // rounds to 32768
        {-32768.5, -32768, 0},             // rounds to the even -32768
        {-32769.0, 0, errc::Overflow},
        {int32_t(40000), 0, errc::Overflow},
        {int32_t(-123), -123, 0},
        {true, -1, 0},
        {false, 0, 0},
        {Variant(), 0, 0},
        {" 12 ", 12, 0},
        {"2.5", 2, 0},
        {"1e3", 1000, 0},
        {"abc", 0, errc::TypeMismatch},
        {"", 0, errc::TypeMismatch},
        {Variant::null(), 0, errc::TypeMismatch},
        {std::numeric_limits<double>::quiet_NaN(), 0, errc::Overflow},
    };
    for (const IntCase &c : cases) {
        SCOPED_TRACE(describe(c.value));
        int16_t got = 0;
        const int err = errorNumber([&] { got = c.value.toInt16(); });
        EXPECT_EQ(err, c.error);
        if (c.error == 0) {
            EXPECT_EQ(got, c.expected);
        }
    }
}

TEST(VariantToInt32, RoundsHalfToEvenAndOverflows)
{
    const IntCase cases[] = {
        {2.5, 2, 0},
        {3.5, 4, 0},
        {2147483647.0, 2147483647, 0},
        {2147483647.5, 0, errc::Overflow},
        {-2147483648.0, -2147483648, 0},
        {-2147483648.5, -2147483648, 0},   // ties to the even bound
        {-2147483649.0, 0, errc::Overflow},
        {1e10, 0, errc::Overflow},
        {int16_t(-7), -7, 0},
        {"480", 480, 0},
        {"1,234", 1234, 0},
        {"12abc", 0, errc::TypeMismatch},
        {Variant::null(), 0, errc::TypeMismatch},
        {Variant::date(45000.5), 45000, 0},
    };
    for (const IntCase &c : cases) {
        SCOPED_TRACE(describe(c.value));
        int32_t got = 0;
        const int err = errorNumber([&] { got = c.value.toInt32(); });
        EXPECT_EQ(err, c.error);
        if (c.error == 0) {
            EXPECT_EQ(got, c.expected);
        }
    }
}

TEST(VariantToDouble, ParsesNumberTextOnly)
{
    struct Case { QString text; double expected; bool ok; };
    const Case cases[] = {
        {"1.5", 1.5, true},
        {"  -1.5  ", -1.5, true},
        {"+.5", 0.5, true},
        {"5.", 5.0, true},
        {"1.5E2", 150.0, true},
        {"2e-3", 0.002, true},
        {"1,234,567.25", 1234567.25, true},
        {"-0", 0.0, true},
        {"", 0, false},
        {"   ", 0, false},
        {".", 0, false},
        {"-", 0, false},
        {"1e", 0, false},
        {"12abc", 0, false},
        {"1.2.3", 0, false},
        {",12", 0, false},
        {"abc", 0, false},
        {"1e999", 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        double got = 0;
        const int err = errorNumber([&] { got = Variant(c.text).toDouble(); });
        if (c.ok) {
            EXPECT_EQ(err, 0);
            EXPECT_DOUBLE_EQ(got, c.expected);
            EXPECT_FALSE(std::signbit(got) && got == 0.0);
        } else {
            EXPECT_EQ(err, errc::TypeMismatch);
        }
    }
}

TEST(Variant, NullConvertsToNothing)
{
    const Variant n = Variant::null();
    EXPECT_EQ(errorNumber([&] { n.toString(); }), errc::TypeMismatch);
    EXPECT_EQ(errorNumber([&] { n.toBool(); }), errc::TypeMismatch);
    EXPECT_EQ(errorNumber([&] { n.toDouble(); }), errc::TypeMismatch);
    EXPECT_EQ(errorNumber([&] { n.toDate(); }), errc::TypeMismatch);
    EXPECT_EQ(errorNumber([&] { n.toObject(); }), errc::ObjectRequired);
    // Empty converts to the neutral value of every type.
    EXPECT_EQ(Variant().toString(), QString());
    EXPECT_EQ(Variant().toDouble(), 0.0);
    EXPECT_FALSE(Variant().toBool());
}

TEST(Variant, TextOfValues)
{
    struct Case { Variant value; QString text; };
    const Case cases[] = {
        {true, "True"},
        {false, "False"},
        {int16_t(-5), "-5"},
        {int32_t(2147483647), "2147483647"},
        {1234567.5, "1234567.5"},
        {0.1, "0.1"},
        {0.1 + 0.2, "0.3"},               // 15 significant digits hide the binary tail
        {1e-7, "0.0000001"},
        {-2.5, "-2.5"},
        {-0.0, "0"},
        {123456789012345.0, "123456789012345"},
        {1e20, "1E+20"},
        {1.5e-20, "1.5E-20"},
        {Variant::date(0.0), "1899-12-30"},
        {Variant::date(45000.75), "2023-03-15 18:00:00"},
        {"abc", "abc"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.value.toString(), c.text);
}

TEST(Variant, TypeNamesAndBooleans)
{
    EXPECT_EQ(Variant().typeName(), "Empty");
    EXPECT_EQ(Variant::null().typeName(), "Null");
    EXPECT_EQ(Variant(true).typeName(), "Boolean");
    EXPECT_EQ(Variant(int16_t(1)).typeName(), "Integer");
    EXPECT_EQ(Variant(int32_t(1)).typeName(), "Long");
    EXPECT_EQ(Variant(1.0).typeName(), "Double");
    EXPECT_EQ(Variant::date(1).typeName(), "Date");
    EXPECT_EQ(Variant("x").typeName(), "String");
    EXPECT_EQ(Variant(ObjectPtr()).typeName(), "Nothing");

    EXPECT_EQ(Variant(true).toInt32(), -1);
    EXPECT_EQ(Variant(true).toDouble(), -1.0);
    EXPECT_TRUE(Variant("true").toBool());
    EXPECT_FALSE(Variant("False").toBool());
    EXPECT_TRUE(Variant("-1").toBool());
    EXPECT_FALSE(Variant("0").toBool());
    EXPECT_EQ(errorNumber([] { Variant("yes").toBool(); }), errc::TypeMismatch);
}

TEST(Variant, Equality)
{
    EXPECT_EQ(Variant(int16_t(12)), Variant(12.0));
    EXPECT_EQ(Variant(true), Variant(int32_t(-1)));
    EXPECT_EQ(Variant("abc"), Variant(QStringLiteral("abc")));
    EXPECT_FALSE(Variant("abc") == Variant("ABC"));
    EXPECT_FALSE(Variant("12") == Variant(12.0));
    EXPECT_EQ(Variant(), Variant(""));
    EXPECT_EQ(Variant(), Variant(0.0));
    EXPECT_EQ(Variant::null(), Variant::null());
    EXPECT_FALSE(Variant::null() == Variant());
    EXPECT_FALSE(Variant::null() == Variant(0.0));
}

// ---- dates -------------------------------------------------------------------

TEST(OleDate, TextRoundTrips)
{
    struct Case { QString text; double ole; QString back; };
    const Case cases[] = {
        {"1899-12-30", 0.0, "1899-12-30"},
        {"1900-01-01", 2.0, "1900-01-01"},
        {"2023-03-15", 45000.0, "2023-03-15"},
        {"2023-03-15 18:00:00", 45000.75, "2023-03-15 18:00:00"},
        {"2023-03-15T06:00:00", 45000.25, "2023-03-15 06:00:00"},
        {"2023-03-15T06:00:00.000", 45000.25, "2023-03-15 06:00:00"},
        {"2023-03-15 06:00", 45000.25, "2023-03-15 06:00:00"},
        {"2023/3/5", 44990.0, "2023-03-05"},
        {"1899-12-29 06:00:00", -1.25, "1899-12-29 06:00:00"},   // time counts forward before the epoch
        {"9999-12-31", 2958465.0, "9999-12-31"},
        {"2024-02-29 23:59:59", 45351.0 + 86399.0 / 86400.0, "2024-02-29 23:59:59"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const double ole = oleDateFromText(c.text);
        EXPECT_NEAR(ole, c.ole, 1e-9);
        EXPECT_EQ(oleDateToText(ole), c.back);
        EXPECT_NEAR(Variant(c.text).toDate(), c.ole, 1e-9);
    }
}

TEST(OleDate, RejectsBadText)
{
    for (const char *text : {"", "2023-02-30", "2023-13-01", "15.03.2023", "2023-03-15 24:00:00",
                             "2023-03-15x", "2023", "abc"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(errorNumber([&] { oleDateFromText(QString::fromUtf8(text)); }), errc::TypeMismatch);
    }
    EXPECT_EQ(errorNumber([] { oleDateToText(3e6); }), errc::Overflow);
    EXPECT_EQ(errorNumber([] { Variant::null().toDate(); }), errc::TypeMismatch);
}

TEST(OleDate, TimeThatRoundsToMidnightCarriesToNextDay)
{
    EXPECT_EQ(oleDateToText(45000.9999999), "2023-03-16");
    EXPECT_EQ(oleDateToText(-1.9999999), "1899-12-30");
}

// ---- NullToValue, FormatDecimal, Val ----------------------------------------

TEST(NullToValue, ReplacesNullAndStar)
{
    struct Case { Variant value; Variant def; Variant expected; QString expectedType; };
    const Case cases[] = {
        {Variant::null(), int32_t(0), int32_t(0), "Long"},
        {Variant::null(), "", "", "String"},
        {"*", "", "", "String"},
        {"*", int32_t(0), int32_t(0), "Long"},
        {int32_t(12), "", "12", "String"},
        {int32_t(12), int32_t(0), int32_t(12), "Long"},
        {12.5, "", "12.5", "String"},
        {"**", "", "**", "String"},
        {"abc", int32_t(0), "abc", "String"},
        {Variant(), "", "", "String"},
        {true, "", "True", "String"},
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
        {1234.5, 2, "1,234.50"},
        {1234.5, 0, "1,235"},
        {-1234.5, 0, "-1,235"},
        {2.5, 0, "3"},
        {-2.5, 0, "-3"},
        {3.5, 0, "4"},
        {1.005, 2, "1.01"},
        {-1.005, 2, "-1.01"},
        {2.675, 2, "2.68"},
        {1.0049, 2, "1.00"},
        {0.0, 2, "0.00"},
        {0.004, 2, "0.00"},
        {-0.004, 2, "0.00"},          // no "-0.00"
        {0.005, 2, "0.01"},
        {999.995, 2, "1,000.00"},
        {999999.5, 0, "1,000,000"},
        {1234567.891, 3, "1,234,567.891"},
        {0.5, 0, "1"},
        {0.4, 0, "0"},
        {0.0001, 0, "0"},
        {12.0, 4, "12.0000"},
        {int32_t(-1234567), 0, "-1,234,567"},
        {int16_t(5), 1, "5.0"},
        {true, 0, "-1"},
        {"1234.5", 2, "1,234.50"},
        {" 7 ", 0, "7"},
        {"abc", 2, "abc"},
        {"", 2, ""},
        {Variant::null(), 2, ""},
        {Variant::null(), -1, ""},
        {0.1 + 0.2, 20, "0.30000000000000000000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE((c.value.isNull() ? QStringLiteral("Null") : c.value.toString()).toStdString()
                     + " scale " + std::to_string(c.scale));
        EXPECT_EQ(FormatDecimal(c.value, c.scale), c.expected);
    }
}

TEST(FormatDecimal, NegativeScaleIsInvalidCall)
{
    EXPECT_EQ(errorNumber([] { FormatDecimal(12.5, -1); }), errc::InvalidProcedureCall);
    EXPECT_EQ(errorNumber([] { FormatDecimal("3", -2); }), errc::InvalidProcedureCall);
}

TEST(Val, ReadsTheLeadingNumber)
{
    struct Case { QString text; double expected; };
    const Case cases[] = {
        {"  12abc", 12},
        {"-1.5e2x", -150},
        {"", 0},
        {".5", 0.5},
        {"1.2.3", 1.2},
        {"abc", 0},
        {"+7", 7},
        {"\t 3", 3},
        {"1e", 1},
        {"1e+", 1},
        {"2E-2", 0.02},
        {"-", 0},
        {"-.", 0},
        {"5.", 5},
        {"1,234", 1},           // a group separator ends the number
        {"12 34", 12},
        {"0.000001", 1e-6},
        {"1234567.5", 1234567.5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const double v = Val(c.text);
        EXPECT_DOUBLE_EQ(v, c.expected);
        EXPECT_FALSE(v == 0.0 && std::signbit(v)) << "negative zero";
    }
    EXPECT_EQ(errorNumber([] { Val("1e999"); }), errc::Overflow);
}

// ---- statement text ------------------------------------------------------------

// Reads a quoted literal back as the database's tokenizer does.
QString unquote(const QString &literal, bool *ok)
{
    *ok = literal.size() >= 2 && literal.front() == u'\'' && literal.back() == u'\'';
    QString out;
    for (qsizetype i = 1; *ok && i < literal.size() - 1; ++i) {
        if (literal[i] == u'\'') {
            if (i + 1 < literal.size() - 1 && literal[i + 1] == u'\'')
                ++i;
            else
                *ok = false;   // a lone quote would end the literal early
        }
        out += literal[i];
    }
    return out;
}

TEST(SqlQuote, RoundTripsEveryText)
{
    const QString texts[] = {
        "", "plain", "O'Brien", "''", "'", "a''b'", "say \"hi\"", "back\\slash\\", "50%_off",
        "商品结构清单", "螺丝 M3×8 '特'", "trailing   ", "   leading", "x'; DELETE FROM COM_BOM; --",
        "line\nbreak\ttab",
    };
    for (const QString &text : texts) {
        SCOPED_TRACE(text.toStdString());
        bool ok = false;
        const QString quoted = sqlQuote(text);
        EXPECT_EQ(unquote(quoted, &ok), text);
        EXPECT_TRUE(ok) << quoted.toStdString();
        EXPECT_EQ(sqlEscape(text), quoted.mid(1, quoted.size() - 2));
    }
}

TEST(SqlQuote, RefusesNulCharacter)
{
    const QString withNul = QStringLiteral("ab") + QChar(u'\0') + QStringLiteral("' OR 1=1");
    EXPECT_EQ(errorNumber([&] { sqlQuote(withNul); }), errc::InvalidProcedureCall);
    EXPECT_EQ(errorNumber([&] { sqlEscape(withNul); }), errc::InvalidProcedureCall);
}

TEST(SqlNumber, PlainDecimalText)
{
    struct Case { double value; QString text; };
    const Case cases[] = {
        {1234567.5, "1234567.5"},
        {0.1, "0.1"},
        {1e-7, "0.0000001"},
        {1e15, "1000000000000000"},
        {1e20, "100000000000000000000"},
        {-1234567.5, "-1234567.5"},
        {-0.25, "-0.25"},
        {0.0, "0"},
        {-0.0, "0"},
        {-1e-30, "-0.000000000000000000000000000001"},
        {42.0, "42"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3.0, "0.333333333333333"},
        {123456789.123456789, "123456789.123457"},
        {2147483648.0, "2147483648"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const QString got = sqlNumber(c.value);
        EXPECT_EQ(got, c.text);
        EXPECT_FALSE(got.contains(u'e') || got.contains(u'E') || got.contains(u','));
    }
    EXPECT_EQ(sqlNumber(int32_t(-2147483647 - 1)), "-2147483648");
    EXPECT_EQ(sqlNumber(int32_t(480)), "480");
    EXPECT_EQ(errorNumber([] { sqlNumber(std::numeric_limits<double>::quiet_NaN()); }), errc::InvalidProcedureCall);
    EXPECT_EQ(errorNumber([] { sqlNumber(std::numeric_limits<double>::infinity()); }), errc::InvalidProcedureCall);
}

} // namespace
