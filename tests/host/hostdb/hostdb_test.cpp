// The host database: schema, demo data, stored procedures and the scale
// generator, checked with the statements the library runs against it.

#include "bomdata/bom.h"
#include "dbfixture.h"
#include "hostdb/hostdb.h"
#include "hostdb/periods.h"
#include "printers.h"
#include "services/db/recordset.h"

#include <QDate>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace torvel;
using torvel::test::DatabaseTest;
using torvel::test::TestDatabase;

namespace {

int scalar(Connection &c, const QString &sql)
{
    const RecordsetPtr rs = c.Execute(sql);
    return rs->Fields(0).toInt32();
}

TEST(DemoDatabase, CreatedOnceAndLeftAloneAfterwards)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/demo.db"));
    ASSERT_TRUE(host::ensureDemoDatabase(path));
    {
        ConnectionPtr c = Connection::open(path);
        EXPECT_GT(scalar(*c, QStringLiteral("SELECT Count(*) FROM COM_BOM")), 0);
        c->Execute(QStringLiteral("DELETE FROM COM_BOM WHERE FBOMNumber='BOM000001'"));
        c->Execute(QStringLiteral("INSERT INTO t_Item(FItemID,FNumber) VALUES (999999,'MINE')"));
    }
    EXPECT_FALSE(host::ensureDemoDatabase(path));
    ConnectionPtr c = Connection::open(path);
    EXPECT_EQ(scalar(*c, QStringLiteral("SELECT Count(*) FROM COM_BOM WHERE FBOMNumber='BOM000001'")), 0);
    EXPECT_EQ(scalar(*c, QStringLiteral("SELECT Count(*) FROM t_Item WHERE FNumber='MINE'")), 1);
    // Nothing of the building step stays behind.
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("sub"))).entryList({QStringLiteral("*.building*")}, QDir::Files),
              QStringList());
}

class DemoData : public DatabaseTest
{
};

