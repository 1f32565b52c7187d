// frmBOMGroup as a host meets it: BOMGroupInfo.Show with a script inside the
// dialog's modal loop, the database checked after each save, on every
// database.

#include "dbfixture.h"
#include "fakecomponents.h"
#include "msgboxrecorder.h"
#include "printers.h"

#include "entry/publicclasses.h"
#include "services/com/comerror.h"
#include "services/com/connectionobject.h"
#include "state/callstate.h"
#include "state/dialogseam.h"
#include "ui/group/groupsave.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

using namespace torvel;

namespace {

QString idText(int32_t id)
{
    return id > 3 ? QStringLiteral("N") : QString::number(id);
}

// Groups as "id number name parent", then each BOM's group as "bom:group";
// a group made by the test shows as N, its key being the database's choice.
const QString kSeed = QStringLiteral("1 01 灯具 0|2 02 其他 0|3 01 台灯 1;10:1 11:1 12:2 13:3");

class GroupEditor : public test::DatabaseTest
{
protected:
    bool withDemoData() const override { return false; }
    void SetUp() override
    {
        DatabaseTest::SetUp();
        cnn = connection();
        cnn->Execute(QStringLiteral("INSERT INTO COM_BOM_Group (FBOMGroupID,FNumber,FName,FParentID) VALUES"
                                    " (1,'01','灯具',0),(2,'02','其他',0),(3,'01','台灯',1)"));
        cnn->Execute(QStringLiteral("INSERT INTO COM_BOM (FBOMID,FBOMNumber,FBOMGroupID) VALUES"
                                    " (10,'B-10',1),(11,'B-11',1),(12,'B-12',2),(13,'B-13',3)"));
        cnn->setStatementHook([this](const QString &text) {
            statements << text;
            if (before && text.startsWith(before.value().first, Qt::CaseInsensitive))
                std::exchange(before, std::nullopt)->second();
        });
    }
    void TearDown() override
    {
        cnn->setStatementHook({});
        gAdoCnn.reset();
        DatabaseTest::TearDown();
    }

    // BOMGroupInfo.Show on group `id` under `parent`; a script that leaves the
    // dialog open has it closed, as Esc would.
    void show(int32_t id, int32_t parent, const std::function<void(QDialog &)> &script)
    {
        BOMGroupInfo info;
        info.put(QStringLiteral("ActiveConnection"), Variant(ConnectionObject::wrap(cnn)));
        info.put(QStringLiteral("InterID"), Variant(id));
        info.put(QStringLiteral("ParentID"), Variant(parent));
        statements.clear();
        ScopedDialogScript inLoop([&](QDialog &dialog) {
            script(dialog);
            if (dialog.isVisible())
                dialog.reject();
        });
        info.Show();
    }
    QString database()
    {
        QStringList groups, boms;
        for (auto rs = cnn->Execute(QStringLiteral("SELECT * FROM COM_BOM_Group ORDER BY FBOMGroupID")); !rs->Eof();
             rs->MoveNext())
            groups << QStringList{idText(rs->Fields(0).toInt32()), rs->Fields(1).toString(),
                                  rs->Fields(2).toString(), rs->Fields(3).toString()}
                          .join(u' ');
        for (auto rs = cnn->Execute(QStringLiteral("SELECT FBOMID, FBOMGroupID FROM COM_BOM ORDER BY FBOMID"));
             !rs->Eof(); rs->MoveNext())
            boms << rs->Fields(0).toString() + u':' + idText(rs->Fields(1).toInt32());
        return groups.join(u'|') + u';' + boms.join(u' ');
    }
    // The sibling checks that ran, in order, as "number" and "name".
    QString checks() const
    {
        QStringList out;
        for (const QString &s : statements) {
            if (s.contains(QLatin1String("WHERE FNumber=")))
                out << QStringLiteral("number");
            if (s.contains(QLatin1String("WHERE FName =")))
                out << QStringLiteral("name");
        }
        return out.join(u' ');
    }

