#include "components/components.h"
#include "components/picklist.h"
#include "hostdb/hostdb.h"
#include "dbfixture.h"
#include "msgboxrecorder.h"
#include "printers.h"
#include "services/connectionobject.h"
#include "services/rights.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace torvel {
namespace {

using host::PickListDialog;

// Master data small enough to know every row: items of both kinds, two
// substitute classes, auxiliary properties of class 900, units in two groups.
const char *const kRows[] = {
    "INSERT INTO t_Item (FItemID, FNumber, FName, FDetail, FShortNumber, FItemClassID) VALUES"
    " (1, '1.01', '机箱', 1, 'JX', 4), (2, '1.02', '主板', 1, 'ZB', 4),"
    " (3, '2.01', '螺丝 M3', 1, 'LS', 4), (4, '2.02', 'Screw Box', 1, 'SB', 4),"
    " (100, 'A01', '红色', 1, 'HS', 900), (101, 'A02', '蓝色', 1, 'LS2', 900), (102, 'A0', '颜色', 0, '', 900)",
    "INSERT INTO COM_Item (FItemID, FModel, FAuxClassID, FUnitGroupID, FBaseUnitID, FQtyScale, FReplaceClassID, FIsBOM)"
    " VALUES (1, 'M-100', 900, 1, 10, 2, 0, 1), (2, 'Z-1', 0, 1, 10, 0, 7, 0),"
    " (3, NULL, 0, 2, 12, 3, 7, 0), (4, 'S-9', 0, 1, 11, 0, 8, 0)",
    "INSERT INTO t_MeasureUnit (FMeasureUnitID, FItemID, FNumber, FName, FUnitGroupID) VALUES"
    " (10, 10, 'PCS', '个', 1), (11, 11, 'BOX', '箱', 1), (12, 12, 'KG', '千克', 2)",
    "INSERT INTO COM_SysType (FSysTypeID, FNumber, FName, FClassID) VALUES"
    " (7, 'T1', '螺丝类', 480), (8, 'T2', '盒类', 480), (9, 'X', '其他', 100)",
};

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

void type(PickListDialog &dialog, const QString &text)
{
    auto *search = dialog.findChild<QLineEdit *>(QStringLiteral("txtSearch"));
    ASSERT_NE(search, nullptr);
    search->selectAll();
    QTest::keyClick(search, Qt::Key_Backspace);
    for (const QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClick(search, c.toLatin1());
        } else {
            // Text that no key of the test keyboard makes, as an input method
            // would deliver it.
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(search, &press);
        }
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.searchPending(); }, 5000));
}

void press(PickListDialog &dialog, Qt::Key key)
{
    QTest::keyClick(dialog.findChild<QLineEdit *>(QStringLiteral("txtSearch")), key);
}

class PickListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_db = test::TestDatabase::createSqlite(false);
        m_connection = m_db->connection();
        for (const char *sql : kRows)
            m_connection->Execute(QString::fromUtf8(sql));
        m_registered.emplace(m_connection);
    }

    ObjectPtr itemLookup(const QString &filter, const QString &lookupKey = QString())
    {
        ObjectPtr params = CreateObject(QStringLiteral("LookupParams"));
        params->put(QStringLiteral("BeShortNumber"), Variant(false));
        params->put(QStringLiteral("GetDataType"), Variant(int16_t(1)));
        params->put(QStringLiteral("FirstShow"), Variant(int16_t(1)));
        if (!lookupKey.isNull())
            params->put(QStringLiteral("LookupKey"), Variant(lookupKey));
        ObjectPtr view = CreateObject(QStringLiteral("PickView.GLView"));
        Args args{Variant(int16_t(4)), Variant(QString()), Variant(filter), Variant(params)};
        return view->call(QStringLiteral("ItemLookup"), args).toObject();
    }

    struct Registered {
        explicit Registered(ConnectionPtr connection) { host::registerDefaultComponents(connection, QStringLiteral("admin")); }
        ~Registered() { host::unregisterDefaultComponents(); }
    };

    std::unique_ptr<test::TestDatabase> m_db;
    ConnectionPtr m_connection;
    std::optional<Registered> m_registered;
};

