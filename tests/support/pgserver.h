#pragma once

// A test database on the PostgreSQL test server, for tests that only make
// sense on a server. Without TORVEL_TEST_PG the test skips, unless
// TORVEL_REQUIRE_PG=1 asks for it, and then it fails saying why.

#include "dbfixture.h"

#include <gtest/gtest.h>

namespace torvel::test {

class PgServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("TORVEL_TEST_PG")) {
            if (qEnvironmentVariable("TORVEL_REQUIRE_PG") == QLatin1String("1"))
                GTEST_FAIL() << "TORVEL_TEST_PG is not set, but TORVEL_REQUIRE_PG=1 asks for the PostgreSQL tests: "
                                "start the test cluster (source scripts/pg.sh; pg_start)";
            GTEST_SKIP() << "TORVEL_TEST_PG is not set: no PostgreSQL test server";
        }
        m_db = TestDatabase::create(QStringLiteral("postgresql"), withDemoData());
    }
    void TearDown() override { m_db.reset(); }
    virtual bool withDemoData() const { return false; }

    TestDatabase &db() { return *m_db; }
    ConnectionPtr connection() { return m_db->connection(); }

private:
    std::unique_ptr<TestDatabase> m_db;
};

} // namespace torvel::test
