// mealwise-diary insights, through the real dispatcher with string streams.
#include "cli/diarycli.h"
#include "testsupport.h"

#include <QProcess>
#include <QTest>

using testing_support::TempDiary;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run run(const QStringList &args)
{
    Run r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    cli::Io io{out, err};
    r.status = cli::runDiaryCli(QStringList{QStringLiteral("mealwise-diary"), QStringLiteral("insights")} + args, io);
    out.flush();
    err.flush();
    return r;
}

// COFFEE on 1, 3, 5, 7, 9 March; the next days score 3, 4, 4, 5, 6 against
// 6, 7, 7, 8, 9 after the other days; TOAST every day; MILK once.
void fill(const TempDiary &d)
{
    const int scores[] = {5, 3, 6, 4, 7, 4, 7, 5, 8, 6, 9};
    const char *coffee[] = {"2*COFFEE", nullptr, "coffee", nullptr, "Coffee ", nullptr, "COFFEE, MILK", nullptr,
                            "2 x coffee", nullptr, nullptr};
    for (int i = 0; i < 11; ++i) {
        QHash<QString, QVariant> f{{QStringLiteral("DATE"), QStringLiteral("2026-03-%1").arg(i + 1, 2, 10, QLatin1Char('0'))},
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
    void badUsageAndMissingDiary_data();
    void badUsageAndMissingDiary();
    void realBinary_needsNoDisplay();
};

void tst_insights_cli::tsv_columnsAndFigures()
{
    TempDiary d;
    QVERIFY(d.ok());
    fill(d);
    const Run r = run({QStringLiteral("--path"), d.path()});
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("item\tkind\tdays\twith_mean\twithout_mean\tdifference\tci_low\tci_high\tadjusted\tp\tq\tverdict\tlist"));
    QCOMPARE(lines.size(), 4); // TOAST, COFFEE, MILK
    QCOMPARE(lines.value(1), QStringLiteral("TOAST\tfood\t10\t5.900\t\t\t\t\t\t\t\tno-clear-effect\t"));
    const QStringList coffee = lines.value(2).split(QLatin1Char('\t'));
    QCOMPARE(coffee.size(), 13);
    QCOMPARE(coffee.mid(0, 8), (QStringList{QStringLiteral("COFFEE"), QStringLiteral("drink"), QStringLiteral("5"),
                                            QStringLiteral("4.400"), QStringLiteral("7.400"), QStringLiteral("-3.000"),
                                            QStringLiteral("-4.663"), QStringLiteral("-1.337")}));
    QVERIFY(coffee.at(8).toDouble() < 0);
    QCOMPARE(coffee.mid(9), (QStringList{QStringLiteral("0.01533"), QStringLiteral("0.01533"), QStringLiteral("disagrees"),
                                         QStringLiteral("adequate!")}));
    QCOMPARE(lines.value(3), QStringLiteral("MILK\tdrink\t1\t5.000\t6.000\t-1.000\t\t\t\t\t\ttoo-few-days\t"));
}

void tst_insights_cli::formats_emptyAndNull_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected"); // a line the output must hold
    QTest::newRow("csv") << QStringList{QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("--kind"), QStringLiteral("food")}
                         << QStringLiteral("TOAST,food,10,5.900,,,,,,,,no-clear-effect,");
    QTest::newRow("json null") << QStringList{QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--kind"), QStringLiteral("food")}
                               << QStringLiteral("  {\"item\": \"TOAST\", \"kind\": \"food\", \"days\": 10, \"with_mean\": 5.900, "
                                                 "\"without_mean\": null, \"difference\": null, \"ci_low\": null, \"ci_high\": null, "
                                                 "\"adjusted\": null, \"p\": null, \"q\": null, \"verdict\": \"no-clear-effect\", \"list\": \"\"}");
    // The same day: every day has an outcome; MILK's day scored 7, the ten others 57 together.
    QTest::newRow("lag 0") << QStringList{QStringLiteral("--lag"), QStringLiteral("0"), QStringLiteral("--kind"), QStringLiteral("drink")}
                           << QStringLiteral("MILK\tdrink\t1\t7.000\t5.700\t1.300\t\t\t\t\t\ttoo-few-days\t");
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

void tst_insights_cli::badUsageAndMissingDiary_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("lag 3") << QStringList{QStringLiteral("--lag"), QStringLiteral("3")} << 2 << QStringLiteral("--lag is 0, 1 or 2");
    QTest::newRow("kind") << QStringList{QStringLiteral("--kind"), QStringLiteral("snack")} << 2 << QStringLiteral("--kind is food");
    QTest::newRow("format") << QStringList{QStringLiteral("--format"), QStringLiteral("xml")} << 2 << QStringLiteral("--format is tsv");
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
    QVERIFY2(out.contains(QStringLiteral("\t0.01533\t0.01533\tdisagrees\tadequate!\n")), qPrintable(out));
    p.start(QStringLiteral(MEALWISE_DIARY_BINARY), {QStringLiteral("insights"), QStringLiteral("--help")});
    QVERIFY(p.waitForFinished(30000));
    const QString help = QString::fromUtf8(p.readAllStandardOutput());
    for (const char *word : {"--format", "--kind", "--lag", "--path", "too-few-days", "unsatisfactory"})
        QVERIFY2(help.contains(QLatin1String(word)), word);
}

QTEST_GUILESS_MAIN(tst_insights_cli)
#include "tst_insights_cli.moc"
