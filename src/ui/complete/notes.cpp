#include "ui/complete/notes.h"

#include "bomdata/bom.h"
#include "bomdata/gridmodel.h"
#include "bomdata/lookupkeys.h"
#include "services/com/comerror.h"
#include "services/db/connection.h"
#include "services/db/recordset.h"
#include "services/text/helpers.h"
#include "services/text/numtext.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace torvel {

QString completetext::itemMissing(int row)
{
    return QStringLiteral("请在") + QString::number(row) + QStringLiteral("行输入子商品!");
}

QString completetext::unitMissing(int row)
{
    return QStringLiteral("请") + QString::number(row) + QStringLiteral("行输入子商品的计量单位!");
}

QString completetext::auxPropMissing(int row)
{
    return QStringLiteral("请") + QString::number(row) + QStringLiteral("行输入子商品的辅助属性!");
}

namespace notes {

const QString kChildSourceHead = QStringLiteral(
    "SELECT COM_BOM_Child.*,t_Item.FNumber as FItemNumber,t_Item.FName as FItemName,COM_Item.FModel as FModel,"
    " AuxProp.FName as FAuxProp,t_MeasureUnit.FName as FMeasureUnit,"
    " COM_Item.FAuxClassID as FAuxClassID,COM_Item.FUnitGroupID as FUnitGroupID,"
    " COM_Systype.FName as FReplaceClassName"
    " FROM COM_BOM_Child"
    " LEFT JOIN t_Item on COM_Bom_Child.FItemid=t_Item.FItemid "
    " LEFT JOIN COM_Item on COM_Bom_Child.fitemid=COM_Item.FItemid "
    " LEFT JOIN t_Item AuxProp on COM_Bom_Child.Fauxpropid=AuxProp.FItemid "
    " LEFT JOIN t_MeasureUnit on COM_Bom_Child.FMeasureUnitID=t_MeasureUnit.FMeasureUnitID"
    " LEFT JOIN COM_Systype on COM_Bom_Child.FReplaceClassID=COM_Systype.FSysTypeID"
    " WHERE  FBOMID=");

const QString kNoteSourceHead = QStringLiteral(
    "SELECT COM_BOM_Note.*,t_Item.FNumber as FItemNumber,t_Item.FName as FItemName,COM_Item.FModel as FModel,"
    " AuxProp.FName as FAuxProp,t_MeasureUnit.FName as FMeasureUnit,"
    " COM_Item.FAuxClassID as FAuxClassID,COM_Item.FUnitGroupID as FUnitGroupID,"
    " COM_Systype.FName as FReplaceClassName"
    " FROM COM_BOM_Note"
    " LEFT JOIN t_Item on COM_BOM_Note.FItemid=t_Item.FItemid "
    " LEFT JOIN COM_Item on COM_BOM_Note.fitemid=COM_Item.FItemid "
    " LEFT JOIN t_Item AuxProp on COM_BOM_Note.Fauxpropid=AuxProp.FItemid "
    " LEFT JOIN t_MeasureUnit on COM_BOM_Note.FMeasureUnitID=t_MeasureUnit.FMeasureUnitID"
    " LEFT JOIN COM_Systype on COM_BOM_Note.FReplaceClassID=COM_Systype.FSysTypeID"
    " WHERE  FBOMNoteID=");

namespace {

// The columns a save writes, as a save reads them back.
const QString kStoredNotesHead = QStringLiteral(
    "SELECT FBOMEntryID,FBOMID,FReplaceClassID,FItemID,FAuxPropID,FMeasureUnitID,FQty,FScrap,FRemark"
    " FROM COM_BOM_Note WHERE FBOMNoteID=");
constexpr size_t kStoredNoteWidth = 9;

// The notes as stored now, read inside the save's transaction and locked
// until it ends.
StoredBom readStoredNotes(Connection &cnn, int32_t noteId)
{
    const RecordsetPtr rs
        = cnn.Execute(cnn.lockingRead(kStoredNotesHead + sqlNumber(noteId) + QStringLiteral(" ORDER BY FBOMEntryID")));
    if (!rs)
        throw ComError(errc::ObjectRequired, QStringLiteral("TORVEL"), errtext::kNoRecordset);
    StoredBom stored;
    stored.addNumber(noteId);   // taken, even without a row
    stored.reserveLines(size_t(std::max(0, rs->RecordCount())), kStoredNoteWidth);
    for (; !rs->Eof(); rs->MoveNext()) {
        stored.beginLine(NullToValue(rs->Fields(0), int32_t(0)).toDouble());
        for (int f = 0; f < int(kStoredNoteWidth); ++f)
            stored.add(rs->Fields(f));
    }
    stored.finish();
    return stored;
}

// What the database reads from the statement text of a number: a whole
// number as it is, else the nearest double to the text, not the grid's value.
double readBack(double value, const QString &text)
{
    if (value == std::trunc(value) && std::abs(value) < 1e15)
        return value;
    char digits[64];
    const qsizetype n = std::min<qsizetype>(text.size(), qsizetype(sizeof digits));
    for (qsizetype i = 0; i < n; ++i)
        digits[i] = char(text.at(i).unicode());
    double read = value;
    std::from_chars(digits, digits + n, read);
    return read;
}

void lockCell(GridModel &grid, int col, int row)
{
    grid.setCol(col);
    grid.setRow(row);
    grid.setLock(true);
    grid.setLockBackColor(kLockYellow);
}

QString percentText(double fraction)
{
    // 15 digits, as the platform showed doubles: 0.07 shows as 7.
    return numtext::plainText(numtext::decimalDigits(fraction * 100));
}

bool sameNumber(double a, double b)
{
    return std::abs(a - b) <= 1e-12 * std::max(1.0, std::max(std::abs(a), std::abs(b)));
}

int32_t scalarId(Connection &cnn, const QString &sql)
{
    const RecordsetPtr rs = cnn.Execute(sql);
    if (!rs || rs->Eof())
        return 0;
    return roundToInt32(Val(NullToValue(rs->Fields(0), int32_t(0)).toString()));
}

// The next completion id. The allocation row is updated first, so a second
// client's save waits on it until this one ends; the id is then the greater
// of the row's count and the highest stored id plus one, so notes written
// before the row existed, or by hand, are never joined by another's.
int32_t allocateNoteId(Connection &cnn)
{
    qint64 updated = 0;
    cnn.Execute(QStringLiteral("UPDATE COM_BOM_NoteSeq SET FLastNoteID=FLastNoteID+1 WHERE FSeqID=1"), &updated);
    if (updated != 1)
        cnn.Execute(QStringLiteral("INSERT INTO COM_BOM_NoteSeq (FSeqID,FLastNoteID) VALUES (1,1)"));
    const int64_t counted = scalarId(cnn, QStringLiteral("SELECT FLastNoteID FROM COM_BOM_NoteSeq WHERE FSeqID=1"));
    const int64_t stored = scalarId(cnn, QStringLiteral("SELECT Max(FBOMNoteID) FROM COM_BOM_Note"));
    const int64_t id = std::max(counted, stored + 1);
    if (id > std::numeric_limits<int32_t>::max())
        throw ComError(errc::Overflow, QStringLiteral("TORVEL"), errtext::kOverflow);
    if (id != counted)
        cnn.Execute(QStringLiteral("UPDATE COM_BOM_NoteSeq SET FLastNoteID=") + sqlNumber(int32_t(id))
                    + QStringLiteral(" WHERE FSeqID=1"));
    return int32_t(id);
}

} // namespace

std::vector<Line> load(Connection &cnn, GridModel &grid, int32_t noteId, int32_t bomId, StoredBom *stored)
{
    if (stored)
        *stored = StoredBom();
    const RecordsetPtr rs = noteId >= 1 ? cnn.Execute(kNoteSourceHead + sqlNumber(noteId))
                                        : cnn.Execute(kChildSourceHead + sqlNumber(bomId));
    std::vector<Line> lines;
    // The notes as this dialog saw them; a new completion has none to keep.
    const bool keep = stored && noteId >= 1;
    StoredBom seen;
    if (keep)
        seen.addNumber(noteId);
    if (!rs || rs->RecordCount() == 0) {
        if (keep && rs)
            *stored = std::move(seen);
        return lines;
    }

    auto index = [&rs](const char *name) {
        const int i = rs->fieldIndex(QLatin1String(name));
        if (i < 0)
            throw ComError(errc::ItemNotFound, QStringLiteral("TORVEL"),
                           QStringLiteral("在对应所需名称或序数的集合中，未找到项目。"));
        return i;
    };
    const int fClassName = index("FReplaceClassName"), fNumber = index("FItemNumber"), fName = index("FItemName"),
              fModel = index("FModel"), fAuxProp = index("FAuxProp"), fUnit = index("FMeasureUnit"),
              fItemId = index("FItemID"), fAuxClassId = index("FAuxClassID"), fAuxPropId = index("FAuxPropID"),
              fUnitGroupId = index("FUnitGroupID"), fUnitId = index("FMeasureUnitID"), fQty = index("FQty"),
              fScrap = index("FScrap"), fRemark = index("FRemark"), fClassId = index("FReplaceClassID");
    const std::array<int, kStoredNoteWidth> storedFields{index("FBOMEntryID"), index("FBOMID"), fClassId, fItemId,
                                                         fAuxPropId, fUnitId, fQty, fScrap, fRemark};
    const Variant empty{QString()};
    const Variant zero(int32_t(0));
    auto text = [&](int field) { return NullToValue(rs->Fields(field), empty).toString(); };
    auto number = [&](int field) { return NullToValue(rs->Fields(field), zero).toString(); };

    grid.setBlockMode(false);
    grid.setMaxRows(rs->RecordCount());
    // Class name, item name and model are never typed into.
    for (int col : {notecol::ReplaceClassName, notecol::ItemName, notecol::Model})
        lockCell(grid, col, -1);
    lines.reserve(size_t(rs->RecordCount()));
    if (keep)
        seen.reserveLines(size_t(rs->RecordCount()), kStoredNoteWidth);
    for (int row = 1; !rs->Eof(); ++row, rs->MoveNext()) {
        const QString className = text(fClassName);
        const QString itemNumber = text(fNumber);
        const QString auxProp = text(fAuxProp);
        const QString unit = text(fUnit);
        const QString auxClass = number(fAuxClassId);
        const QString classId = number(fClassId);
        const Variant scrap = rs->Fields(fScrap);
        grid.SetText(notecol::ReplaceClassName, row, className);
        grid.SetText(notecol::ItemNumber, row, itemNumber);
        grid.SetText(notecol::ItemName, row, text(fName));
        grid.SetText(notecol::Model, row, text(fModel));
        grid.SetText(notecol::AuxProp, row, auxProp);
        grid.SetText(notecol::Unit, row, unit);
        grid.SetText(notecol::ItemID, row, number(fItemId));
        grid.SetText(notecol::ItemNumberCopy, row, itemNumber);
        grid.SetText(notecol::AuxClassID, row, auxClass);
        grid.SetText(notecol::AuxPropID, row, number(fAuxPropId));
        grid.SetText(notecol::AuxPropCopy, row, auxProp);
        grid.SetText(notecol::UnitGroupID, row, number(fUnitGroupId));
        grid.SetText(notecol::UnitCopy, row, unit);
        grid.SetText(notecol::UnitID, row, number(fUnitId));
        grid.SetText(notecol::Qty, row, number(fQty));
        grid.SetText(notecol::Scrap, row, scrap.isNull() ? QString() : percentText(Val(number(fScrap))));
        grid.SetText(notecol::Remark, row, text(fRemark));
        // A substitute row lets the item, its property and its unit be chosen;
        // a fixed row only the property of an item that takes one.
        const bool substitute = !className.isEmpty();
        if (substitute) {
            grid.SetText(notecol::ReplaceClassID, row, classId);
        } else {
            lockCell(grid, notecol::ItemNumber, row);
            lockCell(grid, notecol::Unit, row);
            if (Val(auxClass) == 0)
                lockCell(grid, notecol::AuxProp, row);
        }
        lines.push_back(Line{roundToInt32(Val(classId)), roundToInt32(Val(number(fItemId))), Val(number(fQty)),
                             scrap.isNull() ? 0.0 : Val(number(fScrap))});
        if (keep) {
            seen.beginLine(NullToValue(rs->Fields(storedFields[0]), zero).toDouble());
            for (int f : storedFields)
                seen.add(rs->Fields(f));
        }
    }
    for (int col = notecol::FirstHidden; col <= notecol::Count; ++col)
        grid.setColHidden(col, true);
    if (keep) {
        seen.finish();
        *stored = std::move(seen);
    }
    return lines;
}

std::optional<QString> bomChange(Connection &cnn, int32_t bomId, const std::vector<Line> &rows)
{
    const RecordsetPtr rs = cnn.Execute(
        QStringLiteral("SELECT FReplaceClassID,FItemID,FQty,FScrap FROM COM_BOM_Child WHERE FBOMID=") + sqlNumber(bomId)
        + QStringLiteral(" ORDER BY FBOMEntryID"));
    auto number = [&rs](int field) { return Val(NullToValue(rs->Fields(field), int32_t(0)).toString()); };
    auto plain = [](double value) { return numtext::plainText(numtext::decimalDigits(value)); };
    const QString head = QStringLiteral("此配置保存之后商品结构清单已经修改: ");
    const QString tail = QStringLiteral("。请核对后再保存。");
    size_t row = 0;
    for (; rs && !rs->Eof(); rs->MoveNext(), ++row) {
        if (row >= rows.size())
            break;
        const Line &note = rows[row];
        const int32_t classId = roundToInt32(number(0));
        const QString at = QStringLiteral("第%1行").arg(row + 1);
        const bool sameLine = classId > 0 ? note.replaceClassId == classId
                                          : note.replaceClassId == 0 && note.itemId == roundToInt32(number(1));
        if (!sameLine)
            return head + at + QStringLiteral("的可替换商品类别或子商品不同") + tail;
        // A zero quantity is stored as 1 by both saves.
        const double qty = number(2) == 0 ? 1 : number(2);
        const double noteQty = note.qty == 0 ? 1 : note.qty;
        if (!sameNumber(qty, noteQty))
            return head + at + QStringLiteral("的数量由%1改为%2").arg(plain(noteQty), plain(qty)) + tail;
        if (!sameNumber(number(3), note.scrap))
            return head + at
                + QStringLiteral("的损耗率由%1%改为%2%").arg(percentText(note.scrap), percentText(number(3))) + tail;
    }
    size_t bomLines = row;
    for (; rs && !rs->Eof(); rs->MoveNext())
        ++bomLines;
    if (bomLines != rows.size())
        return head + QStringLiteral("清单现有%1行, 此配置有%2行").arg(bomLines).arg(rows.size()) + tail;
    return std::nullopt;
}

std::optional<QString> check(const GridModel &grid)
{
    for (int row = 1; row <= grid.MaxRows(); ++row) {
        if (Val(grid.text(notecol::ItemID, row)) == 0)
            return completetext::itemMissing(row);
        if (Val(grid.text(notecol::UnitID, row)) == 0)
            return completetext::unitMissing(row);
        if (Val(grid.text(notecol::AuxClassID, row)) > 0 && Val(grid.text(notecol::AuxPropID, row)) == 0)
            return completetext::auxPropMissing(row);
    }
    return std::nullopt;
}

int32_t save(Connection &cnn, const GridModel &grid, int32_t noteId, int32_t bomId, StoredBom *stored)
{
    const bool compare = noteId > 0 && stored && !stored->isEmpty();
    Transaction transaction(cnn, compare ? Transaction::ReadsFirst : Transaction::Plain);
    int32_t id = noteId;
    if (noteId > 0) {
        // Another clerk's save since this dialog loaded would be lost without
        // a word; the notes stay locked from this read to the commit.
        if (compare && !(readStoredNotes(cnn, id) == *stored)) {
            transaction.rollback();
            return 0;
        }
        cnn.Execute(QStringLiteral("DELETE  FROM COM_BOM_Note WHERE FBomNoteID=") + sqlNumber(id));
        // An id the host brought in counts as handed out from now on.
        cnn.Execute(QStringLiteral("UPDATE COM_BOM_NoteSeq SET FLastNoteID=") + sqlNumber(id)
                    + QStringLiteral(" WHERE FSeqID=1 AND FLastNoteID<") + sqlNumber(id));
    } else {
        id = allocateNoteId(cnn);
    }

    const QString head = QStringLiteral("INSERT INTO COM_Bom_Note (FBOMNoteID,FBOMEntryID,FBOMID,FReplaceClassID,")
        + QStringLiteral("FItemID,FAuxPropID,FMeasureUnitID,FQty,FScrap,FRemark)") + QStringLiteral(" VALUES (")
        + sqlNumber(id) + u',';
    const QString bom = u',' + sqlNumber(bomId) + u',';
    StoredBom written;
    if (stored) {
        written.addNumber(id);
        written.reserveLines(size_t(std::max(0, grid.MaxRows())), kStoredNoteWidth);
    }
    int32_t entry = 0;
    for (int row = 1; row <= grid.MaxRows(); ++row) {
        if (Trim(grid.text(notecol::ItemNumber, row)).isEmpty())
            continue;
        double qty = Val(grid.text(notecol::Qty, row));
        if (qty == 0)
            qty = 1;
        const double scrap = Val(grid.text(notecol::Scrap, row)) / 100;
        const int32_t classId = cellId(grid, notecol::ReplaceClassID, row), itemId = cellId(grid, notecol::ItemID, row),
                      auxPropId = cellId(grid, notecol::AuxPropID, row), unitId = cellId(grid, notecol::UnitID, row);
        const QString qtyText = sqlNumber(qty), scrapText = sqlNumber(scrap), remark = grid.text(notecol::Remark, row);
        cnn.Execute(head + sqlNumber(++entry) + bom + sqlNumber(classId) + u',' + sqlNumber(itemId) + u','
                    + sqlNumber(auxPropId) + u',' + sqlNumber(unitId) + u',' + qtyText + u',' + scrapText + u','
                    + sqlQuote(remark) + u')');
        if (stored) {
            written.beginLine(entry);
            for (const int32_t v : {entry, bomId, classId, itemId, auxPropId, unitId})
                written.addNumber(v);
            written.addNumber(readBack(qty, qtyText));
            written.addNumber(readBack(scrap, scrapText));
            written.addText(remark);
        }
    }
    transaction.commit();
    if (stored)
        *stored = std::move(written);
    return id;
}

} // namespace notes
} // namespace torvel
