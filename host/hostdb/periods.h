#pragma once

#include <QDate>
#include <QString>

#include <optional>

namespace torvel::host {

// The host's accounting calendar as t_SystemProfile's GL settings give it:
// calendar months, or PeriodCount periods starting on the MMDD groups of
// PeriodDates.
struct PeriodCalendar
{
    bool byMonth = true;
    int periodCount = 12;
    QString periodDates;
};

// First and last day of a period; nothing for a period the calendar does not
// have (period 0, 13 of 12, year 0, a malformed date group).
std::optional<QDate> periodStart(const PeriodCalendar &calendar, int year, int period);
std::optional<QDate> periodEnd(const PeriodCalendar &calendar, int year, int period);

} // namespace torvel::host
