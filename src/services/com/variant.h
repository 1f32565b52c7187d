#pragma once

#include "services/com/comerror.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <memory>
#include <variant>

namespace torvel {

class DispatchObject;
using ObjectPtr = std::shared_ptr<DispatchObject>;

// The platform's variant value. Booleans are stored as bool and read back as
// -1 / 0 where a number is asked for, as the platform did (True is -1).
// Dates are OLE dates: days since 30 December 1899, time of day as fraction.
class Variant
{
public:
    enum class Type { Empty, Null, Boolean, Int16, Int32, Double, Date, String, Object };

    struct NullTag {};
    struct DateTag { double value; };

    Variant() = default;                      // Empty
    Variant(bool v) : m_value(v) {}
    Variant(int16_t v) : m_value(v) {}
    Variant(int32_t v) : m_value(v) {}
    Variant(double v) : m_value(v) {}
    Variant(const QString &v) : m_value(v) {}
    Variant(const char *v) : m_value(QString::fromUtf8(v)) {}
    Variant(ObjectPtr v) : m_value(std::move(v)) {}

    static Variant null() { Variant v; v.m_value = NullTag{}; return v; }
    static Variant date(double oleDate) { Variant v; v.m_value = DateTag{oleDate}; return v; }

    Type type() const { return static_cast<Type>(m_value.index()); }
    bool isEmpty() const { return type() == Type::Empty; }
    bool isNull() const { return type() == Type::Null; }
    bool isNumeric() const;   // Boolean, integers, Double, Date
    bool isObject() const { return type() == Type::Object; }
    bool isString() const { return type() == Type::String; }

    // The platform's type name ("Empty", "Null", "Boolean", "Integer", "Long",
    // "Double", "Date", "String", "Object"): NullToValue tests it.
    QString typeName() const;

    // Conversions as the platform made them. Each throws ComError with
    // TypeMismatch (13) when the value cannot be converted and Overflow (6)
    // when it does not fit. Null converts to nothing and is a type mismatch;
    // Empty converts to 0, False or the empty text.
    bool toBool() const;
    int16_t toInt16() const;    // rounds half to even
    int32_t toInt32() const;    // rounds half to even
    double toDouble() const;    // a text must be a number as a whole: blanks around it,
                                // a sign, ',' between integer digits, a point, an exponent
    double toDate() const;      // OLE date; a text in the database's date form is parsed
    // Numbers in plain decimal text with up to 15 significant digits (the
    // exponent form "1E+20" only beyond 1E15 or below 1E-14), Boolean
    // "True"/"False", a date as oleDateToText. Null throws like the rest.
    QString toString() const;
    ObjectPtr toObject() const; // ObjectRequired (424) when not an object

    // Exact equality as the platform's "=" on two variants of compatible kind:
    // text against text compares text, number against number compares numbers,
    // text against number never equal here (callers only compare like kinds).
    bool operator==(const Variant &other) const;

private:
    std::variant<std::monostate, NullTag, bool, int16_t, int32_t, double, DateTag, QString, ObjectPtr> m_value;
};

// The OLE date of a day and a time of day in seconds. Before the epoch the
// time still counts forward from midnight, so it moves the value away from
// zero (1899-12-29 06:00 is -1.25).
double oleDate(const QDate &date, double secondsOfDay = 0.0);

// OLE date conversions used for the database's date text ("yyyy-MM-dd" or
// "yyyy-MM-dd hh:mm:ss"); invalid text throws TypeMismatch.
double oleDateFromText(const QString &text);
QString oleDateToText(double oleDate);   // date only when the time is midnight

// Round half to even, as the platform's integer conversions do; throws
// Overflow when the result does not fit the range.
int32_t roundToInt32(double value);
int16_t roundToInt16(double value);

} // namespace torvel
