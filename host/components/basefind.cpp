#include "components/components.h"
#include "components/sources.h"

#include "services/com/connectionobject.h"

#include <QApplication>

namespace torvel::host {

namespace {

const QString kSource = QStringLiteral("BaseFind.clsBase");

constexpr int32_t kItemClass = 4;

// BaseFind.clsBase: the auxiliary properties of an item (ItemClass 4 with
// ItemID and AuxFilter 1) or the rows of a system type class (a negative
// ItemClass, -480 for the substitute classes), chosen in a modal pick list
// over the caller's ActiveConnection.
class BaseFindObject : public MemberTableObject
{
public:
    BaseFindObject()
    {
        addProperty(
            QStringLiteral("ActiveConnection"), 1, [this](Args &) { return m_connectionObject; },
            [this](const Variant &value, Args &) {
                m_connection = ConnectionObject::unwrap(value);
                m_connectionObject = value;
            });
        addProperty(
            QStringLiteral("ItemID"), 2, [this](Args &) { return Variant(m_itemId); },
            [this](const Variant &value, Args &) { m_itemId = value.toInt32(); });
        addProperty(
            QStringLiteral("ItemClass"), 3, [this](Args &) { return Variant(m_itemClass); },
            [this](const Variant &value, Args &) { m_itemClass = value.toInt32(); });
        addProperty(
            QStringLiteral("AuxFilter"), 4, [this](Args &) { return Variant(m_auxFilter); },
            [this](const Variant &value, Args &) { m_auxFilter = value.toInt32(); });
        addProperty(
            QStringLiteral("OnlyDetail"), 5, [this](Args &) { return Variant(m_onlyDetail); },
            [this](const Variant &value, Args &) { m_onlyDetail = value.toBool(); });
        addMethod(QStringLiteral("Show"), 6, [this](Args &) {
            show();
            return Variant();
        });
        addProperty(QStringLiteral("ReturnName"), 7, [this](Args &) { return Variant(m_returnName); });
        addProperty(QStringLiteral("ReturnInnerID"), 8, [this](Args &) { return Variant(m_returnInnerId); });
        addProperty(QStringLiteral("ReturnCode"), 9, [this](Args &) { return Variant(m_returnCode); });
    }
    QString className() const override { return QStringLiteral("clsBase"); }

private:
    void show()
    {
        m_returnName.clear();
        m_returnCode.clear();
        m_returnInnerId = 0;
        if (!m_connection || !m_connection->isOpen())
            throw ComError(errc::ObjectRequired, kSource, QStringLiteral("没有设置 ActiveConnection"));

        std::unique_ptr<CodePickSource> source;
        QString title;
        if (m_itemClass == kItemClass && m_auxFilter == 1) {
            // Auxiliary properties are t_Item rows of the item's auxiliary class.
            const RecordsetPtr rs = m_connection->Execute(
                QStringLiteral("SELECT FAuxClassID FROM COM_Item WHERE FItemID = ") + sqlNumber(m_itemId));
            int32_t auxClass = 0;
            if (rs && !rs->rows().empty() && !rs->rows().front().front().isNull())
                auxClass = rs->rows().front().front().toInt32();
            QString where = QStringLiteral("FItemClassID = ") + sqlNumber(auxClass);
            if (auxClass <= 0)
                where = QStringLiteral("1 = 0");   // an item without auxiliary class offers nothing
            else if (m_onlyDetail)
                where += QStringLiteral(" AND FDetail = 1");
            source = std::make_unique<CodePickSource>(m_connection, QStringLiteral("FItemID AS FID, FNumber, FName"),
                                                      QStringLiteral("t_Item"), where, QStringLiteral("FNumber"),
                                                      QStringLiteral("FName"));
            title = QStringLiteral("辅助属性查询");
        } else if (m_itemClass < 0) {
            source = std::make_unique<CodePickSource>(
                m_connection, QStringLiteral("FSysTypeID AS FID, FNumber, FName"), QStringLiteral("COM_SysType"),
                QStringLiteral("FClassID = ") + sqlNumber(-m_itemClass), QStringLiteral("FNumber"),
                QStringLiteral("FName"));
            title = QStringLiteral("替代类查询");
        } else {
            throw ComError(errc::InvalidProcedureCall, kSource,
                           QStringLiteral("不支持的查询类别: ItemClass=%1, AuxFilter=%2").arg(m_itemClass).arg(m_auxFilter));
        }

        QWidget *parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                            : QApplication::activeWindow();
        PickListDialog dialog(QStringLiteral("frmBaseFind"), title,
                              {{QStringLiteral("代码"), QStringLiteral("FNumber")},
                               {QStringLiteral("名称"), QStringLiteral("FName")}},
                              *source, parent);
        dialog.start(QString());
        if (dialog.run() != QDialog::Accepted || !dialog.hasChoice())
            return;
        const Variant name = dialog.chosen(QStringLiteral("FName"));
        const Variant code = dialog.chosen(QStringLiteral("FNumber"));
        const Variant id = dialog.chosen(QStringLiteral("FID"));
        m_returnName = name.isNull() ? QString() : name.toString();
        m_returnCode = code.isNull() ? QString() : code.toString();
        m_returnInnerId = id.isNull() ? 0 : id.toInt32();
    }

    Variant m_connectionObject;
    ConnectionPtr m_connection;
    int32_t m_itemId = 0;
    int32_t m_itemClass = 0;
    int32_t m_auxFilter = 0;
    bool m_onlyDetail = false;
    QString m_returnName;
    int32_t m_returnInnerId = 0;
    QString m_returnCode;
};

} // namespace

ObjectPtr createBaseFind()
{
    return std::make_shared<BaseFindObject>();
}

} // namespace torvel::host
