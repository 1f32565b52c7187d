#pragma once

#include "services/db/connection.h"

#include <memory>

namespace torvel {

// The embedded database: SQLite through Qt's QSQLITE driver.
std::unique_ptr<Dialect> createSqliteDialect();

// The SQL Server text rewritten where SQLite cannot parse it, and only there:
// "INSERT name(" gains its INTO, and a number glued to the word after it
// ("FReplaceClassID=3Order By") gets a blank. Exposed for tests.
QString sqliteTranslate(const QString &text);

// The shape under which a statement's prepared form is kept: the text with
// the values of its WHERE, VALUES and SET clauses lifted out as '?'. False
// for a statement that always runs from its text. Exposed for tests.
bool sqliteShape(const QString &text, QString *shape);

} // namespace torvel
