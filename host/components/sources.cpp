#include "components/sources.h"

#include <QSet>

#include <algorithm>

namespace torvel::host {

QString prefixRange(const QString &column, const QString &text)
{
    // A range rather than LIKE so that an index on the column serves it on
    // every database; the upper bound is the prefix followed by the highest
    // code point, above every text that starts with the prefix.
    static const QString highest = QString::fromUcs4(U"\U0010FFFF", 1);
    return column + QStringLiteral(" >= ") + sqlQuote(text) + QStringLiteral(" AND ") + column
        + QStringLiteral(" < ") + sqlQuote(text + highest);
}

bool wantsContains(const QString &text)
{
    return text.startsWith(u'*');
}

namespace {

int32_t idOf(const Recordset::Row &row)
{
    try {
        return row.front().toInt32();
    } catch (const ComError &) {
        return 0;
    }
}

// Adds the rows not seen yet, up to `cap` rows in all.
void merge(PickPage &page, QSet<int32_t> &seen, const RecordsetPtr &rs, int cap)
{
    if (!rs)
        return;
    for (const Recordset::Row &row : rs->rows()) {
        if (int(page.rows.size()) >= cap)
            return;
        const int32_t id = idOf(row);
        if (seen.contains(id))
            continue;
        seen.insert(id);
        page.rows.push_back(row);
    }
}

QString sortKey(const Variant &value)
{
    return value.isString() ? value.toString() : QString();
}

void finish(PickPage &page, int limit)
{
    if (int(page.rows.size()) > limit) {
        page.rows.resize(size_t(limit));
        page.more = true;
    }
}

} // namespace

// ---------------------------------------------------------------------------

ItemPickSource::ItemPickSource(ConnectionPtr connection, QString condition)
    : m_connection(std::move(connection))
    , m_condition(std::move(condition))
{
}

const QStringList &ItemPickSource::fields()
{
    static const QStringList names = {
        QStringLiteral("FItemID"),      QStringLiteral("FNumber"),     QStringLiteral("FName"),
        QStringLiteral("FShortNumber"), QStringLiteral("FModel"),      QStringLiteral("FBaseUnitID"),
        QStringLiteral("FUnitGroupID"), QStringLiteral("FAuxClassID"), QStringLiteral("FQtyScale"),
        QStringLiteral("FUnitName"),
    };
    return names;
}

RecordsetPtr ItemPickSource::query(const QString &where, const QString &orderBy, int limit) const
{
    QString sql = QStringLiteral(
        "SELECT T.FItemID, T.FNumber, T.FName, T.FShortNumber, X2.FModel, X2.FBaseUnitID, X2.FUnitGroupID,"
        " X2.FAuxClassID, X2.FQtyScale, U.FName AS FUnitName"
        " FROM t_Item T INNER JOIN COM_Item X2 ON X2.FItemID = T.FItemID"
        " LEFT JOIN t_MeasureUnit U ON U.FMeasureUnitID = X2.FBaseUnitID");
    QStringList conditions;
    if (!m_condition.isEmpty())
        conditions << u'(' + m_condition + u')';
    if (!where.isEmpty())
        conditions << u'(' + where + u')';
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    if (!orderBy.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + orderBy;
    sql += QStringLiteral(" LIMIT ") + QString::number(limit);
    return m_connection->Execute(sql);
}

PickPage ItemPickSource::fetch(const QString &typed, int limit)
{
    PickPage page;
    page.fields = fields();
    const int cap = limit + 1;
    QSet<int32_t> seen;
    const bool containsOnly = wantsContains(typed);
    const QString text = containsOnly ? typed.mid(1).trimmed() : typed;
    if (text.isEmpty()) {
        merge(page, seen, query(QString(), QStringLiteral("T.FNumber"), cap), cap);
        finish(page, limit);
        return page;
    }
    if (!containsOnly) {
        const QString columns[] = {QStringLiteral("T.FNumber"), QStringLiteral("T.FShortNumber"), QStringLiteral("T.FName")};
        for (const QString &column : columns) {
            if (int(page.rows.size()) < cap)
                merge(page, seen, query(prefixRange(column, text), column, cap), cap);
        }
    }
    if (page.rows.empty()) {
        const Dialect &d = m_connection->dialect();
        const QString contains = d.containsCondition(QStringLiteral("T.FNumber"), text) + QStringLiteral(" OR ")
            + d.containsCondition(QStringLiteral("T.FShortNumber"), text) + QStringLiteral(" OR ")
            + d.containsCondition(QStringLiteral("T.FName"), text);
        // No order in the query: the scan stops at the page instead of
        // reading every match to sort it. The page is sorted here.
        merge(page, seen, query(contains, QString(), cap), cap);
        const int number = int(fields().indexOf(QStringLiteral("FNumber")));
        std::sort(page.rows.begin(), page.rows.end(), [number](const Recordset::Row &a, const Recordset::Row &b) {
            return sortKey(a[size_t(number)]) < sortKey(b[size_t(number)]);
        });
    }
    finish(page, limit);
    return page;
}

// ---------------------------------------------------------------------------

CodePickSource::CodePickSource(ConnectionPtr connection, QString select, QString from, QString where,
                               QString numberColumn, QString nameColumn)
    : m_connection(std::move(connection))
    , m_select(std::move(select))
    , m_from(std::move(from))
    , m_where(std::move(where))
    , m_numberColumn(std::move(numberColumn))
    , m_nameColumn(std::move(nameColumn))
{
}

PickPage CodePickSource::fetch(const QString &text, int limit)
{
    // Small tables: "contains" always, a leading '*' is allowed and ignored.
    QString where = m_where;
    const QString search = wantsContains(text) ? text.mid(1).trimmed() : text;
    if (!search.isEmpty()) {
        const Dialect &d = m_connection->dialect();
        where = u'(' + where + QStringLiteral(") AND (") + d.containsCondition(m_numberColumn, search)
            + QStringLiteral(" OR ") + d.containsCondition(m_nameColumn, search) + u')';
    }
    const QString sql = QStringLiteral("SELECT ") + m_select + QStringLiteral(" FROM ") + m_from
        + QStringLiteral(" WHERE ") + where + QStringLiteral(" ORDER BY ") + m_numberColumn
        + QStringLiteral(" LIMIT ") + QString::number(limit + 1);
    const RecordsetPtr rs = m_connection->Execute(sql);
    PickPage page;
    if (rs) {
        page.fields = rs->fieldNames();
        page.rows = rs->rows();
    }
    finish(page, limit);
    return page;
}

} // namespace torvel::host
