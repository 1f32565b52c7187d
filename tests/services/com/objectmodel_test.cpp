// The object model: members by name and id, typed arguments, by-reference
// write-back, property get with arguments, errors, and the ProgID registry.

#include "services/com/dispatch.h"

#include "comerrors.h"
#include "printers.h"

#include <gtest/gtest.h>

#include <map>

using namespace torvel;
using torvel::test::errorOf;

namespace {

// Shaped like the outside components the library talks to: a property with
// an index argument, a method with by-reference outputs, read-only and
// write-only properties, and an untyped method that sees the caller's slots.
class Sample : public MemberTableObject
{
public:
    Sample()
    {
        addProperty(QStringLiteral("Properties"), 1, VarType::String,
                    [this](Args &a) { return Variant(m_props[a[0].toString().toLower()]); },
                    [this](const Variant &v, Args &a) { m_props[a[0].toString().toLower()] = v.toString(); },
                    {{QStringLiteral("Name"), VarType::String}});
        addProperty(QStringLiteral("Count"), 2, VarType::Int32, [this](Args &) { return Variant(m_count); });
        addProperty(QStringLiteral("Input"), 3, VarType::Int32, {},
                    [this](const Variant &v, Args &) { m_count = v.toInt32(); lastPutType = v.type(); });
        addMethod(QStringLiteral("AccessCheck"), 4,
                  {{QStringLiteral("Subject"), VarType::Int32},
                   {QStringLiteral("Allowed"), VarType::Bool, true},
                   {QStringLiteral("Note"), VarType::String, true, true}},
                  [this](Args &a) {
                      lastTypes.clear();
                      for (const auto &v : a)
                          lastTypes.push_back(v.type());
                      a[1] = Variant(a[0].toInt32() == 501);
                      if (a.size() > 2)
                          a[2] = Variant(QStringLiteral("checked"));
                      a[0] = Variant(int32_t(-1));   // by value: the caller never sees this
                      return Variant(int32_t(7));
                  },
                  VarType::Int32);
        addMethod(QStringLiteral("Loose"), 5, [](Args &a) {
            for (auto &v : a)
                v = Variant(v.toString() + QStringLiteral("!"));
            return Variant(int32_t(a.size()));
        });
        addMethod(QStringLiteral("Describe"), 6, {{QStringLiteral("Text"), VarType::String}},
                  [](Args &a) { return a[0]; }, VarType::String);
    }
    QString className() const override { return QStringLiteral("Test.Sample"); }

    int32_t m_count = 0;
    std::map<QString, QString> m_props;
    std::vector<Variant::Type> lastTypes;
    Variant::Type lastPutType = Variant::Type::Empty;
};

} // namespace

// Names in any case, ids and kinds as declared: the C interface's type library
// test reads them for every member of the public classes.
TEST(ObjectModel, ArgumentsByValueAndByReference)
{
    Sample s;
    Args put{Variant(QStringLiteral("FName")), Variant(QStringLiteral("螺丝"))};
    s.invoke(1, InvokeKind::PropertyPut, put);
    Args get{Variant(QStringLiteral("fname"))};
    EXPECT_EQ(s.get(QStringLiteral("Properties"), get).toString(), QStringLiteral("螺丝"));
    EXPECT_EQ(get[0].toString(), QStringLiteral("fname"));   // an index is by value

    Args a{Variant(int32_t(501)), Variant(false), Variant(QStringLiteral("x"))};
    EXPECT_EQ(s.invoke(4, InvokeKind::Method, a).toInt32(), 7);
    EXPECT_EQ(a[0].toInt32(), 501) << "by-value argument changed";
    EXPECT_TRUE(a[1].toBool());
    EXPECT_EQ(a[2].toString(), QStringLiteral("checked"));

    Args loose{Variant(QStringLiteral("a")), Variant(int32_t(1))};
    EXPECT_EQ(s.call(QStringLiteral("loose"), loose).toInt32(), 2);
    EXPECT_EQ(loose[0].toString(), QStringLiteral("a!"));
    EXPECT_EQ(loose[1].toString(), QStringLiteral("1!"));
}

