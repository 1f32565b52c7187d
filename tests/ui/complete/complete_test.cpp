// frmBOMComplete through BomInfo.CompleteBom: loading, OK and Cancel with
// what reaches COM_BOM_Note, the grid's typed codes and F7 lookups.

#include "completeharness.h"

#include "services/text/helpers.h"
#include "state/callstate.h"

#include <QLabel>

using namespace torvel;
using namespace torvel::test;
using namespace torvel::completetext;
namespace col = torvel::notecol;

namespace {

const QString kNote7[] = {QStringLiteral("1|1|0|200|901|1|2|0.05|注's"), QStringLiteral("2|1|50|301|0|1|1|0|"),
                          QStringLiteral("3|1|0|201|0|2|4|0|")};

// Which of columns 1 to 6 are locked: L locked, E editable.
QString locks(const GridModel &grid, int row)
{
    QString out;
    for (int c = 1; c <= 6; ++c)
        out += grid.isLocked(c, row) ? u'L' : u'E';
    return out;
}

// --- loading ---------------------------------------------------------------

TEST_F(CompletionTest, LoadsTheRowSourceWithLocksAndTheHeader)
{
    gItemID = -5;
    gBomName = QStringLiteral("earlier");
    complete(0, data::kLampBom, [](FrmBomComplete &form) {
        const GridModel &g = form.grid();
        ASSERT_EQ(g.MaxRows(), 3);
        EXPECT_EQ(cells(g, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}),
                  QStringLiteral("|C200|灯罩|ZS|红色|个|200|C200|3001|901|红色|1|个|1|2|5|注's|"));
        EXPECT_EQ(cells(g, 2, {1, 2, 7, 14, 15, 18}), QStringLiteral("灯泡类||0|1|0|50"));
        EXPECT_EQ(locks(g, 1) + locks(g, 2) + locks(g, 3), QStringLiteral("LLLLEL" "LELLEE" "LLLLLL"));
        EXPECT_EQ(g.backColor(4, 2), kLockYellow);
        EXPECT_EQ(g.backColor(5, 3), kLockYellow);
    });
    EXPECT_EQ(gItemID, data::kLamp);
    EXPECT_EQ(gBomName, QStringLiteral("台灯结构"));
}

