// The data layer on PostgreSQL over loopback against its floor: loading,
// adding and updating BOMs of 10, 1,000 and 10,000 lines, re-saving the
// completion of a 2,000-line BOM, and the item and unit lookups over 100,000
// rows. The floor sends the very statements the data layer sent (recorded
// through the statement hook) through libpq, in one transaction, with nothing
// in between: what remains is the server's work and the round trips.
//
// The server is TORVEL_BENCH_PG, else TORVEL_TEST_PG
// (postgresql://user@host:port/dbname); the bench works in a schema of its
// own and drops it at the end.

#include "benchdata.h"
#include "latencyproxy.h"

#include "bomdata/bom.h"
#include "hostdb/hostdb.h"
#include "services/db/recordset.h"
#include "bomdata/gridmodel.h"
#include "ui/complete/notes.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QUrl>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace torvel;
using namespace torvel::bench;

namespace {

QString server()
{
    QString s = qEnvironmentVariable("TORVEL_BENCH_PG");
    if (s.isEmpty())
        s = qEnvironmentVariable("TORVEL_TEST_PG");
    if (s.isEmpty())
        die(QStringLiteral("set TORVEL_BENCH_PG or TORVEL_TEST_PG to postgresql://user@host:port/dbname"));
    return s;
}

const QString &schema()
{
    static const QString name = QStringLiteral("torvel_bench_%1").arg(QCoreApplication::applicationPid());
    return name;
}

QString benchConnectionString()
{
    return server() + QStringLiteral("?search_path=") + schema() + QStringLiteral(",public");
}

// ---------------------------------------------------------------------------
// libpq, the floor

class Raw
{
public:
    Raw()
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
    ~Raw() { PQfinish(m_conn); }
    Raw(const Raw &) = delete;
    Raw &operator=(const Raw &) = delete;

