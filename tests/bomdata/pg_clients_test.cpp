// Two clients on one server database at once: what the embedded database
// never met. The first client runs on the test's thread and, from its
// statement hook, lets the second client's save start on a thread of its own
// (a Qt connection lives in the thread that opened it), waits until the
// server holds that save in a lock, and then goes on.

#include "bomdata/bom.h"
#include "bomtestdb.h"
#include "state/callstate.h"
#include "fakecomponents.h"
#include "msgboxrecorder.h"
#include "pgserver.h"
#include "printers.h"
#include "services/db/recordset.h"
#include "bomdata/gridmodel.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace torvel {
namespace {

// A child grid holding `lines` item lines whose remark names the client.
std::unique_ptr<GridModel> gridOf(const QString &client, int lines)
{
    auto grid = std::make_unique<GridModel>(bomcol::Count, lines + 1);
    for (int row = 1; row <= lines; ++row) {
        grid->SetText(bomcol::ItemNumber, row, QStringLiteral("C-001"));
        grid->SetText(bomcol::Qty, row, QString::number(row));
        grid->SetText(bomcol::Remark, row, client + QString::number(row));
        grid->SetText(bomcol::ItemID, row, QStringLiteral("2"));
        grid->SetText(bomcol::UnitID, row, QStringLiteral("11"));
    }
    return grid;
}

// The second client: its own connection and save on a thread of its own.
class SecondClient
{
public:
    // `save` runs on the client's thread with the client's connection.
    SecondClient(QString connectionString, std::function<bool(Connection &)> save)
        : m_thread([this, cs = std::move(connectionString), save = std::move(save)] {
              try {
                  ConnectionPtr cnn = Connection::open(cs);
                  m_pid = cnn->Execute(QStringLiteral("SELECT pg_backend_pid()"))->Fields(0).toInt32();
                  m_result = save(*cnn) ? 1 : 0;
                  cnn->Close();
              } catch (const std::exception &e) {
                  m_error = QString::fromLocal8Bit(e.what());
                  m_pid = -1;
                  m_result = 0;
              }
          })
    {
    }
    ~SecondClient() { join(); }

    // Waits until the server holds the client's save waiting for a lock.
    bool waitUntilBlocked(Connection &observer)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            const int pid = m_pid;
            if (pid < 0 || m_result >= 0)
                return false;   // failed, or finished without waiting
            if (pid > 0) {
                const RecordsetPtr rs = observer.Execute(
                    QStringLiteral("SELECT wait_event_type FROM pg_stat_activity WHERE pid=") + QString::number(pid));
                if (!rs->Eof() && !rs->Fields(0).isNull() && rs->Fields(0).toString() == QLatin1String("Lock"))
                    return true;
            }
            QThread::msleep(5);
        }
        return false;
    }
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    int result() const { return m_result; }   // -1 while running
    QString error() const { return m_error; }

private:
    std::atomic<int> m_pid{0};
    std::atomic<int> m_result{-1};
    QString m_error;
    std::thread m_thread;
};

class TwoClients : public test::PgServerTest
{
protected:
    void SetUp() override
    {
        PgServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        cnn = connection();
        test::seedBomTestData(*cnn);
        observer = db().openConnection();
        gAdoCnn = cnn;
    }
    void TearDown() override
    {
        if (cnn)
            cnn->setStatementHook(nullptr);
        second.reset();
        gAdoCnn.reset();
        observer.reset();
        cnn.reset();
        PgServerTest::TearDown();
    }

    // Before the first client's (skip+1)th statement starting with `head`, the
    // second client's save starts, and the first waits until the server holds
    // it in a lock.
    void secondStartsBefore(const char *head, int skip, std::function<bool(Connection &)> save)
    {
        second.reset();
        blocked = false;
        cnn->setStatementHook([this, head, skip, seen = 0, save = std::move(save)](const QString &text) mutable {
            if (second || !text.startsWith(QLatin1String(head), Qt::CaseInsensitive) || seen++ < skip)
                return;
            second = std::make_unique<SecondClient>(db().connectionString(), save);
            blocked = second->waitUntilBlocked(*observer);
        });
    }
    // After the first client's save: the second one ran to its end, having waited.
    [[nodiscard]] bool secondFinished()
    {
        cnn->setStatementHook(nullptr);
        if (!second)
            return false;
        second->join();
        EXPECT_TRUE(blocked) << "the second save never waited for the first";
        return true;
    }

