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

// The stock rows of a BOM, the embedded database's twin of the server's
// sp_COM_BOM_Stock (schema_pg.sql): the same rows in the same order. SQLite
// looks each item's movements up through the (FItemID, FDate) index.
const char *const kStockQuery = R"(WITH lines AS (
    SELECT b.FBOMEntryID, b.FReplaceClassID, b.FAuxPropID, b.FQty,
           CASE WHEN b.FReplaceClassID > 0 THEN coalesce(i.FItemID, 0) ELSE b.FItemID END AS FItemID
    FROM COM_BOM_Child b
    LEFT JOIN COM_Item i ON b.FReplaceClassID > 0 AND i.FReplaceClassID = b.FReplaceClassID
    WHERE b.FBOMID = %3
), items AS (
    SELECT DISTINCT l.FItemID, coalesce(bu.FCoefficient, 1) AS FBaseCoef
    FROM lines l
    LEFT JOIN COM_Item ci ON ci.FItemID = l.FItemID
    LEFT JOIN t_MeasureUnit bu ON bu.FItemID = ci.FBaseUnitID
    WHERE l.FItemID > 0
), stock AS (
    SELECT x.FItemID, x.FAuxPropID, x.FStockID, sum(x.FQty) AS FQty
    FROM (
        SELECT sb.FItemID, sb.FAuxPropID, sb.FStockID, sb.FQty
        FROM items i
        JOIN COM_StockBalance sb ON sb.FItemID = i.FItemID AND sb.FYear = %1 AND sb.FPeriod = %2
        UNION ALL
        SELECT m.FItemID, m.FAuxPropID, m.FStockID, m.FQty * mu.FCoefficient / nullif(i.FBaseCoef, 0)
        FROM items i
        JOIN COM_StockMove m ON m.FItemID = i.FItemID AND m.FDate >= %4 AND m.FDate <= %5
        JOIN t_MeasureUnit mu ON mu.FMeasureUnitID = m.FMeasureUnitID
    ) x
    GROUP BY x.FItemID, x.FAuxPropID, x.FStockID
)
SELECT coalesce(rc.FName, '') AS FReplaceClassName, l.FReplaceClassID, coalesce(it.FNumber, '') AS FItemNumber,
       l.FItemID, coalesce(it.FName, '') AS FItemName, coalesce(ci.FModel, '') AS FModel,
       coalesce(ap.FName, '') AS FAuxProp, l.FAuxPropID, coalesce(u.FName, '') AS FMeasureUnit,
       coalesce(u.FMeasureUnitID, 0) AS FMeasureUnitID, l.FQty, 0.0 AS FKitQty, coalesce(s.FQty, 0) AS FStockQty,
       coalesce(w.FName, '') AS FStockName, coalesce(s.FStockID, 0) AS FStockID, coalesce(ci.FQtyScale, 0) AS FQtyScale
FROM lines l
LEFT JOIN t_Item it ON it.FItemID = l.FItemID AND l.FItemID > 0
LEFT JOIN COM_Item ci ON ci.FItemID = l.FItemID
LEFT JOIN t_MeasureUnit u ON u.FItemID = ci.FBaseUnitID
LEFT JOIN COM_SysType rc ON rc.FSysTypeID = l.FReplaceClassID AND l.FReplaceClassID > 0
LEFT JOIN t_Item ap ON ap.FItemID = l.FAuxPropID AND l.FAuxPropID > 0
LEFT JOIN stock s ON s.FItemID = l.FItemID AND s.FAuxPropID = l.FAuxPropID
LEFT JOIN COM_Stock w ON w.FStockID = s.FStockID
ORDER BY l.FBOMEntryID, coalesce(it.FNumber, ''), coalesce(w.FNumber, ''), coalesce(s.FStockID, 0))";

// "@pYear, @pPeriod, @pBomID, @pStartDate, @pNoteDate": the dates as date
// values or the database's date text.
RecordsetPtr stockProcedure(Connection &c, std::vector<Parameter> &params)
{
    if (params.size() != 5)
        throw ComError(errc::DatabaseError, QStringLiteral("TORVEL.HostDb"),
                       QStringLiteral("Procedure or function sp_COM_BOM_Stock expects 5 arguments, %1 given.")
                           .arg(params.size()));
    return c.Execute(stockQueryText(intArgument(params, 0), intArgument(params, 1), intArgument(params, 2),
                                    params[3].value.toDate(), params[4].value.toDate()));
}

} // namespace

QString stockQueryText(int year, int period, int bomId, double startDate, double noteDate)
{
    // Movement dates are stored as the date text, which orders as the dates do.
    return QString::fromUtf8(kStockQuery)
        .arg(sqlNumber(int32_t(year)), sqlNumber(int32_t(period)), sqlNumber(int32_t(bomId)),
             sqlQuote(oleDateToText(startDate)), sqlQuote(oleDateToText(noteDate)));
}

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
    registerProcedure(QStringLiteral("sp_COM_BOM_Stock"), stockProcedure);
}

} // namespace torvel::host
