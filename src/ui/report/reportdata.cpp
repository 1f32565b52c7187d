#include "ui/report/reportdata.h"

#include "profile/sysprofile.h"
#include "services/com/comerror.h"
#include "services/db/connection.h"
#include "services/text/helpers.h"
#include "services/text/numtext.h"
#include "state/callstate.h"

#include <algorithm>
#include <cmath>

namespace torvel {

namespace {

// The parent item with its model, auxiliary property and unit. Inner joins:
// a BOM whose item, property or unit has no row gives no header at all.
const QString kHeaderQuery = QStringLiteral(
    "SELECT COM_BOM.*,t_Item.FNumber as FItemNumber,t_Item.FName as FItemName,COM_Item.FModel as FModel,"
    " AuxProp.FName as FAuxProp,t_MeasureUnit.FName as FMeasureUnit,t_MeasureUnit.FNumber as FMeasureUnitNumber,"
    " COM_Item.FAuxClassID as FAuxClassID,COM_Item.FUnitGroupID as FUnitGroupID"
    " FROM COM_BOM,t_Item,COM_Item,t_Item AuxProp,t_MeasureUnit "
    " Where COM_Bom.FItemid=t_Item.FItemid "
    " and COM_Bom.fitemid=COM_Item.FItemid "
    " and COM_Bom.Fauxpropid=AuxProp.FItemid "
    " and COM_Bom.FMeasureUnitID=t_MeasureUnit.FMeasureUnitID"
    " and FBOMID=");

constexpr double kEpsilon = 1e-9;

// A grid text read back as a number: thousands separators accepted, anything
// that is no number (an empty cell included) stops the report.
double cellNumber(const QString &text)
{
    return Variant(text).toDouble();
}

// Decimals shown in a formatted quantity.
int decimalsOf(const QString &text)
{
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : int(text.size() - point - 1);
}

struct Group
{
    int first = 0;
    double capacity = 0;
    bool limits = false;   // at least one row needs something for a kit
};

QString groupName(const QStringList &row, double classId)
{
    if (classId > 0)
        return row[reportcol::ClassName];
    return QString(row[reportcol::ItemName] + QLatin1Char(' ') + row[reportcol::Model]).trimmed();
}

// Characters a terminal shows two cells wide.
int displayWidth(const QString &text)
{
    int width = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        width += (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3)
                         || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60)
                         || (u >= 0xFFE0 && u <= 0xFFE6)
                     ? 2
                     : 1;
    }
    return width;
}

QString padded(const QString &text, int width, bool right)
{
    const QString fill(std::max(0, width - displayWidth(text)), QLatin1Char(' '));
    return right ? fill + text : text + fill;
}

} // namespace

std::vector<GridColumn> parseFormatString(const QString &format)
{
    std::vector<GridColumn> columns;
    for (const QString &piece : format.split(QLatin1Char('|'))) {
        GridColumn c;
        c.leftAligned = piece.startsWith(QLatin1Char('<'));
        c.header = c.leftAligned ? piece.mid(1) : piece;
        columns.push_back(c);
    }
    return columns;
}

bool alignsRight(const GridColumn &column, const QString &text)
{
    double ignored = 0;
    return !column.leftAligned && numtext::parseNumber(text, ignored);
}

double reportNoteDate(double noteDate, double periodStart)
{
    return noteDate < periodStart ? periodStart - 1 : noteDate;
}

QString stockCallText(int16_t year, int16_t period, int32_t bomId, double startDate, double noteDate)
{
    // The dates as the database's date text: both databases read it as the
    // same day and time.
    return QStringLiteral("sp_COM_BOM_Stock ") + QString::number(year) + QLatin1Char(',') + QString::number(period)
           + QLatin1Char(',') + QString::number(bomId) + QStringLiteral(",'") + oleDateToText(startDate)
           + QStringLiteral("','") + oleDateToText(noteDate) + QLatin1Char('\'');
}

QString formatKitQty(double value)
{
    QString text = numtext::groupedFixed(numtext::decimalDigits(value), 2);
    // "#,###.00" writes no digit before the point when the integer part is 0.
    const qsizetype zero = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (text.mid(zero, 2) == QLatin1String("0."))
        text.remove(zero, 1);
    return text;
}

void LoadReport(BomReport &report)
{
    LoadSysProfile();
    report.startDate = GetPeriodStartDate();
    report.endDate = GetPeriodEndDate();   // read as the host has it; only the start matters here
    gStartDate = report.startDate;
    gNoteDate = reportNoteDate(gNoteDate, report.startDate);

    RecordsetPtr rs = callConnection().Execute(kHeaderQuery + QString::number(gBomID));
    if (!rs)
        throw ComError(errc::ObjectClosed, QStringLiteral("TORVEL"), errtext::kNoRecordset);
    if (rs->Eof())
        return;
    const QString empty;
    report.number = rs->Fields(QStringLiteral("FItemNumber")).toString();
    report.name = rs->Fields(QStringLiteral("FItemName")).toString();
    report.model = NullToValue(rs->Fields(QStringLiteral("FModel")), empty).toString();
    report.auxProp = NullToValue(rs->Fields(QStringLiteral("FAuxProp")), empty).toString();
    report.unit = NullToValue(rs->Fields(QStringLiteral("FMeasureUnit")), empty).toString();
    rs->Close();
    LoadStock(report, gBomID);
}

