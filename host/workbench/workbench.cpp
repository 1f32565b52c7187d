#include "workbench.h"

#include "tools/bomtools.h"

#include "services/com/comerror.h"
#include "services/screen/messagebox.h"

#include <QApplication>
#include <QDateEdit>
#include <QDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QTableWidget>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace torvel::host {

// ---- BomListModel -----------------------------------------------------------

BomListModel::BomListModel(ConnectionPtr connection, QObject *parent)
    : QAbstractTableModel(parent), m_connection(std::move(connection))
{
}

void BomListModel::setQuery(const BomQuery &query)
{
    beginResetModel();
    m_query = query;
    m_rows.clear();
    m_more = false;
    if (query.groupId != 0) {
        // One row past the page says whether another page follows.
        m_rows = fetchBomPage(*m_connection, m_query, 0, kPageSize + 1);
        m_more = int(m_rows.size()) > kPageSize;
        if (m_more)
            m_rows.pop_back();
    }
    endResetModel();
}

int BomListModel::findBom(int32_t bomId)
{
    for (;;) {
        for (size_t r = 0; r < m_rows.size(); ++r)
            if (m_rows[r].id == bomId)
                return int(r);
        if (!m_more)
            return -1;
        fetchMore({});
    }
}

int BomListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int BomListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(BomColumn::Count);
}

QVariant BomListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const BomRow &r = m_rows[size_t(index.row())];
    const auto column = BomColumn(index.column());
    if (role == Qt::UserRole)
        return r.id;
    if (role == Qt::TextAlignmentRole && column == BomColumn::Lines)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (column) {
    case BomColumn::Number: return r.number;
    case BomColumn::Name: return r.name;
    case BomColumn::ItemNumber: return r.itemNumber;
    case BomColumn::ItemName: return r.itemName;
    case BomColumn::Status: return statusText(r.status);
    case BomColumn::Lines: return r.lines;
    case BomColumn::Count: break;
    }
    return {};
}

QVariant BomListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const captions[] = {"代码", "名称", "商品代码", "商品名称", "状态", "行数"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= int(BomColumn::Count))
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromUtf8(captions[section]);
}

bool BomListModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_more;
}

void BomListModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || !m_more)
        return;
    std::vector<BomRow> page = fetchBomPage(*m_connection, m_query, int(m_rows.size()), kPageSize + 1);
    m_more = int(page.size()) > kPageSize;
    if (m_more)
        page.pop_back();
    if (page.empty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows({}, first, first + int(page.size()) - 1);
    m_rows.insert(m_rows.end(), page.begin(), page.end());
    endInsertRows();
}

void BomListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= int(BomColumn::Count))
        return;
    BomQuery q = m_query;
    q.sortColumn = BomColumn(column);
    q.descending = order == Qt::DescendingOrder;
    setQuery(q);
}

// ---- helpers ----------------------------------------------------------------

double oleDate(const QDate &date)
{
    return double(QDate(1899, 12, 30).daysTo(date));
}

QString callErrorText(int32_t code, int32_t hr, const QString &description)
{
    return QStringLiteral("%1\n\n错误号：%2（0x%3）")
        .arg(description)
        .arg(code)
        .arg(QString::number(uint32_t(hr), 16).toUpper().rightJustified(8, u'0'));
}

namespace {

QString databaseLabel(const QString &connectionString)
{
    if (connectionString.contains(QLatin1String("://")))
        return QUrl(connectionString).toDisplayString(QUrl::RemovePassword);
    return connectionString;
}

// A small modal question: the content, then OK and Cancel.
class SmallDialog : public QDialog
{
public:
    SmallDialog(QWidget *parent, const QString &name, const QString &caption, QWidget *content) : QDialog(parent)
    {
        setObjectName(name);
        setWindowTitle(caption);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(content);
        auto *buttons = new QDialogButtonBox(this);
        auto *ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
        auto *cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
        ok->setObjectName(QStringLiteral("btnOK"));
        cancel->setObjectName(QStringLiteral("btnCancel"));
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons);
    }
};

} // namespace

