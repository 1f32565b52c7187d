#pragma once

#include "bomdata/gridmodel.h"

#include <QPointer>
#include <QTableView>

class QLineEdit;

namespace torvel {

class GridDelegate;

// The editing grid of the dialogs (the BOM editor's vasSubItem, the
// completion dialog's vasItem): a QTableView over a GridModel that behaves
// like the spreadsheet control those dialogs were written against.
//
// Events (both raised synchronously, columns and rows from 1):
// - leaveCell(col, row, newCol, newRow, cancel): before the cursor leaves a
//   cell for another one, by keys (arrows, Tab, Shift+Tab, Enter, Page
//   Up/Down, Home/End) or by the mouse. The text being typed is already in
//   the model and the cell editor is closed, so the handler reads and may
//   rewrite the cell. *cancel = true keeps the cursor in the cell (the typed
//   text stays in the model). Moves from code (GridModel::setActiveCell),
//   rows removed under the cursor and the first placement of the cursor
//   raise nothing.
// - keyDown(key, modifiers, handled): for every key pressed in the grid,
//   also while a cell editor is open, before the editor sees the key. `key`
//   is a Qt::Key (Qt::Key_F7, Qt::Key_F9 with Qt::ShiftModifier, ...).
//   *handled = true consumes the key. While an editor is open its text is
//   not yet in the model (editorText() gives it); whatever the handler
//   writes into the active cell replaces the editor's text.
//
// Commands outside the grid (toolbar buttons, dialog buttons) call
// commitAndLeave() first and run only when it returns true. Such buttons
// must not take the focus from the grid: give them Qt::NoFocus (a QToolBar's
// actions: setFocusPolicy(Qt::NoFocus) on the tool buttons), otherwise the
// editor closes on focus loss and hasGridFocus() turns false before the
// command runs.
//
// Enter moves like Tab (to the next visible cell on the right, then the next
// row). Left and Right inside an open editor move the text cursor; Up and
// Down leave the cell.
class GridView : public QTableView
{
    Q_OBJECT

public:
    explicit GridView(QWidget *parent = nullptr);
    ~GridView() override;

    // The view follows the model's size, hidden columns, widths and active
    // cell. Not owned.
    void setGridModel(GridModel *model);
    GridModel *gridModel() const { return m_model; }

    // Characters dropped from everything that reaches a cell editor (typed,
    // pasted, input-method text); a key that only types such characters does
    // not open an editor either. The BOM editor passes "\"'".
    void setSwallowedCharacters(const QString &chars);
    QString swallowedCharacters() const { return m_swallowed; }

    // Commits the open editor and raises leaveCell for the active cell with
    // newCol = newRow = 0 (the cursor does not move; handlers must not treat
    // 0 as a column or row being entered). Returns false when the typed text
    // cannot be stored (the editor stays open) or the handler cancelled: the
    // command must not run then. Without an active cell it returns true.
    bool commitAndLeave();

    // True while the grid or its cell editor has the keyboard focus.
    bool hasGridFocus() const;

    bool isEditing() const;
    // The open cell editor, or null.
    QLineEdit *cellEditor() const;
    // The open editor's text, or the active cell's text when none is open.
    QString editorText() const;

    // Pixel width of `characters` of this view's font, the unit of
    // GridModel::setColWidth.
    int pixelsForCharacters(double characters) const;

    // Called by the private selection model before the current cell changes.
    bool approveMove(const QModelIndex &target);

Q_SIGNALS:
    void leaveCell(int col, int row, int newCol, int newRow, bool *cancel);
    void keyDown(int key, Qt::KeyboardModifiers modifiers, bool *handled);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void changeEvent(QEvent *event) override;

private:
    friend class GridDelegate;

    // From the editor's key filter: true when the key was consumed.
    bool editorKeyPress(QLineEdit *editor, QKeyEvent *event);
    bool moveBy(CursorAction action, Qt::KeyboardModifiers modifiers);
    // Commits and closes the open editor; false (editor kept) when the
    // model refuses its text.
    bool commitOpenEditor();
    void applyColumns(int firstCol, int lastCol);
    void followModelActiveCell();
    void setCurrentFromCode(const QModelIndex &index);
    bool onlySwallowed(const QString &text) const;

    QPointer<GridModel> m_model;
    GridDelegate *m_delegate = nullptr;
    QString m_swallowed;
    bool m_codeMove = false;          // a move that raises no leaveCell
    bool m_modelChanging = false;     // rows or columns are being inserted/removed
    const QKeyEvent *m_keyRaised = nullptr;   // forwarded to a new editor: raised already
};

} // namespace torvel
