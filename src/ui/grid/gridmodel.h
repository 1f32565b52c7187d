#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
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
// Plain Qt Core: the data layer works on this model without any widget.
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

    // Properties of the addressed cell (Col, Row; -1 for a whole column/row).
    bool Lock() const;
    void setLock(bool locked);
    void setLockBackColor(OleColor color);
    void setBackColor(OleColor color);
    // Makes the addressed cells number cells with these bounds and decimals.
    void setTypeNumber(double minimum, double maximum, int decimals);
    void setTypeFloatDecimalPlaces(int decimals);
    // The addressed cell's value: a number cell keeps the number as set.
    QString Value() const;
    void setValue(const QString &text);
    void setValue(double number);

    // Direct cell access (col, row from 1). Reading outside the grid gives
    // the empty text; GetText answers whether the cell exists.
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

    // Columns
    void setColHidden(int col, bool hidden);
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
    int ActiveCol() const { return m_activeCol; }
    int ActiveRow() const { return m_activeRow; }
    void setActiveCell(int col, int row);

    // QAbstractItemModel: row r, column c map to grid row r + 1, col c + 1.
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void activeCellChanged(int col, int row);

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
        Format format;
    };
    struct Column {
        Format format;
        QString header;
        double width = 8.0;
        bool hidden = false;
    };

    Format effective(int col, int row) const;
    template <typename Fn> void forAddressed(Fn &&fn);
    void emitCellChanged(int col, int row);

    int m_maxCols = 0;
    int m_maxRows = 0;
    int m_col = 1, m_row = 1, m_col2 = 1, m_row2 = 1;
    int m_activeCol = 1, m_activeRow = 1;
    std::vector<Column> m_columns;            // index col - 1
    std::vector<std::vector<Cell>> m_cells;   // [row - 1][col - 1]
};

} // namespace torvel
