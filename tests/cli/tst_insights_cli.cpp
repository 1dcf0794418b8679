// mealwise-diary insights, through the real dispatcher with string streams.
#include "cli/diarycli.h"
#include "clirun.h"
#include "testsupport.h"

#include <QProcess>
#include <QTest>

#include <algorithm>

using testing_support::TempDiary;

namespace {

using Run = testing_support::CliRun;
// mealwise-diary insights with `args`.
Run run(const QStringList &args)
{
    return testing_support::runCli(QStringList{QStringLiteral("insights")} + args);
}

// COFFEE on 1, 3, 5, 7, 9 March; the next days score 3, 4, 4, 5, 6 against
// 6, 7, 7, 8, 9 after the other days; TOAST every day; MILK once.
void fill(const TempDiary &d)
{
    const int scores[] = {5, 3, 6, 4, 7, 4, 7, 5, 8, 6, 9};
    const char *coffee[] = {"2*COFFEE",     nullptr, "coffee",     nullptr, "Coffee ", nullptr,
                            "COFFEE, MILK", nullptr, "2 x coffee", nullptr, nullptr};
    for (int i = 0; i < 11; ++i) {
        QHash<QString, QVariant> f{
            {QStringLiteral("DATE"), QStringLiteral("2026-03-%1").arg(i + 1, 2, 10, QLatin1Char('0'))},
            {QStringLiteral("OVERALL SCORE"), scores[i]},
            {QStringLiteral("BREAKFAST"), QStringLiteral("TOAST")}};
        if (coffee[i])
            f.insert(QStringLiteral("BEVERAGE2"), QLatin1String(coffee[i]));
        QVERIFY(d.insertDay(f) > 0);
    }
    QVERIFY(d.exec(QStringLiteral("UPDATE [FOOD AND MEDICATION] SET [ADEQUATE FOOD] = 'coffee'")));
}

} // namespace

class tst_insights_cli : public QObject
{
    Q_OBJECT
private slots:
    void tsv_columnsAndFigures();
    void formats_emptyAndNull_data();
    void formats_emptyAndNull();
    void csv_quoteInAnItemDoubled();
    void badUsageAndMissingDiary_data();
    void badUsageAndMissingDiary();
    void realBinary_needsNoDisplay();
    void plantedDiary_modelColumns();
    void figures_signAndTinyP_data();
    void figures_signAndTinyP();
};

void tst_insights_cli::tsv_columnsAndFigures()
{
    TempDiary d;
    QVERIFY(d.ok());
    fill(d);
    const Run r = run({QStringLiteral("--path"), d.path()});
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0),
             QStringLiteral("item\tkind\tdays\twith_mean\twithout_mean\tdifference\tci_low\tci_high\tadjusted\tp\tq"
                            "\tverdict\tlist\tadj_low\tadj_high\twith"));
    QCOMPARE(lines.size(), 4); // TOAST, COFFEE, MILK
    // On every day the model reads: nothing to compare with.
    QCOMPARE(lines.value(1), QStringLiteral("TOAST\tfood\t10\t5.900\t\t\t\t\t\t\t\tcannot-compare\t\t\t\t"));
    // Eleven days are too few for the model; the plain comparison stays.
    QCOMPARE(lines.value(2),
             QStringLiteral("COFFEE\tdrink\t5\t4.400\t7.400\t-3.000\t-4.663\t-1.337\t\t\t\tnot-judged\tadequate"
                            "\t\t\t"));
    QCOMPARE(lines.value(3),
             QStringLiteral("MILK\tdrink\t1\t5.000\t6.000\t-1.000\t\t\t\t\t\ttoo-few-days\t\t\t\tCOFFEE 100%"));
    // Nine rows; intercept, three splines and one item need 37: 28 more.
    QVERIFY2(r.err.contains(QStringLiteral("it needs 28 more scored day(s)")), qPrintable(r.err));
}