    QStringList remarksOf(int32_t bomId)
    {
        QStringList remarks;
        const RecordsetPtr rs = observer->Execute(
            QStringLiteral("SELECT FBOMEntryID, FRemark FROM COM_BOM_Child WHERE FBOMID=") + QString::number(bomId)
            + QStringLiteral(" ORDER BY FBOMEntryID"));
        int entry = 0;
        for (; !rs->Eof(); rs->MoveNext()) {
            EXPECT_EQ(rs->Fields(0).toInt32(), ++entry);
            remarks.append(rs->Fields(1).toString());
        }
        return remarks;
    }
    static QStringList remarksOfClient(const QString &client, int lines)
    {
        QStringList r;
        for (int i = 1; i <= lines; ++i)
            r.append(client + QString::number(i));
        return r;
    }
    int count(const QString &sql) { return observer->Execute(sql)->Fields(0).toInt32(); }

    ConnectionPtr cnn;        // the first client's
    std::unique_ptr<SecondClient> second;
    bool blocked = false;
    ConnectionPtr observer;   // looks on; never part of a save
    test::FakeShareProps props;
    test::FakeSecurity security;
    test::MessageBoxRecorder boxes;
};

// Both clients rewrite BOM 1. Whenever the second one starts, the header
// update of the first holds the row, so the second waits and then replaces
// the first's lines whole: the BOM ends with exactly the last save's lines.
TEST_F(TwoClients, SavingTheSameBomEndsWithOneWholeSave)
{
    const struct
    {
        const char *secondStartsBefore;   // the first client's statement
        int skip;                         // how many of those pass first
    } cases[] = {
        {"DELETE FROM COM_BOM_Child", 0},
        {"INSERT INTO COM_Bom_Child", 0},
        {"INSERT INTO COM_Bom_Child", 2},
        {"COMMIT", 0},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(std::string(k.secondStartsBefore) + " +" + std::to_string(k.skip));
        secondStartsBefore(k.secondStartsBefore, k.skip, [](Connection &b) {
            BOM bom = test::bomHeader(b, 1, QStringLiteral("BOM-001"), QStringLiteral("乙方"));
            return bom.Update(*gridOf(QStringLiteral("B"), 6));
        });
        BOM first = test::bomHeader(*cnn, 1, QStringLiteral("BOM-001"), QStringLiteral("甲方"));
        EXPECT_TRUE(first.Update(*gridOf(QStringLiteral("A"), 4)));
        ASSERT_TRUE(secondFinished());
        EXPECT_EQ(second->result(), 1) << second->error().toStdString();
        EXPECT_EQ(remarksOf(1), remarksOfClient(QStringLiteral("B"), 6));
        EXPECT_EQ(observer->Execute(QStringLiteral("SELECT FBOMName FROM COM_BOM WHERE FBOMID=1"))->Fields(0).toString(),
                  QStringLiteral("乙方"));
        EXPECT_EQ(boxes.count(), 0);
    }
}

// Both clerks opened BOM 1. The first one's save has compared and holds the
// BOM when the second one's save starts: that one waits, then finds the BOM
// changed and writes nothing; the first one's lines stay whole.
TEST_F(TwoClients, ASaveThatWaitedForAnotherComparesWithWhatThatOneWrote)
{
    auto opened = [](Connection &c, GridModel &grid, const QString &remark) {
        BOM bom(c);
        bom.BomID = 1;
        EXPECT_TRUE(bom.GetMoreInfo(grid));
        grid.SetText(bomcol::Remark, 1, remark);
        return bom;
    };
    GridModel grid(bomcol::Count, 1);
    BOM first = opened(*cnn, grid, QStringLiteral("A1"));
    secondStartsBefore("UPDATE COM_BOM", 0, [&opened](Connection &b) {
        GridModel other(bomcol::Count, 1);
        return opened(b, other, QStringLiteral("B1")).Update(other);
    });
    boxes.expectExact(bomtext::kChangedByOthers, mb::OK, mb::Information);
    EXPECT_TRUE(first.Update(grid));
    ASSERT_TRUE(secondFinished());
    EXPECT_EQ(second->result(), 0) << second->error().toStdString();
    EXPECT_EQ(boxes.count(), 1);
    EXPECT_EQ(remarksOf(1).value(0), QStringLiteral("A1"));
}

