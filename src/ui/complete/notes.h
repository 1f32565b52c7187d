#pragma once

// What the completion dialog decides without a widget: its grid's columns and
// texts, filling the grid from a row source, the checks before a save, the
// save itself and the comparison with the BOM as it stands now.

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace torvel {

class Connection;
class GridModel;
class StoredBom;

// Columns of vasItem. 1 to 6 are shown; the rest carry ids, the text last
// accepted into a cell (the compare base when it is left again) and what
// travels unchanged from the row source to the save.
namespace notecol {
inline constexpr int ReplaceClassName = 1;
inline constexpr int ItemNumber = 2;
inline constexpr int ItemName = 3;
inline constexpr int Model = 4;
inline constexpr int AuxProp = 5;
inline constexpr int Unit = 6;
inline constexpr int ItemID = 7;
inline constexpr int ItemNumberCopy = 8;
inline constexpr int AuxClassID = 9;
inline constexpr int AuxPropID = 10;
inline constexpr int AuxPropCopy = 11;
inline constexpr int UnitGroupID = 12;
inline constexpr int UnitCopy = 13;
inline constexpr int UnitID = 14;
inline constexpr int Qty = 15;
inline constexpr int Scrap = 16;   // percent
inline constexpr int Remark = 17;
inline constexpr int ReplaceClassID = 18;
inline constexpr int Count = 18;
inline constexpr int FirstHidden = ItemID;
} // namespace notecol

namespace completetext {
inline const QString kCaption = QStringLiteral("商品结构清单(配置)");
inline const QString kAskModified = QStringLiteral("商品结构清单配置内容已经修改,是否保存?");
inline const QString kAskSave = QStringLiteral("是否保存此商品结构清单配置?");
inline const QString kReadError = QStringLiteral("数据读取错误,");
inline const QString kSaveError = QStringLiteral("数据保存错误,");
inline const QString kGridReadError = QStringLiteral("数据读取错误:");
inline const QString kItemNotInClass =
    QStringLiteral("输入的代码找不到对应的商品或不在当前类别,请输入正确的商品代码或按 F7 查询!");
inline const QString kChildIsParent = QStringLiteral("子商品不能和父项商品相同,请重新输入!");
inline const QString kChildDuplicate = QStringLiteral("输入的子商品已经存在,请重新输入!");
inline const QString kUnitNotFound =
    QStringLiteral("输入的代码找不到对应的计量单位,请输入正确的计量单位代码或按 F7 查询!");
inline const QString kAuxPropNotFound =
    QStringLiteral("输入的代码找不到对应的辅助属性,请输入正确的辅助属性代码或按 F7 查询!");
inline const QString kPickedIsParent = QStringLiteral("您所录入的子商品不能是本商品清单的主商品!");
inline const QString kPickedDuplicate = QStringLiteral("您所录入的子商品在本清单中已存在!");
QString itemMissing(int row);      // 请在2行输入子商品!
QString unitMissing(int row);      // 请2行输入子商品的计量单位!
QString auxPropMissing(int row);   // 请2行输入子商品的辅助属性!
} // namespace completetext

namespace notes {

// The row sources, each ending where the id follows: a new completion starts
// from the BOM's child lines, an existing one from its notes.
extern const QString kChildSourceHead;   // ... " WHERE  FBOMID="
extern const QString kNoteSourceHead;    // ... " WHERE  FBOMNoteID="

// A row as loaded, for telling whether the BOM changed since.
struct Line
{
    int32_t replaceClassId = 0;
    int32_t itemId = 0;
    double qty = 0;
    double scrap = 0;
};

// Fills the grid from the notes of `noteId` (when > 0) or the child lines of
// `bomId`: one row per record, the lock table applied. An empty source leaves
// no row. `stored`, when given, gets the notes as stored for a later save to
// compare with; it stays empty for a new completion or a load that failed.
// Throws ComError; the grid keeps the rows written so far.
std::vector<Line> load(Connection &cnn, GridModel &grid, int32_t noteId, int32_t bomId,
                       StoredBom *stored = nullptr);

// The first way in which the BOM's current lines differ from the rows of a
// completion (classes and fixed items, quantities and scrap rates, in order),
// as the warning the dialog shows; nothing when they agree.
std::optional<QString> bomChange(Connection &cnn, int32_t bomId, const std::vector<Line> &rows);

// The message for the first row that cannot be saved: no item, no unit, or
// no auxiliary property for an item that takes one.
std::optional<QString> check(const GridModel &grid);

// Saves the grid's rows as the notes of `noteId`, or of a new id when it is
// below 1, in one transaction: the stored notes are replaced whole or not at
// all. Rows without an item code are skipped; entries count from 1. A new id
// is taken from the host's allocation row inside the transaction (a second
// client waits for it) and stays above every stored id, so no id is ever
// handed out twice. Returns the id; throws ComError with nothing changed.
// Two clerks may have one completion open: with `stored` taken by load (or
// by the last save), the notes are read again inside the transaction, locked,
// and when they are no longer what `stored` holds (changed or deleted by
// another client) nothing is written and the answer is 0. After a save
// `stored` holds what it wrote.
int32_t save(Connection &cnn, const GridModel &grid, int32_t noteId, int32_t bomId, StoredBom *stored = nullptr);

} // namespace notes
} // namespace torvel
