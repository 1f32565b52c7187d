// The workbench window offscreen, through its objectNames. The library's
// classes are scripted stand-ins created through the window's object factory:
// they record every put and call and can write to the database as a dialog
// would, or fail the way the C interface reports an error.

#include "workbench/workbench.h"

#include "dbfixture.h"
#include "entry/capi.h"
#include "fakecomponents.h"
#include "hostdb/hostdb.h"
#include "msgboxrecorder.h"
#include "printers.h"
#include "services/db/recordset.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace torvel;
using namespace torvel::host;
using torvel::test::scalarOf;

namespace {

// ---- the stand-in library ------------------------------------------------------

// The library's classes as scripted components, handed to the window through
// the C interface as the real ones are.
class FakeLibrary
{
public:
    static inline const QMap<QString, DispId> kIds = {
        {"ActiveConnection", TV_DISPID_ActiveConnection}, {"InterID", TV_DISPID_InterID},
        {"GroupID", TV_DISPID_GroupID}, {"ParentID", TV_DISPID_ParentID}, {"ReturnOK", TV_DISPID_ReturnOK},
        {"ReturnBomID", TV_DISPID_ReturnBomID}, {"ReturnGroupID", TV_DISPID_ReturnGroupID},
        {"Show", TV_DISPID_Show}, {"SelectBom", TV_DISPID_SelectBom}, {"CompleteBom", TV_DISPID_CompleteBom},
        {"LookBomReport", TV_DISPID_LookBomReport}};
    test::ScriptedComponent connection{"TORVEL.Connection", {"Open"}, {}};
    test::ScriptedComponent groupInfo{"TORVEL.BOMGroupInfo", {"Show"}, {},
                                      {"ActiveConnection", "InterID", "ParentID", "ReturnOK", "ReturnGroupID"}, kIds};
    test::ScriptedComponent bomInfo{"TORVEL.BomInfo", {"Show", "SelectBom", "CompleteBom", "LookBomReport"}, {},
                                    {"ActiveConnection", "InterID", "GroupID", "ReturnOK", "ReturnBomID"}, kIds};

    static ObjectFactory factory()
    {
        return [](const std::string &progId) {
            return Object(capi::exportObject(CreateObject(QString::fromStdString(progId))));
        };
    }
    // Each class's methods answer with `reply` from now on.
    void reply(const test::ScriptedComponent::Reply &reply)
    {
        groupInfo.reply(reply);
        bomInfo.reply(reply);
    }
    void clear()
    {
        groupInfo.clearCalls();
        bomInfo.clearCalls();
    }
    // Puts and method calls on the library's classes, the connection's aside.
    QString trace() const
    {
        QStringList out;
        for (const auto *c : {&groupInfo, &bomInfo}) {
            const QString cls = c == &groupInfo ? QStringLiteral("BOMGroupInfo") : QStringLiteral("BomInfo");
            for (const test::ComponentCall &call : c->calls()) {
                QStringList args;
                for (const Variant &v : call.args)
                    args << (v.isObject() ? QStringLiteral("cnn") : QString::number(v.toDouble()));
                const QString list = args.join(u',');
                out << cls + u'.' + call.member + (call.member.endsWith(u'=') ? list : QString(u'(' + list + u')'));
            }
        }
        return out.join(u' ');
    }
};

// ---- helpers -------------------------------------------------------------------

template<typename T>
T *child(QObject &window, const char *name)
{
    T *found = window.findChild<T *>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

std::vector<int32_t> column(Connection &c, const QString &sql)
{
    std::vector<int32_t> ids;
    const RecordsetPtr rs = c.Execute(sql);
    for (const Recordset::Row &r : rs->rows())
        ids.push_back(r[0].toInt32());
    return ids;
}

std::vector<int32_t> listedIds(BomListModel &model)
{
    std::vector<int32_t> ids;
    for (int r = 0; r < model.rowCount(); ++r)
        ids.push_back(model.row(r).id);
    return ids;
}

// A group under `parent`, its number also its name; returns its id.
int32_t addGroup(Connection &c, const QString &number, int32_t parent)
{
    c.Execute(QStringLiteral("INSERT INTO COM_Bom_Group(FNumber,FName,FParentID) VALUES (%1,%1,%2)")
                  .arg(sqlQuote(number), sqlNumber(parent)));
    return scalarOf(c, QStringLiteral("SELECT FBOMGroupID FROM COM_BOM_Group WHERE FNumber=") + sqlQuote(number));
}

void selectGroup(Workbench &w, int32_t groupId)
{
    auto *tree = child<QTreeWidget>(w, "tvwGroups");
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toInt() == groupId)
            return tree->setCurrentItem(*it);
    ADD_FAILURE() << "group " << groupId << " is not in the tree";
}

// Runs `script` on the named dialog once its modal loop runs.
void answerDialog(const char *name, std::function<void(QWidget &)> script)
{
    QTimer::singleShot(0, [name, script] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String(name) && w->isVisible())
                return script(*w);
        ADD_FAILURE() << name << " did not open";
    });
}

