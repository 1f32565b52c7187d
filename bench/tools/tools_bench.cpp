// The planner's tools at scale. Import: a CSV file of 10,000 BOMs of 20 lines
// (200,000 rows) read, checked against the master data and written in one
// transaction, into a database with 10,000 items and no BOMs; its floor
// inserts the same 10,000 headers and 200,000 lines with their ids already
// known, one prepared statement per table bound row by row (SQLite's C API;
// on PostgreSQL libpq in pipeline mode, synced every 1,000 rows), in one
// transaction, with nothing read or checked. Export: those BOMs written back
// to CSV in memory. Where-used: one item's uses among 10,000 BOMs of 20 lines
// over 1,000,000 items (SQLite), a plain child and a substitute-class member.
//
// PostgreSQL runs when TORVEL_BENCH_PG or TORVEL_TEST_PG names a server
// (postgresql://user@host:port/dbname); the bench works in a schema of its
// own and drops it at the end.

#include "benchsupport.h"
#include "sqlitefloor.h"

#include "hostdb/hostdb.h"
#include "services/db/recordset.h"
#include "tools/bomtools.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <string>
#include <vector>

using namespace torvel;
using namespace torvel::host;
using namespace torvel::bench;

namespace {

constexpr int kItems = 10000;
constexpr int kBoms = 10000;
constexpr int kLines = 20;

// Items S.1 .. S.10000 as the scale generator makes them: every tenth (S.1,
// S.11, ...) an assembly, the rest children; unit 1 (个) throughout. BOM b
// heads an assembly and takes 20 distinct children from a block that moves
// with b.
int parentOf(int b)
{
    return 1 + 10 * (b % (kItems / 10));
}
int childOf(int b, int l)
{
    return 1 + 10 * ((b + l) % (kItems / 10)) + 1 + l % 9;
}
double qtyOf(int l)
{
    return 1 + l % 5;
}
double scrapOf(int l)
{
    return (l % 3) / 100.0;
}

QByteArray importFile()
{
    QByteArray csv = "\xEF\xBB\xBF" + csvHeader().join(u',').toUtf8() + "\r\n";
    for (int b = 0; b < kBoms; ++b) {
        const QByteArray head = "IMP-" + QByteArray::number(b) + ",导入测试" + QByteArray::number(b) + ",使用,S."
            + QByteArray::number(parentOf(b)) + ",,,S.";
        for (int l = 0; l < kLines; ++l)
            csv += head + QByteArray::number(childOf(b, l)) + ",,个," + QByteArray::number(qtyOf(l)) + ','
                + QByteArray::number(scrapOf(l) * 100) + ",\r\n";
    }
    return csv;
}

const QByteArray &file()
{
    static const QByteArray data = importFile();
    return data;
}

void prepare(Connection &c)
{
    createSchema(c);
    generateScaleData(c, kItems, 0, 0);
    c.Execute(QStringLiteral("INSERT INTO COM_Bom_Group(FNumber,FName,FParentID) VALUES ('IMP','导入',0)"));
}

int32_t group(Connection &c)
{
    return c.Execute(QStringLiteral("SELECT FBOMGroupID FROM COM_BOM_Group WHERE FNumber='IMP'"))->Fields(0).toInt32();
}

void clear(Connection &c)
{
    c.Execute(QStringLiteral("DELETE FROM COM_BOM_Child"));
    c.Execute(QStringLiteral("DELETE FROM COM_BOM"));
}

void timeImport(benchmark::State &state, Connection &c)
{
    const ImportOptions options{false, group(c), {}};
    for (auto _ : state) {
        state.PauseTiming();
        clear(c);
        state.ResumeTiming();
        const ImportResult r = importBoms(c, file(), options);
        if (!r.ok() || r.lines != kBoms * kLines)
            die(QStringLiteral("the import wrote %1 lines: %2")
                    .arg(r.lines)
                    .arg(r.issues.empty() ? QString() : r.issues.front().text()));
    }
    state.SetItemsProcessed(state.iterations() * kBoms * kLines);
}

void timeExport(benchmark::State &state, Connection &c)
{
    if (c.Execute(QStringLiteral("SELECT Count(*) FROM COM_BOM_Child"))->Fields(0).toInt32() != kBoms * kLines) {
        clear(c);
        importBoms(c, file(), {false, group(c), {}});
    }
    for (auto _ : state) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        if (exportBoms(c, {}, out) != kBoms * kLines)
            die(QStringLiteral("the export missed rows"));
        benchmark::DoNotOptimize(out.data().size());
    }
    state.SetItemsProcessed(state.iterations() * kBoms * kLines);
}

