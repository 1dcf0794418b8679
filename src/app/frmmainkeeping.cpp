// The main window's File menu items that keep the diary: backups, restore,
// export, import and the report.
#include "app/frmmain.h"
#include "app/keeping/autobackup.h"
#include "app/keeping/choosers.h"
#include "app/keeping/frmbin.h"
#include "app/keeping/keepingwindows.h"
#include "app/savenames.h"
#include "grid/columnfilters.h"
#include "keeping/backups.h"
#include "keeping/exchange.h"
#include "keeping/privatefiles.h"
#include "keeping/report.h"
#include "keeping/restore.h"
#include "platform/busycursor.h"
#include "platform/flexgrid.h"
#include "platform/forms.h"
#include "platform/msgbox.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPagedPaintDevice>
#include <QSet>
#include <QTextDocument>

void frmMain::buildKeepingMenu()
{
    // Access keys B, R, L, E, I, P and D: none is E&xit's x.
    auto add = [this](QAction *&action, const QString &text, const char *name, void (frmMain::*slot)()) {
        action = mnuFile->addAction(text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, slot);
    };
    add(mnuFileBackup, tr("&Back up now"), "mnuFileBackup", &frmMain::mnuFileBackup_Click);
    add(mnuFileRestore, tr("&Restore from backup\u2026"), "mnuFileRestore", &frmMain::mnuFileRestore_Click);
    add(mnuFileDeletedDays, tr("De&leted days\u2026"), "mnuFileDeletedDays", &frmMain::mnuFileDeletedDays_Click);
    mnuFile->addSeparator();
    add(mnuFileExport, tr("&Export days\u2026"), "mnuFileExport", &frmMain::mnuFileExport_Click);
    add(mnuFileImport, tr("&Import days\u2026"), "mnuFileImport", &frmMain::mnuFileImport_Click);
    mnuFile->addSeparator();
    add(mnuFilePrintReport, tr("&Print report\u2026"), "mnuFilePrintReport", &frmMain::mnuFilePrintReport_Click);
    add(mnuFileReportPdf, tr("Export report as P&DF\u2026"), "mnuFileReportPdf", &frmMain::mnuFileReportPdf_Click);
}

void frmMain::mnuFileBackup_Click()
{
    const keeping::BackupResult r = keeping::backUp(m_databasePath, QDateTime::currentDateTime());
    if (!r.ok()) {
        vb::MsgBox(r.error, this);
        return;
    }
    vb::MsgBox(tr("The diary was backed up to %1.").arg(QDir::toNativeSeparators(r.path)), this);
}

void frmMain::mnuFileRestore_Click()
{
    auto *window = new frmRestore(m_databasePath);
    connect(window, &frmRestore::restoreRequested, this, [this, window](const QString &path) {
        if (restoreFrom(path))
            window->close();
        else
            window->refresh();
    });
    window->show();
}

void frmMain::mnuFileDeletedDays_Click()
{
    auto *window = new frmBin(m_databasePath);
    connect(window, &frmBin::daysPutBack, this, &frmMain::readRankingAgain);
    window->show();
}

bool frmMain::restoreFrom(const QString &backupPath)
{
    // The entry windows write what is pending and let go of the diary, as at
    // Exit; the keeping windows stay.
    const QList<QWidget *> windows = vb::Forms::list();
    for (qsizetype i = windows.size() - 1; i >= 0; --i) {
        QWidget *w = windows.at(i);
        if (w != this && !qobject_cast<frmRestore *>(w) && !qobject_cast<frmImport *>(w))
            w->close();
    }
    const keeping::RestoreResult r = keeping::restoreDiary(m_databasePath, backupPath, QDateTime::currentDateTime());
    if (!r.ok()) {
        vb::MsgBox(r.error, this);
        return false;
    }
    readRankingAgain();
    vb::MsgBox(tr("%1 was restored. The diary as it was is kept in %2.")
                   .arg(QDir::toNativeSeparators(backupPath), QDir::toNativeSeparators(r.safetyBackup)),
               this);
    return true;
}

void frmMain::readRankingAgain()
{
    if (m_filters && m_filters->FiltersShown)
        cmdFilter_Click();
    fillFromData2();
    Form_Activate();
}

