#include "hostsupport.h"

#include "services/com/registryfile.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include <dlfcn.h>

namespace torvel::host {

namespace {

struct Library {
    void *handle = nullptr;
    TvDllRegisterServerFn registerServer = nullptr;
    TvDllRegisterServerFn unregisterServer = nullptr;
    TvDllGetClassObjectFn getClassObject = nullptr;
    TvDllCanUnloadNowFn canUnloadNow = nullptr;
    TvSetDialogScreenshotFn setScreenshot = nullptr;   // optional
    TvSetDialogTextFn setText = nullptr;               // optional
};

std::string hex(TvHResult hr)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", unsigned(hr));
    return buf;
}

// Libraries stay loaded for the process: one with a user interface cannot be
// unloaded safely while its toolkit is alive.
const Library *load(const std::string &path, std::string *error)
{
    static std::mutex mutex;
    static std::map<std::string, Library> loaded;
    std::lock_guard lock(mutex);
    if (auto it = loaded.find(path); it != loaded.end())
        return &it->second;
    Library lib;
    lib.handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib.handle) {
        if (error)
            *error = std::string("cannot load ") + path + ": " + ::dlerror();
        return nullptr;
    }
    lib.registerServer = reinterpret_cast<TvDllRegisterServerFn>(::dlsym(lib.handle, "DllRegisterServer"));
    lib.unregisterServer = reinterpret_cast<TvDllRegisterServerFn>(::dlsym(lib.handle, "DllUnregisterServer"));
    lib.getClassObject = reinterpret_cast<TvDllGetClassObjectFn>(::dlsym(lib.handle, "DllGetClassObject"));
    lib.canUnloadNow = reinterpret_cast<TvDllCanUnloadNowFn>(::dlsym(lib.handle, "DllCanUnloadNow"));
    lib.setScreenshot = reinterpret_cast<TvSetDialogScreenshotFn>(::dlsym(lib.handle, "TorvelSetDialogScreenshot"));
    lib.setText = reinterpret_cast<TvSetDialogTextFn>(::dlsym(lib.handle, "TorvelSetDialogText"));
    if (!lib.registerServer || !lib.unregisterServer || !lib.getClassObject || !lib.canUnloadNow) {
        if (error)
            *error = path + " is not a component library (missing Dll entry points)";
        ::dlclose(lib.handle);
        return nullptr;
    }
    return &(loaded[path] = lib);
}

std::string takeText(char *&s)
{
    std::string text = s ? s : "";
    std::free(s);
    s = nullptr;
    return text;
}

} // namespace

TvHResult RegisterServer(const std::string &libraryPath, std::string *error)
{
    const Library *lib = load(libraryPath, error);
    if (!lib)
        return TV_E_FAIL;
    const TvHResult hr = lib->registerServer();
    if (TV_FAILED(hr) && error)
        *error = "DllRegisterServer failed with " + hex(hr) + " (registry " + reg::registryPath() + ")";
    return hr;
}

TvHResult UnregisterServer(const std::string &libraryPath, std::string *error)
{
    const Library *lib = load(libraryPath, error);
    if (!lib)
        return TV_E_FAIL;
    const TvHResult hr = lib->unregisterServer();
    if (TV_FAILED(hr) && error)
        *error = "DllUnregisterServer failed with " + hex(hr);
    return hr;
}

TvHResult CanUnloadNow(const std::string &libraryPath)
{
    const Library *lib = load(libraryPath, nullptr);
    return lib ? lib->canUnloadNow() : TV_E_FAIL;
}

TvHResult SetDialogScreenshot(const std::string &libraryPath, const char *pngPath)
{
    const Library *lib = load(libraryPath, nullptr);
    if (!lib || !lib->setScreenshot)
        return TV_E_NOTIMPL;
    return lib->setScreenshot(pngPath);
}

TvHResult SetDialogText(const std::string &libraryPath, bool enable)
{
    const Library *lib = load(libraryPath, nullptr);
    if (!lib || !lib->setText)
        return TV_E_NOTIMPL;
    return lib->setText(enable ? 1 : 0);
}