// ---------------------------------------------------------------------------
// SQLite

const QString &sqlitePath()
{
    static const QString path = [] {
        const QString p = tempDir().filePath(QStringLiteral("tools.db"));
        ConnectionPtr c = Connection::open(p);
        prepare(*c);
        return p;
    }();
    return path;
}

void BM_Import_Sqlite(benchmark::State &state)
{
    ConnectionPtr c = Connection::open(sqlitePath());
    timeImport(state, *c);
}

void BM_ImportFloor_Sqlite(benchmark::State &state)
{
    ConnectionPtr c = Connection::open(sqlitePath());
    const int32_t g = group(*c);
    sqlite3 *db = rawOpen(sqlitePath());
    {
        const Stmt bom(db, "INSERT INTO COM_BOM(FBOMID,FBOMNumber,FBOMName,FBOMGroupID,FItemID,FAuxPropID,FMeasureUnitID,"
                           "FStatus) VALUES (?,?,?,?,?,0,1,0)");
        const Stmt line(db, "INSERT INTO COM_BOM_Child(FBOMEntryID,FBOMID,FReplaceClassID,FItemID,FAuxPropID,"
                            "FMeasureUnitID,FQty,FScrap,FRemark) VALUES (?,?,0,?,0,1,?,?,'')");
        for (auto _ : state) {
            state.PauseTiming();
            clear(*c);
            state.ResumeTiming();
            rawExec(db, "BEGIN");
            for (int b = 0; b < kBoms; ++b) {
                const std::string number = "IMP-" + std::to_string(b);
                const std::string name = "导入测试" + std::to_string(b);
                sqlite3_bind_int(bom.get(), 1, b + 1);
                sqlite3_bind_text(bom.get(), 2, number.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(bom.get(), 3, name.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int(bom.get(), 4, g);
                sqlite3_bind_int(bom.get(), 5, parentOf(b));
                bom.done();
                for (int l = 0; l < kLines; ++l) {
                    sqlite3_bind_int(line.get(), 1, l + 1);
                    sqlite3_bind_int(line.get(), 2, b + 1);
                    sqlite3_bind_int(line.get(), 3, childOf(b, l));
                    sqlite3_bind_double(line.get(), 4, qtyOf(l));
                    sqlite3_bind_double(line.get(), 5, scrapOf(l));
                    line.done();
                }
            }
            rawExec(db, "COMMIT");
        }
    }
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kBoms * kLines);
}

void BM_Export_Sqlite(benchmark::State &state)
{
    ConnectionPtr c = Connection::open(sqlitePath());
    timeExport(state, *c);
}

// The where-used database: 1,000,000 items, 10,000 BOMs of 20 lines, and a
// substitute class of ten items that every tenth BOM names on its last line.
// Kept between runs under $TORVEL_BENCH_CACHE, else /tmp, by this version.
constexpr const char *kScaleVersion = "tools-v2";

QString scaleDatabase()
{
    const QString folder = cacheFolder(QStringLiteral("/tmp/torvel-tools-bench"), kScaleVersion);
    const QString path = folder + QStringLiteral("/scale.db");
    if (!QFileInfo::exists(path)) {
        const QString building = path + QStringLiteral(".part");
        QFile::remove(building);
        ConnectionPtr c = Connection::open(building);
        createSchema(*c);
        generateScaleData(*c, 1000000, 10000, 20);
        c->Execute(QStringLiteral("INSERT INTO COM_SysType(FSysTypeID,FNumber,FName,FClassID) VALUES (1,'R1','类',480)"));
        c->Execute(QStringLiteral("UPDATE COM_Item SET FReplaceClassID=1 WHERE FItemID BETWEEN 500001 AND 500010"));
        c->Execute(QStringLiteral("UPDATE COM_BOM_Child SET FReplaceClassID=1, FItemID=0 WHERE FBOMEntryID=20 AND FBOMID % 10 = 0"));
        c->Close();
        if (!QFile::rename(building, path))
            die(QStringLiteral("cannot write ") + path);
    }
    return path;
}

void timeWhereUsed(benchmark::State &state, const QString &code)
{
    ConnectionPtr c = Connection::open(scaleDatabase());
    for (auto _ : state) {
        const WhereUsed r = whereUsed(*c, code);
        if (r.itemId == 0)
            die(QStringLiteral("no item ") + code);
        benchmark::DoNotOptimize(r.uses.size());
    }
}

// The item the most lines name, and a class member.
void BM_WhereUsed_Child_1MItems(benchmark::State &state)
{
    static const QString code = [] {
        ConnectionPtr c = Connection::open(scaleDatabase());
        const int32_t id = c->Execute(QStringLiteral("SELECT FItemID FROM COM_BOM_Child WHERE FItemID<>0 GROUP BY FItemID "
                                                     "ORDER BY Count(*) DESC LIMIT 1"))
                               ->Fields(0)
                               .toInt32();
        return QStringLiteral("S.%1").arg(id);
    }();
    timeWhereUsed(state, code);
}

void BM_WhereUsed_ClassMember_1MItems(benchmark::State &state)
{
    timeWhereUsed(state, QStringLiteral("S.500005"));
}

// ---------------------------------------------------------------------------
// PostgreSQL

QString server()
{
    QString s = qEnvironmentVariable("TORVEL_BENCH_PG");
    if (s.isEmpty())
        s = qEnvironmentVariable("TORVEL_TEST_PG");
    return s;
}

const QString &schema()
{
    static const QString name = QStringLiteral("torvel_tools_bench_%1").arg(QCoreApplication::applicationPid());
    return name;
}

const QString &pgConnectionString()
{
    static const QString s = [] {
        {
            ConnectionPtr admin = Connection::open(server());
            admin->Execute(QStringLiteral("DROP SCHEMA IF EXISTS ") + schema() + QStringLiteral(" CASCADE"));
            admin->Execute(QStringLiteral("CREATE SCHEMA ") + schema());
        }
        const QString cs = server() + QStringLiteral("?search_path=") + schema() + QStringLiteral(",public");
        ConnectionPtr c = Connection::open(cs);
        prepare(*c);
        return cs;
    }();
    return s;
}

void BM_Import_Postgres(benchmark::State &state)
{
    ConnectionPtr c = Connection::open(pgConnectionString());
    timeImport(state, *c);
}

void BM_Export_Postgres(benchmark::State &state)
{
    ConnectionPtr c = Connection::open(pgConnectionString());
    timeExport(state, *c);
}

class Pq
{
public:
    Pq()
    {
        const QUrl url(server());
        const QString info = QStringLiteral("host=%1 port=%2 user=%3 dbname=%4 options='-c search_path=%5,public'")
                                 .arg(url.host())
                                 .arg(url.port(5432))
                                 .arg(url.userName())
                                 .arg(url.path().mid(1))
                                 .arg(schema());
        m_conn = PQconnectdb(info.toUtf8().constData());
        if (PQstatus(m_conn) != CONNECTION_OK)
            die(QString::fromUtf8(PQerrorMessage(m_conn)));
    }
    ~Pq() { PQfinish(m_conn); }
    Pq(const Pq &) = delete;
    Pq &operator=(const Pq &) = delete;

    void exec(const char *sql)
    {
        PGresult *r = PQexec(m_conn, sql);
        if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK)
            die(QString::fromUtf8(PQresultErrorMessage(r)));
        PQclear(r);
    }
    void prepare(const char *name, const char *sql)
    {
        PGresult *r = PQprepare(m_conn, name, sql, 0, nullptr);
        if (PQresultStatus(r) != PGRES_COMMAND_OK)
            die(QString::fromUtf8(PQresultErrorMessage(r)));
        PQclear(r);
    }
    // Queued; every 1,000 rows the queue is synced and its results read.
    void send(const char *name, const std::vector<std::string> &values)
    {
        std::vector<const char *> p;
        for (const std::string &v : values)
            p.push_back(v.c_str());
        if (!PQsendQueryPrepared(m_conn, name, int(p.size()), p.data(), nullptr, nullptr, 0))
            die(QString::fromUtf8(PQerrorMessage(m_conn)));
        if (++m_queued == 1000)
            sync();
    }
    void beginPipeline()
    {
        if (!PQenterPipelineMode(m_conn))
            die(QStringLiteral("no pipeline mode"));
    }
    void endPipeline()
    {
        sync();
        if (!PQexitPipelineMode(m_conn))
            die(QString::fromUtf8(PQerrorMessage(m_conn)));
    }

private:
    void sync()
    {
        if (!PQpipelineSync(m_conn))
            die(QString::fromUtf8(PQerrorMessage(m_conn)));
        for (;;) {
            PGresult *r = PQgetResult(m_conn);
            if (!r)
                continue;
            const ExecStatusType status = PQresultStatus(r);
            PQclear(r);
            if (status == PGRES_PIPELINE_SYNC)
                break;
            if (status != PGRES_COMMAND_OK)
                die(QString::fromUtf8(PQerrorMessage(m_conn)));
        }
        m_queued = 0;
    }

    PGconn *m_conn = nullptr;
    int m_queued = 0;
};

