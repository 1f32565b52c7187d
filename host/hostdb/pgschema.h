#pragma once

#include <QStringList>

namespace torvel::host {

// The host schema on PostgreSQL (schema_pg.sql), one statement per entry in
// the order they must run: the citext extension, len(), the tables with their
// indexes, and the period procedures sp_GetPeriodStartDate/sp_GetPeriodEndDate.
QStringList postgresSchemaStatements();

// Splits a script at every ';' that ends a line outside a $$-quoted body;
// comment lines outside bodies are dropped. Exposed for tests.
QStringList splitPostgresScript(const QString &script);

} // namespace torvel::host