class WorkbenchTest : public test::DatabaseTest
{
protected:
    std::unique_ptr<Workbench> open()
    {
        auto w = std::make_unique<Workbench>(
            Workbench::Setup{connection(), db().connectionString(), QStringLiteral("admin"), FakeLibrary::factory()});
        w->show();
        return w;
    }

    FakeLibrary library;
};

// ---- tree and list ---------------------------------------------------------

TEST_P(WorkbenchTest, TreeHoldsEveryGroupUnderItsParent)
{
    Connection &c = *connection();
    // A group whose parent is gone, and two that are each other's parent,
    // must still be reachable: at the top level.
    const int32_t orphan = addGroup(c, QStringLiteral("ORPHAN"), 99999);
    const int32_t loop1 = addGroup(c, QStringLiteral("LOOP1"), 0);
    const int32_t loop2 = addGroup(c, QStringLiteral("LOOP2"), loop1);
    c.Execute(QStringLiteral("UPDATE COM_Bom_Group SET FParentID=") + sqlNumber(loop2) +
              QStringLiteral(" WHERE FBOMGroupID=") + sqlNumber(loop1));

    std::map<int32_t, int32_t> expected;
    const RecordsetPtr groups = c.Execute(QStringLiteral("SELECT FBOMGroupID, FParentID FROM COM_BOM_Group"));
    for (const Recordset::Row &r : groups->rows())
        expected[r[0].toInt32()] = r[1].toInt32();
    expected[orphan] = 0;

    const auto w = open();
    std::map<int32_t, int32_t> shown;
    for (QTreeWidgetItemIterator it(child<QTreeWidget>(*w, "tvwGroups")); *it; ++it) {
        const int32_t id = (*it)->data(0, Qt::UserRole).toInt();
        EXPECT_FALSE(shown.count(id)) << "group " << id << " twice";
        shown[id] = (*it)->parent() ? (*it)->parent()->data(0, Qt::UserRole).toInt() : 0;
    }
    // One of the circle's two hangs at the top, the other under it.
    EXPECT_TRUE((shown[loop1] == 0 && shown[loop2] == loop1) || (shown[loop2] == 0 && shown[loop1] == loop2));
    shown.erase(loop1), shown.erase(loop2), expected.erase(loop1), expected.erase(loop2);
    EXPECT_EQ(shown, expected);
}

