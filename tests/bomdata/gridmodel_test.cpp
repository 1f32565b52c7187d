#include "bomdata/gridmodel.h"

#include "printers.h"

#include <QColor>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

using torvel::GridModel;
using torvel::kLockYellow;
using torvel::kWhite;

namespace {

GridModel &at(GridModel &m, int col, int row)
{
    m.setCol(col);
    m.setRow(row);
    return m;
}

} // namespace

// A column format reaches rows that did not exist when it was set, however
// they were added, and each addition is one insert (no reset, no per-grid work).
TEST(GridModel, ColumnFormatAppliesToRowsAddedLater)
{
    struct Case { const char *name; std::function<void(GridModel &)> addRows; int newRow; };
    const Case cases[] = {
        {"grow MaxRows", [](GridModel &m) { m.setMaxRows(m.MaxRows() + 1); }, 4},
        {"insert in the middle", [](GridModel &m) { m.InsertRows(2, 1); }, 2},
        {"insert at the end", [](GridModel &m) { m.InsertRows(4, 2); }, 5},
        {"shrink to zero and grow", [](GridModel &m) { m.setMaxRows(0); m.setMaxRows(6); }, 6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        GridModel m(19, 3);
        at(m, 3, -1).setLock(true);
        at(m, 7, -1).setTypeNumber(0, 99999999999999.0, 3);
        QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&m, &QAbstractItemModel::modelReset);
        c.addRows(m);
        EXPECT_EQ(inserted.count(), 1);
        EXPECT_EQ(reset.count(), 0);
        EXPECT_TRUE(m.isLocked(3, c.newRow));
        EXPECT_EQ(m.backColor(3, c.newRow), kLockYellow);
        EXPECT_FALSE(m.isLocked(4, c.newRow));
        EXPECT_EQ(m.backColor(4, c.newRow), kWhite);
        EXPECT_EQ(m.maximum(7, c.newRow), 99999999999999.0);
        m.SetText(7, c.newRow, QStringLiteral("2.5"));
        EXPECT_EQ(m.displayText(7, c.newRow), QStringLiteral("2.500"));
    }
}

TEST(GridModel, CellSettingOverridesColumnAndColumnResetClearsIt)
{
    GridModel m(6, 4);
    at(m, 5, -1).setLock(true);
    m.setLockBackColor(0x000000FF);
    at(m, 5, 2).setLock(false);
    m.setBackColor(0x00112233);
    EXPECT_FALSE(m.isLocked(5, 2));
    EXPECT_TRUE(m.isLocked(5, 1));
    EXPECT_TRUE(m.isLocked(5, 3));
    EXPECT_EQ(m.backColor(5, 1), 0x000000FFu);
    EXPECT_EQ(m.backColor(5, 2), 0x00112233u);
    EXPECT_FALSE(m.Lock());
    EXPECT_TRUE(at(m, 5, 3).Lock());
    at(m, 5, 2).setLock(true);   // back to what the column says
    EXPECT_TRUE(m.isLocked(5, 2));
    at(m, 2, 1).setLock(true);
    EXPECT_EQ(m.backColor(2, 1), kLockYellow) << "default lock colour";
    m.setBackColor(0x00445566);
    EXPECT_EQ(m.backColor(2, 1), kLockYellow) << "a locked cell shows its lock colour";

    at(m, 5, 3).setLockBackColor(kLockYellow);
    EXPECT_EQ(m.backColor(5, 3), kLockYellow);
    EXPECT_EQ(m.backColor(5, 1), 0x000000FFu);

    // A column-wide setting reaches the rows that had their own value, and
    // only that property.
    at(m, 5, -1).setLock(true);
    EXPECT_TRUE(m.isLocked(5, 2));
    EXPECT_EQ(m.backColor(5, 3), kLockYellow);
}

