#pragma once

#include "services/db/connection.h"
#include "services/db/recordset.h"

#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace torvel {

class GridModel;
namespace lookupfilter {
struct Table;
}

// Column numbers of the BOM editor's child grid, the in-memory store of a
// BOM's lines: loading writes these columns and saving reads them.
namespace bomcol {
inline constexpr int ReplaceClassName = 1;
inline constexpr int ItemNumber = 2;
inline constexpr int ItemName = 3;
inline constexpr int Model = 4;
inline constexpr int AuxProp = 5;
inline constexpr int Unit = 6;
inline constexpr int Qty = 7;
inline constexpr int Scrap = 8;
inline constexpr int Remark = 9;
inline constexpr int ItemID = 10;
inline constexpr int ItemNumberCopy = 11;
inline constexpr int ReplaceClassID = 12;
inline constexpr int ReplaceClassNameCopy = 13;
inline constexpr int AuxClassID = 14;
inline constexpr int AuxPropID = 15;
inline constexpr int AuxPropCopy = 16;
inline constexpr int UnitGroupID = 17;
inline constexpr int UnitCopy = 18;
inline constexpr int UnitID = 19;
inline constexpr int Count = 19;
} // namespace bomcol

// Box texts of the data layer.
namespace bomtext {
inline const QString kReadError = QStringLiteral("数据读取错误:");
inline const QString kSaveError = QStringLiteral("保存数据时出错:");
inline const QString kDeleteError = QStringLiteral("删除出错：");
inline const QString kAddError = QStringLiteral("添加出错：");
inline const QString kNoRight = QStringLiteral("对不起，您没有修改商品结构清单的权限！");
inline const QString kBomGone = QStringLiteral("商品结构清单不存在或已被删除");
inline const QString kChangedByOthers
    = QStringLiteral("此商品结构清单已被其他用户修改或删除，请关闭后重新打开再修改！");
} // namespace bomtext

// Statement heads the data layer sends, public so that a floor or a schema
// check runs the very text the library does.
namespace bomsql {
// Loading: each head ends at "FBOMID=", followed by the BOM's id.
inline const QString kHeaderQueryHead = QStringLiteral(
    "SELECT COM_BOM.*,t_Item.FNumber as FItemNumber,t_Item.FName as FItemName,COM_Item.FModel as FModel,"
    " AuxProp.FName as FAuxProp,t_MeasureUnit.FName as FMeasureUnit,t_MeasureUnit.FNumber as FMeasureUnitNumber,"
    " COM_Item.FAuxClassID as FAuxClassID,COM_Item.FUnitGroupID as FUnitGroupID"
    " FROM COM_BOM"
    " LEFT JOIN t_Item on COM_Bom.FItemid=t_Item.FItemid "
    " LEFT JOIN COM_Item on COM_Bom.fitemid=COM_Item.FItemid "
    " LEFT JOIN t_Item AuxProp on COM_Bom.Fauxpropid=AuxProp.FItemid "
    " LEFT JOIN t_MeasureUnit on COM_Bom.FMeasureUnitID=t_MeasureUnit.FMeasureUnitID"
    " WHERE  FBOMID=");
inline const QString kLineQueryHead = QStringLiteral(
    "SELECT COM_BOM_Child.*,t_Item.FNumber as FItemNumber,t_Item.FName as FItemName,COM_Item.FModel as FModel,"
    " AuxProp.FName as FAuxProp,t_MeasureUnit.FName as FMeasureUnit,COM_Item.FQtyScale as FQtyScale,"
    " COM_Item.FAuxClassID as FAuxClassID,COM_Item.FUnitGroupID as FUnitGroupID,"
    " COM_Systype.FName as FReplaceClassName"
    " FROM COM_BOM_Child"
    " LEFT JOIN t_Item on COM_Bom_Child.FItemid=t_Item.FItemid "
    " LEFT JOIN COM_Item on COM_Bom_Child.fitemid=COM_Item.FItemid "
    " LEFT JOIN t_Item AuxProp on COM_Bom_Child.Fauxpropid=AuxProp.FItemid "
    " LEFT JOIN t_MeasureUnit on COM_Bom_Child.FMeasureUnitID=t_MeasureUnit.FMeasureUnitID"
    " LEFT JOIN COM_Systype on COM_Bom_Child.FReplaceClassID=COM_Systype.FSysTypeID"
    " WHERE  FBOMID=");
// GetInfo: items joined with their extra data, ending at "WHERE ", followed
// by the caller's key.
inline const QString kItemQueryHead = QStringLiteral(
    "SELECT COM_Item.*, t_Item.FNumber AS FItemNumber,"
    "t_Item.FName AS FItemName , t_Item.FDetail AS FDetail "
    "FROM COM_Item INNER JOIN "
    "t_Item ON t_Item.FItemID = COM_Item.FItemID WHERE ");
} // namespace bomsql

