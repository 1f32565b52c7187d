#include "entry/publicclasses.h"

#include "state/callstate.h"
#include "state/dialogseam.h"
#include "services/com/connectionobject.h"
#include "services/screen/messagebox.h"

#include <mutex>

namespace torvel {

namespace {

const Param kAdoCnn{QStringLiteral("AdoCnn"), VarType::Object};

Param longParam(const char *name)
{
    return Param{QString::fromLatin1(name), VarType::Int32};
}

} // namespace

BomInfo::BomInfo()
{
    initLibrary();
    gReturnOK = false;
    gGroupID = 0;
    gBomID = 0;
    gBomName.clear();
    gBomNumber.clear();

    addProperty(QStringLiteral("ActiveConnection"), dispid::ActiveConnection, VarType::Object, {},
                [](const Variant &v, Args &) { gAdoCnn = ConnectionObject::reference(v); });
    addProperty(QStringLiteral("ReturnBomID"), dispid::ReturnBomID, VarType::Int32,
                [](Args &) { return Variant(gBomID); });
    addProperty(QStringLiteral("ReturnBomName"), dispid::ReturnBomName, VarType::String,
                [](Args &) { return Variant(gBomName); });
    addProperty(QStringLiteral("ReturnBomNumber"), dispid::ReturnBomNumber, VarType::String,
                [](Args &) { return Variant(gBomNumber); });
    addProperty(QStringLiteral("ReturnOK"), dispid::ReturnOK, VarType::Bool,
                [](Args &) { return Variant(gReturnOK); });
    addProperty(QStringLiteral("InterID"), dispid::InterID, VarType::Int32, {},
                [](const Variant &v, Args &) { gBomID = v.toInt32(); });
    addProperty(QStringLiteral("GroupID"), dispid::GroupID, VarType::Int32, {},
                [](const Variant &v, Args &) { gGroupID = v.toInt32(); });
    addMethod(QStringLiteral("Show"), dispid::Show, {}, [this](Args &) {
        Show();
        return Variant();
    });
    addMethod(QStringLiteral("SelectBom"), dispid::SelectBom, {kAdoCnn, longParam("ItemID")},
              [this](Args &a) { return Variant(SelectBom(a[0], a[1].toInt32())); }, VarType::Int32);
    addMethod(QStringLiteral("CompleteBom"), dispid::CompleteBom,
              {kAdoCnn, longParam("BomNoteID"), longParam("BomID")},
              [this](Args &a) { return Variant(CompleteBom(a[0], a[1].toInt32(), a[2].toInt32())); },
              VarType::Int32);
    addMethod(QStringLiteral("LookBomReport"), dispid::LookBomReport,
              {kAdoCnn, longParam("BomID"), Param{QStringLiteral("NoteDate"), VarType::Date}},
              [this](Args &a) {
                  LookBomReport(a[0], a[1].toInt32(), a[2].toDate());
                  return Variant();
              });
}

void BomInfo::Show()
{
    showDialog(kFormBom);
}

int32_t BomInfo::SelectBom(const Variant &adoCnn, int32_t itemId)
{
    if (itemId < 1) {
        ensureGuiApplication();
        MsgBox(QStringLiteral("请输入商品ID"), mb::Information);
        return 0;
    }
    gAdoCnn = ConnectionObject::reference(adoCnn);
    gItemID = itemId;
    // Without the dialog nobody cleared an earlier confirmation.
    if (!showDialog(kFormSelect))
        return 0;
    return gReturnOK ? gBomID : 0;
}

int32_t BomInfo::CompleteBom(const Variant &adoCnn, int32_t bomNoteId, int32_t bomId)
{
    gAdoCnn = ConnectionObject::reference(adoCnn);
    gBomID = bomId;
    gBomNoteID = bomNoteId;
    showDialog(kFormComplete);
    return gBomNoteID > 0 ? gBomNoteID : 0;
}

void BomInfo::LookBomReport(const Variant &adoCnn, int32_t bomId, double noteDate)
{
    if (bomId <= 0)
        return;
    gAdoCnn = ConnectionObject::reference(adoCnn);
    gBomID = bomId;
    gNoteDate = noteDate;
    // A failure while the report loads ends the call with that error.
    showDialog(kFormReport, LoadErrors::ReachCaller);
}

BOMGroupInfo::BOMGroupInfo()
{
    initLibrary();
    gReturnOK = false;
    gGroupInterID = 0;
    gParentID = 0;

    addProperty(QStringLiteral("ActiveConnection"), dispid::ActiveConnection, VarType::Object, {},
                [](const Variant &v, Args &) { gAdoCnn = ConnectionObject::reference(v); });
    addProperty(QStringLiteral("ReturnGroupID"), dispid::ReturnGroupID, VarType::Int32,
                [](Args &) { return Variant(gGroupInterID); });
    addProperty(QStringLiteral("ReturnName"), dispid::ReturnName, VarType::String,
                [](Args &) { return Variant(gGroupName); });
    addProperty(QStringLiteral("ReturnNumber"), dispid::ReturnNumber, VarType::String,
                [](Args &) { return Variant(gGroupNumber); });
    addProperty(QStringLiteral("ReturnOK"), dispid::ReturnOK, VarType::Bool,
                [](Args &) { return Variant(gReturnOK); });
    addProperty(QStringLiteral("InterID"), dispid::InterID, VarType::Int32, {},
                [](const Variant &v, Args &) { gGroupInterID = v.toInt32(); });
    addProperty(QStringLiteral("ParentID"), dispid::ParentID, VarType::Int32, {},
                [](const Variant &v, Args &) { gParentID = v.toInt32(); });
    addMethod(QStringLiteral("Show"), dispid::Show, {}, [this](Args &) {
        Show();
        return Variant();
    });
}

void BOMGroupInfo::Show()
{
    showDialog(kFormGroup);
}

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        registerLibraryDialogs();
        auto &registry = ObjectRegistry::instance();
        registry.registerFactory(BomInfo::kProgId, [] { return std::make_shared<BomInfo>(); });
        registry.registerFactory(BOMGroupInfo::kProgId, [] { return std::make_shared<BOMGroupInfo>(); });
        // The runtime outlives this library when a host unloads it, and the
        // factories' code goes with the library: they leave with it. Made
        // after the registry, the guard also goes first at process exit.
        static struct Unregister {
            ~Unregister()
            {
                ObjectRegistry::instance().unregisterFactory(BomInfo::kProgId);
                ObjectRegistry::instance().unregisterFactory(BOMGroupInfo::kProgId);
            }
        } unregister;
    });
}

} // namespace torvel
