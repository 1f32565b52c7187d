#include "bomdata/bom.h"

#include "bomtestdb.h"
#include "comerrors.h"
#include "dbfixture.h"
#include "state/callstate.h"
#include "fakecomponents.h"
#include "msgboxrecorder.h"
#include "printers.h"
#include "services/com/comerror.h"
#include "bomdata/gridmodel.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>

namespace torvel {
namespace {

using test::FakeSecurity;
using test::rowsOf;
using test::FakeShareProps;
using test::MessageBoxRecorder;

// A grid shaped as the editor prepares its child grid: 19 columns, the
// quantity and scrap columns number cells.
std::unique_ptr<GridModel> childGrid(int rows = 1)
{
    auto grid = std::make_unique<GridModel>(bomcol::Count, rows);
    grid->setRow(-1);
    for (int col : {bomcol::Qty, bomcol::Scrap}) {
        grid->setCol(col);
        grid->setTypeNumber(-1e10, 1e10, 2);
    }
    grid->setRow(1);
    grid->setCol(1);
    return grid;
}

struct Line
{
    QString replaceClass;   // col 1
    QString itemNumber;     // col 2
    QString qty;
    QString scrap;
    QString remark;
    int itemId = 0;
    int replaceClassId = 0;
    int auxPropId = 0;
    int unitId = 0;
};

void putLine(GridModel &grid, int row, const Line &line)
{
    grid.SetText(bomcol::ReplaceClassName, row, line.replaceClass);
    grid.SetText(bomcol::ItemNumber, row, line.itemNumber);
    grid.SetText(bomcol::Qty, row, line.qty);
    grid.SetText(bomcol::Scrap, row, line.scrap);
    grid.SetText(bomcol::Remark, row, line.remark);
    grid.SetText(bomcol::ItemID, row, QString::number(line.itemId));
    grid.SetText(bomcol::ReplaceClassID, row, QString::number(line.replaceClassId));
    grid.SetText(bomcol::AuxPropID, row, QString::number(line.auxPropId));
    grid.SetText(bomcol::UnitID, row, QString::number(line.unitId));
}

class BomTest : public test::DatabaseTest
{
protected:
    bool withDemoData() const override { return false; }
    void SetUp() override
    {
        DatabaseTest::SetUp();
        db = connection();
        ASSERT_TRUE(db);
        test::seedBomTestData(*db);
        gAdoCnn = db;
        gBomName.clear();
    }
    void TearDown() override
    {
        gAdoCnn.reset();
        db.reset();
        DatabaseTest::TearDown();
    }

    // A BOM object with the header of seeded BOM 1 as an editor would fill it.
    BOM headerOfBom1() { return test::bomHeader(*db, 1, QStringLiteral("BOM-001"), QStringLiteral("甲结构")); }

    std::unique_ptr<GridModel> oneLineGrid()
    {
        auto grid = childGrid(1);
        putLine(*grid, 1, {"", "C-001", "2", "", "", 2, 0, 0, 11});
        return grid;
    }

