#include "bomdata/lookupkeys.h"

#include "bomdata/gridmodel.h"
#include "services/db/connection.h"
#include "services/text/helpers.h"

#include <cmath>
#include <limits>

namespace torvel {

namespace lookupkey {

QString itemByNumber(const QString &number)
{
    return QStringLiteral(" FNumber=") + sqlQuote(number) + QStringLiteral(" ");
}

QString itemByNumberOrShort(const QString &code)
{
    return QStringLiteral("(FNumber=") + sqlQuote(code) + QStringLiteral(" OR  FShortNumber =") + sqlQuote(code)
        + QStringLiteral(") Order By len(FNumber) ");
}

QString itemOfClassByNumberOrShort(const QString &code, int32_t replaceClassId)
{
    return QStringLiteral("(FNumber=") + sqlQuote(code) + QStringLiteral(" OR  FShortNumber =") + sqlQuote(code)
        + QStringLiteral(") and FReplaceClassID=") + sqlNumber(replaceClassId)
        + QStringLiteral(" Order By len(FNumber) ");
}

QString unitById(int32_t unitId)
{
    return QStringLiteral(" FMeasureUnitID=") + sqlNumber(unitId);
}

QString unitByBaseUnit(int32_t baseUnitId, bool leadingBlank)
{
    return (leadingBlank ? QStringLiteral(" FItemID=") : QStringLiteral("FItemID=")) + sqlNumber(baseUnitId);
}

QString unitByNumber(const QString &number, int32_t unitGroupId)
{
    return QStringLiteral(" FNumber=") + sqlQuote(number) + QStringLiteral(" and FUnitGroupID=")
        + sqlNumber(unitGroupId);
}

QString auxPropByNumber(const QString &number, int32_t auxClassId, bool gridJoint)
{
    // The grids write the joint without the blank; both filter alike.
    return QStringLiteral(" FNumber=") + sqlQuote(number)
        + (gridJoint ? QStringLiteral("and FItemClassID=") : QStringLiteral(" and FItemClassID="))
        + sqlNumber(auxClassId);
}

QString replaceClassByNumber(const QString &number)
{
    return QStringLiteral(" FNumber=") + sqlQuote(number) + QStringLiteral("and FClassID=480 ");
}

} // namespace lookupkey

int32_t cellId(const GridModel &grid, int col, int row)
{
    const double value = Val(grid.text(col, row));
    // Hidden id cells hold what the dialog wrote there; anything beyond an
    // id's range counts as no id rather than failing the handler.
    if (!std::isfinite(value) || value > std::numeric_limits<int32_t>::max()
        || value < std::numeric_limits<int32_t>::min())
        return 0;
    return int32_t(std::lround(value));
}

} // namespace torvel
