#pragma once

// Scripted stand-ins for the host platform's outside components: one generic
// scripted component, registered under its ProgID while it lives, that
// records every call and property assignment as passed and answers from a
// script; the pick list, the base lookup, the security check and the shared
// properties are set up on it.

#include "components/lookupobjects.h"
#include "services/com/dispatch.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace torvel::test {

struct ComponentCall
{
    QString member;   // a method, or "Name=" for a property assignment
    Args args;        // as passed, types kept; an assignment's value alone
    int instance;     // which created object, from 0
};

class ScriptedComponent
{
public:
    // The instance's properties: what was assigned, and what a reply sets
    // for the caller to read back (BaseFind's Return* after Show).
    using Properties = QMap<QString, Variant>;
    using Reply = std::function<Variant(const Args &, Properties &)>;

    // A method call takes the next queued reply, else the standing one;
    // properties can be assigned and read back. Members take the dispatch
    // ids given, else ids counted from 1.
    ScriptedComponent(const QString &progId, const QStringList &methods, Reply reply,
                      const QStringList &properties = {}, const QMap<QString, DispId> &ids = {});
    ~ScriptedComponent();
    ScriptedComponent(const ScriptedComponent &) = delete;
    ScriptedComponent &operator=(const ScriptedComponent &) = delete;

    void enqueue(Reply next);   // an empty one takes the standing reply
    void clearCalls();
    void reply(Reply reply);   // the standing reply; also ends a fail()
    void fail(ComError error);  // every call throws it
    void answer(const Variant &value);   // a standing reply of one value
    const std::vector<ComponentCall> &calls() const;
    int instancesCreated() const;
    // "Name=value" joined by '|': the properties one instance was given, in
    // order (objects show as <object>).
    QString assignments(int instance = 0) const;

    struct State;

private:
    std::shared_ptr<State> m_state;
    ScopedFactory m_factory;
};

// A reply that throws `error` (one queued failure).
ScriptedComponent::Reply failWith(ComError error);

// PickView.GLView (ItemLookup, UnitLookup) with LookupParams registered
// beside it; a call with nothing queued is cancelled.
class FakePickView : public ScriptedComponent
{
public:
    FakePickView();

private:
    ScopedFactory m_params;
};

// An item row as the item pick list returns it: Properties FName, FModel,
// FBaseUnitID, FUnitGroupID, FAuxClassID, FQtyScale; MeasureUnitID is the
// base unit.
ScriptedComponent::Reply pickItem(int32_t itemId, const QString &number, const QString &name,
                                  const QString &model, int32_t baseUnitId, int32_t unitGroupId,
                                  int32_t auxClassId, int16_t qtyScale = 0);
// A unit row as UnitLookup returns it.
ScriptedComponent::Reply pickUnit(int32_t measureUnitId, const QString &number, const QString &name,
                                  int32_t unitGroupId = 0);
// The LookupParams an ItemLookup call passed, as "name=value" joined by '|'.
QString lookupParams(const ComponentCall &call);

// BaseFind.clsBase: its inputs as properties; Show with nothing queued cancels.
class FakeBaseFind : public ScriptedComponent
{
public:
    FakeBaseFind();
};

// Show choosing a row.
ScriptedComponent::Reply baseFindChoice(const QString &name, int32_t innerId, const QString &code);

// PlatBase.SecurityInfo: AccessCheck answers what it was told.
class FakeSecurity : public ScriptedComponent
{
public:
    explicit FakeSecurity(bool allow = true);
    void deny() { answer(Variant(false)); }
};

// PropHub.ShareProps: getproperty(pid, name) answers the value set for the
// name, any process id.
class FakeShareProps : public ScriptedComponent
{
public:
    explicit FakeShareProps(const QString &propsString = QStringLiteral("UserName=tester;UserID=1"));
    void setProperty(const QString &name, const Variant &value);

private:
    std::shared_ptr<std::vector<std::pair<QString, Variant>>> m_properties;
};

} // namespace torvel::test