void LoadStock(BomReport &report, int32_t bomId)
{
    const RecordsetPtr rs = callConnection().Execute(
        stockCallText(SysProfile.CurrentYear, SysProfile.CurrentPeriod, bomId, gStartDate, gNoteDate));
    if (!rs)
        throw ComError(errc::ObjectClosed, QStringLiteral("TORVEL"), errtext::kNoRecordset);
    if (rs->Eof())
        return;
    int added = 0;
    for (; !rs->Eof(); rs->MoveNext()) {
        const int scale = rs->Fields(15).toInt32();
        QStringList row;
        row.reserve(reportcol::Count);
        for (int c = 0; c < reportcol::Count; ++c) {
            const Variant v = rs->Fields(c);
            if (c == reportcol::Usage || c == reportcol::KitQty || c == reportcol::Stock)
                row.append(FormatDecimal(v, scale));
            else
                row.append(v.isNull() ? QString() : v.toString());
        }
        report.rows.push_back(std::move(row));
        ++added;
    }
    CalcKitQty(report, added);
}

void CalcKitQty(BomReport &report, int32_t rowCount)
{
    const int n = std::min(int(report.rows.size()), std::max(rowCount, 0));
    std::vector<Group> groups;
    std::vector<double> classes(static_cast<size_t>(n));
    std::vector<double> usages(static_cast<size_t>(n));
    double recordedClass = 0, recordedItem = 0;
    for (int r = 0; r < n; ++r) {
        const QStringList &row = report.rows[size_t(r)];
        const double cls = cellNumber(row[reportcol::ClassID]);
        const double item = cellNumber(row[reportcol::ItemID]);
        const double usage = cellNumber(row[reportcol::Usage]);
        const double stock = cellNumber(row[reportcol::Stock]);
        const bool same = r > 0 && ((cls > 0 && cls == recordedClass) || (cls == 0 && item == recordedItem));
        if (!same) {
            groups.push_back(Group{r, 0, false});
            recordedClass = cls;
            recordedItem = item;
        }
        // A row that needs nothing for a kit adds nothing to its group's capacity.
        if (usage != 0) {
            groups.back().capacity += stock / usage;
            groups.back().limits = true;
        }
        classes[size_t(r)] = cls;
        usages[size_t(r)] = usage;
    }

    // The smallest capacity of all groups that need something, 0 and
    // negative capacities included; none when no group needs anything.
    std::optional<double> kit;
    const Group *smallest = nullptr;
    for (const Group &g : groups) {
        if (g.limits && (!kit || g.capacity < *kit)) {
            kit = g.capacity;
            smallest = &g;
        }
    }

    for (int r = 0; r < n; ++r)
        report.rows[size_t(r)][reportcol::KitQty].clear();
    for (const Group &g : groups)
        report.rows[size_t(g.first)][reportcol::KitQty] = formatKitQty(kit.value_or(0) * usages[size_t(g.first)]);
    report.kitQty = kit ? formatKitQty(*kit) : QString();

    report.shortage.clear();
    if (!smallest)
        return;
    // For the next whole kit: how much each short group lacks, counted in
    // the unit of its first row that needs something.
    const double next = *kit < 0 ? 1.0 : std::floor(*kit + kEpsilon) + 1.0;
    QStringList lacking;
    for (const Group &g : groups) {
        if (!g.limits || g.capacity >= next - kEpsilon)
            continue;
        int r = g.first;
        while (usages[size_t(r)] == 0)
            ++r;
        const QStringList &row = report.rows[size_t(r)];
        const int decimals = decimalsOf(row[reportcol::Stock]);
        const double unit = std::pow(10.0, decimals);
        const double missing = std::ceil((next - g.capacity) * usages[size_t(r)] * unit - kEpsilon) / unit;
        lacking << groupName(report.rows[size_t(g.first)], classes[size_t(g.first)]) + QLatin1Char(' ')
                       + FormatDecimal(Variant(missing), decimals) + QLatin1Char(' ') + row[reportcol::Unit];
    }
    report.shortage = QStringLiteral("短缺：%1；配第 %2 套尚缺 %3")
                          .arg(groupName(report.rows[size_t(smallest->first)], classes[size_t(smallest->first)]))
                          .arg(qint64(next))
                          .arg(lacking.join(QStringLiteral("，")));
}

QString reportText(const BomReport &report)
{
    QStringList lines;
    lines << kCaptionNumber + report.number + QStringLiteral("  ") + kCaptionName + report.name + QStringLiteral("  ")
                 + kCaptionModel + report.model;
    lines << kCaptionAuxProp + report.auxProp + QStringLiteral("  ") + kCaptionUnit + report.unit + QStringLiteral("  ")
                 + kCaptionQty + report.kitQty;

    const std::vector<GridColumn> columns = parseFormatString(kReportFormat);
    std::vector<int> shown;
    for (int c = 0; c < int(columns.size()); ++c) {
        if (std::find(std::begin(kHiddenColumns), std::end(kHiddenColumns), c) == std::end(kHiddenColumns))
            shown.push_back(c);
    }
    std::vector<int> widths;
    for (int c : shown) {
        int w = displayWidth(columns[size_t(c)].header.trimmed());
        for (const QStringList &row : report.rows)
            w = std::max(w, displayWidth(row[c]));
        widths.push_back(w);
    }
    auto line = [&](auto cellOf) {
        QStringList cells;
        for (size_t i = 0; i < shown.size(); ++i) {
            const auto [text, right] = cellOf(shown[i]);
            cells << padded(text, widths[i], right);
        }
        QString text = cells.join(QStringLiteral("  "));
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text;
    };
    lines << QString();
    lines << line([&](int c) { return std::pair(columns[size_t(c)].header.trimmed(), false); });
    for (const QStringList &row : report.rows)
        lines << line([&](int c) { return std::pair(row[c], alignsRight(columns[size_t(c)], row[c])); });
    lines << QString();
    if (!report.shortage.isEmpty())
        lines << report.shortage;
    lines << kReportFootnote;
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace torvel
