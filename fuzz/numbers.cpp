// Val and the number formatter: the first byte is the scale, the next eight
// a double; the rest is read as text by Val, by the variant's conversion and
// by the formatter.
#include "fuzz.h"

#include "services/text/helpers.h"
#include "services/text/numtext.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace torvel;
    if (size < 9)
        return 0;
    const int scale = int(data[0] % 40) - 2;
    double number;
    std::memcpy(&number, data + 1, sizeof number);
    const QString text = fuzzText(data + 9, size - 9);

    try {
        Val(text);   // a number beyond a double's range is the overflow error
    } catch (const ComError &) {
    }
    double parsed = 0;
    numtext::parseNumber(text, parsed);
    for (const Variant &value : {Variant(number), Variant(text)}) {
        try {
            FormatDecimal(value, scale);
        } catch (const ComError &) {
        }
        try {
            value.toString();
            value.toInt32();
        } catch (const ComError &) {
        }
    }
    return 0;
}
