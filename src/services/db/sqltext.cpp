#include "services/db/sqltext.h"

#include "services/db/connection.h"

#include "services/text/numtext.h"

#include <cctype>
#include <cmath>

namespace torvel {

QString sqlEscape(const QString &text)
{
    // The database reads a statement only up to a NUL character, which would
    // cut the statement inside the literal; such a text cannot be stored as
    // entered, so it is refused rather than altered.
    if (text.contains(QChar(u'\0')))
        throw ComError(errc::InvalidProcedureCall, QStringLiteral("TORVEL"),
                       QStringLiteral("文本中含有不允许的空字符"));
    QString out = text;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}

QString sqlQuote(const QString &text)
{
    return QLatin1Char('\'') + sqlEscape(text) + QLatin1Char('\'');
}

QString sqlNumber(double value)
{
    if (!std::isfinite(value))
        throw ComError(errc::InvalidProcedureCall, QStringLiteral("TORVEL"),
                       QStringLiteral("数值无效，不能写入语句"));
    // Whole numbers, the usual quantities and a zero scrap of a save's many
    // lines, take the integer formatter, which writes the same text faster.
    if (value == std::trunc(value) && std::abs(value) < 2147483647.0)
        return numtext::integerText(int64_t(value));
    return numtext::plainText(numtext::decimalDigits(value));
}

QString sqlNumber(int32_t value)
{
    return numtext::integerText(value);
}

namespace sqltext {

bool isWordStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char('@') || c == QLatin1Char('#');
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('@') || c == QLatin1Char('#')
           || c == QLatin1Char('$');
}

qsizetype skipSpace(QStringView text, qsizetype i)
{
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    return i;
}

qsizetype wordEnd(QStringView text, qsizetype i)
{
    while (i < text.size() && isWordChar(text.at(i)))
        ++i;
    return i;
}

QStringView firstWord(QStringView text)
{
    const qsizetype start = skipSpace(text, 0);
    return text.mid(start, wordEnd(text, start) - start);
}

bool isWord(QStringView word, const char *keyword)
{
    return word.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

qsizetype quotedEnd(QStringView text, qsizetype i)
{
    const QChar open = text.at(i);
    const QChar close = open == QLatin1Char('[') ? QLatin1Char(']') : open;
    const qsizetype at = text.indexOf(close, i + 1);
    return at < 0 ? text.size() : at + 1;
}

qsizetype commentEnd(QStringView text, qsizetype i)
{
    if (i + 1 >= text.size())
        return i;
    if (text.at(i) == QLatin1Char('-') && text.at(i + 1) == QLatin1Char('-')) {
        const qsizetype eol = text.indexOf(QLatin1Char('\n'), i);
        return eol < 0 ? text.size() : eol + 1;
    }
    if (text.at(i) == QLatin1Char('/') && text.at(i + 1) == QLatin1Char('*')) {
        const qsizetype close = text.indexOf(QLatin1String("*/"), i + 2);
        return close < 0 ? text.size() : close + 2;
    }
    return i;
}

qsizetype readQuoted(QStringView text, qsizetype i, QString *value)
{
    value->clear();
    const qsizetype n = text.size();
    for (++i; i < n; ++i) {
        if (text.at(i) != QLatin1Char('\'')) {
            value->append(text.at(i));
        } else if (i + 1 < n && text.at(i + 1) == QLatin1Char('\'')) {
            value->append(QLatin1Char('\''));
            ++i;
        } else {
            return i + 1;
        }
    }
    return -1;
}

qsizetype numberEnd(QStringView v, qsizetype i)
{
    const qsizetype n = v.size();
    auto hex = [&](qsizetype k) { return k < n && v.at(k).unicode() < 128 && isxdigit(v.at(k).unicode()); };
    if (v.at(i) == QLatin1Char('0') && i + 1 < n && (v.at(i + 1) == QLatin1Char('x') || v.at(i + 1) == QLatin1Char('X'))
        && hex(i + 2)) {
        i += 2;
        while (hex(i))
            ++i;
        return i;
    }
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
    return i;
}

QString rewriteServerText(const QString &text)
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

    // "INSERT name(...)": the other databases want INTO (or SQLite's OR ...)
    // after INSERT.
    qsizetype i = skipSpace(v, 0);
    qsizetype end = wordEnd(v, i);
    if (isWord(v.mid(i, end - i), "INSERT") && end < n && v.at(end).isSpace()) {
        const qsizetype next = skipSpace(v, end);
        const QStringView word = v.mid(next, wordEnd(v, next) - next);
        const bool named = !word.isEmpty() || (next < n && (v.at(next) == QLatin1Char('[') || v.at(next) == QLatin1Char('"')));
        if (named && !isWord(word, "INTO") && !isWord(word, "OR"))
            insertAt(next, QLatin1String("INTO "));
    }

    // A number glued to the next word ("=3Order By"): SQL Server splits it,
    // the others call it an unrecognized token. Quoted text, quoted names and
    // comments are skipped whole.
    i = 0;
    while (i < n) {
        const QChar c = v.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('[')) {
            i = quotedEnd(v, i);
        } else if (const qsizetype after = commentEnd(v, i); after != i) {
            i = after;
        } else if (isWordStart(c)) {
            i = wordEnd(v, i + 1);
        } else if (isDigit(c) || (c == QLatin1Char('.') && i + 1 < n && isDigit(v.at(i + 1)))) {
            i = numberEnd(v, i);
            if (i < n && isWordStart(v.at(i)))
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

QStringList splitScript(const QString &script)
{
    QStringList statements;
    QString current;
    bool inBody = false;
    for (const QString &line : script.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!inBody && (trimmed.isEmpty() || trimmed.startsWith(QLatin1String("--"))))
            continue;
        // A body opens and closes with $$; an odd count on a line flips the state.
        if (line.count(QLatin1String("$$")) % 2 == 1)
            inBody = !inBody;
        current += line + QLatin1Char('\n');
        if (!inBody && trimmed.endsWith(QLatin1Char(';'))) {
            QString statement = current.trimmed();
            statement.chop(1);
            statements.append(statement);
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        statements.append(current.trimmed());
    return statements;
}

QString containsPattern(const QString &text)
{
    QString pattern = QStringLiteral("%");
    for (const QChar c : text) {
        if (c == u'\\' || c == u'%' || c == u'_')
            pattern += u'\\';
        pattern += c;
    }
    return pattern + u'%';
}

} // namespace sqltext

} // namespace torvel
