// Faults while writing: each gives one clear message, the edit stays pending,
// nothing else in the file changes, and Update after the fault is gone writes
// the edit. Runs as an ordinary user so that file modes bind.
#include "data/diaryconnection.h"
#include "data/diarynames.h"
#include "data/diaryschema.h"
#include "entry/adodc.h"
#include "entry/frmrecords.h"
#include "robusthelpers.h"
#include "testsupport.h"

#include <QApplication>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

#include <QElapsedTimer>

#include <atomic>
#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <thread>

using testing_support::MessageLog;

namespace {

QList<QVariantList> query(const QString &path, const QString &sql)
{
    QList<QVariantList> out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql)) {
                while (q.next()) {
                    QVariantList row;
                    for (int i = 0; i < q.record().count(); ++i)
                        row << q.value(i);
                    out << row;
                }
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return out;
}

QList<QVariantList> days(const QString &path)
{
    return query(path, QStringLiteral("SELECT * FROM records ORDER BY ID"));
}

int chmodPath(const QString &path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode);
}

struct Fixture
{
    QTemporaryDir root;
    QString folder;
    QString path;
    bool make(int sampleDays)
    {
        folder = root.filePath(QStringLiteral("MEALWISE"));
        path = folder + QStringLiteral("/Records.mdb");
        return diary::createDiary(path).isEmpty() &&
               diary::addSampleDays(path, sampleDays, QDate::currentDate(), 5).isEmpty();
    }
};

} // namespace

class tst_WriteFaults : public QObject
{
    Q_OBJECT

