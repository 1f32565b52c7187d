// The stock report: the kit computation as tables, the data side on every
// database with the demo stock, and frmBOMReport through LookBomReport.

#include "ui/report/frmbomreport.h"
#include "ui/report/reportdata.h"

#include "comerrors.h"
#include "dbfixture.h"
#include "entry/publicclasses.h"
#include "msgboxrecorder.h"
#include "printers.h"
#include "profile/sysprofile.h"
#include "services/com/connectionobject.h"
#include "services/db/recordset.h"
#include "state/callstate.h"
#include "state/dialogseam.h"

#include <QDate>

#include <algorithm>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace torvel;

namespace {

double ole(const QDate &d)
{
    return double(QDate(1899, 12, 30).daysTo(d));
}

// A grid row with the columns the kit computation reads.
QStringList row(int cls, int item, const char *usage, const char *stock)
{
    QStringList r(reportcol::Count);
    r[reportcol::ClassID] = QString::number(cls);
    r[reportcol::ItemID] = QString::number(item);
    r[reportcol::ItemName] = QStringLiteral("item%1").arg(item);
    r[reportcol::ClassName] = QStringLiteral("class%1").arg(cls);
    r[reportcol::Unit] = QStringLiteral("个");
    r[reportcol::Usage] = QString::fromUtf8(usage);
    r[reportcol::Stock] = QString::fromUtf8(stock);
    r[reportcol::KitQty] = QStringLiteral("99");   // the procedure's value, always replaced
    return r;
}

TEST(KitQuantity, GroupsRowsAndTakesTheSmallestCapacity)
{
    const struct
    {
        const char *what;
        std::vector<QStringList> rows;
        QStringList column11;
        const char *kit;
        const char *shortage;
    } cases[] = {
        // Substitutes pooled and a child in two warehouses are the worked example's below.
        {"a class pooled over items and warehouses",
         {row(7, 1, "2", "3"), row(7, 1, "2", "3"), row(7, 2, "2", "1.5"), row(0, 4, "1", "100")},
         {"7.50", "", "", "3.75"}, "3.75", "短缺：class7；配第 4 套尚缺 class7 1 个"},
        {"negative stock", {row(0, 3, "2", "-4"), row(0, 4, "1", "10")}, {"-4.00", "-2.00"}, "-2.00",
         "短缺：item3；配第 1 套尚缺 item3 6 个"},
        {"thousands", {row(0, 3, "1", "1,234.5")}, {"1,234.50"}, "1,234.50", "短缺：item3；配第 1235 套尚缺 item3 0.5 个"},
        // A capacity of 0 still counts when another group follows it.
        {"capacity 0 first", {row(0, 3, "1", "0"), row(0, 4, "1", "5")}, {".00", ".00"}, ".00",
         "短缺：item3；配第 1 套尚缺 item3 1 个"},
        // Usage 0 needs nothing: no division, no limit.
        {"usage 0 beside a limit", {row(0, 3, "0", "5"), row(0, 4, "2", "8")}, {".00", "8.00"}, "4.00",
         "短缺：item4；配第 5 套尚缺 item4 2 个"},
        {"usage 0 everywhere", {row(0, 3, "0", "5"), row(6, 4, "0", "1")}, {".00", ".00"}, "", ""},
    };
    for (const auto &c : cases) {
        BomReport report;
        report.rows = c.rows;
        CalcKitQty(report, int32_t(c.rows.size()));
        QStringList column11;
        for (const QStringList &r : report.rows)
            column11 << r[reportcol::KitQty];
        EXPECT_EQ(column11, c.column11) << c.what;
        EXPECT_EQ(report.kitQty, QString::fromUtf8(c.kit)) << c.what;
        EXPECT_EQ(report.shortage, QString::fromUtf8(c.shortage)) << c.what;
    }

    BomReport bad;
    bad.rows = {row(0, 3, "1", "")};
    EXPECT_EQ(test::errorNumber([&] { CalcKitQty(bad, 1); }), errc::TypeMismatch);
}

TEST(ReportTexts, KitFormatDateRuleAndProcedureCall)
{
    const std::pair<double, const char *> kits[] = {
        {0, ".00"}, {0.5, ".50"}, {1234.5, "1,234.50"}, {-3, "-3.00"}, {-0.25, "-.25"}, {2.005, "2.01"}};
    for (const auto &[value, text] : kits)
        EXPECT_EQ(formatKitQty(value), QString::fromUtf8(text)) << value;

    const double start = ole(QDate(2026, 3, 1)) + 0.25;
    EXPECT_EQ(reportNoteDate(start - 0.5, start), start - 1);
    EXPECT_EQ(reportNoteDate(start, start), start);
    EXPECT_EQ(reportNoteDate(start + 9, start), start + 9);

    EXPECT_EQ(stockCallText(2026, 3, 5, ole(QDate(2026, 3, 1)), ole(QDate(2026, 3, 15)) + 0.4375),
              QStringLiteral("sp_COM_BOM_Stock 2026,3,5,'2026-03-01','2026-03-15 10:30:00'"));

    // The text form: header, visible columns aligned by display width
    // (numbers right), the shortage line and the footnote.
    BomReport text;
    text.number = QStringLiteral("3.02");
    text.name = QStringLiteral("模块");
    text.kitQty = QStringLiteral("3.00");
    text.shortage = QStringLiteral("短缺：芯片");
    text.rows = {row(5, 1, "2", "10"), row(0, 3, "1,003", "9")};
    text.rows[0][reportcol::Warehouse] = QStringLiteral("原料仓");
    EXPECT_EQ(reportText(text), QStringLiteral("商品代码：3.02  商品名称：模块  规格型号：\n"
                                               "辅助属性：  计量单位：  配套数量：3.00\n\n"
                                               "可替代商品类别  商品代码  商品名称  规格型号  辅助属性  计量单位  单位用量  配套数量  库存数量  仓库\n"
                                               "class5                    item1                         个               2        99        10  原料仓\n"
                                               "class0                    item3                         个           1,003        99         9\n\n"
                                               "短缺：芯片\n本表中所有数量都以当前商品的基本计量单位为准\n"));
}

// The demo's worked example on every database: BOM000010 needs any 12V
// adapter twice (stock 4 + 6, 6 and none) and the power chip three times
// (4 and 5).
class ReportData : public test::DatabaseTest
{
protected:
    void SetUp() override
    {
        test::DatabaseTest::SetUp();
        gAdoCnn = connection();
        gBomID = scalar("SELECT FBOMID FROM COM_BOM WHERE FBOMNumber='BOM000010'");
        gNoteDate = ole(QDate::currentDate());
        SysProfile = {};
    }
    void TearDown() override
    {
        gAdoCnn.reset();
        test::DatabaseTest::TearDown();
    }
    int scalar(const char *sql) { return connection()->Execute(QString::fromUtf8(sql))->Fields(0).toInt32(); }
};

TEST_P(ReportData, TheWorkedExampleGivesThreeKits)
{
    const QDate start(2026, QDate::currentDate().month(), 1);
    BomReport report;
    LoadReport(report);
    EXPECT_EQ(report.startDate, ole(start));
    EXPECT_EQ(QStringList({report.name, report.model, report.auxProp, report.unit}),
              QStringList({"开关电源模块", "12V10A", "", "块"}));
    QStringList shown;
    for (const QStringList &r : report.rows)
        shown << QStringList({r[0], r[4], r[5], r[10], r[11], r[12], r[13]}).join(u'|');
    EXPECT_EQ(shown, QStringList({
                         "12V电源适配器类|电源适配器|12V2A 国标|2|6.00|4|原料仓",
                         "12V电源适配器类|电源适配器|12V2A 国标|2||6|成品仓",
                         "12V电源适配器类|电源适配器|12V3A 国标|2||6|原料仓",
                         "12V电源适配器类|电源适配器|12V2A 欧标|2||0|",
                         "|电源管理芯片|TPS54331|3|9.00|4|原料仓",
                         "|电源管理芯片|TPS54331|3||5|半成品仓",
                     }));
    EXPECT_EQ(report.kitQty, QStringLiteral("3.00"));

    // Before the period: the day before it begins, without the movements.
    std::vector<QString> calls;
    connection()->setStatementHook([&](const QString &text) { calls.push_back(text); });
    gNoteDate = ole(start.addDays(-10));
    BomReport early;
    LoadReport(early);
    connection()->setStatementHook({});
    EXPECT_EQ(gNoteDate, ole(start.addDays(-1)));
    EXPECT_EQ(gStartDate, ole(start));
    const QString call = stockCallText(2026, int16_t(start.month()), gBomID, ole(start), ole(start.addDays(-1)));
    EXPECT_NE(std::find(calls.begin(), calls.end(), call), calls.end()) << call.toStdString();
    EXPECT_EQ(early.kitQty, QStringLiteral("3.67"));   // adapters (4 + 6) / 2, chip (6 + 5) / 3

    // 0.5 per kit shown at the chip's 0 decimals is 1, and counted as 1.
    connection()->Execute(QStringLiteral("UPDATE COM_BOM_Child SET FQty=0.5 WHERE FReplaceClassID=0 AND FBOMID=")
                          + QString::number(gBomID));
    gNoteDate = ole(QDate::currentDate());
    BomReport half;
    LoadReport(half);
    EXPECT_EQ(half.rows[4][reportcol::Usage], QStringLiteral("1"));
    EXPECT_EQ(half.kitQty, QStringLiteral("8.00"));
    // The row's decimals format the usage and the stock.
    connection()->Execute(QStringLiteral("UPDATE COM_Item SET FQtyScale=2 WHERE FItemID=") + half.rows[4][reportcol::ItemID]);
    BomReport scaled;
    LoadReport(scaled);
    EXPECT_EQ(QStringList({scaled.rows[4][reportcol::Usage], scaled.rows[4][reportcol::Stock]}), QStringList({"0.50", "4.00"}));
}

TEST_P(ReportData, AMissingHeaderOrStockLeavesTheReportEmpty)
{
    std::vector<QString> calls;
    connection()->setStatementHook([&](const QString &text) { calls.push_back(text); });
    gBomID = 99999;
    BomReport none;
    LoadReport(none);
    EXPECT_TRUE(none.number.isEmpty() && none.name.isEmpty() && none.rows.empty());
    EXPECT_TRUE(std::none_of(calls.begin(), calls.end(),
                             [](const QString &t) { return t.contains(QLatin1String("COM_StockMove"), Qt::CaseInsensitive)
                                                           || t.startsWith(QLatin1String("sp_COM_BOM_Stock")); }));

    connection()->Execute(QStringLiteral("DELETE FROM COM_BOM_Child WHERE FBOMID=") + QString::number(scalar(
        "SELECT FBOMID FROM COM_BOM WHERE FBOMNumber='BOM000010'")));
    gBomID = scalar("SELECT FBOMID FROM COM_BOM WHERE FBOMNumber='BOM000010'");
    BomReport empty;
    LoadReport(empty);
    connection()->setStatementHook({});
    EXPECT_EQ(empty.name, QStringLiteral("开关电源模块"));
    EXPECT_TRUE(empty.rows.empty());
    EXPECT_TRUE(empty.kitQty.isEmpty());
}

TORVEL_INSTANTIATE_DATABASE_TEST(ReportData);

// The form through the public method, with a script in its modal loop.
TEST(ReportForm, LookBomReportShowsTheReportAndClosesOnEscOrOK)
{
    auto db = test::TestDatabase::createSqlite(true);
    const Variant cnn(ConnectionObject::wrap(db->connection()));
    const int bomId = db->connection()->Execute(QStringLiteral("SELECT FBOMID FROM COM_BOM WHERE FBOMNumber='BOM000010'"))
                          ->Fields(0).toInt32();
    test::MessageBoxRecorder boxes;
    BomInfo bom;
    int runs = 0;
    for (bool byEscape : {true, false}) {
        ScopedDialogScript script([&](QDialog &d) {
            ++runs;
            auto *form = qobject_cast<FrmBomReport *>(&d);
            ASSERT_NE(form, nullptr);
            EXPECT_EQ(form->LabNameValue->text(), QStringLiteral("开关电源模块"));
            EXPECT_EQ(form->LabQtyValue->text(), QStringLiteral("3.00"));
            EXPECT_EQ(form->LabShortage->toolTip(), form->report().shortage);
            const QAbstractItemModel *grid = form->Grid->model();
            EXPECT_EQ(grid->rowCount(), 6);
            if (byEscape)
                QTest::keyClick(form->Grid, Qt::Key_Escape);
            else
                form->cmdOK->click();
        });
        bom.LookBomReport(cnn, bomId, ole(QDate::currentDate()));
    }
    EXPECT_EQ(runs, 2);

    // A loading error reaches the caller with the database's own error; no
    // box, no report.
    db->connection()->Execute(QStringLiteral("DROP TABLE COM_StockMove"));
    ScopedDialogScript never([&](QDialog &) { ++runs; });
    const ComError e = test::errorOf([&] { bom.LookBomReport(cnn, bomId, ole(QDate::currentDate())); });
    EXPECT_TRUE(e.description().contains(QLatin1String("COM_StockMove"), Qt::CaseInsensitive)) << e.description().toStdString();
    EXPECT_EQ(runs, 2);
    gAdoCnn.reset();
}

} // namespace
