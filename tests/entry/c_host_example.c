/* The C host of docs/host-interface.md, built and run as a test: load the
   library, create BomInfo through its class factory, call by dispatch id. */
#include "torvel/torvel.h"

#include <dlfcn.h>
#include <stdio.h>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    void *lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    /* POSIX's way to take a function from dlsym without a pedantic warning */
    TvDllGetClassObjectFn getClassObject;
    TvDllCanUnloadNowFn canUnloadNow;
    *(void **)&getClassObject = dlsym(lib, "DllGetClassObject");
    *(void **)&canUnloadNow = dlsym(lib, "DllCanUnloadNow");
    if (!getClassObject || !canUnloadNow)
        return 1;

    TvClassFactory *factory = NULL;
    TvDispatch *bom = NULL;
    if (TV_FAILED(getClassObject(&TV_CLSID_BomInfo, &TV_IID_IClassFactory, (void **)&factory)))
        return 1;
    TvHResult hr = factory->lpVtbl->CreateInstance(factory, NULL, &TV_IID_IDispatch, (void **)&bom);
    factory->lpVtbl->Release(factory);
    if (TV_FAILED(hr))
        return 1;

    /* InterID = 7, passed as a 16-bit integer where a 32-bit one is declared */
    TvVariant arg;
    TvVariantInit(&arg);
    arg.vt = TV_VT_I2;
    arg.iVal = 7;
    TvExcepInfo err;
    hr = bom->lpVtbl->Invoke(bom, TV_DISPID_InterID, TV_DISPATCH_PROPERTYPUT, &arg, 1, NULL, &err, NULL);
    if (TV_FAILED(hr)) {
        fprintf(stderr, "InterID: %s\n", err.description);
        TvExcepInfoClear(&err);
        return 1;
    }

    /* ReturnBomID by name, then by id */
    const char *name = "ReturnBomID";
    int32_t id = 0;
    bom->lpVtbl->GetIDsOfNames(bom, &name, 1, &id);
    TvVariant result;
    hr = bom->lpVtbl->Invoke(bom, id, TV_DISPATCH_PROPERTYGET, NULL, 0, &result, &err, NULL);
    if (TV_FAILED(hr) || result.vt != TV_VT_I4 || result.lVal != 7)
        return 1;
    printf("ReturnBomID=%d\n", (int)result.lVal);
    TvVariantClear(&result);

    /* a wrong kind is an error code with a message, never a crash */
    hr = bom->lpVtbl->Invoke(bom, TV_DISPID_Show, TV_DISPATCH_PROPERTYGET, NULL, 0, &result, &err, NULL);
    if (hr != TV_DISP_E_MEMBERNOTFOUND)
        return 1;
    printf("Error=%s\n", err.description);
    TvExcepInfoClear(&err);

    bom->lpVtbl->Release(bom);
    printf("CanUnloadNow=%d\n", (int)canUnloadNow());
    return canUnloadNow() == TV_S_OK ? 0 : 1;
}
