#include "state/callstate.h"

#include "services/com/comerror.h"

namespace torvel {

// Never destroyed: the reference may still be held when the process exits,
// after Qt's database drivers are gone, and the connection is the host's to
// close, not ours.
ConnectionPtr &gAdoCnn = *new ConnectionPtr;
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

Connection &callConnection()
{
    if (!gAdoCnn || !gAdoCnn->isOpen())
        throw ComError(errc::ObjectRequired, QStringLiteral("TORVEL"),
                       QStringLiteral("未设置数据库连接"));
    return *gAdoCnn;
}

} // namespace torvel
