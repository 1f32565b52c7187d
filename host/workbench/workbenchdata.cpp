#include "workbenchdata.h"

#include "components/sources.h"
#include "services/db/recordset.h"

#include <QHash>
#include <QSet>

namespace torvel::host {

namespace {

QString text(const Variant &v)
{
    return v.isNull() ? QString() : v.toString().trimmed();
}

int32_t number(const Variant &v)
{
    return v.isNull() ? 0 : v.toInt32();
}

} // namespace

std::vector<GroupRow> loadGroupTree(Connection &connection)
{
    const RecordsetPtr rs = connection.Execute(
        QStringLiteral("SELECT FBOMGroupID, FNumber, FName, FParentID FROM COM_BOM_Group ORDER BY FNumber, FBOMGroupID"));
    std::vector<GroupRow> all;
    QSet<int32_t> ids;
    for (const Recordset::Row &r : rs->rows()) {
        all.push_back({number(r[0]), number(r[3]), text(r[1]), text(r[2]), number(r[3])});
        ids.insert(all.back().id);
    }
    QHash<int32_t, std::vector<size_t>> children;
    std::vector<size_t> roots;
    for (size_t i = 0; i < all.size(); ++i) {
        GroupRow &g = all[i];
        if (g.parentId == 0 || g.parentId == g.id || !ids.contains(g.parentId)) {
            g.parentId = 0;
            roots.push_back(i);
        } else {
            children[g.parentId].push_back(i);
        }
    }
    std::vector<GroupRow> ordered;
    ordered.reserve(all.size());
    QSet<int32_t> placed;
    // Depth first with an explicit stack: a deep tree cannot exhaust the call stack.
    auto place = [&](size_t root) {
        std::vector<size_t> stack{root};
        while (!stack.empty()) {
            const size_t i = stack.back();
            stack.pop_back();
            if (placed.contains(all[i].id))
                continue;
            placed.insert(all[i].id);
            ordered.push_back(all[i]);
            const auto &kids = children.value(all[i].id);
            for (auto it = kids.rbegin(); it != kids.rend(); ++it)
                stack.push_back(*it);
        }
    };
    for (size_t r : roots)
        place(r);
    // What is left hangs in a circle of parents: lift each to the top.
    for (size_t i = 0; i < all.size(); ++i) {
        if (!placed.contains(all[i].id)) {
            all[i].parentId = 0;
            place(i);
        }
    }
    return ordered;
}

QString BomQuery::pageSql(const Connection &connection, int offset, int limit) const
{
    QString sql = QStringLiteral(
        "SELECT b.FBOMID, b.FBOMNumber, b.FBOMName, b.FItemID, i.FNumber AS FItemNumber, i.FName AS FItemName, "
        "b.FStatus, (SELECT Count(*) FROM COM_BOM_Child c WHERE c.FBOMID=b.FBOMID) AS FLines "
        "FROM COM_BOM b LEFT JOIN t_Item i ON i.FItemID=b.FItemID WHERE b.FBOMGroupID=")
        + sqlNumber(groupId);
    const QString typed = filter.trimmed();
    if (wantsContains(typed)) {
        const QString inside = typed.mid(1);
        if (!inside.isEmpty())
            sql += QStringLiteral(" AND (") + connection.dialect().containsCondition(QStringLiteral("b.FBOMNumber"), inside)
                + QStringLiteral(" OR ") + connection.dialect().containsCondition(QStringLiteral("b.FBOMName"), inside)
                + QStringLiteral(" OR ") + connection.dialect().containsCondition(QStringLiteral("i.FNumber"), inside)
                + u')';
    } else if (!typed.isEmpty()) {
        sql += QStringLiteral(" AND ((") + prefixRange(QStringLiteral("b.FBOMNumber"), typed) + QStringLiteral(") OR (")
            + prefixRange(QStringLiteral("b.FBOMName"), typed) + QStringLiteral(") OR (")
            + prefixRange(QStringLiteral("i.FNumber"), typed) + QStringLiteral("))");
    }
    static const char *const orderColumns[] = {"b.FBOMNumber", "b.FBOMName", "i.FNumber", "i.FName", "b.FStatus",
                                               "FLines"};
    const QString direction = descending ? QStringLiteral(" DESC") : QString();
    // The id breaks ties, so pages never overlap or skip rows.
    sql += QStringLiteral(" ORDER BY ") + QLatin1String(orderColumns[int(sortColumn)]) + direction
        + QStringLiteral(", b.FBOMID") + direction + QStringLiteral(" LIMIT ") + QString::number(limit)
        + QStringLiteral(" OFFSET ") + QString::number(offset);
    return sql;
}

std::vector<BomRow> fetchBomPage(Connection &connection, const BomQuery &query, int offset, int limit)
{
    const RecordsetPtr rs = connection.Execute(query.pageSql(connection, offset, limit));
    std::vector<BomRow> rows;
    rows.reserve(rs->rows().size());
    for (const Recordset::Row &r : rs->rows())
        rows.push_back({number(r[0]), text(r[1]), text(r[2]), number(r[3]), text(r[4]), text(r[5]), number(r[6]),
                        number(r[7])});
    return rows;
}

std::vector<int32_t> groupsWithBoms(Connection &connection)
{
    const RecordsetPtr rs = connection.Execute(QStringLiteral("SELECT DISTINCT FBOMGroupID FROM COM_BOM"));
    std::vector<int32_t> ids;
    for (const Recordset::Row &r : rs->rows())
        ids.push_back(number(r[0]));
    return ids;
}

int32_t groupOfBom(Connection &connection, int32_t bomId)
{
    const RecordsetPtr rs =
        connection.Execute(QStringLiteral("SELECT FBOMGroupID FROM COM_BOM WHERE FBOMID=") + sqlNumber(bomId));
    return rs->rows().empty() ? 0 : number(rs->rows().front()[0]);
}

std::vector<NoteRow> notesOfBom(Connection &connection, int32_t bomId)
{
    const RecordsetPtr rs = connection.Execute(
        QStringLiteral("SELECT FBOMNoteID, Count(*) AS FLines FROM COM_BOM_Note WHERE FBOMID=") + sqlNumber(bomId)
        + QStringLiteral(" GROUP BY FBOMNoteID ORDER BY FBOMNoteID"));
    std::vector<NoteRow> notes;
    for (const Recordset::Row &r : rs->rows())
        notes.push_back({number(r[0]), number(r[1])});
    return notes;
}

QString statusText(int status)
{
    return status == 0 ? QStringLiteral("使用") : QStringLiteral("未使用");
}

} // namespace torvel::host
