// The embedded database's statement rewrite, shape scan and script splitter
// on any text.
#include "fuzz.h"

#include "services/db/connection.h"
#include "services/db/sqlitedialect.h"
#include "services/db/sqltext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);
    torvel::sqltext::rewriteServerText(text);
    torvel::sqltext::splitScript(text);
    QString shape;
    torvel::sqliteShape(text, &shape);
    return 0;
}
