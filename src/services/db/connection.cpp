#include "services/db/connection.h"

#include "services/db/pgdialect.h"
#include "services/db/sqlitedialect.h"
#include "services/db/sqltext.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <atomic>
#include <optional>
#include <utility>
#include <limits>

namespace torvel {

namespace {

const QString kSource = QStringLiteral("TORVEL.Connection");

// ---------------------------------------------------------------------------
// Registries

QHash<QString, Procedure> &procedures()
{
    static QHash<QString, Procedure> table;
    return table;
}

QHash<QString, DialectFactory> &dialects()
{
    // The built-in backends.
    static QHash<QString, DialectFactory> table{
        {QStringLiteral("sqlite"), &createSqliteDialect},
        {QStringLiteral("postgresql"), &createPostgresDialect},
        {QStringLiteral("postgres"), &createPostgresDialect},
    };
    return table;
}

// "sqlite:PATH", "postgresql://...": the scheme before the first ':' when it
// is a plain word of two or more letters; anything else is a SQLite file path.
QString schemeOf(const QString &connectionString)
{
    const qsizetype colon = connectionString.indexOf(QLatin1Char(':'));
    if (colon < 2)
        return QStringLiteral("sqlite");
    for (qsizetype i = 0; i < colon; ++i) {
        const QChar c = connectionString.at(i);
        if (!(c.isLetterOrNumber() || c == QLatin1Char('+') || c == QLatin1Char('-')))
            return QStringLiteral("sqlite");
    }
    return connectionString.left(colon).toLower();
}

// ---------------------------------------------------------------------------
// Errors

[[noreturn]] void throwDatabaseError(const QSqlError &error, const QString &driver)
{
    bool numeric = false;
    const int native = error.nativeErrorCode().toInt(&numeric);
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.driverText();
    if (numeric && driver == QLatin1String("QSQLITE"))
        text = sqliteErrorText(native, text);
    throw ComError(numeric ? native : errc::DatabaseError, driver, text);
}

[[noreturn]] void throwConnectionError(const QString &description)
{
    throw ComError(errc::DatabaseError, kSource, description);
}

// ---------------------------------------------------------------------------
// Values

Variant toVariant(const QVariant &value)
{
    if (value.isNull())
        return Variant::null();
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::ULongLong:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort: {
        const qlonglong n = value.toLongLong();
        if (n >= std::numeric_limits<int32_t>::min() && n <= std::numeric_limits<int32_t>::max())
            return Variant(int32_t(n));
        return Variant(double(n));
    }
    case QMetaType::Bool:
        return Variant(value.toBool());
    case QMetaType::Double:
    case QMetaType::Float:
        return Variant(value.toDouble());
    case QMetaType::QString:
        return Variant(value.toString());
    case QMetaType::QByteArray:
        return Variant(QString::fromUtf8(value.toByteArray()));
    case QMetaType::QDate:
        return Variant::date(oleDate(value.toDate()));
    case QMetaType::QDateTime: {
        // A server's date-time column: the OLE date of its wall-clock value.
        const QDateTime dt = value.toDateTime();
        return Variant::date(oleDate(dt.date(), dt.time().msecsSinceStartOfDay() / 1000.0));
    }
    default:
        return Variant(value.toString());
    }
}

// ---------------------------------------------------------------------------
// A stored procedure named at the head of a statement, as SQL Server runs
// "sp_Name 1, 'x'" or "EXEC sp_Name 1, 'x'".

QStringView wordAt(QStringView text, qsizetype i)
{
    qsizetype end = i;
    while (end < text.size() && (sqltext::isWordChar(text.at(end)) || text.at(end) == QLatin1Char('.')))
        ++end;
    return text.mid(i, end - i);
}

bool startsLikeStatement(QStringView word)
{
    // The words that open every statement the library writes; checked first so
    // that ordinary statements pay nothing for the procedure test.
    static const char *const keywords[] = {"SELECT", "INSERT", "UPDATE", "DELETE", "WITH", "CREATE",
                                           "DROP", "ALTER", "PRAGMA", "BEGIN", "COMMIT", "ROLLBACK",
                                           "REPLACE", "VALUES", "EXPLAIN", "SAVEPOINT", "RELEASE",
                                           "VACUUM", "ANALYZE", "ATTACH", "DETACH", "REINDEX", "END"};
    for (const char *k : keywords) {
        // ASCII letters only: no keyword folds from another character.
        qsizetype i = 0;
        for (; i < word.size() && k[i]; ++i) {
            const char16_t c = word.at(i).unicode();
            if ((c >= u'a' && c <= u'z' ? char16_t(c - 32) : c) != char16_t(k[i]))
                break;
        }
        if (i == word.size() && !k[i])
            return true;
    }
    return false;
}

[[noreturn]] void throwCallSyntax(QStringView near)
{
    throwConnectionError(QStringLiteral("Incorrect syntax near '%1'.").arg(near.left(20).toString()));
}

// Parses the argument list of a procedure call: literals separated by commas,
// each optionally named ("@pYear = 2026"). Values arrive as the literals say:
// whole numbers as Long (Double past 32 bits), decimals as Double, quoted text
// as String, NULL as Null.
std::vector<Parameter> parseArguments(QStringView text, qsizetype i)
{
    std::vector<Parameter> args;
    i = sqltext::skipSpace(text, i);
    if (i < text.size() && text.at(i) == QLatin1Char(';'))
        ++i;
    if (sqltext::skipSpace(text, i) >= text.size())
        return args;
    while (true) {
        i = sqltext::skipSpace(text, i);
        Parameter p;
        if (i < text.size() && text.at(i) == QLatin1Char('@')) {
            const QStringView name = wordAt(text, i);
            p.name = name.toString();
            i = sqltext::skipSpace(text, i + name.size());
            if (i >= text.size() || text.at(i) != QLatin1Char('='))
                throwCallSyntax(text.mid(i));
            i = sqltext::skipSpace(text, i + 1);
        }
        if (i >= text.size())
            throwCallSyntax(text.mid(i));
        const QChar c = text.at(i);
        if (c == QLatin1Char('\'') || ((c == QLatin1Char('N') || c == QLatin1Char('n')) && i + 1 < text.size()
                                        && text.at(i + 1) == QLatin1Char('\''))) {
            if (c != QLatin1Char('\''))
                ++i;
            QString value;
            i = sqltext::readQuoted(text, i, &value);
            if (i < 0)
                throwConnectionError(QStringLiteral("Unclosed quotation mark after the character string '%1'.").arg(value));
            p.type = 200;
            p.value = Variant(value);
        } else {
            qsizetype end = i;
            while (end < text.size() && !text.at(end).isSpace() && text.at(end) != QLatin1Char(',')
                   && text.at(end) != QLatin1Char(';'))
                ++end;
            const QStringView literal = text.mid(i, end - i);
            if (literal.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0) {
                p.value = Variant::null();
            } else {
                bool ok = false;
                const qlonglong whole = literal.toLongLong(&ok);
                if (ok && whole >= std::numeric_limits<int32_t>::min() && whole <= std::numeric_limits<int32_t>::max()) {
                    p.type = 3;
                    p.value = Variant(int32_t(whole));
                } else {
                    const double d = literal.toDouble(&ok);
                    if (!ok)
                        throwCallSyntax(literal);
                    p.type = 5;
                    p.value = Variant(d);
                }
            }
            i = end;
        }
        i = sqltext::skipSpace(text, i);
        // "@p = x OUTPUT": a literal cannot take a value back; accepted and ignored.
        const QStringView after = wordAt(text, i);
        if (after.compare(QLatin1String("OUTPUT"), Qt::CaseInsensitive) == 0
            || after.compare(QLatin1String("OUT"), Qt::CaseInsensitive) == 0)
            i = sqltext::skipSpace(text, i + after.size());
        args.push_back(std::move(p));
        if (i < text.size() && text.at(i) == QLatin1Char(',')) {
            ++i;
            continue;
        }
        if (i < text.size() && text.at(i) == QLatin1Char(';'))
            i = sqltext::skipSpace(text, i + 1);
        if (i < text.size())
            throwCallSyntax(text.mid(i));
        return args;
    }
}

// True when the statement is a procedure call; fills the name and arguments.
// A statement opening with EXEC, or with a word that names a registered
// procedure or starts with "sp_" (the host's naming), is one.
bool parseProcedureCall(const QString &statement, QString *name, std::vector<Parameter> *args)
{
    const QStringView text(statement);
    qsizetype i = sqltext::skipSpace(text, 0);
    QStringView word = wordAt(text, i);
    if (word.isEmpty() || startsLikeStatement(word))
        return false;
    if (word.compare(QLatin1String("EXEC"), Qt::CaseInsensitive) == 0
        || word.compare(QLatin1String("EXECUTE"), Qt::CaseInsensitive) == 0) {
        i = sqltext::skipSpace(text, i + word.size());
        word = wordAt(text, i);
        if (word.isEmpty())
            throwCallSyntax(text.mid(i));
    } else if (!word.startsWith(QLatin1String("sp_"), Qt::CaseInsensitive)
               && !procedures().contains(word.toString().toLower())) {
        return false;
    }
    // "dbo.sp_Name": the owner does not matter to the embedded database.
    const qsizetype dot = word.lastIndexOf(QLatin1Char('.'));
    *name = word.mid(dot + 1).toString();
    *args = parseArguments(text, i + word.size());
    return true;
}

// True when the text holds something beyond one statement: anything but
// blanks, semicolons and comments after a ';' that ends a statement. Quoted
// text, quoted names, dollar-quoted bodies and comments are skipped.
bool hasSecondStatement(QStringView text)
{
    const qsizetype n = text.size();
    bool ended = false;
    for (qsizetype i = 0; i < n;) {
        const qsizetype pastComment = sqltext::commentEnd(text, i);
        if (pastComment != i) {
            i = pastComment;
            continue;
        }
        const QChar c = text[i];
        if (c.isSpace() || c == u';') {
            ended = ended || c == u';';
            ++i;
        } else if (ended) {
            return true;
        } else if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
            i = sqltext::quotedEnd(text, i);
        } else if (c == u'$') {
            // A server's $tag$ ... $tag$ body, where ';' ends its inner statements.
            qsizetype j = i + 1;
            while (j < n && (text[j].isLetterOrNumber() || text[j] == u'_'))
                ++j;
            if (j < n && text[j] == u'$') {
                const qsizetype close = text.indexOf(text.mid(i, j - i + 1), j + 1);
                i = close < 0 ? n : close + (j - i + 1);
            } else {
                i = j;
            }
        } else {
            ++i;
        }
    }
    return false;
}

