#include "state/callstate.h"

#include "services/com/comerror.h"
#include "services/com/connectionobject.h"

namespace torvel {

// Never destroyed: the reference may still be held when the process exits,
// after Qt's database drivers are gone, and the connection is the host's to
// close, not ours.
CallConnection &gAdoCnn = *new CallConnection;
int32_t gBomID = 0;
QString gBomName;
QString gBomNumber;
int32_t gGroupID = 0;
int32_t gGroupInterID = 0;
int32_t gParentID = 0;
QString gGroupName;
QString gGroupNumber;
int32_t gItemID = 0;
int32_t gBomNoteID = 0;
double gNoteDate = 0.0;
bool gReturnOK = false;
double gStartDate = 0.0;

CallConnection &CallConnection::operator=(ObjectPtr object)
{
    m_object = std::move(object);
    return *this;
}

CallConnection &CallConnection::operator=(ConnectionPtr connection)
{
    m_object = connection ? ConnectionObject::wrap(std::move(connection)) : nullptr;
    return *this;
}

Connection *CallConnection::operator->() const
{
    return &callConnection();
}

Connection &callConnection()
{
    if (!gAdoCnn)
        throw ComError(errc::ObjectRequired, QStringLiteral("TORVEL"),
                       QStringLiteral("未设置数据库连接"));
    const ConnectionPtr connection = ConnectionObject::unwrap(Variant(gAdoCnn.object()));
    if (!connection->isOpen())
        throw ComError(errc::ObjectClosed, ConnectionObject::kProgId, errtext::kConnectionClosed);
    // The object owns the connection until it is reopened or released.
    return *connection;
}

} // namespace torvel
