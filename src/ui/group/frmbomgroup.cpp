#include "ui/group/frmbomgroup.h"

#include "services/com/comerror.h"
#include "services/com/rights.h"
#include "services/screen/messagebox.h"
#include "services/text/helpers.h"
#include "state/callstate.h"
#include "state/dialogseam.h"
#include "ui/common/formsupport.h"
#include "ui/group/groupsave.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace torvel {

FrmBOMGroup::FrmBOMGroup(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmBOMGroup"));
    setWindowTitle(grouptext::kCaption);
    applyFormFont(*this);

    TxtNumber = new QLineEdit(this);
    TxtNumber->setObjectName(QStringLiteral("TxtNumber"));
    TxtName = new QLineEdit(this);
    TxtName->setObjectName(QStringLiteral("TxtName"));
    btnOK = new QPushButton(QStringLiteral("确定"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnCancel = new QPushButton(QStringLiteral("取消"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    // No default button: Enter moves on from a text box, or presses the
    // button that has the focus (eventFilter).
    for (QPushButton *button : {btnOK, btnCancel})
        button->setAutoDefault(false);

    auto *fields = new QGridLayout;
    int row = 0;
    for (auto [caption, box] : {std::pair{"代码：", TxtNumber}, std::pair{"名称：", TxtName}}) {
        // The control array Label1: both labels carry the name, told apart by index.
        auto *label = new QLabel(QString::fromUtf8(caption), this);
        label->setObjectName(QStringLiteral("Label1"));
        label->setProperty("Index", row);
        label->setBuddy(box);
        fields->addWidget(label, row, 0);
        fields->addWidget(box, row, 1);
        ++row;
    }
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(320, 140);

    for (QWidget *control : {static_cast<QWidget *>(TxtName), static_cast<QWidget *>(btnOK),
                             static_cast<QWidget *>(btnCancel)})
        control->installEventFilter(this);
    connect(TxtNumber, &QLineEdit::textChanged, this, [this] { btnOK->setEnabled(true); });
    connect(TxtName, &QLineEdit::textChanged, this, [this] { btnOK->setEnabled(true); });
    connect(btnOK, &QPushButton::clicked, this, [this] { runGuarded([this] { btnOK_Click(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    Form_Load();
}

void FrmBOMGroup::Form_Load()
{
    gReturnOK = false;
    LoadTexts();
}

void FrmBOMGroup::LoadTexts()
{
    if (gGroupInterID > 0) {
        // A group that cannot be read leaves the boxes empty; saving them can
        // then only fail, as the update finds no row.
        runGuarded([this] {
            try {
                const GroupTexts texts = loadGroup(callConnection(), gGroupInterID);
                TxtNumber->setText(texts.number);
                TxtName->setText(texts.name);
            } catch (const ComError &e) {
                MsgBox(grouptext::kReadError + e.description(), mb::Critical);
            }
        });
    }
    btnOK->setEnabled(false);
    m_numberTag = TxtNumber->text();
    m_nameTag = TxtName->text();
}

void FrmBOMGroup::btnOK_Click()
{
    if (!CheckRight(kRightSubject, kRightOperation, kRightFlags)) {
        MsgBox(grouptext::kNoRight, mb::Information);
        return;
    }
    TxtNumber->setText(Trim(TxtNumber->text()));
    if (TxtNumber->text().isEmpty()) {
        MsgBox(grouptext::kNoNumber, mb::Information);
        TxtNumber->setFocus();
        return;
    }
    TxtName->setText(Trim(TxtName->text()));
    if (TxtName->text().isEmpty()) {
        MsgBox(grouptext::kNoName, mb::Information);
        TxtName->setFocus();
        return;
    }

    const GroupSaved saved = saveGroup(
        callConnection(), {gGroupInterID, gParentID, {TxtNumber->text(), TxtName->text()}, {m_numberTag, m_nameTag}});
    if (saved.refusal == GroupRefusal::NumberTaken) {
        MsgBox(grouptext::kNumberTaken, mb::Information);
        TxtNumber->setFocus();
        return;
    }
    if (saved.refusal == GroupRefusal::NameTaken) {
        MsgBox(grouptext::kNameTaken, mb::Information);
        TxtName->setFocus();
        return;
    }
    gGroupInterID = saved.groupId;
    gReturnOK = true;
    gGroupName = TxtName->text();
    gGroupNumber = TxtNumber->text();
    accept();
}

bool FrmBOMGroup::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    if (watched == TxtName) {
        focusNextChild();
        return true;
    }
    if (auto *button = qobject_cast<QPushButton *>(watched)) {
        button->click();
        return true;
    }
    return false;
}

void FrmBOMGroup::mousePressEvent(QMouseEvent *event)
{
    // A click on the form itself, not on a control.
    TxtName->setFocus(Qt::MouseFocusReason);
    QDialog::mousePressEvent(event);
}

void registerBomGroup()
{
    registerDialog(QStringLiteral("frmBOMGroup"), [] { return std::make_unique<FrmBOMGroup>(); });
}

} // namespace torvel
