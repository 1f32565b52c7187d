#include "pgschema.h"

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

QStringList postgresSchemaStatements()
{
    return splitPostgresScript(QString::fromUtf8(kSchemaPostgres));
}

} // namespace torvel::host
