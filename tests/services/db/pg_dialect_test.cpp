// The PostgreSQL dialect: its rewrites on their own, then the SQL Server text
// the library writes on a real server, and the period procedures on every
// database. Scripts split into statements are proven by every server test's
// schema, which has function bodies with comments inside.

#include "comerrors.h"
#include "dbfixture.h"
#include "hostdb/hostdb.h"
#include "pgserver.h"
#include "printers.h"
#include "services/db/connection.h"
#include "services/db/pgdialect.h"

#include <QDate>

#include <gtest/gtest.h>

using namespace torvel;

namespace {

PgTableInfo fakeCatalog(const QString &table)
{
    const QString t = table.toLower();
    if (t == QLatin1String("com_bom"))
        return {QStringLiteral("fbomid"), {QStringLiteral("fbomid")}};
    if (t == QLatin1String("com_bom_group"))
        return {QStringLiteral("fbomgroupid"), {QStringLiteral("fbomgroupid")}};
    if (t == QLatin1String("com_bom_child"))
        return {QString(), {QStringLiteral("fbomid"), QStringLiteral("fbomentryid")}};
    if (t == QLatin1String("t_item"))
        return {QString(), {QStringLiteral("fitemid")}};
    if (t == QLatin1String("mixed"))
        return {QStringLiteral("KeyCol"), {QStringLiteral("KeyCol")}};
    return {};
}

TEST(PostgresTranslate, RewritesWhatPostgresNeedsAndNothingElse)
{
    const struct { const char *in; const char *out; } cases[] = {
        // What a server run cannot show: a key asked for once, quoted as declared,
        // and nothing moved inside quotes. The plain forms (a key handed back,
        // none for a keyless table, rows in clustered-key order, aggregates
        // left alone) run on the server in the PgDialect and connection tests.
        {"insert into com_bom (FBOMNumber) values ('x RETURNING y')",
         "insert into com_bom (FBOMNumber) values ('x RETURNING y') RETURNING fbomid"},
        {"INSERT INTO COM_Bom(FBOMNumber) VALUES ('1') RETURNING FBOMNumber",
         "INSERT INTO COM_Bom(FBOMNumber) VALUES ('1') RETURNING FBOMNumber"},
        {"INSERT INTO mixed(a) VALUES (1)", "INSERT INTO mixed(a) VALUES (1) RETURNING \"KeyCol\""},
        {"SELECT * FROM t_Item a WHERE a.FItemID>1", "SELECT * FROM t_Item a WHERE a.FItemID>1 ORDER BY a.fitemid"},
        {"SELECT * FROM t_Item AS a;", "SELECT * FROM t_Item AS a ORDER BY a.fitemid"},
        {"SELECT * FROM t_Item WHERE FName='x ORDER BY y'", "SELECT * FROM t_Item WHERE FName='x ORDER BY y' ORDER BY t_Item.fitemid"},
        {"SELECT * FROM t_Item WHERE FItemID IN (SELECT FItemID FROM COM_BOM ORDER BY 1)",
         "SELECT * FROM t_Item WHERE FItemID IN (SELECT FItemID FROM COM_BOM ORDER BY 1) ORDER BY t_Item.fitemid"},
        {"SELECT * FROM t_Item WHERE FItemID=3Order By len(FNumber) ",
         "SELECT * FROM t_Item WHERE FItemID=3 Order By length(rtrim(FNumber, ' ')) "},
        {"SELECT DISTINCT FItemID FROM COM_BOM", "SELECT DISTINCT FItemID FROM COM_BOM"},
        {"SELECT FItemID FROM COM_BOM GROUP BY FItemID", "SELECT FItemID FROM COM_BOM GROUP BY FItemID"},
        {"SELECT * FROM COM_BOM LIMIT 5", "SELECT * FROM COM_BOM LIMIT 5"},
        {"SELECT * FROM (SELECT * FROM COM_BOM) AS x", "SELECT * FROM (SELECT * FROM COM_BOM) AS x"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(postgresTranslate(QString::fromUtf8(c.in), fakeCatalog), QString::fromUtf8(c.out)) << c.in;
}

TEST(PostgresConnectionString, MalformedOrUnreachableIsAClearError)
{
    const struct { const char *text; const char *mentions; } cases[] = {
        {"postgresql://", "postgresql://user@host:port/dbname"},
        {"postgresql:///nohost", "postgresql://user@host:port/dbname"},
        // Nothing listens on port 1: the driver's own text comes back.
        {"postgresql://postgres@127.0.0.1:1/torvel_test", "127.0.0.1"},
    };
    for (const auto &c : cases) {
        const ComError e = test::errorOf([&] { Connection::open(QString::fromUtf8(c.text)); });
        EXPECT_TRUE(e.description().contains(QString::fromUtf8(c.mentions))) << c.text << ": " << e.what();
    }
}

class PgDialect : public test::PgServerTest
{
protected:
    int count(const QString &sql) { return connection()->Execute(sql)->Fields(0).toInt32(); }
};

// The server's own types; the common ones run on both databases in connection_test.
TEST_F(PgDialect, ValuesComeBackTyped)
{
    const RecordsetPtr rs = connection()->Execute(QStringLiteral(
        "SELECT Count(*) AS n, 5000000000::bigint AS big, 2.5::numeric AS num, DATE '2026-03-01' AS dt, "
        "TIMESTAMP '2026-03-01 12:00:00' AS ts, true AS b, 3::smallint AS s, TIMESTAMP '1899-12-29 06:00:00' AS old"));
    const double day = QDate(1899, 12, 30).daysTo(QDate(2026, 3, 1));
    const struct { const char *field; Variant::Type type; double value; } cases[] = {
        {"n", Variant::Type::Int32, 1}, {"big", Variant::Type::Double, 5e9}, {"num", Variant::Type::Double, 2.5}, {"dt", Variant::Type::Date, day},
        {"ts", Variant::Type::Date, day + 0.5}, {"b", Variant::Type::Boolean, -1}, {"s", Variant::Type::Int32, 3},
        {"old", Variant::Type::Date, -1.25},   // before the epoch the time counts away from zero
    };
    for (const auto &k : cases) {
        const Variant v = rs->Fields(QString::fromUtf8(k.field));
        EXPECT_EQ(int(v.type()), int(k.type)) << k.field;
        EXPECT_EQ(v.type() == Variant::Type::Date ? v.toDate() : v.toDouble(), k.value) << k.field;
    }
}

// A row written with its own key moves the generator past it; a table without
// a generated key leaves the last key standing; and in a fresh session that has used no sequence yet, asking the driver for a key
// would run lastval(), fail and abort the transaction.
TEST_F(PgDialect, KeylessInsertsKeepTheLastKeyAndTheTransaction)
{
    auto c = db().openConnection();
    c->BeginTrans();
    for (int entry = 1; entry <= 3; ++entry)
        c->Execute(QStringLiteral("INSERT INTO COM_Bom_Child (FBOMEntryID,FBOMID,FQty) VALUES (") + QString::number(entry)
                   + QStringLiteral(",1,2)"));
    c->CommitTrans();
    EXPECT_EQ(count(QStringLiteral("SELECT Count(*) FROM COM_BOM_Child WHERE FBOMID=1")), 3);
    c->Execute(QStringLiteral("INSERT INTO COM_Bom_Group(FBOMGroupID,FNumber) VALUES (100,'03')"));
    EXPECT_EQ(c->lastInsertId().toInt32(), 100);
    c->Execute(QStringLiteral("INSERT COM_Bom_Group(FNumber) VALUES ('04')"));
    EXPECT_EQ(c->lastInsertId().toInt32(), 101);
    qint64 affected = -1;
    c->Execute(QStringLiteral("INSERT INTO t_Item(FItemID,FNumber) VALUES (7,'x')"), &affected);
    EXPECT_EQ(affected, 1);
    EXPECT_EQ(c->lastInsertId().toInt32(), 101);
}

TEST_F(PgDialect, RowsComeBackInClusteredKeyOrder)
{
    auto c = connection();
    // Written out of order, and rewritten, so the heap order is not the key order.
    for (int entry : {3, 1, 4, 2})
        c->Execute(QStringLiteral("INSERT INTO COM_Bom_Child (FBOMEntryID,FBOMID,FRemark) VALUES (") + QString::number(entry)
                   + QStringLiteral(",1,'x')"));
    c->Execute(QStringLiteral("UPDATE COM_Bom_Child SET FRemark='y' WHERE FBOMEntryID=1"));
    const RecordsetPtr rs = c->Execute(QStringLiteral(
        "SELECT COM_BOM_Child.*,t_Item.FNumber as FItemNumber FROM COM_BOM_Child LEFT JOIN t_Item on "
        "COM_Bom_Child.FItemid=t_Item.FItemid  WHERE  FBOMID=1"));
    QList<int> entries;
    for (; !rs->Eof(); rs->MoveNext())
        entries.append(rs->Fields(QStringLiteral("FBOMEntryID")).toInt32());
    EXPECT_EQ(entries, QList<int>({1, 2, 3, 4}));
}

TEST_F(PgDialect, SetReturningFunctionsGiveRows)
{
    auto c = connection();
    // A function that returns rows gives them as a record set.
    c->Execute(QStringLiteral("CREATE FUNCTION sp_Groups(pParent integer) RETURNS SETOF COM_BOM_Group LANGUAGE sql "
                              "AS $$ SELECT * FROM COM_BOM_Group WHERE FParentID = pParent ORDER BY FBOMGroupID $$"));
    c->Execute(QStringLiteral("INSERT COM_Bom_Group(FNumber,FParentID) VALUES ('g1',5)"));
    const RecordsetPtr rows = c->Execute(QStringLiteral("sp_Groups 5"));
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->RecordCount(), 1);
    EXPECT_EQ(rows->Fields(QStringLiteral("FNumber")).toString(), QStringLiteral("g1"));

    for (const char *sql : {"sp_NoSuchProcedure 1", "sp_GetPeriodEndDate 1, 2, 3, 4", "sp_GetPeriodEndDate 'x', 2"})
        EXPECT_THROW(c->Execute(QString::fromUtf8(sql)), ComError) << sql;
}

// The demo host on a server: the data loads into a database that has the
// schema but no rows, once.
TEST_F(PgDialect, DemoDataLoadsIntoAnEmptyServerDatabaseOnce)
{
    EXPECT_TRUE(host::ensureDemoDatabase(db().connectionString()));
    const int boms = count(QStringLiteral("SELECT Count(*) FROM COM_BOM"));
    EXPECT_GT(boms, 0);
    EXPECT_GT(count(QStringLiteral("SELECT Count(*) FROM COM_BOM_Child")), boms);
    EXPECT_FALSE(host::ensureDemoDatabase(db().connectionString()));
    EXPECT_EQ(count(QStringLiteral("SELECT Count(*) FROM COM_BOM")), boms);
    EXPECT_TRUE(host::demoSummary(*connection()).contains(QLatin1String("COM_BOM")));
}

// The period procedures answer alike on every database.
class PeriodProcedures : public test::DatabaseTest
{
protected:
    bool withDemoData() const override { return false; }
};

TEST_P(PeriodProcedures, GiveTheFirstAndLastDayOfThePeriod)
{
    const struct
    {
        const char *profile;   // GL rows: PeriodByMonth, PeriodCount, PeriodDates (NULL = no row)
        int year, period;
        const char *start, *end;   // empty = Null
    } cases[] = {
        {nullptr, 2026, 3, "2026-03-01", "2026-03-31"},
        {nullptr, 2024, 2, "2024-02-01", "2024-02-29"},
        {nullptr, 2026, 13, "", ""}, {nullptr, 2026, 0, "", ""}, {"1|12|", 2026, 1, "2026-01-01", "2026-01-31"},
        // Four periods of a fiscal year starting in April.
        {"0|4|0401070110010101", 2026, 1, "2026-04-01", "2026-06-30"},
        {"0|4|0401070110010101", 2026, 4, "2027-01-01", "2027-03-31"},
        {"0|4|0401070110010101", 2026, 5, "", ""},
        {"0|12|040105010601070108010901100111011201010102010301", 2026, 10, "2027-01-01", "2027-01-31"},
        {"0|4|0101040107011001", 2026, 4, "2026-10-01", "2026-12-31"},
        {"0|4|04010701", 2026, 1, "", ""}, {"0|2|01011340", 2026, 2, "", ""},   // too few date groups; 13/40 is no date
    };
    auto c = connection();
    for (const auto &k : cases) {
        c->Execute(QStringLiteral("DELETE FROM t_SystemProfile"));
        if (k.profile) {
            const QStringList v = QString::fromUtf8(k.profile).split(QLatin1Char('|'));
            const char *keys[] = {"PeriodByMonth", "PeriodCount", "PeriodDates"};
            for (int i = 0; i < 3; ++i)
                c->Execute(QStringLiteral("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES ('GL','")
                           + QLatin1String(keys[i]) + QStringLiteral("',") + sqlQuote(v.at(i)) + u')');
        }
        for (const bool end : {false, true}) {
            std::vector<Parameter> params{
                {QStringLiteral("@pYear"), 2, Parameter::Input, 0, Variant(int16_t(k.year))},
                {QStringLiteral("@pPeriod"), 2, Parameter::Input, 0, Variant(int16_t(k.period))},
                {end ? QStringLiteral("@pEndDate") : QStringLiteral("@pStartDate"), 135, Parameter::Output, 0, Variant()}};
            c->callProcedure(end ? QStringLiteral("sp_GetPeriodEndDate") : QStringLiteral("sp_GetPeriodStartDate"), params);
            const QString expected = QString::fromUtf8(end ? k.end : k.start);
            const QString label = QStringLiteral("%1 %2/%3 %4").arg(QString::fromUtf8(k.profile ? k.profile : "-"))
                                      .arg(k.year).arg(k.period).arg(end ? QLatin1String("end") : QLatin1String("start"));
            if (expected.isEmpty()) {
                EXPECT_TRUE(params[2].value.isNull()) << label.toStdString();
            } else {
                ASSERT_EQ(params[2].value.type(), Variant::Type::Date) << label.toStdString();
                EXPECT_EQ(params[2].value.toDate(),
                          double(QDate(1899, 12, 30).daysTo(QDate::fromString(expected, Qt::ISODate))))
                    << label.toStdString();
            }
        }
    }
    // By name at the head of a statement, positional or named in any order:
    // the outputs have nowhere to go, and nothing comes back.
    EXPECT_EQ(c->Execute(QStringLiteral("sp_GetPeriodEndDate 2026, 2")), nullptr);
    EXPECT_EQ(c->Execute(QStringLiteral("EXEC SP_GETPERIODENDDATE @pPeriod = 2, @pYear = 2026;")), nullptr);
}

TORVEL_INSTANTIATE_DATABASE_TEST(PeriodProcedures);

} // namespace
