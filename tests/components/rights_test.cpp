#include "fakecomponents.h"
#include "printers.h"
#include "services/rights.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace torvel {
namespace {

using test::FakeSecurity;
using test::FakeShareProps;

int32_t pid()
{
    return int32_t(QCoreApplication::applicationPid());
}

TEST(CheckRight, AnswersWhatTheSecurityComponentDecides)
{
    struct Case {
        const char *name;
        Variant answer;
        bool expected;
    };
    const Case cases[] = {
        {"true", Variant(true), true},
        {"false", Variant(false), false},
        {"minus one", Variant(int32_t(-1)), true},
        {"zero", Variant(int16_t(0)), false},
        {"text True", Variant("True"), true},
    };
    FakeShareProps props;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakeSecurity security;
        security.answer(c.answer);
        EXPECT_EQ(CheckRight(kRightSubject, kRightOperation, kRightFlags), c.expected);
        EXPECT_EQ(security.instancesCreated(), 1);
    }
}

TEST(CheckRight, PassesTheLoginStringAndTheRightInOrderAsIntegers)
{
    FakeShareProps props(QStringLiteral("UserName=admin;UserID=7"));
    FakeSecurity security;
    ASSERT_TRUE(CheckRight(501, 10, 4194304));

    ASSERT_EQ(security.calls().size(), 1u);
    const Args &args = security.calls()[0].args;
    ASSERT_EQ(args.size(), 4u);
    EXPECT_EQ(args[0].type(), Variant::Type::String);
    EXPECT_EQ(args[0].toString(), QStringLiteral("UserName=admin;UserID=7"));
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(args[size_t(i)].type(), Variant::Type::Int32) << "argument " << i;
    EXPECT_EQ(args[1].toInt32(), 501);
    EXPECT_EQ(args[2].toInt32(), 10);
    EXPECT_EQ(args[3].toInt32(), 4194304);
}

TEST(GetSharedProperty, AsksForTheNameUnderThisProcessId)
{
    FakeShareProps props;
    props.setProperty(QStringLiteral("Company"), Variant("ACME"));
    EXPECT_EQ(GetSharedProperty(QStringLiteral("Company")).toString(), QStringLiteral("ACME"));

    ASSERT_EQ(props.calls().size(), 1u);
    const Args &args = props.calls()[0].args;
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[0].type(), Variant::Type::Int32);
    EXPECT_EQ(args[0].toInt32(), pid());
    EXPECT_EQ(args[1].type(), Variant::Type::String);
    EXPECT_EQ(args[1].toString(), QStringLiteral("Company"));
}

TEST(GetSharedProperty, ReturnsAnObjectAsTheObjectAndAValueAsTheValue)
{
    FakeShareProps props;
    auto object = std::make_shared<host::LookupParamsObject>();
    props.setProperty(QStringLiteral("Session"), Variant(ObjectPtr(object)));
    props.setProperty(QStringLiteral("Year"), Variant(int32_t(2026)));

    const Variant session = GetSharedProperty(QStringLiteral("Session"));
    ASSERT_TRUE(session.isObject());
    EXPECT_EQ(session.toObject().get(), object.get());
    const Variant year = GetSharedProperty(QStringLiteral("Year"));
    EXPECT_EQ(year.type(), Variant::Type::Int32);
    EXPECT_EQ(year.toInt32(), 2026);
    EXPECT_EQ(GetPropsString(), QStringLiteral("UserName=tester;UserID=1"));
}

// Every failure on the way reaches the caller with its own number, source
// and description; none of them becomes a "no".
TEST(CheckRight, RaisesEveryFailureUnchanged)
{
    const ComError accessFailed(-2147217900, QStringLiteral("PlatBase.SecurityInfo"), QStringLiteral("用户会话已失效"));
    const ComError propsFailed(91, QStringLiteral("PropHub.ShareProps"), QStringLiteral("未登录"));

    struct Case {
        const char *name;
        bool security;
        bool shareProps;
        std::optional<ComError> accessError;
        std::optional<ComError> propsError;
        int32_t number;
        QString source;
        QString description;
    };
    const Case cases[] = {
        {"access check fails", true, true, accessFailed, std::nullopt,
         accessFailed.number(), accessFailed.source(), accessFailed.description()},
        {"getproperty fails", true, true, std::nullopt, propsFailed,
         propsFailed.number(), propsFailed.source(), propsFailed.description()},
        {"no security component", false, true, std::nullopt, std::nullopt,
         errc::CannotCreateObject, QString(), QString()},
        {"no share-props component", true, false, std::nullopt, std::nullopt,
         errc::CannotCreateObject, QString(), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<FakeSecurity> security;
        std::optional<FakeShareProps> props;
        // A scoped factory restores what was there; without one the ProgID
        // must be unknown for this case.
        if (c.security)
            security.emplace(true);
        if (c.shareProps)
            props.emplace();
        ASSERT_EQ(ObjectRegistry::instance().isRegistered(QStringLiteral("PlatBase.SecurityInfo")), c.security);
        ASSERT_EQ(ObjectRegistry::instance().isRegistered(QStringLiteral("PropHub.ShareProps")), c.shareProps);
        if (c.accessError)
            security->fail(*c.accessError);
        if (c.propsError)
            props->fail(*c.propsError);

        try {
            const bool granted = CheckRight(kRightSubject, kRightOperation, kRightFlags);
            ADD_FAILURE() << "no error, answered " << granted;
        } catch (const ComError &error) {
            EXPECT_EQ(error.number(), c.number);
            if (c.number != errc::CannotCreateObject) {
                EXPECT_EQ(error.source(), c.source);
                EXPECT_EQ(error.description(), c.description);
            } else {
                const QString progId = c.security ? QStringLiteral("PropHub.ShareProps")
                                                  : QStringLiteral("PlatBase.SecurityInfo");
                EXPECT_TRUE(error.description().contains(progId, Qt::CaseInsensitive)) << error.description().toStdString();
            }
        }
    }
}

TEST(CheckRight, AnAnswerThatIsNoBooleanIsAnErrorNotADenial)
{
    FakeShareProps props;
    FakeSecurity security;
    security.answer(Variant::null());
    EXPECT_THROW(CheckRight(kRightSubject, kRightOperation, kRightFlags), ComError);
}

} // namespace
} // namespace torvel
