// Backups, their rotation, restore and its refusals, export and import and
// their refusals, the report, and the command line's exit statuses.
#include "cli/diarycli.h"
#include "clirun.h"
#include "data/diaryschema.h"
#include "keeping/backups.h"
#include "keeping/diarycheck.h"
#include "keeping/exchange.h"
#include "keeping/report.h"
#include "keeping/restore.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <random>

using testing_support::TempDiary;

namespace {
const QDate kToday(2026, 6, 15);

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

int modeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// Days no sample holds: separators, quotes, line breaks, blanks, non-ASCII,
// an empty text beside a NULL, and a day without a date.
void addAwkwardDays(const TempDiary &d)
{
    d.insertDay({{QStringLiteral("DATE"), QStringLiteral("2026-01-02")},
                 {QStringLiteral("COMMENTS"), QStringLiteral("say \"hi\", then\r\nleave")},
                 {QStringLiteral("BREAKFAST"), QStringLiteral("  café, crème brûlée 🍮 ")},
                 {QStringLiteral("OVERALL SCORE"), 10},
                 {QStringLiteral("BMs"), 0},
                 {QStringLiteral("SNACK1"), QString(QLatin1String(""))}});
    d.insertDay({{QStringLiteral("COMMENTS"), QStringLiteral("no date, tab\there")}});
    d.insertDay({{QStringLiteral("DATE"), QStringLiteral("2026-01-03")},
                 {QStringLiteral("LUNCH"), QStringLiteral("soup\rbread")}});
    d.exec(QStringLiteral("UPDATE [FOOD AND MEDICATION] SET [ADEQUATE FOOD] = ?, [UNSATISFACTORY MEDICATION] = NULL"),
           {QStringLiteral("rice\n\"plain\" toast")});
}

qint64 dayCount(const TempDiary &d)
{
    return d.scalar(QStringLiteral("SELECT count(*) FROM records")).toLongLong();
}
} // namespace

