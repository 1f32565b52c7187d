// The planner's tools on the demo database: the import's checks (one row per
// rule), a round trip through CSV, where-used on a class member, copy.

#include "dbfixture.h"
#include "printers.h"
#include "services/com/comerror.h"
#include "services/db/recordset.h"
#include "tools/bomtools.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <algorithm>

using namespace torvel;
using namespace torvel::host;
using torvel::test::DatabaseTest;
using torvel::test::scalarOf;
using torvel::test::TestDatabase;

namespace {

// Every stored BOM with its lines, by number, ids of master data included.
QStringList snapshot(Connection &c)
{
    QStringList rows;
    const RecordsetPtr rs = c.Execute(QStringLiteral("SELECT b.FBOMNumber, b.FBOMName, b.FStatus, b.FItemID, b.FAuxPropID, "
                                  "b.FMeasureUnitID, c.FBOMEntryID, c.FReplaceClassID, c.FItemID, c.FAuxPropID, "
                                  "c.FMeasureUnitID, c.FQty, c.FScrap, c.FRemark FROM COM_BOM b LEFT JOIN "
                                  "COM_BOM_Child c ON c.FBOMID=b.FBOMID ORDER BY b.FBOMNumber, c.FBOMEntryID"));
    for (const Recordset::Row &r : rs->rows()) {
        QStringList f;
        for (const Variant &v : r)
            f << (v.isNull() ? QStringLiteral("<null>") : v.toString());
        rows << f.join(u'|');
    }
    return rows;
}

const char *const kHeader = "清单代码,清单名称,状态,商品代码,辅助属性,可替换商品类别,子商品代码,子商品辅助属性,单位,数量,损耗率(%),备注\n";
const char *const kValid = "NEW1,新清单,使用,4.01.002,,,1.04.001,,个,2,1.5,备注\n";

struct Case
{
    const char *name;
    const char *rows;   // after the header and one valid row
    int line;
    int column;
    const char *says;
    int32_t group = 2;
};

TEST(BomImport, EveryRuleNamesLineAndColumnAndNothingIsWritten)
{
    const Case cases[] = {
        {"columns", "NEW2,名,使用,4.01.002\n", 3, 0, "列"},
        {"unclosed quote", "NEW2,\"名,使用,4.01.002,,,1.04.001,,个,1,,\n", 3, 2, "引号未闭合"},
        {"text after quote", "NEW2,\"名\"x,使用,4.01.002,,,1.04.001,,个,1,,\n", 3, 2, "引号后"},
        {"quote inside", "NEW2,名\"字,使用,4.01.002,,,1.04.001,,个,1,,\n", 3, 2, "引号"},
        {"number empty", ",名,使用,4.01.002,,,1.04.001,,个,1,,\n", 3, 1, "不能为空"},
        {"number character", "N.2,名,使用,4.01.002,,,1.04.001,,个,1,,\n", 3, 1, "不能含有"},
        {"name empty", "NEW2,,使用,4.01.002,,,1.04.001,,个,1,,\n", 3, 2, "名称不能为空"},
        {"status", "NEW2,名,停用,4.01.002,,,1.04.001,,个,1,,\n", 3, 3, "状态"},
        {"parent unknown", "NEW2,名,使用,9.99.999,,,1.04.001,,个,1,,\n", 3, 4, "找不到对应的商品"},
        {"parent no assembly", "NEW2,名,使用,1.04.004,,,1.04.001,,个,1,,\n", 3, 4, "组合件"},
        {"parent aux", "NEW2,名,使用,4.01.002,99,,1.04.001,,个,1,,\n", 3, 5, "辅助属性"},
        {"header differs", "NEW1,别名,使用,4.01.002,,,1.04.004,,个,1,,\n", 3, 2, "不同"},
        {"no code", "NEW1,新清单,使用,4.01.002,,,,,个,,,\n", 3, 6, "请填写"},
        {"class unknown", "NEW1,新清单,使用,4.01.002,,R999,,,,1,,\n", 3, 6, "类别"},
        {"class and item", "NEW1,新清单,使用,4.01.002,,R001,1.04.004,,,1,,\n", 3, 7, "之一"},
        {"class aux", "NEW1,新清单,使用,4.01.002,,R001,,01,,1,,\n", 3, 8, "辅助属性"},
        {"child unknown", "NEW1,新清单,使用,4.01.002,,,9.99.999,,,1,,\n", 3, 7, "找不到对应的商品"},
        {"child is parent", "NEW1,新清单,使用,4.01.002,,,4.01.002,,,1,,\n", 3, 7, "相同"},
        {"child assembly", "NEW1,新清单,使用,4.01.002,,,4.01.001,,,1,,\n", 3, 7, "组合商品"},
        {"child twice", "NEW1,新清单,使用,4.01.002,,,1.04.001,,个,1,,\n", 3, 7, "第2行"},
        {"aux without class", "NEW1,新清单,使用,4.01.002,,,1.04.004,01,个,1,,\n", 3, 8, "没有辅助属性"},
        {"child aux unknown", "NEW1,新清单,使用,4.01.002,,,2.04.001,99,个,1,,\n", 3, 8, "辅助属性"},
        {"unit of other group", "NEW1,新清单,使用,4.01.002,,,1.04.004,,克,1,,\n", 3, 9, "计量单位"},
        {"quantity text", "NEW1,新清单,使用,4.01.002,,,1.04.004,,个,abc,,\n", 3, 10, "不是数字"},
        {"quantity negative", "NEW1,新清单,使用,4.01.002,,,1.04.004,,个,-1,,\n", 3, 10, "之间"},
        {"scrap too high", "NEW1,新清单,使用,4.01.002,,,1.04.004,,个,1,100,\n", 3, 11, "之间"},
        {"number exists", "BOM000001,名,使用,4.01.002,,,1.04.004,,个,1,,\n", 3, 1, "已存在"},
        {"not UTF-8", "NEW2,\xff,使用,4.01.002,,,1.04.004,,个,1,,\n", 3, 0, "UTF-8"},
        {"new without group", "", 2, 1, "类别", 0},
        {"group missing", "", 1, 0, "类别不存在", 9999},
    };
    auto db = TestDatabase::createSqlite(true);
    Connection &c = *db->connection();
    const QStringList before = snapshot(c);
    for (const Case &t : cases) {
        SCOPED_TRACE(t.name);
        const ImportResult r = importBoms(c, QByteArray(kHeader) + kValid + t.rows, {false, t.group, {}});
        ASSERT_EQ(r.issues.size(), 1u) << (r.issues.empty() ? std::string() : r.issues.front().text().toStdString());
        EXPECT_EQ(r.issues[0].line, t.line);
        EXPECT_EQ(r.issues[0].column, t.column);
        EXPECT_TRUE(r.issues[0].message.contains(QString::fromUtf8(t.says))) << r.issues[0].text().toStdString();
    }
    EXPECT_EQ(snapshot(c), before);
    // All problems together, in file order; a file without its header row is refused whole.
    const ImportResult both = importBoms(c, QByteArray(kHeader) + "NEW2,,停用,4.01.002,,,1.04.001,,个,x,,\n", {false, 2, {}});
    ASSERT_EQ(both.issues.size(), 3u);
    EXPECT_EQ(both.issues[2].text(), QStringLiteral("第2行第10列：数量不是数字：x"));
    EXPECT_EQ(importBoms(c, kValid, {false, 2, {}}).issues.at(0).line, 1);
}

class BomTools : public DatabaseTest
{
};

TEST_P(BomTools, ExportThenImportReproducesTheBoms)
{
    Connection &c = *connection();
    // A copy with a remark that needs quoting, and a BOM without lines. The
    // boards' group: the demo's machines hold sub-assemblies, which the
    // editor's rules refuse.
    const int32_t copy = copyBom(c, 1, QStringLiteral("BOM-COPY"));
    EXPECT_EQ(scalarOf(c, QStringLiteral("SELECT Count(*) FROM COM_BOM_Child WHERE FBOMID=") + sqlNumber(copy)),
              scalarOf(c, QStringLiteral("SELECT Count(*) FROM COM_BOM_Child WHERE FBOMID=1")));
    c.Execute(QStringLiteral("UPDATE COM_BOM_Child SET FRemark='a,\"b\"\nc ' WHERE FBOMEntryID=2 AND FBOMID=")
              + sqlNumber(copy));
    const QString parent = QStringLiteral(" FROM COM_Item WHERE FItemID=(SELECT FItemID FROM t_Item WHERE FNumber='4.01.002')");
    c.Execute(QStringLiteral("INSERT INTO COM_Bom(FBOMNumber,FBOMName,FBOMGroupID,FItemID,FAuxPropID,FMeasureUnitID,"
                             "FStatus) VALUES ('EMPTY','空清单',2,")
              + sqlNumber(scalarOf(c, QStringLiteral("SELECT FItemID") + parent)) + QStringLiteral(",0,")
              + sqlNumber(scalarOf(c, QStringLiteral("SELECT FBaseUnitID") + parent)) + QStringLiteral(",1)"));
    c.Execute(QStringLiteral("DELETE FROM COM_BOM_Child WHERE FBOMID IN (SELECT FBOMID FROM COM_BOM WHERE FBOMGroupID<>2)"));
    c.Execute(QStringLiteral("DELETE FROM COM_BOM WHERE FBOMGroupID<>2"));
    const QStringList before = snapshot(c);

    QBuffer file;
    file.open(QIODevice::WriteOnly);
    EXPECT_EQ(exportBoms(c, {0, 2}, file), int(before.size()));
    EXPECT_TRUE(file.data().startsWith("\xEF\xBB\xBF"));
    c.Execute(QStringLiteral("DELETE FROM COM_BOM_Child"));
    c.Execute(QStringLiteral("DELETE FROM COM_BOM"));

    const ImportResult added = importBoms(c, file.data(), {false, 3, {}});
    ASSERT_TRUE(added.ok()) << added.issues.front().text().toStdString();
    EXPECT_EQ(snapshot(c), before);
    EXPECT_EQ(scalarOf(c, QStringLiteral("SELECT Count(*) FROM COM_BOM WHERE FBOMGroupID<>3")), 0);
    // Again with replace: the same BOMs rewritten in place, in their groups.
    const ImportResult replaced = importBoms(c, file.data(), {true, 0, {}});
    ASSERT_TRUE(replaced.ok());
    EXPECT_EQ(replaced.replaced, added.added);
    EXPECT_EQ(snapshot(c), before);
}

TEST_P(BomTools, WhereUsedFindsClassLinesOfAMember)
{
    // 1.01.025 belongs to class R001, which BOM000001 names on its line 5.
    const WhereUsed r = whereUsed(*connection(), QStringLiteral("1.01.025"));
    ASSERT_NE(r.itemId, 0);
    const auto it = std::find_if(r.uses.begin(), r.uses.end(), [](const UseRow &u) {
        return u.viaClass && u.bomNumber == QStringLiteral("BOM000001");
    });
    ASSERT_NE(it, r.uses.end());
    const UseRow &u = *it;
    EXPECT_EQ(u.classNumber, QStringLiteral("R001"));
    EXPECT_EQ(u.entry, 5);
    EXPECT_DOUBLE_EQ(u.qty, 12);
    EXPECT_DOUBLE_EQ(u.scrapPercent, 1);
    // A plain child line is listed as such.
    const WhereUsed direct = whereUsed(*connection(), QStringLiteral("1.04.001"));
    ASSERT_FALSE(direct.uses.empty());
    EXPECT_FALSE(direct.uses.front().viaClass);
    EXPECT_EQ(whereUsed(*connection(), QStringLiteral("NO-SUCH")).itemId, 0);
}

TEST_P(BomTools, CopyRefusesAUsedNumber)
{
    Connection &c = *connection();
    const int boms = scalarOf(c, QStringLiteral("SELECT Count(*) FROM COM_BOM"));
    for (const QString &number : {QStringLiteral("bom000002"), QStringLiteral(" ")}) {
        try {
            copyBom(c, 1, number);
            ADD_FAILURE() << "copied to " << number.toStdString();
        } catch (const ComError &e) {
            EXPECT_TRUE(e.description().contains(number.trimmed().isEmpty() ? QStringLiteral("不能为空")
                                                                             : QStringLiteral("有重复")));
        }
    }
    EXPECT_EQ(scalarOf(c, QStringLiteral("SELECT Count(*) FROM COM_BOM")), boms);
}

TORVEL_INSTANTIATE_DATABASE_TEST(BomTools);

} // namespace
