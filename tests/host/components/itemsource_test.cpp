// The pick lists' queries and the security component on every database
// backend the tests have.

#include "components/components.h"
#include "components/itemfilter.h"
#include "components/picklist.h"
#include "components/sources.h"
#include "dbfixture.h"
#include "pickrows.h"
#include "printers.h"
#include "services/com/rights.h"

#include <gtest/gtest.h>

namespace torvel {
namespace {

class ItemSource : public test::DatabaseTest
{
protected:
    bool withDemoData() const override { return false; }
    void SetUp() override
    {
        DatabaseTest::SetUp();
        for (const char *sql : kPickRows)
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

TEST_P(ItemSource, FindsByNumberShortNumberOrNameWithinTheFilterOnePageAtATime)
{
    const struct { const char *filter, *text; QStringList expected; } cases[] = {
        {"", "", {"1.01", "1.02", "2.01", "2.02", "3.01"}},
        {" X2.FIsBOM=1 ", "", {"1.01"}},
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
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.filter << " / " << c.text);
        host::ItemPickSource source(connection(), host::buildItemFilter(QString::fromUtf8(c.filter), QStringLiteral("t")));
        EXPECT_EQ(numbers(source.fetch(QString::fromUtf8(c.text), host::PickListDialog::kPageSize)), c.expected);
    }
    host::ItemPickSource source(connection(), QString());
    const host::PickPage page = source.fetch(QString(), 3);
    EXPECT_EQ(numbers(page), (QStringList{"1.01", "1.02", "2.01"}));
    EXPECT_TRUE(page.more);
    EXPECT_FALSE(source.fetch(QString(), 5).more);
}

TORVEL_INSTANTIATE_DATABASE_TEST(ItemSource);

class SecurityComponent : public test::DatabaseTest
{
};

// The demo users: 'admin' holds the right to change BOMs, 'guest' holds none.
TEST_P(SecurityComponent, DecidesFromTheDemoUsersRights)
{
    const std::pair<const char *, bool> users[] = {{"admin", true}, {"guest", false}, {"nobody", false}};
    for (const auto &[user, granted] : users) {
        SCOPED_TRACE(user);
        host::registerDefaultComponents(connection(), QString::fromLatin1(user));
        EXPECT_EQ(CheckRight(kRightSubject, kRightOperation, kRightFlags), granted);
        host::unregisterDefaultComponents();
    }
}

TORVEL_INSTANTIATE_DATABASE_TEST(SecurityComponent);

} // namespace
} // namespace torvel
