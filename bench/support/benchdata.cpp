#include "benchdata.h"

#include "hostdb/hostdb.h"
#include "services/com/comerror.h"
#include "services/com/dispatch.h"
#include "services/screen/messagebox.h"

#include <QCoreApplication>

#include <random>

namespace torvel::bench {

namespace {

// A save or load that shows a box has failed: the figure would be meaningless.
class FailOnBox : public MessageBoxService
{
public:
    int show(const QString &text, int, const QString &) override { die(QStringLiteral("box: ") + text); }
};

// The rights check asks these; the bench user holds every right.
class AllowAll : public MemberTableObject
{
public:
    AllowAll()
    {
        addMethod(QStringLiteral("AccessCheck"), 1, [](Args &) { return Variant(true); });
        addMethod(QStringLiteral("getproperty"), 2, [](Args &) { return Variant(QStringLiteral("UserName=bench")); });
    }
    QString className() const override { return QStringLiteral("AllowAll"); }
};

} // namespace

std::unique_ptr<GridModel> childGrid()
{
    auto grid = std::make_unique<GridModel>(bomcol::Count, 1);
    grid->setRow(-1);
    for (int col : {bomcol::Qty, bomcol::Scrap}) {
        grid->setCol(col);
        grid->setTypeNumber(-1e10, 1e10, 2);
    }
    return grid;
}

int32_t addScaleBom(Connection &cnn, int items, int lines)
{
    host::generateScaleData(cnn, items, 1, lines);
    return cnn.Execute(QStringLiteral("SELECT Max(FBOMID) FROM COM_BOM"))->Fields(0).toInt32();
}

LoadedBom loadBom(Connection &cnn, int32_t id)
{
    LoadedBom loaded;
    loaded.bom = std::make_unique<BOM>(cnn);
    loaded.bom->BomID = id;
    if (!loaded.bom->GetMoreInfo(*loaded.grid))
        die(QStringLiteral("load failed"));
    return loaded;
}

void timeLoad(benchmark::State &state, Connection &cnn, int32_t id)
{
    for (auto _ : state) {
        // The editor's grid exists before the load and outlives it.
        state.PauseTiming();
        auto grid = childGrid();
        state.ResumeTiming();
        BOM bom(cnn);
        bom.BomID = id;
        if (!bom.GetMoreInfo(*grid))
            die(QStringLiteral("load failed"));
        benchmark::DoNotOptimize(grid->MaxRows());
        state.PauseTiming();
        grid.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void timeUpdate(benchmark::State &state, LoadedBom &loaded)
{
    for (auto _ : state) {
        if (!loaded.bom->Update(*loaded.grid))
            die(QStringLiteral("update failed"));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BOM uncompared(Connection &cnn, const BOM &loaded)
{
    BOM bom(cnn);
    bom.BomID = loaded.BomID;
    bom.GroupID = loaded.GroupID;
    bom.BomNumber = loaded.BomNumber;
    bom.BomName = loaded.BomName;
    bom.Status = loaded.Status;
    bom.ItemID = loaded.ItemID;
    bom.AuxPropID = loaded.AuxPropID;
    bom.MeasureUnitID = loaded.MeasureUnitID;
    return bom;
}

void timeUpdateUncompared(benchmark::State &state, Connection &cnn, LoadedBom &loaded)
{
    for (auto _ : state) {
        // A fresh object each time: a save takes the fingerprint of what it
        // wrote, and the next save on the same object would compare again.
        BOM bom = uncompared(cnn, *loaded.bom);
        if (!bom.Update(*loaded.grid))
            die(QStringLiteral("update failed"));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void timeAdd(benchmark::State &state, LoadedBom &loaded, const std::function<void(int32_t id)> &remove)
{
    int serial = 0;
    for (auto _ : state) {
        loaded.bom->BomNumber = QStringLiteral("ADD-%1-%2").arg(state.range(0)).arg(++serial);
        if (!loaded.bom->Add(*loaded.grid))
            die(QStringLiteral("add failed"));
        state.PauseTiming();
        remove(loaded.bom->BomID);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

std::vector<int> lookupIds(int size, int count)
{
    std::mt19937 rng(7);
    std::vector<int> ids(static_cast<size_t>(count));
    for (int &id : ids)
        id = 2 + int(rng() % unsigned(size - 1));
    return ids;
}

QString lookupKey(Lookup kind, int id)
{
    switch (kind) {
    case Info: return QStringLiteral(" FNumber='S.%1' ").arg(id);
    case Unit: return QStringLiteral(" FNumber='U%1' and FUnitGroupID=%2").arg(id).arg(id % 50);
    case AuxProp: return QStringLiteral(" FNumber='S.%1' and FItemClassID=4").arg(id);
    case ReplaceClass: return QStringLiteral(" FNumber='R%1'and FClassID=480 ").arg(id / 2);
    }
    return {};
}

RecordsetPtr lookup(BOM &bom, Lookup kind, const QString &key)
{
    switch (kind) {
    case Info: return bom.GetInfo(key);
    case Unit: return bom.GetUnitInfo(key);
    case AuxProp: return bom.GetAuxPropInfo(key);
    case ReplaceClass: return bom.GetReplaceClassInfo(key);
    }
    return {};
}

void timeLookup(benchmark::State &state, Connection &cnn, Lookup kind, const std::vector<int> &ids)
{
    std::vector<QString> keys;
    for (int id : ids)
        keys.push_back(lookupKey(kind, id));
    BOM bom(cnn);
    size_t i = 0;
    for (auto _ : state) {
        const QString &key = keys[i++ % keys.size()];
        RecordsetPtr rs = lookup(bom, kind, key);
        if (!rs || rs->RecordCount() != 1)
            die(QStringLiteral("lookup found no row: ") + key);
    }
}

int runDataBenchmarks(int argc, char **argv, const std::function<void()> &afterRun)
{
    QCoreApplication app(argc, argv);
    FailOnBox boxes;
    setMessageBoxService(&boxes);
    ObjectRegistry::instance().registerFactory(QStringLiteral("PlatBase.SecurityInfo"),
                                               [] { return std::make_shared<AllowAll>(); });
    ObjectRegistry::instance().registerFactory(QStringLiteral("PropHub.ShareProps"),
                                               [] { return std::make_shared<AllowAll>(); });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    try {
        benchmark::RunSpecifiedBenchmarks();
        if (afterRun)
            afterRun();
    } catch (const ComError &e) {
        die(e.description());
    }
    benchmark::Shutdown();
    setMessageBoxService(nullptr);
    return 0;
}

} // namespace torvel::bench
