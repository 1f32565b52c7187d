#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace torvel::lookupfilter {

// A column a lookup criteria may name, as the database spells it.
struct Column
{
    enum class Kind { Text, Number };
    QString name;
    Kind kind;
};

// A master table the filtered lookups read: its name as the statements write
// it, the statement that reads all of it, its key (the order a whole-table read returns rows in) and the columns
// whose comparisons can go to the database.
struct Table
{
    QString name;
    QString wholeQuery;   // the statement that reads the whole table
    QString key;
    std::vector<Column> columns;
};

const Table &unitTable();        // t_MeasureUnit
const Table &itemTable();        // t_item
const Table &sysTypeTable();     // com_systype

// The known columns of `table` that the database has (matched without regard
// to case, spelled as the database spells them).
std::vector<Column> presentColumns(const Table &table, const QStringList &databaseColumns);

// A filter criteria text made into a WHERE clause that selects exactly the
// rows the in-memory filter would keep.
struct Translation
{
    enum class Outcome {
        Sql,          // `where` selects the rows; empty when the criteria is empty
        InMemory,     // readable, but only the in-memory filter decides it alike
        Unreadable,   // the criteria cannot be parsed: it matches no row
    };
    Outcome outcome = Outcome::Unreadable;
    QString where;
};

// `fields` are all the table's columns (the record set's field names);
// `columns` those of them whose comparisons may go to the database. Equality
// of a text column with a text, comparisons of a number column with a number
// (or a text that reads as one) and tests for Null are translated, joined by
// AND, OR and parentheses; the rest is left to the in-memory filter. Values
// are quoted again, so nothing in the criteria reaches the statement as text
// of its own.
Translation translate(const QString &criteria, const std::vector<Column> &columns, const QStringList &fields);

} // namespace torvel::lookupfilter
