#include "dbfixture.h"

#include "services/db/recordset.h"

#include "hostdb/hostdb.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <atomic>
#include <mutex>

namespace torvel::test {

namespace {

// The demo database is built once per process and copied for each test:
// copying a file is far cheaper than writing the data again.
QString demoTemplate()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("demo-template.db"));
        host::ensureDemoDatabase(p);
        return p;
    }();
    return path;
}

class SqliteTestDatabase final : public TestDatabase
{
public:
    explicit SqliteTestDatabase(bool withDemoData)
    {
        if (!m_dir.isValid())
            throw ComError(errc::DatabaseError, QStringLiteral("TestDatabase"), QStringLiteral("no temporary folder"));
        m_backend = QStringLiteral("sqlite");
        m_path = m_dir.filePath(QStringLiteral("host.db"));
        m_connectionString = QStringLiteral("sqlite:") + m_path;
        if (withDemoData) {
            if (!QFile::copy(demoTemplate(), m_path))
                throw ComError(errc::DatabaseError, QStringLiteral("TestDatabase"), QStringLiteral("cannot copy the demo database"));
        } else {
            host::createSchema(*connection());
        }
    }
    ~SqliteTestDatabase() override
    {
        // Closed before the folder goes, so the files can be removed.
        if (m_connection)
            m_connection->Close();
        m_connection.reset();
    }

private:
    QTemporaryDir m_dir;
};

// The test server: TORVEL_TEST_PG names a database (scripts/pg.sh starts a
// throwaway cluster and sets it). Each test gets a schema of its own, first on
// the search path, with the host schema in it; tests in parallel processes
// never see each other's rows, and the schema is dropped afterwards.
class PostgresTestDatabase final : public TestDatabase
{
public:
    explicit PostgresTestDatabase(bool withDemoData)
    {
        const QString server = serverConnectionString();
        if (server.isEmpty())
            throw ComError(errc::DatabaseError, QStringLiteral("TestDatabase"),
                           QStringLiteral("TORVEL_TEST_PG is not set, but TORVEL_REQUIRE_PG=1 asks for the PostgreSQL "
                                          "tests: start the test cluster (source scripts/pg.sh; pg_start)"));
        static std::atomic<int> serial{0};
        m_schema = QStringLiteral("torvel_test_%1_%2_%3")
                       .arg(QCoreApplication::applicationPid())
                       .arg(++serial)
                       .arg(QRandomGenerator::global()->bounded(1 << 30));
        m_admin = Connection::open(server);
        m_admin->Execute(QStringLiteral("CREATE SCHEMA ") + m_schema);
        m_backend = QStringLiteral("postgresql");
        m_connectionString = server + (server.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?'))
                             + QStringLiteral("search_path=") + m_schema + QStringLiteral(",public");
        host::createSchema(*connection());
        if (withDemoData)
            host::loadDemoData(*connection());
    }
    ~PostgresTestDatabase() override
    {
        if (m_connection)
            m_connection->Close();
        m_connection.reset();
        try {
            m_admin->Execute(QStringLiteral("DROP SCHEMA ") + m_schema + QStringLiteral(" CASCADE"));
        } catch (const ComError &) {
            // The cluster is thrown away after the run; a schema left behind
            // by a test that killed its server connection harms nothing.
        }
    }

    static QString serverConnectionString() { return qEnvironmentVariable("TORVEL_TEST_PG"); }
    static bool required() { return qEnvironmentVariable("TORVEL_REQUIRE_PG") == QLatin1String("1"); }

private:
    QString m_schema;
    ConnectionPtr m_admin;
};

} // namespace

TestDatabase::~TestDatabase() = default;

QStringList TestDatabase::availableBackends()
{
    // PostgreSQL runs when its test server is configured, and also when it is
    // required but missing, so that each of its tests fails saying why.
    QStringList backends{QStringLiteral("sqlite")};
    if (!PostgresTestDatabase::serverConnectionString().isEmpty() || PostgresTestDatabase::required())
        backends.append(QStringLiteral("postgresql"));
    return backends;
}

std::unique_ptr<TestDatabase> TestDatabase::create(const QString &backend, bool withDemoData)
{
    static std::once_flag procedures;
    std::call_once(procedures, [] { host::registerHostProcedures(); });
    if (backend == QLatin1String("sqlite"))
        return std::make_unique<SqliteTestDatabase>(withDemoData);
    if (backend == QLatin1String("postgresql"))
        return std::make_unique<PostgresTestDatabase>(withDemoData);
    throw ComError(errc::DatabaseError, QStringLiteral("TestDatabase"), QStringLiteral("no test backend '%1'").arg(backend));
}

std::unique_ptr<TestDatabase> TestDatabase::createSqlite(bool withDemoData)
{
    return create(QStringLiteral("sqlite"), withDemoData);
}

ConnectionPtr TestDatabase::connection()
{
    if (!m_connection)
        m_connection = openConnection();
    return m_connection;
}

std::string backendTestName(const ::testing::TestParamInfo<QString> &info)
{
    return info.param.toStdString();
}

QStringList rowsOf(Connection &cnn, const QString &sql, QChar separator)
{
    QStringList rows;
    for (RecordsetPtr rs = cnn.Execute(sql); rs && !rs->Eof(); rs->MoveNext()) {
        QStringList fields;
        for (int i = 0; i < rs->fieldCount(); ++i)
            fields << rs->Fields(i).toString();
        rows << fields.join(separator);
    }
    return rows;
}

int32_t scalarOf(Connection &cnn, const QString &sql)
{
    const RecordsetPtr rs = cnn.Execute(sql);
    return rs->rows().empty() || rs->rows().front()[0].isNull() ? 0 : rs->rows().front()[0].toInt32();
}

} // namespace torvel::test
