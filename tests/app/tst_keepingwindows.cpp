// The File menu's keeping items, the restore and import windows, the
// program's own backups (before the first delete, at the end of a run that
// wrote) and the check at start. Dialogs are answered through the choosers.
#include "app/frmmain.h"
#include "app/keeping/autobackup.h"
#include "app/keeping/choosers.h"
#include "app/keeping/keepingwindows.h"
#include "app/startcheck.h"
#include "data/diarynames.h"
#include "data/diaryschema.h"
#include "data/rowset.h"
#include "data/writehooks.h"
#include "entry/adodc.h"
#include "entry/frmrecords.h"
#include "keeping/backups.h"
#include "keeping/diarycheck.h"
#include "platform/flexgrid.h"
#include "platform/forms.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

using testing_support::MessageLog;
using testing_support::TempDiary;
using testing_support::TempHome;

namespace {
// Answers every dialog as told and records the questions.
struct Answers
{
    Answers()
    {
        app::Choosers c;
        c.openFile = [this](QWidget *, const QString &, const QString &) { return openPath; };
        c.saveFile = [this](QWidget *, const QString &, const QString &suggested, const QString &) {
            suggestions << suggested;
            return savePath;
        };
        c.askYesNo = [this](QWidget *, const QString &q) {
            questions << q;
            return yes;
        };
        c.reportRange = [](QWidget *, const QDate &from, const QDate &to) {
            return std::optional(std::pair{from, to});
        };
        c.print = [](QWidget *, const std::function<void(QPagedPaintDevice &)> &) { return false; };
        m_previous = app::setChoosers(std::move(c));
    }
    ~Answers() { app::setChoosers(std::move(m_previous)); }
    QString openPath, savePath;
    QStringList suggestions; // what each save dialog proposed
    bool yes = true;
    QStringList questions;

private:
    app::Choosers m_previous;
};

QStringList backups(const QString &diaryPath)
{
    return QDir(keeping::backupsFolder(diaryPath))
        .entryList({QStringLiteral("Records-*.mdb")}, QDir::Files, QDir::Name);
}

int gridDays(frmMain &w)
{
    return w.MSFlexGrid1->Rows() - w.MSFlexGrid1->FixedRows();
}
} // namespace

class tst_KeepingWindows : public QObject
{
    Q_OBJECT

private slots:
    void fileMenu_keepingItemsAboveExit_accessKeysFree()
    {
        TempHome home;
        TempDiary d(true);
        frmMain w;
        QStringList texts;
        for (QAction *a : w.mnuFile->actions()) {
            if (!a->isSeparator())
                texts << a->text();
        }
        QCOMPARE(texts, (QStringList{QStringLiteral("&Back up now"), QStringLiteral("&Restore from backup\u2026"),
                                     QStringLiteral("De&leted days\u2026"), QStringLiteral("&Export days\u2026"),
                                     QStringLiteral("&Import days\u2026"), QStringLiteral("&Print report\u2026"),
                                     QStringLiteral("Export report as P&DF\u2026"), QStringLiteral("E&xit")}));
        QSet<QChar> keys;
        for (const QString &t : texts)
            keys.insert(t.at(t.indexOf(QLatin1Char('&')) + 1).toLower());
        QCOMPARE(keys.size(), texts.size());
    }

    void backUpNow_thenRestoreThroughTheWindow_readsTheRankingAgain()
    {
        TempHome home;
        TempDiary d(true);
        QVERIFY(diary::addSampleDays(d.path(), 12, QDate(2026, 6, 15), 5).isEmpty());
        MessageLog log;
        Answers answers;
        auto *w = new frmMain;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->load();
        w->show();
        w->mnuFileBackup->trigger();
        QCOMPARE(backups(d.path()).size(), 1);
        QVERIFY2(log.last().startsWith(QStringLiteral("The diary was backed up to ")), qPrintable(log.last()));

        QVERIFY(d.exec(QStringLiteral("DELETE FROM records WHERE DATE > '2026-06-08'")));
        w->readRankingAgain();
        QCOMPARE(gridDays(*w), 6);

        w->mnuFileRestore->trigger();
        auto *window = qobject_cast<frmRestore *>(vb::Forms::list().last());
        QVERIFY(window);
        QCOMPARE(window->objectName(), QStringLiteral("frmRestore"));
        QCOMPARE(window->model()->rowCount(), 1);
        QCOMPARE(window->model()->item(0, 1)->text(), QStringLiteral("12"));
        QCOMPARE(window->model()->item(0, 2)->text(), QStringLiteral("03/06/26"));
        QPointer<frmRestore> guard(window);
        QTest::mouseClick(window->cmdRestore, Qt::LeftButton);
        QCOMPARE(answers.questions.size(), 1);
        QVERIFY2(log.last().contains(QStringLiteral("was restored")), qPrintable(log.last()));
        QCOMPARE(gridDays(*w), 12);
        QCOMPARE(backups(d.path()).size(), 2); // the diary as it was, kept first
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());

