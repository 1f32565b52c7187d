#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace torvel {

// OLE colour as the grids took it: 0x00BBGGRR.
using OleColor = uint32_t;
inline constexpr OleColor kLockYellow = 0x00C0FFFF;   // red 255, green 255, blue 192
inline constexpr OleColor kWhite = 0x00FFFFFF;

// The in-memory store of an editing grid, shaped like the spreadsheet control
// the dialogs were written against: rows and columns count from 1, every
// cell holds text, and code addresses a cell or block (Col, Row, Col2, Row2)
// before setting one of its properties. Row -1 (or Col -1) addresses a whole
// column (or row); a column's format also applies to rows added later, and a
// per-cell setting overrides it. The active cell, where the user's cursor
// stands, is separate from the addressing cell.
//
// Addressing rules for the property setters (Lock, colours, number type,
// Value, ColHidden):
// - Without block mode the addressed cell is (Col, Row); with block mode on
//   it is the block Col..Col2 x Row..Row2 (SelBlock sets the bounds, the
//   caller switches block mode).
// - Row -1 addresses whole columns: the setting becomes the column's format,
//   which every row has unless a cell overrides it, and it replaces the
//   per-cell overrides of that property in those columns (so a column-wide
//   reset really resets every row). Col -1 addresses every column.
// - Addresses outside the grid are ignored.
//
// Defaults: a locked cell shows kLockYellow unless a lock colour was set;
// an unlocked cell shows kWhite unless a back colour was set. A number cell
// has 2 decimals and no bounds until they are set.
//
// Number cells keep the value as set and read back (text, GetText, Value)
// as plain decimal text: a point, no grouping, no exponent, no locale
// ("12.5", "3", "0.125"), because callers read numbers back with the
// leading-number parse. They show the value rounded to their decimals.
//
// Plain Qt Core (QColor from Qt Gui for the background role): the data layer
// works on this model without any widget.
class GridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit GridModel(int maxCols = 0, int maxRows = 0, QObject *parent = nullptr);
    ~GridModel() override;

    // Size
    int MaxRows() const { return m_maxRows; }
    void setMaxRows(int rows);
    int MaxCols() const { return m_maxCols; }
    void setMaxCols(int cols);

    // The addressing cell and block.
    int Col() const { return m_col; }
    int Row() const { return m_row; }
    int Col2() const { return m_col2; }
    int Row2() const { return m_row2; }
    void setCol(int col) { m_col = col; }
    void setRow(int row) { m_row = row; }
    void setCol2(int col) { m_col2 = col; }
    void setRow2(int row) { m_row2 = row; }
    bool BlockMode() const { return m_blockMode; }
    void setBlockMode(bool on) { m_blockMode = on; }

    // Properties of the addressed cell (Col, Row; -1 for a whole column/row).
    // Getters read the cell (Col, Row); for Row -1 the column's format.
    bool Lock() const;
    void setLock(bool locked);
    OleColor LockBackColor() const;
    void setLockBackColor(OleColor color);
    OleColor BackColor() const;
    void setBackColor(OleColor color);
    // Makes the addressed cells number cells with these bounds and decimals.
    void setTypeNumber(double minimum, double maximum, int decimals);
    // Sets the bounds and makes the addressed cells number cells; their
    // decimals stay as they were.
    void setTypeNumberRange(double minimum, double maximum);
    // Sets the decimals and makes the addressed cells number cells (a float
    // cell type is implied by the property).
    void setTypeFloatDecimalPlaces(int decimals);
    // The addressed cell's value: a number cell keeps the number as set.
    QString Value() const;
    void setValue(const QString &text);
    void setValue(double number);

    // Direct cell access (col, row from 1). Reading outside the grid gives
    // the empty text; GetText answers whether the cell exists. SetText
    // stores what it is given (a number in a number cell is normalised to
    // plain decimal text); writing outside the grid is ignored.
    QString text(int col, int row) const;
    bool GetText(int col, int row, QString &out) const;
    void SetText(int col, int row, const QString &text);

    // Cell state as shown by views.
    bool isLocked(int col, int row) const;
    OleColor backColor(int col, int row) const;     // lock colour when locked
    bool isNumberCell(int col, int row) const;
    int decimals(int col, int row) const;
    double minimum(int col, int row) const;
    double maximum(int col, int row) const;
    QString displayText(int col, int row) const;   // number cells with their decimals
    // Whether `text` may be stored in the cell by the user: never in a
    // locked cell; in a number cell only the empty text or a number within
    // the bounds. Code that calls SetText is not held to this.
    bool acceptsInput(int col, int row, const QString &text) const;

    // Columns
    void setColHidden(int col, bool hidden);
    void setColHidden(bool hidden);   // the addressed column(s)
    bool isColHidden(int col) const;
    void setColumnHeader(int col, const QString &text);
    QString columnHeader(int col) const;
    void setColWidth(int col, double characters);
    double colWidth(int col) const;

    // Rows: inserted before `row`; deleted from `row`. MaxRows changes with them.
    void InsertRows(int row, int count);
    void DeleteRows(int row, int count);
    void clearAll();   // every cell's text and per-cell format, size kept

    // The active cell (the user's cursor). Views follow it and report moves.
    // Kept within the grid (at least 1, 1) when rows or columns go.
    int ActiveCol() const { return m_activeCol; }
    int ActiveRow() const { return m_activeRow; }
    void setActiveCell(int col, int row);

    // Plain decimal text of a number: shortest text that reads back as the
    // same double, a point, no exponent or grouping.
    static QString numberText(double number);
    // The whole trimmed text as a finite number (C syntax), or nothing.
    static std::optional<double> parseNumber(const QString &text);

    // QAbstractItemModel: row r, column c map to grid row r + 1, col c + 1.
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Edit path of the views: refused (false) for a locked cell and for a
    // number cell given a non-number or a value out of its bounds.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Many changes, one change notice: while a Batch lives, the cells that
    // change are gathered and announced as one block when the outermost Batch
    // ends. Loading a BOM sets about twenty cells a line, and a notice per
    // cell cost as much as reading the lines from the database.
    class Batch
    {
    public:
        explicit Batch(GridModel &model) : m_model(model) { ++m_model.m_batchDepth; }
        ~Batch() { m_model.endBatch(); }
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        GridModel &m_model;
    };

