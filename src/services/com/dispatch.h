#pragma once

#include "services/com/variant.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <vector>

namespace torvel {

using DispId = int32_t;

enum class InvokeKind { Method = 1, PropertyGet = 2, PropertyPut = 4 };

// Arguments in call order. A by-reference argument is written back into its
// slot, so the caller reads it again after the call (AccessCheck, getproperty).
// For PropertyPut the new value is the last argument, after any index arguments.
using Args = std::vector<Variant>;

// Error numbers of the object model beyond the common ones, as the platform
// numbered them, so a host recognises them.
namespace errc {
inline constexpr int32_t PropertyReadOnly = 383;     // put on a property without a setter
inline constexpr int32_t PropertyWriteOnly = 394;    // get on a property without a getter
inline constexpr int32_t WrongArgumentCount = 450;
} // namespace errc

// The declared type of an argument or property value. A declared type makes
// the object model convert what the caller passed (a 16-bit integer where a
// 32-bit one is declared, a number in a text) with Variant's conversions.
enum class VarType { Variant, Bool, Int16, Int32, Double, Date, String, Object };

struct Param
{
    QString name;
    VarType type = VarType::Variant;
    bool byRef = false;      // the callee's value is written back into the caller's slot
    bool optional = false;   // may be left off at the end of the list
};

// A conversion failure of one argument: the conversion's number and text,
// and which argument (0-based, in call order) it was.
class ArgumentError : public ComError
{
public:
    ArgumentError(int32_t number, QString source, QString description, int argIndex)
        : ComError(number, std::move(source), std::move(description)), m_argIndex(argIndex) {}
    int argIndex() const { return m_argIndex; }

private:
    int m_argIndex;
};

// Converts a value to a declared type; throws ComError (TypeMismatch, Overflow,
// ObjectRequired) as Variant's conversions do. Dates come back as Variant::date.
Variant convertTo(const Variant &value, VarType type);
QString varTypeName(VarType type);   // "Long", "Integer", "String", ...

// What a member is, for type libraries, the C interface and tests.
struct MemberInfo
{
    QString name;
    DispId id = 0;
    bool isMethod = false;
    bool canGet = false;
    bool canPut = false;
    bool typed = false;               // params and valueType were declared
    std::vector<Param> params;        // method arguments, or property index arguments
    VarType valueType = VarType::Variant;   // property value or method result
};

// Our replacement for late-bound automation: members reached by name or by
// dispatch id. Implementations throw ComError for every failure.
class DispatchObject : public std::enable_shared_from_this<DispatchObject>
{
public:
    virtual ~DispatchObject() = default;

    virtual QString className() const = 0;
    // Case-insensitive; throws MemberNotFound (438) for an unknown name.
    virtual DispId idOfName(const QString &name) const = 0;
    virtual Variant invoke(DispId id, InvokeKind kind, Args &args) = 0;

    // Late-bound conveniences, as the calling code reads.
    Variant get(const QString &name);
    Variant get(const QString &name, Args &args);
    void put(const QString &name, const Variant &value);
    Variant call(const QString &name, Args &args);
    Variant call(const QString &name, std::initializer_list<Variant> args = {});
};

// The usual way to write an object: a table of members with fixed ids.
class MemberTableObject : public DispatchObject
{
public:
    using Getter = std::function<Variant(Args &args)>;
    using Setter = std::function<void(const Variant &value, Args &args)>;
    using Method = std::function<Variant(Args &args)>;

    DispId idOfName(const QString &name) const override;
    Variant invoke(DispId id, InvokeKind kind, Args &args) override;

    // Names in declaration order, for the type library and for tests.
    std::vector<QString> memberNames() const;
    std::vector<MemberInfo> members() const;
    // nullptr for an unknown id.
    const MemberInfo *memberInfo(DispId id) const;

protected:
    // A null getter or setter makes the property write-only or read-only.
    // Untyped members take any arguments unchanged, by reference.
    void addProperty(const QString &name, DispId id, Getter get, Setter put = {});
    void addMethod(const QString &name, DispId id, Method fn);
    // Typed members: the argument count is checked (WrongArgumentCount) and
    // each argument converted to its declared type before the call; a put
    // value is converted to `type`. By-reference arguments are written back.
    void addProperty(const QString &name, DispId id, VarType type, Getter get, Setter put = {},
                     std::vector<Param> indexParams = {});
    void addMethod(const QString &name, DispId id, std::vector<Param> params, Method fn,
                   VarType result = VarType::Variant);
    // Members of objects that have no fixed ids take the next free one.
    DispId nextFreeId() const;

private:
    struct Member {
        MemberInfo info;
        Getter get;
        Setter put;
        Method method;
    };
    void add(Member member);
    // The arguments the implementation sees: converted copies for typed members.
    Args prepareArgs(const Member &member, Args &args, size_t valueSlots) const;
    void writeBack(const Member &member, const Args &converted, Args &args) const;
    std::map<DispId, Member> m_members;
    std::vector<DispId> m_order;
};

// Creates objects by ProgID from factories registered in this process.
class ObjectRegistry
{
public:
    using Factory = std::function<ObjectPtr()>;

    static ObjectRegistry &instance();

    // Replaces an earlier factory for the same ProgID (tests override this way).
    void registerFactory(const QString &progId, Factory factory);
    void unregisterFactory(const QString &progId);
    bool isRegistered(const QString &progId) const;
    // The factory in use, or an empty one.
    Factory factory(const QString &progId) const;
    // Throws CannotCreateObject (429) when no factory is registered.
    ObjectPtr create(const QString &progId) const;

private:
    std::map<QString, Factory> m_factories;   // key: ProgID in lower case
};

inline ObjectPtr CreateObject(const QString &progId) { return ObjectRegistry::instance().create(progId); }

// Registers a factory for the lifetime of a scope and restores the previous
// one afterwards; tests use it to script outside components.
class ScopedFactory
{
public:
    ScopedFactory(const QString &progId, ObjectRegistry::Factory factory);
    ~ScopedFactory();
    ScopedFactory(const ScopedFactory &) = delete;
    ScopedFactory &operator=(const ScopedFactory &) = delete;

private:
    QString m_progId;
    ObjectRegistry::Factory m_previous;
};

} // namespace torvel
