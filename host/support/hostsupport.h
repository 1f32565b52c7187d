#pragma once

// What a host needs to use a component library through its C interface:
// registration, CreateObject by ProgID through the per-user registry file,
// and small owning wrappers for dispatch pointers and variants.
// Plain C++; it never links the libraries it loads.

#include "torvel/torvel.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace torvel::host {

// Loads the library (once per process; it stays loaded) and calls its
// DllRegisterServer or DllUnregisterServer.
TvHResult RegisterServer(const std::string &libraryPath, std::string *error = nullptr);
TvHResult UnregisterServer(const std::string &libraryPath, std::string *error = nullptr);
// The library's DllCanUnloadNow; TV_E_FAIL when it cannot be loaded.
TvHResult CanUnloadNow(const std::string &libraryPath);

// The library's TorvelSetDialogScreenshot: each dialog it opens is saved
// to pngPath and closed (nullptr stops it).
TvHResult SetDialogScreenshot(const std::string &libraryPath, const char *pngPath);
// The library's TorvelSetDialogText: each dialog with a text form prints it
// to stdout and closes.
TvHResult SetDialogText(const std::string &libraryPath, bool enable);

// Reads the registry file, loads the library registered for the ProgID, asks
// its class factory for an object and returns a new reference in *object.
TvHResult CreateObject(const std::string &progId, TvDispatch **object, std::string *error = nullptr);

// A failed call: the code, and the message the object or the loader gave.
class DispatchError : public std::runtime_error
{
public:
    DispatchError(TvHResult hr, int32_t code, const std::string &message)
        : std::runtime_error(message), m_hr(hr), m_code(code) {}
    TvHResult hr() const { return m_hr; }
    int32_t code() const { return m_code; }

private:
    TvHResult m_hr;
    int32_t m_code;
};

// An owned TvVariant.
class Value
{
public:
    Value() { TvVariantInit(&m_v); }
    ~Value() { TvVariantClear(&m_v); }
    Value(const Value &other);
    Value &operator=(const Value &other);
    Value(Value &&other) noexcept : m_v(other.m_v) { TvVariantInit(&other.m_v); }
    Value &operator=(Value &&other) noexcept;

    static Value i2(int16_t v);
    static Value i4(int32_t v);
    static Value r8(double v);
    static Value date(double oleDate);
    static Value boolean(bool v);
    static Value text(const std::string &utf8);
    static Value object(TvDispatch *d);   // takes a new reference

    const TvVariant &raw() const { return m_v; }
    TvVariant *out() { TvVariantClear(&m_v); return &m_v; }
    // How torvel-host prints results: numbers in decimal, True/False, the text.
    std::string toText() const;

private:
    TvVariant m_v;
};

// An owned dispatch pointer with calls by id; failures throw DispatchError.
class Object
{
public:
    Object() = default;
    explicit Object(TvDispatch *adopted) : m_d(adopted) {}
    ~Object() { reset(); }
    Object(const Object &) = delete;
    Object &operator=(const Object &) = delete;
    Object(Object &&o) noexcept : m_d(o.m_d) { o.m_d = nullptr; }
    Object &operator=(Object &&o) noexcept;

    // CreateObject by ProgID; throws DispatchError when it fails.
    static Object create(const std::string &progId);

    TvDispatch *get() const { return m_d; }
    explicit operator bool() const { return m_d != nullptr; }
    void reset();

    int32_t idOf(const std::string &name) const;
    Value get(int32_t id, const std::vector<Value> &args = {}) const;
    void put(int32_t id, const Value &value) const;
    Value call(int32_t id, const std::vector<Value> &args = {}) const;
    Value invoke(int32_t id, uint16_t kind, const std::vector<Value> &args) const;

private:
    TvDispatch *m_d = nullptr;
};

// The date as an OLE date (days since 30 December 1899); false for a
// text that is no date in the form YYYY-MM-DD.
bool oleDateFromIso(const std::string &text, double *oleDate);

} // namespace torvel::host
