#pragma once

#include <QString>

#include <cstdint>

namespace torvel {

class Connection;

namespace grouptext {
inline const QString kCaption = QStringLiteral("商品结构清单类别新增");
inline const QString kNoRight = QStringLiteral("对不起，您没有修改商品结构清单类别的权限！");
inline const QString kNoNumber = QStringLiteral("请输入商品结构清单类别代码!");
inline const QString kNoName = QStringLiteral("请输入商品结构清单类别名称!");
inline const QString kNumberTaken = QStringLiteral("该编码已存在，请重新输入！");
inline const QString kNameTaken = QStringLiteral("该名称已存在，请重新输入！");
inline const QString kReadError = QStringLiteral("数据读取错误:");
inline const QString kGroupGone = QStringLiteral("商品结构清单类别不存在或已被删除");
} // namespace grouptext

// A group's number and name as stored.
struct GroupTexts
{
    QString number;
    QString name;
};

// Reads group `groupId`; a missing row throws (no current record).
GroupTexts loadGroup(Connection &cnn, int32_t groupId);

// What the group editor saves: the trimmed texts, those it loaded (empty for
// a new group), the group (0 or less: a new one) and the parent whose children
// must not share its number or name.
struct GroupSave
{
    int32_t groupId = 0;
    int32_t parentId = 0;
    GroupTexts texts;
    GroupTexts loaded;
};

enum class GroupRefusal { None, NumberTaken, NameTaken };

struct GroupSaved
{
    GroupRefusal refusal = GroupRefusal::None;
    int32_t groupId = 0;   // the new group's id after an insert
};

// Checks the changed number and name against the siblings and writes the
// group; a new group takes over the BOMs its parent held. All of it is one
// transaction: a refusal or a failure leaves the database as it was. Database
// failures throw with the database's text, and so does an update that finds
// no row, the group having been deleted meanwhile.
GroupSaved saveGroup(Connection &cnn, const GroupSave &save);

} // namespace torvel
