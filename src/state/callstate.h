#pragma once

#include "services/db/connection.h"

#include <QString>

#include <cstdint>

namespace torvel {

// The call state: module-level variables through which a public method hands
// its inputs to a dialog and takes the results back. Shared by every object
// of both public classes and by every dialog; never copied per object.
extern ConnectionPtr &gAdoCnn;    // borrowed from the host for the call
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

// The connection of the call; throws ObjectRequired when the host set none.
Connection &callConnection();

} // namespace torvel
