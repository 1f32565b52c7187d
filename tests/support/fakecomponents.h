#pragma once

// Scripted stand-ins for the host platform's outside components. Each fake
// registers its ProgID for the lifetime of the fake (ScopedFactory), records
// every call with the arguments as passed, and answers from a script.

#include "components/lookupobjects.h"
#include "services/com/dispatch.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace torvel::test {

// ---------------------------------------------------------------------------
// PickView.GLView (and LookupParams)

struct PickAnswer
{
    enum class Kind { Cancel, Choose, Fail };
    Kind kind = Kind::Cancel;
    host::LookupRowObject::Data row;
    std::optional<ComError> error;

    static PickAnswer cancel();
    static PickAnswer choose(host::LookupRowObject::Data row);
    // An item row as the item pick list returns it: Properties FName, FModel,
    // FBaseUnitID, FUnitGroupID, FAuxClassID, FQtyScale; MeasureUnitID is the
    // base unit.
    static PickAnswer item(int32_t itemId, const QString &number, const QString &name,
                           const QString &model, int32_t baseUnitId, int32_t unitGroupId,
                           int32_t auxClassId, int16_t qtyScale = 0);
    // A unit row as UnitLookup returns it.
    static PickAnswer unit(int32_t measureUnitId, const QString &number, const QString &name,
                           int32_t unitGroupId = 0);
    static PickAnswer fail(ComError error);
};

struct PickCall
{
    QString method;   // "ItemLookup" or "UnitLookup"
    Args args;        // as passed, types kept (the class code arrives as Int16)
    // The LookupParams object's names in the order first set, with values,
    // read when the call arrived; empty when no LookupParams was passed.
    std::vector<host::LookupParamsObject::Entry> params;
    bool paramsPassed = false;   // the 4th argument was a LookupParams object
};

class FakePickView
{
public:
    // Registers PickView.GLView and, unless told otherwise, LookupParams
    // (a real key/value object) for the lifetime of this object.
    explicit FakePickView(bool registerLookupParams = true);
    ~FakePickView();
    FakePickView(const FakePickView &) = delete;
    FakePickView &operator=(const FakePickView &) = delete;

    // Answers are used in order, one per call; with none left a call cancels.
    void enqueue(PickAnswer answer);
    const std::vector<PickCall> &calls() const;
    int instancesCreated() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
    std::unique_ptr<ScopedFactory> m_glView;
    std::unique_ptr<ScopedFactory> m_params;
};

// ---------------------------------------------------------------------------
// BaseFind.clsBase

struct BaseFindAnswer
{
    bool chosen = false;
    QString name;
    int32_t innerId = 0;
    QString code;
    std::optional<ComError> error;

    static BaseFindAnswer cancel();
    static BaseFindAnswer choose(const QString &name, int32_t innerId, const QString &code);
    static BaseFindAnswer fail(ComError error);
};

// One created clsBase: the properties set on it in order, and its Show calls.
struct BaseFindSession
{
    std::vector<std::pair<QString, Variant>> assignments;
    int shows = 0;
    // The last value assigned to a property, Empty when never set.
    Variant value(const QString &name) const;
    // Property names in the order assigned.
    std::vector<QString> names() const;
};

class FakeBaseFind
{
public:
    FakeBaseFind();
    ~FakeBaseFind();
    FakeBaseFind(const FakeBaseFind &) = delete;
    FakeBaseFind &operator=(const FakeBaseFind &) = delete;

    // Answers are used in order, one per Show; with none left Show cancels.
    void enqueue(BaseFindAnswer answer);
    const std::vector<BaseFindSession> &sessions() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
    ScopedFactory m_factory;
};

// ---------------------------------------------------------------------------
// PlatBase.SecurityInfo and PropHub.ShareProps: one-method components

struct ComponentCall
{
    QString method;
    Args args;   // as passed, types kept
};

// A scripted component with one method: records every call and answers it
// with `reply`, or throws the error it was told to fail with.
class ScriptedComponent
{
public:
    using Reply = std::function<Variant(const Args &)>;
    ScriptedComponent(const QString &progId, const QString &method, Reply reply);
    ~ScriptedComponent();
    ScriptedComponent(const ScriptedComponent &) = delete;
    ScriptedComponent &operator=(const ScriptedComponent &) = delete;

    void reply(Reply reply);   // also ends a fail()
    void fail(ComError error);
    const std::vector<ComponentCall> &calls() const;
    int instancesCreated() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
    ScopedFactory m_factory;
};

// AccessCheck answers what it was told (a Boolean, a text, Null, ...).
class FakeSecurity : public ScriptedComponent
{
public:
    explicit FakeSecurity(bool allow = true);
    void deny() { answer(Variant(false)); }
    void answer(const Variant &value);
};

// getproperty(pid, name) answers the value set for the name, any process id.
class FakeShareProps : public ScriptedComponent
{
public:
    explicit FakeShareProps(const QString &propsString = QStringLiteral("UserName=tester;UserID=1"));
    void setProperty(const QString &name, const Variant &value);

private:
    std::shared_ptr<std::vector<std::pair<QString, Variant>>> m_properties;
};

} // namespace torvel::test
