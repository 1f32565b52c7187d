#include "ui/group/groupsave.h"

#include "services/com/comerror.h"
#include "services/db/connection.h"

namespace torvel {

namespace {

bool anyRow(Connection &cnn, const QString &sql)
{
    const RecordsetPtr rs = cnn.Execute(sql);
    return rs && !rs->Eof();
}

RecordsetPtr rowsOf(Connection &cnn, const QString &sql)
{
    RecordsetPtr rs = cnn.Execute(sql);
    if (!rs)
        throw ComError(errc::ObjectRequired, QStringLiteral("TORVEL"), errtext::kNoRecordset);
    return rs;
}

} // namespace

GroupTexts loadGroup(Connection &cnn, int32_t groupId)
{
    const RecordsetPtr rs = rowsOf(cnn, QStringLiteral("SELECT * FROM COM_Bom_Group WHERE FBOMGroupID=") + sqlNumber(groupId));
    // No end-of-data test: a missing group fails on the first field.
    return {rs->Fields(QStringLiteral("FNumber")).toString(), rs->Fields(QStringLiteral("FName")).toString()};
}

GroupSaved saveGroup(Connection &cnn, const GroupSave &save)
{
    const QString number = sqlQuote(save.texts.number);
    const QString name = sqlQuote(save.texts.name);
    const QString parent = sqlNumber(save.parentId);

    Transaction transaction(cnn);
    if (save.texts.number != save.loaded.number
        && anyRow(cnn, QStringLiteral("SELECT * FROM COM_BOM_Group WHERE FNumber=") + number
                           + QStringLiteral(" and FParentID=") + parent))
        return {GroupRefusal::NumberTaken, save.groupId};
    if (save.texts.name != save.loaded.name
        && anyRow(cnn, QStringLiteral("SELECT * FROM COM_BOM_Group WHERE FName =") + name
                           + QStringLiteral(" and FParentID=") + parent))
        return {GroupRefusal::NameTaken, save.groupId};

    int32_t groupId = save.groupId;
    if (groupId <= 0) {
        cnn.Execute(QStringLiteral("INSERT COM_Bom_Group(FNumber,FName,FParentID) VALUES (") + number + u',' + name
                    + u',' + parent + u')');
        // Number and parent name one row: the schema keeps numbers unique
        // among siblings.
        groupId = rowsOf(cnn, QStringLiteral("SELECT * FROM COM_Bom_Group WHERE FNumber =") + number
                                  + QStringLiteral(" and FParentID=") + parent)
                      ->Fields(QStringLiteral("FBomGroupID"))
                      .toInt32();
        if (anyRow(cnn, QStringLiteral("SELECT * FROM COM_Bom WHERE FBOMGroupID=") + parent))
            cnn.Execute(QStringLiteral("UPDATE COM_Bom SET FBOMGroupID=") + sqlNumber(groupId)
                        + QStringLiteral(" WHERE FBOMGroupID=") + parent);
    } else {
        qint64 changed = 0;
        cnn.Execute(QStringLiteral("UPDATE COM_Bom_Group SET FNumber=") + number + QStringLiteral(",FName=") + name
                        + QStringLiteral("  WHERE FBOMGroupID=") + sqlNumber(groupId),
                    &changed);
        if (changed != 1)
            throw ComError(errc::DatabaseError, QStringLiteral("TORVEL"), grouptext::kGroupGone);
    }
    transaction.commit();
    return {GroupRefusal::None, groupId};
}

} // namespace torvel
