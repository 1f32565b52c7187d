#pragma once

// The workbench's calls into the library, each exactly as torvel-host's
// subcommands make it: the class created by ProgID, the connection passed,
// the inputs set, one method called, the results read back. Failures throw
// DispatchError with the call's code and description.

#include "hostsupport.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <string>

namespace torvel::host {

// Creates an object by ProgID; the workbench uses Object::create, its tests a
// scripted stand-in.
using ObjectFactory = std::function<Object(const std::string &progId)>;

struct ShowResult
{
    bool ok = false;
    int32_t id = 0;   // ReturnGroupID or ReturnBomID
};

class LibraryCalls
{
public:
    // `connectionString` is what TORVEL.Connection opens: the database file
    // or the server's address.
    LibraryCalls(ObjectFactory create, QString connectionString);

    // BOMGroupInfo.Show: a new group (id 0) under `parentId`, or group `id`.
    ShowResult showGroup(int32_t id, int32_t parentId);
    // BomInfo.Show: BOM `id` (0 for a new one) in group `groupId`.
    ShowResult showBom(int32_t id, int32_t groupId);
    // BomInfo.SelectBom: the chosen BOM or 0.
    int32_t selectBom(int32_t itemId);
    // BomInfo.CompleteBom: the completion's note id or 0.
    int32_t completeBom(int32_t noteId, int32_t bomId);
    // BomInfo.LookBomReport on an OLE date.
    void lookBomReport(int32_t bomId, double oleDate);

private:
    // The TORVEL.Connection every call passes, opened on first use.
    Value connection();

    ObjectFactory m_create;
    QString m_connectionString;
    Object m_connection;
};

} // namespace torvel::host
