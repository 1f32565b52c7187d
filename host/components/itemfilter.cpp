#include "components/itemfilter.h"

#include "services/com/comerror.h"
#include "services/db/connection.h"
#include "services/db/sqltext.h"

#include <QStringList>

#include <vector>

namespace torvel::host {

namespace {

// The item columns a filter may name, spelled as the database declares them.
const QStringList kItemColumns = {
    QStringLiteral("FItemID"),       QStringLiteral("FModel"),      QStringLiteral("FAuxClassID"),
    QStringLiteral("FUnitGroupID"),  QStringLiteral("FBaseUnitID"), QStringLiteral("FQtyScale"),
    QStringLiteral("FReplaceClassID"), QStringLiteral("FIsBOM"),
};

struct Token {
    enum Kind { Word, Dot, Operator, Number, Text, Open, Close, End } kind;
    QString text;
};

class Parser
{
public:
    Parser(const QString &filter, const QString &source)
        : m_filter(filter), m_source(source)
    {
        tokenize();
    }

    QString parse()
    {
        if (m_tokens.front().kind == Token::End)
            return QString();
        QString result = expression(0);
        if (peek().kind != Token::End)
            fail();
        return result;
    }

private:
    [[noreturn]] void fail() const
    {
        throw ComError(errc::InvalidFilter, m_source,
                       QStringLiteral("无法应用的商品查询条件: \"%1\"").arg(m_filter.trimmed()));
    }

    void tokenize()
    {
        const QString &s = m_filter;
        qsizetype i = 0;
        while (i < s.size()) {
            const QChar c = s[i];
            if (c.isSpace()) {
                i = sqltext::skipSpace(s, i);
            } else if (c.isLetter() || c == u'_') {
                qsizetype j = i;
                while (j < s.size() && (s[j].isLetterOrNumber() || s[j] == u'_'))
                    ++j;
                m_tokens.push_back({Token::Word, s.mid(i, j - i)});
                i = j;
            } else if (c.isDigit() || ((c == u'-' || c == u'+') && i + 1 < s.size() && (s[i + 1].isDigit() || s[i + 1] == u'.'))
                       || (c == u'.' && i + 1 < s.size() && s[i + 1].isDigit() && !m_tokens.empty()
                           && m_tokens.back().kind == Token::Operator)) {
                qsizetype j = i + 1;
                bool point = (c == u'.');
                while (j < s.size() && (s[j].isDigit() || (s[j] == u'.' && !point))) {
                    point = point || s[j] == u'.';
                    ++j;
                }
                m_tokens.push_back({Token::Number, s.mid(i, j - i)});
                i = j;
            } else if (c == u'.') {
                m_tokens.push_back({Token::Dot, QStringLiteral(".")});
                ++i;
            } else if (c == u'\'') {
                QString text;
                const qsizetype j = sqltext::readQuoted(s, i, &text);
                if (j < 0)
                    fail();
                m_tokens.push_back({Token::Text, text});
                i = j;
            } else if (c == u'(' || c == u')') {
                m_tokens.push_back({c == u'(' ? Token::Open : Token::Close, QString(c)});
                ++i;
            } else if (c == u'=' || c == u'<' || c == u'>' || c == u'!') {
                QString op(c);
                if (i + 1 < s.size() && (s[i + 1] == u'=' || (c == u'<' && s[i + 1] == u'>')))
                    op += s[i + 1];
                if (op == QStringLiteral("!"))
                    fail();
                m_tokens.push_back({Token::Operator, op == QStringLiteral("!=") ? QStringLiteral("<>") : op});
                i += int(op.size());
            } else {
                fail();
            }
        }
        m_tokens.push_back({Token::End, QString()});
    }

    const Token &peek() const { return m_tokens[m_pos]; }
    Token next()
    {
        Token t = m_tokens[m_pos];
        if (t.kind != Token::End)
            ++m_pos;
        return t;
    }
    bool isWord(const Token &t, const char *word) const
    {
        return t.kind == Token::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }

    QString expression(int depth)
    {
        if (depth > 16)
            fail();
        QString result = term(depth);
        while (isWord(peek(), "AND") || isWord(peek(), "OR")) {
            const QString joiner = next().text.toUpper();
            result += u' ' + joiner + u' ' + term(depth);
        }
        return result;
    }

    QString term(int depth)
    {
        if (peek().kind == Token::Open) {
            next();
            QString inner = expression(depth + 1);
            if (next().kind != Token::Close)
                fail();
            return u'(' + inner + u')';
        }
        return comparison();
    }

    QString comparison()
    {
        const Token alias = next();
        if (!isWord(alias, "X2") || next().kind != Token::Dot)
            fail();
        const Token column = next();
        if (column.kind != Token::Word)
            fail();
        QString declared;
        for (const QString &name : kItemColumns) {
            if (name.compare(column.text, Qt::CaseInsensitive) == 0)
                declared = name;
        }
        if (declared.isEmpty())
            fail();
        const Token op = next();
        if (op.kind != Token::Operator)
            fail();
        const Token value = next();
        QString literal;
        if (value.kind == Token::Number) {
            bool ok = false;
            const double number = value.text.toDouble(&ok);
            if (!ok)
                fail();
            literal = sqlNumber(number);
        } else if (value.kind == Token::Text) {
            literal = sqlQuote(value.text);
        } else {
            fail();
        }
        return QStringLiteral("X2.") + declared + u' ' + op.text + u' ' + literal;
    }

    QString m_filter;
    QString m_source;
    std::vector<Token> m_tokens;
    size_t m_pos = 0;
};

} // namespace

QString buildItemFilter(const QString &filter, const QString &source)
{
    return Parser(filter, source).parse();
}

} // namespace torvel::host