TEST_F(CompletionTest, EmptySourcesShowNoRowsAndAMissingBomKeepsTheHeader)
{
    const struct { const char *name; int32_t note, bom; int rows; const char *caption; } cases[] = {
        {"BOM without lines", 0, data::kEmptyBom, 0, "商品结构清单(配置) -空清单"},
        {"note id without rows", 8, data::kLampBom, 0, "商品结构清单(配置) -台灯结构"},
        {"BOM row missing", data::kNote, 99, 3, "商品结构清单(配置)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        gItemID = -5;
        complete(c.note, c.bom, [&](FrmBomComplete &form) {
            EXPECT_EQ(form.grid().MaxRows(), c.rows);
            EXPECT_EQ(form.windowTitle(), QString::fromUtf8(c.caption));
        });
        EXPECT_EQ(gItemID, c.bom == 99 ? -5 : data::kLamp);
    }
}

TEST_F(CompletionTest, ALoadErrorIsReportedAndTheDialogStays)
{
    boxes.expect(kReadError + QStringLiteral("磁盘已满"), mb::OK, mb::Information);
    failStatement(QStringLiteral("FROM COM_BOM_Note"));
    bool open = false;
    complete(data::kNote, data::kLampBom, [&](FrmBomComplete &form) {
        open = form.isVisible();
        EXPECT_EQ(form.windowTitle(), kCaption);
    });
    EXPECT_TRUE(open);
}

// An existing completion is compared with the BOM's lines as they are now.
TEST_F(CompletionTest, WarnsWhenTheBomChangedSinceTheCompletion)
{
    const struct
    {
        const char *change;
        const char *warning;   // empty: none
    } cases[] = {
        {"UPDATE COM_BOM_Child SET FRemark='x' WHERE FBOMID=1", ""},
        {"UPDATE COM_BOM_Child SET FQty=5 WHERE FBOMID=1 AND FBOMEntryID=3", "第3行的数量由4改为5"},
        {"UPDATE COM_BOM_Child SET FScrap=0.07 WHERE FBOMID=1 AND FBOMEntryID=1", "第1行的损耗率由5%改为7%"},
        {"UPDATE COM_BOM_Child SET FReplaceClassID=51 WHERE FBOMID=1 AND FBOMEntryID=2", "第2行的可替换商品类别或子商品不同"},
        {"UPDATE COM_BOM_Child SET FItemID=301 WHERE FBOMID=1 AND FBOMEntryID=3", "第3行的可替换商品类别或子商品不同"},
        {"DELETE FROM COM_BOM_Child WHERE FBOMID=1 AND FBOMEntryID=3", "清单现有2行, 此配置有3行"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.change);
        cnn->BeginTrans();
        cnn->Execute(QString::fromUtf8(c.change));
        complete(data::kNote, data::kLampBom, [&](FrmBomComplete &form) {
            auto *label = form.findChild<QLabel *>(QStringLiteral("lblBomChanged"));
            EXPECT_EQ(label->isVisible(), *c.warning != 0);
            EXPECT_TRUE(label->text().contains(QString::fromUtf8(c.warning))) << label->text().toStdString();
        });
        cnn->RollbackTrans();
    }
}

// --- OK and Cancel ----------------------------------------------------------

struct OkCase
{
    const char *name;
    friend void PrintTo(const OkCase &c, std::ostream *os) { *os << c.name; }
    int32_t note, bom;
    Script edit;                      // before OK
    std::vector<std::pair<QString, int>> boxes;   // expected in order, with the answer
    bool closes;
    int32_t returns;
    int32_t savedAs;                  // 0: nothing written
    std::vector<QString> saved;       // the rows then stored under savedAs
};

Script typed(int c, int row, const char *text)
{
    return [=](FrmBomComplete &form) { typeAndLeave(form, c, row, QString::fromUtf8(text)); };
}

const OkCase kOkCases[] = {
    {"newSavedWithTheNextId", 0, data::kFixedBom, {}, {{kAskSave, mb::OK}}, true, 8, 8,
     {"1|3|0|200|901|1|2|0.05|注's", "2|3|0|201|0|2|1|0|", "3|3|0|301|0|1|1.5|0.1|"}},
    {"existingAskedAndResavedAsItWas", data::kNote, data::kLampBom, {}, {{kAskModified, mb::OK}}, true,
     data::kNote, data::kNote, {kNote7[0], kNote7[1], kNote7[2]}},
    {"changedNewOneAskedTheOtherQuestion", 0, data::kFixedBom,
     [](FrmBomComplete &form) { press(form, Qt::Key_Down); }, {{kAskModified, mb::Cancel}}, false, 0, 0, {}},
    {"questionCancelled", 0, data::kFixedBom, {}, {{kAskSave, mb::Cancel}}, false, 0, 0, {}},
    {"negativeIdUnchangedClosesUnasked", -1, data::kFixedBom, {}, {}, true, 0, 0, {}},
    {"itemMissing", 0, data::kLampBom, {}, {{kAskSave, mb::OK}, {itemMissing(2), mb::OK}}, false, 0, 0, {}},
    {"unitEmptied", data::kNote, data::kLampBom, typed(col::Unit, 2, ""),
     {{kAskModified, mb::OK}, {unitMissing(2), mb::OK}}, false, data::kNote, 0, {}},
    {"propertyEmptied", data::kNote, data::kLampBom, typed(col::AuxProp, 1, ""),
     {{kAskModified, mb::OK}, {auxPropMissing(1), mb::OK}}, false, data::kNote, 0, {}},
    {"itemCodeCleared", data::kNote, data::kLampBom, typed(col::ItemNumber, 2, ""),
     {{kAskModified, mb::OK}, {itemMissing(2), mb::OK}}, false, data::kNote, 0, {}},
};

class CompletionOk : public CompletionTest, public ::testing::WithParamInterface<OkCase>
{};

TEST_P(CompletionOk, AsksChecksSavesAndCloses)
{
    const OkCase &c = GetParam();
    for (const auto &[text, answer] : c.boxes)
        boxes.expectExact(text, answer, text == kAskSave || text == kAskModified ? 65 : 64);
    const QStringList before = allNotes(*cnn);
    bool stillOpen = false;
    const int32_t returned = complete(c.note, c.bom, [&](FrmBomComplete &form) {
        if (c.edit)
            c.edit(form);
        form.btnOK_Click();
        stillOpen = form.isVisible();
    });
    EXPECT_EQ(stillOpen, !c.closes);
    EXPECT_EQ(returned, c.returns);
    if (c.savedAs == 0) {
        EXPECT_EQ(allNotes(*cnn), before);
        return;
    }
    EXPECT_EQ(notesOf(*cnn, c.savedAs), QStringList(c.saved.begin(), c.saved.end()));
    // Saved again unchanged, the rows stay what they were (scrap 0.05 included).
    boxes.expectExact(kAskModified, mb::OK);
    EXPECT_EQ(complete(c.savedAs, c.bom, [](FrmBomComplete &form) { form.btnOK_Click(); }), c.savedAs);
    EXPECT_EQ(notesOf(*cnn, c.savedAs), QStringList(c.saved.begin(), c.saved.end()));
}

INSTANTIATE_TEST_SUITE_P(Cases, CompletionOk, ::testing::ValuesIn(kOkCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(CompletionTest, AFailedSaveKeepsTheStoredNotesAndTheId)
{
    for (const char *failing : {"INSERT INTO COM_Bom_Note", "DELETE  FROM COM_BOM_Note"}) {
        SCOPED_TRACE(failing);
        boxes.expectExact(kAskModified, mb::OK);
        boxes.expectExact(kSaveError + QStringLiteral("磁盘已满"), mb::OK, mb::Information);
        const QStringList before = allNotes(*cnn);
        bool stillOpen = false;
        const int32_t returned = complete(data::kNote, data::kLampBom, [&](FrmBomComplete &form) {
            failStatement(QString::fromUtf8(failing));
            form.btnOK_Click();
            stillOpen = form.isVisible();
        });
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(returned, data::kNote);
        EXPECT_EQ(allNotes(*cnn), before);
    }
}

// --- grid editing -----------------------------------------------------------

struct GridCase
{
    const char *name;
    friend void PrintTo(const GridCase &c, std::ostream *os) { *os << c.name; }
    int32_t note;          // of BOM 1; 0: a new completion
    Script act;
    QString box;           // empty: none
    bool changed;          // the changed flag afterwards
    Script check;
};

Script f7At(int c, int row)
{
    return [=](FrmBomComplete &form) {
        setCursor(form, c, row);
        press(form, Qt::Key_F7);
    };
}

void expectCursor(FrmBomComplete &form, int c, int row)
{
    EXPECT_EQ(form.grid().ActiveCol(), c);
    EXPECT_EQ(form.grid().ActiveRow(), row);
}

const GridCase kGridCases[] = {
    {"shortNumberTakesTheShortestNumberOfTheClass", 0, typed(col::ItemNumber, 2, "BB"), {}, true,
     [](FrmBomComplete &form) {
         EXPECT_EQ(cells(form.grid(), 2, {2, 3, 4, 6, 7, 8, 9, 12, 13, 14}),
                   QStringLiteral("B-01|白炽灯泡|40W|个|301|B-01|0|1|个|1"));
         EXPECT_TRUE(form.grid().isLocked(col::AuxProp, 2));
         EXPECT_EQ(form.grid().backColor(col::AuxProp, 2), kLockYellow);
     }},
    {"codeWithAQuoteMatchesAsTypedAndUnlocksTheProperty", 0,
     [](FrmBomComplete &form) {
         typeAndLeave(form, col::ItemNumber, 2, QStringLiteral("BB"));
         typeAndLeave(form, col::ItemNumber, 2, QStringLiteral("B'03"));
     },
     {}, true,
     [](FrmBomComplete &form) {
         EXPECT_EQ(cells(form.grid(), 2, {2, 6, 7, 9, 13, 14}), QStringLiteral("B'03|箱|303|3001|箱|2"));
         EXPECT_FALSE(form.grid().isLocked(col::AuxProp, 2));
         EXPECT_EQ(form.grid().backColor(col::AuxProp, 2), kWhite);
     }},
    {"itemOfAnotherClass", data::kNote, typed(col::ItemNumber, 2, "X-1"), kItemNotInClass, true,
     [](FrmBomComplete &form) {
         expectCursor(form, col::ItemNumber, 2);
         EXPECT_EQ(cells(form.grid(), 2, {3, 7}), QStringLiteral("白炽灯泡|0"));
     }},
    {"parentTyped", 0, typed(col::ItemNumber, 2, "P100"), kChildIsParent, true,
     [](FrmBomComplete &form) { expectCursor(form, col::ItemNumber, 2); }},
    {"duplicateTyped", 0, typed(col::ItemNumber, 2, "DJ"), kChildDuplicate, true,
     [](FrmBomComplete &form) {
         expectCursor(form, col::ItemNumber, 2);
         EXPECT_EQ(form.grid().text(col::ItemID, 2), QStringLiteral("0"));
     }},
    {"ownCodeLeftAgain", data::kNote, typed(col::ItemNumber, 2, "B-01"), {}, true,
     [](FrmBomComplete &form) { EXPECT_EQ(form.grid().ActiveCol(), col::ItemName); }},
    {"itemCodeCleared", data::kNote, typed(col::ItemNumber, 2, ""), {}, true,
     [](FrmBomComplete &form) {
         EXPECT_EQ(cells(form.grid(), 2, {1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 18}),
                   QStringLiteral("灯泡类||||||||||||1|50"));
         EXPECT_FALSE(form.grid().isLocked(col::AuxProp, 2));
         EXPECT_EQ(form.grid().backColor(col::AuxProp, 2), kWhite);
     }},
    {"unitOfTheGroup", data::kNote, typed(col::Unit, 2, "02"), {}, true,
     [](FrmBomComplete &form) { EXPECT_EQ(cells(form.grid(), 2, {6, 13, 14}), QStringLiteral("箱|箱|2")); }},
    {"unitEmptiedAndTypedAgain", data::kNote,
     [](FrmBomComplete &form) {
         typeAndLeave(form, col::Unit, 2, QString());
         EXPECT_EQ(form.grid().text(col::UnitID, 2), QStringLiteral("0"));
         typeAndLeave(form, col::Unit, 2, QStringLiteral("个"));
     },
     kUnitNotFound, true, [](FrmBomComplete &form) { EXPECT_EQ(form.grid().text(col::UnitID, 2), QStringLiteral("0")); }},
    {"property", data::kNote, typed(col::AuxProp, 1, "B"), {}, true,
     [](FrmBomComplete &form) { EXPECT_EQ(cells(form.grid(), 1, {5, 10, 11}), QStringLiteral("蓝色|902|蓝色")); }},
    {"propertyUnknown", data::kNote, typed(col::AuxProp, 1, "Q"), kAuxPropNotFound, true,
     [](FrmBomComplete &form) {
         expectCursor(form, col::AuxProp, 1);
         EXPECT_EQ(form.grid().text(col::AuxPropID, 1), QStringLiteral("0"));
     }},
    {"f7PropertyWithoutClassStillCountsAsAnEdit", data::kNote, f7At(col::AuxProp, 3), {}, true, {}},
    {"f7ParentRefused", data::kNote, f7At(col::ItemNumber, 2), kPickedIsParent, false,
     [](FrmBomComplete &form) { EXPECT_EQ(form.grid().text(col::ItemID, 2), QStringLiteral("301")); }},
    {"f7OwnItemRefused", data::kNote, f7At(col::ItemNumber, 2), kPickedDuplicate, false, {}},
    {"f7OtherColumn", data::kNote, f7At(col::Model, 1), {}, true, {}},
};

class CompletionGrid : public CompletionTest, public ::testing::WithParamInterface<GridCase>
{};

TEST_P(CompletionGrid, EditsTheRow)
{
    const GridCase &c = GetParam();
    if (!c.box.isEmpty())
        boxes.expectExact(c.box, mb::OK, mb::Information);
    if (c.box == kPickedIsParent)
        pick.enqueue(pickItem(data::kLamp, QStringLiteral("P100"), QStringLiteral("台灯"), QString(), 1, 1, 0));
    if (c.box == kPickedDuplicate)
        pick.enqueue(pickItem(data::kBulbShort, QStringLiteral("B-01"), QStringLiteral("白炽灯泡"), QString(), 1, 1, 0));
    complete(c.note, data::kLampBom, [&](FrmBomComplete &form) {
        c.act(form);
        EXPECT_EQ(form.isChanged(), c.changed);
        if (c.check)
            c.check(form);
    });
}

INSTANTIATE_TEST_SUITE_P(Cases, CompletionGrid, ::testing::ValuesIn(kGridCases),
                         [](const auto &info) { return std::string(info.param.name); });

// F7 calls the outside components with exactly these arguments and fills
// the row from their answers.
TEST_F(CompletionTest, F7LookupsPassTheirArgumentsAndFillTheRow)
{
    pick.enqueue(pickItem(data::kBulbColour, QStringLiteral("B'03"), QStringLiteral("彩色灯泡"),
                                  QStringLiteral("RGB"), 2, 1, 3001));
    pick.enqueue(pickUnit(1, QStringLiteral("01"), QStringLiteral("个"), 1));
    baseFind.enqueue(baseFindChoice(QStringLiteral(" 蓝色 "), data::kBlue, QStringLiteral("B")));
    boxes.expectExact(kAskModified, mb::OK);
    const int32_t id = complete(data::kNote, data::kLampBom, [](FrmBomComplete &form) {
        f7At(col::ItemNumber, 2)(form);
        EXPECT_EQ(cells(form.grid(), 2, {2, 3, 4, 6, 7, 8, 9, 12, 13, 14}),
                  QStringLiteral("B'03|彩色灯泡|RGB|箱|303|B'03|3001|1|箱|2"));
        EXPECT_FALSE(form.grid().isLocked(col::AuxProp, 2));
        f7At(col::Unit, 2)(form);
        f7At(col::AuxProp, 2)(form);
        EXPECT_EQ(cells(form.grid(), 2, {5, 6, 10, 11, 13, 14}), QStringLiteral("蓝色|个|902|蓝色|个|1"));
        f7At(col::ItemNumber, 3)(form);   // the last row, a fixed one: no class to filter by
        form.btnOK_Click();
    });
    ASSERT_EQ(pick.calls().size(), 3u);
    EXPECT_EQ(pick.calls()[2].args.at(2).toString(), QStringLiteral(" X2.FReplaceClassID="));
    const ComponentCall &item = pick.calls()[0];
    EXPECT_EQ(item.member, QStringLiteral("ItemLookup"));
    EXPECT_EQ(item.args.at(2).toString(), QStringLiteral(" X2.FReplaceClassID=50"));
    EXPECT_EQ(pick.calls()[1].args.at(0).toDouble(), 1.0);
    EXPECT_EQ(baseFind.assignments(), QStringLiteral("ActiveConnection=<object>|ItemClass=4|ItemID=303|AuxFilter=1|OnlyDetail=True"));
    EXPECT_EQ(id, data::kNote);
    EXPECT_EQ(notesOf(*cnn, data::kNote),
              (QStringList{kNote7[0], QStringLiteral("2|1|50|303|902|1|1|0|"), kNote7[2]}));
}

TEST_F(CompletionTest, WithoutThePickListEveryKeyReportsIt)
{
    ScopedFactory none(QStringLiteral("PickView.GLView"), nullptr);
    boxes.expect(kGridReadError, mb::OK, mb::Information);
    complete(data::kNote, data::kLampBom, [](FrmBomComplete &form) {
        setCursor(form, col::ItemNumber, 2);
        press(form, Qt::Key_A);
        EXPECT_FALSE(form.isChanged());
    });
}

} // namespace
