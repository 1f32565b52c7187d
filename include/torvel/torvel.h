/*
 * TORVEL: the C interface of libtorvel.so for hosts.
 *
 * Shaped like an in-process automation server: four self-registration entry
 * points, a class factory per creatable class, and dispatch objects whose
 * members are reached by dispatch id with a call kind (get, put, method) and
 * tagged variant arguments. Usable from C11 and C++; see docs/host-interface.md.
 *
 * Strings are UTF-8. Argument strings belong to the caller and are only read.
 * Strings the library returns (results, error texts) are allocated with
 * malloc; release them with TvVariantClear / TvExcepInfoClear (or free()).
 * No call returns by throwing; every failure is a TvHResult below zero.
 */
#ifndef TORVEL_TORVEL_H
#define TORVEL_TORVEL_H

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define TORVEL_API __attribute__((visibility("default")))
#define TORVEL_UNUSED __attribute__((unused))
#else
#define TORVEL_API
#define TORVEL_UNUSED
#endif

/* ---- result codes (the platform's HRESULT values) ---------------------- */
typedef int32_t TvHResult;
#define TV_SUCCEEDED(hr) ((TvHResult)(hr) >= 0)
#define TV_FAILED(hr) ((TvHResult)(hr) < 0)
#define TV_S_OK ((TvHResult)0)
#define TV_S_FALSE ((TvHResult)1)
#define TV_E_NOTIMPL ((TvHResult)0x80004001)
#define TV_E_NOINTERFACE ((TvHResult)0x80004002)
#define TV_E_POINTER ((TvHResult)0x80004003)
#define TV_E_FAIL ((TvHResult)0x80004005)
#define TV_E_UNEXPECTED ((TvHResult)0x8000FFFF)
#define TV_E_OUTOFMEMORY ((TvHResult)0x8007000E)
#define TV_E_INVALIDARG ((TvHResult)0x80070057)
#define TV_DISP_E_MEMBERNOTFOUND ((TvHResult)0x80020003) /* unknown id, or wrong call kind */
#define TV_DISP_E_TYPEMISMATCH ((TvHResult)0x80020005)   /* argument cannot be converted */
#define TV_DISP_E_UNKNOWNNAME ((TvHResult)0x80020006)
#define TV_DISP_E_BADVARTYPE ((TvHResult)0x80020008)
#define TV_DISP_E_EXCEPTION ((TvHResult)0x80020009)      /* the member raised an error: see TvExcepInfo */
#define TV_DISP_E_OVERFLOW ((TvHResult)0x8002000A)
#define TV_DISP_E_BADPARAMCOUNT ((TvHResult)0x8002000E)
#define TV_CLASS_E_NOAGGREGATION ((TvHResult)0x80040110)
#define TV_CLASS_E_CLASSNOTAVAILABLE ((TvHResult)0x80040111)
#define TV_REGDB_E_CLASSNOTREG ((TvHResult)0x80040154)
#define TV_SELFREG_E_CLASS ((TvHResult)0x80040201)

/* ---- GUIDs ------------------------------------------------------------- */
typedef struct TvGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
} TvGuid;

static inline int TvGuidEqual(const TvGuid *a, const TvGuid *b) { return memcmp(a, b, sizeof(TvGuid)) == 0; }

/* The platform's own interfaces. */
static const TvGuid TV_IID_IUnknown TORVEL_UNUSED = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const TvGuid TV_IID_IClassFactory TORVEL_UNUSED = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const TvGuid TV_IID_IDispatch TORVEL_UNUSED = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

/* TORVEL's: fixed, never changed. */
/* {0D0900D5-76DB-4835-9F62-C898D6AE5209} type library TORVEL 1.0 */
static const TvGuid TV_LIBID_TORVEL TORVEL_UNUSED = {0x0D0900D5, 0x76DB, 0x4835, {0x9F, 0x62, 0xC8, 0x98, 0xD6, 0xAE, 0x52, 0x09}};
/* {20915F20-5F7D-4CBB-BE6D-61AF765CD6F6} interface _BomInfo */
static const TvGuid TV_IID__BomInfo TORVEL_UNUSED = {0x20915F20, 0x5F7D, 0x4CBB, {0xBE, 0x6D, 0x61, 0xAF, 0x76, 0x5C, 0xD6, 0xF6}};
/* {B8A63825-D992-489A-A9C0-CF8931C1AC29} interface _BOMGroupInfo */
static const TvGuid TV_IID__BOMGroupInfo TORVEL_UNUSED = {0xB8A63825, 0xD992, 0x489A, {0xA9, 0xC0, 0xCF, 0x89, 0x31, 0xC1, 0xAC, 0x29}};
/* {A393DEF0-0E5A-46C5-9CE0-A31C74597005} class BomInfo, ProgID TORVEL.BomInfo */
static const TvGuid TV_CLSID_BomInfo TORVEL_UNUSED = {0xA393DEF0, 0x0E5A, 0x46C5, {0x9C, 0xE0, 0xA3, 0x1C, 0x74, 0x59, 0x70, 0x05}};
/* {6C3DB251-1EAA-40A0-9694-340D4A213A97} class BOMGroupInfo, ProgID TORVEL.BOMGroupInfo */
static const TvGuid TV_CLSID_BOMGroupInfo TORVEL_UNUSED = {0x6C3DB251, 0x1EAA, 0x40A0, {0x96, 0x94, 0x34, 0x0D, 0x4A, 0x21, 0x3A, 0x97}};
/* {857C9BE1-EE7F-450C-AED2-AED62721DB33} the connection object, ProgID TORVEL.Connection
   (not part of the type library: hosts without ADO create it to pass a connection) */
