// The host database: schema, demo data, stored procedures and the scale
// generator, checked with the statements the library runs against it.

#include "dbfixture.h"
#include "hostdb/hostdb.h"
#include "printers.h"
#include "services/db/recordset.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace torvel;
using torvel::test::DatabaseTest;
using torvel::test::scalarOf;
using torvel::test::TestDatabase;

namespace {

TEST(DemoDatabase, CreatedOnceAndLeftAloneAfterwards)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/demo.db"));
    ASSERT_TRUE(host::ensureDemoDatabase(path));
    {
        ConnectionPtr c = Connection::open(path);
        EXPECT_GT(scalarOf(*c, QStringLiteral("SELECT Count(*) FROM COM_BOM")), 0);
        c->Execute(QStringLiteral("DELETE FROM COM_BOM WHERE FBOMNumber='BOM000001'"));
        c->Execute(QStringLiteral("INSERT INTO t_Item(FItemID,FNumber) VALUES (999999,'MINE')"));
    }
    EXPECT_FALSE(host::ensureDemoDatabase(path));
    ConnectionPtr c = Connection::open(path);
    EXPECT_EQ(scalarOf(*c, QStringLiteral("SELECT Count(*) FROM COM_BOM WHERE FBOMNumber='BOM000001'")), 0);
    EXPECT_EQ(scalarOf(*c, QStringLiteral("SELECT Count(*) FROM t_Item WHERE FNumber='MINE'")), 1);
    // Nothing of the building step stays behind.
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("sub"))).entryList({QStringLiteral("*.building*")}, QDir::Files),
              QStringList());
}

class DemoData : public DatabaseTest
{
};

// The rules the dialogs rely on hold for every row of the demo data.
TEST_P(DemoData, BreaksNoRuleTheDialogsRelyOn)
{
    Connection &c = *connection();
    const struct { const char *what; const char *sql; } absent[] = {
        {"a substitute class with fewer than two items",
         "SELECT Count(*) FROM COM_SysType WHERE FClassID=480 AND "
         "(SELECT Count(*) FROM COM_Item WHERE COM_Item.FReplaceClassID=COM_SysType.FSysTypeID)<2"},
        {"an auxiliary class with fewer than two properties",
         "SELECT Count(*) FROM (SELECT DISTINCT FAuxClassID AS a FROM COM_Item WHERE FAuxClassID>0) AS auxClasses "
         "WHERE (SELECT Count(*) FROM t_Item WHERE FItemClassID=a)<2"},
        {"an item whose base unit is outside its unit group",
         "SELECT Count(*) FROM COM_Item LEFT JOIN t_MeasureUnit ON t_MeasureUnit.FItemID=COM_Item.FBaseUnitID "
         "WHERE t_MeasureUnit.FUnitGroupID IS NULL OR t_MeasureUnit.FUnitGroupID<>COM_Item.FUnitGroupID"},
        {"an item without its COM_Item row",
         "SELECT Count(*) FROM t_Item WHERE FItemClassID=4 AND FItemID NOT IN (SELECT FItemID FROM COM_Item)"},
        {"a BOM whose parent cannot head a BOM",
         "SELECT Count(*) FROM COM_BOM INNER JOIN COM_Item ON COM_Item.FItemID=COM_BOM.FItemID WHERE FIsBOM<>1"},
        {"a BOM in a group that does not exist",
         "SELECT Count(*) FROM COM_BOM WHERE FBOMGroupID NOT IN (SELECT FBOMGroupID FROM COM_BOM_Group)"},
        {"a line naming its own parent",
         "SELECT Count(*) FROM COM_BOM_Child INNER JOIN COM_BOM ON COM_BOM.FBOMID=COM_BOM_Child.FBOMID "
         "WHERE COM_BOM_Child.FItemID=COM_BOM.FItemID"},
        {"an item line with a missing item",
         "SELECT Count(*) FROM COM_BOM_Child WHERE FReplaceClassID=0 AND FItemID NOT IN (SELECT FItemID FROM COM_Item)"},
        {"a substitute line of an unknown class",
         "SELECT Count(*) FROM COM_BOM_Child WHERE FReplaceClassID>0 AND FReplaceClassID NOT IN "
         "(SELECT FSysTypeID FROM COM_SysType WHERE FClassID=480)"},
        {"a line with a unit that does not exist",
         "SELECT Count(*) FROM COM_BOM_Child WHERE FMeasureUnitID NOT IN (SELECT FMeasureUnitID FROM t_MeasureUnit)"},
        {"a line whose property is not of its item's class",
         "SELECT Count(*) FROM COM_BOM_Child INNER JOIN COM_Item ON COM_Item.FItemID=COM_BOM_Child.FItemID "
         "INNER JOIN t_Item AuxProp ON AuxProp.FItemID=COM_BOM_Child.FAuxPropID WHERE COM_BOM_Child.FAuxPropID<>0 AND "
         "AuxProp.FItemClassID<>COM_Item.FAuxClassID"},
        // Row 0 stands for "no auxiliary property": of no class and no item,
        // so neither pick list can offer it.
        {"the no-property row within a pick list's reach",
         "SELECT Count(*) FROM t_Item WHERE FItemID=0 AND (FItemClassID<>0 OR FItemID IN (SELECT FItemID FROM COM_Item))"},
        {"BOM lines not numbered 1..n", "SELECT Count(*) FROM COM_BOM WHERE (SELECT Max(FBOMEntryID) FROM COM_BOM_Child "
                                         "WHERE COM_BOM_Child.FBOMID=COM_BOM.FBOMID)<>(SELECT Count(*) FROM COM_BOM_Child "
                                         "WHERE COM_BOM_Child.FBOMID=COM_BOM.FBOMID)"},
        {"a completion row with an unresolved item", "SELECT Count(*) FROM COM_BOM_Note WHERE FItemID=0"},
        {"rights for the guest", "SELECT Count(*) FROM t_UserRight WHERE FUserID=(SELECT FUserID FROM t_User WHERE FName='guest')"},
    };
    for (const auto &a : absent)
        EXPECT_EQ(scalarOf(c, QString::fromUtf8(a.sql)), 0) << a.what;
}