std::optional<int32_t> chooseNote(QWidget *parent, const std::vector<NoteRow> &notes)
{
    auto *list = new QListWidget;
    list->setObjectName(QStringLiteral("lstNotes"));
    auto add = [&](const QString &text, int32_t id) {
        auto *item = new QListWidgetItem(text, list);
        item->setData(Qt::UserRole, id);
    };
    add(QStringLiteral("新建补全"), 0);
    for (const NoteRow &n : notes)
        add(QStringLiteral("补全 %1（%2 行）").arg(n.noteId).arg(n.lines), n.noteId);
    list->setCurrentRow(0);
    SmallDialog dialog(parent, QStringLiteral("frmWorkbenchNotes"), QStringLiteral("商品结构清单补全"), list);
    QObject::connect(list, &QListWidget::itemActivated, &dialog, &QDialog::accept);
    if (dialog.exec() != QDialog::Accepted || !list->currentItem())
        return std::nullopt;
    return list->currentItem()->data(Qt::UserRole).toInt();
}

std::optional<QDate> chooseReportDate(QWidget *parent)
{
    auto *date = new QDateEdit(QDate::currentDate());
    date->setObjectName(QStringLiteral("dtpNoteDate"));
    date->setCalendarPopup(true);
    date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    SmallDialog dialog(parent, QStringLiteral("frmWorkbenchDate"), QStringLiteral("库存日期"), date);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return date->date();
}

std::optional<UsePick> showWhereUsed(QWidget *parent, Connection &connection, const QStringList &codes)
{
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    auto *item = new QComboBox;
    item->setObjectName(QStringLiteral("cboItem"));
    item->setEditable(true);
    item->addItems(codes);
    auto *label = new QLabel;
    label->setObjectName(QStringLiteral("lblItem"));
    auto *uses = new QTableWidget(0, 9);
    uses->setObjectName(QStringLiteral("lvwUses"));
    uses->setHorizontalHeaderLabels({QStringLiteral("用途"), QStringLiteral("清单代码"), QStringLiteral("清单名称"),
                                     QStringLiteral("类别"), QStringLiteral("状态"), QStringLiteral("行号"),
                                     QStringLiteral("数量"), QStringLiteral("损耗率(%)"), QStringLiteral("可替换商品类别")});
    uses->setEditTriggers(QAbstractItemView::NoEditTriggers);
    uses->setSelectionBehavior(QAbstractItemView::SelectRows);
    uses->verticalHeader()->hide();
    layout->addWidget(item);
    layout->addWidget(label);
    layout->addWidget(uses);
    SmallDialog dialog(parent, QStringLiteral("frmWhereUsed"), QStringLiteral("商品使用查询"), content);
    dialog.resize(820, 420);
    std::optional<UsePick> picked;
    auto search = [&] {
        const WhereUsed r = whereUsed(connection, item->currentText());
        label->setText(r.itemId == 0 ? QStringLiteral("找不到对应的商品")
                                     : QStringLiteral("%1 %2：%3 处使用").arg(r.itemNumber, r.itemName).arg(r.uses.size()));
        uses->setRowCount(int(r.uses.size()));
        for (int row = 0; row < int(r.uses.size()); ++row) {
            const UseRow &u = r.uses[size_t(row)];
            const QStringList cells{u.viaClass ? QStringLiteral("替代类别") : QStringLiteral("子商品"), u.bomNumber, u.bomName,
                                    u.groupNumber + u' ' + u.groupName, statusText(u.status), QString::number(u.entry),
                                    sqlNumber(u.qty), sqlNumber(u.scrapPercent),
                                    u.viaClass ? u.classNumber + u' ' + u.className : QString()};
            for (int c = 0; c < cells.size(); ++c) {
                auto *cell = new QTableWidgetItem(cells[c]);
                cell->setData(Qt::UserRole, u.bomId);
                cell->setData(Qt::UserRole + 1, u.groupId);
                uses->setItem(row, c, cell);
            }
        }
        uses->resizeColumnsToContents();
    };
    // Enter in the code searches; it must not close the dialog.
    auto *find = new QPushButton(QStringLiteral("查询"));
    find->setObjectName(QStringLiteral("btnFind"));
    find->setAutoDefault(false);
    layout->insertWidget(1, find);
    QObject::connect(find, &QPushButton::clicked, &dialog, search);
    QObject::connect(item->lineEdit(), &QLineEdit::returnPressed, &dialog, search);
    for (QPushButton *b : dialog.findChildren<QPushButton *>())
        b->setAutoDefault(false);
    QObject::connect(uses, &QTableWidget::itemActivated, &dialog, [&](QTableWidgetItem *cell) {
        picked = UsePick{cell->data(Qt::UserRole).toInt(), cell->data(Qt::UserRole + 1).toInt()};
        dialog.accept();
    });
    if (!item->currentText().isEmpty())
        search();
    dialog.exec();
    return picked;
}