// Both clients add a BOM numbered alike but for case. The second's header
// insert waits on the unique number until the first commits, then fails: its
// Add says so with the database's text and leaves nothing behind.
TEST_F(TwoClients, AddingTheSameNumberLetsOneWinAndTheOtherWriteNothing)
{
    boxes.expect(QStringLiteral("保存数据时出错:"), mb::OK, mb::Information);
    int32_t secondId = -1;
    secondStartsBefore("INSERT INTO COM_Bom_Child", 0, [&secondId](Connection &b) {
        BOM bom = test::bomHeader(b, 0, QStringLiteral("new-1"), QStringLiteral("乙方"));
        const bool ok = bom.Add(*gridOf(QStringLiteral("B"), 5));
        secondId = bom.BomID;
        return ok;
    });
    BOM first = test::bomHeader(*cnn, 0, QStringLiteral("NEW-1"), QStringLiteral("甲方"));
    EXPECT_TRUE(first.Add(*gridOf(QStringLiteral("A"), 3)));
    ASSERT_TRUE(secondFinished());
    EXPECT_EQ(second->result(), 0) << second->error().toStdString();
    EXPECT_EQ(secondId, 0);
    ASSERT_EQ(boxes.count(), 1);
    EXPECT_TRUE(boxes.last().text.startsWith(QStringLiteral("保存数据时出错:")));
    EXPECT_TRUE(boxes.last().text.contains(QLatin1String("duplicate key"))) << boxes.last().text.toStdString();

    EXPECT_EQ(count(QStringLiteral("SELECT Count(*) FROM COM_BOM WHERE FBOMNumber='new-1'")), 1);
    EXPECT_EQ(remarksOf(first.BomID), remarksOfClient(QStringLiteral("A"), 3));
    EXPECT_EQ(count(QStringLiteral("SELECT Count(*) FROM COM_BOM_Child WHERE FRemark LIKE 'B%'")), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT Count(*) FROM COM_BOM_Child WHERE FBOMID NOT IN (SELECT FBOMID FROM COM_BOM)")), 0);
}

// The server drops the client's connection in the middle of a save: the save
// reports the error, the database keeps what it had, and the next save on a
// new connection goes through.
TEST_F(TwoClients, ADroppedConnectionMidSaveLeavesNothingHalfWritten)
{
    const struct { bool add; int dropBeforeLine; const char *prefix; } cases[] = {
        {false, 3, "添加出错："},
        {true, 2, "添加出错："},
        {false, 0, "删除出错："},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(std::string(k.add ? "Add" : "Update") + " line " + std::to_string(k.dropBeforeLine));
        ConnectionPtr victim = db().openConnection();
        const int pid = victim->Execute(QStringLiteral("SELECT pg_backend_pid()"))->Fields(0).toInt32();
        const QString before = test::dumpBoms(*observer);
        int lines = 0;
        victim->setStatementHook([&](const QString &text) {
            const bool line = text.startsWith(QLatin1String("INSERT INTO COM_Bom_Child"), Qt::CaseInsensitive);
            const bool del = text.startsWith(QLatin1String("DELETE FROM COM_BOM_Child"), Qt::CaseInsensitive);
            if ((k.dropBeforeLine > 0 && line && ++lines == k.dropBeforeLine) || (k.dropBeforeLine == 0 && del))
                observer->Execute(QStringLiteral("SELECT pg_terminate_backend(") + QString::number(pid) + u')');
        });
        boxes.expect(QString::fromUtf8(k.prefix), mb::OK, mb::Information);
        auto grid = gridOf(QStringLiteral("X"), 4);
        const QString number = k.add ? QStringLiteral("DROP-1") : QStringLiteral("BOM-001");
        BOM bom = test::bomHeader(*victim, k.add ? 0 : 1, number, QStringLiteral("断线"));
        EXPECT_FALSE(k.add ? bom.Add(*grid) : bom.Update(*grid));
        boxes.verify();
        ASSERT_GE(boxes.count(), 1);
        EXPECT_GT(boxes.last().text.size(), QString::fromUtf8(k.prefix).size()) << "no database text";
        victim.reset();
        EXPECT_EQ(test::dumpBoms(*observer), before);

        // The next save, on a new connection.
        ConnectionPtr fresh = db().openConnection();
        BOM again = test::bomHeader(*fresh, k.add ? 0 : 1, number, QStringLiteral("断线"));
        EXPECT_TRUE(k.add ? again.Add(*grid) : again.Update(*grid));
        EXPECT_EQ(remarksOf(again.BomID), remarksOfClient(QStringLiteral("X"), 4));
        if (k.add) {
            observer->Execute(QStringLiteral("DELETE FROM COM_BOM_Child WHERE FBOMID=") + QString::number(again.BomID));
            observer->Execute(QStringLiteral("DELETE FROM COM_BOM WHERE FBOMID=") + QString::number(again.BomID));
        }
    }
}

} // namespace
} // namespace torvel
