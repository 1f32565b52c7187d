#include "services/com/rights.h"

#include "services/com/dispatch.h"

#include <QCoreApplication>

namespace torvel {

namespace {

// The host publishes its login under the operating system's id of this
// process, so two hosts on one machine never read each other's login.
int32_t currentProcessId()
{
    return static_cast<int32_t>(QCoreApplication::applicationPid());
}

} // namespace

Variant GetSharedProperty(const QString &name)
{
    ObjectPtr shareProps = CreateObject(QStringLiteral("PropHub.ShareProps"));
    Args args{Variant(currentProcessId()), Variant(name)};
    Variant result = shareProps->call(QStringLiteral("getproperty"), args);
    shareProps.reset();
    if (result.isObject())
        return Variant(result.toObject());
    return result;
}

QString GetPropsString()
{
    return GetSharedProperty(QStringLiteral("PropsString")).toString();
}

bool CheckRight(int32_t subject, int32_t operation, int32_t flags)
{
    try {
        ObjectPtr security = CreateObject(QStringLiteral("PlatBase.SecurityInfo"));
        Args args{Variant(GetPropsString()), Variant(subject), Variant(operation), Variant(flags)};
        const bool granted = security->call(QStringLiteral("AccessCheck"), args).toBool();
        return granted;
    } catch (const ComError &error) {
        // Raised again as a plain error: a failure to ask is never a "no".
        throw ComError(error.number(), error.source(), error.description());
    }
}

} // namespace torvel
