#include "app/keeping/frmbin.h"

#include "app/keeping/autobackup.h"
#include "app/keeping/choosers.h"
#include "data/datetext.h"
#include "data/daybin.h"
#include "platform/busycursor.h"
#include "platform/forms.h"
#include "platform/msgbox.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {
QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}
} // namespace

frmBin::frmBin(const QString &diaryPath, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_diaryPath(diaryPath)
{
    setObjectName(QStringLiteral("frmBin"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QLatin1String(vb::kProgramTitle) + QStringLiteral(" - ") + tr("Deleted days"));
    setAccessibleName(tr("Deleted days"));
    auto *layout = new QVBoxLayout(this);
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    layout->addWidget(lblSummary);
    m_model = new QStandardItemModel(0, 5, this);
    m_model->setHorizontalHeaderLabels({tr("Date"), tr("Score"), tr("Meals"), tr("Deleted"), tr("By")});
    lstDeleted = new QTableView(this);
    lstDeleted->setObjectName(QStringLiteral("lstDeleted"));
    lstDeleted->setAccessibleName(tr("Deleted days"));
    lstDeleted->setModel(m_model);
    lstDeleted->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstDeleted->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstDeleted->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstDeleted->verticalHeader()->hide();
    lstDeleted->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(lstDeleted);
    auto *row = new QHBoxLayout;
    cmdPutBack = button(tr("&Put back"), "cmdPutBack", this);
    cmdEmpty = button(tr("&Empty the bin\u2026"), "cmdEmpty", this);
    cmdClose = button(tr("&Close"), "cmdClose", this);
    row->addWidget(cmdPutBack);
    row->addWidget(cmdEmpty);
    row->addStretch();
    row->addWidget(cmdClose);
    layout->addLayout(row);
    connect(cmdPutBack, &QPushButton::clicked, this, &frmBin::cmdPutBack_Click);
    connect(cmdEmpty, &QPushButton::clicked, this, &frmBin::cmdEmpty_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(lstDeleted->selectionModel(), &QItemSelectionModel::selectionChanged, this, &frmBin::updateButtons);
    refresh();
    resize(720, 380);
    vb::Forms::add(this);
}

void frmBin::refresh()
{
    m_model->removeRows(0, m_model->rowCount());
    diary::BinList bin;
    {
        vb::BusyCursor busy;
        bin = diary::listBin(m_diaryPath);
    }
    for (const diary::BinEntry &e : bin.entries) {
        QList<QStandardItem *> items{
            new QStandardItem(diary::showStoredDate(e.date)),
            new QStandardItem(e.score.toString()),
            new QStandardItem(e.meals),
            new QStandardItem(e.deletedWhen.isValid() ? e.deletedWhen.toString(QStringLiteral("dd/MM/yy HH:mm:ss"))
                                                      : e.deletedWhenText),
            new QStandardItem(e.deletedBy),
        };
        items.first()->setData(e.binId, Qt::UserRole);
        m_model->appendRow(items);
    }
    lstDeleted->resizeColumnsToContents();
    if (!bin.ok())
        lblSummary->setText(tr("The bin could not be read: %1").arg(bin.error));
    else if (bin.entries.isEmpty())
        lblSummary->setText(tr("The bin is empty: no day was deleted since it was last emptied."));
    else
        lblSummary->setText(
            (bin.entries.size() == 1 ? tr("1 deleted day.")
                                     : tr("%1 deleted days, newest first.").arg(bin.entries.size())) +
            QLatin1Char(' ') +
            tr("Select the days to put back into the diary; each keeps its ID where no day has it now."));
    updateButtons();
}

void frmBin::updateButtons()
{
    cmdPutBack->setEnabled(!lstDeleted->selectionModel()->selectedRows().isEmpty());
    cmdEmpty->setEnabled(m_model->rowCount() > 0);
}

void frmBin::cmdPutBack_Click()
{
    QList<qint64> ids;
    const QModelIndexList rows = lstDeleted->selectionModel()->selectedRows();
    for (const QModelIndex &index : rows)
        ids << m_model->item(index.row())->data(Qt::UserRole).toLongLong();
    if (ids.isEmpty())
        return;
    diary::PutBackResult r;
    {
        vb::BusyCursor busy;
        r = diary::putBack(m_diaryPath, ids);
    }
    if (!r.ok()) {
        vb::MsgBox(r.error, this);
        refresh();
        return;
    }
    app::AutoBackup::noteChanged();
    refresh();
    vb::MsgBox(r.summary() + QLatin1Char(' ') + tr("Open records windows show them after Refresh."), this);
    emit daysPutBack();
}

void frmBin::cmdEmpty_Click()
{
    const int n = m_model->rowCount();
    if (n == 0)
        return;
    const QString what = n == 1 ? tr("the 1 day") : tr("the %1 days").arg(n);
    if (!app::choosers().askYesNo(this, tr("Remove %1 in the bin for good? They cannot be put back afterwards (only "
                                           "a backup made before still holds them).")
                                            .arg(what)))
        return;
    diary::EmptiedBin emptied;
    {
        vb::BusyCursor busy;
        emptied = diary::emptyBin(m_diaryPath);
    }
    if (!emptied.ok()) {
        vb::MsgBox(emptied.error, this);
        refresh();
        return;
    }
    app::AutoBackup::noteChanged();
    refresh();
}
