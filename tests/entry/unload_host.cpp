// A host that frees unused libraries: it shares the platform runtime with
// libtorvel.so, unloads the library once it may, loads it again and creates
// an object, unloads it again and exits. Any crash fails the test.

#include "services/com/dispatch.h"

#include "torvel/torvel.h"

#include <cstdio>

#include <dlfcn.h>

namespace {

int fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    return 1;
}

int useOnce(const char *library)
{
    void *lib = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!lib)
        return fail(dlerror());
    auto getClassObject = reinterpret_cast<TvDllGetClassObjectFn>(dlsym(lib, "DllGetClassObject"));
    auto canUnloadNow = reinterpret_cast<TvDllCanUnloadNowFn>(dlsym(lib, "DllCanUnloadNow"));
    if (!getClassObject || !canUnloadNow)
        return fail("entry points missing");
    TvClassFactory *factory = nullptr;
    if (getClassObject(&TV_CLSID_BomInfo, &TV_IID_IClassFactory, reinterpret_cast<void **>(&factory)) != TV_S_OK)
        return fail("no class factory");
    TvDispatch *bom = nullptr;
    const TvHResult created = factory->lpVtbl->CreateInstance(factory, nullptr, &TV_IID_IDispatch,
                                                              reinterpret_cast<void **>(&bom));
    factory->lpVtbl->Release(factory);
    if (created != TV_S_OK)
        return fail("no object");
    TvVariant id;
    TvVariantInit(&id);
    id.vt = TV_VT_I4;
    id.lVal = 5;
    const TvHResult put = bom->lpVtbl->Invoke(bom, TV_DISPID_InterID, TV_DISPATCH_PROPERTYPUT, &id, 1, nullptr,
                                              nullptr, nullptr);
    bom->lpVtbl->Release(bom);
    if (put != TV_S_OK)
        return fail("put failed");
    if (canUnloadNow() != TV_S_OK)
        return fail("cannot unload with nothing alive");
    if (dlclose(lib) != 0)
        return fail(dlerror());
    if (torvel::ObjectRegistry::instance().isRegistered(QStringLiteral("TORVEL.BomInfo")))
        return fail("the unloaded library's factory is still registered");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2)
        return fail("usage: entry_unload_host LIBRARY");
    for (int round = 0; round < 2; ++round) {
        if (useOnce(argv[1]) != 0)
            return 1;
    }
    return 0;
}
