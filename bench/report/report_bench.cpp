// The stock report at scale: sp_COM_BOM_Stock for a BOM of 1,000 children
// over 20 warehouses against 1,000,000 stock movements beside the same query
// run raw through the SQLite C API; CalcKitQty on 10,000 and 100,000 rows;
// and frmBOMReport from construction to its first paint. The database is
// built once and kept between runs in $TORVEL_BENCH_CACHE (default
// /tmp/torvel-report-bench). BM_Pg* do the procedure and its raw query on
// PostgreSQL (select them with --benchmark_filter=Pg; they need a server).

#include "benchsupport.h"

#include "hostdb/hostdb.h"
#include "profile/sysprofile.h"
#include "services/db/recordset.h"
#include "state/callstate.h"
#include "ui/report/frmbomreport.h"
#include "ui/report/reportdata.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

using namespace torvel;
using namespace torvel::bench;

namespace {

constexpr int kChildren = 1000;
constexpr int kWarehouses = 20;
constexpr int kMoves = 1000000;
constexpr int kYear = 2026;
constexpr int kPeriod = 3;
const char *const kDataVersion = "v1";

double ole(int y, int m, int d)
{
    return double(QDate(1899, 12, 30).daysTo(QDate(y, m, d)));
}
const double kStart = ole(kYear, kPeriod, 1);
const double kNote = ole(kYear, kPeriod, 20);

void rawExec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK)
        die(QString::fromUtf8(error ? error : "sqlite3_exec"));
}

// Items 101.. with 20 warehouses each, one BOM over all of them, the
// period's opening balances and a million movements spread over two years
// (about 2.7% of them fall between the start and the note date).
void buildDatabase(const QString &path)
{
    const QString building = path + QStringLiteral(".building");
    QFile::remove(building);
    {
        ConnectionPtr cnn = Connection::open(QStringLiteral("sqlite:") + building);
        host::createSchema(*cnn);
        cnn->Close();
    }
    sqlite3 *db = nullptr;
    if (sqlite3_open(building.toUtf8().constData(), &db) != SQLITE_OK)
        die(QStringLiteral("cannot open ") + building);
    const QByteArray script = QStringLiteral(R"(
BEGIN;
INSERT INTO t_MeasureUnit(FMeasureUnitID,FItemID,FNumber,FName,FUnitGroupID,FCoefficient) VALUES (1,1,'01','个',1,1),(2,2,'02','盒',1,10);
INSERT INTO t_Item(FItemID,FNumber,FName,FDetail,FShortNumber,FItemClassID) VALUES (0,'','',0,'',0),(100,'8.0001','整机',1,'',4);
INSERT INTO COM_Item(FItemID,FModel,FUnitGroupID,FBaseUnitID,FQtyScale,FIsBOM) VALUES (100,'B1',1,1,0,1);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<%1)
INSERT INTO t_Item(FItemID,FNumber,FName,FDetail,FShortNumber,FItemClassID) SELECT 100+i, '9.' || substr('0000' || i, -5), '部件'||i, 1, '', 4 FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<%1)
INSERT INTO COM_Item(FItemID,FModel,FUnitGroupID,FBaseUnitID,FQtyScale) SELECT 100+i, 'M'||i, 1, 1, 2 FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<%2)
INSERT INTO COM_Stock(FStockID,FNumber,FName) SELECT i, substr('0' || i, -2), '仓库'||i FROM n;
INSERT INTO COM_BOM(FBOMID,FBOMNumber,FBOMName,FBOMGroupID,FItemID,FAuxPropID,FMeasureUnitID,FStatus) VALUES (1,'BENCH','bench',0,100,0,1,0);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<%1)
INSERT INTO COM_BOM_Child(FBOMEntryID,FBOMID,FReplaceClassID,FItemID,FAuxPropID,FMeasureUnitID,FQty,FScrap,FRemark)
SELECT i, 1, 0, 100+i, 0, 1, 1 + i % 3, 0, '' FROM n;
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i<%1*%2-1)
INSERT INTO COM_StockBalance(FItemID,FYear,FPeriod,FAuxPropID,FStockID,FQty)
SELECT 101 + i / %2, %4, %5, 0, 1 + i % %2, 100 + i % 47 FROM n;
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i<%3-1)
INSERT INTO COM_StockMove(FDate,FItemID,FAuxPropID,FStockID,FMeasureUnitID,FQty)
SELECT date('2025-06-01', '+' || (i % 730) || ' days'), 101 + i % %1, 0, 1 + (i / %1) % %2, 1 + (i % 7 = 0), (i % 11) - 5 FROM n;
COMMIT;
)")
                                 .arg(kChildren)
                                 .arg(kWarehouses)
                                 .arg(kMoves)
                                 .arg(kYear)
                                 .arg(kPeriod)
                                 .toUtf8();
    rawExec(db, script.constData());
    sqlite3_close(db);
    if (!QFile::rename(building, path))
        die(QStringLiteral("cannot create ") + path);
}