    // One edit of the first day's BREAKFAST through the window, Update
    // refused by `fault`, then written once `mend` has run.
    void faultThenMend(const std::function<void(Fixture &)> &fault, const std::function<void(Fixture &)> &mend,
                       const QStringList &messageWords, bool namesTheFile = false, bool faultBeforeOpening = false)
    {
        Fixture f;
        QVERIFY(f.make(6));
        if (faultBeforeOpening)
            fault(f);
        MessageLog log;
        auto *w = new frmrecords(nullptr, f.path);
        w->show();
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));
        RowSet *rs = w->datPrimaryRS->Recordset();
        QVERIFY(rs->hasCurrentRow());
        const qint64 id = rs->field(QStringLiteral("ID")).toLongLong();
        const QList<QVariantList> before = days(f.path);

        QVERIFY(rs->setField(QStringLiteral("BREAKFAST"), QStringLiteral("porridge after the fault")));
        if (!faultBeforeOpening)
            fault(f);
        w->cmdUpdate_Click();
        QCOMPARE(log.messages.size(), 1);
        qInfo("message: %s", qPrintable(log.last()));
        for (const QString &word : messageWords)
            QVERIFY2(log.last().contains(word, Qt::CaseInsensitive), qPrintable(log.last()));
        if (namesTheFile)
            QVERIFY2(log.last().contains(f.path), qPrintable(log.last()));
        QVERIFY(rs->hasPendingChanges());
        QCOMPARE(rs->field(QStringLiteral("BREAKFAST")).toString(), QStringLiteral("porridge after the fault"));

        mend(f);
        QCOMPARE(days(f.path), before); // nothing half-written
        log.clear();
        w->cmdUpdate_Click();
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));
        QVERIFY(!rs->hasPendingChanges());
        const QList<QVariantList> after = days(f.path);
        QCOMPARE(after.size(), before.size());
        for (int i = 0; i < after.size(); ++i) {
            if (after.at(i).at(8).toLongLong() == id)
                QCOMPARE(after.at(i).at(5).toString(), QStringLiteral("porridge after the fault"));
            else
                QCOMPARE(after.at(i), before.at(i));
        }
        w->close();
        QCOMPARE(log.messages.size(), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(::geteuid() == 0, false);
        ::signal(SIGXFSZ, SIG_IGN); // a write past the file size limit fails instead of killing
    }

    void connectionWaitsForLocksIsDurableAndNeverCreates()
    {
        // The lock test below shortens the wait; the program itself must not.
        // A crash cannot show lost durability (the system keeps the written
        // pages), so the settings that give it are checked here.
        Fixture f;
        QVERIFY(f.make(1));
        QCOMPARE(diary::Connection::busyTimeoutMs(), 30000);
        QString error;
        auto connection = diary::Connection::open(f.path, &error);
        QVERIFY2(connection, qPrintable(error));
        QSqlQuery q(connection->database());
        // Opening waits the connection timeout; commands after it, longer.
        QVERIFY(q.exec(QStringLiteral("PRAGMA busy_timeout")) && q.next());
        QCOMPARE(q.value(0).toInt(), 15000);
        connection->finishOpening();
        QVERIFY(q.exec(QStringLiteral("PRAGMA busy_timeout")) && q.next());
        QCOMPARE(q.value(0).toInt(), 30000);
        QVERIFY(q.exec(QStringLiteral("PRAGMA synchronous")) && q.next());
        QCOMPARE(q.value(0).toInt(), 2); // FULL
        QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("delete"));
        QVERIFY(connection->database().databaseName().endsWith(QLatin1String("?mode=rw")));
    }

    void folderMadeReadOnlyWhileOpen()
    {
        faultThenMend([](Fixture &f) { QCOMPARE(chmodPath(f.folder, 0500), 0); },
                      [](Fixture &f) { QCOMPARE(chmodPath(f.folder, 0700), 0); },
                      {QStringLiteral("not saved"), QStringLiteral("cannot be written")}, true);
    }

    void folderRemovedWhileOpen()
    {
        // Moved away, as when its disk goes; then put back.
        faultThenMend([](Fixture &f) { QVERIFY(QDir().rename(f.folder, f.folder + QStringLiteral(".gone"))); },
                      [](Fixture &f) { QVERIFY(QDir().rename(f.folder + QStringLiteral(".gone"), f.folder)); },
                      {QStringLiteral("not saved")}, true);
    }

    void lockedByAnotherProcessPastTheBusyTimeout()
    {
        // Past the wait is past the wait, however long it is; a short one
        // keeps the suite quick.
        diary::Connection::setBusyTimeoutMs(300);
        const auto restore =
            qScopeGuard([] { diary::Connection::setBusyTimeoutMs(diary::Connection::kCommandTimeoutMs); });
        QProcess holder;
        faultThenMend(
            [&holder](Fixture &f) {
                // Another program holds the write lock for longer than the wait.
                holder.start(QStringLiteral("sqlite3"), {f.path});
                QVERIFY(holder.waitForStarted());
                holder.write("BEGIN EXCLUSIVE;\nSELECT 'locked';\n");
                QVERIFY(holder.waitForReadyRead(10000));
                QVERIFY(holder.readAllStandardOutput().contains("locked"));
            },
            [&holder](Fixture &) {
                holder.write("ROLLBACK;\n.quit\n");
                holder.closeWriteChannel();
                QVERIFY(holder.waitForFinished(10000));
            },
            {QStringLiteral("locked"), QStringLiteral("in use by another program")}, true);
    }

    void openingWaitsTheConnectionTimeoutWithTheBusyCursor()
    {
        // Both waits shortened in proportion: opening must give up after its
        // own wait, well before a command's.
        diary::Connection::setOpenTimeoutMs(600);
        diary::Connection::setBusyTimeoutMs(6000);
        QProcess holder;
        const auto restore = qScopeGuard([&holder] {
            diary::Connection::setOpenTimeoutMs(diary::Connection::kConnectionTimeoutMs);
            diary::Connection::setBusyTimeoutMs(diary::Connection::kCommandTimeoutMs);
            holder.write("ROLLBACK;\n.quit\n");
            holder.closeWriteChannel();
            holder.waitForFinished(10000);
        });
        Fixture f;
        QVERIFY(f.make(2));
        holder.start(QStringLiteral("sqlite3"), {f.path});
        QVERIFY(holder.waitForStarted());
        holder.write("BEGIN EXCLUSIVE;\nSELECT 'locked';\n");
        QVERIFY(holder.waitForReadyRead(10000));

        // What the user sees while the window waits, looked at from aside.
        std::atomic<bool> waiting{true};
        std::atomic<bool> sawBusyCursor{false};
        std::thread watcher([&] {
            while (waiting) {
                const QCursor *c = QGuiApplication::overrideCursor();
                if (c && c->shape() == Qt::WaitCursor)
                    sawBusyCursor = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        MessageLog log;
        QElapsedTimer timer;
        timer.start();
        auto *w = new frmrecords(nullptr, f.path);
        const qint64 elapsed = timer.elapsed();
        waiting = false;
        watcher.join();
        QVERIFY(sawBusyCursor);
        QVERIFY(!QGuiApplication::overrideCursor()); // gone once the wait is over
        QVERIFY2(elapsed >= 500 && elapsed < 4000, qPrintable(QString::number(elapsed)));
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.last().contains(QLatin1String("in use by another program")), qPrintable(log.last()));
        QVERIFY2(log.last().contains(f.path), qPrintable(log.last()));
        QVERIFY2(!log.last().contains(QLatin1String("mealwise-setup")), qPrintable(log.last()));
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void fileReplacedWhileOpen_refusedThenRefreshReadsIt()
    {
        Fixture f;
        QVERIFY(f.make(4));
        MessageLog log;
        auto *w = new frmrecords(nullptr, f.path);
        w->show();
        RowSet *rs = w->datPrimaryRS->Recordset();
        // A restore: another diary of one day moved over this one.
        const QString other = f.root.filePath(QStringLiteral("restored.mdb"));
        QVERIFY(diary::createDiary(other).isEmpty() &&
                diary::addSampleDays(other, 1, QDate::currentDate(), 9).isEmpty());
        QVERIFY(::rename(QFile::encodeName(other).constData(), QFile::encodeName(f.path).constData()) == 0);
        const QList<QVariantList> restored = days(f.path);

        QVERIFY(rs->setField(QStringLiteral("BREAKFAST"), QStringLiteral("porridge")));
        w->cmdUpdate_Click();
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.last().contains(QLatin1String("replaced by another program")), qPrintable(log.last()));
        QVERIFY2(log.last().contains(QLatin1String("Refresh reads")), qPrintable(log.last()));
        QVERIFY(rs->hasPendingChanges());
        QCOMPARE(days(f.path), restored);
        rs->CancelBatch();
        log.clear();
        w->cmdRefresh_Click();
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));
        QCOMPARE(rs->RecordCount(), 1);
        QVERIFY(rs->setField(QStringLiteral("BREAKFAST"), QStringLiteral("porridge")));
        w->cmdUpdate_Click();
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));
        QCOMPARE(days(f.path).value(0).value(5).toString(), QStringLiteral("porridge"));
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void fileWriteProtectedAtOpening_thenMadeWritable()
    {
        // The window opens the diary read-only; once the user makes the file
        // writable, Update writes without reopening the window.
        faultThenMend([](Fixture &f) { QCOMPARE(chmodPath(f.path, 0400), 0); },
                      [](Fixture &f) { QCOMPARE(chmodPath(f.path, 0600), 0); }, {QStringLiteral("cannot be written")},
                      true, true);
    }

    void fileWriteProtectedAtOpening_thenMadeWritable_deletes()
    {
        Fixture f;
        QVERIFY(f.make(3));
        QCOMPARE(chmodPath(f.path, 0400), 0);
        MessageLog log;
        auto *w = new frmrecords(nullptr, f.path);
        w->show();
        RowSet *rs = w->datPrimaryRS->Recordset();
        const qint64 id = rs->field(QStringLiteral("ID")).toLongLong();
        w->cmdDelete_Click();
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.last().contains(QLatin1String("cannot be written")), qPrintable(log.last()));
        QCOMPARE(days(f.path).size(), 3);

        QCOMPARE(chmodPath(f.path, 0600), 0);
        log.clear();
        QCOMPARE(rs->field(QStringLiteral("ID")).toLongLong(), id);
        w->cmdDelete_Click();
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));
        QCOMPARE(query(f.path, QStringLiteral("SELECT count(*) FROM records WHERE ID = %1").arg(id))
                     .value(0)
                     .value(0)
                     .toInt(),
                 0);
        QCOMPARE(days(f.path).size(), 2);
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void fullDisk_data()
    {
        QTest::addColumn<bool>("fileSizeLimit");
        QTest::addColumn<QString>("words");
        // No file may grow past the diary's present size, as on a full file
        // system: SQLite sees a failed write.
        QTest::newRow("file system full") << true << QStringLiteral("disk is not full");
        // The diary may not grow by a page: SQLite's own "full" result.
        QTest::newRow("diary at its size limit") << false << QStringLiteral("make room");
    }
    void fullDisk()
    {
        QFETCH(bool, fileSizeLimit);
        QFETCH(QString, words);
        Fixture f;
        QVERIFY(f.make(3));
        MessageLog log;
        auto *w = new frmrecords(nullptr, f.path);
        w->show();
        RowSet *rs = w->datPrimaryRS->Recordset();
        const QList<QVariantList> before = days(f.path);
        rs->setLockType(RowSet::adLockBatchOptimistic);
        for (int i = 0; i < 200; ++i) {
            QVERIFY(rs->AddNew());
            QVERIFY(rs->setField(QStringLiteral("COMMENTS"), QString(200, QLatin1Char('a' + i % 26))));
            QVERIFY(rs->setField(QStringLiteral("LUNCH"), QString(200, QLatin1Char('z' - i % 26))));
        }
        struct rlimit old
        {
        };
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto limit = [&](bool limited) {
            if (fileSizeLimit) {
                struct rlimit full = old;
                full.rlim_cur = rlim_t(QFileInfo(f.path).size());
                QCOMPARE(::setrlimit(RLIMIT_FSIZE, limited ? &full : &old), 0);
                return;
            }
            for (const QString &name : QSqlDatabase::connectionNames()) {
                QSqlQuery q(QSqlDatabase::database(name, false));
                QVERIFY(q.exec(QStringLiteral("PRAGMA page_count")) && q.next());
                const qint64 pages = q.value(0).toLongLong();
                QVERIFY(q.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(limited ? pages : 1073741823)));
            }
        };
        limit(true);
        w->cmdUpdate_Click();
        limit(false);
        QCOMPARE(log.messages.size(), 1);
        qInfo("message: %s", qPrintable(log.last()));
        QVERIFY2(log.last().contains(QLatin1String("saved")), qPrintable(log.last()));
        QVERIFY2(log.last().contains(words), qPrintable(log.last()));
        QVERIFY2(log.last().contains(f.path), qPrintable(log.last()));
        QCOMPARE(rs->pendingRowCount(), 200);
        QCOMPARE(query(f.path, QStringLiteral("PRAGMA integrity_check")).value(0).value(0).toString(),
                 QStringLiteral("ok"));
        QCOMPARE(days(f.path), before);

        log.clear();
        w->cmdUpdate_Click();
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));
        QCOMPARE(days(f.path).size(), before.size() + 200);
        // Written as typed, not as emptied rows.
        QCOMPARE(query(f.path, QStringLiteral("SELECT count(*) FROM records WHERE length(COMMENTS) = 200 AND "
                                              "length(LUNCH) = 200"))
                     .value(0)
                     .value(0)
                     .toInt(),
                 200);
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void readOnlyDiary_opensForReadingAndUpdateExplains()
    {
        Fixture f;
        QVERIFY(f.make(4));
        QCOMPARE(chmodPath(f.path, 0400), 0);
        const auto files = robust::snapshot(f.root.path());
        MessageLog log;
        auto *w = new frmrecords(nullptr, f.path);
        w->show();
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));
        RowSet *rs = w->datPrimaryRS->Recordset();
        QCOMPARE(rs->RecordCount(), 4);
        QVERIFY(rs->setField(QStringLiteral("TEA"), QStringLiteral("soup")));
        w->cmdUpdate_Click();
        QCOMPARE(log.messages.size(), 1);
        qInfo("message: %s", qPrintable(log.last()));
        QVERIFY2(log.last().contains(QLatin1String("cannot be written")), qPrintable(log.last()));
        QVERIFY(rs->hasPendingChanges());
        QCOMPARE(robust::snapshot(f.root.path()), files);
        log.clear();
        w->close(); // the edit cannot be kept: closing says so
        QCOMPARE(log.messages.size(), 1);
        qInfo("message: %s", qPrintable(log.last()));
        QCOMPARE(robust::snapshot(f.root.path()), files);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        chmodPath(f.path, 0600);
    }
};

int main(int argc, char *argv[])
{
    if (!robust::runAsOrdinaryUser()) {
        fprintf(stderr, "could not leave the root account\n");
        return 1;
    }
    QApplication app(argc, argv);
    tst_WriteFaults t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_writefaults.moc"
