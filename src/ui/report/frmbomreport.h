#pragma once

#include "ui/report/reportdata.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class QTableView;

namespace torvel {

// frmBOMReport: one BOM's children with their stock per warehouse and the kit
// quantity the stock allows, read-only. Everything is loaded while the form
// is constructed; a loading error leaves the constructor, so the form is
// never shown and the error reaches the host.
class FrmBomReport : public QDialog
{
    Q_OBJECT

public:
    explicit FrmBomReport(QWidget *parent = nullptr);

    const BomReport &report() const { return m_report; }
    // The report as aligned text (torvel-host report --text).
    Q_INVOKABLE QString dialogText() const;

    QFrame *Frame1 = nullptr;
    QLabel *labNumber = nullptr;
    QLabel *LabNumberValue = nullptr;
    QLabel *LabName = nullptr;
    QLabel *LabNameValue = nullptr;
    QLabel *LabModel = nullptr;
    QLabel *LabModelValue = nullptr;
    QLabel *LabAuxProp = nullptr;
    QLabel *LabAuxPropValue = nullptr;
    QLabel *LabUnit = nullptr;
    QLabel *LabUnitValue = nullptr;
    QLabel *LabQty = nullptr;
    QLabel *LabQtyValue = nullptr;
    QTableView *Grid = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *LabShortage = nullptr;   // the limiting component, under the grid
    QPushButton *cmdOK = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildForm();
    void Form_Load();

    BomReport m_report;
};

// Registers frmBOMReport with the dialog seam.
void registerBomReport();

} // namespace torvel
