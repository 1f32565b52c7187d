#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

namespace torvel {

// Adds frmBOMGroup to the dialog seam.
void registerBomGroup();

// The BOM group editor: a new group under gParentID (gGroupInterID 0 or
// less) or an existing group's number and name. Opened by BOMGroupInfo.Show;
// a save leaves gGroupInterID, gGroupNumber, gGroupName and gReturnOK.
class FrmBOMGroup : public QDialog
{
    Q_OBJECT

public:
    explicit FrmBOMGroup(QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void Form_Load();
    void LoadTexts();
    void btnOK_Click();

    QLineEdit *TxtNumber = nullptr;
    QLineEdit *TxtName = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;
    // The text boxes' tags: number and name as loaded.
    QString m_numberTag;
    QString m_nameTag;
};

} // namespace torvel
