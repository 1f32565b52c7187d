#include "bomdata/gridmodel.h"

#include <QColor>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace torvel {

namespace {

constexpr int kDefaultDecimals = 2;

QColor toQColor(OleColor c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

template <typename T>
void overlay(std::optional<T> &into, const std::optional<T> &from)
{
    if (from)
        into = from;
}

bool isEmptyFormat(const auto &f)
{
    return !f.locked && !f.lockBackColor && !f.backColor && !f.number && !f.minimum && !f.maximum
        && !f.decimals;
}

} // namespace

GridModel::GridModel(int maxCols, int maxRows, QObject *parent)
    : QAbstractTableModel(parent)
{
    m_maxCols = std::max(0, maxCols);
    m_maxRows = std::max(0, maxRows);
    m_columns.resize(size_t(m_maxCols));
    m_cells.resize(size_t(m_maxRows));
    for (auto &row : m_cells)
        row.resize(size_t(m_maxCols));
}

GridModel::~GridModel() = default;

// ---- numbers ---------------------------------------------------------------

QString GridModel::numberText(double number)
{
    if (!std::isfinite(number))
        return QString();
    if (number == 0)
        number = 0;   // no "-0"
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, number, std::chars_format::fixed);
    if (res.ec != std::errc())
        return QString();
    return QString::fromLatin1(buf, int(res.ptr - buf));
}