TEST_P(DemoData, HoldsWhatTheDialogsNeed)
{
    Connection &c = *connection();
    const struct
    {
        const char *what;
        const char *sql;
        int atLeast;
    } present[] = {
        {"a few hundred items", "SELECT Count(*) FROM t_Item INNER JOIN COM_Item ON t_Item.FItemID=COM_Item.FItemID", 200},
        {"items named in Chinese", "SELECT Count(*) FROM t_Item WHERE FName LIKE '%电阻%'", 10},
        {"items that head BOMs", "SELECT Count(*) FROM COM_Item WHERE FIsBOM=1", 5},
        {"units in several groups", "SELECT Count(DISTINCT FUnitGroupID) FROM t_MeasureUnit", 3},
        {"several units in the count group", "SELECT Count(*) FROM t_MeasureUnit WHERE FUnitGroupID=1", 3},
        {"items with an auxiliary class", "SELECT Count(*) FROM COM_Item WHERE FAuxClassID>0", 5},
        {"substitute classes", "SELECT Count(*) FROM COM_SysType WHERE FClassID=480", 4},
        {"system types of other kinds", "SELECT Count(*) FROM COM_SysType WHERE FClassID<>480", 1},
        {"a group tree", "SELECT Count(*) FROM COM_BOM_Group WHERE FParentID>0", 3},
        {"several BOMs", "SELECT Count(*) FROM COM_BOM", 6},
        {"a BOM not in use", "SELECT Count(*) FROM COM_BOM WHERE FStatus=1", 1},
        {"an item with two BOMs in use", "SELECT Max(n) FROM (SELECT Count(*) AS n FROM COM_BOM WHERE FStatus=0 GROUP BY FItemID) AS perItem", 2},
        {"substitute lines", "SELECT Count(*) FROM COM_BOM_Child WHERE FReplaceClassID>0", 5},
        {"item lines", "SELECT Count(*) FROM COM_BOM_Child WHERE FReplaceClassID=0 AND FItemID>0", 20},
        {"lines with an auxiliary property", "SELECT Count(*) FROM COM_BOM_Child WHERE FAuxPropID>0", 2},
        {"a completion", "SELECT Count(*) FROM COM_BOM_Note", 5},
        {"the no-property row", "SELECT Count(*) FROM t_Item WHERE FItemID=0", 1},
        {"stock in three warehouses", "SELECT Count(DISTINCT FStockID) FROM COM_StockBalance", 3},
        {"stock movements", "SELECT Count(*) FROM COM_StockMove", 4},
        {"the admin's right", "SELECT Count(*) FROM t_UserRight INNER JOIN t_User ON t_User.FUserID=t_UserRight.FUserID "
                              "WHERE FName='admin' AND FSubjectID=501 AND FOperation=10 AND FFlags=4194304", 1},
    };
    for (const auto &p : present)
        EXPECT_GE(scalar(c, QString::fromUtf8(p.sql)), p.atLeast) << p.what;

    const struct
    {
        const char *what;
        const char *sql;
    } absent[] = {
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
        EXPECT_EQ(scalar(c, QString::fromUtf8(a.sql)), 0) << a.what;
}

TEST_P(DemoData, ProfileHoldsTheCurrentYearAndPeriod)
{
    Connection &c = *connection();
    const RecordsetPtr rs = c.Execute(QStringLiteral(
        "SELECT * FROM t_SystemProfile WHERE FCategory ='GL' OR FCategory='COM' OR FCategory='General' Or (FCategory='ARAP' And FKey='FRaiseError')"));
    QHash<QString, QString> settings;
    for (; !rs->Eof(); rs->MoveNext())
        settings.insert(rs->Fields(QStringLiteral("FCategory")).toString() + u'.' + rs->Fields(QStringLiteral("FKey")).toString(),
                        rs->Fields(QStringLiteral("FValue")).toString());
    EXPECT_EQ(settings.value(QStringLiteral("COM.CurrentYear")), QStringLiteral("2026"));
    EXPECT_EQ(settings.value(QStringLiteral("COM.CurrentPeriod")), QString::number(QDate::currentDate().month()));
    EXPECT_EQ(settings.value(QStringLiteral("GL.PeriodByMonth")), QStringLiteral("1"));
    EXPECT_EQ(settings.value(QStringLiteral("GL.PeriodDates")).size(), 48);
    EXPECT_TRUE(settings.contains(QStringLiteral("ARAP.FRaiseError")));
}

// The library's own statements, verbatim, on the demo data: each must parse,
// find its columns unambiguously and return what the dialog expects. The data
// layer's load and item lookup are taken from it, so a change there is
// checked here too.
TEST_P(DemoData, TheLibrarysStatementsRunAsWritten)
{
    Connection &c = *connection();
    const int bomId = scalar(c, QStringLiteral("SELECT FBOMID FROM COM_Bom WHERE FBOMNumber='BOM000005'"));
    ASSERT_GT(bomId, 0);
    const QString id = QString::number(bomId);

    const QString header = bomsql::kHeaderQueryHead + id;
    RecordsetPtr rs = c.Execute(header);
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Fields(QStringLiteral("FItemName")).toString(), QStringLiteral("工控机整机"));
    EXPECT_EQ(rs->Fields(QStringLiteral("FAuxProp")).toString(), QStringLiteral("黑色"));
    EXPECT_EQ(rs->Fields(QStringLiteral("FMeasureUnit")).toString(), QStringLiteral("台"));
    EXPECT_EQ(rs->Fields(QStringLiteral("FBomID")).toInt32(), bomId);

    const QString lines = bomsql::kLineQueryHead + id;
    rs = c.Execute(lines);
    ASSERT_GE(rs->RecordCount(), 5);
    int substitutes = 0, entry = 0;
    for (; !rs->Eof(); rs->MoveNext()) {
        // The store hands the lines back in entry order.
        EXPECT_EQ(rs->Fields(QStringLiteral("FBOMEntryID")).toInt32(), ++entry);
        if (rs->Fields(QStringLiteral("FReplaceClassID")).toInt32() > 0) {
            ++substitutes;
            EXPECT_FALSE(rs->Fields(QStringLiteral("FReplaceClassName")).toString().isEmpty());
            // Row 0 of t_Item ("no auxiliary property") answers the join with empty texts.
            EXPECT_EQ(rs->Fields(QStringLiteral("FItemNumber")).toString(), QString());
        } else {
            EXPECT_FALSE(rs->Fields(QStringLiteral("FItemNumber")).toString().isEmpty());
        }
    }
    EXPECT_GE(substitutes, 2);

    // The report's inner-join header.
    rs = c.Execute(QStringLiteral("SELECT COM_BOM.*,t_Item.FNumber as FItemNumber,t_Item.FName as FItemName,COM_Item.FModel as FModel,"
                                  " AuxProp.FName as FAuxProp,t_MeasureUnit.FName as FMeasureUnit,t_MeasureUnit.FNumber as FMeasureUnitNumber,"
                                  " COM_Item.FAuxClassID as FAuxClassID,COM_Item.FUnitGroupID as FUnitGroupID"
                                  " FROM COM_BOM,t_Item,COM_Item,t_Item AuxProp,t_MeasureUnit "
                                  " Where COM_Bom.FItemid=t_Item.FItemid "
                                  " and COM_Bom.fitemid=COM_Item.FItemid "
                                  " and COM_Bom.Fauxpropid=AuxProp.FItemid "
                                  " and COM_Bom.FMeasureUnitID=t_MeasureUnit.FMeasureUnitID"
                                  " and FBOMID=")
                   + id);
    EXPECT_EQ(rs->RecordCount(), 1);

    // Item lookup by number or short number, shortest number first; and the
    // completion grid's variant restricted to a class, number glued to Order By.
    const QString &getInfo = bomsql::kItemQueryHead;
    rs = c.Execute(getInfo + QStringLiteral("(FNumber='dz001' OR  FShortNumber ='dz001') Order By len(FNumber) "));
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Fields(QStringLiteral("FItemNumber")).toString(), QStringLiteral("1.01.001"));
    EXPECT_GT(rs->Fields(QStringLiteral("FBaseUnitID")).toInt32(), 0);
    rs = c.Execute(getInfo + QStringLiteral(" FNumber='1.01.001' "));
    EXPECT_EQ(rs->RecordCount(), 1);
    const int m3Class = scalar(c, QStringLiteral("SELECT FSysTypeID FROM COM_SysType WHERE FNumber='R003' AND FClassID=480"));
    rs = c.Execute(getInfo + QStringLiteral("(FNumber='LS013' OR  FShortNumber ='LS013') and FReplaceClassID=") + QString::number(m3Class)
                   + QStringLiteral("Order By len(FNumber) "));
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_TRUE(rs->Fields(QStringLiteral("FModel")).toString().startsWith(QLatin1String("M3")));
    rs = c.Execute(getInfo + QStringLiteral("FIsBOM=1"));
    EXPECT_GE(rs->RecordCount(), 5);

    // Substitute classes by number: only class 480 even where another kind
    // shares the number.
    rs = c.Execute(QStringLiteral("SELECT * FROM com_systype  WHERE FNumber='R001'and FClassID=480 "));
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Fields(QStringLiteral("FClassID")).toInt32(), 480);
    EXPECT_EQ(scalar(c, QStringLiteral("SELECT Count(*) FROM com_systype WHERE FNumber='R001'")), 2);

    // Selection, completion and group statements.
    rs = c.Execute(QStringLiteral("SELECT * FROM COM_BOM WHERE FStatus=0 AND FItemID=")
                   + QString::number(scalar(c, QStringLiteral("SELECT FItemID FROM COM_BOM WHERE FBOMNumber='BOM000001'"))));
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(scalar(c, QStringLiteral("SELECT Max(FBOMNoteID) FROM COM_BOM_Note")), 1);
    rs = c.Execute(QStringLiteral("SELECT COM_BOM_Note.*,t_Item.FNumber as FItemNumber,t_Item.FName as FItemName,COM_Item.FModel as FModel,"
                                  " AuxProp.FName as FAuxProp,t_MeasureUnit.FName as FMeasureUnit,"
                                  " COM_Item.FAuxClassID as FAuxClassID,COM_Item.FUnitGroupID as FUnitGroupID,"
                                  " COM_Systype.FName as FReplaceClassName FROM COM_BOM_Note"
                                  " LEFT JOIN t_Item on COM_BOM_Note.FItemid=t_Item.FItemid "
                                  " LEFT JOIN COM_Item on COM_BOM_Note.fitemid=COM_Item.FItemid "
                                  " LEFT JOIN t_Item AuxProp on COM_BOM_Note.Fauxpropid=AuxProp.FItemid "
                                  " LEFT JOIN t_MeasureUnit on COM_BOM_Note.FMeasureUnitID=t_MeasureUnit.FMeasureUnitID"
                                  " LEFT JOIN COM_Systype on COM_BOM_Note.FReplaceClassID=COM_Systype.FSysTypeID"
                                  " WHERE  FBOMNoteID=1"));
    EXPECT_GE(rs->RecordCount(), 5);
    c.Execute(QStringLiteral("INSERT COM_Bom_Group(FNumber,FName,FParentID) VALUES ('03.01','样机',3)"));
    rs = c.Execute(QStringLiteral("SELECT * FROM COM_Bom_Group WHERE FNumber ='03.01' and FParentID=3"));
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Fields(QStringLiteral("FBomGroupID")).toInt32(), c.lastInsertId().toInt32());
}