TEST_F(PickListTest, ItemListHonoursTheFilterAndNarrowsAsTheUserTypes)
{
    ObjectPtr result;
    driveModal(QStringLiteral("frmItemLookup"), [](PickListDialog &dialog) {
        EXPECT_EQ(numbers(dialog), (QStringList{"1.02", "2.01", "2.02"}));   // " X2.FIsBOM=0 "
        struct Step {
            const char *typed;
            QStringList expected;
        };
        const Step steps[] = {
            {"2.", {"2.01", "2.02"}},        // number prefix
            {"zb", {"1.02"}},                // short number, any case
            {"screw", {"2.02"}},             // name prefix, any case
            {"m3", {"2.01"}},                // inside the name, when nothing starts with it
            {"*2", {"1.02", "2.01", "2.02"}},  // '*' asks for "contains" at once
            {"1.01", {}},                    // an assembly: excluded by the filter
            {"", {"1.02", "2.01", "2.02"}},
        };
        for (const Step &step : steps) {
            SCOPED_TRACE(step.typed);
            type(dialog, QString::fromUtf8(step.typed));
            EXPECT_EQ(numbers(dialog), step.expected);
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

    ASSERT_TRUE(result);
    ASSERT_TRUE(result->get(QStringLiteral("ReturnOK")).toBool());
    ObjectPtr row = result->get(QStringLiteral("returnobject")).toObject();
    EXPECT_EQ(row->get(QStringLiteral("Number")).toString(), QStringLiteral("2.01"));
    EXPECT_EQ(row->get(QStringLiteral("Name")).toString(), QStringLiteral("螺丝 M3"));
    EXPECT_EQ(row->get(QStringLiteral("ItemID")).toInt32(), 3);
    EXPECT_EQ(row->get(QStringLiteral("MeasureUnitID")).toInt32(), 12);
    auto property = [&](const char *name) {
        Args args{Variant(name)};
        return row->get(QStringLiteral("Properties"), args);
    };
    EXPECT_EQ(property("FName").toString(), QStringLiteral("螺丝 M3"));
    EXPECT_TRUE(property("FModel").isNull());   // callers read it null-safe
    EXPECT_EQ(property("FBaseUnitID").toInt32(), 12);
    EXPECT_EQ(property("FUnitGroupID").toInt32(), 2);
    EXPECT_EQ(property("FAuxClassID").toInt32(), 0);
    EXPECT_EQ(property("FQtyScale").toInt32(), 3);
}

TEST_F(PickListTest, StartsFromTheLookupKeyAndChoosesWhatWasJustTyped)
{
    ObjectPtr result;
    driveModal(QStringLiteral("frmItemLookup"), [](PickListDialog &dialog) {
        EXPECT_EQ(dialog.findChild<QLineEdit *>(QStringLiteral("txtSearch"))->text(), QStringLiteral("1.0"));
        EXPECT_EQ(numbers(dialog), (QStringList{"1.01", "1.02"}));
        // Enter right after typing, before the pause ends, takes the new list.
        // The key arrives selected, so typing replaces it; End keeps it.
        auto *search = dialog.findChild<QLineEdit *>(QStringLiteral("txtSearch"));
        EXPECT_EQ(search->selectedText(), QStringLiteral("1.0"));
        QTest::keyClick(search, Qt::Key_End);
        QTest::keyClick(search, Qt::Key_2);
        QTest::keyClick(search, Qt::Key_Return);
    }, [&] { result = itemLookup(QString(), QStringLiteral("1.0")); });

    ASSERT_TRUE(result->get(QStringLiteral("ReturnOK")).toBool());
    EXPECT_EQ(result->get(QStringLiteral("returnobject")).toObject()->get(QStringLiteral("ItemID")).toInt32(), 2);
}

TEST_F(PickListTest, AFilterThatCannotBeAppliedIsAnErrorAndShowsNothing)
{
    bool shown = false;
    QTimer::singleShot(0, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && widget->objectName() == QStringLiteral("frmItemLookup")) {
                shown = true;
                widget->close();
            }
        }
    });
    try {
        itemLookup(QStringLiteral(" X2.FReplaceClassID="));
        ADD_FAILURE() << "no error";
    } catch (const ComError &error) {
        EXPECT_EQ(error.number(), errc::InvalidFilter);
        EXPECT_EQ(error.source(), QStringLiteral("PickView.GLView"));
    }
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
    ASSERT_TRUE(result->get(QStringLiteral("ReturnOK")).toBool());
    EXPECT_EQ(result->get(QStringLiteral("returnobject")).toObject()->get(QStringLiteral("Number")).toString(),
              QStringLiteral("2.01"));
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
        ObjectPtr view = CreateObject(QStringLiteral("PickView.GLView"));
        result = view->call(QStringLiteral("UnitLookup"), {Variant(1.0)}).toObject();
    });
    ASSERT_TRUE(result->get(QStringLiteral("ReturnOK")).toBool());
    ObjectPtr row = result->get(QStringLiteral("returnobject")).toObject();
    EXPECT_EQ(row->get(QStringLiteral("Name")).toString(), QStringLiteral("个"));
    EXPECT_EQ(row->get(QStringLiteral("Number")).toString(), QStringLiteral("PCS"));
    EXPECT_EQ(row->get(QStringLiteral("MeasureUnitID")).toInt32(), 10);
}

