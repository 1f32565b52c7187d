// Bulk data for benchmarks and load tests. Statements are prepared once and
// bound per row: a million items must load in seconds, which the library's
// own statement-per-row text could not do.

#include "hostdb.h"

#include "services/db/recordset.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace torvel::host {

namespace {

int maxOf(Connection &c, const QString &sql)
{
    const RecordsetPtr rs = c.Execute(sql);
    return rs->Eof() || rs->Fields(0).isNull() ? 0 : rs->Fields(0).toInt32();
}

class Prepared
{
public:
    Prepared(const QSqlDatabase &db, const QString &sql, const QString &driver) : m_query(db), m_driver(driver)
    {
        if (!m_query.prepare(sql))
            fail();
    }
    template<typename... Values>
    void run(const Values &...values)
    {
        int i = 0;
        (m_query.bindValue(i++, values), ...);
        if (!m_query.exec())
            fail();
    }

private:
    [[noreturn]] void fail()
    {
        const QSqlError e = m_query.lastError();
        throw ComError(errc::DatabaseError, m_driver, e.databaseText().isEmpty() ? e.text() : e.databaseText());
    }
    QSqlQuery m_query;
    QString m_driver;
};

} // namespace

void generateScaleData(Connection &connection, int items, int boms, int linesPerBom)
{
    if (items < 0 || boms < 0 || linesPerBom < 0 || (boms > 0 && items < 2))
        throw ComError(errc::InvalidProcedureCall, QStringLiteral("TORVEL.HostDb"),
                       QStringLiteral("generateScaleData needs at least two items for BOMs"));
    Connection &c = connection;
    Transaction transaction(c);
    const int firstItem = maxOf(c, QStringLiteral("SELECT Max(FItemID) FROM t_Item")) + 1;
    const int firstBom = maxOf(c, QStringLiteral("SELECT Max(FBOMID) FROM COM_BOM")) + 1;
    // The count unit and group the demo data has; an empty database gets them.
    if (maxOf(c, QStringLiteral("SELECT Count(*) FROM t_MeasureUnit WHERE FMeasureUnitID=1")) == 0)
        c.Execute(QStringLiteral("INSERT INTO t_MeasureUnit(FMeasureUnitID,FItemID,FNumber,FName,FUnitGroupID,FCoefficient) "
                                 "VALUES (1,1,'01','个',1,1)"));
    int group = maxOf(c, QStringLiteral("SELECT Min(FBOMGroupID) FROM COM_BOM_Group WHERE FNumber='SCALE'"));
    if (group == 0 && boms > 0) {
        c.Execute(QStringLiteral("INSERT INTO COM_Bom_Group(FNumber,FName,FParentID) VALUES ('SCALE','规模测试',0)"));
        group = c.lastInsertId().toInt32();
    }

    const QSqlDatabase db = c.database();
    const QString driver = c.driverName();
    {
        Prepared item(db, QStringLiteral("INSERT INTO t_Item(FItemID,FNumber,FName,FDetail,FShortNumber,FItemClassID) "
                                         "VALUES (?,?,?,1,?,4)"),
                      driver);
        Prepared comItem(db, QStringLiteral("INSERT INTO COM_Item(FItemID,FModel,FAuxClassID,FUnitGroupID,FBaseUnitID,"
                                            "FQtyScale,FReplaceClassID,FIsBOM) VALUES (?,?,0,1,1,2,0,?)"),
                         driver);
        const QString name = QStringLiteral("规模测试商品");
        for (int i = 0; i < items; ++i) {
            const int id = firstItem + i;
            const QString seq = QString::number(id);
            item.run(id, QString(QStringLiteral("S.") + seq), QString(name + seq), QString(QStringLiteral("GM") + seq));
            comItem.run(id, QString(QStringLiteral("型号-") + seq), int(i % 10 == 0));
        }
    }
    {
        Prepared bom(db, QStringLiteral("INSERT INTO COM_BOM(FBOMID,FBOMNumber,FBOMName,FBOMGroupID,FItemID,FAuxPropID,"
                                        "FMeasureUnitID,FStatus) VALUES (?,?,?,?,?,0,1,0)"),
                     driver);
        Prepared line(db, QStringLiteral("INSERT INTO COM_BOM_Child(FBOMEntryID,FBOMID,FReplaceClassID,FItemID,FAuxPropID,"
                                         "FMeasureUnitID,FQty,FScrap,FRemark) VALUES (?,?,0,?,0,1,?,?,'')"),
                      driver);
        for (int b = 0; b < boms; ++b) {
            const int id = firstBom + b;
            // Parents are the items that may head a BOM; children skip the parent.
            const int parentIndex = (b * 10) % items;
            const int parent = firstItem + parentIndex;
            bom.run(id, QString(QStringLiteral("SCALE-") + QString::number(id)),
                    QString(QStringLiteral("规模测试BOM ") + QString::number(id)), group, parent);
            for (int l = 0; l < linesPerBom; ++l) {
                const int offset = 1 + int((qint64(b) * 7919 + qint64(l) * 104729) % (items - 1));
                const int childIndex = (parentIndex + offset) % items;
                line.run(l + 1, id, firstItem + childIndex, double(1 + l % 5), double(l % 3) / 100.0);
            }
        }
    }
    transaction.commit();
}

} // namespace torvel::host
