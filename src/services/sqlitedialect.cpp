#include "sqlitedialect.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include <cctype>
#include <vector>

namespace torvel {

namespace {

// SQL Server's LEN: characters, not bytes, and trailing blanks do not count.
// The ordering clause "Order By len(FNumber)" relies on it.
void sqlLen(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const unsigned char *text = sqlite3_value_text(argv[0]);
    int bytes = sqlite3_value_bytes(argv[0]);
    while (bytes > 0 && text[bytes - 1] == ' ')
        --bytes;
    sqlite3_int64 characters = 0;
    for (int i = 0; i < bytes; ++i) {
        if ((text[i] & 0xC0) != 0x80)   // not a UTF-8 continuation byte
            ++characters;
    }
    sqlite3_result_int64(context, characters);
}

sqlite3 *nativeHandle(const QSqlDatabase &db)
{
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(v.constData());
}

[[noreturn]] void throwSqlite(sqlite3 *db, int rc)
{
    const QString text = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    throw ComError(rc, QStringLiteral("QSQLITE"), text);
}

bool isIdentStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char('@') || c == QLatin1Char('#');
}

bool isIdentPart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('@') || c == QLatin1Char('#')
           || c == QLatin1Char('$');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

qsizetype skipSpace(QStringView v, qsizetype i)
{
    while (i < v.size() && v.at(i).isSpace())
        ++i;
    return i;
}

qsizetype identEnd(QStringView v, qsizetype i)
{
    while (i < v.size() && isIdentPart(v.at(i)))
        ++i;
    return i;
}

// Where a literal of an INSERT's value list sits in the statement text.
struct Literal
{
    enum Kind { Text, QuotedText, Integer, Real } kind;
    qsizetype begin;   // for text: the characters between the quotes
    qsizetype end;
};

// "INSERT INTO t(a,b) VALUES (1,'x')" -> "INSERT INTO t(a,b) VALUES (?,?)" with
// the literals' places. Only plain value lists qualify: a SELECT, RETURNING,
// comment or blob anywhere keeps the statement as it is, because there a
// literal may not mean a value (ORDER BY 1) or a parameter may not stand.
bool parameterizeInsert(QStringView v, QString &skeleton, std::vector<Literal> &literals)
{
    const qsizetype n = v.size();
    qsizetype i = skipSpace(v, 0);
    qsizetype e = identEnd(v, i);
    if (v.mid(i, e - i).compare(QLatin1String("INSERT"), Qt::CaseInsensitive) != 0)
        return false;
    skeleton.resize(0);
    literals.clear();
    bool inValues = false;
    qsizetype copied = 0;
    i = e;
    while (i < n) {
        const QChar c = v.at(i);
        if (c == QLatin1Char('\'') ) {
            qsizetype j = i + 1;
            bool doubled = false;
            while (true) {
                j = v.indexOf(QLatin1Char('\''), j);
                if (j < 0)
                    return false;   // unterminated: let the database say so
                if (j + 1 < n && v.at(j + 1) == QLatin1Char('\'')) {
                    doubled = true;
                    j += 2;
                    continue;
                }
                break;
            }
            if (inValues) {
                skeleton.append(v.mid(copied, i - copied));
                skeleton.append(QLatin1Char('?'));
                literals.push_back({doubled ? Literal::QuotedText : Literal::Text, i + 1, j});
                copied = j + 1;
            }
            i = j + 1;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            i = v.indexOf(close, i + 1);
            if (i < 0)
                return false;
            ++i;
        } else if ((c == QLatin1Char('-') && i + 1 < n && v.at(i + 1) == QLatin1Char('-'))
                   || (c == QLatin1Char('/') && i + 1 < n && v.at(i + 1) == QLatin1Char('*'))) {
            return false;
        } else if (isIdentStart(c)) {
            e = identEnd(v, i + 1);
            const QStringView word = v.mid(i, e - i);
            if (e < n && v.at(e) == QLatin1Char('\''))
                return false;   // X'..' is a blob
            if (word.compare(QLatin1String("VALUES"), Qt::CaseInsensitive) == 0)
                inValues = true;
            else if (word.compare(QLatin1String("SELECT"), Qt::CaseInsensitive) == 0
                     || word.compare(QLatin1String("RETURNING"), Qt::CaseInsensitive) == 0)
                return false;
            i = e;
        } else if (isDigit(c) || (c == QLatin1Char('.') && i + 1 < n && isDigit(v.at(i + 1)))) {
            const qsizetype begin = i;
            bool real = false;
            if (c == QLatin1Char('0') && i + 1 < n && (v.at(i + 1) == QLatin1Char('x') || v.at(i + 1) == QLatin1Char('X')))
                return false;
            while (i < n && isDigit(v.at(i)))
                ++i;
            if (i < n && v.at(i) == QLatin1Char('.')) {
                real = true;
                ++i;
                while (i < n && isDigit(v.at(i)))
                    ++i;
            }
            if (i < n && (v.at(i) == QLatin1Char('e') || v.at(i) == QLatin1Char('E'))) {
                real = true;
                ++i;
                if (i < n && (v.at(i) == QLatin1Char('+') || v.at(i) == QLatin1Char('-')))
                    ++i;
                while (i < n && isDigit(v.at(i)))
                    ++i;
            }
            if (i < n && isIdentPart(v.at(i)))
                return false;
            if (inValues) {
                skeleton.append(v.mid(copied, begin - copied));
                skeleton.append(QLatin1Char('?'));
                literals.push_back({real ? Literal::Real : Literal::Integer, begin, i});
                copied = i;
            }
        } else {
            ++i;
        }
    }
    if (!inValues)
        return false;
    skeleton.append(v.mid(copied));
    return true;
}

class SqliteDialect final : public Dialect
{
public:
    ~SqliteDialect() override { release(); }

