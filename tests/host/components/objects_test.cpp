#include "components/components.h"
#include "components/itemfilter.h"
#include "components/lookupobjects.h"
#include "printers.h"

#include <gtest/gtest.h>

namespace torvel {
namespace {

using host::buildItemFilter;

TEST(ItemFilter, RebuildsConditionsFromTheirParts)
{
    const std::pair<const char *, const char *> cases[] = {
        {" X2.FIsBOM=1 ", "X2.FIsBOM = 1"},
        {"x2.freplaceclassid = -3", "X2.FReplaceClassID = -3"},
        {"X2.FQtyScale>=2.5", "X2.FQtyScale >= 2.5"},
        {"X2.FAuxClassID != 0", "X2.FAuxClassID <> 0"},
        {"X2.FModel='A''B' and X2.FIsBOM<>1", "X2.FModel = 'A''B' AND X2.FIsBOM <> 1"},
        {"(X2.FIsBOM=1 OR X2.FReplaceClassID=7) AND X2.FUnitGroupID=2",
         "(X2.FIsBOM = 1 OR X2.FReplaceClassID = 7) AND X2.FUnitGroupID = 2"},
        {"   ", ""},
    };
    for (const auto &[filter, expected] : cases) {
        SCOPED_TRACE(filter);
        EXPECT_EQ(buildItemFilter(QString::fromUtf8(filter), QStringLiteral("t")), QString::fromUtf8(expected));
    }
}

TEST(ItemFilter, RefusesWhatCannotBeApplied)
{
    const char *filters[] = {
        " X2.FReplaceClassID=",            // no value: the completion line without a class
        "X2.FReplaceClassID=7 AND",
        "X2.FIsBOM=1; DROP TABLE t_Item",
        "X2.FIsBOM=1 OR 1=1",              // a comparison that names no column
        "X2.FPassword=1",                  // not an item column
        "T.FIsBOM=1",                     // another alias, on an item column
        "FIsBOM=1",
        "X2.FModel='open",
        "(X2.FIsBOM=1",
        "X2.FIsBOM=X2.FAuxClassID",
        "X2.FIsBOM=1 -- comment",
    };
    for (const char *filter : filters) {
        SCOPED_TRACE(filter);
        try {
            const QString sql = buildItemFilter(QString::fromUtf8(filter), QStringLiteral("PickView.GLView"));
            ADD_FAILURE() << "accepted as " << sql.toStdString();
        } catch (const ComError &error) {
            EXPECT_EQ(error.number(), errc::InvalidFilter);
            EXPECT_EQ(error.source(), QStringLiteral("PickView.GLView"));
            EXPECT_TRUE(error.description().contains(QString::fromUtf8(filter).trimmed()));
        }
    }
}

TEST(LookupParams, KeepsNamesInTheOrderFirstSetAndReadsThemBack)
{
    ScopedFactory factory(QStringLiteral("LookupParams"), [] { return host::createLookupParams(); });
    ObjectPtr params = CreateObject(QStringLiteral("LookupParams"));
    params->put(QStringLiteral("BeShortNumber"), Variant(false));
    params->put(QStringLiteral("GetDataType"), Variant(int16_t(1)));
    params->put(QStringLiteral("LookupKey"), Variant("1.01"));
    params->put(QStringLiteral("getdatatype"), Variant(int16_t(2)));   // a second assignment keeps its place

    EXPECT_EQ(params->get(QStringLiteral("GETDATATYPE")).toInt32(), 2);
    EXPECT_TRUE(params->get(QStringLiteral("NeverSet")).isEmpty());
    auto *bag = dynamic_cast<host::LookupParamsObject *>(params.get());
    ASSERT_NE(bag, nullptr);
    std::vector<QString> names;
    for (const auto &entry : bag->entries())
        names.push_back(entry.first);
    EXPECT_EQ(names, (std::vector<QString>{"BeShortNumber", "GetDataType", "LookupKey"}));
    EXPECT_EQ(bag->assignments().size(), 4u);
    EXPECT_FALSE(bag->contains(QStringLiteral("NeverSet")));   // reading does not add it
}

TEST(PropsString, CarriesTheUserNameWhateverItContains)
{
    for (const QString &name : {QStringLiteral("admin"), QStringLiteral("a;b=c%d"), QStringLiteral("张三")}) {
        const QString props = host::makePropsString(name, 42);
        EXPECT_EQ(host::propsValue(props, QStringLiteral("username")), name) << props.toStdString();
        EXPECT_EQ(host::propsValue(props, QStringLiteral("ProcessID")), QStringLiteral("42"));
    }
    EXPECT_EQ(host::propsValue(QStringLiteral("Other=1"), QStringLiteral("UserName")), QString());
}

} // namespace
} // namespace torvel
