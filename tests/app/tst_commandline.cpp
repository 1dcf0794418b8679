// What the three programs say to their arguments, run as a user runs them:
// help and version without a display, bad usage refused with status 2, no
// display reported plainly, and no help naming a path of this machine.
#include "cli/diarycli.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

namespace {
struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// Runs a program with no display at all unless the environment names one.
Run run(const QString &program, const QStringList &arguments, const QStringList &environment)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    for (const QString &entry : environment)
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
    }
    Run r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -p.error() - 100;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
} // namespace

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // a text the standard output holds
        QTest::addColumn<QString>("err"); // a text the standard error holds
        const QString gui = QStringLiteral(MEALWISE_BINARY);
        const QString setup = QStringLiteral(MEALWISE_SETUP_BINARY);
        const QString companion = QStringLiteral(MEALWISE_DIARY_BINARY);
        const QStringList none;
        const QString usage = QStringLiteral("Usage: mealwise [options]");
        const QString noDisplay = QStringLiteral("MEALWISE needs a graphical desktop (no display was found)\n");

        QTest::newRow("help") << gui << QStringList{QStringLiteral("--help")} << none << 0 << usage << QString();
        QTest::newRow("-h") << gui << QStringList{QStringLiteral("-h")} << none << 0 << usage << QString();
        QTest::newRow("version") << gui << QStringList{QStringLiteral("--version")} << none << 0
                                 << QStringLiteral("mealwise " MEALWISE_VERSION "\n") << QString();
        QTest::newRow("-v") << gui << QStringList{QStringLiteral("-v")} << none << 0
                            << QStringLiteral("mealwise " MEALWISE_VERSION "\n") << QString();
        QTest::newRow("a file") << gui << QStringList{QStringLiteral("Records.mdb")} << none << 2 << QString()
                                << QStringLiteral("mealwise: unexpected argument \"Records.mdb\".\n\n") + usage;
        QTest::newRow("unknown option") << gui << QStringList{QStringLiteral("--platform")} << none << 2 << QString()
                                        << QStringLiteral("Unknown option 'platform'");
        QTest::newRow("help and more") << gui << QStringList{QStringLiteral("--help"), QStringLiteral("x")} << none << 2
                                       << QString() << usage;
        QTest::newRow("no display") << gui << none << none << 1 << QString() << noDisplay;
        QTest::newRow("display not there")
            << gui << none << QStringList{QStringLiteral("QT_QPA_PLATFORM=xcb"), QStringLiteral("DISPLAY=:29871")} << 1
            << QString() << noDisplay;
        QTest::newRow("setup help") << setup << QStringList{QStringLiteral("--help")} << none << 0
                                    << QStringLiteral("instead of\n                     ~/MEALWISE/Records.mdb.")
                                    << QString();
        QTest::newRow("setup version") << setup << QStringList{QStringLiteral("--version")} << none << 0
                                       << QStringLiteral("mealwise-setup " MEALWISE_VERSION) << QString();
        QTest::newRow("companion help") << companion << QStringList{QStringLiteral("--help")} << none << 0
                                        << QStringLiteral("Usage: mealwise-diary COMMAND") << QString();
        QTest::newRow("companion version") << companion << QStringList{QStringLiteral("--version")} << none << 0
                                           << QStringLiteral("mealwise-diary " MEALWISE_VERSION "\n") << QString();
    }

    void answers()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Run r = run(program, arguments, environment);
        QCOMPARE(r.status, status);
        if (out.isEmpty())
            QCOMPARE(r.out, QString());
        else
            QVERIFY2(r.out.contains(out), qPrintable(r.out));
        if (err.isEmpty())
            QCOMPARE(r.err, QString());
        else if (err.endsWith(QLatin1Char('\n')))
            QCOMPARE(r.err, err); // nothing else, in particular no advice to reinstall
        else
            QVERIFY2(r.err.contains(err), qPrintable(r.err));

        // Called by its full path, in a home of its own: the help names
        // neither, whatever the machine it runs on.
        const QString dir = QFileInfo(program).absolutePath();
        for (const QString &text : {r.out, r.err}) {
            QVERIFY2(!text.contains(dir), qPrintable(text));
            QVERIFY2(!text.contains(QDir::homePath()), qPrintable(text));
        }
    }

    // A companion command's help, from a program called by its full path.
    void companionCommandHelp_namesTheCommandNotThePath()
    {
        QString outText;
        QString errText;
        QTextStream out(&outText);
        QTextStream err(&errText);
        cli::Io io{out, err};
        cli::SubcommandParser parser("report", QStringLiteral("Reports."));
        QCOMPARE(parser.parse(QStringList{QCoreApplication::applicationFilePath(), QStringLiteral("--help")}, io),
                 std::optional<int>(0));
        out.flush();
        QVERIFY2(outText.startsWith(QStringLiteral("Usage: mealwise-diary report [options]\n")), qPrintable(outText));
        QVERIFY(!outText.contains(QCoreApplication::applicationDirPath()));
    }
};

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
