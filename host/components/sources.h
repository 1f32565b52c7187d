#pragma once

#include "components/picklist.h"
#include "services/db/connection.h"

namespace torvel::host {

// Items (t_Item with COM_Item as X2 and the base unit's name), restricted by
// a condition already rebuilt by buildItemFilter. Matches come in tiers so the
// likeliest rows lead: number prefix, short-number prefix, name prefix, each
// an indexed range query. Only when none of them finds a row, or when the text
// starts with '*', are number, short number and name searched for the text
// anywhere inside: that search reads the whole table, so it is kept off the
// common keystroke. Every query is bounded by the page size.
class ItemPickSource : public PickSource
{
public:
    ItemPickSource(ConnectionPtr connection, QString condition);
    PickPage fetch(const QString &text, int limit) override;

    // Fields of each row: FItemID, FNumber, FName, FShortNumber, FModel,
    // FBaseUnitID, FUnitGroupID, FAuxClassID, FQtyScale, FUnitName.
    static const QStringList &fields();

private:
    RecordsetPtr query(const QString &where, const QString &orderBy, int limit) const;

    ConnectionPtr m_connection;
    QString m_condition;
};

// Rows of one small code table: an id, a number and a name (units of one
// group, auxiliary properties of one class, substitute classes). Matches by
// number or name, prefix or contained, case-insensitively.
class CodePickSource : public PickSource
{
public:
    // `select` yields the columns FID, FNumber, FName (and any others) from
    // `from` restricted by `where`.
    CodePickSource(ConnectionPtr connection, QString select, QString from, QString where,
                   QString numberColumn, QString nameColumn);
    PickPage fetch(const QString &text, int limit) override;

private:
    ConnectionPtr m_connection;
    QString m_select;
    QString m_from;
    QString m_where;
    QString m_numberColumn;
    QString m_nameColumn;
};

// Text helpers shared by the sources.
QString prefixRange(const QString &column, const QString &text);
// The typed text asks for "contains" explicitly: a leading '*'.
bool wantsContains(const QString &text);

} // namespace torvel::host
