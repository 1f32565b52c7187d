#pragma once

#include "services/db/connection.h"

#include <QString>

namespace torvel::host {

// The host database's schema for the connection's database, the script its
// dialect names (schema_sqlite.sql, schema_pg.sql), one statement per entry in
// the order they must run.
QStringList schemaStatements(const Connection &connection);
void createSchema(Connection &connection);

// The host's stored procedures for the embedded database, registered once per
// process: sp_GetPeriodStartDate, sp_GetPeriodEndDate and sp_COM_BOM_Stock.
void registerHostProcedures();

// The query sp_COM_BOM_Stock runs on the embedded database, with its
// arguments in place (dates as OLE dates).
QString stockQueryText(int year, int period, int bomId, double startDate, double noteDate);

// The demo data set: items with Chinese names and models, units in unit
// groups, auxiliary properties, substitute classes, a group tree, BOMs with
// item and substitute lines, one completion, a system profile and two users
// ('admin' with every right, 'guest' with none). Runs in one transaction on a
// database with the schema and no data.
void loadDemoData(Connection &connection);

// Creates the database file with the schema and the demo data when it does not
// exist yet; an existing file is left alone. Returns true when it created one.
// The file appears complete or not at all. A "postgresql://" connection
// string names a server database instead (ensurePostgresDemoDatabase in
// pgschema.h).
bool ensureDemoDatabase(const QString &path);

// A few lines on what the database holds: rows per table and some BOMs.
QString demoSummary(Connection &connection);

// Bulk data for benchmarks and load tests, added to what is there: `items`
// items with their COM_Item rows (every tenth may head a BOM), `boms` BOMs of
// `linesPerBom` lines each over those items, all in one transaction.
void generateScaleData(Connection &connection, int items, int boms, int linesPerBom);

} // namespace torvel::host
