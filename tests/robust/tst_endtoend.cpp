// The real program on a real X server (Xvfb), driven from outside with
// xdotool as a user drives it: a day is added through the "Records" window
// and the program is left by "E&xit", or ended by SIGTERM or SIGHUP while the
// day is still pending; the day is in the file and the placement in the
// settings file. Left by E&xit, the program runs under strace, which shows
// that it starts no other program and opens no file of the user's but the
// diary and its settings.
#include "testsupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <algorithm>
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


// strace's record of one run: every program started and every file opened.
struct Trace
{
    QStringList programs; // each execve after the first, whether it worked or not
    QStringList opened;   // paths opened successfully, as given
    QStringList written;  // of these, the ones opened for writing or made
};

Trace readTrace(const QString &log)
{
    Trace t;
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly))
        return t;
    static const QRegularExpression call(
        QStringLiteral("^\\d+\\s+(\\w+)\\((?:AT_FDCWD, )?\"([^\"]*)\"(.*)\\)\\s+=\\s+(-?\\d+)"));
    bool first = true;
    for (const QByteArray &raw : f.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        const QRegularExpressionMatch m = call.match(line);
        if (!m.hasMatch())
            continue;
        const QString name = m.captured(1);
        const QString path = m.captured(2);
        const bool ok = m.captured(4).toLongLong() >= 0;
        if (name.startsWith(QLatin1String("execve"))) {
            if (!first)
                t.programs << line;
            first = false;
            continue;
        }
        if (!ok)
            continue;
        t.opened << path;
        const QString flags = m.captured(3);
        if (!name.startsWith(QLatin1String("open")) || flags.contains(QLatin1String("O_WRONLY"))
            || flags.contains(QLatin1String("O_RDWR")) || flags.contains(QLatin1String("O_CREAT")))
            t.written << path;
    }
    return t;
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
            QFAIL("Xvfb and xdotool are needed (scripts/test installs them)");

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

        // Started from a folder of its own holding files with the diary's and
        // the settings' names, which it must not touch.
        QTemporaryDir cwd;
        for (const char *decoy : {"Records.mdb", "MEALWISE.conf"}) {
            QFile f(cwd.filePath(QLatin1String(decoy)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not to be read");
        }
        const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        const bool traced = signal == 0;
        if (traced && strace.isEmpty())
            QFAIL("strace is needed (scripts/test installs it)");
        if (traced) {
            QProcess probe;
            probe.start(strace, {QStringLiteral("-qq"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                                 QStringLiteral("true")});
            QVERIFY2(probe.waitForFinished(10000) && probe.exitCode() == 0,
                     "strace cannot trace a program on this machine (ptrace not allowed?)");
        }
        const QString traceLog = home.filePath(QStringLiteral("../") + QFileInfo(home.path()).fileName()
                                               + QStringLiteral(".strace"));

        QProcess mealwise;
        mealwise.setWorkingDirectory(cwd.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        mealwise.setProcessEnvironment(env);
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")); // as on a machine without a desktop bus
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        if (traced)
            mealwise.start(strace, {QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-o"), traceLog,
                                    QStringLiteral("-e"),
                                    QStringLiteral("trace=execve,execveat,open,openat,openat2,creat,mkdir,mkdirat,"
                                                   "rename,renameat,renameat2,unlink,unlinkat,truncate"),
                                    QStringLiteral(MEALWISE_BINARY)});
        else
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

        if (traced)
            checkTrace(traceLog, home.path(), diary, QFileInfo(settings).absoluteFilePath());
    }

private:
    void checkTrace(const QString &log, const QString &home, const QString &diary, const QString &settings)
    {
        const Trace t = readTrace(log);
        QFile::remove(log);
        QVERIFY2(t.opened.contains(diary), "the trace does not show the diary being opened");
        QVERIFY2(t.programs.isEmpty(), qPrintable(t.programs.join(QLatin1Char('\n'))));

        const QString settingsFolder = QFileInfo(settings).absolutePath();
        const auto ownFile = [&](const QString &path) {
            // The diary with its rollback journal and its folder (synced when
            // the journal goes); the settings file with the
            // lock file and the temporary copy it is written through, and the
            // folders that hold it.
            // What an end by signal could not write goes to the recovery
            // file beside the diary.
            return path == diary || path == diary + QStringLiteral("-journal")
                || path == diary + QStringLiteral(".unsaved.txt")
                || path == QFileInfo(diary).absolutePath() || path == settings
                || path == settings + QStringLiteral(".lock")
                || (path.startsWith(settings + QLatin1Char('.')) && path.size() == settings.size() + 7)
                || path == settingsFolder || path == QFileInfo(settingsFolder).absolutePath();
        };
        // What the toolkit and the libraries under it read: themselves, their
        // configuration, fonts, plugins beside the program, the system's
        // machine id, and the per-user runtime folder.
        static const QStringList systemPlaces = {
            QStringLiteral("/usr/"), QStringLiteral("/lib"), QStringLiteral("/etc/"), QStringLiteral("/proc/"),
            QStringLiteral("/sys/"), QStringLiteral("/dev/"), QStringLiteral("/var/cache/fontconfig/"),
            QStringLiteral("/var/lib/dbus/"), QStringLiteral("/tmp/runtime-"),
            QFileInfo(QStringLiteral(MEALWISE_BINARY)).absolutePath() + QLatin1Char('/')};
        const auto systemFile = [&](const QString &path) {
            return std::any_of(systemPlaces.begin(), systemPlaces.end(),
                               [&](const QString &place) { return path.startsWith(place); });
        };
        QStringList strangers;
        for (const QString &path : t.opened) {
            if (path.startsWith(home + QLatin1Char('/')) || path == home) {
                if (!ownFile(path))
                    strangers << path;
            } else if (!systemFile(path) && path != QStringLiteral(MEALWISE_BINARY)) {
                strangers << path;
            }
        }
        QVERIFY2(strangers.isEmpty(), qPrintable(QStringLiteral("opened: ") + strangers.join(QStringLiteral(", "))));
        QStringList writes;
        for (const QString &path : t.written) {
            if (!ownFile(path) && path != QStringLiteral("/dev/null") && !path.startsWith(QLatin1String("/tmp/runtime-")))
                writes << path;
        }
        QVERIFY2(writes.isEmpty(), qPrintable(QStringLiteral("written: ") + writes.join(QStringLiteral(", "))));
    }
};

QTEST_GUILESS_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