// ---- Workbench --------------------------------------------------------------

Workbench::Workbench(Setup setup, QWidget *parent)
    : QMainWindow(parent), m_setup(std::move(setup)), m_calls(m_setup.create, m_setup.connectionString)
{
    setObjectName(QStringLiteral("frmWorkbench"));
    setWindowTitle(QStringLiteral("商品结构清单工作台"));
    m_model = new BomListModel(m_setup.data, this);
    buildActions();
    buildLayout();
    guarded([&] { refresh(0, 0); });
}

Workbench::~Workbench() = default;

template<typename F>
void Workbench::guarded(F &&action)
{
    try {
        action();
    } catch (const DispatchError &e) {
        MsgBox(callErrorText(e.code(), e.hr(), QString::fromUtf8(e.what())), mb::Critical);
    } catch (const ComError &e) {
        MsgBox(callErrorText(e.number(), 0, e.description()), mb::Critical);
    } catch (const std::exception &e) {
        MsgBox(QString::fromUtf8(e.what()), mb::Critical);
    }
}

void Workbench::buildActions()
{
    auto make = [this](QAction *&slot, const char *name, const QString &text, const QKeySequence &key,
                       void (Workbench::*handler)()) {
        slot = new QAction(text, this);
        slot->setObjectName(QLatin1String(name));
        slot->setShortcut(key);
        slot->setShortcutContext(Qt::WindowShortcut);
        connect(slot, &QAction::triggered, this, handler);
    };
    make(m_newGroup, "actNewGroup", QStringLiteral("新增类别"), QKeySequence(Qt::CTRL | Qt::Key_G), &Workbench::newGroup);
    make(m_editGroup, "actEditGroup", QStringLiteral("修改类别"), QKeySequence(Qt::Key_F2), &Workbench::editGroup);
    make(m_newBom, "actNewBom", QStringLiteral("新增清单"), QKeySequence(Qt::CTRL | Qt::Key_N), &Workbench::newBom);
    make(m_openBom, "actOpenBom", QStringLiteral("打开清单"), QKeySequence(Qt::CTRL | Qt::Key_O), &Workbench::openBom);
    make(m_selectBom, "actSelectBom", QStringLiteral("选择清单"), QKeySequence(Qt::CTRL | Qt::Key_L),
         &Workbench::selectBomForItem);
    make(m_completeBom, "actCompleteBom", QStringLiteral("补全清单"), QKeySequence(Qt::CTRL | Qt::Key_B),
         &Workbench::completeBom);
    make(m_report, "actReport", QStringLiteral("库存报表"), QKeySequence(Qt::CTRL | Qt::Key_R), &Workbench::lookReport);
    m_refresh = new QAction(QStringLiteral("刷新"), this);
    m_refresh->setObjectName(QStringLiteral("actRefresh"));
    m_refresh->setShortcut(QKeySequence(Qt::Key_F5));
    connect(m_refresh, &QAction::triggered, this, [this] { guarded([&] { refresh(currentGroupId(), currentBomId()); }); });
    make(m_whereUsed, "actWhereUsed", QStringLiteral("使用查询"), QKeySequence(Qt::Key_F7), &Workbench::findWhereUsed);
    make(m_copyBom, "actCopyBom", QStringLiteral("复制清单"), QKeySequence(Qt::CTRL | Qt::Key_D), &Workbench::copyCurrentBom);
    make(m_import, "actImport", QStringLiteral("导入..."), QKeySequence(Qt::CTRL | Qt::Key_I), &Workbench::importFile);
    auto exportAction = [this](QAction *&slot, const char *name, const QString &text, int scope) {
        slot = new QAction(text, this);
        slot->setObjectName(QLatin1String(name));
        connect(slot, &QAction::triggered, this, [this, scope] { exportBoms(scope); });
    };
    exportAction(m_exportBom, "actExportBom", QStringLiteral("导出当前清单..."), 0);
    exportAction(m_exportGroup, "actExportGroup", QStringLiteral("导出当前类别..."), 1);
    exportAction(m_exportAll, "actExportAll", QStringLiteral("导出全部清单..."), 2);
    auto *exit = new QAction(QStringLiteral("退出"), this);
    exit->setObjectName(QStringLiteral("actExit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    auto *file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    file->addAction(m_refresh);
    file->addSeparator();
    file->addActions({m_import, m_exportBom, m_exportGroup, m_exportAll});
    file->addSeparator();
    file->addAction(exit);
    auto *groups = menuBar()->addMenu(QStringLiteral("类别(&G)"));
    groups->addActions({m_newGroup, m_editGroup});
    auto *boms = menuBar()->addMenu(QStringLiteral("结构清单(&B)"));
    boms->addActions({m_newBom, m_openBom, m_selectBom, m_completeBom, m_report});
    boms->addSeparator();
    boms->addActions({m_whereUsed, m_copyBom});

    auto *bar = addToolBar(QStringLiteral("工具栏"));
    bar->setObjectName(QStringLiteral("Toolbar1"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addActions({m_newGroup, m_editGroup});
    bar->addSeparator();
    bar->addActions({m_newBom, m_openBom, m_selectBom, m_completeBom, m_report});
    bar->addSeparator();
    bar->addActions({m_whereUsed, m_copyBom, m_import});
    bar->addSeparator();
    bar->addAction(m_refresh);
}

void Workbench::buildLayout()
{
    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("tvwGroups"));
    m_tree->setHeaderLabels({QStringLiteral("类别代码"), QStringLiteral("类别名称")});
    m_tree->setColumnCount(2);
    m_tree->setRootIsDecorated(true);
    m_tree->setUniformRowHeights(true);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] { guarded([&] { groupChanged(); }); });

    m_filter = new QLineEdit;
    m_filter->setObjectName(QStringLiteral("txtFilter"));
    m_filter->setPlaceholderText(QStringLiteral("按代码、名称或商品代码查找（以 * 开头查找包含的文字）"));
    m_filter->setClearButtonEnabled(true);
    // One query per pause in typing, not per keystroke.
    m_filterTimer = new QTimer(this);
    m_filterTimer->setObjectName(QStringLiteral("tmrFilter"));
    m_filterTimer->setSingleShot(true);
    m_filterTimer->setInterval(150);
    connect(m_filter, &QLineEdit::textChanged, m_filterTimer, qOverload<>(&QTimer::start));
    connect(m_filterTimer, &QTimer::timeout, this, [this] { guarded([&] { applyFilter(); }); });

    m_list = new QTableView;
    m_list->setObjectName(QStringLiteral("lvwBoms"));
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAlternatingRowColors(true);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    m_list->setSortingEnabled(true);
    m_list->setColumnWidth(int(BomColumn::Number), 110);
    m_list->setColumnWidth(int(BomColumn::Name), 180);
    m_list->setColumnWidth(int(BomColumn::ItemNumber), 110);
    m_list->setColumnWidth(int(BomColumn::ItemName), 160);
    m_list->setColumnWidth(int(BomColumn::Status), 60);
    // Enter and double click both activate.
    connect(m_list, &QTableView::activated, this, &Workbench::openBom);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &Workbench::updateActions);
    connect(m_model, &QAbstractItemModel::modelReset, this, &Workbench::updateActions);

    auto *right = new QWidget;
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(m_filter);
    rightLayout->addWidget(m_list);

    auto *splitter = new QSplitter;
    splitter->addWidget(m_tree);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({260, 740});
    setCentralWidget(splitter);

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    m_database = new QLabel(QStringLiteral("数据库：") + databaseLabel(m_setup.connectionString));
    m_database->setObjectName(QStringLiteral("lblDatabase"));
    m_user = new QLabel(QStringLiteral("用户：") + m_setup.user);
    m_user->setObjectName(QStringLiteral("lblUser"));
    statusBar()->addPermanentWidget(m_database);
    statusBar()->addPermanentWidget(m_user);
    resize(1000, 620);
}

