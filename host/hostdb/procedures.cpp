// The host's stored procedures for the embedded database, written in C++ and
// registered with the connection layer under their server names.

#include "hostdb.h"
#include "periods.h"

#include "services/db/recordset.h"

#include <QDate>

namespace torvel::host {

namespace {

const QString kDefaultPeriodDates = QStringLiteral("010102010301040105010601070108010901100111011201");

// The first row of a GL setting, as the profile loader reads it; Null when the
// row is missing or holds Null.
Variant glSetting(Connection &c, const QString &key)
{
    const RecordsetPtr rs = c.Execute(QStringLiteral("SELECT FValue FROM t_SystemProfile WHERE FCategory='GL' AND FKey=")
                                      + sqlQuote(key));
    if (!rs || rs->Eof())
        return Variant::null();
    return rs->Fields(0);
}

PeriodCalendar readCalendar(Connection &c)
{
    PeriodCalendar calendar;
    const Variant byMonth = glSetting(c, QStringLiteral("PeriodByMonth"));
    calendar.byMonth = byMonth.isNull() || byMonth.toString().trimmed() == QLatin1String("1");
    const Variant count = glSetting(c, QStringLiteral("PeriodCount"));
    bool ok = false;
    const int n = count.isNull() ? 12 : count.toString().trimmed().toInt(&ok);
    calendar.periodCount = count.isNull() || !ok ? 12 : n;
    const Variant dates = glSetting(c, QStringLiteral("PeriodDates"));
    calendar.periodDates = dates.isNull() || dates.toString().trimmed().isEmpty() || dates.toString() == QLatin1String("*")
                               ? kDefaultPeriodDates
                               : dates.toString().trimmed();
    return calendar;
}

int32_t intArgument(const std::vector<Parameter> &params, size_t index)
{
    if (index >= params.size() || params[index].value.isNull() || params[index].value.isEmpty())
        return 0;
    return params[index].value.toInt32();
}

// "@pYear, @pPeriod, @pStartDate OUTPUT": the date goes to the first output
// parameter; a call by text has none, and then nothing is handed back.
RecordsetPtr periodProcedure(Connection &c, std::vector<Parameter> &params, bool end)
{
    const int year = intArgument(params, 0);
    const int period = intArgument(params, 1);
    const std::optional<QDate> date = end ? periodEnd(readCalendar(c), year, period)
                                          : periodStart(readCalendar(c), year, period);
    for (Parameter &p : params) {
        if (p.direction == Parameter::Output || p.direction == Parameter::InputOutput) {
            p.value = date ? Variant::date(double(QDate(1899, 12, 30).daysTo(*date))) : Variant::null();
            break;
        }
    }
    return nullptr;
}

} // namespace

std::optional<QDate> periodStart(const PeriodCalendar &calendar, int year, int period)
{
    if (year < 1753 || year > 9998)
        return std::nullopt;
    if (calendar.byMonth) {
        if (period < 1 || period > 12)
            return std::nullopt;
        return QDate(year, period, 1);
    }
    const int count = calendar.periodCount;
    if (period < 1 || period > count || calendar.periodDates.size() < 4 * count)
        return std::nullopt;
    const auto monthDay = [&](int p) { return calendar.periodDates.mid(4 * (p - 1), 4).toInt(); };
    const int first = monthDay(1);
    const int md = monthDay(period);
    // A fiscal year that starts in April has its January periods in the next
    // calendar year.
    const int y = md < first ? year + 1 : year;
    const QDate date(y, md / 100, md % 100);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QDate> periodEnd(const PeriodCalendar &calendar, int year, int period)
{
    const std::optional<QDate> start = periodStart(calendar, year, period);
    if (!start)
        return std::nullopt;
    if (calendar.byMonth)
        return start->addMonths(1).addDays(-1);
    const std::optional<QDate> next = period < calendar.periodCount ? periodStart(calendar, year, period + 1)
                                                                    : periodStart(calendar, year + 1, 1);
    if (!next || *next <= *start)
        return std::nullopt;
    return next->addDays(-1);
}

void registerHostProcedures()
{
    registerProcedure(QStringLiteral("sp_GetPeriodStartDate"),
                      [](Connection &c, std::vector<Parameter> &p) { return periodProcedure(c, p, false); });
    registerProcedure(QStringLiteral("sp_GetPeriodEndDate"),
                      [](Connection &c, std::vector<Parameter> &p) { return periodProcedure(c, p, true); });
}

} // namespace torvel::host
