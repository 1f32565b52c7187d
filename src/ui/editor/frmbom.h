#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTimer;
class QToolBar;
class QKeyEvent;
class QMouseEvent;

namespace torvel {

// Adds frmBom to the dialog seam.
void registerBomEditor();

class BOM;
class GridModel;
class GridView;

// The BOM editor: one BOM's header and child lines, the commands that save
// it and move through the BOMs of its group. Opened by BomInfo.Show; reads
// and leaves the call state (gBomID, gGroupID, gItemID, gReturnOK).
//
// Every control carries its name as objectName; each toolbar button (and its
// action) carries its key. Handlers are named after the control and event
// they serve; none lets an exception escape into Qt.
class FrmBom : public QDialog
{
    Q_OBJECT

public:
    explicit FrmBom(QWidget *parent = nullptr);
    ~FrmBom() override;

    // The dialog's own state, as the commands see it.
    bool isModified() const { return m_modified; }
    // The BOM shown did not load whole: it is shown but cannot be saved.
    bool isIncomplete() const { return m_incomplete; }
    BOM &bom() { return *m_bom; }
    GridModel &grid() { return *m_grid; }

public Q_SLOTS:
    // Keeps "DeleteRow" current; run by Timer1 every 300 ms.
    void Timer1_Timer();
    // A toolbar command by its key.
    void Toolbar1_ButtonClick(const QString &key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    // Form and opening (bomform.cpp).
    void buildForm();
    void buildToolbar();
    void buildGrid();
    void InitForm();
    void LoadBom();
    void ShowBomHeader();
    void ClearForm();
    void setModified();
    void clearModified();
    void enableSave(bool enabled);
    QAction *button(const QString &key) const;
    bool gridHasFocus() const;
    bool keyPreview(QWidget *target, QKeyEvent *event);
    bool isValidatedField(const QWidget *widget) const;
    // Runs the validate handler of a header field; false when it cancels.
    bool validateField(QWidget *field);
    // Validation of a field that the mouse or an accelerator left.
    void validateLeftField(QWidget *field);
    // A click on the window, before the focus moves: false when the header
    // field that has the focus refused to be left.
    bool clickMayProceed(const QMouseEvent *event);
    // Settles the control that has the focus before a command runs, as
    // leaving it would; false when it refuses to be left.
    bool commitFocus();
    // Runs a handler; an unexpected error becomes a box and the dialog stays.
    void guarded(const std::function<void()> &handler) noexcept;

    // Header fields (bomheader.cpp).
    void TxtBomNumber_Validate(bool &cancel);
    void TxtBomName_Validate(bool &cancel);
    void TxtNumber_KeyDown(int keyCode);
    void TxtNumber_Validate(bool &cancel);
    void TxtAuxProp_KeyDown(int keyCode);
    void TxtAuxProp_Validate(bool &cancel);
    void cboStatus_Click();

    // Child grid (bomgrid.cpp).
    void setupGridColumns();
    void ResetGridRow(int row);
    void resetRowCells(int row);
    void RewriteItemCode(int row);
    void InsertGridRow();
    void DeleteGridRow();
    void lockCell(int col, int row, bool locked);
    void formatAuxPropCell(int row, int auxClassId);
    void vasSubItem_LeaveCell(int col, int row, int newCol, int newRow, bool &cancel);
    void leaveItemCode(int row, bool &cancel);
    void leaveUnit(int row);
    void leaveReplaceClass(int row);
    void leaveAuxProp(int row);
    // keyCode is a Qt::Key; F7 opens the pick list of the active column.
    void vasSubItem_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    // F7 in the grid; false when a chosen child item was rejected.
    bool gridLookup(int col, int row);

    // Commands (bomcommands.cpp).
    void commandNew();
    void commandSave();
    void commandExit();
    void MoveToBom(const QString &key);
    void ValidateBom(bool &cancel);
    // Add or Update by gBomID; true when the data layer reports success.
    bool SaveBom();

    std::unique_ptr<BOM> m_bom;
    GridModel *m_grid = nullptr;
    bool m_modified = false;
    bool m_incomplete = false;
    bool m_inGridHandler = false;   // a grid handler runs; nested leave-cell events are ignored
    bool m_validating = false;

    QToolBar *Toolbar1 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLineEdit *TxtBomNumber = nullptr;
    QLineEdit *TxtBomName = nullptr;
    QComboBox *cboStatus = nullptr;
    QLineEdit *TxtNumber = nullptr;
    QLineEdit *TxtName = nullptr;
    QLineEdit *TxtModel = nullptr;
    QLineEdit *TxtAuxProp = nullptr;
    QLineEdit *TxtUnit = nullptr;
    GridView *vasSubItem = nullptr;
    QTimer *Timer1 = nullptr;
};

} // namespace torvel
