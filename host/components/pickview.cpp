#include "components/components.h"
#include "components/itemfilter.h"
#include "components/lookupobjects.h"
#include "components/sources.h"

#include <QApplication>

namespace torvel::host {

namespace {

const QString kPickViewSource = QStringLiteral("PickView.GLView");

constexpr int32_t kItemClass = 4;

QWidget *dialogParent()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

QString textOf(const Variant &value)
{
    if (value.isNull() || value.isEmpty())
        return QString();
    return value.toString();
}

int32_t idOf(const Variant &value)
{
    if (value.isNull() || value.isEmpty())
        return 0;
    return value.toInt32();
}

Variant argument(const Args &args, size_t index)
{
    return index < args.size() ? args[index] : Variant();
}

// The search text to start from: the params' LookupKey when the caller set
// one. A parameter object of another kind may not know the name at all.
QString lookupKey(const Variant &params)
{
    if (!params.isObject() || !params.toObject())
        return QString();
    try {
        return textOf(params.toObject()->get(QStringLiteral("LookupKey"))).trimmed();
    } catch (const ComError &error) {
        if (error.number() == errc::MemberNotFound)
            return QString();
        throw;
    }
}

class PickViewObject : public MemberTableObject
{
public:
    explicit PickViewObject(ConnectionPtr connection)
        : m_connection(std::move(connection))
    {
        addMethod(QStringLiteral("ItemLookup"), 1, [this](Args &args) { return itemLookup(args); });
        addMethod(QStringLiteral("UnitLookup"), 2, [this](Args &args) { return unitLookup(args); });
    }
    QString className() const override { return QStringLiteral("GLView"); }

private:
    Variant itemLookup(Args &args)
    {
        const int32_t itemClass = argument(args, 0).toInt32();
        if (itemClass != kItemClass)
            throw ComError(errc::InvalidProcedureCall, kPickViewSource,
                           QStringLiteral("不支持的查询类别: %1").arg(itemClass));
        const QString text = textOf(argument(args, 1)).trimmed();
        // The filter is checked before anything is shown: a filter that cannot
        // be applied is the caller's error, not an empty or a wrong list.
        const QString condition = buildItemFilter(textOf(argument(args, 2)), kPickViewSource);
        const QString key = lookupKey(argument(args, 3));
        requireConnection();

        ItemPickSource source(m_connection, condition);
        PickListDialog dialog(QStringLiteral("frmItemLookup"), QStringLiteral("商品查询"),
                              {{QStringLiteral("代码"), QStringLiteral("FNumber")},
                               {QStringLiteral("名称"), QStringLiteral("FName")},
                               {QStringLiteral("规格型号"), QStringLiteral("FModel")},
                               {QStringLiteral("计量单位"), QStringLiteral("FUnitName")}},
                              source, dialogParent());
        dialog.start(key.isEmpty() ? text : key);
        if (dialog.run() != QDialog::Accepted || !dialog.hasChoice())
            return Variant(LookupResultObject::cancelled());

        LookupRowObject::Data row;
        row.number = textOf(dialog.chosen(QStringLiteral("FNumber")));
        row.name = textOf(dialog.chosen(QStringLiteral("FName")));
        row.itemId = idOf(dialog.chosen(QStringLiteral("FItemID")));
        row.measureUnitId = idOf(dialog.chosen(QStringLiteral("FBaseUnitID")));
        for (const QString &field : ItemPickSource::fields()) {
            if (field != QStringLiteral("FUnitName"))
                row.properties.emplace_back(field, dialog.chosen(field));
        }
        return Variant(LookupResultObject::chosen(std::move(row)));
    }

    Variant unitLookup(Args &args)
    {
        const int32_t group = argument(args, 0).toInt32();
        requireConnection();
        CodePickSource source(m_connection,
                              QStringLiteral("FMeasureUnitID AS FID, FNumber, FName, FItemID, FUnitGroupID"),
                              QStringLiteral("t_MeasureUnit"),
                              QStringLiteral("FUnitGroupID = ") + sqlNumber(group), QStringLiteral("FNumber"),
                              QStringLiteral("FName"));
        PickListDialog dialog(QStringLiteral("frmUnitLookup"), QStringLiteral("计量单位查询"),
                              {{QStringLiteral("代码"), QStringLiteral("FNumber")},
                               {QStringLiteral("名称"), QStringLiteral("FName")}},
                              source, dialogParent());
        dialog.start(QString());
        if (dialog.run() != QDialog::Accepted || !dialog.hasChoice())
            return Variant(LookupResultObject::cancelled());

        LookupRowObject::Data row;
        row.number = textOf(dialog.chosen(QStringLiteral("FNumber")));
        row.name = textOf(dialog.chosen(QStringLiteral("FName")));
        row.measureUnitId = idOf(dialog.chosen(QStringLiteral("FID")));
        row.itemId = idOf(dialog.chosen(QStringLiteral("FItemID")));
        row.properties = {
            {QStringLiteral("FMeasureUnitID"), dialog.chosen(QStringLiteral("FID"))},
            {QStringLiteral("FNumber"), dialog.chosen(QStringLiteral("FNumber"))},
            {QStringLiteral("FName"), dialog.chosen(QStringLiteral("FName"))},
            {QStringLiteral("FUnitGroupID"), dialog.chosen(QStringLiteral("FUnitGroupID"))},
        };
        return Variant(LookupResultObject::chosen(std::move(row)));
    }

    void requireConnection() const
    {
        if (!m_connection || !m_connection->isOpen())
            throw ComError(errc::ObjectClosed, kPickViewSource, QStringLiteral("查询组件没有可用的数据库连接"));
    }

    ConnectionPtr m_connection;
};

} // namespace

ObjectPtr createPickView(ConnectionPtr hostConnection)
{
    return std::make_shared<PickViewObject>(std::move(hostConnection));
}

ObjectPtr createLookupParams()
{
    return std::make_shared<LookupParamsObject>();
}

} // namespace torvel::host
