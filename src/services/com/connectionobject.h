#pragma once

#include "services/db/connection.h"
#include "services/com/dispatch.h"
#include "services/db/recordset.h"

#include <QString>

namespace torvel {

// The connection layer offered as an object, ProgID "TORVEL.Connection": what
// a host without ADO opens and hands to `ActiveConnection` and to the methods'
// `AdoCnn` arguments. The object owns nothing but a reference to the
// connection it opened.
class ConnectionObject : public MemberTableObject
{
public:
    static inline const QString kProgId = QStringLiteral("TORVEL.Connection");

    ConnectionObject();
    explicit ConnectionObject(ConnectionPtr connection);

    QString className() const override { return kProgId; }
    ConnectionPtr connection() const { return m_connection; }

    // A connection object given as an argument, open or not, to be kept by
    // reference. Nothing gives nullptr; a foreign object or a value that is
    // no object throws a ComError saying which.
    static ObjectPtr reference(const Variant &value);
    // The connection behind an argument as `reference` takes it; a
    // connection object that was never opened throws as well.
    static ConnectionPtr unwrap(const Variant &value);
    // The call's connection as an object, for outside components that take a
    // connection (BaseFind.clsBase's `ActiveConnection`).
    static ObjectPtr wrap(ConnectionPtr connection);

private:
    Connection &open() const;

    ConnectionPtr m_connection;
};

// A record set returned by `Execute`: `EOF`, `BOF`, `MoveFirst`, `MoveNext`,
// `Fields(name)` (the value), `RecordCount`, `Filter`, `Close`.
class RecordsetObject : public MemberTableObject
{
public:
    explicit RecordsetObject(RecordsetPtr recordset);
    QString className() const override { return QStringLiteral("TORVEL.Recordset"); }
    RecordsetPtr recordset() const { return m_recordset; }

private:
    RecordsetPtr m_recordset;
};

// Adds the factory of "TORVEL.Connection" to the registry; the registry runs
// this itself when it is first used.
void registerConnectionObject(ObjectRegistry &registry);

} // namespace torvel