TvHResult CreateObject(const std::string &progId, TvDispatch **object, std::string *error)
{
    if (!object)
        return TV_E_POINTER;
    *object = nullptr;
    reg::RegistryFile file;
    if (!file.load(reg::registryPath(), error))
        return TV_REGDB_E_CLASSNOTREG;
    TvGuid clsid;
    std::string library;
    if (!file.resolve(progId, &clsid, &library, error))
        return TV_REGDB_E_CLASSNOTREG;
    const Library *lib = load(library, error);
    if (!lib)
        return TV_E_FAIL;
    TvClassFactory *factory = nullptr;
    TvHResult hr = lib->getClassObject(&clsid, &TV_IID_IClassFactory, reinterpret_cast<void **>(&factory));
    if (TV_FAILED(hr)) {
        if (error)
            *error = "DllGetClassObject for " + progId + " failed with " + hex(hr);
        return hr;
    }
    hr = factory->lpVtbl->CreateInstance(factory, nullptr, &TV_IID_IDispatch, reinterpret_cast<void **>(object));
    factory->lpVtbl->Release(factory);
    if (TV_FAILED(hr) && error)
        *error = "creating " + progId + " failed with " + hex(hr);
    return hr;
}

// ---- Value ------------------------------------------------------------------

Value::Value(const Value &other)
{
    TvVariantInit(&m_v);
    *this = other;
}

Value &Value::operator=(const Value &other)
{
    if (this == &other)
        return *this;
    TvVariantClear(&m_v);
    m_v = other.m_v;
    if (m_v.vt == TV_VT_BSTR)
        m_v.bstrVal = strdup(other.m_v.bstrVal ? other.m_v.bstrVal : "");
    else if (m_v.vt == TV_VT_DISPATCH && m_v.pdispVal)
        m_v.pdispVal->lpVtbl->AddRef(m_v.pdispVal);
    return *this;
}

Value &Value::operator=(Value &&other) noexcept
{
    if (this != &other) {
        TvVariantClear(&m_v);
        m_v = other.m_v;
        TvVariantInit(&other.m_v);
    }
    return *this;
}

Value Value::i2(int16_t v) { Value r; r.m_v.vt = TV_VT_I2; r.m_v.iVal = v; return r; }
Value Value::i4(int32_t v) { Value r; r.m_v.vt = TV_VT_I4; r.m_v.lVal = v; return r; }
Value Value::r8(double v) { Value r; r.m_v.vt = TV_VT_R8; r.m_v.dblVal = v; return r; }
Value Value::date(double d) { Value r; r.m_v.vt = TV_VT_DATE; r.m_v.date = d; return r; }
Value Value::boolean(bool v) { Value r; r.m_v.vt = TV_VT_BOOL; r.m_v.boolVal = v ? -1 : 0; return r; }

Value Value::text(const std::string &utf8)
{
    Value r;
    r.m_v.vt = TV_VT_BSTR;
    r.m_v.bstrVal = strdup(utf8.c_str());
    return r;
}

Value Value::object(TvDispatch *d)
{
    Value r;
    r.m_v.vt = TV_VT_DISPATCH;
    r.m_v.pdispVal = d;
    if (d)
        d->lpVtbl->AddRef(d);
    return r;
}

