// frmBom opened through the dialog seam: the form, opening new and existing
// BOMs, the header fields with their lookups and checks, the form-wide keys,
// the timer's rule for "DeleteRow" and the pointer.

#include "editorharness.h"

#include <QClipboard>
#include <QTimer>

using namespace torvel;
using namespace torvel::test;

namespace {

using editortext::kItemIsChild;
using editortext::kItemNotAssembly;
using editortext::kItemNotFound;

TEST_F(EditorTest, OpensANewBomEmptyWithNavigationHidden)
{
    for (int32_t id : {0, -3}) {   // any id below 1 is a new BOM
        SCOPED_TRACE(id);
        runEditor(id, [](FrmBom &form) {
            EXPECT_EQ(form.windowTitle(), QStringLiteral("商品结构清单(新增)"));
            for (const char *key : {"Fr", "Pr", "Ne", "La"})
                EXPECT_FALSE(toolButton(form, key)->isVisible()) << key;
            EXPECT_TRUE(toolButton(form, "New")->isVisible());
            expectPending(form, false);
            EXPECT_EQ(fields(form, {"TxtBomNumber", "TxtBomName", "TxtNumber", "TxtAuxProp"}), QStringLiteral("|||"));
            EXPECT_EQ(form.grid().MaxRows(), 1);
        });
    }
}

TEST_F(EditorTest, OpensAnExistingBomAndLeavingTheParentItemUnchangedOrEmptyRunsNoQuery)
{
    runEditor(data::kLampBom, [this](FrmBom &form) {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("商品结构清单(修改)"));
        EXPECT_FALSE(toolButton(form, "New")->isVisible());
        for (const char *key : {"Fr", "Pr", "Ne", "La"})
            EXPECT_TRUE(toolButton(form, key)->isVisible()) << key;
        expectPending(form, false);
        EXPECT_EQ(fields(form, {"TxtBomNumber", "TxtBomName", "TxtNumber", "TxtName", "TxtModel", "TxtAuxProp",
                                "TxtUnit"}),
                  QStringLiteral("BOM-001|台灯结构|P100|台灯|T-1|红色|个"));
        // The lines' cells, locks and colours are the data layer's load; here
        // they arrive, with the entry row after them.
        ASSERT_EQ(form.grid().MaxRows(), 4);
        EXPECT_EQ(cells(form.grid(), 1, {2, 3, 5, 6, 9}), QStringLiteral("C200|灯罩|红色|个|注"));
        EXPECT_TRUE(form.grid().text(2, 4).isEmpty());

        countStatements();
        focusControl(textBox(form, "TxtNumber"));
        pressKey(textBox(form, "TxtNumber"), Qt::Key_Tab);   // unchanged
        enterField(form, "TxtNumber", QString());             // empty
        EXPECT_EQ(statements(), QStringList());
        EXPECT_EQ(form.bom().ItemID, data::kLamp);
        EXPECT_FALSE(form.isModified());
    });
}

TEST_F(EditorTest, BomThatDidNotLoadWholeIsShownButNeverSaved)
{
    // The parent item is gone: the header loads up to the item, the lines never.
    exec(QStringLiteral("UPDATE COM_BOM SET FItemID=999 WHERE FBOMID=1"));
    boxes.expect(QStringLiteral("数据读取错误:"), mb::OK, mb::Information);
    runEditor(data::kLampBom, [this](FrmBom &form) {
        EXPECT_TRUE(form.isIncomplete());
        enterField(form, "TxtBomName", QStringLiteral("改过"));
        EXPECT_FALSE(toolButton(form, "Save")->isEnabled());
        countStatements();
        click(form, "Save");
        click(form, "Exit");   // nothing to ask: it cannot be saved
        EXPECT_FALSE(form.isVisible());
    });
    EXPECT_EQ(writes(), QStringList());
    EXPECT_FALSE(gReturnOK);
    EXPECT_EQ(scalar(QStringLiteral("SELECT FBOMName FROM COM_BOM WHERE FBOMID=1")), QStringLiteral("台灯结构"));
}

// --- header fields --------------------------------------------------------

struct ItemCase
{
    const char *name;
    friend void PrintTo(const ItemCase &c, std::ostream *os) { *os << c.name; }
    const char *typed;
    const char *box;   // nullptr: accepted
};

using ParentItemEntry = EditorCases<ItemCase>;