TEST_P(WorkbenchTest, ListsTheGroupsBomsByPageSortedAndFiltered)
{
    Connection &c = *connection();
    generateScaleData(c, 40, 450, 2);
    const int32_t group = scalarOf(c, QStringLiteral("SELECT FBOMGroupID FROM COM_BOM_Group WHERE FNumber='SCALE'"));
    const auto w = open();
    selectGroup(*w, group);
    BomListModel &model = *w->bomModel();
    ASSERT_EQ(model.rowCount(), BomListModel::kPageSize);
    while (model.canFetchMore({}))
        model.fetchMore({});
    EXPECT_EQ(listedIds(model), column(c, QStringLiteral("SELECT FBOMID FROM COM_BOM WHERE FBOMGroupID=") +
                                              sqlNumber(group) + QStringLiteral(" ORDER BY FBOMNumber")));
    EXPECT_EQ(w->currentBomId(), model.row(0).id);

    // Sorting by line count asks the database again in that order.
    c.Execute(QStringLiteral("DELETE FROM COM_BOM_Child WHERE FBOMID=") + sqlNumber(model.row(7).id));
    child<QTableView>(*w, "lvwBoms")->sortByColumn(int(BomColumn::Lines), Qt::AscendingOrder);
    EXPECT_EQ(model.row(0).lines, 0);
    EXPECT_EQ(model.row(1).lines, 2);

    // A prefix of the number (case ignored), of the name, of the item code,
    // and '*' for text inside; the filter waits for a pause in typing.
    const QString itemCode = model.row(0).itemNumber;
    const struct { QString typed; QString where; } cases[] = {
        {QStringLiteral("scale-12"), QStringLiteral("b.FBOMNumber LIKE 'SCALE-12%'")},
        {QStringLiteral("规模测试BOM 3"), QStringLiteral("b.FBOMName LIKE '规模测试BOM 3%'")},
        {itemCode, QStringLiteral("i.FNumber LIKE '") + itemCode + QStringLiteral("%'")},
        {QStringLiteral("*-44"), QStringLiteral("b.FBOMNumber LIKE '%-44%'")},
    };
    for (const auto &tc : cases) {
        auto *filter = child<QLineEdit>(*w, "txtFilter");
        filter->setText(tc.typed);
        EXPECT_TRUE(QTest::qWaitFor([&] { return model.query().filter == filter->text(); }, 2000)) << tc.typed.toStdString();
        while (model.canFetchMore({}))
            model.fetchMore({});
        std::vector<int32_t> listed = listedIds(model), expected = column(
            c, QStringLiteral("SELECT b.FBOMID FROM COM_BOM b LEFT JOIN t_Item i ON i.FItemID=b.FItemID WHERE b.FBOMGroupID=") +
                   sqlNumber(group) + QStringLiteral(" AND ") + tc.where);
        std::sort(listed.begin(), listed.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_FALSE(expected.empty()) << tc.typed.toStdString();
        EXPECT_EQ(listed, expected) << tc.typed.toStdString();
    }
}

TORVEL_INSTANTIATE_DATABASE_TEST(WorkbenchTest);

// ---- actions ---------------------------------------------------------------

class WorkbenchActions : public WorkbenchTest
{
protected:
    void SetUp() override
    {
        WorkbenchTest::SetUp();
        Connection &c = *connection();
        // A BOM with a stored completion, in a group that has a parent.
        const RecordsetPtr note = c.Execute(QStringLiteral("SELECT FBOMID, FBOMNoteID FROM COM_BOM_Note ORDER BY FBOMNoteID LIMIT 1"));
        ASSERT_FALSE(note->rows().empty());
        bom = note->rows().front()[0].toInt32();
        noteId = note->rows().front()[1].toInt32();
        item = scalarOf(c, QStringLiteral("SELECT FItemID FROM COM_BOM WHERE FBOMID=") + sqlNumber(bom));
        group = groupOfBom(c, bom);
        parent = scalarOf(c, QStringLiteral("SELECT FParentID FROM COM_BOM_Group WHERE FBOMGroupID=") + sqlNumber(group));
        if (parent == 0) {
            parent = addGroup(c, QStringLiteral("WB-TOP"), 0);
            c.Execute(QStringLiteral("UPDATE COM_Bom_Group SET FParentID=") + sqlNumber(parent) +
                      QStringLiteral(" WHERE FBOMGroupID=") + sqlNumber(group));
        }
        w = open();
        selectGroup(*w, group);
        auto *list = child<QTableView>(*w, "lvwBoms");
        list->setCurrentIndex(w->bomModel()->index(w->bomModel()->findBom(bom), 0));
        ASSERT_EQ(w->currentBomId(), bom);
        list->setFocus();
    }

    void trigger(const char *action) { child<QAction>(*w, action)->trigger(); }

    int32_t bom = 0, noteId = 0, item = 0, group = 0, parent = 0;
    std::unique_ptr<Workbench> w;
};

TEST_P(WorkbenchActions, EachActionCallsItsMethodWithTheSelection)
{
    const QString g = QString::number(group), p = QString::number(parent), b = QString::number(bom);
    const struct
    {
        const char *action;   // nullptr: Enter on the list
        std::function<void()> answer;
        QString expected;
    } cases[] = {
        {"actNewGroup", {}, "BOMGroupInfo.ActiveConnection=cnn BOMGroupInfo.InterID=0 BOMGroupInfo.ParentID=" + g + " BOMGroupInfo.Show()"},
        {"actEditGroup", {}, "BOMGroupInfo.ActiveConnection=cnn BOMGroupInfo.InterID=" + g + " BOMGroupInfo.ParentID=" + p + " BOMGroupInfo.Show()"},
        {"actNewBom", {}, "BomInfo.ActiveConnection=cnn BomInfo.InterID=0 BomInfo.GroupID=" + g + " BomInfo.Show()"},
        {nullptr, {}, "BomInfo.ActiveConnection=cnn BomInfo.InterID=" + b + " BomInfo.GroupID=" + g + " BomInfo.Show()"},
        {"actSelectBom", {}, "BomInfo.SelectBom(cnn," + QString::number(item) + ")"},
        {"actCompleteBom",
         [] {
             answerDialog("frmWorkbenchNotes", [](QWidget &d) {
                 d.findChild<QListWidget *>(QStringLiteral("lstNotes"))->setCurrentRow(1);
                 d.findChild<QPushButton *>(QStringLiteral("btnOK"))->click();
             });
         },
         "BomInfo.CompleteBom(cnn," + QString::number(noteId) + u',' + b + u')'},
        {"actReport",
         [] {
             answerDialog("frmWorkbenchDate", [](QWidget &d) {
                 d.findChild<QDateEdit *>(QStringLiteral("dtpNoteDate"))->setDate(QDate(2026, 3, 15));
                 d.findChild<QPushButton *>(QStringLiteral("btnOK"))->click();
             });
         },
         "BomInfo.LookBomReport(cnn," + b + ",46096)"},
    };
    for (const auto &tc : cases) {
        library.clear();
        if (tc.answer)
            tc.answer();
        if (tc.action)
            trigger(tc.action);
        else
            QTest::keyClick(child<QTableView>(*w, "lvwBoms"), Qt::Key_Return);
        EXPECT_EQ(library.trace(), tc.expected) << (tc.action ? tc.action : "Enter");
        // Nothing was saved: the selection stays.
        EXPECT_EQ(w->currentGroupId(), group);
        EXPECT_EQ(w->currentBomId(), bom);
    }
}

TEST_P(WorkbenchActions, ListsRefreshAfterASaveAndSelectWhatWasSaved)
{
    Connection &c = *connection();
    const std::vector<int32_t> groupBoms =
        column(c, QStringLiteral("SELECT FBOMID FROM COM_BOM WHERE FBOMGroupID=") + sqlNumber(group) + QStringLiteral(" ORDER BY FBOMNumber"));

    // A new BOM saved in the editor.
    int32_t newBom = 0;
    library.reply([&](const Args &, test::ScriptedComponent::Properties &result) {
        c.Execute(QStringLiteral("INSERT INTO COM_Bom(FBOMNumber,FBOMName,FBOMGroupID,FItemID) VALUES ('0-WB','新清单',") +
                  sqlNumber(group) + u',' + sqlNumber(item) + u')');
        newBom = scalarOf(c, QStringLiteral("SELECT FBOMID FROM COM_BOM WHERE FBOMNumber='0-WB'"));
        result["ReturnOK"] = Variant(true);
        result["ReturnBomID"] = Variant(newBom);
        return Variant();
    });
    trigger("actNewBom");
    EXPECT_EQ(w->currentBomId(), newBom);
    EXPECT_EQ(w->bomModel()->rowCount(), int(groupBoms.size()) + 1);

    // A new group under this one takes its BOMs: it is selected and shows them.
    int32_t created = 0;
    library.reply([&](const Args &, test::ScriptedComponent::Properties &result) {
        created = addGroup(c, QStringLiteral("WB-NEW"), group);
        c.Execute(QStringLiteral("UPDATE COM_Bom SET FBOMGroupID=") + sqlNumber(created) +
                  QStringLiteral(" WHERE FBOMGroupID=") + sqlNumber(group));
        result["ReturnOK"] = Variant(true);
        result["ReturnGroupID"] = Variant(created);
        return Variant();
    });
    trigger("actNewGroup");
    EXPECT_EQ(w->currentGroupId(), created);
    auto *current = child<QTreeWidget>(*w, "tvwGroups")->currentItem();
    ASSERT_TRUE(current && current->parent());
    EXPECT_EQ(current->parent()->data(0, Qt::UserRole).toInt(), group);
    std::vector<int32_t> moved = groupBoms;
    moved.insert(moved.begin(), newBom);   // '0-WB' sorts first
    EXPECT_EQ(listedIds(*w->bomModel()), moved);

    // SelectBom chose a BOM of another group: the workbench goes there.
    const RecordsetPtr other = c.Execute(QStringLiteral("SELECT FBOMID, FBOMGroupID FROM COM_BOM WHERE FBOMGroupID<>") +
                                         sqlNumber(created) + QStringLiteral(" ORDER BY FBOMID LIMIT 1"));
    ASSERT_FALSE(other->rows().empty());
    library.bomInfo.answer(Variant(other->rows().front()[0].toInt32()));
    trigger("actSelectBom");
    EXPECT_EQ(w->currentGroupId(), other->rows().front()[1].toInt32());
    EXPECT_EQ(w->currentBomId(), other->rows().front()[0].toInt32());
}

TEST_P(WorkbenchActions, ALibraryErrorIsShownWithItsCodeAndTheWindowStays)
{
    test::MessageBoxRecorder boxes;
    boxes.expectAny();
    library.bomInfo.fail(ComError(3021, QStringLiteral("TORVEL"), QStringLiteral("BOF 或 EOF 中有一个是“真”")));
    QTest::keyClick(child<QTableView>(*w, "lvwBoms"), Qt::Key_Return);
    ASSERT_EQ(boxes.count(), 1);
    EXPECT_TRUE(boxes.last().text.contains(QStringLiteral("BOF 或 EOF 中有一个是“真”"))) << boxes.last().text.toStdString();
    EXPECT_TRUE(boxes.last().text.contains(QStringLiteral("3021"))) << boxes.last().text.toStdString();
    EXPECT_EQ(boxes.last().icon(), mb::Critical);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->currentBomId(), bom);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, WorkbenchActions, ::testing::Values(QStringLiteral("sqlite")),
                         test::backendTestName);

} // namespace
