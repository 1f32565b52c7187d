// Opening the BOM editor on a large BOM, up to its first paint, offscreen:
// the form is built, the BOM loaded into the grid and the window rendered.

#include "benchdata.h"

#include "state/callstate.h"
#include "hostdb/hostdb.h"
#include "services/db/connection.h"
#include "services/db/recordset.h"
#include "ui/editor/frmbom.h"
#include "bomdata/gridmodel.h"

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace torvel;

struct ScaleDatabase
{
    QTemporaryDir dir;
    ConnectionPtr connection;
    int32_t bomId = 0;

    explicit ScaleDatabase(int lines)
    {
        connection = Connection::open(dir.filePath(QStringLiteral("scale.db")));
        host::createSchema(*connection);
        bomId = bench::addScaleBom(*connection, lines + 1000, lines);
    }
};

void BM_OpenEditorToFirstPaint(benchmark::State &state)
{
    const int lines = int(state.range(0));
    ScaleDatabase db(lines);
    gAdoCnn = db.connection;
    for (auto _ : state) {
        gBomID = db.bomId;
        gGroupID = 0;
        auto form = std::make_unique<FrmBom>();
        form->show();
        QImage image(form->size(), QImage::Format_ARGB32_Premultiplied);
        form->render(&image);
        benchmark::DoNotOptimize(image.constBits());
        if (form->grid().MaxRows() != lines + 1)
            state.SkipWithError("the BOM did not load whole");
        state.PauseTiming();
        form.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    gAdoCnn.reset();
    state.counters["lines"] = lines;
}
// frmBom built on a BOM of 500 and 5,000 lines as BomInfo.Show opens it, the
// BOM loaded into the grid, the window shown and rendered once; closing the
// form is not timed.
BENCHMARK(BM_OpenEditorToFirstPaint)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return torvel::bench::runOffscreenBenchmarks(argc, argv);
}
