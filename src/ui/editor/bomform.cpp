// frmBom: the form, opening and loading, the form-wide keys, the timer and
// the focus guard that lets a header field refuse to be left.

#include "ui/editor/frmbom.h"

#include "bomdata/bom.h"
#include "state/callstate.h"
#include "services/com/comerror.h"
#include "services/screen/messagebox.h"
#include "services/screen/waitcursor.h"
#include "state/dialogseam.h"
#include "ui/editor/bomeditorlogic.h"
#include "ui/grid/cellvalidator.h"
#include "bomdata/gridmodel.h"
#include "ui/grid/gridview.h"
#include "ui/common/formsupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

namespace torvel {

namespace {

struct ToolButtonDef
{
    const char *key;
    const char *caption;   // nullptr: a separator
    const char *toolTip;
    QStyle::StandardPixmap icon;
};

// Toolbar buttons in order: caption, key, tool tip.
const ToolButtonDef kButtons[] = {
    {"sp1", nullptr, nullptr, QStyle::SP_CustomBase},
    {"New", "新增", "新增记录", QStyle::SP_FileIcon},
    {"Save", "保存", "保存", QStyle::SP_DialogSaveButton},
    {"sp2", nullptr, nullptr, QStyle::SP_CustomBase},
    {"Fr", "首条", "第一条记录", QStyle::SP_MediaSkipBackward},
    {"Pr", "上条", "上一条记录", QStyle::SP_MediaSeekBackward},
    {"Ne", "下条", "下一条记录", QStyle::SP_MediaSeekForward},
    {"La", "最后", "最后一条记录", QStyle::SP_MediaSkipForward},
    {"sp3", nullptr, nullptr, QStyle::SP_CustomBase},
    {"AddRow", "添加", "添加一行", QStyle::SP_FileDialogNewFolder},
    {"DeleteRow", "删除", "删除当前行", QStyle::SP_TrashIcon},
    {"sp4", nullptr, nullptr, QStyle::SP_CustomBase},
    {"Exit", "退出", "退出", QStyle::SP_DialogCloseButton},
};

QLineEdit *makeTextBox(QWidget *parent, const char *name)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption, QWidget *buddy)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
}

} // namespace

FrmBom::FrmBom(QWidget *parent)
    : QDialog(parent)
    , m_bom(std::make_unique<BOM>())
{
    setObjectName(QStringLiteral("frmBom"));
    setWindowTitle(editortext::kCaptionNew);
    applyFormFont(*this);
    buildForm();
    // Key preview: the form sees every key of its controls first, including
    // the grid's cell editors, which come and go.
    qApp->installEventFilter(this);
    guarded([this] { InitForm(); });
}

FrmBom::~FrmBom()
{
    qApp->removeEventFilter(this);
}

