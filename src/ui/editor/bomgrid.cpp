// frmBom: the child grid vasSubItem: row formats, resolving typed codes when
// a cell is left, the F7 lookups per column, adding and deleting rows.

#include "ui/editor/frmbom.h"

#include "bomdata/bom.h"
#include "services/com/comerror.h"
#include "services/text/helpers.h"
#include "services/screen/messagebox.h"
#include "services/screen/waitcursor.h"
#include "ui/editor/bomeditorlogic.h"
#include "ui/lookups/pickcalls.h"
#include "bomdata/gridmodel.h"
#include "ui/grid/gridview.h"

#include <QAction>
#include <QToolBar>

#include <optional>

namespace torvel {

namespace {

// Sets the guard for one handler and clears it however the handler ends.
class HandlerGuard
{
public:
    explicit HandlerGuard(bool &flag) : m_flag(flag) { m_flag = true; }
    ~HandlerGuard() { m_flag = false; }
    HandlerGuard(const HandlerGuard &) = delete;
    HandlerGuard &operator=(const HandlerGuard &) = delete;

private:
    bool &m_flag;
};

QString fieldText(const Recordset &rs, const char *field)
{
    return Trim(NullToValue(rs.Fields(QString::fromLatin1(field)), QString()).toString());
}

int32_t fieldId(const Recordset &rs, const char *field)
{
    return roundToInt32(Val(NullToValue(rs.Fields(QString::fromLatin1(field)), int32_t(0)).toString()));
}

QString idText(int32_t id)
{
    return QString::number(id);
}

} // namespace

void FrmBom::setupGridColumns()
{
    m_grid = new GridModel(bomcol::Count, 1, this);
    struct ColumnSpec
    {
        const char *header;
        double width;
    };
    static const ColumnSpec kColumns[bomcol::Count] = {
        {"可替换商品类别", 17}, {"子商品代码", 12}, {"商品名称", 14}, {"规格型号", 14}, {"辅助属性", 10},
        {"单位", 6},            {"数量", 9},        {"损耗率(%)", 11}, {"备注", 16},    {"ItemID", 8},
        {"OldItemNumber", 8},   {"ReplaceClassID", 8}, {"ReplaceClassOldName", 8}, {"AuxPropClassID", 8},
        {"AuxPropID", 8},       {"AuxPropOldName", 8}, {"UnitClassID", 8}, {"UnitOldName", 8}, {"UnitID", 8},
    };
    for (int col = 1; col <= bomcol::Count; ++col) {
        m_grid->setColumnHeader(col, QString::fromUtf8(kColumns[col - 1].header));
        m_grid->setColWidth(col, kColumns[col - 1].width);
    }
}

void FrmBom::buildGrid()
{
    setupGridColumns();
    vasSubItem = new GridView(this);
    vasSubItem->setObjectName(QStringLiteral("vasSubItem"));
    vasSubItem->setGridModel(m_grid);
    vasSubItem->setSwallowedCharacters(QStringLiteral("\"'"));
    connect(vasSubItem, &GridView::leaveCell, this, [this](int col, int row, int newCol, int newRow, bool *cancel) {
        bool refused = false;
        guarded([&] { vasSubItem_LeaveCell(col, row, newCol, newRow, refused); });
        if (refused && cancel)
            *cancel = true;
    });
    connect(vasSubItem, &GridView::keyDown, this, [this](int key, Qt::KeyboardModifiers modifiers, bool *handled) {
        guarded([&] { vasSubItem_KeyDown(key, modifiers); });
        // F7 opened a pick list; the cell editor has nothing to do with it.
        if (key == Qt::Key_F7 && handled)
            *handled = true;
    });
}

void FrmBom::lockCell(int col, int row, bool locked)
{
    m_grid->setCol(col);
    m_grid->setRow(row);
    m_grid->setLock(locked);
}

void FrmBom::formatAuxPropCell(int row, int auxClassId)
{
    m_grid->setCol(bomcol::AuxProp);
    m_grid->setRow(row);
    if (auxClassId <= 0) {
        m_grid->setLock(true);
        m_grid->setLockBackColor(kLockYellow);
    } else {
        m_grid->setLock(false);
        m_grid->setBackColor(kWhite);
    }
}

void FrmBom::resetRowCells(int row)
{
    GridModel &g = *m_grid;
    auto address = [&](int col) {
        g.setCol(col);
        g.setRow(row);
    };
    address(bomcol::ReplaceClassName);
    g.setLock(false);
    address(bomcol::ItemNumber);
    g.setLock(false);
    for (int col : {bomcol::ItemName, bomcol::Model}) {
        address(col);
        g.setLock(true);
        g.setLockBackColor(kLockYellow);
    }
    address(bomcol::AuxProp);
    g.setLock(false);
    g.setBackColor(kWhite);
    // The unit is editable again once the row no longer stands for a class.
    address(bomcol::Unit);
    g.setLock(false);
    // The quantity keeps the decimals of the item that was on the row.
    address(bomcol::Qty);
    g.setTypeNumberRange(0, 99999999999999.0);
    address(bomcol::Scrap);
    g.setTypeNumber(0, 99.99, 2);
}

void FrmBom::ResetGridRow(int row)
{
    GridModel &g = *m_grid;
    const bool blockMode = g.BlockMode();
    g.setBlockMode(false);
    resetRowCells(row);

    // The hidden columns: marked as one block and hidden together.
    m_bom->SelBlock(g, bomcol::ItemID);
    g.setBlockMode(true);
    g.setColHidden(true);
    g.setBlockMode(false);

    // Every column but the remark is emptied.
    const int first = row == -1 ? 1 : row;
    const int last = row == -1 ? g.MaxRows() : row;
    for (int r = first; r <= last; ++r) {
        for (int col = 1; col <= bomcol::Count; ++col) {
            if (col != bomcol::Remark)
                g.SetText(col, r, QString());
        }
    }
    g.setBlockMode(blockMode);
}

void FrmBom::RewriteItemCode(int row)
{
    m_grid->SetText(bomcol::ItemNumber, row, m_grid->text(bomcol::ItemNumber, row));
}

void FrmBom::InsertGridRow()
{
    const int row = m_grid->ActiveRow();
    const int col = m_grid->ActiveCol();
    m_grid->InsertRows(row, 1);
    // The cursor stays on the new empty row; the line it stood on moved down.
    m_grid->setActiveCell(col, row);
}

void FrmBom::DeleteGridRow()
{
    QAction *deleteRow = button(QStringLiteral("DeleteRow"));
    if (m_grid->ActiveRow() == m_grid->MaxRows() || m_grid->MaxRows() == 1) {
        deleteRow->setVisible(false);
        return;
    }
    deleteRow->setVisible(true);
    setModified();
    m_grid->DeleteRows(m_grid->ActiveRow(), 1);
}

void FrmBom::vasSubItem_LeaveCell(int col, int row, int newCol, int newRow, bool &cancel)
{
    if (m_inGridHandler)
        return;
    HandlerGuard guard(m_inGridHandler);
    GridModel &g = *m_grid;

    if (newCol == bomcol::Qty && newRow >= 1 && newRow <= g.MaxRows()) {
        if (Val(g.text(bomcol::Qty, newRow)) == 0)
            g.SetText(bomcol::Qty, newRow, QStringLiteral("1"));
    } else if (col == bomcol::Qty && row >= 1) {
        const bool isLine = !Trim(g.text(bomcol::ReplaceClassName, row)).isEmpty()
            || !Trim(g.text(bomcol::ItemNumber, row)).isEmpty();
        if (isLine && row == g.MaxRows()) {
            g.setMaxRows(g.MaxRows() + 1);
            ResetGridRow(g.MaxRows());
        }
    }

    if (row < 1 || row > g.MaxRows())
        return;
    switch (col) {
    case bomcol::ItemNumber:
        leaveItemCode(row, cancel);
        break;
    case bomcol::Unit:
        leaveUnit(row);
        break;
    case bomcol::ReplaceClassName:
        leaveReplaceClass(row);
        break;
    case bomcol::AuxProp:
        leaveAuxProp(row);
        break;
    default:
        break;
    }
}

void FrmBom::leaveItemCode(int row, bool &cancel)
{
    GridModel &g = *m_grid;
    const QString replaceClass = Trim(g.text(bomcol::ReplaceClassName, row));
    const QString code = Trim(g.text(bomcol::ItemNumber, row));
    if (replaceClass.isEmpty() && code.isEmpty()) {
        ResetGridRow(row);
        return;
    }
    if (code.isEmpty())
        return;
    if (code == Trim(g.text(bomcol::ItemNumberCopy, row))) {
        lockCell(bomcol::ReplaceClassName, row, true);
        return;
    }

    RecordsetPtr item = m_bom->GetInfo(lookupkey::itemByNumberOrShort(code));
    if (!item) {
        MsgBox(editortext::kItemNotFound, mb::Information);
        RewriteItemCode(row);
        return;
    }
    const int32_t itemId = fieldId(*item, "FItemID");
    if (itemId == m_bom->ItemID) {
        MsgBox(editortext::kChildIsParent, mb::Information);
        RewriteItemCode(row);
        cancel = true;
        return;
    }
    if (fieldId(*item, "FIsBOM") == 1) {
        MsgBox(editortext::kChildIsAssembly, mb::Information);
        RewriteItemCode(row);
        cancel = true;
        return;
    }
    for (int r = 1; r <= g.MaxRows(); ++r) {
        if (r != row && cellId(g, bomcol::ItemID, r) == itemId) {
            MsgBox(editortext::kChildDuplicate, mb::Information);
            RewriteItemCode(row);
            cancel = true;
            return;
        }
    }

    // The unit first: an item whose unit cannot be read leaves the row as it was.
    const int32_t baseUnitId = fieldId(*item, "FBaseUnitID");
    pick::UnitText unit;
    try {
        unit = pick::readUnit(*m_bom, lookupkey::unitByBaseUnit(baseUnitId, false));
    } catch (const ComError &error) {
        MsgBox(editortext::kGridReadError + error.description(), mb::Information);
        return;
    }

    // Another item on this row: its auxiliary property belonged to the old one.
    if (cellId(g, bomcol::ItemID, row) != itemId) {
        for (int col : {bomcol::AuxProp, bomcol::AuxPropID, bomcol::AuxPropCopy})
            g.SetText(col, row, QString());
    }
    g.SetText(bomcol::ItemID, row, idText(itemId));
    const QString number = fieldText(*item, "FItemNumber");
    g.SetText(bomcol::ItemNumber, row, number);
    g.SetText(bomcol::ItemNumberCopy, row, number);
    g.SetText(bomcol::ItemName, row, fieldText(*item, "FItemName"));
    g.SetText(bomcol::Model, row, fieldText(*item, "FModel"));
    g.SetText(bomcol::Unit, row, unit.name);
    g.SetText(bomcol::UnitCopy, row, unit.name);
    g.SetText(bomcol::UnitGroupID, row, idText(fieldId(*item, "FUnitGroupID")));
    g.SetText(bomcol::UnitID, row, idText(baseUnitId));
    const int32_t auxClassId = fieldId(*item, "FAuxClassID");
    g.SetText(bomcol::AuxClassID, row, idText(auxClassId));
    formatAuxPropCell(row, auxClassId);
    g.setCol(bomcol::Qty);
    g.setRow(row);
    g.setTypeFloatDecimalPlaces(fieldId(*item, "FQtyScale"));
    lockCell(bomcol::ReplaceClassName, row, true);
}

void FrmBom::leaveUnit(int row)
{
    GridModel &g = *m_grid;
    const QString unit = Trim(g.text(bomcol::Unit, row));
    if (unit.isEmpty() && !Trim(g.text(bomcol::ItemNumber, row)).isEmpty()) {
        g.SetText(bomcol::UnitID, row, QStringLiteral("0"));
        return;
    }
    if (unit == Trim(g.text(bomcol::UnitCopy, row)))
        return;
    RecordsetPtr rs = m_bom->GetUnitInfo(lookupkey::unitByNumber(unit, cellId(g, bomcol::UnitGroupID, row)));
    if (!rs || rs->Eof()) {
        MsgBox(editortext::kUnitNotFound, mb::Information);
        g.SetText(bomcol::UnitID, row, QStringLiteral("0"));
        return;
    }
    g.SetText(bomcol::UnitID, row, idText(fieldId(*rs, "FMeasureUnitID")));
    const QString name = fieldText(*rs, "FName");
    g.SetText(bomcol::Unit, row, name);
    g.SetText(bomcol::UnitCopy, row, name);
}

void FrmBom::leaveReplaceClass(int row)
{
    GridModel &g = *m_grid;
    const QString replaceClass = Trim(g.text(bomcol::ReplaceClassName, row));
    if (replaceClass.isEmpty()) {
        if (Trim(g.text(bomcol::ItemNumber, row)).isEmpty())
            ResetGridRow(row);
        return;
    }
    if (replaceClass != Trim(g.text(bomcol::ReplaceClassNameCopy, row))) {
        RecordsetPtr rs = m_bom->GetReplaceClassInfo(lookupkey::replaceClassByNumber(replaceClass));
        if (rs && !rs->Eof()) {
            g.SetText(bomcol::ReplaceClassID, row, idText(fieldId(*rs, "FSysTypeID")));
            const QString name = fieldText(*rs, "FName");
            g.SetText(bomcol::ReplaceClassName, row, name);
            g.SetText(bomcol::ReplaceClassNameCopy, row, name);
        } else {
            MsgBox(editortext::kClassNotFound, mb::Information);
            g.SetText(bomcol::ReplaceClassID, row, QStringLiteral("0"));
        }
    }
    for (int col = bomcol::ItemNumber; col <= bomcol::Unit; ++col)
        lockCell(col, row, true);
}

void FrmBom::leaveAuxProp(int row)
{
    GridModel &g = *m_grid;
    const QString text = Trim(g.text(bomcol::AuxProp, row));
    if (text.isEmpty()) {
        g.SetText(bomcol::AuxPropID, row, QStringLiteral("0"));
        g.SetText(bomcol::AuxProp, row, QString());
        g.SetText(bomcol::AuxPropCopy, row, QString());
        return;
    }
    if (text == Trim(g.text(bomcol::AuxPropCopy, row)))
        return;
    RecordsetPtr rs =
        m_bom->GetAuxPropInfo(lookupkey::auxPropByNumber(text, cellId(g, bomcol::AuxClassID, row), true));
    if (!rs || rs->Eof()) {
        MsgBox(editortext::kAuxPropNotFound, mb::Information);
        g.SetText(bomcol::AuxPropID, row, QStringLiteral("0"));
        return;
    }
    g.SetText(bomcol::AuxPropID, row, idText(fieldId(*rs, "FItemID")));
    const QString name = fieldText(*rs, "FName");
    g.SetText(bomcol::AuxProp, row, name);
    g.SetText(bomcol::AuxPropCopy, row, name);
}

void FrmBom::vasSubItem_KeyDown(int keyCode, Qt::KeyboardModifiers)
{
    // The item and unit pick lists hold the hourglass until the handler
    // ends, through the checks and boxes that follow them.
    std::optional<WaitCursor> wait;
    const int activeCol = m_grid->ActiveCol();
    if (keyCode == Qt::Key_F7 && (activeCol == bomcol::ItemNumber || activeCol == bomcol::Unit))
        wait.emplace();
    bool finished = true;
    {
        HandlerGuard guard(m_inGridHandler);
        try {
            if (keyCode == Qt::Key_F7)
                finished = gridLookup(m_grid->ActiveCol(), m_grid->ActiveRow());
        } catch (const ComError &error) {
            MsgBox(editortext::kGridReadError + error.description(), mb::Information);
            return;
        }
    }
    // Every key handled in the grid counts as an edit, except a rejected pick.
    if (finished)
        setModified();
}

bool FrmBom::gridLookup(int col, int row)
{
    GridModel &g = *m_grid;
    // A locked cell takes nothing, from the keyboard or from a pick list.
    if (row < 1 || row > g.MaxRows() || g.isLocked(col, row))
        return true;

    switch (col) {
    case bomcol::ItemNumber: {
        const std::optional<pick::PickedRow> picked = pick::pickItem(QStringLiteral(" X2.FIsBOM=0 "), false);
        if (!picked)
            return true;
        if (picked->itemId == m_bom->ItemID) {
            MsgBox(editortext::kPickedIsParent, mb::Information);
            RewriteItemCode(row);
            return false;
        }
        for (int r = 1; r <= g.MaxRows(); ++r) {
            if (!g.text(bomcol::ItemID, r).isEmpty() && cellId(g, bomcol::ItemID, r) == picked->itemId) {
                MsgBox(editortext::kPickedDuplicate, mb::Information);
                RewriteItemCode(row);
                return false;
            }
        }
        // The unit before anything changes: a read error leaves the row as it was.
        const int32_t baseUnitId = picked->idProperty(QStringLiteral("FBaseUnitID"));
        const pick::UnitText unit = pick::readUnit(*m_bom, lookupkey::unitByBaseUnit(baseUnitId, true));
        setModified();
        if (cellId(g, bomcol::ItemID, row) != picked->itemId) {
            for (int c : {bomcol::AuxProp, bomcol::AuxPropID, bomcol::AuxPropCopy})
                g.SetText(c, row, QString());
        }
        g.SetText(bomcol::ItemID, row, idText(picked->itemId));
        g.SetText(bomcol::ItemNumber, row, picked->number);
        g.SetText(bomcol::ItemName, row, picked->name);
        g.SetText(bomcol::ItemNumberCopy, row, picked->number);
        g.SetText(bomcol::Model, row, picked->textProperty(QStringLiteral("FModel")));
        g.SetText(bomcol::Unit, row, unit.name);
        g.SetText(bomcol::UnitCopy, row, unit.name);
        g.SetText(bomcol::UnitID, row, idText(baseUnitId));
        g.SetText(bomcol::UnitGroupID, row, idText(picked->idProperty(QStringLiteral("FUnitGroupID"))));
        const int32_t auxClassId = picked->idProperty(QStringLiteral("FAuxClassID"));
        g.SetText(bomcol::AuxClassID, row, idText(auxClassId));
        formatAuxPropCell(row, auxClassId);
        g.setCol(bomcol::Qty);
        g.setRow(row);
        g.setTypeFloatDecimalPlaces(picked->idProperty(QStringLiteral("FQtyScale")));
        return true;
    }
    case bomcol::ReplaceClassName: {
        const std::optional<pick::BaseFindChoice> choice = pick::pickBase(
            {{QStringLiteral("ItemClass"), Variant(int32_t(-480))}, {QStringLiteral("OnlyDetail"), Variant(true)}},
            false);
        if (choice) {
            const QString name = Trim(choice->name);
            g.SetText(bomcol::ReplaceClassName, row, name);
            g.SetText(bomcol::ReplaceClassID, row, idText(choice->innerId));
            g.SetText(bomcol::ReplaceClassNameCopy, row, name);
        }
        return true;
    }
    case bomcol::AuxProp: {
        if (cellId(g, bomcol::AuxClassID, row) <= 0)
            return true;
        const std::optional<pick::BaseFindChoice> choice =
            pick::pickBase({{QStringLiteral("ItemClass"), Variant(int32_t(4))},
                              {QStringLiteral("ItemID"), Variant(cellId(g, bomcol::ItemID, row))},
                              {QStringLiteral("AuxFilter"), Variant(int32_t(1))},
                              {QStringLiteral("OnlyDetail"), Variant(true)}},
                             false);
        if (choice) {
            const QString name = Trim(choice->name);
            g.SetText(bomcol::AuxProp, row, name);
            g.SetText(bomcol::AuxPropID, row, idText(choice->innerId));
            g.SetText(bomcol::AuxPropCopy, row, name);
        }
        return true;
    }
    case bomcol::Unit: {
        const int32_t unitGroupId = cellId(g, bomcol::UnitGroupID, row);
        if (unitGroupId <= 0)
            return true;
        const std::optional<pick::PickedRow> picked = pick::pickUnit(Variant(unitGroupId));
        if (picked) {
            g.SetText(bomcol::Unit, row, picked->name);
            g.SetText(bomcol::UnitID, row, idText(picked->measureUnitId));
            g.SetText(bomcol::UnitCopy, row, picked->name);
        }
        return true;
    }
    default:
        return true;
    }
}

} // namespace torvel