TEST_P(DemoData, BomNumbersAreUniqueIgnoringCase)
{
    Connection &c = *connection();
    const QString insert = QStringLiteral("INSERT INTO COM_Bom(FBOMNumber,FBOMName,FBOMGroupID,FItemID,FAuxPropID,FMeasureUnitID,FStatus) "
                                          "VALUES ('%1','x',1,1,0,1,0)");
    EXPECT_THROW(c.Execute(insert.arg(QStringLiteral("BOM000001"))), ComError);
    EXPECT_THROW(c.Execute(insert.arg(QStringLiteral("bom000001"))), ComError);
    const int before = scalar(c, QStringLiteral("SELECT Max(FBOMID) FROM COM_BOM"));
    c.Execute(insert.arg(QStringLiteral("BOM-NEW")));
    // The database assigns the key, past every key it gave before.
    EXPECT_GT(c.lastInsertId().toInt32(), before);
    EXPECT_EQ(scalar(c, QStringLiteral("SELECT FBOMID FROM COM_Bom WHERE FBOMNumber='BOM-NEW'")), c.lastInsertId().toInt32());
}

TORVEL_INSTANTIATE_DATABASE_TEST(DemoData);

// The stock query finds movements through the item and date index; it never
// reads the movement table whole.
TEST(StockProcedure, SearchesMovementsByItemAndDate)
{
    auto db = TestDatabase::createSqlite(true);
    const RecordsetPtr plan = db->connection()->Execute(QStringLiteral("EXPLAIN QUERY PLAN ")
                                                        + host::stockQueryText(2026, 3, 10, 46082, 46100));
    int searches = 0;
    for (; !plan->Eof(); plan->MoveNext()) {
        const QString detail = plan->Fields(QStringLiteral("detail")).toString();
        EXPECT_FALSE(detail.startsWith(QLatin1String("SCAN m"))) << detail.toStdString();
        searches += detail.startsWith(QLatin1String("SEARCH m USING INDEX IX_COM_StockMove_Item (FItemID=? AND FDate>? AND FDate<?)"));
    }
    EXPECT_EQ(searches, 1);
}

