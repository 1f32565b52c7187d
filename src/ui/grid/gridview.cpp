#include "ui/grid/gridview.h"

#include "ui/grid/cellvalidator.h"

#include <QApplication>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

namespace torvel {

// Draws the cursor frame and builds the cell editors: a line edit whose
// validator carries the cell's number rules and the view's swallow list.
// Its event filter hands the editor's keys to the view first.
class GridDelegate : public QStyledItemDelegate
{
public:
    explicit GridDelegate(GridView *view)
        : QStyledItemDelegate(view)
        , m_view(view)
    {
    }

    QLineEdit *editor() const { return m_editor; }
    QModelIndex editorIndex() const { return m_editorIndex; }

    void applySwallowed(const QString &chars)
    {
        if (m_editor)
            if (auto *v = qobject_cast<CellValidator *>(const_cast<QValidator *>(m_editor->validator())))
                v->setSwallowedCharacters(chars);
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &,
                          const QModelIndex &index) const override
    {
        auto *editor = new QLineEdit(parent);
        editor->setFrame(false);
        auto *validator = new CellValidator(editor);
        validator->setSwallowedCharacters(m_view->swallowedCharacters());
        if (GridModel *model = m_view->gridModel()) {
            const int col = index.column() + 1;
            const int row = index.row() + 1;
            if (model->isNumberCell(col, row)) {
                validator->setNumber(model->minimum(col, row), model->maximum(col, row),
                                     model->decimals(col, row));
                editor->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
        }
        editor->setValidator(validator);
        m_editor = editor;
        m_editorIndex = index;
        return editor;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        if (auto *e = qobject_cast<QLineEdit *>(editor))
            e->setText(index.data(Qt::EditRole).toString());
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override
    {
        if (auto *e = qobject_cast<QLineEdit *>(editor))
            model->setData(index, e->text(), Qt::EditRole);
    }

    void destroyEditor(QWidget *editor, const QModelIndex &index) const override
    {
        if (editor == m_editor) {
            m_editor = nullptr;
            m_editorIndex = QPersistentModelIndex();
        }
        QStyledItemDelegate::destroyEditor(editor, index);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (index == m_view->currentIndex()) {
            painter->save();
            painter->setPen(QPen(option.palette.color(QPalette::Highlight), 2));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(QRectF(option.rect).adjusted(1, 1, -1, -1));
            painter->restore();
        }
    }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *e = qobject_cast<QLineEdit *>(object);
        if (event->type() != QEvent::KeyPress || !e)
            return QStyledItemDelegate::eventFilter(object, event);
        if (m_view->editorKeyPress(e, static_cast<QKeyEvent *>(event)))
            return true;
        if (QStyledItemDelegate::eventFilter(object, event))
            return true;
        // The editor gets the key here and now; what it ignores must not
        // travel on to the grid, which has raised it already.
        if (m_editor == e)
            static_cast<QObject *>(e)->event(event);
        event->accept();   // an ignored key would be offered to the parents
        return true;
    }

private:
    GridView *m_view;
    mutable QPointer<QLineEdit> m_editor;
    mutable QPersistentModelIndex m_editorIndex;
};

namespace {

// Every change of the current cell, by keys, mouse or code, passes here, so
// the view can raise leave-cell (and honour its cancel) before it happens.
class GridSelectionModel : public QItemSelectionModel
{
public:
    GridSelectionModel(QAbstractItemModel *model, GridView *view)
        : QItemSelectionModel(model, view)
        , m_view(view)
    {
    }

    void setCurrentIndex(const QModelIndex &index, SelectionFlags command) override
    {
        if (index == currentIndex()) {
            QItemSelectionModel::setCurrentIndex(index, command);
            return;
        }
        // The handler may add or remove rows; keep the target meaning the same cell.
        const QPersistentModelIndex target(index);
        if (!m_view->approveMove(index))
            return;
        if (index.isValid() && !target.isValid())
            return;
        QItemSelectionModel::setCurrentIndex(target, command);
    }

private:
    GridView *m_view;
};

bool isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Enter:
    case Qt::Key_Return:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

} // namespace

GridView::GridView(QWidget *parent)
    : QTableView(parent)
    , m_delegate(new GridDelegate(this))
{
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(true);
    setWordWrap(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
}

GridView::~GridView() = default;

void GridView::setGridModel(GridModel *model)
{
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (!model) {
        setModel(nullptr);
        return;
    }
    // Connected before the view and its selection model connect theirs, so
    // the flag is up before the selection model moves the cursor off
    // removed rows.
    auto changing = [this] { m_modelChanging = true; };
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, changing);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, changing);
    connect(model, &QAbstractItemModel::columnsAboutToBeInserted, this, changing);
    connect(model, &QAbstractItemModel::columnsAboutToBeRemoved, this, changing);
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, changing);