    QString name() const override { return QStringLiteral("SQLite"); }
    QString driverName() const override { return QStringLiteral("QSQLITE"); }

    void configure(QSqlDatabase &database, const QString &connectionString) const override
    {
        QString path = connectionString;
        if (path.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive)) {
            path = path.mid(7);
            if (path.startsWith(QLatin1String("//")))   // "sqlite:///abs/path"
                path = path.mid(2);
        }
        database.setDatabaseName(path);
        // Another connection (the host's, a test's) may hold the write lock
        // for a moment; waiting beats failing a save.
        database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }

    void prepare(Connection &connection) override
    {
        sqlite3 *db = nativeHandle(connection.database());
        if (!db)
            throw ComError(errc::DatabaseError, QStringLiteral("TORVEL.Connection"),
                           QStringLiteral("The SQLite driver gave no native handle."));
        int rc = sqlite3_create_function_v2(db, "len", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                            nullptr, &sqlLen, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throwSqlite(db, rc);
        // The host's database declared no foreign keys; WAL lets a reader
        // (the host) and the writer (a save) work side by side, and NORMAL
        // sync is safe under WAL.
        rc = sqlite3_exec(db, "PRAGMA foreign_keys=OFF; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;",
                          nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throwSqlite(db, rc);
        m_db = db;
    }

    QString translate(const QString &text) const override { return sqliteTranslate(text); }

    // A save writes one INSERT per line, each with its values spliced in, so
    // no two texts are alike and every one would be parsed afresh. The values
    // are lifted out instead and bound to a statement prepared once per shape
    // of text; the database stores exactly what the literals said.
    bool runDirect(Connection &, const QString &text, qint64 *recordsAffected, Variant *lastInsertId) override
    {
        if (!m_db || !parameterizeInsert(text, m_skeleton, m_literals))
            return false;
        sqlite3_stmt *statement = m_cache.value(m_skeleton);
        if (!statement) {
            if (m_cache.size() >= kCacheSize)
                release();
            const void *tail = nullptr;
            const int rc = sqlite3_prepare16_v3(m_db, m_skeleton.utf16(), int(m_skeleton.size() * sizeof(QChar)),
                                                SQLITE_PREPARE_PERSISTENT, &statement, &tail);
            if (rc != SQLITE_OK) {
                sqlite3_finalize(statement);
                // The plain path reports the error against the text as written.
                return false;
            }
            if (!statement || sqlite3_bind_parameter_count(statement) != int(m_literals.size())) {
                sqlite3_finalize(statement);
                return false;
            }
            m_cache.insert(m_skeleton, statement);
        }
        const QChar *chars = text.constData();
        int index = 0;
        for (const Literal &l : m_literals) {
            ++index;
            const QStringView literal(chars + l.begin, l.end - l.begin);
            int rc = SQLITE_OK;
            switch (l.kind) {
            case Literal::Text:
                rc = sqlite3_bind_text16(statement, index, literal.utf16(), int(literal.size() * sizeof(QChar)), SQLITE_STATIC);
                break;
            case Literal::QuotedText: {
                QString unquoted = literal.toString();
                unquoted.replace(QLatin1String("''"), QLatin1String("'"));
                rc = sqlite3_bind_text16(statement, index, unquoted.utf16(), int(unquoted.size() * sizeof(QChar)),
                                         SQLITE_TRANSIENT);
                break;
            }
            case Literal::Integer: {
                bool ok = false;
                const qlonglong value = literal.toLongLong(&ok);
                rc = ok ? sqlite3_bind_int64(statement, index, value) : sqlite3_bind_double(statement, index, literal.toDouble());
                break;
            }
            case Literal::Real:
                rc = sqlite3_bind_double(statement, index, literal.toDouble());
                break;
            }
            if (rc != SQLITE_OK) {
                sqlite3_reset(statement);
                sqlite3_clear_bindings(statement);
                throwSqlite(m_db, rc);
            }
        }
        const int rc = sqlite3_step(statement);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
            const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
            sqlite3_reset(statement);
            sqlite3_clear_bindings(statement);
            throw ComError(rc, QStringLiteral("QSQLITE"), message);
        }
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        const int affected = sqlite3_changes(m_db);
        if (recordsAffected)
            *recordsAffected = affected;
        if (affected > 0 && lastInsertId) {
            const sqlite3_int64 id = sqlite3_last_insert_rowid(m_db);
            *lastInsertId = id >= INT32_MIN && id <= INT32_MAX ? Variant(int32_t(id)) : Variant(double(id));
        }
        return true;
    }

    void close(Connection &) override
    {
        release();
        m_db = nullptr;
    }

private:
    static constexpr int kCacheSize = 64;

    void release()
    {
        for (sqlite3_stmt *statement : std::as_const(m_cache))
            sqlite3_finalize(statement);
        m_cache.clear();
    }

    sqlite3 *m_db = nullptr;
    QHash<QString, sqlite3_stmt *> m_cache;   // prepared per shape of INSERT text
    QString m_skeleton;                       // reused: no allocation per statement
    std::vector<Literal> m_literals;
};

} // namespace

