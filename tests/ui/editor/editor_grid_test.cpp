// frmBom's child grid and commands: leaving cells, F7 per column, rows,
// "New", "Save", "Exit", navigation, the checks before saving, and what
// reaches the database and the call state.

#include "editorharness.h"

using namespace torvel;
using namespace torvel::test;
using namespace torvel::editortext;

namespace {

using Step = std::function<void(FrmBom &)>;

// Types into a cell and leaves it to the right.
Step typeAndTab(int col, int row, const char *text)
{
    return [=](FrmBom &form) {
        putCell(form, col, row, QString::fromUtf8(text));
        leaveCellBy(form, Qt::Key_Tab);
    };
}

// Leaves a cell without typing in it.
Step leaveAt(int col, int row)
{
    return [=](FrmBom &form) {
        setCursor(form, col, row);
        leaveCellBy(form, Qt::Key_Tab);
    };
}

void expectCursor(FrmBom &form, int col, int row)
{
    EXPECT_EQ(form.grid().ActiveCol(), col);
    EXPECT_EQ(form.grid().ActiveRow(), row);
}

// --- leaving a cell --------------------------------------------------------

struct LeaveCase
{
    const char *name;
    friend void PrintTo(const LeaveCase &c, std::ostream *os) { *os << c.name; }
    int32_t bomId;
    Step act;
    QString box;   // empty: none
    int row;       // the row whose cells `cols` are read afterwards
    std::vector<int> cols;
    QString cells;
    int activeCol = 0;   // the cursor's column afterwards (0: not checked)
    Step check = {};     // anything more
};

using LeaveCell = EditorCases<LeaveCase>;

TEST_P(LeaveCell, ResolvesAndChecksTheCell)
{
    const LeaveCase &c = GetParam();
    if (!c.box.isEmpty())
        boxes.expectExact(c.box, mb::OK, mb::Information);
    runEditor(c.bomId, [&c](FrmBom &form) {
        c.act(form);
        QStringList texts;
        for (int col : c.cols)
            texts << form.grid().text(col, c.row);
        EXPECT_EQ(texts.join(QLatin1Char('|')), c.cells);
        if (c.activeCol) {
            EXPECT_EQ(form.grid().ActiveCol(), c.activeCol);
        }
        if (c.check)
            c.check(form);
    });
}

const LeaveCase kLeaveCases[] = {
    {"zeroQuantityBecomesOne", data::kLampBom,
     [](FrmBom &form) {
         form.grid().SetText(7, 1, QStringLiteral("0"));
         leaveAt(6, 1)(form);
     },
     {}, 1, {7}, QStringLiteral("1")},
    {"filledLastRowGrows", 0,
     [](FrmBom &form) {
         typeAndTab(2, 1, "C201")(form);
         leaveAt(7, 1)(form);
     },
     {}, 2, {2}, QString(), 0,
     [](FrmBom &form) {
         ASSERT_EQ(form.grid().MaxRows(), 2);
         EXPECT_FALSE(form.grid().isLocked(2, 2));
         EXPECT_TRUE(form.grid().isLocked(3, 2));
     }},
    {"emptyLastRowDoesNotGrow", data::kLampBom, leaveAt(7, 4), {}, 4, {}, QString(), 0,
     [](FrmBom &form) { EXPECT_EQ(form.grid().MaxRows(), 4); }},
    {"childFillsTheRow", 0, typeAndTab(2, 1, "C200"), {}, 1, {2, 11, 10, 3, 4, 6, 18, 19, 17, 14},
     QStringLiteral("C200|C200|200|灯罩|ZS|个|个|1|1|3001"), 0,
     [](FrmBom &form) {
         GridModel &g = form.grid();
         EXPECT_TRUE(g.isLocked(1, 1));
         EXPECT_FALSE(g.isLocked(5, 1));
         EXPECT_EQ(g.backColor(5, 1), kWhite);
         EXPECT_EQ(g.decimals(7, 1), 2);
     }},
    {"otherItemDropsTheOldItemsAuxiliaryProperty", data::kLampBom, typeAndTab(2, 1, "S1"), {}, 1, {10, 5, 15},
     QStringLiteral("211||")},
    {"childWithoutUnitIsAReadError", data::kLampBom, typeAndTab(2, 4, "C203"),
     kGridReadError + QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前的记录已被删除，所需的操作要求一个当前的记录。"),
     4, {2, 10, 19}, QStringLiteral("C203||")},
    {"parentItemAsChild", data::kLampBom, typeAndTab(2, 4, "P100"), kChildIsParent, 4, {10}, QString(), 2},
    {"assemblyAsChild", data::kLampBom, typeAndTab(2, 4, "P101"), kChildIsAssembly, 4, {10}, QString(), 2},
    {"duplicateOfTheLastRow", data::kLampBom,
     [](FrmBom &form) {
         typeAndTab(2, 4, "S1")(form);
         typeAndTab(2, 1, "S1")(form);
     },
     kChildDuplicate, 1, {10}, QStringLiteral("200"), 2},
    {"ownCodeLeftAgain", data::kLampBom, typeAndTab(2, 3, "C201"), {}, 3, {2}, QStringLiteral("C201"), 3},
    {"unknownChildMovesOn", data::kLampBom, typeAndTab(2, 4, "NOPE"), kItemNotFound, 4, {2, 10},
     QStringLiteral("NOPE|"), 3},
    {"unitOfTheGroup", data::kLampBom, typeAndTab(6, 1, "02"), {}, 1, {6, 18, 19}, QStringLiteral("箱|箱|2")},
    {"unitOfAnotherGroup", data::kLampBom, typeAndTab(6, 1, "KG"), kUnitNotFound, 1, {19}, QStringLiteral("0")},
    {"substituteClass", 0, typeAndTab(1, 1, "TH01"), {}, 1, {1, 13, 12}, QStringLiteral("灯泡类|灯泡类|50"), 0,
     [](FrmBom &form) {
         for (int col = 2; col <= 6; ++col)
             EXPECT_TRUE(form.grid().isLocked(col, 1)) << col;
     }},
    {"classOfAnotherKind", 0, typeAndTab(1, 1, "X1"), kClassNotFound, 1, {12}, QStringLiteral("0"), 0,
     [](FrmBom &form) { EXPECT_TRUE(form.grid().isLocked(2, 1)); }},
    {"auxiliaryProperty", data::kLampBom, typeAndTab(5, 1, "B"), {}, 1, {5, 16, 15}, QStringLiteral("蓝色|蓝色|902")},
    {"auxiliaryPropertyUnknown", data::kLampBom, typeAndTab(5, 1, "Q"), kAuxPropNotFound, 1, {15}, QStringLiteral("0")},
    {"auxiliaryPropertyEmptied", data::kLampBom, typeAndTab(5, 1, ""), {}, 1, {15, 16}, QStringLiteral("0|")},
    {"classAndCodeEmptiedResetTheRowButTheRemark", data::kLampBom,
     [](FrmBom &form) {
         form.grid().SetText(9, 2, QStringLiteral("留着"));
         typeAndTab(1, 2, "")(form);
     },
     {}, 2, {12, 13, 9}, QStringLiteral("||留着"), 0,
     [](FrmBom &form) {
         EXPECT_FALSE(form.grid().isLocked(2, 2));
         EXPECT_FALSE(form.grid().isLocked(6, 2));
     }},
    {"codeEmptiedKeepsTheQuantityDecimals", data::kLampBom, typeAndTab(2, 3, ""), {}, 3, {}, QString(), 0,
     [](FrmBom &form) { EXPECT_EQ(form.grid().decimals(7, 3), 0); }},
};

INSTANTIATE_TEST_SUITE_P(Cases, LeaveCell, ::testing::ValuesIn(kLeaveCases), kCaseName);

// --- F7 in the grid --------------------------------------------------------

TEST_F(EditorTest, F7OnTheChildCodeFillsTheRowOrRefusesThePick)
{
    pick.enqueue(failWith(ComError(errc::DatabaseError, QStringLiteral("PickView"), QStringLiteral("查询失败"))));
    pick.enqueue(pickItem(data::kLamp, QStringLiteral("X"), QStringLiteral("X"), QString(), 1, 1, 0));
    pick.enqueue(pickItem(data::kBulb, QStringLiteral("X"), QStringLiteral("X"), QString(), 1, 1, 0));
    pick.enqueue(pickItem(data::kWire, QStringLiteral("C202"), QStringLiteral("电线"), QString(), 3, 2, 0, 3));
    boxes.expectExact(QStringLiteral("数据读取错误:查询失败"), mb::OK, mb::Information);
    boxes.expectExact(kPickedIsParent, mb::OK, mb::Information).expectExact(kPickedDuplicate, mb::OK, mb::Information);
    runEditor(data::kLampBom, [](FrmBom &form) {
        setCursor(form, 2, 4);
        GridModel &g = form.grid();
        for (int refused = 0; refused < 3; ++refused) {
            pressKey(gridView(form), Qt::Key_F7);
            EXPECT_TRUE(g.text(10, 4).isEmpty());
            expectPending(form, false);
        }
        pressKey(gridView(form), Qt::Key_F7);
        EXPECT_EQ(cells(g, 4, {2, 11, 3, 10, 6, 19, 17}), QStringLiteral("C202|C202|电线|%1|千克|3|2").arg(data::kWire));
        EXPECT_TRUE(g.isLocked(5, 4));
        EXPECT_EQ(g.decimals(7, 4), 3);
        expectPending(form, true);
        // The guard is free again after the failure: leaving a cell is handled.
        leaveAt(6, 4)(form);
        EXPECT_EQ(Val(g.text(7, 4)), 1.0);
    });
    for (const auto &box : boxes.boxes())
        EXPECT_EQ(box.pointer, pointer::Hourglass) << box.text.toStdString();
    ASSERT_EQ(pick.calls().size(), 4u);
    EXPECT_EQ(pick.calls()[3].args[2].toString(), QStringLiteral(" X2.FIsBOM=0 "));
    EXPECT_EQ(lookupParams(pick.calls()[3]), QStringLiteral("BeShortNumber=False|GetDataType=1"));
}

struct BaseFindCase
{
    const char *name;
    friend void PrintTo(const BaseFindCase &c, std::ostream *os) { *os << c.name; }
    int col;
    int row;
    const char *params;   // nullptr: no lookup opens
    int idCol;
    int32_t chosenId;
};

using F7BaseFind = EditorCases<BaseFindCase>;

TEST_P(F7BaseFind, OpensOnlyWhereTheRowAllows)
{
    const BaseFindCase &c = GetParam();
    baseFind.enqueue(baseFindChoice(QStringLiteral(" 选中 "), c.chosenId, QStringLiteral("CODE")));
    runEditor(data::kLampBom, [&c](FrmBom &form) {
        setCursor(form, c.col, c.row);
        pressKey(gridView(form), Qt::Key_F7);
        if (c.params) {
            EXPECT_EQ(cells(form.grid(), c.row, {c.col, c.idCol}), QStringLiteral("选中|%1").arg(c.chosenId));
        }
        // Any key in the grid counts as an edit, a lookup that opened nothing too.
        EXPECT_TRUE(form.isModified());
    });
    EXPECT_EQ(baseFind.instancesCreated(), c.params ? 1 : 0);
    EXPECT_EQ(baseFind.assignments(), QString::fromLatin1(c.params ? c.params : ""));
}

INSTANTIATE_TEST_SUITE_P(
    Columns, F7BaseFind,
    ::testing::Values(BaseFindCase{"substituteClass", 1, 4, "ActiveConnection=<object>|ItemClass=-480|OnlyDetail=True",
                                   12, 50},
                      BaseFindCase{"auxiliaryProperty", 5, 1,
                                   "ActiveConnection=<object>|ItemClass=4|ItemID=200|AuxFilter=1|OnlyDetail=True", 15,
                                   902},
                      BaseFindCase{"noAuxiliaryClass", 5, 3, nullptr, 0, 0},
                      BaseFindCase{"classOnAnItemRow", 1, 1, nullptr, 0, 0}),
    kCaseName);

TEST_F(EditorTest, F7OnTheUnitNeedsTheRowsUnitGroup)
{
    pick.enqueue(pickUnit(2, QStringLiteral("02"), QStringLiteral("箱"), 1));
    runEditor(data::kLampBom, [](FrmBom &form) {
        setCursor(form, 6, 4);   // the entry row has no unit group
        pressKey(gridView(form), Qt::Key_F7);
        setCursor(form, 6, 1);
        pressKey(gridView(form), Qt::Key_F7);
        EXPECT_EQ(cells(form.grid(), 1, {6, 18, 19}), QStringLiteral("箱|箱|2"));
    });
    ASSERT_EQ(pick.calls().size(), 1u);
    EXPECT_EQ(pick.calls()[0].member, QStringLiteral("UnitLookup"));
    EXPECT_EQ(pick.calls()[0].args.at(0).toInt32(), 1);
}

// --- rows --------------------------------------------------------------------

TEST_F(EditorTest, AddRowInsertsAnEmptyRowAtTheCursorInTheGridOnly)
{
    runEditor(data::kLampBom, [](FrmBom &form) {
        focusControl(textBox(form, "TxtBomName"));
        click(form, "AddRow");
        EXPECT_EQ(form.grid().MaxRows(), 4);
        setCursor(form, 3, 2);
        click(form, "AddRow");
        ASSERT_EQ(form.grid().MaxRows(), 5);
        EXPECT_EQ(form.grid().ActiveRow(), 2);
        EXPECT_EQ(QStringList({form.grid().text(1, 2), form.grid().text(1, 3), form.grid().text(2, 4)}),
                  QStringList({"", "灯泡类", "C201"}));
    });
}

TEST_F(EditorTest, DeletingRowsKeepsTheEntryRow)
{
    runEditor(data::kLampBom, [](FrmBom &form) {
        QAction *deleteRow = toolButton(form, "DeleteRow");
        setCursor(form, 2, 4);   // the entry row
        click(form, "DeleteRow");
        EXPECT_EQ(form.grid().MaxRows(), 4);
        EXPECT_FALSE(deleteRow->isVisible());
        EXPECT_FALSE(form.isModified());
        putCell(form, 2, 3, QStringLiteral("C200"));   // a duplicate: leaving the cell would refuse it
        click(form, "DeleteRow");
        EXPECT_EQ(form.grid().MaxRows(), 3);
        EXPECT_TRUE(deleteRow->isVisible());
        EXPECT_TRUE(form.isModified());
        setCursor(form, 2, 1);
        pressKey(gridView(form), Qt::Key_F9, Qt::ShiftModifier);
        EXPECT_EQ(form.grid().MaxRows(), 2);
        EXPECT_EQ(form.grid().text(1, 1), QStringLiteral("灯泡类"));
    });
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
    typeAndTab(1, 2, "TH01")(form);
}

void chooseStatus(FrmBom &form)
{
    focusControl(statusBox(form));
    pressKey(statusBox(form), Qt::Key_Down);
}

struct CheckCase
{
    const char *name;
    friend void PrintTo(const CheckCase &c, std::ostream *os) { *os << c.name; }
    int32_t bomId;
    Step act;
    QString box;
    const char *focus;   // the control that should hold the focus, or nullptr
    int cursorCol;       // a grid cell the cursor is put on (0: not checked)
    int cursorRow;
};

using SaveChecks = EditorCases<CheckCase>;

TEST_P(SaveChecks, RefuseWithTheirMessageAndWriteNothing)
{
    const CheckCase &c = GetParam();
    const int bomsBefore = count(QStringLiteral("SELECT COUNT(*) FROM COM_BOM"));
    runEditor(c.bomId, [this, &c](FrmBom &form) {
        c.act(form);
        boxes.expectExact(c.box, mb::OK, mb::Information);
        countStatements();
        click(form, "Save");
        boxes.verify();
        if (c.focus) {
            EXPECT_EQ(form.focusWidget(), form.findChild<QWidget *>(QString::fromLatin1(c.focus)));
        }
        if (c.cursorCol)
            expectCursor(form, c.cursorCol, c.cursorRow);
        expectPending(form, true);
    });
    EXPECT_EQ(writes(), QStringList());
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM COM_BOM")), bomsBefore);
    EXPECT_FALSE(gReturnOK);
}

Step header(const char *number, const char *name = nullptr)
{
    return [=](FrmBom &form) {
        enterField(form, "TxtBomNumber", QString::fromUtf8(number));
        if (name)
            enterField(form, "TxtBomName", QString::fromUtf8(name));
    };
}

const CheckCase kCheckCases[] = {
    {"numberAndNameEmptyReportsTheNumber", 0, chooseStatus, kNumberEmpty, "TxtBomNumber", 0, 0},
    {"nameEmpty", 0, header("N1"), kNameEmpty, "TxtBomName", 0, 0},
    {"duplicateNumberOfANewBom", 0, header("bom-002", "重号"), kNumberDuplicate, "TxtBomNumber", 0, 0},
    {"noParentItem", 0, header("N1", "无商品"), kNoParentItem, nullptr, 0, 0},
    {"missingUnitInRowThree", data::kLampBom,
     [](FrmBom &form) {
         typeAndTab(6, 3, "")(form);
         chooseStatus(form);
     },
     QStringLiteral("请在第3行输入计量单位!"), nullptr, 0, 0},
    {"classNeverFound", data::kEmptyBom,
     [](FrmBom &form) {
         form.grid().setMaxRows(3);
         form.grid().SetText(1, 2, QStringLiteral("X1"));   // as left after its not-found message
         chooseStatus(form);
     },
     kClassNotFound, "vasSubItem", 1, 2},
    {"childCodeNeverResolved", data::kLampBom,
     [](FrmBom &form) {
         form.grid().SetText(2, 1, QStringLiteral("NOPE"));   // as left after its not-found message
         chooseStatus(form);
     },
     kItemNotFound, "vasSubItem", 2, 1},
};

INSTANTIATE_TEST_SUITE_P(Cases, SaveChecks, ::testing::ValuesIn(kCheckCases), kCaseName);

TEST_F(EditorTest, ExistingBomSavesUnderItsOwnNumber)
{
    runEditor(data::kLampBom, [this](FrmBom &form) {
        enterField(form, "TxtBomName", QStringLiteral("台灯二"));
        chooseStatus(form);
        click(form, "Save");   // its own number: no duplicate check
        expectPending(form, false);
        // Nothing changed since: a second click writes nothing.
        countStatements();
        click(form, "Save");
        EXPECT_EQ(statements(), QStringList());
    });
    EXPECT_TRUE(gReturnOK);
    EXPECT_EQ(gBomName, QStringLiteral("台灯二"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT FBOMNumber||'/'||FBOMName||'/'||FStatus FROM COM_BOM WHERE FBOMID=1")),
              QStringLiteral("BOM-001/台灯二/1"));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM COM_BOM_Child WHERE FBOMID=1")), 3);
}

// The data layer's own refusals and faults are tested there; here only that
// an error escaping it becomes a critical box with the dialog and the edits kept.
TEST_F(EditorTest, AFailingRightsCheckIsShownAndTheEditsStayPending)
{
    security.fail(ComError(errc::CannotCreateObject, QStringLiteral("PlatBase"), QStringLiteral("安全组件不可用")));
    boxes.expect(QStringLiteral("安全组件不可用"), mb::OK, mb::Critical);
    runEditor(data::kLampBom, [](FrmBom &form) {
        enterField(form, "TxtBomName", QStringLiteral("失败"));
        click(form, "Save");
        EXPECT_TRUE(form.isVisible());
        expectPending(form, true);
    });
    EXPECT_FALSE(gReturnOK);
    EXPECT_EQ(scalar(QStringLiteral("SELECT FBOMName FROM COM_BOM WHERE FBOMID=1")), QStringLiteral("台灯结构"));
}

// --- New and Exit ------------------------------------------------------------

struct QuestionCase
{
    const char *name;
    friend void PrintTo(const QuestionCase &c, std::ostream *os) { *os << c.name; }
    const char *command;
    int answer;
    bool valid;   // the checks pass
    bool saved;
};

using AskBeforeLeaving = EditorCases<QuestionCase>;

TEST_P(AskBeforeLeaving, SavesOnlyWhenAskedAndValid)
{
    const QuestionCase &c = GetParam();
    const bool isNew = QLatin1String(c.command) == QLatin1String("New");
    runEditor(0, [this, &c, isNew](FrmBom &form) {
        fillNewBom(form, QStringLiteral("BOM-200"));
        if (!c.valid)
            enterField(form, "TxtBomName", QString());   // the name check fails
        boxes.expectExact(kAskSave, c.answer, mb::OKCancel | mb::Information);
        if (c.answer == mb::OK && !c.valid)
            boxes.expectExact(kNameEmpty, mb::OK, mb::Information);
        click(form, c.command);
        boxes.verify();
        EXPECT_EQ(form.isVisible(), isNew);
        if (isNew) {
            EXPECT_EQ(fields(form, {"TxtBomNumber", "TxtNumber"}), QStringLiteral("|"));
            EXPECT_EQ(form.grid().MaxRows(), 1);
            EXPECT_EQ(QStringLiteral("%1/%2").arg(form.bom().ItemID).arg(form.bom().GroupID), QStringLiteral("0/7"));
            // Edits dropped without a save still count: leaving asks again.
            if (!c.saved)
                boxes.expectExact(kAskSave, mb::Cancel, mb::OKCancel | mb::Information);
            click(form, "Exit");
            boxes.verify();
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
                                           QuestionCase{"newOkFailingCheck", "New", mb::OK, false, false},
                                           QuestionCase{"exitOk", "Exit", mb::OK, true, true},
                                           QuestionCase{"exitCancel", "Exit", mb::Cancel, true, false}),
                         kCaseName);

// --- navigation --------------------------------------------------------------

TEST_F(EditorTest, NavigationMovesThroughTheGroupAndStopsAtItsEnds)
{
    runEditor(data::kChandBom, [](FrmBom &form) {
        enterField(form, "TxtBomName", QStringLiteral("丢弃"));
        for (const auto &[key, bomId] : std::initializer_list<std::pair<const char *, int>>{
                 {"Fr", 1}, {"Pr", 1}, {"Ne", 2}, {"La", 3}, {"Ne", 3}, {"Pr", 2}}) {
            SCOPED_TRACE(key);
            click(form, key);
            EXPECT_EQ(gBomID, bomId);
            EXPECT_EQ(form.bom().BomID, bomId);
            EXPECT_EQ(textBox(form, "TxtBomNumber")->text(), QStringLiteral("BOM-00%1").arg(bomId));
            EXPECT_EQ(statusBox(form)->currentText(), bomId == 2 ? QStringLiteral("未使用") : QStringLiteral("使用"));
            expectPending(form, false);
        }
        EXPECT_EQ(textBox(form, "TxtBomName")->text(), QStringLiteral("吊灯结构"));
        EXPECT_EQ(form.grid().MaxRows(), 2);
        click(form, "Exit");   // nothing changed: nothing to ask
        EXPECT_FALSE(form.isVisible());
    });
    EXPECT_FALSE(gReturnOK);
    EXPECT_EQ(scalar(QStringLiteral("SELECT FBOMName FROM COM_BOM WHERE FBOMID=2")), QStringLiteral("吊灯结构"));
}

TEST_F(EditorTest, NavigationFromABomThatIsGoneShowsTheErrorAndStays)
{
    runEditor(data::kChandBom, [this](FrmBom &form) {
        exec(QStringLiteral("DELETE FROM COM_BOM WHERE FBOMID=2"));
        boxes.expectAny();
        click(form, "Ne");
        ASSERT_EQ(boxes.count(), 1);
        EXPECT_EQ(boxes.last().flags, mb::Critical);
        EXPECT_FALSE(boxes.last().text.isEmpty());
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(textBox(form, "TxtBomNumber")->text(), QStringLiteral("BOM-002"));
    });
    EXPECT_EQ(gBomID, data::kChandBom);
}

} // namespace