bool isBlankText(QStringView text)
{
    for (const QChar c : text) {
        if (!c.isSpace())
            return false;
    }
    return true;
}

std::atomic<int> connectionSerial{0};

} // namespace

// ---------------------------------------------------------------------------
// Public registries

void registerProcedure(const QString &name, Procedure procedure)
{
    procedures().insert(name.toLower(), std::move(procedure));
}

void unregisterProcedure(const QString &name)
{
    procedures().remove(name.toLower());
}

void registerDialect(const QString &scheme, DialectFactory factory)
{
    dialects().insert(scheme.toLower(), std::move(factory));
}

RecordsetPtr Dialect::callProcedure(Connection &connection, const QString &name,
                                    std::vector<Parameter> &parameters) const
{
    const auto it = procedures().constFind(name.toLower());
    if (it == procedures().constEnd())
        throwConnectionError(QStringLiteral("Could not find stored procedure '%1'.").arg(name));
    // Copied so that a procedure may unregister itself while it runs.
    const Procedure procedure = it.value();
    return procedure(connection, parameters);
}

QString Dialect::containsCondition(const QString &column, const QString &text) const
{
    return QStringLiteral("lower(") + column + QStringLiteral(") LIKE ") + sqlQuote(sqltext::containsPattern(text.toLower()))
        + QStringLiteral(" ESCAPE '\\'");
}

