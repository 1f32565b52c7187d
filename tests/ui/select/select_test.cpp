// frmBOMSelect as a host meets it: BomInfo.SelectBom with a script inside the
// dialog's modal loop, on every database.

#include "dbfixture.h"
#include "msgboxrecorder.h"
#include "printers.h"

#include "entry/publicclasses.h"
#include "services/com/connectionobject.h"
#include "state/callstate.h"
#include "state/dialogseam.h"

#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace torvel;

namespace {

class BomSelect : public test::DatabaseTest
{
protected:
    bool withDemoData() const override { return false; }
    void SetUp() override
    {
        DatabaseTest::SetUp();
        // Item 100: BOMs 3 and 5 in use (5 written first), 4 not; item 101: none in use.
        connection()->Execute(QStringLiteral(
            "INSERT INTO COM_BOM (FBOMID,FBOMNumber,FBOMName,FItemID,FStatus) VALUES"
            " (5,'B-5  ','五号',100,0),(4,'B-4','四号',100,1),(3,'B-3',NULL,100,0),(6,'B-6','六号',101,1)"));
    }
    void TearDown() override
    {
        gAdoCnn.reset();
        DatabaseTest::TearDown();
    }

    test::MessageBoxRecorder boxes;
};

enum class Act { OK, DoubleClickSecond, Cancel };

TEST_P(BomSelect, OffersTheItemsBomsInUseAndReturnsTheOneConfirmed)
{
    const struct
    {
        const char *name;
        int32_t item;
        Act act;
        QStringList entries;
        bool openAfterAct;
        int32_t result;   // SelectBom's; gBomID keeps 77 unless confirmed
    } cases[] = {
        {"first entry confirmed", 100, Act::OK, {"B-3  ", "B-5  五号"}, false, 3},
        {"double click confirms", 100, Act::DoubleClickSecond, {"B-3  ", "B-5  五号"}, false, 5},
        {"cancelled", 100, Act::Cancel, {"B-3  ", "B-5  五号"}, false, 0},
        {"none in use: OK does nothing", 101, Act::OK, {}, true, 0},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.name);
        BomInfo bom;   // its creation clears gBomID
        gBomID = 77;
        QStringList entries;
        int current = -2;
        bool open = false;
        ScopedDialogScript script([&](QDialog &dialog) {
            auto *list = dialog.findChild<QListWidget *>(QStringLiteral("ListBOM"));
            for (int row = 0; row < list->count(); ++row)
                entries << list->item(row)->text();
            current = list->currentRow();
            if (k.act == Act::DoubleClickSecond) {
                const QRect cell = list->visualItemRect(list->item(1));
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
            } else {
                const char *button = k.act == Act::OK ? "btnOK" : "btnCancel";
                dialog.findChild<QPushButton *>(QString::fromLatin1(button))->click();
            }
            open = dialog.isVisible();
            if (open)
                dialog.findChild<QPushButton *>(QStringLiteral("btnCancel"))->click();
        });
        EXPECT_EQ(bom.SelectBom(Variant(ConnectionObject::wrap(connection())), k.item), k.result);
        EXPECT_EQ(entries, k.entries);
        EXPECT_EQ(current, k.entries.isEmpty() ? -1 : 0);
        EXPECT_EQ(open, k.openAfterAct);
        EXPECT_EQ(gReturnOK, k.result != 0);
        EXPECT_EQ(gBomID, k.result ? k.result : 77);
    }
}

TORVEL_INSTANTIATE_DATABASE_TEST(BomSelect);

} // namespace
