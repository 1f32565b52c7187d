#pragma once

#include "services/db/connection.h"

#include <memory>

namespace torvel {

// The embedded database: SQLite through Qt's QSQLITE driver.
std::unique_ptr<Dialect> createSqliteDialect();

// The shape under which a statement's prepared form is kept: the text with
// the values of its WHERE, VALUES and SET clauses lifted out as '?'. False
// for a statement that always runs from its text. Exposed for tests.
bool sqliteShape(const QString &text, QString *shape);

// The description of a failure with SQLite's result code: its own message,
// led by a plain statement when the file may only be read.
QString sqliteErrorText(int code, const QString &message);

} // namespace torvel
