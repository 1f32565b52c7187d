#include "bomdata/bom.h"

#include "bomtestdb.h"
#include "dbfixture.h"
#include "entry/callstate.h"
#include "fakecomponents.h"
#include "msgboxrecorder.h"
#include "printers.h"
#include "services/comerror.h"
#include "services/rights.h"
#include "ui/grid/gridmodel.h"

#include <gtest/gtest.h>

#include <memory>

namespace torvel {
namespace {

using test::FakeSecurity;
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

// Every case runs on each database the fixture offers.
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
    BOM headerOfBom1()
    {
        BOM bom(*db);
        bom.BomID = 1;
        bom.GroupID = 1;
        bom.BomNumber = QStringLiteral("BOM-001");
        bom.BomName = QStringLiteral("甲结构");
        bom.ItemID = 1;
        bom.MeasureUnitID = 11;
        return bom;
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

    EXPECT_EQ(bom.BomNumber, QStringLiteral("BOM-001"));
    EXPECT_EQ(bom.BomName, QStringLiteral("甲结构"));   // stored with blanks around
    EXPECT_EQ(bom.ItemID, 1);
    EXPECT_EQ(bom.ItemNumber, QStringLiteral("P-001"));
    EXPECT_EQ(bom.ItemName, QStringLiteral("成品甲"));
    EXPECT_EQ(bom.MeasureUnitID, 11);
    EXPECT_EQ(bom.MeasureUnit, QStringLiteral("个"));
    EXPECT_EQ(bom.MeasureUnitNumber, QStringLiteral("PCS"));
    EXPECT_EQ(bom.UnitGroupID, 1);
    EXPECT_EQ(bom.Status, 1);
    EXPECT_EQ(bom.Model, QStringLiteral("M-P"));
    EXPECT_EQ(bom.AuxClassID, 7);
    EXPECT_EQ(bom.AuxPropID, 70);
    EXPECT_EQ(bom.AuxProp, QStringLiteral("红色"));

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

TEST_P(BomTest, LoadStopsAtAMissingParentItemAndReportsAPartialLoad)
{
    auto grid = childGrid(2);
    BOM bom(*db);
    bom.BomID = 3;
    bom.ItemNumber = QStringLiteral("before");
    boxes.expect(bomtext::kReadError, mb::OK, mb::Information);
    EXPECT_FALSE(bom.GetMoreInfo(*grid));
    EXPECT_FALSE(bom.loadedWhole());
    EXPECT_TRUE(boxes.last().text.startsWith(bomtext::kReadError));
    EXPECT_EQ(boxes.last().title, kBoxTitle);
    // Set up to the item number, nothing after it; the line never reached the grid.
    EXPECT_EQ(bom.BomNumber, QStringLiteral("BOM-003"));
    EXPECT_EQ(bom.BomName, QStringLiteral("缺料"));
    EXPECT_EQ(bom.ItemID, 999);
    EXPECT_EQ(bom.ItemNumber, QStringLiteral("before"));
    EXPECT_EQ(bom.MeasureUnitID, 0);
    EXPECT_EQ(grid->MaxRows(), 2);
    EXPECT_EQ(grid->text(bomcol::ItemID, 1), QString());
}

TEST_P(BomTest, LoadOfAnIdWithoutHeaderChangesNoField)
{
    auto grid = childGrid();
    BOM bom(*db);
    bom.BomID = 404;
    bom.BomNumber = QStringLiteral("old");
    boxes.expect(bomtext::kReadError, mb::OK, mb::Information);
    EXPECT_FALSE(bom.GetMoreInfo(*grid));
    EXPECT_FALSE(bom.loadedWhole());
    EXPECT_EQ(bom.BomNumber, QStringLiteral("old"));
    EXPECT_EQ(grid->MaxRows(), 1);
}

TEST_P(BomTest, LoadStopsAtANullQuantity)
{
    db->Execute(QStringLiteral("UPDATE COM_BOM_Child SET FQty=NULL WHERE FBOMID=1 AND FBOMEntryID=2"));
    auto grid = childGrid();
    BOM bom(*db);
    bom.BomID = 1;
    boxes.expect(bomtext::kReadError, mb::OK, mb::Information);
    EXPECT_FALSE(bom.GetMoreInfo(*grid));
    EXPECT_FALSE(bom.loadedWhole());
    // A partial BOM: the first line is in, the second is not whole.
    EXPECT_EQ(grid->text(bomcol::ReplaceClassName, 1), QStringLiteral("螺丝类"));
    EXPECT_EQ(grid->text(bomcol::ItemID, 2), QString());
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

    RecordsetPtr rs = db->Execute(QStringLiteral(
        "SELECT FBOMEntryID, FRemark, FItemID, FReplaceClassID FROM COM_BOM_Child WHERE FBOMID=1 ORDER BY FBOMEntryID"));
    QStringList got;
    for (; !rs->Eof(); rs->MoveNext())
        got << QStringLiteral("%1:%2:%3:%4").arg(rs->Fields(0).toString(), rs->Fields(1).toString(),
                                                 rs->Fields(2).toString(), rs->Fields(3).toString());
    EXPECT_EQ(got, QStringList({"1:first:3:0", "2:second:0:100", "3:third:2:0"}));
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

    RecordsetPtr rs = db->Execute(QStringLiteral(
        "SELECT FBOMEntryID, FItemID, FReplaceClassID FROM COM_BOM_Child WHERE FBOMID=1 ORDER BY FBOMEntryID"));
    ASSERT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->Fields(2).toInt32(), 100);
    rs->MoveNext();
    EXPECT_EQ(rs->Fields(0).toInt32(), 2);
    EXPECT_EQ(rs->Fields(1).toInt32(), 3);   // C-002 moved up to line 2
    RecordsetPtr header = db->Execute(QStringLiteral("SELECT FBOMName, FStatus, FBOMGroupID FROM COM_BOM WHERE FBOMID=1"));
    EXPECT_EQ(header->Fields(0).toString(), QStringLiteral("改'名"));
    EXPECT_EQ(header->Fields(1).toInt32(), 0);
    EXPECT_EQ(header->Fields(2).toInt32(), 1);   // the group is not changed by Update
    RecordsetPtr others = db->Execute(QStringLiteral("SELECT FItemID FROM COM_BOM_Child WHERE FBOMID=3"));
    ASSERT_EQ(others->RecordCount(), 1);   // other BOMs keep their lines
    EXPECT_EQ(others->Fields(0).toInt32(), 2);
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

    RecordsetPtr header = db->Execute(QStringLiteral("SELECT FBOMID, FBOMGroupID FROM COM_BOM WHERE FBOMNumber='NEW-''1'"));
    ASSERT_EQ(header->RecordCount(), 1);
    EXPECT_EQ(bom.BomID, header->Fields(0).toInt32());
    EXPECT_EQ(header->Fields(1).toInt32(), 2);
    RecordsetPtr lines = db->Execute(QStringLiteral("SELECT FQty FROM COM_BOM_Child WHERE FBOMID=")
                                     + QString::number(bom.BomID) + QStringLiteral(" ORDER BY FBOMEntryID"));
    ASSERT_EQ(lines->RecordCount(), 2);
    EXPECT_EQ(lines->Fields(0).toDouble(), 2.0);
    lines->MoveNext();
    EXPECT_EQ(lines->Fields(0).toDouble(), 1.0);
}

TEST_P(BomTest, AddOfADuplicateNumberShowsTheDatabaseTextAndWritesNothing)
{
    const QString before = test::dumpBoms(*db);
    auto grid = childGrid(1);
    putLine(*grid, 1, {"", "C-001", "2", "", "", 2, 0, 0, 11});
    BOM bom(*db);
    bom.BomNumber = QStringLiteral("bom-001");   // numbers compare without case
    bom.ItemID = 1;
    boxes.expect(bomtext::kSaveError, mb::OK, mb::Information);
    EXPECT_FALSE(bom.Add(*grid));
    const QString text = boxes.last().text;
    EXPECT_TRUE(text.startsWith(bomtext::kSaveError));
    EXPECT_GT(text.size(), bomtext::kSaveError.size());   // the database's own words follow
    EXPECT_EQ(bom.BomID, 0);
    EXPECT_EQ(test::dumpBoms(*db), before);
    EXPECT_FALSE(db->inTransaction());
}

TEST_P(BomTest, UpdateWithTheRightDeniedWritesNothing)
{
    const QString before = test::dumpBoms(*db);
    FakeShareProps props;
    FakeSecurity security(false);
    auto grid = childGrid(1);
    putLine(*grid, 1, {"", "C-001", "2", "", "", 2, 0, 0, 11});
    BOM bom = headerOfBom1();
    boxes.expectExact(bomtext::kNoRight, mb::OK, mb::Information);
    EXPECT_FALSE(bom.Update(*grid));
    EXPECT_EQ(boxes.count(), 1);
    EXPECT_EQ(gBomName, QString());
    EXPECT_EQ(test::dumpBoms(*db), before);
    ASSERT_EQ(security.calls().size(), 1u);
    EXPECT_EQ(security.calls()[0].args[1].toInt32(), kRightSubject);
}

TEST_P(BomTest, AnErrorOfTheRightsCheckReachesTheCallerWithNothingWritten)
{
    const QString before = test::dumpBoms(*db);
    FakeShareProps props;
    FakeSecurity security;
    security.fail(ComError(1234, QStringLiteral("PlatBase"), QStringLiteral("安全组件不可用")));
    auto grid = childGrid(1);
    putLine(*grid, 1, {"", "C-001", "2", "", "", 2, 0, 0, 11});
    BOM bom = headerOfBom1();
    try {
        bom.Update(*grid);
        ADD_FAILURE() << "Update swallowed the error of the rights check";
    } catch (const ComError &e) {
        EXPECT_EQ(e.number(), 1234);
        EXPECT_EQ(e.description(), QStringLiteral("安全组件不可用"));
    }
    EXPECT_EQ(test::dumpBoms(*db), before);
    EXPECT_FALSE(db->inTransaction());
}

TEST_P(BomTest, UpdateOfABomThatNoLongerExistsWritesNothing)
{
    FakeShareProps props;
    FakeSecurity security;
    for (int32_t id : {404, -1, 0}) {
        SCOPED_TRACE(id);
        const QString before = test::dumpBoms(*db);
        auto grid = childGrid(1);
        putLine(*grid, 1, {"", "C-001", "2", "", "", 2, 0, 0, 11});
        BOM bom = headerOfBom1();
        bom.BomID = id;
        bom.BomNumber = QStringLiteral("GONE-%1").arg(id);
        boxes.expectExact(bomtext::kSaveError + bomtext::kBomGone, mb::OK, mb::Information);
        EXPECT_FALSE(bom.Update(*grid));
        EXPECT_EQ(test::dumpBoms(*db), before);
    }
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

        // Count the statements of a save up to its commit, which fails.
        int statements = 0;
        bool counting = true;
        db->setStatementHook([&](const QString &text) {
            if (!counting)
                return;
            ++statements;
            if (text == QLatin1String("COMMIT TRANSACTION")) {
                counting = false;
                throw ComError(errc::DatabaseError, QStringLiteral("test"), QStringLiteral("injected"));
            }
        });
        {
            BOM probe = freshBom();
            boxes.expect(QStringLiteral("injected"), mb::OK, mb::Information);
            EXPECT_FALSE(save(probe));
            boxes.verify();
        }
        ASSERT_EQ(test::dumpBoms(*db), before);
        ASSERT_GE(statements, 6);   // begin, header, (delete,) three lines, commit

        for (int k = 1; k <= statements; ++k) {
            SCOPED_TRACE(QStringLiteral("%1 failing at statement %2")
                             .arg(kind == Kind::Add ? "Add" : "Update").arg(k).toStdString());
            int seen = 0;
            db->setStatementHook([&](const QString &) {
                if (++seen == k)
                    throw ComError(errc::DatabaseError, QStringLiteral("test"), QStringLiteral("injected"));
            });
            BOM bom = freshBom();
            boxes.expect(QStringLiteral("injected"), mb::OK, mb::Information);
            EXPECT_FALSE(save(bom));
            boxes.verify();
            EXPECT_EQ(test::dumpBoms(*db), before);
            EXPECT_FALSE(db->inTransaction());
        }
        db->setStatementHook({});
    }
}

// ---------------------------------------------------------------------------
// Lookups

TEST_P(BomTest, GetInfoAnswersNothingWhereAFilteredLookupAnswersAnEmptySet)
{
    BOM bom(*db);
    EXPECT_EQ(bom.GetInfo(QStringLiteral(" FNumber='NOPE' ")), nullptr);
    EXPECT_EQ(bom.GetInfo(QStringLiteral(" FNumber='broken ")), nullptr);   // an error answers nothing too

    const QString keys[] = {
        QStringLiteral(" FNumber='NOPE' and FUnitGroupID=1"),
        QStringLiteral(" FNumber='it''s' and FUnitGroupID=1"),
        QStringLiteral(" FNumber='bad"),                 // unreadable
        QStringLiteral(" FNoSuchField=1"),               // unknown field
    };
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
    ASSERT_EQ(shortNo->RecordCount(), 2);
    EXPECT_EQ(shortNo->Fields(QStringLiteral("FItemNumber")).toString(), QStringLiteral("SH-1"));
    shortNo->MoveNext();
    EXPECT_EQ(shortNo->Fields(QStringLiteral("FItemNumber")).toString(), QStringLiteral("LONGER-1"));
}

TEST_P(BomTest, LookupsAnswerTheKeyFormsOfTheDialogs)
{
    BOM bom(*db);
    struct Case
    {
        const char *name;
        RecordsetPtr (BOM::*lookup)(const QString &);
        QString key;
        QString idField;
        QList<int> ids;
    };
    const Case cases[] = {
        {"unit by id", &BOM::GetUnitInfo, " FMeasureUnitID=12", "FMeasureUnitID", {12}},
        {"unit by item", &BOM::GetUnitInfo, "FItemID=11", "FMeasureUnitID", {11}},
        {"unit of a group", &BOM::GetUnitInfo, " FNumber='pcs' and FUnitGroupID=2", "FMeasureUnitID", {13}},
        {"unit, case ignored", &BOM::GetUnitInfo, " FNumber='Pcs' and FUnitGroupID=1", "FMeasureUnitID", {11}},
        {"aux property", &BOM::GetAuxPropInfo, " FNumber='RED' and FItemClassID=7", "FItemID", {70}},
        {"aux property, glued joint", &BOM::GetAuxPropInfo, " FNumber='red'and FItemClassID=8", "FItemID", {71}},
        {"aux property of another class", &BOM::GetAuxPropInfo, " FNumber='RED' and FItemClassID=9", "FItemID", {}},
        {"substitute class", &BOM::GetReplaceClassInfo, " FNumber='R-01'and FClassID=480 ", "FSysTypeID", {100}},
        {"substitute class, only 480", &BOM::GetReplaceClassInfo, " FNumber='R-03'and FClassID=480 ", "FSysTypeID", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RecordsetPtr rs = (bom.*c.lookup)(c.key);
        ASSERT_NE(rs, nullptr);
        EXPECT_TRUE(bom.lastLookupPushedDown());
        QList<int> ids;
        for (; !rs->Eof(); rs->MoveNext())
            ids << rs->Fields(c.idField).toInt32();
        EXPECT_EQ(ids, c.ids);
    }
}

TEST_P(BomTest, GetReplaceClassInfoNeverAnswersARowOfAnotherClass)
{
    BOM bom(*db);
    for (const char *number : {"R-01", "r-01", "R-02", "R-03", "R-01 ", "'"}) {
        SCOPED_TRACE(number);
        QString n = QString::fromUtf8(number);
        RecordsetPtr rs = bom.GetReplaceClassInfo(QStringLiteral(" FNumber=") + sqlQuote(n) + QStringLiteral("and FClassID=480 "));
        ASSERT_NE(rs, nullptr);
        for (; !rs->Eof(); rs->MoveNext())
            EXPECT_EQ(rs->Fields(QStringLiteral("FClassID")).toInt32(), 480);
    }
}

TORVEL_INSTANTIATE_DATABASE_TEST(BomTest);

// ---------------------------------------------------------------------------
// Block selection

TEST(BomSelBlock, MarksTheGivenBlockOrTheWholeGrid)
{
    GridModel grid(19, 12);
    BOM bom;   // no connection needed
    bom.SelBlock(grid);
    EXPECT_EQ(grid.Col(), 1);
    EXPECT_EQ(grid.Col2(), 19);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(grid.Row2(), 12);

    bom.SelBlock(grid, 5);
    EXPECT_EQ(grid.Col(), 5);
    EXPECT_EQ(grid.Col2(), 19);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(grid.Row2(), 12);

    bom.SelBlock(grid, 2, 3, 4, 6);
    EXPECT_EQ(grid.Col(), 2);
    EXPECT_EQ(grid.Col2(), 3);
    EXPECT_EQ(grid.Row(), 4);
    EXPECT_EQ(grid.Row2(), 6);
    EXPECT_FALSE(grid.BlockMode());   // the caller switches block mode
}

} // namespace
} // namespace torvel