// ---------------------------------------------------------------------------
// Transaction

Transaction::Transaction(Connection &connection, Mode mode) : m_connection(connection)
{
    if (mode == ReadsFirst)
        m_connection.BeginWriteTrans();
    else
        m_connection.BeginTrans();
}

Transaction::~Transaction()
{
    rollback();
}

void Transaction::rollback() noexcept
{
    if (m_done || !m_connection.inTransaction())
        return;
    m_done = true;
    try {
        m_connection.RollbackTrans();
    } catch (...) {
    }
}

void Transaction::commit()
{
    m_connection.CommitTrans();
    m_done = true;
}

// ---------------------------------------------------------------------------
// Connection

// One query object reused for every statement: QSqlQuery allocates its driver
// result on construction, which a save of many lines would otherwise pay per
// line.
struct Connection::Statements
{
    explicit Statements(const QSqlDatabase &db) : query(db) { query.setForwardOnly(true); }
    QSqlQuery query;
    bool busy = false;
};

Connection::Connection() = default;

Connection::~Connection()
{
    try {
        Close();
    } catch (...) {
        // A destructor must not throw; the database is released regardless.
    }
}

std::shared_ptr<Connection> Connection::open(const QString &connectionString)
{
    const QString scheme = schemeOf(connectionString);
    const auto factory = dialects().constFind(scheme);
    if (factory == dialects().constEnd())
        throwConnectionError(QStringLiteral("No database support for '%1' connections.").arg(scheme));

    std::shared_ptr<Connection> c(new Connection);
    c->m_connectionString = connectionString;
    c->m_dialect = factory.value()();
    // Qt's connection names are process-wide: the object's address keeps the
    // name unique even beside another copy of this layer with its own counter.
    c->m_qtName = QStringLiteral("torvel-%1-%2")
                      .arg(quintptr(c.get()), 0, 16)
                      .arg(++connectionSerial);

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(c->m_dialect->driverName(), c->m_qtName);
        if (!db.isValid()) {
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(c->m_qtName);
            throwConnectionError(QStringLiteral("The database driver %1 is not available.").arg(c->m_dialect->driverName()));
        }
        c->m_dialect->configure(db, connectionString);
        if (!db.open()) {
            const QSqlError error = db.lastError();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(c->m_qtName);
            c->m_qtName.clear();
            throwDatabaseError(error, c->m_dialect->driverName());
        }
        c->m_statements = std::make_unique<Statements>(db);
    }
    c->m_dialect->prepare(*c);
    return c;
}

