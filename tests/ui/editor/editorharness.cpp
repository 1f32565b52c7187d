#include "editorharness.h"

#include "services/db/recordset.h"

#include <QKeyEvent>
#include <QToolButton>

namespace torvel::test {

namespace {

const char *const kTestData[] = {
    "INSERT INTO t_UnitGroup (FUnitGroupID,FNumber,FName) VALUES (1,'G1','个数'),(2,'G2','重量')",
    "INSERT INTO t_MeasureUnit (FMeasureUnitID,FItemID,FNumber,FName,FUnitGroupID) VALUES"
    " (1,1,'01','个',1),(2,2,'02','箱',1),(3,3,'KG','千克',2)",
    // Items (class 4) and auxiliary properties (class 3001) share t_Item.
    "INSERT INTO t_Item (FItemID,FNumber,FName,FShortNumber,FItemClassID) VALUES"
    " (100,'P100','台灯','TD',4),(101,'P101','吊灯','DD',4),(102,'P102','灯座组件','DZZ',4),"
    " (200,'C200','灯罩','DZ',4),(201,'C201','灯泡','DP',4),(202,'C202','电线','DX',4),"
    " (203,'C203','灯架','DJ',4),(210,'S10001','开关甲','KG',4),(211,'S1','开关乙','KG',4),"
    " (901,'R','红色','',3001),(902,'B','蓝色','',3001)",
    "INSERT INTO COM_Item (FItemID,FModel,FAuxClassID,FUnitGroupID,FBaseUnitID,FQtyScale,FIsBOM) VALUES"
    " (100,'T-1',3001,1,1,0,1),(101,'D-2',0,1,1,0,1),(102,'Z-3',0,1,1,0,1),"
    " (200,'ZS',3001,1,1,2,0),(201,'E27',0,1,2,0,0),(202,NULL,0,2,3,3,0),(203,'J',0,1,99,0,0),"
    " (210,'K1',0,1,1,0,0),(211,'K2',0,1,1,0,0)",
    "INSERT INTO COM_SysType (FSysTypeID,FNumber,FName,FClassID) VALUES (50,'TH01','灯泡类',480),(51,'X1','颜色类',100)",
    "INSERT INTO COM_BOM_Group (FBOMGroupID,FNumber,FName,FParentID) VALUES (7,'01','灯具',0),(8,'02','其他',0)",
    "INSERT INTO COM_BOM (FBOMID,FBOMNumber,FBOMName,FBOMGroupID,FItemID,FAuxPropID,FMeasureUnitID,FStatus) VALUES"
    " (1,'BOM-001','台灯结构',7,100,901,1,0),(2,'BOM-002','吊灯结构',7,101,0,1,1),"
    " (3,'BOM-003','吊灯简版',7,101,0,1,0),(4,'BOM-004','其他',8,101,0,1,0)",
    "INSERT INTO COM_BOM_Child (FBOMEntryID,FBOMID,FReplaceClassID,FItemID,FAuxPropID,FMeasureUnitID,FQty,FScrap,FRemark)"
    " VALUES (1,1,0,200,901,1,2,0.05,'注'),(2,1,50,0,0,0,1,0,''),(3,1,0,201,0,2,4,0,''),"
    " (1,2,0,102,0,1,1,0,'')",
};

} // namespace

void EditorTest::SetUp()
{
    m_db = TestDatabase::createSqlite(false);
    m_cnn = m_db->connection();
    for (const char *sql : kTestData)
        m_cnn->Execute(QString::fromUtf8(sql));
    m_cnn->setStatementHook([this](const QString &text) {
        if (m_counting)
            m_statements << text;
    });
    gAdoCnn = m_cnn;
    registerBomEditor();
}

void EditorTest::TearDown()
{
    gAdoCnn.reset();
    if (m_cnn)
        m_cnn->setStatementHook({});
    m_cnn.reset();
    m_db.reset();
}

void EditorTest::prepareCall(int32_t bomId, int32_t groupId)
{
    gReturnOK = false;
    gBomName.clear();
    gBomNumber.clear();
    gItemID = 0;
    gBomID = bomId;
    gGroupID = groupId;
}

void EditorTest::runEditor(const std::function<void(FrmBom &)> &script)
{
    ScopedDialogScript inLoop([&script](QDialog &dialog) {
        auto *form = qobject_cast<FrmBom *>(&dialog);
        if (!form) {
            ADD_FAILURE() << "frmBom is not the editor";
            dialog.reject();
            return;
        }
        QApplication::setActiveWindow(form);
        script(*form);
        if (form->isVisible())
            form->reject();
    });
    showDialog(QStringLiteral("frmBom"));
}

void EditorTest::exec(const QString &sql)
{
    const bool counting = m_counting;
    m_counting = false;
    m_cnn->Execute(sql);
    m_counting = counting;
}

QString EditorTest::scalar(const QString &sql)
{
    const bool counting = m_counting;
    m_counting = false;
    RecordsetPtr rs = m_cnn->Execute(sql);
    m_counting = counting;
    if (!rs || rs->Eof())
        return QString();
    const Variant value = rs->Fields(0);
    return value.isNull() ? QStringLiteral("<null>") : value.toString();
}

QStringList EditorTest::writes() const
{
    QStringList out;
    for (const QString &statement : m_statements)
        if (!statement.trimmed().startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive))
            out << statement;
    return out;
}