TEST(GridModel, NumberCellReadsBackPlainDecimalText)
{
    struct Case { double value; int decimals; const char *text; const char *shown; };
    const Case cases[] = {
        // The digits are numtext's; here the cell's own text and its shown rounding.
        {12.5, 2, "12.5", "12.50"},
        {0.125, 2, "0.125", "0.13"},
        {0.1 + 0.2, 1, "0.30000000000000004", "0.3"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        GridModel m(8, 2);
        at(m, 7, 1).setTypeFloatDecimalPlaces(c.decimals);
        m.setValue(c.value);
        EXPECT_EQ(m.Value(), QString::fromLatin1(c.text));
        EXPECT_EQ(m.data(m.index(0, 6), Qt::EditRole).toString(), QString::fromLatin1(c.text));
        EXPECT_EQ(m.data(m.index(0, 6), Qt::DisplayRole).toString(), QString::fromLatin1(c.shown));
    }
}

// Code's SetText normalises numbers but stores anything; the views' edit
// path (setData) may only store what the cell allows.
TEST(GridModel, NumberCellInputByCodeAndByTheUser)
{
    struct Case {
        const char *given;
        const char *bySetText;
        const char *bySetData;   // nullptr: refused
    };
    const Case cases[] = {
        {" 12.50 ", "12.5", "12.5"},
        {"1e3", "1000", nullptr},
        {".5", "0.5", "0.5"},
        {"12.345", "12.345", "12.35"},
        {"99.99", "99.99", "99.99"},   // the maximum itself
        {"99.994", "99.994", nullptr},   // more than the maximum as typed
        {"99.996", "99.996", nullptr},   // rounds to 100.00, above the maximum
        {"-1", "-1", nullptr},
        {"12abc", "12abc", nullptr},
        {"", "", ""},
        {"  ", "  ", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.given);
        GridModel m(8, 1);
        at(m, 8, -1).setTypeNumber(0, 99.99, 2);
        m.SetText(8, 1, QString::fromLatin1(c.given));
        EXPECT_EQ(m.text(8, 1), QString::fromLatin1(c.bySetText));
        m.SetText(8, 1, QStringLiteral("42"));
        EXPECT_EQ(m.setData(m.index(0, 7), QString::fromLatin1(c.given)), c.bySetData != nullptr);
        EXPECT_EQ(m.text(8, 1), QString::fromLatin1(c.bySetData ? c.bySetData : "42"));
    }

    GridModel m(2, 1);
    m.SetText(2, 1, QStringLiteral(" 12.50 "));
    EXPECT_EQ(m.text(2, 1), QStringLiteral(" 12.50 ")) << "a text cell keeps what it is given";
    at(m, 1, 1).setLock(true);
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
    at(m, 5, 4).setLock(true);
    at(m, 3, -1).setLock(true);
    m.clearAll();   // texts and per-cell formats go, the size and column formats stay
    EXPECT_EQ(m.MaxRows(), 5);
    EXPECT_EQ(m.text(2, 1), QString());
    EXPECT_FALSE(m.isLocked(5, 4));
    EXPECT_TRUE(m.isLocked(3, 4));
    for (int r = 1; r <= 5; ++r)
        m.SetText(2, r, QStringLiteral("item %1").arg(r));
    at(m, 5, 4).setLock(true);
    m.setMaxRows(3);
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
    at(m, 1, 3).setLock(true);

    QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&m, &QAbstractItemModel::rowsRemoved);
    m.InsertRows(2, 2);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0].mid(1), (QVariantList{1, 2}));
    QStringList texts;
    for (int r = 1; r <= m.MaxRows(); ++r)
        texts << m.text(2, r);
    EXPECT_EQ(texts, (QStringList{"1", "", "", "2", "3", "4"}));
    EXPECT_TRUE(m.isLocked(1, 5));
    EXPECT_FALSE(m.isLocked(1, 3));

    m.DeleteRows(1, 4);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed[0].mid(1), (QVariantList{0, 3}));
    EXPECT_EQ(m.MaxRows(), 2);
    EXPECT_EQ(m.text(2, 1), QStringLiteral("3"));
    EXPECT_TRUE(m.isLocked(1, 1));
    EXPECT_EQ(m.text(2, 2), QStringLiteral("4"));

    // Deleting past the end removes what is there; nonsense is ignored.
    m.DeleteRows(2, 10);
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
    m.setActiveCell(7, 4);
    ASSERT_EQ(moved.count(), 1) << "no signal without a move";
    EXPECT_EQ(moved[0], (QVariantList{7, 4}));

    at(m, 10, 2).setCol2(19);
    m.setRow2(10);
    m.setValue(QStringLiteral("x"));
    EXPECT_EQ(m.ActiveCol(), 7);
    EXPECT_EQ(m.ActiveRow(), 4);
    m.setActiveCell(2, 9);
    EXPECT_EQ(m.Col(), 10);
    EXPECT_EQ(m.Row(), 2);
    EXPECT_EQ(m.text(10, 2), QStringLiteral("x"));
    EXPECT_EQ(m.text(11, 2), QString()) << "without block mode only (Col, Row)";

    m.DeleteRows(5, 6);
    EXPECT_EQ(m.ActiveRow(), 4) << "kept inside the grid";
    EXPECT_EQ(m.ActiveCol(), 2);
}

