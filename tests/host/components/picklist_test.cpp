#include "components/components.h"
#include "components/picklist.h"
#include "dbfixture.h"
#include "hostdb/hostdb.h"
#include "msgboxrecorder.h"
#include "pickrows.h"
#include "printers.h"
#include "services/com/connectionobject.h"
#include "services/com/rights.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace torvel {
namespace {

using host::PickListDialog;

// Runs `call`, which opens a modal dialog, and drives the dialog named
// `objectName` with `driver` from inside its event loop. A dialog the driver
// leaves open is cancelled so that a failing test never hangs.
void driveModal(const QString &objectName, const std::function<void(PickListDialog &)> &driver,
                const std::function<void()> &call)
{
    bool found = false;
    std::function<void(int)> attempt = [&](int triesLeft) {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<PickListDialog *>(widget);
            if (dialog && dialog->isVisible() && dialog->objectName() == objectName) {
                found = true;
                driver(*dialog);
                if (dialog->isVisible())
                    dialog->reject();
                return;
            }
        }
        if (triesLeft > 0)
            QTimer::singleShot(10, [&, triesLeft] { attempt(triesLeft - 1); });
    };
    QTimer::singleShot(0, [&] { attempt(200); });
    call();
    EXPECT_TRUE(found) << "no visible dialog " << objectName.toStdString();
}

QStringList numbers(const PickListDialog &dialog)
{
    QStringList result;
    for (int row = 0; row < dialog.model()->rowCount(); ++row)
        result << dialog.model()->value(row, QStringLiteral("FNumber")).toString();
    return result;
}

QLineEdit *searchField(PickListDialog &dialog)
{
    return dialog.findChild<QLineEdit *>(QStringLiteral("txtSearch"));
}

void press(PickListDialog &dialog, Qt::Key key) { QTest::keyClick(searchField(dialog), key); }

void type(PickListDialog &dialog, const QString &text)
{
    QLineEdit *search = searchField(dialog);
    search->selectAll();
    QTest::keyClick(search, Qt::Key_Backspace);
    QTest::keyClicks(search, text);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.searchPending(); }, 5000));
}

ObjectPtr chosenRow(const ObjectPtr &result)
{
    EXPECT_TRUE(result && result->get(QStringLiteral("ReturnOK")).toBool());
    return result ? result->get(QStringLiteral("returnobject")).toObject() : ObjectPtr();
}

ObjectPtr itemLookup(const QString &filter, const QString &lookupKey = QString())
{
    ObjectPtr params = CreateObject(QStringLiteral("LookupParams"));
    params->put(QStringLiteral("BeShortNumber"), Variant(false));
    if (!lookupKey.isNull())
        params->put(QStringLiteral("LookupKey"), Variant(lookupKey));
    Args args{Variant(int16_t(4)), Variant(QString()), Variant(filter), Variant(params)};
    return CreateObject(QStringLiteral("PickView.GLView"))->call(QStringLiteral("ItemLookup"), args).toObject();
}

class PickListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_db = test::TestDatabase::createSqlite(false);
        m_connection = m_db->connection();
        for (const char *sql : kPickRows)
            m_connection->Execute(QString::fromUtf8(sql));
        host::registerDefaultComponents(m_connection, QStringLiteral("admin"));
    }
    void TearDown() override { host::unregisterDefaultComponents(); }

    std::unique_ptr<test::TestDatabase> m_db;
    ConnectionPtr m_connection;
};

TEST_F(PickListTest, ItemListHonoursTheFilterNarrowsAsTheUserTypesAndEscCancels)
{
    ObjectPtr result;
    driveModal(QStringLiteral("frmItemLookup"), [](PickListDialog &dialog) {
        const QStringList parts{"1.02", "2.01", "2.02", "3.01"};   // " X2.FIsBOM=0 "
        EXPECT_EQ(numbers(dialog), parts);
        // The matching rules are ItemSource's; here the list follows the typing.
        const std::pair<const char *, QStringList> steps[] = {
            {"2.", {"2.01", "2.02"}}, {"1.01", {}}, {"", parts}};
        for (const auto &[typed, expected] : steps) {
            type(dialog, QString::fromUtf8(typed));
            EXPECT_EQ(numbers(dialog), expected) << typed;
        }
        press(dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
    }, [&] { result = itemLookup(QStringLiteral(" X2.FIsBOM=0 ")); });
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->get(QStringLiteral("ReturnOK")).toBool());
}

