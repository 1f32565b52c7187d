#include "bomdata/bom.h"

#include "bomdata/lookupfilter.h"
#include "state/callstate.h"
#include "services/com/comerror.h"
#include "services/text/helpers.h"
#include "services/screen/messagebox.h"
#include "services/text/numtext.h"
#include "services/com/rights.h"
#include "bomdata/gridmodel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

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

// The columns a save writes, as a save reads them back.
const QString kStoredHeader = QStringLiteral("SELECT FBOMNumber,FBOMName,FItemID,FAuxPropID,FMeasureUnitID,FStatus"
                                             " FROM COM_BOM WHERE FBOMID=");
const QString kStoredLinesHead = QStringLiteral(
    "SELECT FBOMEntryID,FReplaceClassID,FItemID,FAuxPropID,FMeasureUnitID,FQty,FScrap,FRemark"
    " FROM COM_BOM_Child WHERE FBOMID=");
constexpr int kStoredLineWidth = 8;

double entryOf(const Recordset &rs, int field)
{
    return NullToValue(rs.Fields(field), int32_t(0)).toDouble();
}

void addRow(StoredBom &stored, const Recordset &rs, double entry, std::initializer_list<int> fields)
{
    stored.beginLine(entry);
    for (int f : fields)
        stored.add(rs.Fields(f));
}

// NullToValue with "" or 0, read in place: filling the grid reads some twenty
// values a line, and a copy of each through NullToValue cost more than the
// cells they go to.
bool isNoValue(const Variant &v)
{
    return v.isNull() || (v.isString() && v.toString() == QLatin1String("*"));
}

QString textOf(const Variant &v)
{
    QString text;
    if (!v.isNull()) {
        text = v.toString();
        if (v.isString() && text == QLatin1String("*"))
            text.clear();
    }
    return text;
}

QString numberTextOf(const Variant &v)
{
    if (v.type() == Variant::Type::Int32) {
        // The text QString::number writes, without its general number path.
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, v.toInt32()).ptr;
        return QString::fromLatin1(digits, qsizetype(end - digits));
    }
    return isNoValue(v) ? QStringLiteral("0") : v.toString();
}

// numberTextOf for one id column down the lines: the lines repeat the id
// before them often (the unit, no class, no property), and then share its text.
class IdColumnText
{
public:
    QString operator()(const Variant &v)
    {
        if (v.type() != Variant::Type::Int32)
            return numberTextOf(v);
        const int32_t id = v.toInt32();
        if (m_text.isNull() || id != m_id) {
            m_id = id;
            m_text = numberTextOf(v);
        }
        return m_text;
    }

private:
    int32_t m_id = 0;
    QString m_text;
};

// Val of numberTextOf without the text for a whole number.
double numberOf(const Variant &v)
{
    if (isNoValue(v))
        return 0;
    if (v.type() == Variant::Type::Int32 || v.type() == Variant::Type::Int16)
        return v.toInt32();
    return Val(v.toString());
}

// The BOM as stored now, read inside the save's transaction: the header row
// locked before the lines are read.
StoredBom readStored(Connection &cnn, int32_t bomId)
{
    const QString id = sqlNumber(bomId);
    RecordsetPtr header = cnn.Execute(cnn.lockingRead(kStoredHeader + id));
    if (!header)
        throw ComError(errc::ObjectRequired, QStringLiteral("TORVEL"), errtext::kNoRecordset);
    if (header->Eof())
        return StoredBom::gone();
    StoredBom stored;
    for (int f = 0; f < 6; ++f)
        stored.add(header->Fields(f));
    RecordsetPtr lines = cnn.Execute(kStoredLinesHead + id + QStringLiteral(" ORDER BY FBOMEntryID"));
    if (!lines)
        throw ComError(errc::ObjectRequired, QStringLiteral("TORVEL"), errtext::kNoRecordset);
    stored.reserveLines(size_t(std::max(0, lines->RecordCount())), kStoredLineWidth);
    for (; !lines->Eof(); lines->MoveNext())
        addRow(stored, *lines, entryOf(*lines, 0), {0, 1, 2, 3, 4, 5, 6, 7});
    stored.finish();
    return stored;
}

} // namespace