int32_t Workbench::currentGroupId() const
{
    const QTreeWidgetItem *item = m_tree->currentItem();
    return item ? item->data(0, Qt::UserRole).toInt() : 0;
}

int32_t Workbench::currentBomId() const
{
    const QModelIndex index = m_list->currentIndex();
    return index.isValid() ? m_model->row(index.row()).id : 0;
}

QTreeWidgetItem *Workbench::groupItem(int32_t groupId) const
{
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toInt() == groupId)
            return *it;
    return nullptr;
}

void Workbench::loadTree()
{
    const std::vector<GroupRow> groups = loadGroupTree(*m_setup.data);
    const QSignalBlocker block(m_tree);
    m_tree->clear();
    QHash<int32_t, QTreeWidgetItem *> items;
    for (const GroupRow &g : groups) {
        QTreeWidgetItem *parent = g.parentId ? items.value(g.parentId) : nullptr;
        auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
        item->setText(0, g.number);
        item->setText(1, g.name);
        item->setData(0, Qt::UserRole, g.id);
        item->setData(0, Qt::UserRole + 1, g.storedParentId);
        items.insert(g.id, item);
    }
    m_tree->expandToDepth(0);
    m_tree->resizeColumnToContents(0);
}

void Workbench::refresh(int32_t groupId, int32_t bomId)
{
    loadTree();
    QTreeWidgetItem *item = groupId ? groupItem(groupId) : nullptr;
    if (!item && groupId == 0) {
        // At start the first group in tree order that holds BOMs, so the
        // list is not empty when there is anything to show.
        const std::vector<int32_t> filled = groupsWithBoms(*m_setup.data);
        for (QTreeWidgetItemIterator it(m_tree); *it && !item; ++it)
            if (std::find(filled.begin(), filled.end(), (*it)->data(0, Qt::UserRole).toInt()) != filled.end())
                item = *it;
    }
    if (!item)
        item = m_tree->topLevelItem(0);
    {
        const QSignalBlocker block(m_tree);
        m_tree->setCurrentItem(item);
    }
    if (item)
        m_tree->scrollToItem(item);
    BomQuery q = m_model->query();
    q.groupId = item ? item->data(0, Qt::UserRole).toInt() : 0;
    m_model->setQuery(q);
    selectBomRow(bomId);
}