    ConnectionPtr db;
    MessageBoxRecorder boxes;
};

// ---------------------------------------------------------------------------
// Loading

TEST_P(BomTest, LoadFillsHeaderAndLinesWithLocksAndColours)
{
    auto grid = childGrid();
    // A column-wide lock colour that the load must override per cell.
    grid->setCol(bomcol::AuxProp);
    grid->setRow(-1);
    grid->setLockBackColor(0x00FF0000);
    // A block left marked in block mode must not take the per-cell locks.
    BOM(*db).SelBlock(*grid);
    grid->setBlockMode(true);

    BOM bom(*db);
    bom.BomID = 1;
    ASSERT_TRUE(bom.GetMoreInfo(*grid));
    EXPECT_TRUE(bom.loadedWhole());
    EXPECT_TRUE(grid->BlockMode());

    const auto n = [](int v) { return QString::number(v); };
    // The name is stored with blanks around.
    EXPECT_EQ(QStringList({bom.BomNumber, bom.BomName, n(bom.ItemID), bom.ItemNumber, bom.ItemName,
                           n(bom.MeasureUnitID), bom.MeasureUnit, bom.MeasureUnitNumber, n(bom.UnitGroupID),
                           n(bom.Status), bom.Model, n(bom.AuxClassID), n(bom.AuxPropID), bom.AuxProp}),
              QStringList({"BOM-001", "甲结构", "1", "P-001", "成品甲", "11", "个", "PCS", "1", "1", "M-P", "7", "70", "红色"}));

    ASSERT_EQ(grid->MaxRows(), 4);   // three lines and the entry row

    struct Expect
    {
        int row;
        QStringList texts;       // columns 1 to 19
        QList<int> locked;       // of columns 1 to 6
        bool auxShaded;
    };
    const Expect rows[] = {
        {1, {"螺丝类", "", "", "", "", "", "2", "5", "备注", "0", "", "100", "螺丝类", "0", "0", "", "0", "个", "11"},
         {2, 3, 4, 5, 6}, true},
        {2, {"", "C-001", "螺丝", "M6x20", "红色", "个", "1.5", "12.5", "r2", "2", "C-001", "0", "", "7", "70",
             "红色", "1", "个", "11"},
         {1}, false},
        {3, {"", "C-002", "垫片", "Φ6", "", "箱", "4", "0", "", "3", "C-002", "0", "", "0", "0", "", "1", "箱", "12"},
         {1, 5}, true},
        {4, {"", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""}, {}, false},
    };
    for (const Expect &e : rows) {
        SCOPED_TRACE(e.row);
        for (int col = 1; col <= bomcol::Count; ++col)
            EXPECT_EQ(grid->text(col, e.row), e.texts[col - 1]) << "column " << col;
        for (int col = 1; col <= 6; ++col)
            EXPECT_EQ(grid->isLocked(col, e.row), e.locked.contains(col)) << "column " << col;
        if (e.auxShaded) {
            EXPECT_EQ(grid->backColor(bomcol::AuxProp, e.row), kLockYellow);
        }
    }
    EXPECT_EQ(grid->decimals(bomcol::Qty, 2), 3);   // the item's quantity scale
    EXPECT_EQ(grid->decimals(bomcol::Qty, 3), 0);
}

TEST_P(BomTest, LoadOfABomWithoutLinesLeavesTheGridAlone)
{
    auto grid = childGrid(7);
    grid->SetText(3, 2, QStringLiteral("kept"));
    BOM bom;   // on the call state's connection
    bom.BomID = 2;
    EXPECT_TRUE(bom.GetMoreInfo(*grid));
    EXPECT_TRUE(bom.loadedWhole());
    EXPECT_EQ(grid->MaxRows(), 7);
    EXPECT_EQ(grid->text(3, 2), QStringLiteral("kept"));
    EXPECT_EQ(bom.BomNumber, QStringLiteral("BOM-002"));
    EXPECT_EQ(bom.ItemNumber, QStringLiteral("C-001"));
}

// A load that stops shows the read error, keeps the fields after the failing
// one, and says it is partial, so the editor refuses to save it.
TEST_P(BomTest, LoadThatStopsReportsAPartialLoad)
{
    struct Case
    {
        const char *name;
        int32_t id;
        const char *breakSql;
        QString number;
        int32_t itemId;
        QString itemNumber;
        int32_t unitId;
        int linesIn;
    };
    const Case cases[] = {
        {"missing parent item", 3, nullptr, "BOM-003", 999, "before", 0, 0},
        {"no header row", 404, nullptr, "old", 0, "before", 0, 0},
        {"Null quantity", 1, "UPDATE COM_BOM_Child SET FQty=NULL WHERE FBOMID=1 AND FBOMEntryID=2", "BOM-001", 1,
         "P-001", 11, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.breakSql)
            db->Execute(QString::fromUtf8(c.breakSql));
        auto grid = childGrid(2);
        BOM bom(*db);
        bom.BomID = c.id;
        bom.BomNumber = QStringLiteral("old");
        bom.ItemNumber = QStringLiteral("before");
        boxes.expect(bomtext::kReadError, mb::OK, mb::Information);
        EXPECT_FALSE(bom.GetMoreInfo(*grid));
        EXPECT_FALSE(bom.loadedWhole());
        EXPECT_TRUE(boxes.last().text.startsWith(bomtext::kReadError));
        EXPECT_EQ(boxes.last().title, kBoxTitle);
        EXPECT_EQ(bom.BomNumber, c.number);
        EXPECT_EQ(bom.ItemID, c.itemId);
        EXPECT_EQ(bom.ItemNumber, c.itemNumber);
        EXPECT_EQ(bom.MeasureUnitID, c.unitId);
        int lines = 0;
        while (lines < grid->MaxRows() && !grid->text(bomcol::ItemID, lines + 1).isEmpty())
            ++lines;
        EXPECT_EQ(lines, c.linesIn);
    }
}

// ---------------------------------------------------------------------------
// Saving

TEST_P(BomTest, SavedValuesAndTheirRoundTrip)
{
    struct Case
    {
        const char *name;
        QString qty;
        QString scrap;
        double storedQty;
        double storedScrap;
        QString shownScrap;
    };
    const Case cases[] = {
        {"zero quantity is one", "0", "5", 1, 0.05, "5"},
        {"empty quantity is one", "", "12.5", 1, 0.125, "12.5"},
        {"quantity kept", "2.75", "7", 2.75, 0.07, "7"},
        {"no scrap", "3", "", 3, 0, "0"},
    };
    FakeShareProps props;
    FakeSecurity security;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto grid = childGrid(1);
        putLine(*grid, 1, {"", "C-001", c.qty, c.scrap, "o'clock \"x\" ", 2, 0, 70, 11});
        BOM bom = headerOfBom1();
        ASSERT_TRUE(bom.Update(*grid));

        RecordsetPtr rs = db->Execute(QStringLiteral("SELECT * FROM COM_BOM_Child WHERE FBOMID=1"));
        ASSERT_EQ(rs->RecordCount(), 1);
        EXPECT_DOUBLE_EQ(rs->Fields(QStringLiteral("FQty")).toDouble(), c.storedQty);
        EXPECT_EQ(rs->Fields(QStringLiteral("FScrap")).toDouble(), c.storedScrap);
        EXPECT_EQ(rs->Fields(QStringLiteral("FRemark")).toString(), QStringLiteral("o'clock \"x\" "));

        auto again = childGrid();
        BOM loaded(*db);
        loaded.BomID = 1;
        ASSERT_TRUE(loaded.GetMoreInfo(*again));
        EXPECT_EQ(again->text(bomcol::Scrap, 1), c.shownScrap);
    }
}

TEST_P(BomTest, BlankRowsCloseUpAndLinesAreRenumbered)
{
    FakeShareProps props;
    FakeSecurity security;
    auto grid = childGrid(6);
    putLine(*grid, 1, {"", "C-002", "1", "", "first", 3, 0, 0, 12});
    // Row 2 blank; row 3 a substitute line with no item; row 4 only a remark;
    // row 5 an item number of blanks only.
    putLine(*grid, 3, {"螺丝类", "", "2", "", "second", 0, 100, 0, 11});
    putLine(*grid, 4, {"", "", "9", "", "not a line", 2, 0, 0, 11});
    putLine(*grid, 5, {"  ", "   ", "9", "", "not a line", 2, 0, 0, 11});
    putLine(*grid, 6, {"", "C-001", "3", "", "third", 2, 0, 70, 11});
    BOM bom = headerOfBom1();
    ASSERT_TRUE(bom.Update(*grid));

    EXPECT_EQ(rowsOf(*db, QStringLiteral("SELECT FBOMEntryID, FRemark, FItemID, FReplaceClassID FROM COM_BOM_Child "
                                         "WHERE FBOMID=1 ORDER BY FBOMEntryID")),
              QStringList({"1|first|3|0", "2|second|0|100", "3|third|2|0"}));
}

TEST_P(BomTest, UpdateReplacesTheLinesAndTheHeader)
{
    FakeShareProps props;
    FakeSecurity security;
    auto grid = childGrid();
    BOM bom(*db);
    bom.BomID = 1;
    ASSERT_TRUE(bom.GetMoreInfo(*grid));
    grid->DeleteRows(2, 1);   // the line of item C-001
    bom.BomName = QStringLiteral("改'名");
    bom.Status = 0;
    ASSERT_TRUE(bom.Update(*grid, 0));
    EXPECT_EQ(gBomName, QStringLiteral("改'名"));

    // C-002 moves up to line 2; the group is not Update's to change; BOM 3 keeps its line.
    EXPECT_EQ(rowsOf(*db, QStringLiteral("SELECT FBOMID, FBOMEntryID, FItemID, FReplaceClassID FROM COM_BOM_Child "
                                         "WHERE FBOMID IN (1,3) ORDER BY FBOMID, FBOMEntryID")),
              QStringList({"1|1|0|100", "1|2|3|0", "3|1|2|0"}));
    EXPECT_EQ(rowsOf(*db, QStringLiteral("SELECT FBOMName, FStatus, FBOMGroupID FROM COM_BOM WHERE FBOMID=1")),
              QStringList({"改'名|0|1"}));
}

TEST_P(BomTest, AddWritesHeaderAndLinesUnderTheNewId)
{
    auto grid = childGrid(2);
    putLine(*grid, 1, {"", "C-001", "2", "1", "x", 2, 0, 70, 11});
    putLine(*grid, 2, {"螺丝类", "", "", "", "", 0, 100, 0, 11});
    BOM bom(*db);
    bom.GroupID = 2;
    bom.BomNumber = QStringLiteral("NEW-'1");
    bom.BomName = QStringLiteral("新");
    bom.ItemID = 1;
    bom.MeasureUnitID = 11;
    ASSERT_TRUE(bom.Add(*grid));
    EXPECT_EQ(gBomName, QStringLiteral("新"));

    EXPECT_EQ(rowsOf(*db, QStringLiteral("SELECT FBOMID, FBOMGroupID FROM COM_BOM WHERE FBOMNumber='NEW-''1'")),
              QStringList({QString::number(bom.BomID) + QStringLiteral("|2")}));
    EXPECT_EQ(rowsOf(*db, QStringLiteral("SELECT FQty FROM COM_BOM_Child WHERE FBOMID=") + QString::number(bom.BomID)
                              + QStringLiteral(" ORDER BY FBOMEntryID")),
              QStringList({"2", "1"}));
}

// A save that is refused shows its box and writes nothing: a duplicate
// number (compared without case) with the database's own words after the
// text, a refused right, a BOM that no longer exists.
TEST_P(BomTest, ARefusedSaveShowsItsBoxAndWritesNothing)
{
    const QString saveError = bomtext::kSaveError, noRight = bomtext::kNoRight, gone = saveError + bomtext::kBomGone;
    const struct
    {
        const char *name;
        bool add, allowed;
        int32_t id;
        QString box;   // the whole text, or its start for a duplicate
    } cases[] = {
        {"duplicate number", true, true, 0, saveError}, {"right refused", false, false, 1, noRight},
        {"BOM gone", false, true, 404, gone}, {"id -1", false, true, -1, gone}, {"id 0", false, true, 0, gone},
    };
    FakeShareProps props;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FakeSecurity security(c.allowed);
        const QString before = test::dumpBoms(*db);
        auto grid = oneLineGrid();
        BOM bom = headerOfBom1();
        bom.BomID = c.id;
        if (c.add)
            bom.BomNumber = QStringLiteral("bom-001");
        boxes.clear();
        boxes.allowAll();
        gBomName.clear();
        EXPECT_FALSE(c.add ? bom.Add(*grid) : bom.Update(*grid));
        ASSERT_EQ(boxes.count(), 1);
        EXPECT_EQ(boxes.last().flags, mb::Information);
        if (!c.allowed) {
            EXPECT_EQ(security.calls().size(), 1u);
            EXPECT_EQ(gBomName, QString());
        }
        if (c.add) {
            EXPECT_TRUE(boxes.last().text.startsWith(c.box) && boxes.last().text.size() > c.box.size());
        } else {
            EXPECT_EQ(boxes.last().text, c.box);
        }
        EXPECT_EQ(bom.BomID, c.id);
        EXPECT_EQ(test::dumpBoms(*db), before);
        EXPECT_FALSE(db->inTransaction());
    }
}