    ConnectionPtr cnn;
    QStringList statements;
    // Runs once, just before the first statement starting with the text.
    std::optional<std::pair<QString, std::function<void()>>> before;
    test::MessageBoxRecorder boxes;
    std::optional<test::FakeSecurity> security{std::in_place};
    test::FakeShareProps shareProps;
};

QLineEdit *box(QDialog &dialog, const char *name)
{
    return dialog.findChild<QLineEdit *>(QString::fromLatin1(name));
}

QPushButton *button(QDialog &dialog, const char *name)
{
    return dialog.findChild<QPushButton *>(QString::fromLatin1(name));
}

// Types over a box's text as a user would; "=" retypes the text it holds.
void type(QLineEdit *edit, const char *text)
{
    if (!text)
        return;
    if (QByteArray(text) == "=") {
        QTest::keyClick(edit, Qt::Key_X);
        QTest::keyClick(edit, Qt::Key_Backspace);
        return;
    }
    // Key events cannot carry Chinese text; insert() is the input method's way.
    edit->selectAll();
    edit->insert(QString::fromUtf8(text));
}

enum class Right { Held, Denied, NoComponent };

TEST_P(GroupEditor, SaveChecksSiblingsWritesOnceAndLeavesTheResult)
{
    const QString readError = grouptext::kReadError, gone = grouptext::kGroupGone;
    const struct
    {
        const char *name;
        int32_t id, parent;
        const char *number, *groupName;   // typed; nullptr: left as loaded; "=": retyped alike
        Right right;
        const char *failBefore;           // the first statement so starting fails once
        std::vector<std::pair<int, QString>> boxes;   // flags and the start of each text
        const char *focus;                // after the last OK
        const char *checks;
        const char *saved;                // "id number name" returned; nullptr: nothing saved
        QString after;
    } cases[] = {
        {"new group: trimmed, the parent's BOMs moved, its number used under another parent", 0, 1, " 02 ",
         " 落地灯 ", Right::Held, nullptr, {}, nullptr, "number name", "N 02 落地灯",
         "1 01 灯具 0|2 02 其他 0|3 01 台灯 1|N 02 落地灯 1;10:N 11:N 12:2 13:3"},
        {"sibling number", 0, 1, "01", "新", Right::Held, nullptr, {{64, grouptext::kNumberTaken}}, "TxtNumber",
         "number", nullptr, kSeed},
        {"sibling name", 0, 1, "09", "台灯", Right::Held, nullptr, {{64, grouptext::kNameTaken}}, "TxtName",
         "number name", nullptr, kSeed},
        {"blank number", 0, 1, "  ", "新", Right::Held, nullptr, {{64, grouptext::kNoNumber}}, "TxtNumber", "",
         nullptr, kSeed},
        {"blank name", 0, 1, "09", " ", Right::Held, nullptr, {{64, grouptext::kNoName}}, "TxtName", "", nullptr,
         kSeed},
        {"renamed", 3, 1, nullptr, "台灯架", Right::Held, nullptr, {}, nullptr, "name", "3 01 台灯架",
         "1 01 灯具 0|2 02 其他 0|3 01 台灯架 1;10:1 11:1 12:2 13:3"},
        {"renumbered", 3, 1, "07", nullptr, Right::Held, nullptr, {}, nullptr, "number", "3 07 台灯",
         "1 01 灯具 0|2 02 其他 0|3 07 台灯 1;10:1 11:1 12:2 13:3"},
        {"retyped alike: no sibling check", 3, 1, "=", nullptr, Right::Held, nullptr, {}, nullptr, "", "3 01 台灯",
         kSeed},
        {"a group without a row loads empty and cannot be saved", 99, 1, "05", "五", Right::Held, nullptr,
         {{16, readError}, {16, gone}}, nullptr, "number name", nullptr, kSeed},
        {"moving the BOMs fails: nothing stays, and OK again saves", 0, 1, "02", "落地灯", Right::Held,
         "UPDATE COM_Bom", {{16, QStringLiteral("磁盘已满")}}, nullptr, "number name number name", "N 02 落地灯",
         "1 01 灯具 0|2 02 其他 0|3 01 台灯 1|N 02 落地灯 1;10:N 11:N 12:2 13:3"},
        {"right denied", 3, 1, nullptr, "x", Right::Denied, nullptr, {{64, grouptext::kNoRight}}, nullptr, "",
         nullptr, kSeed},
        {"no security component", 3, 1, nullptr, "x", Right::NoComponent, nullptr,
         {{16, errtext::kCannotCreateObject + QStringLiteral("PlatBase.SecurityInfo")}}, nullptr, "", nullptr,
         kSeed},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.name);
        security.reset();
        if (k.right != Right::NoComponent)
            security.emplace(k.right == Right::Held);
        boxes.clear();
        boxes.allowAll();
        if (k.failBefore)
            before.emplace(QString::fromLatin1(k.failBefore), [] {
                throw ComError(errc::DatabaseError, QStringLiteral("db"), QStringLiteral("磁盘已满"));
            });
        QString focus;
        show(k.id, k.parent, [&](QDialog &dialog) {
            type(box(dialog, "TxtNumber"), k.number);
            type(box(dialog, "TxtName"), k.groupName);
            button(dialog, "btnCancel")->setFocus();
            button(dialog, "btnOK")->click();
            if (k.failBefore && dialog.isVisible())
                button(dialog, "btnOK")->click();
            if (dialog.isVisible() && dialog.focusWidget())
                focus = dialog.focusWidget()->objectName();
        });
        ASSERT_EQ(boxes.count(), int(k.boxes.size()));
        for (size_t i = 0; i < k.boxes.size(); ++i) {
            EXPECT_EQ(boxes.boxes()[i].flags, k.boxes[i].first);
            EXPECT_TRUE(boxes.boxes()[i].text.startsWith(k.boxes[i].second)) << boxes.boxes()[i].text.toStdString();
        }
        if (k.focus) {
            EXPECT_EQ(focus, QString::fromLatin1(k.focus));
        }
        EXPECT_EQ(checks(), QString::fromLatin1(k.checks));
        EXPECT_EQ(gReturnOK ? QStringList({idText(gGroupInterID), gGroupNumber, gGroupName}).join(u' ') : QString(),
                  QString::fromUtf8(k.saved ? k.saved : ""));
        EXPECT_EQ(database(), k.after);
        // Back to the seed for the next case.
        cnn->Execute(QStringLiteral("DELETE FROM COM_BOM_Group WHERE FBOMGroupID>3"));
        cnn->Execute(QStringLiteral("UPDATE COM_BOM_Group SET FNumber='01',FName='台灯' WHERE FBOMGroupID=3"));
        cnn->Execute(QStringLiteral("UPDATE COM_BOM SET FBOMGroupID=1 WHERE FBOMID<12"));
    }
}

