// The embedded database's statement rewrite and shape scan on any text.
#include "fuzz.h"

#include "services/db/connection.h"
#include "services/db/sqlitedialect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);
    torvel::sqliteTranslate(text);
    QString shape;
    torvel::sqliteShape(text, &shape);
    return 0;
}