    // Runs one statement and keeps its whole result, as a client reads it.
    int exec(const std::string &sql)
    {
        PGresult *r = PQexec(m_conn, sql.c_str());
        const ExecStatusType status = PQresultStatus(r);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            die(QString::fromUtf8(PQresultErrorMessage(r)) + QStringLiteral(" in ") + QString::fromStdString(sql));
        int rows = PQntuples(r);
        // Read every value, as the library's record set does.
        const int cols = PQnfields(r);
        size_t bytes = 0;
        for (int i = 0; i < rows; ++i)
            for (int c = 0; c < cols; ++c)
                bytes += size_t(PQgetlength(r, i, c));
        benchmark::DoNotOptimize(bytes);
        if (status == PGRES_COMMAND_OK)
            rows = std::atoi(PQcmdTuples(r));
        PQclear(r);
        return rows;
    }
    std::string value(const std::string &sql)
    {
        PGresult *r = PQexec(m_conn, sql.c_str());
        if (PQresultStatus(r) != PGRES_TUPLES_OK || PQntuples(r) < 1)
            die(QString::fromUtf8(PQresultErrorMessage(r)) + QStringLiteral(" in ") + QString::fromStdString(sql));
        std::string v = PQgetvalue(r, 0, 0);
        PQclear(r);
        return v;
    }

private:
    PGconn *m_conn = nullptr;
};

// ---------------------------------------------------------------------------
// The database: three BOMs of 10, 1,000 and 10,000 lines over 12,000 items,
// then units and system types for the lookups.

constexpr int kLookupRows = 100000;

struct Database
{
    ConnectionPtr cnn;
    std::unique_ptr<Raw> raw;
    std::map<int, int32_t> bomOfLines;
};

Database &database()
{
    static Database *db = [] {
        auto *d = new Database;
        {
            ConnectionPtr admin = Connection::open(server());
            admin->Execute(QStringLiteral("DROP SCHEMA IF EXISTS ") + schema() + QStringLiteral(" CASCADE"));
            admin->Execute(QStringLiteral("CREATE SCHEMA ") + schema());
        }
        d->cnn = Connection::open(benchConnectionString());
        host::createSchema(*d->cnn);
        for (int lines : {10, 100, 1000, 10000})
            d->bomOfLines[lines] = addScaleBom(*d->cnn, lines == 10 ? kLookupRows : 12000, lines);
        d->raw = std::make_unique<Raw>();
        d->raw->exec("INSERT INTO t_MeasureUnit(FMeasureUnitID,FItemID,FNumber,FName,FUnitGroupID) "
                     "SELECT i, i, 'U' || i, '单位' || i, i % 50 FROM generate_series(2, " + std::to_string(kLookupRows + 1) + ") AS i");
        d->raw->exec("INSERT INTO COM_SysType(FSysTypeID,FNumber,FName,FClassID) "
                     "SELECT i, 'R' || (i / 2), '类' || i, CASE WHEN i % 2 = 0 THEN 480 ELSE 481 END "
                     "FROM generate_series(2, " + std::to_string(kLookupRows + 1) + ") AS i");
        d->raw->exec("ANALYZE");
        return d;
    }();
    return *db;
}

void dropDatabase()
{
    ConnectionPtr admin = Connection::open(server());
    admin->Execute(QStringLiteral("DROP SCHEMA IF EXISTS ") + schema() + QStringLiteral(" CASCADE"));
}

LoadedBom load(Database &d, int lines)
{
    return loadBom(*d.cnn, d.bomOfLines.at(lines));
}

// The statements one call sent, in order, as the server received them.
template<typename Call>
std::vector<std::string> recorded(Connection &cnn, Call call)
{
    std::vector<std::string> texts;
    cnn.setStatementHook([&texts](const QString &text) { texts.push_back(text.toStdString()); });
    call();
    cnn.setStatementHook(nullptr);
    for (std::string &t : texts) {
        if (t == "BEGIN TRANSACTION")
            t = "BEGIN";
        else if (t == "COMMIT TRANSACTION")
            t = "COMMIT";
    }
    return texts;
}

// ---------------------------------------------------------------------------
// Loading

void BM_PgLoad(benchmark::State &state)
{
    Database &d = database();
    timeLoad(state, *d.cnn, d.bomOfLines.at(int(state.range(0))));
}

void BM_PgLoadFloor(benchmark::State &state)
{
    Database &d = database();
    LoadedBom probe;
    probe.bom = std::make_unique<BOM>(*d.cnn);
    probe.bom->BomID = d.bomOfLines.at(int(state.range(0)));
    const std::vector<std::string> texts = recorded(*d.cnn, [&] { probe.bom->GetMoreInfo(*probe.grid); });
    for (auto _ : state) {
        for (const std::string &t : texts)
            d.raw->exec(t);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// ---------------------------------------------------------------------------
// Saving

void BM_PgUpdate(benchmark::State &state)
{
    Database &d = database();
    LoadedBom loaded = load(d, int(state.range(0)));
    timeUpdate(state, loaded);
}

void BM_PgUpdateUncompared(benchmark::State &state)
{
    Database &d = database();
    LoadedBom loaded = load(d, int(state.range(0)));
    timeUpdateUncompared(state, *d.cnn, loaded);
}

void BM_PgUpdateFloor(benchmark::State &state)
{
    Database &d = database();
    LoadedBom loaded = load(d, int(state.range(0)));
    BOM bom = uncompared(*d.cnn, *loaded.bom);
    const std::vector<std::string> texts = recorded(*d.cnn, [&] { bom.Update(*loaded.grid); });
    if (texts.size() != size_t(state.range(0)) + 4)
        die(QStringLiteral("update sent %1 statements").arg(texts.size()));
    for (auto _ : state) {
        for (const std::string &t : texts)
            d.raw->exec(t);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same statements with every line write in one text: the fewest round
// trips a client can make for this save (begin, header, lines, commit).
void BM_PgUpdatePipelinedFloor(benchmark::State &state)
{
    Database &d = database();
    LoadedBom loaded = load(d, int(state.range(0)));
    // Recorded uncompared, as the plain floor: the writes only.
    BOM bom = uncompared(*d.cnn, *loaded.bom);
    const std::vector<std::string> texts = recorded(*d.cnn, [&] { bom.Update(*loaded.grid); });
    if (texts.size() != size_t(state.range(0)) + 4)
        die(QStringLiteral("update sent %1 statements").arg(texts.size()));
    std::string lines;
    for (size_t i = 2; i + 1 < texts.size(); ++i)
        lines += texts[i] + ";\n";
    for (auto _ : state) {
        d.raw->exec(texts[0]);
        d.raw->exec(texts[1]);
        d.raw->exec(lines);
        d.raw->exec(texts.back());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void removeBom(Database &d, int32_t id)
{
    d.raw->exec("DELETE FROM COM_BOM_Child WHERE FBOMID=" + std::to_string(id));
    d.raw->exec("DELETE FROM COM_BOM WHERE FBOMID=" + std::to_string(id));
}

void BM_PgAdd(benchmark::State &state)
{
    Database &d = database();
    LoadedBom loaded = load(d, int(state.range(0)));
    timeAdd(state, loaded, [&d](int32_t id) { removeBom(d, id); });
}

// The recorded Add with a fresh number and the id the header insert returns
// put into the line inserts.
void BM_PgAddFloor(benchmark::State &state)
{
    Database &d = database();
    LoadedBom loaded = load(d, int(state.range(0)));
    loaded.bom->BomNumber = QStringLiteral("ADDREC-%1").arg(state.range(0));
    const std::vector<std::string> texts = recorded(*d.cnn, [&] { loaded.bom->Add(*loaded.grid); });
    const std::string recordedNumber = loaded.bom->BomNumber.toStdString();
    const std::string recordedId = std::to_string(loaded.bom->BomID);
    removeBom(d, loaded.bom->BomID);
    // BEGIN, the header insert, the lines, COMMIT.
    if (texts.size() != size_t(state.range(0)) + 3 || texts[1].find(recordedNumber) == std::string::npos)
        die(QStringLiteral("add sent %1 statements").arg(texts.size()));
    const std::string lineHead = "VALUES (";
    int serial = 0;
    for (auto _ : state) {
        const std::string number = "ADDF-" + std::to_string(state.range(0)) + "-" + std::to_string(++serial);
        std::string header = texts[1];
        header.replace(header.find(recordedNumber), recordedNumber.size(), number);
        d.raw->exec(texts[0]);
        const std::string id = d.raw->value(header);
        for (size_t i = 2; i + 1 < texts.size(); ++i) {
            std::string line = texts[i];
            // "... VALUES (entry,id,..."
            const size_t open = line.find(lineHead) + lineHead.size();
            const size_t comma = line.find(',', open) + 1;
            line.replace(comma, recordedId.size(), id);
            d.raw->exec(line);
        }
        d.raw->exec(texts.back());
        state.PauseTiming();
        removeBom(d, std::stoi(id));
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// ---------------------------------------------------------------------------
// Saving over a slow network: the same server behind a relay that holds every
// chunk 5 ms each way, so each round trip costs 10 ms more than on loopback.
// The count of round trips a save costs is its time over 10 ms.

constexpr std::chrono::milliseconds kProxyDelay{5};

ConnectionPtr proxiedConnection(const LatencyProxy &proxy)
{
    QUrl url(benchConnectionString());
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(proxy.port());
    return Connection::open(url.toString());
}

void BM_PgUpdateThroughProxy(benchmark::State &state)
{
    Database &d = database();
    const QUrl target(server());
    LatencyProxy proxy("127.0.0.1", uint16_t(target.port(5432)), kProxyDelay);
    ConnectionPtr cnn = proxiedConnection(proxy);
    LoadedBom loaded = loadBom(*cnn, d.bomOfLines.at(int(state.range(0))));
    timeUpdate(state, loaded);
    loaded = LoadedBom();
    cnn->Close();
}

void BM_PgAddThroughProxy(benchmark::State &state)
{
    Database &d = database();
    const QUrl target(server());
    LatencyProxy proxy("127.0.0.1", uint16_t(target.port(5432)), kProxyDelay);
    ConnectionPtr cnn = proxiedConnection(proxy);
    LoadedBom loaded = loadBom(*cnn, d.bomOfLines.at(int(state.range(0))));
    timeAdd(state, loaded, [&d](int32_t id) { removeBom(d, id); });
    loaded = LoadedBom();
    cnn->Close();
}

// ---------------------------------------------------------------------------
// Lookups over 100,000 items, units and system types

// The first generated items are S.1 to S.100000.
std::vector<int> lookupIds()
{
    return bench::lookupIds(kLookupRows, 256);
}

template<Lookup kind>
void BM_PgLookup(benchmark::State &state)
{
    timeLookup(state, *database().cnn, kind, lookupIds());
}

template<Lookup kind>
void BM_PgLookupFloor(benchmark::State &state)
{
    Database &d = database();
    BOM bom(*d.cnn);
    std::vector<std::vector<std::string>> texts;
    for (int id : lookupIds())
        texts.push_back(recorded(*d.cnn, [&] { lookup(bom, kind, lookupKey(kind, id)); }));
    size_t i = 0;
    for (auto _ : state) {
        int rows = 0;
        for (const std::string &t : texts[i++ % texts.size()])
            rows = d.raw->exec(t);
        if (rows != 1)
            die(QStringLiteral("floor lookup found %1 rows").arg(rows));
    }
}

// ---------------------------------------------------------------------------
// Completion notes: re-saving a completion of a 2,000-line BOM

struct Completion
{
    int32_t bomId = 0;
    int32_t noteId = 0;
    std::unique_ptr<GridModel> grid;
};

Completion &completion()
{
    static Completion *c = [] {
        Database &d = database();
        auto *made = new Completion;
        made->bomId = addScaleBom(*d.cnn, 3000, 2000);
        made->grid = std::make_unique<GridModel>(notecol::Count, 0);
        notes::load(*d.cnn, *made->grid, 0, made->bomId);
        made->noteId = notes::save(*d.cnn, *made->grid, 0, made->bomId);
        return made;
    }();
    return *c;
}

// As the dialog re-saves: the stored notes read again, locked, and compared
// with those loaded before anything is written.
void BM_PgSaveNotes(benchmark::State &state)
{
    Database &d = database();
    Completion &c = completion();
    GridModel grid(notecol::Count, 0);
    StoredBom stored;
    notes::load(*d.cnn, grid, c.noteId, c.bomId, &stored);
    for (auto _ : state) {
        if (notes::save(*d.cnn, grid, c.noteId, c.bomId, &stored) != c.noteId)
            die(QStringLiteral("the save was refused or took another id"));
    }
    state.SetItemsProcessed(state.iterations() * c.grid->MaxRows());
}

// The same save without that comparison: what the check costs.
void BM_PgSaveNotesUncompared(benchmark::State &state)
{
    Database &d = database();
    Completion &c = completion();
    for (auto _ : state) {
        if (notes::save(*d.cnn, *c.grid, c.noteId, c.bomId) != c.noteId)
            die(QStringLiteral("the save took another id"));
    }
    state.SetItemsProcessed(state.iterations() * c.grid->MaxRows());
}

void BM_PgSaveNotesFloor(benchmark::State &state)
{
    Database &d = database();
    Completion &c = completion();
    const std::vector<std::string> texts = recorded(*d.cnn, [&] { notes::save(*d.cnn, *c.grid, c.noteId, c.bomId); });
    // BEGIN, the delete, the allocation row, the rows, COMMIT.
    if (texts.size() != size_t(c.grid->MaxRows()) + 4)
        die(QStringLiteral("the save sent %1 statements").arg(texts.size()));
    for (auto _ : state) {
        for (const std::string &t : texts)
            d.raw->exec(t);
    }
    state.SetItemsProcessed(state.iterations() * c.grid->MaxRows());
}

void saveArgs(benchmark::internal::Benchmark *b)
{
    b->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

void lookupArgs(benchmark::internal::Benchmark *b)
{
    b->Unit(benchmark::kMicrosecond)->UseRealTime();
}

} // namespace

// Wall time of one call per iteration (the server works in another process);
// the argument is the BOM's line count.
// BM_PgLoad: BOM::GetMoreInfo into an empty child grid (header and line
// queries, every cell and format, the fingerprint); the grid's making and
// freeing not timed.
BENCHMARK(BM_PgLoad)->Apply(saveArgs);
// BM_PgLoadFloor: the load's recorded statements sent again through libpq,
// every value of every row read.
BENCHMARK(BM_PgLoadFloor)->Apply(saveArgs);
// BM_PgAdd: BOM::Add under a new number (header insert returning the key,
// line inserts sent together, commit); removing the added BOM not timed.
BENCHMARK(BM_PgAdd)->Apply(saveArgs);
// BM_PgAddFloor: the recorded Add through libpq, one statement per round trip,
// with a fresh number and the returned id; the clean-up not timed.
BENCHMARK(BM_PgAddFloor)->Apply(saveArgs);
// BM_PgUpdate: BOM::Update as the editor saves (rights check, the stored BOM
// read FOR UPDATE and compared, header update, line delete and inserts, commit).
BENCHMARK(BM_PgUpdate)->Apply(saveArgs);
// BM_PgUpdateUncompared: the same Update with nothing to compare (a fresh BOM
// object each time); the comparison costs BM_PgUpdate's time less this one's.
BENCHMARK(BM_PgUpdateUncompared)->Apply(saveArgs);
// BM_PgUpdateFloor: the uncompared Update's recorded statements through libpq,
// one round trip each.
BENCHMARK(BM_PgUpdateFloor)->Apply(saveArgs);
// BM_PgSaveNotes: notes::save re-saving the 2,000-note completion as the dialog
// does, the stored notes read FOR UPDATE and compared first.
BENCHMARK(BM_PgSaveNotes)->Unit(benchmark::kMillisecond)->UseRealTime();
// BM_PgSaveNotesUncompared: the same save without that comparison.
BENCHMARK(BM_PgSaveNotesUncompared)->Unit(benchmark::kMillisecond)->UseRealTime();
// BM_PgSaveNotesFloor: the uncompared save's recorded statements through
// libpq, one round trip each.
BENCHMARK(BM_PgSaveNotesFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
// BM_PgUpdatePipelinedFloor: the Update's recorded statements with every line
// write in one text: begin, header, lines, commit.
BENCHMARK(BM_PgUpdatePipelinedFloor)->Apply(saveArgs);
// BM_PgUpdateThroughProxy, BM_PgAddThroughProxy: Update and Add of a 100- and
// a 1,000-line BOM on a connection through a relay holding every chunk 5 ms
// each way; the time over 10 ms is the save's round trips.
BENCHMARK(BM_PgUpdateThroughProxy)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_PgAddThroughProxy)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
// BM_PgLookup: one GetInfo or GetUnitInfo of a key that finds one row among
// 100,000, the keys cycling through 256 drawn once; BM_PgLookupFloor: that
// lookup's recorded statements through libpq.
BENCHMARK_TEMPLATE(BM_PgLookup, Info)->Apply(lookupArgs);
BENCHMARK_TEMPLATE(BM_PgLookupFloor, Info)->Apply(lookupArgs);
BENCHMARK_TEMPLATE(BM_PgLookup, Unit)->Apply(lookupArgs);
BENCHMARK_TEMPLATE(BM_PgLookupFloor, Unit)->Apply(lookupArgs);

int main(int argc, char **argv)
{
    return runDataBenchmarks(argc, argv, [] {
        database().cnn->Close();
        database().raw.reset();
        dropDatabase();
    });
}