        // Exit closes a restore window left open.
        w->mnuFileRestore->trigger();
        guard = qobject_cast<frmRestore *>(vb::Forms::list().last());
        QVERIFY(guard);
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());
    }

    void restore_closesEntryWindowsFirst_writingWhatIsPending()
    {
        TempHome home;
        TempDiary d(true);
        QVERIFY(diary::addSampleDays(d.path(), 8, QDate(2026, 6, 15), 5).isEmpty());
        const keeping::BackupResult b = keeping::backUp(d.path(), QDateTime(QDate(2026, 6, 15), QTime(7, 0)));
        QVERIFY(b.ok());
        MessageLog log;
        auto *w = new frmMain;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->load();
        w->show();
        // The record window opens on the row the grid's selection names.
        w->MSFlexGrid1->setRow(2);
        w->MSFlexGrid1->setRowSel(2);
        w->mnuDatafrmrecords->trigger();
        QPointer<QWidget> records = vb::Forms::list().last();
        QCOMPARE(records->objectName(), QStringLiteral("frmrecords"));
        QVERIFY(QTest::qWaitForWindowExposed(records));
        QWidget *snack = qobject_cast<frmrecords *>(records.data())->txtFields(14);
        QVERIFY(snack);
        snack->setFocus();
        QTest::keyClick(snack, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(snack, Qt::Key_Delete);
        for (const QChar c : QStringLiteral("PENDING SNACK"))
            QTest::keyClick(snack, c.toLatin1());
        QVERIFY(qobject_cast<frmrecords *>(records.data())->datPrimaryRS->Recordset()->hasPendingChanges());
        QVERIFY2(w->restoreFrom(b.path), qPrintable(log.messages.join(QLatin1Char('|'))));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(records.isNull());
        // Written before the restore, so kept in the backup made first.
        const QString kept = keeping::backupsFolder(d.path()) + QLatin1Char('/') + backups(d.path()).last();
        QProcess sqlite;
        sqlite.start(QStringLiteral("sqlite3"),
                     {kept, QStringLiteral("SELECT count(*) FROM records WHERE SNACK1 = 'PENDING SNACK' OR SNACK2 = "
                                           "'PENDING SNACK' OR SNACK3 = 'PENDING SNACK' OR SNACK4 = 'PENDING SNACK'")});
        QVERIFY(sqlite.waitForFinished(10000));
        QCOMPARE(sqlite.readAllStandardOutput().trimmed(), QByteArray("1"));
        QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM records WHERE SNACK1 = 'PENDING SNACK' OR SNACK2 = "
                                         "'PENDING SNACK' OR SNACK3 = 'PENDING SNACK' OR SNACK4 = 'PENDING SNACK'"))
                     .toInt(),
                 0);
        w->close();
    }

    void importWindow_previewRefusesThenTakesAsIs()
    {
        TempHome home;
        TempDiary d(true);
        // A diary made before new diaries held scores to 1-10, as a whole old
        // diary moved with "as is" would be: its score check is type only.
        QProcess older;
        older.start(QStringLiteral("sqlite3"),
                    {d.path(), QStringLiteral("PRAGMA writable_schema = ON; UPDATE sqlite_schema SET sql = "
                                              "replace(sql, ' AND [OVERALL SCORE] BETWEEN 1 AND 10', '') "
                                              "WHERE name = 'records'; SELECT changes();")});
        QVERIFY(older.waitForFinished(10000));
        QCOMPARE(older.readAllStandardOutput().trimmed(), QByteArray("1"));
        d.insertDay({{QStringLiteral("DATE"), QStringLiteral("2026-03-01")},
                     {QStringLiteral("COMMENTS"), QStringLiteral("old")}});
        MessageLog log;
        frmImport window(d.path(), QStringLiteral("days.csv"),
                         "DATE,OVERALL SCORE,COMMENTS\r\n2026-03-01,5,again\r\n2026-03-02,12,old scale\r\n");
        QCOMPARE(window.lstRefused->count(), 1);
        QCOMPARE(window.lblSummary->text(),
                 QStringLiteral("days.csv: 1 day to import, of which 1 date is already in the diary (1 row "
                                "there). Nothing can be imported while a line is refused (listed below)."));
        QCOMPARE(window.lstRefused->item(0)->text(), QStringLiteral("Line 3: OVERALL SCORE 12 is not from 1 to 10"));
        QVERIFY(!window.cmdImport->isEnabled());
        window.chkAsIs->setChecked(true);
        QCOMPARE(window.lstRefused->count(), 0);
        QVERIFY(window.cmdImport->isEnabled());
        QVERIFY(window.lblSummary->text().contains(
            QStringLiteral("2 days to import, of which 1 date is already in the diary (1 row there).")));
        QVERIFY(window.cboDuplicates->isEnabled());
        window.cboDuplicates->setCurrentIndex(1); // replace
        QTest::mouseClick(window.cmdImport, Qt::LeftButton);
        // Replacing kept a copy first, named in the summary, and the replaced day went to the bin.
        const QString prefix =
            QStringLiteral("Imported: 1 added, 1 dates replaced (1 rows of the diary by 1 of the file). "
                           "The diary as it was is kept in ");
        QVERIFY2(log.last().startsWith(prefix), qPrintable(log.last()));
        const QString backup = log.last().mid(prefix.size()).section(QLatin1Char(';'), 0, 0);
        QCOMPARE(QFileInfo(backup).absolutePath(), keeping::backupsFolder(d.path()));
        QCOMPARE(keeping::describeBackup(backup).days, qint64(1));
        QVERIFY(log.last().endsWith(QStringLiteral("; the rows replaced are in the bin of deleted days.")));
        QCOMPARE(d.scalar(QStringLiteral("SELECT COMMENTS FROM [deleted days]")).toString(), QStringLiteral("old"));
        QCOMPARE(d.scalar(QStringLiteral("SELECT group_concat(COMMENTS || ':' || [OVERALL SCORE], ',') FROM records"))
                     .toString(),
                 QStringLiteral("again:5,old scale:12"));
    }

    void exportDays_onlyTheDaysTheFiltersShow()
    {
        TempHome home;
        TempDiary d(true);
        QVERIFY(diary::addSampleDays(d.path(), 20, QDate(2026, 6, 15), 5).isEmpty());
        MessageLog log;
        Answers answers;
        QTemporaryDir out;
        answers.savePath = out.filePath(QStringLiteral("days.csv"));
        frmMain w;
        w.load();
        w.show();
        w.cmdFilter_Click();
        // Hide all but the first three rows, as a filter does.
        for (int row = w.MSFlexGrid1->FixedRows() + 3; row < w.MSFlexGrid1->Rows(); ++row)
            w.MSFlexGrid1->setRowHeight(row, 0);
        w.mnuFileExport->trigger();
        QCOMPARE(answers.questions.size(), 1);
        QVERIFY2(log.last().startsWith(QStringLiteral("3 days were written")), qPrintable(log.last()));
        QFile f(answers.savePath);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().count("\r\n"), 4);
        QCOMPARE(int(f.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther)), 0);
    }

    // Exports and reports are proposed in the documents folder (else home),
    // named after their first and last day.
    void saveDialogs_startInDocumentsNamedAfterTheRange_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("documents"); // the folder exists
        QTest::addColumn<QStringList>("dates");
        QTest::addColumn<QString>("proposed"); // under the documents folder, else home
        const QStringList dates{QStringLiteral("2026-03-01"), QStringLiteral("2026-01-05"), QStringLiteral("31/12/29"),
                                QStringLiteral("2026-02-10")};
        QTest::newRow("export") << "mnuFileExport" << true << dates
                                << "Documents/MEALWISE-2026-01-05-to-2026-03-01.csv";
        QTest::newRow("export, no documents folder")
            << "mnuFileExport" << false << dates << "MEALWISE-2026-01-05-to-2026-03-01.csv";
        QTest::newRow("export, no calendar day")
            << "mnuFileExport" << true << QStringList{QStringLiteral("31/12/29")} << "Documents/MEALWISE-days.csv";
        QTest::newRow("report") << "mnuFileReportPdf" << true << dates
                                << "Documents/MEALWISE-2026-09-11-to-2026-12-09.pdf";
        QTest::newRow("report, no documents folder")
            << "mnuFileReportPdf" << false << dates << "MEALWISE-2026-09-11-to-2026-12-09.pdf";
    }
    void saveDialogs_startInDocumentsNamedAfterTheRange()
    {
        QFETCH(QString, item);
        QFETCH(bool, documents);
        QFETCH(QStringList, dates);
        QFETCH(QString, proposed);
        TempHome home;
        TempDiary d(true);
        for (const QString &date : dates) {
            const qint64 id = d.insertDay({{QStringLiteral("OVERALL SCORE"), 5}});
            QVERIFY(d.execPastChecks(QStringLiteral("UPDATE records SET DATE = ? WHERE ID = ?"), {date, id}));
        }
        if (documents)
            QVERIFY(QDir(home.path()).mkdir(QStringLiteral("Documents")));
        MessageLog log;
        Answers answers; // cancels each save dialog
        frmMain w;
        w.setTodayProvider([] { return QDate(2026, 12, 9); });
        w.load();
        w.findChild<QAction *>(item)->trigger();
        QCOMPARE(answers.suggestions, QStringList{QDir(home.path()).filePath(proposed)});
    }

    void autoBackup_beforeFirstDelete_andAtExitAfterAChange()
    {
        TempHome home;
        TempDiary d(true);
        QVERIFY(diary::addSampleDays(d.path(), 5, QDate(2026, 6, 15), 5).isEmpty());
        MessageLog log;
        app::AutoBackup::install(d.path());
        QVERIFY(app::AutoBackup::atExit(QDateTime::currentDateTime()).isEmpty());
        QCOMPARE(backups(d.path()).size(), 0); // nothing written, no backup
        {
            RowSet rs;
            QVERIFY(rs.open(d.path(), diary::recordsRecordSource()));
            QVERIFY(rs.Delete());
            QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));
            QCOMPARE(backups(d.path()).size(), 1);
            // The backup holds the day deleted.
            QCOMPARE(
                keeping::describeBackup(keeping::backupsFolder(d.path()) + QLatin1Char('/') + backups(d.path()).first())
                    .days,
                5);
            QVERIFY(rs.MoveFirst());
            QVERIFY(rs.Delete());
            QCOMPARE(backups(d.path()).size(), 1); // only before the first
        }
        QVERIFY(app::AutoBackup::changed());
        // A backup that fails at the end is told once, at the next start.
        QDir().rename(keeping::backupsFolder(d.path()), keeping::backupsFolder(d.path()) + QStringLiteral(".old"));
        QVERIFY(QFile(keeping::backupsFolder(d.path())).open(QIODevice::WriteOnly));
        QVERIFY(!app::AutoBackup::atExit(QDateTime::currentDateTime()).isEmpty());
        log.clear();
        app::checkAtStart(d.path());
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.last().startsWith(QStringLiteral("The backup at the end of the last run")),
                 qPrintable(log.last()));
        log.clear();
        app::checkAtStart(d.path());
        QVERIFY(log.messages.isEmpty());
        diary::setWriteHooks({});
    }

    void checkAtStart_offersNewestSoundBackup_changesNothingWithoutYes_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("no") << false;
        QTest::newRow("yes") << true;
    }
    void checkAtStart_offersNewestSoundBackup_changesNothingWithoutYes()
    {
        QFETCH(bool, yes);
        TempHome home;
        TempDiary d(true);
        QVERIFY(diary::addSampleDays(d.path(), 300, QDate(2026, 6, 15), 5).isEmpty());
        QVERIFY(keeping::backUp(d.path(), QDateTime(QDate(2026, 6, 14), QTime(8, 0))).ok());
        // A newer backup that is damaged is passed over.
        const QString newer = keeping::backupsFolder(d.path()) + QStringLiteral("/Records-2026-06-15-080000.mdb");
        QFile::copy(keeping::backupsFolder(d.path()) + QStringLiteral("/Records-2026-06-14-080000.mdb"), newer);
        QFile::resize(newer, 8192);
        QFile f(d.path());
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(4096 * 3);
        f.write(QByteArray(4096, '\x55'));
        f.close();
        const QByteArray damaged = [&] {
            QFile g(d.path());
            g.open(QIODevice::ReadOnly);
            return g.readAll();
        }();
        MessageLog log;
        Answers answers;
        answers.yes = yes;
        app::checkAtStart(d.path());
        QCOMPARE(answers.questions.size(), 1);
        QVERIFY2(answers.questions.first().contains(QStringLiteral("is damaged")),
                 qPrintable(answers.questions.first()));
        QVERIFY2(answers.questions.first().contains(QStringLiteral("made 14/06/26 08:00 with 300 days")),
                 qPrintable(answers.questions.first()));
        const QByteArray now = [&] {
            QFile g(d.path());
            g.open(QIODevice::ReadOnly);
            return g.readAll();
        }();
        if (yes) {
            QVERIFY(keeping::checkDiary(d.path(), keeping::CheckDepth::Full).ok);
            QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 300);
            QVERIFY(
                !QDir(keeping::backupsFolder(d.path())).entryList({QStringLiteral("Records-Damaged-*.mdb")}).isEmpty());
        } else {
            QCOMPARE(now, damaged);
            QVERIFY(log.messages.isEmpty());
        }
    }
};

QTEST_MAIN(tst_KeepingWindows)
#include "tst_keepingwindows.moc"
