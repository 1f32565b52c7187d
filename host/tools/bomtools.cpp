#include "bomtools.h"
#include "toolsinternal.h"

#include "services/com/comerror.h"
#include "services/db/recordset.h"

#include <QIODevice>

namespace torvel::host {

namespace tools {

QString text(const Variant &v)
{
    return v.isNull() || v.isEmpty() ? QString() : v.toString().trimmed();
}

int32_t id(const Variant &v)
{
    return v.isNull() || v.isEmpty() ? 0 : v.toInt32();
}

double number(const Variant &v)
{
    return v.isNull() || v.isEmpty() ? 0 : v.toDouble();
}

QString statusText(int status)
{
    return status == 0 ? QStringLiteral("使用") : QStringLiteral("未使用");
}

std::vector<std::vector<Variant>> rowsOf(Connection &connection, const QString &sql)
{
    const RecordsetPtr rs = connection.Execute(sql);
    return rs ? rs->rows() : std::vector<std::vector<Variant>>{};
}

[[noreturn]] void refuse(const QString &message)
{
    throw ComError(errc::InvalidProcedureCall, QStringLiteral("TORVEL.Host"), message);
}

QString numberCheck(const QString &number)
{
    if (number.isEmpty())
        return QStringLiteral("商品结构清单编号不能为空!");
    // The characters the editor never lets into a number.
    for (const QChar c : number)
        if (QStringLiteral("`'\",.").contains(c))
            return QStringLiteral("商品结构清单编号不能含有 ` ' \" , . 字符!");
    return {};
}

} // namespace tools

using namespace tools;

// ---- where used -------------------------------------------------------------

namespace {

const QString kUseColumns = QStringLiteral(
    "SELECT b.FBOMID, b.FBOMNumber, b.FBOMName, b.FBOMGroupID, g.FNumber, g.FName, b.FStatus, c.FBOMEntryID, "
    "c.FQty, c.FScrap");
const QString kUseFrom = QStringLiteral(
    " FROM COM_BOM_Child c INNER JOIN COM_BOM b ON b.FBOMID=c.FBOMID"
    " LEFT JOIN COM_BOM_Group g ON g.FBOMGroupID=b.FBOMGroupID");

void readUses(const RecordsetPtr &rs, bool viaClass, std::vector<UseRow> *uses)
{
    for (const Recordset::Row &r : rs->rows()) {
        UseRow u;
        u.viaClass = viaClass;
        u.bomId = id(r[0]);
        u.bomNumber = text(r[1]);
        u.bomName = text(r[2]);
        u.groupId = id(r[3]);
        u.groupNumber = text(r[4]);
        u.groupName = text(r[5]);
        u.status = id(r[6]);
        u.entry = id(r[7]);
        u.qty = number(r[8]);
        u.scrapPercent = number(r[9]) * 100;
        if (viaClass) {
            u.classNumber = text(r[10]);
            u.className = text(r[11]);
        }
        uses->push_back(std::move(u));
    }
}

} // namespace

WhereUsed whereUsed(Connection &connection, const QString &itemCode)
{
    WhereUsed result;
    const RecordsetPtr item = connection.Execute(
        QStringLiteral("SELECT t_Item.FItemID, t_Item.FNumber, t_Item.FName, COM_Item.FReplaceClassID FROM COM_Item "
                       "INNER JOIN t_Item ON t_Item.FItemID=COM_Item.FItemID WHERE t_Item.FNumber=")
        + sqlQuote(itemCode.trimmed()) + QStringLiteral(" ORDER BY t_Item.FItemID LIMIT 1"));
    if (item->rows().empty())
        return result;
    const Recordset::Row &i = item->rows().front();
    result.itemId = id(i[0]);
    result.itemNumber = text(i[1]);
    result.itemName = text(i[2]);
    const int32_t classId = id(i[3]);

    // A class line names no item of its own, whatever its item column holds.
    readUses(connection.Execute(kUseColumns + kUseFrom + QStringLiteral(" WHERE c.FItemID=") + sqlNumber(result.itemId)
                                + QStringLiteral(" AND c.FReplaceClassID=0 ORDER BY b.FBOMNumber, c.FBOMEntryID")),
             false, &result.uses);
    if (classId > 0)
        readUses(connection.Execute(kUseColumns + QStringLiteral(", s.FNumber, s.FName") + kUseFrom
                                    + QStringLiteral(" LEFT JOIN COM_SysType s ON s.FSysTypeID=c.FReplaceClassID"
                                                     " WHERE c.FReplaceClassID=")
                                    + sqlNumber(classId) + QStringLiteral(" ORDER BY b.FBOMNumber, c.FBOMEntryID")),
                 true, &result.uses);
    return result;
}

QStringList childCodesOfBom(Connection &connection, int32_t bomId)
{
    QStringList codes;
    for (const Recordset::Row &r :
         rowsOf(connection, QStringLiteral("SELECT i.FNumber FROM COM_BOM_Child c INNER JOIN t_Item i ON i.FItemID=c.FItemID "
                                           "WHERE c.FReplaceClassID=0 AND c.FBOMID=")
                            + sqlNumber(bomId) + QStringLiteral(" ORDER BY c.FBOMEntryID")))
        codes << text(r[0]);
    return codes;
}

namespace {

QStringList useFields(const UseRow &u)
{
    return {u.viaClass ? QStringLiteral("替代类别") : QStringLiteral("子商品"), u.bomNumber, u.bomName, u.groupNumber,
            u.groupName, statusText(u.status), QString::number(u.entry), sqlNumber(u.qty), sqlNumber(u.scrapPercent),
            u.viaClass ? u.classNumber + u' ' + u.className : QString()};
}

const QStringList kUseHeader = {QStringLiteral("用途"),     QStringLiteral("清单代码"), QStringLiteral("清单名称"),
                                QStringLiteral("类别代码"), QStringLiteral("类别名称"), QStringLiteral("状态"),
                                QStringLiteral("行号"),     QStringLiteral("数量"),     QStringLiteral("损耗率(%)"),
                                QStringLiteral("可替换商品类别")};

} // namespace

QString whereUsedText(const WhereUsed &result)
{
    if (result.itemId == 0)
        return QStringLiteral("找不到对应的商品\n");
    QString out = result.itemNumber + u' ' + result.itemName
        + QStringLiteral("：%1 处使用\n").arg(result.uses.size());
    if (result.uses.empty())
        return out;
    out += kUseHeader.join(u'\t') + u'\n';
    for (const UseRow &u : result.uses)
        out += useFields(u).join(u'\t') + u'\n';
    return out;
}

QString whereUsedCsv(const WhereUsed &result)
{
    QString out;
    auto row = [&out](const QStringList &fields) {
        QStringList quoted;
        for (const QString &f : fields)
            quoted << csvField(f);
        out += quoted.join(u',') + QStringLiteral("\r\n");
    };
    row(kUseHeader);
    for (const UseRow &u : result.uses)
        row(useFields(u));
    return out;
}

// ---- copy -------------------------------------------------------------------

int32_t copyBom(Connection &connection, int32_t bomId, const QString &number, int32_t groupId)
{
    const QString newNumber = number.trimmed();
    if (const QString why = numberCheck(newNumber); !why.isEmpty())
        refuse(why);
    Transaction transaction(connection, Transaction::ReadsFirst);
    const RecordsetPtr source = connection.Execute(
        QStringLiteral("SELECT FBOMName, FBOMGroupID, FItemID, FAuxPropID, FMeasureUnitID, FStatus FROM COM_BOM WHERE FBOMID=")
        + sqlNumber(bomId));
    if (source->rows().empty())
        refuse(kBomGone);
    const Recordset::Row &s = source->rows().front();
    const int32_t group = groupId != 0 ? groupId : id(s[1]);
    if (groupId != 0
        && connection.Execute(QStringLiteral("SELECT Count(*) FROM COM_BOM_Group WHERE FBOMGroupID=") + sqlNumber(groupId))
                   ->Fields(0)
                   .toInt32()
               == 0)
        refuse(kGroupGone);
    if (connection.Execute(QStringLiteral("SELECT Count(*) FROM COM_Bom WHERE FBOMNumber =") + sqlQuote(newNumber))
            ->Fields(0)
            .toInt32()
        > 0)
        refuse(kNumberUsed);

    connection.Execute(addStatement(newNumber, text(s[0]), group, id(s[2]), id(s[3]), id(s[4]), id(s[5])));
    const int32_t newId = newBomId(connection, newNumber);
    connection.Execute(QStringLiteral("INSERT INTO COM_Bom_Child (FBOMEntryID,FBOMID,FReplaceClassID,FItemID,FAuxPropID,"
                                      "FMeasureUnitID,FQty,FScrap,FRemark) SELECT FBOMEntryID,")
                       + sqlNumber(newId)
                       + QStringLiteral(",FReplaceClassID,FItemID,FAuxPropID,FMeasureUnitID,FQty,FScrap,FRemark "
                                        "FROM COM_BOM_Child WHERE FBOMID=")
                       + sqlNumber(bomId));
    transaction.commit();
    return newId;
}

namespace tools {

QString addStatement(const QString &number, const QString &name, int32_t group, int32_t item, int32_t aux,
                     int32_t unit, int32_t status)
{
    return QStringLiteral("INSERT INTO COM_Bom(FBOMNumber,FBOMName,FBOMGroupID,FItemID,")
        + QStringLiteral("FAuxPropID,FMeasureUnitID,FStatus) VALUES (") + sqlQuote(number) + u',' + sqlQuote(name) + u','
        + sqlNumber(group) + u',' + sqlNumber(item) + u',' + sqlNumber(aux) + u',' + sqlNumber(unit) + u','
        + sqlNumber(status) + u')';
}

int32_t newBomId(Connection &connection, const QString &number)
{
    // The generated key where the database gives one; else the row by its
    // number, which is unique.
    const Variant key = connection.lastInsertId();
    if (!key.isEmpty() && !key.isNull())
        return key.toInt32();
    const RecordsetPtr rs
        = connection.Execute(QStringLiteral("SELECT FBOMID FROM COM_Bom WHERE FBOMNumber=") + sqlQuote(number));
    if (rs->rows().empty())
        refuse(kBomGone);
    return id(rs->rows().front()[0]);
}

} // namespace tools

// ---- export -----------------------------------------------------------------

QStringList csvHeader()
{
    return {QStringLiteral("清单代码"),   QStringLiteral("清单名称"),       QStringLiteral("状态"),
            QStringLiteral("商品代码"),   QStringLiteral("辅助属性"),       QStringLiteral("可替换商品类别"),
            QStringLiteral("子商品代码"), QStringLiteral("子商品辅助属性"), QStringLiteral("单位"),
            QStringLiteral("数量"),       QStringLiteral("损耗率(%)"),      QStringLiteral("备注")};
}

QString csvField(const QString &value)
{
    for (const QChar c : value)
        if (c == u',' || c == u'"' || c == u'\n' || c == u'\r') {
            QString quoted = value;
            quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
            return u'"' + quoted + u'"';
        }
    return value;
}

int exportBoms(Connection &connection, const ExportScope &scope, QIODevice &out)
{
    QString where = QStringLiteral(" WHERE 1=1");
    if (scope.bomId != 0)
        where += QStringLiteral(" AND b.FBOMID=") + sqlNumber(scope.bomId);
    if (scope.groupId != 0)
        where += QStringLiteral(" AND b.FBOMGroupID=") + sqlNumber(scope.groupId);
    const RecordsetPtr ids
        = connection.Execute(QStringLiteral("SELECT b.FBOMID FROM COM_BOM b") + where + QStringLiteral(" ORDER BY b.FBOMID"));
    if (scope.bomId != 0 && ids->rows().empty())
        refuse(kBomGone);

    QByteArray buffer("\xEF\xBB\xBF");
    auto flush = [&](qsizetype above) {
        if (buffer.size() <= above)
            return;
        if (out.write(buffer) != buffer.size())
            refuse(QStringLiteral("写入文件出错：") + out.errorString());
        buffer.clear();
    };
    auto row = [&buffer](const QStringList &fields) {
        QString line;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            if (i)
                line += u',';
            line += csvField(fields[i]);
        }
        buffer += line.toUtf8();
        buffer += "\r\n";
    };
    row(csvHeader());

