#include "services/db/filter.h"

#include "services/db/sqltext.h"
#include "services/text/numtext.h"

#include <cmath>

namespace torvel {

namespace {

[[noreturn]] void invalid(const QString &why)
{
    throw ComError(errc::InvalidFilter, QStringLiteral("TORVEL"), QStringLiteral("筛选条件无效：") + why);
}

struct Token
{
    enum class Kind { End, Name, Text, Number, Date, Op, Open, Close, And, Or, Like, Null };
    Kind kind = Kind::End;
    QString text;
    double number = 0;
    filter::Op op = filter::Op::Equal;
    qsizetype pos = 0;
};

bool isNameStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

using sqltext::isDigit;

class Lexer
{
public:
    explicit Lexer(const QString &text) : m_text(text) {}

    Token next()
    {
        const qsizetype n = m_text.size();
        m_pos = sqltext::skipSpace(m_text, m_pos);
        Token t;
        t.pos = m_pos;
        if (m_pos >= n)
            return t;
        const QChar c = m_text[m_pos];
        if (c == u'(') { ++m_pos; t.kind = Token::Kind::Open; return t; }
        if (c == u')') { ++m_pos; t.kind = Token::Kind::Close; return t; }
        if (c == u'\'')
            return quoted(t);
        if (c == u'#')
            return date(t);
        if (c == u'[')
            return bracketName(t);
        if (c == u'=' || c == u'<' || c == u'>')
            return op(t);
        if (isDigit(c) || c == u'.'
            || ((c == u'-' || c == u'+') && m_pos + 1 < n && (isDigit(m_text[m_pos + 1]) || m_text[m_pos + 1] == u'.')))
            return number(t);
        if (isNameStart(c))
            return name(t);
        invalid(QStringLiteral("位置 %1 的字符“%2”无法识别").arg(m_pos + 1).arg(c));
    }

private:
    Token quoted(Token t)
    {
        const qsizetype end = sqltext::readQuoted(m_text, m_pos, &t.text);
        if (end < 0)
            invalid(QStringLiteral("引号没有结束"));
        m_pos = end;
        t.kind = Token::Kind::Text;
        return t;
    }

    Token date(Token t)
    {
        const qsizetype close = m_text.indexOf(u'#', m_pos + 1);
        if (close < 0)
            invalid(QStringLiteral("日期没有结束"));
        t.text = m_text.mid(m_pos + 1, close - m_pos - 1);
        m_pos = close + 1;
        try {
            t.number = oleDateFromText(t.text);
        } catch (const ComError &) {
            invalid(QStringLiteral("日期“%1”无效").arg(t.text));
        }
        t.kind = Token::Kind::Date;
        return t;
    }

    Token bracketName(Token t)
    {
        const qsizetype close = m_text.indexOf(u']', m_pos + 1);
        if (close < 0)
            invalid(QStringLiteral("字段名没有结束"));
        t.text = m_text.mid(m_pos + 1, close - m_pos - 1).trimmed();
        if (t.text.isEmpty())
            invalid(QStringLiteral("字段名为空"));
        m_pos = close + 1;
        t.kind = Token::Kind::Name;
        return t;
    }

    Token op(Token t)
    {
        const QChar c = m_text[m_pos++];
        const QChar d = m_pos < m_text.size() ? m_text[m_pos] : QChar();
        t.kind = Token::Kind::Op;
        if (c == u'=') {
            t.op = filter::Op::Equal;
        } else if (c == u'<' && d == u'>') {
            t.op = filter::Op::NotEqual;
            ++m_pos;
        } else if (c == u'<' && d == u'=') {
            t.op = filter::Op::LessEqual;
            ++m_pos;
        } else if (c == u'>' && d == u'=') {
            t.op = filter::Op::GreaterEqual;
            ++m_pos;
        } else {
            t.op = c == u'<' ? filter::Op::Less : filter::Op::Greater;
        }
        return t;
    }

    Token number(Token t)
    {
        const qsizetype n = m_text.size();
        const qsizetype start = m_pos;
        if (m_text[m_pos] == u'-' || m_text[m_pos] == u'+')
            ++m_pos;
        while (m_pos < n && isDigit(m_text[m_pos]))
            ++m_pos;
        if (m_pos < n && m_text[m_pos] == u'.') {
            ++m_pos;
            while (m_pos < n && isDigit(m_text[m_pos]))
                ++m_pos;
        }
        if (m_pos < n && (m_text[m_pos] == u'e' || m_text[m_pos] == u'E')) {
            qsizetype p = m_pos + 1;
            if (p < n && (m_text[p] == u'-' || m_text[p] == u'+'))
                ++p;
            if (p < n && isDigit(m_text[p])) {
                while (p < n && isDigit(m_text[p]))
                    ++p;
                m_pos = p;
            }
        }
        t.text = m_text.mid(start, m_pos - start);
        if (!numtext::parseNumber(t.text, t.number))
            invalid(QStringLiteral("数值“%1”无效").arg(t.text));
        // "12abc" or "1.5.2": a value runs into more text; only a keyword may
        // follow a number directly ("480and" reads as 480 and).
        if (m_pos < n && (m_text[m_pos] == u'.' || isDigit(m_text[m_pos])))
            invalid(QStringLiteral("数值“%1”后有多余的字符").arg(t.text));
        t.kind = Token::Kind::Number;
        return t;
    }

