#pragma once

#include "services/com/variant.h"
#include "services/db/connection.h"

#include <QString>

#include <cstddef>
#include <cstdint>

namespace torvel {

// Where the call state keeps the connection: the host's connection object
// itself, never the connection it had open when it was handed over, so the
// host may close and reopen it between calls. A connection of our own (a
// test's, a tool's) is kept in a connection object of its own.
class CallConnection
{
public:
    CallConnection &operator=(ObjectPtr object);
    CallConnection &operator=(ConnectionPtr connection);
    CallConnection &operator=(std::nullptr_t) { m_object.reset(); return *this; }
    void reset() { m_object.reset(); }
    explicit operator bool() const { return bool(m_object); }
    const ObjectPtr &object() const { return m_object; }
    // The connection open now, as callConnection() finds it.
    Connection *operator->() const;
    friend bool operator==(const CallConnection &kept, std::nullptr_t) { return !kept.m_object; }

private:
    ObjectPtr m_object;
};

// The call state: module-level variables through which a public method hands
// its inputs to a dialog and takes the results back. Shared by every object
// of both public classes and by every dialog; never copied per object.
extern CallConnection &gAdoCnn;
extern int32_t gBomID;
extern QString gBomName;
extern QString gBomNumber;
extern int32_t gGroupID;
extern int32_t gGroupInterID;
extern int32_t gParentID;
extern QString gGroupName;
extern QString gGroupNumber;
extern int32_t gItemID;
extern int32_t gBomNoteID;
extern double gNoteDate;          // OLE date
extern bool gReturnOK;
extern double gStartDate;         // OLE date; the report's period start

// The connection the call's object has open now, looked up for each use.
// Throws ObjectRequired when the host set none and ObjectClosed when its
// object is not open.
Connection &callConnection();

} // namespace torvel
