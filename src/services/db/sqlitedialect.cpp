#include "services/db/sqlitedialect.h"

#include "services/db/sqltext.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include <array>
#include <cstring>
#include <cstdint>
#include <list>
#include <string>
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
    throw ComError(rc, QStringLiteral("QSQLITE"), sqliteErrorText(rc, text));
}

// ---------------------------------------------------------------------------
// Statement shapes

// A character as SQLite's tokenizer sees it: names take ASCII letters,
// digits, '_', '$' and every character past ASCII.
inline bool sqlIdChar(char16_t c)
{
    return c >= 0x80 || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_'
           || c == u'$';
}

inline bool sqlDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

inline bool sqlSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// True when the word is the keyword, given in upper case, in any case.
bool isKeyword(const char16_t *word, qsizetype size, const char *upper)
{
    for (qsizetype i = 0; i < size; ++i, ++upper) {
        char16_t c = word[i];
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - 32);
        if (*upper == 0 || c != char16_t(*upper))
            return false;
    }
    return *upper == 0;
}

// What a word does to the lifting of values. Values are lifted only where
// they are values: after WHERE, VALUES and SET, until the clause ends. Never
// from the result columns (a literal or expression there names its column),
// ORDER BY or GROUP BY (a number there is a column position). A statement
// with LIMIT is a page of a pick list and runs from its text: with a bound
// value in place of "FIsBOM=1" the planner reads the whole item table and
// sorts it, where the literal walks the number index and stops at the page.
enum class WordRole { Other, Opens, Closes, Refuses };

WordRole roleOf(const char16_t *w, qsizetype n)
{
    switch (n) {
    case 3: return isKeyword(w, n, "SET") ? WordRole::Opens : WordRole::Other;
    case 4: return isKeyword(w, n, "FROM") ? WordRole::Closes : WordRole::Other;
    case 5:
        if (isKeyword(w, n, "WHERE"))
            return WordRole::Opens;
        if (isKeyword(w, n, "ORDER") || isKeyword(w, n, "GROUP"))
            return WordRole::Closes;
        return isKeyword(w, n, "UNION") || isKeyword(w, n, "LIMIT") ? WordRole::Refuses : WordRole::Other;
    case 6:
        if (isKeyword(w, n, "VALUES"))
            return WordRole::Opens;
        if (isKeyword(w, n, "HAVING") || isKeyword(w, n, "WINDOW"))
            return WordRole::Closes;
        return isKeyword(w, n, "SELECT") || isKeyword(w, n, "EXCEPT") ? WordRole::Refuses : WordRole::Other;
    case 8: return isKeyword(w, n, "CONFLICT") ? WordRole::Refuses : WordRole::Other;
    case 9:
        return isKeyword(w, n, "RETURNING") || isKeyword(w, n, "INTERSECT") ? WordRole::Refuses : WordRole::Other;
    default: return WordRole::Other;
    }
}

// Where a value sits in a statement's text.
struct Literal
{
    enum Kind : uint8_t { Text, QuotedText, Integer, Real } kind;
    qsizetype begin;   // for text: the characters between the quotes
    qsizetype end;
    sqlite3_int64 integer;
};

// The statement's shape: its text with each value lifted out as '?', and
// where the values were. False for anything but a plain SELECT, INSERT,
// UPDATE or DELETE, and wherever a '?' could read differently from the
// literal it replaces: subqueries and compounds, RETURNING and upserts,
// comments, blobs, hexadecimal numbers, integers past 64 bits (SQLite reads
// those as reals, and the smallest one only after its minus sign), a number
// glued to a word, and parameters already in the text.
// Character classes for the scan, by ASCII code; every character past ASCII
// is a name character to SQLite.
enum : uint8_t { kName = 1, kDigit = 2, kPlain = 4, kStop = 8 };

constexpr std::array<uint8_t, 128> charClasses()
{
    std::array<uint8_t, 128> t{};
    for (int c = 0; c < 128; ++c) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_')
            t[size_t(c)] = kName;
        else if (c >= '0' && c <= '9')
            t[size_t(c)] = kName | kDigit;
        else if (c == '\'' || c == '"' || c == '`' || c == '[' || c == '(' || c == ')' || c == '?' || c == ':'
                 || c == '@' || c == '#' || c == '$' || c == '-' || c == '/' || c == '.')
            t[size_t(c)] = kStop;
        else
            t[size_t(c)] = kPlain;
    }
    return t;
}

