// The bin of deleted days below the windows: a row set's Delete and an
// import's replace put the rows there whole, to the byte; put back gives them
// back as they were; an import that replaces makes a named backup first and
// writes nothing without one; mealwise-diary bin.
#include "cli/diarycli.h"
#include "clirun.h"
#include "data/daybin.h"
#include "data/diarynames.h"
#include "data/rowset.h"
#include "keeping/backups.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

using testing_support::TempDiary;

namespace {

using Run = testing_support::CliRun;
constexpr auto run = testing_support::runCli;

// Every column of a row with its type and bytes, as the file holds it.
QString stored(const TempDiary &d, const QString &table, const QString &where, const QVariantList &values = {})
{
    QStringList parts;
    for (const QVariantList &c : d.rows(QStringLiteral("SELECT name FROM pragma_table_info('records')"))) {
        const QString col = QLatin1Char('[') + c.value(0).toString() + QLatin1Char(']');
        parts << c.value(0).toString() + QLatin1Char('=') +
                     d.scalar(QStringLiteral("SELECT typeof(%1) || ':' || hex(%1) FROM [%2] WHERE %3")
                                  .arg(col, table, where),
                              values)
                         .toString();
    }
    return parts.join(QLatin1Char('|'));
}

QByteArray sha(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
}

void fill(const TempDiary &d, int days)
{
    for (int i = 1; i <= days; ++i)
        QCOMPARE(d.insertDay({{QStringLiteral("DATE"), QStringLiteral("2026-03-%1").arg(i, 2, 10, QLatin1Char('0'))},
                              {QStringLiteral("OVERALL SCORE"), i},
                              {QStringLiteral("BMs"), 2},
                              {QStringLiteral("BREAKFAST"), QStringLiteral("porridge %1").arg(i)},
                              {QStringLiteral("COMMENTS"), QStringLiteral("day %1").arg(i)}}),
                 qint64(i));
}

// Deletes the days with these IDs as the records window does.
bool deleteThroughRowSet(const QString &path, const QList<qint64> &ids)
{
    RowSet rs;
    if (!rs.open(path, diary::recordsRecordSource()))
        return false;
    for (const qint64 id : ids) {
        if (!rs.setAbsolutePosition(rs.indexOf(QStringLiteral("ID"), id) + 1) || !rs.Delete()) {
            qWarning("delete of %lld: %s", id, qPrintable(rs.lastError()));
            return false;
        }
    }
    return true;
}

int binCount(const TempDiary &d)
{
    if (d.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'deleted days'")).toInt() == 0)
        return 0;
    return d.scalar(QStringLiteral("SELECT count(*) FROM [deleted days]")).toInt();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

const QByteArray kListsJson = R"({"days": [{"DATE": "2026-03-02", "BREAKFAST": "new toast"}],
 "lists": {"ADEQUATE FOOD": "rice", "IRRITABLE FOOD": "beans", "RELIABLE MEDICATION": "none",
           "UNSATISFACTORY MEDICATION": "none"}})";

} // namespace