QSqlDatabase Connection::database() const
{
    if (m_qtName.isEmpty())
        return QSqlDatabase();
    return QSqlDatabase::database(m_qtName, false);
}

bool Connection::isOpen() const
{
    // A session the server dropped is still the host's open connection: the
    // next statement opens it again.
    return !m_qtName.isEmpty() && (m_lost || database().isOpen());
}

QString Connection::driverName() const
{
    return m_dialect ? m_dialect->driverName() : QString();
}

void Connection::Close()
{
    if (m_qtName.isEmpty())
        return;
    m_deferred.clear();
    if (m_inTransaction) {
        m_inTransaction = false;
        database().rollback();
    }
    // Every statement must be gone before the database is removed.
    m_dialect->close(*this);
    m_statements.reset();
    {
        QSqlDatabase db = database();
        db.close();
    }
    QSqlDatabase::removeDatabase(m_qtName);
    m_qtName.clear();
}

void Connection::checkOpen() const
{
    if (m_qtName.isEmpty())
        throw ComError(errc::ObjectClosed, kSource, QStringLiteral("Operation is not allowed when the object is closed."));
}

template <class F>
auto Connection::watched(F &&body) -> decltype(body())
{
    try {
        return body();
    } catch (const ComError &e) {
        if (e.description().startsWith(errtext::kConnectionLost))
            throw;   // said already, by a statement inside this one
        QString why;
        if (!m_lost && !m_dialect->connectionLost(*this, &why))
            throw;
        // The driver's own text on a dead session is often empty or left
        // over from an earlier error; the client library's is current.
        m_lost = true;
        why = why.trimmed();
        throw ComError(errc::DatabaseError, kSource,
                       why.isEmpty() ? errtext::kConnectionLost : errtext::kConnectionLost + QStringLiteral(": ") + why);
    }
}

