// Bad diary files at start: every window that cannot open its data says what
// is wrong and with which file, nothing crashes, and no file is created or
// changed (contents, size, mode and modification time compared).
#include "app/frmmain.h"
#include "data/diaryconnection.h"
#include "data/diaryschema.h"
#include "entry/adodc.h"
#include "entry/food.h"
#include "entry/frmrecords.h"
#include "platform/flexgrid.h"
#include "robusthelpers.h"
#include "testsupport.h"

#include <QApplication>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using testing_support::MessageLog;
using testing_support::TempHome;

namespace {

enum class Bad {
    MissingFolder,
    MissingFile,
    FolderInstead,
    Empty,
    RandomSmall,
    RandomPage,
    RandomLarge,
    HeaderThenGarbage,
    TruncatedHalf,
    TruncatedFirstPage,
    TruncatedInHeader,
    NoRecordsTable,
    NoFoodTable,
    NoColumn,
    NoQuery,
    ReadOnly,
    Unreadable,
    Busy,
    WalInReadOnlyFolder,
};

// Another program holding the diary's write lock (Bad::Busy).
QProcess *s_holder = nullptr;

bool runSql(const QString &path, const QStringList &statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("arrange"));
        db.setDatabaseName(path);
        ok = db.open();
        for (const QString &s : statements) {
            if (!ok)
                break;
            QSqlQuery q(db);
            ok = q.exec(s);
            if (!ok)
                qWarning("%s: %s", qPrintable(s), qPrintable(q.lastError().text()));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("arrange"));
    return ok;
}

// A good diary with some days, as the setup program makes it.
bool goodDiary(const QString &path, int days)
{
    return diary::createDiary(path).isEmpty() && diary::addSampleDays(path, days, QDate::currentDate(), 7).isEmpty();
}

bool arrange(Bad bad, const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (bad == Bad::MissingFolder)
        return true;
    if (!QDir().mkpath(folder))
        return false;
    switch (bad) {
    case Bad::MissingFolder:
    case Bad::MissingFile:
        return true;
    case Bad::FolderInstead:
        return QDir().mkpath(path);
    case Bad::Empty:
        return robust::writeAll(path, QByteArray());
    case Bad::RandomSmall:
        return robust::writeAll(path, robust::randomBytes(11, 1));
    case Bad::RandomPage:
        return robust::writeAll(path, robust::randomBytes(12, 4096));
    case Bad::RandomLarge:
        return robust::writeAll(path, robust::randomBytes(13, 200000));
    case Bad::HeaderThenGarbage: {
        if (!goodDiary(path, 50))
            return false;
        QByteArray bytes = robust::readAll(path);
        const QByteArray noise = robust::randomBytes(14, int(bytes.size()) - 100);
        bytes.replace(100, noise.size(), noise);
        return robust::writeAll(path, bytes);
    }
    case Bad::TruncatedHalf:
    case Bad::TruncatedFirstPage:
    case Bad::TruncatedInHeader: {
        if (!goodDiary(path, 400))
            return false;
        const qint64 size = QFileInfo(path).size();
        const qint64 keep = bad == Bad::TruncatedHalf ? size / 2 : (bad == Bad::TruncatedFirstPage ? 4096 : 60);
        return ::truncate(QFile::encodeName(path).constData(), keep) == 0;
    }
    case Bad::NoRecordsTable:
        return goodDiary(path, 5) &&
               runSql(path, {QStringLiteral("DROP VIEW [Diary Query]"), QStringLiteral("DROP TABLE records")});
    case Bad::NoFoodTable:
        return goodDiary(path, 5) && runSql(path, {QStringLiteral("DROP TABLE [FOOD AND MEDICATION]")});
    case Bad::NoColumn:
        // `records` without BMs: the ranking query and the daily record
        // window's select both name it.
        return goodDiary(path, 5) &&
               runSql(path, {QStringLiteral("DROP VIEW [Diary Query]"),
                             QStringLiteral("ALTER TABLE records DROP COLUMN BMs"), diary::createDiaryQuerySql()});
    case Bad::NoQuery:
        return goodDiary(path, 5) && runSql(path, {QStringLiteral("DROP VIEW [Diary Query]")});
    case Bad::Unreadable:
        return goodDiary(path, 5) && ::chmod(QFile::encodeName(path).constData(), 0) == 0;
    case Bad::Busy:
        if (!goodDiary(path, 5))
            return false;
        s_holder->start(QStringLiteral("sqlite3"), {path});
        s_holder->write("BEGIN EXCLUSIVE;\nSELECT 'locked';\n");
        return s_holder->waitForReadyRead(10000) && s_holder->readAllStandardOutput().contains("locked");
    case Bad::WalInReadOnlyFolder:
        return goodDiary(path, 5) && runSql(path, {QStringLiteral("PRAGMA journal_mode = WAL")}) &&
               ::chmod(QFile::encodeName(folder).constData(), 0500) == 0;
    case Bad::ReadOnly:
        return goodDiary(path, 5) && ::chmod(QFile::encodeName(path).constData(), 0400) == 0 &&
               ::chmod(QFile::encodeName(folder).constData(), 0500) == 0;
    }
    return false;
}

