#include "ui/editor/bomeditorlogic.h"

#include "bomdata/bom.h"
#include "services/db/connection.h"
#include "services/text/helpers.h"
#include "bomdata/gridmodel.h"

#include <cmath>
#include <limits>

namespace torvel {

QString editortext::unitMissing(int row)
{
    return QStringLiteral("请在第") + QString::number(row) + QStringLiteral("行输入计量单位!");
}

namespace editor {

bool swallowedEverywhere(QChar c)
{
    return c == u'"' || c == u'\'';
}

bool swallowedInBomNumber(QChar c)
{
    return swallowedEverywhere(c) || c == u'`' || c == u',' || c == u'.';
}

QString itemByNumber(const QString &number)
{
    return QStringLiteral(" FNumber=") + sqlQuote(number) + QStringLiteral(" ");
}

QString itemByNumberOrShort(const QString &code)
{
    return QStringLiteral("(FNumber=") + sqlQuote(code) + QStringLiteral(" OR  FShortNumber =") + sqlQuote(code)
        + QStringLiteral(") Order By len(FNumber) ");
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
    // The grid writes the joint without the blank; both filter alike.
    return QStringLiteral(" FNumber=") + sqlQuote(number)
        + (gridJoint ? QStringLiteral("and FItemClassID=") : QStringLiteral(" and FItemClassID="))
        + sqlNumber(auxClassId);
}

QString replaceClassByNumber(const QString &number)
{
    return QStringLiteral(" FNumber=") + sqlQuote(number) + QStringLiteral("and FClassID=480 ");
}

int32_t cellId(const GridModel &grid, int col, int row)
{
    const double value = Val(grid.text(col, row));
    // Hidden id cells hold what the editor wrote there; anything beyond an
    // id's range counts as no id rather than failing the handler.
    if (!std::isfinite(value) || value > std::numeric_limits<int32_t>::max()
        || value < std::numeric_limits<int32_t>::min())
        return 0;
    return int32_t(std::lround(value));
}

std::optional<SaveCheckFailure> checkHeaderForSave(const BOM &bom, bool isNew, Connection &connection)
{
    using Target = SaveCheckFailure::Target;
    if (Trim(bom.BomNumber).isEmpty())
        return SaveCheckFailure{editortext::kNumberEmpty, Target::BomNumber};
    if (Trim(bom.BomName).isEmpty())
        return SaveCheckFailure{editortext::kNameEmpty, Target::BomName};
    if (isNew) {
        RecordsetPtr rs = connection.Execute(QStringLiteral("SELECT Count(*) FROM COM_Bom WHERE FBOMNumber =")
                                             + sqlQuote(bom.BomNumber));
        if (rs && !rs->Eof() && Val(rs->Fields(0).toString()) > 0)
            return SaveCheckFailure{editortext::kNumberDuplicate, Target::BomNumber};
    }
    if (bom.ItemID < 1)
        return SaveCheckFailure{editortext::kNoParentItem, Target::None};
    return std::nullopt;
}

std::optional<SaveCheckFailure> checkLinesForSave(const GridModel &grid)
{
    using Target = SaveCheckFailure::Target;
    for (int row = 1; row <= grid.MaxRows(); ++row) {
        const QString code = Trim(grid.text(bomcol::ItemNumber, row));
        if (!code.isEmpty() && Val(grid.text(bomcol::UnitID, row)) == 0)
            return SaveCheckFailure{editortext::unitMissing(row), Target::None};
        if (!Trim(grid.text(bomcol::ReplaceClassName, row)).isEmpty()
            && cellId(grid, bomcol::ReplaceClassID, row) == 0)
            return SaveCheckFailure{editortext::kClassNotFound, Target::GridCell, bomcol::ReplaceClassName, row};
        if (!code.isEmpty() && code != Trim(grid.text(bomcol::ItemNumberCopy, row)))
            return SaveCheckFailure{editortext::kItemNotFound, Target::GridCell, bomcol::ItemNumber, row};
    }
    return std::nullopt;
}

} // namespace editor
} // namespace torvel