constexpr std::array<uint8_t, 128> kClass = charClasses();

inline uint8_t classOf(char16_t c)
{
    return c < 128 ? kClass[c] : uint8_t(kName);
}

// The statement's shape: its text with each value lifted out as '?', and
// where the values were. False for anything but a plain SELECT, INSERT,
// UPDATE or DELETE, and wherever a '?' could read differently from the
// literal it replaces: subqueries and compounds, RETURNING and upserts,
// comments, blobs, hexadecimal numbers, integers past 64 bits (SQLite reads
// those as reals, and the smallest one only after its minus sign), a number
// glued to a word, and parameters already in the text.
// Where the last shaped statement's first value began and how the scan stood
// there. A save's lines and a lookup's keys repeat the same long head of
// text, so a statement that starts with the same text up to that point
// resumes the scan there.
struct ScanHint
{
    QString text;
    qsizetype at = 0;
    bool lifting = false;
    int depth = 0;
};

bool shapeOf(const QString &statement, QString &skeleton, std::vector<Literal> &literals, ScanHint *hint = nullptr)
{
    const QStringView text(statement);
    const char16_t *s = text.utf16();
    const qsizetype n = text.size();
    literals.clear();

    qsizetype i = 0;
    bool lifting = false;
    int depth = 0;
    // The character before the resume point moved the scan on by itself (a
    // blank, an operator, a comma, a parenthesis), without looking ahead at
    // what follows, so the head scans the same whatever comes after it.
    const qsizetype at = hint ? hint->at : 0;
    if (at > 0 && at <= n && (classOf(s[at - 1]) & kPlain || s[at - 1] == u'(')
        && std::memcmp(s, QStringView(hint->text).utf16(), size_t(at) * sizeof(char16_t)) == 0) {
        i = at;
        lifting = hint->lifting;
        depth = hint->depth;
    } else {
        while (i < n && sqlSpace(s[i]))
            ++i;
        qsizetype e = i;
        while (e < n && sqlIdChar(s[e]))
            ++e;
        const char16_t *first = s + i;
        if (!isKeyword(first, e - i, "SELECT") && !isKeyword(first, e - i, "INSERT")
            && !isKeyword(first, e - i, "UPDATE") && !isKeyword(first, e - i, "DELETE")
            && !isKeyword(first, e - i, "REPLACE"))
            return false;
        i = e;
    }
    qsizetype e = i;

    // Written in place: the shape is never longer than the text.
    skeleton.resize(n);
    char16_t *out = reinterpret_cast<char16_t *>(skeleton.data());
    qsizetype written = 0;
    qsizetype copied = 0;
    ScanHint head;
    auto lift = [&](qsizetype from, qsizetype to, Literal literal) {
        if (literals.empty())
            head = ScanHint{QString(), from, lifting, depth};
        std::memcpy(out + written, s + copied, size_t(from - copied) * sizeof(char16_t));
        written += from - copied;
        out[written++] = u'?';
        literals.push_back(literal);
        copied = to;
    };
    while (i < n) {
        const char16_t c = s[i];
        const uint8_t cls = classOf(c);
        if (cls & kPlain) {
            ++i;
        } else if (cls & kDigit || (c == u'.' && i + 1 < n && sqlDigit(s[i + 1]))) {
            if (c == u'0' && i + 1 < n && (s[i + 1] == u'x' || s[i + 1] == u'X'))
                return false;
            const qsizetype begin = i;
            bool real = false;
            while (i < n && sqlDigit(s[i]))
                ++i;
            if (i < n && s[i] == u'.') {
                real = true;
                ++i;
                while (i < n && sqlDigit(s[i]))
                    ++i;
            }
            if (i < n && (s[i] == u'e' || s[i] == u'E')) {
                qsizetype k = i + 1;
                if (k < n && (s[k] == u'+' || s[k] == u'-'))
                    ++k;
                if (k < n && sqlDigit(s[k])) {
                    real = true;
                    i = k;
                    while (i < n && sqlDigit(s[i]))
                        ++i;
                }
            }
            if (i < n && (sqlIdChar(s[i]) || s[i] == u'.'))
                return false;
            if (lifting) {
                sqlite3_int64 value = 0;
                if (!real) {
                    for (qsizetype k = begin; k < i; ++k) {
                        const int digit = s[k] - u'0';
                        if (value > (INT64_MAX - digit) / 10)
                            return false;
                        value = value * 10 + digit;
                    }
                }
                lift(begin, i, {real ? Literal::Real : Literal::Integer, begin, i, value});
            }
        } else if (cls & kName) {
            e = i + 1;
            while (e < n && classOf(s[e]) & kName)
                ++e;
            if (e < n && s[e] == u'$') {
                while (e < n && sqlIdChar(s[e]))
                    ++e;
            }
            if (e - i == 1 && (c == u'x' || c == u'X') && e < n && s[e] == u'\'')
                return false;   // a blob
            if (e - i >= 3 && e - i <= 9) {
                switch (roleOf(s + i, e - i)) {
                case WordRole::Opens:
                    if (depth == 0)
                        lifting = true;
                    break;
                case WordRole::Closes: lifting = false; break;
                case WordRole::Refuses: return false;
                case WordRole::Other: break;
                }
            }
            i = e;
        } else if (c == u'\'') {
            qsizetype j = i + 1;
            bool doubled = false;
            while (true) {
                while (j < n && s[j] != u'\'')
                    ++j;
                if (j >= n)
                    return false;   // unterminated: the database says so
                if (j + 1 < n && s[j + 1] == u'\'') {
                    doubled = true;
                    j += 2;
                    continue;
                }
                break;
            }
            if (lifting) {
                if (j + 1 < n && sqlDigit(s[j + 1]))
                    return false;   // "?5" would be parameter 5
                lift(i, j + 1, {doubled ? Literal::QuotedText : Literal::Text, i + 1, j, 0});
            }
            i = j + 1;
        } else if (c == u'"' || c == u'`' || c == u'[') {
            const char16_t close = c == u'[' ? u']' : c;
            qsizetype j = i + 1;
            while (j < n && s[j] != close)
                ++j;
            if (j >= n)
                return false;
            i = j + 1;   // a doubled quote opens the next part of the same name
        } else if (c == u'(') {
            ++depth;
            ++i;
        } else if (c == u')') {
            --depth;
            ++i;
        } else if (c == u'.') {
            ++i;
        } else if ((c == u'-' && i + 1 < n && s[i + 1] == u'-') || (c == u'/' && i + 1 < n && s[i + 1] == u'*')) {
            return false;
        } else if (c == u'-' || c == u'/') {
            ++i;
        } else {
            return false;   // '?', ':', '@', '#', '$': a parameter, or a name SQLite would read as one
        }
    }
    std::memcpy(out + written, s + copied, size_t(n - copied) * sizeof(char16_t));
    written += n - copied;
    skeleton.truncate(written);
    if (hint && !literals.empty()) {
        *hint = head;
        hint->text = statement;
    }
    return true;
}

