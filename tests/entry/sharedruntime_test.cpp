// The host and libtorvel.so share one platform runtime. This test is the host:
// it links libtorvel_services.so, loads libtorvel.so only through the
// registry and CreateObject, puts its own procedure into the runtime, and
// checks that what the library does through its C interface reaches it. The
// components, boxes and pointer live in the same runtime library, so one
// registry reached proves them all; what the rights check decides is the
// rights tests'.

#include "hostsupport.h"

#include "dbfixture.h"
#include "printers.h"
#include "services/db/connection.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace torvel;
using torvel::host::DispatchError;
using torvel::host::Object;
using torvel::host::Value;

namespace {

class SharedRuntime : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        registryDir = new QTemporaryDir;
        ASSERT_TRUE(registryDir->isValid());
        qputenv("TORVEL_REGISTRY", registryDir->filePath(QStringLiteral("registry.ini")).toLocal8Bit());
        std::string error;
        ASSERT_EQ(host::RegisterServer(TORVEL_LIBRARY, &error), TV_S_OK) << error;
    }
    static void TearDownTestSuite()
    {
        delete registryDir;
        registryDir = nullptr;
    }

    void SetUp() override
    {
        db = test::TestDatabase::createSqlite(true);
        cnn = Object::create("TORVEL.Connection");
        cnn.call(cnn.idOf("Open"), {Value::text(db->path().toStdString())});
    }

    // The library's Connection.Execute, the record set wrapped for reading.
    Object execute(const std::string &sql)
    {
        const Value result = cnn.call(cnn.idOf("Execute"), {Value::text(sql)});
        if (result.raw().vt != TV_VT_DISPATCH || !result.raw().pdispVal)
            return Object();
        TvDispatch *rs = result.raw().pdispVal;
        rs->lpVtbl->AddRef(rs);
        return Object(rs);
    }

    QString scalar(const QString &sql)
    {
        const RecordsetPtr rs = db->connection()->Execute(sql);
        return rs && !rs->Eof() ? rs->Fields(0).toString() : QString();
    }

    static inline QTemporaryDir *registryDir = nullptr;
    std::unique_ptr<test::TestDatabase> db;
    Object cnn;
};

// A procedure only this host knows, keeping what each call brought.
struct ProbeCall { std::vector<Variant> args; QString connectionString; };

TEST_F(SharedRuntime, StatementCallsProcedureTheHostRegistered)
{
    std::vector<ProbeCall> calls;
    registerProcedure(QStringLiteral("sp_HostProbe"), [&calls](Connection &c, std::vector<Parameter> &params) {
        ProbeCall call{{}, c.connectionString()};
        for (const Parameter &p : params)
            call.args.push_back(p.value);
        calls.push_back(call);
        // Rows from the connection the library handed over: the period's key.
        const int32_t key = params.at(0).value.toInt32() * 100 + params.at(1).value.toInt32();
        return c.Execute(QStringLiteral("SELECT ") + sqlNumber(key) + QStringLiteral(" AS FKey, COUNT(*) AS FBoms FROM COM_BOM"));
    });
    struct Unregister {
        ~Unregister() { unregisterProcedure(QStringLiteral("sp_HostProbe")); }
    } unregister;

    Object rs = execute("sp_HostProbe 2026, 3");
    ASSERT_TRUE(rs);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, (std::vector<Variant>{Variant(int32_t(2026)), Variant(int32_t(3))}));
    EXPECT_EQ(calls[0].connectionString, db->path());
    EXPECT_EQ(rs.get(rs.idOf("Fields"), {Value::text("FKey")}).toText(), "202603");
    EXPECT_EQ(QString::fromStdString(rs.get(rs.idOf("Fields"), {Value::text("FBoms")}).toText()),
              scalar(QStringLiteral("SELECT COUNT(*) FROM COM_BOM")));

    // The library looks the name up at each call: withdrawn here, gone there.
    unregisterProcedure(QStringLiteral("sp_HostProbe"));
    try {
        execute("sp_HostProbe 2026, 3");
        ADD_FAILURE() << "a withdrawn procedure still ran";
    } catch (const DispatchError &e) {
        EXPECT_EQ(e.hr(), TV_DISP_E_EXCEPTION);
        EXPECT_NE(std::string(e.what()).find("sp_HostProbe"), std::string::npos) << e.what();
    }
    EXPECT_EQ(calls.size(), 1u);
}

} // namespace
