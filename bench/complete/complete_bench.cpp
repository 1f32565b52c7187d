// The completion of a 2,000-line BOM on SQLite: opening frmBOMComplete up to
// its first paint, offscreen, for a new completion (the BOM's lines) and an
// existing one (its notes, compared with the BOM's lines); and re-saving it
// as the dialog does (the stored notes read again and compared first),
// without that comparison, and beside the floor, the same statements prepared
// once through the raw SQLite C API with the values bound.

#include "benchdata.h"
#include "sqlitefloor.h"

#include "bomdata/bom.h"
#include "bomdata/gridmodel.h"
#include "bomdata/lookupkeys.h"
#include "hostdb/hostdb.h"
#include "services/db/connection.h"
#include "state/callstate.h"
#include "ui/complete/frmbomcomplete.h"
#include "ui/complete/notes.h"

#include <QCoreApplication>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using namespace torvel;
using namespace torvel::bench;

constexpr int kLines = 2000;

struct Database
{
    QTemporaryDir dir;
    QString path;
    ConnectionPtr cnn;
    int32_t bomId = 0;
    int32_t noteId = 0;
};

Database &database()
{
    static Database *db = [] {
        auto *d = new Database;
        d->path = d->dir.filePath(QStringLiteral("complete.db"));
        d->cnn = Connection::open(d->path);
        host::createSchema(*d->cnn);
        d->bomId = addScaleBom(*d->cnn, kLines + 1000, kLines);
        GridModel grid(notecol::Count, 0);
        notes::load(*d->cnn, grid, 0, d->bomId);
        d->noteId = notes::save(*d->cnn, grid, 0, d->bomId);
        return d;
    }();
    return *db;
}

void BM_OpenCompletionToFirstPaint(benchmark::State &state)
{
    Database &d = database();
    gAdoCnn = d.cnn;
    for (auto _ : state) {
        gBomID = d.bomId;
        gBomNoteID = state.range(0) ? d.noteId : 0;
        auto form = std::make_unique<FrmBomComplete>();
        form->show();
        QImage image(form->size(), QImage::Format_ARGB32_Premultiplied);
        form->render(&image);
        benchmark::DoNotOptimize(image.constBits());
        if (form->grid().MaxRows() != kLines)
            state.SkipWithError("the completion did not load whole");
        state.PauseTiming();
        form.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    gAdoCnn.reset();
    state.SetLabel(state.range(0) ? "existing" : "new");
}
// frmBOMComplete built for a new completion (0: the BOM's 2,000 lines) or an
// existing one (1: its 2,000 notes, compared with the BOM), shown and rendered
// once; closing it is not timed.
BENCHMARK(BM_OpenCompletionToFirstPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Re-saving the completion as the dialog does: the stored notes are read
// again, locked, and compared with those loaded before anything is written.
void BM_SaveNotes(benchmark::State &state)
{
    Database &d = database();
    GridModel grid(notecol::Count, 0);
    StoredBom stored;
    notes::load(*d.cnn, grid, d.noteId, d.bomId, &stored);
    for (auto _ : state) {
        if (notes::save(*d.cnn, grid, d.noteId, d.bomId, &stored) != d.noteId)
            die(QStringLiteral("the save was refused or took another id"));
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_SaveNotes)->Unit(benchmark::kMillisecond);

// The same save without that comparison: what the check costs.
void BM_SaveNotesUncompared(benchmark::State &state)
{
    Database &d = database();
    GridModel grid(notecol::Count, 0);
    notes::load(*d.cnn, grid, d.noteId, d.bomId);
    for (auto _ : state) {
        if (notes::save(*d.cnn, grid, d.noteId, d.bomId) != d.noteId)
            die(QStringLiteral("the save took another id"));
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_SaveNotesUncompared)->Unit(benchmark::kMillisecond);

// The same rows through statements prepared once: the delete, the
// allocation row's update and one bound insert per row, in one transaction.
void BM_SaveNotesFloor(benchmark::State &state)
{
    Database &d = database();
    struct Row
    {
        int replaceClass, item, auxProp, unit;
        double qty, scrap;
        std::string remark;
    };
    std::vector<Row> rows;
    {
        GridModel grid(notecol::Count, 0);
        notes::load(*d.cnn, grid, d.noteId, d.bomId);
        for (int r = 1; r <= grid.MaxRows(); ++r)
            rows.push_back({cellId(grid, notecol::ReplaceClassID, r), cellId(grid, notecol::ItemID, r),
                            cellId(grid, notecol::AuxPropID, r), cellId(grid, notecol::UnitID, r),
                            grid.text(notecol::Qty, r).toDouble(), grid.text(notecol::Scrap, r).toDouble() / 100,
                            grid.text(notecol::Remark, r).toStdString()});
    }
    sqlite3 *raw = rawOpen(d.path);
    {
        Stmt begin(raw, "BEGIN"), commit(raw, "COMMIT");
        Stmt remove(raw, "DELETE FROM COM_BOM_Note WHERE FBOMNoteID=?");
        Stmt allocation(raw, "UPDATE COM_BOM_NoteSeq SET FLastNoteID=? WHERE FSeqID=1 AND FLastNoteID<?");
        Stmt insert(raw, "INSERT INTO COM_BOM_Note (FBOMNoteID,FBOMEntryID,FBOMID,FReplaceClassID,FItemID,FAuxPropID,"
                         "FMeasureUnitID,FQty,FScrap,FRemark) VALUES (?,?,?,?,?,?,?,?,?,?)");
        for (auto _ : state) {
            begin.done();
            sqlite3_bind_int(remove.get(), 1, d.noteId);
            remove.done();
            sqlite3_bind_int(allocation.get(), 1, d.noteId);
            sqlite3_bind_int(allocation.get(), 2, d.noteId);
            allocation.done();
            int entry = 0;
            for (const Row &r : rows) {
                sqlite3_stmt *s = insert.get();
                sqlite3_bind_int(s, 1, d.noteId);
                sqlite3_bind_int(s, 2, ++entry);
                sqlite3_bind_int(s, 3, d.bomId);
                sqlite3_bind_int(s, 4, r.replaceClass);
                sqlite3_bind_int(s, 5, r.item);
                sqlite3_bind_int(s, 6, r.auxProp);
                sqlite3_bind_int(s, 7, r.unit);
                sqlite3_bind_double(s, 8, r.qty == 0 ? 1 : r.qty);
                sqlite3_bind_double(s, 9, r.scrap);
                sqlite3_bind_text(s, 10, r.remark.data(), int(r.remark.size()), SQLITE_STATIC);
                insert.done();
            }
            commit.done();
        }
    }
    sqlite3_close(raw);
    state.SetItemsProcessed(state.iterations() * kLines);
}
// The delete, the allocation row's update and 2,000 bound inserts through the
// raw C API in one transaction.
BENCHMARK(BM_SaveNotesFloor)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runOffscreenBenchmarks(argc, argv);
}
