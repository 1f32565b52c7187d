// SQLite statements prepared once per shape of text: every statement must give
// exactly what its text gives when SQLite parses it afresh. The text with a
// trailing comment is never cached (comments refuse a shape), so the same
// statement run both ways on twin databases shows any difference.

#include "printers.h"
#include "services/db/connection.h"
#include "services/db/sqlitedialect.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace torvel;

namespace {

sqlite3 *handleOf(Connection &cnn)
{
    const QVariant v = cnn.database().driver()->handle();
    return *static_cast<sqlite3 *const *>(v.constData());
}

// The statements SQLite holds prepared on the connection: all, or those whose text is `sql`.
int prepared(Connection &cnn, const QString &sql = QString())
{
    int n = 0;
    sqlite3 *db = handleOf(cnn);
    for (sqlite3_stmt *s = sqlite3_next_stmt(db, nullptr); s; s = sqlite3_next_stmt(db, s))
        n += sql.isNull() || QString::fromUtf8(sqlite3_sql(s)) == sql;
    return n;
}

QString describe(const Variant &v)
{
    if (v.isNull())
        return QStringLiteral("Null");
    if (v.isEmpty())
        return QStringLiteral("Empty");
    // Doubles in full, so a difference in the last bit shows.
    const QString value = v.type() == Variant::Type::Double ? QString::number(v.toDouble(), 'g', 17) : v.toString();
    return v.typeName() + u':' + value;
}

// Everything a statement hands back, as text: names, typed values, rows
// affected, the last key, or the error.
QString outcome(Connection &cnn, const QString &sql)
{
    QString out;
    try {
        qint64 affected = -1;
        const RecordsetPtr rs = cnn.Execute(sql, &affected);
        if (!rs)
            return QStringLiteral("affected %1, key %2").arg(affected).arg(describe(cnn.lastInsertId()));
        out = rs->fieldNames().join(u'|');
        for (const Recordset::Row &row : rs->rows()) {
            out += QStringLiteral("\n");
            for (const Variant &v : row)
                out += describe(v) + u' ';
        }
    } catch (const ComError &e) {
        out = QStringLiteral("error %1 %2: %3").arg(e.number()).arg(e.source(), e.description());
    }
    return out;
}

class StatementCache : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        cached = Connection::open(dir.filePath(QStringLiteral("cached.db")));
        plain = Connection::open(dir.filePath(QStringLiteral("plain.db")));
        both("CREATE TABLE v (k INTEGER PRIMARY KEY, i INTEGER, t TEXT COLLATE NOCASE, r REAL, a, CHECK (i IS NULL OR i <> 13))");
        both("CREATE UNIQUE INDEX v_t ON v(t)");
    }

    // The same set-up on both databases.
    void both(const char *sql)
    {
        for (Connection *c : {cached.get(), plain.get()})
            c->Execute(QString::fromUtf8(sql));
    }

    // Runs the statement cached on one database and from its text on the
    // other; both must answer alike.
    void expectAlike(const QString &sql)
    {
        QString shape;
        ASSERT_TRUE(sqliteShape(sql, &shape)) << "not a cached statement: " << sql.toStdString();
        const QString fromCache = outcome(*cached, sql);
        const QString fromText = outcome(*plain, sql + QStringLiteral(" /* plain */"));
        EXPECT_EQ(fromCache, fromText) << sql.toStdString();
    }

    QTemporaryDir dir;
    ConnectionPtr cached;
    ConnectionPtr plain;
};

// A union and a pick list's page (LIMIT, whose plan depends on the literal)
// answer alike either way, so only their refusal shows that they are never cached.
TEST(StatementShape, UnionAndLimitAreNeverCached)
{
    for (const char *sql : {"SELECT a FROM t WHERE a=1 UNION SELECT 2", "SELECT a FROM t WHERE a=2 ORDER BY a LIMIT 5"})
        EXPECT_FALSE(sqliteShape(QString::fromUtf8(sql), nullptr)) << sql;
}