static const TvGuid TV_CLSID_Connection TORVEL_UNUSED = {0x857C9BE1, 0xEE7F, 0x450C, {0xAE, 0xD2, 0xAE, 0xD6, 0x27, 0x21, 0xDB, 0x33}};

/* ---- dispatch ids of the public interfaces ------------------------------ */
#define TV_DISPID_ActiveConnection 0x68030006
#define TV_DISPID_ReturnBomID 0x68030005     /* _BOMGroupInfo: ReturnGroupID */
#define TV_DISPID_ReturnBomName 0x68030004   /* _BOMGroupInfo: ReturnName */
#define TV_DISPID_ReturnBomNumber 0x68030003 /* _BOMGroupInfo: ReturnNumber */
#define TV_DISPID_ReturnOK 0x68030002
#define TV_DISPID_InterID 0x68030001
#define TV_DISPID_GroupID 0x68030000         /* _BOMGroupInfo: ParentID */
#define TV_DISPID_Show 0x60030007
#define TV_DISPID_SelectBom 0x60030009
#define TV_DISPID_CompleteBom 0x6003000A
#define TV_DISPID_LookBomReport 0x6003000B
#define TV_DISPID_ReturnGroupID TV_DISPID_ReturnBomID
#define TV_DISPID_ReturnName TV_DISPID_ReturnBomName
#define TV_DISPID_ReturnNumber TV_DISPID_ReturnBomNumber
#define TV_DISPID_ParentID TV_DISPID_GroupID
#define TV_DISPID_UNKNOWN (-1)

/* ---- variants ----------------------------------------------------------- */
/* Tags numbered as the platform's VARTYPE. */
enum {
    TV_VT_EMPTY = 0,
    TV_VT_NULL = 1,
    TV_VT_I2 = 2,        /* iVal */
    TV_VT_I4 = 3,        /* lVal */
    TV_VT_R8 = 5,        /* dblVal */
    TV_VT_DATE = 7,      /* date: days since 30 December 1899, time of day as the fraction */
    TV_VT_BSTR = 8,      /* bstrVal: UTF-8, NUL-terminated; NULL reads as the empty text */
    TV_VT_DISPATCH = 9,  /* pdispVal; NULL is Nothing */
    TV_VT_BOOL = 11      /* boolVal: -1 true, 0 false */
};

typedef struct TvDispatch TvDispatch;

typedef struct TvVariant {
    uint16_t vt;
    union {
        int16_t boolVal;
        int16_t iVal;
        int32_t lVal;
        double dblVal;
        double date;
        char *bstrVal;
        TvDispatch *pdispVal;
    };
} TvVariant;

/* What a failing member left: its error number (438, 13, ... or the
   database's), where it came from, and the description a box would show. */
typedef struct TvExcepInfo {
    int32_t code;
    TvHResult scode;
    char *source;
    char *description;
} TvExcepInfo;

/* Call kinds of Invoke. For a put, the new value is the last argument. */
#define TV_DISPATCH_METHOD 1
#define TV_DISPATCH_PROPERTYGET 2
#define TV_DISPATCH_PROPERTYPUT 4

typedef struct TvDispatchVtbl {
    TvHResult (*QueryInterface)(TvDispatch *self, const TvGuid *iid, void **object);
    uint32_t (*AddRef)(TvDispatch *self);
    uint32_t (*Release)(TvDispatch *self);
    /* Each name to its dispatch id, case-insensitively; an unknown name sets
       TV_DISPID_UNKNOWN and the call answers TV_DISP_E_UNKNOWNNAME. */
    TvHResult (*GetIDsOfNames)(TvDispatch *self, const char *const *names, uint32_t count, int32_t *dispIds);
    /* Arguments in call order, by value. result (may be NULL) receives the
       value of a get or a method; excepInfo (may be NULL) the error of any
       failure; argErr (may be NULL) the index of an argument that could not be
       converted. */
    TvHResult (*Invoke)(TvDispatch *self, int32_t dispId, uint16_t kind, const TvVariant *args, uint32_t argCount,
                        TvVariant *result, TvExcepInfo *excepInfo, uint32_t *argErr);
} TvDispatchVtbl;

struct TvDispatch {
    const TvDispatchVtbl *lpVtbl;
};

