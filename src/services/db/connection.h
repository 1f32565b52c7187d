#pragma once

#include "services/db/recordset.h"
#include "services/com/variant.h"

#include <QString>
#include <QStringList>

class QSqlDatabase;

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace torvel {

class Dialect;
class Connection;

// A typed parameter of a stored procedure call, as ADO's Command held them.
struct Parameter
{
    enum Direction { Input = 1, Output = 2, InputOutput = 3, ReturnValue = 4 };
    // ADO type codes used by the callers: 2 small integer, 3 integer,
    // 5 double, 135 date-time stamp, 200 text.
    QString name;
    int type = 0;
    int direction = Input;
    int size = 0;
    Variant value;
};

// A stored procedure that the host database offers. On SQLite the host
// registers it in C++; on a server it is a real procedure. Input values are
// read from the parameters and outputs written back into them; a procedure
// that returns rows returns them, otherwise nullptr.
using Procedure = std::function<RecordsetPtr(class Connection &connection, std::vector<Parameter> &parameters)>;

// Procedures for the embedded database, registered by the host per process and
// found by name case-insensitively.
void registerProcedure(const QString &name, Procedure procedure);
void unregisterProcedure(const QString &name);

// The host's connection: statements in the SQL Server text the library is
// written in, run on the database behind it through its dialect.
// Every failure throws ComError with the database's own text.
class Connection
{
public:
    // "PATH" or "sqlite:PATH" for the embedded database;
    // "postgresql://user@host:port/dbname" for the server.
    static std::shared_ptr<Connection> open(const QString &connectionString);
    ~Connection();

    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Runs one statement. A statement that returns rows gives a fully fetched
    // record set; others give nullptr and report the rows they affected.
    // Outside a transaction a session the server dropped is opened again
    // first (same address, same login); inside one the statement fails, the
    // server has discarded the transaction, and RollbackTrans ends it here.
    // A failure on a lost session says so in its description.
    RecordsetPtr Execute(const QString &text, qint64 *recordsAffected = nullptr);
    // The key the database generated for the last insert on this connection.
    Variant lastInsertId() const;

    // Sends the writes of this transaction still waiting to go to the server
    // together (Dialect::defersWrite) now, so that a failure among them is
    // raised here rather than at the next read or the commit.
    void flushWrites();

    void BeginTrans();
    // A transaction that first reads what it is about to rewrite: no other
    // connection can commit between its reads and its writes (SQLite takes
    // the write lock at once; a server locks what lockingRead() reads).
    void BeginWriteTrans();
    // A SELECT of rows this transaction will rewrite, as the dialect runs it
    // so that they stay as read until the transaction ends.
    QString lockingRead(const QString &select) const;
    void CommitTrans();
    void RollbackTrans();
    bool inTransaction() const { return m_inTransaction; }

    // Calls a stored procedure with typed parameters (ADO's Command with
    // CommandType 4); outputs are written back into the parameters.
    RecordsetPtr callProcedure(const QString &name, std::vector<Parameter> &parameters);

    void Close();
    bool isOpen() const;
    QString connectionString() const { return m_connectionString; }
    const Dialect &dialect() const { return *m_dialect; }
    QString driverName() const;   // "QSQLITE", "QPSQL"
    // The Qt database behind the connection, for dialects and fixtures that
    // need the native handle; callers include <QSqlDatabase>.
    QSqlDatabase database() const;

    // Fault injection for tests: runs before every statement with its final
    // text; throwing from it fails that statement as the database would.
    void setStatementHook(std::function<void(const QString &text)> hook) { m_hook = std::move(hook); }

private:
    friend class Dialect;   // runs deferred writes through run()
    struct Statements;   // the reusable query, kept out of this header

    Connection();
    void begin(bool forWrite);
    RecordsetPtr run(const QString &text, qint64 *recordsAffected, bool hookSeen = false);
    RecordsetPtr execute(const QString &text, qint64 *recordsAffected);
    void checkOpen() const;
    // Before a statement outside a transaction: a dropped session is opened again.
    void reviveIfLost();
    void reconnect();
    // Runs `body`; a failure on a lost session is raised again saying so.
    template <class F>
    auto watched(F &&body) -> decltype(body());
    void flushDeferred();

    QString m_connectionString;
    QString m_qtName;   // the QSqlDatabase connection name, unique per Connection
    std::unique_ptr<Dialect> m_dialect;
    std::function<void(const QString &)> m_hook;
    bool m_inTransaction = false;
    bool m_lost = false;   // the session is gone; the next statement outside a transaction reopens it
    Variant m_lastInsertId;
    std::unique_ptr<Statements> m_statements;
    QStringList m_deferred;   // writes of this transaction not yet sent
    bool m_flushing = false;
};

using ConnectionPtr = std::shared_ptr<Connection>;

// One transaction on a connection, the only way the library and the host's
// writers bracket their statements: begun when made, rolled back on the way
// out unless committed, also when an exception leaves the scope. A failing
// rollback never hides the error that left the scope.
class Transaction
{
public:
    // ReadsFirst: the transaction reads what it is about to rewrite
    // (Connection::BeginWriteTrans).
    enum Mode { Plain, ReadsFirst };
    explicit Transaction(Connection &connection, Mode mode = Plain);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    // A commit that fails leaves the transaction open, so it is rolled back.
    void commit();
    // Ends it now, before a message about why; never throws.
    void rollback() noexcept;

private:
    Connection &m_connection;
    bool m_done = false;   // committed or rolled back
};

// What each database needs to run the SQL Server text: the one place where
// databases differ. The SQLite dialect registers functions on the native
// handle and rewrites only what SQLite cannot parse; PostgreSQL's does the same
// for its server.
class Dialect
{
public:
    virtual ~Dialect() = default;
    virtual QString name() const = 0;
    // Called once after the database opened.
    virtual void prepare(Connection &connection) = 0;
    // The text to run for a statement as the library wrote it.
    virtual QString translate(const QString &text) const = 0;

    // The Qt driver ("QSQLITE", "QPSQL") and how the connection string sets up
    // the database before it opens.
    virtual QString driverName() const = 0;
    virtual void configure(QSqlDatabase &database, const QString &connectionString) const = 0;

    // Runs a stored procedure. The default runs the procedures registered with
    // registerProcedure, which is how the embedded database has them; a server
    // dialect overrides it to call its own.
    virtual RecordsetPtr callProcedure(Connection &connection, const QString &name,
                                       std::vector<Parameter> &parameters) const;

    // Runs a statement (already translated, already seen by the hook) by the
    // dialect's own faster means; false leaves it to the connection's query.
    // A write fills the rows affected and, when it generated a key, the key.
    virtual bool runDirect(Connection &connection, const QString &text, qint64 *recordsAffected,
                           Variant *lastInsertId)
    {
        (void)connection, (void)text, (void)recordsAffected, (void)lastInsertId;
        return false;
    }
    // Runs a statement as the library wrote it, before translation, by the
    // dialect's own faster means (a statement prepared once per shape of
    // text, its values bound); false leaves it to translate() and the
    // connection's query. The hook has already seen the translated text. A
    // statement that returns rows fills `rows` (an empty set when no row
    // matched); a write fills the rows affected and, when it generated a key,
    // the key.
    virtual bool runShaped(Connection &connection, const QString &text, qint64 *recordsAffected,
                           Variant *lastInsertId, RecordsetPtr *rows)
    {
        (void)connection, (void)text, (void)recordsAffected, (void)lastInsertId, (void)rows;
        return false;
    }
    // Begins a transaction that holds the database's write lock from its
    // start; false leaves it to the driver's plain begin, for a database
    // whose row locks (lockingRead) do the same.
    virtual bool beginWrite(Connection &connection)
    {
        (void)connection;
        return false;
    }
    // The SELECT of rows a transaction will rewrite, locking them for it.
    virtual QString lockingRead(const QString &select) const { return select; }
    // Called before the database closes: releases what prepare() made.
    virtual void close(Connection &connection) { (void)connection; }

    // Writes nobody reads a result of may travel to a server together. Inside
    // a transaction, a statement (translated) this says yes to, run without
    // asking for the rows it affected, waits until the next statement whose
    // result is read, a procedure call or the commit; then the waiting writes
    // go in order, in one round trip (runDeferred). The embedded database has
    // no round trips and keeps every statement on its own.
    virtual bool defersWrite(const QString &translatedText) const
    {
        (void)translatedText;
        return false;
    }
    // Runs the waiting writes in order and throws the first failure, with the
    // text that statement would have failed with on its own. The default runs
    // them one by one.
    virtual void runDeferred(Connection &connection, const QStringList &translatedTexts);

    // The condition that `column` holds `text` anywhere, ignoring case as the
    // host's server does (a pick list's "contains" search). The default
    // compares lower case on both sides.
    virtual QString containsCondition(const QString &column, const QString &text) const;
    // The suffix of the scripts written for this database: the host keeps
    // one schema per kind of database, schema_<suffix>.sql.
    virtual QString scriptSuffix() const = 0;

    // True when the session behind the connection is gone (a server that
    // restarted or dropped it); `why` gets the client library's own text.
    // Asked between statements, it must send nothing.
    virtual bool connectionLost(Connection &connection, QString *why) const
    {
        (void)connection, (void)why;
        return false;
    }

    // How a write hands back the key the database generated for it. Driver:
    // ask Qt's driver afterwards (SQLite's last row id). Returned: the text as
    // translated returns the key as its one column (PostgreSQL's RETURNING).
    // None: the write generated no key, and the last one stands.
    enum class InsertKey { Driver, Returned, None };
    virtual InsertKey insertKey(const QString &translatedText) const
    {
        (void)translatedText;
        return InsertKey::Driver;
    }
};

// One kind of database per connection-string scheme ("sqlite", "postgresql").
// A dialect that is built in adds its factory to the table in connection.cpp;
// this registers one at run time (a test double, an extra backend).
using DialectFactory = std::function<std::unique_ptr<Dialect>()>;
void registerDialect(const QString &scheme, DialectFactory factory);

// Text and numbers spliced into statements. Every typed value goes through
// these: a quote inside a text is doubled, so the stored value always equals
// the entered text and no typed text can change a statement.
QString sqlEscape(const QString &text);            // the text with ' doubled, no outer quotes
QString sqlQuote(const QString &text);             // '...' with ' doubled
QString sqlNumber(double value);                   // plain decimal, a point, <= 15 significant digits
QString sqlNumber(int32_t value);

} // namespace torvel
