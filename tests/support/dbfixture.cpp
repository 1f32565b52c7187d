#include "dbfixture.h"

#include "hostdb/hostdb.h"

#include <QFile>
#include <QTemporaryDir>

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

} // namespace

TestDatabase::~TestDatabase() = default;

QStringList TestDatabase::availableBackends()
{
    // A server backend appends its name here when its test server is configured.
    return {QStringLiteral("sqlite")};
}

std::unique_ptr<TestDatabase> TestDatabase::create(const QString &backend, bool withDemoData)
{
    static std::once_flag procedures;
    std::call_once(procedures, [] { host::registerHostProcedures(); });
    if (backend == QLatin1String("sqlite"))
        return std::make_unique<SqliteTestDatabase>(withDemoData);
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

} // namespace torvel::test