const QString &databasePath()
{
    static const QString path = [] {
        const QString dir = cacheFolder(QStringLiteral("/tmp/torvel-report-bench"), kDataVersion);
        const QString file = dir + QStringLiteral("/stock.db");
        if (!QFileInfo::exists(file))
            buildDatabase(file);
        return file;
    }();
    return path;
}

ConnectionPtr &connection()
{
    static ConnectionPtr cnn = [] {
        host::registerHostProcedures();
        return Connection::open(QStringLiteral("sqlite:") + databasePath());
    }();
    return cnn;
}

void BM_StockProcedure(benchmark::State &state)
{
    Connection &cnn = *connection();
    const QString call = stockCallText(kYear, kPeriod, 1, kStart, kNote);
    for (auto _ : state) {
        const RecordsetPtr rs = cnn.Execute(call);
        if (rs->RecordCount() != kChildren * kWarehouses)
            die(QStringLiteral("the procedure gave %1 rows").arg(rs->RecordCount()));
        benchmark::DoNotOptimize(rs);
    }
}
// One call of sp_COM_BOM_Stock through the connection (20,000 rows into a
// record set) for the 1,000-child BOM over 1,000,000 movements.
BENCHMARK(BM_StockProcedure)->Unit(benchmark::kMillisecond)->MinTime(2);

// The procedure's own query, prepared and stepped with the C API, every
// column read.
void BM_StockQueryRaw(benchmark::State &state)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        die(QStringLiteral("cannot open the database"));
    const QByteArray sql = host::stockQueryText(kYear, kPeriod, 1, kStart, kNote).toUtf8();
    for (auto _ : state) {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK)
            die(QString::fromUtf8(sqlite3_errmsg(db)));
        int rows = 0;
        double sum = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < 16; ++c) {
                if (sqlite3_column_type(stmt, c) == SQLITE_TEXT)
                    sum += sqlite3_column_bytes(stmt, c);
                else
                    sum += sqlite3_column_double(stmt, c);
            }
            ++rows;
        }
        sqlite3_finalize(stmt);
        if (rows != kChildren * kWarehouses)
            die(QStringLiteral("the raw query gave %1 rows").arg(rows));
        benchmark::DoNotOptimize(sum);
    }
    sqlite3_close(db);
}
BENCHMARK(BM_StockQueryRaw)->Unit(benchmark::kMillisecond)->MinTime(2);

