// The host and libtorvel.so share one platform runtime. This test is the host:
// it links libtorvel_services.so, loads libtorvel.so only through the
// registry and CreateObject, puts its own components, procedure, box and
// pointer services into the runtime, and checks that what the library does
// through its C interface reaches them.

#include "hostsupport.h"

#include "bomdata/bom.h"
#include "dbfixture.h"
#include "fakecomponents.h"
#include "msgboxrecorder.h"
#include "printers.h"
#include "services/db/connection.h"
#include "services/screen/waitcursor.h"
#include "ui/editor/bomeditorlogic.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

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
    ASSERT_EQ(calls[0].args.size(), 2u);
    EXPECT_EQ(calls[0].args[0].toInt32(), 2026);
    EXPECT_EQ(calls[0].args[1].toInt32(), 3);
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

// BomInfo.Show on a BOM with a scripted user: rename it, save, leave. The
// save's rights check asks the host's PlatBase.SecurityInfo with the login
// the host's PropHub.ShareProps publishes; the boxes and the hourglass go to
// the host's services.
TEST_F(SharedRuntime, EditorSaveAsksHostSecurityComponent)
{
    const int32_t groupId = scalar(QStringLiteral("SELECT FBOMGroupID FROM COM_BOM WHERE FBOMID=1")).toInt();

    struct Case { const char *name; bool allow; bool saved; QStringList boxes; };
    const Case cases[] = {
        {"granted", true, true, {}},
        {"refused", false, false, {bomtext::kNoRight, editortext::kAskSave}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString oldName = scalar(QStringLiteral("SELECT FBOMName FROM COM_BOM WHERE FBOMID=1"));
        ASSERT_FALSE(oldName.isEmpty());
        test::FakeSecurity security(c.allow);
        test::FakeShareProps props(QStringLiteral("UserName=host;UserID=7"));
        test::MessageBoxRecorder boxes;
        boxes.allowAll(mb::Cancel);
        test::PointerRecorder pointer;
        const QString newName = QStringLiteral("主机改名-") + QString::fromLatin1(c.name);

        // The user, inside the dialog's modal loop.
        bool driven = false;
        QTimer user;
        user.setInterval(10);
        QObject::connect(&user, &QTimer::timeout, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            if (!dialog || dialog->objectName() != QLatin1String("frmBom"))
                return;
            user.stop();
            driven = true;
            QApplication::setActiveWindow(dialog);
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("TxtBomName"));
            auto *save = dialog->findChild<QAction *>(QStringLiteral("Save"));
            auto *exit = dialog->findChild<QAction *>(QStringLiteral("Exit"));
            if (!name || !save || !exit) {
                ADD_FAILURE() << "the editor's name field or commands are missing";
                dialog->close();
                return;
            }
            name->setFocus();
            name->setText(newName);
            QTest::keyClick(name, Qt::Key_Tab);   // leaving the field takes the name
            save->trigger();
            exit->trigger();
            if (dialog->isVisible()) {
                ADD_FAILURE() << "the editor stayed open";
                dialog->close();
            }
        });
        user.start();
        // A window nobody answers (a box shown past the host's service) would
        // hold the loop for ever: it is closed and counted as a failure.
        QTimer guard;
        guard.setInterval(2000);
        QObject::connect(&guard, &QTimer::timeout, [] {
            if (QWidget *left = QApplication::activeModalWidget()) {
                ADD_FAILURE() << "a window was left open: " << left->metaObject()->className() << " "
                              << left->windowTitle().toStdString();
                if (auto *dialog = qobject_cast<QDialog *>(left))
                    dialog->reject();
                else
                    left->close();
            }
        });
        guard.start();

        Object bom = Object::create("TORVEL.BomInfo");
        bom.put(TV_DISPID_ActiveConnection, Value::object(cnn.get()));
        bom.put(TV_DISPID_InterID, Value::i4(1));
        bom.put(TV_DISPID_GroupID, Value::i4(groupId));
        bom.call(TV_DISPID_Show);
        user.stop();
        ASSERT_TRUE(driven) << "the editor never opened";

        // The arguments of the check are the rights tests'; here that the host's components answered.
        ASSERT_EQ(security.calls().size(), 1u);
        EXPECT_EQ(security.calls()[0].args.at(0).toString(), QStringLiteral("UserName=host;UserID=7"));

        QStringList shown;
        for (const auto &box : boxes.boxes())
            shown << box.text;
        EXPECT_EQ(shown, c.boxes);
        EXPECT_NE(std::find(pointer.changes().begin(), pointer.changes().end(), pointer::Hourglass),
                  pointer.changes().end());
        EXPECT_EQ(waitCount(), 0);

        EXPECT_EQ(bom.get(TV_DISPID_ReturnOK).toText(), c.saved ? "True" : "False");
        EXPECT_EQ(scalar(QStringLiteral("SELECT FBOMName FROM COM_BOM WHERE FBOMID=1")), c.saved ? newName : oldName);
    }
}

} // namespace
