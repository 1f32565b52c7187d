#pragma once

#include "variant.h"

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
using Args = std::vector<Variant>;

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

protected:
    // A null getter or setter makes the property write-only or read-only.
    void addProperty(const QString &name, DispId id, Getter get, Setter put = {});
    void addMethod(const QString &name, DispId id, Method fn);
    // Members of objects that have no fixed ids take the next free one.
    DispId nextFreeId() const;

private:
    struct Member {
        QString name;
        Getter get;
        Setter put;
        Method method;
    };
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
