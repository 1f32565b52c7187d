#include "services/com/dispatch.h"

#include "services/com/connectionobject.h"

#include <algorithm>

namespace torvel {

namespace {

QString hexId(DispId id)
{
    return QStringLiteral("0x%1").arg(quint32(id), 8, 16, QLatin1Char('0'));
}

ComError memberNotFound(const QString &source, const QString &what)
{
    return ComError(errc::MemberNotFound, source, errtext::kMemberNotFound + what);
}

} // namespace

QString varTypeName(VarType type)
{
    switch (type) {
    case VarType::Variant: return QStringLiteral("Variant");
    case VarType::Bool: return QStringLiteral("Boolean");
    case VarType::Int16: return QStringLiteral("Integer");
    case VarType::Int32: return QStringLiteral("Long");
    case VarType::Double: return QStringLiteral("Double");
    case VarType::Date: return QStringLiteral("Date");
    case VarType::String: return QStringLiteral("String");
    case VarType::Object: return QStringLiteral("Object");
    }
    return QStringLiteral("Variant");
}

Variant convertTo(const Variant &value, VarType type)
{
    switch (type) {
    case VarType::Variant: return value;
    case VarType::Bool: return Variant(value.toBool());
    case VarType::Int16: return Variant(value.toInt16());
    case VarType::Int32: return Variant(value.toInt32());
    case VarType::Double: return Variant(value.toDouble());
    case VarType::Date: return Variant::date(value.toDate());
    case VarType::String: return Variant(value.toString());
    case VarType::Object:
        // Nothing (an object variant holding no object) is a valid object argument.
        if (value.isObject())
            return value;
        throw ComError(errc::TypeMismatch, QString(),
                       QStringLiteral("类型不匹配: 需要对象, 得到 ") + value.typeName());
    }
    return value;
}

// ---------------------------------------------------------------------------

Variant DispatchObject::get(const QString &name)
{
    Args args;
    return invoke(idOfName(name), InvokeKind::PropertyGet, args);
}

Variant DispatchObject::get(const QString &name, Args &args)
{
    return invoke(idOfName(name), InvokeKind::PropertyGet, args);
}

void DispatchObject::put(const QString &name, const Variant &value)
{
    Args args{value};
    invoke(idOfName(name), InvokeKind::PropertyPut, args);
}

Variant DispatchObject::call(const QString &name, Args &args)
{
    return invoke(idOfName(name), InvokeKind::Method, args);
}

Variant DispatchObject::call(const QString &name, std::initializer_list<Variant> args)
{
    Args list(args);
    return invoke(idOfName(name), InvokeKind::Method, list);
}

// ---------------------------------------------------------------------------

DispId MemberTableObject::idOfName(const QString &name) const
{
    for (const auto &[id, member] : m_members) {
        if (member.info.name.compare(name, Qt::CaseInsensitive) == 0)
            return id;
    }
    throw memberNotFound(className(), name);
}

Variant MemberTableObject::invoke(DispId id, InvokeKind kind, Args &args)
{
    const auto it = m_members.find(id);
    if (it == m_members.end())
        throw memberNotFound(className(), hexId(id));
    const Member &member = it->second;
    const QString &name = member.info.name;

    switch (kind) {
    case InvokeKind::Method: {
        if (!member.method)
            throw memberNotFound(className(), name + QStringLiteral(" (不是方法)"));
        Args converted = prepareArgs(member, args, 0);
        Variant result = member.method(converted);
        writeBack(member, converted, args);
        return member.info.typed ? convertTo(result, member.info.valueType) : result;
    }
    case InvokeKind::PropertyGet: {
        if (member.info.isMethod)
            throw memberNotFound(className(), name + QStringLiteral(" (不是属性)"));
        if (!member.get)
            throw ComError(errc::PropertyWriteOnly, className(), QStringLiteral("属性是只写的: ") + name);
        Args converted = prepareArgs(member, args, 0);
        Variant result = member.get(converted);
        writeBack(member, converted, args);
        return result;
    }
    case InvokeKind::PropertyPut: {
        if (member.info.isMethod)
            throw memberNotFound(className(), name + QStringLiteral(" (不是属性)"));
        if (!member.put)
            throw ComError(errc::PropertyReadOnly, className(), QStringLiteral("属性是只读的: ") + name);
        if (args.empty())
            throw ComError(errc::WrongArgumentCount, className(),
                           QStringLiteral("错误的参数个数或无效的属性赋值: ") + name);
        Args converted = prepareArgs(member, args, 1);
        Variant value = converted.back();
        converted.pop_back();
        if (member.info.typed) {
            try {
                value = convertTo(value, member.info.valueType);
            } catch (const ComError &e) {
                throw ArgumentError(e.number(), className(),
                                    name + QStringLiteral(" 的值: ") + e.description(), int(args.size()) - 1);
            }
        }
        member.put(value, converted);
        converted.push_back(value);
        writeBack(member, converted, args);
        return Variant();
    }
    }
    throw memberNotFound(className(), name);
}

Args MemberTableObject::prepareArgs(const Member &member, Args &args, size_t valueSlots) const
{
    if (!member.info.typed)
        return args;   // untyped members see the caller's values; writeBack copies all of them
    const auto &params = member.info.params;
    const size_t given = args.size() - valueSlots;
    const size_t required = size_t(std::count_if(params.begin(), params.end(),
                                                 [](const Param &p) { return !p.optional; }));
    if (given < required || given > params.size())
        throw ComError(errc::WrongArgumentCount, className(),
                       QStringLiteral("错误的参数个数或无效的属性赋值: %1 需要 %2 个参数, 得到 %3 个")
                           .arg(member.info.name)
                           .arg(required == params.size() ? QString::number(required)
                                                          : QStringLiteral("%1-%2").arg(required).arg(params.size()))
                           .arg(given));
    Args converted;
    converted.reserve(args.size());
    for (size_t i = 0; i < given; ++i) {
        try {
            converted.push_back(convertTo(args[i], params[i].type));
        } catch (const ComError &e) {
            const QString label = params[i].name.isEmpty() ? QString::number(i + 1) : params[i].name;
            throw ArgumentError(e.number(), className(),
                                member.info.name + QStringLiteral(" 的参数 ") + label + QStringLiteral(": ")
                                    + e.description(),
                                int(i));
        }
    }
    for (size_t i = given; i < args.size(); ++i)
        converted.push_back(args[i]);
    return converted;
}

void MemberTableObject::writeBack(const Member &member, const Args &converted, Args &args) const
{
    const size_t n = std::min(converted.size(), args.size());
    for (size_t i = 0; i < n; ++i) {
        if (!member.info.typed || (i < member.info.params.size() && member.info.params[i].byRef))
            args[i] = converted[i];
    }
}

std::vector<QString> MemberTableObject::memberNames() const
{
    std::vector<QString> names;
    names.reserve(m_order.size());
    for (DispId id : m_order)
        names.push_back(m_members.at(id).info.name);
    return names;
}

std::vector<MemberInfo> MemberTableObject::members() const
{
    std::vector<MemberInfo> list;
    list.reserve(m_order.size());
    for (DispId id : m_order)
        list.push_back(m_members.at(id).info);
    return list;
}

const MemberInfo *MemberTableObject::memberInfo(DispId id) const
{
    const auto it = m_members.find(id);
    return it == m_members.end() ? nullptr : &it->second.info;
}

void MemberTableObject::add(Member member)
{
    const DispId id = member.info.id;
    if (m_members.find(id) == m_members.end())
        m_order.push_back(id);
    m_members[id] = std::move(member);
}

void MemberTableObject::addProperty(const QString &name, DispId id, Getter get, Setter put)
{
    Member m;
    m.info.name = name;
    m.info.id = id;
    m.info.canGet = bool(get);
    m.info.canPut = bool(put);
    m.get = std::move(get);
    m.put = std::move(put);
    add(std::move(m));
}

void MemberTableObject::addMethod(const QString &name, DispId id, Method fn)
{
    Member m;
    m.info.name = name;
    m.info.id = id;
    m.info.isMethod = true;
    m.method = std::move(fn);
    add(std::move(m));
}

void MemberTableObject::addProperty(const QString &name, DispId id, VarType type, Getter get, Setter put,
                                    std::vector<Param> indexParams)
{
    Member m;
    m.info.name = name;
    m.info.id = id;
    m.info.canGet = bool(get);
    m.info.canPut = bool(put);
    m.info.typed = true;
    m.info.params = std::move(indexParams);
    m.info.valueType = type;
    m.get = std::move(get);
    m.put = std::move(put);
    add(std::move(m));
}

void MemberTableObject::addMethod(const QString &name, DispId id, std::vector<Param> params, Method fn,
                                  VarType result)
{
    Member m;
    m.info.name = name;
    m.info.id = id;
    m.info.isMethod = true;
    m.info.typed = true;
    m.info.params = std::move(params);
    m.info.valueType = result;
    m.method = std::move(fn);
    add(std::move(m));
}

DispId MemberTableObject::nextFreeId() const
{
    return m_members.empty() ? 1 : m_members.rbegin()->first + 1;
}

// ---------------------------------------------------------------------------

ObjectRegistry &ObjectRegistry::instance()
{
    // The library's own creatable object is there from the start.
    static ObjectRegistry registry = [] {
        ObjectRegistry r;
        registerConnectionObject(r);
        return r;
    }();
    return registry;
}

void ObjectRegistry::registerFactory(const QString &progId, Factory factory)
{
    m_factories[progId.toLower()] = std::move(factory);
}

void ObjectRegistry::unregisterFactory(const QString &progId)
{
    m_factories.erase(progId.toLower());
}

bool ObjectRegistry::isRegistered(const QString &progId) const
{
    const auto it = m_factories.find(progId.toLower());
    return it != m_factories.end() && it->second;
}

ObjectRegistry::Factory ObjectRegistry::factory(const QString &progId) const
{
    const auto it = m_factories.find(progId.toLower());
    return it == m_factories.end() ? Factory() : it->second;
}

ObjectPtr ObjectRegistry::create(const QString &progId) const
{
    const Factory f = factory(progId);
    if (!f)
        throw ComError(errc::CannotCreateObject, progId,
                       errtext::kCannotCreateObject + progId);
    ObjectPtr object = f();
    if (!object)
        throw ComError(errc::CannotCreateObject, progId,
                       errtext::kCannotCreateObject + progId);
    return object;
}

ScopedFactory::ScopedFactory(const QString &progId, ObjectRegistry::Factory factory)
    : m_progId(progId), m_previous(ObjectRegistry::instance().factory(progId))
{
    ObjectRegistry::instance().registerFactory(progId, std::move(factory));
}

ScopedFactory::~ScopedFactory()
{
    if (m_previous)
        ObjectRegistry::instance().registerFactory(m_progId, std::move(m_previous));
    else
        ObjectRegistry::instance().unregisterFactory(m_progId);
}

} // namespace torvel
