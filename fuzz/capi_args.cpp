// Arguments through the C interface: a tagged value built from the bytes is
// passed to an object's typed members of every type, as a method argument
// and as a property value; each call must succeed or return an error code.
#include "fuzz.h"

#include "entry/capi.h"

#include <cstring>
#include <vector>

namespace {

using namespace torvel;

class Sink : public MemberTableObject
{
public:
    Sink()
    {
        DispId id = 1;
        for (VarType type : {VarType::Variant, VarType::Bool, VarType::Int16, VarType::Int32, VarType::Double,
                             VarType::Date, VarType::String, VarType::Object}) {
            addMethod(QStringLiteral("Take%1").arg(id), id, {Param{QStringLiteral("v"), type}},
                      [](Args &args) { return args.at(0); }, type);
            addProperty(QStringLiteral("Value%1").arg(id), 100 + id, type,
                        [this](Args &) { return m_value; },
                        [this](const Variant &v, Args &) { m_value = v; });
            ++id;
        }
    }
    QString className() const override { return QStringLiteral("Sink"); }

private:
    Variant m_value;
};

TvVariant valueOf(const uint8_t *data, size_t size, std::vector<char> &text, TvDispatch *object)
{
    static const uint16_t tags[] = {TV_VT_EMPTY, TV_VT_NULL, TV_VT_I2, TV_VT_I4, TV_VT_R8, TV_VT_DATE,
                                    TV_VT_BSTR, TV_VT_DISPATCH, TV_VT_BOOL, 4, 17, 0xFFFF};
    TvVariant v;
    TvVariantInit(&v);
    v.vt = tags[data[0] % (sizeof tags / sizeof tags[0])];
    const uint8_t *payload = data + 1;
    const size_t n = size - 1;
    switch (v.vt) {
    case TV_VT_BSTR:
        text.assign(payload, payload + n);
        text.push_back('\0');
        v.bstrVal = n ? text.data() : nullptr;
        break;
    case TV_VT_DISPATCH:
        v.pdispVal = n % 2 ? object : nullptr;
        break;
    default:
        std::memcpy(&v.dblVal, payload, n < sizeof v.dblVal ? n : sizeof v.dblVal);
        break;
    }
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    static TvDispatch *sink = capi::exportObject(std::make_shared<Sink>());
    const int32_t member = 1 + data[0] % 8;
    std::vector<char> text;
    const TvVariant arg = valueOf(data + 1, size - 1, text, sink);
    for (auto [id, kind] : {std::pair{member, TV_DISPATCH_METHOD}, std::pair{100 + member, TV_DISPATCH_PROPERTYPUT},
                            std::pair{100 + member, TV_DISPATCH_PROPERTYGET}}) {
        TvVariant result;
        TvExcepInfo excep;
        uint32_t argErr = 0;
        sink->lpVtbl->Invoke(sink, id, uint16_t(kind), &arg, kind == TV_DISPATCH_PROPERTYGET ? 0 : 1, &result,
                             &excep, &argErr);
        TvVariantClear(&result);
        TvExcepInfoClear(&excep);
    }
    return 0;
}
