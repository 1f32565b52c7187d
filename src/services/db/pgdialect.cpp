#include "services/db/pgdialect.h"

#include "services/db/sqltext.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>

#include <algorithm>

#include <libpq-fe.h>

namespace torvel {

namespace {

const QString kSource = QStringLiteral("TORVEL.Connection");

using sqltext::firstWord;
using sqltext::isWord;
using sqltext::skipSpace;

bool isIdentPart(QChar c)
{
    return sqltext::isWordChar(c);
}

QString quoteIdent(const QString &name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

constexpr QLatin1String kReturning(" RETURNING ");

// Whether RETURNING stands in the statement as a word, not inside a quoted
// text or name.
bool hasReturning(QStringView v)
{
    qsizetype i = 0;
    while (i < v.size()) {
        const QChar c = v.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            i = sqltext::quotedEnd(v, i);
        } else if (isIdentPart(c)) {
            const qsizetype end = sqltext::wordEnd(v, i);
            if (isWord(v.mid(i, end - i), "RETURNING"))
                return true;
            i = end;
        } else {
            ++i;
        }
    }
    return false;
}

[[noreturn]] void throwError(const QString &description)
{
    throw ComError(errc::DatabaseError, kSource, description);
}

[[noreturn]] void throwQueryError(const QSqlQuery &query)
{
    const QSqlError error = query.lastError();
    bool numeric = false;
    const int native = error.nativeErrorCode().toInt(&numeric);
    throw ComError(numeric ? native : errc::DatabaseError, QStringLiteral("QPSQL"),
                   error.databaseText().isEmpty() ? error.driverText() : error.databaseText());
}

// A literal of a procedure argument, in the form PostgreSQL reads for any type;
// the call casts it to the argument's declared type.
QString literal(const Variant &value)
{
    switch (value.type()) {
    case Variant::Type::Empty:
    case Variant::Type::Null:
        return QStringLiteral("NULL");
    case Variant::Type::Boolean:
        return value.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case Variant::Type::Int16:
    case Variant::Type::Int32:
        return sqlNumber(value.toInt32());
    case Variant::Type::Double:
        return sqlNumber(value.toDouble());
    case Variant::Type::Date:
        return sqlQuote(oleDateToText(value.toDate()));
    case Variant::Type::String:
        return sqlQuote(value.toString());
    case Variant::Type::Object:
        break;
    }
    throw ComError(errc::TypeMismatch, kSource, QStringLiteral("An object cannot be passed to a stored procedure."));
}

// A function's call interface as the catalog describes it.
struct Signature
{
    QString name;                 // as the catalog spells it
    bool returnsSet = false;
    bool returnsVoid = false;
    struct Arg
    {
        QString name;             // empty when unnamed
        QString type;             // format_type text, usable in a cast
        char mode = 'i';          // i in, o out, b in and out, v variadic, t table column
    };
    std::vector<Arg> args;

    bool hasOutputs() const
    {
        for (const Arg &a : args) {
            if (a.mode == 'o' || a.mode == 'b')
                return true;
        }
        return false;
    }
};

class PostgresDialect final : public Dialect
{
public:
    QString name() const override { return QStringLiteral("PostgreSQL"); }
    QString driverName() const override { return QStringLiteral("QPSQL"); }
    QString scriptSuffix() const override { return QStringLiteral("pg"); }

    void configure(QSqlDatabase &database, const QString &connectionString) const override
    {
        const QUrl url(connectionString, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty())
            throwError(QStringLiteral("Invalid PostgreSQL connection string '%1': expected "
                                      "postgresql://user@host:port/dbname.")
                           .arg(connectionString));
        database.setHostName(url.host());
        if (url.port() > 0)
            database.setPort(url.port());
        database.setUserName(url.userName(QUrl::FullyDecoded));
        if (url.password().size())
            database.setPassword(url.password(QUrl::FullyDecoded));
        QString dbName = url.path(QUrl::FullyDecoded);
        if (dbName.startsWith(QLatin1Char('/')))
            dbName.remove(0, 1);
        database.setDatabaseName(dbName.isEmpty() ? url.userName(QUrl::FullyDecoded) : dbName);

        QStringList options;
        const QUrlQuery query(url);
        for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
            if (key.compare(QLatin1String("search_path"), Qt::CaseInsensitive) == 0)
                m_searchPath = value;
            else
                options.append(key + QLatin1Char('=') + value);
        }
        // A server that does not answer must not hang the host's dialog for
        // the operating system's TCP time-out.
        if (!query.hasQueryItem(QStringLiteral("connect_timeout")))
            options.append(QStringLiteral("connect_timeout=10"));
        database.setConnectOptions(options.join(QLatin1Char(';')));
    }

