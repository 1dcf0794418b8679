// The real program on a real X server (Xvfb), driven from outside with
// xdotool as a user drives it: a day is added through the "Records" window
// and the program is left by "E&xit", or ended by SIGTERM or SIGHUP while the
// day is still pending; the day is in the file and the placement in the
// settings file.
#include "testsupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <unistd.h>

namespace {

QString xdotool(const QStringList &args, int timeoutMs = 20000)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(timeoutMs);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

QString findWindow(const QString &title)
{
    return xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--name"), QLatin1Char('^') + title + QLatin1Char('$')})
        .section(QLatin1Char('\n'), 0, 0);
}

void keys(const QStringList &k)
{
    xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")} + k);
    QThread::msleep(400);
}

} // namespace

class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void addDayThroughRecordsWindow_data()
    {
        // Left by E&xit after Update and Close; or ended by a signal while the
        // new day is still pending in the open window, which then writes it.
        QTest::addColumn<int>("signal");
        QTest::newRow("Update, Close, E&xit") << 0;
        QTest::newRow("SIGTERM with the day pending") << int(SIGTERM);
        QTest::newRow("SIGHUP with the day pending") << int(SIGHUP);
    }
    void addDayThroughRecordsWindow()
    {
        QFETCH(int, signal);
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("Xvfb and xdotool are needed (scripts/test installs them)");

        QTemporaryDir home;
        const QString display = QStringLiteral(":%1").arg(200 + ::getpid() % 500);
        QProcess xvfb;
        xvfb.start(QStringLiteral("Xvfb"), {display, QStringLiteral("-screen"), QStringLiteral("0"),
                                            QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                                            QStringLiteral("tcp")});
        QVERIFY(xvfb.waitForStarted());
        const QString socket = QStringLiteral("/tmp/.X11-unix/X") + display.mid(1);
        for (int i = 0; i < 100 && !QFileInfo::exists(socket); ++i)
            QThread::msleep(50);
        QVERIFY(QFileInfo::exists(socket));
        qputenv("DISPLAY", display.toLocal8Bit());

        const QString diary = home.filePath(QStringLiteral("MEALWISE/Records.mdb"));
        QProcess setup;
        setup.start(QStringLiteral(MEALWISE_SETUP_BINARY),
                    {QStringLiteral("--path"), diary, QStringLiteral("--sample-days"), QStringLiteral("10")});
        QVERIFY(setup.waitForFinished(30000));
        QCOMPARE(setup.exitCode(), 0);

        QProcess mealwise;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        mealwise.setProcessEnvironment(env);
        mealwise.start(QStringLiteral(MEALWISE_BINARY), {});
        QVERIFY(mealwise.waitForStarted());

        const QString main = findWindow(QStringLiteral("MEALWISE"));
        QVERIFY2(!main.isEmpty(), "the window MEALWISE did not appear");
        QThread::msleep(500);
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), main});
        // &Data, then its second item, "Records".
        keys({QStringLiteral("alt+d")});
        keys({QStringLiteral("Down"), QStringLiteral("Return")});
        const QString records = findWindow(QStringLiteral("records"));
        QVERIFY2(!records.isEmpty(), "the records window did not appear");
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), records});
        // &Add; the field before the Add button in the tab order is the
        // last medication list; then &Update and &Close.
        keys({QStringLiteral("alt+a")});
        keys({QStringLiteral("shift+Tab")});
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), QStringLiteral("typed by a user")});
        if (signal == 0) {
            keys({QStringLiteral("alt+u")});
            keys({QStringLiteral("alt+c")});
            xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), main});
            keys({QStringLiteral("alt+f")});
            keys({QStringLiteral("x")});
        } else {
            ::kill(pid_t(mealwise.processId()), signal);
        }

        const bool exited = mealwise.waitForFinished(15000);
        if (!exited)
            mealwise.kill();
        xvfb.terminate();
        xvfb.waitForFinished(5000);
        QVERIFY2(exited, "the program did not end after E&xit");
        QCOMPARE(mealwise.exitStatus(), QProcess::NormalExit);
        QCOMPARE(mealwise.exitCode(), 0);

        // The new day is in the file, as the eleventh.
        QProcess sqlite;
        sqlite.start(QStringLiteral("sqlite3"),
                     {diary, QStringLiteral("SELECT count(*), max(ID), (SELECT MEDICATION9 FROM records WHERE ID = "
                                            "(SELECT max(ID) FROM records)) FROM records")});
        QVERIFY(sqlite.waitForFinished(10000));
        QCOMPARE(QString::fromLocal8Bit(sqlite.readAllStandardOutput()).trimmed(),
                 QStringLiteral("11|11|typed by a user"));

        QFile settings(home.filePath(QStringLiteral(".config/MEALWISE/MEALWISE.conf")));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        const QByteArray text = settings.readAll();
        for (const char *key : {"MainLeft=", "MainTop=", "MainWidth=", "MainHeight="})
            QVERIFY2(text.contains(key), text.constData());
    }
};

QTEST_GUILESS_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