TEST(ScaleData, GeneratesConsistentBomsAndAppends)
{
    auto db = TestDatabase::createSqlite(false);
    Connection &c = *db->connection();
    host::generateScaleData(c, 500, 20, 15);
    EXPECT_EQ(scalar(c, QStringLiteral("SELECT Count(*) FROM t_Item")), 500);
    EXPECT_EQ(scalar(c, QStringLiteral("SELECT Count(*) FROM COM_Item")), 500);
    EXPECT_EQ(scalar(c, QStringLiteral("SELECT Count(*) FROM COM_BOM")), 20);
    EXPECT_EQ(scalar(c, QStringLiteral("SELECT Count(*) FROM COM_BOM_Child")), 300);
    const char *mustBeZero[] = {
        "SELECT Count(*) FROM COM_BOM_Child INNER JOIN COM_BOM ON COM_BOM.FBOMID=COM_BOM_Child.FBOMID "
        "WHERE COM_BOM_Child.FItemID=COM_BOM.FItemID",
        "SELECT Count(*) FROM COM_BOM_Child WHERE FItemID NOT IN (SELECT FItemID FROM COM_Item)",
        "SELECT Count(*) FROM COM_BOM INNER JOIN COM_Item ON COM_Item.FItemID=COM_BOM.FItemID WHERE FIsBOM<>1",
        "SELECT Count(*) FROM COM_BOM WHERE FBOMGroupID NOT IN (SELECT FBOMGroupID FROM COM_BOM_Group)",
    };
    for (const char *sql : mustBeZero)
        EXPECT_EQ(scalar(c, QString::fromUtf8(sql)), 0) << sql;

    host::generateScaleData(c, 100, 5, 3);
    EXPECT_EQ(scalar(c, QStringLiteral("SELECT Count(*) FROM t_Item")), 600);
    EXPECT_EQ(scalar(c, QStringLiteral("SELECT Count(*) FROM COM_BOM")), 25);
    EXPECT_EQ(scalar(c, QStringLiteral("SELECT Count(*) FROM COM_BOM_Group WHERE FNumber='SCALE'")), 1);
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
    EXPECT_EQ(scalar(c, QStringLiteral("SELECT Count(*) FROM t_Item")), 0);
    EXPECT_EQ(scalar(c, QStringLiteral("SELECT Count(*) FROM COM_BOM")), 1);
}

} // namespace