void FrmBom::buildForm()
{
    resize(860, 560);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);

    buildToolbar();
    layout->addWidget(Toolbar1);

    Frame1 = new QGroupBox(editortext::kFrame, this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *fields = new QGridLayout(Frame1);

    TxtBomNumber = makeTextBox(Frame1, "TxtBomNumber");
    TxtBomName = makeTextBox(Frame1, "TxtBomName");
    cboStatus = new QComboBox(Frame1);
    cboStatus->setObjectName(QStringLiteral("cboStatus"));
    TxtNumber = makeTextBox(Frame1, "TxtNumber");
    TxtName = makeTextBox(Frame1, "TxtName");
    TxtModel = makeTextBox(Frame1, "TxtModel");
    TxtAuxProp = makeTextBox(Frame1, "TxtAuxProp");
    TxtUnit = makeTextBox(Frame1, "TxtUnit");

    fields->addWidget(makeLabel(Frame1, "lblBomNumber", QStringLiteral("清单编码(&C):"), TxtBomNumber), 0, 0);
    fields->addWidget(TxtBomNumber, 0, 1);
    fields->addWidget(makeLabel(Frame1, "lblBomName", QStringLiteral("清单名称:"), TxtBomName), 0, 2);
    fields->addWidget(TxtBomName, 0, 3);
    fields->addWidget(makeLabel(Frame1, "Label3", QStringLiteral("状态:"), cboStatus), 0, 4);
    fields->addWidget(cboStatus, 0, 5);
    fields->addWidget(makeLabel(Frame1, "lblItemNumber", QStringLiteral("商品代码(&I):"), TxtNumber), 1, 0);
    fields->addWidget(TxtNumber, 1, 1);
    fields->addWidget(makeLabel(Frame1, "lblName", QStringLiteral("商品名称(&N):"), TxtName), 1, 2);
    fields->addWidget(TxtName, 1, 3);
    fields->addWidget(makeLabel(Frame1, "lblModel", QStringLiteral("规格型号(&T):"), TxtModel), 1, 4);
    fields->addWidget(TxtModel, 1, 5);
    fields->addWidget(makeLabel(Frame1, "lblAuxProp", QStringLiteral("辅助属性(&L):"), TxtAuxProp), 2, 0);
    fields->addWidget(TxtAuxProp, 2, 1);
    fields->addWidget(makeLabel(Frame1, "lblUnit", QStringLiteral("计量单位(&D):"), TxtUnit), 2, 2);
    fields->addWidget(TxtUnit, 2, 3);
    // Image1 and Picture1 have no behaviour; they only keep their names.
    auto *image = new QLabel(Frame1);
    image->setObjectName(QStringLiteral("Image1"));
    fields->addWidget(image, 2, 5);
    // Pasted text and input-method text lose the same characters as typed keys.
    auto swallow = [this](QLineEdit *box, const QString &chars) {
        auto *validator = new CellValidator(box);
        validator->setSwallowedCharacters(chars);
        box->setValidator(validator);
    };
    swallow(TxtBomNumber, QStringLiteral("\"'`,."));
    for (QLineEdit *box : {TxtBomName, TxtNumber, TxtAuxProp})
        swallow(box, QStringLiteral("\"'"));
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(3, 1);
    fields->setColumnStretch(5, 1);
    layout->addWidget(Frame1);

    buildGrid();
    layout->addWidget(vasSubItem, 1);

    auto *picture = new QFrame(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setFixedHeight(2);
    picture->setFrameShape(QFrame::HLine);
    layout->addWidget(picture);

    // Tab order follows the header's reading order, then the grid.
    setTabOrder(TxtBomNumber, TxtBomName);
    setTabOrder(TxtBomName, cboStatus);
    setTabOrder(cboStatus, TxtNumber);
    setTabOrder(TxtNumber, TxtAuxProp);
    setTabOrder(TxtAuxProp, vasSubItem);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(300);
    connect(Timer1, &QTimer::timeout, this, &FrmBom::Timer1_Timer);
    Timer1->start();

    connect(cboStatus, &QComboBox::activated, this, [this](int) { guarded([this] { cboStatus_Click(); }); });
}

void FrmBom::buildToolbar()
{
    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Toolbar1->setIconSize(QSize(20, 20));
    Toolbar1->setFocusPolicy(Qt::NoFocus);
    for (const ToolButtonDef &button : kButtons) {
        const QString key = QString::fromLatin1(button.key);
        QAction *action = nullptr;
        if (!button.caption) {
            action = Toolbar1->addSeparator();
        } else {
            action = Toolbar1->addAction(style()->standardIcon(button.icon), QString::fromUtf8(button.caption));
            action->setToolTip(QString::fromUtf8(button.toolTip));
            connect(action, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
        }
        action->setObjectName(key);
        if (QWidget *widget = Toolbar1->widgetForAction(action)) {
            widget->setObjectName(key);
            // Commands act on the control that has the focus; they never take it.
            widget->setFocusPolicy(Qt::NoFocus);
        }
    }
}

QAction *FrmBom::button(const QString &key) const
{
    return Toolbar1->findChild<QAction *>(key, Qt::FindDirectChildrenOnly);
}

void FrmBom::InitForm()
{
    TxtModel->setEnabled(false);
    TxtName->setEnabled(false);
    TxtUnit->setEnabled(false);

    cboStatus->clear();
    cboStatus->addItem(editortext::kStatusInUse);
    cboStatus->addItem(editortext::kStatusNotInUse);
    cboStatus->setCurrentIndex(0);

    ResetGridRow(-1);

    if (gBomID < 1) {
        for (const char *key : {"Pr", "Ne", "La", "Fr", "sp2"})
            button(QString::fromLatin1(key))->setVisible(false);
        setWindowTitle(editortext::kCaptionNew);
    } else {
        button(QStringLiteral("New"))->setVisible(false);
        LoadBom();
        ShowBomHeader();
        setWindowTitle(editortext::kCaptionModify);
    }

    enableSave(false);
    m_modified = false;

    if (m_grid->ActiveRow() == m_grid->MaxRows() || m_grid->MaxRows() == 1)
        button(QStringLiteral("DeleteRow"))->setEnabled(false);
}

void FrmBom::LoadBom()
{
    if (!m_bom)
        m_bom = std::make_unique<BOM>();
    m_bom->BomID = gBomID;
    m_bom->GroupID = gGroupID;
    // The data layer shows its read-error box; a BOM that stopped half way
    // stays on screen for reading but is never written back.
    m_incomplete = !m_bom->GetMoreInfo(*m_grid);
    if (m_incomplete)
        enableSave(false);
}

void FrmBom::ShowBomHeader()
{
    TxtBomNumber->setText(m_bom->BomNumber);
    TxtBomName->setText(m_bom->BomName);
    TxtNumber->setText(m_bom->ItemNumber);
    TxtName->setText(m_bom->ItemName);
    TxtModel->setText(m_bom->Model);
    TxtAuxProp->setText(m_bom->AuxProp);
    TxtUnit->setText(m_bom->MeasureUnit);
    cboStatus->setCurrentIndex(m_bom->Status == 1 ? 1 : 0);
}

void FrmBom::ClearForm()
{
    cboStatus->setCurrentIndex(0);
    enableSave(false);

    for (QLineEdit *box : {TxtBomNumber, TxtBomName, TxtNumber, TxtName, TxtModel, TxtAuxProp, TxtUnit})
        box->clear();

    m_grid->setMaxRows(1);
    for (int col = 1; col <= m_grid->MaxCols(); ++col)
        m_grid->SetText(col, 1, QString());
    m_grid->setActiveCell(m_grid->ActiveCol(), 1);
    ResetGridRow(1);

    if (m_grid->ActiveRow() == m_grid->MaxRows() || m_grid->MaxRows() <= 1)
        button(QStringLiteral("DeleteRow"))->setEnabled(false);

    TxtBomNumber->setFocus();
}

void FrmBom::setModified()
{
    // Edits of a BOM that did not load whole are never offered for saving.
    if (m_incomplete)
        return;
    m_modified = true;
    enableSave(true);
}

void FrmBom::clearModified()
{
    m_modified = false;
}

void FrmBom::enableSave(bool enabled)
{
    button(QStringLiteral("Save"))->setEnabled(enabled && !m_incomplete);
}

bool FrmBom::gridHasFocus() const
{
    QWidget *focus = focusWidget();
    auto *grid = vasSubItem;
    return focus && (focus == grid || grid->isAncestorOf(focus));
}

void FrmBom::Timer1_Timer()
{
    QAction *deleteRow = button(QStringLiteral("DeleteRow"));
    if (gridHasFocus())
        deleteRow->setEnabled(!(m_grid->ActiveRow() == m_grid->MaxRows() || m_grid->MaxRows() == 1));
    else
        deleteRow->setEnabled(false);
}

bool FrmBom::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        pointerService().setPointer(pointer::Default);
    return QDialog::event(event);
}

bool FrmBom::isValidatedField(const QWidget *widget) const
{
    return widget && (widget == TxtBomNumber || widget == TxtBomName || widget == TxtNumber || widget == TxtAuxProp);
}

bool FrmBom::validateField(QWidget *field)
{
    if (m_validating)
        return true;
    m_validating = true;
    bool cancel = false;
    guarded([&] {
        if (field == TxtBomNumber)
            TxtBomNumber_Validate(cancel);
        else if (field == TxtBomName)
            TxtBomName_Validate(cancel);
        else if (field == TxtNumber)
            TxtNumber_Validate(cancel);
        else if (field == TxtAuxProp)
            TxtAuxProp_Validate(cancel);
    });
    m_validating = false;
    return !cancel;
}

void FrmBom::validateLeftField(QWidget *field)
{
    if (!isVisible() || m_validating)
        return;
    if (!validateField(field))
        field->setFocus(Qt::OtherFocusReason);
}

bool FrmBom::clickMayProceed(const QMouseEvent *event)
{
    QWidget *field = focusWidget();
    if (!isValidatedField(field))
        return true;
    // Whatever would take the focus from this click, found the way Qt finds
    // it: the first enabled widget up from the one clicked that takes focus
    // by click.
    for (QWidget *w = childAt(event->position().toPoint()); w && w != this; w = w->parentWidget()) {
        if (w->isEnabled() && (w->focusPolicy() & Qt::ClickFocus))
            return w == field || validateField(field);
    }
    return true;
}

bool FrmBom::commitFocus()
{
    QWidget *focus = focusWidget();
    if (isValidatedField(focus))
        return validateField(focus);
    if (gridHasFocus())
        return vasSubItem->commitAndLeave();
    return true;
}

bool FrmBom::keyPreview(QWidget *target, QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    auto *grid = vasSubItem;
    const bool inGrid = target == grid || grid->isAncestorOf(target);

    if (key == Qt::Key_Escape) {
        // Esc leaves at once; unsaved changes are not asked about.
        reject();
        return true;
    }

    const QString text = event->text();
    if (text.size() == 1) {
        if (editor::swallowedEverywhere(text.at(0)))
            return true;
        if (target == TxtBomNumber && editor::swallowedInBomNumber(text.at(0)))
            return true;
    }

    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !inGrid) {
        QWidget *control = target;
        if (cboStatus->isAncestorOf(target))
            control = cboStatus;
        if (qobject_cast<QLineEdit *>(control) || control == cboStatus) {
            // Enter moves on as Tab would, through the field's validation.
            if (isValidatedField(control) && !validateField(control))
                return true;
            focusNextChild();
            return true;
        }
        return false;
    }

    if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && isValidatedField(target)) {
        // Refused before the focus moves, so the field never lets go.
        return !validateField(target);
    }

    if (key == Qt::Key_F9 && mods == Qt::ShiftModifier && inGrid) {
        guarded([this] { DeleteGridRow(); });
        return true;
    }

    if (key == Qt::Key_F7) {   // with any modifier, as in the grid
        if (target == TxtNumber) {
            guarded([this] { TxtNumber_KeyDown(118); });
            return true;
        }
        if (target == TxtAuxProp) {
            guarded([this] { TxtAuxProp_KeyDown(118); });
            return true;
        }
    }
    return false;
}

