// Note ids on every database: never handed out twice, not after a completion
// without rows and not to two clients saving at once, and always above the
// ids already stored.

#include "completeharness.h"

#include "bomdata/gridmodel.h"
#include "services/db/recordset.h"
#include "state/callstate.h"

#include <QThread>

#include <atomic>
#include <thread>

using namespace torvel;
using namespace torvel::test;
using namespace torvel::completetext;

namespace {

class NoteIds : public DatabaseTest
{
protected:
    bool withDemoData() const override { return false; }
    void SetUp() override
    {
        DatabaseTest::SetUp();
        seedCompletionData(*connection());
    }
    void TearDown() override
    {
        connection()->setStatementHook({});
        gAdoCnn.reset();
        DatabaseTest::TearDown();
    }
    // A new completion of `bom` confirmed with OK.
    int32_t saveNew(int32_t bom)
    {
        boxes.expectExact(kAskSave, mb::OK);
        return completeBom(connection(), 0, bom, [](FrmBomComplete &form) { form.btnOK_Click(); });
    }

    MessageBoxRecorder boxes;
};

TEST_P(NoteIds, AnIdIsNeverHandedOutAgainAndStaysAboveStoredOnes)
{
    const int32_t empty = saveNew(data::kEmptyBom);
    EXPECT_EQ(empty, data::kNote + 1);
    EXPECT_TRUE(notesOf(*connection(), empty).isEmpty());
    EXPECT_EQ(saveNew(data::kFixedBom), empty + 1) << "the id of a completion without rows came back";

    // Notes written past the allocation row by someone else.
    connection()->Execute(QStringLiteral("INSERT INTO COM_BOM_Note (FBOMNoteID,FBOMEntryID,FBOMID) VALUES (40,1,3)"));
    EXPECT_EQ(saveNew(data::kFixedBom), 41);
    EXPECT_EQ(notesOf(*connection(), 41).size(), 3);
}

// The first client saves through the dialog; just before its first note row,
// a second client (its own connection, on a thread of its own) saves a new
// completion too and is left waiting inside its save for a moment.
TEST_P(NoteIds, TwoClientsSavingAtOnceGetTwoIds)
{
    std::atomic<bool> started{false};
    std::atomic<int32_t> secondId{-1};
    QString secondError;
    std::thread second;
    ConnectionPtr first = connection();
    first->setStatementHook([&](const QString &text) {
        if (second.joinable() || !text.startsWith(QLatin1String("INSERT INTO COM_Bom_Note"), Qt::CaseInsensitive))
            return;
        second = std::thread([&, cs = db().connectionString()] {
            try {
                ConnectionPtr cnn = Connection::open(cs);
                cnn->setStatementHook([&](const QString &) { started = true; });
                GridModel grid(notecol::Count, 1);
                grid.SetText(notecol::ItemNumber, 1, QStringLiteral("C201"));
                grid.SetText(notecol::ItemID, 1, QStringLiteral("201"));
                grid.SetText(notecol::UnitID, 1, QStringLiteral("2"));
                grid.SetText(notecol::Remark, 1, QStringLiteral("second"));
                secondId = notes::save(*cnn, grid, 0, data::kFixedBom);
                cnn->Close();
            } catch (const std::exception &e) {
                secondError = QString::fromLocal8Bit(e.what());
                secondId = 0;
            }
        });
        while (!started && secondId < 0)
            QThread::msleep(2);
        QThread::msleep(150);   // the second's save is now waiting on the first
    });
    const int32_t firstId = saveNew(data::kFixedBom);
    first->setStatementHook({});
    ASSERT_TRUE(second.joinable());
    second.join();
    ASSERT_GT(secondId, 0) << secondError.toStdString();
    EXPECT_EQ(firstId, data::kNote + 1);
    EXPECT_EQ(secondId, firstId + 1);
    EXPECT_EQ(notesOf(*first, firstId).size(), 3);
    EXPECT_EQ(notesOf(*first, secondId), QStringList{QStringLiteral("1|3|0|201|0|2|1|0|second")});
}

TORVEL_INSTANTIATE_DATABASE_TEST(NoteIds);

} // namespace
