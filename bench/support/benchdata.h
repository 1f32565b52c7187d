#pragma once

#include "benchsupport.h"

#include "bomdata/bom.h"
#include "services/db/connection.h"
#include "services/db/recordset.h"
#include "bomdata/gridmodel.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace torvel::bench {

// The editor's child grid as it stands before a load: number cells for
// quantity and scrap.
std::unique_ptr<GridModel> childGrid();

// Generates one BOM of `lines` lines over `items` new items; answers its id.
int32_t addScaleBom(Connection &cnn, int items, int lines);

// A loaded BOM's header and grid, as the editor holds them when it saves.
struct LoadedBom
{
    std::unique_ptr<GridModel> grid = childGrid();
    std::unique_ptr<BOM> bom;
};
LoadedBom loadBom(Connection &cnn, int32_t id);

// The timed bodies the data-layer benchmarks share; range(0) is the number of
// lines. Each Add writes a new BOM, which `remove` takes out again outside
// the timing.
void timeLoad(benchmark::State &state, Connection &cnn, int32_t id);
void timeUpdate(benchmark::State &state, LoadedBom &loaded);
// The same save by a BOM object that holds the loaded header but never
// loaded, so it has nothing to compare the stored BOM with: the cost of the
// comparison is timeUpdate's time less this one's.
BOM uncompared(Connection &cnn, const BOM &loaded);
void timeUpdateUncompared(benchmark::State &state, Connection &cnn, LoadedBom &loaded);
void timeAdd(benchmark::State &state, LoadedBom &loaded, const std::function<void(int32_t id)> &remove);

// `count` keys that each find one row among ids 2 .. size, drawn alike on
// every run so the data layer and its floor look up the same rows.
std::vector<int> lookupIds(int size, int count);

enum Lookup { Info, Unit, AuxProp, ReplaceClass };

// The criteria the editor passes for generated row `id`, and the lookup that
// takes it.
QString lookupKey(Lookup kind, int id);
RecordsetPtr lookup(BOM &bom, Lookup kind, const QString &key);
// One lookup per iteration, cycling through the keys of `ids`.
void timeLookup(benchmark::State &state, Connection &cnn, Lookup kind, const std::vector<int> &ids);

// The main of a data-layer benchmark: any box fails the run, the bench user
// holds every right, and a ComError ends it with its description. `afterRun`
// runs once the selected benchmarks are done.
int runDataBenchmarks(int argc, char **argv, const std::function<void()> &afterRun = {});

} // namespace torvel::bench
