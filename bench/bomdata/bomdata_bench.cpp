// The data layer against its floor: loading, adding and updating BOMs of 10,
// 1,000 and 10,000 lines on a small and on a million-item database, and the four lookups over 1,000, 100,000 and
// 1,000,000 rows, each beside the same database work done with the raw SQLite
// C API and prepared statements. The BOM database is built once per process in
// a temporary folder; the lookup databases are kept between runs (see
// lookupCacheDir).

#include "benchdata.h"
#include "sqlitefloor.h"

#include "bomdata/bom.h"
#include "hostdb/hostdb.h"
#include "bomdata/gridmodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace torvel;
using namespace torvel::bench;

namespace {

// One value of a row as the floor keeps it.
struct Value
{
    int type = SQLITE_NULL;
    sqlite3_int64 i = 0;
    double d = 0;
    std::string s;
};
using Rows = std::vector<std::vector<Value>>;

// Steps a bound statement and keeps every column of every row.
Rows readAll(const Stmt &stmt)
{
    Rows rows;
    sqlite3_stmt *s = stmt.get();
    const int n = sqlite3_column_count(s);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        std::vector<Value> row(static_cast<size_t>(n));
        for (int c = 0; c < n; ++c) {
            Value &v = row[size_t(c)];
            v.type = sqlite3_column_type(s, c);
            switch (v.type) {
            case SQLITE_INTEGER: v.i = sqlite3_column_int64(s, c); break;
            case SQLITE_FLOAT: v.d = sqlite3_column_double(s, c); break;
            case SQLITE_TEXT:
                v.s.assign(reinterpret_cast<const char *>(sqlite3_column_text(s, c)), size_t(sqlite3_column_bytes(s, c)));
                break;
            default: break;
            }
        }
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        die(QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(s))));
    stmt.reset();
    return rows;
}

// ---------------------------------------------------------------------------
// The BOM databases: three BOMs of 10, 1,000 and 10,000 lines, over about
// 36,000 items (each BOM over items of its own) or over a million (the size of
// a real master table, where every index is deeper). The second argument of
// the load and save benchmarks picks one: 0 the small, 1 the million.

struct BomDatabase
{
    QString path;
    ConnectionPtr cnn;
    sqlite3 *raw = nullptr;
    std::map<int, int32_t> bomOfLines;   // lines -> BOM id
};

BomDatabase *makeBomDatabase(const QString &name, const std::map<int, int> &itemsOfLines)
{
    auto *d = new BomDatabase;
    d->path = tempDir().filePath(name);
    d->cnn = Connection::open(d->path);
    host::createSchema(*d->cnn);
    for (const auto &[lines, items] : itemsOfLines)
        d->bomOfLines[lines] = addScaleBom(*d->cnn, items, lines);
    d->raw = rawOpen(d->path);
    return d;
}

BomDatabase &bomDatabase(const benchmark::State &state)
{
    if (state.range(1) == 0) {
        static BomDatabase *small = makeBomDatabase(QStringLiteral("boms.db"), {{10, 12000}, {1000, 12000}, {10000, 12000}});
        return *small;
    }
    static BomDatabase *million =
        makeBomDatabase(QStringLiteral("boms-million.db"), {{10, 1000}, {1000, 10000}, {10000, 989000}});
    return *million;
}

void BM_Load(benchmark::State &state)
{
    BomDatabase &d = bomDatabase(state);
    timeLoad(state, *d.cnn, d.bomOfLines.at(int(state.range(0))));
}