// Groups of one to five rows, a substitute class every third group.
void BM_CalcKitQty(benchmark::State &state)
{
    BomReport report;
    const int rows = int(state.range(0));
    for (int r = 0, group = 0; r < rows; ++group) {
        const int size = 1 + group % 5;
        for (int k = 0; k < size && r < rows; ++k, ++r) {
            QStringList row(reportcol::Count);
            row[reportcol::ClassID] = group % 3 == 0 ? QString::number(group) : QStringLiteral("0");
            row[reportcol::ItemID] = QString::number(group % 3 == 0 ? r : group);
            row[reportcol::Usage] = QStringLiteral("2.5");
            row[reportcol::Stock] = QStringLiteral("1,%1.25").arg(100 + r % 900);
            report.rows.push_back(row);
        }
    }
    for (auto _ : state) {
        CalcKitQty(report, rows);
        benchmark::DoNotOptimize(report.kitQty);
    }
    state.SetComplexityN(rows);
}
// One CalcKitQty over 10,000 and 100,000 report rows.
BENCHMARK(BM_CalcKitQty)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// From constructing the form (profile, period, header, procedure, kit
// quantity) to its first paint, 20,000 rows.
void BM_ReportOpenToFirstPaint(benchmark::State &state)
{
    gAdoCnn = connection();
    // The period the data is for.
    gAdoCnn->Execute(QStringLiteral("DELETE FROM t_SystemProfile"));
    gAdoCnn->Execute(QStringLiteral("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES ('COM','CurrentYear','%1')").arg(kYear));
    gAdoCnn->Execute(QStringLiteral("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES ('COM','CurrentPeriod','%1')").arg(kPeriod));
    for (auto _ : state) {
        gBomID = 1;
        gNoteDate = kNote;
        FrmBomReport form;
        form.show();
        const QPixmap shot = form.grab();
        if (form.report().rows.size() != size_t(kChildren * kWarehouses) || shot.isNull())
            die(QStringLiteral("the report shows %1 rows").arg(form.report().rows.size()));
    }
}
BENCHMARK(BM_ReportOpenToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);


// ---------------------------------------------------------------------------
// PostgreSQL, when TORVEL_BENCH_PG (else TORVEL_TEST_PG) names a server: the
// same data in the schema torvel_report_bench, built once and kept.

const char *const kPgSchema = "torvel_report_bench";

void pgRun(Connection &cnn, const QString &sql)
{
    // Straight to the server: the bulk inserts need none of the dialect's rewrites.
    QSqlQuery q(cnn.database());
    if (!q.exec(sql))
        die(q.lastError().text());
}

QString pgServer()
{
    const QString server = qEnvironmentVariable("TORVEL_BENCH_PG");
    return server.isEmpty() ? qEnvironmentVariable("TORVEL_TEST_PG") : server;
}

ConnectionPtr &pgConnection()
{
    static ConnectionPtr cnn = [] {
        const QString server = pgServer();
        {
            ConnectionPtr admin = Connection::open(server);
            pgRun(*admin, QStringLiteral("CREATE SCHEMA IF NOT EXISTS %1").arg(QLatin1String(kPgSchema)));
            admin->Close();
        }
        ConnectionPtr c = Connection::open(server + QStringLiteral("?search_path=%1,public").arg(QLatin1String(kPgSchema)));
        // Qualified: the database's own host tables in public must not count.
        if (c->Execute(QStringLiteral("SELECT to_regclass('%1.com_stockmove') IS NULL").arg(QLatin1String(kPgSchema)))
                ->Fields(0).toBool()) {
            host::createSchema(*c);
            const QString script = QStringLiteral(R"(
INSERT INTO t_MeasureUnit(FMeasureUnitID,FItemID,FNumber,FName,FUnitGroupID,FCoefficient) VALUES (1,1,'01','个',1,1),(2,2,'02','盒',1,10);
INSERT INTO t_Item(FItemID,FNumber,FName,FDetail,FShortNumber,FItemClassID) VALUES (0,'','',0,'',0),(100,'8.0001','整机',1,'',4);
INSERT INTO COM_Item(FItemID,FModel,FUnitGroupID,FBaseUnitID,FQtyScale,FIsBOM) VALUES (100,'B1',1,1,0,1);
INSERT INTO t_Item(FItemID,FNumber,FName,FDetail,FShortNumber,FItemClassID) SELECT 100+i, '9.' || lpad(i::text, 5, '0'), '部件' || i, 1, '', 4 FROM generate_series(1, %1) i;
INSERT INTO COM_Item(FItemID,FModel,FUnitGroupID,FBaseUnitID,FQtyScale) SELECT 100+i, 'M' || i, 1, 1, 2 FROM generate_series(1, %1) i;
INSERT INTO COM_Stock(FStockID,FNumber,FName) SELECT i, lpad(i::text, 2, '0'), '仓库' || i FROM generate_series(1, %2) i;
INSERT INTO COM_BOM(FBOMID,FBOMNumber,FBOMName,FBOMGroupID,FItemID,FAuxPropID,FMeasureUnitID,FStatus) VALUES (1,'BENCH','bench',0,100,0,1,0);
INSERT INTO COM_BOM_Child(FBOMEntryID,FBOMID,FReplaceClassID,FItemID,FAuxPropID,FMeasureUnitID,FQty,FScrap,FRemark) SELECT i, 1, 0, 100+i, 0, 1, 1 + i % 3, 0, '' FROM generate_series(1, %1) i;
INSERT INTO COM_StockBalance(FItemID,FYear,FPeriod,FAuxPropID,FStockID,FQty) SELECT 101 + i / %2, %4, %5, 0, 1 + i % %2, 100 + i % 47 FROM generate_series(0, %1 * %2 - 1) i;
INSERT INTO COM_StockMove(FDate,FItemID,FAuxPropID,FStockID,FMeasureUnitID,FQty) SELECT date '2025-06-01' + (i % 730), 101 + i % %1, 0, 1 + (i / %1) % %2, 1 + (i % 7 = 0)::int, (i % 11) - 5 FROM generate_series(0, %3 - 1) i;
ANALYZE)")
                                       .arg(kChildren)
                                       .arg(kWarehouses)
                                       .arg(kMoves)
                                       .arg(kYear)
                                       .arg(kPeriod);
            for (const QString &statement : script.split(QLatin1Char(';')))
                if (!statement.trimmed().isEmpty())
                    pgRun(*c, statement);
        }
        return c;
    }();
    return cnn;
}

