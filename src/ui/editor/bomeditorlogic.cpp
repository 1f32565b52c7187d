#include "ui/editor/bomeditorlogic.h"

#include "bomdata/bom.h"
#include "services/db/connection.h"
#include "services/text/helpers.h"
#include "bomdata/gridmodel.h"


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