// ---- StoredBom ----

StoredBom StoredBom::gone()
{
    StoredBom stored;
    stored.m_state = State::Gone;
    return stored;
}

void StoredBom::add(const Variant &value)
{
    switch (value.type()) {
    case Variant::Type::String:
        addText(value.toString());
        break;
    case Variant::Type::Empty:
    case Variant::Type::Null:
    case Variant::Type::Object:
        m_state = State::Present;
        m_values.emplace_back();
        break;
    default:
        addNumber(value.toDouble());
        break;
    }
}

void StoredBom::addNumber(double value)
{
    m_state = State::Present;
    m_values.push_back({Value::Number, value, QString()});
}

void StoredBom::addText(const QString &text)
{
    m_state = State::Present;
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    m_values.push_back({Value::Text, 0, end == text.size() ? text : text.left(end)});
}

void StoredBom::reserveLines(size_t lines, size_t valuesPerLine)
{
    m_values.reserve(m_values.size() + lines * valuesPerLine);
    m_lines.reserve(m_lines.size() + lines);
}

void StoredBom::beginLine(double entry)
{
    m_state = State::Present;
    m_inOrder = m_inOrder && (m_lines.empty() || entry >= m_lines.back().first);
    m_lines.emplace_back(entry, m_values.size());
}

void StoredBom::finish()
{
    if (m_inOrder || m_lines.empty())
        return;
    // A line's values run up to where the next line added begins.
    struct Span
    {
        double entry;
        size_t first, end;
    };
    std::vector<Span> spans;
    spans.reserve(m_lines.size());
    for (size_t i = 0; i < m_lines.size(); ++i)
        spans.push_back({m_lines[i].first, m_lines[i].second,
                         i + 1 < m_lines.size() ? m_lines[i + 1].second : m_values.size()});
    std::stable_sort(spans.begin(), spans.end(), [](const Span &a, const Span &b) { return a.entry < b.entry; });
    std::vector<Value> sorted;
    sorted.reserve(m_values.size());
    // The header: what came before the first line added.
    sorted.insert(sorted.end(), m_values.begin(), m_values.begin() + std::ptrdiff_t(m_lines.front().second));
    m_lines.clear();
    for (const Span &span : spans) {
        m_lines.emplace_back(span.entry, sorted.size());
        for (size_t i = span.first; i < span.end; ++i)
            sorted.push_back(std::move(m_values[i]));
    }
    m_values = std::move(sorted);
    m_inOrder = true;
}

bool StoredBom::operator==(const StoredBom &other) const
{
    if (m_state != other.m_state || m_values.size() != other.m_values.size())
        return false;
    for (size_t i = 0; i < m_values.size(); ++i) {
        const Value &a = m_values[i];
        const Value &b = other.m_values[i];
        if (a.kind != b.kind)
            return false;
        if (a.kind == Value::Text && a.text != b.text)
            return false;
        if (a.kind == Value::Number && a.number != b.number
            && !(std::abs(a.number - b.number)
                 <= 2 * std::numeric_limits<double>::epsilon() * std::max(std::abs(a.number), std::abs(b.number))))
            return false;
    }
    return true;
}

BOM::BOM() = default;

BOM::BOM(Connection &connection) : m_connection(&connection) {}

Connection &BOM::connection() const
{
    return m_connection ? *m_connection : callConnection();
}

