#include "profile/sysprofile.h"

#include "services/db/connection.h"
#include "state/callstate.h"

#include <vector>

namespace torvel {

namespace {

// The two period procedures differ only in their name and output parameter.
double periodDate(const QString &procedure, const QString &output)
{
    try {
        std::vector<Parameter> params = {
            {QStringLiteral("@pYear"), 2, Parameter::Input, 0, Variant(SysProfile.CurrentYear)},
            {QStringLiteral("@pPeriod"), 2, Parameter::Input, 0, Variant(SysProfile.CurrentPeriod)},
            {output, 135, Parameter::Output, 0, Variant()},
        };
        callConnection().callProcedure(procedure, params);
        return params[2].value.toDate();
    } catch (...) {
        // No connection, no procedure, a Null or a non-date: the date zero.
        return 0.0;
    }
}

} // namespace

double GetPeriodStartDate()
{
    return periodDate(QStringLiteral("sp_GetPeriodStartDate"), QStringLiteral("@pStartDate"));
}

double GetPeriodEndDate()
{
    return periodDate(QStringLiteral("sp_GetPeriodEndDate"), QStringLiteral("@pEndDate"));
}

} // namespace torvel
