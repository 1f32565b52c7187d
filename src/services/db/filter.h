#pragma once

// The record set's filter criteria: parsed once into a small tree that the
// record set evaluates per row and that the data layer may walk to build the
// same condition as a WHERE clause.
//
// Grammar (keywords and field names without regard to case):
//   criteria   := orExpr | (blank)
//   orExpr     := andExpr { OR andExpr }
//   andExpr    := primary { AND primary }          AND binds tighter than OR
//   primary    := '(' orExpr ')' | comparison
//   comparison := field op value
//   field      := name | '[' name ']'
//   op         := '=' | '<>' | '<' | '>' | '<=' | '>=' | LIKE
//   value      := 'text' ('' inside for a quote) | number | #date# | NULL
// A keyword may follow a closing quote directly ("FNumber='x'and FClassID=480").

#include "services/db/recordset.h"
#include "services/com/variant.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace torvel {

namespace filter {

enum class Op { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual, Like };

struct Literal
{
    enum class Kind { Text, Number, Date, Null };
    Kind kind = Kind::Text;
    QString text;        // Text: the value with quotes removed; Number and Date: as written
    double number = 0;   // Number: its value; Date: the OLE date
};

struct Node
{
    enum class Kind { And, Or, Compare };
    Kind kind = Kind::Compare;
    std::vector<Node> children;   // And, Or: two or more operands in written order

    // Compare only.
    QString field;         // as the record set spells it once bound, else as written
    int fieldIndex = -1;   // column in the row; -1 when parsed without field names
    Op op = Op::Equal;
    Literal value;
};

// One row value against one literal, as the filter compares them: Null never
// matches (except "= NULL"); a number against a text field, or a text against
// a number field, compares as numbers when both read as numbers and as text
// otherwise; text compares without regard to case; LIKE takes % or * for any
// run of characters and _ for one.
bool compare(const Variant &value, Op op, const Literal &literal);

} // namespace filter

class FilterExpr
{
public:
    // Parses and binds the field names to `fields` (case-insensitive).
    // Throws ComError InvalidFilter for text that cannot be parsed, an
    // unknown field or a value that does not suit its operator.
    static FilterExpr parse(const QString &criteria, const QStringList &fields);
    // Syntax only, for callers that translate the tree before the fields are
    // known; matches() throws InvalidFilter on such an expression.
    static FilterExpr parseSyntax(const QString &criteria);

    // Blank criteria: the filter that keeps every row.
    bool isEmpty() const { return m_empty; }
    bool isSingleComparison() const { return !m_empty && m_root.kind == filter::Node::Kind::Compare; }
    bool matches(const Recordset::Row &row) const;
    const filter::Node &root() const { return m_root; }

private:
    filter::Node m_root;
    bool m_empty = true;
    bool m_bound = false;
};

} // namespace torvel
