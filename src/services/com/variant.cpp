#include "services/com/variant.h"

#include "services/text/numtext.h"

#include <QDate>
#include <QRegularExpression>

#include <cmath>

namespace torvel {

namespace {

const QString kSource = QStringLiteral("TORVEL");

[[noreturn]] void typeMismatch()
{
    throw ComError(errc::TypeMismatch, kSource, QStringLiteral("类型不匹配"));
}

[[noreturn]] void overflow()
{
    throw ComError(errc::Overflow, kSource, errtext::kOverflow);
}

// OLE dates run from 1 January 100 to 31 December 9999, as the platform's did.
constexpr double kMinOleDate = -657434.0;
constexpr double kMaxOleDate = 2958465.99999999;
const QDate kOleEpoch(1899, 12, 30);

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        overflow();
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff > 0.5)
        return floor + 1.0;
    if (diff < 0.5)
        return floor;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

QString doubleText(double value)
{
    if (!std::isfinite(value))
        overflow();
    const numtext::Digits d = numtext::decimalDigits(value);
    // Plain decimal for every magnitude a quantity or price can have; only
    // the extremes take the platform's exponent form ("1E+20").
    if (d.digits.empty() || (d.pointPos > -14 && d.pointPos <= 15))
        return numtext::plainText(d);
    QString mantissa = QString::fromLatin1(d.digits.substr(0, 1).c_str());
    if (d.digits.size() > 1)
        mantissa += QLatin1Char('.') + QString::fromLatin1(d.digits.substr(1).c_str());
    const int exp10 = d.pointPos - 1;
    return (d.negative ? QStringLiteral("-") : QString()) + mantissa + QStringLiteral("E")
        + (exp10 < 0 ? QStringLiteral("-") : QStringLiteral("+"))
        + QStringLiteral("%1").arg(std::abs(exp10), 2, 10, QLatin1Char('0'));
}

} // namespace

bool Variant::isNumeric() const
{
    switch (type()) {
    case Type::Boolean:
    case Type::Int16:
    case Type::Int32:
    case Type::Double:
    case Type::Date:
        return true;
    default:
        return false;
    }
}

QString Variant::typeName() const
{
    switch (type()) {
    case Type::Empty: return QStringLiteral("Empty");
    case Type::Null: return QStringLiteral("Null");
    case Type::Boolean: return QStringLiteral("Boolean");
    case Type::Int16: return QStringLiteral("Integer");
    case Type::Int32: return QStringLiteral("Long");
    case Type::Double: return QStringLiteral("Double");
    case Type::Date: return QStringLiteral("Date");
    case Type::String: return QStringLiteral("String");
    case Type::Object:
        return std::get<ObjectPtr>(m_value) ? QStringLiteral("Object") : QStringLiteral("Nothing");
    }
    return QString();
}

