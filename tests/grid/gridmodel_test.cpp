#include "ui/grid/gridmodel.h"

#include "modeltesterwatch.h"
#include "printers.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using torvel::GridModel;
using torvel::kLockYellow;
using torvel::kWhite;

namespace {

void lockColumn(GridModel &m, int col, bool locked)
{
    m.setCol(col);
    m.setRow(-1);
    m.setLock(locked);
}

} // namespace

// A column format reaches every row, also rows that did not exist when it
// was set, however they were added.
TEST(GridModel, ColumnFormatAppliesToRowsAddedLater)
{
    struct Case {
        const char *name;
        std::function<void(GridModel &)> addRows;
        int newRow;
    };
    const Case cases[] = {
        {"grow MaxRows", [](GridModel &m) { m.setMaxRows(m.MaxRows() + 1); }, 4},
        {"insert in the middle", [](GridModel &m) { m.InsertRows(2, 1); }, 2},
        {"insert at the end", [](GridModel &m) { m.InsertRows(4, 2); }, 5},
        {"shrink to zero and grow", [](GridModel &m) { m.setMaxRows(0); m.setMaxRows(6); }, 6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        GridModel m(19, 3);
        lockColumn(m, 3, true);
        m.setCol(7);
        m.setRow(-1);
        m.setTypeNumber(0, 99999999999999.0, 3);
        c.addRows(m);
        EXPECT_TRUE(m.isLocked(3, c.newRow));
        EXPECT_EQ(m.backColor(3, c.newRow), kLockYellow);
        EXPECT_FALSE(m.isLocked(4, c.newRow));
        EXPECT_EQ(m.backColor(4, c.newRow), kWhite);
        EXPECT_TRUE(m.isNumberCell(7, c.newRow));
        EXPECT_EQ(m.decimals(7, c.newRow), 3);
        EXPECT_EQ(m.maximum(7, c.newRow), 99999999999999.0);
        m.SetText(7, c.newRow, QStringLiteral("2.5"));
        EXPECT_EQ(m.displayText(7, c.newRow), QStringLiteral("2.500"));
    }
}

TEST(GridModel, CellSettingOverridesColumnAndColumnResetClearsIt)
{
    GridModel m(6, 4);
    lockColumn(m, 5, true);
    m.setRow(-1);
    m.setLockBackColor(0x000000FF);

    m.setCol(5);
    m.setRow(2);
    m.setLock(false);
    m.setBackColor(kWhite);
    EXPECT_FALSE(m.isLocked(5, 2));
    EXPECT_TRUE(m.isLocked(5, 1));
    EXPECT_TRUE(m.isLocked(5, 3));
    EXPECT_EQ(m.backColor(5, 1), 0x000000FFu);
    EXPECT_EQ(m.backColor(5, 2), kWhite);
    EXPECT_FALSE(m.Lock());
    m.setRow(3);
    EXPECT_TRUE(m.Lock());

    // Row 3 gets its own lock colour; row 1 keeps the column's.
    m.setLockBackColor(kLockYellow);
    EXPECT_EQ(m.backColor(5, 3), kLockYellow);
    EXPECT_EQ(m.backColor(5, 1), 0x000000FFu);

    // Setting the whole column again reaches the rows that had their own value.
    lockColumn(m, 5, true);
    EXPECT_TRUE(m.isLocked(5, 2));
    // Other properties of the cell are not touched by a column-wide lock.
    EXPECT_EQ(m.backColor(5, 3), kLockYellow);
}

TEST(GridModel, DefaultLockColourIsLightYellowAndUnlockedIsWhite)
{
    GridModel m(3, 2);
    m.setCol(2);
    m.setRow(1);
    m.setLock(true);
    EXPECT_EQ(m.backColor(2, 1), kLockYellow);
    EXPECT_EQ(m.LockBackColor(), kLockYellow);
    m.setBackColor(0x00112233);
    EXPECT_EQ(m.backColor(2, 1), kLockYellow) << "a locked cell shows its lock colour";
    m.setLock(false);
    EXPECT_EQ(m.backColor(2, 1), 0x00112233u);
    EXPECT_EQ(m.backColor(1, 1), kWhite);
}

TEST(GridModel, NumberCellReadsBackPlainDecimalText)
{
    struct Case {
        double value;
        int decimals;
        const char *text;
        const char *shown;
    };
    const Case cases[] = {
        {12.5, 2, "12.5", "12.50"},
        {3, 0, "3", "3"},
        {0.125, 2, "0.125", "0.13"},
        {99999999999999.0, 0, "99999999999999", "99999999999999"},
        {1234567.25, 2, "1234567.25", "1234567.25"},
        {-0.0, 2, "0", "0.00"},
        {0.1 + 0.2, 1, "0.30000000000000004", "0.3"},
        {1e-7, 4, "0.0000001", "0.0000"},
        {5.0 * 100, 2, "500", "500.00"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        GridModel m(8, 2);
        m.setCol(7);
        m.setRow(1);
        m.setTypeFloatDecimalPlaces(c.decimals);
        m.setValue(c.value);
        EXPECT_EQ(m.Value(), QString::fromLatin1(c.text));
        EXPECT_EQ(m.text(7, 1), QString::fromLatin1(c.text));
        QString out;
        EXPECT_TRUE(m.GetText(7, 1, out));
        EXPECT_EQ(out, QString::fromLatin1(c.text));
        EXPECT_EQ(m.displayText(7, 1), QString::fromLatin1(c.shown));
        EXPECT_EQ(m.data(m.index(0, 6), Qt::EditRole).toString(), QString::fromLatin1(c.text));
        EXPECT_EQ(m.data(m.index(0, 6), Qt::DisplayRole).toString(), QString::fromLatin1(c.shown));
    }
}

TEST(GridModel, SetTextStoresWhatItIsGivenNormalisingNumbers)
{
    struct Case {
        const char *given;
        bool numberCell;
        const char *stored;
    };
    const Case cases[] = {
        {" 12.50 ", true, "12.5"},
        {"+7", true, "7"},
        {"1e3", true, "1000"},
        {".5", true, "0.5"},
        {"abc", true, "abc"},
        {"12abc", true, "12abc"},
        {"+-1", true, "+-1"},
        {"1,5", true, "1,5"},
        {"inf", true, "inf"},
        {"", true, ""},
        {" 12.50 ", false, " 12.50 "},
        {"999999999999999", true, "999999999999999"},   // code is not held to the bounds
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.given);
        GridModel m(3, 1);
        if (c.numberCell) {
            m.setCol(2);
            m.setRow(1);
            m.setTypeNumber(0, 99999999999999.0, 2);
        }
        m.SetText(2, 1, QString::fromLatin1(c.given));
        EXPECT_EQ(m.text(2, 1), QString::fromLatin1(c.stored));
    }
}

// The views' edit path may only store what the cell allows.
TEST(GridModel, SetDataRefusesWhatTheCellDoesNotAllow)
{
    struct Case {
        const char *typed;
        bool accepted;
        const char *stored;   // when accepted
    };
    const Case cases[] = {
        {"5", true, "5"},
        {"99.99", true, "99.99"},
        {"0", true, "0"},
        {"", true, ""},
        {"  ", true, ""},
        {"12.345", true, "12.35"},
        {"99.994", false, nullptr},   // more than the maximum as typed
        {"99.996", false, nullptr},   // rounds to 100.00, above the maximum
        {"100", false, nullptr},
        {"-1", false, nullptr},
        {"abc", false, nullptr},
        {"1,5", false, nullptr},
        {"nan", false, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        GridModel m(8, 1);
        m.setCol(8);
        m.setRow(-1);
        m.setTypeNumber(0, 99.99, 2);
        m.SetText(8, 1, QStringLiteral("42"));
        const bool ok = m.setData(m.index(0, 7), QString::fromLatin1(c.typed));
        EXPECT_EQ(ok, c.accepted);
        EXPECT_EQ(m.text(8, 1), c.accepted ? QString::fromLatin1(c.stored) : QStringLiteral("42"));
    }

    GridModel m(2, 1);
    m.setCol(1);
    m.setRow(1);
    m.setLock(true);
    EXPECT_FALSE(m.setData(m.index(0, 0), QStringLiteral("x")));
    EXPECT_EQ(m.text(1, 1), QString());
    EXPECT_FALSE(m.flags(m.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(m.flags(m.index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_TRUE(m.setData(m.index(0, 1), QStringLiteral("free text")));
    EXPECT_EQ(m.text(2, 1), QStringLiteral("free text"));
    EXPECT_FALSE(m.setData(m.index(0, 1), QStringLiteral("x"), Qt::DisplayRole));
}

TEST(GridModel, MaxRowsShrinkAndGrowKeepTexts)
{
    GridModel m(19, 5);
    for (int r = 1; r <= 5; ++r)
        m.SetText(2, r, QStringLiteral("item %1").arg(r));
    m.setCol(5);
    m.setRow(4);
    m.setLock(true);

    m.setMaxRows(3);
    EXPECT_EQ(m.MaxRows(), 3);
    EXPECT_EQ(m.rowCount(), 3);
    m.setMaxRows(5);
    for (int r = 1; r <= 3; ++r)
        EXPECT_EQ(m.text(2, r), QStringLiteral("item %1").arg(r));
    EXPECT_EQ(m.text(2, 4), QString()) << "a row that went and came back is new";
    EXPECT_FALSE(m.isLocked(5, 4)) << "its per-cell format went with it";

    QString out = QStringLiteral("stale");
    EXPECT_FALSE(m.GetText(2, 6, out));
    EXPECT_EQ(out, QString());
    m.SetText(20, 1, QStringLiteral("outside"));
    m.SetText(1, 0, QStringLiteral("outside"));
    EXPECT_EQ(m.text(20, 1), QString());
}

TEST(GridModel, InsertAndDeleteRowsShiftTextsAndFormats)
{
    GridModel m(6, 4);
    for (int r = 1; r <= 4; ++r)
        m.SetText(2, r, QString::number(r));
    m.setCol(1);
    m.setRow(3);
    m.setLock(true);   // row 3 holds an item

    QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
    m.InsertRows(2, 2);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 1);
    EXPECT_EQ(inserted[0][2].toInt(), 2);
    EXPECT_EQ(m.MaxRows(), 6);
    const QStringList after = {QStringLiteral("1"), QString(), QString(), QStringLiteral("2"),
                               QStringLiteral("3"), QStringLiteral("4")};
    for (int r = 1; r <= 6; ++r)
        EXPECT_EQ(m.text(2, r), after[r - 1]) << "row " << r;
    EXPECT_TRUE(m.isLocked(1, 5));
    EXPECT_FALSE(m.isLocked(1, 3));

    QSignalSpy removed(&m, &QAbstractItemModel::rowsRemoved);
    m.DeleteRows(1, 4);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed[0][1].toInt(), 0);
    EXPECT_EQ(removed[0][2].toInt(), 3);
    EXPECT_EQ(m.MaxRows(), 2);
    EXPECT_EQ(m.text(2, 1), QStringLiteral("3"));
    EXPECT_TRUE(m.isLocked(1, 1));
    EXPECT_EQ(m.text(2, 2), QStringLiteral("4"));

    // Deleting past the end removes what is there; nonsense is ignored.
    m.DeleteRows(2, 10);
    EXPECT_EQ(m.MaxRows(), 1);
    m.DeleteRows(5, 1);
    m.InsertRows(4, 1);
    m.InsertRows(1, 0);
    EXPECT_EQ(m.MaxRows(), 1);
    m.InsertRows(2, 1);   // just after the last row
    EXPECT_EQ(m.MaxRows(), 2);
}

TEST(GridModel, AddressingCellAndActiveCellAreIndependent)
{
    GridModel m(19, 10);
    QSignalSpy moved(&m, &GridModel::activeCellChanged);
    m.setActiveCell(7, 4);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved[0][0].toInt(), 7);
    EXPECT_EQ(moved[0][1].toInt(), 4);
    m.setActiveCell(7, 4);
    EXPECT_EQ(moved.count(), 1) << "no signal without a move";

    m.setCol(10);
    m.setRow(2);
    m.setCol2(19);
    m.setRow2(10);
    m.setValue(QStringLiteral("x"));
    EXPECT_EQ(m.ActiveCol(), 7);
    EXPECT_EQ(m.ActiveRow(), 4);
    m.setActiveCell(2, 9);
    EXPECT_EQ(m.Col(), 10);
    EXPECT_EQ(m.Row(), 2);
    EXPECT_EQ(m.Col2(), 19);
    EXPECT_EQ(m.Row2(), 10);
    EXPECT_EQ(m.text(10, 2), QStringLiteral("x"));
    EXPECT_EQ(m.text(11, 2), QString()) << "without block mode only (Col, Row)";

    // Rows going away keep the active cell inside the grid.
    m.DeleteRows(5, 6);
    EXPECT_EQ(m.ActiveRow(), 4);
    EXPECT_EQ(m.ActiveCol(), 2);
}

// SelBlock marks column 10 to the last column on all rows; the caller turns
// block mode on and hides or formats the block.
TEST(GridModel, BlockAddressing)
{
    GridModel m(19, 4);
    m.setCol(10);
    m.setCol2(m.MaxCols());
    m.setRow(1);
    m.setRow2(m.MaxRows());
    m.setBlockMode(true);
    m.setColHidden(true);
    m.setLock(true);
    m.setBlockMode(false);
    for (int c = 1; c <= 19; ++c) {
        EXPECT_EQ(m.isColHidden(c), c >= 10) << "col " << c;
        EXPECT_EQ(m.isLocked(c, 4), c >= 10) << "col " << c;
    }
    EXPECT_FALSE(m.isLocked(10, 5 - 0)) << "outside the grid";
    m.setMaxRows(5);
    EXPECT_FALSE(m.isLocked(10, 5)) << "a block of cells is not a column format";

    // Reversed bounds and Row2 beyond the grid are clipped, not refused.
    m.setCol(4);
    m.setCol2(2);
    m.setRow(9);
    m.setRow2(2);
    m.setBlockMode(true);
    m.setValue(QStringLiteral("b"));
    m.setBlockMode(false);
    EXPECT_EQ(m.text(2, 2), QStringLiteral("b"));
    EXPECT_EQ(m.text(4, 5), QStringLiteral("b"));
    EXPECT_EQ(m.text(5, 5), QString());
    EXPECT_EQ(m.text(3, 1), QString());

    // Col -1 with Row -1: every column's format.
    m.setCol(-1);
    m.setRow(-1);
    m.setBackColor(0x00ABCDEF);
    m.setMaxRows(6);
    EXPECT_EQ(m.backColor(1, 6), 0x00ABCDEFu);
    EXPECT_EQ(m.backColor(19, 6), 0x00ABCDEFu);
    EXPECT_EQ(m.backColor(19, 4), kLockYellow) << "still locked by the block";
}

TEST(GridModel, ItemModelRolesAndHeaders)
{
    GridModel m(19, 3);
    m.setColumnHeader(1, QStringLiteral("可替换商品类别"));
    m.setColumnHeader(8, QStringLiteral("损耗率(%)"));
    m.setCol(3);
    m.setRow(-1);
    m.setLock(true);
    m.setCol(8);
    m.setTypeNumber(0, 99.99, 2);
    m.setCol(5);
    m.setRow(2);
    m.setBackColor(0x00FF0000);   // blue in BGR order

    EXPECT_EQ(m.data(m.index(0, 2), Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 192));
    EXPECT_EQ(m.data(m.index(1, 4), Qt::BackgroundRole).value<QColor>(), QColor(0, 0, 255));
    EXPECT_EQ(m.data(m.index(0, 0), Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 255));
    EXPECT_EQ(m.headerData(0, Qt::Horizontal).toString(), QStringLiteral("可替换商品类别"));
    EXPECT_EQ(m.headerData(7, Qt::Horizontal).toString(), QStringLiteral("损耗率(%)"));
    EXPECT_EQ(m.headerData(2, Qt::Vertical).toInt(), 3);
    EXPECT_FALSE(m.headerData(3, Qt::Vertical).isValid());
    EXPECT_EQ(m.data(m.index(0, 7), Qt::TextAlignmentRole).toInt() & Qt::AlignRight, int(Qt::AlignRight));

    QSignalSpy hidden(&m, &GridModel::columnHiddenChanged);
    QSignalSpy width(&m, &GridModel::columnWidthChanged);
    m.setColHidden(12, true);
    m.setColHidden(12, true);
    m.setColWidth(1, 11.87);
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_EQ(width.count(), 1);
    EXPECT_DOUBLE_EQ(m.colWidth(1), 11.87);
    EXPECT_TRUE(m.isColHidden(12));
    EXPECT_FALSE(m.isColHidden(20));
}

TEST(GridModel, ClearAllKeepsSizeAndColumnFormats)
{
    GridModel m(5, 3);
    lockColumn(m, 3, true);
    m.setCol(4);
    m.setRow(2);
    m.setLock(true);
    m.SetText(4, 2, QStringLiteral("x"));
    m.clearAll();
    EXPECT_EQ(m.MaxRows(), 3);
    EXPECT_EQ(m.text(4, 2), QString());
    EXPECT_FALSE(m.isLocked(4, 2));
    EXPECT_TRUE(m.isLocked(3, 2));
}

TEST(GridModel, PassesTheItemModelTester)
{
    ModelTesterWatch watch;
    GridModel m(19, 3);
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::Warning);
    m.SetText(2, 1, QStringLiteral("A01"));
    m.setMaxRows(10);
    m.InsertRows(1, 3);
    m.InsertRows(14, 1);
    m.DeleteRows(2, 5);
    m.setMaxRows(2);
    m.setCol(-1);
    m.setRow(-1);
    m.setLock(true);
    m.setMaxCols(25);
    m.setMaxCols(18);
    m.setData(m.index(0, 1), QStringLiteral("B"));
    m.clearAll();
    m.setMaxRows(0);
    m.setMaxRows(1);
    EXPECT_EQ(m.columnCount(), 18);
}

TEST(GridModel, GrowingByOneRowTouchesOnlyThatRow)
{
    // 10,000 lines: every added row must cost a row, not the grid.
    GridModel m(19, 0);
    lockColumn(m, 3, true);
    QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
    for (int r = 1; r <= 10000; ++r) {
        m.setMaxRows(r);
        m.SetText(2, r, QString::number(r));
    }
    EXPECT_EQ(inserted.count(), 10000);
    EXPECT_EQ(m.text(2, 10000), QStringLiteral("10000"));
    EXPECT_TRUE(m.isLocked(3, 10000));
}
