#include "components/sources.h"

#include <QSet>

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

QString containsCondition(const QString &column, const QString &text)
{
    QString pattern;
    for (const QChar c : text.toLower()) {
        if (c == u'\\' || c == u'%' || c == u'_')
            pattern += u'\\';
        pattern += c;
    }
    return QStringLiteral("lower(") + column + QStringLiteral(") LIKE ") + sqlQuote(u'%' + pattern + u'%')
        + QStringLiteral(" ESCAPE '\\'");
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
    sql += QStringLiteral(" ORDER BY ") + orderBy + QStringLiteral(" LIMIT ") + QString::number(limit);
    return m_connection->Execute(sql);
}

PickPage ItemPickSource::fetch(const QString &text, int limit)
{
    PickPage page;
    page.fields = fields();
    const int cap = limit + 1;
    QSet<int32_t> seen;
    if (text.isEmpty()) {
        merge(page, seen, query(QString(), QStringLiteral("T.FNumber"), cap), cap);
        finish(page, limit);
        return page;
    }
    merge(page, seen, query(prefixRange(QStringLiteral("T.FNumber"), text), QStringLiteral("T.FNumber"), cap), cap);
    if (int(page.rows.size()) < cap)
        merge(page, seen, query(prefixRange(QStringLiteral("T.FShortNumber"), text), QStringLiteral("T.FShortNumber"), cap), cap);
    if (int(page.rows.size()) < cap)
        merge(page, seen, query(prefixRange(QStringLiteral("T.FName"), text), QStringLiteral("T.FName"), cap), cap);
    if (int(page.rows.size()) < cap) {
        // Rows already shown may match again; ask for enough to fill the page.
        const QString contains = containsCondition(QStringLiteral("T.FNumber"), text) + QStringLiteral(" OR ")
            + containsCondition(QStringLiteral("T.FShortNumber"), text) + QStringLiteral(" OR ")
            + containsCondition(QStringLiteral("T.FName"), text);
        merge(page, seen, query(contains, QStringLiteral("T.FNumber"), cap + int(page.rows.size())), cap);
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
    QString where = m_where;
    if (!text.isEmpty()) {
        where = u'(' + where + QStringLiteral(") AND (") + containsCondition(m_numberColumn, text)
            + QStringLiteral(" OR ") + containsCondition(m_nameColumn, text) + u')';
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
