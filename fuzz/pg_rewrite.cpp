// The server dialect's statement rewrite on any text, with a table that has
// a generated key and a clustered order and one that has neither.
#include "fuzz.h"

#include "services/db/connection.h"
#include "services/db/pgdialect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace torvel;
    const QString text = fuzzText(data, size);
    const auto tableInfo = [](const QString &table) {
        if (table.compare(QLatin1String("COM_BOM_Child"), Qt::CaseInsensitive) == 0)
            return PgTableInfo{QStringLiteral("fbomentryid"), {QStringLiteral("fbomid"), QStringLiteral("fentryid")}};
        return PgTableInfo{};
    };
    postgresTranslate(text, tableInfo);
    insertTarget(text);
    return 0;
}