    bool connectionLost(Connection &connection, QString *why) const override
    {
        const QVariant handle = connection.database().driver()->handle();
        // Qt names the handle's type by the struct behind libpq's typedef.
        if (!handle.isValid()
            || (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
            return false;
        PGconn *conn = *static_cast<PGconn *const *>(handle.constData());
        if (!conn)
            return true;
        // A server that shut the session down left its last message and the
        // end of the stream on the socket: reading them, which sends nothing,
        // is how the client library notices. The first read takes the
        // message, the second meets the end.
        for (int read = 0; read < 2 && PQstatus(conn) != CONNECTION_BAD; ++read) {
            if (!PQconsumeInput(conn))
                break;
        }
        if (PQstatus(conn) != CONNECTION_BAD)
            return false;
        if (why)
            *why = QString::fromUtf8(PQerrorMessage(conn));
        return true;
    }

    void prepare(Connection &connection) override
    {
        m_connection = &connection;
        // Quotes are doubled and backslashes are plain characters, as in the
        // host's dialect; dates print in ISO form whatever the server's default.
        QString setup = QStringLiteral("SET standard_conforming_strings = on; SET DateStyle = 'ISO, YMD'; "
                                       "SET client_min_messages = warning");
        if (!m_searchPath.isEmpty()) {
            QStringList schemas;
            for (const QString &s : m_searchPath.split(QLatin1Char(','), Qt::SkipEmptyParts))
                schemas.append(quoteIdent(s.trimmed()));
            setup += QStringLiteral("; SET search_path TO ") + schemas.join(QLatin1Char(','));
        }
        QSqlQuery q(connection.database());
        if (!q.exec(setup))
            throwQueryError(q);
    }

    QString translate(const QString &text) const override
    {
        // What a definition changes (a key, a function, the search path) is
        // looked up again afterwards.
        const QStringView word = firstWord(text);
        if (isWord(word, "CREATE") || isWord(word, "DROP") || isWord(word, "ALTER") || isWord(word, "SET")) {
            m_tables.clear();
            m_functions.clear();
        }
        return postgresTranslate(text, [this](const QString &table) { return tableInfo(table); });
    }

    // Row locks: another transaction's write (or locking read) of these rows
    // waits until this one ends.
    QString lockingRead(const QString &select) const override
    {
        QString text = select.trimmed();
        while (text.endsWith(QLatin1Char(';')))
            text.chop(1);
        return text + QStringLiteral(" FOR UPDATE");
    }

    // Line inserts and deletes: writes that generate no key the caller reads.
    bool defersWrite(const QString &translatedText) const override
    {
        const QStringView word = firstWord(translatedText);
        return (isWord(word, "INSERT") || isWord(word, "DELETE")) && insertKey(translatedText) == InsertKey::None;
    }

    // One text, one round trip: the server runs the statements in order and
    // stops at the first failure, whose text is what that statement alone
    // would have given. The transaction around them is then failed as a
    // whole, so its owner rolls it back.
    void runDeferred(Connection &connection, const QStringList &translatedTexts) override
    {
        // libpq itself: Qt's driver reads only the last result of a text with
        // several statements and loses the failing one's message.
        const QVariant handle = connection.database().driver()->handle();
        PGconn *pg = handle.isValid() ? *static_cast<PGconn *const *>(handle.constData()) : nullptr;
        if (!pg)
            throwError(QStringLiteral("The connection to the database server is not open."));
        const QByteArray text = translatedTexts.join(QStringLiteral(";\n")).toUtf8();
        PGresult *result = PQexec(pg, text.constData());
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
            PQclear(result);
            return;
        }
        // The text and number Qt's driver gives for a statement that fails
        // alone: the server's message followed by its SQLSTATE.
        const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
        const QString code = QString::fromLatin1(state ? state : "");
        QString message = QString::fromUtf8(PQerrorMessage(pg));
        if (result)
            message += QLatin1Char('(') + code + QLatin1Char(')');
        PQclear(result);
        bool numeric = false;
        const int native = code.toInt(&numeric);
        throw ComError(numeric ? native : errc::DatabaseError, QStringLiteral("QPSQL"), message);
    }

    InsertKey insertKey(const QString &translatedText) const override
    {
        // Only INSERTs this dialect gave a RETURNING clause hand back a key;
        // asking the driver would run lastval(), which fails (and so aborts the
        // transaction) in a session that has not used a sequence yet.
        // The clause this dialect appends: " RETURNING column" at the very end,
        // found from the end so that a line insert costs a few characters.
        const QStringView v = QStringView(translatedText).trimmed();
        const qsizetype blank = v.lastIndexOf(QLatin1Char(' '));
        if (blank < 0 || blank + 1 == v.size() || !isWord(firstWord(v), "INSERT"))
            return InsertKey::None;
        for (QChar c : v.mid(blank + 1)) {
            if (!isIdentPart(c) && c != QLatin1Char('"'))
                return InsertKey::None;
        }
        const QStringView before = v.left(blank).trimmed();
        const QLatin1String word("RETURNING");
        if (!before.endsWith(word, Qt::CaseInsensitive))
            return InsertKey::None;
        const qsizetype start = before.size() - word.size();
        return start == 0 || !isIdentPart(before.at(start - 1)) ? InsertKey::Returned : InsertKey::None;
    }

    RecordsetPtr callProcedure(Connection &connection, const QString &name,
                               std::vector<Parameter> &parameters) const override
    {
        const std::optional<Signature> signature = function(name);
        // Procedures the host registered in C++ run their statements through
        // the connection, so they serve a server without a function of that
        // name as well as the embedded database.
        if (!signature)
            return Dialect::callProcedure(connection, name, parameters);
        return callFunction(connection, *signature, parameters);
    }

private:
    // A table's generated key and clustered order, cached per table until a
    // definition runs. A table that does not exist is not cached: the
    // statement fails on its own.
    PgTableInfo tableInfo(const QString &table) const
    {
        const QString key = table.toLower();
        const auto it = m_tables.constFind(key);
        if (it != m_tables.constEnd())
            return it.value();
        if (!m_connection || !m_connection->isOpen())
            return {};
        QSqlQuery q(m_connection->database());
        q.setForwardOnly(true);
        const QString sql = QStringLiteral(
            "SELECT r IS NOT NULL, "
            "(SELECT a.attname FROM pg_attribute a WHERE a.attrelid = r AND a.attnum > 0 AND NOT a.attisdropped "
            "AND (a.attidentity <> '' OR pg_get_serial_sequence(r::text, a.attname) IS NOT NULL) "
            "ORDER BY a.attnum LIMIT 1), "
            "(SELECT array_to_string(ARRAY(SELECT a.attname FROM unnest(i.indkey::int2[]) WITH ORDINALITY AS k(attnum, n) "
            "JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = k.attnum ORDER BY k.n), ',') "
            "FROM pg_index i WHERE i.indrelid = r AND i.indisclustered LIMIT 1) "
            "FROM to_regclass(%1) AS r")
                                .arg(sqlQuote(table));
        // A failed look-up (a dropped connection) only means no rewrite; the
        // statement itself then reports the failure.
        if (!q.exec(sql) || !q.next())
            return {};
        PgTableInfo info;
        const bool exists = q.value(0).toBool();
        info.keyColumn = q.value(1).toString();
        info.clusteredOrder = q.value(2).toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
        q.finish();
        if (exists)
            m_tables.insert(key, info);
        return info;
    }

    std::optional<Signature> function(const QString &procedureName) const
    {
        const QString key = procedureName.toLower();
        const auto it = m_functions.constFind(key);
        if (it != m_functions.constEnd())
            return it.value();
        if (!m_connection || !m_connection->isOpen())
            return std::nullopt;
        QSqlQuery q(m_connection->database());
        q.setForwardOnly(true);
        // The host's names are written in any case; the function's was folded
        // when it was created unquoted.
        const QString sql = QStringLiteral(
            "SELECT p.proname, p.proretset, p.prorettype = 'void'::regtype, "
            "array_to_string(ARRAY(SELECT format_type(t, NULL) FROM unnest(coalesce(p.proallargtypes, "
            "p.proargtypes::oid[])) WITH ORDINALITY AS u(t, i) ORDER BY i), '|'), "
            "array_to_string(coalesce(p.proargmodes, '{}'::\"char\"[]), '|'), "
            "array_to_string(coalesce(p.proargnames, '{}'::text[]), '|', '') "
            "FROM pg_proc p WHERE lower(p.proname) = lower(%1) AND p.prokind = 'f' AND pg_function_is_visible(p.oid) "
            "ORDER BY p.oid LIMIT 1")
                                .arg(sqlQuote(procedureName));
        if (!q.exec(sql))
            throwQueryError(q);
        if (!q.next())
            return std::nullopt;   // not cached: the host may create it later
        Signature s;
        s.name = q.value(0).toString();
        s.returnsSet = q.value(1).toBool();
        s.returnsVoid = q.value(2).toBool();
        const QStringList types = q.value(3).toString().split(QLatin1Char('|'), Qt::SkipEmptyParts);
        const QStringList modes = q.value(4).toString().split(QLatin1Char('|'), Qt::SkipEmptyParts);
        const QStringList names = q.value(5).toString().split(QLatin1Char('|'));
        q.finish();
        for (qsizetype i = 0; i < types.size(); ++i) {
            Signature::Arg a;
            a.type = types.at(i);
            a.mode = i < modes.size() && !modes.at(i).isEmpty() ? modes.at(i).at(0).toLatin1() : 'i';
            a.name = i < names.size() ? names.at(i) : QString();
            s.args.push_back(a);
        }
        m_functions.insert(key, s);
        return s;
    }

    // SQL Server's procedure with output parameters is a function with OUT
    // arguments here: inputs go in as casts to the declared types, outputs
    // come back as the one row's columns and are written into the parameters
    // by name (without the '@'), else in order.
    RecordsetPtr callFunction(Connection &connection, const Signature &s, std::vector<Parameter> &parameters) const
    {
        std::vector<const Signature::Arg *> ins;
        std::vector<const Signature::Arg *> outs;
        for (const Signature::Arg &a : s.args) {
            if (a.mode == 'i' || a.mode == 'b' || a.mode == 'v')
                ins.push_back(&a);
            if (a.mode == 'o' || a.mode == 'b')
                outs.push_back(&a);
        }
        std::vector<const Parameter *> given;
        for (const Parameter &p : parameters) {
            if (p.direction == Parameter::Input || p.direction == Parameter::InputOutput)
                given.push_back(&p);
        }

        auto bare = [](const QString &n) { return n.startsWith(QLatin1Char('@')) ? n.mid(1) : n; };
        auto inputNamed = [&](const QString &n) -> const Signature::Arg * {
            for (const Signature::Arg *a : ins) {
                if (!a->name.isEmpty() && a->name.compare(n, Qt::CaseInsensitive) == 0)
                    return a;
            }
            return nullptr;
        };
        // Named notation when every argument carries a name the function knows,
        // so "EXEC sp_x @pPeriod = 3, @pYear = 2026" binds as SQL Server would.
        bool named = !given.empty();
        for (const Parameter *p : given) {
            if (p->name.isEmpty() || !inputNamed(bare(p->name)))
                named = false;
        }
        if (!named && given.size() > ins.size())
            throwError(QStringLiteral("Procedure or function %1 has too many arguments specified.").arg(s.name));

        QStringList args;
        for (size_t i = 0; i < given.size(); ++i) {
            const Signature::Arg *a = named ? inputNamed(bare(given[i]->name)) : ins[i];
            const QString value = QStringLiteral("CAST(") + literal(given[i]->value) + QStringLiteral(" AS ")
                                  + a->type + QLatin1Char(')');
            args.append(named ? quoteIdent(a->name) + QStringLiteral(" => ") + value : value);
        }
        const QString call = quoteIdent(s.name) + QLatin1Char('(') + args.join(QStringLiteral(", ")) + QLatin1Char(')');
        if (s.returnsVoid) {
            connection.Execute(QStringLiteral("SELECT ") + call);
            return nullptr;
        }
        RecordsetPtr rs = connection.Execute(QStringLiteral("SELECT * FROM ") + call);
        if (s.returnsSet || !s.hasOutputs())
            return rs;

        // Outputs only: the procedure returns no rows of its own.
        if (rs && !rs->Eof()) {
            size_t next = 0;
            for (Parameter &p : parameters) {
                if (p.direction != Parameter::Output && p.direction != Parameter::InputOutput)
                    continue;
                int column = p.name.isEmpty() ? -1 : rs->fieldIndex(bare(p.name));
                if (column < 0 && next < size_t(rs->fieldCount()))
                    column = int(next);
                ++next;
                if (column >= 0)
                    p.value = rs->Fields(column);
            }
        }
        return nullptr;
    }

    // The connection that owns this dialect; catalog look-ups use its
    // database without keeping a handle that would outlive Close.
    const Connection *m_connection = nullptr;
    mutable QString m_searchPath;
    mutable QHash<QString, PgTableInfo> m_tables;
    mutable QHash<QString, Signature> m_functions;
};

} // namespace

std::unique_ptr<Dialect> createPostgresDialect()
{
    return std::make_unique<PostgresDialect>();
}

QString insertTarget(const QString &text)
{
    const QStringView v(text);
    qsizetype i = skipSpace(v, 0);
    const QStringView insert = firstWord(v);
    if (!isWord(insert, "INSERT"))
        return QString();
    i = skipSpace(v, v.indexOf(insert) + insert.size());
    auto name = [&](qsizetype from) -> QStringView {
        qsizetype end = from;
        while (end < v.size()) {
            const QChar c = v.at(end);
            if (c == QLatin1Char('"')) {
                end = sqltext::quotedEnd(v, end);
            } else if (isIdentPart(c) || c == QLatin1Char('.')) {
                ++end;
            } else {
                break;
            }
        }
        return v.mid(from, end - from);
    };
    QStringView word = name(i);
    if (isWord(word, "INTO")) {
        i = skipSpace(v, i + word.size());
        word = name(i);
    }
    return word.toString();
}

namespace {

// A word or a mark of a statement outside quoted text and comments, with its
// parenthesis depth. Quoted names count as words.
struct Token
{
    qsizetype pos = 0;
    qsizetype size = 0;
    int depth = 0;
    bool word = false;
};

std::vector<Token> tokenize(QStringView v)
{
    std::vector<Token> tokens;
    int depth = 0;
    qsizetype i = 0;
    while (i < v.size()) {
        const QChar c = v.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('\'')) {
            i = sqltext::quotedEnd(v, i);
        } else if (const qsizetype after = sqltext::commentEnd(v, i); after != i) {
            i = after;
        } else if (isIdentPart(c) || c == QLatin1Char('"')) {
            qsizetype end = i;
            while (end < v.size()) {
                const QChar d = v.at(end);
                if (d == QLatin1Char('"')) {
                    end = sqltext::quotedEnd(v, end);
                } else if (isIdentPart(d) || d == QLatin1Char('.')) {
                    ++end;
                } else {
                    break;
                }
            }
            tokens.push_back({i, end - i, depth, true});
            i = end;
        } else {
            if (c == QLatin1Char(')'))
                --depth;
            tokens.push_back({i, 1, depth, false});
            if (c == QLatin1Char('('))
                ++depth;
            ++i;
        }
    }
    return tokens;
}

bool isAnyWord(QStringView word, std::initializer_list<const char *> keywords)
{
    for (const char *k : keywords) {
        if (isWord(word, k))
            return true;
    }
    return false;
}

QString plainOrQuoted(const QString &name)
{
    bool plain = !name.isEmpty() && !name.at(0).isDigit();
    for (QChar c : name) {
        if (!(c.isLower() || c.isDigit() || c == QLatin1Char('_')))
            plain = false;
    }
    return plain ? name : quoteIdent(name);
}

QString withoutTail(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && (text.at(end - 1).isSpace() || text.at(end - 1) == QLatin1Char(';')))
        --end;
    return text.left(end);
}