TEST_F(PickListTest, BaseFindOffersAuxiliaryPropertiesAndSubstituteClasses)
{
    struct Case {
        const char *name;
        std::vector<std::pair<QString, Variant>> properties;
        QStringList listed;
        Qt::Key key;
        QString returnName;
        int32_t returnId;
        QString returnCode;
    };
    const Case cases[] = {
        {"auxiliary properties, detail only",
         {{"ItemID", Variant(1.0)}, {"ItemClass", Variant(int32_t(4))}, {"AuxFilter", Variant(int32_t(1))},
          {"OnlyDetail", Variant(true)}},
         {"A01", "A02"}, Qt::Key_Return, QStringLiteral("红色"), 100, QStringLiteral("A01")},
        {"substitute classes",
         {{"ItemClass", Variant(int32_t(-480))}, {"OnlyDetail", Variant(true)}},
         {"T1", "T2"}, Qt::Key_Return, QStringLiteral("螺丝类"), 7, QStringLiteral("T1")},
        {"cancelled",
         {{"ItemClass", Variant(int32_t(-480))}, {"OnlyDetail", Variant(true)}},
         {"T1", "T2"}, Qt::Key_Escape, QString(), 0, QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ObjectPtr find;
        driveModal(QStringLiteral("frmBaseFind"), [&](PickListDialog &dialog) {
            EXPECT_EQ(numbers(dialog), c.listed);
            press(dialog, c.key);
        }, [&] {
            find = CreateObject(QStringLiteral("BaseFind.clsBase"));
            find->put(QStringLiteral("ActiveConnection"), Variant(ConnectionObject::wrap(m_connection)));
            for (const auto &[name, value] : c.properties)
                find->put(name, value);
            find->call(QStringLiteral("Show"));
        });
        EXPECT_EQ(find->get(QStringLiteral("ReturnName")).toString(), c.returnName);
        EXPECT_EQ(find->get(QStringLiteral("ReturnInnerID")).toInt32(), c.returnId);
        EXPECT_EQ(find->get(QStringLiteral("ReturnCode")).toString(), c.returnCode);
    }
}

TEST_F(PickListTest, BaseFindWithoutConnectionIsAnError)
{
    ObjectPtr find = CreateObject(QStringLiteral("BaseFind.clsBase"));
    find->put(QStringLiteral("ItemClass"), Variant(int32_t(-480)));
    EXPECT_THROW(find->call(QStringLiteral("Show")), ComError);
}

TEST_F(PickListTest, EveryControlIsNamed)
{
    driveModal(QStringLiteral("frmItemLookup"), [](PickListDialog &dialog) {
        QStringList names;
        for (QWidget *child : dialog.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            EXPECT_FALSE(child->objectName().isEmpty()) << child->metaObject()->className();
            names << child->objectName();
        }
        for (const char *name : {"txtSearch", "lstItems", "btnOK", "btnCancel", "lblStatus"})
            EXPECT_TRUE(names.contains(QString::fromLatin1(name))) << name;
    }, [&] { itemLookup(QString()); });
}

TEST_F(PickListTest, ShowsTheArrowWhileTheCallerHoldsTheHourglass)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    Qt::CursorShape inside = Qt::WaitCursor;
    driveModal(QStringLiteral("frmItemLookup"), [&](PickListDialog &dialog) {
        inside = QGuiApplication::overrideCursor()->shape();
        press(dialog, Qt::Key_Escape);
    }, [&] { itemLookup(QString()); });
    EXPECT_EQ(inside, Qt::ArrowCursor);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// The list never holds more than a page, however many rows match.
TEST(PickListLarge, ModelHoldsAtMostOnePage)
{
    auto db = test::TestDatabase::createSqlite(false);
    ConnectionPtr connection = db->connection();
    host::generateScaleData(*connection, 100000, 0, 0);
    host::registerDefaultComponents(connection, QStringLiteral("admin"));
    struct Unregister {
        ~Unregister() { host::unregisterDefaultComponents(); }
    } unregister;

    driveModal(QStringLiteral("frmItemLookup"), [](PickListDialog &dialog) {
        EXPECT_EQ(dialog.model()->rowCount(), PickListDialog::kPageSize);
        EXPECT_TRUE(dialog.model()->page().more);
        for (const char *typed : {"S.1", "", "s.9", "商品"}) {
            type(dialog, QString::fromLatin1(typed));
            EXPECT_LE(dialog.model()->rowCount(), PickListDialog::kPageSize) << typed;
            EXPECT_LE(dialog.model()->page().rows.size(), size_t(PickListDialog::kPageSize));
        }
        press(dialog, Qt::Key_Escape);
    }, [&] {
        ObjectPtr view = CreateObject(QStringLiteral("PickView.GLView"));
        Args args{Variant(int16_t(4)), Variant(QString()), Variant(QString()), Variant(CreateObject(QStringLiteral("LookupParams")))};
        view->call(QStringLiteral("ItemLookup"), args);
    });
}

TEST(SecurityComponent, GrantedFlagsMustContainEveryFlagAsked)
{
    auto db = test::TestDatabase::createSqlite(false);
    ConnectionPtr connection = db->connection();
    connection->Execute(QStringLiteral("INSERT INTO t_User (FUserID, FName) VALUES (5, 'clerk')"));
    connection->Execute(QStringLiteral(
        "INSERT INTO t_UserRight (FUserID, FSubjectID, FOperation, FFlags) VALUES (5, 501, 10, 4194305)"));
    const QString props = host::makePropsString(QStringLiteral("clerk"), 1);
    struct Case {
        int32_t subject;
        int32_t operation;
        int32_t flags;
        bool granted;
    };
    const Case cases[] = {
        {501, 10, 4194304, true}, {501, 10, 1, true},  {501, 10, 4194305, true}, {501, 10, 2, false},
        {501, 10, 0, true},       {501, 11, 1, false}, {502, 10, 1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.subject << "/" << c.operation << "/" << c.flags);
        EXPECT_EQ(host::userHasRight(*connection, props, c.subject, c.operation, c.flags), c.granted);
    }
}

} // namespace
} // namespace torvel