void Workbench::groupChanged()
{
    BomQuery q = m_model->query();
    q.groupId = currentGroupId();
    m_model->setQuery(q);
    selectBomRow(0);
}

void Workbench::applyFilter()
{
    const int32_t keep = currentBomId();
    BomQuery q = m_model->query();
    q.filter = m_filter->text();
    m_model->setQuery(q);
    selectBomRow(keep);
}

// The BOM's row when the list holds it, else the first row.
void Workbench::selectBomRow(int32_t bomId)
{
    int row = bomId ? m_model->findBom(bomId) : -1;
    if (row < 0 && m_model->rowCount() > 0)
        row = 0;
    if (row < 0) {
        m_list->setCurrentIndex({});
    } else {
        const QModelIndex index = m_model->index(row, 0);
        m_list->setCurrentIndex(index);
        m_list->scrollTo(index);
    }
    updateActions();
}

void Workbench::updateActions()
{
    const bool group = currentGroupId() != 0;
    const bool bom = currentBomId() != 0;
    m_editGroup->setEnabled(group);
    m_newBom->setEnabled(group);
    m_openBom->setEnabled(bom);
    m_selectBom->setEnabled(bom);
    m_completeBom->setEnabled(bom);
    m_report->setEnabled(bom);
    m_copyBom->setEnabled(bom);
    m_exportBom->setEnabled(bom);
    m_exportGroup->setEnabled(group);
    m_import->setEnabled(group);
}

