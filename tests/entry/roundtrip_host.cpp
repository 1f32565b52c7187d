// A host process for the registration round trip: only the host support
// library and the registry file, the component loaded by ProgID.
// Prints one Name=value line per step.

#include "hostsupport.h"

#include <cstdio>
#include <string>

using namespace torvel::host;

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
        return 2;
    }
    const std::string lib = argv[1];
    std::string error;
    std::printf("Register=%d\n", int(RegisterServer(lib, &error)));
    {
        Object bom = Object::create("torvel.bominfo");   // ProgIDs ignore case
        bom.put(TV_DISPID_InterID, Value::i2(321));
        std::printf("ReturnBomID=%s\n", bom.get(TV_DISPID_ReturnBomID).toText().c_str());
        std::printf("ReturnOK=%s\n", bom.get(TV_DISPID_ReturnOK).toText().c_str());
        try {
            bom.put(TV_DISPID_ReturnOK, Value::boolean(true));
        } catch (const DispatchError &e) {
            std::printf("PutReadOnly=0x%08X\n", unsigned(e.hr()));
        }
        std::printf("CanUnloadWhileHeld=%d\n", int(CanUnloadNow(lib)));
    }
    std::printf("CanUnloadAfterRelease=%d\n", int(CanUnloadNow(lib)));
    std::printf("Unregister=%d\n", int(UnregisterServer(lib, &error)));
    TvDispatch *none = nullptr;
    const TvHResult hr = CreateObject("TORVEL.BomInfo", &none, &error);
    std::printf("CreateAfterUnregister=0x%08X\n", unsigned(hr));
    std::printf("CreateAfterUnregisterObject=%s\n", none ? "set" : "null");
    std::printf("CreateAfterUnregisterMessage=%s\n", error.c_str());
    return 0;
}
