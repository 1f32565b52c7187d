#pragma once

#include <QStringList>

namespace torvel::host {

// The host schema on PostgreSQL (schema_pg.sql), one statement per entry in
// the order they must run: the citext extension, len(), the tables with their
// indexes, and the period procedures sp_GetPeriodStartDate/sp_GetPeriodEndDate.
QStringList postgresSchemaStatements();

// ensureDemoDatabase for a server ("postgresql://user@host:port/dbname"):
// creates the host schema when the database has no t_Item table and loads the
// demo data when t_Item is empty, so a first run cut short is completed by the
// next. Returns true when it loaded the demo data.
bool ensurePostgresDemoDatabase(const QString &connectionString);

// Splits a script at every ';' that ends a line outside a $$-quoted body;
// comment lines outside bodies are dropped. Exposed for tests.
QStringList splitPostgresScript(const QString &script);

} // namespace torvel::host