TEST_P(GroupEditor, OkWaitsForAnEditEnterMovesOnABackgroundClickFocusesTheNameEscCloses)
{
    show(3, 1, [](QDialog &dialog) {
        QLineEdit *name = box(dialog, "TxtName");
        QPushButton *ok = button(dialog, "btnOK");
        EXPECT_EQ(box(dialog, "TxtNumber")->text(), QStringLiteral("01"));
        EXPECT_FALSE(ok->isEnabled());
        QTest::keyClicks(name, QStringLiteral("x"));
        EXPECT_TRUE(ok->isEnabled());
        name->setFocus();
        QTest::keyClick(name, Qt::Key_Return);
        EXPECT_EQ(dialog.focusWidget(), ok);
        QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(1, 1));
        EXPECT_EQ(dialog.focusWidget(), name);
        QTest::keyClick(name, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_FALSE(gReturnOK);
    EXPECT_EQ(database(), kSeed);
    EXPECT_EQ(boxes.count(), 0);
}

// Two clients create a group under one parent with the same number, or the
// same name, at once: both pass the sibling check; the second to write loses
// with the server's text in the box, writes nothing and keeps the dialog open.
TEST_P(GroupEditor, TwoClientsAtOnceLetTheFirstWriterWin)
{
    if (GetParam() != QLatin1String("postgresql"))
        GTEST_SKIP() << "two clients at once are the server's case";
    const struct
    {
        const char *other, *mine;   // number and name of each
    } cases[] = {{"05 乙", "05 甲"}, {"06 丙", "07 丙"}};
    for (const auto &k : cases) {
        SCOPED_TRACE(k.mine);
        const QStringList other = QString::fromUtf8(k.other).split(u' '), mine = QString::fromUtf8(k.mine).split(u' ');
        ConnectionPtr second = db().openConnection();
        // The other client saves between this one's check and its insert.
        before.emplace(QStringLiteral("INSERT"), [&] { saveGroup(*second, {0, 1, {other[0], other[1]}, {}}); });
        boxes.clear();
        boxes.allowAll();
        bool open = false;
        show(0, 1, [&](QDialog &dialog) {
            type(box(dialog, "TxtNumber"), mine[0].toUtf8().constData());
            type(box(dialog, "TxtName"), mine[1].toUtf8().constData());
            button(dialog, "btnOK")->click();
            open = dialog.isVisible();
        });
        EXPECT_TRUE(open);
        EXPECT_FALSE(gReturnOK);
        ASSERT_EQ(boxes.count(), 1);
        EXPECT_EQ(boxes.last().flags, mb::Critical);
        EXPECT_TRUE(boxes.last().text.contains(QLatin1String("duplicate key"))) << boxes.last().text.toStdString();
        const QString rows = database();
        EXPECT_TRUE(rows.contains(u' ' + other.join(u' ') + QStringLiteral(" 1"))) << rows.toStdString();
        EXPECT_FALSE(rows.contains(u' ' + mine.join(u' ') + QStringLiteral(" 1"))) << rows.toStdString();
    }
}

TORVEL_INSTANTIATE_DATABASE_TEST(GroupEditor);

} // namespace
