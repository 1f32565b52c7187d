#pragma once

#include "services/com/variant.h"

#include <QDialog>

#include <memory>

class QLabel;
class QPushButton;

namespace torvel {

// Adds frmBOMComplete to the dialog seam.
void registerCompleteDialog();

class BOM;
class GridModel;
class StoredBom;
class GridView;

// The per-bill completion of a BOM: the components of one document line,
// with a concrete item chosen for each substitute class, saved as the notes
// of a note id. Opened by BomInfo.CompleteBom; reads gBomID and gBomNoteID,
// leaves gBomNoteID (the id saved under), gItemID and gBomName.
//
// Every control carries its name as objectName. No handler lets an
// exception escape into Qt.
class FrmBomComplete : public QDialog
{
    Q_OBJECT

public:
    explicit FrmBomComplete(QWidget *parent = nullptr);
    ~FrmBomComplete() override;

    GridModel &grid() { return *m_grid; }
    bool isChanged() const { return m_changed; }

    void btnOK_Click();
    void btnCancel_Click();

private:
    void buildForm();
    void Form_Load();
    bool CheckNotes();
    bool SaveNotes();
    void ClearRow(int row);

    // The grid (completegrid.cpp).
    // keyCode is a Qt::Key; F7 opens the pick list of the active column.
    void vasItem_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    // F7 in the active cell with the key press's pick list; false when a
    // chosen item was rejected.
    bool lookupActiveCell(int col, int row, const ObjectPtr &lookup);
    void vasItem_LeaveCell(int col, int row, int newCol, int newRow, bool &cancel);
    void leaveItemCode(int row, bool &cancel);
    void leaveUnit(int row, bool &cancel);
    void leaveAuxProp(int row, bool &cancel);
    // Locks column 5 for an item without auxiliary class, unlocks it otherwise.
    void formatAuxPropCell(int row, int32_t auxClassId);

    std::unique_ptr<BOM> m_bom;
    // The notes as loaded or last saved, for the save to compare with.
    std::unique_ptr<StoredBom> m_stored;
    GridModel *m_grid = nullptr;
    bool m_changed = false;
    bool m_inLeaveCell = false;   // nested leave-cell events are ignored

    QLabel *lblBomChanged = nullptr;
    GridView *vasItem = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;
};

} // namespace torvel