bool Variant::toBool() const
{
    switch (type()) {
    case Type::Empty: return false;
    case Type::Boolean: return std::get<bool>(m_value);
    case Type::String: {
        const QString s = std::get<QString>(m_value).trimmed();
        if (s.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (s.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
        return toDouble() != 0.0;
    }
    case Type::Null:
    case Type::Object:
        typeMismatch();
    default:
        return toDouble() != 0.0;
    }
}

int16_t Variant::toInt16() const
{
    switch (type()) {
    case Type::Int16: return std::get<int16_t>(m_value);
    case Type::Int32: {
        const int32_t v = std::get<int32_t>(m_value);
        if (v < INT16_MIN || v > INT16_MAX)
            overflow();
        return int16_t(v);
    }
    default:
        return roundToInt16(toDouble());
    }
}

int32_t Variant::toInt32() const
{
    switch (type()) {
    case Type::Int16: return std::get<int16_t>(m_value);
    case Type::Int32: return std::get<int32_t>(m_value);
    default:
        return roundToInt32(toDouble());
    }
}

double Variant::toDouble() const
{
    switch (type()) {
    case Type::Empty: return 0.0;
    case Type::Boolean: return std::get<bool>(m_value) ? -1.0 : 0.0;
    case Type::Int16: return std::get<int16_t>(m_value);
    case Type::Int32: return std::get<int32_t>(m_value);
    case Type::Double: return std::get<double>(m_value);
    case Type::Date: return std::get<DateTag>(m_value).value;
    case Type::String: {
        double v = 0.0;
        bool outOfRange = false;
        if (!numtext::parseNumber(std::get<QString>(m_value), v, &outOfRange)) {
            // A number too large for any type overflows, as the same value would as a double.
            if (outOfRange)
                overflow();
            typeMismatch();
        }
        return v;
    }
    case Type::Null:
    case Type::Object:
        break;
    }
    typeMismatch();
}

double Variant::toDate() const
{
    switch (type()) {
    case Type::Date: {
        // A date a host built itself may lie outside the calendar.
        const double v = std::get<DateTag>(m_value).value;
        if (!(v >= kMinOleDate && v <= kMaxOleDate))
            overflow();
        return v;
    }
    case Type::String:
        // Only date text: a bare number such as "2024" is not taken as a day count.
        return oleDateFromText(std::get<QString>(m_value));
    case Type::Boolean:
    case Type::Int16:
    case Type::Int32:
    case Type::Double:
    case Type::Empty: {
        const double v = toDouble();
        if (!(v >= kMinOleDate && v <= kMaxOleDate))
            overflow();
        return v;
    }
    case Type::Null:
    case Type::Object:
        break;
    }
    typeMismatch();
}

QString Variant::toString() const
{
    switch (type()) {
    case Type::Empty: return QString();
    case Type::Boolean: return std::get<bool>(m_value) ? QStringLiteral("True") : QStringLiteral("False");
    case Type::Int16: return QString::number(std::get<int16_t>(m_value));
    case Type::Int32: return QString::number(std::get<int32_t>(m_value));
    case Type::Double: return doubleText(std::get<double>(m_value));
    case Type::Date: return oleDateToText(std::get<DateTag>(m_value).value);
    case Type::String: return std::get<QString>(m_value);
    case Type::Null:
    case Type::Object:
        break;
    }
    typeMismatch();
}

ObjectPtr Variant::toObject() const
{
    if (type() != Type::Object)
        throw ComError(errc::ObjectRequired, kSource, QStringLiteral("缺少对象"));
    return std::get<ObjectPtr>(m_value);
}

bool Variant::operator==(const Variant &other) const
{
    const Type a = type();
    const Type b = other.type();
    // Null equals only Null here: a structural test, not the platform's
    // three-valued "=", which no caller relies on.
    if (a == Type::Null || b == Type::Null)
        return a == b;
    if (a == Type::Object || b == Type::Object)
        return a == b && std::get<ObjectPtr>(m_value) == std::get<ObjectPtr>(other.m_value);
    if (a == Type::Empty && b == Type::Empty)
        return true;
    if (a == Type::String || b == Type::String) {
        // Empty reads as the empty text beside a text, as the platform's did.
        if ((a == Type::String || a == Type::Empty) && (b == Type::String || b == Type::Empty))
            return toString() == other.toString();
        return false;
    }
    return toDouble() == other.toDouble();
}

double oleDateFromText(const QString &text)
{
    // "yyyy-MM-dd", optionally with " hh:mm[:ss[.fff]]" or the 'T' separator
    // that ISO text from a server carries; '/' is accepted for the date.
    static const QRegularExpression re(QStringLiteral(
        "^\\s*(\\d{4})[-/](\\d{1,2})[-/](\\d{1,2})"
        "(?:[ T](\\d{1,2}):(\\d{2})(?::(\\d{2})(?:\\.(\\d{1,9}))?)?)?\\s*(?:Z|[+-]\\d{2}(?::?\\d{2})?)?\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        typeMismatch();
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid() || date.year() < 100)
        typeMismatch();
    double seconds = 0.0;
    if (m.hasCaptured(4)) {
        const int h = m.captured(4).toInt();
        const int min = m.captured(5).toInt();
        const int s = m.hasCaptured(6) ? m.captured(6).toInt() : 0;
        if (h > 23 || min > 59 || s > 59)
            typeMismatch();
        seconds = h * 3600.0 + min * 60.0 + s;
        if (m.hasCaptured(7))
            seconds += QString(QStringLiteral("0.") + m.captured(7)).toDouble();
    }
    return oleDate(date, seconds);
}

double oleDate(const QDate &date, double secondsOfDay)
{
    const double days = double(kOleEpoch.daysTo(date));
    const double fraction = secondsOfDay / 86400.0;
    return days >= 0 ? days + fraction : days - fraction;
}

QString oleDateToText(double oleDate)
{
    if (!std::isfinite(oleDate) || oleDate < kMinOleDate || oleDate > kMaxOleDate)
        overflow();
    const double dayPart = std::trunc(oleDate);
    qint64 seconds = qint64(std::llround(std::fabs(oleDate - dayPart) * 86400.0));
    QDate date = kOleEpoch.addDays(qint64(dayPart));
    if (seconds >= 86400) {
        seconds -= 86400;
        date = date.addDays(1);
    }
    const QString day = date.toString(QStringLiteral("yyyy-MM-dd"));
    if (seconds == 0)
        return day;
    return day + QStringLiteral(" %1:%2:%3")
                     .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                     .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
                     .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

int32_t roundToInt32(double value)
{
    const double r = roundHalfEven(value);
    if (r < double(INT32_MIN) || r > double(INT32_MAX))
        overflow();
    return int32_t(r);
}

int16_t roundToInt16(double value)
{
    const double r = roundHalfEven(value);
    if (r < double(INT16_MIN) || r > double(INT16_MAX))
        overflow();
    return int16_t(r);
}

} // namespace torvel