bool BOM::GetMoreInfo(GridModel &grd)
{
    m_loadedWhole = false;
    m_fingerprint = StoredBom();
    try {
        Connection &cnn = connection();
        StoredBom stored;
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
            for (const char *column : {"FBOMNumber", "FBOMName", "FItemID", "FAuxPropID", "FMeasureUnitID", "FStatus"})
                stored.add(rs->Fields(QLatin1String(column)));
        }

        RecordsetPtr rs = cnn.Execute(bomsql::kLineQueryHead + sqlNumber(BomID));
        if (!rs || rs->RecordCount() == 0) {
            m_loadedWhole = true;
            m_fingerprint = std::move(stored);
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
        const int entryField = index("FBOMEntryID");
        stored.reserveLines(size_t(rs->RecordCount()), kStoredLineWidth);

        // The rows are read in place: nothing has filtered this set.
        IdColumnText itemIdText, classIdText, auxClassIdText, auxPropIdText, unitGroupIdText, unitIdText;
        int row = 0;
        for (const Recordset::Row &r : rs->rows()) {
            ++row;
            if (numberOf(r[size_t(f.replaceClassID)]) > 0) {
                const QString className = textOf(r[size_t(f.replaceClassName)]);
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
                const QString itemNumber = textOf(r[size_t(f.itemNumber)]);
                grd.SetText(bomcol::ItemNumber, row, itemNumber);
                grd.SetText(bomcol::ItemNumberCopy, row, itemNumber);
                grd.SetText(bomcol::ItemName, row, textOf(r[size_t(f.itemName)]));
                grd.SetText(bomcol::Model, row, textOf(r[size_t(f.model)]));
                grd.SetText(bomcol::AuxProp, row, textOf(r[size_t(f.auxProp)]));
                grd.SetText(bomcol::Unit, row, textOf(r[size_t(f.unit)]));
            }

            grd.setCol(bomcol::Qty);
            grd.setRow(row);
            const Variant &qtyScale = r[size_t(f.qtyScale)];
            grd.setTypeFloatDecimalPlaces(isNoValue(qtyScale) ? 0 : qtyScale.toInt32());
            grd.setValue(r[size_t(f.qty)].toDouble());
            grd.setCol(bomcol::Scrap);
            // Percent to 15 digits, as the platform showed doubles: a stored
            // 0.07 shows as 7, not as 7.000000000000001.
            const double percent = r[size_t(f.scrap)].toDouble() * 100;
            // A whole percent (no scrap, mostly) has one text either way.
            if (percent == std::trunc(percent) && std::abs(percent) < 1e15)
                grd.setValue(percent);
            else
                grd.setValue(numtext::plainText(numtext::decimalDigits(percent)));
            grd.SetText(bomcol::Remark, row, Trim(textOf(r[size_t(f.remark)])));
            grd.SetText(bomcol::ItemID, row, itemIdText(r[size_t(f.itemID)]));
            grd.SetText(bomcol::ReplaceClassID, row, classIdText(r[size_t(f.replaceClassID)]));
            const Variant &auxClass = r[size_t(f.auxClassID)];
            grd.SetText(bomcol::AuxClassID, row, auxClassIdText(auxClass));
            grd.SetText(bomcol::AuxPropID, row, auxPropIdText(r[size_t(f.auxPropID)]));

            if (numberOf(auxClass) <= 0) {
                grd.setCol(bomcol::AuxProp);
                grd.setRow(row);
                grd.setLock(true);
                grd.setLockBackColor(kLockYellow);
            }

            grd.SetText(bomcol::AuxPropCopy, row, textOf(r[size_t(f.auxProp)]));
            grd.SetText(bomcol::UnitGroupID, row, unitGroupIdText(r[size_t(f.unitGroupID)]));
            grd.SetText(bomcol::UnitCopy, row, textOf(r[size_t(f.unit)]));
            grd.SetText(bomcol::UnitID, row, unitIdText(r[size_t(f.unitID)]));
            const Variant &entry = r[size_t(entryField)];
            stored.beginLine(isNoValue(entry) ? 0 : entry.toDouble());
            for (int field : {entryField, f.replaceClassID, f.itemID, f.auxPropID, f.unitID, f.qty, f.scrap, f.remark})
                stored.add(r[size_t(field)]);
        }
        stored.finish();
        m_loadedWhole = true;
        m_fingerprint = std::move(stored);
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
        StoredBom written = headerFingerprint();
        writeLines(cnn, grd, newId, &written);
        // A line the server refuses is reported as a line, not as the commit.
        cnn.flushWrites();
        prefix = bomtext::kSaveError;
        transaction.commit();
        BomID = newId;
        m_fingerprint = std::move(written);
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
        Transaction transaction(cnn, Transaction::ReadsFirst);
        // Another clerk's save since this one loaded would be lost without a
        // word; the stored BOM stays locked from this read to the commit.
        if (!m_fingerprint.isEmpty() && !(readStored(cnn, BomID) == m_fingerprint)) {
            transaction.rollback();
            MsgBox(bomtext::kChangedByOthers, mb::Information);
            return false;
        }
        qint64 updated = 0;
        cnn.Execute(header, &updated);
        // Without its header row the lines would be written under a dead id.
        if (updated != 1)
            throw ComError(errc::DatabaseError, QStringLiteral("TORVEL"), bomtext::kBomGone);
        prefix = bomtext::kDeleteError;
        cnn.Execute(QStringLiteral("DELETE FROM COM_BOM_Child  WHERE FBOMID=") + sqlNumber(BomID));
        cnn.flushWrites();
        prefix = bomtext::kAddError;
        StoredBom written = headerFingerprint();
        writeLines(cnn, grd, BomID, &written);
        cnn.flushWrites();
        prefix = bomtext::kSaveError;
        transaction.commit();
        m_fingerprint = std::move(written);
    } catch (const ComError &e) {
        showBox(prefix, e.description());
        return false;
    }
    return true;
}