// A BOM as stored, the way a save compares it with the database: the header
// columns and the line columns a save writes, lines in entry order. The
// completion keeps its notes the same way (the note id, then the rows). Text
// compares without trailing blanks (a fixed-width column adds them); numbers
// compare within two units in the last place, since a database may read the
// decimal text a save writes as a neighbour of the nearest double, while the
// smallest change a save can write is several units.
class StoredBom
{
public:
    // Nothing taken: a save has nothing to compare with.
    bool isEmpty() const { return m_state == State::None; }
    static StoredBom gone();   // no header row

    void add(const Variant &value);
    void addNumber(double value);
    void addText(const QString &text);
    void reserveLines(size_t lines, size_t valuesPerLine);
    // Starts a line; its values follow.
    void beginLine(double entry);
    // Puts the lines in entry order; call once, after the last value.
    void finish();

    bool operator==(const StoredBom &other) const;

private:
    struct Value
    {
        enum Kind : uint8_t { Null, Number, Text };
        Kind kind = Null;
        double number = 0;
        QString text;
    };
    enum class State : uint8_t { None, Gone, Present };
    State m_state = State::None;
    std::vector<Value> m_values;
    std::vector<std::pair<double, size_t>> m_lines;   // entry, first value
    bool m_inOrder = true;
};

// One BOM header with its load, save and lookup methods. The lines live in
// the editor's child grid (columns in bomcol). Runs on the call state's
// connection unless a connection is given.
class BOM
{
public:
    BOM();
    explicit BOM(Connection &connection);

    // Header fields, in the order the editor knows them.
    int32_t BomID = 0;
    int32_t GroupID = 0;
    QString BomNumber;
    QString BomName;
    int16_t Status = 0;
    int32_t ItemID = 0;
    QString ItemNumber;
    QString ItemName;
    int32_t MeasureUnitID = 0;
    int32_t UnitGroupID = 0;
    QString MeasureUnit;
    QString MeasureUnitNumber;
    int32_t AuxPropID = 0;
    int32_t AuxClassID = 0;
    QString AuxProp;
    QString AuxPropNumber;
    QString Model;

    // Fills the header fields and the grid's lines for BomID. Any error shows
    // the read-error box and stops where it happened; the answer (also kept
    // in loadedWhole()) says whether the whole BOM was loaded, so a caller
    // never saves a BOM of which only a part reached the grid.
    bool GetMoreInfo(GridModel &grd);
    bool loadedWhole() const { return m_loadedWhole; }

    // Writes a new BOM (BomID is set from the new row) or rewrites BomID's,
    // each in one transaction. False after a reported failure, with the
    // database exactly as before. Update lets an error of the rights check
    // reach its caller, with nothing written.
    // Two clerks may have the same BOM open: Update rereads the stored BOM
    // inside its transaction, with it locked, and writes nothing when it is
    // no longer what this object loaded or last saved (see fingerprint()).
    bool Add(GridModel &grd);
    bool Update(GridModel &grd, int unused = 0);

    // The BOM as stored when this object loaded it whole or last saved it;
    // empty when neither happened, and then Update does not compare.
    const StoredBom &fingerprint() const { return m_fingerprint; }

    // Items joined with their extra data; Key is the WHERE clause (it may end
    // in an ordering clause). nullptr when nothing matches or on any error.
    RecordsetPtr GetInfo(const QString &key);
    // Units, auxiliary properties (items) and substitute classes that meet a
    // filter criteria text. An empty, usable set when nothing matches or the
    // criteria cannot be read; never a row the criteria would not take.
    RecordsetPtr GetUnitInfo(const QString &key);
    RecordsetPtr GetAuxPropInfo(const QString &key);
    RecordsetPtr GetReplaceClassInfo(const QString &key);

    // Marks a block for a following block operation: columns lCol..lCol2,
    // rows lRow..lRow2, each defaulting to the whole grid.
    void SelBlock(GridModel &grd, std::optional<int> lCol = {}, std::optional<int> lCol2 = {},
                  std::optional<int> lRow = {}, std::optional<int> lRow2 = {});

    // How the last filtered lookup was answered: true when the criteria went
    // to the database, false when the table was filtered in memory.
    bool lastLookupPushedDown() const { return m_lastPushedDown; }

private:
    Connection &connection() const;
    static void writeLines(Connection &cnn, const GridModel &grd, int32_t bomId, StoredBom *written);
    StoredBom headerFingerprint() const;
    RecordsetPtr filteredLookup(const lookupfilter::Table &table, const QString &key);
    const QStringList &tableColumns(Connection &cnn, const lookupfilter::Table &table);

    Connection *m_connection = nullptr;
    bool m_loadedWhole = false;
    StoredBom m_fingerprint;
    bool m_lastPushedDown = false;
    std::map<QString, QStringList> m_columns;   // per lookup table, as the database names them
};

} // namespace torvel