std::unique_ptr<Dialect> createSqliteDialect()
{
    return std::make_unique<SqliteDialect>();
}

QString sqliteTranslate(const QString &text)
{
    const QStringView v(text);
    const qsizetype n = v.size();
    QString out;
    qsizetype copied = 0;
    // Builds the new text only when something changes: the common statement
    // is returned as it came, without a copy.
    auto insertAt = [&](qsizetype pos, QLatin1String what) {
        if (out.isNull())
            out.reserve(n + 8);
        out.append(v.mid(copied, pos - copied));
        out.append(what);
        copied = pos;
    };

    // "INSERT name(...)": SQLite wants INTO (or OR ...) after INSERT.
    qsizetype i = skipSpace(v, 0);
    qsizetype end = identEnd(v, i);
    if (v.mid(i, end - i).compare(QLatin1String("INSERT"), Qt::CaseInsensitive) == 0 && end < n
        && v.at(end).isSpace()) {
        const qsizetype next = skipSpace(v, end);
        const qsizetype nextEnd = identEnd(v, next);
        const QStringView word = v.mid(next, nextEnd - next);
        const bool named = !word.isEmpty() || (next < n && (v.at(next) == QLatin1Char('[') || v.at(next) == QLatin1Char('"')));
        if (named && word.compare(QLatin1String("INTO"), Qt::CaseInsensitive) != 0
            && word.compare(QLatin1String("OR"), Qt::CaseInsensitive) != 0)
            insertAt(next, QLatin1String("INTO "));
    }

    // A number glued to the next word ("=3Order By"): SQL Server splits it,
    // SQLite calls it an unrecognized token. Quoted text, quoted names and
    // comments are skipped whole.
    i = 0;
    while (i < n) {
        const QChar c = v.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            i = v.indexOf(close, i + 1);   // a doubled quote just reopens
            i = i < 0 ? n : i + 1;
        } else if (c == QLatin1Char('-') && i + 1 < n && v.at(i + 1) == QLatin1Char('-')) {
            i = v.indexOf(QLatin1Char('\n'), i);
            i = i < 0 ? n : i + 1;
        } else if (c == QLatin1Char('/') && i + 1 < n && v.at(i + 1) == QLatin1Char('*')) {
            i = v.indexOf(QLatin1String("*/"), i + 2);
            i = i < 0 ? n : i + 2;
        } else if (isIdentStart(c)) {
            i = identEnd(v, i + 1);
        } else if (isDigit(c) || (c == QLatin1Char('.') && i + 1 < n && isDigit(v.at(i + 1)))) {
            if (c == QLatin1Char('0') && i + 2 < n && (v.at(i + 1) == QLatin1Char('x') || v.at(i + 1) == QLatin1Char('X'))
                && v.at(i + 2).unicode() < 128 && isxdigit(v.at(i + 2).unicode())) {
                i += 2;
                while (i < n && v.at(i).unicode() < 128 && isxdigit(v.at(i).unicode()))
                    ++i;
            } else {
                while (i < n && isDigit(v.at(i)))
                    ++i;
                if (i < n && v.at(i) == QLatin1Char('.')) {
                    ++i;
                    while (i < n && isDigit(v.at(i)))
                        ++i;
                }
                if (i < n && (v.at(i) == QLatin1Char('e') || v.at(i) == QLatin1Char('E'))) {
                    qsizetype e = i + 1;
                    if (e < n && (v.at(e) == QLatin1Char('+') || v.at(e) == QLatin1Char('-')))
                        ++e;
                    if (e < n && isDigit(v.at(e))) {
                        i = e;
                        while (i < n && isDigit(v.at(i)))
                            ++i;
                    }
                }
            }
            if (i < n && isIdentStart(v.at(i)))
                insertAt(i, QLatin1String(" "));
        } else {
            ++i;
        }
    }

    if (out.isNull())
        return text;
    out.append(v.mid(copied));
    return out;
}

} // namespace torvel
