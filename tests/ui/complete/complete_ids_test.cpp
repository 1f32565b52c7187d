// Note ids on every database: never handed out twice, not after a completion
// without rows and not to two clients saving at once, and always above the
// ids already stored. Two clerks with one completion open: a re-save never
// writes over what the other saved since it loaded.

#include "completeharness.h"

#include "bomdata/bom.h"
#include "bomdata/gridmodel.h"
#include "services/db/recordset.h"
#include "state/callstate.h"

#include <QThread>

#include <atomic>
#include <functional>
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
    // Reopened, it loads its rows: the note's own query on every database.
    int rows = -1;
    completeBom(connection(), 41, data::kFixedBom, [&](FrmBomComplete &form) { rows = form.grid().MaxRows(); });
    EXPECT_EQ(rows, 3);
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

// One clerk's completion of note 7, loaded on `cnn`.
struct Opened
{
    explicit Opened(Connection &cnn) { notes::load(cnn, grid, data::kNote, data::kLampBom, &stored); }
    int32_t save(Connection &cnn) { return notes::save(cnn, grid, data::kNote, data::kLampBom, &stored); }
    GridModel grid{notecol::Count, 0};
    StoredBom stored;
};

// Clerk A has note 7 open and edits it; meanwhile clerk B (a connection of
// its own) or A itself does something; A edits again and saves.
TEST_P(NoteIds, AStaleReSaveWritesNothing)
{
    const struct
    {
        const char *meanwhile;
        std::function<void(Connection &a, Opened &clerkA, Connection &b)> act;
        bool refused;
    } cases[] = {
        {"B re-saved it", [](Connection &, Opened &, Connection &b) {
             Opened clerkB(b);
             clerkB.grid.SetText(notecol::Qty, 2, QStringLiteral("5"));
             ASSERT_EQ(clerkB.save(b), data::kNote);
         }, true},
        {"B deleted it", [](Connection &, Opened &, Connection &b) {
             b.Execute(QStringLiteral("DELETE FROM COM_BOM_Note WHERE FBOMNoteID=7"));
         }, true},
        {"B saved another completion", [](Connection &, Opened &, Connection &b) {
             GridModel grid(notecol::Count, 0);
             notes::load(b, grid, 0, data::kFixedBom);
             ASSERT_GT(notes::save(b, grid, 0, data::kFixedBom), 0);
         }, false},
        {"A saved it already", [](Connection &a, Opened &clerkA, Connection &) {
             ASSERT_EQ(clerkA.save(a), data::kNote);
         }, false},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.meanwhile);
        auto fresh = TestDatabase::create(GetParam(), false);
        ConnectionPtr a = fresh->connection();
        seedCompletionData(*a);
        ConnectionPtr b = fresh->openConnection();
        Opened clerkA(*a);
        clerkA.grid.SetText(notecol::Remark, 1, QStringLiteral("甲改"));
        k.act(*a, clerkA, *b);
        clerkA.grid.SetText(notecol::Remark, 3, QStringLiteral("甲再改"));
        const QStringList before = allNotes(*b);
        EXPECT_EQ(clerkA.save(*a), k.refused ? 0 : data::kNote);
        EXPECT_FALSE(a->inTransaction());
        if (k.refused)
            EXPECT_EQ(allNotes(*b), before);
        else
            EXPECT_EQ(notesOf(*b, data::kNote).filter(QStringLiteral("甲")).size(), 2);
    }
}

// The dialog tells the clerk, keeps the edits and the id, and stays open.
TEST_P(NoteIds, ACompletionDeletedUnderTheDialogIsNotWrittenBack)
{
    ConnectionPtr b = db().openConnection();
    boxes.expectExact(kAskModified, mb::OK);
    boxes.expectExact(bomtext::kChangedByOthers, mb::OK, mb::Information);
    bool stillOpen = false;
    QString remark;
    EXPECT_EQ(completeBom(connection(), data::kNote, data::kLampBom, [&](FrmBomComplete &form) {
        form.grid().SetText(notecol::Remark, 1, QStringLiteral("甲改"));
        b->Execute(QStringLiteral("DELETE FROM COM_BOM_Note WHERE FBOMNoteID=7"));
        form.btnOK_Click();
        stillOpen = form.isVisible();
        remark = form.grid().text(notecol::Remark, 1);
    }), data::kNote);
    boxes.verify();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(remark, QStringLiteral("甲改"));
    EXPECT_TRUE(allNotes(*b).isEmpty());
}

// B opened note 7 too and saves while A's save holds it, between A's check
// and A's commit: B waits, then finds A's notes and writes nothing.
TEST_P(NoteIds, AReSaveThatWaitedComparesWithWhatTheOtherWrote)
{
    std::atomic<int32_t> secondId{-1};
    std::atomic<bool> saving{false};
    std::thread second;
    ConnectionPtr first = connection();
    Opened clerkA(*first);
    clerkA.grid.SetText(notecol::Remark, 1, QStringLiteral("甲"));
    first->setStatementHook([&](const QString &text) {
        if (second.joinable() || !text.startsWith(QLatin1String("INSERT INTO COM_Bom_Note"), Qt::CaseInsensitive))
            return;
        second = std::thread([&, cs = db().connectionString()] {
            try {
                ConnectionPtr cnn = Connection::open(cs);
                Opened clerkB(*cnn);   // as it was before A's save
                clerkB.grid.SetText(notecol::Remark, 1, QStringLiteral("乙"));
                saving = true;
                secondId = clerkB.save(*cnn);
                cnn->Close();
            } catch (const std::exception &) {
                secondId = -2;
            }
            saving = true;
        });
        while (!saving)
            QThread::msleep(2);
        QThread::msleep(150);   // B's save is now waiting on A's
    });
    EXPECT_EQ(clerkA.save(*first), data::kNote);
    first->setStatementHook({});
    ASSERT_TRUE(second.joinable());
    second.join();
    EXPECT_EQ(secondId, 0);
    EXPECT_EQ(notesOf(*first, data::kNote).value(0).section(u'|', 8), QStringLiteral("甲"));
}

TORVEL_INSTANTIATE_DATABASE_TEST(NoteIds);

} // namespace