// The conversions themselves are Variant's; here that a declared type applies
// them to a copy, and a failure names the argument.
TEST(ObjectModel, ArgumentsConvertToDeclaredTypesOrNameTheArgument)
{
    struct Case { const char *label; Variant in; int32_t number; int32_t value; };
    const Case cases[] = {
        {"16-bit where 32-bit declared", Variant(int16_t(501)), 0, 501},
        {"double rounds half to even", Variant(2.5), 0, 2},
        {"text that is no number", Variant(QStringLiteral("abc")), errc::TypeMismatch, 0},
        {"Null", Variant::null(), errc::TypeMismatch, 0},
        {"too large for 32 bits", Variant(3e10), errc::Overflow, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        Sample s;
        Args a{c.in, Variant()};
        Args put{c.in};
        if (c.number) {
            const ComError e = errorOf([&] { s.invoke(4, InvokeKind::Method, a); });
            EXPECT_EQ(e.number(), c.number);
            EXPECT_EQ(e.source(), QStringLiteral("Test.Sample"));
            EXPECT_TRUE(e.description().contains(QStringLiteral("Subject"))) << e.what();
            EXPECT_EQ(errorOf([&] { s.invoke(3, InvokeKind::PropertyPut, put); }).number(), c.number);
            continue;
        }
        s.invoke(4, InvokeKind::Method, a);
        ASSERT_EQ(s.lastTypes.size(), 2u);
        EXPECT_EQ(s.lastTypes[0], Variant::Type::Int32);
        EXPECT_EQ(a[0].type(), c.in.type()) << "by-value slot was converted in place";
        s.invoke(3, InvokeKind::PropertyPut, put);
        EXPECT_EQ(s.lastPutType, Variant::Type::Int32);
        EXPECT_EQ(s.m_count, c.value);
    }
    Sample s;
    EXPECT_EQ(s.call(QStringLiteral("Describe"), {Variant(int32_t(12))}).toString(), QStringLiteral("12"));
}

TEST(ObjectModel, WrongMemberKindOrCountIsAnError)
{
    Sample s;
    struct Case { const char *label; DispId id; InvokeKind kind; Args args; int32_t number; };
    const std::vector<Case> cases = {
        {"unknown id", 0x7777, InvokeKind::Method, {}, errc::MemberNotFound},
        {"method read as property", 4, InvokeKind::PropertyGet, {}, errc::MemberNotFound},
        {"property called as method", 2, InvokeKind::Method, {}, errc::MemberNotFound},
        {"put on a read-only property", 2, InvokeKind::PropertyPut, {Variant(int32_t(1))}, errc::PropertyReadOnly},
        {"get on a write-only property", 3, InvokeKind::PropertyGet, {}, errc::PropertyWriteOnly},
        {"put without a value", 3, InvokeKind::PropertyPut, {}, errc::WrongArgumentCount},
        {"too few arguments", 4, InvokeKind::Method, {Variant(int32_t(1))}, errc::WrongArgumentCount},
        {"too many arguments", 4, InvokeKind::Method,
         {Variant(int32_t(1)), Variant(), Variant(), Variant()}, errc::WrongArgumentCount},
        {"index argument missing", 1, InvokeKind::PropertyGet, {}, errc::WrongArgumentCount},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.label);
        const ComError e = errorOf([&] { s.invoke(c.id, c.kind, c.args); });
        EXPECT_EQ(e.number(), c.number);
        EXPECT_EQ(e.source(), QStringLiteral("Test.Sample"));
        EXPECT_FALSE(e.description().isEmpty());
    }
    const ComError byName = errorOf([&] { s.get(QStringLiteral("NoSuchThing")); });
    EXPECT_EQ(byName.number(), errc::MemberNotFound);
    EXPECT_TRUE(byName.description().contains(QStringLiteral("NoSuchThing")));
}

TEST(ObjectRegistry, CreatesByProgIdAndScopedFactoriesRestore)
{
    const QString progId = QStringLiteral("Test.Registry.Sample");
    const ComError missing = errorOf([&] { CreateObject(progId); });
    EXPECT_EQ(missing.number(), errc::CannotCreateObject);
    EXPECT_TRUE(missing.description().contains(progId));

    int outerMade = 0;
    int innerMade = 0;
    {
        ScopedFactory outer(progId, [&] { ++outerMade; return std::make_shared<Sample>(); });
        EXPECT_EQ(CreateObject(QStringLiteral("test.registry.SAMPLE"))->className(), QStringLiteral("Test.Sample"));
        {
            ScopedFactory inner(progId, [&] { ++innerMade; return std::make_shared<Sample>(); });
            CreateObject(progId);
        }
        CreateObject(progId);
        EXPECT_EQ(outerMade, 2);
        EXPECT_EQ(innerMade, 1);
        ScopedFactory broken(progId, [] { return ObjectPtr(); });
        EXPECT_EQ(errorOf([&] { CreateObject(progId); }).number(), errc::CannotCreateObject);
    }
    EXPECT_FALSE(ObjectRegistry::instance().isRegistered(progId));
}