bool sameLiterals(QStringView a, const std::vector<Literal> &la, QStringView b, const std::vector<Literal> &lb)
{
    if (la.size() != lb.size())
        return false;
    for (size_t k = 0; k < la.size(); ++k) {
        if (la[k].kind != lb[k].kind
            || a.mid(la[k].begin, la[k].end - la[k].begin) != b.mid(lb[k].begin, lb[k].end - lb[k].begin))
            return false;
    }
    return true;
}

bool onlyBlanks(const void *tail)
{
    for (const char16_t *p = static_cast<const char16_t *>(tail); p && *p; ++p) {
        if (!sqlSpace(*p))
            return false;
    }
    return true;
}

// A value as the connection hands values out: whole numbers as Long where
// they fit, else Double; text as SQLite holds it (a blob read as UTF-8 text).
Variant columnValue(sqlite3_stmt *statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER: {
        const sqlite3_int64 n = sqlite3_column_int64(statement, column);
        return n >= INT32_MIN && n <= INT32_MAX ? Variant(int32_t(n)) : Variant(double(n));
    }
    case SQLITE_FLOAT: return Variant(sqlite3_column_double(statement, column));
    case SQLITE_NULL: return Variant::null();
    case SQLITE_BLOB: {
        const char *bytes = static_cast<const char *>(sqlite3_column_blob(statement, column));
        return Variant(QString::fromUtf8(bytes, sqlite3_column_bytes(statement, column)));
    }
    default: {
        const char *utf8 = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
        const int bytes = sqlite3_column_bytes(statement, column);
        if (bytes == 0)
            return Variant(QStringLiteral(""));
        // Codes and numbers are mostly plain ASCII: the same text read as
        // Latin-1, faster, and with nothing that could be replaced.
        bool ascii = true;
        for (int i = 0; i < bytes && ascii; ++i)
            ascii = (static_cast<unsigned char>(utf8[i]) & 0x80) == 0;
        if (ascii)
            return Variant(QString::fromLatin1(utf8, bytes));
        QString value = QString::fromUtf8(utf8, bytes);
        // Bytes that are no UTF-8 (or UTF-16 the database converted) are
        // replaced differently by Qt and SQLite: such a text takes SQLite's
        // own UTF-16, as the Qt driver reads every text.
        if (value.contains(QChar::ReplacementCharacter)) {
            const void *utf16 = sqlite3_column_text16(statement, column);
            value = QString(static_cast<const QChar *>(utf16), sqlite3_column_bytes16(statement, column) / 2);
        }
        return Variant(value);
    }
    }
}