void BM_ImportFloor_Postgres(benchmark::State &state)
{
    ConnectionPtr c = Connection::open(pgConnectionString());
    const std::string g = std::to_string(group(*c));
    Pq pq;
    pq.prepare("bom", "INSERT INTO COM_BOM(FBOMID,FBOMNumber,FBOMName,FBOMGroupID,FItemID,FAuxPropID,FMeasureUnitID,"
                      "FStatus) VALUES ($1,$2,$3,$4,$5,0,1,0)");
    pq.prepare("line", "INSERT INTO COM_BOM_Child(FBOMEntryID,FBOMID,FReplaceClassID,FItemID,FAuxPropID,FMeasureUnitID,"
                       "FQty,FScrap,FRemark) VALUES ($1,$2,0,$3,0,1,$4,$5,'')");
    int32_t next = 1;
    for (auto _ : state) {
        state.PauseTiming();
        clear(*c);
        // Keys past any the sequence handed out, as a server import would take.
        next = c->Execute(QStringLiteral("SELECT nextval(pg_get_serial_sequence('com_bom','fbomid'))"))->Fields(0).toInt32() + 1;
        state.ResumeTiming();
        pq.exec("BEGIN");
        pq.beginPipeline();
        for (int b = 0; b < kBoms; ++b) {
            const std::string id = std::to_string(next + b);
            pq.send("bom", {id, "IMP-" + std::to_string(b), "导入测试" + std::to_string(b), g, std::to_string(parentOf(b))});
            for (int l = 0; l < kLines; ++l)
                pq.send("line", {std::to_string(l + 1), id, std::to_string(childOf(b, l)), std::to_string(qtyOf(l)),
                                 std::to_string(scrapOf(l))});
        }
        pq.endPipeline();
        pq.exec("COMMIT");
    }
    state.SetItemsProcessed(state.iterations() * kBoms * kLines);
}