TORVEL_INSTANTIATE_DATABASE_TEST(DemoData);

TEST(ScaleData, GeneratesConsistentBomsAndAppends)
{
    auto db = TestDatabase::createSqlite(false);
    Connection &c = *db->connection();
    host::generateScaleData(c, 500, 20, 15);
    EXPECT_EQ(scalarOf(c, QStringLiteral("SELECT Count(*) FROM t_Item")), 500);
    EXPECT_EQ(scalarOf(c, QStringLiteral("SELECT Count(*) FROM COM_Item")), 500);
    EXPECT_EQ(scalarOf(c, QStringLiteral("SELECT Count(*) FROM COM_BOM")), 20);
    EXPECT_EQ(scalarOf(c, QStringLiteral("SELECT Count(*) FROM COM_BOM_Child")), 300);
    const char *mustBeZero[] = {
        "SELECT Count(*) FROM COM_BOM_Child INNER JOIN COM_BOM ON COM_BOM.FBOMID=COM_BOM_Child.FBOMID "
        "WHERE COM_BOM_Child.FItemID=COM_BOM.FItemID",
        "SELECT Count(*) FROM COM_BOM_Child WHERE FItemID NOT IN (SELECT FItemID FROM COM_Item)",
        "SELECT Count(*) FROM COM_BOM INNER JOIN COM_Item ON COM_Item.FItemID=COM_BOM.FItemID WHERE FIsBOM<>1",
        "SELECT Count(*) FROM COM_BOM WHERE FBOMGroupID NOT IN (SELECT FBOMGroupID FROM COM_BOM_Group)",
    };
    for (const char *sql : mustBeZero)
        EXPECT_EQ(scalarOf(c, QString::fromUtf8(sql)), 0) << sql;

    host::generateScaleData(c, 100, 5, 3);
    EXPECT_EQ(scalarOf(c, QStringLiteral("SELECT Count(*) FROM t_Item")), 600);
    EXPECT_EQ(scalarOf(c, QStringLiteral("SELECT Count(*) FROM COM_BOM")), 25);
    EXPECT_EQ(scalarOf(c, QStringLiteral("SELECT Count(*) FROM COM_BOM_Group WHERE FNumber='SCALE'")), 1);
    EXPECT_THROW(host::generateScaleData(c, 1, 1, 1), ComError);
}

TEST(ScaleData, AFailureLeavesNothingBehind)
{
    auto db = TestDatabase::createSqlite(false);
    Connection &c = *db->connection();
    // A BOM number that the generator is about to use is taken already.
    c.Execute(QStringLiteral("INSERT INTO COM_BOM(FBOMID,FBOMNumber) VALUES (1,'SCALE-3')"));
    EXPECT_THROW(host::generateScaleData(c, 50, 5, 2), ComError);
    EXPECT_FALSE(c.inTransaction());
    EXPECT_EQ(scalarOf(c, QStringLiteral("SELECT Count(*) FROM t_Item")), 0);
    EXPECT_EQ(scalarOf(c, QStringLiteral("SELECT Count(*) FROM COM_BOM")), 1);
}

} // namespace