typedef struct TvClassFactory TvClassFactory;
typedef struct TvClassFactoryVtbl {
    TvHResult (*QueryInterface)(TvClassFactory *self, const TvGuid *iid, void **object);
    uint32_t (*AddRef)(TvClassFactory *self);
    uint32_t (*Release)(TvClassFactory *self);
    /* outer must be NULL; iid: IUnknown, IDispatch or the class's interface. */
    TvHResult (*CreateInstance)(TvClassFactory *self, void *outer, const TvGuid *iid, void **object);
    /* Non-zero locks the library in memory, zero unlocks. */
    TvHResult (*LockServer)(TvClassFactory *self, int32_t lock);
} TvClassFactoryVtbl;

struct TvClassFactory {
    const TvClassFactoryVtbl *lpVtbl;
};

static inline void TvVariantInit(TvVariant *v) { memset(v, 0, sizeof *v); }

/* Releases what a variant owns (a string, an object reference) and empties it. */
static inline void TvVariantClear(TvVariant *v)
{
    if (v->vt == TV_VT_BSTR)
        free(v->bstrVal);
    else if (v->vt == TV_VT_DISPATCH && v->pdispVal)
        v->pdispVal->lpVtbl->Release(v->pdispVal);
    memset(v, 0, sizeof *v);
}

static inline void TvExcepInfoClear(TvExcepInfo *e)
{
    free(e->source);
    free(e->description);
    memset(e, 0, sizeof *e);
}

/* ---- type library ------------------------------------------------------- */
#define TV_TYPEFLAG_FCANCREATE 0x2
#define TV_TYPEFLAG_FHIDDEN 0x10
#define TV_TYPEFLAG_FDUAL 0x40
#define TV_TYPEFLAG_FNONEXTENSIBLE 0x80
#define TV_TYPEFLAG_FDISPATCHABLE 0x1000

typedef struct TvParamDesc {
    const char *name;
    uint16_t vt;
} TvParamDesc;

typedef struct TvMemberDesc {
    const char *name;
    int32_t dispId;
    uint16_t kinds;     /* TV_DISPATCH_* bits the member answers */
    uint16_t vt;        /* property type or method result; TV_VT_EMPTY for none */
    uint32_t paramCount;
    const TvParamDesc *params;
} TvMemberDesc;

typedef struct TvInterfaceDesc {
    const char *name;
    TvGuid iid;
    uint32_t flags;
    uint32_t memberCount;
    const TvMemberDesc *members;   /* in interface order */
} TvInterfaceDesc;

typedef struct TvCoClassDesc {
    const char *name;
    TvGuid clsid;
    const char *progId;
    uint32_t flags;
    const TvInterfaceDesc *defaultInterface;
} TvCoClassDesc;

typedef struct TvTypeLibDesc {
    const char *name;
    TvGuid libid;
    uint16_t majorVersion;
    uint16_t minorVersion;
    uint32_t interfaceCount;
    const TvInterfaceDesc *interfaces;
    uint32_t classCount;
    const TvCoClassDesc *classes;
} TvTypeLibDesc;

/* ---- entry points -------------------------------------------------------- */
/* Records ProgID -> class id -> this library's path in the per-user registry
   file: $TORVEL_REGISTRY, else $XDG_CONFIG_HOME/torvel/registry.ini, else
   ~/.config/torvel/registry.ini. Entries of other libraries are kept. */
TORVEL_API TvHResult DllRegisterServer(void);
TORVEL_API TvHResult DllUnregisterServer(void);
/* The class factory of a class; iid IClassFactory or IUnknown. */
TORVEL_API TvHResult DllGetClassObject(const TvGuid *clsid, const TvGuid *iid, void **object);
/* TV_S_OK when no object, factory or lock is alive, else TV_S_FALSE. */
TORVEL_API TvHResult DllCanUnloadNow(void);
/* The type library TORVEL 1.0; static, never freed. */
TORVEL_API const TvTypeLibDesc *TorvelGetTypeLib(void);
/* A documentation and checking aid: while set (non-NULL), each dialog the
   library opens is rendered to this PNG file and closed at once. */
TORVEL_API TvHResult TorvelSetDialogScreenshot(const char *pngPath);
/* For terminals and scripts: while set (non-zero), each dialog the library
   opens that has a text form (the stock report) writes it to standard output
   and closes at once; boxes go to standard error, answered OK. */
TORVEL_API TvHResult TorvelSetDialogText(int32_t enable);

typedef TvHResult (*TvDllRegisterServerFn)(void);
typedef TvHResult (*TvDllGetClassObjectFn)(const TvGuid *, const TvGuid *, void **);
typedef TvHResult (*TvDllCanUnloadNowFn)(void);
typedef const TvTypeLibDesc *(*TvGetTypeLibFn)(void);
typedef TvHResult (*TvSetDialogScreenshotFn)(const char *);
typedef TvHResult (*TvSetDialogTextFn)(int32_t);

#ifdef __cplusplus
}
#endif

#endif /* TORVEL_TORVEL_H */