static bool isWholeInt32(double value)
{
    return value == std::trunc(value) && std::abs(value) < 2147483647.0;
}

// A number for a statement. Whole numbers, the usual quantities and a zero
// scrap, take the integer formatter, which writes the same text faster.
static QString numberText(double value)
{
    if (isWholeInt32(value))
        return sqlNumber(int32_t(value));
    return sqlNumber(value);
}

// The header as a save writes it.
StoredBom BOM::headerFingerprint() const
{
    StoredBom stored;
    stored.addText(BomNumber);
    stored.addText(BomName);
    for (const int32_t v : {ItemID, AuxPropID, MeasureUnitID, int32_t(Status)})
        stored.addNumber(v);
    return stored;
}

// Inserts the grid's lines renumbered from 1 in grid order; blank rows close
// up. `written` gets the lines as the database will hand them back.
void BOM::writeLines(Connection &cnn, const GridModel &grd, int32_t bomId, StoredBom *written)
{
    const QString head = QStringLiteral("INSERT INTO COM_Bom_Child (FBOMEntryID,FBOMID,FReplaceClassID,")
        + QStringLiteral("FItemID,FAuxPropID,FMeasureUnitID,FQty,FScrap,FRemark)") + QStringLiteral(" VALUES (");
    const QString id = sqlNumber(bomId);
    const int maxRows = grd.MaxRows();
    if (written)
        written->reserveLines(size_t(std::max(0, maxRows)), kStoredLineWidth);
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
        const QString qtyText = numberText(qty);
        const QString scrapText = numberText(scrap);
        cnn.Execute(head + sqlNumber(entry) + u',' + id + u',' + sqlNumber(replaceClassId) + u','
                    + sqlNumber(itemId) + u',' + sqlNumber(auxPropId) + u',' + sqlNumber(unitId) + u','
                    + qtyText + u',' + scrapText + u',' + sqlQuote(remark) + u')');
        if (written) {
            written->beginLine(entry);
            for (const int32_t v : {entry, replaceClassId, itemId, auxPropId, unitId})
                written->addNumber(v);
            // What the database reads from the text written, not the grid's value.
            written->addNumber(isWholeInt32(qty) ? qty : qtyText.toDouble());
            written->addNumber(isWholeInt32(scrap) ? scrap : scrapText.toDouble());
            written->addText(remark);
        }
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
