// The type library TORVEL (its version is the project's): what a host's
// tools read to learn the two public interfaces. Written out like an IDL
// file; a test checks it against the members the classes really have.

#include "torvel/torvel.h"

namespace {

constexpr uint16_t kGet = TV_DISPATCH_PROPERTYGET;
constexpr uint16_t kPut = TV_DISPATCH_PROPERTYPUT;
constexpr uint16_t kMethod = TV_DISPATCH_METHOD;

const TvParamDesc kSelectBomParams[] = {{"AdoCnn", TV_VT_DISPATCH}, {"ItemID", TV_VT_I4}};
const TvParamDesc kCompleteBomParams[] = {{"AdoCnn", TV_VT_DISPATCH}, {"BomNoteID", TV_VT_I4}, {"BomID", TV_VT_I4}};
const TvParamDesc kLookBomReportParams[] = {{"AdoCnn", TV_VT_DISPATCH}, {"BomID", TV_VT_I4}, {"NoteDate", TV_VT_DATE}};

const TvMemberDesc kBomInfoMembers[] = {
    {"ActiveConnection", TV_DISPID_ActiveConnection, kPut, TV_VT_DISPATCH, 0, nullptr},
    {"ReturnBomID", TV_DISPID_ReturnBomID, kGet, TV_VT_I4, 0, nullptr},
    {"ReturnBomName", TV_DISPID_ReturnBomName, kGet, TV_VT_BSTR, 0, nullptr},
    {"ReturnBomNumber", TV_DISPID_ReturnBomNumber, kGet, TV_VT_BSTR, 0, nullptr},
    {"ReturnOK", TV_DISPID_ReturnOK, kGet, TV_VT_BOOL, 0, nullptr},
    {"InterID", TV_DISPID_InterID, kPut, TV_VT_I4, 0, nullptr},
    {"GroupID", TV_DISPID_GroupID, kPut, TV_VT_I4, 0, nullptr},
    {"Show", TV_DISPID_Show, kMethod, TV_VT_EMPTY, 0, nullptr},
    {"SelectBom", TV_DISPID_SelectBom, kMethod, TV_VT_I4, 2, kSelectBomParams},
    {"CompleteBom", TV_DISPID_CompleteBom, kMethod, TV_VT_I4, 3, kCompleteBomParams},
    {"LookBomReport", TV_DISPID_LookBomReport, kMethod, TV_VT_EMPTY, 3, kLookBomReportParams},
};

const TvMemberDesc kBOMGroupInfoMembers[] = {
    {"ActiveConnection", TV_DISPID_ActiveConnection, kPut, TV_VT_DISPATCH, 0, nullptr},
    {"ReturnGroupID", TV_DISPID_ReturnGroupID, kGet, TV_VT_I4, 0, nullptr},
    {"ReturnName", TV_DISPID_ReturnName, kGet, TV_VT_BSTR, 0, nullptr},
    {"ReturnNumber", TV_DISPID_ReturnNumber, kGet, TV_VT_BSTR, 0, nullptr},
    {"ReturnOK", TV_DISPID_ReturnOK, kGet, TV_VT_BOOL, 0, nullptr},
    {"InterID", TV_DISPID_InterID, kPut, TV_VT_I4, 0, nullptr},
    {"ParentID", TV_DISPID_ParentID, kPut, TV_VT_I4, 0, nullptr},
    {"Show", TV_DISPID_Show, kMethod, TV_VT_EMPTY, 0, nullptr},
};

constexpr uint32_t kInterfaceFlags =
    TV_TYPEFLAG_FHIDDEN | TV_TYPEFLAG_FDUAL | TV_TYPEFLAG_FNONEXTENSIBLE | TV_TYPEFLAG_FDISPATCHABLE;

// _BOMGroupInfo first, as the library lists it.
const TvInterfaceDesc kInterfaces[] = {
    {"_BOMGroupInfo", TV_IID__BOMGroupInfo, kInterfaceFlags,
     uint32_t(sizeof kBOMGroupInfoMembers / sizeof *kBOMGroupInfoMembers), kBOMGroupInfoMembers},
    {"_BomInfo", TV_IID__BomInfo, kInterfaceFlags, uint32_t(sizeof kBomInfoMembers / sizeof *kBomInfoMembers),
     kBomInfoMembers},
};

const TvCoClassDesc kClasses[] = {
    {"BOMGroupInfo", TV_CLSID_BOMGroupInfo, "TORVEL.BOMGroupInfo", TV_TYPEFLAG_FCANCREATE, &kInterfaces[0]},
    {"BomInfo", TV_CLSID_BomInfo, "TORVEL.BomInfo", TV_TYPEFLAG_FCANCREATE, &kInterfaces[1]},
};

const TvTypeLibDesc kTypeLib = {"TORVEL", TV_LIBID_TORVEL, TORVEL_VERSION_MAJOR, TORVEL_VERSION_MINOR, 2, kInterfaces,
                                 2, kClasses};

} // namespace

extern "C" TORVEL_API const TvTypeLibDesc *TorvelGetTypeLib(void)
{
    return &kTypeLib;
}
