// Message boxes, the recorder that stands in for them, and the wait pointer.

#include "msgboxrecorder.h"
#include "printers.h"

#include "services/comerror.h"
#include "services/messagebox.h"
#include "services/waitcursor.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <functional>

using namespace torvel;
using torvel::test::MessageBoxRecorder;
using torvel::test::PointerRecorder;

namespace {

// ---- the real box -----------------------------------------------------------------

struct SeenBox
{
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

// Shows a box through the default service and handles it with `act` once it
// is on screen.
int showRealBox(const QString &text, int flags, SeenBox &seen, const std::function<void(QMessageBox *)> &act)
{
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || seen.seen)
            return;
        seen.seen = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        for (QAbstractButton *b : box->buttons())
            seen.buttons << b->text();
        act(box);
    });
    poll.start();
    return messageBoxService().show(text, flags, kBoxTitle);
}

QAbstractButton *buttonWithText(QMessageBox *box, const QString &text)
{
    for (QAbstractButton *b : box->buttons()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

TEST(DefaultMessageBox, ShowsTitleTextIconAndButtons)
{
    struct Case
    {
        int flags;
        QMessageBox::Icon icon;
        QStringList buttons;
        bool pressEscape;   // else click OK
        int answer;
    };
    const Case cases[] = {
        {mb::Critical, QMessageBox::Critical, {"确定"}, false, mb::OK},
        {mb::Exclamation, QMessageBox::Warning, {"确定"}, false, mb::OK},
        {mb::Information, QMessageBox::Information, {"确定"}, true, mb::OK},   // Esc on an OK box is OK
        {mb::Information | mb::OKCancel, QMessageBox::Information, {"确定", "取消"}, false, mb::OK},
        {mb::Information | mb::OKCancel, QMessageBox::Information, {"确定", "取消"}, true, mb::Cancel},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.flags);
        SeenBox seen;
        const int answer = showRealBox(QStringLiteral("是否保存？"), c.flags, seen, [&](QMessageBox *box) {
            if (c.pressEscape)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                buttonWithText(box, QStringLiteral("确定"))->click();
        });
        ASSERT_TRUE(seen.seen);
        EXPECT_EQ(seen.title, "系统提示");
        EXPECT_EQ(seen.text, "是否保存？");
        EXPECT_EQ(seen.icon, c.icon);
        QStringList sortedSeen = seen.buttons, sortedWanted = c.buttons;
        sortedSeen.sort();
        sortedWanted.sort();
        EXPECT_EQ(sortedSeen, sortedWanted);
        EXPECT_EQ(answer, c.answer);
    }
}

TEST(DefaultMessageBox, CancelButtonAnswersCancel)
{
    SeenBox seen;
    const int answer = showRealBox(QStringLiteral("q"), 65, seen, [](QMessageBox *box) {
        buttonWithText(box, QStringLiteral("取消"))->click();
    });
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(answer, mb::Cancel);
}

// ---- MsgBox, ShowErrorBox and the recorder -------------------------------------------

TEST(MessageBoxRecorder, AnswersAsScriptedAndRecords)
{
    MessageBoxRecorder boxes;
    boxes.expect(QStringLiteral("保存"), mb::Cancel, 65).expectExact(QStringLiteral("数据读取错误:disk full"));
    EXPECT_EQ(MsgBox(QStringLiteral("是否保存当前修改？"), 65), mb::Cancel);
    ShowErrorBox(QStringLiteral("数据读取错误:disk full"));
    ASSERT_EQ(boxes.count(), 2);
    EXPECT_EQ(boxes.boxes()[0].icon(), mb::Information);
    EXPECT_EQ(boxes.boxes()[0].buttons(), mb::OKCancel);
    EXPECT_EQ(boxes.boxes()[0].answer, mb::Cancel);
    EXPECT_EQ(boxes.last().flags, 16);
    EXPECT_EQ(boxes.last().title, "系统提示");
    EXPECT_FALSE(boxes.pending());
}

TEST(MessageBoxRecorder, RestoresThePreviousServiceAndNests)
{
    MessageBoxService *before = &messageBoxService();
    {
        MessageBoxRecorder outer;
        {
            MessageBoxRecorder inner;
            EXPECT_EQ(&messageBoxService(), &inner);
            inner.expectAny();
            MsgBox(QStringLiteral("x"));
        }
        EXPECT_EQ(&messageBoxService(), &outer);
        EXPECT_EQ(outer.count(), 0);
    }
    EXPECT_EQ(&messageBoxService(), before);
}

TEST(MessageBoxRecorder, AllowAllAnswersEveryBox)
{
    MessageBoxRecorder boxes;
    boxes.allowAll(mb::Cancel);
    EXPECT_EQ(MsgBox(QStringLiteral("a"), 65), mb::Cancel);
    EXPECT_EQ(MsgBox(QStringLiteral("b"), 64), mb::Cancel);
    EXPECT_EQ(boxes.count(), 2);
}

TEST(MessageBoxRecorderFailures, UnexpectedBoxFailsTheTest)
{
    EXPECT_NONFATAL_FAILURE(
        {
            MessageBoxRecorder boxes;
            boxes.expectNone();
            // Unexpected questions are answered "no".
            EXPECT_EQ(MsgBox(QStringLiteral("删除？"), 65), mb::Cancel);
        },
        "unexpected message box \"删除？\"");
}

TEST(MessageBoxRecorderFailures, WrongTextOrFlagsFailsTheTest)
{
    EXPECT_NONFATAL_FAILURE(
        {
            MessageBoxRecorder boxes;
            boxes.expect(QStringLiteral("物料代码"));
            MsgBox(QStringLiteral("单位不存在"), 64);
        },
        "where \"物料代码\" was expected");
    EXPECT_NONFATAL_FAILURE(
        {
            MessageBoxRecorder boxes;
            boxes.expect(QStringLiteral("单位"), mb::OK, 64);
            MsgBox(QStringLiteral("单位不存在"), 16);
        },
        "should have flags 64");
    EXPECT_NONFATAL_FAILURE(
        {
            MessageBoxRecorder boxes;
            boxes.expectExact(QStringLiteral("单位"));
            MsgBox(QStringLiteral("单位不存在"), 64);
        },
        "was expected");
}

TEST(MessageBoxRecorderFailures, ExpectedBoxNeverShownFailsTheTest)
{
    EXPECT_NONFATAL_FAILURE(
        {
            MessageBoxRecorder boxes;
            boxes.expect(QStringLiteral("保存成功"));
        },
        "expected message box never shown: \"保存成功\"");
}

// ---- the wait pointer -----------------------------------------------------------------

// The count lives for the process; each test starts and ends at zero.
class WaitPointer : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(waitCount(), 0); }
    void TearDown() override
    {
        while (waitCount() > 0)
            EndWait();
    }
};

