// The workbench window offscreen, through its objectNames. The library's
// classes are scripted stand-ins created through the window's object factory:
// they record every put and call and can write to the database as a dialog
// would, or fail the way the C interface reports an error.

#include "workbench/workbench.h"

#include "dbfixture.h"
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
#include <cstring>
#include <map>

using namespace torvel;
using namespace torvel::host;

namespace {

// ---- the stand-in library ------------------------------------------------------

struct Call
{
    std::string progId;
    int32_t id;
    uint16_t kind;
    std::vector<TvVariant> args;   // texts dropped: only numbers and objects are checked
};

struct Failure
{
    int32_t code;
    std::string text;
};

class FakeLibrary
{
public:
    std::vector<Call> calls;
    std::map<int32_t, int32_t> returns;          // what a get or a method answers, by dispatch id
    std::function<void(const Call &)> onMethod;  // may throw Failure

    ObjectFactory factory()
    {
        return [this](const std::string &progId) { return Object(&(new Fake{{&kVtbl}, 1, this, progId})->base); };
    }

    // Puts and method calls on the library's classes, in order.
    QString trace() const
    {
        QStringList out;
        for (const Call &c : calls) {
            if (c.progId == "TORVEL.Connection" || c.kind == TV_DISPATCH_PROPERTYGET)
                continue;
            const QString cls = QString::fromStdString(c.progId).section(u'.', 1);
            QStringList args;
            for (const TvVariant &v : c.args)
                args << (v.vt == TV_VT_DISPATCH ? QStringLiteral("cnn")
                         : v.vt == TV_VT_DATE   ? QString::number(v.date)
                                                : QString::number(v.lVal));
            const QString member = memberName(cls, c.id);
            out << (c.kind == TV_DISPATCH_PROPERTYPUT ? QString(cls + u'.' + member + u'=' + args.join(u','))
                                                      : QString(cls + u'.' + member + u'(' + args.join(u',') + u')'));
        }
        return out.join(u' ');
    }

private:
    struct Fake
    {
        TvDispatch base;
        int refs;
        FakeLibrary *library;
        std::string progId;
    };

    static QString memberName(const QString &cls, int32_t id)
    {
        switch (id) {
        case TV_DISPID_ActiveConnection: return QStringLiteral("ActiveConnection");
        case TV_DISPID_InterID: return QStringLiteral("InterID");
        case TV_DISPID_GroupID: return cls == QLatin1String("BOMGroupInfo") ? QStringLiteral("ParentID") : QStringLiteral("GroupID");
        case TV_DISPID_Show: return QStringLiteral("Show");
        case TV_DISPID_SelectBom: return QStringLiteral("SelectBom");
        case TV_DISPID_CompleteBom: return QStringLiteral("CompleteBom");
        case TV_DISPID_LookBomReport: return QStringLiteral("LookBomReport");
        default: return QString::number(id, 16);
        }
    }

