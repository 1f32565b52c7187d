// frmBOMComplete: the grid vasItem: F7 per column, resolving typed codes when
// a cell is left, clearing a row, the lock of the auxiliary property.

#include "ui/complete/frmbomcomplete.h"

#include "bomdata/bom.h"
#include "bomdata/gridmodel.h"
#include "bomdata/lookupkeys.h"
#include "services/com/comerror.h"
#include "services/com/dispatch.h"
#include "services/screen/messagebox.h"
#include "services/screen/waitcursor.h"
#include "services/text/helpers.h"
#include "state/callstate.h"
#include "ui/complete/notes.h"
#include "ui/grid/gridview.h"
#include "ui/lookups/pickcalls.h"

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

void FrmBomComplete::formatAuxPropCell(int row, int32_t auxClassId)
{
    m_grid->setCol(notecol::AuxProp);
    m_grid->setRow(row);
    if (auxClassId <= 0) {
        m_grid->setLock(true);
        m_grid->setLockBackColor(kLockYellow);
    } else {
        m_grid->setLock(false);
        m_grid->setBackColor(kWhite);
    }
}

void FrmBomComplete::ClearRow(int row)
{
    for (int col = notecol::ItemName; col <= notecol::UnitCopy; ++col)
        m_grid->SetText(col, row, QString());
    formatAuxPropCell(row, 1);
}

void FrmBomComplete::vasItem_KeyDown(int keyCode, Qt::KeyboardModifiers)
{
    try {
        // Created at every key press, as the pick list was: without it no
        // key in the grid gets anywhere.
        ObjectPtr lookup = CreateObject(QStringLiteral("PickView.GLView"));
        bool accepted = true;
        if (keyCode == Qt::Key_F7)
            accepted = lookupActiveCell(m_grid->ActiveCol(), m_grid->ActiveRow(), lookup);
        // Every key counts as an edit, except an item choice that was refused.
        if (accepted)
            m_changed = true;
    } catch (const ComError &e) {
        MsgBox(completetext::kGridReadError + e.description(), mb::Information);
    }
}

bool FrmBomComplete::lookupActiveCell(int col, int row, const ObjectPtr &lookup)
{
    GridModel &g = *m_grid;
    if (row < 1 || row > g.MaxRows())
        return true;
    switch (col) {
    case notecol::ItemNumber: {
        WaitCursor wait;
        const std::optional<pick::PickedRow> picked =
            pick::pickItem(QStringLiteral(" X2.FReplaceClassID=") + g.text(notecol::ReplaceClassID, row), true,
                           g.text(notecol::ItemNumber, row), lookup);
        if (!picked)
            return true;
        if (picked->itemId == gItemID) {
            MsgBox(completetext::kPickedIsParent, mb::Information);
            return false;
        }
        for (int k = 1; k <= g.MaxRows(); ++k) {
            if (!Trim(g.text(notecol::ItemID, k)).isEmpty() && cellId(g, notecol::ItemID, k) == picked->itemId) {
                MsgBox(completetext::kPickedDuplicate, mb::Information);
                return false;
            }
        }
        g.SetText(notecol::ItemID, row, idText(picked->itemId));
        g.SetText(notecol::ItemNumber, row, picked->number);
        g.SetText(notecol::ItemName, row, picked->name);
        g.SetText(notecol::ItemNumberCopy, row, picked->number);
        g.SetText(notecol::Model, row, picked->textProperty(QStringLiteral("FModel")));
        const int32_t baseUnitId = picked->idProperty(QStringLiteral("FBaseUnitID"));
        const QString unit = pick::readUnit(*m_bom, lookupkey::unitByBaseUnit(baseUnitId, true)).name;
        g.SetText(notecol::Unit, row, unit);
        g.SetText(notecol::UnitCopy, row, unit);
        g.SetText(notecol::UnitID, row, idText(baseUnitId));
        g.SetText(notecol::UnitGroupID, row, idText(picked->idProperty(QStringLiteral("FUnitGroupID"))));
        const int32_t auxClassId = picked->idProperty(QStringLiteral("FAuxClassID"));
        g.SetText(notecol::AuxClassID, row, idText(auxClassId));
        // The property chosen for the previous item stays; OK asks for one
        // only when the new item takes one and none is set.
        formatAuxPropCell(row, auxClassId);
        return true;
    }
    case notecol::AuxProp: {
        if (Val(g.text(notecol::AuxClassID, row)) <= 0)
            return true;
        const std::optional<pick::BaseFindChoice> choice =
            pick::pickBase({{QStringLiteral("ItemClass"), Variant(int32_t(4))},
                            {QStringLiteral("ItemID"), Variant(Val(g.text(notecol::ItemID, row)))},
                            {QStringLiteral("AuxFilter"), Variant(int32_t(1))},
                            {QStringLiteral("OnlyDetail"), Variant(true)}},
                           false);
        if (choice) {
            const QString name = Trim(choice->name);
            g.SetText(notecol::AuxProp, row, name);
            g.SetText(notecol::AuxPropID, row, idText(choice->innerId));
            g.SetText(notecol::AuxPropCopy, row, name);
        }
        return true;
    }
    case notecol::Unit: {
        if (Val(g.text(notecol::UnitGroupID, row)) <= 0)
            return true;
        WaitCursor wait;
        if (const auto picked = pick::pickUnit(Variant(Val(g.text(notecol::UnitGroupID, row))), lookup)) {
            g.SetText(notecol::Unit, row, picked->name);
            g.SetText(notecol::UnitID, row, idText(picked->measureUnitId));
            g.SetText(notecol::UnitCopy, row, picked->name);
        }
        return true;
    }
    default:
        return true;
    }
}