TEST(GridModel, BlockAddressing)
{
    GridModel m(19, 4);
    at(m, 10, 1).setCol2(m.MaxCols());
    m.setRow2(m.MaxRows());
    m.setBlockMode(true);
    m.setColHidden(true);
    m.setLock(true);
    m.setBlockMode(false);
    for (int c = 1; c <= 19; ++c) {
        EXPECT_EQ(m.isColHidden(c), c >= 10) << "col " << c;
        EXPECT_EQ(m.isLocked(c, 4), c >= 10) << "col " << c;
    }
    m.setMaxRows(5);
    EXPECT_FALSE(m.isLocked(10, 5)) << "a block of cells is not a column format";

    // Reversed bounds and Row2 beyond the grid are clipped, not refused.
    at(m, 4, 9).setCol2(2);
    m.setRow2(2);
    m.setBlockMode(true);
    m.setValue(QStringLiteral("b"));
    m.setBlockMode(false);
    EXPECT_EQ(m.text(2, 2), QStringLiteral("b"));
    EXPECT_EQ(m.text(4, 5), QStringLiteral("b"));
    EXPECT_EQ(m.text(5, 5), QString());
    EXPECT_EQ(m.text(3, 1), QString());

    // Col -1 with Row -1: every column's format.
    at(m, -1, -1).setBackColor(0x00ABCDEF);
    m.setMaxRows(6);
    EXPECT_EQ(m.backColor(1, 6), 0x00ABCDEFu);
    EXPECT_EQ(m.backColor(19, 6), 0x00ABCDEFu);
    EXPECT_EQ(m.backColor(19, 4), kLockYellow) << "still locked by the block";
}

TEST(GridModel, ItemModelRolesAndHeaders)
{
    GridModel m(19, 3);
    m.setColumnHeader(8, QStringLiteral("损耗率(%)"));
    at(m, 3, -1).setLock(true);
    at(m, 8, -1).setTypeNumber(0, 99.99, 2);
    at(m, 5, 2).setBackColor(0x00FF0000);   // blue in BGR order
    auto background = [&m](int row, int col) { return m.data(m.index(row, col), Qt::BackgroundRole).value<QColor>(); };
    EXPECT_EQ(background(0, 2), QColor(255, 255, 192));
    EXPECT_EQ(background(1, 4), QColor(0, 0, 255));
    EXPECT_EQ(background(0, 0), QColor(255, 255, 255));
    EXPECT_EQ(m.headerData(7, Qt::Horizontal).toString(), QStringLiteral("损耗率(%)"));
    EXPECT_EQ(m.headerData(2, Qt::Vertical).toInt(), 3);
    EXPECT_FALSE(m.headerData(3, Qt::Vertical).isValid());
    EXPECT_EQ(m.data(m.index(0, 7), Qt::TextAlignmentRole).toInt() & Qt::AlignRight, int(Qt::AlignRight));

    QSignalSpy hidden(&m, &GridModel::columnHiddenChanged);
    m.setColHidden(12, true);
    m.setColHidden(12, true);
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_FALSE(m.isColHidden(20));
}

// Under a batch the changes reach a view as one notice covering every changed
// cell, sent when the outermost batch ends, never one per cell.
TEST(GridModel, BatchAnnouncesItsChangesOnceAsOneBlock)
{
    GridModel m(6, 5);
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    {
        const GridModel::Batch outer(m);
        m.SetText(2, 4, QStringLiteral("a"));
        {
            const GridModel::Batch inner(m);
            at(m, 5, 2).setLock(true);
        }
        m.SetText(3, 3, QStringLiteral("b"));
        EXPECT_EQ(changed.count(), 0);
    }
    ASSERT_EQ(changed.count(), 1);
    const auto topLeft = changed.at(0).at(0).value<QModelIndex>();
    const auto bottomRight = changed.at(0).at(1).value<QModelIndex>();
    EXPECT_EQ(std::pair(topLeft.row(), topLeft.column()), std::pair(1, 1));
    EXPECT_EQ(std::pair(bottomRight.row(), bottomRight.column()), std::pair(3, 4));
    m.SetText(1, 1, QStringLiteral("c"));
    EXPECT_EQ(changed.count(), 2);
}