// A failing rights check reaches the caller, never swallowed.
TEST_P(BomTest, AFailingRightsCheckReachesTheCallerAndWritesNothing)
{
    const QString before = test::dumpBoms(*db);
    FakeShareProps props;
    FakeSecurity security;
    security.fail(ComError(1234, QStringLiteral("PlatBase"), QStringLiteral("安全组件不可用")));
    auto grid = oneLineGrid();
    BOM bom = headerOfBom1();
    const ComError e = test::errorOf([&] { bom.Update(*grid); });
    EXPECT_EQ(e.number(), 1234);
    EXPECT_EQ(e.description(), QStringLiteral("安全组件不可用"));
    EXPECT_EQ(test::dumpBoms(*db), before);
    EXPECT_FALSE(db->inTransaction());
}

// Every statement of a save in turn fails: the database stays exactly as it was.
TEST_P(BomTest, ASaveFailingAtAnyStatementLeavesTheDatabaseAsItWas)
{
    FakeShareProps props;
    FakeSecurity security;
    auto grid = childGrid(4);
    putLine(*grid, 1, {"", "C-001", "2", "1", "a", 2, 0, 70, 11});
    putLine(*grid, 2, {"螺丝类", "", "1", "", "b", 0, 100, 0, 11});
    putLine(*grid, 4, {"", "C-002", "3", "", "c", 3, 0, 0, 12});

    enum class Kind { Add, Update };
    for (Kind kind : {Kind::Add, Kind::Update}) {
        auto save = [&](BOM &bom) { return kind == Kind::Add ? bom.Add(*grid) : bom.Update(*grid); };
        auto freshBom = [&] {
            BOM bom = headerOfBom1();
            if (kind == Kind::Add) {
                bom.BomID = 0;
                bom.BomNumber = QStringLiteral("FRESH");
            }
            return bom;
        };
        const QString before = test::dumpBoms(*db);
        // Statement k fails, or the commit when the save has fewer: the run
        // whose k-th statement never came has covered every statement.
        for (int k = 1;; ++k) {
            SCOPED_TRACE(QStringLiteral("%1 failing at statement %2")
                             .arg(kind == Kind::Add ? "Add" : "Update").arg(k).toStdString());
            int seen = 0;
            bool fired = false;
            db->setStatementHook([&](const QString &text) {
                if (fired)
                    return;
                if (++seen == k || text == QLatin1String("COMMIT TRANSACTION")) {
                    fired = true;
                    throw ComError(errc::DatabaseError, QStringLiteral("test"), QStringLiteral("injected"));
                }
            });
            BOM bom = freshBom();
            boxes.expect(QStringLiteral("injected"), mb::OK, mb::Information);
            EXPECT_FALSE(save(bom));
            db->setStatementHook({});
            boxes.verify();
            EXPECT_EQ(test::dumpBoms(*db), before);
            EXPECT_FALSE(db->inTransaction());
            if (seen < k) {
                EXPECT_GE(seen, 6);   // begin, header, (delete,) three lines, commit
                break;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Lookups

TEST_P(BomTest, GetInfoAnswersNothingWhereAFilteredLookupAnswersAnEmptySet)
{
    BOM bom(*db);
    EXPECT_EQ(bom.GetInfo(QStringLiteral(" FNumber='NOPE' ")), nullptr);
    EXPECT_EQ(bom.GetInfo(QStringLiteral(" FNumber='broken ")), nullptr);   // an error answers nothing too

    // Which rows a key leaves is the lookup differential's; here the shape of
    // "none": a detached set that still has its fields.
    const QString keys[] = {QStringLiteral(" FNumber='NOPE' and FUnitGroupID=1"), QStringLiteral(" FNumber='bad")};
    for (const QString &key : keys) {
        SCOPED_TRACE(key.toStdString());
        RecordsetPtr rs = bom.GetUnitInfo(key);
        ASSERT_NE(rs, nullptr);
        EXPECT_TRUE(rs->Eof());
        EXPECT_EQ(rs->RecordCount(), 0);
        EXPECT_GE(rs->fieldIndex(QStringLiteral("FMeasureUnitID")), 0);
        EXPECT_TRUE(rs->isDetached());
    }
}

TEST_P(BomTest, GetInfoFindsByNumberOrShortNumberShortestNumberFirst)
{
    BOM bom(*db);
    RecordsetPtr exact = bom.GetInfo(QStringLiteral(" FNumber='c-001' "));
    ASSERT_NE(exact, nullptr);
    EXPECT_EQ(exact->Fields(QStringLiteral("FItemID")).toInt32(), 2);
    EXPECT_EQ(exact->Fields(QStringLiteral("FItemName")).toString(), QStringLiteral("螺丝"));
    EXPECT_EQ(exact->Fields(QStringLiteral("FAuxClassID")).toInt32(), 7);

    // "S9" is the short number of two items, and the number of none.
    RecordsetPtr shortNo = bom.GetInfo(QStringLiteral("(FNumber='S9' OR  FShortNumber ='S9') Order By len(FNumber) "));
    ASSERT_NE(shortNo, nullptr);
    QStringList numbers;
    for (; !shortNo->Eof(); shortNo->MoveNext())
        numbers << shortNo->Fields(QStringLiteral("FItemNumber")).toString();
    EXPECT_EQ(numbers, QStringList({"SH-1", "LONGER-1"}));
}

TORVEL_INSTANTIATE_DATABASE_TEST(BomTest);

// ---------------------------------------------------------------------------
// Block selection

TEST(BomSelBlock, MarksTheGivenBlockOrTheWholeGrid)
{
    GridModel grid(19, 12);
    BOM bom;   // no connection needed
    using O = std::optional<int>;
    struct Case { O col, col2, row, row2; std::array<int, 4> block; };
    const Case cases[] = {{{}, {}, {}, {}, {1, 19, 1, 12}}, {5, {}, {}, {}, {5, 19, 1, 12}}, {2, 3, 4, 6, {2, 3, 4, 6}}};
    for (const Case &c : cases) {
        bom.SelBlock(grid, c.col, c.col2, c.row, c.row2);
        EXPECT_EQ((std::array<int, 4>{grid.Col(), grid.Col2(), grid.Row(), grid.Row2()}), c.block);
    }
    EXPECT_FALSE(grid.BlockMode());   // the caller switches block mode
}

} // namespace
} // namespace torvel