std::optional<double> GridModel::parseNumber(const QString &text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    const char *first = bytes.constData();
    const char *last = first + bytes.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-')
            return std::nullopt;   // "+-1"
    }
    if (first == last)
        return std::nullopt;
    double value = 0;
    const auto res = std::from_chars(first, last, value, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// ---- size ------------------------------------------------------------------

void GridModel::setMaxRows(int rows)
{
    rows = std::max(0, rows);
    if (rows == m_maxRows)
        return;
    if (rows > m_maxRows) {
        beginInsertRows({}, m_maxRows, rows - 1);
        m_cells.resize(size_t(rows));
        for (size_t r = size_t(m_maxRows); r < size_t(rows); ++r)
            m_cells[r].resize(size_t(m_maxCols));
        m_maxRows = rows;
        endInsertRows();
    } else {
        beginRemoveRows({}, rows, m_maxRows - 1);
        m_cells.resize(size_t(rows));
        m_maxRows = rows;
        endRemoveRows();
        clampActiveCell();
    }
}

void GridModel::setMaxCols(int cols)
{
    cols = std::max(0, cols);
    if (cols == m_maxCols)
        return;
    if (cols > m_maxCols)
        beginInsertColumns({}, m_maxCols, cols - 1);
    else
        beginRemoveColumns({}, cols, m_maxCols - 1);
    const bool growing = cols > m_maxCols;
    m_columns.resize(size_t(cols));
    for (auto &row : m_cells)
        row.resize(size_t(cols));
    m_maxCols = cols;
    if (growing) {
        endInsertColumns();
    } else {
        endRemoveColumns();
        clampActiveCell();
    }
}

// ---- addressing ------------------------------------------------------------

bool GridModel::inGrid(int col, int row) const
{
    return col >= 1 && col <= m_maxCols && row >= 1 && row <= m_maxRows;
}

GridModel::Region GridModel::addressed() const
{
    Region r;
    auto span = [](int a, int b, bool block, int max, int &lo, int &hi) {
        if (a == -1 || (block && b == -1)) {
            lo = 1;
            hi = max;
            return;
        }
        if (block) {
            lo = std::min(a, b);
            hi = std::max(a, b);
        } else {
            lo = hi = a;
        }
        lo = std::max(lo, 1);
        hi = std::min(hi, max);
    };
    span(m_col, m_col2, m_blockMode, m_maxCols, r.col1, r.col2);
    r.wholeColumns = m_row == -1;
    if (!r.wholeColumns)
        span(m_row, m_row2, m_blockMode, m_maxRows, r.row1, r.row2);
    else {
        r.row1 = 1;
        r.row2 = m_maxRows;
    }
    return r;
}

GridModel::Format GridModel::effective(int col, int row) const
{
    Format f;
    if (col < 1 || col > m_maxCols)
        return f;
    f = m_columns[size_t(col - 1)].format;
    if (row < 1 || row > m_maxRows)
        return f;
    if (const auto &cf = m_cells[size_t(row - 1)][size_t(col - 1)].format) {
        overlay(f.locked, cf->locked);
        overlay(f.lockBackColor, cf->lockBackColor);
        overlay(f.backColor, cf->backColor);
        overlay(f.number, cf->number);
        overlay(f.minimum, cf->minimum);
        overlay(f.maximum, cf->maximum);
        overlay(f.decimals, cf->decimals);
    }
    return f;
}

template <typename T>
void GridModel::applyFormat(std::optional<T> Format::*member, T value)
{
    const Region r = addressed();
    if (r.isEmpty())
        return;
    for (int c = r.col1; c <= r.col2; ++c) {
        if (r.wholeColumns) {
            m_columns[size_t(c - 1)].format.*member = value;
            // A column-wide setting resets every row, also rows that had
            // their own value.
            for (auto &row : m_cells) {
                auto &fmt = row[size_t(c - 1)].format;
                if (fmt) {
                    ((*fmt).*member).reset();
                    if (isEmptyFormat(*fmt))
                        fmt.reset();
                }
            }
        } else {
            // What the column gives already needs no override of its own: a
            // column-wide setting replaces the overrides anyway. Loading a BOM
            // sets the quantity's decimals on every line, mostly to the column's.
            const std::optional<T> &inherited = m_columns[size_t(c - 1)].format.*member;
            const bool asColumn = inherited && *inherited == value;
            for (int rw = r.row1; rw <= r.row2; ++rw) {
                auto &fmt = m_cells[size_t(rw - 1)][size_t(c - 1)].format;
                if (asColumn) {
                    if (fmt && ((*fmt).*member)) {
                        ((*fmt).*member).reset();
                        if (isEmptyFormat(*fmt))
                            fmt.reset();
                    }
                    continue;
                }
                if (!fmt)
                    fmt = std::make_unique<Format>();
                (*fmt).*member = value;
            }
        }
    }
    emitRegionChanged(r);
}

void GridModel::emitRegionChanged(const Region &r)
{
    if (r.isEmpty() || m_maxRows == 0)
        return;
    if (m_batchDepth > 0) {
        widenPending(r.col1, r.col2, r.row1, r.row2);
        return;
    }
    Q_EMIT dataChanged(index(r.row1 - 1, r.col1 - 1), index(r.row2 - 1, r.col2 - 1));
}

void GridModel::emitCellChanged(int col, int row)
{
    if (m_batchDepth > 0) {
        widenPending(col, col, row, row);
        return;
    }
    const QModelIndex i = index(row - 1, col - 1);
    Q_EMIT dataChanged(i, i);
}

void GridModel::widenPending(int col1, int col2, int row1, int row2)
{
    if (m_pending.isEmpty()) {
        m_pending = Region{col1, col2, row1, row2};
        return;
    }
    m_pending.col1 = std::min(m_pending.col1, col1);
    m_pending.col2 = std::max(m_pending.col2, col2);
    m_pending.row1 = std::min(m_pending.row1, row1);
    m_pending.row2 = std::max(m_pending.row2, row2);
}

void GridModel::endBatch()
{
    if (--m_batchDepth > 0)
        return;
    Region r = m_pending;
    m_pending = Region{};
    // Rows or columns may have gone since the change was gathered.
    r.col2 = std::min(r.col2, m_maxCols);
    r.row2 = std::min(r.row2, m_maxRows);
    emitRegionChanged(r);
}

bool GridModel::isNumber(int col, int row) const
{
    const auto &cell = m_cells[size_t(row - 1)][size_t(col - 1)].format;
    if (cell && cell->number)
        return *cell->number;
    return m_columns[size_t(col - 1)].format.number.value_or(false);
}

// ---- properties of the addressed cell ---------------------------------------

bool GridModel::Lock() const
{
    return effective(m_col, m_row).locked.value_or(false);
}

void GridModel::setLock(bool locked)
{
    applyFormat(&Format::locked, locked);
}

OleColor GridModel::LockBackColor() const
{
    return effective(m_col, m_row).lockBackColor.value_or(kLockYellow);
}

void GridModel::setLockBackColor(OleColor color)
{
    applyFormat(&Format::lockBackColor, color);
}

OleColor GridModel::BackColor() const
{
    return effective(m_col, m_row).backColor.value_or(kWhite);
}

void GridModel::setBackColor(OleColor color)
{
    applyFormat(&Format::backColor, color);
}

void GridModel::setTypeNumber(double minimum, double maximum, int decimals)
{
    setTypeNumberRange(minimum, maximum);
    applyFormat(&Format::decimals, std::max(0, decimals));
}

void GridModel::setTypeNumberRange(double minimum, double maximum)
{
    applyFormat(&Format::number, true);
    applyFormat(&Format::minimum, std::min(minimum, maximum));
    applyFormat(&Format::maximum, std::max(minimum, maximum));
}

void GridModel::setTypeFloatDecimalPlaces(int decimals)
{
    applyFormat(&Format::number, true);
    applyFormat(&Format::decimals, std::max(0, decimals));
}

QString GridModel::Value() const
{
    return text(m_col, m_row);
}

void GridModel::setValue(const QString &text)
{
    const Region r = addressed();
    if (r.isEmpty())
        return;
    for (int rw = r.row1; rw <= r.row2; ++rw)
        for (int c = r.col1; c <= r.col2; ++c)
            m_cells[size_t(rw - 1)][size_t(c - 1)].text = storedText(c, rw, text);
    emitRegionChanged(r);
}

void GridModel::setValue(double number)
{
    // The plain text of a double is already what a number cell keeps (it
    // reads back to the same text), so it needs no second parse.
    const Region r = addressed();
    if (r.isEmpty())
        return;
    const QString text = numberText(number);
    for (int rw = r.row1; rw <= r.row2; ++rw)
        for (int c = r.col1; c <= r.col2; ++c)
            m_cells[size_t(rw - 1)][size_t(c - 1)].text = text;
    emitRegionChanged(r);
}

// ---- cells -----------------------------------------------------------------

QString GridModel::storedText(int col, int row, const QString &text) const
{
    if (!text.isEmpty() && isNumber(col, row)) {
        if (const auto v = parseNumber(text))
            return numberText(*v);
    }
    return text;
}

QString GridModel::text(int col, int row) const
{
    if (!inGrid(col, row))
        return QString();
    return m_cells[size_t(row - 1)][size_t(col - 1)].text;
}

bool GridModel::GetText(int col, int row, QString &out) const
{
    if (!inGrid(col, row)) {
        out.clear();
        return false;
    }
    out = m_cells[size_t(row - 1)][size_t(col - 1)].text;
    return true;
}

void GridModel::SetText(int col, int row, const QString &text)
{
    if (!inGrid(col, row))
        return;
    QString stored = storedText(col, row, text);
    QString &cell = m_cells[size_t(row - 1)][size_t(col - 1)].text;
    if (cell == stored)
        return;
    cell = std::move(stored);
    emitCellChanged(col, row);
}

bool GridModel::isLocked(int col, int row) const
{
    return effective(col, row).locked.value_or(false);
}

OleColor GridModel::backColor(int col, int row) const
{
    const Format f = effective(col, row);
    if (f.locked.value_or(false))
        return f.lockBackColor.value_or(kLockYellow);
    return f.backColor.value_or(kWhite);
}

bool GridModel::isNumberCell(int col, int row) const
{
    return effective(col, row).number.value_or(false);
}

int GridModel::decimals(int col, int row) const
{
    return effective(col, row).decimals.value_or(kDefaultDecimals);
}

double GridModel::minimum(int col, int row) const
{
    return effective(col, row).minimum.value_or(std::numeric_limits<double>::lowest());
}

double GridModel::maximum(int col, int row) const
{
    return effective(col, row).maximum.value_or(std::numeric_limits<double>::max());
}

QString GridModel::displayText(int col, int row) const
{
    if (!inGrid(col, row))
        return QString();
    const QString &t = m_cells[size_t(row - 1)][size_t(col - 1)].text;
    if (t.isEmpty())
        return t;
    const Format f = effective(col, row);
    if (!f.number.value_or(false))
        return t;
    const auto v = parseNumber(t);
    if (!v)
        return t;
    return QString::number(*v, 'f', f.decimals.value_or(kDefaultDecimals));
}

bool GridModel::acceptsInput(int col, int row, const QString &text) const
{
    if (!inGrid(col, row))
        return false;
    const Format f = effective(col, row);
    if (f.locked.value_or(false))
        return false;
    if (!f.number.value_or(false) || text.trimmed().isEmpty())
        return true;
    const auto v = parseNumber(text);
    return v && *v >= f.minimum.value_or(std::numeric_limits<double>::lowest())
        && *v <= f.maximum.value_or(std::numeric_limits<double>::max());
}

// ---- columns ---------------------------------------------------------------

void GridModel::setColHidden(int col, bool hidden)
{
    if (col < 1 || col > m_maxCols)
        return;
    Column &c = m_columns[size_t(col - 1)];
    if (c.hidden == hidden)
        return;
    c.hidden = hidden;
    Q_EMIT columnHiddenChanged(col, hidden);
}

void GridModel::setColHidden(bool hidden)
{
    const Region r = addressed();
    for (int c = r.col1; c <= r.col2; ++c)
        setColHidden(c, hidden);
}

bool GridModel::isColHidden(int col) const
{
    return col >= 1 && col <= m_maxCols && m_columns[size_t(col - 1)].hidden;
}

void GridModel::setColumnHeader(int col, const QString &text)
{
    if (col < 1 || col > m_maxCols)
        return;
    m_columns[size_t(col - 1)].header = text;
    Q_EMIT headerDataChanged(Qt::Horizontal, col - 1, col - 1);
}

QString GridModel::columnHeader(int col) const
{
    if (col < 1 || col > m_maxCols)
        return QString();
    return m_columns[size_t(col - 1)].header;
}

void GridModel::setColWidth(int col, double characters)
{
    if (col < 1 || col > m_maxCols || !(characters >= 0))
        return;
    m_columns[size_t(col - 1)].width = characters;
    Q_EMIT columnWidthChanged(col, characters);
}

double GridModel::colWidth(int col) const
{
    if (col < 1 || col > m_maxCols)
        return 0;
    return m_columns[size_t(col - 1)].width;
}

// ---- rows ------------------------------------------------------------------

void GridModel::InsertRows(int row, int count)
{
    if (count <= 0 || row < 1 || row > m_maxRows + 1)
        return;
    beginInsertRows({}, row - 1, row + count - 2);
    std::vector<std::vector<Cell>> fresh(static_cast<size_t>(count));
    for (auto &r : fresh)
        r.resize(size_t(m_maxCols));
    m_cells.insert(m_cells.begin() + (row - 1), std::make_move_iterator(fresh.begin()),
                   std::make_move_iterator(fresh.end()));
    m_maxRows += count;
    endInsertRows();
}

void GridModel::DeleteRows(int row, int count)
{
    if (row < 1 || row > m_maxRows || count <= 0)
        return;
    count = std::min(count, m_maxRows - row + 1);
    beginRemoveRows({}, row - 1, row + count - 2);
    m_cells.erase(m_cells.begin() + (row - 1), m_cells.begin() + (row - 1 + count));
    m_maxRows -= count;
    endRemoveRows();
    clampActiveCell();
}

void GridModel::clearAll()
{
    beginResetModel();
    for (auto &row : m_cells)
        for (auto &cell : row) {
            cell.text.clear();
            cell.format.reset();
        }
    endResetModel();
}

// ---- active cell -----------------------------------------------------------

void GridModel::setActiveCell(int col, int row)
{
    col = std::clamp(col, 1, std::max(1, m_maxCols));
    row = std::clamp(row, 1, std::max(1, m_maxRows));
    if (col == m_activeCol && row == m_activeRow)
        return;
    m_activeCol = col;
    m_activeRow = row;
    Q_EMIT activeCellChanged(col, row);
}

void GridModel::clampActiveCell()
{
    setActiveCell(m_activeCol, m_activeRow);
}

// ---- QAbstractItemModel ----------------------------------------------------

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_maxRows;
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_maxCols;
}