void BM_LoadFloor(benchmark::State &state)
{
    BomDatabase &d = bomDatabase(state);
    const int32_t id = d.bomOfLines.at(int(state.range(0)));
    // The data layer's own load statements, with the id as a parameter.
    Stmt header(d.raw, (bomsql::kHeaderQueryHead + QLatin1Char('?')).toUtf8().constData());
    Stmt lines(d.raw, (bomsql::kLineQueryHead + QLatin1Char('?')).toUtf8().constData());
    for (auto _ : state) {
        sqlite3_bind_int(header.get(), 1, id);
        Rows h = readAll(header);
        sqlite3_bind_int(lines.get(), 1, id);
        Rows l = readAll(lines);
        benchmark::DoNotOptimize(h.size() + l.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

LoadedBom load(BomDatabase &d, int lines)
{
    return loadBom(*d.cnn, d.bomOfLines.at(lines));
}

struct StoredLine
{
    int replaceClass, item, auxProp, unit;
    double qty, scrap;
    std::string remark;
};

std::vector<StoredLine> storedLines(BomDatabase &d, int32_t id)
{
    Stmt stmt(d.raw, "SELECT FReplaceClassID,FItemID,FAuxPropID,FMeasureUnitID,FQty,FScrap,FRemark FROM COM_BOM_Child"
                     " WHERE FBOMID=? ORDER BY FBOMEntryID");
    sqlite3_bind_int(stmt.get(), 1, id);
    std::vector<StoredLine> out;
    for (const auto &r : readAll(stmt))
        out.push_back({int(r[0].i), int(r[1].i), int(r[2].i), int(r[3].i), r[4].type == SQLITE_FLOAT ? r[4].d : double(r[4].i),
                       r[5].type == SQLITE_FLOAT ? r[5].d : double(r[5].i), r[6].s});
    return out;
}

void insertLinesRaw(const Stmt &insert, int32_t id, const std::vector<StoredLine> &lines)
{
    int entry = 0;
    for (const StoredLine &l : lines) {
        sqlite3_stmt *s = insert.get();
        sqlite3_bind_int(s, 1, ++entry);
        sqlite3_bind_int(s, 2, id);
        sqlite3_bind_int(s, 3, l.replaceClass);
        sqlite3_bind_int(s, 4, l.item);
        sqlite3_bind_int(s, 5, l.auxProp);
        sqlite3_bind_int(s, 6, l.unit);
        sqlite3_bind_double(s, 7, l.qty);
        sqlite3_bind_double(s, 8, l.scrap);
        sqlite3_bind_text(s, 9, l.remark.data(), int(l.remark.size()), SQLITE_STATIC);
        insert.done();
    }
}

const char *kInsertLineSql = "INSERT INTO COM_Bom_Child (FBOMEntryID,FBOMID,FReplaceClassID,FItemID,FAuxPropID,"
                             "FMeasureUnitID,FQty,FScrap,FRemark) VALUES (?,?,?,?,?,?,?,?,?)";

void BM_Update(benchmark::State &state)
{
    BomDatabase &d = bomDatabase(state);
    LoadedBom loaded = load(d, int(state.range(0)));
    timeUpdate(state, loaded);
}

void BM_UpdateUncompared(benchmark::State &state)
{
    BomDatabase &d = bomDatabase(state);
    LoadedBom loaded = load(d, int(state.range(0)));
    timeUpdateUncompared(state, *d.cnn, loaded);
}

void BM_UpdateFloor(benchmark::State &state)
{
    BomDatabase &d = bomDatabase(state);
    const int32_t id = d.bomOfLines.at(int(state.range(0)));
    const std::vector<StoredLine> lines = storedLines(d, id);
    Stmt begin(d.raw, "BEGIN");
    Stmt commit(d.raw, "COMMIT");
    Stmt header(d.raw, "UPDATE COM_BOM SET FBOMNumber=?,FBOMName=?,FItemID=?,FAuxPropID=?,FMeasureUnitID=?,FStatus=?"
                       " WHERE FBOMID=?");
    Stmt remove(d.raw, "DELETE FROM COM_BOM_Child WHERE FBOMID=?");
    Stmt insert(d.raw, kInsertLineSql);
    const std::string number = "SCALE-" + std::to_string(id);
    const std::string name = "规模测试BOM " + std::to_string(id);
    for (auto _ : state) {
        begin.done();
        sqlite3_stmt *h = header.get();
        sqlite3_bind_text(h, 1, number.data(), int(number.size()), SQLITE_STATIC);
        sqlite3_bind_text(h, 2, name.data(), int(name.size()), SQLITE_STATIC);
        sqlite3_bind_int(h, 3, 1);
        sqlite3_bind_int(h, 4, 0);
        sqlite3_bind_int(h, 5, 1);
        sqlite3_bind_int(h, 6, 0);
        sqlite3_bind_int(h, 7, id);
        header.done();
        if (sqlite3_changes(d.raw) != 1)
            die(QStringLiteral("floor update found no header"));
        sqlite3_bind_int(remove.get(), 1, id);
        remove.done();
        insertLinesRaw(insert, id, lines);
        commit.done();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Add(benchmark::State &state)
{
    BomDatabase &d = bomDatabase(state);
    LoadedBom loaded = load(d, int(state.range(0)));
    timeAdd(state, loaded, [&d](int32_t bomId) {
        const QString id = QString::number(bomId);
        d.cnn->Execute(QStringLiteral("DELETE FROM COM_BOM_Child WHERE FBOMID=") + id);
        d.cnn->Execute(QStringLiteral("DELETE FROM COM_BOM WHERE FBOMID=") + id);
    });
}

void BM_AddFloor(benchmark::State &state)
{
    BomDatabase &d = bomDatabase(state);
    const std::vector<StoredLine> lines = storedLines(d, d.bomOfLines.at(int(state.range(0))));
    Stmt begin(d.raw, "BEGIN");
    Stmt commit(d.raw, "COMMIT");
    Stmt header(d.raw, "INSERT INTO COM_Bom(FBOMNumber,FBOMName,FBOMGroupID,FItemID,FAuxPropID,FMeasureUnitID,FStatus)"
                       " VALUES (?,?,?,?,?,?,?)");
    Stmt insert(d.raw, kInsertLineSql);
    Stmt cleanLines(d.raw, "DELETE FROM COM_BOM_Child WHERE FBOMID=?");
    Stmt cleanHeader(d.raw, "DELETE FROM COM_BOM WHERE FBOMID=?");
    const std::string name = "规模测试";
    int serial = 0;
    for (auto _ : state) {
        const std::string number = "ADDF-" + std::to_string(state.range(0)) + "-" + std::to_string(++serial);
        begin.done();
        sqlite3_stmt *h = header.get();
        sqlite3_bind_text(h, 1, number.data(), int(number.size()), SQLITE_STATIC);
        sqlite3_bind_text(h, 2, name.data(), int(name.size()), SQLITE_STATIC);
        sqlite3_bind_int(h, 3, 1);
        sqlite3_bind_int(h, 4, 1);
        sqlite3_bind_int(h, 5, 0);
        sqlite3_bind_int(h, 6, 1);
        sqlite3_bind_int(h, 7, 0);
        header.done();
        const int32_t id = int32_t(sqlite3_last_insert_rowid(d.raw));
        insertLinesRaw(insert, id, lines);
        commit.done();
        state.PauseTiming();
        sqlite3_bind_int(cleanLines.get(), 1, id);
        cleanLines.done();
        sqlite3_bind_int(cleanHeader.get(), 1, id);
        cleanHeader.done();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// ---------------------------------------------------------------------------
// The lookup databases: N items (with their COM_Item rows), N units and N
// system types, half of them substitute classes.

struct LookupDatabase
{
    QString path;
    ConnectionPtr cnn;
    sqlite3 *raw = nullptr;
    int size = 0;
};

// The lookup databases take minutes to build at a million rows and are only
// read, so they are kept between runs: in $TORVEL_BENCH_CACHE, or in a folder
// under /tmp named by this version. Change the version whenever the schema or
// the generated rows change; an empty TORVEL_BENCH_CACHE builds afresh in the
// process's temporary folder.
constexpr const char *kLookupDataVersion = "lookup-v1";

QString lookupCacheDir()
{
    return cacheFolder(QStringLiteral("/tmp/torvel-bomdata-bench"), kLookupDataVersion);
}

void buildLookupDatabase(const QString &path, int size)
{
    ConnectionPtr cnn = Connection::open(path);
    host::createSchema(*cnn);
    host::generateScaleData(*cnn, size, 0, 0);   // items S.1 .. S.N, one unit (id 1)
    cnn->Close();
    sqlite3 *raw = rawOpen(path);
    rawExec(raw, "BEGIN");
    {
        Stmt unit(raw, "INSERT INTO t_MeasureUnit(FMeasureUnitID,FItemID,FNumber,FName,FUnitGroupID) VALUES (?,?,?,?,?)");
        Stmt type(raw, "INSERT INTO COM_SysType(FSysTypeID,FNumber,FName,FClassID) VALUES (?,?,?,?)");
        for (int i = 2; i <= size + 1; ++i) {
            const std::string number = "U" + std::to_string(i);
            const std::string name = "单位" + std::to_string(i);
            sqlite3_bind_int(unit.get(), 1, i);
            sqlite3_bind_int(unit.get(), 2, i);
            sqlite3_bind_text(unit.get(), 3, number.data(), int(number.size()), SQLITE_STATIC);
            sqlite3_bind_text(unit.get(), 4, name.data(), int(name.size()), SQLITE_STATIC);
            sqlite3_bind_int(unit.get(), 5, i % 50);
            unit.done();
            const std::string typeNumber = "R" + std::to_string(i / 2);
            sqlite3_bind_int(type.get(), 1, i);
            sqlite3_bind_text(type.get(), 2, typeNumber.data(), int(typeNumber.size()), SQLITE_STATIC);
            sqlite3_bind_text(type.get(), 3, name.data(), int(name.size()), SQLITE_STATIC);
            sqlite3_bind_int(type.get(), 4, i % 2 == 0 ? 480 : 481);
            type.done();
        }
    }
    rawExec(raw, "COMMIT");
    // Folded back into the main file, so the file renamed into place is whole.
    rawExec(raw, "PRAGMA wal_checkpoint(TRUNCATE); PRAGMA journal_mode=DELETE;");
    sqlite3_close(raw);
}

LookupDatabase &lookupDatabase(int size)
{
    static std::map<int, LookupDatabase *> databases;
    LookupDatabase *&d = databases[size];
    if (d)
        return *d;
    d = new LookupDatabase;
    d->size = size;
    d->path = lookupCacheDir() + QStringLiteral("/lookup-%1.db").arg(size);
    if (!QFileInfo::exists(d->path)) {
        // Built under another name and renamed: an interrupted build never
        // leaves a file that looks complete.
        const QString building = d->path + QStringLiteral(".%1.building").arg(QCoreApplication::applicationPid());
        QFile::remove(building);
        buildLookupDatabase(building, size);
        if (!QFile::rename(building, d->path) && !QFileInfo::exists(d->path))
            die(QStringLiteral("cannot store ") + d->path);
        QFile::remove(building);
    }
    d->cnn = Connection::open(d->path);
    d->raw = rawOpen(d->path);
    return *d;
}

// Keys that each find one row, drawn once so both sides look up alike.
constexpr int kLookupKeys = 1024;

template<Lookup kind>
void BM_Lookup(benchmark::State &state)
{
    LookupDatabase &d = lookupDatabase(int(state.range(0)));
    timeLookup(state, *d.cnn, kind, lookupIds(d.size, kLookupKeys));
}

template<Lookup kind>
void BM_LookupFloor(benchmark::State &state)
{
    LookupDatabase &d = lookupDatabase(int(state.range(0)));
    const std::vector<int> ids = lookupIds(d.size, kLookupKeys);
    QString sql;
    switch (kind) {
    case Info: sql = bomsql::kItemQueryHead + QStringLiteral("FNumber=?"); break;
    case Unit: sql = QStringLiteral("SELECT * FROM t_MeasureUnit WHERE FNumber=? AND FUnitGroupID=?"); break;
    case AuxProp: sql = QStringLiteral("SELECT * FROM t_item WHERE FNumber=? AND FItemClassID=4"); break;
    case ReplaceClass: sql = QStringLiteral("SELECT * FROM com_systype WHERE FNumber=? AND FClassID=480"); break;
    }
    Stmt stmt(d.raw, sql.toUtf8().constData());
    size_t i = 0;
    for (auto _ : state) {
        const int id = ids[i++ % ids.size()];
        std::string number;
        switch (kind) {
        case Info:
        case AuxProp: number = "S." + std::to_string(id); break;
        case Unit: number = "U" + std::to_string(id); break;
        case ReplaceClass: number = "R" + std::to_string(id / 2); break;
        }
        sqlite3_bind_text(stmt.get(), 1, number.data(), int(number.size()), SQLITE_TRANSIENT);
        if (kind == Unit)
            sqlite3_bind_int(stmt.get(), 2, id % 50);
        const Rows rows = readAll(stmt);
        if (rows.size() != 1)
            die(QStringLiteral("floor lookup found no row"));
    }
}

// The floor with the statement prepared on every call, as the connection
// does for a SELECT: the difference to the floor is SQLite's parser.
void BM_UnitLookupFloorUnprepared(benchmark::State &state)
{
    LookupDatabase &d = lookupDatabase(int(state.range(0)));
    const std::vector<int> ids = lookupIds(d.size, kLookupKeys);
    size_t i = 0;
    for (auto _ : state) {
        const int id = ids[i++ % ids.size()];
        const std::string sql = "SELECT * FROM t_MeasureUnit WHERE (FNumber='U" + std::to_string(id)
            + "' AND FUnitGroupID=" + std::to_string(id % 50) + ") ORDER BY FMeasureUnitID";
        Stmt stmt(d.raw, sql.c_str());
        if (readAll(stmt).size() != 1)
            die(QStringLiteral("unprepared floor lookup found no row"));
    }
}

// What the lookups cost before: the whole table read, then filtered in memory.
void BM_UnitLookupWholeTable(benchmark::State &state)
{
    LookupDatabase &d = lookupDatabase(int(state.range(0)));
    const std::vector<int> ids = lookupIds(d.size, kLookupKeys);
    size_t i = 0;
    for (auto _ : state) {
        RecordsetPtr rs = d.cnn->Execute(QStringLiteral("SELECT * FROM t_MeasureUnit"));
        rs->setFilter(lookupKey(Unit, ids[i++ % ids.size()]));
        if (rs->RecordCount() != 1)
            die(QStringLiteral("whole-table lookup found no row"));
    }
}

void saveArgs(benchmark::internal::Benchmark *b)
{
    b->ArgNames({"lines", "million_items"});
    for (int items : {0, 1})
        for (int lines : {10, 1000, 10000})
            b->Args({lines, items});
    b->Unit(benchmark::kMillisecond);
}

void lookupArgs(benchmark::internal::Benchmark *b)
{
    b->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
}

} // namespace

// Loads and saves: the arguments (lines, million_items) pick the BOM; one
// iteration is one call. BM_Load: BOM::GetMoreInfo of the BOM into an empty 19-column child grid (header and
// line queries, every cell, lock and number format, the fingerprint); making
// and freeing the grid is not timed.
BENCHMARK(BM_Load)->Apply(saveArgs);
// BM_LoadFloor: the same two load queries, prepared once with the id bound, stepped through
// the raw C API with every column of every row copied out.
BENCHMARK(BM_LoadFloor)->Apply(saveArgs);
// BM_Add: BOM::Add of the loaded BOM under a new number: header insert, its key, the
// line inserts, commit; deleting the added BOM afterwards is not timed.
BENCHMARK(BM_Add)->Apply(saveArgs);
// BM_AddFloor: the same header insert and line inserts in one transaction through the raw
// C API, statements prepared once, values bound; the clean-up not timed.
BENCHMARK(BM_AddFloor)->Apply(saveArgs);
// BM_Update: BOM::Update of the loaded BOM as the editor saves it: rights check, the
// stored BOM read again and compared, header update, line delete and inserts,
// commit.
BENCHMARK(BM_Update)->Apply(saveArgs);
// BM_UpdateUncompared: the same Update with nothing to compare (a fresh BOM object each time, not
// loaded): the comparison's cost is BM_Update's time less this one's.
BENCHMARK(BM_UpdateUncompared)->Apply(saveArgs);
// BM_UpdateFloor: the header update, line delete and line inserts in one
// transaction through the raw C API, statements prepared once, values bound.
BENCHMARK(BM_UpdateFloor)->Apply(saveArgs);
// BM_Lookup: one lookup per call (GetInfo, GetUnitInfo, GetAuxPropInfo,
// GetReplaceClassInfo) of a key that finds one row, over tables of 1,000,
// 100,000 and 1,000,000 rows; the keys cycle through 1,024 drawn once.
BENCHMARK_TEMPLATE(BM_Lookup, Info)->Apply(lookupArgs);
// BM_LookupFloor, beside each: the same query prepared once, the key bound,
// its row copied out.
BENCHMARK_TEMPLATE(BM_LookupFloor, Info)->Apply(lookupArgs);
BENCHMARK_TEMPLATE(BM_Lookup, Unit)->Apply(lookupArgs);
BENCHMARK_TEMPLATE(BM_LookupFloor, Unit)->Apply(lookupArgs);
BENCHMARK_TEMPLATE(BM_Lookup, AuxProp)->Apply(lookupArgs);
BENCHMARK_TEMPLATE(BM_LookupFloor, AuxProp)->Apply(lookupArgs);
BENCHMARK_TEMPLATE(BM_Lookup, ReplaceClass)->Apply(lookupArgs);
BENCHMARK_TEMPLATE(BM_LookupFloor, ReplaceClass)->Apply(lookupArgs);
// The unit lookup's floor with the statement prepared on every call.
BENCHMARK(BM_UnitLookupFloorUnprepared)->Apply(lookupArgs);
// The unit lookup as it was: the whole unit table read, then filtered in memory.
BENCHMARK(BM_UnitLookupWholeTable)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runDataBenchmarks(argc, argv);
}
