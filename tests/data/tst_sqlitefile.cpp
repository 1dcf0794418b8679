// SQLite's C API as the program uses it: opening, the transaction guard, and
// what each result code means for the user.

#include "data/sqlitecodes.h"
#include "data/sqlitefile.h"
#include "data/sqlrunner.h"
#include "testsupport.h"

#include <QFile>
#include <QTest>

#include <sqlite3.h>

using diary::EngineFailure;
using diary::SqliteFile;
using diary::SqliteRunner;
using diary::Transaction;
using testing_support::TempDiary;

Q_DECLARE_METATYPE(EngineFailure)

namespace {

qint64 dayCount(const TempDiary &diary)
{
    return diary.scalar(QStringLiteral("SELECT count(*) FROM records")).toLongLong();
}

const QString kInsert = QStringLiteral("INSERT INTO records (DATE, [OVERALL SCORE]) VALUES ('2026-03-01', 5)");

} // namespace

class tst_SqliteFile : public QObject
{
    Q_OBJECT
private slots:
    void resultCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<EngineFailure>("failure");
        QTest::newRow("ok") << 0 << "SQLITE_OK" << EngineFailure::None;
        QTest::newRow("done") << 101 << "SQLITE_DONE" << EngineFailure::None;
        QTest::newRow("no such table") << 1 << "SQLITE_ERROR" << EngineFailure::Statement;
        QTest::newRow("busy") << 5 << "SQLITE_BUSY" << EngineFailure::Busy;
        QTest::newRow("busy, snapshot") << 517 << "SQLITE_BUSY" << EngineFailure::Busy;
        QTest::newRow("locked") << 6 << "SQLITE_LOCKED" << EngineFailure::Busy;
        QTest::newRow("read-only folder") << 1544 << "SQLITE_READONLY" << EngineFailure::ReadOnly;
        QTest::newRow("fsync failed") << 1034 << "SQLITE_IOERR" << EngineFailure::Io;
        QTest::newRow("corrupt") << 11 << "SQLITE_CORRUPT" << EngineFailure::Damaged;
        QTest::newRow("full") << 13 << "SQLITE_FULL" << EngineFailure::Full;
        QTest::newRow("cannot open") << 14 << "SQLITE_CANTOPEN" << EngineFailure::CantOpen;
        QTest::newRow("check failed") << 275 << "SQLITE_CONSTRAINT" << EngineFailure::Refused;
        QTest::newRow("not a database") << 26 << "SQLITE_NOTADB" << EngineFailure::NotADiary;
        QTest::newRow("unknown") << 99 << "99" << EngineFailure::Other;
    }
    void resultCodes()
    {
        QFETCH(int, code);
        QFETCH(QString, name);
        QFETCH(EngineFailure, failure);
        QCOMPARE(diary::resultCodeName(code), name);
        QCOMPARE(diary::engineFailure(code), failure);
    }

    void writeFailureText_saysWhatToDo_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("words");
        QTest::newRow("busy") << 5 << "is in use by another program (engine); close that program";
        QTest::newRow("read-only") << 8 << "/d/Records.mdb or its folder cannot be written (engine)";
        QTest::newRow("full") << 13 << "the disk holding /d/Records.mdb is full (engine); make room";
        QTest::newRow("i/o") << 4874 << "/d/Records.mdb could not be written (engine); check that the file";
        QTest::newRow("refused: the engine's words") << 275 << "engine";
    }
    void writeFailureText_saysWhatToDo()
    {
        QFETCH(int, code);
        QFETCH(QString, words);
        const QString text = diary::writeFailureText(code, QStringLiteral("/d/Records.mdb"), QStringLiteral("engine"));
        QVERIFY2(text.contains(words), qPrintable(text));
    }

    // The table read against what SQLite itself answers.
    void engineAnswers_matchTheTable()
    {
        TempDiary diary;
        QVERIFY2(diary.ok(), qPrintable(diary.error()));
        {
            SqliteFile file;
            QVERIFY(file.open(diary.path(), SqliteFile::ReadWrite));
            QVERIFY(!file.exec(QStringLiteral("INSERT INTO records ([OVERALL SCORE]) VALUES (11)")));
            QCOMPARE(diary::engineFailure(file.lastCode()), EngineFailure::Refused);
            QVERIFY(!file.exec(QStringLiteral("SELECT * FROM no_such_table")));
            QCOMPARE(diary::engineFailure(file.lastCode()), EngineFailure::Statement);
        }
        {
            SqliteFile file;
            QVERIFY(file.open(diary.path(), SqliteFile::ReadOnly));
            QVERIFY(!file.exec(kInsert));
            QCOMPARE(diary::engineFailure(file.lastCode()), EngineFailure::ReadOnly);
        }
        const QString text = diary.path() + QStringLiteral(".txt");
        {
            QFile f(text);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        }
        SqliteFile file;
        QVERIFY(file.open(text, SqliteFile::ReadOnly));
        QVERIFY(!file.scalar(QStringLiteral("PRAGMA schema_version")).isValid());
        QCOMPARE(diary::engineFailure(file.lastCode()), EngineFailure::NotADiary);
    }

    void open_neverCreatesNorFollowsALink()
    {
        TempDiary diary;
        const QString missing = diary.path() + QStringLiteral(".missing");
        SqliteFile file;
        QVERIFY(!file.open(missing, SqliteFile::ReadWrite));
        QCOMPARE(diary::engineFailure(file.lastCode()), EngineFailure::CantOpen);
        QVERIFY(!QFile::exists(missing));

        const QString link = diary.path() + QStringLiteral(".link");
        QVERIFY(QFile::link(diary.path(), link));
        QVERIFY(!file.open(link, SqliteFile::ReadOnly));
        QVERIFY(file.open(link, SqliteFile::ReadOnly, 1000, true));
        QCOMPARE(file.scalar(QStringLiteral("SELECT count(*) FROM records")).toLongLong(), 0);
    }

    void statement_valueNotBound_neverRuns()
    {
        // A text longer than the engine takes: the insert must not run with
        // the field missing, and runs again once its values are whole.
        TempDiary diary;
        SqliteFile file;
        QVERIFY(file.open(diary.path(), SqliteFile::ReadWrite));
        sqlite3_limit(file.handle(), SQLITE_LIMIT_LENGTH, 64);
        diary::Statement insert(file, QStringLiteral("INSERT INTO records (DATE, BREAKFAST) VALUES (?, ?)"));
        QVERIFY(insert.ok());
        QVERIFY(insert.bind(1, QStringLiteral("2026-03-01")));
        QVERIFY(!insert.bind(2, QString(100, QLatin1Char('X'))));
        QVERIFY(!insert.step());
        QVERIFY2(insert.error().contains(QStringLiteral("could not be given")), qPrintable(insert.error()));
        QCOMPARE(insert.code(), SQLITE_TOOBIG);
        QCOMPARE(dayCount(diary), 0);
        QVERIFY(insert.reset());
        QVERIFY(insert.bind(1, QStringLiteral("2026-03-01")) && insert.bind(2, QStringLiteral("TOAST")));
        QVERIFY(!insert.step());
        QVERIFY2(insert.error().isEmpty(), qPrintable(insert.error()));
        QCOMPARE(dayCount(diary), 1);
    }

    void transaction_rollsBackUnlessCommitted()
    {
        TempDiary diary;
        SqliteFile file;
        QVERIFY(file.open(diary.path(), SqliteFile::ReadWrite));
        SqliteRunner sql(file);
        QString why;
        {
            Transaction tx(sql);
            QVERIFY(tx.begin(Transaction::Immediate, &why));
            QVERIFY(file.exec(kInsert));
            // Left without a commit, as an early return leaves it.
        }
        QCOMPARE(dayCount(diary), 0);
        {
            Transaction tx(sql);
            QVERIFY(tx.begin(Transaction::Deferred, &why));
            QVERIFY(file.exec(kInsert));
            QVERIFY2(tx.commit(&why), qPrintable(why));
            QVERIFY(!tx.active());
        }
        QCOMPARE(dayCount(diary), 1);
    }

    // A write lock held elsewhere: IMMEDIATE is refused at BEGIN, before a
    // row is read; a deferred write that cannot commit leaves nothing open.
    void transaction_againstAnotherWriter()
    {
        TempDiary diary;
        SqliteFile holder;
        QVERIFY(holder.open(diary.path(), SqliteFile::ReadWrite));
        SqliteRunner held(holder);
        Transaction hold(held);
        QString why;
        QVERIFY(hold.begin(Transaction::Deferred, &why));
        QCOMPARE(holder.scalar(QStringLiteral("SELECT count(*) FROM records")).toLongLong(), 0); // a read lock

        SqliteFile file;
        QVERIFY(file.open(diary.path(), SqliteFile::ReadWrite, 100));
        SqliteRunner sql(file);
        {
            Transaction tx(sql);
            QVERIFY(tx.begin(Transaction::Immediate, &why));
            QVERIFY(file.exec(kInsert));
            // Committing needs the reader gone.
            QVERIFY(!tx.commit(&why));
            QCOMPARE(diary::engineFailure(sql.lastCode()), EngineFailure::Busy);
            QVERIFY(!tx.active());
        }
        hold.rollback();
        QCOMPARE(dayCount(diary), 0);
        // Nothing was left open on the connection: a new transaction begins.
        Transaction again(sql);
        QVERIFY2(again.begin(Transaction::Immediate, &why), qPrintable(why));

        SqliteFile other;
        QVERIFY(other.open(diary.path(), SqliteFile::ReadWrite, 100));
        SqliteRunner otherSql(other);
        Transaction refused(otherSql);
        QVERIFY(!refused.begin(Transaction::Immediate, &why));
        QCOMPARE(diary::engineFailure(otherSql.lastCode()), EngineFailure::Busy);
        QVERIFY(!refused.active());
    }
};

QTEST_GUILESS_MAIN(tst_SqliteFile)
#include "tst_sqlitefile.moc"
