#pragma once

#include "services/com/dispatch.h"

namespace torvel {

// Dispatch ids of the two public interfaces, fixed for hosts.
namespace dispid {
inline constexpr DispId ActiveConnection = 0x68030006;
inline constexpr DispId ReturnBomID = 0x68030005;      // BOMGroupInfo: ReturnGroupID
inline constexpr DispId ReturnBomName = 0x68030004;    // BOMGroupInfo: ReturnName
inline constexpr DispId ReturnBomNumber = 0x68030003;  // BOMGroupInfo: ReturnNumber
inline constexpr DispId ReturnOK = 0x68030002;
inline constexpr DispId InterID = 0x68030001;
inline constexpr DispId GroupID = 0x68030000;          // BOMGroupInfo: ParentID
inline constexpr DispId Show = 0x60030007;
inline constexpr DispId SelectBom = 0x60030009;
inline constexpr DispId CompleteBom = 0x6003000a;
inline constexpr DispId LookBomReport = 0x6003000b;
inline constexpr DispId ReturnGroupID = ReturnBomID;
inline constexpr DispId ReturnName = ReturnBomName;
inline constexpr DispId ReturnNumber = ReturnBomNumber;
inline constexpr DispId ParentID = GroupID;
} // namespace dispid

// Form names the public methods open.
inline const QString kFormBom = QStringLiteral("frmBom");
inline const QString kFormGroup = QStringLiteral("frmBOMGroup");
inline const QString kFormSelect = QStringLiteral("frmBOMSelect");
inline const QString kFormComplete = QStringLiteral("frmBOMComplete");
inline const QString kFormReport = QStringLiteral("frmBOMReport");

// `BomInfo` (interface `_BomInfo`): the BOM editor, BOM selection, per-bill
// completion and the stock report. Holds nothing itself: every member reads
// or writes the call state. Creating one resets gReturnOK, gGroupID, gBomID,
// gBomName and gBomNumber.
class BomInfo : public MemberTableObject
{
public:
    static inline const QString kProgId = QStringLiteral("TORVEL.BomInfo");
    BomInfo();
    QString className() const override { return QStringLiteral("BomInfo"); }

    void Show();
    int32_t SelectBom(const Variant &adoCnn, int32_t itemId);
    int32_t CompleteBom(const Variant &adoCnn, int32_t bomNoteId, int32_t bomId);
    void LookBomReport(const Variant &adoCnn, int32_t bomId, double noteDate);
};

// `BOMGroupInfo` (interface `_BOMGroupInfo`): the BOM group editor. Creating
// one resets gReturnOK, gGroupInterID and gParentID.
class BOMGroupInfo : public MemberTableObject
{
public:
    static inline const QString kProgId = QStringLiteral("TORVEL.BOMGroupInfo");
    BOMGroupInfo();
    QString className() const override { return QStringLiteral("BOMGroupInfo"); }

    void Show();
};

// Once per process: registers the library's dialogs with the dialog seam and
// its creatable classes with the object registry. The public classes run it
// when they are created; the C interface runs it before creating anything.
void initLibrary();

// Where the dialog libraries that are built into this library register their
// forms (dialogs.cpp). Called once by initLibrary.
void registerLibraryDialogs();

} // namespace torvel
