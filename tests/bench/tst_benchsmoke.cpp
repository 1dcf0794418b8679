// The benchmark still builds and runs, on one year of days.
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

class tst_BenchSmoke : public QObject
{
    Q_OBJECT

private slots:
    void oneYear_printsEveryOperationAndTheTargets()
    {
        QProcess bench;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        bench.setProcessEnvironment(env);
        bench.start(QStringLiteral(MEALWISE_BENCH_BINARY),
                    {QStringLiteral("--days"), QStringLiteral("365"), QStringLiteral("--quick")});
        QVERIFY(bench.waitForFinished(120000));
        QCOMPARE(bench.exitCode(), 0);
        const QString output = QString::fromUtf8(bench.readAllStandardOutput());
        const QRegularExpression line(
            QStringLiteral(R"(^op=(\w+) days=365 ms=[0-9.]+ floor_ms=[0-9.]+ ratio=[0-9.]+$)"),
            QRegularExpression::MultilineOption);
        QStringList ops;
        for (auto it = line.globalMatch(output); it.hasNext();)
            ops << it.next().captured(1);
        ops.sort();
        // Timed only where the Access test files are beside the checkout.
        ops.removeAll(QStringLiteral("read_jet_table"));
        QCOMPARE(ops, (QStringList{
                          QStringLiteral("activate"), QStringLiteral("backup"), QStringLiteral("convert_access"),
                          QStringLiteral("export_csv"), QStringLiteral("fill"), QStringLiteral("filters_apply"),
                          QStringLiteral("filters_build"), QStringLiteral("insights"), QStringLiteral("insights_open"),
                          QStringLiteral("move_huge_comment"), QStringLiteral("records_open"),
                          QStringLiteral("report_huge_text"), QStringLiteral("startup"), QStringLiteral("startup_fair"),
                          QStringLiteral("update_one")}));
        QVERIFY2(output.contains(QRegularExpression(QStringLiteral(R"(^splash_wait days=365 ms=[0-9.]+ )"),
                                                    QRegularExpression::MultilineOption)),
                 qPrintable(output));
        QVERIFY2(output.contains(QRegularExpression(QStringLiteral(R"(targets met: \d+ of \d+)"))), qPrintable(output));
        QVERIFY2(!output.contains(QLatin1String("messages shown")), qPrintable(output));
    }
};

QTEST_GUILESS_MAIN(tst_BenchSmoke)
#include "tst_benchsmoke.moc"
