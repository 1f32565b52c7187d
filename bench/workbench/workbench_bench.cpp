// The workbench from start-up to its first paint: the host's connection
// opened, the window built, the group tree and the first group's first page
// of BOMs read, the window shown and rendered once. On the demo database and
// on 10,000 BOMs over 1,000,000 items. Then the list's own queries on the
// large group: a filter typed, a sort by line count.

#include "benchsupport.h"

#include "hostdb/hostdb.h"
#include "services/db/recordset.h"
#include "workbench/workbench.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace torvel;
using namespace torvel::host;

constexpr int kItems = 1000000;
constexpr int kBoms = 10000;
constexpr int kLinesPerBom = 10;

// The large database takes a while to build and is only read, so it is kept
// between runs: in $TORVEL_BENCH_CACHE, or under /tmp, named by this version
// (change it whenever the schema or the generated rows change). An empty
// TORVEL_BENCH_CACHE builds afresh in a temporary folder.
constexpr const char *kScaleVersion = "workbench-v1";

QString scaleDatabase()
{
    const QString folder = bench::cacheFolder(QStringLiteral("/tmp/torvel-workbench-bench"), kScaleVersion);
    const QString path = folder + QStringLiteral("/scale.db");
    if (!QFileInfo::exists(path)) {
        const QString building = path + QStringLiteral(".part");
        QFile::remove(building);
        ConnectionPtr c = Connection::open(building);
        createSchema(*c);
        generateScaleData(*c, kItems, kBoms, kLinesPerBom);
        c->Close();
        if (!QFile::rename(building, path))
            bench::die(QStringLiteral("cannot write ") + path);
    }
    return path;
}

QString demoDatabase()
{
    const QString path = bench::tempDir().filePath(QStringLiteral("demo.db"));
    ensureDemoDatabase(path);
    return path;
}

Object noLibrary(const std::string &progId)
{
    bench::die(QStringLiteral("start-up must not call the library, yet it created ") + QString::fromStdString(progId));
}

void startUp(benchmark::State &state, const QString &path, int expectedRows)
{
    for (auto _ : state) {
        Workbench window({Connection::open(path), path, QStringLiteral("admin"), noLibrary});
        window.show();
        benchmark::DoNotOptimize(window.grab());
        if (window.bomModel()->rowCount() != expectedRows)
            bench::die(QStringLiteral("the first page holds %1 rows").arg(window.bomModel()->rowCount()));
    }
}

void BM_StartUpToFirstPaint_Demo(benchmark::State &state)
{
    static const QString path = demoDatabase();
    // Whatever the first group holds: the demo's first page is all of it.
    static const int rows = [] {
        Workbench window({Connection::open(path), path, QString(), noLibrary});
        return window.bomModel()->rowCount();
    }();
    startUp(state, path, rows);
}

void BM_StartUpToFirstPaint_10kBoms_1MItems(benchmark::State &state)
{
    startUp(state, scaleDatabase(), BomListModel::kPageSize);
}

// One query of the list on the large group, as typing or a header click runs it.
void listQuery(benchmark::State &state, const QString &filter, BomColumn sort)
{
    ConnectionPtr c = Connection::open(scaleDatabase());
    BomListModel model(c);
    BomQuery q;
    q.groupId = c->Execute(QStringLiteral("SELECT FBOMGroupID FROM COM_BOM_Group WHERE FNumber='SCALE'"))->Fields(0).toInt32();
    q.filter = filter;
    q.sortColumn = sort;
    for (auto _ : state) {
        model.setQuery(q);
        benchmark::DoNotOptimize(model.rowCount());
    }
}

void BM_List_NumberPrefix(benchmark::State &state) { listQuery(state, QStringLiteral("SCALE-5"), BomColumn::Number); }
void BM_List_ItemCodePrefix(benchmark::State &state) { listQuery(state, QStringLiteral("S.99"), BomColumn::Number); }
void BM_List_OneBom(benchmark::State &state) { listQuery(state, QStringLiteral("SCALE-9999"), BomColumn::Number); }
void BM_List_Contains(benchmark::State &state) { listQuery(state, QStringLiteral("*999"), BomColumn::Number); }
void BM_List_SortByItemName(benchmark::State &state) { listQuery(state, QString(), BomColumn::ItemName); }
void BM_List_SortByLines(benchmark::State &state) { listQuery(state, QString(), BomColumn::Lines); }

// Wall time. BM_StartUpToFirstPaint_*: one start-up of the workbench window up
// to its first paint (see startUp), on the demo database and on 10,000 BOMs
// over 1,000,000 items. BM_List_*: one BomListModel::setQuery on the
// 10,000-BOM group, the first page read, with the filter typed (a number
// prefix, an item code prefix, one BOM's number, a contains) or the sort the
// name gives.
BENCHMARK(BM_StartUpToFirstPaint_Demo)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StartUpToFirstPaint_10kBoms_1MItems)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_List_NumberPrefix)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_List_ItemCodePrefix)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_List_OneBom)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_List_Contains)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_List_SortByItemName)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_List_SortByLines)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return bench::runOffscreenBenchmarks(argc, argv);
}