TEST_F(WaitPointer, NestedHoldersShowOneHourglass)
{
    PointerRecorder pointer;
    {
        WaitCursor outer;
        EXPECT_EQ(pointer.pointer(), pointer::Hourglass);
        {
            WaitCursor inner;
            EXPECT_EQ(waitCount(), 2);
        }
        EXPECT_EQ(waitCount(), 1);
        EXPECT_EQ(pointer.pointer(), pointer::Hourglass);
    }
    EXPECT_EQ(waitCount(), 0);
    EXPECT_EQ(pointer.changes(), (std::vector<int>{pointer::Hourglass, pointer::Default}));
}

TEST_F(WaitPointer, EndWaitAtZeroStaysAtZero)
{
    PointerRecorder pointer;
    EndWait();
    EXPECT_EQ(waitCount(), 0);
    EndWait();
    EXPECT_EQ(waitCount(), 0);
    EXPECT_TRUE(pointer.changes().empty());
    BeginWait();
    EXPECT_EQ(waitCount(), 1);   // not held back by the extra EndWait calls
    EXPECT_EQ(pointer.pointer(), pointer::Hourglass);
    EndWait();
    EXPECT_EQ(pointer.pointer(), pointer::Default);
}

TEST_F(WaitPointer, CountPastTheSixteenBitMaximumIsOverflow)
{
    PointerRecorder pointer;
    for (int i = 0; i < 32767; ++i)
        BeginWait();
    EXPECT_EQ(waitCount(), 32767);
    try {
        BeginWait();
        ADD_FAILURE() << "no overflow";
    } catch (const ComError &e) {
        EXPECT_EQ(e.number(), errc::Overflow);
    }
    EXPECT_EQ(waitCount(), 32767);
    for (int i = 0; i < 32767; ++i)
        EndWait();
    EXPECT_EQ(waitCount(), 0);
    EXPECT_EQ(pointer.changes(), (std::vector<int>{pointer::Hourglass, pointer::Default}));
}

TEST_F(WaitPointer, DefaultServiceUsesTheOverrideCursorOnce)
{
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    PointerService &service = pointerService();
    ASSERT_EQ(service.pointer(), pointer::Default);
    BeginWait();
    BeginWait();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    service.setPointer(pointer::Hourglass);   // already shown: no second override
    EndWait();
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    EndWait();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(service.pointer(), pointer::Default);
    service.setPointer(pointer::Default);     // already default: nothing to restore
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
