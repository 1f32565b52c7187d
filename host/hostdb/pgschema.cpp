#include "pgschema.h"

#include "hostdb.h"

#include "services/db/recordset.h"

namespace torvel::host {

bool ensurePostgresDemoDatabase(const QString &connectionString)
{
    const ConnectionPtr c = Connection::open(connectionString);
    auto scalar = [&c](const QString &sql) { return c->Execute(sql)->Fields(0); };
    if (scalar(QStringLiteral("SELECT to_regclass('t_item') IS NULL")).toBool())
        createSchema(*c);
    const bool empty = scalar(QStringLiteral("SELECT Count(*) FROM t_Item")).toInt32() == 0;
    if (empty)
        loadDemoData(*c);   // one transaction: all of it or nothing
    c->Close();
    return empty;
}

} // namespace torvel::host