void tst_insights_cli::formats_emptyAndNull_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected"); // a line the output must hold
    QTest::newRow("csv") << QStringList{QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("--kind"),
                                        QStringLiteral("food")}
                         << QStringLiteral("TOAST,food,10,5.900,,,,,,,,cannot-compare,,,,");
    QTest::newRow("json null")
        << QStringList{QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--kind"),
                       QStringLiteral("food")}
        << QStringLiteral(
               "  {\"item\": \"TOAST\", \"kind\": \"food\", \"days\": 10, \"with_mean\": 5.900, "
               "\"without_mean\": null, \"difference\": null, \"ci_low\": null, \"ci_high\": null, "
               "\"adjusted\": null, \"p\": null, \"q\": null, \"verdict\": \"cannot-compare\", \"list\": \"\", "
               "\"adj_low\": null, \"adj_high\": null, \"with\": \"\"}");
    // The same day: every day has an outcome; MILK's day scored 7, the ten others 57 together.
    QTest::newRow("lag 0") << QStringList{QStringLiteral("--lag"), QStringLiteral("0"), QStringLiteral("--kind"),
                                          QStringLiteral("drink")}
                           << QStringLiteral(
                                  "MILK\tdrink\t1\t7.000\t5.700\t1.300\t\t\t\t\t\ttoo-few-days\t\t\t\tCOFFEE 100%");
}

void tst_insights_cli::formats_emptyAndNull()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    TempDiary d;
    QVERIFY(d.ok());
    fill(d);
    const Run r = run(args + QStringList{QStringLiteral("--path"), d.path()});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.out.split(QLatin1Char('\n')).contains(expected), qPrintable(r.out));
}

// An item holding a quote is one CSV field with the quote doubled. Its one
// day, 5 March, is followed by a 4; the nine other outcomes sum to 55.
void tst_insights_cli::csv_quoteInAnItemDoubled()
{
    TempDiary d;
    QVERIFY(d.ok());
    fill(d);
    QVERIFY(d.exec(QStringLiteral("UPDATE records SET LUNCH = 'HOMEMADE \"PIE\"' WHERE DATE = '2026-03-05'")));
    const Run r = run({QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("--kind"),
                       QStringLiteral("food"), QStringLiteral("--path"), d.path()});
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    const bool found = std::any_of(lines.cbegin(), lines.cend(), [](const QString &line) {
        return line.startsWith(QStringLiteral("\"HOMEMADE \"\"PIE\"\"\",food,1,4.000,6.111,-2.111,"));
    });
    QVERIFY2(found, qPrintable(r.out));
}

void tst_insights_cli::badUsageAndMissingDiary_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("lag 3") << QStringList{QStringLiteral("--lag"), QStringLiteral("3")} << 2
                           << QStringLiteral("--lag is 0, 1 or 2");
    QTest::newRow("kind") << QStringList{QStringLiteral("--kind"), QStringLiteral("snack")} << 2
                          << QStringLiteral("--kind is food");
    QTest::newRow("format") << QStringList{QStringLiteral("--format"), QStringLiteral("xml")} << 2
                            << QStringLiteral("--format is tsv");
    QTest::newRow("missing") << QStringList{QStringLiteral("--path"), QStringLiteral("/nonexistent/Records.mdb")} << 1
                             << QStringLiteral("does not exist");
}

void tst_insights_cli::badUsageAndMissingDiary()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, message);
    const Run r = run(args);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
}

void tst_insights_cli::realBinary_needsNoDisplay()
{
    TempDiary d;
    QVERIFY(d.ok());
    fill(d);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(MEALWISE_DIARY_BINARY), {QStringLiteral("insights"), QStringLiteral("--path"), d.path(),
                                                    QStringLiteral("--kind"), QStringLiteral("drink")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("\tnot-judged\tadequate\t\t\t\n")), qPrintable(out));
    p.start(QStringLiteral(MEALWISE_DIARY_BINARY), {QStringLiteral("insights"), QStringLiteral("--help")});
    QVERIFY(p.waitForFinished(30000));
    const QString help = QString::fromUtf8(p.readAllStandardOutput());
    for (const char *word : {"--format", "--kind", "--lag", "--path", "agrees", "disagrees", "no-clear-effect",
                             "too-few-days", "cannot-compare", "aliased", "not-judged", "unsatisfactory", "adj_low",
                             "adj_high", "Prais-Winsten", "B-splines"})
        QVERIFY2(help.contains(QLatin1String(word)), word);
}

