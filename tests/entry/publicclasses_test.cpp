// BomInfo and BOMGroupInfo over the call state, the dialog seam, and the
// connection object a host hands in.

#include "state/callstate.h"
#include "state/dialogseam.h"
#include "entry/publicclasses.h"
#include "services/com/connectionobject.h"
#include "services/screen/messagebox.h"

#include "entrytest.h"
#include "printers.h"

#include <QDialog>
#include <QPointer>
#include <QTemporaryDir>

#include <tuple>

#include <gtest/gtest.h>

using namespace torvel;
using torvel::test::BoxRecorder;
using torvel::test::errorOf;

namespace {

// A fake form: counts instances, and runs the test's behaviour inside its
// modal loop through the seam's script hook.
struct FakeForm
{
    FakeForm(const QString &name, std::function<void(QDialog &)> behave)
        : scope(name, [this] {
              ++made;
              auto d = std::make_unique<QDialog>();
              last = d.get();
              return d;
          }),
          script([this, behave](QDialog &d) {
              sawModal = d.isModal() && d.isVisible() && d.parent() == nullptr;
              behave(d);
          })
    {
    }
    int made = 0;
    bool sawModal = false;
    QPointer<QDialog> last;
    ScopedDialog scope;
    ScopedDialogScript script;
};

class PublicClasses : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        connection = std::make_shared<ConnectionObject>();
        connection->call(QStringLiteral("Open"), {Variant(dir.filePath(QStringLiteral("t.db")))});
        cnn = Variant(ObjectPtr(connection));
        gAdoCnn.reset();
    }
    QTemporaryDir dir;
    std::shared_ptr<ConnectionObject> connection;
    Variant cnn;
    BoxRecorder boxes;
};

} // namespace

TEST_F(PublicClasses, CreationResetsTheStateItOwns)
{
    auto fill = [] {
        gReturnOK = true; gGroupID = 3; gBomID = 4; gBomName = "n"; gBomNumber = "b";
        gGroupInterID = 5; gParentID = 6; gGroupName = "g"; gGroupNumber = "gn"; gItemID = 7; gBomNoteID = 8;
    };
    const auto state = [] {
        return std::tuple(gReturnOK, gGroupID, gBomID, gBomName, gBomNumber, gGroupInterID, gParentID, gGroupName,
                          gGroupNumber, gItemID, gBomNoteID);
    };
    fill();
    BomInfo bom;
    EXPECT_EQ(state(), std::tuple(false, 0, 0, QString(), QString(), 5, 6, QString("g"), QString("gn"), 7, 8));
    fill();
    BOMGroupInfo group;
    EXPECT_EQ(state(), std::tuple(false, 3, 4, QString("n"), QString("b"), 0, 0, QString("g"), QString("gn"), 7, 8));
}

TEST_F(PublicClasses, EveryObjectOfEitherClassReadsOneState)
{
    auto a = std::make_shared<BomInfo>();
    auto b = std::make_shared<BomInfo>();
    auto g = std::make_shared<BOMGroupInfo>();
    a->put(QStringLiteral("InterID"), Variant(int32_t(12)));
    EXPECT_EQ(b->get(QStringLiteral("ReturnBomID")).toInt32(), 12);

    {
        FakeForm form(kFormGroup, [](QDialog &d) {
            gReturnOK = true;
            gGroupInterID = 31;
            gGroupName = QStringLiteral("成品");
            gGroupNumber = QStringLiteral("01");
            d.accept();
        });
        g->call(QStringLiteral("Show"));
        EXPECT_EQ(form.made, 1);
    }
    EXPECT_TRUE(a->get(QStringLiteral("ReturnOK")).toBool()) << "ReturnOK is one variable for both classes";
    EXPECT_EQ(g->get(QStringLiteral("ReturnGroupID")).toInt32(), 31);
    EXPECT_EQ(g->get(QStringLiteral("ReturnName")).toString(), QStringLiteral("成品"));
    EXPECT_EQ(g->get(QStringLiteral("ReturnNumber")).toString(), QStringLiteral("01"));
}

