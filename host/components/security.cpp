#include "components/components.h"

#include <map>
#include <utility>

namespace torvel::host {

namespace {

const QString kSecuritySource = QStringLiteral("PlatBase.SecurityInfo");

std::map<std::pair<int32_t, QString>, Variant> &store()
{
    static std::map<std::pair<int32_t, QString>, Variant> values;
    return values;
}

QString encodeValue(const QString &value)
{
    QString out;
    for (const QChar c : value) {
        if (c == u'%' || c == u';' || c == u'=')
            out += QStringLiteral("%%1").arg(int(c.unicode()), 2, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

QString decodeValue(const QString &value)
{
    QString out;
    for (int i = 0; i < value.size(); ++i) {
        if (value[i] == u'%' && i + 2 < value.size()) {
            bool ok = false;
            const int code = value.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 2;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

class SharePropsObject : public MemberTableObject
{
public:
    SharePropsObject()
    {
        addMethod(QStringLiteral("getproperty"), 1, [](Args &args) {
            if (args.size() != 2)
                throw ComError(errc::InvalidProcedureCall, QStringLiteral("PropHub.ShareProps"),
                               QStringLiteral("getproperty 需要进程号和属性名两个参数"));
            return sharedProperty(args[0].toInt32(), args[1].toString());
        });
    }
    QString className() const override { return QStringLiteral("ShareProps"); }
};

class SecurityInfoObject : public MemberTableObject
{
public:
    explicit SecurityInfoObject(ConnectionPtr connection)
        : m_connection(std::move(connection))
    {
        addMethod(QStringLiteral("AccessCheck"), 1, [this](Args &args) {
            if (args.size() != 4)
                throw ComError(errc::InvalidProcedureCall, kSecuritySource,
                               QStringLiteral("AccessCheck 需要四个参数"));
            if (!m_connection || !m_connection->isOpen())
                throw ComError(errc::ObjectClosed, kSecuritySource, QStringLiteral("权限组件没有可用的数据库连接"));
            return Variant(userHasRight(*m_connection, args[0].toString(), args[1].toInt32(), args[2].toInt32(),
                                        args[3].toInt32()));
        });
    }
    QString className() const override { return QStringLiteral("SecurityInfo"); }

private:
    ConnectionPtr m_connection;
};

} // namespace

void publishSharedProperty(int32_t processId, const QString &name, const Variant &value)
{
    store()[{processId, name.toLower()}] = value;
}

void withdrawSharedProperties(int32_t processId)
{
    auto &values = store();
    for (auto it = values.begin(); it != values.end();) {
        if (it->first.first == processId)
            it = values.erase(it);
        else
            ++it;
    }
}

Variant sharedProperty(int32_t processId, const QString &name)
{
    const auto &values = store();
    const auto it = values.find({processId, name.toLower()});
    return it == values.end() ? Variant() : it->second;
}

QString makePropsString(const QString &userName, int32_t processId)
{
    return QStringLiteral("UserName=") + encodeValue(userName) + QStringLiteral(";ProcessID=")
        + QString::number(processId);
}

QString propsValue(const QString &propsString, const QString &key)
{
    for (const QString &part : propsString.split(u';')) {
        const int eq = part.indexOf(u'=');
        if (eq > 0 && part.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return decodeValue(part.mid(eq + 1));
    }
    return QString();
}

bool userHasRight(Connection &connection, const QString &propsString, int32_t subject, int32_t operation,
                  int32_t flags)
{
    const QString user = propsValue(propsString, QStringLiteral("UserName"));
    if (user.isEmpty())
        return false;
    const RecordsetPtr rs = connection.Execute(
        QStringLiteral("SELECT R.FFlags FROM t_UserRight R INNER JOIN t_User U ON U.FUserID = R.FUserID"
                       " WHERE U.FName = ")
        + sqlQuote(user) + QStringLiteral(" AND R.FSubjectID = ") + sqlNumber(subject)
        + QStringLiteral(" AND R.FOperation = ") + sqlNumber(operation));
    if (!rs)
        return false;
    // The flags asked for are a bit set; the right is held when a grant
    // contains all of them.
    const quint32 asked = quint32(flags);
    const int column = rs->fieldIndex(QStringLiteral("FFlags"));
    for (const Recordset::Row &row : rs->rows()) {
        const Variant &granted = row[size_t(column)];
        if (granted.isNull() || granted.isEmpty())
            continue;
        const quint32 bits = quint32(qint64(granted.toDouble()));
        if ((bits & asked) == asked)
            return true;
    }
    return false;
}

ObjectPtr createSecurityInfo(ConnectionPtr hostConnection)
{
    return std::make_shared<SecurityInfoObject>(std::move(hostConnection));
}

ObjectPtr createShareProps()
{
    return std::make_shared<SharePropsObject>();
}

} // namespace torvel::host