void Connection::reviveIfLost()
{
    if (m_inTransaction)
        return;
    if (m_lost || m_dialect->connectionLost(*this, nullptr))
        reconnect();
}

void Connection::reconnect()
{
    m_lost = true;
    m_dialect->close(*this);
    m_statements.reset();
    QSqlDatabase db = database();
    db.close();
    if (!db.open()) {
        QString why = db.lastError().databaseText();
        if (why.isEmpty())
            why = db.lastError().driverText();
        throw ComError(errc::DatabaseError, kSource, errtext::kConnectionLost + QStringLiteral(": ") + why.trimmed());
    }
    m_statements = std::make_unique<Statements>(db);
    m_dialect->prepare(*this);
    m_lost = false;
}

RecordsetPtr Connection::Execute(const QString &text, qint64 *recordsAffected)
{
    if (recordsAffected)
        *recordsAffected = 0;
    checkOpen();
    reviveIfLost();
    return watched([&] { return execute(text, recordsAffected); });
}

RecordsetPtr Connection::execute(const QString &text, qint64 *recordsAffected)
{
    if (isBlankText(text))
        throwConnectionError(QStringLiteral("No statement to run: the command text is empty."));
    // A second statement would run unseen by the dialect and the statement
    // cache, and is how a spliced text turns into another statement.
    if (text.contains(u';') && hasSecondStatement(text))
        throwConnectionError(QStringLiteral("Only one statement is allowed in a command text."));

    QString name;
    std::vector<Parameter> args;
    if (parseProcedureCall(text, &name, &args)) {
        if (m_hook)
            m_hook(text);
        flushDeferred();
        return m_dialect->callProcedure(*this, name, args);
    }
    // The hook sees the text as it runs before the dialect's own means run it.
    const bool hooked = bool(m_hook);
    QString translated;
    if (hooked) {
        translated = m_dialect->translate(text);
        m_hook(translated);
    }
    RecordsetPtr rows;
    if (m_deferred.isEmpty() && m_dialect->runShaped(*this, text, recordsAffected, &m_lastInsertId, &rows))
        return rows;
    return run(hooked ? translated : m_dialect->translate(text), recordsAffected, hooked);
}

void Connection::flushWrites()
{
    watched([&] { flushDeferred(); });
}

void Connection::flushDeferred()
{
    if (m_deferred.isEmpty() || m_flushing)
        return;
    const QStringList texts = std::exchange(m_deferred, QStringList());
    m_flushing = true;
    struct Done
    {
        bool &flag;
        ~Done() { flag = false; }
    } done{m_flushing};
    m_dialect->runDeferred(*this, texts);
}

void Dialect::runDeferred(Connection &connection, const QStringList &translatedTexts)
{
    for (const QString &text : translatedTexts)
        connection.run(text, nullptr, true);
}

