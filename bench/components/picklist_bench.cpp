// Time to the first page of the item pick list on a master table of a
// million items: what a clerk waits for between F7 and a usable list.

#include "components/components.h"
#include "components/itemfilter.h"
#include "components/picklist.h"
#include "components/sources.h"
#include "hostdb/hostdb.h"

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace torvel;

constexpr int kItems = 1000000;

ConnectionPtr g_connection;

const std::vector<host::PickColumn> kColumns = {
    {QStringLiteral("代码"), QStringLiteral("FNumber")},
    {QStringLiteral("名称"), QStringLiteral("FName")},
    {QStringLiteral("规格型号"), QStringLiteral("FModel")},
    {QStringLiteral("计量单位"), QStringLiteral("FUnitName")},
};

// From F7 to a painted first page: the filter parsed, the dialog built, its
// first page loaded, the window shown and rendered once, as ItemLookup does
// before the clerk sees the list.
void firstPage(benchmark::State &state, const QString &filter, const QString &text)
{
    for (auto _ : state) {
        const QString condition = host::buildItemFilter(filter, QStringLiteral("bench"));
        host::ItemPickSource source(g_connection, condition);
        host::PickListDialog dialog(QStringLiteral("frmItemLookup"), QStringLiteral("商品查询"), kColumns, source);
        dialog.start(text);
        dialog.show();
        const QPixmap painted = dialog.grab();
        benchmark::DoNotOptimize(painted.cacheKey());
        if (dialog.model()->rowCount() == 0 || dialog.model()->rowCount() > host::PickListDialog::kPageSize)
            state.SkipWithError("not one page");
        dialog.hide();
    }
}

void BM_FirstPage_NoFilter(benchmark::State &state) { firstPage(state, QString(), QString()); }
void BM_FirstPage_BomItems(benchmark::State &state) { firstPage(state, QStringLiteral(" X2.FIsBOM=1 "), QString()); }
void BM_FirstPage_ChildItems(benchmark::State &state) { firstPage(state, QStringLiteral(" X2.FIsBOM=0 "), QString()); }

// Typing after the list is open: one query per pause in typing (the query
// and the page's rows only; the list repaints the rows it shows).
void searchAs(benchmark::State &state, const QString &text)
{
    host::ItemPickSource source(g_connection, QString());
    for (auto _ : state) {
        host::PickPage page = source.fetch(text, host::PickListDialog::kPageSize);
        benchmark::DoNotOptimize(page.rows.size());
    }
}

// Many numbers start with it: one indexed range fills the page.
void BM_Search_NumberPrefix(benchmark::State &state) { searchAs(state, QStringLiteral("S.12")); }
// One item: every prefix tier runs, the name tier included.
void BM_Search_OneNumber(benchmark::State &state) { searchAs(state, QStringLiteral("S.500000")); }
// Nothing starts with it: the contains search reads the table.
void BM_Search_NothingStartsWith(benchmark::State &state) { searchAs(state, QStringLiteral("zzzz")); }
// Explicit contains that matches early rows: the scan stops at the page.
void BM_Search_ContainsCommon(benchmark::State &state) { searchAs(state, QStringLiteral("*商品1")); }

// BM_FirstPage_*: F7 to a painted first page of the item pick list over
// 1,000,000 items (see firstPage) with no filter, the header's assembly filter
// (FIsBOM=1) and the child lines' filter (FIsBOM=0). BM_Search_*: one fetch of
// a page for the text typed (see searchAs), no painting.
BENCHMARK(BM_FirstPage_NoFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstPage_BomItems)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstPage_ChildItems)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Search_NumberPrefix)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Search_OneNumber)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Search_NothingStartsWith)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Search_ContainsCommon)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    g_connection = Connection::open(dir.path() + QStringLiteral("/million.sqlite"));
    host::createSchema(*g_connection);
    host::generateScaleData(*g_connection, kItems, 0, 0);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_connection.reset();
    return 0;
}
