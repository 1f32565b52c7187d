// The connection on a real SQLite file: the SQL Server text the library writes
// runs as written, values come back typed, failures carry the database's text.

#include "comerrors.h"
#include "printers.h"
#include "services/db/connection.h"
#include "services/db/sqltext.h"
#include "dbfixture.h"

#include <QFile>
#include <QSqlDatabase>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace torvel;

namespace {

class SqliteConnection : public ::testing::TestWithParam<QString>
{
protected:
    bool onSqlite() const { return GetParam() == QLatin1String("sqlite"); }

    void SetUp() override
    {
        // Both tables as each database declares them; the server's in a schema of its own.
        QString group, item;
        if (onSqlite()) {
            ASSERT_TRUE(dir.isValid());
            cnn = Connection::open(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("t.db")));
            group = QStringLiteral("FBOMGroupID INTEGER PRIMARY KEY AUTOINCREMENT, FNumber TEXT COLLATE NOCASE, "
                                   "FName TEXT COLLATE NOCASE, FParentID INTEGER");
            item = QStringLiteral("FItemID INTEGER PRIMARY KEY, FNumber TEXT COLLATE NOCASE, FName TEXT COLLATE NOCASE, FQty REAL");
        } else {
            server = test::TestDatabase::create(GetParam(), false);
            cnn = server->connection();
            cnn->Execute(QStringLiteral("DROP TABLE COM_BOM_Group, t_Item CASCADE"));
            group = QStringLiteral("FBOMGroupID serial PRIMARY KEY, FNumber citext, FName citext, FParentID integer");
            item = QStringLiteral("FItemID integer PRIMARY KEY, FNumber citext, FName citext, FQty double precision");
        }
        cnn->Execute(QStringLiteral("CREATE TABLE COM_BOM_Group (%1)").arg(group));
        cnn->Execute(QStringLiteral("CREATE TABLE t_Item (%1)").arg(item));
    }

    int count(const QString &sql) { return cnn->Execute(sql)->Fields(0).toInt32(); }

    QTemporaryDir dir;
    std::unique_ptr<test::TestDatabase> server;
    ConnectionPtr cnn;
};