    Token name(Token t)
    {
        const qsizetype n = m_text.size();
        const qsizetype start = m_pos;
        while (m_pos < n && isNameChar(m_text[m_pos]))
            ++m_pos;
        t.text = m_text.mid(start, m_pos - start);
        auto is = [&](const char *kw) { return t.text.compare(QLatin1String(kw), Qt::CaseInsensitive) == 0; };
        if (is("AND"))
            t.kind = Token::Kind::And;
        else if (is("OR"))
            t.kind = Token::Kind::Or;
        else if (is("LIKE"))
            t.kind = Token::Kind::Like;
        else if (is("NULL"))
            t.kind = Token::Kind::Null;
        else
            t.kind = Token::Kind::Name;
        return t;
    }

    const QString &m_text;
    qsizetype m_pos = 0;
};

class Parser
{
public:
    static constexpr int kMaxDepth = 100;

    Parser(const QString &text, const QStringList *fields) : m_lexer(text), m_fields(fields) { advance(); }

    filter::Node parseAll()
    {
        filter::Node node = orExpr();
        if (m_tok.kind != Token::Kind::End)
            unexpected();
        return node;
    }

private:
    void advance() { m_tok = m_lexer.next(); }

    [[noreturn]] void unexpected()
    {
        if (m_tok.kind == Token::Kind::End)
            invalid(QStringLiteral("条件不完整"));
        invalid(QStringLiteral("位置 %1 有多余的内容").arg(m_tok.pos + 1));
    }

    filter::Node orExpr()
    {
        filter::Node first = andExpr();
        if (m_tok.kind != Token::Kind::Or)
            return first;
        filter::Node node;
        node.kind = filter::Node::Kind::Or;
        node.children.push_back(std::move(first));
        while (m_tok.kind == Token::Kind::Or) {
            advance();
            node.children.push_back(andExpr());
        }
        return node;
    }

    filter::Node andExpr()
    {
        filter::Node first = primary();
        if (m_tok.kind != Token::Kind::And)
            return first;
        filter::Node node;
        node.kind = filter::Node::Kind::And;
        node.children.push_back(std::move(first));
        while (m_tok.kind == Token::Kind::And) {
            advance();
            node.children.push_back(primary());
        }
        return node;
    }

    filter::Node primary()
    {
        if (m_tok.kind == Token::Kind::Open) {
            // Each level costs stack here and again wherever the tree is
            // walked; a host's text must not be able to overflow it.
            if (++m_depth > kMaxDepth)
                invalid(QStringLiteral("括号嵌套超过 %1 层").arg(kMaxDepth));
            advance();
            filter::Node inner = orExpr();
            if (m_tok.kind != Token::Kind::Close)
                invalid(QStringLiteral("括号没有结束"));
            advance();
            --m_depth;
            return inner;
        }
        return comparison();
    }

    filter::Node comparison()
    {
        if (m_tok.kind != Token::Kind::Name)
            unexpected();
        filter::Node node;
        node.kind = filter::Node::Kind::Compare;
        node.field = m_tok.text;
        if (m_fields) {
            for (int i = 0; i < m_fields->size(); ++i) {
                if (m_fields->at(i).compare(node.field, Qt::CaseInsensitive) == 0) {
                    node.fieldIndex = i;
                    node.field = m_fields->at(i);
                    break;
                }
            }
            if (node.fieldIndex < 0)
                invalid(QStringLiteral("没有字段“%1”").arg(node.field));
        }
        advance();
        if (m_tok.kind == Token::Kind::Op)
            node.op = m_tok.op;
        else if (m_tok.kind == Token::Kind::Like)
            node.op = filter::Op::Like;
        else
            unexpected();
        advance();
        switch (m_tok.kind) {
        case Token::Kind::Text:
            node.value.kind = filter::Literal::Kind::Text;
            break;
        case Token::Kind::Number:
            node.value.kind = filter::Literal::Kind::Number;
            break;
        case Token::Kind::Date:
            node.value.kind = filter::Literal::Kind::Date;
            break;
        case Token::Kind::Null:
            if (node.op != filter::Op::Equal && node.op != filter::Op::NotEqual)
                invalid(QStringLiteral("NULL 只能用 = 或 <> 比较"));
            node.value.kind = filter::Literal::Kind::Null;
            break;
        default:
            unexpected();
        }
        node.value.text = m_tok.text;
        node.value.number = m_tok.number;
        advance();
        return node;
    }

