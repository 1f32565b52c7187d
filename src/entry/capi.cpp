#include "entry/capi.h"

#include "state/dialogseam.h"
#include "entry/publicclasses.h"
#include "services/com/registryfile.h"
#include "services/com/connectionobject.h"
#include "services/screen/messagebox.h"

#include <QDialog>
#include <QMessageBox>
#include <QPixmap>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <dlfcn.h>
#include <limits.h>

namespace torvel::capi {

namespace {

std::atomic<long> g_live{0};    // dispatch objects and class factories
std::atomic<long> g_locks{0};   // LockServer

char *dupString(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    char *s = static_cast<char *>(std::malloc(size_t(utf8.size()) + 1));
    if (!s)
        throw std::bad_alloc();
    std::memcpy(s, utf8.constData(), size_t(utf8.size()) + 1);
    return s;
}

// ---- errors at the boundary -------------------------------------------------

struct Failure {
    TvHResult hr;
    int32_t code;
    QString source;
    QString description;
};

// The platform reports errors an object raised as 0x800A0000 + number, and
// passes a database's own code (already an HRESULT) through.
TvHResult scodeOf(int32_t number)
{
    return number < 0 ? TvHResult(number) : TvHResult(0x800A0000u | (uint32_t(number) & 0xFFFF));
}

Failure failureOf(const ComError &e)
{
    TvHResult hr = TV_DISP_E_EXCEPTION;
    switch (e.number()) {
    case errc::MemberNotFound:
    case errc::PropertyReadOnly:
    case errc::PropertyWriteOnly:
        hr = TV_DISP_E_MEMBERNOTFOUND;
        break;
    case errc::WrongArgumentCount:
        hr = TV_DISP_E_BADPARAMCOUNT;
        break;
    default:
        break;
    }
    return {hr, e.number(), e.source(), e.description()};
}

TvHResult report(const Failure &f, TvExcepInfo *excep)
{
    if (excep) {
        try {
            excep->code = f.code;
            excep->scode = f.hr == TV_DISP_E_EXCEPTION ? scodeOf(f.code) : f.hr;
            excep->source = dupString(f.source);
            excep->description = dupString(f.description);
        } catch (...) {
            // Out of memory while reporting: the code alone must do.
        }
    }
    return f.hr;
}

// Runs a boundary call: every exception becomes a code and a message.
template <class F>
TvHResult guarded(TvExcepInfo *excep, uint32_t *argErr, F &&body)
{
    try {
        return body();
    } catch (const ArgumentError &e) {
        Failure f = failureOf(e);
        if (e.number() == errc::TypeMismatch || e.number() == errc::ObjectRequired)
            f.hr = TV_DISP_E_TYPEMISMATCH;
        else if (e.number() == errc::Overflow)
            f.hr = TV_DISP_E_OVERFLOW;
        if (argErr)
            *argErr = uint32_t(e.argIndex());
        return report(f, excep);
    } catch (const ComError &e) {
        return report(failureOf(e), excep);
    } catch (const std::bad_alloc &) {
        return report({TV_E_OUTOFMEMORY, 7, QStringLiteral("TORVEL"), QStringLiteral("内存不足")}, excep);
    } catch (const std::exception &e) {
        return report({TV_DISP_E_EXCEPTION, errc::DatabaseError, QStringLiteral("TORVEL"),
                       QString::fromLocal8Bit(e.what())},
                      excep);
    } catch (...) {
        return report({TV_E_UNEXPECTED, errc::DatabaseError, QStringLiteral("TORVEL"), errtext::kUnknown},
                      excep);
    }
}

// ---- dispatch objects ---------------------------------------------------------

struct ObjectBox {
    TvDispatch iface;
    std::atomic<uint32_t> refs{1};
    ObjectPtr object;
    TvGuid iid;   // the class's own interface; IDispatch for others
};

ObjectBox *boxOf(TvDispatch *self)
{
    return reinterpret_cast<ObjectBox *>(self);
}

TvHResult objQueryInterface(TvDispatch *self, const TvGuid *iid, void **out)
{
    if (!out || !iid)
        return TV_E_POINTER;
    *out = nullptr;
    ObjectBox *box = boxOf(self);
    if (TvGuidEqual(iid, &TV_IID_IUnknown) || TvGuidEqual(iid, &TV_IID_IDispatch) || TvGuidEqual(iid, &box->iid)) {
        box->refs.fetch_add(1);
        *out = self;
        return TV_S_OK;
    }
    return TV_E_NOINTERFACE;
}

uint32_t objAddRef(TvDispatch *self)
{
    return boxOf(self)->refs.fetch_add(1) + 1;
}

uint32_t objRelease(TvDispatch *self)
{
    ObjectBox *box = boxOf(self);
    const uint32_t left = box->refs.fetch_sub(1) - 1;
    if (left == 0) {
        try {
            delete box;
        } catch (...) {
        }
        g_live.fetch_sub(1);
    }
    return left;
}

TvHResult objGetIDsOfNames(TvDispatch *self, const char *const *names, uint32_t count, int32_t *ids)
{
    if ((!names || !ids) && count > 0)
        return TV_E_POINTER;
    return guarded(nullptr, nullptr, [&] {
        TvHResult hr = TV_S_OK;
        for (uint32_t i = 0; i < count; ++i) {
            try {
                ids[i] = boxOf(self)->object->idOfName(QString::fromUtf8(names[i] ? names[i] : ""));
            } catch (const ComError &) {
                ids[i] = TV_DISPID_UNKNOWN;
                hr = TV_DISP_E_UNKNOWNNAME;
            }
        }
        return hr;
    });
}

TvHResult objInvoke(TvDispatch *self, int32_t id, uint16_t kind, const TvVariant *args, uint32_t argCount,
                    TvVariant *result, TvExcepInfo *excep, uint32_t *argErr)
{
    if (result)
        TvVariantInit(result);
    if (excep)
        std::memset(excep, 0, sizeof *excep);
    if (!args && argCount > 0)
        return report({TV_E_POINTER, errc::InvalidProcedureCall, QStringLiteral("TORVEL"),
                       QStringLiteral("参数数组为空")}, excep);
    InvokeKind k;
    switch (kind) {
    case TV_DISPATCH_METHOD: k = InvokeKind::Method; break;
    case TV_DISPATCH_PROPERTYGET: k = InvokeKind::PropertyGet; break;
    case TV_DISPATCH_PROPERTYPUT: k = InvokeKind::PropertyPut; break;
    default:
        return report({TV_E_INVALIDARG, errc::InvalidProcedureCall, QStringLiteral("TORVEL"),
                       QStringLiteral("无效的调用方式: %1 (应为 1 方法, 2 读属性, 4 写属性)").arg(kind)},
                      excep);
    }
    return guarded(excep, argErr, [&] {
        Args list;
        list.reserve(argCount);
        for (uint32_t i = 0; i < argCount; ++i) {
            try {
                list.push_back(fromC(args[i]));
            } catch (const ComError &e) {
                if (argErr)
                    *argErr = i;
                return report({TV_DISP_E_BADVARTYPE, e.number(), QStringLiteral("TORVEL"), e.description()}, excep);
            }
        }
        const Variant value = boxOf(self)->object->invoke(id, k, list);
        if (result)
            toC(value, result);
        return TV_S_OK;
    });
}

const TvDispatchVtbl kObjectVtbl = {objQueryInterface, objAddRef, objRelease, objGetIDsOfNames, objInvoke};

// A host's object used from inside the library.
class ForeignObject : public DispatchObject
{
public:
    explicit ForeignObject(TvDispatch *d) : m_d(d) { m_d->lpVtbl->AddRef(m_d); }
    ~ForeignObject() override { m_d->lpVtbl->Release(m_d); }
    QString className() const override { return QStringLiteral("外部对象"); }
    TvDispatch *dispatch() const { return m_d; }