    m_codeMove = true;
    setModel(model);
    QItemSelectionModel *old = selectionModel();
    setSelectionModel(new GridSelectionModel(model, this));
    delete old;
    m_codeMove = false;

    // Connected after the view's own handlers, so the headers know the new
    // size when the cursor is put back.
    auto changed = [this] {
        m_modelChanging = false;
        followModelActiveCell();
    };
    connect(model, &QAbstractItemModel::rowsInserted, this, changed);
    connect(model, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(model, &QAbstractItemModel::columnsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                m_modelChanging = false;
                applyColumns(first + 1, last + 1);
                followModelActiveCell();
            });
    connect(model, &QAbstractItemModel::columnsRemoved, this, changed);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        m_modelChanging = false;
        applyColumns(1, m_model->MaxCols());
        followModelActiveCell();
    });
    connect(model, &GridModel::columnHiddenChanged, this,
            [this](int col, bool hidden) { setColumnHidden(col - 1, hidden); });
    connect(model, &GridModel::columnWidthChanged, this, [this](int col, double characters) {
        setColumnWidth(col - 1, pixelsForCharacters(characters));
    });
    connect(model, &GridModel::activeCellChanged, this, [this] { followModelActiveCell(); });

    applyColumns(1, model->MaxCols());
    followModelActiveCell();
}

void GridView::setSwallowedCharacters(const QString &chars)
{
    m_swallowed = chars;
    m_delegate->applySwallowed(chars);
}

int GridView::pixelsForCharacters(double characters) const
{
    return qRound(characters * fontMetrics().averageCharWidth());
}

bool GridView::hasGridFocus() const
{
    const QWidget *focus = QApplication::focusWidget();
    return focus && (focus == this || isAncestorOf(focus));
}

bool GridView::isEditing() const
{
    return m_delegate->editor() != nullptr;
}

QLineEdit *GridView::cellEditor() const
{
    return m_delegate->editor();
}

QString GridView::editorText() const
{
    if (QLineEdit *e = m_delegate->editor())
        return e->text();
    return m_model ? m_model->text(m_model->ActiveCol(), m_model->ActiveRow()) : QString();
}

void GridView::applyColumns(int firstCol, int lastCol)
{
    if (!m_model)
        return;
    for (int c = std::max(1, firstCol); c <= std::min(lastCol, m_model->MaxCols()); ++c) {
        setColumnHidden(c - 1, m_model->isColHidden(c));
        setColumnWidth(c - 1, pixelsForCharacters(m_model->colWidth(c)));
    }
}

void GridView::setCurrentFromCode(const QModelIndex &index)
{
    const bool was = m_codeMove;
    m_codeMove = true;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    m_codeMove = was;
}

void GridView::followModelActiveCell()
{
    if (!m_model || m_modelChanging)
        return;
    const QModelIndex target = m_model->index(m_model->ActiveRow() - 1, m_model->ActiveCol() - 1);
    if (target.isValid() && target != currentIndex())
        setCurrentFromCode(target);
}

void GridView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_model && !m_modelChanging && current.isValid())
        m_model->setActiveCell(current.column() + 1, current.row() + 1);
}

