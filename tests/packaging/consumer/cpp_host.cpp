// A C++ host built against the installed package: it registers the library,
// creates its objects by ProgID and reads a database through them.
#include <torvel/hostsupport.h>

#include <cstdio>
#include <string>

using namespace torvel::host;

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s LIBRARY DATABASE\n", argv[0]);
        return 2;
    }
    std::string error;
    if (TV_FAILED(RegisterServer(argv[1], &error))) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    try {
        Object cnn = Object::create("TORVEL.Connection");
        cnn.call(cnn.idOf("Open"), {Value::text(argv[2])});
        const Value result = cnn.call(cnn.idOf("Execute"), {Value::text("SELECT Count(*) FROM COM_BOM")});
        if (result.raw().vt != TV_VT_DISPATCH || !result.raw().pdispVal)
            return 1;
        TvDispatch *records = result.raw().pdispVal;
        records->lpVtbl->AddRef(records);
        Object rs(records);
        std::printf("Boms=%s\n", rs.get(rs.idOf("Fields"), {Value::i4(0)}).toText().c_str());

        Object bom = Object::create("TORVEL.BomInfo");
        bom.put(TV_DISPID_ActiveConnection, Value::object(cnn.get()));
        bom.put(TV_DISPID_InterID, Value::i4(1));
        std::printf("ReturnBomID=%s\n", bom.get(TV_DISPID_ReturnBomID).toText().c_str());
    } catch (const DispatchError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return TV_FAILED(UnregisterServer(argv[1], &error)) ? 1 : 0;
}