void dropSchema()
{
    if (server().isEmpty())
        return;
    ConnectionPtr admin = Connection::open(server());
    admin->Execute(QStringLiteral("DROP SCHEMA IF EXISTS ") + schema() + QStringLiteral(" CASCADE"));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const auto ms = benchmark::kMillisecond;
    // Wall time, one call per iteration. Import: importBoms of the 200,000-row
    // file into the emptied tables (emptying them not timed); ImportFloor: the
    // same rows inserted raw (see the top of this file); Export: exportBoms of
    // every BOM into memory; WhereUsed: whereUsed of one code on the
    // 1,000,000-item database.
    benchmark::RegisterBenchmark("BM_Import_Sqlite", BM_Import_Sqlite)->Unit(ms)->UseRealTime()->Iterations(3);
    benchmark::RegisterBenchmark("BM_ImportFloor_Sqlite", BM_ImportFloor_Sqlite)->Unit(ms)->UseRealTime()->Iterations(3);
    benchmark::RegisterBenchmark("BM_Export_Sqlite", BM_Export_Sqlite)->Unit(ms)->UseRealTime()->Iterations(3);
    benchmark::RegisterBenchmark("BM_WhereUsed_Child_1MItems", BM_WhereUsed_Child_1MItems)->Unit(ms)->UseRealTime();
    benchmark::RegisterBenchmark("BM_WhereUsed_ClassMember_1MItems", BM_WhereUsed_ClassMember_1MItems)->Unit(ms)->UseRealTime();
    if (!server().isEmpty()) {
        benchmark::RegisterBenchmark("BM_Import_Postgres", BM_Import_Postgres)->Unit(ms)->UseRealTime()->Iterations(3);
        benchmark::RegisterBenchmark("BM_ImportFloor_Postgres", BM_ImportFloor_Postgres)->Unit(ms)->UseRealTime()->Iterations(3);
        benchmark::RegisterBenchmark("BM_Export_Postgres", BM_Export_Postgres)->Unit(ms)->UseRealTime()->Iterations(3);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    dropSchema();
    return 0;
}