TEST_F(PickListTest, EnterReturnsTheMembersOfTheChosenItem)
{
    ObjectPtr result;
    driveModal(QStringLiteral("frmItemLookup"), [](PickListDialog &dialog) {
        EXPECT_EQ(numbers(dialog), (QStringList{"1.02", "2.01"}));   // substitute class 7
        press(dialog, Qt::Key_Down);
        press(dialog, Qt::Key_Down);   // stays on the last row
        press(dialog, Qt::Key_Return);
    }, [&] { result = itemLookup(QStringLiteral(" X2.FReplaceClassID=7")); });

    ObjectPtr row = chosenRow(result);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->get(QStringLiteral("Number")).toString(), QStringLiteral("2.01"));
    EXPECT_EQ(row->get(QStringLiteral("Name")).toString(), QStringLiteral("螺丝 M3"));
    EXPECT_EQ(row->get(QStringLiteral("ItemID")).toInt32(), 3);
    EXPECT_EQ(row->get(QStringLiteral("MeasureUnitID")).toInt32(), 12);
    const std::pair<const char *, Variant> properties[] = {
        {"FName", Variant("螺丝 M3")}, {"FModel", Variant::null()},   // callers read it null-safe
        {"FBaseUnitID", Variant(int32_t(12))}, {"FUnitGroupID", Variant(int32_t(2))},
        {"FAuxClassID", Variant(int32_t(0))}, {"fqtyscale", Variant(int32_t(3))},   // any case
    };
    for (const auto &[name, expected] : properties) {
        Args args{Variant(name)};
        EXPECT_EQ(row->get(QStringLiteral("Properties"), args), expected) << name;
    }
    Args unknown{Variant("FNoSuchField")};
    EXPECT_THROW(row->get(QStringLiteral("Properties"), unknown), ComError);
}

TEST_F(PickListTest, StartsFromTheLookupKeyAndChoosesWhatWasJustTyped)
{
    ObjectPtr result;
    driveModal(QStringLiteral("frmItemLookup"), [](PickListDialog &dialog) {
        EXPECT_EQ(numbers(dialog), (QStringList{"1.01", "1.02"}));
        // The key arrives selected, so typing replaces it; End keeps it. Enter
        // right after typing, before the pause ends, takes the new list.
        EXPECT_EQ(searchField(dialog)->selectedText(), QStringLiteral("1.0"));
        press(dialog, Qt::Key_End);
        press(dialog, Qt::Key_2);
        press(dialog, Qt::Key_Return);
    }, [&] { result = itemLookup(QString(), QStringLiteral("1.0")); });
    ObjectPtr row = chosenRow(result);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->get(QStringLiteral("ItemID")).toInt32(), 2);
}

TEST_F(PickListTest, AFilterThatCannotBeAppliedIsAnErrorAndShowsNothing)
{
    // Which filters are refused is ItemFilter's; here the list never opens.
    bool shown = false;
    QTimer::singleShot(0, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (widget->isVisible() && widget->objectName() == QStringLiteral("frmItemLookup"))
                shown = widget->close();
    });
    EXPECT_THROW(itemLookup(QStringLiteral(" X2.FReplaceClassID=")), ComError);
    QApplication::processEvents();
    EXPECT_FALSE(shown);
}

TEST_F(PickListTest, AFailingSearchIsShownAndTheListStaysOpen)
{
    test::MessageBoxRecorder boxes;
    boxes.expectExact(QStringLiteral("磁盘已满"), mb::OK, mb::Critical);
    boxes.expectExact(QStringLiteral("磁盘已满"), mb::OK, mb::Critical);
    ObjectPtr result;
    driveModal(QStringLiteral("frmItemLookup"), [&](PickListDialog &dialog) {
        m_connection->setStatementHook([](const QString &) {
            throw ComError(errc::DatabaseError, QStringLiteral("db"), QStringLiteral("磁盘已满"));
        });
        type(dialog, QStringLiteral("2."));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(boxes.count(), 1);
        // The rows on show are from before the failure: Enter tries the search
        // again and, as it fails, chooses nothing.
        press(dialog, Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(boxes.count(), 2);
        m_connection->setStatementHook({});
        press(dialog, Qt::Key_Return);
    }, [&] { result = itemLookup(QString()); });
    ObjectPtr row = chosenRow(result);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->get(QStringLiteral("Number")).toString(), QStringLiteral("2.01"));
}

