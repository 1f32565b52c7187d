#include "ui/report/frmbomreport.h"

#include "state/dialogseam.h"

#include <QAbstractTableModel>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

namespace torvel {

namespace {

// The form was laid out in twips, 15 to a pixel at 96 dots per inch.
QRect twips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

// The grid's rows are the report's texts; nothing in them can be edited.
class ReportModel : public QAbstractTableModel
{
public:
    ReportModel(const BomReport &report, QObject *parent)
        : QAbstractTableModel(parent), m_report(report), m_columns(parseFormatString(kReportFormat))
    {
    }

    int rowCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : int(m_report.rows.size());
    }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : int(m_columns.size()); }

    QVariant data(const QModelIndex &index, int role) const override
    {
        const QString &text = m_report.rows[size_t(index.row())][index.column()];
        if (role == Qt::DisplayRole)
            return text;
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignVCenter
                       | (alignsRight(m_columns[size_t(index.column())], text) ? Qt::AlignRight : Qt::AlignLeft));
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < int(m_columns.size()))
            return m_columns[size_t(section)].header;
        return QAbstractTableModel::headerData(section, orientation, role);
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        return QAbstractTableModel::flags(index) & ~Qt::ItemIsEditable;
    }

    void reset()
    {
        beginResetModel();
        endResetModel();
    }

private:
    const BomReport &m_report;
    std::vector<GridColumn> m_columns;
};

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    return label;
}

} // namespace

FrmBomReport::FrmBomReport(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmBOMReport"));
    setWindowTitle(kReportCaption);
    buildForm();
    Form_Load();
}

void FrmBomReport::buildForm()
{
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei")});
    font.setPointSize(9);
    setFont(font);
    // A fixed layout: nothing rearranges the controls when the size changes.
    setFixedSize(twips(0, 0, 9210, 5700).size());

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setGeometry(twips(0, 0, 9165, 1125));
    // The header labels lie inside the frame, whose origin is the form's.
    labNumber = makeLabel(Frame1, "labNumber", kCaptionNumber, twips(585, 270, 885, 255));
    LabNumberValue = makeLabel(Frame1, "LabNumberValue", QString(), twips(1485, 270, 1605, 255));
    LabName = makeLabel(Frame1, "LabName", kCaptionName, twips(3240, 270, 885, 255));
    LabNameValue = makeLabel(Frame1, "LabNameValue", QString(), twips(4245, 270, 1695, 255));
    LabModel = makeLabel(Frame1, "LabModel", kCaptionModel, twips(6120, 330, 915, 255));
    LabModelValue = makeLabel(Frame1, "LabModelValue", QString(), twips(7065, 270, 1575, 255));
    LabAuxProp = makeLabel(Frame1, "LabAuxProp", kCaptionAuxProp, twips(585, 750, 855, 255));
    LabAuxPropValue = makeLabel(Frame1, "LabAuxPropValue", QString(), twips(1500, 750, 1575, 255));
    LabUnit = makeLabel(Frame1, "LabUnit", kCaptionUnit, twips(3240, 750, 915, 255));
    LabUnitValue = makeLabel(Frame1, "LabUnitValue", QString(), twips(4245, 750, 1755, 255));
    LabQty = makeLabel(Frame1, "LabQty", kCaptionQty, twips(6120, 750, 885, 255));
    LabQtyValue = makeLabel(Frame1, "LabQtyValue", QString(), twips(7065, 750, 1605, 255));

    Grid = new QTableView(this);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->setGeometry(twips(0, 1095, 9165, 4080));
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->verticalHeader()->hide();
    Grid->verticalHeader()->setDefaultSectionSize(Grid->fontMetrics().height() + 4);
    Grid->setModel(new ReportModel(m_report, Grid));

    Label1 = makeLabel(this, "Label1", kReportFootnote, twips(150, 5355, 4095, 255));
    // Not a control of the original form: placed in the free space under the
    // grid between the footnote and the button, so the layout stays as it was.
    LabShortage = makeLabel(this, "LabShortage", QString(), twips(4350, 5355, 3570, 255));
    cmdOK = new QPushButton(QStringLiteral("确定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twips(8010, 5280, 900, 330));
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::reject);

    // Key preview: the form's keys work while the grid or the button has the focus.
    for (QWidget *w : {static_cast<QWidget *>(this), static_cast<QWidget *>(Grid), static_cast<QWidget *>(cmdOK)})
        w->installEventFilter(this);
}

void FrmBomReport::Form_Load()
{
    // The grid's columns from the format string; the header text sets each
    // width, and the id columns are hidden with their values kept.
    const std::vector<GridColumn> columns = parseFormatString(kReportFormat);
    for (int c = 0; c < int(columns.size()); ++c)
        Grid->setColumnWidth(c, Grid->fontMetrics().horizontalAdvance(columns[size_t(c)].header) + 12);
    for (int c : kHiddenColumns)
        Grid->setColumnHidden(c, true);

    LoadReport(m_report);
    static_cast<ReportModel *>(Grid->model())->reset();
    LabNumberValue->setText(m_report.number);
    LabNameValue->setText(m_report.name);
    LabModelValue->setText(m_report.model);
    LabAuxPropValue->setText(m_report.auxProp);
    LabUnitValue->setText(m_report.unit);
    LabQtyValue->setText(m_report.kitQty);
    LabShortage->setToolTip(m_report.shortage);
    LabShortage->setText(LabShortage->fontMetrics().elidedText(m_report.shortage, Qt::ElideRight, LabShortage->width()));
}

QString FrmBomReport::dialogText() const
{
    return torvel::reportText(m_report);
}

bool FrmBomReport::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape) {
            reject();
            return true;
        }
        // The apostrophe is discarded everywhere on the form.
        if (key->text() == QLatin1String("'"))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void registerBomReport()
{
    registerDialog(QStringLiteral("frmBOMReport"), [] { return std::make_unique<FrmBomReport>(); });
}

} // namespace torvel