void FrmBomComplete::vasItem_LeaveCell(int col, int row, int, int, bool &cancel)
{
    if (m_inLeaveCell)
        return;
    HandlerGuard guard(m_inLeaveCell);
    if (row < 1 || row > m_grid->MaxRows())
        return;
    try {
        if (col == notecol::ItemNumber)
            leaveItemCode(row, cancel);
        else if (col == notecol::Unit)
            leaveUnit(row, cancel);
        else if (col == notecol::AuxProp)
            leaveAuxProp(row, cancel);
    } catch (const ComError &e) {
        MsgBox(completetext::kGridReadError + e.description(), mb::Information);
    }
}

void FrmBomComplete::leaveItemCode(int row, bool &cancel)
{
    GridModel &g = *m_grid;
    const QString code = Trim(g.text(notecol::ItemNumber, row));
    if (code.isEmpty()) {
        ClearRow(row);
        return;
    }
    if (code == g.text(notecol::ItemNumberCopy, row))
        return;
    // Only items of the row's class, the shortest number first.
    RecordsetPtr item =
        m_bom->GetInfo(lookupkey::itemOfClassByNumberOrShort(code, cellId(g, notecol::ReplaceClassID, row)));
    if (!item) {
        MsgBox(completetext::kItemNotInClass, mb::Information);
        g.SetText(notecol::ItemID, row, QStringLiteral("0"));
        cancel = true;
        return;
    }
    const int32_t itemId = fieldId(*item, "FItemID");
    if (itemId == gItemID) {
        MsgBox(completetext::kChildIsParent, mb::Information);
        cancel = true;
        return;
    }
    for (int k = 1; k <= g.MaxRows(); ++k) {
        if (k != row && cellId(g, notecol::ItemID, k) == itemId) {
            MsgBox(completetext::kChildDuplicate, mb::Information);
            cancel = true;
            return;
        }
    }
    g.SetText(notecol::ItemID, row, idText(itemId));
    const QString number = fieldText(*item, "FItemNumber");
    g.SetText(notecol::ItemNumber, row, number);
    g.SetText(notecol::ItemName, row, fieldText(*item, "FItemName"));
    g.SetText(notecol::Model, row, fieldText(*item, "FModel"));
    g.SetText(notecol::ItemNumberCopy, row, number);
    const int32_t baseUnitId = fieldId(*item, "FBaseUnitID");
    const QString unit = pick::readUnit(*m_bom, lookupkey::unitByBaseUnit(baseUnitId, false)).name;
    g.SetText(notecol::Unit, row, unit);
    g.SetText(notecol::UnitCopy, row, unit);
    g.SetText(notecol::UnitGroupID, row, idText(fieldId(*item, "FUnitGroupID")));
    g.SetText(notecol::UnitID, row, idText(baseUnitId));
    const int32_t auxClassId = fieldId(*item, "FAuxClassID");
    g.SetText(notecol::AuxClassID, row, idText(auxClassId));
    formatAuxPropCell(row, auxClassId);
}

void FrmBomComplete::leaveUnit(int row, bool &cancel)
{
    GridModel &g = *m_grid;
    const QString unit = g.text(notecol::Unit, row);
    // An emptied unit is no unit: OK asks for one. The compare base goes
    // too, so typing the old unit again looks it up again.
    if (Trim(unit).isEmpty()) {
        g.SetText(notecol::UnitID, row, QStringLiteral("0"));
        g.SetText(notecol::UnitCopy, row, QString());
        return;
    }
    if (unit == g.text(notecol::UnitCopy, row))
        return;
    RecordsetPtr rs = m_bom->GetUnitInfo(lookupkey::unitByNumber(Trim(unit), cellId(g, notecol::UnitGroupID, row)));
    if (!rs || rs->Eof()) {
        MsgBox(completetext::kUnitNotFound, mb::Information);
        cancel = true;
        g.SetText(notecol::UnitID, row, QStringLiteral("0"));
        return;
    }
    g.SetText(notecol::UnitID, row, idText(fieldId(*rs, "FMeasureUnitID")));
    const QString name = fieldText(*rs, "FName");
    g.SetText(notecol::Unit, row, name);
    g.SetText(notecol::UnitCopy, row, name);
}

void FrmBomComplete::leaveAuxProp(int row, bool &cancel)
{
    GridModel &g = *m_grid;
    const QString aux = g.text(notecol::AuxProp, row);
    if (aux.isEmpty() && Val(g.text(notecol::AuxClassID, row)) != 0) {
        g.SetText(notecol::AuxPropID, row, QStringLiteral("0"));
        g.SetText(notecol::AuxPropCopy, row, QString());
        return;
    }
    if (Trim(aux).isEmpty() || aux == g.text(notecol::AuxPropCopy, row))
        return;
    RecordsetPtr rs =
        m_bom->GetAuxPropInfo(lookupkey::auxPropByNumber(Trim(aux), cellId(g, notecol::AuxClassID, row), true));
    if (!rs || rs->Eof()) {
        MsgBox(completetext::kAuxPropNotFound, mb::Information);
        g.SetText(notecol::AuxPropID, row, QStringLiteral("0"));
        cancel = true;
        return;
    }
    g.SetText(notecol::AuxPropID, row, idText(fieldId(*rs, "FItemID")));
    const QString name = fieldText(*rs, "FName");
    g.SetText(notecol::AuxProp, row, name);
    g.SetText(notecol::AuxPropCopy, row, name);
}

} // namespace torvel
