// A server restarted under a running client, on a cluster of the test's own
// (a restart of the shared test server would cut the other tests' sessions).
// The client's next statement outside a transaction opens its session again;
// a save whose transaction the restart cut off fails saying the connection
// was lost, leaves the database as it was, and the next save goes through.

#include "bomdata/bom.h"
#include "bomdata/gridmodel.h"
#include "bomtestdb.h"
#include "fakecomponents.h"
#include "hostdb/hostdb.h"
#include "msgboxrecorder.h"
#include "printers.h"
#include "state/callstate.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

namespace torvel {
namespace {

// initdb and postgres refuse to run as root: as root they run as postgres.
class PrivateCluster
{
public:
    ~PrivateCluster()
    {
        if (m_started)
            pgctl({QStringLiteral("stop"), QStringLiteral("-m"), QStringLiteral("immediate")});
    }

    QString start()
    {
        if (!m_dir.isValid())
            return QStringLiteral("no temporary folder");
        if (getuid() == 0) {
            const passwd *pg = getpwnam("postgres");
            if (!pg || chown(QFile::encodeName(m_dir.path()).constData(), pg->pw_uid, pg->pw_gid) != 0)
                return QStringLiteral("cannot hand the folder to the postgres user");
        }
        QString out;
        if (!run(QStringLiteral("initdb"), {QStringLiteral("-D"), data(), QStringLiteral("-U"), QStringLiteral("postgres"),
                                            QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
                                            QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8")},
                 &out))
            return out;
        // A socket in the private folder and no TCP port: nothing to clash with.
        if (!pgctl({QStringLiteral("start"), QStringLiteral("-l"), m_dir.filePath(QStringLiteral("log")),
                    QStringLiteral("-o"),
                    QStringLiteral("-c listen_addresses='' -k %1 -c fsync=off").arg(m_dir.path())},
                   &out))
            return out;
        m_started = true;
        return {};
    }
    bool restart() { return pgctl({QStringLiteral("restart"), QStringLiteral("-m"), QStringLiteral("fast")}); }

    QString connectionString() const
    {
        return QStringLiteral("postgresql://postgres@localhost/postgres?host=") + m_dir.path();
    }

private:
    QString data() const { return m_dir.filePath(QStringLiteral("data")); }

    bool pgctl(QStringList args, QString *out = nullptr)
    {
        args << QStringLiteral("-D") << data() << QStringLiteral("-w") << QStringLiteral("-t") << QStringLiteral("60");
        return run(QStringLiteral("pg_ctl"), args, out);
    }

    bool run(const QString &tool, QStringList args, QString *out)
    {
        const QString bin = qEnvironmentVariable("PGBIN", QStringLiteral("/usr/lib/postgresql/15/bin"));
        QString program = bin + u'/' + tool;
        if (getuid() == 0) {
            args.prepend(program);
            args.prepend(QStringLiteral("--"));
            args.prepend(QStringLiteral("postgres"));
            args.prepend(QStringLiteral("-u"));
            program = QStringLiteral("runuser");
        }
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(m_dir.path());
        p.start(program, args);
        const bool ok = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (out)
            *out = tool + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll());
        return ok;
    }

    QTemporaryDir m_dir;
    bool m_started = false;
};

class ServerRestart : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("TORVEL_TEST_PG") && qEnvironmentVariable("TORVEL_REQUIRE_PG") != QLatin1String("1"))
            GTEST_SKIP() << "TORVEL_TEST_PG is not set: no PostgreSQL for the server tests";
        const QString error = cluster.start();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        cnn = Connection::open(cluster.connectionString());
        host::createSchema(*cnn);
        test::seedBomTestData(*cnn);
        gAdoCnn = cnn;
    }
    void TearDown() override
    {
        gAdoCnn.reset();
        cnn.reset();
    }

    QString remarkOfLine(int entry)
    {
        return cnn->Execute(QStringLiteral("SELECT FRemark FROM COM_BOM_Child WHERE FBOMID=1 AND FBOMEntryID=")
                            + QString::number(entry))
            ->Fields(0)
            .toString();
    }

    PrivateCluster cluster;
    ConnectionPtr cnn;
    test::FakeShareProps props;
    test::FakeSecurity security;
    test::MessageBoxRecorder boxes;
};

TEST_F(ServerRestart, TheClientCarriesOnAndACutSaveWritesNothing)
{
    BOM bom(*cnn);
    bom.BomID = 1;
    GridModel grid(bomcol::Count, 1);
    ASSERT_TRUE(bom.GetMoreInfo(grid));
    grid.SetText(bomcol::Remark, 2, QStringLiteral("改一"));

    ASSERT_TRUE(cluster.restart());   // between the load and the save
    EXPECT_TRUE(bom.Update(grid));
    EXPECT_EQ(remarkOfLine(2), QStringLiteral("改一"));

    ASSERT_TRUE(cluster.restart());   // between two saves
    grid.SetText(bomcol::Remark, 2, QStringLiteral("改二"));
    EXPECT_TRUE(bom.Update(grid));
    EXPECT_EQ(remarkOfLine(2), QStringLiteral("改二"));

    // Inside a save: the restart takes its transaction away.
    const QString before = test::dumpBoms(*cnn);
    grid.SetText(bomcol::Remark, 2, QStringLiteral("改三"));
    bool restarted = false;
    cnn->setStatementHook([&](const QString &text) {
        if (!restarted && text.startsWith(QLatin1String("DELETE FROM COM_BOM_Child"), Qt::CaseInsensitive))
            restarted = cluster.restart();
    });
    boxes.expect(errtext::kConnectionLost);
    EXPECT_FALSE(bom.Update(grid));
    boxes.verify();
    cnn->setStatementHook(nullptr);
    EXPECT_TRUE(restarted);
    EXPECT_EQ(test::dumpBoms(*cnn), before);
    // The clerk's edits are still there, and the next save uses the new session.
    EXPECT_EQ(grid.text(bomcol::Remark, 2), QStringLiteral("改三"));
    EXPECT_TRUE(bom.Update(grid));
    EXPECT_EQ(remarkOfLine(2), QStringLiteral("改三"));
}

} // namespace
} // namespace torvel
