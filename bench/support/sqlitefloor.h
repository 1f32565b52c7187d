#pragma once

// The raw SQLite C API as the benchmarks' floors use it: a handle with the
// connection's own settings and statements prepared once.

#include "benchsupport.h"

#include <QString>

#include <sqlite3.h>

namespace torvel::bench {

inline void rawExec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK)
        die(QString::fromUtf8(error ? error : "sqlite3_exec"));
}

inline sqlite3 *rawOpen(const QString &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        die(QStringLiteral("cannot open ") + path);
    sqlite3_busy_timeout(db, 5000);
    // The same settings the connection runs with.
    rawExec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
    return db;
}

class Stmt
{
public:
    Stmt(sqlite3 *db, const char *sql)
    {
        if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_stmt, nullptr) != SQLITE_OK)
            die(QString::fromUtf8(sqlite3_errmsg(db)));
    }
    ~Stmt() { sqlite3_finalize(m_stmt); }
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;
    sqlite3_stmt *get() const { return m_stmt; }
    void reset() const
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    void done() const
    {
        if (sqlite3_step(m_stmt) != SQLITE_DONE)
            die(QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_stmt))));
        sqlite3_reset(m_stmt);
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

} // namespace torvel::bench
