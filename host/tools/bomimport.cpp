// Reading a BOM file and writing what it holds: every row checked against the
// master data with the editor's rules before a single statement is written.

#include "bomtools.h"
#include "toolsinternal.h"

#include "services/db/recordset.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>

namespace torvel::host {

using namespace tools;

// ---- CSV --------------------------------------------------------------------

std::vector<CsvRecord> readCsv(const QString &text, std::vector<ImportIssue> *issues)
{
    std::vector<CsvRecord> records;
    const qsizetype n = text.size();
    qsizetype i = 0;
    int line = 1;
    auto lineEnd = [&](qsizetype at) { return at >= n || text[at] == u'\n' || text[at] == u'\r'; };
    // Past the rest of a malformed record's line.
    auto skipLine = [&] {
        while (!lineEnd(i))
            ++i;
    };
    while (i < n) {
        CsvRecord record;
        bool bad = false;
        for (;;) {
            const int fieldLine = line;
            const int column = int(record.fields.size()) + 1;
            QString field;
            if (i < n && text[i] == u'"') {
                const int opened = line;
                ++i;
                for (;;) {
                    if (i >= n) {
                        issues->push_back({opened, column, QStringLiteral("引号未闭合")});
                        bad = true;
                        break;
                    }
                    const QChar c = text[i];
                    if (c == u'"') {
                        if (i + 1 < n && text[i + 1] == u'"') {
                            field += c;
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (c == u'\n')
                        ++line;
                    field += c;
                    ++i;
                }
                if (!bad && i < n && text[i] != u',' && !lineEnd(i)) {
                    issues->push_back({line, column, QStringLiteral("引号后应为逗号或行尾")});
                    bad = true;
                    skipLine();
                }
            } else {
                const qsizetype start = i;
                while (i < n && text[i] != u',' && !lineEnd(i)) {
                    if (text[i] == u'"' && !bad) {
                        issues->push_back({line, column,
                                           QStringLiteral("字段中有引号：请把整个字段放在引号中，其中的引号写两次")});
                        bad = true;
                    }
                    ++i;
                }
                field = text.mid(start, i - start);
            }
            record.fields << field;
            record.lines.push_back(fieldLine);
            if (i < n && text[i] == u',' && !bad) {
                ++i;
                continue;
            }
            skipLine();
            if (i < n && text[i] == u'\r')
                ++i;
            if (i < n && text[i] == u'\n')
                ++i;
            ++line;
            break;
        }
        if (!bad)
            records.push_back(std::move(record));
    }
    return records;
}

// ---- import -----------------------------------------------------------------

namespace {

constexpr int kColumns = int(CsvColumn::Count);
constexpr double kMaxQty = 99999999999999.0;   // the editor's quantity cell
constexpr double kMaxScrap = 99.99;            // the editor's scrap cell, in percent
constexpr int kInChunk = 500;                  // values per IN list
constexpr int kRowsPerInsert = 200;            // lines per insert statement

int col(CsvColumn c)
{
    return int(c) + 1;
}

QString key(const QString &code)
{
    // Codes compare ignoring case, as the host's columns do.
    return code.toLower();
}

struct Item
{
    int32_t id = 0;
    bool assembly = false;
    int32_t auxClass = 0;
    int32_t unitGroup = 0;
    int32_t baseUnit = 0;
};

struct Unit
{
    int32_t id = 0;
    QString number;
    QString name;
};

struct Line
{
    int32_t classId = 0;
    int32_t itemId = 0;
    int32_t auxId = 0;
    int32_t unitId = 0;
    double qty = 1;
    double scrap = 0;   // a fraction, as stored
    QString remark;
};

struct Bom
{
    QString number;
    QString name;
    int status = 0;
    int32_t itemId = 0;
    int32_t auxId = 0;
    int32_t unitId = 0;
    int32_t existingId = 0;
    const CsvRecord *first = nullptr;
    QHash<int32_t, int> childLines;   // item id -> file line of its first line
    std::vector<Line> lines;
};

// The master data a file names, read once by code in a few indexed queries.
class MasterData
{
public:
    MasterData(Connection &c, const QSet<QString> &itemCodes, const QSet<QString> &auxCodes,
               const QSet<QString> &bomNumbers)
    {
        inChunks(c, itemCodes,
                 QStringLiteral("SELECT t_Item.FNumber, t_Item.FItemID, COM_Item.FIsBOM, COM_Item.FAuxClassID, "
                                "COM_Item.FUnitGroupID, COM_Item.FBaseUnitID FROM COM_Item INNER JOIN t_Item ON "
                                "t_Item.FItemID=COM_Item.FItemID WHERE t_Item.FNumber IN ("),
                 QStringLiteral(") ORDER BY t_Item.FItemID"), [this](const Recordset::Row &r) {
                     // Of two items with one code the first, as a lookup by code finds it.
                     const QString code = text(r[0]);
                     if (!m_items.contains(key(code)))
                         m_items.insert(key(code), {id(r[1]), id(r[2]) == 1, id(r[3]), id(r[4]), id(r[5])});
                     if (!m_exact.contains(code))
                         m_exact.insert(code, m_items.value(key(code)));
                 });
        inChunks(c, auxCodes,
                 QStringLiteral("SELECT FNumber, FItemClassID, FItemID FROM t_Item WHERE FNumber IN ("),
                 QStringLiteral(") ORDER BY FItemID"), [this](const Recordset::Row &r) {
                     insertFirst(m_aux, auxKey(text(r[0]), id(r[1])), id(r[2]));
                 });
        inChunks(c, bomNumbers, QStringLiteral("SELECT FBOMNumber, FBOMID FROM COM_BOM WHERE FBOMNumber IN ("),
                 QStringLiteral(")"), [this](const Recordset::Row &r) { m_boms.insert(key(text(r[0])), id(r[1])); });
        for (const Recordset::Row &r :
             rowsOf(c, QStringLiteral("SELECT FUnitGroupID, FMeasureUnitID, FNumber, FName FROM t_MeasureUnit "
                                      "ORDER BY FMeasureUnitID")))
            m_units[id(r[0])].push_back({id(r[1]), text(r[2]), text(r[3])});
        for (const Recordset::Row &r :
             rowsOf(c, QStringLiteral("SELECT FNumber, FSysTypeID FROM COM_SysType WHERE FClassID=480 ORDER BY FSysTypeID")))
            insertFirst(m_classes, key(text(r[0])), id(r[1]));
        // A class line counts in the unit group of its class's items.
        for (const Recordset::Row &r :
             rowsOf(c, QStringLiteral("SELECT FReplaceClassID, FUnitGroupID FROM COM_Item WHERE FReplaceClassID>0 "
                                      "ORDER BY FItemID")))
            if (!m_classGroups.contains(id(r[0])))
                m_classGroups.insert(id(r[0]), id(r[1]));
    }

    const Item *item(const QString &code) const
    {
        // The code as stored, as an export writes it, is found without folding case.
        if (const auto exact = m_exact.constFind(code); exact != m_exact.constEnd())
            return &exact.value();
        const auto it = m_items.constFind(key(code));
        return it == m_items.constEnd() ? nullptr : &it.value();
    }
    int32_t aux(const QString &code, int32_t auxClass) const { return m_aux.value(auxKey(code, auxClass)); }
    int32_t bom(const QString &number) const { return m_boms.value(key(number)); }
    int32_t classId(const QString &code) const { return m_classes.value(key(code)); }
    int32_t classGroup(int32_t classId) const { return m_classGroups.value(classId); }
    // A unit of the group by name, else by code.
    int32_t unit(const QString &text, int32_t group) const
    {
        const auto it = m_units.constFind(group);
        if (it == m_units.constEnd())
            return 0;
        for (const Unit &u : it.value())
            if (key(u.name) == key(text))
                return u.id;
        for (const Unit &u : it.value())
            if (key(u.number) == key(text))
                return u.id;
        return 0;
    }

private:
    // Of two rows with one code the first counts, as a lookup by code finds it.
    template<typename Map, typename Value>
    static void insertFirst(Map &map, const QString &k, const Value &v)
    {
        if (!map.contains(k))
            map.insert(k, v);
    }

    static QString auxKey(const QString &code, int32_t auxClass)
    {
        return key(code) + u'\x1f' + QString::number(auxClass);
    }

    template<typename F>
    static void inChunks(Connection &c, const QSet<QString> &values, const QString &head, const QString &tail, F &&take)
    {
        QStringList list(values.begin(), values.end());
        for (qsizetype first = 0; first < list.size(); first += kInChunk) {
            QString in;
            for (qsizetype i = first; i < std::min(list.size(), first + kInChunk); ++i) {
                if (i > first)
                    in += u',';
                in += sqlQuote(list[i]);
            }
            for (const Recordset::Row &r : rowsOf(c, head + in + tail))
                take(r);
        }
    }

    QHash<QString, Item> m_items;   // by folded code
    QHash<QString, Item> m_exact;   // by the code as stored
    QHash<QString, int32_t> m_aux;
    QHash<QString, int32_t> m_boms;
    QHash<int32_t, std::vector<Unit>> m_units;
    QHash<QString, int32_t> m_classes;
    QHash<int32_t, int32_t> m_classGroups;
};

// The line of the first byte that is not UTF-8; 0 when all are.
int firstBadUtf8Line(const QByteArray &data)
{
    int line = 1;
    for (const QByteArray &l : data.split('\n')) {
        QStringDecoder decoder(QStringDecoder::Utf8);
        (void)QString(decoder(l));
        if (decoder.hasError())
            return line;
        ++line;
    }
    return 0;
}

bool readNumber(const QString &text, double *value)
{
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok && std::isfinite(*value);
}

QString numberText(double value)
{
    if (value == std::trunc(value) && std::abs(value) < 2147483647.0)
        return sqlNumber(int32_t(value));
    return sqlNumber(value);
}

class Importer
{
public:
    Importer(Connection &c, const ImportOptions &options, ImportResult &result)
        : m_c(c), m_options(options), m_result(result)
    {
    }

    void run(const QByteArray &data)
    {
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString text = decoder(data);
        if (decoder.hasError()) {
            issue(firstBadUtf8Line(data), 0, QStringLiteral("文件不是 UTF-8 编码"));
            return;
        }
        std::vector<CsvRecord> records = readCsv(text, &m_result.issues);
        if (records.empty() || !isHeader(records.front())) {
            issue(1, 0, QStringLiteral("第一行应为标题行：") + csvHeader().join(u','));
            return;
        }
        std::vector<const CsvRecord *> rows;
        for (size_t r = 1; r < records.size(); ++r) {
            CsvRecord &record = records[r];
            if (std::all_of(record.fields.begin(), record.fields.end(),
                            [](const QString &f) { return QStringView(f).trimmed().isEmpty(); }))
                continue;   // a blank line
            if (record.fields.size() != kColumns) {
                issue(record.lines.front(), 0,
                      QStringLiteral("应有 %1 列，实有 %2 列").arg(kColumns).arg(record.fields.size()));
                continue;
            }
            // Trimmed once here; the remark is kept as typed, as the editor saves it.
            for (int c = 0; c < kColumns; ++c) {
                QString &f = record.fields[c];
                if (c != int(CsvColumn::Remark) && QStringView(f).trimmed().size() != f.size())
                    f = std::move(f).trimmed();
            }
            rows.push_back(&record);
        }
        m_total = int(rows.size()) * 2;

        QSet<QString> itemCodes, auxCodes, numbers;
        auto add = [](QSet<QString> &set, const QString &code) {
            if (!code.isEmpty())
                set.insert(code);
        };
        const CsvRecord *before = nullptr;
        for (const CsvRecord *r : rows) {
            add(itemCodes, field(*r, CsvColumn::ChildNumber));
            add(auxCodes, field(*r, CsvColumn::ChildAuxProp));
            // The header repeats on a BOM's rows: taken once per BOM.
            if (before && field(*r, CsvColumn::BomNumber) == field(*before, CsvColumn::BomNumber)
                && field(*r, CsvColumn::ItemNumber) == field(*before, CsvColumn::ItemNumber)
                && field(*r, CsvColumn::AuxProp) == field(*before, CsvColumn::AuxProp))
                continue;
            before = r;
            add(itemCodes, field(*r, CsvColumn::ItemNumber));
            add(auxCodes, field(*r, CsvColumn::AuxProp));
            add(numbers, field(*r, CsvColumn::BomNumber));
        }
        const MasterData master(m_c, itemCodes, auxCodes, numbers);
        if (m_options.groupId != 0
            && m_c.Execute(QStringLiteral("SELECT Count(*) FROM COM_BOM_Group WHERE FBOMGroupID=") + sqlNumber(m_options.groupId))
                       ->Fields(0)
                       .toInt32()
                   == 0)
            issue(1, 0, kGroupGone);

        for (const CsvRecord *r : rows) {
            check(master, *r);
            if (!step())
                return;
        }
        std::stable_sort(m_result.issues.begin(), m_result.issues.end(), [](const ImportIssue &a, const ImportIssue &b) {
            return a.line != b.line ? a.line < b.line : a.column < b.column;
        });
        if (m_result.issues.empty())
            write();
    }

private:
    // A field as trimmed when read (the remark as typed).
    static const QString &field(const CsvRecord &r, CsvColumn c) { return r.fields[int(c)]; }
    static int lineOf(const CsvRecord &r, CsvColumn c) { return r.lines[size_t(c)]; }

    static bool isHeader(const CsvRecord &r)
    {
        const QStringList header = csvHeader();
        if (r.fields.size() != header.size())
            return false;
        for (qsizetype i = 0; i < header.size(); ++i)
            if (r.fields[i].trimmed() != header[i])
                return false;
        return true;
    }

    void issue(int line, int column, const QString &message) { m_result.issues.push_back({line, column, message}); }
    void issue(const CsvRecord &r, CsvColumn c, const QString &message) { issue(lineOf(r, c), col(c), message); }

    bool step()
    {
        ++m_done;
        if (m_done % 1000 == 0 || m_done == m_total)
            return report();
        return true;
    }

    bool report()
    {
        if (!m_options.progress || m_reported == m_done)
            return true;
        m_reported = m_done;
        if (!m_options.progress(m_done, m_total)) {
            m_result.cancelled = true;
            return false;
        }
        return true;
    }

    void check(const MasterData &master, const CsvRecord &r)
    {
        const QString number = field(r, CsvColumn::BomNumber);
        if (const QString why = numberCheck(number); !why.isEmpty()) {
            issue(r, CsvColumn::BomNumber, why);
            return;
        }
        // A BOM's rows usually follow each other: the row before names it.
        size_t index = m_last;
        if (m_boms.empty() || number != m_boms[index].number) {
            const QString k = key(number);
            const auto it = m_index.constFind(k);
            index = it == m_index.constEnd() ? m_boms.size() : it.value();
            if (index == m_boms.size())
                m_index.insert(k, index);
        }
        m_last = index;
        if (index == m_boms.size()) {
            m_boms.emplace_back();
            checkHeader(master, r, m_boms.back());
        } else {
            // The header repeats on every line of a BOM and must not change.
            const Bom &bom = m_boms[index];
            for (CsvColumn c : {CsvColumn::BomName, CsvColumn::Status, CsvColumn::ItemNumber, CsvColumn::AuxProp})
                if (field(r, c) != field(*bom.first, c))
                    issue(r, c, QStringLiteral("与本清单第%1行的“%2”不同").arg(lineOf(*bom.first, c)).arg(csvHeader()[int(c)]));
        }
        checkLine(master, r, m_boms[index]);
    }

    void checkHeader(const MasterData &master, const CsvRecord &r, Bom &bom)
    {
        bom.first = &r;
        bom.number = field(r, CsvColumn::BomNumber);
        bom.name = field(r, CsvColumn::BomName);
        if (bom.name.isEmpty())
            issue(r, CsvColumn::BomName, QStringLiteral("商品结构清单名称不能为空!"));
        const QString status = field(r, CsvColumn::Status);
        if (status == QStringLiteral("使用") || status == QStringLiteral("0"))
            bom.status = 0;
        else if (status == QStringLiteral("未使用") || status == QStringLiteral("1"))
            bom.status = 1;
        else
            issue(r, CsvColumn::Status, QStringLiteral("状态应为“使用”或“未使用”"));
        const QString code = field(r, CsvColumn::ItemNumber);
        const Item *item = master.item(code);
        if (!item) {
            issue(r, CsvColumn::ItemNumber, code.isEmpty() ? QStringLiteral("一张商品结构清单项奖必须对应一种商品!")
                                                           : QStringLiteral("找不到对应的商品：") + code);
        } else if (!item->assembly) {
            issue(r, CsvColumn::ItemNumber, QStringLiteral("输入的商品不是组合件：") + code);
        } else {
            bom.itemId = item->id;
            bom.unitId = item->baseUnit;
            bom.auxId = auxOf(master, r, CsvColumn::AuxProp, *item);
        }
        bom.existingId = master.bom(bom.number);
        if (bom.existingId != 0 && !m_options.replace)
            issue(r, CsvColumn::BomNumber, QStringLiteral("商品结构清单编号已存在（选择替换才能覆盖）：") + bom.number);
        else if (bom.existingId == 0 && m_options.groupId == 0)
            issue(r, CsvColumn::BomNumber, QStringLiteral("新的商品结构清单需要指定类别：") + bom.number);
    }

    int32_t auxOf(const MasterData &master, const CsvRecord &r, CsvColumn c, const Item &item)
    {
        const QString code = field(r, c);
        if (code.isEmpty())
            return 0;
        if (item.auxClass <= 0) {
            issue(r, c, QStringLiteral("该商品没有辅助属性类别，不能填写辅助属性"));
            return 0;
        }
        const int32_t aux = master.aux(code, item.auxClass);
        if (aux == 0)
            issue(r, c, QStringLiteral("找不到对应的辅助属性：") + code);
        return aux;
    }

    void checkLine(const MasterData &master, const CsvRecord &r, Bom &bom)
    {
        const QString classCode = field(r, CsvColumn::ClassNumber);
        const QString code = field(r, CsvColumn::ChildNumber);
        const QString unit = field(r, CsvColumn::Unit);
        if (classCode.isEmpty() && code.isEmpty()) {
            for (CsvColumn c : {CsvColumn::ChildAuxProp, CsvColumn::Unit, CsvColumn::Qty, CsvColumn::Scrap, CsvColumn::Remark})
                if (!field(r, c).trimmed().isEmpty()) {
                    issue(r, CsvColumn::ClassNumber, QStringLiteral("请填写可替换商品类别或子商品代码"));
                    break;
                }
            return;   // a BOM's header alone
        }
        Line line;
        line.remark = r.fields[int(CsvColumn::Remark)];
        if (!classCode.isEmpty() && !code.isEmpty()) {
            issue(r, CsvColumn::ChildNumber, QStringLiteral("一行只能填写可替换商品类别或子商品代码之一"));
        } else if (!classCode.isEmpty()) {
            line.classId = master.classId(classCode);
            if (line.classId == 0)
                issue(r, CsvColumn::ClassNumber, QStringLiteral("找不到对应的可替换商品类别：") + classCode);
            if (!field(r, CsvColumn::ChildAuxProp).isEmpty())
                issue(r, CsvColumn::ChildAuxProp, QStringLiteral("可替换商品类别行不能填写辅助属性"));
            if (!unit.isEmpty() && line.classId != 0) {
                line.unitId = master.unit(unit, master.classGroup(line.classId));
                if (line.unitId == 0)
                    issue(r, CsvColumn::Unit, QStringLiteral("找不到对应的计量单位：") + unit);
            }
        } else if (const Item *item = master.item(code); !item) {
            issue(r, CsvColumn::ChildNumber, QStringLiteral("找不到对应的商品：") + code);
        } else if (item->id == bom.itemId) {
            issue(r, CsvColumn::ChildNumber, QStringLiteral("子商品不能和父项商品相同"));
        } else if (item->assembly) {
            issue(r, CsvColumn::ChildNumber, QStringLiteral("子商品不能为组合商品!"));
        } else if (const int first = bom.childLines.value(item->id)) {
            issue(r, CsvColumn::ChildNumber, QStringLiteral("输入的子商品已经存在（第%1行）").arg(first));
        } else {
            bom.childLines.insert(item->id, lineOf(r, CsvColumn::ChildNumber));
            line.itemId = item->id;
            line.auxId = auxOf(master, r, CsvColumn::ChildAuxProp, *item);
            line.unitId = unit.isEmpty() ? item->baseUnit : master.unit(unit, item->unitGroup);
            if (line.unitId == 0)
                issue(r, CsvColumn::Unit, QStringLiteral("找不到对应的计量单位：%1（须属于商品的计量单位组）").arg(unit));
        }

        const QString qty = field(r, CsvColumn::Qty);
        if (!qty.isEmpty() && !readNumber(qty, &line.qty))
            issue(r, CsvColumn::Qty, QStringLiteral("数量不是数字：") + qty);
        else if (line.qty < 0 || line.qty > kMaxQty)
            issue(r, CsvColumn::Qty, QStringLiteral("数量应在 0 到 99999999999999 之间"));
        else if (line.qty == 0)
            line.qty = 1;   // as the editor saves an empty or zero quantity
        const QString scrap = field(r, CsvColumn::Scrap);
        double percent = 0;
        if (!scrap.isEmpty() && !readNumber(scrap, &percent))
            issue(r, CsvColumn::Scrap, QStringLiteral("损耗率不是数字：") + scrap);
        else if (percent < 0 || percent > kMaxScrap)
            issue(r, CsvColumn::Scrap, QStringLiteral("损耗率应在 0 到 99.99 之间"));
        line.scrap = percent / 100;
        bom.lines.push_back(std::move(line));
    }

    void write()
    {
        Transaction transaction(m_c, Transaction::ReadsFirst);
        std::vector<int32_t> ids(m_boms.size());
        std::vector<size_t> added;
        for (size_t i = 0; i < m_boms.size(); ++i) {
            const Bom &b = m_boms[i];
            if (b.existingId == 0) {
                added.push_back(i);
                continue;
            }
            // The editor's update: the header, then the lines anew; the group stays.
            qint64 updated = 0;
            m_c.Execute(QStringLiteral("UPDATE COM_BOM SET FBOMNumber =") + sqlQuote(b.number)
                            + QStringLiteral(",FBOMName=") + sqlQuote(b.name) + QStringLiteral(",FItemID=")
                            + sqlNumber(b.itemId) + QStringLiteral(", FAuxPropID=") + sqlNumber(b.auxId)
                            + QStringLiteral(",FMeasureUnitID=") + sqlNumber(b.unitId) + QStringLiteral(", FStatus=")
                            + sqlNumber(int32_t(b.status)) + QStringLiteral(" WHERE FBOMID=") + sqlNumber(b.existingId),
                        &updated);
            if (updated != 1)
                refuse(kBomGone + QStringLiteral("：") + b.number);
            m_c.Execute(QStringLiteral("DELETE FROM COM_BOM_Child  WHERE FBOMID=") + sqlNumber(b.existingId));
            ids[i] = b.existingId;
            ++m_result.replaced;
        }
        // New headers as the editor adds them, a few hundred per statement,
        // then their ids by number (unique): two round trips per chunk, not
        // one per BOM.
        for (size_t first = 0; first < added.size(); first += kRowsPerInsert) {
            const size_t end = std::min(added.size(), first + kRowsPerInsert);
            QString values;
            QString numbers;
            QHash<QString, size_t> byNumber;
            for (size_t k = first; k < end; ++k) {
                const Bom &b = m_boms[added[k]];
                const QString statement = addStatement(b.number, b.name, m_options.groupId, b.itemId, b.auxId,
                                                       b.unitId, b.status);
                values += k == first ? statement : statement.mid(statement.indexOf(QStringLiteral(" VALUES (")) + 8);
                if (k + 1 < end)
                    values += u',';
                numbers += (k == first ? QString() : QStringLiteral(",")) + sqlQuote(b.number);
                byNumber.insert(key(b.number), added[k]);
            }
            m_c.Execute(values);
            for (const Recordset::Row &r :
                 rowsOf(m_c, QStringLiteral("SELECT FBOMNumber, FBOMID FROM COM_BOM WHERE FBOMNumber IN (") + numbers + u')'))
                if (const auto it = byNumber.constFind(key(text(r[0]))); it != byNumber.constEnd())
                    ids[it.value()] = id(r[1]);
            m_result.added += int(end - first);
        }
        for (size_t i = 0; i < ids.size(); ++i)
            if (ids[i] == 0)
                refuse(kBomGone + QStringLiteral("：") + m_boms[i].number);
        // The lines after every header: on a server they travel together.
        const QString head = QStringLiteral("INSERT INTO COM_Bom_Child (FBOMEntryID,FBOMID,FReplaceClassID,FItemID,"
                                            "FAuxPropID,FMeasureUnitID,FQty,FScrap,FRemark) VALUES ");
        QString statement;
        int pending = 0;
        auto send = [&] {
            if (pending > 0)
                m_c.Execute(statement);
            statement.clear();
            pending = 0;
        };
        for (size_t b = 0; b < m_boms.size(); ++b) {
            const QString bomId = sqlNumber(ids[b]);
            int32_t entry = 0;
            for (const Line &l : m_boms[b].lines) {
                statement += pending == 0 ? head : QStringLiteral(",");
                statement += u'(' + sqlNumber(++entry) + u',' + bomId + u',' + sqlNumber(l.classId) + u','
                    + sqlNumber(l.itemId) + u',' + sqlNumber(l.auxId) + u',' + sqlNumber(l.unitId) + u','
                    + numberText(l.qty) + u',' + numberText(l.scrap) + u',' + sqlQuote(l.remark) + u')';
                ++m_result.lines;
                if (++pending == kRowsPerInsert)
                    send();
                if (!step()) {
                    m_result.added = m_result.replaced = m_result.lines = 0;
                    return;   // rolled back as the transaction leaves
                }
            }
        }
        send();
        m_c.flushWrites();
        transaction.commit();
        m_done = m_total;
        report();
    }

    Connection &m_c;
    const ImportOptions &m_options;
    ImportResult &m_result;
    std::vector<Bom> m_boms;
    QHash<QString, size_t> m_index;   // BOM number (folded) -> m_boms
    size_t m_last = 0;                // the BOM of the row before
    int m_done = 0;
    int m_total = 0;
    int m_reported = 0;
};

} // namespace

ImportResult importBoms(Connection &connection, const QByteArray &data, const ImportOptions &options)
{
    ImportResult result;
    Importer(connection, options, result).run(data);
    return result;
}

} // namespace torvel::host