TEST_F(PublicClasses, ShowHandsInputsToTheEditor)
{
    auto bom = std::make_shared<BomInfo>();
    bom->put(QStringLiteral("ActiveConnection"), cnn);
    bom->put(QStringLiteral("InterID"), Variant(int16_t(9)));
    bom->put(QStringLiteral("GroupID"), Variant(QStringLiteral("4")));
    int32_t seenBom = -1, seenGroup = -1;
    ObjectPtr seenCnn;
    FakeForm form(kFormBom, [&](QDialog &d) {
        seenBom = gBomID;
        seenGroup = gGroupID;
        seenCnn = gAdoCnn.object();
        gBomName = QStringLiteral("电机总成");
        gReturnOK = true;
        d.hide();   // hiding ends the modal display as closing does
    });
    bom->call(QStringLiteral("Show"));
    EXPECT_TRUE(form.sawModal);
    EXPECT_EQ(seenBom, 9);
    EXPECT_EQ(seenGroup, 4);
    EXPECT_EQ(seenCnn, connection) << "the host's object itself";
    EXPECT_TRUE(form.last.isNull()) << "the dialog instance outlived the call";
    EXPECT_EQ(bom->get(QStringLiteral("ReturnBomName")).toString(), QStringLiteral("电机总成"));

    bom->call(QStringLiteral("Show"));
    EXPECT_EQ(form.made, 2) << "a fresh instance per call";
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(PublicClasses, SelectBomWithoutItemAsksForOneAndStoresNothing)
{
    BomInfo bom;
    FakeForm form(kFormSelect, [](QDialog &d) { d.accept(); });
    for (int32_t item : {0, -5}) {
        gItemID = 77;
        boxes.clear();
        Args args{cnn, Variant(item)};
        EXPECT_EQ(bom.invoke(dispid::SelectBom, InvokeKind::Method, args).toInt32(), 0);
        EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("请输入商品ID")});
        EXPECT_EQ(gAdoCnn, nullptr) << "the connection was stored";
        EXPECT_EQ(gItemID, 77);
    }
    EXPECT_EQ(form.made, 0);
}

TEST_F(PublicClasses, SelectBomReturnsTheConfirmedBomOnly)
{
    BomInfo bom;
    int32_t seenItem = 0;
    bool confirm = true;
    FakeForm form(kFormSelect, [&](QDialog &d) {
        seenItem = gItemID;
        gReturnOK = false;   // as the selection dialog does on opening
        if (confirm) {
            gBomID = 42;
            gReturnOK = true;
            d.accept();
        } else {
            d.reject();
        }
    });
    EXPECT_EQ(bom.call(QStringLiteral("SelectBom"), {cnn, Variant(int16_t(7))}).toInt32(), 42);
    EXPECT_EQ(seenItem, 7);
    EXPECT_EQ(gAdoCnn.object(), connection);
    EXPECT_EQ(bom.get(QStringLiteral("ReturnBomID")).toInt32(), 42);

    confirm = false;
    EXPECT_EQ(bom.call(QStringLiteral("SelectBom"), {cnn, Variant(int32_t(8))}).toInt32(), 0);
    EXPECT_EQ(bom.get(QStringLiteral("ReturnBomID")).toInt32(), 42) << "cancel keeps the earlier id";
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(PublicClasses, CompleteBomReturnsTheNoteIdItLeaves)
{
    BomInfo bom;
    struct Case { const char *label; int32_t given; int32_t saved; int32_t expected; };
    const Case cases[] = {
        {"cancelled without a note", 0, 0, 0}, {"cancelled with a note", 15, 0, 15}, {"saved a new note", 0, 77, 77},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        int32_t seenNote = -1, seenBom = -1;
        FakeForm form(kFormComplete, [&](QDialog &d) {
            seenNote = gBomNoteID;
            seenBom = gBomID;
            if (c.saved)
                gBomNoteID = c.saved;
            d.reject();
        });
        EXPECT_EQ(bom.call(QStringLiteral("CompleteBom"), {cnn, Variant(c.given), Variant(int32_t(5))}).toInt32(),
                  c.expected);
        EXPECT_EQ(seenNote, c.given);
        EXPECT_EQ(seenBom, 5);
        EXPECT_EQ(form.made, 1);
    }
}

TEST_F(PublicClasses, LookBomReportWithoutBomDoesNothingAtAll)
{
    BomInfo bom;
    FakeForm form(kFormReport, [](QDialog &d) { d.accept(); });
    gBomID = 3;
    gNoteDate = 100.0;
    for (int32_t id : {0, -1}) {
        bom.call(QStringLiteral("LookBomReport"), {cnn, Variant(id), Variant::date(45000.0)});
        EXPECT_EQ(form.made, 0);
        EXPECT_EQ(gAdoCnn, nullptr);
        EXPECT_EQ(gBomID, 3);
        EXPECT_EQ(gNoteDate, 100.0);
    }
    EXPECT_TRUE(boxes.boxes().empty());

    double seenDate = 0;
    FakeForm shown(kFormReport, [&](QDialog &d) { seenDate = gNoteDate; d.accept(); });
    bom.call(QStringLiteral("LookBomReport"), {cnn, Variant(int32_t(6)), Variant::date(45001.0)});
    EXPECT_EQ(shown.made, 1);
    EXPECT_EQ(gBomID, 6);
    EXPECT_EQ(seenDate, 45001.0);
}

// A form that fails shows its error in a box (the report's load error goes
// back to the host: the C interface tests); a form without a dialog says the
// function is not available, and the earlier confirmation cannot leak into
// SelectBom's result.
TEST_F(PublicClasses, FormErrorOrMissingDialogShowsABox)
{
    BomInfo bom;
    ScopedDialog editor(kFormBom, []() -> std::unique_ptr<QDialog> {
        throw ComError(errc::DatabaseError, QStringLiteral("sqlite"), QStringLiteral("no such table: COM_BOM"));
    });
    bom.call(QStringLiteral("Show"));
    ScopedDialog none(kFormSelect, {});
    ASSERT_FALSE(isDialogRegistered(kFormSelect));
    gReturnOK = true;
    gBomID = 55;
    EXPECT_EQ(bom.SelectBom(cnn, 3), 0);
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].text, QStringLiteral("no such table: COM_BOM"));
    EXPECT_EQ(boxes.boxes()[0].flags, mb::Critical);
    EXPECT_EQ(boxes.boxes()[1].text, kFunctionNotAvailable);
    EXPECT_EQ(boxes.boxes()[1].flags, mb::Information);
}

