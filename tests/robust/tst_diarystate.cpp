// The one judgement of a diary's state: a sound diary is never called damaged,
// whatever a crash, a lock, a link or a write-protected file did to it; only
// SQLite's own finding of damage is damage, and only then is a restore worth
// offering. Runs as an ordinary user, so that file modes bind.
#include "app/keeping/choosers.h"
#include "app/startcheck.h"
#include "cli/diarycli.h"
#include "clirun.h"
#include "data/diaryschema.h"
#include "keeping/backups.h"
#include "keeping/diarycheck.h"
#include "keeping/exchange.h"
#include "keeping/restore.h"
#include "robusthelpers.h"
#include "testsupport.h"

#include <QApplication>
#include <QDateTime>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using keeping::DiaryState;

namespace {

const QDate kToday(2026, 6, 15);

enum class Arrange {
    Sound,
    CrashMidWrite,
    CrashMidWriteReadOnlyFile,
    CrashMidWriteReadOnlyFolder,
    ReadOnlyFile,
    HeldLocked,
    LinkToDiary,
    LinkToNothing,
    AccessFile,
    EmptyFile,
    NotSqlite,
    PageDamaged,
    NoRecordsTable,
    Folder,
    Fifo,
    Unreadable,
};

bool chmodPath(const QString &path, int mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

// A child writes a change of every row and dies before it commits, with
// pages of the change already in the file: the journal beside it is hot.
bool crashMidWrite(const QString &path)
{
    const pid_t child = ::fork();
    if (child == 0) {
        sqlite3 *db = nullptr;
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            ::_exit(2);
        sqlite3_exec(db, "PRAGMA cache_size = 2; BEGIN; UPDATE records SET COMMENTS = hex(randomblob(1500));", nullptr,
                     nullptr, nullptr);
        ::_exit(0); // no commit, no close: as a kill -9 leaves it
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
           keeping::hasHotJournal(path);
}

qint64 countWhere(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    qint64 n = -1;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
            n = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return n;
}

} // namespace

class tst_DiaryState : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    sqlite3 *m_holder = nullptr;

    QString arrange(Arrange a, QString *diaryPath)
    {
        const QString folder = m_dir->filePath(QStringLiteral("MEALWISE"));
        QDir().mkpath(folder);
        const QString path = folder + QStringLiteral("/Records.mdb");
        *diaryPath = path;
        auto diary = [&](const QString &at) {
            return diary::createDiary(at).isEmpty() && diary::addSampleDays(at, 300, kToday, 7).isEmpty();
        };
        switch (a) {
        case Arrange::Sound:
            return diary(path) ? QString() : QStringLiteral("setup");
        case Arrange::CrashMidWrite:
            return diary(path) && crashMidWrite(path) ? QString() : QStringLiteral("crash");
        case Arrange::CrashMidWriteReadOnlyFile:
            return diary(path) && crashMidWrite(path) && chmodPath(path, 0400) ? QString() : QStringLiteral("crash");
        case Arrange::CrashMidWriteReadOnlyFolder:
            return diary(path) && crashMidWrite(path) && chmodPath(folder, 0500) ? QString() : QStringLiteral("crash");
        case Arrange::ReadOnlyFile:
            return diary(path) && chmodPath(path, 0400) && chmodPath(folder, 0500) ? QString()
                                                                                   : QStringLiteral("chmod");
        case Arrange::HeldLocked:
            if (!diary(path) || sqlite3_open(QFile::encodeName(path).constData(), &m_holder) != SQLITE_OK)
                return QStringLiteral("holder");
            return sqlite3_exec(m_holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK
                       ? QString()
                       : QStringLiteral("lock");
        case Arrange::LinkToDiary: {
            const QString real = m_dir->filePath(QStringLiteral("Cloud-Real.mdb"));
            return diary(real) && QFile::link(real, path) ? QString() : QStringLiteral("link");
        }
        case Arrange::LinkToNothing:
            return QFile::link(m_dir->filePath(QStringLiteral("gone.mdb")), path) ? QString() : QStringLiteral("link");
        case Arrange::AccessFile:
            return robust::writeAll(path, QByteArray("\0\1\0\0Standard Jet DB\0", 20) + QByteArray(4076, '\0'))
                       ? QString()
                       : QStringLiteral("write");
        case Arrange::EmptyFile:
            return robust::writeAll(path, {}) ? QString() : QStringLiteral("write");
        case Arrange::NotSqlite:
            return robust::writeAll(path, robust::randomBytes(7, 8192)) ? QString() : QStringLiteral("write");
        case Arrange::PageDamaged: {
            if (!diary(path))
                return QStringLiteral("setup");
            QByteArray bytes = robust::readAll(path);
            bytes.replace(4096 * 3, 4096, QByteArray(4096, '\x55'));
            return robust::writeAll(path, bytes) ? QString() : QStringLiteral("write");
        }
        case Arrange::NoRecordsTable: {
            if (!diary(path))
                return QStringLiteral("setup");
            sqlite3 *db = nullptr;
            sqlite3_open(QFile::encodeName(path).constData(), &db);
            const int rc = sqlite3_exec(db, "DROP VIEW [Diary Query]; DROP TABLE records;", nullptr, nullptr, nullptr);
            sqlite3_close(db);
            return rc == SQLITE_OK ? QString() : QStringLiteral("drop");
        }
        case Arrange::Folder:
            return QDir().mkpath(path) ? QString() : QStringLiteral("mkdir");
        case Arrange::Fifo:
            return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 ? QString() : QStringLiteral("mkfifo");
        case Arrange::Unreadable:
            return diary(path) && chmodPath(path, 0) ? QString() : QStringLiteral("chmod");
        }
        return QStringLiteral("?");
    }

private slots:
    void init() { m_dir = new QTemporaryDir; }
    void cleanup()
    {
        if (m_holder) {
            sqlite3_exec(m_holder, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(m_holder);
            m_holder = nullptr;
        }
        const QString folder = m_dir->filePath(QStringLiteral("MEALWISE"));
        chmodPath(folder, 0700);
        chmodPath(folder + QStringLiteral("/Records.mdb"), 0600);
        delete m_dir;
    }

    void judgement_saysWhatTheFileIs_data()
    {
        QTest::addColumn<Arrange>("arrange");
        QTest::addColumn<DiaryState>("state");
        QTest::addColumn<bool>("restorable");
        QTest::addColumn<QString>("words");
        QTest::newRow("sound") << Arrange::Sound << DiaryState::Sound << false << QStringLiteral("is sound");
        QTest::newRow("after a crash mid-write")
            << Arrange::CrashMidWrite << DiaryState::Sound << false << QStringLiteral("is sound");
        QTest::newRow("after a crash, file write-protected")
            << Arrange::CrashMidWriteReadOnlyFile << DiaryState::UndoWaits << false
            << QStringLiteral("an interrupted change waits to be undone");
        QTest::newRow("after a crash, folder write-protected")
            << Arrange::CrashMidWriteReadOnlyFolder << DiaryState::UndoWaits << false
            << QStringLiteral("Open the diary where it can be written");
        QTest::newRow("write-protected, nothing to undo")
            << Arrange::ReadOnlyFile << DiaryState::Sound << false << QStringLiteral("is sound");
        QTest::newRow("held locked by another program")
            << Arrange::HeldLocked << DiaryState::Busy << false << QStringLiteral("is in use by another program");
        QTest::newRow("a link to a diary")
            << Arrange::LinkToDiary << DiaryState::Sound << false << QStringLiteral("(a link to ");
        QTest::newRow("a link to nothing")
            << Arrange::LinkToNothing << DiaryState::Missing << false << QStringLiteral("leads nowhere");
        QTest::newRow("an Access file") << Arrange::AccessFile << DiaryState::Access << false
                                        << QStringLiteral("is an Access database");
        QTest::newRow("an empty file") << Arrange::EmptyFile << DiaryState::NotADiary << true
                                       << QStringLiteral("the file is empty");
        QTest::newRow("not SQLite at all")
            << Arrange::NotSqlite << DiaryState::Damaged << true << QStringLiteral("is damaged");
        QTest::newRow("a page overwritten")
            << Arrange::PageDamaged << DiaryState::Damaged << true << QStringLiteral("is damaged");
        QTest::newRow("another program's database") << Arrange::NoRecordsTable << DiaryState::NotADiary << false
                                                    << QStringLiteral("the table records is missing");
        QTest::newRow("a folder") << Arrange::Folder << DiaryState::NotAFile << false
                                  << QStringLiteral("it is a folder");
        QTest::newRow("a pipe") << Arrange::Fifo << DiaryState::NotAFile << false << QStringLiteral("a pipe");
        QTest::newRow("unreadable") << Arrange::Unreadable << DiaryState::Unreadable << false
                                    << QStringLiteral("cannot be read");
    }
    void judgement_saysWhatTheFileIs()
    {
        QFETCH(Arrange, arrange);
        QFETCH(DiaryState, state);
        QFETCH(bool, restorable);
        QFETCH(QString, words);
        QString path;
        const QString failed = this->arrange(arrange, &path);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        QElapsedTimer took;
        took.start();
        for (const keeping::CheckDepth depth : {keeping::CheckDepth::Quick, keeping::CheckDepth::Full}) {
            const keeping::Verdict v = keeping::checkDiary(path, depth, 300);
            QCOMPARE(v.state, state);
            QCOMPARE(v.ok, state == DiaryState::Sound);
            QCOMPARE(v.restorable(), restorable);
            QVERIFY2(v.text(path).contains(words), qPrintable(v.text(path)));
            QVERIFY2(v.text(path).contains(path), qPrintable(v.text(path)));
            if (depth == keeping::CheckDepth::Full && state == DiaryState::Sound)
                QCOMPARE(v.days, 300);
        }
        QVERIFY2(took.elapsed() < 20000, "the judgement hung");
        if (arrange == Arrange::CrashMidWrite) {
            // The interrupted change is undone, as the windows would undo it.
            QVERIFY(!keeping::hasHotJournal(path));
            QCOMPARE(countWhere(path, "SELECT count(*) FROM records WHERE length(COMMENTS) = 3000"), 0);
        }
        if (arrange == Arrange::CrashMidWriteReadOnlyFile)
            QVERIFY(keeping::hasHotJournal(path)); // kept for when it can be undone
    }

    // Backup, export and restore go through a crash's journal and a link as
    // the windows do, and a restore writes through the link.
    void keeping_worksAfterACrashAndThroughALink_data()
    {
        QTest::addColumn<Arrange>("arrange");
        QTest::newRow("after a crash") << Arrange::CrashMidWrite;
        QTest::newRow("through a link") << Arrange::LinkToDiary;
    }
    void keeping_worksAfterACrashAndThroughALink()
    {
        QFETCH(Arrange, arrange);
        QString path;
        const QString failed = this->arrange(arrange, &path);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        const keeping::BackupResult b = keeping::backUp(path, QDateTime(kToday, QTime(8, 0)));
        QVERIFY2(b.ok(), qPrintable(b.error));
        QCOMPARE(keeping::describeBackup(b.path).days, 300);
        keeping::ExportOptions options;
        const keeping::ExportResult e = keeping::exportDays(path, options);
        QVERIFY2(e.ok(), qPrintable(e.error));
        QCOMPARE(e.days, 300);
        const keeping::RestoreResult r = keeping::restoreDiary(path, b.path, QDateTime(kToday, QTime(9, 0)));
        QVERIFY2(r.ok(), qPrintable(r.error));
        if (arrange == Arrange::LinkToDiary) {
            QVERIFY(QFileInfo(path).isSymLink());
            QCOMPARE(countWhere(QFileInfo(path).canonicalFilePath(), "SELECT count(*) FROM records"), 300);
        }
    }

    // A diary damaged after a crash is kept with its journal before a
    // restore; that kept copy is listed with its days, and restores whole.
    void damagedCopyWithItsJournal_isListedAndRestores()
    {
        QString path;
        const QString failed = arrange(Arrange::Sound, &path);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        const keeping::BackupResult older = keeping::backUp(path, QDateTime(kToday, QTime(7, 0)));
        QVERIFY(older.ok());
        QVERIFY(diary::addSampleDays(path, 10, kToday.addDays(400), 3).isEmpty());
        QVERIFY(crashMidWrite(path));
        // Kept the way a restore keeps a damaged diary: as it stands, journal beside.
        const QString folder = keeping::backupsFolder(path);
        const QString kept =
            folder + QLatin1Char('/') + keeping::damagedFileName(path, QDateTime(kToday, QTime(7, 30)));
        QVERIFY(QFile::copy(path, kept));
        QVERIFY(QFile::copy(path + QStringLiteral("-journal"), kept + QStringLiteral("-journal")));
        const QList<keeping::BackupInfo> list = keeping::listBackups(path);
        QCOMPARE(list.size(), 2);
        QVERIFY(list.first().damaged);
        QCOMPARE(list.first().days, 310);
        const QByteArray keptBytes = robust::readAll(kept);
        const keeping::RestoreResult r = keeping::restoreDiary(path, kept, QDateTime(kToday, QTime(8, 0)));
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(countWhere(path, "SELECT count(*) FROM records"), 310);
        QCOMPARE(countWhere(path, "SELECT count(*) FROM records WHERE length(COMMENTS) = 3000"), 0);
        QCOMPARE(robust::readAll(kept), keptBytes); // what was kept stays as it was
        // The rotation never removes a kept damaged diary.
        keeping::rotateBackups(folder, QDateTime(kToday.addYears(5), QTime(8, 0)));
        QVERIFY(QFileInfo::exists(kept));
    }

    // Backups of a diary with its own name, a hyphen in it, are its own.
    void backupsOfADiaryWithAnotherName_areListed()
    {
        const QString path = m_dir->filePath(QStringLiteral("My-Diary.mdb"));
        QVERIFY(diary::createDiary(path).isEmpty());
        QVERIFY(diary::addSampleDays(path, 12, kToday, 3).isEmpty());
        const keeping::BackupResult b = keeping::backUp(path, QDateTime(kToday, QTime(8, 0, 1)));
        QVERIFY2(b.ok(), qPrintable(b.error));
        QCOMPARE(QFileInfo(b.path).fileName(), QStringLiteral("My-Diary-2026-06-15-080001.mdb"));
        const QList<keeping::BackupInfo> list = keeping::listBackups(path);
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.first().time, QDateTime(kToday, QTime(8, 0, 1)));
        QCOMPARE(list.first().days, 12);
        // Another diary's backups in the same folder are not this one's.
        QVERIFY(keeping::listBackups(m_dir->filePath(QStringLiteral("My.mdb"))).isEmpty());
    }

    // What killed backups and restores left is removed by the next backup,
    // but not what another run is writing now.
    void leftovers_ofEarlierRunsGo_ofThisRunStay()
    {
        QString path;
        QVERIFY(arrange(Arrange::Sound, &path).isEmpty());
        const QString folder = QFileInfo(path).absolutePath();
        QDir().mkpath(keeping::backupsFolder(path));
        const QStringList old{folder + QStringLiteral("/.Records-AbC123.tmp"),
                              folder + QStringLiteral("/.Records-AbC123.tmp-journal"),
                              keeping::backupsFolder(path) + QStringLiteral("/.Records-XyZ789.tmp")};
        const QString fresh = folder + QStringLiteral("/.Records-NeW456.tmp");
        const QString others = folder + QStringLiteral("/.Other-AbC123.tmp");
        for (const QString &f : old + QStringList{fresh, others})
            QVERIFY(robust::writeAll(f, "x"));
        const QDateTime longAgo = QDateTime::currentDateTime().addDays(-2);
        for (const QString &f : old + QStringList{others}) {
            QFile file(f);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(longAgo, QFileDevice::FileModificationTime));
        }
        QVERIFY(keeping::backUp(path, QDateTime::currentDateTime()).ok());
        for (const QString &f : old)
            QVERIFY2(!QFileInfo::exists(f), qPrintable(f));
        QVERIFY(QFileInfo::exists(fresh));
        QVERIFY(QFileInfo::exists(others));
    }

    // The command line speaks the judgement's words and keeps working on
    // what the judgement calls sound.
    void commandLine_speaksTheJudgement_data()
    {
        QTest::addColumn<Arrange>("arrange");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("words");
        QTest::newRow("check after a crash")
            << Arrange::CrashMidWrite << QStringLiteral("check") << 0 << QStringLiteral("is sound. 300 days");
        QTest::newRow("backup after a crash")
            << Arrange::CrashMidWrite << QStringLiteral("backup") << 0 << QStringLiteral("Backed up to");
        QTest::newRow("export of a write-protected diary")
            << Arrange::ReadOnlyFile << QStringLiteral("export") << 0 << QStringLiteral("Exported 300 days");
        QTest::newRow("backup, file write-protected after a crash")
            << Arrange::CrashMidWriteReadOnlyFile << QStringLiteral("backup") << 1
            << QStringLiteral("an interrupted change waits to be undone");
        QTest::newRow("export of an empty file") << Arrange::EmptyFile << QStringLiteral("export") << 1
                                                 << QStringLiteral("is not a MEALWISE diary (the file is empty)");
        QTest::newRow("check of an Access file")
            << Arrange::AccessFile << QStringLiteral("check") << 1 << QStringLiteral("is an Access database");
    }
    void commandLine_speaksTheJudgement()
    {
        QFETCH(Arrange, arrange);
        QFETCH(QString, command);
        QFETCH(int, status);
        QFETCH(QString, words);
        QString path;
        QVERIFY(this->arrange(arrange, &path).isEmpty());
        QStringList args{command, QStringLiteral("--path"), path};
        if (command == QLatin1String("export"))
            args << QStringLiteral("--out") << m_dir->filePath(QStringLiteral("out.csv"));
        if (command == QLatin1String("backup") && arrange == Arrange::CrashMidWriteReadOnlyFile)
            args << QStringLiteral("--to") << m_dir->filePath(QStringLiteral("copy.mdb"));
        const testing_support::CliRun r = testing_support::runCli(args);
        QCOMPARE(r.status, status);
        const QString said = r.out + r.err;
        QVERIFY2(said.contains(words), qPrintable(said));
    }

    // At start only damage is offered a restore, and the question says what
    // the backup holds; a lock ends the start with the lock's own words.
    void startCheck_offersRestoreOnlyForDamage_data()
    {
        QTest::addColumn<Arrange>("arrange");
        QTest::addColumn<bool>("goesOn");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("message");
        QTest::newRow("sound") << Arrange::Sound << true << QString() << QString();
        QTest::newRow("after a crash mid-write") << Arrange::CrashMidWrite << true << QString() << QString();
        QTest::newRow("through a link") << Arrange::LinkToDiary << true << QString() << QString();
        QTest::newRow("held locked") << Arrange::HeldLocked << false << QString()
                                     << QStringLiteral("is in use by another program");
        QTest::newRow("after a crash, file write-protected")
            << Arrange::CrashMidWriteReadOnlyFile << false << QString() << QStringLiteral("waits to be undone");
        QTest::newRow("a page overwritten")
            << Arrange::PageDamaged << true
            << QStringLiteral("made 15/06/26 07:00 with 300 days, the newest of 14/06/26") << QString();
    }
    void startCheck_offersRestoreOnlyForDamage()
    {
        QFETCH(Arrange, arrange);
        QFETCH(bool, goesOn);
        QFETCH(QString, question);
        QFETCH(QString, message);
        QString path;
        // A sound backup from before, to be offered where the diary is damaged.
        {
            const QString folder = m_dir->filePath(QStringLiteral("MEALWISE"));
            QDir().mkpath(folder);
            const QString source = m_dir->filePath(QStringLiteral("source.mdb"));
            QVERIFY(diary::createDiary(source).isEmpty() && diary::addSampleDays(source, 300, kToday, 7).isEmpty());
            QDir().mkpath(folder + QStringLiteral("/Backups"));
            QVERIFY(QFile::copy(source, folder + QStringLiteral("/Backups/Records-2026-06-15-070000.mdb")));
        }
        QVERIFY(this->arrange(arrange, &path).isEmpty());
        const QByteArray before = robust::readAll(path);
        QStringList questions;
        app::Choosers c = app::platformChoosers();
        c.askYesNo = [](QWidget *, const QString &) { return true; }; // never the question to ask here
        c.askYesNoDefaultNo = [&](QWidget *, const QString &q) {
            questions << q;
            return false;
        };
        app::Choosers previous = app::setChoosers(std::move(c));
        testing_support::MessageLog log;
        QElapsedTimer took;
        took.start();
        const bool on = app::checkAtStart(path);
        app::setChoosers(std::move(previous));
        QVERIFY2(took.elapsed() < 16000, "the user waited more than 16 s for the message");
        QCOMPARE(on, goesOn);
        QCOMPARE(questions.size(), question.isEmpty() ? 0 : 1);
        if (!question.isEmpty()) {
            QVERIFY2(questions.first().contains(question), qPrintable(questions.first()));
            QCOMPARE(robust::readAll(path), before); // No changed nothing
        }
        QCOMPARE(log.messages.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QVERIFY2(log.last().contains(message), qPrintable(log.last()));
    }

    // The question whose Yes puts an older backup in place has No as its
    // default: Enter, or a hurried click on the default, changes nothing.
    void restoreQuestion_defaultButtonIsNo()
    {
        bool defaultIsNo = false;
        QString seen;
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen = box->text();
            defaultIsNo = static_cast<QAbstractButton *>(box->defaultButton()) == box->button(QMessageBox::No);
            QTest::keyClick(box, Qt::Key_Return);
        });
        poll.start();
        const bool yes =
            app::platformChoosers().askYesNoDefaultNo(nullptr, QStringLiteral("Restore the newest sound backup?"));
        QCOMPARE(seen, QStringLiteral("Restore the newest sound backup?"));
        QVERIFY(defaultIsNo);
        QVERIFY(!yes);
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
    tst_DiaryState t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_diarystate.moc"
