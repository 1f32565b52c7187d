#pragma once

// The stock report's data side: the period and date rule, the header, the
// stock rows from sp_COM_BOM_Stock and the kit quantity. No widgets: the form
// shows what these leave in a BomReport, and tests and the text output read
// the same.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace torvel {

// Grid columns, numbered as the procedure's result columns 0 to 14.
namespace reportcol {
enum : int {
    ClassName, ClassID, ItemNumber, ItemID, ItemName, Model, AuxProp, AuxPropID,
    Unit, UnitID, Usage, KitQty, Stock, Warehouse, WarehouseID,
    Count   // 15 grid columns; the result's column 15 is the row's scale
};
}

// The grid's columns, header texts and alignment, as the form fixes them.
inline const QString kReportFormat = QStringLiteral(
    "<可替代商品类别|内码>|<   商品代码 |内码>|<   商品名称     |规格型号|<辅助属性|内码>|<计量单位|内码>|单位用量|配套数量|库存数量|<   仓库  |内码");
inline constexpr int kHiddenColumns[] = {reportcol::ClassID, reportcol::ItemID, reportcol::AuxPropID,
                                         reportcol::UnitID, reportcol::WarehouseID};

struct GridColumn
{
    QString header;          // the piece after a leading '<', spaces kept
    bool leftAligned = false;
};
// '|' separates the columns; a leading '<' aligns one left.
std::vector<GridColumn> parseFormatString(const QString &format);

// Cells of a column without '<' align as the grid does by default: numbers
// right, other text left.
bool alignsRight(const GridColumn &column, const QString &text);

// What the report shows.
struct BomReport
{
    // The value labels: LabNumberValue ... LabUnitValue, LabQtyValue.
    QString number, name, model, auxProp, unit;
    QString kitQty;
    // Data rows 1.. of the grid (row 0 is the header), 15 texts each.
    std::vector<QStringList> rows;
    // The line under the grid: the limiting component and what the next
    // whole kit still lacks; empty when nothing limits.
    QString shortage;
    // mStartDate and mEndDate: the current period's first and last day.
    double startDate = 0;
    double endDate = 0;
};

// Loads the profile and the period, applies the date rule to gNoteDate and
// gStartDate, reads the header and, when the BOM has one, its stock rows.
// Errors pass to the caller: the report is not shown then.
void LoadReport(BomReport &report);
// Appends the procedure's rows for the BOM and computes the kit quantity.
void LoadStock(BomReport &report, int32_t bomId);
// Groups the first rowCount rows into components and writes column 11, the
// kit quantity and the shortage line, from the texts in the grid.
void CalcKitQty(BomReport &report, int32_t rowCount);

// The note date the procedure receives: a date before the period start
// becomes the day before it.
double reportNoteDate(double noteDate, double periodStart);
// "sp_COM_BOM_Stock 2026,3,5,'2026-03-01','2026-03-15 10:00:00'"
QString stockCallText(int16_t year, int16_t period, int32_t bomId, double startDate, double noteDate);
// The format "#,###.00": 0 shows as .00, 1234.5 as 1,234.50.
QString formatKitQty(double value);

// The report as aligned text for a terminal: header, visible columns, kit
// quantity, the shortage line and the footnote.
QString reportText(const BomReport &report);

// Captions of the header labels, in the order the header shows them.
inline const QString kCaptionNumber = QStringLiteral("商品代码：");
inline const QString kCaptionName = QStringLiteral("商品名称：");
inline const QString kCaptionModel = QStringLiteral("规格型号：");
inline const QString kCaptionAuxProp = QStringLiteral("辅助属性：");
inline const QString kCaptionUnit = QStringLiteral("计量单位：");
inline const QString kCaptionQty = QStringLiteral("配套数量：");
inline const QString kReportCaption = QStringLiteral("商品结构分析表");
inline const QString kReportFootnote = QStringLiteral("本表中所有数量都以当前商品的基本计量单位为准");

} // namespace torvel
