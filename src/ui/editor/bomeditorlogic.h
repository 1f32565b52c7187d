#pragma once

// What the BOM editor decides without a widget: its texts, the conditions it
// hands to the data layer's lookups, the characters it refuses, and the
// checks run before a BOM is saved.

#include "bomdata/lookupkeys.h"

#include <QChar>
#include <QString>

#include <cstdint>
#include <optional>

namespace torvel {

class BOM;
class Connection;
class GridModel;

namespace editortext {
inline const QString kCaptionNew = QStringLiteral("商品结构清单(新增)");
inline const QString kCaptionModify = QStringLiteral("商品结构清单(修改)");
inline const QString kFrame = QStringLiteral("商品结构清单属性：");
inline const QString kStatusInUse = QStringLiteral("使用");
inline const QString kStatusNotInUse = QStringLiteral("未使用");

// Header fields.
inline const QString kItemNotFound =
    QStringLiteral("输入的代码找不到对应的商品,请输入正确的商品代码或按 F7 查询!");
inline const QString kItemNotAssembly = QStringLiteral("输入的商品不是组合件,请重新输入或按F7查询!");
inline const QString kItemIsChild = QStringLiteral("输入的物料在它的子物料中已经存在,请重新输入!");
inline const QString kAuxPropNotFound =
    QStringLiteral("输入的代码找不到对应的辅助属性,请输入正确的辅助属性代码或按 F7 查询!");
inline const QString kHeaderReadError = QStringLiteral("数据读取错误,");

// Grid.
inline const QString kChildIsParent = QStringLiteral("子商品不能和父项商品相同,请重新输入!");
inline const QString kChildIsAssembly = QStringLiteral("子商品不能为组合商品!");
inline const QString kChildDuplicate = QStringLiteral("输入的子商品已经存在,请重新输入!");
inline const QString kUnitNotFound =
    QStringLiteral("输入的代码找不到对应的计量单位,请输入正确的计量单位代码或按 F7 查询!");
inline const QString kClassNotFound =
    QStringLiteral("输入的代码找不到对应的可替换商品类别,请输入正确的类别代码或按 F7 查询!");
inline const QString kPickedIsParent = QStringLiteral("您所录入的子商品不能是本商品清单的主商品!");
inline const QString kPickedDuplicate = QStringLiteral("您所录入的子商品在本清单中已存在!");
inline const QString kGridReadError = QStringLiteral("数据读取错误:");

// Commands.
inline const QString kAskSave = QStringLiteral("商品结构清单内容已经修改,是否保存?");
inline const QString kNumberEmpty = QStringLiteral("商品结构清单编号不能为空!");
inline const QString kNameEmpty = QStringLiteral("商品结构清单名称不能为空!");
inline const QString kNumberDuplicate = QStringLiteral("商品结构清单编号有重复,请重新录入商品结构清单编号。");
inline const QString kNoParentItem = QStringLiteral("一张商品结构清单项奖必须对应一种商品!");
QString unitMissing(int row);   // "请在第" row "行输入计量单位!"
} // namespace editortext

namespace editor {


// Characters no control of the editor takes from the keyboard, so that no
// typed value can carry a quote; the BOM number refuses a few more.
bool swallowedEverywhere(QChar c);
bool swallowedInBomNumber(QChar c);

// A failed pre-save check: its message and where the user is sent.
struct SaveCheckFailure
{
    enum class Target { None, BomNumber, BomName, GridCell };
    QString message;
    Target target = Target::None;
    int col = 0;
    int row = 0;
};

// The header checks before a BOM is saved, in their order: number, name,
// a free number for a BOM not yet stored (`isNew`), a parent item.
std::optional<SaveCheckFailure> checkHeaderForSave(const BOM &bom, bool isNew, Connection &connection);

// The line checks, row by row: a row with a child code needs a unit id; a
// substitute class that was never found, and a child code that differs from
// the one last resolved for its row, are refused, since either would save a
// line other than the one shown.
std::optional<SaveCheckFailure> checkLinesForSave(const GridModel &grid);

} // namespace editor
} // namespace torvel
