#include "bomdata/lookupfilter.h"

#include "services/com/comerror.h"
#include "services/db/connection.h"
#include "services/db/filter.h"
#include "services/text/numtext.h"

#include <cmath>

namespace torvel::lookupfilter {

namespace {

using Kind = Column::Kind;

// The database compares text ignoring case for ASCII letters only, while the
// in-memory filter folds every letter. A literal whose letters are all ASCII
// (or that has no cased letters, as Chinese text) compares alike in both.
bool comparesAlikeInDatabase(const QString &literal)
{
    for (const QChar c : literal) {
        if (c.unicode() < 0x80)
            continue;
        if (c.isSurrogate() || c.toLower() != c || c.toUpper() != c || c.toCaseFolded() != c
            || c.toTitleCase() != c)
            return false;
    }
    return true;
}

// A number spliced back must name the very value the filter compares with.
bool numberText(double value, QString &out)
{
    if (!std::isfinite(value))
        return false;
    out = sqlNumber(value);
    double back = 0;
    return numtext::parseNumber(out, back) && back == value;
}

QString sqlOp(filter::Op op)
{
    switch (op) {
    case filter::Op::Equal: return QStringLiteral("=");
    case filter::Op::NotEqual: return QStringLiteral("<>");
    case filter::Op::Less: return QStringLiteral("<");
    case filter::Op::Greater: return QStringLiteral(">");
    case filter::Op::LessEqual: return QStringLiteral("<=");
    case filter::Op::GreaterEqual: return QStringLiteral(">=");
    case filter::Op::Like: break;
    }
    return {};
}

class Translator
{
public:
    explicit Translator(const std::vector<Column> &columns) : m_columns(columns) {}

    // False when some part of the tree only the in-memory filter decides alike.
    bool node(const filter::Node &n, QString &out) const
    {
        switch (n.kind) {
        case filter::Node::Kind::And:
        case filter::Node::Kind::Or: {
            const QString joint = n.kind == filter::Node::Kind::And ? QStringLiteral(" AND ")
                                                                    : QStringLiteral(" OR ");
            QString text;
            for (size_t i = 0; i < n.children.size(); ++i) {
                QString part;
                if (!node(n.children[i], part))
                    return false;
                if (i > 0)
                    text += joint;
                text += part;
            }
            out = u'(' + text + u')';
            return true;
        }
        case filter::Node::Kind::Compare:
            return comparison(n, out);
        }
        return false;
    }

private:
    const Column *column(const QString &name) const
    {
        for (const Column &c : m_columns) {
            if (c.name.compare(name, Qt::CaseInsensitive) == 0)
                return &c;
        }
        return nullptr;
    }

    bool comparison(const filter::Node &n, QString &out) const
    {
        const Column *col = column(n.field);
        if (!col || n.op == filter::Op::Like)
            return false;
        const filter::Literal &value = n.value;
        switch (value.kind) {
        case filter::Literal::Kind::Null:
            // The filter's "= NULL" asks for a Null value.
            out = col->name + (n.op == filter::Op::Equal ? QStringLiteral(" IS NULL") : QStringLiteral(" IS NOT NULL"));
            return true;
        case filter::Literal::Kind::Date:
            return false;
        case filter::Literal::Kind::Number: {
            // Against a text column the filter also reads the stored text as
            // a number ("05" = 5): no index answers that.
            QString number;
            if (col->kind != Kind::Number || !numberText(value.number, number))
                return false;
            out = col->name + sqlOp(n.op) + number;
            return true;
        }
        case filter::Literal::Kind::Text:
            if (col->kind == Kind::Number) {
                // A number column compares a text that reads as a number as that number.
                double parsed = 0;
                QString number;
                if (!numtext::parseNumber(value.text, parsed) || !numberText(parsed, number))
                    return false;
                out = col->name + sqlOp(n.op) + number;
                return true;
            }
            // Text orders differently in the database; equality alone is alike.
            if ((n.op != filter::Op::Equal && n.op != filter::Op::NotEqual) || !comparesAlikeInDatabase(value.text))
                return false;
            out = col->name + sqlOp(n.op) + sqlQuote(value.text);
            return true;
        }
        return false;
    }

    const std::vector<Column> &m_columns;
};

} // namespace

const Table &unitTable()
{
    static const Table table{QStringLiteral("t_MeasureUnit"), QStringLiteral("SELECT * FROM t_MeasureUnit"),
                             QStringLiteral("FMeasureUnitID"),
                             {{QStringLiteral("FMeasureUnitID"), Kind::Number},
                              {QStringLiteral("FItemID"), Kind::Number},
                              {QStringLiteral("FNumber"), Kind::Text},
                              {QStringLiteral("FName"), Kind::Text},
                              {QStringLiteral("FUnitGroupID"), Kind::Number}}};
    return table;
}

const Table &itemTable()
{
    static const Table table{QStringLiteral("t_item"), QStringLiteral("SELECT * FROM t_item "),
                             QStringLiteral("FItemID"),
                             {{QStringLiteral("FItemID"), Kind::Number},
                              {QStringLiteral("FNumber"), Kind::Text},
                              {QStringLiteral("FName"), Kind::Text},
                              {QStringLiteral("FShortNumber"), Kind::Text},
                              {QStringLiteral("FItemClassID"), Kind::Number}}};
    return table;
}

const Table &sysTypeTable()
{
    static const Table table{QStringLiteral("com_systype"), QStringLiteral("SELECT * FROM com_systype "),
                             QStringLiteral("FSysTypeID"),
                             {{QStringLiteral("FSysTypeID"), Kind::Number},
                              {QStringLiteral("FNumber"), Kind::Text},
                              {QStringLiteral("FName"), Kind::Text},
                              {QStringLiteral("FClassID"), Kind::Number}}};
    return table;
}

std::vector<Column> presentColumns(const Table &table, const QStringList &databaseColumns)
{
    std::vector<Column> present;
    for (const Column &known : table.columns) {
        for (const QString &name : databaseColumns) {
            if (name.compare(known.name, Qt::CaseInsensitive) == 0) {
                present.push_back({name, known.kind});
                break;
            }
        }
    }
    return present;
}

Translation translate(const QString &criteria, const std::vector<Column> &columns, const QStringList &fields)
{
    Translation result;
    FilterExpr expr;
    try {
        // Bound to the table's fields as the record set binds them: a field
        // the table lacks makes the criteria unreadable there too.
        expr = FilterExpr::parse(criteria, fields);
    } catch (const ComError &) {
        result.outcome = Translation::Outcome::Unreadable;
        return result;
    }
    if (expr.isEmpty()) {
        result.outcome = Translation::Outcome::Sql;
        return result;
    }
    QString where;
    if (Translator(columns).node(expr.root(), where)) {
        result.outcome = Translation::Outcome::Sql;
        result.where = where;
    } else {
        result.outcome = Translation::Outcome::InMemory;
    }
    return result;
}

} // namespace torvel::lookupfilter