// ---- actions ----------------------------------------------------------------
// Each refreshes afterwards even when the call failed: a dialog may have
// written before its error.

void Workbench::newGroup()
{
    int32_t select = currentGroupId();
    guarded([&] {
        const ShowResult r = m_calls.showGroup(0, currentGroupId());
        if (r.ok && r.id > 0)
            select = r.id;
    });
    guarded([&] { refresh(select, 0); });
}

void Workbench::editGroup()
{
    const QTreeWidgetItem *item = m_tree->currentItem();
    if (!item)
        return;
    const int32_t group = item->data(0, Qt::UserRole).toInt();
    const int32_t parent = item->data(0, Qt::UserRole + 1).toInt();
    const int32_t bom = currentBomId();
    guarded([&] { m_calls.showGroup(group, parent); });
    guarded([&] { refresh(group, bom); });
}

void Workbench::newBom()
{
    const int32_t group = currentGroupId();
    if (!group)
        return;
    int32_t bom = currentBomId();
    guarded([&] {
        const ShowResult r = m_calls.showBom(0, group);
        if (r.ok && r.id > 0)
            bom = r.id;
    });
    guarded([&] { refresh(group, bom); });
}

void Workbench::openBom()
{
    const int32_t bom = currentBomId();
    if (!bom)
        return;
    int32_t group = currentGroupId();
    int32_t select = bom;
    guarded([&] {
        // The editor may have moved on to another BOM of the group.
        const ShowResult r = m_calls.showBom(bom, group);
        if (r.id > 0)
            select = r.id;
    });
    guarded([&] { refresh(group, select); });
}

void Workbench::selectBomForItem()
{
    const QModelIndex index = m_list->currentIndex();
    if (!index.isValid())
        return;
    const int32_t item = m_model->row(index.row()).itemId;
    int32_t group = currentGroupId();
    int32_t bom = currentBomId();
    guarded([&] {
        const int32_t chosen = m_calls.selectBom(item);
        statusBar()->showMessage(QStringLiteral("SelectBom=%1").arg(chosen));
        if (chosen > 0) {
            bom = chosen;
            if (const int32_t g = groupOfBom(*m_setup.data, chosen))
                group = g;
        }
    });
    guarded([&] { refresh(group, bom); });
}

void Workbench::completeBom()
{
    const int32_t bom = currentBomId();
    if (!bom)
        return;
    guarded([&] {
        const std::optional<int32_t> note = chooseNote(this, notesOfBom(*m_setup.data, bom));
        if (!note)
            return;
        const int32_t saved = m_calls.completeBom(*note, bom);
        statusBar()->showMessage(QStringLiteral("CompleteBom=%1").arg(saved));
    });
    guarded([&] { refresh(currentGroupId(), bom); });
}

void Workbench::lookReport()
{
    const int32_t bom = currentBomId();
    if (!bom)
        return;
    guarded([&] {
        if (const std::optional<QDate> date = chooseReportDate(this))
            m_calls.lookBomReport(bom, oleDate(*date));
    });
}

} // namespace torvel::host

