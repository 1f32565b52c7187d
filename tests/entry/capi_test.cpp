// The C interface in-process: class factories, every member by id and by
// name, the errors a host gets back, the type library against the classes,
// and the unload query.

#include "state/callstate.h"
#include "entry/capi.h"
#include "state/dialogseam.h"
#include "entry/publicclasses.h"
#include "services/screen/messagebox.h"

#include "dbfixture.h"
#include "entrytest.h"
#include "printers.h"

#include <QDialog>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace torvel;

namespace {

using QuietBoxes = torvel::test::BoxRecorder;

TvDispatch *create(const TvGuid &clsid)
{
    TvClassFactory *factory = nullptr;
    EXPECT_EQ(DllGetClassObject(&clsid, &TV_IID_IClassFactory, reinterpret_cast<void **>(&factory)), TV_S_OK);
    if (!factory)
        return nullptr;
    TvDispatch *d = nullptr;
    EXPECT_EQ(factory->lpVtbl->CreateInstance(factory, nullptr, &TV_IID_IDispatch, reinterpret_cast<void **>(&d)),
              TV_S_OK);
    factory->lpVtbl->Release(factory);
    return d;
}

struct Call { TvHResult hr; TvVariant result; int32_t code; std::string description; uint32_t argErr; };

Call invoke(TvDispatch *d, int32_t id, uint16_t kind, std::vector<TvVariant> args = {})
{
    Call c{};
    TvExcepInfo e;
    c.argErr = 999;
    c.hr = d->lpVtbl->Invoke(d, id, kind, args.data(), uint32_t(args.size()), &c.result, &e, &c.argErr);
    if (TV_FAILED(c.hr)) {
        c.code = e.code;
        c.description = e.description ? e.description : "";
        TvExcepInfoClear(&e);
    }
    return c;
}

TvVariant i4(int32_t v) { TvVariant r; TvVariantInit(&r); r.vt = TV_VT_I4; r.lVal = v; return r; }
TvVariant i2(int16_t v) { TvVariant r; TvVariantInit(&r); r.vt = TV_VT_I2; r.iVal = v; return r; }
TvVariant text(const char *s) { TvVariant r; TvVariantInit(&r); r.vt = TV_VT_BSTR; r.bstrVal = const_cast<char *>(s); return r; }
TvVariant disp(TvDispatch *d) { TvVariant r; TvVariantInit(&r); r.vt = TV_VT_DISPATCH; r.pdispVal = d; return r; }

// A host object the library does not know: answers every name, fails every call.
struct HostObject {
    TvDispatch iface;
    int refs = 1;
};
const TvDispatchVtbl kHostVtbl = {
    [](TvDispatch *, const TvGuid *, void **o) { *o = nullptr; return TV_E_NOINTERFACE; },
    [](TvDispatch *s) { return uint32_t(++reinterpret_cast<HostObject *>(s)->refs); },
    [](TvDispatch *s) { return uint32_t(--reinterpret_cast<HostObject *>(s)->refs); },
    [](TvDispatch *, const char *const *, uint32_t n, int32_t *ids) { for (uint32_t i = 0; i < n; ++i) ids[i] = 1; return TV_S_OK; },
    [](TvDispatch *, int32_t, uint16_t, const TvVariant *, uint32_t, TvVariant *, TvExcepInfo *, uint32_t *) { return TV_E_NOTIMPL; },
};

} // namespace