TEST_F(StatementCache, SameShapeWithOtherValuesTypesAndQuotedNumbers)
{
    const char *statements[] = {
        "INSERT INTO v(k,i,t,r,a) VALUES (1, 5, '5', 5.5, 5)",
        "INSERT INTO v(k,i,t,r,a) VALUES (2, '6', '06', '6.25', '6')",
        "INSERT INTO v(k,i,t,r,a) VALUES (3, 7.0, 7, 7, 7.0)",
        "INSERT INTO v(k,i,t,r,a) VALUES (4, 3000000000, 'it''s', -0.125, 'x''''y')",
        "INSERT INTO v(k,i,t,r,a) VALUES (5, -2147483648, '电阻 10kΩ  ', 1e-7, NULL)",
        "INSERT INTO v(k,i,t,r,a) VALUES (6, 9223372036854775807, '', 1E3, 2.)",
        "INSERT INTO v(k,i,t,r,a) VALUES (7, 0, 'z', 460.087806074545, 1927.5595567867)",
        "INSERT INTO v(k,i,t,r,a) VALUES (8, 00012, '1e5', .5, 440.101280558789)",
        "INSERT INTO v(i,t,r,a) VALUES (9, 'auto', 0, 0)", "INSERT INTO v(k,i,t) VALUES (77, 1, 'm1'),(78, 2, 'm2')",
        "SELECT * FROM v WHERE k=1", "SELECT * FROM v WHERE k='3'", "SELECT * FROM v WHERE k=4.0",
        "SELECT * FROM v WHERE k=99", "SELECT k FROM v WHERE t='5'", "SELECT k FROM v WHERE t=5",
        "SELECT k FROM v WHERE t='06'", "SELECT k FROM v WHERE t=6", "SELECT k FROM v WHERE t='IT''S'",
        "SELECT k FROM v WHERE t='1e5'", "SELECT k FROM v WHERE t=1e5", "SELECT k FROM v WHERE a='6'",
        "SELECT k FROM v WHERE a=6", "SELECT k FROM v WHERE i='6'", "SELECT k FROM v WHERE i=6.0",
        "SELECT k FROM v WHERE r=460.087806074545", "SELECT k FROM v WHERE a=1927.5595567867",
        "SELECT k FROM v WHERE r='6.25'",
        "SELECT k, i * 2 AS twice, 'lit' AS \"q\"\"name\", t || '!' FROM v WHERE k IN (1, 4, 5) ORDER BY 1 DESC",
        "SELECT k FROM v WHERE t LIKE '电%' OR t LIKE 'IT%'",
        "SELECT k FROM v WHERE i BETWEEN -3000000000 AND 6 ORDER BY k",
        "SELECT count(*), sum(i), max(r), min(t) FROM v WHERE k > 0", "SELECT k FROM v WHERE a IS NULL",
        "SELECT quote(r), quote(a), typeof(a) FROM v WHERE k=7", "SELECT len(t) FROM v WHERE k=5",
        "INSERT INTO v(k,i,t) VALUES (10, 1, '5')", "INSERT INTO v(k,i,t) VALUES (1, 1, 'new')",
        "UPDATE v SET i=13 WHERE k=1", "UPDATE v SET i=14, t='fourteen' WHERE k=1",
        "SELECT sum(i) FROM v WHERE i >= 3000000000", "DELETE FROM v WHERE k=3", "DELETE FROM v WHERE k=3",
        "SELECT * FROM v WHERE k > 0 ORDER BY k",
    };
    for (const char *sql : statements)
        expectAlike(QString::fromUtf8(sql));
    // Every shape above was prepared once, whatever its values.
    EXPECT_EQ(prepared(*cached, QStringLiteral("SELECT * FROM v WHERE k=?")), 1);
    EXPECT_EQ(prepared(*cached, QStringLiteral("SELECT k FROM v WHERE t=?")), 1);
    EXPECT_EQ(prepared(*plain, QStringLiteral("SELECT * FROM v WHERE k=?")), 0);
}

TEST_F(StatementCache, TextThatIsNoUtf8ReadsAsTheDriverReadsIt)
{
    both("INSERT INTO v(k,a) SELECT 1, CAST(X'41C3FF80E4B8AD' AS TEXT)");
    expectAlike(QStringLiteral("SELECT a, CAST(a AS BLOB) AS b FROM v WHERE k=1"));
}

TEST_F(StatementCache, SchemaChangesReachCachedStatements)
{
    const QString select = QStringLiteral("SELECT * FROM w WHERE k=1");
    both("CREATE TABLE w (k INTEGER, x TEXT)");
    both("INSERT INTO w VALUES (1, 'one')");
    expectAlike(select);
    expectAlike(QStringLiteral("INSERT INTO w VALUES (2, 'two')"));
    // Dropped and made again with other columns: the same texts now mean other work.
    both("DROP TABLE w");
    both("CREATE TABLE w (k INTEGER, y REAL, z TEXT, x TEXT)");
    both("INSERT INTO w(k,y,z) SELECT 1, 2.5, 'zed'");
    expectAlike(select);
    expectAlike(QStringLiteral("INSERT INTO w VALUES (2, 'two')"));
    // Gone: the cached statement fails as the text does.
    both("DROP TABLE w");
    expectAlike(select);
    EXPECT_EQ(outcome(*cached, select), QStringLiteral("error 1 QSQLITE: no such table: w"));
    expectAlike(QStringLiteral("INSERT INTO w VALUES (3, 'three')"));
}