class tst_Keeping : public QObject
{
    Q_OBJECT

private slots:
    // Another program writing the diary holds it for a moment: the command
    // line and the keeping wait for it instead of failing at once.
    void lockedDiary_isWaitedFor_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("says");
        QTest::newRow("backup") << QStringLiteral("backup") << QStringLiteral("Backed up to ");
        QTest::newRow("export") << QStringLiteral("export") << QStringLiteral("Exported 30 days.");
        QTest::newRow("check") << QStringLiteral("check") << QStringLiteral("is sound. 30 days");
    }
    void lockedDiary_isWaitedFor()
    {
        QFETCH(QString, command);
        QFETCH(QString, says);
        const QString sqlite = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
        if (sqlite.isEmpty())
            QFAIL("sqlite3 is needed (scripts/test installs it)");
        TempDiary d;
        QVERIFY(diary::addSampleDays(d.path(), 30, kToday).isEmpty());
        QTemporaryDir dir;
        const QString held = dir.filePath(QStringLiteral("held"));
        QProcess locker;
        locker.start(sqlite, {d.path()});
        QVERIFY(locker.waitForStarted());
        locker.write(QStringLiteral("BEGIN EXCLUSIVE;\nUPDATE records SET COMMENTS = COMMENTS;\n.shell touch '%1'\n"
                                    ".shell sleep 1.5\nCOMMIT;\n.quit\n")
                         .arg(held)
                         .toUtf8());
        locker.closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(held), 20000);

        QElapsedTimer waited;
        waited.start();
        QStringList args{command, QStringLiteral("--path"), d.path()};
        if (command == QLatin1String("export"))
            args << QStringLiteral("--out") << dir.filePath(QStringLiteral("days.csv"));
        const testing_support::CliRun run = testing_support::runCli(args);
        QVERIFY2(run.status == 0, qPrintable(run.err + run.out));
        QVERIFY2(QString(run.out + run.err).contains(says), qPrintable(run.out + run.err));
        // It ran only once the other program let go.
        QVERIFY2(waited.elapsed() >= 500, qPrintable(QString::number(waited.elapsed())));
        QVERIFY(locker.waitForFinished(20000));
        QCOMPARE(locker.exitCode(), 0);
    }
    void roundTrip_givesTheSameBytes_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("csv") << int(keeping::Format::Csv);
        QTest::newRow("json") << int(keeping::Format::Json);
    }
    void roundTrip_givesTheSameBytes()
    {
        QFETCH(int, format);
        TempDiary a;
        QVERIFY(diary::addSampleDays(a.path(), 300, kToday, 7).isEmpty());
        addAwkwardDays(a);
        keeping::ExportOptions options;
        options.format = keeping::Format(format);
        const keeping::ExportResult first = keeping::exportDays(a.path(), options);
        QVERIFY2(first.ok(), qPrintable(first.error));
        QCOMPARE(first.days, 303);
        QCOMPARE(first.repairedTexts, 0);

        TempDiary b;
        keeping::ImportPlan plan = keeping::readImport(first.bytes, options.format, false, kToday.year());
        QVERIFY2(plan.ok(), qPrintable(plan.describeRefusals().join(QLatin1Char('\n'))));
        QVERIFY(keeping::findDuplicates(b.path(), &plan).isEmpty());
        const keeping::ImportResult imported = keeping::applyImport(b.path(), plan, keeping::Duplicates::Refuse, true);
        QVERIFY2(imported.ok(), qPrintable(imported.error));
        QCOMPARE(imported.added, 303);
        const keeping::ExportResult second = keeping::exportDays(b.path(), options);
        QCOMPARE(second.bytes, first.bytes);

        // What the file holds, written out by hand.
        if (options.format == keeping::Format::Csv) {
            QVERIFY(first.bytes.startsWith("BEVERAGE1,BEVERAGE2,BEVERAGE3,BEVERAGE4,BMs,BREAKFAST,COMMENTS,DATE,LUNCH,"
                                           "MEDICATION1,MEDICATION2,MEDICATION3,OVERALL SCORE,SNACK1,SNACK2,SNACK3,"
                                           "SNACK4,TEA,MEDICATION4,MEDICATION5,MEDICATION6,MEDICATION7,MEDICATION8,"
                                           "MEDICATION9\r\n,,,,,,\"no date, tab\there\",,"));
            QVERIFY(first.bytes.contains(",,,,0,\"  caf\xC3\xA9, cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                                         "e \xF0\x9F\x8D\xAE \","
                                         "\"say \"\"hi\"\", then\r\nleave\",2026-01-02,,,,,10,,"));
            // A lone CR is a line break to many readers: quoted too.
            QVERIFY(first.bytes.contains(",2026-01-03,\"soup\rbread\","));
        } else {
            QVERIFY(
                first.bytes.contains("\"COMMENTS\": \"say \\\"hi\\\", then\\r\\nleave\", \"DATE\": \"2026-01-02\""));
            QVERIFY(first.bytes.contains("\"SNACK1\": \"\", \"SNACK2\": null"));
            QVERIFY(first.bytes.contains("\"ADEQUATE FOOD\": \"rice\\n\\\"plain\\\" toast\""));
            QVERIFY(first.bytes.contains("\"UNSATISFACTORY MEDICATION\": null"));
        }
    }

    void export_rangeAndFilteredDays()
    {
        TempDiary d;
        QVERIFY(diary::addSampleDays(d.path(), 40, kToday, 7).isEmpty()); // 2026-05-06 .. 2026-06-14
        keeping::ExportOptions o;
        o.from = QDate(2026, 6, 1);
        o.to = QDate(2026, 6, 10);
        QCOMPARE(keeping::exportDays(d.path(), o).days, 10);
        o.from = {};
        o.to = {};
        o.ids = QSet<qint64>{3, 5, 999};
        const keeping::ExportResult r = keeping::exportDays(d.path(), o);
        QCOMPARE(r.days, 2);
        QVERIFY(r.bytes.contains(",2026-05-08,"));
        QVERIFY(r.bytes.contains(",2026-05-10,"));
    }

    void export_bytesNotUtf8_becomeReplacementAndAreCounted()
    {
        TempDiary d;
        // Bound as a blob, the bytes reach the file as they are.
        QVERIFY(d.exec(QStringLiteral("INSERT INTO records (DATE, COMMENTS, LUNCH) VALUES ('2026-01-01', ?, ?)"),
                       {QByteArray("caf\xE9"), QByteArray("ok \xFF\xFE")}));
        const keeping::ExportResult r = keeping::exportDays(d.path(), {});
        QCOMPARE(r.repairedTexts, 2);
        QVERIFY(r.bytes.contains("caf\xEF\xBF\xBD,2026-01-01"));
    }

    void import_refusesBadFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QByteArray header = "DATE,OVERALL SCORE,COMMENTS\r\n";
        QTest::newRow("empty") << QByteArray() << QStringLiteral("empty");
        QTest::newRow("unknown column") << QByteArray("DATE,MOOD\r\n2026-01-01,good\r\n") << QStringLiteral("\"MOOD\"");
        QTest::newRow("no DATE") << QByteArray("COMMENTS\r\nx\r\n") << QStringLiteral("no DATE");
        QTest::newRow("column twice") << QByteArray("DATE,date\r\n") << QStringLiteral("twice");
        QTest::newRow("open quote") << QByteArray(header + "2026-01-01,5,ok\r\n2026-01-02,5,\"never\r\nclosed\r\n")
                                    << QStringLiteral("opened on line 3");
        QTest::newRow("stray quote") << QByteArray(header + "2026-01-01,5,a\"b\r\n") << QStringLiteral("Line 2");
        QTest::newRow("NUL") << (header + QByteArray("2026-01-01,5,ok\r\n2026-01-02,5,a\0b\r\n", 35))
                             << QStringLiteral("Line 3 holds a NUL");
        QTest::newRow("not UTF-8") << QByteArray(header + "2026-01-01,5,caf\xE9\r\n")
                                   << QStringLiteral("Line 2 is not UTF-8");
        QTest::newRow("json not json") << QByteArray("{\"days\": [") << QStringLiteral("not JSON");
    }
    void import_refusesBadFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const keeping::ImportPlan plan =
            keeping::readImport(bytes, keeping::guessFormat(QString(), bytes), false, 2026);
        QVERIFY(!plan.ok());
        QVERIFY2(plan.fileError.contains(message), qPrintable(plan.fileError));
        QVERIFY(plan.days.isEmpty());
        TempDiary d;
        d.insertDay({{QStringLiteral("DATE"), QStringLiteral("2025-01-01")}});
        const QByteArray before = fileBytes(d.path());
        QVERIFY(!keeping::applyImport(d.path(), plan, keeping::Duplicates::Add, true).ok());
        QCOMPARE(fileBytes(d.path()), before);
    }

    void import_refusedLinesNameTheirLine_data()
    {
        QTest::addColumn<bool>("asIs");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("checked")
            << false
            << QStringList{QStringLiteral("Line 3: OVERALL SCORE 11 is not from 1 to 10"),
                           QStringLiteral("Line 5: BMs -1 is below 0"),
                           QStringLiteral("Line 6: DATE \"31/02/26\" is not a day (yyyy-MM-dd or dd/MM/yy)"),
                           QStringLiteral("Line 8: OVERALL SCORE \"seven\" is not a whole number"),
                           QStringLiteral("Line 9: it has 2 fields; the header has 4"),
                           QStringLiteral("Line 10: COMMENTS holds 2000000 characters; at most 1000000 are taken")};
        QTest::newRow("as is")
            << true
            << QStringList{QStringLiteral("Line 6: DATE \"31/02/26\" is not a day (yyyy-MM-dd or dd/MM/yy)"),
                           QStringLiteral("Line 8: OVERALL SCORE \"seven\" is not a whole number"),
                           QStringLiteral("Line 9: it has 2 fields; the header has 4"),
                           QStringLiteral("Line 10: COMMENTS holds 2000000 characters; at most 1000000 are taken")};
    }
    void import_refusedLinesNameTheirLine()
    {
        QFETCH(bool, asIs);
        QFETCH(QStringList, expected);
        QByteArray csv = "DATE,OVERALL SCORE,BMs,COMMENTS\r\n"
                         "01/01/26,5,1,fine\r\n"
                         "2026-01-02,11,1,\"two\nlines\"\n" // two lines; LF alone ends one too
                         "2026-01-03,5,-1,x\r\n"
                         "31/02/26,5,1,x\r\n"
                         "2026-01-05,,,\r\n"
                         "2026-01-06,seven,1,x\r\n"
                         "2026-01-07,5\r\n"
                         "2026-01-08,5,1,";
        csv += QByteArray(2000000, 'x') + "\r\n";
        const keeping::ImportPlan plan = keeping::readImport(csv, keeping::Format::Csv, asIs, 2026);
        QCOMPARE(plan.describeRefusals(), expected);
        QCOMPARE(plan.days.size(), asIs ? 4 : 2);
        QCOMPARE(plan.days.first().values.at(keeping::exchangedColumns().indexOf(QStringLiteral("DATE"))).toString(),
                 QStringLiteral("2026-01-01"));
        TempDiary d;
        QVERIFY(!keeping::applyImport(d.path(), plan, keeping::Duplicates::Add, false).ok());
        QCOMPARE(dayCount(d), 0);
    }

    void import_hundredThousandLines_allInOneGo()
    {
        QByteArray csv = "DATE,OVERALL SCORE,COMMENTS,ID\r\n";
        for (int i = 0; i < 100000; ++i)
            csv += QDate(1800, 1, 1).addDays(i).toString(Qt::ISODate).toLatin1() + ",7,day " + QByteArray::number(i) +
                   ",42\r\n";
        keeping::ImportPlan plan = keeping::readImport(csv, keeping::Format::Csv, false, 2026);
        QVERIFY(plan.ok());
        TempDiary d;
        QVERIFY(keeping::findDuplicates(d.path(), &plan).isEmpty());
        QCOMPARE(keeping::applyImport(d.path(), plan, keeping::Duplicates::Refuse, false).added, 100000);
        QCOMPARE(dayCount(d), 100000);
        QCOMPARE(d.scalar(QStringLiteral("SELECT COMMENTS FROM records WHERE DATE = '2073-10-15'")).toString(),
                 QStringLiteral("day 99999"));
    }

    // The rows a file holds for one date replace that date's rows as a whole,
    // or are skipped as a whole; two rows on a date are kept, as the diary
    // allows; the counts count dates and rows as they are.
    void import_duplicates_data()
    {
        QTest::addColumn<int>("policy");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("onFirstOfMarch");
        QTest::addColumn<QString>("summary");
        QTest::newRow("refuse") << int(keeping::Duplicates::Refuse) << false << 3 << QStringLiteral("old,old2")
                                << QString();
        QTest::newRow("skip") << int(keeping::Duplicates::Skip) << true << 5 << QStringLiteral("old,old2")
                              << QStringLiteral("Imported: 2 added, 1 dates skipped (2 rows of the file).");
        QTest::newRow("replace") << int(keeping::Duplicates::Replace) << true << 5 << QStringLiteral("new,new2")
                                 << QStringLiteral(
                                        "Imported: 2 added, 1 dates replaced (2 rows of the diary by 2 of the file).");
        QTest::newRow("add") << int(keeping::Duplicates::Add) << true << 7 << QStringLiteral("old,old2,new,new2")
                             << QStringLiteral("Imported: 4 added.");
    }
    void import_duplicates()
    {
        QFETCH(int, policy);
        QFETCH(bool, ok);
        QFETCH(int, rows);
        QFETCH(QString, onFirstOfMarch);
        QFETCH(QString, summary);
        TempDiary d;
        d.insertDay({{QStringLiteral("DATE"), QStringLiteral("2026-03-01")},
                     {QStringLiteral("COMMENTS"), QStringLiteral("old")}});
        d.insertDay({{QStringLiteral("DATE"), QStringLiteral("2026-03-01")},
                     {QStringLiteral("COMMENTS"), QStringLiteral("old2")}});
        d.insertDay({{QStringLiteral("DATE"), QStringLiteral("2026-03-02")},
                     {QStringLiteral("COMMENTS"), QStringLiteral("other")}});
        keeping::ImportPlan plan = keeping::readImport(
            "DATE,COMMENTS\r\n01/03/26,new\r\n2026-03-05,fresh\r\n2026-03-01,new2\r\n2026-03-05,fresh2\r\n",
            keeping::Format::Csv, false, 2026);
        QVERIFY(keeping::findDuplicates(d.path(), &plan).isEmpty());
        QCOMPARE(plan.duplicateDays, (QList<int>{0, 2}));
        QCOMPARE(plan.preview(),
                 QStringLiteral("4 rows on 2 dates to import, of which 1 date is already in the diary (2 rows "
                                "there). The file holds more than one row for 01/03/26, 05/03/26; they are "
                                "imported together, as the diary allows."));
        const keeping::ImportResult r = keeping::applyImport(d.path(), plan, keeping::Duplicates(policy), false);
        QCOMPARE(r.ok(), ok);
        if (!ok)
            QVERIFY2(r.error.contains(QStringLiteral("01/03/26")), qPrintable(r.error));
        else
            QCOMPARE(r.summary().section(QStringLiteral(" The diary as it was"), 0, 0), summary);
        // Only a replace names the backup it made first.
        QCOMPARE(r.summary().contains(QStringLiteral(". The diary as it was is kept in ")),
                 ok && keeping::Duplicates(policy) == keeping::Duplicates::Replace);
        QCOMPARE(dayCount(d), qint64(rows));
        QCOMPARE(d.scalar(QStringLiteral("SELECT group_concat(COMMENTS, ',') FROM (SELECT COMMENTS FROM records "
                                         "WHERE DATE = '2026-03-01' ORDER BY ID)"))
                     .toString(),
                 onFirstOfMarch);
    }

    // A long import tells how far it is, and stops with nothing written when
    // told to.
    void import_cancelledPartWay_writesNothing()
    {
        TempDiary d;
        QByteArray csv("DATE,COMMENTS\r\n");
        for (int i = 0; i < 2000; ++i)
            csv += QDate(2020, 1, 1).addDays(i).toString(Qt::ISODate).toLatin1() + ",day\r\n";
        keeping::ImportPlan plan = keeping::readImport(csv, keeping::Format::Csv, false, 2026);
        QVERIFY(keeping::findDuplicates(d.path(), &plan).isEmpty());
        QList<qsizetype> heard;
        const keeping::ImportResult r =
            keeping::applyImport(d.path(), plan, keeping::Duplicates::Refuse, false, QDateTime::currentDateTime(),
                                 [&](qsizetype done, qsizetype total) {
                                     heard << done;
                                     return total == 2000 && done < 1000;
                                 });
        QVERIFY(!r.ok());
        QVERIFY2(r.error.contains(QStringLiteral("cancelled")), qPrintable(r.error));
        QCOMPARE(heard, (QList<qsizetype>{0, 256, 512, 768, 1024}));
        QCOMPARE(dayCount(d), 0);
    }

    // Junk in the lists is refused with its reason; a list the file leaves
    // out stays as it is; the summary names the lists written.
    void import_lists_data()
    {
        QTest::addColumn<QByteArray>("lists");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("adequate");
        QTest::addColumn<QString>("irritable");
        QTest::addColumn<QString>("replaced");
        QTest::newRow("one list given") << QByteArray(R"({"IRRITABLE FOOD": "chilli"})") << QString()
                                        << QStringLiteral("rice") << QStringLiteral("chilli")
                                        << QStringLiteral("IRRITABLE FOOD");
        QTest::newRow("null empties a list") << QByteArray(R"({"ADEQUATE FOOD": null})") << QString() << QString()
                                             << QStringLiteral("beans") << QStringLiteral("ADEQUATE FOOD");
        QTest::newRow("not an object") << QByteArray("[1, 2]") << QStringLiteral("\"lists\" is not an object")
                                       << QStringLiteral("rice") << QStringLiteral("beans") << QString();
        QTest::newRow("misspelt") << QByteArray(R"({"ADEQUATE FOD": "x"})")
                                  << QStringLiteral("\"ADEQUATE FOD\", which is not one of the lists")
                                  << QStringLiteral("rice") << QStringLiteral("beans") << QString();
        QTest::newRow("a number") << QByteArray(R"({"ADEQUATE FOOD": 5})") << QStringLiteral("neither a text nor null")
                                  << QStringLiteral("rice") << QStringLiteral("beans") << QString();
    }
    void import_lists()
    {
        QFETCH(QByteArray, lists);
        QFETCH(QString, refusal);
        QFETCH(QString, adequate);
        QFETCH(QString, irritable);
        QFETCH(QString, replaced);
        TempDiary d;
        QVERIFY(d.exec(
            QStringLiteral("UPDATE [FOOD AND MEDICATION] SET [ADEQUATE FOOD] = 'rice', [IRRITABLE FOOD] = 'beans'")));
        keeping::ImportPlan plan = keeping::readImport(R"({"days": [{"DATE": "2026-03-01"}], "lists": )" + lists + "}",
                                                       keeping::Format::Json, false, 2026);
        QCOMPARE(plan.ok(), refusal.isEmpty());
        if (!refusal.isEmpty()) {
            QVERIFY2(plan.fileError.contains(refusal), qPrintable(plan.fileError));
        } else {
            QVERIFY(keeping::findDuplicates(d.path(), &plan).isEmpty());
            const keeping::ImportResult r = keeping::applyImport(d.path(), plan, keeping::Duplicates::Refuse, true);
            QVERIFY2(r.ok(), qPrintable(r.error));
            QCOMPARE(r.listsReplaced.join(QLatin1Char(',')), replaced);
            QVERIFY2(r.summary().contains(
                         QStringLiteral("Lists replaced: %1. The diary as it was is kept in ").arg(replaced)),
                     qPrintable(r.summary()));
        }
        QCOMPARE(d.scalar(QStringLiteral("SELECT [ADEQUATE FOOD] FROM [FOOD AND MEDICATION]")).toString(), adequate);
        QCOMPARE(d.scalar(QStringLiteral("SELECT [IRRITABLE FOOD] FROM [FOOD AND MEDICATION]")).toString(), irritable);
    }

    // The preview refuses what the write would: a DATE given as a number, a
    // NUL in a JSON text as in a CSV one, and scores an old diary's "as is"
    // cannot hold in a diary that checks their range itself.
    void import_previewRefusesWhatTheWriteWould_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("asIs");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("DATE as a number")
            << QByteArray(R"({"days": [{"DATE": 20261201}]})") << false << QStringLiteral("DATE must be a text");
        QTest::newRow("NUL in a JSON text") << QByteArray(R"({"days": [{"DATE": "2026-12-01", "LUNCH": "a\u0000b"}]})")
                                            << false << QStringLiteral("LUNCH holds a NUL character");
        QTest::newRow("a huge number") << QByteArray(R"({"days": [{"DATE": "2026-12-01", "BMs": 1e300}]})") << false
                                       << QStringLiteral("BMs holds neither text nor a whole number");
        QTest::newRow("as-is score in a checking diary")
            << QByteArray("DATE,OVERALL SCORE\r\n2026-12-01,12\r\n2026-12-02,5\r\n2026-12-03,0\r\n") << true
            << QStringLiteral("Line 2: this diary refuses it");
    }
    void import_previewRefusesWhatTheWriteWould()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, asIs);
        QFETCH(QString, refusal);
        TempDiary d;
        keeping::ImportPlan plan = keeping::readImport(file, keeping::guessFormat(QString(), file), asIs, 2026);
        if (plan.ok())
            QVERIFY(keeping::findDuplicates(d.path(), &plan).isEmpty());
        QVERIFY(!plan.ok());
        QVERIFY2(plan.describeRefusals().join(QLatin1Char('\n')).contains(refusal),
                 qPrintable(plan.describeRefusals().join(QLatin1Char('\n'))));
        // Only the days refused are listed: a good day between two bad ones is not.
        QVERIFY2(!plan.describeRefusals().join(QLatin1Char('\n')).contains(QStringLiteral("Line 3:")),
                 qPrintable(plan.describeRefusals().join(QLatin1Char('\n'))));
        QCOMPARE(dayCount(d), 0);
    }

    // A U+FEFF that starts a text is a character of it, on both sides: only
    // one at the very start of the file is a byte order mark.
    void import_leadingFeffInATextIsKept_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("csv") << int(keeping::Format::Csv);
        QTest::newRow("json") << int(keeping::Format::Json);
    }
    void import_leadingFeffInATextIsKept()
    {
        QFETCH(int, format);
        TempDiary d;
        // As bytes: SQLite takes a U+FEFF at the start of UTF-16 as a byte order mark.
        QVERIFY(d.exec(
            QStringLiteral("INSERT INTO records (DATE, LUNCH) VALUES ('2026-01-02', CAST(X'EFBBBF746561' AS TEXT))")));
        keeping::ExportOptions options;
        options.format = keeping::Format(format);
        const keeping::ExportResult e = keeping::exportDays(d.path(), options);
        QVERIFY(e.ok());
        TempDiary back;
        keeping::ImportPlan plan = keeping::readImport("\xEF\xBB\xBF" + e.bytes, keeping::Format(format), false, 2026);
        QVERIFY2(plan.ok(), qPrintable(plan.describeRefusals().join(QLatin1Char(' '))));
        QVERIFY(keeping::findDuplicates(back.path(), &plan).isEmpty());
        QVERIFY(keeping::applyImport(back.path(), plan, keeping::Duplicates::Refuse, false).ok());
        QCOMPARE(back.scalar(QStringLiteral("SELECT hex(LUNCH) FROM records")).toString(),
                 QStringLiteral("EFBBBF746561"));
    }

    // Only regular files are read: a pipe would block for ever, a device
    // never end.
    void importFile_onlyRegularFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("pipe") << QStringLiteral("fifo") << QStringLiteral("is not a file but a pipe");
        QTest::newRow("link to /dev/zero") << QStringLiteral("zero") << QStringLiteral("is not a file but a pipe");
        QTest::newRow("missing") << QStringLiteral("missing") << QStringLiteral("could not be read");
        QTest::newRow("regular") << QStringLiteral("file") << QString();
    }
    void importFile_onlyRegularFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, refusal);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("days.csv"));
        if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == QLatin1String("zero"))
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        else if (kind == QLatin1String("file"))
            QVERIFY(writeBytes(path, "DATE\r\n2026-01-01\r\n"));
        QByteArray bytes;
        const QString error = keeping::readImportFile(path, &bytes);
        if (refusal.isEmpty()) {
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QCOMPARE(bytes, QByteArray("DATE\r\n2026-01-01\r\n"));
        } else {
            QVERIFY2(error.contains(refusal), qPrintable(error));
            QVERIFY(bytes.isEmpty());
        }
    }

    void rotation_keepsLastTenAndNewestOfDaysAndMonths()
    {
        // Worked by hand, at 2026-06-15 12:00: the last 10 are the one dated
        // after now and 10:11 back to 10:03; then the newest of 14 June, of
        // May (31 May), of July 2024 (the 24th month back); June 2024 is too
        // old and 2 May is neither the newest of its day in range nor of May.
        const QDateTime now(QDate(2026, 6, 15), QTime(12, 0));
        QList<QDateTime> times;
        for (int i = 0; i < 12; ++i) // twelve on the same day, 10:00..10:11
            times << QDateTime(QDate(2026, 6, 15), QTime(10, i));
        times << QDateTime(QDate(2026, 6, 14), QTime(9, 0)) << QDateTime(QDate(2026, 6, 14), QTime(8, 0))
              << QDateTime(QDate(2026, 5, 31), QTime(23, 0)) << QDateTime(QDate(2026, 5, 2), QTime(1, 0))
              << QDateTime(QDate(2024, 7, 1), QTime(0, 0)) << QDateTime(QDate(2024, 6, 30), QTime(23, 59))
              << QDateTime(QDate(2026, 7, 1), QTime(0, 0)); // after now: a clock set back
        const QList<bool> keep = keeping::backupsToKeep(times, now);
        const QList<bool> expected{false, false, false, true,  true, true,  true, true,  true, true,
                                   true,  true,  true,  false, true, false, true, false, true};
        QCOMPARE(keep, expected);
    }

    void rotation_overSimulatedYears()
    {
        // Two backups a day, 2024-01-01 to 2026-06-15: the last 10 (5 days),
        // 25 more newest-of-day (the last 30 days), 22 more newest-of-month
        // (2024-07 .. 2026-04, their last days): 57.
        QTemporaryDir dir;
        const QString diaryPath = dir.filePath(QStringLiteral("Records.mdb"));
        for (QDate day(2024, 1, 1); day <= QDate(2026, 6, 15); day = day.addDays(1)) {
            for (const QTime &t : {QTime(12, 0), QTime(18, 0)}) {
                const QDateTime when(day, t);
                QVERIFY(writeBytes(dir.filePath(keeping::backupFileName(diaryPath, when)), "x"));
                keeping::rotateBackups(dir.path(), when);
            }
        }
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("notes.txt")), "mine"));
        keeping::rotateBackups(dir.path(), QDateTime(QDate(2026, 6, 15), QTime(18, 0)));
        const QStringList left = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
        QCOMPARE(left.size(), 58);
        QVERIFY(left.contains(QStringLiteral("notes.txt")));
        QCOMPARE(left.first(), QStringLiteral("Records-2024-07-31-180000.mdb"));
        QVERIFY(left.contains(QStringLiteral("Records-2026-04-30-180000.mdb")));
        QVERIFY(!left.contains(QStringLiteral("Records-2026-04-30-120000.mdb")));
        QVERIFY(left.contains(QStringLiteral("Records-2026-05-17-180000.mdb")));
        QVERIFY(!left.contains(QStringLiteral("Records-2026-05-16-180000.mdb")));
        QVERIFY(left.contains(QStringLiteral("Records-2026-06-11-120000.mdb")));
        QVERIFY(!left.contains(QStringLiteral("Records-2026-06-10-120000.mdb")));
    }

    void backup_isPrivateCheckedAndNeverThroughALink()
    {
        TempDiary d;
        QVERIFY(diary::addSampleDays(d.path(), 30, kToday, 7).isEmpty());
        const QDateTime now(kToday, QTime(9, 30, 5));
        const keeping::BackupResult r = keeping::backUp(d.path(), now);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(QFileInfo(r.path).fileName(), QStringLiteral("Records-2026-06-15-093005.mdb"));
        QCOMPARE(modeOf(r.path), 0600);
        QCOMPARE(modeOf(keeping::backupsFolder(d.path())), 0700);
        QVERIFY(keeping::checkDiary(r.path, keeping::CheckDepth::Full).ok);
        QCOMPARE(keeping::describeBackup(r.path).days, 30);
        // A second in the same second gets its own name.
        QCOMPARE(QFileInfo(keeping::backUp(d.path(), now).path).fileName(),
                 QStringLiteral("Records-2026-06-15-093005-2.mdb"));
        QVERIFY(!keeping::backUp(d.path(), now, r.path).ok()); // --to an existing file

        // A link in the folder's place is refused, and nothing lands behind it.
        TempDiary e;
        QTemporaryDir elsewhere;
        QVERIFY(QFile::link(elsewhere.path(), keeping::backupsFolder(e.path())));
        const keeping::BackupResult refused = keeping::backUp(e.path(), now);
        QVERIFY(!refused.ok());
        QVERIFY2(refused.error.contains(QStringLiteral("link")), qPrintable(refused.error));
        QVERIFY(QDir(elsewhere.path()).isEmpty());

        // A copy of a damaged diary fails its check and is never kept.
        TempDiary damaged;
        QVERIFY(diary::addSampleDays(damaged.path(), 300, kToday, 7).isEmpty());
        QByteArray bytes = fileBytes(damaged.path());
        bytes.replace(4096 * 3, 4096, QByteArray(4096, '\x55'));
        QVERIFY(writeBytes(damaged.path(), bytes));
        const keeping::BackupResult bad = keeping::backUp(damaged.path(), now);
        QVERIFY(!bad.ok());
        QVERIFY2(bad.error.contains(QStringLiteral("does not pass the integrity check")), qPrintable(bad.error));
        QVERIFY(QDir(keeping::backupsFolder(damaged.path())).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void restore_putsBackupInPlaceAndKeepsTheOldDiary()
    {
        TempDiary d;
        QVERIFY(diary::addSampleDays(d.path(), 20, kToday, 7).isEmpty());
        const keeping::BackupResult b = keeping::backUp(d.path(), QDateTime(kToday, QTime(8, 0)));
        QVERIFY(b.ok());
        QVERIFY(d.exec(QStringLiteral("DELETE FROM records WHERE DATE > '2026-06-01'")));
        QCOMPARE(dayCount(d), 7);
        const keeping::RestoreResult r = keeping::restoreDiary(d.path(), b.path, QDateTime(kToday, QTime(9, 0)));
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(dayCount(d), 20);
        QCOMPARE(modeOf(d.path()), 0600);
        QCOMPARE(QFileInfo(r.safetyBackup).fileName(), QStringLiteral("Records-2026-06-15-090000.mdb"));
        QCOMPARE(keeping::describeBackup(r.safetyBackup).days, 7);
        QVERIFY(!QFileInfo::exists(d.path() + QStringLiteral("-journal")));
    }

    void restore_refusesBadBackups_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("not a diary") << QStringLiteral("random") << QStringLiteral("not a database");
        QTest::newRow("truncated") << QStringLiteral("truncated") << QStringLiteral("cannot be restored");
        QTest::newRow("newer format") << QStringLiteral("newer") << QStringLiteral("newer MEALWISE (format 2");
        QTest::newRow("no records table")
            << QStringLiteral("notable") << QStringLiteral("the table records is missing");
        QTest::newRow("missing") << QStringLiteral("missing") << QStringLiteral("does not exist");
    }
    void restore_refusesBadBackups()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        TempDiary d;
        QVERIFY(diary::addSampleDays(d.path(), 200, kToday, 7).isEmpty());
        TempDiary source;
        QVERIFY(diary::addSampleDays(source.path(), 200, kToday, 9).isEmpty());
        QTemporaryDir dir;
        const QString bad = dir.filePath(QStringLiteral("bad.mdb"));
        if (kind == QLatin1String("random")) {
            QVERIFY(writeBytes(bad, QByteArray(8192, 'z')));
        } else if (kind == QLatin1String("truncated")) {
            const QByteArray whole = fileBytes(source.path());
            QVERIFY(whole.size() > 16384);
            QVERIFY(writeBytes(bad, whole.left(whole.size() / 2)));
        } else if (kind == QLatin1String("newer")) {
            QVERIFY(source.exec(QStringLiteral("PRAGMA user_version = 2")));
            QVERIFY(QFile::copy(source.path(), bad));
        } else if (kind == QLatin1String("notable")) {
            QVERIFY(source.exec(QStringLiteral("DROP VIEW [Diary Query]")));
            QVERIFY(source.exec(QStringLiteral("DROP TABLE records")));
            QVERIFY(QFile::copy(source.path(), bad));
        }
        const QByteArray before = fileBytes(d.path());
        const keeping::RestoreResult r = keeping::restoreDiary(d.path(), bad, QDateTime(kToday, QTime(9, 0)));
        QVERIFY(!r.ok());
        QVERIFY2(r.error.contains(message), qPrintable(r.error));
        QVERIFY2(r.error.contains(QStringLiteral("Nothing was changed")), qPrintable(r.error));
        QCOMPARE(fileBytes(d.path()), before);
        QVERIFY(!QFileInfo::exists(keeping::backupsFolder(d.path())));
        QCOMPARE(QDir(QFileInfo(d.path()).absolutePath()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Records.mdb")});
    }

    void check_newDiaryCarriesItsFormat_damageIsNamed()
    {
        TempDiary d;
        QCOMPARE(d.scalar(QStringLiteral("PRAGMA user_version")).toInt(), diary::kSchemaVersion);
        QVERIFY(keeping::checkDiary(d.path(), keeping::CheckDepth::Quick).ok);
        QVERIFY(diary::addSampleDays(d.path(), 300, kToday, 7).isEmpty());
        // Zero a page in the middle: a table page goes bad.
        QByteArray bytes = fileBytes(d.path());
        const int pageSize = 4096;
        bytes.replace(pageSize * 3, pageSize, QByteArray(pageSize, '\x55'));
        QVERIFY(writeBytes(d.path(), bytes));
        const keeping::Verdict quick = keeping::checkDiary(d.path(), keeping::CheckDepth::Quick);
        QVERIFY(!quick.ok);
        QVERIFY(!quick.problems.isEmpty());
        QVERIFY(quick.text(d.path()).contains(QStringLiteral("is damaged")));
    }

    void report_textAndPages()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QFAIL("pdftotext (poppler-utils) is needed");
        TempDiary d;
        QVERIFY(diary::addSampleDays(d.path(), 120, kToday, 7).isEmpty());
        d.insertDay(
            {{QStringLiteral("DATE"), QStringLiteral("2026-06-15")},
             {QStringLiteral("OVERALL SCORE"), 8},
             {QStringLiteral("COMMENTS"),
              QStringLiteral(
                  "Averyveryveryveryverylongwordwithoutanybreakthatmustwrapinsideitscellandnotrunoffthepage")}});
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        const keeping::ReportRange range{QDate(2026, 5, 1), QDate(2026, 6, 15), QDate(2026, 6, 16)};
        const QString error = keeping::writeReportPdf(d.path(), range, pdf);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(modeOf(pdf), 0600);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000));
        const QString out = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY(out.contains(QStringLiteral("MEALWISE diary report")));
        QVERIFY(out.contains(QStringLiteral("Days from 01/05/26 to 15/06/26")));
        QVERIFY(out.contains(QStringLiteral("Made on 16/06/26; 46 days recorded in the range.")));
        QVERIFY(out.contains(QStringLiteral("30/04/26")) == false); // the day before the range
        QVERIFY(out.contains(QStringLiteral("Food and medication lists")));
        // Wrapped inside its cell, every letter still on the page.
        QString squeezed = out;
        squeezed.remove(QRegularExpression(QStringLiteral("\\s")));
        QVERIFY(squeezed.contains(QStringLiteral(
            "Averyveryveryveryverylongwordwithoutanybreakthatmustwrapinsideitscellandnotrunoffthepage")));
        // Every page that holds the table starts it with a whole day: its
        // date comes first under the header, no row runs on from the page before.
        const int pageCount = int(out.count(QLatin1Char('\f')));
        QVERIFY(pageCount >= 2);
        int tablePages = 0;
        for (int page = 1; page <= pageCount; ++page) {
            QProcess one;
            one.start(QStringLiteral("pdftotext"),
                      {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                       QString::number(page), pdf, QStringLiteral("-")});
            QVERIFY(one.waitForFinished(30000));
            const QStringList lines = QString::fromUtf8(one.readAllStandardOutput()).split(QLatin1Char('\n'));
            for (qsizetype i = 0; i < lines.size(); ++i) {
                if (!lines[i].contains(QRegularExpression(QStringLiteral("Date.*Score.*Meals"))))
                    continue;
                ++tablePages;
                qsizetype next = i + 1;
                while (next < lines.size() && lines[next].trimmed().isEmpty())
                    ++next;
                QVERIFY2(next < lines.size() &&
                             lines[next].contains(QRegularExpression(QStringLiteral("^\\s*\\d\\d/\\d\\d/\\d\\d\\s"))),
                         qPrintable(QStringLiteral("page %1 starts with: %2")
                                        .arg(page)
                                        .arg(next < lines.size() ? lines[next] : QString())));
                break;
            }
        }
        QVERIFY(tablePages >= 2);
        QProcess pages;
        pages.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("40"), QStringLiteral("-png"),
                                                 pdf, dir.filePath(QStringLiteral("page"))});
        QVERIFY(pages.waitForFinished(60000));
        const QStringList pngs = QDir(dir.path()).entryList({QStringLiteral("page*.png")});
        QVERIFY2(pngs.size() >= 3, qPrintable(pngs.join(QLatin1Char(' '))));
        if (qEnvironmentVariableIsSet("MEALWISE_KEEP_REPORT"))
            QFile::copy(pdf, qEnvironmentVariable("MEALWISE_KEEP_REPORT"));
    }

    // Rows of 1 to 60 lines are never split across pages; a text of a
    // million characters shows a page of itself and says how much is left
    // out; a range across a century shows four-digit years.
    void report_rowsNeverSplit_hugeTextCut_centuriesTold()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QFAIL("pdftotext (poppler-utils) is needed");
        TempDiary d;
        QRandomGenerator rng(20261209);
        QHash<QString, int> linesOf;
        for (int day = 1; day <= 45; ++day) {
            const int lines = day == 45 ? 60 : 1 + int(rng.bounded(60));
            QStringList comment;
            for (int l = 1; l <= lines; ++l)
                comment << QStringLiteral("D%1L%2").arg(day).arg(l);
            const QString date = QDate(2099, 11, 1).addDays(day).toString(Qt::ISODate);
            d.insertDay({{QStringLiteral("DATE"), date},
                         {QStringLiteral("OVERALL SCORE"), 5},
                         {QStringLiteral("COMMENTS"), comment.join(QLatin1Char('\n'))}});
            linesOf.insert(QStringLiteral("D%1L").arg(day), lines);
        }
        d.insertDay({{QStringLiteral("DATE"), QStringLiteral("2100-01-05")},
                     {QStringLiteral("COMMENTS"), QString(1000000, QLatin1Char('x'))}});
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        const QString error =
            keeping::writeReportPdf(d.path(), {QDate(2099, 11, 1), QDate(2100, 1, 31), QDate(2100, 2, 1)}, pdf);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QProcess all;
        all.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(all.waitForFinished(30000));
        const QString text = QString::fromUtf8(all.readAllStandardOutput());
        QVERIFY2(text.contains(QStringLiteral("Days from 01/11/2099 to 31/01/2100")), qPrintable(text.left(300)));
        QVERIFY(text.contains(QStringLiteral("05/01/2100")));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("\\(998000\\s+more\\s+characters\\)"))));
        const QStringList pages = text.split(QLatin1Char('\f'));
        QVERIFY2(pages.size() < 80, qPrintable(QString::number(pages.size())));
        // Each day's lines all stand on one page, every one of them there.
        for (auto it = linesOf.begin(); it != linesOf.end(); ++it) {
            const QRegularExpression line(QStringLiteral("\\b%1\\d+\\b").arg(it.key()));
            QList<int> on;
            int found = 0;
            for (int p = 0; p < pages.size(); ++p) {
                const int n = int(pages[p].count(line));
                if (n > 0)
                    on << p;
                found += n;
            }
            QCOMPARE(found, it.value());
            QVERIFY2(on.size() == 1,
                     qPrintable(QStringLiteral("%1 is split over pages %2").arg(it.key()).arg(on.size())));
        }
    }

    void report_clearLinks_data()
    {
        QTest::addColumn<int>("plantedDays"); // the first days that hold items with an effect
        QTest::addColumn<int>("fromDay");     // the report's range, as day numbers
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("absent");
        const QString none = QStringLiteral("No item showed a clear link");
        const QString disagree = QStringLiteral("PICKLED ONIONS\\s+food\\s+\\d+\\s+-\\d+\\.\\d\\d \\(-\\d+\\.\\d\\d to "
                                                "-\\d+\\.\\d\\d\\)\\s+seems to disagree");
        const QString agree = QStringLiteral(
            "GINGER TEA\\s+drink\\s+\\d+\\s+\\d+\\.\\d\\d \\(\\d+\\.\\d\\d to \\d+\\.\\d\\d\\)\\s+seems to agree");
        QTest::newRow("planted") << 60 << 0 << QStringList{disagree, agree} << QStringList{none};
        QTest::newRow("items without effect") << 0 << 0 << QStringList{none} << QStringList{QStringLiteral("seems to")};
        QTest::newRow("planted before the range")
            << 60 << 60 << QStringList{none} << QStringList{QStringLiteral("seems to")};
    }

    // The report names the items with a clear link in its range, or says
    // there is none, and always that a link is not proof.
    void report_clearLinks()
    {
        QFETCH(int, plantedDays);
        QFETCH(int, fromDay);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, absent);
        TempDiary d;
        const QDate first(2026, 1, 1);
        // Without any effect about one diary in ten still shows a link (the
        // false-discovery rate of 0.10); this seed's diaries are among the nine.
        std::mt19937 rng(608);
        for (int i = 0; i < 120; ++i) {
            // Every item is on the same days whether planted or not; only the
            // scores of the days after them differ. Days drawn by a hash, not
            // a cycle: in a cycle the items' days before and after add up to
            // every day, which no model can tell apart.
            const auto onion = [](int day) { return day >= 0 && ((quint32(day) * 2654435761u) >> 20) % 4 == 0; };
            const auto ginger = [&](int day) {
                return day >= 0 && !onion(day) && ((quint32(day) * 2654435761u) >> 12) % 3 == 0;
            };
            const bool planted = i < plantedDays;
            int score = int(5 + rng() % 4u); // 5 to 8, the same in every row of the table
            if (planted && onion(i - 1))
                score = 2; // the day after PICKLED ONIONS
            else if (planted && ginger(i - 1))
                score = 10; // the day after GINGER TEA
            d.insertDay({{QStringLiteral("DATE"), first.addDays(i).toString(Qt::ISODate)},
                         {QStringLiteral("OVERALL SCORE"), score},
                         {QStringLiteral("BREAKFAST"), QStringLiteral("TOAST")},
                         {QStringLiteral("SNACK1"), onion(i) ? QStringLiteral("PICKLED ONIONS") : QString()},
                         {QStringLiteral("BEVERAGE1"), ginger(i) ? QStringLiteral("GINGER TEA") : QString()}});
        }
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        const keeping::ReportRange range{first.addDays(fromDay), first.addDays(fromDay + 59), first.addDays(130)};
        const QString error = keeping::writeReportPdf(d.path(), range, pdf);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000));
        const QString out = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY(out.contains(QStringLiteral("A link is not proof")));
        for (const QString &e : expected)
            QVERIFY2(out.contains(QRegularExpression(e)),
                     qPrintable(e + QStringLiteral(" not in:\n") + out.left(3000)));
        for (const QString &a : absent)
            QVERIFY2(!out.contains(a), qPrintable(a));
    }

    void cli_exitStatuses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::newRow("check sound") << QStringList{QStringLiteral("check")} << 0;
        QTest::newRow("check damaged") << QStringList{QStringLiteral("check"), QStringLiteral("--damaged")} << 1;
        QTest::newRow("check bad option") << QStringList{QStringLiteral("check"), QStringLiteral("--nope")} << 2;
        QTest::newRow("backup") << QStringList{QStringLiteral("backup")} << 0;
        QTest::newRow("restore no file") << QStringList{QStringLiteral("restore")} << 2;
        QTest::newRow("restore list") << QStringList{QStringLiteral("restore"), QStringLiteral("--list")} << 0;
        QTest::newRow("restore not a diary") << QStringList{QStringLiteral("restore"), QStringLiteral("--junk")} << 1;
        QTest::newRow("export bad format")
            << QStringList{QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("xml")} << 2;
        QTest::newRow("export bad date") << QStringList{QStringLiteral("export"), QStringLiteral("--from"),
                                                        QStringLiteral("31/02/26")}
                                         << 2;
        QTest::newRow("import refused") << QStringList{QStringLiteral("import"), QStringLiteral("--junk")} << 1;
        QTest::newRow("import bad policy") << QStringList{QStringLiteral("import"), QStringLiteral("--junk"),
                                                          QStringLiteral("--on-duplicate"), QStringLiteral("merge")}
                                           << 2;
        QTest::newRow("report without --pdf") << QStringList{QStringLiteral("report")} << 2;
        QTest::newRow("report") << QStringList{QStringLiteral("report"), QStringLiteral("--pdf"),
                                               QStringLiteral("--out")}
                                << 0;
    }
    void cli_exitStatuses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        TempDiary d;
        QTemporaryDir dir;
        const QString junk = dir.filePath(QStringLiteral("junk.csv"));
        QVERIFY(writeBytes(junk, "not,a,diary\r\n"));
        QString path = d.path();
        if (arguments.removeAll(QStringLiteral("--damaged")))
            path = junk;
        for (QString &a : arguments) {
            if (a == QLatin1String("--junk")) {
                a = junk;
            } else if (a == QLatin1String("--out")) {
                a = dir.filePath(QStringLiteral("r.pdf"));
            }
        }
        QProcess p;
        p.start(QStringLiteral(MEALWISE_DIARY_BINARY), arguments + QStringList{QStringLiteral("--path"), path});
        QVERIFY(p.waitForFinished(60000));
        const QByteArray err = p.readAllStandardError();
        QVERIFY2(p.exitCode() == status, err.constData());
        if (status == 1)
            QVERIFY(!err.trimmed().isEmpty());
    }
};

QTEST_MAIN(tst_Keeping)
#include "tst_keeping.moc"