    // A few hundred BOMs per pair of queries, memory bounded for any size:
    // their headers, then their lines by the lines' key range, so the lines'
    // index is walked for the chunk alone, whatever the planner believes of
    // a table just written.
    constexpr size_t kChunk = 500;
    int rows = 0;
    const std::vector<Recordset::Row> &all = ids->rows();
    for (size_t first = 0; first < all.size(); first += kChunk) {
        const size_t last = std::min(all.size(), first + kChunk) - 1;
        const QString range = QStringLiteral(">=") + sqlNumber(id(all[first][0])) + QStringLiteral(" AND ")
            + QStringLiteral("%1<=") + sqlNumber(id(all[last][0]));
        const RecordsetPtr heads = connection.Execute(
            QStringLiteral("SELECT b.FBOMID, b.FBOMNumber, b.FBOMName, b.FStatus, pi.FNumber, pa.FNumber FROM COM_BOM b"
                           " LEFT JOIN t_Item pi ON pi.FItemID=b.FItemID"
                           " LEFT JOIN t_Item pa ON pa.FItemID=b.FAuxPropID AND b.FAuxPropID<>0")
            + where + QStringLiteral(" AND b.FBOMID") + range.arg(QStringLiteral("b.FBOMID"))
            + QStringLiteral(" ORDER BY b.FBOMID"));
        const RecordsetPtr lines = connection.Execute(
            QStringLiteral("SELECT c.FBOMID, s.FNumber, ci.FNumber, ca.FNumber, u.FName, c.FQty, c.FScrap, c.FRemark "
                           "FROM COM_BOM_Child c"
                           " LEFT JOIN COM_SysType s ON s.FSysTypeID=c.FReplaceClassID AND c.FReplaceClassID<>0"
                           " LEFT JOIN t_Item ci ON ci.FItemID=c.FItemID AND c.FItemID<>0 AND c.FReplaceClassID=0"
                           " LEFT JOIN t_Item ca ON ca.FItemID=c.FAuxPropID AND c.FAuxPropID<>0"
                           " LEFT JOIN t_MeasureUnit u ON u.FMeasureUnitID=c.FMeasureUnitID"
                           " WHERE c.FBOMID")
            + range.arg(QStringLiteral("c.FBOMID")) + QStringLiteral(" ORDER BY c.FBOMID, c.FBOMEntryID"));
        const std::vector<Recordset::Row> &l = lines->rows();
        size_t at = 0;
        for (const Recordset::Row &h : heads->rows()) {
            const int32_t bom = id(h[0]);
            const QStringList head{text(h[1]), text(h[2]), statusText(id(h[3])), text(h[4]), text(h[5])};
            while (at < l.size() && id(l[at][0]) < bom)
                ++at;   // lines of a BOM outside the scope
            if (at == l.size() || id(l[at][0]) != bom) {
                row(head + QStringList{QString(), QString(), QString(), QString(), QString(), QString(), QString()});
                ++rows;
            }
            for (; at < l.size() && id(l[at][0]) == bom; ++at) {
                const Recordset::Row &r = l[at];
                row(head + QStringList{text(r[1]), text(r[2]), text(r[3]), text(r[4]), sqlNumber(number(r[5])),
                                       sqlNumber(number(r[6]) * 100), r[7].isNull() ? QString() : r[7].toString()});
                ++rows;
            }
        }
        flush(1 << 16);
    }
    flush(0);
    return rows;
}

QString ImportIssue::text() const
{
    if (column == 0)
        return QStringLiteral("第%1行：%2").arg(line).arg(message);
    return QStringLiteral("第%1行第%2列：%3").arg(line).arg(column).arg(message);
}

} // namespace torvel::host
