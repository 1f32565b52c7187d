#include "fakecomponents.h"

#include <deque>

namespace torvel::test {

using host::LookupParamsObject;
using host::LookupResultObject;
using host::LookupRowObject;

// ---------------------------------------------------------------------------
// PickView.GLView

PickAnswer PickAnswer::cancel()
{
    return PickAnswer{};
}

PickAnswer PickAnswer::choose(LookupRowObject::Data row)
{
    PickAnswer answer;
    answer.kind = Kind::Choose;
    answer.row = std::move(row);
    return answer;
}

PickAnswer PickAnswer::item(int32_t itemId, const QString &number, const QString &name,
                            const QString &model, int32_t baseUnitId, int32_t unitGroupId,
                            int32_t auxClassId, int16_t qtyScale)
{
    LookupRowObject::Data row;
    row.number = number;
    row.name = name;
    row.itemId = itemId;
    row.measureUnitId = baseUnitId;
    row.properties = {
        {QStringLiteral("FNumber"), Variant(number)},
        {QStringLiteral("FName"), Variant(name)},
        {QStringLiteral("FModel"), Variant(model)},
        {QStringLiteral("FBaseUnitID"), Variant(baseUnitId)},
        {QStringLiteral("FUnitGroupID"), Variant(unitGroupId)},
        {QStringLiteral("FAuxClassID"), Variant(auxClassId)},
        {QStringLiteral("FQtyScale"), Variant(qtyScale)},
    };
    return choose(std::move(row));
}

PickAnswer PickAnswer::unit(int32_t measureUnitId, const QString &number, const QString &name,
                            int32_t unitGroupId)
{
    LookupRowObject::Data row;
    row.number = number;
    row.name = name;
    row.itemId = measureUnitId;
    row.measureUnitId = measureUnitId;
    row.properties = {
        {QStringLiteral("FNumber"), Variant(number)},
        {QStringLiteral("FName"), Variant(name)},
        {QStringLiteral("FUnitGroupID"), Variant(unitGroupId)},
    };
    return choose(std::move(row));
}

PickAnswer PickAnswer::fail(ComError error)
{
    PickAnswer answer;
    answer.kind = Kind::Fail;
    answer.error = std::move(error);
    return answer;
}

struct FakePickView::State
{
    std::deque<PickAnswer> answers;
    std::vector<PickCall> calls;
    int created = 0;

    ObjectPtr answer()
    {
        if (answers.empty())
            return LookupResultObject::cancelled();
        PickAnswer next = std::move(answers.front());
        answers.pop_front();
        switch (next.kind) {
        case PickAnswer::Kind::Cancel: return LookupResultObject::cancelled();
        case PickAnswer::Kind::Choose: return LookupResultObject::chosen(std::move(next.row));
        case PickAnswer::Kind::Fail: throw *next.error;
        }
        return LookupResultObject::cancelled();
    }
};

namespace {

class ScriptedGLView : public MemberTableObject
{
public:
    explicit ScriptedGLView(std::shared_ptr<FakePickView::State> state)
        : m_state(std::move(state))
    {
        addMethod(QStringLiteral("ItemLookup"), 1, [this](Args &args) {
            PickCall call{QStringLiteral("ItemLookup"), args, {}, false};
            if (args.size() >= 4 && args[3].isObject()) {
                if (auto params = std::dynamic_pointer_cast<LookupParamsObject>(args[3].toObject())) {
                    call.params = params->entries();
                    call.paramsPassed = true;
                }
            }
            m_state->calls.push_back(std::move(call));
            return Variant(m_state->answer());
        });
        addMethod(QStringLiteral("UnitLookup"), 2, [this](Args &args) {
            m_state->calls.push_back(PickCall{QStringLiteral("UnitLookup"), args, {}, false});
            return Variant(m_state->answer());
        });
    }
    QString className() const override { return QStringLiteral("GLView"); }

private:
    std::shared_ptr<FakePickView::State> m_state;
};

} // namespace

FakePickView::FakePickView(bool registerLookupParams)
    : m_state(std::make_shared<State>())
{
    auto state = m_state;
    m_glView = std::make_unique<ScopedFactory>(QStringLiteral("PickView.GLView"), [state]() -> ObjectPtr {
        ++state->created;
        return std::make_shared<ScriptedGLView>(state);
    });
    if (registerLookupParams) {
        m_params = std::make_unique<ScopedFactory>(QStringLiteral("LookupParams"), []() -> ObjectPtr {
            return std::make_shared<LookupParamsObject>();
        });
    }
}

FakePickView::~FakePickView() = default;

void FakePickView::enqueue(PickAnswer answer)
{
    m_state->answers.push_back(std::move(answer));
}

const std::vector<PickCall> &FakePickView::calls() const
{
    return m_state->calls;
}

int FakePickView::instancesCreated() const
{
    return m_state->created;
}

// ---------------------------------------------------------------------------
// BaseFind.clsBase

BaseFindAnswer BaseFindAnswer::cancel()
{
    return BaseFindAnswer{};
}

BaseFindAnswer BaseFindAnswer::choose(const QString &name, int32_t innerId, const QString &code)
{
    BaseFindAnswer answer;
    answer.chosen = true;
    answer.name = name;
    answer.innerId = innerId;
    answer.code = code;
    return answer;
}

BaseFindAnswer BaseFindAnswer::fail(ComError error)
{
    BaseFindAnswer answer;
    answer.error = std::move(error);
    return answer;
}

Variant BaseFindSession::value(const QString &name) const
{
    for (auto it = assignments.rbegin(); it != assignments.rend(); ++it) {
        if (it->first.compare(name, Qt::CaseInsensitive) == 0)
            return it->second;
    }
    return Variant();
}

std::vector<QString> BaseFindSession::names() const
{
    std::vector<QString> result;
    for (const auto &assignment : assignments)
        result.push_back(assignment.first);
    return result;
}

struct FakeBaseFind::State
{
    std::deque<BaseFindAnswer> answers;
    std::vector<BaseFindSession> sessions;
};

namespace {

class ScriptedBaseFind : public MemberTableObject
{
public:
    ScriptedBaseFind(std::shared_ptr<FakeBaseFind::State> state, size_t sessionIndex)
        : m_state(std::move(state))
        , m_session(sessionIndex)
    {
        DispId id = 1;
        for (const char *name : {"ActiveConnection", "ItemID", "ItemClass", "AuxFilter", "OnlyDetail"}) {
            const QString property = QString::fromLatin1(name);
            addProperty(
                property, id++, [this, property](Args &) { return session().value(property); },
                [this, property](const Variant &value, Args &) { session().assignments.emplace_back(property, value); });
        }
        addMethod(QStringLiteral("Show"), id++, [this](Args &) {
            ++session().shows;
            m_result = BaseFindAnswer::cancel();
            if (!m_state->answers.empty()) {
                BaseFindAnswer next = std::move(m_state->answers.front());
                m_state->answers.pop_front();
                if (next.error)
                    throw *next.error;
                m_result = std::move(next);
            }
            return Variant();
        });
        addProperty(QStringLiteral("ReturnName"), id++, [this](Args &) { return Variant(m_result.name); });
        addProperty(QStringLiteral("ReturnInnerID"), id++, [this](Args &) { return Variant(m_result.innerId); });
        addProperty(QStringLiteral("ReturnCode"), id++, [this](Args &) { return Variant(m_result.code); });
    }
    QString className() const override { return QStringLiteral("clsBase"); }

private:
    BaseFindSession &session() { return m_state->sessions[m_session]; }

