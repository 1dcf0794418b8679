#include "app/keeping/keepingwindows.h"

#include "app/keeping/autobackup.h"
#include "app/keeping/choosers.h"
#include "data/datetext.h"
#include "keeping/backups.h"
#include "platform/forms.h"
#include "platform/msgbox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <functional>
#include <memory>

namespace {
QString caption(const QString &what)
{
    return QLatin1String(vb::kProgramTitle) + QStringLiteral(" - ") + what;
}

QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}
} // namespace

frmRestore::frmRestore(const QString &diaryPath, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_diaryPath(diaryPath)
{
    setObjectName(QStringLiteral("frmRestore"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption(tr("Restore from backup")));
    setAccessibleName(tr("Restore from backup"));
    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(tr("Pick a backup to put in the diary's place. The diary as it is now is backed up "
                                "first, so a restore can be undone."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    m_model = new QStandardItemModel(0, 5, this);
    m_model->setHorizontalHeaderLabels({tr("Made"), tr("Days"), tr("First day"), tr("Last day"), tr("Size")});
    lstBackups = new QTableView(this);
    lstBackups->setObjectName(QStringLiteral("lstBackups"));
    lstBackups->setAccessibleName(tr("Backups"));
    lstBackups->setModel(m_model);
    lstBackups->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstBackups->setSelectionMode(QAbstractItemView::SingleSelection);
    lstBackups->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstBackups->verticalHeader()->hide();
    lstBackups->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(lstBackups);
    auto *row = new QHBoxLayout;
    cmdRestore = button(tr("&Restore"), "cmdRestore", this);
    cmdOtherFile = button(tr("&Other file..."), "cmdOtherFile", this);
    cmdClose = button(tr("&Close"), "cmdClose", this);
    row->addWidget(cmdRestore);
    row->addWidget(cmdOtherFile);
    row->addStretch();
    row->addWidget(cmdClose);
    layout->addLayout(row);
    connect(cmdRestore, &QPushButton::clicked, this, &frmRestore::cmdRestore_Click);
    connect(cmdOtherFile, &QPushButton::clicked, this, &frmRestore::cmdOtherFile_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(lstBackups, &QTableView::doubleClicked, this, &frmRestore::cmdRestore_Click);
    refresh();
    resize(620, 360);
    vb::Forms::add(this);
}

void frmRestore::refresh()
{
    m_model->removeRows(0, m_model->rowCount());
    const QLocale c = QLocale::c();
    for (const keeping::BackupInfo &b : keeping::listBackups(m_diaryPath)) {
        QList<QStandardItem *> items{
            new QStandardItem(b.time.toString(QStringLiteral("dd/MM/yy HH:mm:ss")) +
                              (b.damaged ? tr(" (the damaged diary, kept)") : QString())),
            new QStandardItem(b.days < 0 ? tr("unreadable") : QString::number(b.days)),
            new QStandardItem(b.first.isValid() ? diary::showDate(b.first) : QString()),
            new QStandardItem(b.last.isValid() ? diary::showDate(b.last) : QString()),
            new QStandardItem(c.formattedDataSize(b.size, 1, QLocale::DataSizeTraditionalFormat)),
        };
        items.first()->setData(b.path, Qt::UserRole);
        m_model->appendRow(items);
    }
    lstBackups->resizeColumnsToContents();
    if (m_model->rowCount() > 0)
        lstBackups->selectRow(0);
    cmdRestore->setEnabled(m_model->rowCount() > 0);
}

void frmRestore::cmdRestore_Click()
{
    const QModelIndexList rows = lstBackups->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    ask(m_model->item(rows.first().row())->data(Qt::UserRole).toString());
}

void frmRestore::cmdOtherFile_Click()
{
    const QString path =
        app::choosers().openFile(this, tr("Restore from a file"), tr("MEALWISE diaries (*.mdb);;All files (*)"));
    if (!path.isEmpty())
        ask(path);
}

void frmRestore::ask(const QString &path)
{
    const keeping::BackupInfo info = keeping::describeBackup(path);
    const QString question =
        tr("Put %1 in the diary's place? It holds %2 days. Open record windows close first; the diary as it is now is "
           "backed up.")
            .arg(QFileInfo(path).fileName())
            .arg(info.days < 0 ? tr("no readable") : QString::number(info.days));
    if (app::choosers().askYesNo(this, question))
        emit restoreRequested(path);
}

namespace {
// Runs `work` off the window's thread behind a progress dialog, which takes
// all input meanwhile, so that no window the work needs can close under it.
// `done` is shown against `total` (0: a busy bar); Cancel sets `cancel`,
// which the work reads where it can stop. Returns whether Cancel was pressed.
bool runBehindProgress(QWidget *parent, const QString &label, qsizetype total,
                       const std::function<void(std::atomic<qsizetype> &done, std::atomic<bool> &cancel)> &work)
{
    std::atomic<qsizetype> done{0};
    std::atomic<bool> cancel{false};
    QProgressDialog progress(label, QCoreApplication::translate("app", "Cancel"), 0, int(total), parent);
    progress.setObjectName(QStringLiteral("dlgImportProgress"));
    progress.setWindowTitle(QStringLiteral("MEALWISE"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    progress.show();
    std::unique_ptr<QThread> worker(QThread::create([&] { work(done, cancel); }));
    QEventLoop wait;
    QObject::connect(worker.get(), &QThread::finished, &wait, &QEventLoop::quit);
    QObject::connect(&progress, &QProgressDialog::canceled, &wait, [&] { cancel = true; });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &wait, [&] { progress.setValue(int(done.load())); });
    tick.start(100);
    worker->start();
    wait.exec();
    worker->wait();
    return cancel.load();
}
} // namespace

frmImport::frmImport(const QString &diaryPath, const QString &filePath, const QByteArray &bytes, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_diaryPath(diaryPath)
    , m_filePath(filePath)
    , m_bytes(bytes)
{
    setObjectName(QStringLiteral("frmImport"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption(tr("Import days")));
    setAccessibleName(tr("Import days"));
    auto *layout = new QVBoxLayout(this);
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    layout->addWidget(lblSummary);
    lstRefused = new QListWidget(this);
    lstRefused->setObjectName(QStringLiteral("lstRefused"));
    lstRefused->setAccessibleName(tr("Refused lines"));
    layout->addWidget(lstRefused);
    chkAsIs = new QCheckBox(tr("Take stored values &as they are (for moving a whole diary)"), this);
    chkAsIs->setObjectName(QStringLiteral("chkAsIs"));
    layout->addWidget(chkAsIs);
    auto *dupRow = new QHBoxLayout;
    auto *dupLabel = new QLabel(tr("Days whose &date the diary has:"), this);
    cboDuplicates = new QComboBox(this);
    cboDuplicates->setObjectName(QStringLiteral("cboDuplicates"));
    cboDuplicates->setAccessibleName(tr("Days whose date the diary has"));
    cboDuplicates->addItem(tr("Skip them"), int(keeping::Duplicates::Skip));
    cboDuplicates->addItem(tr("Replace the diary's days"), int(keeping::Duplicates::Replace));
    cboDuplicates->addItem(tr("Add them beside the diary's"), int(keeping::Duplicates::Add));
    dupLabel->setBuddy(cboDuplicates);
    dupRow->addWidget(dupLabel);
    dupRow->addWidget(cboDuplicates, 1);
    layout->addLayout(dupRow);
    chkLists = new QCheckBox(tr("Replace the four food and medication &lists with the file's"), this);
    chkLists->setObjectName(QStringLiteral("chkLists"));
    layout->addWidget(chkLists);
    auto *row = new QHBoxLayout;
    cmdImport = button(tr("&Import"), "cmdImport", this);
    cmdCancel = button(tr("&Cancel"), "cmdCancel", this);
    row->addStretch();
    row->addWidget(cmdImport);
    row->addWidget(cmdCancel);
    layout->addLayout(row);
    connect(chkAsIs, &QCheckBox::toggled, this, &frmImport::readAgain);
    connect(cmdImport, &QPushButton::clicked, this, &frmImport::cmdImport_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QWidget::close);
    readAgain();
    resize(640, 420);
    vb::Forms::add(this);
}

void frmImport::readAgain()
{
    // Read and tried against the diary off the window's thread: a file of
    // a million days takes a while.
    const bool asIs = chkAsIs->isChecked();
    const int year = QDate::currentDate().year();
    QString dupError;
    const bool cancelled = runBehindProgress(
        this, tr("Reading %1…").arg(QFileInfo(m_filePath).fileName()), 0,
        [&](std::atomic<qsizetype> &, std::atomic<bool> &cancel) {
            m_plan = keeping::readImport(m_bytes, keeping::guessFormat(m_filePath, m_bytes), asIs, year);
            if (m_plan.fileError.isEmpty() && !cancel.load())
                dupError = keeping::findDuplicates(m_diaryPath, &m_plan, [&] { return !cancel.load(); });
        });
    if (cancelled) {
        m_plan = keeping::ImportPlan{};
        m_plan.fileError = tr("Reading the file was cancelled; nothing is imported.");
    }
    lstRefused->clear();
    lstRefused->addItems(m_plan.describeRefusals());
    if (!dupError.isEmpty())
        lstRefused->addItem(dupError);
    const bool ok = m_plan.ok() && dupError.isEmpty();
    const QString name = QFileInfo(m_filePath).fileName();
    QString summary = name + QStringLiteral(": ") + m_plan.preview();
    if (!ok && chkAsIs->isChecked() && m_plan.fileError.isEmpty())
        summary += QLatin1Char(' ') + tr("This diary checks the ranges itself, so \"as is\" cannot hold in it.");
    if (!ok)
        summary += QLatin1Char(' ') + tr("Nothing can be imported while a line is refused (listed below).");
    lblSummary->setText(summary);
    cboDuplicates->setEnabled(!m_plan.duplicateDays.isEmpty());
    chkLists->setEnabled(!m_plan.listsGiven().isEmpty());
    cmdImport->setEnabled(ok && !m_plan.days.isEmpty());
}

void frmImport::cmdImport_Click()
{
    const auto policy = m_plan.duplicateDays.isEmpty() ? keeping::Duplicates::Add
                                                       : keeping::Duplicates(cboDuplicates->currentData().toInt());
    // Written off the window's thread, so that the window keeps painting and
    // Cancel can stop a long import (all or nothing, as always).
    const bool lists = chkLists->isChecked();
    const QDateTime now = QDateTime::currentDateTime();
    keeping::ImportResult r;
    runBehindProgress(this, tr("Importing %1 days…").arg(m_plan.days.size()), m_plan.days.size(),
                      [&](std::atomic<qsizetype> &done, std::atomic<bool> &cancel) {
                          r = keeping::applyImport(m_diaryPath, m_plan, policy, lists, now,
                                                   [&](qsizetype n, qsizetype) {
                                                       done = n;
                                                       return !cancel.load();
                                                   });
                      });
    if (!r.ok()) {
        vb::MsgBox(r.error, this);
        return;
    }
    app::AutoBackup::noteChanged();
    vb::MsgBox(r.summary(), this);
    emit imported();
    close();
}
