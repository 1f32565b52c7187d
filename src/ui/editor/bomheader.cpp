// frmBom: the header fields, their F7 lookups and their validation.

#include "ui/editor/frmbom.h"

#include "bomdata/bom.h"
#include "state/callstate.h"
#include "services/com/comerror.h"
#include "services/com/connectionobject.h"
#include "services/com/dispatch.h"
#include "services/text/helpers.h"
#include "services/screen/messagebox.h"
#include "services/screen/waitcursor.h"
#include "ui/editor/bomeditorlogic.h"
#include "ui/lookups/pickcalls.h"
#include "bomdata/gridmodel.h"

#include <QComboBox>
#include <QLineEdit>

namespace torvel {

using pick::BaseFindChoice;
using pick::PickedRow;
using pick::UnitText;
using pick::pickBase;
using pick::pickItem;
using pick::readUnit;

void FrmBom::TxtBomNumber_Validate(bool &)
{
    if (TxtBomNumber->text() != m_bom->BomNumber) {
        m_bom->BomNumber = TxtBomNumber->text();
        setModified();
    }
}

void FrmBom::TxtBomName_Validate(bool &)
{
    if (TxtBomName->text() != m_bom->BomName) {
        m_bom->BomName = TxtBomName->text();
        setModified();
    }
}

void FrmBom::cboStatus_Click()
{
    setModified();
}

void FrmBom::TxtNumber_KeyDown(int keyCode)
{
    if (keyCode != 118)
        return;
    // Held until the handler ends, its error box included.
    WaitCursor wait;
    try {
        const std::optional<PickedRow> picked = pickItem(QStringLiteral(" X2.FIsBOM=1 "), true);
        if (!picked)
            return;
        // The unit first: an item whose unit cannot be read changes nothing.
        const int32_t baseUnitId = picked->idProperty(QStringLiteral("FBaseUnitID"));
        const UnitText unit = readUnit(*m_bom, lookupkey::unitByBaseUnit(baseUnitId, false));
        TxtNumber->setText(picked->number);
        TxtName->setText(picked->textProperty(QStringLiteral("FName")));
        m_bom->ItemID = picked->itemId;
        m_bom->ItemName = TxtName->text();
        m_bom->ItemNumber = TxtNumber->text();
        m_bom->GroupID = gGroupID;
        m_bom->MeasureUnitID = baseUnitId;
        m_bom->AuxClassID = picked->idProperty(QStringLiteral("FAuxClassID"));
        m_bom->UnitGroupID = picked->idProperty(QStringLiteral("FUnitGroupID"));
        TxtModel->setText(picked->textProperty(QStringLiteral("FModel")));
        m_bom->MeasureUnitNumber = unit.number;
        m_bom->MeasureUnit = unit.name;
        TxtUnit->setText(m_bom->MeasureUnit);
        setModified();
    } catch (const ComError &error) {
        MsgBox(editortext::kHeaderReadError + error.description(), mb::Exclamation);
    }
}

void FrmBom::TxtNumber_Validate(bool &cancel)
{
    const QString number = Trim(TxtNumber->text());
    if (number.isEmpty() || number == m_bom->ItemNumber)
        return;
    try {
        RecordsetPtr item = m_bom->GetInfo(lookupkey::itemByNumber(number));
        if (!item) {
            MsgBox(editortext::kItemNotFound, mb::Information);
            cancel = true;
            return;
        }
        if (Val(NullToValue(item->Fields(QStringLiteral("FIsBOM")), int32_t(0)).toString()) == 0) {
            MsgBox(editortext::kItemNotAssembly, mb::Information);
            cancel = true;
            return;
        }
        const int32_t itemId = NullToValue(item->Fields(QStringLiteral("FItemID")), int32_t(0)).toInt32();
        for (int row = 1; row <= m_grid->MaxRows(); ++row) {
            if (cellId(*m_grid, bomcol::ItemID, row) == itemId) {
                MsgBox(editortext::kItemIsChild, mb::Information);
                // The earlier item stays the BOM's; the edits made so far
                // keep their claim to be saved.
                if (m_bom->ItemID != 0)
                    TxtNumber->setText(m_bom->ItemNumber);
                cancel = true;
                return;
            }
        }

        auto text = [&item](const char *field) {
            return Trim(NullToValue(item->Fields(QString::fromLatin1(field)), QString()).toString());
        };
        auto id = [&item](const char *field) {
            return NullToValue(item->Fields(QString::fromLatin1(field)), int32_t(0)).toInt32();
        };
        const int32_t baseUnitId = id("FBaseUnitID");
        const UnitText unit = readUnit(*m_bom, lookupkey::unitById(baseUnitId));
        TxtName->setText(text("FItemName"));
        TxtModel->setText(text("FModel"));
        TxtUnit->setText(unit.name);

        m_bom->ItemID = itemId;
        m_bom->ItemNumber = TxtNumber->text();
        m_bom->ItemName = TxtName->text();
        m_bom->AuxClassID = id("FAuxClassID");
        m_bom->UnitGroupID = id("FUnitGroupID");
        m_bom->MeasureUnitID = baseUnitId;
        m_bom->MeasureUnit = TxtUnit->text();
        m_bom->MeasureUnitNumber = unit.number;
        m_bom->Model = TxtModel->text();
        setModified();
    } catch (const ComError &error) {
        MsgBox(editortext::kHeaderReadError + error.description(), mb::Information);
    }
}

void FrmBom::TxtAuxProp_KeyDown(int keyCode)
{
    if (keyCode != 118 || m_bom->ItemID <= 0)
        return;
    try {
        const std::optional<BaseFindChoice> choice =
            pickBase({{QStringLiteral("ItemID"), Variant(m_bom->ItemID)},
                      {QStringLiteral("ItemClass"), Variant(int32_t(4))},
                      {QStringLiteral("AuxFilter"), Variant(int32_t(1))},
                      {QStringLiteral("OnlyDetail"), Variant(true)}},
                     true);
        if (!choice)
            return;
        TxtAuxProp->setText(Trim(choice->name));
        m_bom->AuxPropID = choice->innerId;
        m_bom->AuxPropNumber = choice->code;
        m_bom->AuxProp = TxtAuxProp->text();
        setModified();
    } catch (const ComError &error) {
        MsgBox(editortext::kHeaderReadError + error.description(), mb::Exclamation);
    }
}

void FrmBom::TxtAuxProp_Validate(bool &cancel)
{
    const QString text = Trim(TxtAuxProp->text());
    if (text.isEmpty())
        return;
    if (text == m_bom->AuxProp || text == m_bom->AuxPropNumber) {
        // A typed code of the property already chosen reads as its name.
        TxtAuxProp->setText(m_bom->AuxProp);
        return;
    }
    RecordsetPtr rs = m_bom->GetAuxPropInfo(lookupkey::auxPropByNumber(text, m_bom->AuxClassID, false));
    if (!rs || rs->Eof()) {
        MsgBox(editortext::kAuxPropNotFound, mb::Information);
        cancel = true;
        return;
    }
    TxtAuxProp->setText(Trim(NullToValue(rs->Fields(QStringLiteral("FName")), QString()).toString()));
    m_bom->AuxPropID = NullToValue(rs->Fields(QStringLiteral("FItemID")), int32_t(0)).toInt32();
    m_bom->AuxProp = TxtAuxProp->text();
    m_bom->AuxPropNumber = Trim(NullToValue(rs->Fields(QStringLiteral("FNumber")), QString()).toString());
    setModified();
}

} // namespace torvel