    std::shared_ptr<FakeBaseFind::State> m_state;
    size_t m_session;
    BaseFindAnswer m_result;
};

} // namespace

FakeBaseFind::FakeBaseFind()
    : m_state(std::make_shared<State>())
    , m_factory(QStringLiteral("BaseFind.clsBase"), [state = m_state]() -> ObjectPtr {
        state->sessions.emplace_back();
        return std::make_shared<ScriptedBaseFind>(state, state->sessions.size() - 1);
    })
{
}

FakeBaseFind::~FakeBaseFind() = default;

void FakeBaseFind::enqueue(BaseFindAnswer answer)
{
    m_state->answers.push_back(std::move(answer));
}

const std::vector<BaseFindSession> &FakeBaseFind::sessions() const
{
    return m_state->sessions;
}

// ---------------------------------------------------------------------------
// One-method components

struct ScriptedComponent::State
{
    Reply reply;
    std::optional<ComError> error;
    std::vector<ComponentCall> calls;
    int created = 0;
};

namespace {

class ScriptedObject : public MemberTableObject
{
public:
    ScriptedObject(std::shared_ptr<ScriptedComponent::State> state, const QString &className, const QString &method)
        : m_state(std::move(state))
        , m_className(className)
    {
        addMethod(method, 1, [this, method](Args &args) {
            m_state->calls.push_back(ComponentCall{method, args});
            if (m_state->error)
                throw *m_state->error;
            return m_state->reply(args);
        });
    }
    QString className() const override { return m_className; }

private:
    std::shared_ptr<ScriptedComponent::State> m_state;
    QString m_className;
};

} // namespace

ScriptedComponent::ScriptedComponent(const QString &progId, const QString &method, Reply reply)
    : m_state(std::make_shared<State>())
    , m_factory(progId, [state = m_state, className = progId.section(u'.', -1), method]() -> ObjectPtr {
        ++state->created;
        return std::make_shared<ScriptedObject>(state, className, method);
    })
{
    m_state->reply = std::move(reply);
}

ScriptedComponent::~ScriptedComponent() = default;

void ScriptedComponent::reply(Reply reply)
{
    m_state->error.reset();
    m_state->reply = std::move(reply);
}

void ScriptedComponent::fail(ComError error)
{
    m_state->error = std::move(error);
}

const std::vector<ComponentCall> &ScriptedComponent::calls() const
{
    return m_state->calls;
}

int ScriptedComponent::instancesCreated() const
{
    return m_state->created;
}

FakeSecurity::FakeSecurity(bool allow)
    : ScriptedComponent(QStringLiteral("PlatBase.SecurityInfo"), QStringLiteral("AccessCheck"),
                        [allow](const Args &) { return Variant(allow); })
{
}

void FakeSecurity::answer(const Variant &value)
{
    reply([value](const Args &) { return value; });
}

FakeShareProps::FakeShareProps(const QString &propsString)
    : ScriptedComponent(QStringLiteral("PropHub.ShareProps"), QStringLiteral("getproperty"), {})
    , m_properties(std::make_shared<std::vector<std::pair<QString, Variant>>>())
{
    reply([properties = m_properties](const Args &args) {
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