void closeAndDelete(QWidget *w)
{
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

Q_DECLARE_METATYPE(Bad)

class tst_BadFiles : public QObject
{
    Q_OBJECT

private slots:
    void badFile_everyWindowSaysWhatAndWhichFileAndChangesNothing_data()
    {
        QTest::addColumn<Bad>("bad");
        QTest::addColumn<bool>("mainFails");
        QTest::addColumn<bool>("recordsFail");
        QTest::addColumn<bool>("foodFails");
        // Words the message of the first window that fails must hold.
        QTest::addColumn<QString>("what");
        // Whether it may call the file no diary and point to mealwise-setup.
        QTest::addColumn<bool>("noDiary");

        const QString notExist = QStringLiteral("does not exist");
        const QString notDiary = QStringLiteral("not a MEALWISE diary");
        const QString query = QStringLiteral("Diary Query");
        QTest::newRow("folder missing") << Bad::MissingFolder << true << true << true << notExist << true;
        QTest::newRow("file missing") << Bad::MissingFile << true << true << true << notExist << true;
        QTest::newRow("a folder in its place")
            << Bad::FolderInstead << true << true << true << QStringLiteral("not a file") << true;
        QTest::newRow("empty file") << Bad::Empty << true << true << true << query << true;
        // SQLite reads a file shorter than its header as an empty database.
        QTest::newRow("one random byte") << Bad::RandomSmall << true << true << true << query << true;
        QTest::newRow("random page") << Bad::RandomPage << true << true << true << notDiary << true;
        QTest::newRow("200 kB random") << Bad::RandomLarge << true << true << true << notDiary << true;
        QTest::newRow("header then garbage") << Bad::HeaderThenGarbage << true << true << true
                                             << QStringLiteral("damaged (database disk image is malformed)") << false;
        QTest::newRow("truncated to half") << Bad::TruncatedHalf << true << true << true
                                           << QStringLiteral("damaged (database disk image is malformed)") << false;
        QTest::newRow("truncated to first page")
            << Bad::TruncatedFirstPage << true << true << true
            << QStringLiteral("damaged (database disk image is malformed)") << false;
        QTest::newRow("truncated inside header")
            << Bad::TruncatedInHeader << true << true << true
            << QStringLiteral("damaged (database disk image is malformed)") << false;
        QTest::newRow("no records table") << Bad::NoRecordsTable << true << true << false << query << true;
        QTest::newRow("no food table") << Bad::NoFoodTable << false << false << true
                                       << QStringLiteral("FOOD AND MEDICATION") << true;
        QTest::newRow("no BMs column") << Bad::NoColumn << true << true << false << QStringLiteral("BMs") << true;
        QTest::newRow("no ranking query") << Bad::NoQuery << true << false << false << query << true;
        QTest::newRow("read-only file") << Bad::ReadOnly << false << false << false << QString() << false;
        const QString busy = QStringLiteral(
            "in use by another program, which holds it locked (database is locked). Close that program and try again");
        QTest::newRow("held locked by another program") << Bad::Busy << true << true << true << busy << false;
        QTest::newRow("unreadable file") << Bad::Unreadable << true << true << true << QStringLiteral("cannot be read")
                                         << false;
        QTest::newRow("WAL diary in a read-only folder")
            << Bad::WalInReadOnlyFolder << true << true << true
            << QStringLiteral("it keeps a write-ahead log beside it") << false;
    }

    void badFile_everyWindowSaysWhatAndWhichFileAndChangesNothing()
    {
        QFETCH(Bad, bad);
        QFETCH(bool, mainFails);
        QFETCH(bool, recordsFail);
        QFETCH(bool, foodFails);
        QFETCH(QString, what);
        QFETCH(bool, noDiary);

        // Opening waits for a lock as long as the program would, only shorter.
        diary::Connection::setOpenTimeoutMs(300);
        QProcess holder;
        s_holder = &holder;
        const auto release = qScopeGuard([&holder] {
            diary::Connection::setOpenTimeoutMs(diary::Connection::kConnectionTimeoutMs);
            if (holder.state() == QProcess::Running) {
                holder.write("ROLLBACK;\n.quit\n");
                holder.closeWriteChannel();
                holder.waitForFinished(10000);
            }
        });

        TempHome home;
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString path = root.filePath(QStringLiteral("MEALWISE/Records.mdb"));
        QVERIFY(arrange(bad, path));
        const auto before = robust::snapshot(root.path());

        MessageLog log;
        auto *main = new frmMain(path);
        main->setAttribute(Qt::WA_DeleteOnClose);
        main->load();
        main->show();
        if (mainFails) {
            QCOMPARE(log.messages.size(), 1);
            qInfo("main window: %s", qPrintable(log.last()));
            QVERIFY2(log.last().contains(path), qPrintable(log.last()));
            QVERIFY2(log.last().contains(what), qPrintable(log.last()));
            // A new diary is suggested only where there is no diary, and
            // never over the file that is there.
            QCOMPARE(log.last().contains(QLatin1String("mealwise-setup")), noDiary);
            QCOMPARE(log.last().contains(QLatin1String("not a MEALWISE diary")),
                     noDiary && bad != Bad::MissingFile && bad != Bad::MissingFolder && bad != Bad::FolderInstead);
            QCOMPARE(main->MSFlexGrid1->Rows(), main->MSFlexGrid1->FixedRows());
        } else {
            QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));
            QCOMPARE(main->MSFlexGrid1->Rows(), main->MSFlexGrid1->FixedRows() + 5);
        }

        // The daily record window, then the food and medication window.
        log.clear();
        auto *records = new frmrecords(main->MSFlexGrid1, path);
        records->show();
        if (recordsFail) {
            QCOMPARE(log.messages.size(), 1);
            QVERIFY2(log.last().contains(path), qPrintable(log.last()));
            if (!noDiary)
                QVERIFY2(log.last().contains(what), qPrintable(log.last()));
            QCOMPARE(log.last().contains(QLatin1String("mealwise-setup")), noDiary);
            QVERIFY(!records->datPrimaryRS->Recordset()->isOpen());
        } else {
            QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));
            QCOMPARE(records->datPrimaryRS->Recordset()->RecordCount(), 5);
        }
        // Buttons on a window without data explain and do nothing.
        log.clear();
        if (recordsFail) {
            records->cmdAdd_Click();
            records->cmdUpdate_Click();
            records->cmdDelete_Click();
            QCOMPARE(log.messages.size(), 3);
        }

        log.clear();
        auto *food = new FOOD(path);
        food->show();
        if (foodFails) {
            QCOMPARE(log.messages.size(), 1);
            qInfo("food window: %s", qPrintable(log.last()));
            QVERIFY2(log.last().contains(path), qPrintable(log.last()));
            if (!mainFails && !recordsFail)
                QVERIFY2(log.last().contains(what), qPrintable(log.last()));
        } else {
            QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));
        }

        // The main window closes the others as it goes.
        log.clear();
        closeAndDelete(main);
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.last()));

        const auto after = robust::snapshot(root.path());
        QCOMPARE(after, before);

        // Let the temporary folder go.
        ::chmod(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), 0700);
        ::chmod(QFile::encodeName(path).constData(), 0600);
    }
};

int main(int argc, char *argv[])
{
    // Modes must bind, which they do not for root.
    if (!robust::runAsOrdinaryUser()) {
        fprintf(stderr, "could not leave the root account\n");
        return 1;
    }
    QApplication app(argc, argv);
    tst_BadFiles t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_badfiles.moc"
