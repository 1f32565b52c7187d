#include "completeharness.h"

#include "entry/publicclasses.h"
#include "services/com/comerror.h"
#include "services/com/connectionobject.h"
#include "services/db/recordset.h"
#include "state/callstate.h"
#include "state/dialogseam.h"
#include "ui/grid/gridview.h"

#include <QApplication>
#include <QTest>

namespace torvel::test {

void seedCompletionData(Connection &cnn)
{
    const char *const statements[] = {
        "INSERT INTO t_UnitGroup (FUnitGroupID,FNumber,FName) VALUES (1,'G1','个数'),(2,'G2','重量')",
        "INSERT INTO t_MeasureUnit (FMeasureUnitID,FItemID,FNumber,FName,FUnitGroupID) VALUES"
        " (1,1,'01','个',1),(2,2,'02','箱',1),(3,3,'KG','千克',2)",
        "INSERT INTO t_Item (FItemID,FNumber,FName,FShortNumber,FItemClassID) VALUES"
        " (100,'P100','台灯','TD',4),(200,'C200','灯罩','DZ',4),(201,'C201','灯座','DJ',4),"
        " (301,'B-01','白炽灯泡','BB',4),(302,'B-0002','节能灯泡','BB',4),(303,'B''03','彩色灯泡','CB',4),"
        " (304,'X-1','别类灯','XL',4),(901,'R','红色','',3001),(902,'B','蓝色','',3001)",
        "INSERT INTO COM_Item (FItemID,FModel,FAuxClassID,FUnitGroupID,FBaseUnitID,FReplaceClassID,FIsBOM) VALUES"
        " (100,'T-1',3001,1,1,50,1),(200,'ZS',3001,1,1,0,0),(201,'E27',0,1,2,50,0),(301,'40W',0,1,1,50,0),"
        " (302,'9W',0,1,2,50,0),(303,'RGB',3001,1,2,50,0),(304,NULL,0,1,1,51,0)",
        "INSERT INTO COM_SysType (FSysTypeID,FNumber,FName,FClassID) VALUES (50,'TH01','灯泡类',480),(51,'TH02','别类',480)",
        "INSERT INTO COM_BOM (FBOMID,FBOMNumber,FBOMName,FBOMGroupID,FItemID,FAuxPropID,FMeasureUnitID,FStatus) VALUES"
        " (1,'BOM-001','台灯结构',1,100,901,1,0),(2,'BOM-002','空清单',1,100,0,1,0),(3,'BOM-003','固定结构',1,100,0,1,0)",
        "INSERT INTO COM_BOM_Child (FBOMEntryID,FBOMID,FReplaceClassID,FItemID,FAuxPropID,FMeasureUnitID,FQty,FScrap,FRemark)"
        " VALUES (1,1,0,200,901,1,2,0.05,'注''s'),(2,1,50,0,0,1,0,0,''),(3,1,0,201,0,2,4,0,''),"
        " (1,3,0,200,901,1,2,0.05,'注''s'),(2,3,0,201,0,2,0,0,''),(3,3,0,301,0,1,1.5,0.1,'')",
        "INSERT INTO COM_BOM_Note (FBOMNoteID,FBOMEntryID,FBOMID,FReplaceClassID,FItemID,FAuxPropID,FMeasureUnitID,FQty,"
        "FScrap,FRemark) VALUES (7,1,1,0,200,901,1,2,0.05,'注''s'),(7,2,1,50,301,0,1,1,0,''),(7,3,1,0,201,0,2,4,0,'')",
    };
    for (const char *sql : statements)
        cnn.Execute(QString::fromUtf8(sql));
}

int32_t completeBom(const ConnectionPtr &cnn, int32_t noteId, int32_t bomId, const Script &script)
{
    ScopedDialogScript inLoop([&script](QDialog &dialog) {
        auto *form = qobject_cast<FrmBomComplete *>(&dialog);
        if (!form) {
            ADD_FAILURE() << "frmBOMComplete is not the completion dialog";
            dialog.reject();
            return;
        }
        QApplication::setActiveWindow(form);
        script(*form);
        if (form->isVisible())
            form->reject();
    });
    BomInfo bom;
    return bom.CompleteBom(Variant(ConnectionObject::wrap(cnn)), noteId, bomId);
}


QStringList notesOf(Connection &cnn, int32_t noteId)
{
    return rowsOf(cnn, QStringLiteral("SELECT FBOMEntryID,FBOMID,FReplaceClassID,FItemID,FAuxPropID,FMeasureUnitID,"
                                      "FQty,FScrap,FRemark FROM COM_BOM_Note WHERE FBOMNoteID=%1 ORDER BY FBOMEntryID")
                           .arg(noteId));
}

QStringList allNotes(Connection &cnn)
{
    return rowsOf(cnn, QStringLiteral("SELECT * FROM COM_BOM_Note ORDER BY FBOMNoteID, FBOMEntryID"));
}

void setCursor(FrmBomComplete &form, int col, int row)
{
    auto *view = form.findChild<GridView *>(QStringLiteral("vasItem"));
    view->setFocus(Qt::OtherFocusReason);
    form.grid().setActiveCell(col, row);
    QCoreApplication::processEvents();
}

void typeAndLeave(FrmBomComplete &form, int col, int row, const QString &text)
{
    setCursor(form, col, row);
    form.grid().SetText(col, row, text);
    press(form, Qt::Key_Tab);
}

void press(FrmBomComplete &form, Qt::Key key)
{
    QTest::keyClick(form.findChild<GridView *>(QStringLiteral("vasItem")), key);
    QCoreApplication::processEvents();
}

QString cells(const GridModel &grid, int row, std::initializer_list<int> cols)
{
    QStringList out;
    for (int col : cols)
        out << grid.text(col, row);
    return out.join(QLatin1Char('|'));
}

void CompletionTest::SetUp()
{
    db = TestDatabase::createSqlite(false);
    cnn = db->connection();
    seedCompletionData(*cnn);
    cnn->setStatementHook([this](const QString &text) {
        if (!m_failOn.isEmpty() && text.contains(m_failOn, Qt::CaseInsensitive)) {
            m_failOn.clear();
            throw ComError(errc::DatabaseError, QStringLiteral("SQLite"), QStringLiteral("磁盘已满"));
        }
    });
}

void CompletionTest::TearDown()
{
    gAdoCnn.reset();
    cnn->setStatementHook({});
    cnn.reset();
    db.reset();
}

} // namespace torvel::test