TEST_F(PickListTest, UnitListOffersTheUnitsOfOneGroup)
{
    ObjectPtr result;
    driveModal(QStringLiteral("frmUnitLookup"), [](PickListDialog &dialog) {
        EXPECT_EQ(numbers(dialog), (QStringList{"BOX", "PCS"}));
        type(dialog, QStringLiteral("pc"));
        EXPECT_EQ(numbers(dialog), (QStringList{"PCS"}));
        press(dialog, Qt::Key_Enter);
    }, [&] {
        result = CreateObject(QStringLiteral("PickView.GLView"))->call(QStringLiteral("UnitLookup"), {Variant(1.0)}).toObject();
    });
    ObjectPtr row = chosenRow(result);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->get(QStringLiteral("Name")).toString(), QStringLiteral("个"));
    EXPECT_EQ(row->get(QStringLiteral("Number")).toString(), QStringLiteral("PCS"));
    EXPECT_EQ(row->get(QStringLiteral("MeasureUnitID")).toInt32(), 10);
}

TEST_F(PickListTest, BaseFindOffersAuxiliaryPropertiesAndSubstituteClasses)
{
    using Properties = std::vector<std::pair<QString, Variant>>;
    const Properties substitutes{{"ItemClass", Variant(int32_t(-480))}, {"OnlyDetail", Variant(true)}};
    const struct {
        const char *name;
        Properties properties;
        QStringList listed;
        Qt::Key key;
        QString returnName;
        int32_t returnId;
        QString returnCode;
    } cases[] = {
        {"auxiliary properties, detail only",
         {{"ItemID", Variant(1.0)}, {"ItemClass", Variant(int32_t(4))}, {"AuxFilter", Variant(int32_t(1))},
          {"OnlyDetail", Variant(true)}},
         {"A01", "A02"}, Qt::Key_Return, QStringLiteral("红色"), 100, QStringLiteral("A01")},
        {"substitute classes", substitutes, {"T1", "T2"}, Qt::Key_Return, QStringLiteral("螺丝类"), 7, QStringLiteral("T1")},
        {"cancelled", substitutes, {"T1", "T2"}, Qt::Key_Escape, QString(), 0, QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ObjectPtr find = CreateObject(QStringLiteral("BaseFind.clsBase"));
        driveModal(QStringLiteral("frmBaseFind"), [&](PickListDialog &dialog) {
            EXPECT_EQ(numbers(dialog), c.listed);
            press(dialog, c.key);
        }, [&] {
            find->put(QStringLiteral("ActiveConnection"), Variant(ConnectionObject::wrap(m_connection)));
            for (const auto &[name, value] : c.properties)
                find->put(name, value);
            find->call(QStringLiteral("Show"));
        });
        EXPECT_EQ(find->get(QStringLiteral("ReturnName")).toString(), c.returnName);
        EXPECT_EQ(find->get(QStringLiteral("ReturnInnerID")).toInt32(), c.returnId);
        EXPECT_EQ(find->get(QStringLiteral("ReturnCode")).toString(), c.returnCode);
    }
    ObjectPtr unconnected = CreateObject(QStringLiteral("BaseFind.clsBase"));
    unconnected->put(QStringLiteral("ItemClass"), Variant(int32_t(-480)));
    EXPECT_THROW(unconnected->call(QStringLiteral("Show")), ComError);
}

TEST_F(PickListTest, TheArrowShowsOverTheCallersHourglass)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    Qt::CursorShape inside = Qt::WaitCursor;
    driveModal(QStringLiteral("frmItemLookup"), [&](PickListDialog &) {
        inside = QGuiApplication::overrideCursor()->shape();
    }, [&] { itemLookup(QString()); });
    EXPECT_EQ(inside, Qt::ArrowCursor);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(SecurityComponent, GrantedFlagsMustContainEveryFlagAsked)
{
    auto db = test::TestDatabase::createSqlite(false);
    ConnectionPtr connection = db->connection();
    connection->Execute(QStringLiteral("INSERT INTO t_User (FUserID, FName) VALUES (5, 'clerk')"));
    connection->Execute(QStringLiteral(
        "INSERT INTO t_UserRight (FUserID, FSubjectID, FOperation, FFlags) VALUES (5, 501, 10, 4194305)"));
    const QString props = host::makePropsString(QStringLiteral("clerk"), 1);
    const struct { int32_t subject, operation, flags; bool granted; } cases[] = {
        {501, 10, 4194304, true}, {501, 10, 4194305, true}, {501, 10, 2, false},
        {501, 10, 0, true},       {501, 11, 1, false},      {502, 10, 1, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(host::userHasRight(*connection, props, c.subject, c.operation, c.flags), c.granted)
            << c.subject << "/" << c.operation << "/" << c.flags;
    }
}

} // namespace
} // namespace torvel