QString cells(const GridModel &grid, int row, std::initializer_list<int> cols)
{
    QStringList out;
    for (int col : cols)
        out << grid.text(col, row);
    return out.join(QLatin1Char('|'));
}

QString fields(FrmBom &form, std::initializer_list<const char *> names)
{
    QStringList out;
    for (const char *name : names)
        out << textBox(form, name)->text();
    return out.join(QLatin1Char('|'));
}

QString parentItem(const BOM &bom)
{
    return QStringList{QString::number(bom.ItemID), bom.ItemNumber, bom.ItemName,
                       QString::number(bom.MeasureUnitID), bom.MeasureUnit, bom.MeasureUnitNumber,
                       QString::number(bom.AuxClassID), QString::number(bom.UnitGroupID)}
        .join(QLatin1Char('|'));
}

void expectPending(FrmBom &form, bool pending)
{
    EXPECT_EQ(form.isModified(), pending);
    EXPECT_EQ(toolButton(form, "Save")->isEnabled(), pending);
}

void click(FrmBom &form, const char *key)
{
    form.Toolbar1_ButtonClick(QString::fromLatin1(key));
}

QLineEdit *textBox(FrmBom &form, const char *name)
{
    auto *box = form.findChild<QLineEdit *>(QString::fromLatin1(name));
    EXPECT_NE(box, nullptr) << name;
    return box;
}

QComboBox *statusBox(FrmBom &form)
{
    return form.findChild<QComboBox *>(QStringLiteral("cboStatus"));
}

QAction *toolButton(FrmBom &form, const char *key)
{
    auto *toolbar = form.findChild<QToolBar *>(QStringLiteral("Toolbar1"));
    QAction *action = toolbar ? toolbar->findChild<QAction *>(QString::fromLatin1(key)) : nullptr;
    EXPECT_NE(action, nullptr) << key;
    return action;
}

GridView *gridView(FrmBom &form)
{
    return form.findChild<GridView *>(QStringLiteral("vasSubItem"));
}

void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        // Once a grid opened its cell editor, the editor takes the keys.
        QWidget *target = widget;
        if (QWidget *focus = QApplication::focusWidget(); focus && widget->isAncestorOf(focus))
            target = focus;
        if (c.unicode() < 128) {
            QTest::keyClick(target, c.toLatin1());
            continue;
        }
        // QTest types ASCII only; Chinese arrives as text, as an input method sends it.
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &release);
    }
}

void pressKey(QWidget *widget, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(widget, key, modifiers);
}

void focusControl(QWidget *widget)
{
    widget->setFocus(Qt::OtherFocusReason);
    QCoreApplication::processEvents();
}

void enterField(FrmBom &form, const char *name, const QString &text)
{
    QLineEdit *box = textBox(form, name);
    focusControl(box);
    box->clear();
    typeText(box, text);
    pressKey(box, Qt::Key_Tab);
    QCoreApplication::processEvents();
}

void setCursor(FrmBom &form, int col, int row)
{
    GridView *view = gridView(form);
    focusControl(view);
    form.grid().setActiveCell(col, row);
    QCoreApplication::processEvents();
}

void putCell(FrmBom &form, int col, int row, const QString &text)
{
    setCursor(form, col, row);
    form.grid().SetText(col, row, text);
}

void leaveCellBy(FrmBom &form, Qt::Key key)
{
    pressKey(gridView(form), key);
    QCoreApplication::processEvents();
}

} // namespace torvel::test