// Statements SQLite refuses fail on their own text; and a statement that
// starts like the one before it, up to where that one's first value began,
// must still be read whole (the texts run in this order).
TEST_F(StatementCache, RefusedAndSameHeadStatementsAnswerAsTheirText)
{
    const char *statements[] = {
        "SELECT nothing FROM v WHERE k=1",
        "SELECT * FROM v WHERE k=1 AND",
        "INSERT INTO v(k,nothing) VALUES (1, 2)",
        "SELECT * FROM v WHERE likelihood(k=1, 0.5)",   // wants a literal, takes no parameter
        "SELECT * FROM v WHERE k=1; DELETE FROM v",
        "SELECT k FROM v WHERE t='a'", "SELECT k FROM v WHERE t=5abc",
        "SELECT k FROM v WHERE t= 'a' AND k=1", "SELECT k FROM v WHERE t= -- c\n 'a'",
        "SELECT k FROM v WHERE t= 'a'", "SELECT k FROM v WHERE t= X'41'",
        "SELECT k FROM v WHERE t= 'a'", "SELECT k FROM v WHERE t= (SELECT 'a')",
        "SELECT k FROM v WHERE (t='a')", "SELECT k FROM v WHERE (t=?)",
        "SELECT k FROM v WHERE (t='a')", "SELECT k FROM v WHERE (t='a''')",
        "SELECT k FROM v WHERE k=1", "SELECT k FROM v WHERE k=1.5e",
        "SELECT k FROM v WHERE k=1", "SELECT k FROM v WHERE k=1 UNION SELECT 2",
        "SELECT k FROM v WHERE k=0x10", "SELECT k FROM v WHERE k=9223372036854775808",
        "INSERT INTO v(k) VALUES (20) RETURNING k", "SELECT k FROM v WHERE t='x'5",
    };
    for (const char *sql : statements) {
        const QString text = QString::fromUtf8(sql);
        EXPECT_EQ(outcome(*cached, text), outcome(*plain, text + QStringLiteral(" /* plain */"))) << sql;
    }
}

TEST_F(StatementCache, TransactionsAndHookSeeCachedStatements)
{
    cached->BeginTrans();
    cached->Execute(QStringLiteral("INSERT v(k,t) VALUES (1,'a')"));
    EXPECT_EQ(cached->Execute(QStringLiteral("SELECT count(*) FROM v WHERE k>0"))->Fields(0).toInt32(), 1);
    cached->RollbackTrans();
    // A hook that fails a cached statement stops it before it runs.
    cached->setStatementHook([](const QString &text) {
        if (text.contains(QLatin1String("'fail'")))
            throw ComError(errc::DatabaseError, QStringLiteral("hook"), QStringLiteral("injected"));
    });
    EXPECT_THROW(cached->Execute(QStringLiteral("INSERT INTO v(k,t) VALUES (3,'fail')")), ComError);
    cached->setStatementHook({});
    EXPECT_EQ(cached->Execute(QStringLiteral("SELECT count(*) FROM v WHERE k>0"))->Fields(0).toInt32(), 0);
}

TEST_F(StatementCache, KeepsABoundedNumberOfShapes)
{
    const int before = prepared(*cached);
    for (int i = 0; i < 300; ++i) {
        // A new shape each time (the column list grows), and the first again.
        const QString columns = QStringLiteral("k") + QStringLiteral(",k").repeated(i % 150);
        EXPECT_EQ(cached->Execute(QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM v WHERE k=%1").arg(i))
                      ->RecordCount(),
                  0);
        EXPECT_EQ(cached->Execute(QStringLiteral("SELECT k FROM v WHERE k=%1").arg(i))->RecordCount(), 0);
    }
    EXPECT_LE(prepared(*cached) - before, 64);
    EXPECT_EQ(prepared(*cached, QStringLiteral("SELECT k FROM v WHERE k=?")), 1);
    cached->Close();
    EXPECT_FALSE(cached->isOpen());
}

} // namespace
