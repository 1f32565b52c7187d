// frmBOMComplete: the form, loading the rows and the header, OK and Cancel.

#include "ui/complete/frmbomcomplete.h"

#include "bomdata/bom.h"
#include "bomdata/gridmodel.h"
#include "services/com/comerror.h"
#include "services/screen/messagebox.h"
#include "services/text/helpers.h"
#include "state/callstate.h"
#include "state/dialogseam.h"
#include "ui/common/formsupport.h"
#include "ui/complete/notes.h"
#include "ui/grid/gridview.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace torvel {

FrmBomComplete::FrmBomComplete(QWidget *parent)
    : QDialog(parent)
    , m_bom(std::make_unique<BOM>())
    , m_stored(std::make_unique<StoredBom>())
{
    setObjectName(QStringLiteral("frmBOMComplete"));
    setWindowTitle(completetext::kCaption);
    applyFormFont(*this);
    buildForm();
    runGuarded([this] { Form_Load(); });
}

FrmBomComplete::~FrmBomComplete() = default;

void FrmBomComplete::buildForm()
{
    resize(720, 420);
    auto *layout = new QVBoxLayout(this);

    lblBomChanged = new QLabel(this);
    lblBomChanged->setObjectName(QStringLiteral("lblBomChanged"));
    lblBomChanged->setWordWrap(true);
    lblBomChanged->setStyleSheet(QStringLiteral("color: #b00000;"));
    lblBomChanged->hide();
    layout->addWidget(lblBomChanged);

    m_grid = new GridModel(notecol::Count, 0, this);
    struct ColumnSpec
    {
        const char *header;
        double width;
    };
    static const ColumnSpec kColumns[notecol::Count] = {
        {"可替换商品类别", 11.87}, {"子商品代码", 10.12}, {"商品名称", 11.37}, {"规格型号", 7.75},
        {"辅助属性", 8.37},       {"单位", 5.12},       {"", 8},             {"", 8},
        {"", 8},                  {"", 8},              {"", 8},             {"", 8},
        {"", 8},                  {"", 8},              {"数量", 8},         {"损耗量", 8},
        {"备注", 8},              {"", 8},
    };
    for (int col = 1; col <= notecol::Count; ++col) {
        m_grid->setColumnHeader(col, QString::fromUtf8(kColumns[col - 1].header));
        m_grid->setColWidth(col, kColumns[col - 1].width);
        m_grid->setColHidden(col, col >= notecol::FirstHidden);
    }
    vasItem = new GridView(this);
    vasItem->setObjectName(QStringLiteral("vasItem"));
    vasItem->setGridModel(m_grid);
    connect(vasItem, &GridView::leaveCell, this, [this](int col, int row, int newCol, int newRow, bool *cancel) {
        bool refused = false;
        runGuarded([&] { vasItem_LeaveCell(col, row, newCol, newRow, refused); });
        if (refused && cancel)
            *cancel = true;
    });
    connect(vasItem, &GridView::keyDown, this, [this](int key, Qt::KeyboardModifiers modifiers, bool *handled) {
        runGuarded([&] { vasItem_KeyDown(key, modifiers); });
        // F7 opened a pick list; the cell editor has nothing to do with it.
        if (key == Qt::Key_F7 && handled)
            *handled = true;
    });
    layout->addWidget(vasItem, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnOK = new QPushButton(QStringLiteral("确定"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnCancel = new QPushButton(QStringLiteral("取消"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    // The buttons leave the focus in the grid, so OK can settle its cell first.
    for (QPushButton *button : {btnOK, btnCancel}) {
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::NoFocus);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    connect(btnOK, &QPushButton::clicked, this, [this] { runGuarded([this] { btnOK_Click(); }); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { runGuarded([this] { btnCancel_Click(); }); });
}

void FrmBomComplete::Form_Load()
{
    try {
        Connection &cnn = callConnection();
        const std::vector<notes::Line> rows = notes::load(cnn, *m_grid, gBomNoteID, gBomID, m_stored.get());
        const RecordsetPtr header = cnn.Execute(QStringLiteral("SELECT * FROM COM_BOM WHERE FBOMID=") + sqlNumber(gBomID));
        if (header && !header->Eof()) {
            gItemID = NullToValue(header->Fields(QStringLiteral("FItemID")), int32_t(0)).toInt32();
            gBomName = NullToValue(header->Fields(QStringLiteral("FBOMName")), QString()).toString();
            setWindowTitle(windowTitle() + QStringLiteral(" -") + gBomName);
        }
        // An existing completion describes the BOM as it stood when saved.
        if (gBomNoteID >= 1) {
            if (const std::optional<QString> change = notes::bomChange(cnn, gBomID, rows)) {
                lblBomChanged->setText(*change);
                lblBomChanged->show();
            }
        }
    } catch (const ComError &e) {
        MsgBox(completetext::kReadError + e.description(), mb::Information);
    }
}

void FrmBomComplete::btnOK_Click()
{
    // A code still being typed is settled first, as leaving its cell would.
    if (!vasItem->commitAndLeave())
        return;
    int answer = mb::OK;
    if (m_changed || gBomNoteID > 0)
        answer = MsgBox(completetext::kAskModified, mb::OKCancel | mb::Information);
    else if (gBomNoteID == 0)
        answer = MsgBox(completetext::kAskSave, mb::OKCancel | mb::Information);
    else {
        accept();
        return;
    }
    if (answer == mb::Cancel || !CheckNotes() || !SaveNotes())
        return;
    accept();
}

void FrmBomComplete::btnCancel_Click()
{
    reject();
}

bool FrmBomComplete::CheckNotes()
{
    if (const std::optional<QString> failure = notes::check(*m_grid)) {
        MsgBox(*failure, mb::Information);
        return false;
    }
    return true;
}

bool FrmBomComplete::SaveNotes()
{
    try {
        const int32_t id = notes::save(callConnection(), *m_grid, gBomNoteID, gBomID, m_stored.get());
        if (id == 0) {
            // Another client saved or deleted these notes since they loaded.
            MsgBox(bomtext::kChangedByOthers, mb::Information);
            return false;
        }
        gBomNoteID = id;
        return true;
    } catch (const ComError &e) {
        MsgBox(completetext::kSaveError + e.description(), mb::Information);
        return false;
    }
}

void registerCompleteDialog()
{
    registerDialog(QStringLiteral("frmBOMComplete"), [] { return std::make_unique<FrmBomComplete>(); });
}

} // namespace torvel
