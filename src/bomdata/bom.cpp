#include "bomdata/bom.h"

#include "bomdata/lookupfilter.h"
#include "state/callstate.h"
#include "services/com/comerror.h"
#include "services/text/helpers.h"
#include "services/screen/messagebox.h"
#include "services/text/numtext.h"
#include "services/com/rights.h"
#include "bomdata/gridmodel.h"

#include <cmath>

namespace torvel {

namespace {

QString nullSafeText(const Recordset &rs, const QString &field)
{
    return NullToValue(rs.Fields(field), QString()).toString();
}

int32_t nullSafeInt(const Recordset &rs, const QString &field)
{
    return NullToValue(rs.Fields(field), int32_t(0)).toInt32();
}

// The leading number of a null-safe field's text, as ids were tested.
double nullSafeVal(const Recordset &rs, const QString &field)
{
    return Val(NullToValue(rs.Fields(field), int32_t(0)).toString());
}

void showBox(const QString &prefix, const QString &description)
{
    MsgBox(prefix + description, mb::Information);
}

} // namespace

BOM::BOM() = default;

BOM::BOM(Connection &connection) : m_connection(&connection) {}

Connection &BOM::connection() const
{
    return m_connection ? *m_connection : callConnection();
}

bool BOM::GetMoreInfo(GridModel &grd)
{
    m_loadedWhole = false;
    try {
        Connection &cnn = connection();
        {
            RecordsetPtr rs = cnn.Execute(bomsql::kHeaderQueryHead + sqlNumber(BomID));
            if (!rs)
                throw ComError(errc::ObjectRequired, QStringLiteral("TORVEL"), errtext::kNoRecordset);
            // No end-of-data test: a missing header fails on the first field.
            BomNumber = Trim(rs->Fields(QStringLiteral("FBOMNumber")).toString());
            BomName = Trim(rs->Fields(QStringLiteral("FBOMName")).toString());
            ItemID = roundToInt32(nullSafeVal(*rs, QStringLiteral("FItemID")));
            ItemNumber = rs->Fields(QStringLiteral("FItemNumber")).toString();
            ItemName = rs->Fields(QStringLiteral("FItemName")).toString();
            MeasureUnitID = nullSafeInt(*rs, QStringLiteral("FMeasureUnitID"));
            UnitGroupID = nullSafeInt(*rs, QStringLiteral("FUnitGroupID"));
            MeasureUnit = nullSafeText(*rs, QStringLiteral("FMeasureUnit"));
            MeasureUnitNumber = nullSafeText(*rs, QStringLiteral("FMeasureUnitNumber"));
            Status = rs->Fields(QStringLiteral("FStatus")).toInt16();
            Model = nullSafeText(*rs, QStringLiteral("FModel"));
            AuxProp = nullSafeText(*rs, QStringLiteral("FAuxProp"));
            AuxClassID = nullSafeInt(*rs, QStringLiteral("FAuxClassID"));
            AuxPropID = nullSafeInt(*rs, QStringLiteral("FAuxPropID"));
        }

        RecordsetPtr rs = cnn.Execute(bomsql::kLineQueryHead + sqlNumber(BomID));
        if (!rs || rs->RecordCount() == 0) {
            m_loadedWhole = true;
            return true;
        }
        grd.setMaxRows(rs->RecordCount() + 1);
        const GridModel::Batch oneNotice(grd);
        // The cell settings below address single cells, whatever block the
        // caller left marked.
        struct BlockModeOff
        {
            GridModel &grid;
            bool was;
            explicit BlockModeOff(GridModel &g) : grid(g), was(g.BlockMode()) { grid.setBlockMode(false); }
            ~BlockModeOff() { grid.setBlockMode(was); }
        } blockModeOff(grd);

        // Field positions looked up once; a 10,000-line BOM reads 19 fields a row.
        struct Fields
        {
            int replaceClassID, replaceClassName, itemNumber, itemName, model, auxProp, unit, qtyScale,
                qty, scrap, remark, itemID, auxClassID, auxPropID, unitGroupID, unitID;
        };
        auto index = [&rs](const char *name) {
            const int i = rs->fieldIndex(QLatin1String(name));
            if (i < 0)
                throw ComError(errc::ItemNotFound, QStringLiteral("TORVEL"),
                               QStringLiteral("在对应所需名称或序数的集合中，未找到项目。"));
            return i;
        };
        const Fields f{index("FReplaceClassID"), index("FReplaceClassName"), index("FItemNumber"),
                       index("FItemName"), index("FModel"), index("FAuxProp"), index("FMeasureUnit"),
                       index("FQtyScale"), index("FQty"), index("FScrap"), index("FRemark"),
                       index("FItemID"), index("FAuxClassID"), index("FAuxPropID"),
                       index("FUnitGroupID"), index("FMeasureUnitID")};
        const Variant zero(int32_t(0));
        const Variant empty{QString()};
        auto text = [&](int field) { return NullToValue(rs->Fields(field), empty).toString(); };
        auto number = [&](int field) { return NullToValue(rs->Fields(field), zero); };

        for (int row = 1; !rs->Eof(); ++row) {
            if (Val(number(f.replaceClassID).toString()) > 0) {
                const QString className = text(f.replaceClassName);
                grd.SetText(bomcol::ReplaceClassName, row, className);
                grd.SetText(bomcol::ReplaceClassNameCopy, row, className);
                for (int col = bomcol::ItemNumber; col <= bomcol::Unit; ++col) {
                    grd.setCol(col);
                    grd.setRow(row);
                    grd.setLock(true);
                }
            } else {
                grd.setCol(bomcol::ReplaceClassName);
                grd.setRow(row);
                grd.setLock(true);
                const QString itemNumber = text(f.itemNumber);
                grd.SetText(bomcol::ItemNumber, row, itemNumber);
                grd.SetText(bomcol::ItemNumberCopy, row, itemNumber);
                grd.SetText(bomcol::ItemName, row, text(f.itemName));
                grd.SetText(bomcol::Model, row, text(f.model));
                grd.SetText(bomcol::AuxProp, row, text(f.auxProp));
                grd.SetText(bomcol::Unit, row, text(f.unit));
            }

            grd.setCol(bomcol::Qty);
            grd.setRow(row);
            grd.setTypeFloatDecimalPlaces(number(f.qtyScale).toInt32());
            grd.setValue(rs->Fields(f.qty).toDouble());
            grd.setCol(bomcol::Scrap);
            // Percent to 15 digits, as the platform showed doubles: a stored
            // 0.07 shows as 7, not as 7.000000000000001.
            grd.setValue(numtext::plainText(numtext::decimalDigits(rs->Fields(f.scrap).toDouble() * 100)));
            grd.SetText(bomcol::Remark, row, Trim(text(f.remark)));
            grd.SetText(bomcol::ItemID, row, number(f.itemID).toString());
            grd.SetText(bomcol::ReplaceClassID, row, number(f.replaceClassID).toString());
            grd.SetText(bomcol::AuxClassID, row, number(f.auxClassID).toString());
            grd.SetText(bomcol::AuxPropID, row, number(f.auxPropID).toString());

            if (Val(number(f.auxClassID).toString()) <= 0) {
                grd.setCol(bomcol::AuxProp);
                grd.setRow(row);
                grd.setLock(true);
                grd.setLockBackColor(kLockYellow);
            }

            grd.SetText(bomcol::AuxPropCopy, row, text(f.auxProp));
            grd.SetText(bomcol::UnitGroupID, row, number(f.unitGroupID).toString());
            grd.SetText(bomcol::UnitCopy, row, text(f.unit));
            grd.SetText(bomcol::UnitID, row, number(f.unitID).toString());
            rs->MoveNext();
        }
        m_loadedWhole = true;
        return true;
    } catch (const ComError &e) {
        showBox(bomtext::kReadError, e.description());
    } catch (const std::exception &e) {
        showBox(bomtext::kReadError, QString::fromLocal8Bit(e.what()));
    }
    return false;
}

bool BOM::Add(GridModel &grd)
{
    gBomName = BomName;
    Connection &cnn = connection();
    const QString header = QStringLiteral("INSERT INTO COM_Bom(FBOMNumber,FBOMName,FBOMGroupID,FItemID,")
        + QStringLiteral("FAuxPropID,FMeasureUnitID,FStatus) VALUES (") + sqlQuote(BomNumber) + u','
        + sqlQuote(BomName) + u',' + sqlNumber(GroupID) + u',' + sqlNumber(ItemID) + u','
        + sqlNumber(AuxPropID) + u',' + sqlNumber(MeasureUnitID) + u',' + sqlNumber(int32_t(Status))
        + u')';

    // The guard lives inside the try: the save is rolled back before a box shows.
    QString prefix = bomtext::kSaveError;
    try {
        Transaction transaction(cnn);
        cnn.Execute(header);
        // The generated key where the database gives one; else the row by
        // its number, which is unique.
        const Variant key = cnn.lastInsertId();
        int32_t newId = 0;
        if (!key.isEmpty() && !key.isNull()) {
            newId = key.toInt32();
        } else {
            RecordsetPtr rs = cnn.Execute(QStringLiteral("SELECT FBOMID FROM COM_Bom WHERE FBOMNumber=")
                                          + sqlQuote(BomNumber));
            if (!rs)
                throw ComError(errc::ObjectRequired, QStringLiteral("TORVEL"), errtext::kNoRecordset);
            newId = rs->Fields(QStringLiteral("FBomID")).toInt32();
        }
        prefix = bomtext::kAddError;
        writeLines(cnn, grd, newId);
        // A line the server refuses is reported as a line, not as the commit.
        cnn.flushWrites();
        prefix = bomtext::kSaveError;
        transaction.commit();
        BomID = newId;
    } catch (const ComError &e) {
        showBox(prefix, e.description());
        return false;
    }
    return true;
}

bool BOM::Update(GridModel &grd, int /*unused*/)
{
    // Errors of the rights check go to the caller: nothing has begun yet.
    if (!CheckRight(kRightSubject, kRightOperation, kRightFlags)) {
        MsgBox(bomtext::kNoRight, mb::Information);
        return false;
    }
    gBomName = BomName;
    Connection &cnn = connection();
    const QString header = QStringLiteral("UPDATE COM_BOM SET FBOMNumber =") + sqlQuote(BomNumber)
        + QStringLiteral(",FBOMName=") + sqlQuote(BomName) + QStringLiteral(",FItemID=") + sqlNumber(ItemID)
        + QStringLiteral(", FAuxPropID=") + sqlNumber(AuxPropID) + QStringLiteral(",FMeasureUnitID=")
        + sqlNumber(MeasureUnitID) + QStringLiteral(", FStatus=") + sqlNumber(int32_t(Status))
        + QStringLiteral(" WHERE FBOMID=") + sqlNumber(BomID);

    QString prefix = bomtext::kSaveError;
    try {
        Transaction transaction(cnn);
        qint64 updated = 0;
        cnn.Execute(header, &updated);
        // Without its header row the lines would be written under a dead id.
        if (updated != 1)
            throw ComError(errc::DatabaseError, QStringLiteral("TORVEL"), bomtext::kBomGone);
        prefix = bomtext::kDeleteError;
        cnn.Execute(QStringLiteral("DELETE FROM COM_BOM_Child  WHERE FBOMID=") + sqlNumber(BomID));
        cnn.flushWrites();
        prefix = bomtext::kAddError;
        writeLines(cnn, grd, BomID);
        cnn.flushWrites();
        prefix = bomtext::kSaveError;
        transaction.commit();
    } catch (const ComError &e) {
        showBox(prefix, e.description());
        return false;
    }
    return true;
}

// A number for a statement. Whole numbers, the usual quantities and a zero
// scrap, take the integer formatter, which writes the same text faster.
static QString numberText(double value)
{
    if (value == std::trunc(value) && std::abs(value) < 2147483647.0)
        return sqlNumber(int32_t(value));
    return sqlNumber(value);
}

// Inserts the grid's lines renumbered from 1 in grid order; blank rows close up.
void BOM::writeLines(Connection &cnn, const GridModel &grd, int32_t bomId)
{
    const QString head = QStringLiteral("INSERT INTO COM_Bom_Child (FBOMEntryID,FBOMID,FReplaceClassID,")
        + QStringLiteral("FItemID,FAuxPropID,FMeasureUnitID,FQty,FScrap,FRemark)") + QStringLiteral(" VALUES (");
    const QString id = sqlNumber(bomId);
    const int maxRows = grd.MaxRows();
    int32_t entry = 0;
    auto value = [&grd](int col, int row) { return Val(grd.text(col, row)); };
    for (int row = 1; row <= maxRows; ++row) {
        if (Trim(grd.text(bomcol::ReplaceClassName, row)).isEmpty()
            && Trim(grd.text(bomcol::ItemNumber, row)).isEmpty())
            continue;
        ++entry;
        double qty = value(bomcol::Qty, row);
        if (qty == 0)
            qty = 1;
        const double scrap = value(bomcol::Scrap, row) / 100;
        const QString remark = grd.text(bomcol::Remark, row);
        const int32_t itemId = roundToInt32(value(bomcol::ItemID, row));
        const int32_t replaceClassId = roundToInt32(value(bomcol::ReplaceClassID, row));
        const int32_t auxPropId = roundToInt32(value(bomcol::AuxPropID, row));
        const int32_t unitId = roundToInt32(value(bomcol::UnitID, row));
        cnn.Execute(head + sqlNumber(entry) + u',' + id + u',' + sqlNumber(replaceClassId) + u','
                    + sqlNumber(itemId) + u',' + sqlNumber(auxPropId) + u',' + sqlNumber(unitId) + u','
                    + numberText(qty) + u',' + numberText(scrap) + u',' + sqlQuote(remark) + u')');
    }
}

RecordsetPtr BOM::GetInfo(const QString &key)
{
    try {
        RecordsetPtr rs = connection().Execute(bomsql::kItemQueryHead + key);
        if (!rs)
            return nullptr;
        rs->setActiveConnection(nullptr);
        if (rs->Eof())
            return nullptr;
        return rs;
    } catch (const std::exception &) {
        return nullptr;
    }
}

RecordsetPtr BOM::GetUnitInfo(const QString &key)
{
    return filteredLookup(lookupfilter::unitTable(), key);
}

RecordsetPtr BOM::GetAuxPropInfo(const QString &key)
{
    return filteredLookup(lookupfilter::itemTable(), key);
}

RecordsetPtr BOM::GetReplaceClassInfo(const QString &key)
{
    return filteredLookup(lookupfilter::sysTypeTable(), key);
}

const QStringList &BOM::tableColumns(Connection &cnn, const lookupfilter::Table &table)
{
    auto found = m_columns.find(table.name);
    if (found == m_columns.end()) {
        RecordsetPtr rs = cnn.Execute(table.wholeQuery + QStringLiteral(" WHERE 1=0"));
        if (!rs)
            throw ComError(errc::ObjectRequired, QStringLiteral("TORVEL"), errtext::kNoRecordset);
        found = m_columns.emplace(table.name, rs->fieldNames()).first;
    }
    return found->second;
}

// The rows of `table` that the criteria `key` keeps, in the table's order.
// The criteria goes to the database where it can, so a lookup reads the
// matching rows through an index instead of the whole table; what only the
// in-memory filter decides alike is filtered in memory after reading all.
RecordsetPtr BOM::filteredLookup(const lookupfilter::Table &table, const QString &key)
{
    using Outcome = lookupfilter::Translation::Outcome;
    m_lastPushedDown = false;
    try {
        Connection &cnn = connection();
        const QStringList &fields = tableColumns(cnn, table);
        const lookupfilter::Translation translation
            = lookupfilter::translate(key, lookupfilter::presentColumns(table, fields), fields);
        if (translation.outcome == Outcome::Unreadable) {
            auto rs = std::make_shared<Recordset>(fields, std::vector<Recordset::Row>{});
            rs->setActiveConnection(nullptr);
            return rs;
        }
        if (translation.outcome == Outcome::Sql) {
            QString text = QStringLiteral("SELECT * FROM ") + table.name;
            if (!translation.where.isEmpty())
                text += QStringLiteral(" WHERE ") + translation.where;
            text += QStringLiteral(" ORDER BY ") + table.key;
            RecordsetPtr rs = cnn.Execute(text);
            if (!rs)
                return nullptr;
            rs->setActiveConnection(nullptr);
            m_lastPushedDown = true;
            return rs;
        }
        RecordsetPtr rs = cnn.Execute(table.wholeQuery);
        if (!rs)
            return nullptr;
        rs->setActiveConnection(nullptr);
        try {
            rs->setFilter(key);
        } catch (const ComError &) {
            // The set now shows no rows: a rejected criteria matches nothing.
        }
        return rs;
    } catch (const std::exception &) {
        // A failed lookup answers nothing; the callers report "not found".
        return nullptr;
    }
}

void BOM::SelBlock(GridModel &grd, std::optional<int> lCol, std::optional<int> lCol2, std::optional<int> lRow,
                   std::optional<int> lRow2)
{
    grd.setCol(lCol.value_or(1));
    grd.setCol2(lCol2.value_or(grd.MaxCols()));
    grd.setRow(lRow.value_or(1));
    grd.setRow2(lRow2.value_or(grd.MaxRows()));
}

} // namespace torvel