// A plain row query (no ordering, grouping, set operation, limit or function
// in its column list) from a table with a clustered index: the order clause
// that index gives, else nothing.
QString clusteredOrderClause(const QString &text, const std::function<PgTableInfo(const QString &)> &tableInfo)
{
    const QStringView v(text);
    const std::vector<Token> tokens = tokenize(v);
    auto word = [&](size_t i) { return tokens[i].word ? v.mid(tokens[i].pos, tokens[i].size) : QStringView(); };
    if (tokens.empty() || !isWord(word(0), "SELECT"))
        return QString();
    size_t from = 0;
    for (size_t i = 1; i < tokens.size(); ++i) {
        if (tokens[i].depth != 0)
            continue;
        const QStringView w = word(i);
        if (isAnyWord(w, {"ORDER", "GROUP", "HAVING", "UNION", "INTERSECT", "EXCEPT", "LIMIT", "OFFSET", "FETCH",
                          "FOR", "DISTINCT", "INTO", "TOP", "WINDOW"}))
            return QString();
        if (from == 0 && isWord(w, "FROM"))
            from = i;
    }
    if (from == 0 || from + 1 >= tokens.size() || !tokens[from + 1].word)
        return QString();
    for (size_t i = 1; i < from; ++i) {
        if (!tokens[i].word && v.at(tokens[i].pos) == QLatin1Char('('))
            return QString();   // a function or an aggregate among the columns
    }
    const QString table = word(from + 1).toString();
    QString qualifier = table;
    if (from + 2 < tokens.size() && tokens[from + 2].word) {
        const QStringView next = word(from + 2);
        if (isWord(next, "AS") && from + 3 < tokens.size() && tokens[from + 3].word)
            qualifier = word(from + 3).toString();
        else if (!isAnyWord(next, {"WHERE", "LEFT", "RIGHT", "INNER", "FULL", "CROSS", "JOIN", "OUTER", "NATURAL", "ON"}))
            qualifier = next.toString();
    }
    const QStringList columns = tableInfo ? tableInfo(table).clusteredOrder : QStringList();
    if (columns.isEmpty())
        return QString();
    QStringList terms;
    for (const QString &c : columns)
        terms.append(qualifier + QLatin1Char('.') + plainOrQuoted(c));
    return QStringLiteral(" ORDER BY ") + terms.join(QStringLiteral(", "));
}

