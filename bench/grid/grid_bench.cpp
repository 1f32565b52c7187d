// Scrolling and typing in the editing grid at up to 10,000 rows, offscreen.
#include "benchsupport.h"

#include "ui/grid/gridview.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include <benchmark/benchmark.h>

#include <memory>

using torvel::GridModel;
using torvel::GridView;

namespace {

// A grid shaped and filled like a loaded BOM: 19 columns, ids hidden,
// locked name columns, number cells, text in every visible cell.
struct LoadedGrid {
    explicit LoadedGrid(int rows)
        : model(19, rows)
    {
        for (int c = 10; c <= 19; ++c)
            model.setColHidden(c, true);
        model.setCol(3);
        model.setRow(-1);
        model.setLock(true);
        model.setCol(4);
        model.setLock(true);
        model.setCol(7);
        model.setTypeNumber(0, 99999999999999.0, 2);
        model.setCol(8);
        model.setTypeNumber(0, 99.99, 2);
        for (int r = 1; r <= rows; ++r) {
            model.SetText(2, r, QStringLiteral("A%1").arg(r, 5, 10, QLatin1Char('0')));
            model.SetText(3, r, QStringLiteral("商品 %1").arg(r));
            model.SetText(4, r, QStringLiteral("M-%1").arg(r % 97));
            model.SetText(6, r, QStringLiteral("个"));
            model.SetText(7, r, QString::number(r % 13 + 1));
            model.SetText(8, r, QStringLiteral("2.5"));
            model.SetText(10, r, QString::number(r));
        }
        view.setSwallowedCharacters(QStringLiteral("\"'"));
        view.setGridModel(&model);
        view.resize(1000, 600);
        view.show();
        QApplication::processEvents();
        // The editor's handler touches one row per leave, as the real one's lookups do.
        QObject::connect(&view, &GridView::leaveCell, &view,
                         [this](int col, int row, int, int, bool *) {
                             benchmark::DoNotOptimize(model.text(col, row).size());
                         });
    }
    GridModel model;
    GridView view;
};

void BM_ScrollPage(benchmark::State &state)
{
    LoadedGrid grid(int(state.range(0)));
    QScrollBar *bar = grid.view.verticalScrollBar();
    const int step = std::max(1, bar->pageStep());
    int value = 0;
    for (auto _ : state) {
        value += step;
        if (value > bar->maximum())
            value = 0;
        bar->setValue(value);
        grid.view.viewport()->repaint();   // paint now, as the screen would
    }
    state.SetLabel("one page scrolled and painted");
}
// A page step of the scroll bar and the repaint of the viewport, on 100 and
// 10,000 loaded rows.
BENCHMARK(BM_ScrollPage)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_TypeCodeAndTab(benchmark::State &state)
{
    const int rows = int(state.range(0));
    LoadedGrid grid(rows);
    int row = rows;
    for (auto _ : state) {
        grid.model.setActiveCell(2, row);
        QTest::keyClick(&grid.view, Qt::Key_B);   // opens the editor
        QLineEdit *editor = grid.view.cellEditor();
        QTest::keyClicks(editor, QStringLiteral("0'1"));
        QTest::keyClick(editor, Qt::Key_Tab);    // commit, leave-cell, move
        QApplication::processEvents();           // repaint what changed
        row = row > 1 ? row - 1 : rows;
    }
    state.SetLabel("4 keys typed into a cell, then Tab");
}
// A key that opens the cell editor, three more keys, Tab (commit, leave-cell,
// move), then the events that repaint.
BENCHMARK(BM_TypeCodeAndTab)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_AddEntryRow(benchmark::State &state)
{
    LoadedGrid grid(int(state.range(0)));
    for (auto _ : state) {
        grid.model.setMaxRows(grid.model.MaxRows() + 1);
        grid.model.setActiveCell(2, grid.model.MaxRows());
        QApplication::processEvents();
    }
    state.SetLabel("grow by one row and move there");
}
// MaxRows grown by one, the active cell moved to the new row, events processed.
BENCHMARK(BM_AddEntryRow)->Arg(100)->Arg(10000)->Iterations(2000)->Unit(benchmark::kMicrosecond);

void BM_LoadGrid(benchmark::State &state)
{
    // Filling the model the way loading does: MaxRows once, then SetText.
    const int rows = int(state.range(0));
    for (auto _ : state) {
        GridModel model(19, 0);
        model.setCol(7);
        model.setRow(-1);
        model.setTypeNumber(0, 99999999999999.0, 2);
        model.setMaxRows(rows + 1);
        for (int r = 1; r <= rows; ++r)
            for (int c = 1; c <= 19; ++c)
                model.SetText(c, r, QStringLiteral("12345"));
        benchmark::DoNotOptimize(model.MaxRows());
    }
    state.SetItemsProcessed(state.iterations() * rows * 19);
    state.SetLabel("cells written");
}
// A 19-column model made, one number column formatted, sized to 10,001 rows,
// 10,000 x 19 SetText, and freed; no view.
BENCHMARK(BM_LoadGrid)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return torvel::bench::runOffscreenBenchmarks(argc, argv);
}
