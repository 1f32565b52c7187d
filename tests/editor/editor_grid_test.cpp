// frmBom's child grid and commands: leaving cells, F7 per column, rows,
// "New", "Save", "Exit", navigation, the checks before saving, and what
// reaches the database and the call state.

#include "editorharness.h"

using namespace torvel;
using namespace torvel::test;
using namespace torvel::editortext;

namespace {

using Check = std::function<void(FrmBom &)>;

// --- leaving a cell --------------------------------------------------------

struct LeaveCase
{
    const char *name;
    friend void PrintTo(const LeaveCase &c, std::ostream *os) { *os << c.name; }
    int32_t bomId;
    std::function<void(FrmBom &)> act;
    QString box;   // empty: none
    Check check;
};

class LeaveCell : public EditorTest, public ::testing::WithParamInterface<LeaveCase>
{};

TEST_P(LeaveCell, ResolvesAndChecksTheCell)
{
    const LeaveCase &c = GetParam();
    if (!c.box.isEmpty())
        boxes.expectExact(c.box, mb::OK, mb::Information);
    prepareCall(c.bomId);
    runEditor([&c](FrmBom &form) {
        c.act(form);
        c.check(form);
    });
    boxes.verify();
}

// Types into a cell and leaves it to the right.
auto typeAndTab(int col, int row, const char *text)
{
    return [=](FrmBom &form) {
        putCell(form, col, row, QString::fromUtf8(text));
        leaveCellBy(form, Qt::Key_Tab);
    };
}

void expectCursor(FrmBom &form, int col, int row)
{
    EXPECT_EQ(form.grid().ActiveCol(), col);
    EXPECT_EQ(form.grid().ActiveRow(), row);
}

const LeaveCase kLeaveCases[] = {
    {"zeroQuantityBecomesOne", data::kLampBom,
     [](FrmBom &form) {
         form.grid().SetText(7, 1, QStringLiteral("0"));
         setCursor(form, 6, 1);
         leaveCellBy(form, Qt::Key_Tab);
     },
     {}, [](FrmBom &form) { EXPECT_EQ(Val(form.grid().text(7, 1)), 1.0); }},
    {"emptyQuantityBecomesOne", data::kLampBom,
     [](FrmBom &form) {
         setCursor(form, 6, 4);
         leaveCellBy(form, Qt::Key_Tab);
     },
     {}, [](FrmBom &form) { EXPECT_EQ(Val(form.grid().text(7, 4)), 1.0); }},
    {"filledLastRowGrows", 0,
     [](FrmBom &form) {
         typeAndTab(2, 1, "C201")(form);
         setCursor(form, 7, 1);
         leaveCellBy(form, Qt::Key_Tab);
     },
     {},
     [](FrmBom &form) {
         ASSERT_EQ(form.grid().MaxRows(), 2);
         EXPECT_TRUE(form.grid().text(2, 2).isEmpty());
         EXPECT_FALSE(form.grid().isLocked(2, 2));
         EXPECT_TRUE(form.grid().isLocked(3, 2));
     }},
    {"emptyLastRowDoesNotGrow", data::kLampBom,
     [](FrmBom &form) {
         setCursor(form, 7, 4);
         leaveCellBy(form, Qt::Key_Tab);
     },
     {}, [](FrmBom &form) { EXPECT_EQ(form.grid().MaxRows(), 4); }},
    {"shortNumberTakesTheShortestNumber", 0, typeAndTab(2, 1, "KG"), {},
     [](FrmBom &form) {
         GridModel &g = form.grid();
         EXPECT_EQ(g.text(2, 1), QStringLiteral("S1"));
         EXPECT_EQ(g.text(11, 1), QStringLiteral("S1"));
         EXPECT_EQ(g.text(10, 1).toInt(), data::kSwitchShort);
         EXPECT_EQ(g.text(3, 1), QStringLiteral("开关乙"));
         EXPECT_EQ(g.text(4, 1), QStringLiteral("K2"));
         EXPECT_EQ(g.text(6, 1), QStringLiteral("个"));
         EXPECT_EQ(g.text(18, 1), QStringLiteral("个"));
         EXPECT_EQ(g.text(19, 1).toInt(), 1);
         EXPECT_EQ(g.text(17, 1).toInt(), 1);
         EXPECT_TRUE(g.isLocked(1, 1));
         EXPECT_TRUE(g.isLocked(5, 1));
         EXPECT_EQ(g.backColor(5, 1), kLockYellow);
     }},
    {"childWithAuxiliaryClassUnlocksItsProperty", 0, typeAndTab(2, 1, "C200"), {},
     [](FrmBom &form) {
         EXPECT_FALSE(form.grid().isLocked(5, 1));
         EXPECT_EQ(form.grid().backColor(5, 1), kWhite);
         EXPECT_EQ(form.grid().decimals(7, 1), 2);
         EXPECT_EQ(form.grid().text(14, 1).toInt(), 3001);
     }},
    {"parentItemAsChild", data::kLampBom, typeAndTab(2, 4, "P100"), kChildIsParent,
     [](FrmBom &form) {
         expectCursor(form, 2, 4);
         EXPECT_TRUE(form.grid().text(10, 4).isEmpty());
     }},
    {"assemblyAsChild", data::kLampBom, typeAndTab(2, 4, "P101"), kChildIsAssembly,
     [](FrmBom &form) { expectCursor(form, 2, 4); }},
    {"duplicateChild", data::kLampBom, typeAndTab(2, 4, "C201"), kChildDuplicate,
     [](FrmBom &form) {
         expectCursor(form, 2, 4);
         EXPECT_EQ(form.grid().text(2, 4), QStringLiteral("C201"));
     }},
    {"ownCodeLeftAgain", data::kLampBom, typeAndTab(2, 3, "C201"), {},
     [](FrmBom &form) { EXPECT_EQ(form.grid().ActiveRow(), 3); }},
    {"unknownChildMovesOn", data::kLampBom, typeAndTab(2, 4, "NOPE"), kItemNotFound,
     [](FrmBom &form) {
         EXPECT_NE(form.grid().ActiveCol(), 2);
         EXPECT_EQ(form.grid().text(2, 4), QStringLiteral("NOPE"));
         EXPECT_TRUE(form.grid().text(10, 4).isEmpty());
     }},
    {"unitOfTheGroup", data::kLampBom, typeAndTab(6, 1, "02"), {},
     [](FrmBom &form) {
         EXPECT_EQ(form.grid().text(6, 1), QStringLiteral("箱"));
         EXPECT_EQ(form.grid().text(18, 1), QStringLiteral("箱"));
         EXPECT_EQ(form.grid().text(19, 1).toInt(), 2);
     }},
    {"unitOfAnotherGroup", data::kLampBom, typeAndTab(6, 1, "KG"), kUnitNotFound,
     [](FrmBom &form) { EXPECT_EQ(Val(form.grid().text(19, 1)), 0.0); }},
    {"unitEmptied", data::kLampBom, typeAndTab(6, 3, ""), {},
     [](FrmBom &form) { EXPECT_EQ(Val(form.grid().text(19, 3)), 0.0); }},
    {"substituteClass", 0, typeAndTab(1, 1, "TH01"), {},
     [](FrmBom &form) {
         GridModel &g = form.grid();
         EXPECT_EQ(g.text(1, 1), QStringLiteral("灯泡类"));
         EXPECT_EQ(g.text(13, 1), QStringLiteral("灯泡类"));
         EXPECT_EQ(g.text(12, 1).toInt(), data::kBulbClass);
         for (int col = 2; col <= 6; ++col)
             EXPECT_TRUE(g.isLocked(col, 1)) << col;
     }},
    {"classOfAnotherKind", 0, typeAndTab(1, 1, "X1"), kClassNotFound,
     [](FrmBom &form) {
         EXPECT_EQ(Val(form.grid().text(12, 1)), 0.0);
         EXPECT_TRUE(form.grid().isLocked(2, 1));
     }},
    {"auxiliaryProperty", data::kLampBom, typeAndTab(5, 1, "B"), {},
     [](FrmBom &form) {
         EXPECT_EQ(form.grid().text(5, 1), QStringLiteral("蓝色"));
         EXPECT_EQ(form.grid().text(16, 1), QStringLiteral("蓝色"));
         EXPECT_EQ(form.grid().text(15, 1).toInt(), data::kBlue);
     }},
    {"auxiliaryPropertyUnknown", data::kLampBom, typeAndTab(5, 1, "Q"), kAuxPropNotFound,
     [](FrmBom &form) { EXPECT_EQ(Val(form.grid().text(15, 1)), 0.0); }},
    {"auxiliaryPropertyEmptied", data::kLampBom, typeAndTab(5, 1, ""), {},
     [](FrmBom &form) {
         EXPECT_EQ(Val(form.grid().text(15, 1)), 0.0);
         EXPECT_TRUE(form.grid().text(16, 1).isEmpty());
     }},
    {"classAndCodeEmptiedResetTheRowButTheRemark", data::kLampBom,
     [](FrmBom &form) {
         form.grid().SetText(9, 2, QStringLiteral("留着"));
         typeAndTab(1, 2, "")(form);
     },
     {},
     [](FrmBom &form) {
         GridModel &g = form.grid();
         EXPECT_TRUE(g.text(12, 2).isEmpty());
         EXPECT_TRUE(g.text(13, 2).isEmpty());
         EXPECT_FALSE(g.isLocked(2, 2));
         EXPECT_FALSE(g.isLocked(6, 2));
         EXPECT_EQ(g.text(9, 2), QStringLiteral("留着"));
     }},
};

INSTANTIATE_TEST_SUITE_P(Cases, LeaveCell, ::testing::ValuesIn(kLeaveCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(EditorTest, ChangingTheItemOfARowDropsTheOldItemsAuxiliaryProperty)
{
    prepareCall(data::kLampBom);   // row 1: C200 with 红色
    runEditor([](FrmBom &form) {
        typeAndTab(2, 1, "S1")(form);
        EXPECT_EQ(form.grid().text(10, 1).toInt(), data::kSwitchShort);
        EXPECT_TRUE(form.grid().text(5, 1).isEmpty());
        EXPECT_EQ(Val(form.grid().text(15, 1)), 0.0);
    });
}

// --- F7 in the grid --------------------------------------------------------

TEST_F(EditorTest, F7OnTheChildCodeFillsTheRow)
{
    pick.enqueue(PickAnswer::item(data::kWire, QStringLiteral("C202"), QStringLiteral("电线"), QString(), 3, 2, 0, 3));
    prepareCall(data::kLampBom);
    runEditor([](FrmBom &form) {
        setCursor(form, 2, 4);
        pressKey(gridView(form), Qt::Key_F7);
        GridModel &g = form.grid();
        EXPECT_EQ(g.text(2, 4), QStringLiteral("C202"));
        EXPECT_EQ(g.text(11, 4), QStringLiteral("C202"));
        EXPECT_EQ(g.text(3, 4), QStringLiteral("电线"));
        EXPECT_EQ(g.text(10, 4).toInt(), data::kWire);
        EXPECT_EQ(g.text(6, 4), QStringLiteral("千克"));
        EXPECT_EQ(g.text(19, 4).toInt(), 3);
        EXPECT_EQ(g.text(17, 4).toInt(), 2);
        EXPECT_TRUE(g.isLocked(5, 4));
        EXPECT_EQ(g.decimals(7, 4), 3);
        EXPECT_TRUE(form.isModified());
        EXPECT_TRUE(toolButton(form, "Save")->isEnabled());
    });
    ASSERT_EQ(pick.calls().size(), 1u);
    const PickCall &call = pick.calls()[0];
    EXPECT_EQ(call.args[2].toString(), QStringLiteral(" X2.FIsBOM=0 "));
    ASSERT_EQ(call.params.size(), 2u);
    EXPECT_EQ(call.params[0].first, QStringLiteral("BeShortNumber"));
    EXPECT_EQ(call.params[1].first, QStringLiteral("GetDataType"));
}

struct PickRejectCase
{
    const char *name;
    friend void PrintTo(const PickRejectCase &c, std::ostream *os) { *os << c.name; }
    int32_t itemId;
    QString box;
};

class F7ChildRejected : public EditorTest, public ::testing::WithParamInterface<PickRejectCase>
{};

TEST_P(F7ChildRejected, KeepsTheRowAndCountsNoEdit)
{
    const PickRejectCase &c = GetParam();
    pick.enqueue(PickAnswer::item(c.itemId, QStringLiteral("X"), QStringLiteral("X"), QString(), 1, 1, 0));
    boxes.expectExact(c.box, mb::OK, mb::Information);
    prepareCall(data::kLampBom);
    runEditor([](FrmBom &form) {
        setCursor(form, 2, 4);
        pressKey(gridView(form), Qt::Key_F7);
        EXPECT_TRUE(form.grid().text(10, 4).isEmpty());
        EXPECT_FALSE(form.isModified());
        EXPECT_FALSE(toolButton(form, "Save")->isEnabled());
    });
    boxes.verify();
}

INSTANTIATE_TEST_SUITE_P(Picks, F7ChildRejected,
                         ::testing::Values(PickRejectCase{"parent", data::kLamp, kPickedIsParent},
                                           PickRejectCase{"duplicate", data::kBulb, kPickedDuplicate}),
                         [](const auto &info) { return std::string(info.param.name); });

struct BaseFindCase
{
    const char *name;
    friend void PrintTo(const BaseFindCase &c, std::ostream *os) { *os << c.name; }
    int col;
    int row;
    std::vector<QString> assigned;   // empty: no lookup opens
    int32_t itemClass;
    int idCol;
    int32_t chosenId;
};

class F7BaseFind : public EditorTest, public ::testing::WithParamInterface<BaseFindCase>
{};

TEST_P(F7BaseFind, OpensOnlyWhereTheRowAllows)
{
    const BaseFindCase &c = GetParam();
    baseFind.enqueue(BaseFindAnswer::choose(QStringLiteral(" 选中 "), c.chosenId, QStringLiteral("CODE")));
    prepareCall(data::kLampBom);
    runEditor([&c](FrmBom &form) {
        setCursor(form, c.col, c.row);
        pressKey(gridView(form), Qt::Key_F7);
        if (!c.assigned.empty()) {
            EXPECT_EQ(form.grid().text(c.col, c.row), QStringLiteral("选中"));
            EXPECT_EQ(form.grid().text(c.idCol, c.row).toInt(), c.chosenId);
        }
        // Any key in the grid counts as an edit, a lookup that opened nothing too.
        EXPECT_TRUE(form.isModified());
    });
    if (c.assigned.empty()) {
        EXPECT_TRUE(baseFind.sessions().empty());
        return;
    }
    ASSERT_EQ(baseFind.sessions().size(), 1u);
    const BaseFindSession &s = baseFind.sessions()[0];
    EXPECT_EQ(s.names(), c.assigned);
    EXPECT_EQ(s.value(QStringLiteral("ItemClass")).toInt32(), c.itemClass);
    EXPECT_TRUE(s.value(QStringLiteral("OnlyDetail")).toBool());
    EXPECT_TRUE(s.value(QStringLiteral("ActiveConnection")).isObject());
    if (c.itemClass == 4) {
        EXPECT_EQ(s.value(QStringLiteral("ItemID")).toInt32(), data::kShade);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Columns, F7BaseFind,
    ::testing::Values(BaseFindCase{"substituteClass", 1, 4, {"ActiveConnection", "ItemClass", "OnlyDetail"}, -480, 12, 50},
                      BaseFindCase{"auxiliaryProperty", 5, 1,
                                   {"ActiveConnection", "ItemClass", "ItemID", "AuxFilter", "OnlyDetail"}, 4, 15, 902},
                      BaseFindCase{"noAuxiliaryClass", 5, 3, {}, 0, 0, 0},
                      BaseFindCase{"classOnAnItemRow", 1, 1, {}, 0, 0, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(EditorTest, F7OnTheUnitNeedsTheRowsUnitGroup)
{
    pick.enqueue(PickAnswer::unit(2, QStringLiteral("02"), QStringLiteral("箱"), 1));
    prepareCall(data::kLampBom);
    runEditor([](FrmBom &form) {
        setCursor(form, 6, 4);   // the entry row has no unit group
        pressKey(gridView(form), Qt::Key_F7);
        setCursor(form, 6, 1);
        pressKey(gridView(form), Qt::Key_F7);
        EXPECT_EQ(form.grid().text(6, 1), QStringLiteral("箱"));
        EXPECT_EQ(form.grid().text(18, 1), QStringLiteral("箱"));
        EXPECT_EQ(form.grid().text(19, 1).toInt(), 2);
    });
    ASSERT_EQ(pick.calls().size(), 1u);
    EXPECT_EQ(pick.calls()[0].method, QStringLiteral("UnitLookup"));
    EXPECT_EQ(pick.calls()[0].args.at(0).toInt32(), 1);
}

TEST_F(EditorTest, F7ThatFailsInTheGridShowsTheReadError)
{
    pick.enqueue(PickAnswer::fail(ComError(errc::DatabaseError, QStringLiteral("PickView"), QStringLiteral("查询失败"))));
    boxes.expectExact(QStringLiteral("数据读取错误:查询失败"), mb::OK, mb::Information);
    prepareCall(data::kLampBom);
    runEditor([](FrmBom &form) {
        setCursor(form, 2, 4);
        pressKey(gridView(form), Qt::Key_F7);
        EXPECT_FALSE(form.isModified());
        // The guard is free again: leaving a cell is handled.
        form.grid().SetText(7, 4, QString());
        setCursor(form, 6, 4);
        leaveCellBy(form, Qt::Key_Tab);
        EXPECT_EQ(Val(form.grid().text(7, 4)), 1.0);
    });
    boxes.verify();
}

// --- rows --------------------------------------------------------------------

TEST_F(EditorTest, AddRowInsertsAnEmptyRowAtTheCursorInTheGridOnly)
{
    prepareCall(data::kLampBom);
    runEditor([](FrmBom &form) {
        focusControl(textBox(form, "TxtBomName"));
        form.Toolbar1_ButtonClick(QStringLiteral("AddRow"));
        EXPECT_EQ(form.grid().MaxRows(), 4);
        setCursor(form, 3, 2);
        form.Toolbar1_ButtonClick(QStringLiteral("AddRow"));
        ASSERT_EQ(form.grid().MaxRows(), 5);
        EXPECT_EQ(form.grid().ActiveRow(), 2);
        EXPECT_TRUE(form.grid().text(1, 2).isEmpty());
        EXPECT_EQ(form.grid().text(1, 3), QStringLiteral("灯泡类"));
        EXPECT_EQ(form.grid().text(2, 4), QStringLiteral("C201"));
    });
}

TEST_F(EditorTest, DeletingRowsKeepsTheEntryRowAndSavesTheRestRenumbered)
{
    prepareCall(data::kLampBom);
    runEditor([](FrmBom &form) {
        QAction *deleteRow = toolButton(form, "DeleteRow");
        setCursor(form, 2, 4);   // the entry row
        form.Toolbar1_ButtonClick(QStringLiteral("DeleteRow"));
        EXPECT_EQ(form.grid().MaxRows(), 4);
        EXPECT_FALSE(deleteRow->isVisible());
        EXPECT_FALSE(form.isModified());
        setCursor(form, 2, 1);
        pressKey(gridView(form), Qt::Key_F9, Qt::ShiftModifier);
        EXPECT_EQ(form.grid().MaxRows(), 3);
        EXPECT_TRUE(deleteRow->isVisible());
        EXPECT_TRUE(form.isModified());
        EXPECT_EQ(form.grid().text(1, 1), QStringLiteral("灯泡类"));
        focusControl(textBox(form, "TxtBomName"));
        form.Toolbar1_ButtonClick(QStringLiteral("Save"));
        EXPECT_FALSE(form.isModified());
    });
    EXPECT_EQ(boxes.count(), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM COM_BOM_Child WHERE FBOMID=1")), 2);
    EXPECT_EQ(scalar(QStringLiteral("SELECT FReplaceClassID FROM COM_BOM_Child WHERE FBOMID=1 AND FBOMEntryID=1")),
              QStringLiteral("50"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT FItemID FROM COM_BOM_Child WHERE FBOMID=1 AND FBOMEntryID=2")),
              QStringLiteral("201"));
    EXPECT_TRUE(gReturnOK);
}

// --- saving ------------------------------------------------------------------

// Fills a new BOM through the header fields and the grid.
void fillNewBom(FrmBom &form, const QString &number)
{
    enterField(form, "TxtBomNumber", number);
    enterField(form, "TxtBomName", QStringLiteral("新灯"));
    enterField(form, "TxtNumber", QStringLiteral("P100"));
    typeAndTab(2, 1, "C201")(form);
    typeAndTab(7, 1, "3")(form);   // leaving the filled last row's quantity adds the entry row
    typeAndTab(8, 1, "12.5")(form);
    typeAndTab(1, 2, "TH01")(form);
}

TEST_F(EditorTest, SaveWritesANewBomAndItsLines)
{
    for (int32_t openedWith : {0, -1}) {
        SCOPED_TRACE(openedWith);
        const QString number = QStringLiteral("BOM-10%1").arg(-openedWith);
        prepareCall(openedWith);
        runEditor([&](FrmBom &form) {
            fillNewBom(form, number);
            QComboBox *status = statusBox(form);
            focusControl(status);
            pressKey(status, Qt::Key_Down);
            ASSERT_TRUE(form.isModified());
            form.Toolbar1_ButtonClick(QStringLiteral("Save"));
            EXPECT_FALSE(form.isModified());
            EXPECT_FALSE(toolButton(form, "Save")->isEnabled());
            // Nothing changed since: a second click writes nothing.
            countStatements();
            form.Toolbar1_ButtonClick(QStringLiteral("Save"));
            EXPECT_TRUE(statements().isEmpty());
        });
        EXPECT_EQ(boxes.count(), 0);
        const QString id = scalar(QStringLiteral("SELECT FBOMID FROM COM_BOM WHERE FBOMNumber='%1'").arg(number));
        ASSERT_FALSE(id.isEmpty());
        EXPECT_EQ(gBomID, id.toInt());
        EXPECT_TRUE(gReturnOK);
        EXPECT_EQ(gBomName, QStringLiteral("新灯"));
        EXPECT_EQ(scalar(QStringLiteral("SELECT FBOMName||'/'||FBOMGroupID||'/'||FItemID||'/'||FMeasureUnitID||'/'||FStatus"
                                        " FROM COM_BOM WHERE FBOMID=")
                         + id),
                  QStringLiteral("新灯/7/100/1/1"));
        EXPECT_EQ(scalar(QStringLiteral("SELECT FItemID||'/'||FMeasureUnitID||'/'||FQty||'/'||FScrap FROM COM_BOM_Child"
                                        " WHERE FBOMEntryID=1 AND FBOMID=")
                         + id),
                  QStringLiteral("201/2/3.0/0.125"));
        EXPECT_EQ(scalar(QStringLiteral("SELECT FReplaceClassID||'/'||FItemID||'/'||FQty FROM COM_BOM_Child"
                                        " WHERE FBOMEntryID=2 AND FBOMID=")
                         + id),
                  QStringLiteral("50/0/1.0"));
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM COM_BOM_Child WHERE FBOMID=") + id), 2);
    }
}

struct CheckCase
{
    const char *name;
    friend void PrintTo(const CheckCase &c, std::ostream *os) { *os << c.name; }
    int32_t bomId;
    std::function<void(FrmBom &)> act;
    QString box;
    const char *focus;   // the control that should hold the focus, or nullptr
    int cursorCol;       // a grid cell the cursor is put on (0: not checked)
    int cursorRow;
};

class SaveChecks : public EditorTest, public ::testing::WithParamInterface<CheckCase>
{};

TEST_P(SaveChecks, RefuseWithTheirMessageAndWriteNothing)
{
    const CheckCase &c = GetParam();
    prepareCall(c.bomId);
    const int bomsBefore = count(QStringLiteral("SELECT COUNT(*) FROM COM_BOM"));
    runEditor([this, &c](FrmBom &form) {
        c.act(form);
        ASSERT_TRUE(form.isModified());
        boxes.clear();
        boxes.expectExact(c.box, mb::OK, mb::Information);
        countStatements();
        form.Toolbar1_ButtonClick(QStringLiteral("Save"));
        boxes.verify();
        if (c.focus) {
            EXPECT_EQ(form.focusWidget(), form.findChild<QWidget *>(QString::fromLatin1(c.focus)));
        }
        if (c.cursorCol) {
            EXPECT_EQ(form.grid().ActiveCol(), c.cursorCol);
            EXPECT_EQ(form.grid().ActiveRow(), c.cursorRow);
        }
        EXPECT_TRUE(form.isModified());
        EXPECT_TRUE(toolButton(form, "Save")->isEnabled());
    });
    for (const QString &statement : statements())
        EXPECT_TRUE(statement.startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive)) << statement.toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM COM_BOM")), bomsBefore);
    EXPECT_FALSE(gReturnOK);
}

void onlyStatusChanged(FrmBom &form)
{
    focusControl(statusBox(form));
    pressKey(statusBox(form), Qt::Key_Down);
}

const CheckCase kCheckCases[] = {
    {"numberAndNameEmptyReportsTheNumber", 0, onlyStatusChanged, kNumberEmpty, "TxtBomNumber", 0, 0},
    {"nameEmpty", 0, [](FrmBom &form) { enterField(form, "TxtBomNumber", QStringLiteral("N1")); }, kNameEmpty,
     "TxtBomName", 0, 0},
    {"duplicateNumberOfANewBom", 0,
     [](FrmBom &form) {
         enterField(form, "TxtBomNumber", QStringLiteral("bom-002"));
         enterField(form, "TxtBomName", QStringLiteral("重号"));
     },
     kNumberDuplicate, "TxtBomNumber", 0, 0},
    {"noParentItem", 0,
     [](FrmBom &form) {
         enterField(form, "TxtBomNumber", QStringLiteral("N1"));
         enterField(form, "TxtBomName", QStringLiteral("无商品"));
     },
     kNoParentItem, nullptr, 0, 0},
    {"missingUnitInRowThree", data::kLampBom,
     [](FrmBom &form) {
         typeAndTab(6, 3, "")(form);
         onlyStatusChanged(form);
     },
     QStringLiteral("请在第3行输入计量单位!"), nullptr, 0, 0},
    {"classNeverFound", data::kEmptyBom,
     [](FrmBom &form) {
         form.grid().setMaxRows(3);
         form.grid().SetText(1, 2, QStringLiteral("X1"));   // as left after its not-found message
         onlyStatusChanged(form);
     },
     kClassNotFound, "vasSubItem", 1, 2},
    {"childCodeNeverResolved", data::kLampBom,
     [](FrmBom &form) {
         form.grid().SetText(2, 1, QStringLiteral("NOPE"));   // as left after its not-found message
         onlyStatusChanged(form);
     },
     kItemNotFound, "vasSubItem", 2, 1},
};

INSTANTIATE_TEST_SUITE_P(Cases, SaveChecks, ::testing::ValuesIn(kCheckCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(EditorTest, ExistingBomKeepsItsNumberAndMayNotTakeAnothers)
{
    prepareCall(data::kLampBom);
    runEditor([this](FrmBom &form) {
        enterField(form, "TxtBomName", QStringLiteral("台灯二"));
        form.Toolbar1_ButtonClick(QStringLiteral("Save"));   // its own number: no duplicate check
        EXPECT_FALSE(form.isModified());
        enterField(form, "TxtBomNumber", QStringLiteral("BOM-002"));
        boxes.expect(QStringLiteral("保存数据时出错:"), mb::OK, mb::Information);
        form.Toolbar1_ButtonClick(QStringLiteral("Save"));
        boxes.verify();
        EXPECT_TRUE(form.isModified());
        EXPECT_TRUE(toolButton(form, "Save")->isEnabled());
    });
    EXPECT_EQ(scalar(QStringLiteral("SELECT FBOMNumber||'/'||FBOMName FROM COM_BOM WHERE FBOMID=1")),
              QStringLiteral("BOM-001/台灯二"));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM COM_BOM_Child WHERE FBOMID=1")), 3);
}

// --- failures the data layer reports or lets through --------------------------

struct FailureCase
{
    const char *name;
    friend void PrintTo(const FailureCase &c, std::ostream *os) { *os << c.name; }
    std::function<void(EditorTest &)> arrange;
    QString box;
    int flags;
};

class SaveFailure : public EditorTest, public ::testing::WithParamInterface<FailureCase>
{
public:
    void failOn(const QString &fragment) { failStatement(fragment); }
    FakeSecurity &rights() { return security; }
};

TEST_P(SaveFailure, KeepsTheEditsPendingAndTheDatabaseAsItWas)
{
    const FailureCase &c = GetParam();
    prepareCall(data::kLampBom);
    runEditor([this, &c](FrmBom &form) {
        enterField(form, "TxtBomName", QStringLiteral("失败"));
        setCursor(form, 2, 1);
        pressKey(gridView(form), Qt::Key_F9, Qt::ShiftModifier);
        c.arrange(*this);
        boxes.expect(c.box, mb::OK, c.flags);
        focusControl(textBox(form, "TxtBomName"));
        form.Toolbar1_ButtonClick(QStringLiteral("Save"));
        boxes.verify();
        EXPECT_TRUE(form.isVisible());
        EXPECT_TRUE(form.isModified());
        EXPECT_TRUE(toolButton(form, "Save")->isEnabled());
    });
    EXPECT_FALSE(gReturnOK);
    EXPECT_EQ(scalar(QStringLiteral("SELECT FBOMName FROM COM_BOM WHERE FBOMID=1")), QStringLiteral("台灯结构"));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM COM_BOM_Child WHERE FBOMID=1")), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaveFailure,
    ::testing::Values(
        FailureCase{"lineInsertFails", [](EditorTest &t) { static_cast<SaveFailure &>(t).failOn(QStringLiteral("INSERT INTO COM_Bom_Child")); },
                    QStringLiteral("添加出错：磁盘已满"), mb::Information},
        FailureCase{"rightDenied", [](EditorTest &t) { static_cast<SaveFailure &>(t).rights().deny(); },
                    QStringLiteral("对不起，您没有修改商品结构清单的权限！"), mb::Information},
        FailureCase{"rightsCheckFails",
                    [](EditorTest &t) {
                        static_cast<SaveFailure &>(t).rights().fail(
                            ComError(errc::CannotCreateObject, QStringLiteral("PlatBase"), QStringLiteral("安全组件不可用")));
                    },
                    QStringLiteral("安全组件不可用"), mb::Critical}),
    [](const auto &info) { return std::string(info.param.name); });

// --- New and Exit ------------------------------------------------------------

struct QuestionCase
{
    const char *name;
    friend void PrintTo(const QuestionCase &c, std::ostream *os) { *os << c.name; }
    const char *command;
    int answer;
    bool valid;           // the checks pass
    bool saved;
};

class AskBeforeLeaving : public EditorTest, public ::testing::WithParamInterface<QuestionCase>
{};

TEST_P(AskBeforeLeaving, SavesOnlyWhenAskedAndValid)
{
    const QuestionCase &c = GetParam();
    const bool isNew = QLatin1String(c.command) == QLatin1String("New");
    prepareCall(0);
    gReturnOK = false;
    runEditor([this, &c, isNew](FrmBom &form) {
        fillNewBom(form, QStringLiteral("BOM-200"));
        if (!c.valid)
            enterField(form, "TxtBomName", QString());   // the name check fails
        boxes.expectExact(kAskSave, c.answer, mb::OKCancel | mb::Information);
        if (c.answer == mb::OK && !c.valid)
            boxes.expectExact(kNameEmpty, mb::OK, mb::Information);
        form.Toolbar1_ButtonClick(QString::fromLatin1(c.command));
        boxes.verify();
        if (isNew) {
            EXPECT_TRUE(form.isVisible());
            EXPECT_TRUE(textBox(form, "TxtBomNumber")->text().isEmpty());
            EXPECT_EQ(form.grid().MaxRows(), 1);
            EXPECT_TRUE(form.grid().text(2, 1).isEmpty());
            EXPECT_FALSE(form.isModified());
            EXPECT_EQ(form.bom().ItemID, 0);
            EXPECT_EQ(form.bom().GroupID, data::kGroup);
        } else {
            EXPECT_FALSE(form.isVisible());
        }
    });
    const QString id = scalar(QStringLiteral("SELECT FBOMID FROM COM_BOM WHERE FBOMNumber='BOM-200'"));
    EXPECT_EQ(!id.isEmpty(), c.saved);
    EXPECT_EQ(gReturnOK, c.saved);
    // "New" always leaves a new BOM behind; "Exit" leaves the one it added.
    EXPECT_EQ(gBomID, isNew || !c.saved ? 0 : id.toInt());
    if (c.saved) {
        EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM COM_BOM_Child WHERE FBOMID=") + id), 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, AskBeforeLeaving,
                         ::testing::Values(QuestionCase{"newOk", "New", mb::OK, true, true},
                                           QuestionCase{"newCancel", "New", mb::Cancel, true, false},
                                           QuestionCase{"newOkFailingCheck", "New", mb::OK, false, false},
                                           QuestionCase{"exitOk", "Exit", mb::OK, true, true},
                                           QuestionCase{"exitCancel", "Exit", mb::Cancel, true, false},
                                           QuestionCase{"exitOkFailingCheck", "Exit", mb::OK, false, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(EditorTest, ExitWithoutChangesAsksNothing)
{
    prepareCall(data::kLampBom);
    runEditor([](FrmBom &form) {
        form.Toolbar1_ButtonClick(QStringLiteral("Exit"));
        EXPECT_FALSE(form.isVisible());
    });
    EXPECT_EQ(boxes.count(), 0);
    EXPECT_FALSE(gReturnOK);
    EXPECT_EQ(gBomID, data::kLampBom);
}

// --- navigation --------------------------------------------------------------

TEST_F(EditorTest, NavigationMovesThroughTheGroupAndStopsAtItsEnds)
{
    prepareCall(data::kChandBom);
    runEditor([](FrmBom &form) {
        struct Step
        {
            const char *key;
            int32_t bomId;
            const char *number;
        };
        enterField(form, "TxtBomName", QStringLiteral("丢弃"));
        for (const Step &s : {Step{"Fr", 1, "BOM-001"}, Step{"Pr", 1, "BOM-001"}, Step{"Ne", 2, "BOM-002"},
                              Step{"La", 3, "BOM-003"}, Step{"Ne", 3, "BOM-003"}, Step{"Pr", 2, "BOM-002"}}) {
            form.Toolbar1_ButtonClick(QString::fromLatin1(s.key));
            EXPECT_EQ(gBomID, s.bomId) << s.key;
            EXPECT_EQ(textBox(form, "TxtBomNumber")->text(), QString::fromLatin1(s.number)) << s.key;
            EXPECT_EQ(form.bom().BomID, s.bomId);
            EXPECT_FALSE(form.isModified());
            EXPECT_FALSE(toolButton(form, "Save")->isEnabled());
        }
        EXPECT_EQ(textBox(form, "TxtBomName")->text(), QStringLiteral("吊灯结构"));
        EXPECT_EQ(form.grid().MaxRows(), 2);
    });
    EXPECT_EQ(boxes.count(), 0);
    EXPECT_EQ(scalar(QStringLiteral("SELECT FBOMName FROM COM_BOM WHERE FBOMID=2")), QStringLiteral("吊灯结构"));
}

TEST_F(EditorTest, NavigationFromABomThatIsGoneShowsTheErrorAndStays)
{
    prepareCall(data::kChandBom);
    runEditor([this](FrmBom &form) {
        exec(QStringLiteral("DELETE FROM COM_BOM WHERE FBOMID=2"));
        boxes.expectAny();
        form.Toolbar1_ButtonClick(QStringLiteral("Ne"));
        boxes.verify();
        ASSERT_EQ(boxes.count(), 1);
        EXPECT_EQ(boxes.last().flags, mb::Critical);
        EXPECT_FALSE(boxes.last().text.isEmpty());
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(textBox(form, "TxtBomNumber")->text(), QStringLiteral("BOM-002"));
    });
    EXPECT_EQ(gBomID, data::kChandBom);
}

} // namespace
