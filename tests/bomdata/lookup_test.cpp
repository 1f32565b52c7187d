// The filtered lookups answer from the database; these tests hold them to the
// rows the in-memory filter over the whole table would have left.

#include "bomdata/bom.h"
#include "bomdata/lookupfilter.h"

#include "dbfixture.h"
#include "printers.h"
#include "services/com/comerror.h"

#include <gtest/gtest.h>

#include <random>

namespace torvel {
namespace {

// Texts that stress the comparison: case, blanks, quotes, full-width and
// accented letters (which fold differently in the database), Chinese, empty.
const QStringList kTexts = {
    "pcs", "PCS", "Pcs", "pcs ", " pcs", "o'k", "O'K", "箱", "Ａｂ", "ａｂ", "Éa", "éa", "", "k1", "K1",
    "s-2", "S-2", "R-01", "r-01", "100", "1e2", "%", "_", "a''b", "x\"y", "螺丝 类",
};

QString pick(std::mt19937 &rng, const QStringList &list)
{
    return list[int(rng() % unsigned(list.size()))];
}

void seedMasterTables(Connection &cnn, std::mt19937 &rng)
{
    cnn.BeginTrans();
    const auto n = [](int v) { return sqlNumber(int32_t(v)); };
    for (int id = 1; id <= 240; ++id) {
        const QString number = sqlQuote(pick(rng, kTexts));
        const QString name = sqlQuote(pick(rng, kTexts));
        const int group = int(rng() % 4);
        const QStringList rows[] = {
            {"t_MeasureUnit (FMeasureUnitID,FItemID,FNumber,FName,FUnitGroupID)", n(id), n(int(rng() % 6)), number,
             name, n(group)},
            {"t_Item (FItemID,FNumber,FName,FShortNumber,FItemClassID)", n(id), number, name,
             sqlQuote(pick(rng, kTexts)), n(group + 4)},
            {"COM_SysType (FSysTypeID,FNumber,FName,FClassID)", n(id), number, name, n(rng() % 3 == 0 ? 481 : 480)},
        };
        for (const QStringList &row : rows)
            cnn.Execute(QStringLiteral("INSERT INTO ") + row[0] + QStringLiteral(" VALUES (") + row.mid(1).join(u',') + u')');
    }
    // Nulls, which no comparison but "= NULL" matches; id 0, which a text
    // that reads as no number must never come to mean.
    cnn.Execute(QStringLiteral("INSERT INTO t_MeasureUnit (FMeasureUnitID,FItemID,FNumber,FName,FUnitGroupID) VALUES (900,NULL,NULL,NULL,NULL)"));
    cnn.Execute(QStringLiteral("INSERT INTO t_MeasureUnit (FMeasureUnitID,FItemID,FNumber,FName,FUnitGroupID) VALUES (0,1,'zero','zero',1)"));
    cnn.CommitTrans();
}

// A value as typed: sometimes in another case, with blanks, or unknown.
QString typed(std::mt19937 &rng)
{
    QString v = pick(rng, kTexts);
    switch (rng() % 6) {
    case 0: return v.toUpper();
    case 1: return v.toLower();
    case 2: return v + u' ';
    case 3: return QStringLiteral("NOPE-") + v;
    default: return v;
    }
}

QString randomKey(std::mt19937 &rng, int table)
{
    const QString v = sqlQuote(typed(rng));
    const QString n = QString::number(int(rng() % 6) - 1);
    // The forms the dialogs build first, then odd ones.
    switch (rng() % 16) {
    case 0:
    case 1:
        if (table == 0) return QStringLiteral(" FNumber=") + v + QStringLiteral(" and FUnitGroupID=") + n;
        if (table == 1) return QStringLiteral(" FNumber=") + v + QStringLiteral(" and FItemClassID=") + n;
        return QStringLiteral(" FNumber=") + v + QStringLiteral("and FClassID=480 ");
    case 2:
        if (table == 0) {
            // An id, or a text against the id column.
            const int id = int(rng() % 260);
            return QStringLiteral(" FMeasureUnitID=") + (id % 5 == 0 ? v : QString::number(id));
        }
        if (table == 1) return QStringLiteral(" FNumber=") + v + QStringLiteral("and FItemClassID=") + n;
        return QStringLiteral(" FNumber=") + v + QStringLiteral("and FClassID=481");
    case 3:
        return table == 0 ? QStringLiteral("FItemID=") + n : QStringLiteral(" fnumber = ") + v;
    case 4: return QStringLiteral("(FNumber=") + v + QStringLiteral(" OR FName=") + v + QStringLiteral(") AND FNumber<>'pcs'");
    case 5: return QStringLiteral("FName=") + v;
    case 6: return QStringLiteral("FNumber LIKE ") + sqlQuote(typed(rng).left(1) + u'%');
    case 7: return QStringLiteral("FNumber > ") + v;
    case 8: return QStringLiteral("FNumber = ") + n;                       // a number against text
    case 9: return QStringLiteral("FNumber = '") + typed(rng);             // unreadable: open quote
    case 10: return QStringLiteral("FNumber = ");                          // unreadable: no value
    case 11: return QStringLiteral("FNoSuchField = 1");
    case 12: return QStringLiteral("FNumber = NULL");
    case 13: return QStringLiteral("FNumber <> NULL and FName = ") + v;
    case 14: return QString();
    default: return QStringLiteral(" FNumber=") + v + QStringLiteral(" or FNumber=") + sqlQuote(typed(rng));
    }
}

QStringList rowsOf(Recordset &rs)
{
    QStringList rows;
    for (; !rs.Eof(); rs.MoveNext()) {
        QString row;
        for (int i = 0; i < rs.fieldCount(); ++i) {
            const Variant v = rs.Fields(i);
            row += v.typeName() + u':' + (v.isNull() ? QString() : v.toString()) + u'|';
        }
        rows << row;
    }
    return rows;
}

TEST(BomLookupDifferential, PushedDownLookupsLeaveTheRowsOfTheInMemoryFilter)
{
    std::mt19937 rng(20240531);
    auto database = test::TestDatabase::createSqlite(false);
    ConnectionPtr db = database->connection();
    seedMasterTables(*db, rng);
    BOM bom(*db);

    struct Table
    {
        RecordsetPtr (BOM::*lookup)(const QString &);
        QString wholeQuery;
    };
    const Table tables[] = {
        {&BOM::GetUnitInfo, "SELECT * FROM t_MeasureUnit"},
        {&BOM::GetAuxPropInfo, "SELECT * FROM t_item "},
        {&BOM::GetReplaceClassInfo, "SELECT * FROM com_systype "},
    };
    int pushedDown[3] = {0, 0, 0};
    int withRows = 0;
    const int rounds = 400;
    for (int t = 0; t < 3; ++t) {
        for (int i = 0; i < rounds; ++i) {
            const QString key = randomKey(rng, t);
            SCOPED_TRACE(key.toStdString());
            RecordsetPtr whole = db->Execute(tables[t].wholeQuery);
            try {
                whole->setFilter(key);
            } catch (const ComError &) {
                // shows no rows
            }
            const QStringList expected = rowsOf(*whole);
            RecordsetPtr got = (bom.*tables[t].lookup)(key);
            ASSERT_NE(got, nullptr);
            EXPECT_EQ(rowsOf(*got), expected);
            pushedDown[t] += bom.lastLookupPushedDown() ? 1 : 0;
            withRows += expected.isEmpty() ? 0 : 1;
        }
    }
    // The comparison means something only when most keys of every table went
    // to the database and many of them found rows.
    for (int t = 0; t < 3; ++t)
        EXPECT_GT(pushedDown[t], rounds / 2) << "table " << t;
    EXPECT_GT(withRows, rounds / 2);
}

} // namespace
} // namespace torvel
