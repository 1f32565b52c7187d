#include "sqlitedialect.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include <cctype>

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

class SqliteDialect final : public Dialect
{
public:
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
    }

    QString translate(const QString &text) const override { return sqliteTranslate(text); }
};

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
