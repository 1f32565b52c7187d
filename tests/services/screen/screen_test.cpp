// Message boxes, the recorder that stands in for them, and the wait pointer.

#include "comerrors.h"
#include "msgboxrecorder.h"
#include "printers.h"

#include "services/com/comerror.h"
#include "services/screen/messagebox.h"
#include "services/screen/waitcursor.h"

#include <QApplication>
#include <QGuiApplication>
#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace torvel;
using torvel::test::MessageBoxRecorder;
using torvel::test::PointerRecorder;

namespace {

TEST(DefaultMessageBox, ShowsTitleTextIconAndButtonsAndAnswers)
{
    struct Case { int flags; QMessageBox::Icon icon; QStringList buttons; const char *press; int answer; };   // press: a text or "Esc"
    const Case cases[] = {
        {mb::Critical, QMessageBox::Critical, {"确定"}, "确定", mb::OK},
        {mb::Exclamation, QMessageBox::Warning, {"确定"}, "确定", mb::OK},
        {mb::Information, QMessageBox::Information, {"确定"}, "Esc", mb::OK},   // Esc on an OK box is OK
        {mb::Information | mb::OKCancel, QMessageBox::Information, {"取消", "确定"}, "确定", mb::OK},
        {mb::Information | mb::OKCancel, QMessageBox::Information, {"取消", "确定"}, "取消", mb::Cancel},
        {mb::Information | mb::OKCancel, QMessageBox::Information, {"取消", "确定"}, "Esc", mb::Cancel},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.flags << " " << c.press);
        QMessageBox *seen = nullptr;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || seen)
                return;
            seen = box;
            EXPECT_EQ(box->windowTitle(), "系统提示");
            EXPECT_EQ(box->text(), "是否保存？");
            EXPECT_EQ(box->icon(), c.icon);
            QStringList buttons;
            QAbstractButton *toPress = nullptr;
            for (QAbstractButton *b : box->buttons()) {
                buttons << b->text();
                if (b->text() == QString::fromUtf8(c.press))
                    toPress = b;
            }
            buttons.sort();
            EXPECT_EQ(buttons, c.buttons);
            if (toPress)
                toPress->click();
            else
                QTest::keyClick(box, Qt::Key_Escape);
        });
        poll.start();
        EXPECT_EQ(messageBoxService().show(QStringLiteral("是否保存？"), c.flags, kBoxTitle), c.answer);
        EXPECT_NE(seen, nullptr);
    }
}

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

TEST_F(WaitPointer, NestedHoldersShowOneHourglassAndExtraEndsAreIgnored)
{
    PointerRecorder pointer;
    EndWait();
    EXPECT_EQ(waitCount(), 0);
    {
        WaitCursor outer;
        EXPECT_EQ(pointer.pointer(), pointer::Hourglass);   // not held back by the extra EndWait
        {
            WaitCursor inner;
            EXPECT_EQ(waitCount(), 2);
        }
        EXPECT_EQ(pointer.pointer(), pointer::Hourglass);
    }
    EXPECT_EQ(waitCount(), 0);
    EXPECT_EQ(pointer.changes(), (std::vector<int>{pointer::Hourglass, pointer::Default}));
}

TEST_F(WaitPointer, CountPastTheSixteenBitMaximumIsOverflow)
{
    PointerRecorder pointer;
    for (int i = 0; i < 32767; ++i)
        BeginWait();
    EXPECT_EQ(test::errorOf([] { BeginWait(); }).number(), errc::Overflow);
    EXPECT_EQ(waitCount(), 32767);
    for (int i = 0; i < 32767; ++i)
        EndWait();
    EXPECT_EQ(pointer.changes(), (std::vector<int>{pointer::Hourglass, pointer::Default}));
}

TEST_F(WaitPointer, DefaultServiceUsesTheOverrideCursorOnce)
{
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    PointerService &service = pointerService();
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