class tst_Bin : public QObject
{
    Q_OBJECT

private slots:
    void deletedThenPutBack_everyByteAsStored_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("a lone byte FF") << QStringLiteral("BREAKFAST") << QByteArray("\xff toast", 7);
        QTest::newRow("a character cut short") << QStringLiteral("LUNCH") << QByteArray("soup \xe2\x82", 7);
        QTest::newRow("an overlong slash") << QStringLiteral("COMMENTS")
                                           << QByteArray("a\xc0\xaf"
                                                         "b",
                                                         4);
        QTest::newRow("an encoded surrogate") << QStringLiteral("TEA") << QByteArray("\xed\xa0\x80", 3);
        QTest::newRow("a NUL inside") << QStringLiteral("SNACK1") << QByteArray("nut\0s", 5);
        QTest::newRow("Latin-1 from an old program") << QStringLiteral("MEDICATION9") << QByteArray("caf\xe9", 4);
        QTest::newRow("a byte-order mark first") << QStringLiteral("BEVERAGE1") << QByteArray("\xef\xbb\xbftea", 6);
    }
    void deletedThenPutBack_everyByteAsStored()
    {
        QFETCH(QString, column);
        QFETCH(QByteArray, bytes);
        TempDiary d;
        fill(d, 3);
        QVERIFY(d.exec(
            QStringLiteral("UPDATE records SET [%1] = CAST(? AS TEXT), [OVERALL SCORE] = 7 WHERE ID = 2").arg(column),
            {bytes}));
        const QString before = stored(d, QStringLiteral("records"), QStringLiteral("ID = 2"));
        QVERIFY2(before.contains(column + QStringLiteral("=text:") + QString::fromLatin1(bytes.toHex().toUpper())),
                 qPrintable(before));

        QVERIFY(deleteThroughRowSet(d.path(), {2}));
        QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM records WHERE ID = 2")).toInt(), 0);
        QCOMPARE(stored(d, QLatin1String(diary::kBinTable), QStringLiteral("ID = 2")), before);
        QCOMPARE(d.scalar(QStringLiteral("SELECT [DELETED BY] FROM [deleted days]")).toString(),
                 QStringLiteral("Delete in the records window"));

        const diary::PutBackResult r = diary::putBack(d.path(), {1});
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.done.size(), 1);
        QCOMPARE(r.done.first().newId, qint64(2));
        QCOMPARE(stored(d, QStringLiteral("records"), QStringLiteral("ID = 2")), before);
        QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM [deleted days]")).toInt(), 0);
    }

    void binTakesAColumnRecordsGainedLater()
    {
        TempDiary d;
        fill(d, 3);
        QVERIFY(deleteThroughRowSet(d.path(), {1}));
        // Another program adds a column; the next deleted day keeps it too.
        QVERIFY(d.exec(QStringLiteral("ALTER TABLE records ADD COLUMN WEIGHT")));
        QVERIFY(d.exec(QStringLiteral("UPDATE records SET WEIGHT = 71.5 WHERE ID = 3")));
        const QString before = stored(d, QStringLiteral("records"), QStringLiteral("ID = 3"));
        QVERIFY(deleteThroughRowSet(d.path(), {3}));
        const diary::BinList bin = diary::listBin(d.path());
        QVERIFY2(bin.ok(), qPrintable(bin.error));
        QCOMPARE(bin.entries.size(), 2);
        QVERIFY(diary::putBack(d.path(), {bin.entries.first().binId}).ok());
        QCOMPARE(stored(d, QStringLiteral("records"), QStringLiteral("ID = 3")), before);
    }

    void putBack_unknownNumber_putsNothingBack()
    {
        TempDiary d;
        fill(d, 3);
        QVERIFY(deleteThroughRowSet(d.path(), {1, 2}));
        const diary::PutBackResult r = diary::putBack(d.path(), {1, 99});
        QVERIFY(!r.ok());
        QVERIFY2(r.error.startsWith(QStringLiteral("The bin holds no day numbered 99.")), qPrintable(r.error));
        QVERIFY(r.error.endsWith(QStringLiteral("Nothing was put back.")));
        QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 1);
        QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM [deleted days]")).toInt(), 2);
    }

    void importThatReplaces_backsUpFirst_namesIt_binsTheDays_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("backup");
        QTest::addColumn<int>("binned");
        QTest::newRow("replace days") << QStringLiteral("in.csv")
                                      << QByteArray("DATE,BREAKFAST\r\n2026-03-02,new toast\r\n")
                                      << QStringList{QStringLiteral("--on-duplicate"), QStringLiteral("replace")}
                                      << true << 1;
        QTest::newRow("replace lists") << QStringLiteral("in.json") << kListsJson
                                       << QStringList{QStringLiteral("--on-duplicate"), QStringLiteral("skip"),
                                                      QStringLiteral("--replace-lists")}
                                       << true << 0;
        QTest::newRow("add beside: nothing replaced")
            << QStringLiteral("in.csv") << QByteArray("DATE,BREAKFAST\r\n2026-03-02,new toast\r\n")
            << QStringList{QStringLiteral("--on-duplicate"), QStringLiteral("add")} << false << 0;
    }
    void importThatReplaces_backsUpFirst_namesIt_binsTheDays()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, options);
        QFETCH(bool, backup);
        QFETCH(int, binned);
        TempDiary d;
        fill(d, 3);
        const QString day2 = stored(d, QStringLiteral("records"), QStringLiteral("ID = 2"));
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(file), bytes));
        const Run r = run(QStringList{QStringLiteral("import"), QStringLiteral("--path"), d.path()} + options +
                          QStringList{dir.filePath(file)});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        static const QRegularExpression named(QStringLiteral("The diary as it was is kept in (\\S+\\.mdb)"));
        const QRegularExpressionMatch m = named.match(r.out);
        QCOMPARE(m.hasMatch(), backup);
        const QStringList made =
            QDir(keeping::backupsFolder(d.path())).entryList({QStringLiteral("*.mdb")}, QDir::Files);
        QCOMPARE(made.size(), backup ? 1 : 0);
        if (backup) {
            QCOMPARE(QFileInfo(m.captured(1)).fileName(), made.first());
            // The backup holds the diary as it was before the import.
            const keeping::BackupInfo info = keeping::describeBackup(m.captured(1));
            QCOMPARE(info.days, qint64(3));
        }
        QCOMPARE(binCount(d), binned);
        if (binned) {
            QCOMPARE(stored(d, QLatin1String(diary::kBinTable), QStringLiteral("ID = 2")), day2);
            QCOMPARE(d.scalar(QStringLiteral("SELECT [DELETED BY] FROM [deleted days]")).toString(),
                     QStringLiteral("Import, replacing the day"));
            QVERIFY2(r.out.contains(QStringLiteral("the rows replaced are in the bin of deleted days")),
                     qPrintable(r.out));
        }
    }

    void importThatReplaces_noBackupPossible_writesNothing_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("replace days") << QStringLiteral("in.csv")
                                      << QByteArray("DATE,BREAKFAST\r\n2026-03-02,new toast\r\n")
                                      << QStringList{QStringLiteral("--on-duplicate"), QStringLiteral("replace")};
        QTest::newRow("replace lists") << QStringLiteral("in.json") << kListsJson
                                       << QStringList{QStringLiteral("--on-duplicate"), QStringLiteral("skip"),
                                                      QStringLiteral("--replace-lists")};
    }
    void importThatReplaces_noBackupPossible_writesNothing()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, options);
        TempDiary d;
        fill(d, 3);
        // A file where the Backups folder should be: no backup can be made.
        QVERIFY(writeFile(keeping::backupsFolder(d.path()), "not a folder"));
        const QByteArray before = sha(d.path());
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(file), bytes));
        const Run r = run(QStringList{QStringLiteral("import"), QStringLiteral("--path"), d.path()} + options +
                          QStringList{dir.filePath(file)});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("could not be backed up before its days or lists were replaced")),
                 qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("Nothing was written.")), qPrintable(r.err));
        QCOMPARE(sha(d.path()), before);
    }

    void binCommand_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::addColumn<int>("daysLeft"); // in records afterwards, of 4 with 2 in the bin
        QTest::newRow("list") << QStringList{QStringLiteral("--list")} << 0 << QStringLiteral("2 days in the bin.")
                              << 2;
        QTest::newRow("put back one") << QStringList{QStringLiteral("--put-back"), QStringLiteral("1")} << 0
                                      << QStringLiteral("1 day was put back.") << 3;
        QTest::newRow("put back both") << QStringList{QStringLiteral("--put-back"), QStringLiteral("2"),
                                                      QStringLiteral("1")}
                                       << 0 << QStringLiteral("2 days were put back.") << 4;
        QTest::newRow("put back a number not in the bin")
            << QStringList{QStringLiteral("--put-back"), QStringLiteral("1"), QStringLiteral("7")} << 1
            << QStringLiteral("The bin holds no day numbered 7.") << 2;
        QTest::newRow("put back without numbers")
            << QStringList{QStringLiteral("--put-back")} << 2 << QStringLiteral("--put-back needs the numbers") << 2;
        QTest::newRow("put back a word") << QStringList{QStringLiteral("--put-back"), QStringLiteral("two")} << 2
                                         << QStringLiteral("\"two\" is not a number of the bin.") << 2;
        QTest::newRow("empty without --yes")
            << QStringList{QStringLiteral("--empty")} << 2
            << QStringLiteral("--empty removes the 2 days in the bin for good; add --yes") << 2;
        QTest::newRow("empty with --yes") << QStringList{QStringLiteral("--empty"), QStringLiteral("--yes")} << 0
                                          << QStringLiteral("Removed 2 days from the bin for good.") << 2;
        QTest::newRow("no mode") << QStringList{} << 2 << QStringLiteral("give one of --list") << 2;
        QTest::newRow("two modes") << QStringList{QStringLiteral("--list"), QStringLiteral("--empty")} << 2
                                   << QStringLiteral("give one of --list") << 2;
    }
    void binCommand()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, says);
        QFETCH(int, daysLeft);
        TempDiary d;
        fill(d, 4);
        QVERIFY(deleteThroughRowSet(d.path(), {2, 3}));
        const Run r = run(QStringList{QStringLiteral("bin"), QStringLiteral("--path"), d.path()} + args);
        QCOMPARE(r.status, status);
        const QString said = r.out + r.err;
        QVERIFY2(said.contains(says), qPrintable(said));
        QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), daysLeft);
        const int inBin = d.scalar(QStringLiteral("SELECT count(*) FROM [deleted days]")).toInt();
        QCOMPARE(inBin, args.contains(QStringLiteral("--yes")) && status == 0 ? 0 : 2 - (daysLeft - 2));
        if (args == QStringList{QStringLiteral("--list")}) {
            // Newest deletion first, with its number, ID, date and score.
            const QStringList lines = r.out.split(QLatin1Char('\n'));
            QVERIFY2(lines.value(1).startsWith(QStringLiteral("2\t3\t03/03/26\t3\t")), qPrintable(r.out));
            QVERIFY2(lines.value(2).startsWith(QStringLiteral("1\t2\t02/03/26\t2\t")), qPrintable(r.out));
            QVERIFY2(lines.value(2).endsWith(QStringLiteral("\tporridge 2")), qPrintable(r.out));
        }
    }
};

QTEST_GUILESS_MAIN(tst_Bin)
#include "tst_bin.moc"