bool GridModel::isCell(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && !index.parent().isValid()
        && index.row() < m_maxRows && index.column() < m_maxCols;
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!isCell(index))
        return {};
    const int col = index.column() + 1;
    const int row = index.row() + 1;
    switch (role) {
    case Qt::DisplayRole:
        return displayText(col, row);
    case Qt::EditRole:
        return text(col, row);
    case Qt::BackgroundRole:
        return toQColor(backColor(col, row));
    case Qt::TextAlignmentRole:
        if (isNumberCell(col, row))
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole
        || !isCell(index))
        return false;
    const int col = index.column() + 1;
    const int row = index.row() + 1;
    const QString input = value.toString();
    if (!acceptsInput(col, row, input))
        return false;
    QString stored = input;
    if (isNumberCell(col, row)) {
        if (const auto v = parseNumber(input)) {
            // What the user typed is what the cell shows: round to its decimals.
            const double scale = std::pow(10.0, decimals(col, row));
            double rounded = std::round(*v * scale) / scale;
            if (!std::isfinite(rounded))
                rounded = *v;
            if (rounded < minimum(col, row) || rounded > maximum(col, row))
                return false;
            stored = numberText(rounded);
        } else {
            stored.clear();   // blanks only
        }
    }
    QString &cell = m_cells[size_t(row - 1)][size_t(col - 1)].text;
    if (cell != stored) {
        cell = std::move(stored);
        emitCellChanged(col, row);
    }
    return true;
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    if (!isCell(index))
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (!isLocked(index.column() + 1, index.row() + 1))
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_maxCols)
            return {};
        return m_columns[size_t(section)].header;
    }
    if (section < 0 || section >= m_maxRows)
        return {};
    return section + 1;
}

} // namespace torvel
