#pragma once

#include "services/com/variant.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace torvel {

class Connection;

// A client-side record set, fetched whole when the statement ran, so
// RecordCount is always known and the set stays usable after it is detached
// from its connection. Field names are matched case-insensitively.
class Recordset
{
public:
    using Row = std::vector<Variant>;

    Recordset(QStringList fieldNames, std::vector<Row> rows);

    // ADO's EOF/BOF; named so because EOF is a C macro.
    bool Eof() const;
    bool Bof() const;
    void MoveFirst();
    void MoveNext();       // past the last row sets Eof; at Eof throws NoCurrentRecord
    void MovePrevious();
    void MoveLast();
    int RecordCount() const;   // rows visible through the current filter
    int AbsolutePosition() const;   // 1-based; 0 at Eof or Bof

    // The current row's value of a field; throws ItemNotFound (3265) for an
    // unknown name and NoCurrentRecord (3021) at Eof or Bof.
    Variant Fields(const QString &name) const;
    Variant Fields(int index) const;
    int fieldIndex(const QString &name) const;   // -1 when absent
    const QStringList &fieldNames() const { return m_fieldNames; }
    int fieldCount() const { return int(m_fieldNames.size()); }

    // Restricts the visible rows and moves to the first one. The empty text
    // removes the filter. A criteria text that cannot be parsed throws
    // InvalidFilter and leaves the set showing no rows, so it never matches a
    // wrong row.
    void setFilter(const QString &criteria);
    const QString &Filter() const { return m_filter; }

    // Moves forward from the current row (inclusive) to the first row that
    // meets one criterion; at Eof when none does. Throws on a bad criterion.
    bool Find(const QString &criterion);

    void Close();
    bool isOpen() const { return m_open; }

    // Setting the active connection to nothing: the set is already detached
    // by construction, so this only records it.
    void setActiveConnection(std::nullptr_t) { m_detached = true; }
    bool isDetached() const { return m_detached; }

    // Whole rows, for callers that fill a grid in one pass.
    const std::vector<Row> &rows() const { return m_rows; }

private:
    void checkOpen() const;
    const Row &currentRow() const;

    QStringList m_fieldNames;
    std::vector<Row> m_rows;
    std::vector<int> m_visible;   // indexes into m_rows through the filter
    int m_pos = 0;                // index into m_visible; == size() at Eof, -1 at Bof
    QString m_filter;
    bool m_open = true;
    bool m_detached = false;
};

using RecordsetPtr = std::shared_ptr<Recordset>;

} // namespace torvel
