// The real program, asked to stop by a signal, closes as its main window's
// unload does: the placement is stored and it exits normally.
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class tst_SessionEnd : public QObject
{
    Q_OBJECT

private slots:
    void signal_closesLikeExitAndStoresPlacement_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void signal_closesLikeExitAndStoresPlacement()
    {
        QFETCH(int, signal);
        QTemporaryDir home;
        const QString diary = home.filePath(QStringLiteral("MEALWISE/Records.mdb"));
        QProcess setup;
        setup.start(QStringLiteral(MEALWISE_SETUP_BINARY), {QStringLiteral("--path"), diary, QStringLiteral("--sample-days"), QStringLiteral("30")});
        QVERIFY(setup.waitForFinished(60000));
        QCOMPARE(setup.exitCode(), 0);

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/.config"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(MEALWISE_BINARY), {});
        QVERIFY(program.waitForStarted(30000));
        const QString settings = home.path() + QStringLiteral("/.config/MEALWISE/MEALWISE.conf");
        // The window is up once it has had a moment; nothing is stored before it closes.
        QTest::qWait(1500);
        QVERIFY(program.state() == QProcess::Running);
        QVERIFY(!QFile::exists(settings));
        ::kill(pid_t(program.processId()), signal);
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QFile file(settings);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(text.contains("MainWidth="), text.constData());
        QVERIFY(text.contains("MainLeft="));
    }
};

QTEST_GUILESS_MAIN(tst_SessionEnd)
#include "tst_sessionend.moc"
