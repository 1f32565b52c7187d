// A record set's Filter as a host sets it: any text either parses or is
// refused with a ComError; a parsed filter is evaluated on a row.
#include "fuzz.h"

#include "services/db/filter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace torvel;
    static const QStringList fields = {QStringLiteral("FItemID"), QStringLiteral("FName"),
                                       QStringLiteral("FDate"), QStringLiteral("FQty")};
    static const Recordset::Row row = {Variant(int32_t(7)), Variant(QStringLiteral("螺丝 M3")),
                                       Variant::date(45000.5), Variant::null()};
    const QString text = fuzzText(data, size);
    try {
        FilterExpr::parseSyntax(text);
    } catch (const ComError &) {
    }
    try {
        FilterExpr::parse(text, fields).matches(row);
    } catch (const ComError &) {
    }
    return 0;
}