TEST(ServerTextRewrite, RewritesOnlyWhatOtherDatabasesCannotParse)
{
    const struct { const char *in; const char *out; } cases[] = {
        {"INSERT COM_Bom_Group(FNumber) VALUES ('1')", "INSERT INTO COM_Bom_Group(FNumber) VALUES ('1')"},
        {"  insert COM_Bom_Group (FNumber) VALUES ('1')", "  insert INTO COM_Bom_Group (FNumber) VALUES ('1')"},
        {"INSERT [COM_Bom] (FNumber) VALUES (1)", "INSERT INTO [COM_Bom] (FNumber) VALUES (1)"},
        {"INSERT OR REPLACE INTO t(a) VALUES (1)", "INSERT OR REPLACE INTO t(a) VALUES (1)"},
        {"SELECT * FROM t WHERE FNumber='INSERT x(' ", "SELECT * FROM t WHERE FNumber='INSERT x(' "},
        // A number glued to the next word, as the completion grid's lookup writes it.
        {"SELECT * FROM t WHERE (FNumber='1') and FReplaceClassID=3Order By len(FNumber) ",
         "SELECT * FROM t WHERE (FNumber='1') and FReplaceClassID=3 Order By len(FNumber) "},
        {"SELECT 1.5e3AS x, 0x1Fgo", "SELECT 1.5e3 AS x, 0x1F go"},
        // Inside quotes, names and comments nothing moves.
        {"SELECT * FROM t WHERE FName='3Order' AND [2x]=\"4y\" -- 5z\n", "SELECT * FROM t WHERE FName='3Order' AND [2x]=\"4y\" -- 5z\n"},
        {"SELECT FItem2ID, t2.x FROM t2", "SELECT FItem2ID, t2.x FROM t2"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(sqltext::rewriteServerText(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST_P(SqliteConnection, LenOrdersByCharactersIgnoringTrailingBlanks)
{
    // Byte lengths would put 电阻器 (9 bytes) after 'abcd'; a blank-counting
    // length would put 'ab   ' after 'abc'.
    cnn->Execute(QStringLiteral("INSERT t_Item(FItemID,FNumber) VALUES (1,'abcd')"));
    cnn->Execute(QStringLiteral("INSERT t_Item(FItemID,FNumber) VALUES (2,'电阻器')"));
    cnn->Execute(QStringLiteral("INSERT t_Item(FItemID,FNumber) VALUES (3,'ab   ')"));
    cnn->Execute(QStringLiteral("INSERT t_Item(FItemID,FNumber) VALUES (4,'a')"));
    const RecordsetPtr rs = cnn->Execute(QStringLiteral("SELECT FItemID, len(FNumber) AS L FROM t_Item Order By len(FNumber) "));
    std::vector<int> ids, lengths;
    for (; !rs->Eof(); rs->MoveNext()) {
        ids.push_back(rs->Fields(QStringLiteral("FItemID")).toInt32());
        lengths.push_back(rs->Fields(QStringLiteral("l")).toInt32());
    }
    EXPECT_EQ(ids, (std::vector<int>{4, 3, 2, 1}));
    EXPECT_EQ(lengths, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(cnn->Execute(QStringLiteral("SELECT len(NULL)"))->Fields(0).isNull());
}

TEST_P(SqliteConnection, ValuesComeBackTypedUnderTheNamesAsDeclared)
{
    cnn->Execute(QStringLiteral("INSERT INTO com_bom_group(FNumber,FName,FParentID) VALUES ('AbC','Motherboard',0)"));
    // Field names read back as the database declares them (a server folds
    // unquoted names to lower case), and are found by any case.
    RecordsetPtr rs = cnn->Execute(QStringLiteral("SELECT fnumber, FName AS fAlias FROM COM_BOM_GROUP WHERE FParentID=0"));
    EXPECT_EQ(rs->fieldNames(), onSqlite() ? (QStringList{QStringLiteral("FNumber"), QStringLiteral("fAlias")})
                                           : (QStringList{QStringLiteral("fnumber"), QStringLiteral("falias")}));
    EXPECT_EQ(rs->Fields(QStringLiteral("FNUMBER")).toString(), QStringLiteral("AbC"));
    EXPECT_EQ(rs->Fields(QStringLiteral("FALIAS")).toString(), QStringLiteral("Motherboard"));
    // No rows: an empty set that still has its fields.
    rs = cnn->Execute(QStringLiteral("SELECT * FROM t_Item WHERE FItemID=-1"));
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(rs->fieldCount(), 4);

    rs = cnn->Execute(QStringLiteral("SELECT 7 AS i, 3000000000 AS big, -2147483648 AS low, 2.5 AS r, '12' AS s, NULL AS n"));
    const struct { const char *field; Variant::Type type; double value; } expected[] = {
        {"i", Variant::Type::Int32, 7}, {"big", Variant::Type::Double, 3e9}, {"low", Variant::Type::Int32, INT32_MIN},
        {"r", Variant::Type::Double, 2.5}, {"s", Variant::Type::String, 12},
    };
    for (const auto &e : expected) {
        EXPECT_EQ(rs->Fields(QString::fromUtf8(e.field)).type(), e.type) << e.field;
        EXPECT_EQ(rs->Fields(QString::fromUtf8(e.field)).toDouble(), e.value) << e.field;
    }
    EXPECT_TRUE(rs->Fields(QStringLiteral("n")).isNull());
}

TEST_P(SqliteConnection, RowsAffectedAndGeneratedKeys)
{
    qint64 affected = -1;
    EXPECT_EQ(cnn->Execute(QStringLiteral("INSERT COM_Bom_Group(FNumber,FName,FParentID) VALUES ('01','电子',0)"), &affected),
              nullptr);
    EXPECT_EQ(affected, 1);
    EXPECT_EQ(cnn->lastInsertId().toInt32(), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT Count(*) FROM COM_BOM_GROUP WHERE FName='电子'")), 1);
    cnn->Execute(QStringLiteral("INSERT COM_Bom_Group(FNumber,FName,FParentID) VALUES ('02','b',0)"));
    EXPECT_EQ(cnn->lastInsertId().toInt32(), 2);

    cnn->Execute(QStringLiteral("UPDATE COM_Bom_Group SET FParentID=9  WHERE FParentID=0"), &affected);
    EXPECT_EQ(affected, 2);
    cnn->Execute(QStringLiteral("DELETE  FROM COM_Bom_Group WHERE FNumber='nothing'"), &affected);
    EXPECT_EQ(affected, 0);
    cnn->Execute(QStringLiteral("DELETE FROM COM_BOM_Group  WHERE FParentID=9"), &affected);
    EXPECT_EQ(affected, 2);
    // An update does not disturb the last generated key.
    EXPECT_EQ(cnn->lastInsertId().toInt32(), 2);
}

TEST_P(SqliteConnection, SplicedTextsAndNumbersRoundTripUnchanged)
{
    const QString texts[] = {
        QStringLiteral("O'Brien"), QStringLiteral("''"), QStringLiteral("say \"hi\""), QStringLiteral("C:\\temp\\n"),
        QStringLiteral("100%_done"), QStringLiteral("电阻 10kΩ ±1%"), QStringLiteral("trailing   "),
        QStringLiteral("   leading"), QStringLiteral("'); DELETE FROM t_Item; --"), QString(),
    };
    int id = 0;
    for (const QString &t : texts) {
        ++id;
        cnn->Execute(QStringLiteral("INSERT INTO t_Item(FItemID,FName) VALUES (") + sqlNumber(id) + QStringLiteral(",")
                     + sqlQuote(t) + QStringLiteral(")"));
        const RecordsetPtr rs = cnn->Execute(QStringLiteral("SELECT FName FROM t_Item WHERE FItemID=") + sqlNumber(id));
        ASSERT_EQ(rs->RecordCount(), 1) << t.toStdString();
        EXPECT_EQ(rs->Fields(0).toString(), t);
        // Found again by the same quoted text.
        EXPECT_EQ(count(QStringLiteral("SELECT Count(*) FROM t_Item WHERE FName=") + sqlQuote(t)), 1) << t.toStdString();
    }
    EXPECT_EQ(count(QStringLiteral("SELECT Count(*) FROM t_Item")), id);
    for (double v : {0.125, 1234567.5, 0.1, 1e-7, 1e15, -2.5}) {
        ++id;
        cnn->Execute(QStringLiteral("INSERT INTO t_Item(FItemID,FQty) VALUES (") + sqlNumber(id) + u',' + sqlNumber(v) + u')');
        EXPECT_EQ(cnn->Execute(QStringLiteral("SELECT FQty FROM t_Item WHERE FItemID=") + sqlNumber(id))->Fields(0).toDouble(), v);
    }
}

TEST_P(SqliteConnection, FailuresCarryTheDatabaseText)
{
    if (!onSqlite())
        GTEST_SKIP() << "SQLite's own words";
    cnn->Execute(QStringLiteral("CREATE UNIQUE INDEX ux ON t_Item(FNumber)"));
    cnn->Execute(QStringLiteral("INSERT t_Item(FItemID,FNumber) VALUES (1,'A')"));
    const struct { const char *sql; const char *text; } cases[] = {
        {"SELEC * FROM t_Item", "near \"SELEC\": syntax error"},
        {"INSERT t_Item(FItemID,FNumber) VALUES (2,'a')", "UNIQUE constraint failed: t_Item.FNumber"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        const ComError e = test::errorOf([&] { cnn->Execute(QString::fromUtf8(c.sql)); });
        EXPECT_EQ(e.description(), QString::fromUtf8(c.text));
        EXPECT_EQ(e.source(), QStringLiteral("QSQLITE"));
        EXPECT_GT(e.number(), 0) << "the native SQLite code";
    }
    // The connection stays usable after a failure.
    EXPECT_EQ(count(QStringLiteral("SELECT Count(*) FROM t_Item")), 1);
}

TEST_P(SqliteConnection, ClosedConnectionRefusesWork)
{
    const QString qtName = cnn->database().connectionName();
    EXPECT_TRUE(QSqlDatabase::contains(qtName));
    cnn->Close();
    EXPECT_FALSE(cnn->isOpen());
    EXPECT_FALSE(QSqlDatabase::contains(qtName));
    EXPECT_EQ(test::errorOf([&] { cnn->Execute(QStringLiteral("SELECT 1")); }).number(), errc::ObjectClosed);
    cnn->Close();   // twice is harmless
}

TEST(Connection, EachConnectionHasItsOwnQtName)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("two.db"));
    ConnectionPtr a = Connection::open(path);   // a bare path is SQLite too
    ConnectionPtr b = Connection::open(QStringLiteral("sqlite:") + path);
    EXPECT_NE(a->database().connectionName(), b->database().connectionName());
    a->Execute(QStringLiteral("CREATE TABLE x (v INTEGER)"));
    a->Execute(QStringLiteral("INSERT x(v) VALUES (5)"));
    EXPECT_EQ(b->Execute(QStringLiteral("SELECT v FROM x"))->Fields(0).toInt32(), 5);
    const QString name = a->database().connectionName();
    a.reset();
    EXPECT_FALSE(QSqlDatabase::contains(name));
}

TEST(Connection, UnknownSchemeOrUnopenableFileIsAClearError)
{
    EXPECT_THROW(Connection::open(QStringLiteral("oracle://scott@db/x")), ComError);
    // Without a name SQLite would open a private temporary database.
    for (const char *address : {"sqlite:/nonexistent-dir/sub/x.db", "", "  ", "sqlite:"}) {
        SCOPED_TRACE(address);
        EXPECT_FALSE(test::errorOf([&] { Connection::open(QString::fromUtf8(address)); }).description().isEmpty());
    }
}

TEST_P(SqliteConnection, OneStatementPerTextAndNoneIsAnError)
{
    const struct { const char *sql; const char *error; } cases[] = {   // error nullptr: runs
        {"", "empty"}, {" \n ", "empty"},
        {"INSERT t_Item(FItemID) VALUES (1); INSERT t_Item(FItemID) VALUES (2)", "Only one statement"},
        {"SELECT 1;DELETE FROM t_Item", "Only one statement"},
        {"INSERT t_Item(FItemID,FName) VALUES (3,'a;b') ; ", nullptr},
        {"INSERT t_Item(FItemID,FName) VALUES (4,'it''s; x') -- the end; really", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql);
        if (c.error)
            EXPECT_TRUE(test::errorOf([&] { cnn->Execute(QString::fromUtf8(c.sql)); })
                            .description().contains(QLatin1String(c.error)));
        else
            cnn->Execute(QString::fromUtf8(c.sql));
    }
    EXPECT_EQ(count(QStringLiteral("SELECT Count(*) FROM t_Item")), 2);
}

// Root may write any file: the checks run in a child as a user who may not.
TEST(Connection, AFileTheUserMayOnlyReadOpensAndRefusesWrites)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ro.db"));
    {
        ConnectionPtr c = Connection::open(path);
        c->Execute(QStringLiteral("PRAGMA journal_mode=DELETE"));
        c->Execute(QStringLiteral("CREATE TABLE t_Item (FItemID INTEGER PRIMARY KEY, FName TEXT)"));
        c->Execute(QStringLiteral("INSERT t_Item(FItemID,FName) VALUES (1,'a')"));
    }
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);

    const pid_t child = fork();
    if (child == 0) {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(90);
        int result = 0;
        try {
            ConnectionPtr c = Connection::open(path);
            if (c->Execute(QStringLiteral("SELECT FName FROM t_Item WHERE FItemID=1"))->Fields(0).toString() != QLatin1String("a"))
                result = 91;
            c->BeginTrans();
            const QString why = test::errorOf([&] {
                c->Execute(QStringLiteral("UPDATE t_Item SET FName='b' WHERE FItemID=1"));
            }).description();
            c->RollbackTrans();
            if (!why.startsWith(errtext::kReadOnlyDatabase))
                result = 92;
        } catch (const ComError &e) {
            std::fprintf(stderr, "%s\n", e.what());
            result = 93;
        }
        _exit(result);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    chmod(QFile::encodeName(dir.path()).constData(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    // 91 read nothing, 92 the write was not refused as read-only, 93 the file did not open
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Connection::open(path)->Execute(QStringLiteral("SELECT FName FROM t_Item"))->Fields(0).toString(),
              QStringLiteral("a"));
}

// Inside a transaction the server may receive writes together, later; what a
// clerk sees must not change: a read sees every write before it, and a failing
// write fails as it would alone (at the latest at the commit), taking the
// whole transaction with it.
TEST_P(SqliteConnection, WritesInATransactionReadAndFailAsAlone)
{
    const auto insert = [this](int id, const char *number) {
        cnn->Execute(QStringLiteral("INSERT INTO t_Item(FItemID,FNumber) VALUES (%1,'%2')").arg(id).arg(QLatin1String(number)));
    };
    insert(5, "x");
    const ComError alone = test::errorOf([&] { insert(5, "y"); });
    cnn->Execute(QStringLiteral("DELETE FROM t_Item WHERE FItemID=5"));
    insert(1, "a");

    cnn->BeginTrans();
    cnn->Execute(QStringLiteral("DELETE FROM t_Item WHERE FItemID=1"));
    insert(2, "b");
    EXPECT_EQ(count(QStringLiteral("SELECT Count(*) FROM t_Item WHERE FItemID<3")), 1);
    const ComError inside = test::errorOf([&] {
        insert(5, "x");
        insert(5, "y");
        insert(6, "z");
        cnn->CommitTrans();
    });
    EXPECT_EQ(inside.number(), alone.number());
    EXPECT_EQ(inside.description(), alone.description());
    ASSERT_TRUE(cnn->inTransaction());
    cnn->RollbackTrans();
    EXPECT_EQ(count(QStringLiteral("SELECT Count(*) FROM t_Item WHERE FItemID=1")), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT Count(*) FROM t_Item")), 1);
}

TEST_P(SqliteConnection, TransactionMisuseIsAnError)
{
    EXPECT_THROW(cnn->CommitTrans(), ComError);
    EXPECT_THROW(cnn->RollbackTrans(), ComError);
    cnn->BeginTrans();
    EXPECT_THROW(cnn->BeginTrans(), ComError);
    EXPECT_TRUE(cnn->inTransaction());
    cnn->CommitTrans();
    EXPECT_THROW(cnn->CommitTrans(), ComError);
}

TEST_P(SqliteConnection, CommitIsVisibleToAnotherConnectionOnlyAfterwards)
{
    ConnectionPtr other = Connection::open(cnn->connectionString());
    cnn->BeginTrans();
    cnn->Execute(QStringLiteral("INSERT COM_Bom_Group(FNumber) VALUES ('z')"));
    EXPECT_EQ(other->Execute(QStringLiteral("SELECT Count(*) FROM COM_BOM_Group"))->Fields(0).toInt32(), 0);
    cnn->CommitTrans();
    EXPECT_EQ(other->Execute(QStringLiteral("SELECT Count(*) FROM COM_BOM_Group"))->Fields(0).toInt32(), 1);
}

// A transaction that reads what it will rewrite keeps other writers out of
// it from the read on: SQLite by its write lock, the server by row locks.
TEST_P(SqliteConnection, AWriteTransactionKeepsOtherWritersOutOfWhatItRead)
{
    cnn->Execute(QStringLiteral("INSERT COM_Bom_Group(FNumber) VALUES ('a')"));
    ConnectionPtr other = Connection::open(cnn->connectionString());
    other->Execute(onSqlite() ? QStringLiteral("PRAGMA busy_timeout=0") : QStringLiteral("SET lock_timeout='50ms'"));
    const QString write = QStringLiteral("UPDATE COM_BOM_Group SET FNumber='b' WHERE FNumber='a'");
    cnn->BeginWriteTrans();
    cnn->Execute(cnn->lockingRead(QStringLiteral("SELECT FNumber FROM COM_BOM_Group WHERE FNumber='a'")));
    EXPECT_THROW(other->Execute(write), ComError);
    cnn->CommitTrans();
    qint64 affected = 0;
    other->Execute(write, &affected);
    EXPECT_EQ(affected, 1);
}

TEST_P(SqliteConnection, HookSeesTheFinalTextOfEveryStatement)
{
    QStringList seen;
    cnn->setStatementHook([&](const QString &text) { seen.append(text); });
    cnn->BeginTrans();
    cnn->Execute(QStringLiteral("INSERT COM_Bom_Group(FNumber) VALUES ('1')"));
    cnn->CommitTrans();
    // A server that generates the key hands it back from the statement itself.
    const QString insert = QStringLiteral("INSERT INTO COM_Bom_Group(FNumber) VALUES ('1')")
                           + (onSqlite() ? QString() : QStringLiteral(" RETURNING fbomgroupid"));
    EXPECT_EQ(seen, (QStringList{QStringLiteral("BEGIN TRANSACTION"), insert, QStringLiteral("COMMIT TRANSACTION")}));
}

class Procedures : public SqliteConnection
{
protected:
    void SetUp() override
    {
        SqliteConnection::SetUp();
        registerProcedure(QStringLiteral("sp_Echo"), [this](Connection &c, std::vector<Parameter> &params) {
            calls.push_back(params);
            EXPECT_EQ(&c, cnn.get());
            return c.Execute(QStringLiteral("SELECT Count(*) AS n FROM t_Item"));
        });
    }
    void TearDown() override { unregisterProcedure(QStringLiteral("sp_Echo")); }

    std::vector<std::vector<Parameter>> calls;
};

// The literals' types, names kept, and what is no call.
TEST_P(Procedures, CalledByNameOrExecWithTypedArguments)
{
    const RecordsetPtr rs = cnn->Execute(QStringLiteral("sp_Echo 2026,'it''s', -1.5, NULL"));
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->Fields(QStringLiteral("n")).toInt32(), 0);
    cnn->Execute(QStringLiteral("EXEC SP_ECHO @pYear = 2026, @pPeriod=3;"));
    cnn->Execute(QStringLiteral("  execute dbo.sp_echo"));
    ASSERT_EQ(calls.size(), 3u);
    const std::vector<Parameter> &p = calls[0];
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].value.type(), Variant::Type::Int32);
    EXPECT_EQ(p[0].value.toInt32(), 2026);
    EXPECT_EQ(p[1].value.toString(), QStringLiteral("it's"));
    EXPECT_EQ(p[2].value.toDouble(), -1.5);
    EXPECT_TRUE(p[3].value.isNull());
    ASSERT_EQ(calls[1].size(), 2u);
    EXPECT_EQ(calls[1][0].name, QStringLiteral("@pYear"));
    EXPECT_EQ(calls[1][1].value.toInt32(), 3);
    EXPECT_TRUE(calls[2].empty());

    for (const char *sql : {"sp_Missing 1", "EXEC sp_Missing", "sp_Echo 'unclosed", "sp_Echo 1 2", "sp_Echo @p 1", "EXEC",
                            "Selec 1"}) {   // the last merely starts like a name
        SCOPED_TRACE(sql);
        EXPECT_FALSE(test::errorOf([&] { cnn->Execute(QString::fromUtf8(sql)); }).description().isEmpty());
    }
    std::vector<Parameter> none;
    EXPECT_THROW(cnn->callProcedure(QStringLiteral("sp_Missing"), none), ComError);
    EXPECT_EQ(calls.size(), 3u);
}

TORVEL_INSTANTIATE_DATABASE_TEST(SqliteConnection);
TORVEL_INSTANTIATE_DATABASE_TEST(Procedures);

} // namespace