bool FrmBom::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (!widget || widget->window() != this || !isEnabled())
            return false;
        bool consumed = false;
        guarded([&] { consumed = keyPreview(widget, static_cast<QKeyEvent *>(event)); });
        return consumed;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // The window has the click before Qt moves the focus and before the
        // clicked control reacts: a header field is validated here, and a
        // refusal swallows the click.
        if (watched != windowHandle() || !isEnabled())
            return false;
        {
            bool proceed = true;
            guarded([&] { proceed = clickMayProceed(static_cast<QMouseEvent *>(event)); });
            return !proceed;
        }
    case QEvent::FocusIn:
        if (watched == TxtBomNumber || watched == TxtNumber)
            static_cast<QLineEdit *>(watched)->selectAll();
        return false;
    case QEvent::FocusOut: {
        auto *field = qobject_cast<QWidget *>(watched);
        if (!isValidatedField(field))
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        // Tab, Enter and a click on the window validated before the move; an
        // accelerator (or a click handed to a widget directly) moved the
        // focus already, so the field is checked right after and takes the
        // focus back when it refuses.
        if (reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason)
            QTimer::singleShot(0, this, [this, field] { validateLeftField(field); });
        return false;
    }
    default:
        return false;
    }
}

void FrmBom::guarded(const std::function<void()> &handler) noexcept
{
    runGuarded(handler);
}

void registerBomEditor()
{
    registerDialog(QStringLiteral("frmBom"), [] { return std::make_unique<FrmBom>(); });
}

} // namespace torvel
