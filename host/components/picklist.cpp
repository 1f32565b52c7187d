#include "components/picklist.h"

#include "services/screen/messagebox.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace torvel::host {

namespace {

int g_searchDelay = 150;

QString displayText(const Variant &value)
{
    if (value.isNull() || value.isEmpty() || value.isObject())
        return QString();
    try {
        return value.toString().trimmed();
    } catch (const ComError &) {
        return QString();
    }
}

} // namespace

// ---------------------------------------------------------------------------

PickPageModel::PickPageModel(std::vector<PickColumn> columns, QObject *parent)
    : QAbstractTableModel(parent)
    , m_columns(std::move(columns))
    , m_fieldIndex(m_columns.size(), -1)
{
}

void PickPageModel::setPage(PickPage page)
{
    beginResetModel();
    m_page = std::move(page);
    if (m_page.rows.size() > size_t(PickListDialog::kPageSize)) {
        m_page.rows.resize(size_t(PickListDialog::kPageSize));
        m_page.more = true;
    }
    for (size_t c = 0; c < m_columns.size(); ++c) {
        m_fieldIndex[c] = -1;
        for (int f = 0; f < m_page.fields.size(); ++f) {
            if (m_page.fields[f].compare(m_columns[c].field, Qt::CaseInsensitive) == 0)
                m_fieldIndex[c] = f;
        }
    }
    endResetModel();
}

Variant PickPageModel::value(int row, const QString &field) const
{
    if (row < 0 || size_t(row) >= m_page.rows.size())
        return Variant();
    for (int f = 0; f < m_page.fields.size(); ++f) {
        if (m_page.fields[f].compare(field, Qt::CaseInsensitive) == 0)
            return m_page.rows[size_t(row)][size_t(f)];
    }
    return Variant();
}

int PickPageModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_page.rows.size());
}

int PickPageModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant PickPageModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    const int field = m_fieldIndex[size_t(index.column())];
    if (field < 0)
        return QVariant();
    return displayText(m_page.rows[size_t(index.row())][size_t(field)]);
}

QVariant PickPageModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || size_t(section) >= m_columns.size())
        return QVariant();
    return m_columns[size_t(section)].title;
}

// ---------------------------------------------------------------------------