// Each class of the type library against its member table, and every member
// reached by either spelling of its name and by id.
TEST(CInterface, TypeLibraryMatchesTheClassesAndEveryMemberAnswers)
{
    QTemporaryDir dir;
    TvDispatch *cnn = create(TV_CLSID_Connection);
    const std::string path = dir.filePath(QStringLiteral("c.db")).toStdString();
    ASSERT_EQ(invoke(cnn, 1, TV_DISPATCH_METHOD, {text(path.c_str())}).hr, TV_S_OK);

    const TvTypeLibDesc *lib = TorvelGetTypeLib();
    ASSERT_NE(lib, nullptr);
    EXPECT_STREQ(lib->name, "TORVEL");
    EXPECT_EQ(lib->majorVersion * 100 + lib->minorVersion, 100);
    ASSERT_EQ(lib->classCount, 2u);
    BomInfo bom;
    BOMGroupInfo group;
    for (uint32_t c = 0; c < lib->classCount; ++c) {
        const TvCoClassDesc &cls = lib->classes[c];
        const TvInterfaceDesc &itf = *cls.defaultInterface;
        SCOPED_TRACE(cls.name);
        const uint32_t dual = TV_TYPEFLAG_FHIDDEN | TV_TYPEFLAG_FDUAL | TV_TYPEFLAG_FNONEXTENSIBLE;
        EXPECT_EQ(itf.flags & dual, dual);
        EXPECT_TRUE(cls.flags & TV_TYPEFLAG_FCANCREATE);
        EXPECT_EQ(std::string(cls.progId), "TORVEL." + std::string(cls.name));
        const MemberTableObject &object = std::string(cls.name) == "BomInfo" ? static_cast<MemberTableObject &>(bom)
                                                                               : static_cast<MemberTableObject &>(group);
        const auto members = object.members();
        ASSERT_EQ(members.size(), itf.memberCount);
        TvDispatch *d = create(cls.clsid);
        ASSERT_NE(d, nullptr);
        void *typed = nullptr;
        EXPECT_EQ(d->lpVtbl->QueryInterface(d, &itf.iid, &typed), TV_S_OK);
        d->lpVtbl->Release(static_cast<TvDispatch *>(typed));
        EXPECT_EQ(d->lpVtbl->QueryInterface(d, &TV_IID_IClassFactory, &typed), TV_E_NOINTERFACE);

        for (uint32_t m = 0; m < itf.memberCount; ++m) {
            const TvMemberDesc &member = itf.members[m];
            SCOPED_TRACE(member.name);
            EXPECT_EQ(members[m].name, QString::fromLatin1(member.name)) << "interface order";
            EXPECT_EQ(members[m].id, member.dispId);
            EXPECT_EQ(members[m].isMethod, bool(member.kinds & TV_DISPATCH_METHOD));
            EXPECT_EQ(members[m].canGet, bool(member.kinds & TV_DISPATCH_PROPERTYGET));
            EXPECT_EQ(members[m].canPut, bool(member.kinds & TV_DISPATCH_PROPERTYPUT));
            ASSERT_EQ(members[m].params.size(), member.paramCount);
            for (uint32_t p = 0; p < member.paramCount; ++p)
                EXPECT_EQ(members[m].params[p].name, QString::fromLatin1(member.params[p].name));

            std::string lower = member.name;
            for (auto &ch : lower)
                ch = char(std::tolower(ch));
            const char *names[] = {member.name, lower.c_str()};
            int32_t ids[2] = {0, 0};
            ASSERT_EQ(d->lpVtbl->GetIDsOfNames(d, names, 2, ids), TV_S_OK);
            EXPECT_EQ(ids[0], member.dispId);
            EXPECT_EQ(ids[1], member.dispId);
            if (member.kinds & TV_DISPATCH_PROPERTYGET) {
                Call got = invoke(d, member.dispId, TV_DISPATCH_PROPERTYGET);
                EXPECT_EQ(got.hr, TV_S_OK) << got.description;
                EXPECT_EQ(got.result.vt, member.vt);
                TvVariantClear(&got.result);
            }
            if (member.kinds & TV_DISPATCH_PROPERTYPUT) {
                const TvVariant value = member.vt == TV_VT_DISPATCH ? disp(cnn) : i2(3);   // 16-bit where 32 declared
                EXPECT_EQ(invoke(d, member.dispId, TV_DISPATCH_PROPERTYPUT, {value}).hr, TV_S_OK);
            }
        }
        const char *unknown[] = {"NoSuchMember"};
        int32_t id = 0;
        EXPECT_EQ(d->lpVtbl->GetIDsOfNames(d, unknown, 1, &id), TV_DISP_E_UNKNOWNNAME);
        EXPECT_EQ(id, TV_DISPID_UNKNOWN);
        EXPECT_EQ(invoke(d, 0x12345, TV_DISPATCH_PROPERTYGET).hr, TV_DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(invoke(d, TV_DISPID_ReturnOK, 3).hr, TV_E_INVALIDARG);
        EXPECT_EQ(d->lpVtbl->Release(d), 0u);
    }
    // Wrong kinds and counts are the object model's rule; they come back as their codes.
    TvDispatch *b = create(TV_CLSID_BomInfo);
    EXPECT_EQ(invoke(b, TV_DISPID_ReturnOK, TV_DISPATCH_PROPERTYPUT, {i4(1)}).hr, TV_DISP_E_MEMBERNOTFOUND);
    const Call few = invoke(b, TV_DISPID_SelectBom, TV_DISPATCH_METHOD, {disp(cnn)});
    EXPECT_EQ(few.hr, TV_DISP_E_BADPARAMCOUNT);
    EXPECT_FALSE(few.description.empty());
    b->lpVtbl->Release(b);
    cnn->lpVtbl->Release(cnn);
}

TEST(CInterface, ArgumentsConvertOrFailWithTheirIndex)
{
    // What converts is Variant's and the object model's rule; here the codes
    // and the argument index a host gets back.
    QuietBoxes boxes;
    TvDispatch *bom = create(TV_CLSID_BomInfo);
    TvVariant nothing;
    TvVariantInit(&nothing);
    nothing.vt = TV_VT_DISPATCH;
    struct Case { const char *label; int32_t member; std::vector<TvVariant> args; TvHResult hr; uint32_t argErr; };
    TvVariant big; TvVariantInit(&big); big.vt = TV_VT_R8; big.dblVal = 1e12;
    TvVariant odd; TvVariantInit(&odd); odd.vt = 99;
    TvVariant farDate; TvVariantInit(&farDate); farDate.vt = TV_VT_DATE; farDate.date = 3e6;
    const int32_t select = TV_DISPID_SelectBom;
    const std::vector<Case> cases = {
        {"too large for 32 bits", select, {nothing, big}, TV_DISP_E_OVERFLOW, 1},
        {"a number where the connection goes", select, {i4(1), i4(5)}, TV_DISP_E_TYPEMISMATCH, 0},
        {"an unknown tag", select, {odd, i4(5)}, TV_DISP_E_BADVARTYPE, 0},
        {"a date past the year 9999", TV_DISPID_LookBomReport, {nothing, i4(1), farDate}, TV_DISP_E_OVERFLOW, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const Call r = invoke(bom, c.member, TV_DISPATCH_METHOD, c.args);
        EXPECT_EQ(r.hr, c.hr);
        EXPECT_EQ(r.argErr, c.argErr);
        EXPECT_FALSE(r.description.empty());
    }
    EXPECT_TRUE(boxes.boxes().empty()) << "a failed conversion ran the method";
    bom->lpVtbl->Release(bom);
}

TEST(CInterface, MethodsRunThroughTheSeamAndErrorsComeBackAsCodes)
{
    QuietBoxes boxes;
    QTemporaryDir dir;
    TvDispatch *cnn = create(TV_CLSID_Connection);
    const std::string path = dir.filePath(QStringLiteral("c.db")).toStdString();
    ASSERT_EQ(invoke(cnn, 1, TV_DISPATCH_METHOD, {text(path.c_str())}).hr, TV_S_OK);
    TvDispatch *bom = create(TV_CLSID_BomInfo);

    ScopedDialog select(QStringLiteral("frmBOMSelect"), [] { return std::make_unique<QDialog>(); });
    ScopedDialogScript script([](QDialog &d) {
        gBomID = gItemID * 2;
        gReturnOK = true;
        d.accept();
    });
    Call r = invoke(bom, TV_DISPID_SelectBom, TV_DISPATCH_METHOD, {disp(cnn), i4(21)});
    ASSERT_EQ(r.hr, TV_S_OK) << r.description;
    EXPECT_EQ(r.result.lVal, 42);

    HostObject foreign{{&kHostVtbl}};
    r = invoke(bom, TV_DISPID_ActiveConnection, TV_DISPATCH_PROPERTYPUT, {disp(&foreign.iface)});
    EXPECT_EQ(r.hr, TV_DISP_E_EXCEPTION);
    EXPECT_EQ(r.code, 13);
    EXPECT_NE(r.description.find("TORVEL.Connection"), std::string::npos) << r.description;
    EXPECT_EQ(foreign.refs, 1) << "the library kept a reference to the host's object";

    ScopedDialog report(QStringLiteral("frmBOMReport"), []() -> std::unique_ptr<QDialog> {
        throw ComError(-2147467259, QStringLiteral("Microsoft OLE DB Provider"), QStringLiteral("no such table: COM_BOM"));
    });
    TvVariant date; TvVariantInit(&date); date.vt = TV_VT_DATE; date.date = 45000;
    r = invoke(bom, TV_DISPID_LookBomReport, TV_DISPATCH_METHOD, {disp(cnn), i4(1), date});
    EXPECT_EQ(r.hr, TV_DISP_E_EXCEPTION);
    EXPECT_EQ(r.code, -2147467259);
    EXPECT_EQ(r.description, "no such table: COM_BOM");

    EXPECT_TRUE(boxes.boxes().empty()) << "an error that goes back to the host was also shown";

    bom->lpVtbl->Release(bom);
    cnn->lpVtbl->Release(cnn);
    gAdoCnn.reset();
}

TEST(CInterface, TheEditorUsesTheConnectionObjectAsTheHostLeftIt)
{
    QuietBoxes boxes;
    const auto db = test::TestDatabase::createSqlite(true);
    const RecordsetPtr first = db->connection()->Execute(QStringLiteral("SELECT FBOMID, FBOMNumber FROM COM_BOM ORDER BY FBOMID"));
    ASSERT_TRUE(first && !first->Eof());
    const std::string where = db->connectionString().toStdString();
    TvDispatch *cnn = create(TV_CLSID_Connection);
    TvDispatch *bom = create(TV_CLSID_BomInfo);
    // Handed over before it is open, then closed and reopened by the host.
    ASSERT_EQ(invoke(bom, TV_DISPID_ActiveConnection, TV_DISPATCH_PROPERTYPUT, {disp(cnn)}).hr, TV_S_OK);
    ASSERT_EQ(invoke(cnn, 1, TV_DISPATCH_METHOD, {text(where.c_str())}).hr, TV_S_OK);
    ASSERT_EQ(invoke(cnn, 2, TV_DISPATCH_METHOD).hr, TV_S_OK);
    ASSERT_EQ(invoke(cnn, 1, TV_DISPATCH_METHOD, {text(where.c_str())}).hr, TV_S_OK);
    ASSERT_EQ(invoke(bom, TV_DISPID_InterID, TV_DISPATCH_PROPERTYPUT, {i4(first->Fields(QStringLiteral("FBOMID")).toInt32())}).hr,
              TV_S_OK);
    QString shown;
    ScopedDialogScript script([&shown](QDialog &d) {
        if (auto *number = d.findChild<QLineEdit *>(QStringLiteral("TxtBomNumber")))
            shown = number->text();
        d.reject();
    });
    EXPECT_EQ(invoke(bom, TV_DISPID_Show, TV_DISPATCH_METHOD).hr, TV_S_OK);
    EXPECT_EQ(shown, first->Fields(QStringLiteral("FBOMNumber")).toString());
    EXPECT_EQ(boxes.texts(), QStringList());
    bom->lpVtbl->Release(bom);
    cnn->lpVtbl->Release(cnn);
    gAdoCnn.reset();
}

TEST(CInterface, UnloadQueryCountsObjectsFactoriesAndLocks)
{
    ASSERT_EQ(DllCanUnloadNow(), TV_S_OK);
    TvClassFactory *factory = nullptr;
    ASSERT_EQ(DllGetClassObject(&TV_CLSID_BOMGroupInfo, &TV_IID_IClassFactory, reinterpret_cast<void **>(&factory)),
              TV_S_OK);
    EXPECT_EQ(DllCanUnloadNow(), TV_S_FALSE);
    TvDispatch *d = nullptr;
    EXPECT_EQ(factory->lpVtbl->CreateInstance(factory, reinterpret_cast<void *>(1), &TV_IID_IDispatch,
                                              reinterpret_cast<void **>(&d)),
              TV_CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->lpVtbl->CreateInstance(factory, nullptr, &TV_IID__BomInfo, reinterpret_cast<void **>(&d)),
              TV_E_NOINTERFACE);
    ASSERT_EQ(factory->lpVtbl->CreateInstance(factory, nullptr, &TV_IID__BOMGroupInfo, reinterpret_cast<void **>(&d)),
              TV_S_OK);
    factory->lpVtbl->LockServer(factory, 1);
    factory->lpVtbl->Release(factory);
    EXPECT_EQ(DllCanUnloadNow(), TV_S_FALSE);
    d->lpVtbl->Release(d);
    EXPECT_EQ(DllCanUnloadNow(), TV_S_FALSE) << "the lock still holds the library";

    ASSERT_EQ(DllGetClassObject(&TV_CLSID_BOMGroupInfo, &TV_IID_IUnknown, reinterpret_cast<void **>(&factory)), TV_S_OK);
    factory->lpVtbl->LockServer(factory, 0);
    factory->lpVtbl->LockServer(factory, 0);   // one too many: must not hide a later lock
    factory->lpVtbl->Release(factory);
    EXPECT_EQ(DllCanUnloadNow(), TV_S_OK);

    const TvGuid unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    void *none = nullptr;
    EXPECT_EQ(DllGetClassObject(&unknown, &TV_IID_IClassFactory, &none), TV_CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(DllGetClassObject(&TV_CLSID_BomInfo, &TV_IID_IDispatch, &none), TV_E_NOINTERFACE);
    EXPECT_EQ(DllCanUnloadNow(), TV_S_OK);
}