TEST_P(ParentItemEntry, ChecksTheTypedCodeWhenTheFieldIsLeft)
{
    const ItemCase &c = GetParam();
    if (c.box)
        boxes.expectExact(QString::fromUtf8(c.box), mb::OK, mb::Information);
    runEditor(0, [&c](FrmBom &form) {
        enterField(form, "TxtNumber", QString::fromUtf8(c.typed));
        if (c.box) {
            EXPECT_EQ(form.focusWidget(), textBox(form, "TxtNumber"));
            EXPECT_EQ(parentItem(form.bom()), parentItem(BOM()));
            return;
        }
        EXPECT_EQ(form.focusWidget(), textBox(form, "TxtAuxProp"));
        EXPECT_EQ(parentItem(form.bom()), QStringLiteral("100|P100|台灯|1|个|01|3001|1"));
        EXPECT_EQ(form.bom().Model, QStringLiteral("T-1"));
        EXPECT_EQ(fields(form, {"TxtName", "TxtModel", "TxtUnit"}), QStringLiteral("台灯|T-1|个"));
        expectPending(form, true);
    });
}

INSTANTIATE_TEST_SUITE_P(Codes, ParentItemEntry,
                         ::testing::Values(ItemCase{"unknown", "NOPE",
                                                    "输入的代码找不到对应的商品,请输入正确的商品代码或按 F7 查询!"},
                                           ItemCase{"notAssembly", "C200", "输入的商品不是组合件,请重新输入或按F7查询!"},
                                           ItemCase{"quoteCannotBeTyped", "P1'00", nullptr},
                                           ItemCase{"accepted", "P100", nullptr}),
                         kCaseName);

TEST_F(EditorTest, ParentItemHeldByAChildRestoresTheCodeAndKeepsEarlierEdits)
{
    // BOM-002 has P102 as a line. With an earlier edit pending the dialog
    // still offers to save it; without one it offers nothing.
    for (bool editedBefore : {true, false}) {
        SCOPED_TRACE(editedBefore);
        boxes.expectExact(kItemIsChild, mb::OK, mb::Information);
        runEditor(data::kChandBom, [editedBefore](FrmBom &form) {
            if (editedBefore)
                enterField(form, "TxtBomName", QStringLiteral("新名称"));
            enterField(form, "TxtNumber", QStringLiteral("P102"));
            EXPECT_EQ(textBox(form, "TxtNumber")->text(), QStringLiteral("P101"));
            EXPECT_EQ(form.bom().ItemID, data::kChandelier);
            EXPECT_EQ(form.focusWidget(), textBox(form, "TxtNumber"));
            expectPending(form, editedBefore);
            // The restored code is the BOM's own: leaving now passes quietly.
            pressKey(textBox(form, "TxtNumber"), Qt::Key_Tab);
            EXPECT_EQ(form.focusWidget(), textBox(form, "TxtAuxProp"));
        });
    }
}

TEST_F(EditorTest, ParentItemLeftByTheMouseIsCheckedAndTakesTheFocusBack)
{
    boxes.expectExact(kItemNotFound, mb::OK, mb::Information).expectExact(kItemNotFound, mb::OK, mb::Information);
    runEditor(0, [](FrmBom &form) {
        QLineEdit *number = textBox(form, "TxtNumber");
        focusControl(number);
        typeText(number, QStringLiteral("NOPE"));
        QTest::mouseClick(textBox(form, "TxtBomName"), Qt::LeftButton);
        QCoreApplication::processEvents();
        EXPECT_EQ(form.focusWidget(), number);
        EXPECT_EQ(form.bom().ItemID, 0);
        // A click through the window is refused before the grid sees it.
        GridView *view = gridView(form);
        const QRect quantity = view->visualRect(form.grid().index(0, 6));
        QTest::mouseClick(form.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          view->viewport()->mapTo(&form, quantity.center()));
        EXPECT_EQ(form.focusWidget(), number);
        EXPECT_EQ(form.grid().ActiveCol(), 1);
        EXPECT_TRUE(form.grid().text(7, 1).isEmpty());
    });
}

