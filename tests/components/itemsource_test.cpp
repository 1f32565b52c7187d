// The pick lists' queries and the security component on every database
// backend the tests have.

#include "components/components.h"
#include "components/itemfilter.h"
#include "components/picklist.h"
#include "components/sources.h"
#include "dbfixture.h"
#include "printers.h"
#include "services/rights.h"

#include <gtest/gtest.h>

namespace torvel {
namespace {

const char *const kItems[] = {
    "INSERT INTO t_Item (FItemID, FNumber, FName, FDetail, FShortNumber, FItemClassID) VALUES"
    " (1, '1.01', '机箱', 1, 'JX', 4), (2, '1.02', '主板', 1, 'ZB', 4),"
    " (3, '2.01', '螺丝 M3', 1, 'LS', 4), (4, '2.02', 'Screw Box', 1, 'SB', 4),"
    " (5, '3.01', '100%_纯铜', 1, 'TT', 4)",
    "INSERT INTO COM_Item (FItemID, FModel, FAuxClassID, FUnitGroupID, FBaseUnitID, FQtyScale, FReplaceClassID, FIsBOM)"
    " VALUES (1, 'M-100', 900, 1, 10, 2, 0, 1), (2, 'Z-1', 0, 1, 10, 0, 7, 0),"
    " (3, NULL, 0, 2, 12, 3, 7, 0), (4, 'S-9', 0, 1, 11, 0, 8, 0), (5, '', 0, 1, 10, 0, 0, 0)",
    "INSERT INTO t_MeasureUnit (FMeasureUnitID, FItemID, FNumber, FName, FUnitGroupID) VALUES"
    " (10, 10, 'PCS', '个', 1), (11, 11, 'BOX', '箱', 1), (12, 12, 'KG', '千克', 2)",
};

class ItemSource : public test::DatabaseTest
{
protected:
    bool withDemoData() const override { return false; }
    void SetUp() override
    {
        DatabaseTest::SetUp();
        for (const char *sql : kItems)
            connection()->Execute(QString::fromUtf8(sql));
    }
};

QStringList numbers(const host::PickPage &page)
{
    QStringList result;
    const int column = int(page.fields.indexOf(QStringLiteral("FNumber")));
    for (const auto &row : page.rows)
        result << row[size_t(column)].toString();
    return result;
}

TEST_P(ItemSource, FindsByNumberShortNumberOrNameWithinTheFilter)
{
    struct Case {
        const char *filter;
        const char *text;
        QStringList expected;
    };
    const Case cases[] = {
        {"", "", {"1.01", "1.02", "2.01", "2.02", "3.01"}},
        {" X2.FIsBOM=1 ", "", {"1.01"}},
        {" X2.FIsBOM=0 ", "", {"1.02", "2.01", "2.02", "3.01"}},
        {" X2.FReplaceClassID=7", "", {"1.02", "2.01"}},
        {"", "2.0", {"2.01", "2.02"}},
        {"", "jx", {"1.01"}},                  // short number, any case
        {"", "SCREW", {"2.02"}},               // name, any case
        {"", "主", {"1.02"}},
        {"", "m3", {"2.01"}},                  // nothing starts with it: contains
        {"", "*1", {"1.01", "1.02", "2.01", "3.01"}},
        {"", "%", {"3.01"}},                   // a wildcard typed is a character
        {"", "_", {"3.01"}},
        {"", "'", {}},
        {" X2.FIsBOM=1 ", "2.0", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.filter << " / " << c.text);
        host::ItemPickSource source(connection(), host::buildItemFilter(QString::fromUtf8(c.filter), QStringLiteral("t")));
        EXPECT_EQ(numbers(source.fetch(QString::fromUtf8(c.text), host::PickListDialog::kPageSize)), c.expected);
    }
}

TEST_P(ItemSource, HoldsOnePageAndSaysThereIsMore)
{
    host::ItemPickSource source(connection(), QString());
    const host::PickPage page = source.fetch(QString(), 3);
    EXPECT_EQ(numbers(page), (QStringList{"1.01", "1.02", "2.01"}));
    EXPECT_TRUE(page.more);
    const host::PickPage all = source.fetch(QString(), 5);
    EXPECT_EQ(all.rows.size(), 5u);
    EXPECT_FALSE(all.more);
}

TORVEL_INSTANTIATE_DATABASE_TEST(ItemSource);

class SecurityComponent : public test::DatabaseTest
{
};

// The demo users: 'admin' holds the right to change BOMs, 'guest' holds none.
TEST_P(SecurityComponent, DecidesFromTheDemoUsersRights)
{
    const struct {
        const char *user;
        bool granted;
    } cases[] = {{"admin", true}, {"guest", false}, {"nobody", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.user);
        host::registerDefaultComponents(connection(), QString::fromLatin1(c.user));
        EXPECT_EQ(CheckRight(kRightSubject, kRightOperation, kRightFlags), c.granted);
        host::unregisterDefaultComponents();
    }
    // Without the host's components the check cannot be asked: an error.
    EXPECT_THROW(CheckRight(kRightSubject, kRightOperation, kRightFlags), ComError);
}

TORVEL_INSTANTIATE_DATABASE_TEST(SecurityComponent);

} // namespace
} // namespace torvel
