#include "components/components.h"

#include <QCoreApplication>

namespace torvel::host {

const QStringList kDefaultComponentProgIds = {
    QStringLiteral("PickView.GLView"),       QStringLiteral("BaseFind.clsBase"),
    QStringLiteral("LookupParams"),          QStringLiteral("PlatBase.SecurityInfo"),
    QStringLiteral("PropHub.ShareProps"),
};

void registerDefaultComponents(ConnectionPtr hostConnection, const QString &userName)
{
    ObjectRegistry &registry = ObjectRegistry::instance();
    registry.registerFactory(QStringLiteral("PickView.GLView"),
                             [hostConnection] { return createPickView(hostConnection); });
    registry.registerFactory(QStringLiteral("BaseFind.clsBase"), [] { return createBaseFind(); });
    registry.registerFactory(QStringLiteral("LookupParams"), [] { return createLookupParams(); });
    registry.registerFactory(QStringLiteral("PlatBase.SecurityInfo"),
                             [hostConnection] { return createSecurityInfo(hostConnection); });
    registry.registerFactory(QStringLiteral("PropHub.ShareProps"), [] { return createShareProps(); });

    const auto pid = int32_t(QCoreApplication::applicationPid());
    publishSharedProperty(pid, QStringLiteral("PropsString"), Variant(makePropsString(userName, pid)));
}

void unregisterDefaultComponents()
{
    for (const QString &progId : kDefaultComponentProgIds)
        ObjectRegistry::instance().unregisterFactory(progId);
    withdrawSharedProperties(int32_t(QCoreApplication::applicationPid()));
}

} // namespace torvel::host
