#pragma once

#include "services/db/connection.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <memory>

namespace torvel::test {

// A fresh database of its own for one test, with the host schema and, when
// asked, the demo data; gone when the object is. The host's stored procedures
// are registered. Backends are named: "sqlite" is always there;
// "postgresql" (a schema of its own per test on the server TORVEL_TEST_PG
// names) when that variable is set, or when TORVEL_REQUIRE_PG=1 demands it,
// in which case its tests fail saying the server is missing.
class TestDatabase
{
public:
    virtual ~TestDatabase();

    static QStringList availableBackends();
    static std::unique_ptr<TestDatabase> create(const QString &backend, bool withDemoData);
    static std::unique_ptr<TestDatabase> createSqlite(bool withDemoData);

    // The test's connection, opened on first use and kept.
    ConnectionPtr connection();
    // Another connection to the same database (a second user, the host).
    ConnectionPtr openConnection() const { return Connection::open(m_connectionString); }

    QString backend() const { return m_backend; }
    QString connectionString() const { return m_connectionString; }
    // The database file for SQLite; empty for a server.
    QString path() const { return m_path; }

protected:
    TestDatabase() = default;

    QString m_backend;
    QString m_connectionString;
    QString m_path;
    ConnectionPtr m_connection;
};

// The same test on every available backend:
//   class BomSave : public torvel::test::DatabaseTest {};
//   TEST_P(BomSave, ...) { auto c = connection(); ... }
//   TORVEL_INSTANTIATE_DATABASE_TEST(BomSave);
class DatabaseTest : public ::testing::TestWithParam<QString>
{
protected:
    void SetUp() override { m_db = TestDatabase::create(GetParam(), withDemoData()); }
    void TearDown() override { m_db.reset(); }
    // Tests that want an empty schema override this.
    virtual bool withDemoData() const { return true; }

    TestDatabase &db() { return *m_db; }
    ConnectionPtr connection() { return m_db->connection(); }

private:
    std::unique_ptr<TestDatabase> m_db;
};

std::string backendTestName(const ::testing::TestParamInfo<QString> &info);

// Each row of a query as its fields joined by `separator`.
QStringList rowsOf(Connection &cnn, const QString &sql, QChar separator = u'|');
// The first field of the first row as a number; 0 when there is none.
int32_t scalarOf(Connection &cnn, const QString &sql);

} // namespace torvel::test

#define TORVEL_INSTANTIATE_DATABASE_TEST(Fixture)                                                       \
    INSTANTIATE_TEST_SUITE_P(Backends, Fixture,                                                         \
                             ::testing::ValuesIn(::torvel::test::TestDatabase::availableBackends()),   \
                             ::torvel::test::backendTestName)
