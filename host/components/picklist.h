#pragma once

#include "services/db/recordset.h"
#include "services/com/variant.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QStringList>
#include <QTimer>

#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace torvel::host {

struct PickColumn
{
    QString title;
    QString field;   // record field shown in the column
};

// One page of matches for the text typed so far, and whether there are more.
struct PickPage
{
    QStringList fields;
    std::vector<Recordset::Row> rows;
    bool more = false;
};

// Where a pick list's rows come from. fetch() asks the database for at most
// `limit` rows each time; nothing is cached between calls.
class PickSource
{
public:
    virtual ~PickSource() = default;
    virtual PickPage fetch(const QString &text, int limit) = 0;
};

// The rows on show: never more than one page, however large the table.
class PickPageModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit PickPageModel(std::vector<PickColumn> columns, QObject *parent = nullptr);

    void setPage(PickPage page);
    const PickPage &page() const { return m_page; }
    // The value of a record field in a row; Empty for an unknown field.
    Variant value(int row, const QString &field) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<PickColumn> m_columns;
    std::vector<int> m_fieldIndex;   // per column, index into the page's fields
    PickPage m_page;
};

// A modal pick list: a search field over a list of one page of rows. Typing
// queries the source again after a short pause; the arrow and page keys move
// through the list from the search field; Enter chooses the current row and
// Esc cancels.
class PickListDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kPageSize = 200;

    PickListDialog(const QString &objectName, const QString &title, std::vector<PickColumn> columns,
                   PickSource &source, QWidget *parent = nullptr);

    // Puts the text in the search field and loads the first page. Errors
    // reach the caller: the dialog is not on screen yet.
    void start(const QString &text);

    // exec() with the normal arrow while the list is up: callers hold the
    // hourglass around the whole lookup, and a clerk must see where to click.
    int run();

    bool hasChoice() const { return m_hasChoice; }
    // A field of the chosen row; Empty before a choice or for an unknown field.
    Variant chosen(const QString &field) const;
    PickPageModel *model() const { return m_model; }
    // A keystroke's search is waiting for the pause to end.
    bool searchPending() const { return m_delay.isActive(); }

    // The pause after a keystroke before the list is queried again.
    static void setSearchDelay(int milliseconds);
    static int searchDelay();

public Q_SLOTS:
    void accept() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void load(const QString &text);
    // Runs a search that is still waiting for the pause to end.
    // Both return false when the search failed (its box was shown).
    bool flushSearch();
    bool searchNow();
    void moveCurrent(int key);

    PickSource &m_source;
    PickPageModel *m_model;
    QLineEdit *m_search;
    QTableView *m_list;
    QLabel *m_status;
    QPushButton *m_ok;
    QPushButton *m_cancel;
    QTimer m_delay;
    QString m_loadedText;
    bool m_hasChoice = false;
    QStringList m_chosenFields;
    Recordset::Row m_chosenRow;
};

} // namespace torvel::host
