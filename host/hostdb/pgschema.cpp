#include "pgschema.h"

#include "hostdb.h"

#include "services/db/recordset.h"

namespace torvel::host {

extern const char *const kSchemaPostgres;   // generated from schema_pg.sql

QStringList splitPostgresScript(const QString &script)
{
    QStringList statements;
    QString current;
    bool inBody = false;
    for (const QString &line : script.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!inBody && (trimmed.isEmpty() || trimmed.startsWith(QLatin1String("--"))))
            continue;
        // A body opens and closes with $$; an odd count on a line flips the state.
        if (line.count(QLatin1String("$$")) % 2 == 1)
            inBody = !inBody;
        current += line + QLatin1Char('\n');
        if (!inBody && trimmed.endsWith(QLatin1Char(';'))) {
            QString statement = current.trimmed();
            statement.chop(1);
            statements.append(statement);
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        statements.append(current.trimmed());
    return statements;
}

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

QStringList postgresSchemaStatements()
{
    return splitPostgresScript(QString::fromUtf8(kSchemaPostgres));
}

} // namespace torvel::host