// SQL Server's LEN counts characters without the trailing blanks, which
// the server writes itself: "len(x)" becomes "length(rtrim(x, ' '))".
QString withLength(const QString &text)
{
    if (!text.contains(QLatin1String("len"), Qt::CaseInsensitive))
        return text;
    const QStringView v(text);
    const std::vector<Token> tokens = tokenize(v);
    std::vector<std::pair<qsizetype, QString>> edits;   // at a position: replace a word, or insert
    for (size_t k = 0; k + 1 < tokens.size(); ++k) {
        const Token &open = tokens[k + 1];
        if (!tokens[k].word || !isWord(v.mid(tokens[k].pos, tokens[k].size), "len") || open.word
            || v.at(open.pos) != QLatin1Char('('))
            continue;
        for (size_t j = k + 2; j < tokens.size(); ++j) {
            if (!tokens[j].word && tokens[j].depth == open.depth && v.at(tokens[j].pos) == QLatin1Char(')')) {
                edits.emplace_back(tokens[k].pos, QStringLiteral("length(rtrim"));
                edits.emplace_back(tokens[j].pos, QStringLiteral(", ' ')"));
                break;
            }
        }
    }
    if (edits.empty())
        return text;
    std::sort(edits.begin(), edits.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QString out;
    qsizetype copied = 0;
    for (const auto &[pos, what] : edits) {
        out += v.mid(copied, pos - copied);
        out += what;
        // The word "len" gives way; a closing parenthesis stays after the insert.
        copied = what.startsWith(QLatin1String("length")) ? pos + 3 : pos;
    }
    out += v.mid(copied);
    return out;
}

} // namespace

QString postgresTranslate(const QString &text, const std::function<PgTableInfo(const QString &)> &tableInfo)
{
    // The parse points every database shares (INSERT without INTO, a number
    // glued to a word) are rewritten as for any other, then SQL Server's LEN.
    const QString out = withLength(sqltext::rewriteServerText(text));
    const QStringView first = firstWord(out);
    if (isWord(first, "SELECT")) {
        const QString order = clusteredOrderClause(out, tableInfo);
        return order.isEmpty() ? out : withoutTail(out) + order;
    }
    const QString table = insertTarget(out);
    if (table.isEmpty())
        return out;
    // The key first: a save's many line inserts go to a table without one and
    // are not scanned again.
    const QString column = tableInfo ? tableInfo(table).keyColumn : QString();
    if (column.isEmpty() || hasReturning(out))
        return out;
    return withoutTail(out) + kReturning + plainOrQuoted(column);
}

} // namespace torvel