PickListDialog::PickListDialog(const QString &objectName, const QString &title, std::vector<PickColumn> columns,
                               PickSource &source, QWidget *parent)
    : QDialog(parent)
    , m_source(source)
    , m_model(new PickPageModel(std::move(columns), this))
    , m_search(new QLineEdit(this))
    , m_list(new QTableView(this))
    , m_status(new QLabel(this))
    , m_ok(new QPushButton(QStringLiteral("确定"), this))
    , m_cancel(new QPushButton(QStringLiteral("取消"), this))
{
    setObjectName(objectName);
    setWindowTitle(title);
    setModal(true);
    resize(640, 420);

    auto *lblSearch = new QLabel(QStringLiteral("查找(&F):"), this);
    lblSearch->setObjectName(QStringLiteral("lblSearch"));
    lblSearch->setBuddy(m_search);
    m_search->setObjectName(QStringLiteral("txtSearch"));
    m_search->setPlaceholderText(QStringLiteral("输入代码、助记码或名称的开头；以 * 开头查找包含的内容"));
    m_search->setClearButtonEnabled(true);

    m_list->setObjectName(QStringLiteral("lstItems"));
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setTabKeyNavigation(false);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setStretchLastSection(true);

    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_ok->setObjectName(QStringLiteral("btnOK"));
    m_cancel->setObjectName(QStringLiteral("btnCancel"));
    m_ok->setDefault(true);

    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(lblSearch);
    searchRow->addWidget(m_search, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    m_delay.setSingleShot(true);
    connect(&m_delay, &QTimer::timeout, this, [this] { searchNow(); });
    connect(m_search, &QLineEdit::textEdited, this, [this] { m_delay.start(g_searchDelay); });
    connect(m_list, &QAbstractItemView::doubleClicked, this, [this] { accept(); });
    connect(m_ok, &QPushButton::clicked, this, &PickListDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &PickListDialog::reject);
    m_search->installEventFilter(this);
    m_list->installEventFilter(this);
    m_search->setFocus();
}

void PickListDialog::setSearchDelay(int milliseconds)
{
    g_searchDelay = milliseconds < 0 ? 0 : milliseconds;
}

int PickListDialog::searchDelay()
{
    return g_searchDelay;
}

void PickListDialog::start(const QString &text)
{
    m_search->setText(text);
    // Typing replaces the text the list started from.
    m_search->selectAll();
    load(text);
}

int PickListDialog::run()
{
    const bool busy = QGuiApplication::overrideCursor() != nullptr;
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int result = exec();
    if (busy)
        QGuiApplication::restoreOverrideCursor();
    return result;
}

void PickListDialog::load(const QString &text)
{
    PickPage page = m_source.fetch(text.trimmed(), kPageSize);
    m_loadedText = text;
    m_model->setPage(std::move(page));
    const int rows = m_model->rowCount();
    if (rows > 0)
        m_list->setCurrentIndex(m_model->index(0, 0));
    if (rows == 0)
        m_status->setText(QStringLiteral("没有符合条件的记录"));
    else if (m_model->page().more)
        m_status->setText(QStringLiteral("显示前 %1 条，请输入更多内容缩小范围").arg(rows));
    else
        m_status->setText(QStringLiteral("共 %1 条").arg(rows));
}

bool PickListDialog::searchNow()
{
    m_delay.stop();
    // A failing query inside the dialog is shown and the dialog stays open.
    try {
        load(m_search->text());
        return true;
    } catch (const ComError &error) {
        ShowErrorBox(error.description());
    } catch (const std::exception &error) {
        ShowErrorBox(QString::fromLocal8Bit(error.what()));
    }
    return false;
}

bool PickListDialog::flushSearch()
{
    if (m_delay.isActive() || m_search->text() != m_loadedText)
        return searchNow();
    return true;
}

void PickListDialog::moveCurrent(int key)
{
    const int rows = m_model->rowCount();
    if (rows == 0)
        return;
    const int visible = qMax(1, m_list->viewport()->height() / qMax(1, m_list->verticalHeader()->defaultSectionSize()));
    int row = m_list->currentIndex().isValid() ? m_list->currentIndex().row() : 0;
    switch (key) {
    case Qt::Key_Up: row -= 1; break;
    case Qt::Key_Down: row += 1; break;
    case Qt::Key_PageUp: row -= visible; break;
    case Qt::Key_PageDown: row += visible; break;
    default: break;
    }
    row = qBound(0, row, rows - 1);
    m_list->setCurrentIndex(m_model->index(row, 0));
    m_list->scrollTo(m_list->currentIndex());
}

bool PickListDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == m_search || watched == m_list)) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            accept();
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            if (watched == m_search) {
                flushSearch();
                moveCurrent(key);
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void PickListDialog::accept()
{
    // Enter right after typing chooses from the list for what was typed;
    // when that search failed the rows on show are stale, so nothing is chosen.
    if (!flushSearch())
        return;
    const QModelIndex current = m_list->currentIndex();
    if (!current.isValid() || current.row() >= m_model->rowCount())
        return;   // nothing to choose: the list stays open
    m_hasChoice = true;
    m_chosenFields = m_model->page().fields;
    m_chosenRow = m_model->page().rows[size_t(current.row())];
    QDialog::accept();
}

Variant PickListDialog::chosen(const QString &field) const
{
    for (int f = 0; f < m_chosenFields.size(); ++f) {
        if (m_chosenFields[f].compare(field, Qt::CaseInsensitive) == 0)
            return m_chosenRow[size_t(f)];
    }
    return Variant();
}

} // namespace torvel::host
