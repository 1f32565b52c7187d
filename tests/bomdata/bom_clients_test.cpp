// Two clerks on one database, each with a connection of their own (two
// connections to one SQLite file, or two sessions on the server): a save
// never writes over what the other clerk saved after it was opened.

#include "bomdata/bom.h"

#include "bomtestdb.h"
#include "dbfixture.h"
#include "fakecomponents.h"
#include "msgboxrecorder.h"
#include "printers.h"
#include "state/callstate.h"
#include "bomdata/gridmodel.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace torvel {
namespace {

// One clerk's editor: a BOM object and the child grid it loaded.
struct Clerk
{
    Clerk(Connection &cnn, int32_t bomId) : grid(std::make_unique<GridModel>(bomcol::Count, 1)), bom(cnn)
    {
        bom.BomID = bomId;
        EXPECT_TRUE(bom.GetMoreInfo(*grid));
    }
    std::unique_ptr<GridModel> grid;
    BOM bom;
};

class TwoClerks : public test::DatabaseTest
{
protected:
    bool withDemoData() const override { return false; }
    test::FakeShareProps props;
    test::FakeSecurity security;
    test::MessageBoxRecorder boxes;
};

// Clerk A opens BOM 1 and edits a remark; then the other clerk (B) or A
// itself does something; then A saves. A stale save writes nothing and says
// so; any other goes through.
TEST_P(TwoClerks, AStaleSaveIsRefusedWithNothingWritten)
{
    using Meanwhile = std::function<void(Clerk &a, Connection &b)>;
    const struct { const char *meanwhile; Meanwhile act; bool refused; } cases[] = {
        {"B saved a quantity", [](Clerk &, Connection &b) {
             Clerk other(b, 1);
             other.grid->SetText(bomcol::Qty, 2, QStringLiteral("9"));
             ASSERT_TRUE(other.bom.Update(*other.grid));
         }, true},
        {"B changed the header only", [](Clerk &, Connection &b) {
             b.Execute(QStringLiteral("UPDATE COM_BOM SET FStatus=0 WHERE FBOMID=1"));
         }, true},
        {"B deleted the BOM", [](Clerk &, Connection &b) {
             b.Execute(QStringLiteral("DELETE FROM COM_BOM_Child WHERE FBOMID=1"));
             b.Execute(QStringLiteral("DELETE FROM COM_BOM WHERE FBOMID=1"));
         }, true},
        {"B saved another BOM", [](Clerk &, Connection &b) {
             Clerk other(b, 2);
             other.bom.BomName = QStringLiteral("乙改");
             other.grid->SetText(bomcol::ItemNumber, 1, QStringLiteral("C-001"));
             other.grid->SetText(bomcol::ItemID, 1, QStringLiteral("2"));
             ASSERT_TRUE(other.bom.Update(*other.grid));
         }, false},
        {"B opened it and saved nothing", [](Clerk &, Connection &b) { Clerk other(b, 1); }, false},
        {"A saved it already", [](Clerk &a, Connection &) { ASSERT_TRUE(a.bom.Update(*a.grid)); }, false},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.meanwhile);
        auto fresh = test::TestDatabase::create(GetParam(), false);
        ConnectionPtr a = fresh->connection();
        test::seedBomTestData(*a);
        ConnectionPtr b = fresh->openConnection();
        gAdoCnn = a;

        Clerk clerk(*a, 1);
        clerk.grid->SetText(bomcol::Remark, 1, QStringLiteral("甲改"));
        k.act(clerk, *b);
        clerk.grid->SetText(bomcol::Remark, 3, QStringLiteral("甲再改"));
        const QString before = test::dumpBoms(*b);
        if (k.refused)
            boxes.expectExact(bomtext::kChangedByOthers, mb::OK, mb::Information);
        EXPECT_EQ(clerk.bom.Update(*clerk.grid), !k.refused);
        boxes.verify();
        EXPECT_FALSE(a->inTransaction());
        if (k.refused) {
            EXPECT_EQ(test::dumpBoms(*b), before);
        } else {
            const RecordsetPtr rs = b->Execute(QStringLiteral(
                "SELECT FRemark FROM COM_BOM_Child WHERE FBOMID=1 AND FBOMEntryID IN (1,3) ORDER BY FBOMEntryID"));
            EXPECT_EQ(rs->Fields(0).toString(), QStringLiteral("甲改"));
            rs->MoveNext();
            EXPECT_EQ(rs->Fields(0).toString(), QStringLiteral("甲再改"));
        }
        gAdoCnn.reset();
    }
}

// What a save wrote is what the next load finds, to the last digit, so a
// clerk's next save in the same dialog compares against the right thing,
// also after the BOM was added there.
TEST_P(TwoClerks, ASaveTakesTheFingerprintALoadWouldTake)
{
    ConnectionPtr a = connection();
    test::seedBomTestData(*a);
    gAdoCnn = a;
    BOM added(*a);
    added.BomNumber = QStringLiteral("NEW-1");
    added.BomName = QStringLiteral("新 ");
    added.GroupID = 1;
    added.ItemID = 1;
    added.MeasureUnitID = 11;
    GridModel grid(bomcol::Count, 5);
    const char *lines[][4] = {
        // qty, scrap (percent), remark, item id
        {"1.5", "12.5", "x ", "2"},
        {"", "33.3333333333333333", "", "3"},
        {"2.718281828459045", "0.1", "尾 ", "2"},
        {"3000000000", "", "'", "3"},
        {"0.1", "100", "", "2"},
    };
    for (int row = 1; row <= 5; ++row) {
        grid.SetText(bomcol::ItemNumber, row, QStringLiteral("C"));
        grid.SetText(bomcol::Qty, row, QString::fromUtf8(lines[row - 1][0]));
        grid.SetText(bomcol::Scrap, row, QString::fromUtf8(lines[row - 1][1]));
        grid.SetText(bomcol::Remark, row, QString::fromUtf8(lines[row - 1][2]));
        grid.SetText(bomcol::ItemID, row, QString::fromUtf8(lines[row - 1][3]));
        grid.SetText(bomcol::UnitID, row, QStringLiteral("11"));
    }
    ASSERT_TRUE(added.Add(grid));
    EXPECT_TRUE(added.fingerprint() == Clerk(*a, added.BomID).bom.fingerprint()) << "after Add";
    grid.SetText(bomcol::Remark, 2, QStringLiteral("改"));
    ASSERT_TRUE(added.Update(grid));
    EXPECT_TRUE(added.fingerprint() == Clerk(*a, added.BomID).bom.fingerprint()) << "after Update";
    gAdoCnn.reset();
}

TORVEL_INSTANTIATE_DATABASE_TEST(TwoClerks);

} // namespace
} // namespace torvel