bool GridView::commitOpenEditor()
{
    QLineEdit *editor = m_delegate->editor();
    if (!editor)
        return true;
    const QModelIndex index = m_delegate->editorIndex();
    if (m_model && index.isValid()) {
        const int col = index.column() + 1;
        const int row = index.row() + 1;
        if (m_model->isLocked(col, row)) {
            // Locked under the editor (by a handler): its text has no place to go.
            closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
            return true;
        }
        if (!m_model->acceptsInput(col, row, editor->text())) {
            QApplication::beep();
            return false;
        }
    }
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

bool GridView::approveMove(const QModelIndex &target)
{
    if (m_codeMove || m_modelChanging || !m_model)
        return true;
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !target.isValid())
        return true;
    if (!commitOpenEditor())
        return false;
    const int activeCol = m_model->ActiveCol();
    const int activeRow = m_model->ActiveRow();
    bool cancel = false;
    Q_EMIT leaveCell(current.column() + 1, current.row() + 1, target.column() + 1,
                     target.row() + 1, &cancel);
    if (cancel)
        return false;
    // A handler that placed the cursor itself has the last word.
    return m_model->ActiveCol() == activeCol && m_model->ActiveRow() == activeRow;
}

bool GridView::commitAndLeave()
{
    if (!m_model || !currentIndex().isValid())
        return true;
    if (!commitOpenEditor())
        return false;
    const QModelIndex current = currentIndex();
    bool cancel = false;
    Q_EMIT leaveCell(current.column() + 1, current.row() + 1, 0, 0, &cancel);
    return !cancel;
}

bool GridView::moveBy(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex target = moveCursor(action, modifiers);
    if (!target.isValid() || target == currentIndex())
        return false;
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    return currentIndex() == target;
}

bool GridView::editorKeyPress(QLineEdit *editor, QKeyEvent *event)
{
    if (event != m_keyRaised) {
        bool handled = false;
        Q_EMIT keyDown(event->key(), event->modifiers(), &handled);
        if (handled)
            return true;
        if (m_delegate->editor() != editor)
            return true;   // the handler closed the editor: the key has nowhere to go
    }
    if (!isNavigationKey(event->key())
        || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Enter:
    case Qt::Key_Return:
        moveBy(MoveNext, Qt::NoModifier);
        break;
    case Qt::Key_Backtab:
        moveBy(MovePrevious, Qt::NoModifier);
        break;
    case Qt::Key_Up:
        moveBy(MoveUp, Qt::NoModifier);
        break;
    case Qt::Key_Down:
        moveBy(MoveDown, Qt::NoModifier);
        break;
    case Qt::Key_PageUp:
        moveBy(MovePageUp, Qt::NoModifier);
        break;
    case Qt::Key_PageDown:
        moveBy(MovePageDown, Qt::NoModifier);
        break;
    default:
        break;
    }
    return true;
}

void GridView::keyPressEvent(QKeyEvent *event)
{
    bool handled = false;
    Q_EMIT keyDown(event->key(), event->modifiers(), &handled);
    if (handled) {
        event->accept();
        return;
    }
    if (onlySwallowed(event->text())) {
        event->accept();   // nothing left to type: no editor either
        return;
    }
    if ((event->key() == Qt::Key_Enter || event->key() == Qt::Key_Return)
        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        moveBy(MoveNext, Qt::NoModifier);
        event->accept();
        return;
    }
    // A key that opens an editor is forwarded to it; it was raised here.
    m_keyRaised = event;
    QTableView::keyPressEvent(event);
    m_keyRaised = nullptr;
}

bool GridView::onlySwallowed(const QString &text) const
{
    return !text.isEmpty() && !m_swallowed.isEmpty()
        && std::all_of(text.cbegin(), text.cend(),
                       [this](QChar c) { return m_swallowed.contains(c); });
}

void GridView::inputMethodEvent(QInputMethodEvent *event)
{
    if (!isEditing() && event->preeditString().isEmpty() && !event->commitString().isEmpty()) {
        // Composed text that is swallowed whole must not open an editor, which
        // would replace the cell's text with nothing. Other text opens one and
        // goes into it, as a typed key does (the base view drops a commit
        // that arrives without a preedit before it).
        if (!onlySwallowed(event->commitString()) && edit(currentIndex(), AnyKeyPressed, event)
            && cellEditor())
            QApplication::sendEvent(cellEditor(), event);
        event->accept();
        return;
    }
    QTableView::inputMethodEvent(event);
}

void GridView::mouseMoveEvent(QMouseEvent *event)
{
    // Dragging would walk the cursor across cells, a leave-cell per cell.
    if (event->buttons() != Qt::NoButton) {
        event->accept();
        return;
    }
    QTableView::mouseMoveEvent(event);
}

void GridView::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange && m_model)
        applyColumns(1, m_model->MaxCols());
}

} // namespace torvel
