#include "ui/select/frmbomselect.h"

#include "services/db/connection.h"
#include "services/text/helpers.h"
#include "state/callstate.h"
#include "state/dialogseam.h"
#include "ui/common/formsupport.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>
#include <vector>

namespace torvel {

FrmBOMSelect::FrmBOMSelect(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmBOMSelect"));
    setWindowTitle(QStringLiteral("商品结构清单(选择)"));
    applyFormFont(*this);
    resize(380, 300);

    Label1 = new QLabel(QStringLiteral("结构清单："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ListBOM = new QListWidget(this);
    ListBOM->setObjectName(QStringLiteral("ListBOM"));
    Label1->setBuddy(ListBOM);
    btnOK = new QPushButton(QStringLiteral("确定"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnCancel = new QPushButton(QStringLiteral("取消"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ListBOM, 1);
    layout->addLayout(buttons);

    connect(btnOK, &QPushButton::clicked, this, [this] { runGuarded([this] { btnOK_Click(); }); });
    connect(ListBOM, &QListWidget::itemDoubleClicked, this, [this] { runGuarded([this] { btnOK_Click(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    Form_Load();
}

void FrmBOMSelect::Form_Load()
{
    gReturnOK = false;
    if (gItemID <= 0)
        return;
    std::vector<std::pair<int32_t, QString>> entries;
    // A failure stops the reading; what was read so far is still offered.
    runGuarded([&] {
        const RecordsetPtr rs = callConnection().Execute(
            QStringLiteral("SELECT * FROM COM_BOM WHERE FStatus=0 AND FItemID=") + sqlNumber(gItemID));
        for (; rs && !rs->Eof(); rs->MoveNext()) {
            const Variant name = rs->Fields(QStringLiteral("FBOMName"));
            entries.emplace_back(rs->Fields(QStringLiteral("FBOMID")).toInt32(),
                                 Trim(rs->Fields(QStringLiteral("FBOMNumber")).toString()) + QStringLiteral("  ")
                                     + (name.isNull() ? QString() : name.toString()));
        }
    });
    // Id order on every database, so the first entry is the same everywhere.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[id, text] : entries) {
        auto *item = new QListWidgetItem(text, ListBOM);
        item->setData(Qt::UserRole, id);
    }
    ListBOM->setCurrentRow(0);
}

void FrmBOMSelect::btnOK_Click()
{
    const QListWidgetItem *item = ListBOM->currentItem();
    const int32_t id = item && item->isSelected() ? item->data(Qt::UserRole).toInt() : 0;
    if (id < 1)
        return;
    gBomID = id;
    gReturnOK = true;
    accept();
}

void registerBomSelect()
{
    registerDialog(QStringLiteral("frmBOMSelect"), [] { return std::make_unique<FrmBOMSelect>(); });
}

} // namespace torvel