    DispId idOfName(const QString &name) const override
    {
        const QByteArray utf8 = name.toUtf8();
        const char *names[] = {utf8.constData()};
        int32_t id = TV_DISPID_UNKNOWN;
        if (TV_FAILED(m_d->lpVtbl->GetIDsOfNames(m_d, names, 1, &id)))
            throw ComError(errc::MemberNotFound, className(), errtext::kMemberNotFound + name);
        return id;
    }

    Variant invoke(DispId id, InvokeKind kind, Args &args) override
    {
        std::vector<TvVariant> in(args.size());
        for (size_t i = 0; i < args.size(); ++i)
            toC(args[i], &in[i]);
        TvVariant out;
        TvVariantInit(&out);
        TvExcepInfo excep;
        std::memset(&excep, 0, sizeof excep);
        const TvHResult hr = m_d->lpVtbl->Invoke(m_d, id, uint16_t(kind), in.data(), uint32_t(in.size()), &out,
                                                 &excep, nullptr);
        for (auto &v : in)
            TvVariantClear(&v);
        if (TV_FAILED(hr)) {
            const ComError e(excep.code ? excep.code : hr, QString::fromUtf8(excep.source ? excep.source : ""),
                             excep.description ? QString::fromUtf8(excep.description)
                                               : QStringLiteral("外部对象调用失败 (0x%1)").arg(uint32_t(hr), 8, 16));
            TvExcepInfoClear(&excep);
            TvVariantClear(&out);
            throw e;
        }
        TvExcepInfoClear(&excep);
        Variant value;
        try {
            value = fromC(out);
        } catch (...) {
            TvVariantClear(&out);
            throw;
        }
        TvVariantClear(&out);
        return value;
    }

private:
    TvDispatch *m_d;
};

// ---- class factories ----------------------------------------------------------

struct ClassEntry {
    const TvGuid *clsid;
    const char *progId;
    const char *name;
};

const ClassEntry kClasses[] = {
    {&TV_CLSID_BomInfo, "TORVEL.BomInfo", "BomInfo"},
    {&TV_CLSID_BOMGroupInfo, "TORVEL.BOMGroupInfo", "BOMGroupInfo"},
    {&TV_CLSID_Connection, "TORVEL.Connection", "Connection"},
};

const ClassEntry *classOf(const TvGuid *clsid)
{
    for (const auto &c : kClasses) {
        if (TvGuidEqual(c.clsid, clsid))
            return &c;
    }
    return nullptr;
}

struct FactoryBox {
    TvClassFactory iface;
    std::atomic<uint32_t> refs{1};
    const ClassEntry *entry;
};

FactoryBox *factoryOf(TvClassFactory *self)
{
    return reinterpret_cast<FactoryBox *>(self);
}

TvHResult cfQueryInterface(TvClassFactory *self, const TvGuid *iid, void **out)
{
    if (!out || !iid)
        return TV_E_POINTER;
    *out = nullptr;
    if (TvGuidEqual(iid, &TV_IID_IUnknown) || TvGuidEqual(iid, &TV_IID_IClassFactory)) {
        factoryOf(self)->refs.fetch_add(1);
        *out = self;
        return TV_S_OK;
    }
    return TV_E_NOINTERFACE;
}

uint32_t cfAddRef(TvClassFactory *self)
{
    return factoryOf(self)->refs.fetch_add(1) + 1;
}

uint32_t cfRelease(TvClassFactory *self)
{
    FactoryBox *box = factoryOf(self);
    const uint32_t left = box->refs.fetch_sub(1) - 1;
    if (left == 0) {
        delete box;
        g_live.fetch_sub(1);
    }
    return left;
}

TvHResult cfCreateInstance(TvClassFactory *self, void *outer, const TvGuid *iid, void **out)
{
    if (!out || !iid)
        return TV_E_POINTER;
    *out = nullptr;
    if (outer)
        return TV_CLASS_E_NOAGGREGATION;
    return guarded(nullptr, nullptr, [&] {
        initLibrary();
        TvDispatch *d = exportObject(ObjectRegistry::instance().create(QString::fromLatin1(factoryOf(self)->entry->progId)));
        const TvHResult hr = d->lpVtbl->QueryInterface(d, iid, out);
        d->lpVtbl->Release(d);
        return hr;
    });
}

TvHResult cfLockServer(TvClassFactory *, int32_t lock)
{
    if (lock) {
        g_locks.fetch_add(1);
    } else {
        // An unlock without a lock must not make the count lie.
        long n = g_locks.load();
        while (n > 0 && !g_locks.compare_exchange_weak(n, n - 1)) {
        }
    }
    return TV_S_OK;
}

const TvClassFactoryVtbl kFactoryVtbl = {cfQueryInterface, cfAddRef, cfRelease, cfCreateInstance, cfLockServer};

// While screenshots are on, nobody can answer a box: each is rendered to
// the picture, reported on stderr and answered OK.
class ScreenshotBoxes : public MessageBoxService
{
public:
    QString path;
    int show(const QString &text, int flags, const QString &title) override
    {
        std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
        QMessageBox box(QMessageBox::NoIcon, title, text);
        if ((flags & 0x70) == mb::Critical)
            box.setIcon(QMessageBox::Critical);
        else if ((flags & 0x70) == mb::Exclamation)
            box.setIcon(QMessageBox::Warning);
        else if ((flags & 0x70) == mb::Information)
            box.setIcon(QMessageBox::Information);
        box.grab().save(path, "PNG");
        return mb::OK;
    }
};

// While dialogs print themselves, boxes print to stderr and are answered OK.
class TextBoxes : public MessageBoxService
{
public:
    int show(const QString &text, int, const QString &title) override
    {
        std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
        return mb::OK;
    }
};

ScreenshotBoxes &screenshotBoxes()
{
    static ScreenshotBoxes boxes;
    return boxes;
}

// A box service of this library in the shared runtime, which outlives it:
// the runtime must not keep it once the library is unloaded.
void useOwnBoxes(MessageBoxService *service)
{
    static struct Restore {
        MessageBoxService *ours = nullptr;
        ~Restore()
        {
            if (ours && &messageBoxService() == ours)
                setMessageBoxService(nullptr);
        }
    } restore;
    restore.ours = service;
    setMessageBoxService(service);
}

std::string libraryPath()
{
    Dl_info info;
    if (!dladdr(reinterpret_cast<void *>(&DllGetClassObject), &info) || !info.dli_fname)
        return {};
    // The name the host loaded, made absolute but not followed to the file
    // behind it: registered by its soname link, the entry outlives an update.
    const std::string loaded = info.dli_fname;
    const size_t slash = loaded.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : loaded.substr(0, slash);
    char resolved[PATH_MAX];
    if (!realpath(folder.c_str(), resolved))
        return loaded;
    const std::string base = std::string(resolved) == "/" ? std::string() : std::string(resolved);
    return base + '/' + loaded.substr(slash == std::string::npos ? 0 : slash + 1);
}

} // namespace

TvDispatch *exportObject(ObjectPtr object)
{
    auto *box = new ObjectBox;
    box->iface.lpVtbl = &kObjectVtbl;
    box->iid = TV_IID_IDispatch;
    if (dynamic_cast<BomInfo *>(object.get()))
        box->iid = TV_IID__BomInfo;
    else if (dynamic_cast<BOMGroupInfo *>(object.get()))
        box->iid = TV_IID__BOMGroupInfo;
    box->object = std::move(object);
    g_live.fetch_add(1);
    return &box->iface;
}

ObjectPtr importDispatch(TvDispatch *d)
{
    if (!d)
        return nullptr;
    if (d->lpVtbl == &kObjectVtbl)
        return boxOf(d)->object;
    return std::make_shared<ForeignObject>(d);
}

Variant fromC(const TvVariant &v)
{
    switch (v.vt) {
    case TV_VT_EMPTY: return Variant();
    case TV_VT_NULL: return Variant::null();
    case TV_VT_I2: return Variant(v.iVal);
    case TV_VT_I4: return Variant(v.lVal);
    case TV_VT_R8: return Variant(v.dblVal);
    case TV_VT_DATE: return Variant::date(v.date);
    case TV_VT_BSTR: return Variant(QString::fromUtf8(v.bstrVal ? v.bstrVal : ""));
    case TV_VT_DISPATCH: return Variant(importDispatch(v.pdispVal));
    case TV_VT_BOOL: return Variant(v.boolVal != 0);
    default:
        throw ComError(errc::TypeMismatch, QStringLiteral("TORVEL"),
                       QStringLiteral("不支持的变体类型: %1").arg(v.vt));
    }
}

void toC(const Variant &value, TvVariant *out)
{
    TvVariantInit(out);
    switch (value.type()) {
    case Variant::Type::Empty: break;
    case Variant::Type::Null: out->vt = TV_VT_NULL; break;
    case Variant::Type::Boolean: out->vt = TV_VT_BOOL; out->boolVal = value.toBool() ? -1 : 0; break;
    case Variant::Type::Int16: out->vt = TV_VT_I2; out->iVal = value.toInt16(); break;
    case Variant::Type::Int32: out->vt = TV_VT_I4; out->lVal = value.toInt32(); break;
    case Variant::Type::Double: out->vt = TV_VT_R8; out->dblVal = value.toDouble(); break;
    case Variant::Type::Date: out->vt = TV_VT_DATE; out->date = value.toDate(); break;
    case Variant::Type::String: out->bstrVal = dupString(value.toString()); out->vt = TV_VT_BSTR; break;
    case Variant::Type::Object: {
        const ObjectPtr object = value.toObject();
        out->vt = TV_VT_DISPATCH;
        if (auto *foreign = dynamic_cast<ForeignObject *>(object.get())) {
            out->pdispVal = foreign->dispatch();
            out->pdispVal->lpVtbl->AddRef(out->pdispVal);
        } else if (object) {
            out->pdispVal = exportObject(object);
        }
        break;
    }
    }
}

long liveCount()
{
    return g_live.load() + g_locks.load();
}

} // namespace torvel::capi