std::string Value::toText() const
{
    char buf[64];
    switch (m_v.vt) {
    case TV_VT_EMPTY: return {};
    case TV_VT_NULL: return "Null";
    case TV_VT_I2: return std::to_string(m_v.iVal);
    case TV_VT_I4: return std::to_string(m_v.lVal);
    case TV_VT_R8:
        std::snprintf(buf, sizeof buf, "%.15g", m_v.dblVal);
        return buf;
    case TV_VT_DATE: {
        // Days since 30 December 1899 to a calendar date (civil-from-days).
        const long days = long(std::floor(m_v.date)) - 25569 + 719468;   // to 1970-01-01, then to 0000-03-01
        const long era = (days >= 0 ? days : days - 146096) / 146097;
        const long doe = days - era * 146097;
        const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const long mp = (5 * doy + 2) / 153;
        const long d = doy - (153 * mp + 2) / 5 + 1;
        const long m = mp < 10 ? mp + 3 : mp - 9;
        const long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
        std::snprintf(buf, sizeof buf, "%04ld-%02ld-%02ld", y, m, d);
        return buf;
    }
    case TV_VT_BSTR: return m_v.bstrVal ? m_v.bstrVal : "";
    case TV_VT_BOOL: return m_v.boolVal ? "True" : "False";
    case TV_VT_DISPATCH: return m_v.pdispVal ? "<object>" : "Nothing";
    default: return "<vt " + std::to_string(m_v.vt) + ">";
    }
}

bool oleDateFromIso(const std::string &text, double *oleDate)
{
    int y, m, d;
    char tail;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3 || m < 1 || m > 12 || d < 1 || d > 31)
        return false;
    // Days from civil, then from 1970-01-01 to the OLE epoch.
    const long yy = y - (m <= 2 ? 1 : 0);
    const long era = (yy >= 0 ? yy : yy - 399) / 400;
    const long yoe = yy - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long days = era * 146097 + doe - 719468;
    // Reject dates like 02-31 that would roll over.
    Value check = Value::date(double(days + 25569));
    if (check.toText() != text.substr(0, 10))
        return false;
    *oleDate = double(days + 25569);
    return true;
}

// ---- Object -----------------------------------------------------------------

Object &Object::operator=(Object &&o) noexcept
{
    if (this != &o) {
        reset();
        m_d = o.m_d;
        o.m_d = nullptr;
    }
    return *this;
}

void Object::reset()
{
    if (m_d) {
        m_d->lpVtbl->Release(m_d);
        m_d = nullptr;
    }
}

Object Object::create(const std::string &progId)
{
    TvDispatch *d = nullptr;
    std::string error;
    const TvHResult hr = CreateObject(progId, &d, &error);
    if (TV_FAILED(hr))
        throw DispatchError(hr, 0, error);
    return Object(d);
}

int32_t Object::idOf(const std::string &name) const
{
    const char *names[] = {name.c_str()};
    int32_t id = TV_DISPID_UNKNOWN;
    const TvHResult hr = m_d->lpVtbl->GetIDsOfNames(m_d, names, 1, &id);
    if (TV_FAILED(hr))
        throw DispatchError(hr, 438, "unknown member " + name);
    return id;
}

Value Object::invoke(int32_t id, uint16_t kind, const std::vector<Value> &args) const
{
    std::vector<TvVariant> raw;
    raw.reserve(args.size());
    for (const auto &a : args)
        raw.push_back(a.raw());   // borrowed: the library only reads arguments
    Value result;
    TvExcepInfo excep;
    std::memset(&excep, 0, sizeof excep);
    uint32_t argErr = 0;
    const TvHResult hr = m_d->lpVtbl->Invoke(m_d, id, kind, raw.data(), uint32_t(raw.size()), result.out(), &excep,
                                             &argErr);
    if (TV_FAILED(hr)) {
        std::string message = takeText(excep.description);
        const std::string source = takeText(excep.source);
        if (message.empty())
            message = "call failed with " + hex(hr);
        if (!source.empty())
            message = source + ": " + message;
        throw DispatchError(hr, excep.code, message);
    }
    TvExcepInfoClear(&excep);
    return result;
}

Value Object::get(int32_t id, const std::vector<Value> &args) const
{
    return invoke(id, TV_DISPATCH_PROPERTYGET, args);
}

void Object::put(int32_t id, const Value &value) const
{
    invoke(id, TV_DISPATCH_PROPERTYPUT, {value});
}

Value Object::call(int32_t id, const std::vector<Value> &args) const
{
    return invoke(id, TV_DISPATCH_METHOD, args);
}

} // namespace torvel::host