    static Fake *self(TvDispatch *d) { return reinterpret_cast<Fake *>(d); }
    static TvHResult queryInterface(TvDispatch *d, const TvGuid *, void **out)
    {
        ++self(d)->refs;
        *out = d;
        return TV_S_OK;
    }
    static uint32_t addRef(TvDispatch *d) { return uint32_t(++self(d)->refs); }
    static uint32_t release(TvDispatch *d)
    {
        const int left = --self(d)->refs;
        if (left == 0)
            delete self(d);
        return uint32_t(left);
    }
    static TvHResult idsOfNames(TvDispatch *, const char *const *names, uint32_t count, int32_t *ids)
    {
        for (uint32_t i = 0; i < count; ++i)
            ids[i] = std::strcmp(names[i], "Open") == 0 ? 1 : TV_DISPID_UNKNOWN;
        return TV_S_OK;
    }
    static TvHResult invoke(TvDispatch *d, int32_t id, uint16_t kind, const TvVariant *args, uint32_t count,
                            TvVariant *result, TvExcepInfo *excep, uint32_t *)
    {
        FakeLibrary &lib = *self(d)->library;
        Call call{self(d)->progId, id, kind, {}};
        for (uint32_t i = 0; i < count; ++i) {
            TvVariant v = args[i];
            if (v.vt == TV_VT_BSTR)
                v.bstrVal = nullptr;
            call.args.push_back(v);
        }
        lib.calls.push_back(call);
        if (result)
            TvVariantInit(result);
        if (kind == TV_DISPATCH_METHOD && lib.onMethod && call.progId != "TORVEL.Connection") {
            try {
                lib.onMethod(call);
            } catch (const Failure &f) {
                if (excep) {
                    excep->code = f.code;
                    excep->scode = TV_DISP_E_EXCEPTION;
                    excep->source = strdup("TORVEL");
                    excep->description = strdup(f.text.c_str());
                }
                return TV_DISP_E_EXCEPTION;
            }
        }
        const auto it = lib.returns.find(id);
        if (result && kind != TV_DISPATCH_PROPERTYPUT && it != lib.returns.end()) {
            result->vt = id == TV_DISPID_ReturnOK ? TV_VT_BOOL : TV_VT_I4;
            if (result->vt == TV_VT_BOOL)
                result->boolVal = it->second ? -1 : 0;
            else
                result->lVal = it->second;
        }
        return TV_S_OK;
    }
    static constexpr TvDispatchVtbl kVtbl = {queryInterface, addRef, release, idsOfNames, invoke};
};

// ---- helpers -------------------------------------------------------------------

template<typename T>
T *child(QObject &window, const char *name)
{
    T *found = window.findChild<T *>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

int32_t scalar(Connection &c, const QString &sql)
{
    const RecordsetPtr rs = c.Execute(sql);
    return rs->rows().empty() || rs->rows().front()[0].isNull() ? 0 : rs->rows().front()[0].toInt32();
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
            Workbench::Setup{connection(), db().connectionString(), QStringLiteral("admin"), library.factory()});
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
    c.Execute(QStringLiteral("INSERT INTO COM_Bom_Group(FNumber,FName,FParentID) VALUES ('ORPHAN','孤立',99999)"));
    const int32_t orphan = scalar(c, QStringLiteral("SELECT FBOMGroupID FROM COM_BOM_Group WHERE FNumber='ORPHAN'"));
    c.Execute(QStringLiteral("INSERT INTO COM_Bom_Group(FNumber,FName,FParentID) VALUES ('LOOP1','环一',0)"));
    const int32_t loop1 = scalar(c, QStringLiteral("SELECT FBOMGroupID FROM COM_BOM_Group WHERE FNumber='LOOP1'"));
    c.Execute(QStringLiteral("INSERT INTO COM_Bom_Group(FNumber,FName,FParentID) VALUES ('LOOP2','环二',") +
              sqlNumber(loop1) + u')');
    const int32_t loop2 = scalar(c, QStringLiteral("SELECT FBOMGroupID FROM COM_BOM_Group WHERE FNumber='LOOP2'"));
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
    const int32_t group = scalar(c, QStringLiteral("SELECT FBOMGroupID FROM COM_BOM_Group WHERE FNumber='SCALE'"));
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
    const struct
    {
        QString typed;
        QString where;
    } cases[] = {
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
        item = scalar(c, QStringLiteral("SELECT FItemID FROM COM_BOM WHERE FBOMID=") + sqlNumber(bom));
        group = groupOfBom(c, bom);
        parent = scalar(c, QStringLiteral("SELECT FParentID FROM COM_BOM_Group WHERE FBOMGroupID=") + sqlNumber(group));
        if (parent == 0) {
            c.Execute(QStringLiteral("INSERT INTO COM_Bom_Group(FNumber,FName,FParentID) VALUES ('WB-TOP','工作台',0)"));
            parent = scalar(c, QStringLiteral("SELECT FBOMGroupID FROM COM_BOM_Group WHERE FNumber='WB-TOP'"));
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
        library.calls.clear();
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
    library.onMethod = [&](const Call &) {
        c.Execute(QStringLiteral("INSERT INTO COM_Bom(FBOMNumber,FBOMName,FBOMGroupID,FItemID) VALUES ('0-WB','新清单',") +
                  sqlNumber(group) + u',' + sqlNumber(item) + u')');
        library.returns[TV_DISPID_ReturnOK] = 1;
        library.returns[TV_DISPID_ReturnBomID] = scalar(c, QStringLiteral("SELECT FBOMID FROM COM_BOM WHERE FBOMNumber='0-WB'"));
    };
    trigger("actNewBom");
    const int32_t newBom = library.returns[TV_DISPID_ReturnBomID];
    EXPECT_EQ(w->currentBomId(), newBom);
    EXPECT_EQ(w->bomModel()->rowCount(), int(groupBoms.size()) + 1);

    // A new group under this one takes its BOMs: it is selected and shows them.
    library.onMethod = [&](const Call &) {
        c.Execute(QStringLiteral("INSERT INTO COM_Bom_Group(FNumber,FName,FParentID) VALUES ('WB-NEW','新类别',") +
                  sqlNumber(group) + u')');
        const int32_t created = scalar(c, QStringLiteral("SELECT FBOMGroupID FROM COM_BOM_Group WHERE FNumber='WB-NEW'"));
        c.Execute(QStringLiteral("UPDATE COM_Bom SET FBOMGroupID=") + sqlNumber(created) +
                  QStringLiteral(" WHERE FBOMGroupID=") + sqlNumber(group));
        library.returns[TV_DISPID_ReturnGroupID] = created;   // the same id as ReturnBomID
    };
    trigger("actNewGroup");
    const int32_t created = library.returns[TV_DISPID_ReturnGroupID];
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
    library.onMethod = {};
    library.returns[TV_DISPID_SelectBom] = other->rows().front()[0].toInt32();
    trigger("actSelectBom");
    EXPECT_EQ(w->currentGroupId(), other->rows().front()[1].toInt32());
    EXPECT_EQ(w->currentBomId(), other->rows().front()[0].toInt32());
}

TEST_P(WorkbenchActions, ALibraryErrorIsShownWithItsCodeAndTheWindowStays)
{
    test::MessageBoxRecorder boxes;
    boxes.expectAny();
    library.onMethod = [](const Call &) { throw Failure{3021, "BOF 或 EOF 中有一个是“真”"}; };
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
