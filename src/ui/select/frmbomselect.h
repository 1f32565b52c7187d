#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace torvel {

// Adds frmBOMSelect to the dialog seam.
void registerBomSelect();

// The BOM selection dialog: the BOMs in use of the call state's gItemID, in
// id order, the first one selected. Opened by BomInfo.SelectBom; confirming
// leaves the chosen id in gBomID and sets gReturnOK.
class FrmBOMSelect : public QDialog
{
    Q_OBJECT

public:
    explicit FrmBOMSelect(QWidget *parent = nullptr);

private:
    void Form_Load();
    // OK and a double click on an entry.
    void btnOK_Click();

    QLabel *Label1 = nullptr;
    QListWidget *ListBOM = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;
};

} // namespace torvel