RecordsetPtr Connection::run(const QString &text, qint64 *recordsAffected, bool hookSeen)
{
    if (m_hook && !hookSeen)
        m_hook(text);
    if (!m_flushing) {
        if (m_inTransaction && !recordsAffected && m_dialect->defersWrite(text)) {
            m_deferred.append(text);
            return nullptr;
        }
        flushDeferred();
    }
    if (m_dialect->runDirect(*this, text, recordsAffected, &m_lastInsertId))
        return nullptr;

    // A procedure body or a hook may run a statement while another is being
    // read; it gets a query of its own.
    std::optional<QSqlQuery> own;
    QSqlQuery *query = &m_statements->query;
    if (m_statements->busy) {
        own.emplace(database());
        own->setForwardOnly(true);
        query = &*own;
    }
    struct Busy
    {
        bool &flag;
        bool was;
        ~Busy() { flag = was; }
    } busy{m_statements->busy, m_statements->busy};
    m_statements->busy = true;

    if (!query->exec(text)) {
        const QSqlError error = query->lastError();
        query->finish();
        throwDatabaseError(error, driverName());
    }

    const Dialect::InsertKey keyFrom = m_dialect->insertKey(text);
    if (keyFrom == Dialect::InsertKey::Returned) {
        // An INSERT that returns its generated keys: one row per row written.
        int affected = 0;
        while (query->next()) {
            ++affected;
            m_lastInsertId = toVariant(query->value(0));
        }
        if (query->lastError().isValid()) {
            const QSqlError error = query->lastError();
            query->finish();
            throwDatabaseError(error, driverName());
        }
        if (recordsAffected)
            *recordsAffected = affected;
        query->finish();
        return nullptr;
    }

    if (!query->isSelect()) {
        const int affected = query->numRowsAffected();
        if (recordsAffected)
            *recordsAffected = affected;
        if (affected > 0 && keyFrom == Dialect::InsertKey::Driver) {
            const QVariant id = query->lastInsertId();
            if (id.isValid())
                m_lastInsertId = toVariant(id);
        }
        query->finish();
        return nullptr;
    }

    const QSqlRecord record = query->record();
    const int columns = record.count();
    QStringList names;
    names.reserve(columns);
    for (int c = 0; c < columns; ++c)
        names.append(record.fieldName(c));

    std::vector<Recordset::Row> rows;
    while (query->next()) {
        Recordset::Row row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c)
            row.push_back(toVariant(query->value(c)));
        rows.push_back(std::move(row));
    }
    // A failed step ends the loop like the last row would.
    if (query->lastError().isValid()) {
        const QSqlError error = query->lastError();
        query->finish();
        throwDatabaseError(error, driverName());
    }
    query->finish();
    return std::make_shared<Recordset>(std::move(names), std::move(rows));
}

Variant Connection::lastInsertId() const
{
    return m_lastInsertId;
}

void Connection::BeginTrans()
{
    begin(false);
}

void Connection::BeginWriteTrans()
{
    begin(true);
}

QString Connection::lockingRead(const QString &select) const
{
    return m_dialect->lockingRead(select);
}

void Connection::begin(bool forWrite)
{
    checkOpen();
    if (m_inTransaction)
        throwConnectionError(QStringLiteral("A transaction is already active on this connection; nested transactions are not supported."));
    reviveIfLost();
    watched([&] {
        if (m_hook)
            m_hook(QStringLiteral("BEGIN TRANSACTION"));
        if (!forWrite || !m_dialect->beginWrite(*this)) {
            QSqlDatabase db = database();
            if (!db.transaction())
                throwDatabaseError(db.lastError(), driverName());
        }
    });
    m_inTransaction = true;
}

void Connection::CommitTrans()
{
    if (!m_inTransaction)
        throwConnectionError(QStringLiteral("No transaction is active: nothing to commit."));
    watched([&] {
        if (m_hook)
            m_hook(QStringLiteral("COMMIT TRANSACTION"));
        // A failing write still waiting fails the commit; the transaction
        // stays open, so its owner rolls it back.
        flushDeferred();
        QSqlDatabase db = database();
        if (!db.commit())
            throwDatabaseError(db.lastError(), driverName());
    });
    m_inTransaction = false;
}

void Connection::RollbackTrans()
{
    if (!m_inTransaction)
        throwConnectionError(QStringLiteral("No transaction is active: nothing to roll back."));
    if (m_hook)
        m_hook(QStringLiteral("ROLLBACK TRANSACTION"));
    m_deferred.clear();
    // The transaction is over either way: a failed rollback leaves SQLite in
    // autocommit, and a second attempt would only fail again. A server that
    // lost the session discarded the transaction with it.
    m_inTransaction = false;
    if (m_lost || m_dialect->connectionLost(*this, nullptr)) {
        m_lost = true;
        return;
    }
    QSqlDatabase db = database();
    if (!db.rollback())
        throwDatabaseError(db.lastError(), driverName());
}

RecordsetPtr Connection::callProcedure(const QString &name, std::vector<Parameter> &parameters)
{
    checkOpen();
    reviveIfLost();
    return watched([&] {
        if (m_hook)
            m_hook(name);
        flushDeferred();
        return m_dialect->callProcedure(*this, name, parameters);
    });
}

} // namespace torvel
