#include "fakecomponents.h"

#include <deque>
#include <optional>

namespace torvel::test {

using host::LookupParamsObject;
using host::LookupResultObject;
using host::LookupRowObject;

struct ScriptedComponent::State
{
    std::deque<Reply> queued;
    Reply reply;
    std::optional<ComError> error;
    std::vector<ComponentCall> calls;
    int created = 0;
};

namespace {

class ScriptedObject : public MemberTableObject
{
public:
    ScriptedObject(std::shared_ptr<ScriptedComponent::State> state, const QString &className,
                   const QStringList &methods, const QStringList &properties, const QMap<QString, DispId> &ids)
        : m_state(std::move(state))
        , m_className(className)
        , m_instance(m_state->created++)
    {
        DispId next = 1;
        for (const QString &name : properties) {
            addProperty(
                name, ids.value(name, next++), [this, name](Args &) { return m_properties.value(name); },
                [this, name](const Variant &value, Args &) {
                    m_state->calls.push_back({name + u'=', {value}, m_instance});
                    m_properties[name] = value;
                });
        }
        for (const QString &name : methods) {
            addMethod(name, ids.value(name, next++), [this, name](Args &args) {
                m_state->calls.push_back({name, args, m_instance});
                if (m_state->error)
                    throw *m_state->error;
                Reply next;
                if (!m_state->queued.empty()) {
                    next = std::move(m_state->queued.front());
                    m_state->queued.pop_front();
                }
                if (!next)
                    next = m_state->reply;
                return next ? next(args, m_properties) : Variant();
            });
        }
    }
    QString className() const override { return m_className; }

private:
    using Reply = ScriptedComponent::Reply;
    std::shared_ptr<ScriptedComponent::State> m_state;
    QString m_className;
    int m_instance;
    ScriptedComponent::Properties m_properties;
};

QString shown(const Variant &value)
{
    if (value.isObject())
        return QStringLiteral("<object>");
    return value.isNull() ? QStringLiteral("<null>") : value.toString();
}

} // namespace

ScriptedComponent::ScriptedComponent(const QString &progId, const QStringList &methods, Reply reply,
                                     const QStringList &properties, const QMap<QString, DispId> &ids)
    : m_state(std::make_shared<State>())
    , m_factory(progId, [state = m_state, className = progId.section(u'.', -1), methods, properties, ids]() -> ObjectPtr {
        return std::make_shared<ScriptedObject>(state, className, methods, properties, ids);
    })
{
    m_state->reply = std::move(reply);
}

ScriptedComponent::~ScriptedComponent() = default;

void ScriptedComponent::enqueue(Reply next)
{
    m_state->queued.push_back(std::move(next));
}

void ScriptedComponent::reply(Reply reply)
{
    m_state->error.reset();
    m_state->reply = std::move(reply);
}

void ScriptedComponent::fail(ComError error)
{
    m_state->error = std::move(error);
}

void ScriptedComponent::answer(const Variant &value)
{
    reply([value](const Args &, Properties &) { return value; });
}

void ScriptedComponent::clearCalls()
{
    m_state->calls.clear();
}

const std::vector<ComponentCall> &ScriptedComponent::calls() const
{
    return m_state->calls;
}

int ScriptedComponent::instancesCreated() const
{
    return m_state->created;
}

QString ScriptedComponent::assignments(int instance) const
{
    QStringList out;
    for (const ComponentCall &call : m_state->calls) {
        if (call.instance == instance && call.member.endsWith(u'='))
            out << call.member + shown(call.args.at(0));
    }
    return out.join(u'|');
}

ScriptedComponent::Reply failWith(ComError error)
{
    return [error](const Args &, ScriptedComponent::Properties &) -> Variant { throw error; };
}

// ---------------------------------------------------------------------------
// PickView.GLView

FakePickView::FakePickView()
    : ScriptedComponent(QStringLiteral("PickView.GLView"), {QStringLiteral("ItemLookup"), QStringLiteral("UnitLookup")},
                        [](const Args &, Properties &) { return Variant(LookupResultObject::cancelled()); })
    , m_params(QStringLiteral("LookupParams"), []() -> ObjectPtr { return std::make_shared<LookupParamsObject>(); })
{
}

namespace {

ScriptedComponent::Reply choose(LookupRowObject::Data row)
{
    return [row](const Args &, ScriptedComponent::Properties &) { return Variant(LookupResultObject::chosen(row)); };
}

} // namespace

ScriptedComponent::Reply pickItem(int32_t itemId, const QString &number, const QString &name, const QString &model,
                                  int32_t baseUnitId, int32_t unitGroupId, int32_t auxClassId, int16_t qtyScale)
{
    return choose({number, name, itemId, baseUnitId,
                   {{QStringLiteral("FNumber"), Variant(number)},
                    {QStringLiteral("FName"), Variant(name)},
                    {QStringLiteral("FModel"), Variant(model)},
                    {QStringLiteral("FBaseUnitID"), Variant(baseUnitId)},
                    {QStringLiteral("FUnitGroupID"), Variant(unitGroupId)},
                    {QStringLiteral("FAuxClassID"), Variant(auxClassId)},
                    {QStringLiteral("FQtyScale"), Variant(qtyScale)}}});
}

ScriptedComponent::Reply pickUnit(int32_t measureUnitId, const QString &number, const QString &name,
                                  int32_t unitGroupId)
{
    return choose({number, name, measureUnitId, measureUnitId,
                   {{QStringLiteral("FNumber"), Variant(number)},
                    {QStringLiteral("FName"), Variant(name)},
                    {QStringLiteral("FUnitGroupID"), Variant(unitGroupId)}}});
}

QString lookupParams(const ComponentCall &call)
{
    QStringList out;
    if (call.args.size() >= 4 && call.args[3].isObject()) {
        if (auto params = std::dynamic_pointer_cast<LookupParamsObject>(call.args[3].toObject())) {
            for (const auto &[name, value] : params->entries())
                out << name + u'=' + shown(value);
        }
    }
    return out.join(u'|');
}

// ---------------------------------------------------------------------------
// BaseFind.clsBase

FakeBaseFind::FakeBaseFind()
    : ScriptedComponent(QStringLiteral("BaseFind.clsBase"), {QStringLiteral("Show")},
                        baseFindChoice(QString(), 0, QString()),
                        {QStringLiteral("ActiveConnection"), QStringLiteral("ItemID"), QStringLiteral("ItemClass"),
                         QStringLiteral("AuxFilter"), QStringLiteral("OnlyDetail"), QStringLiteral("ReturnName"),
                         QStringLiteral("ReturnInnerID"), QStringLiteral("ReturnCode")})
{
}

ScriptedComponent::Reply baseFindChoice(const QString &name, int32_t innerId, const QString &code)
{
    return [=](const Args &, ScriptedComponent::Properties &properties) {
        properties[QStringLiteral("ReturnName")] = Variant(name);
        properties[QStringLiteral("ReturnInnerID")] = Variant(innerId);
        properties[QStringLiteral("ReturnCode")] = Variant(code);
        return Variant();
    };
}

// ---------------------------------------------------------------------------
// PlatBase.SecurityInfo and PropHub.ShareProps

FakeSecurity::FakeSecurity(bool allow)
    : ScriptedComponent(QStringLiteral("PlatBase.SecurityInfo"), {QStringLiteral("AccessCheck")},
                        [allow](const Args &, Properties &) { return Variant(allow); })
{
}

FakeShareProps::FakeShareProps(const QString &propsString)
    : ScriptedComponent(QStringLiteral("PropHub.ShareProps"), {QStringLiteral("getproperty")}, {})
    , m_properties(std::make_shared<std::vector<std::pair<QString, Variant>>>())
{
    reply([properties = m_properties](const Args &args, Properties &) {
        if (args.size() < 2)
            throw ComError(errc::InvalidProcedureCall, QStringLiteral("ShareProps"), QStringLiteral("getproperty 需要两个参数"));
        for (const auto &[key, value] : *properties) {
            if (key.compare(args[1].toString(), Qt::CaseInsensitive) == 0)
                return value;
        }
        return Variant();
    });
    setProperty(QStringLiteral("PropsString"), Variant(propsString));
}

void FakeShareProps::setProperty(const QString &name, const Variant &value)
{
    for (auto &[key, stored] : *m_properties) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            stored = value;
            return;
        }
    }
    m_properties->emplace_back(name, value);
}

} // namespace torvel::test