[[noreturn]] void throwStatementError(sqlite3 *db, sqlite3_stmt *statement, int rc)
{
    const QString message = sqliteErrorText(rc, QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    throw ComError(rc, QStringLiteral("QSQLITE"), message);
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
        // An empty name would open a private temporary database and report success.
        if (path.trimmed().isEmpty())
            throw ComError(errc::DatabaseError, QStringLiteral("TORVEL.Connection"),
                           QStringLiteral("No database file is named in the connection string."));
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
        // sync is safe under WAL. A file the user may only read keeps the
        // journal it has: switching would be a write, and reading needs none.
        rc = sqlite3_exec(db, "PRAGMA foreign_keys=OFF; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK && sqlite3_db_readonly(db, "main") != 1)
            rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL;", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throwSqlite(db, rc);
        m_db = db;
    }

    QString translate(const QString &text) const override { return sqltext::rewriteServerText(text); }
    QString scriptSuffix() const override { return QStringLiteral("sqlite"); }

    // SQLite's LIKE ignores the case of ASCII letters by itself, and lower()
    // on the column would keep it from its index.
    QString containsCondition(const QString &column, const QString &text) const override
    {
        return column + QStringLiteral(" LIKE ") + sqlQuote(sqltext::containsPattern(text))
            + QStringLiteral(" ESCAPE '\\'");
    }

    // SQLite locks the whole file: a transaction that reads before it writes
    // takes the write lock first (waiting the busy timeout for another
    // writer), or a commit between its read and its write would go unseen.
    bool beginWrite(Connection &) override
    {
        if (!m_db)
            return false;
        const int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throwSqlite(m_db, rc);
        return true;
    }

    // Every save line, load and lookup is the same few statements with other
    // values spliced in, and SQLite's parser would otherwise cost more than
    // the work itself. The values are lifted out instead, bound to a statement
    // prepared once per shape of text, and the rows read straight from SQLite
    // into variants. What comes back is what the text would have given: the
    // same rows, names, types, counts and error texts.
    bool runShaped(Connection &, const QString &text, qint64 *recordsAffected, Variant *lastInsertId,
                   RecordsetPtr *rows) override
    {
        if (!m_db || !shapeOf(text, m_skeleton, m_literals, &m_hint))
            return false;
        Shape *shape = find(m_skeleton);
        if (!shape && !(shape = add(text)))
            return false;
        sqlite3_stmt *statement = shape->statement;

        const char16_t *chars = QStringView(text).utf16();
        int index = 0;
        for (const Literal &l : m_literals) {
            ++index;
            const QStringView literal(chars + l.begin, l.end - l.begin);
            int rc = SQLITE_OK;
            switch (l.kind) {
            case Literal::Text:
                rc = sqlite3_bind_text16(statement, index, literal.utf16(), int(literal.size() * 2), SQLITE_STATIC);
                break;
            case Literal::QuotedText: {
                QString unquoted = literal.toString();
                unquoted.replace(QLatin1String("''"), QLatin1String("'"));
                rc = sqlite3_bind_text16(statement, index, unquoted.utf16(), int(unquoted.size() * 2), SQLITE_TRANSIENT);
                break;
            }
            case Literal::Integer: rc = sqlite3_bind_int64(statement, index, l.integer); break;
            case Literal::Real: rc = sqlite3_bind_double(statement, index, realValue(literal)); break;
            }
            if (rc != SQLITE_OK)
                throwStatementError(m_db, statement, rc);
        }

        // Counted after the first step: a schema change re-prepares the
        // statement there, and "SELECT *" may then have other columns.
        int rc = sqlite3_step(statement);
        const int columns = sqlite3_column_count(statement);
        if (columns == 0) {
            if (rc != SQLITE_DONE && rc != SQLITE_ROW)
                throwStatementError(m_db, statement, rc);
            sqlite3_reset(statement);
            // As the Qt driver reports a write: the changes, and the last row
            // id when the write changed rows and the id is not 0.
            const int affected = sqlite3_changes(m_db);
            if (recordsAffected)
                *recordsAffected = affected;
            if (affected > 0 && lastInsertId) {
                const sqlite3_int64 id = sqlite3_last_insert_rowid(m_db);
                if (id != 0)
                    *lastInsertId = id >= INT32_MIN && id <= INT32_MAX ? Variant(int32_t(id)) : Variant(double(id));
            }
            *rows = nullptr;
            return true;
        }

        std::vector<Recordset::Row> out;
        for (; rc == SQLITE_ROW; rc = sqlite3_step(statement)) {
            Recordset::Row row;
            row.reserve(size_t(columns));
            for (int c = 0; c < columns; ++c)
                row.push_back(columnValue(statement, c));
            out.push_back(std::move(row));
        }
        if (rc != SQLITE_DONE)
            throwStatementError(m_db, statement, rc);
        const QStringList names = namesOf(*shape, statement);
        sqlite3_reset(statement);
        *rows = std::make_shared<Recordset>(names, std::move(out));
        return true;
    }

    void close(Connection &) override
    {
        release();
        m_db = nullptr;
    }

private:
    static constexpr int kCacheSize = 64;

    struct Shape
    {
        QString key;   // the shape of the text as written
        sqlite3_stmt *statement = nullptr;
        std::vector<std::string> rawNames;   // the names as SQLite last gave them
        QStringList names;
    };

    Shape *find(const QString &key)
    {
        // A save's lines come one shape after another: no hashing for those.
        if (!m_shapes.empty() && m_shapes.front().key == key)
            return &m_shapes.front();
        const auto it = m_index.constFind(key);
        if (it == m_index.constEnd())
            return nullptr;
        m_shapes.splice(m_shapes.begin(), m_shapes, it.value());   // most recently used first
        return &m_shapes.front();
    }

    // Prepares the statement for the shape in m_skeleton. The text runs as
    // translated, so the statement is the translated text's shape; the
    // translation touches no value, so it is the same for every text of the
    // shape. Null when SQLite refuses the statement: the text as written then
    // runs the ordinary way, and its error names the text, not the shape.
    Shape *add(const QString &text)
    {
        const QString translated = sqltext::rewriteServerText(text);
        QString skeleton = m_skeleton;
        if (translated != text) {
            std::vector<Literal> literals;
            if (!shapeOf(translated, skeleton, literals) || !sameLiterals(text, m_literals, translated, literals))
                return nullptr;
        }
        sqlite3_stmt *statement = nullptr;
        const void *tail = nullptr;
        const int rc = sqlite3_prepare16_v3(m_db, skeleton.utf16(), int(skeleton.size() * 2),
                                            SQLITE_PREPARE_PERSISTENT, &statement, &tail);
        if (rc != SQLITE_OK || !statement || !onlyBlanks(tail)
            || sqlite3_bind_parameter_count(statement) != int(m_literals.size())) {
            sqlite3_finalize(statement);
            return nullptr;
        }
        if (int(m_shapes.size()) >= kCacheSize) {
            m_index.remove(m_shapes.back().key);
            sqlite3_finalize(m_shapes.back().statement);
            m_shapes.pop_back();
        }
        m_shapes.push_front(Shape{m_skeleton, statement, {}, {}});
        m_index.insert(m_skeleton, m_shapes.begin());
        return &m_shapes.front();
    }

    // The column names as the Qt driver reports them (without '"'), kept per
    // shape while SQLite gives the same ones.
    static const QStringList &namesOf(Shape &shape, sqlite3_stmt *statement)
    {
        const int columns = sqlite3_column_count(statement);
        bool same = int(shape.rawNames.size()) == columns;
        for (int c = 0; same && c < columns; ++c) {
            const char *name = sqlite3_column_name(statement, c);
            same = name && shape.rawNames[size_t(c)] == name;
        }
        if (same)
            return shape.names;
        shape.rawNames.clear();
        shape.names.clear();
        for (int c = 0; c < columns; ++c) {
            const char *raw = sqlite3_column_name(statement, c);
            shape.rawNames.emplace_back(raw ? raw : "");
            QString name = QString::fromUtf8(raw);
            if (name.contains(QChar::ReplacementCharacter))
                name = QString::fromUtf16(static_cast<const char16_t *>(sqlite3_column_name16(statement, c)));
            name.remove(u'"');
            shape.names.append(name);
        }
        return shape.names;
    }

    // A real literal's value as SQLite itself reads the text, which is not
    // always the nearest double (about one literal in 6,000 differs in the
    // last bit): CAST of a text to REAL uses the same conversion as the
    // parser. Recent values are remembered, so a save's repeated quantities
    // ask once.
    double realValue(QStringView literal)
    {
        RealMemo &memo = m_reals[qHash(literal) % kRealMemoSize];
        if (memo.text == literal)
            return memo.value;
        if (!m_castReal) {
            const int rc = sqlite3_prepare_v3(m_db, "SELECT CAST(?1 AS REAL)", -1, SQLITE_PREPARE_PERSISTENT,
                                              &m_castReal, nullptr);
            if (rc != SQLITE_OK)
                throwSqlite(m_db, rc);
        }
        sqlite3_bind_text16(m_castReal, 1, literal.utf16(), int(literal.size() * 2), SQLITE_STATIC);
        const int rc = sqlite3_step(m_castReal);
        const double value = sqlite3_column_double(m_castReal, 0);
        sqlite3_reset(m_castReal);
        sqlite3_clear_bindings(m_castReal);
        if (rc != SQLITE_ROW)
            throwSqlite(m_db, rc);
        memo.text = literal.toString();
        memo.value = value;
        return value;
    }

    void release()
    {
        for (const Shape &shape : m_shapes)
            sqlite3_finalize(shape.statement);
        m_shapes.clear();
        m_index.clear();
        sqlite3_finalize(m_castReal);
        m_castReal = nullptr;
        for (RealMemo &memo : m_reals)
            memo.text.clear();
    }

    struct RealMemo
    {
        QString text;
        double value = 0;
    };
    static constexpr size_t kRealMemoSize = 64;

    sqlite3 *m_db = nullptr;
    std::list<Shape> m_shapes;                                // most recently used first
    QHash<QString, std::list<Shape>::iterator> m_index;       // by shape of the text as written
    QString m_skeleton;                                       // reused: no allocation per statement
    ScanHint m_hint;
    std::vector<Literal> m_literals;
    sqlite3_stmt *m_castReal = nullptr;
    RealMemo m_reals[kRealMemoSize];
};

} // namespace

std::unique_ptr<Dialect> createSqliteDialect()
{
    return std::make_unique<SqliteDialect>();
}

QString sqliteErrorText(int code, const QString &message)
{
    if ((code & 0xff) == SQLITE_READONLY)
        return errtext::kReadOnlyDatabase + message;
    return message;
}

bool sqliteShape(const QString &text, QString *shape)
{
    QString skeleton;
    std::vector<Literal> literals;
    if (!shapeOf(text, skeleton, literals))
        return false;
    if (shape)
        *shape = skeleton;
    return true;
}

} // namespace torvel