// A foreign object's refusal comes back through the C interface's tests; here
// the library's own connection, made by name, is stored and Nothing releases it.
TEST_F(PublicClasses, ConnectionArgumentsMustBeTheLibrarysConnection)
{
    auto bom = std::make_shared<BomInfo>();
    EXPECT_EQ(errorOf([&] { bom->call(QStringLiteral("CompleteBom"), {Variant(int32_t(1)), Variant(int32_t(0)), Variant(int32_t(1))}); })
                  .number(),
              errc::TypeMismatch);
    EXPECT_EQ(gAdoCnn, nullptr);
    const Variant created(CreateObject(QStringLiteral("torvel.connection")));
    created.toObject()->call(QStringLiteral("Open"), {Variant(dir.filePath(QStringLiteral("u.db")))});
    bom->put(QStringLiteral("ActiveConnection"), created);
    EXPECT_EQ(gAdoCnn.object(), created.toObject());
    bom->put(QStringLiteral("ActiveConnection"), Variant(ObjectPtr()));
    EXPECT_EQ(gAdoCnn, nullptr) << "Nothing releases the reference";
}

TEST_F(PublicClasses, ConnectionObjectRunsStatementsAndTransactions)
{
    ObjectPtr c = connection;
    auto exec = [&](const char *sql) { return c->call(QStringLiteral("Execute"), {Variant(sql)}); };
    EXPECT_EQ(exec("CREATE TABLE t(FID INTEGER PRIMARY KEY, FName TEXT)").toInt32(), 0);
    EXPECT_EQ(exec("INSERT INTO t(FName) VALUES('甲')").toInt32(), 1);
    Args byRef{Variant("INSERT INTO t(FName) VALUES('乙')"), Variant()};
    c->call(QStringLiteral("Execute"), byRef);
    EXPECT_EQ(byRef[1].toInt32(), 1) << "RecordsAffected is written back";

    c->call(QStringLiteral("BeginTrans"));
    exec("INSERT INTO t(FName) VALUES('丙')");
    c->call(QStringLiteral("RollbackTrans"));

    const ObjectPtr rs = exec("SELECT FName FROM t ORDER BY FID").toObject();
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->get(QStringLiteral("RecordCount")).toInt32(), 2);
    QStringList names;
    while (!rs->get(QStringLiteral("EOF")).toBool()) {
        Args field{Variant("fname")};
        names << rs->get(QStringLiteral("Fields"), field).toString();
        rs->call(QStringLiteral("MoveNext"));
    }
    EXPECT_EQ(names, QStringList({QStringLiteral("甲"), QStringLiteral("乙")}));
    rs->call(QStringLiteral("Close"));

    c->call(QStringLiteral("Close"));
    EXPECT_EQ(c->get(QStringLiteral("State")).toInt32(), 0);
    EXPECT_EQ(errorOf([&] { exec("SELECT 1"); }).number(), errc::ObjectClosed);
}