using namespace torvel;
using namespace torvel::capi;

extern "C" {

TORVEL_API TvHResult DllGetClassObject(const TvGuid *clsid, const TvGuid *iid, void **out)
{
    if (!out || !clsid || !iid)
        return TV_E_POINTER;
    *out = nullptr;
    try {
        const ClassEntry *entry = classOf(clsid);
        if (!entry)
            return TV_CLASS_E_CLASSNOTAVAILABLE;
        if (!TvGuidEqual(iid, &TV_IID_IClassFactory) && !TvGuidEqual(iid, &TV_IID_IUnknown))
            return TV_E_NOINTERFACE;
        auto *box = new FactoryBox;
        box->iface.lpVtbl = &kFactoryVtbl;
        box->entry = entry;
        g_live.fetch_add(1);
        *out = &box->iface;
        return TV_S_OK;
    } catch (const std::bad_alloc &) {
        return TV_E_OUTOFMEMORY;
    } catch (...) {
        return TV_E_UNEXPECTED;
    }
}

TORVEL_API TvHResult DllCanUnloadNow(void)
{
    return liveCount() == 0 ? TV_S_OK : TV_S_FALSE;
}

TORVEL_API TvHResult DllRegisterServer(void)
{
    try {
        const std::string library = libraryPath();
        if (library.empty())
            return TV_SELFREG_E_CLASS;
        reg::RegistryFile file;
        if (!file.load(reg::registryPath(), nullptr))
            return TV_SELFREG_E_CLASS;
        const std::string libid = reg::guidToString(TV_LIBID_TORVEL);
        for (const auto &c : kClasses) {
            const std::string clsid = reg::guidToString(*c.clsid);
            const std::string key = "CLSID\\" + clsid;
            file.set(c.progId, "CLSID", clsid);
            file.set(key, "Class", c.name);
            file.set(key, "ProgID", c.progId);
            file.set(key, "InprocServer", library);
            file.set(key, "TypeLib", libid);
        }
        const std::string lib = "TypeLib\\" + libid;
        file.set(lib, "Name", "TORVEL");
        file.set(lib, "Version", "1.0");
        file.set(lib, "Path", library);
        return file.save(nullptr) ? TV_S_OK : TV_SELFREG_E_CLASS;
    } catch (...) {
        return TV_SELFREG_E_CLASS;
    }
}

TORVEL_API TvHResult DllUnregisterServer(void)
{
    try {
        reg::RegistryFile file;
        if (!file.load(reg::registryPath(), nullptr))
            return TV_SELFREG_E_CLASS;
        for (const auto &c : kClasses) {
            file.removeSection(c.progId);
            file.removeSection("CLSID\\" + reg::guidToString(*c.clsid));
        }
        file.removeSection("TypeLib\\" + reg::guidToString(TV_LIBID_TORVEL));
        return file.save(nullptr) ? TV_S_OK : TV_SELFREG_E_CLASS;
    } catch (...) {
        return TV_SELFREG_E_CLASS;
    }
}

TORVEL_API TvHResult TorvelSetDialogScreenshot(const char *pngPath)
{
    try {
        if (!pngPath) {
            setDialogScript({});
            setMessageBoxService(nullptr);
            return TV_S_OK;
        }
        const QString path = QString::fromUtf8(pngPath);
        screenshotBoxes().path = path;
        useOwnBoxes(&screenshotBoxes());
        setDialogScript([path](QDialog &dialog) {
            if (!dialog.grab().save(path, "PNG"))
                qWarning("cannot write the screenshot %s", qPrintable(path));
            dialog.reject();
        });
        return TV_S_OK;
    } catch (...) {
        return TV_E_UNEXPECTED;
    }
}

TORVEL_API TvHResult TorvelSetDialogText(int32_t enable)
{
    try {
        static TextBoxes boxes;
        if (!enable) {
            setDialogScript({});
            setMessageBoxService(nullptr);
            return TV_S_OK;
        }
        useOwnBoxes(&boxes);
        setDialogScript([](QDialog &dialog) {
            // A dialog with a text form offers it as dialogText().
            QString text;
            if (QMetaObject::invokeMethod(&dialog, "dialogText", Qt::DirectConnection, Q_RETURN_ARG(QString, text))) {
                std::fputs(text.toUtf8().constData(), stdout);
                std::fflush(stdout);
            } else {
                std::fprintf(stderr, "%s has no text form\n", qPrintable(dialog.objectName()));
            }
            dialog.reject();
        });
        return TV_S_OK;
    } catch (...) {
        return TV_E_UNEXPECTED;
    }
}

} // extern "C"