    Lexer m_lexer;
    const QStringList *m_fields;
    int m_depth = 0;
    Token m_tok;
};

bool evaluate(const filter::Node &node, const Recordset::Row &row)
{
    switch (node.kind) {
    case filter::Node::Kind::And:
        for (const filter::Node &c : node.children) {
            if (!evaluate(c, row))
                return false;
        }
        return true;
    case filter::Node::Kind::Or:
        for (const filter::Node &c : node.children) {
            if (evaluate(c, row))
                return true;
        }
        return false;
    case filter::Node::Kind::Compare:
        if (node.fieldIndex < 0 || size_t(node.fieldIndex) >= row.size())
            invalid(QStringLiteral("字段“%1”不在记录中").arg(node.field));
        return filter::compare(row[size_t(node.fieldIndex)], node.op, node.value);
    }
    return false;
}

// LIKE on case-folded text; '%' and '*' match any run, '_' one character.
bool likeMatch(const QString &text, const QString &pattern)
{
    const QString s = text.toCaseFolded();
    const QString p = pattern.toCaseFolded();
    qsizetype si = 0, pi = 0, starP = -1, starS = 0;
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == u'_' || (p[pi] != u'%' && p[pi] != u'*' && p[pi] == s[si]))) {
            ++si;
            ++pi;
        } else if (pi < p.size() && (p[pi] == u'%' || p[pi] == u'*')) {
            starP = pi++;
            starS = si;
        } else if (starP >= 0) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < p.size() && (p[pi] == u'%' || p[pi] == u'*'))
        ++pi;
    return pi == p.size();
}

template<typename T>
bool ordered(const T &cmp, filter::Op op)
{
    switch (op) {
    case filter::Op::Equal: return cmp == 0;
    case filter::Op::NotEqual: return cmp != 0;
    case filter::Op::Less: return cmp < 0;
    case filter::Op::Greater: return cmp > 0;
    case filter::Op::LessEqual: return cmp <= 0;
    case filter::Op::GreaterEqual: return cmp >= 0;
    case filter::Op::Like: break;
    }
    return false;
}

bool compareNumbers(double a, double b, filter::Op op)
{
    return ordered(a < b ? -1 : (a > b ? 1 : 0), op);
}

bool compareTexts(const QString &a, const QString &b, filter::Op op)
{
    if (op == filter::Op::Like)
        return likeMatch(a, b);
    return ordered(QString::compare(a, b, Qt::CaseInsensitive), op);
}

bool readDate(const QString &text, double &out)
{
    try {
        out = oleDateFromText(text);
        return true;
    } catch (const ComError &) {
        return false;
    }
}

} // namespace

namespace filter {

bool compare(const Variant &value, Op op, const Literal &literal)
{
    if (literal.kind == Literal::Kind::Null) {
        const bool isNull = value.isNull();
        return op == Op::Equal ? isNull : (op == Op::NotEqual && !isNull);
    }
    if (value.isNull() || value.isObject())
        return false;

    if (op == Op::Like) {
        return likeMatch(value.toString(), literal.text);
    }

    const bool fieldIsDate = value.type() == Variant::Type::Date;
    const bool fieldIsText = value.isString() || value.isEmpty();
    double fieldNumber = 0;
    double literalNumber = 0;

    switch (literal.kind) {
    case Literal::Kind::Number:
        if (!fieldIsText)
            return compareNumbers(value.toDouble(), literal.number, op);
        if (numtext::parseNumber(value.toString(), fieldNumber))
            return compareNumbers(fieldNumber, literal.number, op);
        return compareTexts(value.toString(), literal.text, op);
    case Literal::Kind::Date:
        if (!fieldIsText)
            return compareNumbers(value.toDouble(), literal.number, op);
        if (readDate(value.toString(), fieldNumber))
            return compareNumbers(fieldNumber, literal.number, op);
        return compareTexts(value.toString(), literal.text, op);
    case Literal::Kind::Text:
        if (fieldIsDate && readDate(literal.text, literalNumber))
            return compareNumbers(value.toDouble(), literalNumber, op);
        if (!fieldIsText && numtext::parseNumber(literal.text, literalNumber))
            return compareNumbers(value.toDouble(), literalNumber, op);
        return compareTexts(value.toString(), literal.text, op);
    case Literal::Kind::Null:
        break;
    }
    return false;
}

} // namespace filter

FilterExpr FilterExpr::parse(const QString &criteria, const QStringList &fields)
{
    FilterExpr expr;
    if (criteria.trimmed().isEmpty())
        return expr;
    expr.m_root = Parser(criteria, &fields).parseAll();
    expr.m_empty = false;
    expr.m_bound = true;
    return expr;
}

FilterExpr FilterExpr::parseSyntax(const QString &criteria)
{
    FilterExpr expr;
    if (criteria.trimmed().isEmpty())
        return expr;
    expr.m_root = Parser(criteria, nullptr).parseAll();
    expr.m_empty = false;
    return expr;
}

bool FilterExpr::matches(const Recordset::Row &row) const
{
    if (m_empty)
        return true;
    if (!m_bound)
        invalid(QStringLiteral("条件未与字段关联"));
    return evaluate(m_root, row);
}

} // namespace torvel