namespace torvel::host {

// ---- the planner's tools ----------------------------------------------------

void Workbench::findWhereUsed()
{
    guarded([&] {
        QStringList codes;
        if (const int32_t bom = currentBomId())
            codes = childCodesOfBom(*m_setup.data, bom);
        if (const std::optional<UsePick> pick = showWhereUsed(this, *m_setup.data, codes))
            refresh(pick->groupId, pick->bomId);
    });
}

void Workbench::copyCurrentBom()
{
    const int32_t bom = currentBomId();
    const int32_t group = currentGroupId();
    if (!bom)
        return;
    int32_t copy = 0;
    guarded([&] {
        bool ok = false;
        const QString number = QInputDialog::getText(this, QStringLiteral("复制清单"), QStringLiteral("新清单编号："),
                                                     QLineEdit::Normal, QString(), &ok);
        if (!ok)
            return;
        try {
            copy = copyBom(*m_setup.data, bom, number, group);
        } catch (const ComError &e) {
            // A refusal is the editor's message, not a failure.
            MsgBox(e.description(), mb::Information);
        }
    });
    if (!copy)
        return;
    guarded([&] { refresh(group, copy); });
    guarded([&] { m_calls.showBom(copy, group); });
    guarded([&] { refresh(group, copy); });
}

void Workbench::exportBoms(int scope)
{
    const ExportScope what{scope == 0 ? currentBomId() : 0, scope == 1 ? currentGroupId() : 0};
    if ((scope == 0 && !what.bomId) || (scope == 1 && !what.groupId))
        return;
    guarded([&] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("导出商品结构清单"), QString(),
                                                          QStringLiteral("CSV 文件 (*.csv)"));
        if (path.isEmpty())
            return;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw ComError(errc::DatabaseError, QStringLiteral("TORVEL.Host"), file.errorString());
        const int rows = host::exportBoms(*m_setup.data, what, file);
        statusBar()->showMessage(QStringLiteral("已导出 %1 行").arg(rows));
    });
}

void Workbench::importFile()
{
    const int32_t group = currentGroupId();
    guarded([&] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("导入商品结构清单"), QString(),
                                                          QStringLiteral("CSV 文件 (*.csv);;所有文件 (*)"));
        if (path.isEmpty())
            return;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw ComError(errc::DatabaseError, QStringLiteral("TORVEL.Host"), file.errorString());
        const auto answer = QMessageBox::question(this, kBoxTitle, QStringLiteral("编号已存在的商品结构清单是否替换？"),
                                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No);
        if (answer == QMessageBox::Cancel)
            return;
        QProgressDialog progress(QStringLiteral("正在导入..."), QStringLiteral("取消"), 0, 100, this);
        progress.setObjectName(QStringLiteral("dlgImportProgress"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(300);
        ImportOptions options{answer == QMessageBox::Yes, group, [&progress](int done, int total) {
                                  progress.setMaximum(total);
                                  progress.setValue(done);
                                  return !progress.wasCanceled();
                              }};
        const ImportResult r = importBoms(*m_setup.data, file.readAll(), options);
        progress.reset();
        if (!r.issues.empty()) {
            QStringList lines;
            for (const ImportIssue &i : r.issues)
                lines << i.text();
            auto *text = new QPlainTextEdit(lines.join(u'\n'));
            text->setObjectName(QStringLiteral("txtIssues"));
            text->setReadOnly(true);
            SmallDialog box(this, QStringLiteral("frmImportIssues"),
                            QStringLiteral("%1 处错误，未导入任何内容").arg(r.issues.size()), text);
            box.resize(640, 400);
            box.exec();
        } else if (!r.cancelled) {
            statusBar()->showMessage(QStringLiteral("新增 %1 个清单，替换 %2 个，共 %3 行").arg(r.added).arg(r.replaced).arg(r.lines));
        }
    });
    guarded([&] { refresh(group, currentBomId()); });
}

} // namespace torvel::host