Q_SIGNALS:
    void activeCellChanged(int col, int row);
    void columnHiddenChanged(int col, bool hidden);
    void columnWidthChanged(int col, double characters);

private:
    struct Format {
        std::optional<bool> locked;
        std::optional<OleColor> lockBackColor;
        std::optional<OleColor> backColor;
        std::optional<bool> number;
        std::optional<double> minimum;
        std::optional<double> maximum;
        std::optional<int> decimals;
    };
    struct Cell {
        QString text;
        std::unique_ptr<Format> format;   // only cells with an override pay for one
    };
    struct Column {
        Format format;
        QString header;
        double width = 8.0;
        bool hidden = false;
    };
    struct Region {
        int col1 = 1, col2 = 0, row1 = 1, row2 = 0;
        bool wholeColumns = false;
        bool isEmpty() const { return col1 > col2 || (!wholeColumns && row1 > row2); }
    };

    Format effective(int col, int row) const;
    Region addressed() const;
    template <typename T> void applyFormat(std::optional<T> Format::*member, T value);
    void applyNumberType(std::optional<double> minimum, std::optional<double> maximum, int decimals);
    void emitRegionChanged(const Region &region);
    void emitCellChanged(int col, int row);
    void widenPending(int col1, int col2, int row1, int row2);
    void endBatch();
    bool isNumber(int col, int row) const;
    bool inGrid(int col, int row) const;
    bool isCell(const QModelIndex &index) const;
    QString storedText(int col, int row, const QString &text) const;
    void clampActiveCell();

    int m_maxCols = 0;
    int m_maxRows = 0;
    int m_col = 1, m_row = 1, m_col2 = 1, m_row2 = 1;
    bool m_blockMode = false;
    int m_activeCol = 1, m_activeRow = 1;
    std::vector<Column> m_columns;            // index col - 1
    std::vector<std::vector<Cell>> m_cells;   // [row - 1][col - 1]
    int m_batchDepth = 0;
    Region m_pending;                         // changed under a Batch, not yet announced
};

} // namespace torvel
