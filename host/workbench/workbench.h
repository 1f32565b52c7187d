#pragma once

// The demo host's workbench: one main window that reaches the library's five
// uses. Left the BOM group tree, right the selected group's BOMs (sortable,
// filtered as the user types, read a page at a time); the actions call
// TORVEL.BOMGroupInfo and TORVEL.BomInfo through the C interface and refresh
// from the database afterwards, keeping the selection.

#include "librarycalls.h"
#include "workbenchdata.h"

#include <QAbstractTableModel>
#include <QMainWindow>

#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QTableView;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace torvel::host {

// The selected group's BOMs: the first page at once, further pages as the
// view scrolls; sorting asks the database again.
class BomListModel : public QAbstractTableModel
{
public:
    static constexpr int kPageSize = 200;

    explicit BomListModel(ConnectionPtr connection, QObject *parent = nullptr);

    void setQuery(const BomQuery &query);   // reloads from the first page
    const BomQuery &query() const { return m_query; }
    const BomRow &row(int r) const { return m_rows[size_t(r)]; }
    // The row of a BOM, reading further pages until it shows up; -1 when the
    // query does not hold it.
    int findBom(int32_t bomId);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    void sort(int column, Qt::SortOrder order) override;

private:
    ConnectionPtr m_connection;
    BomQuery m_query;
    std::vector<BomRow> m_rows;
    bool m_more = false;
};

class Workbench : public QMainWindow
{
public:
    struct Setup
    {
        ConnectionPtr data;          // the host's own connection, for the tree and the list
        QString connectionString;    // what TORVEL.Connection opens for the library
        QString user;
        ObjectFactory create;
    };

    explicit Workbench(Setup setup, QWidget *parent = nullptr);
    ~Workbench() override;

    int32_t currentGroupId() const;
    int32_t currentBomId() const;
    BomListModel *bomModel() const { return m_model; }

    // Reloads the tree and the list from the database and selects the group
    // and, in its list, the BOM (0: none).
    void refresh(int32_t groupId, int32_t bomId);

private:
    void buildActions();
    void buildLayout();
    void loadTree();
    void groupChanged();
    void updateActions();
    void applyFilter();
    void selectBomRow(int32_t bomId);
    QTreeWidgetItem *groupItem(int32_t groupId) const;

    void newGroup();
    void editGroup();
    void newBom();
    void openBom();
    void selectBomForItem();
    void completeBom();
    void lookReport();
    // The planner's tools (host/tools): each a thin action over the unit.
    void findWhereUsed();
    void copyCurrentBom();
    void exportBoms(int scope);   // 0 the selected BOM, 1 its group, 2 all
    void importFile();

    // Runs one action: a library or database error is shown with its code
    // and description, and the window stays.
    template<typename F>
    void guarded(F &&action);

    Setup m_setup;
    LibraryCalls m_calls;
    BomListModel *m_model = nullptr;
    QTreeWidget *m_tree = nullptr;
    QTableView *m_list = nullptr;
    QLineEdit *m_filter = nullptr;
    QTimer *m_filterTimer = nullptr;
    QLabel *m_database = nullptr;
    QLabel *m_user = nullptr;
    QAction *m_newGroup = nullptr;
    QAction *m_editGroup = nullptr;
    QAction *m_newBom = nullptr;
    QAction *m_openBom = nullptr;
    QAction *m_selectBom = nullptr;
    QAction *m_completeBom = nullptr;
    QAction *m_report = nullptr;
    QAction *m_refresh = nullptr;
    QAction *m_whereUsed = nullptr;
    QAction *m_copyBom = nullptr;
    QAction *m_exportBom = nullptr;
    QAction *m_exportGroup = nullptr;
    QAction *m_exportAll = nullptr;
    QAction *m_import = nullptr;
};

// Where an item is used (frmWhereUsed): the item code in cboItem (offered
// the selected BOM's child codes), the uses in lvwUses. Activating a use
// closes it and answers that BOM's id and group; nullopt otherwise.
struct UsePick
{
    int32_t bomId = 0;
    int32_t groupId = 0;
};
std::optional<UsePick> showWhereUsed(QWidget *parent, Connection &connection, const QStringList &codes);

// The two small questions the workbench asks before a call, as modal dialogs
// with objectNames: which stored completion to reopen (frmWorkbenchNotes,
// list lstNotes: "新建补全" first, then each note; nullopt on cancel), and
// the report's date (frmWorkbenchDate, date edit dtpNoteDate).
std::optional<int32_t> chooseNote(QWidget *parent, const std::vector<NoteRow> &notes);
std::optional<QDate> chooseReportDate(QWidget *parent);

// Days since 30 December 1899.
double oleDate(const QDate &date);

// How a failed call is shown: its description, then the code.
QString callErrorText(int32_t code, int32_t hr, const QString &description);

} // namespace torvel::host
