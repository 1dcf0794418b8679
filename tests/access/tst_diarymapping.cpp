// From rows read to a new diary, without any Access file: tables of rows in,
// the plan and the written diary checked against values written out here.
#include "access/diarymapping.h"
#include "data/diarynames.h"
#include "data/diaryschema.h"
#include "data/sqlitefile.h"
#include "keeping/exchange.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using jet::SourceTable;
using Rows = QList<QVariantList>;
using Fields = QHash<QString, QVariant>;

namespace {

constexpr int kYear = 2026;

QVariant at(int y, int m, int d, int h = 0, int min = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min), QTimeZone::utc());
}

QVariant text(const char *t)
{
    return QVariant(QString::fromUtf8(t));
}

// A day of the plan by column name.
QVariant value(const jet::ConversionPlan &plan, int day, const QString &column)
{
    return plan.days.at(day).at(diary::recordsColumns().indexOf(column));
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

class TestDiaryMapping : public QObject
{
    Q_OBJECT
private slots:
    void plan_data()
    {
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<bool>("asIs");
        QTest::addColumn<int>("days");
        QTest::addColumn<Fields>("firstDay"); // columns of the first day planned
        QTest::addColumn<QString>("refusal"); // a part of the first refusal; empty: none
        QTest::addColumn<int>("timesDropped");
        const QVariant null;
        const QStringList basic{QStringLiteral("ID"), QStringLiteral("DATE"), QStringLiteral("OVERALL SCORE"),
                                QStringLiteral("BMs")};

        QTest::newRow("names in any case")
            << QStringList{QStringLiteral("id"), QStringLiteral("date"), QStringLiteral("Overall Score"),
                           QStringLiteral("bms"), QStringLiteral("breakfast")}
            << Rows{{qint64(5), at(2020, 3, 1), qint64(7), qint64(2), text("toast")}} << false << 1
            << Fields{{QStringLiteral("ID"), qint64(5)},
                      {QStringLiteral("DATE"), text("2020-03-01")},
                      {QStringLiteral("OVERALL SCORE"), qint64(7)},
                      {QStringLiteral("BMs"), qint64(2)},
                      {QStringLiteral("BREAKFAST"), text("toast")},
                      {QStringLiteral("LUNCH"), null}}
            << QString() << 0;
        QTest::newRow("time on a date") << basic << Rows{{qint64(1), at(2020, 3, 1, 14, 30), qint64(3), null}} << false
                                        << 1 << Fields{{QStringLiteral("DATE"), text("2020-03-01")}} << QString() << 1;
        QTest::newRow("time on a text date")
            << basic << Rows{{qint64(1), text("01/03/20 14:30"), null, null}} << false << 1
            << Fields{{QStringLiteral("DATE"), text("2020-03-01")}} << QString() << 1;
        QTest::newRow("text date, two-digit year")
            << basic << Rows{{qint64(1), text("1/3/99"), null, null}} << false << 1
            << Fields{{QStringLiteral("DATE"), text("1999-03-01")}} << QString() << 0;
        QTest::newRow("date before 1900") << basic << Rows{{qint64(1), at(1898, 1, 1), null, null}} << false << 1
                                          << Fields{{QStringLiteral("DATE"), text("1898-01-01")}} << QString() << 0;
        QTest::newRow("date not a day") << basic << Rows{{qint64(1), text("31/02/20"), null, null}} << false << 0
                                        << Fields{} << "DATE \"31/02/20\" is not a day" << 0;
        QTest::newRow("stored value no date") << basic << Rows{{qint64(1), QVariant(QDateTime()), null, null}} << false
                                              << 0 << Fields{} << "no date" << 0;
        QTest::newRow("score 11 refused") << basic << Rows{{qint64(1), at(2020, 3, 1), qint64(11), qint64(1)}} << false
                                          << 0 << Fields{} << "OVERALL SCORE 11 is not from 1 to 10" << 0;
        QTest::newRow("score 11 as is") << basic << Rows{{qint64(1), at(2020, 3, 1), qint64(11), qint64(-2)}} << true
                                        << 1
                                        << Fields{{QStringLiteral("OVERALL SCORE"), qint64(11)},
                                                  {QStringLiteral("BMs"), qint64(-2)}}
                                        << QString() << 0;
        QTest::newRow("BMs below 0") << basic << Rows{{qint64(1), at(2020, 3, 1), qint64(5), qint64(-1)}} << false << 0
                                     << Fields{} << "BMs -1 is below 0" << 0;
        QTest::newRow("score as a double")
            << basic << Rows{{qint64(1), at(2020, 3, 1), 8.0, 0.0}} << false << 1
            << Fields{{QStringLiteral("OVERALL SCORE"), qint64(8)}, {QStringLiteral("BMs"), qint64(0)}} << QString()
            << 0;
        QTest::newRow("score a fraction") << basic << Rows{{qint64(1), at(2020, 3, 1), 7.5, null}} << false << 0
                                          << Fields{} << "OVERALL SCORE is 7.5, not a whole number" << 0;
        QTest::newRow("score as text") << basic << Rows{{qint64(1), at(2020, 3, 1), text(" 9 "), text("")}} << false
                                       << 1
                                       << Fields{{QStringLiteral("OVERALL SCORE"), qint64(9)},
                                                 {QStringLiteral("BMs"), null}}
                                       << QString() << 0;
        QTest::newRow("score words") << basic << Rows{{qint64(1), at(2020, 3, 1), text("good"), null}} << false << 0
                                     << Fields{} << "OVERALL SCORE \"good\" is not a whole number" << 0;
        QTest::newRow("empty kept apart from null")
            << QStringList{QStringLiteral("DATE"), QStringLiteral("LUNCH"), QStringLiteral("TEA")}
            << Rows{{at(2020, 3, 1), text(""), null}} << false << 1
            << Fields{{QStringLiteral("LUNCH"), QVariant(QStringLiteral(""))},
                      {QStringLiteral("TEA"), null},
                      {QStringLiteral("ID"), null}}
            << QString() << 0;
        QTest::newRow("two rows on one date")
            << basic << Rows{{qint64(1), at(2020, 3, 1), qint64(5), null}, {qint64(2), at(2020, 3, 1), qint64(6), null}}
            << false << 2 << Fields{{QStringLiteral("ID"), qint64(1)}} << QString() << 0;
        QTest::newRow("one ID twice") << basic
                                      << Rows{{qint64(4), at(2020, 3, 1), null, null},
                                              {qint64(4), at(2020, 3, 2), null, null}}
                                      << false << 1 << Fields{{QStringLiteral("ID"), qint64(4)}}
                                      << "ID 4 is held by an earlier row" << 0;
        QTest::newRow("numbers in a text column")
            << QStringList{QStringLiteral("DATE"), QStringLiteral("SNACK1")} << Rows{{at(2020, 3, 1), 2.5}} << false
            << 1 << Fields{{QStringLiteral("SNACK1"), text("2.5")}} << QString() << 0;
        QTest::newRow("single in a text column")
            << QStringList{QStringLiteral("DATE"), QStringLiteral("SNACK1")} << Rows{{at(2020, 3, 1), QVariant(0.15f)}}
            << false << 1 << Fields{{QStringLiteral("SNACK1"), text("0.15")}} << QString() << 0;
    }
    void plan()
    {
        QFETCH(QStringList, columns);
        QFETCH(Rows, rows);
        QFETCH(bool, asIs);
        QFETCH(int, days);
        QFETCH(Fields, firstDay);
        QFETCH(QString, refusal);
        QFETCH(int, timesDropped);
        const jet::ConversionPlan p =
            jet::planConversion(SourceTable{QStringLiteral("records"), columns, rows}, std::nullopt, asIs, kYear);
        QCOMPARE(p.days.size(), days);
        QCOMPARE(p.timesDropped, timesDropped);
        if (refusal.isEmpty()) {
            QVERIFY2(p.ok(), qPrintable(p.describeRefusals().join(QLatin1Char('\n'))));
        } else {
            QVERIFY(!p.ok());
            QVERIFY2(p.refused.first().why.contains(refusal), qPrintable(p.refused.first().why));
        }
        for (auto it = firstDay.begin(); it != firstDay.end(); ++it) {
            const QVariant got = value(p, 0, it.key());
            QCOMPARE(got.isValid(), it.value().isValid());
            if (it.value().isValid()) {
                QCOMPARE(got, it.value());
                QCOMPARE(got.toString().isNull(), false);
            }
        }
    }

    void columns_missingAndExtraListed()
    {
        const jet::ConversionPlan p =
            jet::planConversion(SourceTable{QStringLiteral("records"),
                                            {QStringLiteral("DATE"), QStringLiteral("Weather"),
                                             QStringLiteral("breakfast"), QStringLiteral("Mood")},
                                            {{at(2020, 3, 1), text("rain"), text("egg"), text("fine")}}},
                                std::nullopt, false, kYear);
        QCOMPARE(p.extraColumns, (QStringList{QStringLiteral("Weather"), QStringLiteral("Mood")}));
        QCOMPARE(p.missingColumns.size(), 23);
        QVERIFY(p.missingColumns.contains(QStringLiteral("OVERALL SCORE")));
        QVERIFY(!p.missingColumns.contains(QStringLiteral("BREAKFAST")));
        QVERIFY(p.summary().join(QLatin1Char('\n')).contains(QLatin1String("not carried: Weather, Mood")));
        QVERIFY(p.summary().join(QLatin1Char('\n')).contains(QLatin1String("no FOOD AND MEDICATION table")));
    }

    void lists_firstRowTaken()
    {
        const SourceTable food{
            QStringLiteral("FOOD AND MEDICATION"),
            {QStringLiteral("adequate food"), QStringLiteral("IRRITABLE FOOD"), QStringLiteral("Notes")},
            {{text("rice"), QVariant(), text("x")}, {text("second"), text("row"), text("y")}}};
        const jet::ConversionPlan p = jet::planConversion(
            SourceTable{QStringLiteral("records"), {QStringLiteral("DATE")}, {}}, food, false, kYear);
        QVERIFY(p.lists);
        QCOMPARE(*p.lists, (QStringList{QStringLiteral("rice"), QString(), QString(), QString()}));
        QCOMPARE(p.listRows, 2);
        QCOMPARE(p.missingListColumns,
                 (QStringList{QStringLiteral("RELIABLE MEDICATION"), QStringLiteral("UNSATISFACTORY MEDICATION")}));
        QCOMPARE(p.extraListColumns, QStringList{QStringLiteral("Notes")});
        QVERIFY(p.summary().join(QLatin1Char('\n')).contains(QLatin1String("has 2 rows; the first")));
    }

    void write_keepsIdsEmptyAndNull()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("Records.mdb"));
        const jet::ConversionPlan p = jet::planConversion(
            SourceTable{QStringLiteral("records"),
                        {QStringLiteral("ID"), QStringLiteral("DATE"), QStringLiteral("OVERALL SCORE"),
                         QStringLiteral("LUNCH"), QStringLiteral("TEA")},
                        {{qint64(40), at(2020, 3, 2), qint64(6), text(""), QVariant()},
                         {qint64(7), at(2020, 3, 1), qint64(9), text("soup\r\nbread"), text("fish")}}},
            SourceTable{QStringLiteral("FOOD AND MEDICATION"), {QStringLiteral("ADEQUATE FOOD")}, {{text("rice")}}},
            false, kYear);
        QVERIFY(p.ok());
        QCOMPARE(jet::writeNewDiary(p, target), QString());
        QCOMPARE(QFile::permissions(target) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        diary::SqliteFile f;
        QVERIFY(f.open(target, diary::SqliteFile::ReadWrite));
        QCOMPARE(f.column(QStringLiteral(
                     "SELECT ID || ' ' || DATE || ' ' || typeof(LUNCH) || ' ' || quote(LUNCH) || ' ' || typeof(TEA) "
                     "FROM records ORDER BY ID")),
                 (QStringList{QStringLiteral("7 2020-03-01 text 'soup\r\nbread' text"),
                              QStringLiteral("40 2020-03-02 text '' null")}));
        QCOMPARE(
            f.scalar(QStringLiteral("SELECT [ADEQUATE FOOD] || '|' || [IRRITABLE FOOD] FROM [FOOD AND MEDICATION]"))
                .toString(),
            QStringLiteral("rice|"));
        QCOMPARE(f.scalar(QStringLiteral("PRAGMA user_version")).toInt(), diary::kSchemaVersion);
        // The range checks are there: a score of 11 is refused.
        QVERIFY(!f.exec(QStringLiteral("INSERT INTO records (DATE, [OVERALL SCORE]) VALUES ('2020-03-03', 11)")));
        // A new day gets an ID above the kept ones.
        QVERIFY(f.exec(QStringLiteral("INSERT INTO records (DATE) VALUES ('2020-03-03')")));
        QCOMPARE(f.scalar(QStringLiteral("SELECT max(ID) FROM records")).toLongLong(), 41);
        // No temporary file is left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Records.mdb")});
    }

    void write_dayWithoutIdNeverTakesALaterDaysId()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("Records.mdb"));
        const jet::ConversionPlan p = jet::planConversion(
            SourceTable{QStringLiteral("records"),
                        {QStringLiteral("ID"), QStringLiteral("DATE")},
                        {{qint64(1), at(2020, 3, 1)}, {QVariant(), at(2020, 3, 2)}, {qint64(2), at(2020, 3, 3)}}},
            std::nullopt, false, kYear);
        QCOMPARE(jet::writeNewDiary(p, target), QString());
        diary::SqliteFile f;
        QVERIFY(f.open(target, diary::SqliteFile::ReadOnly));
        QCOMPARE(f.column(QStringLiteral("SELECT ID || ' ' || DATE FROM records ORDER BY ID")),
                 (QStringList{QStringLiteral("1 2020-03-01"), QStringLiteral("2 2020-03-03"),
                              QStringLiteral("3 2020-03-02")}));
    }

    void write_asIsDiaryTakesOldScores()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("Records.mdb"));
        const jet::ConversionPlan p = jet::planConversion(
            SourceTable{QStringLiteral("records"),
                        {QStringLiteral("DATE"), QStringLiteral("OVERALL SCORE"), QStringLiteral("BMs")},
                        {{at(2020, 3, 1), qint64(0), qint64(-1)}, {at(2020, 3, 2), qint64(12), qint64(3)}}},
            std::nullopt, true, kYear);
        QCOMPARE(jet::writeNewDiary(p, target), QString());
        diary::SqliteFile f;
        QVERIFY(f.open(target, diary::SqliteFile::ReadWrite));
        QCOMPARE(f.column(QStringLiteral("SELECT [OVERALL SCORE] || '/' || BMs FROM records ORDER BY DATE")),
                 (QStringList{QStringLiteral("0/-1"), QStringLiteral("12/3")}));
        QVERIFY(!f.exec(QStringLiteral("INSERT INTO records (DATE, [OVERALL SCORE]) VALUES ('2020-03-03', 'high')")));
    }

    void write_neverOverAFile()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("Records.mdb"));
        QVERIFY(diary::createDiary(target).isEmpty());
        const QByteArray before = fileBytes(target);
        const jet::ConversionPlan p =
            jet::planConversion(SourceTable{QStringLiteral("records"), {QStringLiteral("DATE")}, {{at(2020, 3, 1)}}},
                                std::nullopt, false, kYear);
        QVERIFY(jet::writeNewDiary(p, target).contains(QLatin1String("already exists")));
        QCOMPARE(fileBytes(target), before);
        const jet::ConversionPlan refused =
            jet::planConversion(SourceTable{QStringLiteral("records"), {QStringLiteral("DATE")}, {{text("never")}}},
                                std::nullopt, false, kYear);
        const QString other = dir.filePath(QStringLiteral("Other.mdb"));
        QVERIFY(jet::writeNewDiary(refused, other).contains(QLatin1String("Nothing was written")));
        QVERIFY(!QFile::exists(other));
    }

    void roundTrip_exportEqualsImportOfTheSameRows()
    {
        QTemporaryDir dir;
        const QString converted = dir.filePath(QStringLiteral("Converted.mdb"));
        const jet::ConversionPlan p = jet::planConversion(
            SourceTable{QStringLiteral("records"),
                        {QStringLiteral("ID"), QStringLiteral("DATE"), QStringLiteral("OVERALL SCORE"),
                         QStringLiteral("BMs"), QStringLiteral("BREAKFAST"), QStringLiteral("COMMENTS"),
                         QStringLiteral("MEDICATION9")},
                        {{qint64(3), at(2020, 3, 2, 8, 15), qint64(7), qint64(1), text("porridge, milk"),
                          text("line 1\r\nline 2"), QVariant()},
                         {qint64(1), text("01/03/20"), qint64(4), qint64(0), text("Bol\u00edvar \"toast\""), QVariant(),
                          text("aspirin")},
                         {qint64(2), at(2020, 3, 1), QVariant(), qint64(2), QVariant(), text("same day"), QVariant()}}},
            std::nullopt, false, kYear);
        QVERIFY(p.ok());
        QCOMPARE(jet::writeNewDiary(p, converted), QString());

        const QString imported = dir.filePath(QStringLiteral("Imported.mdb"));
        QVERIFY(diary::createDiary(imported).isEmpty());
        const QByteArray csv = "DATE,OVERALL SCORE,BMs,BREAKFAST,COMMENTS,MEDICATION9\r\n"
                               "02/03/20,7,1,\"porridge, milk\",\"line 1\r\nline 2\",\r\n"
                               "01/03/20,4,0,\"Bol\xc3\xadvar \"\"toast\"\"\",,aspirin\r\n"
                               "2020-03-01,,2,,same day,\r\n";
        const keeping::ImportPlan plan = keeping::readImport(csv, keeping::Format::Csv, false, kYear);
        QVERIFY(plan.ok());
        QVERIFY(keeping::applyImport(imported, plan, keeping::Duplicates::Refuse, false).ok());

        const keeping::ExportResult a = keeping::exportDays(converted, {});
        const keeping::ExportResult b = keeping::exportDays(imported, {});
        QVERIFY(a.ok() && b.ok());
        QCOMPARE(a.days, 3);
        QCOMPARE(a.bytes, b.bytes);
    }
};

QTEST_GUILESS_MAIN(TestDiaryMapping)
#include "tst_diarymapping.moc"
