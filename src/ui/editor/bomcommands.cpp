// frmBom: the toolbar commands, navigation in the group, the checks before a
// save and what the dialog leaves in the call state.

#include "ui/editor/frmbom.h"

#include "bomdata/bom.h"
#include "state/callstate.h"
#include "services/com/comerror.h"
#include "services/text/helpers.h"
#include "services/screen/messagebox.h"
#include "services/screen/waitcursor.h"
#include "ui/editor/bomeditorlogic.h"
#include "bomdata/gridmodel.h"
#include "ui/grid/gridview.h"

#include <QComboBox>
#include <QLineEdit>

#include <algorithm>
#include <vector>

namespace torvel {

void FrmBom::Toolbar1_ButtonClick(const QString &key)
{
    WaitCursor wait;
    guarded([&] {
        if (key == QLatin1String("New")) {
            if (commitFocus())
                commandNew();
        } else if (key == QLatin1String("Save")) {
            if (commitFocus())
                commandSave();
        } else if (key == QLatin1String("Exit")) {
            if (commitFocus())
                commandExit();
        } else if (key == QLatin1String("Fr") || key == QLatin1String("Pr") || key == QLatin1String("Ne")
                   || key == QLatin1String("La")) {
            MoveToBom(key);
        } else if (key == QLatin1String("AddRow")) {
            // Rows are no leave of the cell: its code is checked when it is left.
            if (gridHasFocus())
                InsertGridRow();
        } else if (key == QLatin1String("DeleteRow")) {
            if (gridHasFocus())
                DeleteGridRow();
        }
    });
}

bool FrmBom::SaveBom()
{
    if (m_incomplete)
        return false;
    try {
        if (gBomID >= 1)
            return m_bom->Update(*m_grid, 0);
        if (!m_bom->Add(*m_grid))
            return false;
        gBomID = m_bom->BomID;
        return true;
    } catch (const ComError &error) {
        // The data layer lets the rights check's error through; nothing of
        // this save may stay behind.
        try {
            Connection &cnn = callConnection();
            if (cnn.inTransaction())
                cnn.RollbackTrans();
        } catch (const ComError &) {
        }
        ShowErrorBox(error.description());
        return false;
    }
}

void FrmBom::commandSave()
{
    if (!m_modified)
        return;
    bool cancel = false;
    ValidateBom(cancel);
    if (cancel)
        return;
    // A save the data layer refused stays pending: "Save" stays offered and
    // the host is not told of a BOM that was not written.
    if (!SaveBom())
        return;
    enableSave(false);
    gReturnOK = true;
    clearModified();
}

void FrmBom::commandNew()
{
    if (m_modified && MsgBox(editortext::kAskSave, mb::OKCancel | mb::Information) == mb::OK) {
        bool cancel = false;
        ValidateBom(cancel);
        if (!cancel && SaveBom()) {
            enableSave(false);
            clearModified();
            gReturnOK = true;
        }
    }
    // Edits dropped here without a save still count as pending, so the next
    // "New" or "Exit" asks again.
    gBomID = 0;
    gItemID = 0;
    m_bom = std::make_unique<BOM>();
    m_bom->GroupID = gGroupID;
    m_incomplete = false;
    ClearForm();
}

void FrmBom::commandExit()
{
    if (m_modified && MsgBox(editortext::kAskSave, mb::OKCancel | mb::Information) == mb::OK) {
        bool cancel = false;
        ValidateBom(cancel);
        if (!cancel && SaveBom()) {
            enableSave(false);
            clearModified();
            gReturnOK = true;
        }
    }
    hide();
}

void FrmBom::MoveToBom(const QString &key)
{
    Connection &cnn = callConnection();
    RecordsetPtr shown = cnn.Execute(QStringLiteral("SELECT * FROM COM_BOM WHERE FBOMID=") + sqlNumber(gBomID));
    if (!shown)
        throw ComError(errc::ObjectRequired, QStringLiteral("TORVEL"), errtext::kNoRecordset);
    // A BOM whose header row is gone fails here, before anything changes.
    const int32_t groupId = roundToInt32(Val(NullToValue(shown->Fields(QStringLiteral("FBOMGroupID")), int32_t(0)).toString()));

    RecordsetPtr group = cnn.Execute(QStringLiteral("SELECT * FROM COM_BOM WHERE FBOMGroupID=") + sqlNumber(groupId));
    // The group in id order, so that moving through it does not depend on
    // where the database happens to keep rows it rewrote.
    std::vector<int32_t> ids;
    if (group) {
        for (group->MoveFirst(); !group->Eof(); group->MoveNext())
            ids.push_back(NullToValue(group->Fields(QStringLiteral("FBOMID")), int32_t(0)).toInt32());
    }
    std::sort(ids.begin(), ids.end());

    if (!ids.empty()) {
        const auto current = std::find(ids.begin(), ids.end(), gBomID);
        if (key == QLatin1String("Fr")) {
            gBomID = ids.front();
        } else if (key == QLatin1String("La")) {
            gBomID = ids.back();
        } else if (key == QLatin1String("Pr")) {
            if (current != ids.end() && current != ids.begin())
                gBomID = *(current - 1);
        } else if (key == QLatin1String("Ne")) {
            if (current != ids.end() && current + 1 != ids.end())
                gBomID = *(current + 1);
        }
    }

    ClearForm();
    LoadBom();
    ShowBomHeader();
    clearModified();
}

void FrmBom::ValidateBom(bool &cancel)
{
    using Target = editor::SaveCheckFailure::Target;
    cancel = true;

    auto sendTo = [this](const editor::SaveCheckFailure &failure) {
        MsgBox(failure.message, mb::Information);
        switch (failure.target) {
        case Target::BomNumber:
            TxtBomNumber->setFocus();
            TxtBomNumber->selectAll();
            break;
        case Target::BomName:
            TxtBomName->setFocus();
            TxtBomName->selectAll();
            break;
        case Target::GridCell:
            m_grid->setActiveCell(failure.col, failure.row);
            vasSubItem->setFocus();
            break;
        case Target::None:
            break;
        }
    };

    if (auto failure = editor::checkHeaderForSave(*m_bom, gBomID < 1, callConnection())) {
        sendTo(*failure);
        return;
    }
    m_bom->GroupID = gGroupID;
    m_bom->Status = int16_t(cboStatus->currentIndex() == 1 ? 1 : 0);
    if (auto failure = editor::checkLinesForSave(*m_grid)) {
        sendTo(*failure);
        return;
    }
    cancel = false;
}

} // namespace torvel