void frmMain::mnuFileExport_Click()
{
    keeping::ExportOptions options;
    // While the filters hide days, the user may take only the days shown.
    if (m_filters && m_filters->FiltersShown) {
        QSet<qint64> shown;
        int hidden = 0;
        for (int row = MSFlexGrid1->FixedRows(); row < MSFlexGrid1->Rows(); ++row) {
            if (MSFlexGrid1->RowHeight(row) == 0) {
                ++hidden;
                continue;
            }
            if (const auto key = MSFlexGrid1->RowKey(row))
                shown.insert(*key);
        }
        if (hidden > 0 &&
            app::choosers().askYesNo(
                this, tr("Export only the %1 days the filters show? No exports every day.").arg(shown.size())))
            options.ids = shown;
    }
    // Proposed in the documents folder, named after the days it will hold.
    const auto range = keeping::exportedDayRange(m_databasePath, options);
    const QString name =
        range ? app::rangedFileName(range->first, range->second, QStringLiteral("csv"), QStringLiteral("days"))
              : app::rangedFileName({}, {}, QStringLiteral("csv"), QStringLiteral("days"));
    const QString path = app::choosers().saveFile(this, tr("Export days"), QDir(app::documentsFolder()).filePath(name),
                                                  tr("CSV (*.csv);;JSON (*.json)"));
    if (path.isEmpty())
        return;
    options.format =
        path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive) ? keeping::Format::Json : keeping::Format::Csv;
    const keeping::ExportResult r = keeping::exportDays(m_databasePath, options);
    QString error = r.error;
    if (error.isEmpty())
        error = keeping::writePrivateFile(path, r.bytes);
    if (!error.isEmpty()) {
        vb::MsgBox(error, this);
        return;
    }
    QString text = tr("%1 days were written to %2.").arg(r.days).arg(QDir::toNativeSeparators(path));
    if (r.repairedTexts > 0)
        text +=
            QLatin1Char(' ') +
            tr("%1 texts held bytes that are not UTF-8; each such byte was written as \uFFFD.").arg(r.repairedTexts);
    vb::MsgBox(text, this);
}

void frmMain::mnuFileImport_Click()
{
    const QString path =
        app::choosers().openFile(this, tr("Import days"), tr("CSV or JSON (*.csv *.json);;All files (*)"));
    if (path.isEmpty())
        return;
    QByteArray bytes;
    {
        vb::BusyCursor busy;
        if (const QString unread = keeping::readImportFile(path, &bytes); !unread.isEmpty()) {
            busy.release();
            vb::MsgBox(unread, this);
            return;
        }
    }
    auto *window = new frmImport(m_databasePath, path, bytes);
    connect(window, &frmImport::imported, this, &frmMain::readRankingAgain);
    window->show();
}

namespace {
std::optional<keeping::ReportRange> askReportRange(QWidget *parent, const QDate &today)
{
    const keeping::ReportRange fallback = keeping::defaultReportRange(today);
    const auto picked = app::choosers().reportRange(parent, fallback.from, fallback.to);
    if (!picked)
        return std::nullopt;
    return keeping::ReportRange{picked->first, picked->second, today};
}
} // namespace

void frmMain::mnuFilePrintReport_Click()
{
    const auto range = askReportRange(this, m_today());
    if (!range)
        return;
    QString error;
    app::choosers().print(
        this, [&](QPagedPaintDevice &printer) { error = keeping::printReport(m_databasePath, *range, printer); });
    if (!error.isEmpty())
        vb::MsgBox(error, this);
}

void frmMain::mnuFileReportPdf_Click()
{
    const auto range = askReportRange(this, m_today());
    if (!range)
        return;
    const QString name = app::rangedFileName(range->from, range->to, QStringLiteral("pdf"), QStringLiteral("report"));
    const QString path = app::choosers().saveFile(this, tr("Export report as PDF"),
                                                  QDir(app::documentsFolder()).filePath(name), tr("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    const QString error = keeping::writeReportPdf(m_databasePath, *range, path);
    if (!error.isEmpty()) {
        vb::MsgBox(error, this);
        return;
    }
    vb::MsgBox(tr("The report was written to %1.").arg(QDir::toNativeSeparators(path)), this);
}