TEST_F(EditorTest, EnterMovesOnLikeTabThroughTheChecks)
{
    boxes.expectExact(kItemNotAssembly, mb::OK, mb::Information);
    runEditor(0, [](FrmBom &form) {
        QLineEdit *bomNumber = textBox(form, "TxtBomNumber");
        focusControl(bomNumber);
        typeText(bomNumber, QStringLiteral("N-1"));
        pressKey(bomNumber, Qt::Key_Return);
        EXPECT_EQ(form.focusWidget(), textBox(form, "TxtBomName"));
        EXPECT_EQ(form.bom().BomNumber, QStringLiteral("N-1"));
        pressKey(textBox(form, "TxtBomName"), Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(form.focusWidget(), statusBox(form));
        pressKey(statusBox(form), Qt::Key_Return);
        EXPECT_EQ(form.focusWidget(), textBox(form, "TxtNumber"));
        typeText(textBox(form, "TxtNumber"), QStringLiteral("C201"));
        pressKey(textBox(form, "TxtNumber"), Qt::Key_Return);   // refused: stays
        EXPECT_EQ(form.focusWidget(), textBox(form, "TxtNumber"));
    });
}

TEST_F(EditorTest, F7OnTheParentItemFillsTheHeaderFromThePickList)
{
    pick.enqueue({});   // the standing reply: cancelled
    pick.enqueue(failWith(ComError(errc::CannotCreateObject, QStringLiteral("PickView"), QStringLiteral("无法创建对象"))));
    pick.enqueue(pickItem(data::kLamp, QStringLiteral("P100"), QStringLiteral("台灯"), QStringLiteral("T-1"),
                                  1, 1, 3001));
    boxes.expectExact(QStringLiteral("数据读取错误,无法创建对象"), mb::OK, mb::Exclamation);
    prepareCall(0, 5);
    runEditor([](FrmBom &form) {
        QLineEdit *number = textBox(form, "TxtNumber");
        focusControl(number);
        for (int i = 0; i < 2; ++i)   // cancelled, then failing: nothing changes
            pressKey(number, Qt::Key_F7);
        EXPECT_TRUE(form.isVisible());
        EXPECT_FALSE(form.isModified());
        EXPECT_TRUE(number->text().isEmpty());
        pressKey(number, Qt::Key_F7);
        EXPECT_EQ(fields(form, {"TxtNumber", "TxtName", "TxtModel", "TxtUnit"}), QStringLiteral("P100|台灯|T-1|个"));
        EXPECT_EQ(parentItem(form.bom()), QStringLiteral("100|P100|台灯|1|个|01|3001|1"));
        EXPECT_EQ(form.bom().GroupID, 5);
        expectPending(form, true);
        // The picked code is the BOM's own now: leaving runs no check.
        pressKey(number, Qt::Key_Tab);
        EXPECT_EQ(form.focusWidget(), textBox(form, "TxtAuxProp"));
    });
    EXPECT_EQ(boxes.last().pointer, pointer::Hourglass);
    ASSERT_EQ(pick.calls().size(), 3u);
    const ComponentCall &call = pick.calls()[2];
    EXPECT_EQ(call.member, QStringLiteral("ItemLookup"));
    ASSERT_EQ(call.args.size(), 4u);
    EXPECT_EQ(call.args[2].toString(), QStringLiteral(" X2.FIsBOM=1 "));
    EXPECT_EQ(lookupParams(call), QStringLiteral("BeShortNumber=False|GetDataType=1|FirstShow=1"));
}

TEST_F(EditorTest, F7OnTheAuxiliaryPropertyNeedsAParentItem)
{
    baseFind.enqueue(baseFindChoice(QStringLiteral(" 蓝色 "), data::kBlue, QStringLiteral("B")));
    runEditor(0, [this](FrmBom &form) {
        QLineEdit *aux = textBox(form, "TxtAuxProp");
        pressKey(aux, Qt::Key_F7);
        EXPECT_EQ(baseFind.instancesCreated(), 0);
        enterField(form, "TxtNumber", QStringLiteral("P100"));
        pressKey(aux, Qt::Key_F7, Qt::ShiftModifier);
        EXPECT_EQ(aux->text(), QStringLiteral("蓝色"));
        EXPECT_EQ(QStringLiteral("%1|%2|%3").arg(form.bom().AuxPropID).arg(form.bom().AuxPropNumber, form.bom().AuxProp),
                  QStringLiteral("902|B|蓝色"));
    });
    EXPECT_EQ(baseFind.instancesCreated(), 1);
    EXPECT_EQ(baseFind.assignments(),
              QStringLiteral("ActiveConnection=<object>|ItemID=100|ItemClass=4|AuxFilter=1|OnlyDetail=True"));
    EXPECT_EQ(baseFind.calls().back().member, QStringLiteral("Show"));
}

struct AuxCase
{
    const char *name;
    friend void PrintTo(const AuxCase &c, std::ostream *os) { *os << c.name; }
    const char *before;    // entered first, or nullptr
    const char *typed;
    const char *shown;     // the field afterwards
    int32_t auxPropId;     // the BOM's afterwards
    bool refused;
    bool queries;
};

using AuxPropEntry = EditorCases<AuxCase>;

TEST_P(AuxPropEntry, TypedCodeOrNameIsResolved)
{
    const AuxCase &c = GetParam();
    if (c.refused)
        boxes.expectExact(editortext::kAuxPropNotFound, mb::OK, mb::Information);
    prepareCall(data::kLampBom);   // red is chosen; its code is known once looked up
    runEditor([this, &c](FrmBom &form) {
        if (c.before)
            enterField(form, "TxtAuxProp", QString::fromUtf8(c.before));
        const bool modifiedBefore = form.isModified();
        countStatements();
        enterField(form, "TxtAuxProp", QString::fromUtf8(c.typed));
        EXPECT_EQ(textBox(form, "TxtAuxProp")->text(), QString::fromUtf8(c.shown));
        EXPECT_EQ(form.bom().AuxPropID, c.auxPropId);
        EXPECT_EQ(form.focusWidget() == textBox(form, "TxtAuxProp"), c.refused);
        EXPECT_EQ(!statements().isEmpty(), c.queries);
        EXPECT_EQ(form.isModified(), modifiedBefore || (!c.refused && c.queries));
    });
}

INSTANTIATE_TEST_SUITE_P(Texts, AuxPropEntry,
                         ::testing::Values(AuxCase{"currentName", nullptr, "红色", "红色", data::kRed, false, false},
                                           AuxCase{"currentNumber", "B", "B", "蓝色", data::kBlue, false, false},
                                           AuxCase{"otherNumber", nullptr, "B", "蓝色", data::kBlue, false, true},
                                           AuxCase{"numberOfTheLoaded", nullptr, "R", "红色", data::kRed, false, true},
                                           AuxCase{"unknown", nullptr, "Q", "Q", data::kRed, true, true},
                                           AuxCase{"empty", nullptr, "", "", data::kRed, false, false}),
                         kCaseName);

// --- keys ------------------------------------------------------------------

TEST_F(EditorTest, QuotesAreSwallowedEverywhereAndTheNumberRefusesMore)
{
    runEditor(data::kLampBom, [](FrmBom &form) {
        const QString typed = QStringLiteral("a'b\"c,d.e`f");
        QApplication::clipboard()->setText(typed);
        for (const char *name : {"TxtBomNumber", "TxtAuxProp"}) {
            QLineEdit *box = textBox(form, name);
            box->clear();
            typeText(box, typed);
            pressKey(box, Qt::Key_V, Qt::ControlModifier);
            EXPECT_EQ(box->text(), QLatin1String(name) == QLatin1String("TxtBomNumber") ? QStringLiteral("abcdefabcdef")
                                                                                      : QStringLiteral("abc,d.e`fabc,d.e`f"));
        }
        GridView *view = gridView(form);
        setCursor(form, 9, 4);
        typeText(view, QStringLiteral("'x'y\"z"));   // the first key would open the cell editor
        QWidget *editor = QApplication::focusWidget();
        ASSERT_TRUE(editor && view->isAncestorOf(editor));
        pressKey(editor, Qt::Key_Tab);
        EXPECT_EQ(form.grid().text(9, 4), QStringLiteral("xyz"));
    });
}

TEST_F(EditorTest, EscClosesAtOnceWithUnsavedChanges)
{
    prepareCall(data::kLampBom);
    gReturnOK = true;   // left as it was
    runEditor([](FrmBom &form) {
        enterField(form, "TxtBomName", QStringLiteral("不保存"));
        EXPECT_EQ(form.bom().BomName, QStringLiteral("不保存"));
        expectPending(form, true);
        pressKey(textBox(form, "TxtBomName"), Qt::Key_Escape);
        EXPECT_FALSE(form.isVisible());
    });
    EXPECT_TRUE(gReturnOK);
    EXPECT_EQ(gBomID, data::kLampBom);
    EXPECT_EQ(scalar(QStringLiteral("SELECT FBOMName FROM COM_BOM WHERE FBOMID=1")), QStringLiteral("台灯结构"));
}

TEST_F(EditorTest, TimerOffersDeleteRowOnlyInTheGridAboveTheEntryRow)
{
    runEditor(data::kLampBom, [](FrmBom &form) {
        // Row 0: the focus in a header field; row 4 is the entry row.
        for (const auto &[row, enabled] : std::initializer_list<std::pair<int, bool>>{
                 {1, true}, {0, false}, {3, true}, {4, false}, {2, true}}) {
            if (row == 0)
                focusControl(textBox(form, "TxtBomName"));
            else
                setCursor(form, 3, row);
            form.Timer1_Timer();
            EXPECT_EQ(toolButton(form, "DeleteRow")->isEnabled(), enabled) << row;
        }
    });
}

TEST_F(EditorTest, PointerIsTheHourglassDuringAClickAndDefaultOnActivation)
{
    runEditor(data::kLampBom, [this](FrmBom &form) {
        pointer.setPointer(pointer::Hourglass);
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(&form, &activate);
        EXPECT_EQ(pointer.pointer(), pointer::Default);
        pointer.clear();
        click(form, "Save");   // nothing to save
        EXPECT_EQ(pointer.changes(), (std::vector<int>{pointer::Hourglass, pointer::Default}));
    });
}

} // namespace