void BM_PgStockProcedure(benchmark::State &state)
{
    if (pgServer().isEmpty()) {
        state.SkipWithError("set TORVEL_BENCH_PG or TORVEL_TEST_PG");
        return;
    }
    Connection &cnn = *pgConnection();
    const QString call = stockCallText(kYear, kPeriod, 1, kStart, kNote);
    for (auto _ : state) {
        const RecordsetPtr rs = cnn.Execute(call);
        if (rs->RecordCount() != kChildren * kWarehouses)
            die(QStringLiteral("the procedure gave %1 rows").arg(rs->RecordCount()));
    }
}
// Wall time of one call of the PL/pgSQL sp_COM_BOM_Stock through the
// connection, 20,000 rows into a record set.
BENCHMARK(BM_PgStockProcedure)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

// The function's own query, its arguments written in, sent as a statement.
void BM_PgStockQueryRaw(benchmark::State &state)
{
    if (pgServer().isEmpty()) {
        state.SkipWithError("set TORVEL_BENCH_PG or TORVEL_TEST_PG");
        return;
    }
    Connection &cnn = *pgConnection();
    QString body;
    for (const QString &statement : host::schemaStatements(cnn)) {
        if (statement.contains(QLatin1String("FUNCTION sp_COM_BOM_Stock"))) {
            const qsizetype from = statement.indexOf(QLatin1String("RETURN QUERY")) + 12;
            body = statement.mid(from, statement.lastIndexOf(QLatin1Char(';')) - from);
        }
    }
    const std::pair<const char *, QString> args[] = {
        {"pYear", QString::number(kYear)}, {"pPeriod", QString::number(kPeriod)}, {"pBomID", QStringLiteral("1")},
        {"pStartDate", QStringLiteral("'2026-03-01'::timestamp")}, {"pNoteDate", QStringLiteral("'2026-03-20'::timestamp")}};
    for (const auto &[name, value] : args)
        body.replace(QRegularExpression(QStringLiteral("\\b%1\\b").arg(QLatin1String(name))), value);
    for (auto _ : state) {
        QSqlQuery q(cnn.database());
        q.setForwardOnly(true);
        if (!q.exec(body))
            die(q.lastError().text());
        int rows = 0;
        while (q.next()) {
            for (int c = 0; c < 16; ++c)
                benchmark::DoNotOptimize(q.value(c));
            ++rows;
        }
        if (rows != kChildren * kWarehouses)
            die(QStringLiteral("the raw query gave %1 rows").arg(rows));
    }
}
BENCHMARK(BM_PgStockQueryRaw)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

} // namespace

int main(int argc, char **argv)
{
    return runOffscreenBenchmarks(argc, argv);
}