void tst_insights_cli::plantedDiary_modelColumns()
{
    // 400 days: on every fifth TONIC, and the next day scores 1 where the
    // others score 9, or 10 on every seventh; a NUL in a snack's name.
    TempDiary d;
    QVERIFY(d.ok());
    for (int i = 0; i < 400; ++i) {
        const int score = i % 5 == 1 ? 1 : i % 7 == 0 ? 10 : 9;
        QHash<QString, QVariant> f{{QStringLiteral("DATE"), QDate(2025, 1, 1).addDays(i).toString(Qt::ISODate)},
                                   {QStringLiteral("OVERALL SCORE"), score}};
        if (i % 5 == 0)
            f.insert(QStringLiteral("BEVERAGE1"), QStringLiteral("TONIC"));
        if (i % 3 == 0)
            f.insert(QStringLiteral("SNACK1"), QString(QStringLiteral("NUT") + QChar(0) + QStringLiteral("BAR")));
        QVERIFY(d.insertDay(f) > 0);
    }
    const Run r = run({QStringLiteral("--path"), d.path()});
    QCOMPARE(r.status, 0);
    QString tonic, nut;
    for (const QString &line : r.out.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("TONIC\t")))
            tonic = line;
        if (line.startsWith(QStringLiteral("NUT")))
            nut = line;
    }
    const QStringList t = tonic.split(QLatin1Char('\t'));
    QCOMPARE(t.size(), 16);
    // Eight points lower the next day, far beyond any double's p.
    QVERIFY2(t.at(8).toDouble() < -7.5 && t.at(8).toDouble() > -8.5, qPrintable(tonic));
    QCOMPARE(t.at(9), QStringLiteral("<1e-300"));
    QCOMPARE(t.at(11), QStringLiteral("disagrees"));
    QVERIFY(t.at(13).toDouble() < t.at(8).toDouble() && t.at(14).toDouble() > t.at(8).toDouble());
    QVERIFY2(nut.startsWith(QStringLiteral("NUT\uFFFDBAR\tfood\t")), qPrintable(nut));
    QVERIFY(!r.out.contains(QChar(0)));
    const Run json = run({QStringLiteral("--path"), d.path(), QStringLiteral("--format"), QStringLiteral("json")});
    QVERIFY2(json.out.contains(QStringLiteral("\"p\": \"<1e-300\"")), qPrintable(json.out.left(2000)));
}

void tst_insights_cli::figures_signAndTinyP_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("figure");
    QTest::addColumn<QString>("p");
    QTest::newRow("negative zero") << -0.0001 << QStringLiteral("0.000") << QStringLiteral("0.0001");
    QTest::newRow("negative") << -0.0006 << QStringLiteral("-0.001") << QStringLiteral("0.0006");
    QTest::newRow("zero") << 0.0 << QStringLiteral("0.000") << QStringLiteral("<1e-300");
    QTest::newRow("denormal") << 4e-320 << QStringLiteral("0.000") << QStringLiteral("<1e-300");
    QTest::newRow("at the edge") << 1e-300 << QStringLiteral("0.000") << QStringLiteral("1e-300");
}

void tst_insights_cli::figures_signAndTinyP()
{
    QFETCH(double, value);
    QFETCH(QString, figure);
    QFETCH(QString, p);
    QCOMPARE(cli::figureText(value), figure);
    QCOMPARE(cli::probabilityText(std::abs(value)), p);
}

QTEST_GUILESS_MAIN(tst_insights_cli)
#include "tst_insights_cli.moc"
