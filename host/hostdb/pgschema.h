#pragma once

#include <QStringList>

namespace torvel::host {

// ensureDemoDatabase for a server ("postgresql://user@host:port/dbname"):
// creates the host schema when the database has no t_Item table and loads the
// demo data when t_Item is empty, so a first run cut short is completed by the
// next. Returns true when it loaded the demo data.
bool ensurePostgresDemoDatabase(const QString &connectionString);

} // namespace torvel::host
