// The diary file that mealwise-setup makes, and how it ranks the days.
#include "data/datacontrol.h"
#include "data/dayvalues.h"
#include "data/diarycolumns.h"
#include "data/diaryconnection.h"
#include "data/diarynames.h"
#include "data/diaryschema.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using testing_support::TempDiary;

class tst_DiarySchema : public QObject
{
    Q_OBJECT

private:
    static int mode(const QString &path)
    {
        struct stat st
        {
        };
        if (::stat(QFile::encodeName(path).constData(), &st) != 0)
            return -1;
        return int(st.st_mode & 0777);
    }
    static QStringList columnsOf(const TempDiary &d, const QString &table)
    {
        QStringList names;
        for (const QVariantList &row : d.rows(QStringLiteral("SELECT name FROM pragma_table_info(?)"), {table}))
            names << row.at(0).toString();
        return names;
    }

private slots:
    void path_isUnderHomeWithFixedNames()
    {
        QCOMPARE(diary::databasePath(), QDir::homePath() + QStringLiteral("/MEALWISE/Records.mdb"));
    }

    void newDiary_hasTablesColumnsAndOneFoodRow()
    {
        TempDiary d;
        QVERIFY2(d.ok(), qPrintable(d.error()));
        QCOMPARE(columnsOf(d, QStringLiteral("records")), diary::recordsColumns());
        QCOMPARE(columnsOf(d, QStringLiteral("FOOD AND MEDICATION")), diary::foodColumns());
        const QStringList &queryColumns = diary::diaryQueryColumns();
        QCOMPARE(columnsOf(d, QStringLiteral("Diary Query")), queryColumns);
        QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM [FOOD AND MEDICATION]")).toInt(), 1);
        QCOMPARE(d.scalar(QStringLiteral("SELECT [ADEQUATE FOOD] FROM [FOOD AND MEDICATION]")).toString(), QString());
        QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 0);
    }

    // The catalogue against the CREATE TABLE text a new diary gets: each kind
    // as many columns as the schema has of it, each declared as its kind is
    // stored. With the name list above (in order) every column is in both.
    void catalogue_kindsAsTheNewDiaryDeclaresThem_data()
    {
        QTest::addColumn<diary::ColumnKind>("kind");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("declared");
        QTest::newRow("date") << diary::ColumnKind::Date << 1 << "TEXT";
        QTest::newRow("score") << diary::ColumnKind::Score << 1 << "INTEGER";
        QTest::newRow("count") << diary::ColumnKind::Count << 1 << "INTEGER";
        QTest::newRow("meals") << diary::ColumnKind::Meal << 3 << "TEXT";
        QTest::newRow("snacks") << diary::ColumnKind::Snack << 4 << "TEXT";
        QTest::newRow("beverages") << diary::ColumnKind::Beverage << 4 << "TEXT";
        QTest::newRow("medications") << diary::ColumnKind::Medication << 9 << "TEXT";
        QTest::newRow("comments") << diary::ColumnKind::Comments << 1 << "TEXT";
        QTest::newRow("key") << diary::ColumnKind::Key << 1 << "INTEGER";
    }
    void catalogue_kindsAsTheNewDiaryDeclaresThem()
    {
        QFETCH(diary::ColumnKind, kind);
        QFETCH(int, count);
        QFETCH(QString, declared);
        TempDiary d;
        QVERIFY(d.ok());
        QHash<QString, QString> types;
        for (const QVariantList &row : d.rows(QStringLiteral("SELECT name, type FROM pragma_table_info('records')")))
            types.insert(row.at(0).toString(), row.at(1).toString());
        const QStringList names = diary::columnNamesOf(kind);
        QCOMPARE(names.size(), count);
        for (const QString &name : names)
            QCOMPARE(types.value(name, QStringLiteral("(not in the diary)")), declared);
    }

    void recordSources_runAsTheyStand()
    {
        TempDiary d;
        QVERIFY(d.ok());
        d.insertDay({{QStringLiteral("DATE"), QStringLiteral("2026-03-04")}});
        QCOMPARE(d.rows(diary::recordsRecordSource()).size(), 1);
        QCOMPARE(d.rows(diary::foodRecordSource()).size(), 1);
        QCOMPARE(d.rows(diary::selectForRecordSource(diary::mainRecordSource())).size(), 1);
    }

    void newDiary_folderAndFileAreTheUsersOnly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("deep/MEALWISE/Records.mdb"));
        QCOMPARE(diary::createDiary(path), QString());
        QCOMPARE(mode(path), 0600);
        QCOMPARE(mode(QFileInfo(path).absolutePath()), 0700);
    }

    void scoresAndCounts_onlyWholeNumbers_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("accepted");
        for (const char *column : {"OVERALL SCORE", "BMs"}) {
            const QString c = QLatin1String(column);
            QTest::addRow("%s 7", column) << c << QVariant(7) << true;
            QTest::addRow("%s '7' text", column) << c << QVariant(QStringLiteral("7")) << true;
            QTest::addRow("%s 7.5", column) << c << QVariant(QStringLiteral("7.5")) << false;
            QTest::addRow("%s abc", column) << c << QVariant(QStringLiteral("abc")) << false;
            QTest::addRow("%s empty text", column) << c << QVariant(QString(QLatin1String(""))) << false;
            QTest::addRow("%s NULL", column) << c << QVariant() << true;
            QTest::addRow("%s -1", column) << c << QVariant(-1) << false;
        }
        // A score runs from 1 to 10; a count of BMs from 0 up.
        const QString score = QStringLiteral("OVERALL SCORE");
        const QString bms = QStringLiteral("BMs");
        QTest::newRow("OVERALL SCORE 0") << score << QVariant(0) << false;
        QTest::newRow("OVERALL SCORE 1") << score << QVariant(1) << true;
        QTest::newRow("OVERALL SCORE 10") << score << QVariant(10) << true;
        QTest::newRow("OVERALL SCORE 11") << score << QVariant(11) << false;
        QTest::newRow("BMs 0") << bms << QVariant(0) << true;
        QTest::newRow("BMs 40") << bms << QVariant(40) << true;
    }
    void scoresAndCounts_onlyWholeNumbers()
    {
        QFETCH(QString, column);
        QFETCH(QVariant, value);
        QFETCH(bool, accepted);
        TempDiary d;
        QVERIFY(d.ok());
        const qint64 id = d.insertDay({{column, value}});
        QCOMPARE(id >= 0, accepted);
        // The rule the window, the import and the conversion ask says what
        // the diary's CHECK says.
        if (value.typeId() == QMetaType::Int)
            QCOMPARE(diary::dayNumberProblem(column, value.toLongLong()).isEmpty(), accepted);
        if (accepted && value.isValid())
            QCOMPARE(d.scalar(QStringLiteral("SELECT typeof([%1]) FROM records").arg(column)).toString(),
                     QStringLiteral("integer"));
    }

    void dayNumberProblem_saysTheRule()
    {
        QCOMPARE(diary::dayNumberProblem(QStringLiteral("OVERALL SCORE"), 11),
                 QStringLiteral("OVERALL SCORE 11 is not from 1 to 10"));
        QCOMPARE(diary::dayNumberProblem(QStringLiteral("BMs"), -2), QStringLiteral("BMs -2 is below 0"));
        QVERIFY(diary::dayNumberProblem(QStringLiteral("LUNCH"), -2).isEmpty());
    }

    void refusal_namesTheColumnAndWhy()
    {
        TempDiary d;
        QVERIFY(d.ok());
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("refusal"));
        {
            db.setDatabaseName(d.path());
            QVERIFY(db.open());
            QSqlQuery q(db);
            q.prepare(QStringLiteral("INSERT INTO records ([OVERALL SCORE]) VALUES (?)"));
            q.addBindValue(QStringLiteral("abc"));
            QVERIFY(!q.exec());
            QVERIFY2(q.lastError().text().contains(QLatin1String("OVERALL SCORE must be a whole number")),
                     qPrintable(q.lastError().text()));
            q.prepare(QStringLiteral("INSERT INTO records (DATE) VALUES (?)"));
            q.addBindValue(QStringLiteral("2026-02-31"));
            QVERIFY(!q.exec());
            QVERIFY(q.lastError().text().contains(QLatin1String("DATE must be a valid calendar date")));
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("refusal"));
    }

    void dates_onlyValidCalendarDays_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("ordinary") << QStringLiteral("2026-12-09") << true;
        QTest::newRow("leap day") << QStringLiteral("2024-02-29") << true;
        QTest::newRow("no leap day") << QStringLiteral("2026-02-29") << false;
        QTest::newRow("31 February") << QStringLiteral("2026-02-31") << false;
        QTest::newRow("month 13") << QStringLiteral("2026-13-01") << false;
        QTest::newRow("day first") << QStringLiteral("09/12/2026") << false;
        QTest::newRow("with time") << QStringLiteral("2026-12-09 10:00") << false;
        QTest::newRow("word") << QStringLiteral("hello") << false;
        QTest::newRow("empty") << QString(QLatin1String("")) << false;
    }
    void dates_onlyValidCalendarDays()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        TempDiary d;
        QVERIFY(d.ok());
        QCOMPARE(d.insertDay({{QStringLiteral("DATE"), text}}) >= 0, accepted);
    }

    void ranking_numericBestFirstTiesByDateThenIdUnscoredLast()
    {
        TempDiary d;
        QVERIFY(d.ok());
        auto day = [&](QVariant score, const char *date) {
            return d.insertDay(
                {{QStringLiteral("OVERALL SCORE"), score}, {QStringLiteral("DATE"), QLatin1String(date)}});
        };
        const qint64 unscored = day(QVariant(), "2026-05-01");
        const qint64 nine = day(9, "2026-01-01");
        const qint64 tenOld = day(10, "2025-01-01");
        const qint64 two = day(2, "2026-06-01");
        const qint64 tenNewA = day(10, "2026-02-01");
        const qint64 tenNewB = day(10, "2026-02-01");
        const diary::RecordSourceRows r = diary::readRecordSource(d.path(), diary::mainRecordSource());
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        const std::vector<qint64> expected{tenNewA, tenNewB, tenOld, nine, two, unscored};
        QCOMPARE(r.keys, expected);
        // The ID is the rows' hidden key, not a visible column.
        QCOMPARE(r.header.size(), diary::diaryQueryColumns().size() - 1);
        QVERIFY(!r.header.contains(QStringLiteral("ID")));
        QCOMPARE(r.rowCount(), 6);
        QCOMPARE(r.cell(0, 0), QStringLiteral("01/02/26"));
        QCOMPARE(r.cell(0, 1), QStringLiteral("10"));
        QCOMPARE(r.cell(5, 1), QString());
    }

    // Equal scores rank by the stored day, newest first, where the shown
    // dd/MM/yy text would sort otherwise.
    void ranking_equalScoresByStoredDateNotShownText_data()
    {
        auto texts = [](std::initializer_list<const char *> list) {
            QStringList t;
            for (const char *x : list)
                t << QLatin1String(x);
            return t;
        };
        QTest::addColumn<QStringList>("stored"); // in the order inserted
        QTest::addColumn<QStringList>("shown");  // in the order ranked
        QTest::newRow("across a new year")
            << texts({"2025-12-20", "2026-03-28", "2026-01-05"}) << texts({"28/03/26", "05/01/26", "20/12/25"});
        QTest::newRow("end of a month") << texts({"2026-01-31", "2026-02-01"}) << texts({"01/02/26", "31/01/26"});
        QTest::newRow("across a century") << texts({"1999-12-31", "2000-01-01"}) << texts({"01/01/00", "31/12/99"});
    }
    void ranking_equalScoresByStoredDateNotShownText()
    {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, shown);
        TempDiary d;
        QVERIFY(d.ok());
        for (const QString &date : stored)
            QVERIFY(d.insertDay({{QStringLiteral("OVERALL SCORE"), 10}, {QStringLiteral("DATE"), date}}) > 0);
        const diary::RecordSourceRows r = diary::readRecordSource(d.path(), diary::mainRecordSource());
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QStringList ranked;
        for (int i = 0; i < r.rowCount(); ++i)
            ranked << r.cell(i, 0);
        QCOMPARE(ranked, shown);
    }

    void diaryQuery_showsADateThatIsNoDayAsStored_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a day") << QVariant(QStringLiteral("2026-01-31")) << QStringLiteral("31/01/26");
        QTest::newRow("day first") << QVariant(QStringLiteral("31/01/26")) << QStringLiteral("31/01/26");
        QTest::newRow("month 13") << QVariant(QStringLiteral("2026-13-45")) << QStringLiteral("2026-13-45");
        QTest::newRow("30 February") << QVariant(QStringLiteral("2026-02-30")) << QStringLiteral("2026-02-30");
        QTest::newRow("with time") << QVariant(QStringLiteral("2026-01-31 10:00"))
                                   << QStringLiteral("2026-01-31 10:00");
        QTest::newRow("blank before") << QVariant(QStringLiteral(" 2026-01-31")) << QStringLiteral(" 2026-01-31");
        QTest::newRow("a number") << QVariant(20260131) << QStringLiteral("20260131");
        QTest::newRow("word") << QVariant(QStringLiteral("Tuesday")) << QStringLiteral("Tuesday");
    }
    void diaryQuery_showsADateThatIsNoDayAsStored()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, shown);
        TempDiary d;
        QVERIFY(d.ok());
        {
            // As another tool writes it, past the diary's own check.
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("othertool"));
            db.setDatabaseName(d.path());
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("PRAGMA ignore_check_constraints = ON")));
            q.prepare(QStringLiteral("INSERT INTO records (DATE) VALUES (?)"));
            q.addBindValue(stored);
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("othertool"));
        const diary::RecordSourceRows r = diary::readRecordSource(d.path(), diary::mainRecordSource());
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QCOMPARE(r.rowCount(), 1);
        QCOMPARE(r.cell(0, 0), shown);
    }

    void setupTool_createsRefusesToOverwriteAndFillsSamples()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Records.mdb"));
        QProcess setup;
        setup.start(QStringLiteral(MEALWISE_SETUP_BINARY),
                    {QStringLiteral("--path"), path, QStringLiteral("--sample-days"), QStringLiteral("50")});
        QVERIFY(setup.waitForFinished(60000));
        QCOMPARE(setup.exitCode(), 0);
        const diary::RecordSourceRows r = diary::readRecordSource(path, diary::mainRecordSource());
        QVERIFY(r.error.isEmpty());
        QCOMPARE(r.rowCount(), 50);
        QSet<QString> scores, breakfasts;
        for (int row = 0; row < r.rowCount(); ++row) {
            scores << r.cell(row, 1);
            breakfasts << r.cell(row, 3);
        }
        QVERIFY(scores.size() >= 5);
        QVERIFY(breakfasts.size() >= 3);

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        setup.start(QStringLiteral(MEALWISE_SETUP_BINARY), {QStringLiteral("--path"), path});
        QVERIFY(setup.waitForFinished(60000));
        QVERIFY(setup.exitCode() != 0);
        QVERIFY(QString::fromLocal8Bit(setup.readAllStandardError()).contains(QLatin1String("already exists")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    void setupTool_refusesBadDayCount()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Records.mdb"));
        QProcess setup;
        setup.start(QStringLiteral(MEALWISE_SETUP_BINARY),
                    {QStringLiteral("--path"), path, QStringLiteral("--sample-days"), QStringLiteral("many")});
        QVERIFY(setup.waitForFinished(60000));
        QVERIFY(setup.exitCode() != 0);
        QVERIFY(!QFileInfo::exists(path));
    }

    void connection_neverCreatesAFileAndSaysWhatIsWrong()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("Records.mdb"));
        QString error;
        QVERIFY(!diary::Connection::open(missing, &error));
        QVERIFY(!QFileInfo::exists(missing));
        QVERIFY(error.contains(missing));
        QVERIFY(error.contains(QLatin1String("mealwise-setup")));

        const QString garbage = dir.filePath(QStringLiteral("garbage.mdb"));
        QFile f(garbage);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        error.clear();
        QVERIFY(!diary::Connection::open(garbage, &error));
        QVERIFY2(error.contains(QLatin1String("not a MEALWISE diary")), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(tst_DiarySchema)
#include "tst_diaryschema.moc"
