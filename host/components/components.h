#pragma once

#include "services/db/connection.h"
#include "services/com/dispatch.h"

#include <QString>

namespace torvel::host {

// Registers the demo host's outside components in this process:
// PickView.GLView and PlatBase.SecurityInfo over the host's connection,
// BaseFind.clsBase, LookupParams and PropHub.ShareProps, and publishes the
// login string of `userName` for this process. The library itself registers
// none of them, so any host can bring its own.
void registerDefaultComponents(ConnectionPtr hostConnection, const QString &userName);
void unregisterDefaultComponents();

// The ProgIDs registered above.
extern const QStringList kDefaultComponentProgIds;

// PropHub.ShareProps' store: values published per process id and name.
void publishSharedProperty(int32_t processId, const QString &name, const Variant &value);
void withdrawSharedProperties(int32_t processId);
Variant sharedProperty(int32_t processId, const QString &name);   // Empty when unpublished

// The login string the demo platform publishes: "UserName=NAME;ProcessID=PID".
// `;`, `=` and `%` inside values are written as %XX.
QString makePropsString(const QString &userName, int32_t processId);
// A value of the login string by key (case-insensitive); empty when absent.
QString propsValue(const QString &propsString, const QString &key);

// Factories for the components one by one (tests install them separately).
ObjectPtr createPickView(ConnectionPtr hostConnection);
ObjectPtr createBaseFind();
ObjectPtr createLookupParams();
ObjectPtr createSecurityInfo(ConnectionPtr hostConnection);
ObjectPtr createShareProps();

// Whether the user named in the login string holds the right: a row of
// t_UserRight for the user's t_User row with the subject and operation whose
// granted flags contain every flag asked for.
bool userHasRight(Connection &connection, const QString &propsString, int32_t subject, int32_t operation,
                  int32_t flags);

} // namespace torvel::host
