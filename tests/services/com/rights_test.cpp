#include "comerrors.h"
#include "fakecomponents.h"
#include "printers.h"
#include "services/com/rights.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace torvel {
namespace {

using test::FakeSecurity;
using test::FakeShareProps;

// The security component decides, asked with the login string and the right
// in order as integers.
TEST(CheckRight, AnswersWhatTheSecurityComponentDecides)
{
    const std::pair<Variant, bool> cases[] = {
        {Variant(false), false}, {Variant(int32_t(-1)), true}, {Variant(int16_t(0)), false}, {Variant("True"), true},
    };
    FakeShareProps props(QStringLiteral("UserName=admin;UserID=7"));
    for (const auto &[answer, expected] : cases) {
        SCOPED_TRACE(answer.toString().toStdString());
        FakeSecurity security;
        security.answer(answer);
        EXPECT_EQ(CheckRight(501, 10, 4194304), expected);
        EXPECT_EQ(security.instancesCreated(), 1);
        ASSERT_EQ(security.calls().size(), 1u);
        const Args &args = security.calls()[0].args;
        ASSERT_EQ(args.size(), 4u);
        EXPECT_EQ(args[0].type(), Variant::Type::String);
        EXPECT_EQ(args[0].toString(), QStringLiteral("UserName=admin;UserID=7"));
        const int32_t right[] = {501, 10, 4194304};
        for (size_t i = 1; i < 4; ++i) {
            EXPECT_EQ(args[i].type(), Variant::Type::Int32) << "argument " << i;
            EXPECT_EQ(args[i].toInt32(), right[i - 1]);
        }
    }
    // An answer that is no boolean is an error, not a denial.
    FakeSecurity security;
    security.answer(Variant::null());
    EXPECT_THROW(CheckRight(kRightSubject, kRightOperation, kRightFlags), ComError);
}

TEST(GetSharedProperty, AsksForTheNameUnderThisProcessIdAndReturnsWhatItHolds)
{
    FakeShareProps props;
    auto object = std::make_shared<host::LookupParamsObject>();
    props.setProperty(QStringLiteral("Session"), Variant(ObjectPtr(object)));
    props.setProperty(QStringLiteral("Year"), Variant(int32_t(2026)));

    const Variant year = GetSharedProperty(QStringLiteral("Year"));
    EXPECT_EQ(year.type(), Variant::Type::Int32);
    EXPECT_EQ(year.toInt32(), 2026);
    ASSERT_EQ(props.calls().size(), 1u);
    const Args &args = props.calls()[0].args;
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[0].type(), Variant::Type::Int32);
    EXPECT_EQ(args[0].toInt32(), int32_t(QCoreApplication::applicationPid()));
    EXPECT_EQ(args[1].toString(), QStringLiteral("Year"));

    EXPECT_EQ(GetSharedProperty(QStringLiteral("Session")).toObject().get(), object.get());
    EXPECT_EQ(GetPropsString(), QStringLiteral("UserName=tester;UserID=1"));
}

// Every failure on the way reaches the caller with its own number, source
// and description; none of them becomes a "no".
TEST(CheckRight, RaisesEveryFailureUnchanged)
{
    const QString security = QStringLiteral("PlatBase.SecurityInfo"), shareProps = QStringLiteral("PropHub.ShareProps");
    const ComError accessFailed(-2147217900, security, QStringLiteral("用户会话已失效"));
    const ComError propsFailed(91, shareProps, QStringLiteral("未登录"));
    const ComError missing(errc::CannotCreateObject, QString(), QString());
    const struct {
        const char *name;
        QString missingProgId;
        std::optional<ComError> accessError, propsError;
        const ComError &expected;
    } cases[] = {
        {"access check fails", {}, accessFailed, std::nullopt, accessFailed},
        {"getproperty fails", {}, std::nullopt, propsFailed, propsFailed},
        {"no security component", security, std::nullopt, std::nullopt, missing},
        {"no share-props component", shareProps, std::nullopt, std::nullopt, missing},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // A scoped factory restores what was there: without one the ProgID is unknown.
        std::optional<FakeSecurity> fakeSecurity;
        std::optional<FakeShareProps> fakeProps;
        if (c.missingProgId != security)
            fakeSecurity.emplace(true);
        if (c.missingProgId != shareProps)
            fakeProps.emplace();
        if (c.accessError)
            fakeSecurity->fail(*c.accessError);
        if (c.propsError)
            fakeProps->fail(*c.propsError);
        const ComError error = test::errorOf([] { CheckRight(kRightSubject, kRightOperation, kRightFlags); });
        EXPECT_EQ(error.number(), c.expected.number());
        if (c.missingProgId.isEmpty()) {
            EXPECT_EQ(error.source(), c.expected.source());
            EXPECT_EQ(error.description(), c.expected.description());
        } else {
            EXPECT_TRUE(error.description().contains(c.missingProgId)) << error.description().toStdString();
        }
    }
}

} // namespace
} // namespace torvel
