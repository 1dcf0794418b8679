// The real program on a real X server (Xvfb), driven from outside with
// xdotool as a user drives it: a day is added through the "Records" window
// and the program is left by "E&xit", or ended by SIGTERM or SIGHUP while the
// day is still pending; the day is in the file and the placement in the
// settings file. Left by E&xit, the program runs under strace, which shows
// that it starts no other program and opens no file of the user's but the
// diary and its settings.
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>
#include <unistd.h>

namespace {

// How much slower than a quiet machine this one runs now: the load per core,
// at least 1. A deadline for the program to do something is multiplied by it,
// so that a build beside the run delays the program but does not fail it.
double loadFactor()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    const double load = f.open(QIODevice::ReadOnly) ? f.readLine().split(' ').value(0).toDouble() : 0;
    return std::clamp(load / std::max(1, QThread::idealThreadCount()), 1.0, 6.0);
}

int scaled(int ms)
{
    return int(ms * loadFactor());
}

QString xdotool(const QStringList &args, int timeoutMs = scaled(20000))
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(timeoutMs);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// xdotool gives up at the first X error, such as a window (the splash)
// closing while it looks through them, so it is asked again until the
// window is there or the deadline has passed. The deadline is generous: the
// load average lags behind a suite that has just started other heavy tests
// beside a traced start, and waiting costs time only when a window is
// really missing.
QString findWindow(const QString &title)
{
    QElapsedTimer waited;
    waited.start();
    const int deadline = scaled(60000);
    do {
        const QString id = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                    QLatin1Char('^') + title + QLatin1Char('$')},
                                   5000)
                               .section(QLatin1Char('\n'), 0, 0);
        if (!id.isEmpty())
            return id;
        QThread::msleep(100);
    } while (waited.elapsed() < deadline);
    return {};
}

// For a failure's message: what `what` was waited for, the names of the
// windows on the screen instead, and what the program said.
QString notThere(const char *what, QProcess &program)
{
    QStringList names;
    const QString ids = xdotool(
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), QStringLiteral(".")},
        5000);
    for (const QString &id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        names << QLatin1Char('"') + xdotool({QStringLiteral("getwindowname"), id}, 5000) + QLatin1Char('"');
    return QStringLiteral("%1 did not appear; on the screen: %2; the program %3, said: %4")
        .arg(QLatin1String(what), names.isEmpty() ? QStringLiteral("no window") : names.join(QStringLiteral(", ")),
             program.state() == QProcess::Running ? QStringLiteral("running") : QStringLiteral("ended"),
             QString::fromLocal8Bit(program.readAllStandardError()).trimmed());
}

// Keys go to the window that has the keyboard and reach the program in the
// order they were sent, so no pause follows them: a caller that needs their
// effect waits for it (a window that appears, goes or takes the keyboard).
void keys(const QStringList &k)
{
    xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")} + k);
}

// Polls `done` until it holds or a deadline that grows with the load passes.
bool waitFor(const std::function<bool()> &done, int ms = 30000)
{
    QElapsedTimer waited;
    waited.start();
    const int deadline = scaled(ms);
    while (!done()) {
        if (waited.elapsed() > deadline)
            return false;
        QThread::msleep(50);
    }
    return true;
}

// Waits until the window `id` is no longer on the screen (closed or hidden).
bool waitGone(const QString &id)
{
    return waitFor([&] {
        QProcess p;
        p.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
        p.waitForFinished(10000);
        return !p.readAllStandardOutput().contains("IsViewable");
    });
}

// The window that has the keyboard, bare or under a window manager.
QString focusedWindow()
{
    return xdotool({QStringLiteral("getwindowfocus")});
}

// Waits for a named window other than those in `from` (a message box, a
// question) to take the keyboard: it is given keys only then. (Between two
// windows the keyboard may rest on the screen itself, which has no name.)
QString waitForFocusAway(const QStringList &from)
{
    QString now;
    const bool moved = waitFor([&] {
        now = focusedWindow();
        return !now.isEmpty() && !from.contains(now) &&
               !xdotool({QStringLiteral("getwindowname"), now}, 5000).isEmpty();
    });
    return moved ? now : QString();
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
        if (!name.startsWith(QLatin1String("open")) || flags.contains(QLatin1String("O_WRONLY")) ||
            flags.contains(QLatin1String("O_RDWR")) || flags.contains(QLatin1String("O_CREAT")))
            t.written << path;
    }
    return t;
}

// The window manager the run asks for (MEALWISE_TEST_WM, e.g. "openbox"),
// started on `display` once the X server is up; none on a bare server.
bool startWindowManager(QProcess &wm, const QString &display)
{
    const QString name = qEnvironmentVariable("MEALWISE_TEST_WM");
    if (name.isEmpty())
        return true;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    wm.setProcessEnvironment(env);
    wm.start(name, {});
    if (!wm.waitForStarted())
        return false;
    // It has taken the screen when it owns the window-manager selection.
    for (int i = 0; i < 200 && wm.state() == QProcess::Running; ++i) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        p.waitForFinished(5000);
        if (p.readAllStandardOutput().contains("window id"))
            return true;
        QThread::msleep(scaled(50));
    }
    return false;
}

// An X server of its own (Xvfb) with the window manager the run asks for.
struct Desktop
{
    QProcess xvfb;
    QProcess wm;
    QString display;
    bool up = false;

    explicit Desktop(const QString &size = QStringLiteral("1280x1024x24"))
    {
        // A display no other X server holds.
        int n = 200 + ::getpid() % 500;
        while (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) ||
               QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
            ++n;
        display = QStringLiteral(":%1").arg(n);
        // -noreset: an X server resets when its last client leaves, and
        // refuses new clients while it does, so that a program started just
        // after another one ended would find no display on a bare server.
        xvfb.start(QStringLiteral("Xvfb"),
                   {display, QStringLiteral("-screen"), QStringLiteral("0"), size, QStringLiteral("-nolisten"),
                    QStringLiteral("tcp"), QStringLiteral("-noreset")});
        if (!xvfb.waitForStarted())
            return;
        const QString socket = QStringLiteral("/tmp/.X11-unix/X") + display.mid(1);
        for (int i = 0; i < 100 && !QFileInfo::exists(socket); ++i)
            QThread::msleep(scaled(50));
        qputenv("DISPLAY", display.toLocal8Bit());
        up = QFileInfo::exists(socket) && startWindowManager(wm, display);
        if (!up && QFileInfo::exists(socket)) {
            // Once more: a window manager started while the server is still
            // settling may give up.
            wm.kill();
            wm.waitForFinished(5000);
            QThread::msleep(scaled(500));
            up = startWindowManager(wm, display);
        }
        if (!up)
            qWarning() << "on" << display << "the window manager said:" << wm.readAllStandardError() << wm.state();
    }
    ~Desktop()
    {
        if (wm.state() != QProcess::NotRunning) {
            wm.terminate();
            wm.waitForFinished(5000);
        }
        xvfb.terminate();
        xvfb.waitForFinished(5000);
    }
};

// The environment the program runs in: its own home on `display`.
QProcessEnvironment programEnvironment(const QString &home, const QString &display)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

// Outer geometry of a window as the X server has it: "x y width height" of
// the window itself (the client area and the menu bar).
QRect clientGeometry(const QString &window)
{
    QProcess p;
    p.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    p.waitForFinished(10000);
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    auto field = [&](const char *name) {
        static const QRegularExpression number(QStringLiteral("(-?\\d+)"));
        const qsizetype at = out.indexOf(QLatin1String(name));
        return at < 0 ? -1 : number.match(out, at + qsizetype(qstrlen(name))).captured(1).toInt();
    };
    return QRect(field("Absolute upper-left X:"), field("Absolute upper-left Y:"), field("Width:"), field("Height:"));
}

bool needTools()
{
    return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("import")).isEmpty() &&
           (qEnvironmentVariableIsEmpty("MEALWISE_TEST_WM") ||
            !QStandardPaths::findExecutable(qEnvironmentVariable("MEALWISE_TEST_WM")).isEmpty());
}

// Leaves the program by "E&xit" from its main window.
void exitByMenu(const QString &main)
{
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), main});
    keys({QStringLiteral("alt+f")});
    keys({QStringLiteral("x")});
}

} // namespace

class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Font caches older than the fonts are rebuilt by the first program
        // that reads them; done here, that program is not the one traced.
        QProcess::execute(QStringLiteral("fc-cache"), {});
    }

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
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QFAIL("Xvfb and xdotool are needed (scripts/test installs them)");

        QTemporaryDir home;
        auto desktop = std::make_unique<Desktop>();
        QVERIFY2(desktop->up, "the X server or the window manager did not start");
        const QString display = desktop->display;

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
        const QString traceLog =
            home.filePath(QStringLiteral("../") + QFileInfo(home.path()).fileName() + QStringLiteral(".strace"));

        QProcess mealwise;
        mealwise.setWorkingDirectory(cwd.path());
        QProcessEnvironment env = programEnvironment(home.path(), display);
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")); // as on a machine without a desktop bus
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        mealwise.setProcessEnvironment(env);
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
        QVERIFY2(!main.isEmpty(), qPrintable(notThere("the window MEALWISE", mealwise)));
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), main});
        // &Data, then its second item, "Records".
        keys({QStringLiteral("alt+d")});
        keys({QStringLiteral("Down"), QStringLiteral("Return")});
        const QString records = findWindow(QStringLiteral("records"));
        QVERIFY2(!records.isEmpty(), qPrintable(notThere("the records window", mealwise)));
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), records});
        // Add, nine fields after the first in the tab order, pressed with
        // space: a button pressed by its shortcut clicks only when Qt's
        // 100 ms press has passed, and keys sent meanwhile are taken first,
        // while space clicks on its release, in order with the keys after
        // it. Ten fields back from Add (nine to the first, one more round to
        // the last) is the last medication list; then &Update and &Close,
        // whose clicks come in the order their shortcuts came.
        keys(QStringList(9, QStringLiteral("Tab")) << QStringLiteral("space"));
        keys(QStringList(10, QStringLiteral("shift+Tab")));
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"),
                 QStringLiteral("typed by a user")});
        if (signal == 0) {
            keys({QStringLiteral("alt+u")});
            keys({QStringLiteral("alt+c")});
            QVERIFY2(waitGone(records), "the records window did not close");
            xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), main});
            // "&Back up now", whose message is closed with Return; E&xit then
            // makes the run's own backup, since a day was written.
            keys({QStringLiteral("alt+f")});
            keys({QStringLiteral("b")});
            const QString message = waitForFocusAway({main});
            QVERIFY2(!message.isEmpty(), "no message after Back up now");
            keys({QStringLiteral("Return")});
            QVERIFY2(waitFor([&] { return focusedWindow() != message; }), "the message did not close");
            xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), main});
            keys({QStringLiteral("alt+f")});
            keys({QStringLiteral("x")});
        } else {
            // F1 on the main window, sent after the typed text, opens the
            // guide only once the program has taken in every key before it:
            // the day is pending when the signal comes.
            xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), main});
            keys({QStringLiteral("F1")});
            QVERIFY2(!findWindow(QStringLiteral("MEALWISE user guide")).isEmpty(),
                     qPrintable(notThere("the guide", mealwise)));
            ::kill(pid_t(mealwise.processId()), signal);
        }

        const bool exited = mealwise.waitForFinished(15000);
        if (!exited)
            mealwise.kill();
        desktop.reset();
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

        if (signal == 0) {
            // One backup from the menu, one at the end; both whole, both private.
            const QDir backups(QFileInfo(diary).absolutePath() + QStringLiteral("/Backups"));
            const QStringList made = backups.entryList({QStringLiteral("Records-*.mdb")}, QDir::Files);
            QCOMPARE(made.size(), 2);
            for (const QString &name : made) {
                QCOMPARE(int(QFile::permissions(backups.filePath(name)) & 0x0077), 0);
                QProcess check;
                check.start(
                    QStringLiteral("sqlite3"),
                    {backups.filePath(name), QStringLiteral("PRAGMA integrity_check; SELECT count(*) FROM records;")});
                QVERIFY(check.waitForFinished(10000));
                const QString result = QString::fromLocal8Bit(check.readAllStandardOutput()).trimmed();
                QVERIFY2(result == QStringLiteral("ok\n11") || result == QStringLiteral("ok\n10"), qPrintable(result));
            }
        }

        if (traced)
            checkTrace(traceLog, home.path(), diary, QFileInfo(settings).absoluteFilePath());
    }

    // A backup made from the menu brings back days lost after it, restored
    // from the menu's list of backups.
    void backupAndRestoreThroughTheMenu()
    {
        if (!needTools())
            QFAIL("Xvfb, xdotool, xwininfo, ImageMagick and the window manager asked for are needed (scripts/test "
                  "installs them)");
        QTemporaryDir home;
        Desktop desktop;
        QVERIFY2(desktop.up, "the X server or the window manager did not start");
        const QString display = desktop.display;
        const QString diary = home.filePath(QStringLiteral("MEALWISE/Records.mdb"));
        QProcess setup;
        setup.start(QStringLiteral(MEALWISE_SETUP_BINARY),
                    {QStringLiteral("--path"), diary, QStringLiteral("--sample-days"), QStringLiteral("10")});
        QVERIFY(setup.waitForFinished(30000));
        auto sql = [&](const QString &statement) {
            QProcess q;
            q.start(QStringLiteral("sqlite3"), {diary, statement});
            q.waitForFinished(10000);
            return QString::fromLocal8Bit(q.readAllStandardOutput()).trimmed();
        };

        QProcess mealwise;
        mealwise.setProcessEnvironment(programEnvironment(home.path(), display));
        mealwise.start(QStringLiteral(MEALWISE_BINARY), {});
        QVERIFY(mealwise.waitForStarted());
        const QString main = findWindow(QStringLiteral("MEALWISE"));
        QVERIFY2(!main.isEmpty(), qPrintable(notThere("the window MEALWISE", mealwise)));
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), main});
        keys({QStringLiteral("alt+f")});
        keys({QStringLiteral("b")});
        const QString message = waitForFocusAway({main});
        QVERIFY2(!message.isEmpty(), "no message after Back up now");
        keys({QStringLiteral("Return")});
        QVERIFY2(waitFor([&] { return focusedWindow() != message; }), "the message did not close");
        QCOMPARE(
            QDir(home.filePath(QStringLiteral("MEALWISE/Backups"))).entryList({QStringLiteral("Records-*.mdb")}).size(),
            1);

        QCOMPARE(sql(QStringLiteral("DELETE FROM records WHERE ID > 3; SELECT count(*) FROM records;")),
                 QStringLiteral("3"));
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), main});
        keys({QStringLiteral("alt+f")});
        keys({QStringLiteral("r")});
        const QString list = findWindow(QStringLiteral("MEALWISE - Restore from backup"));
        QVERIFY2(!list.isEmpty(), qPrintable(notThere("the restore window", mealwise)));
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), list});
        keys({QStringLiteral("alt+r")}); // the newest backup is selected
        const QString question = waitForFocusAway({list});
        QVERIFY2(!question.isEmpty(), "no question before the restore");
        keys({QStringLiteral("alt+y")}); // yes, restore it
        const QString restored = waitForFocusAway({list, question, main});
        QVERIFY2(!restored.isEmpty(), "no message after the restore");
        keys({QStringLiteral("Return")}); // the message that it was restored
        QVERIFY2(waitFor([&] { return focusedWindow() != restored; }), "the message did not close");
        QCOMPARE(sql(QStringLiteral("PRAGMA integrity_check; SELECT count(*) FROM records;")),
                 QStringLiteral("ok\n10"));

        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), main});
        keys({QStringLiteral("alt+f")});
        keys({QStringLiteral("x")});
        const bool exited = mealwise.waitForFinished(15000);
        if (!exited)
            mealwise.kill();
        QVERIFY2(exited, "the program did not end after E&xit");
        // The diary as it was before the restore is kept too.
        QCOMPARE(
            QDir(home.filePath(QStringLiteral("MEALWISE/Backups"))).entryList({QStringLiteral("Records-*.mdb")}).size(),
            2);
    }

    void threeStarts_windowComesBackAtTheSamePlaceAndSize()
    {
        if (!needTools())
            QFAIL("Xvfb, xdotool, xwininfo, ImageMagick and the window manager asked for are needed (scripts/test "
                  "installs them)");
        QTemporaryDir home;
        Desktop desktop;
        QVERIFY2(desktop.up, "the X server or the window manager did not start");
        const QString diary = home.filePath(QStringLiteral("MEALWISE/Records.mdb"));
        QCOMPARE(QProcess::execute(QStringLiteral(MEALWISE_SETUP_BINARY), {QStringLiteral("--path"), diary}), 0);

        QList<QRect> seen;
        QStringList stored;
        for (int run = 0; run < 4; ++run) {
            QProcess mealwise;
            mealwise.setProcessEnvironment(programEnvironment(home.path(), desktop.display));
            mealwise.start(QStringLiteral(MEALWISE_BINARY), {});
            QVERIFY(mealwise.waitForStarted());
            const QString main = findWindow(QStringLiteral("MEALWISE"));
            QVERIFY2(!main.isEmpty(), qPrintable(notThere("the window MEALWISE", mealwise)));
            // Framed and placed: the same geometry twice, a moment apart.
            QRect geometry;
            QVERIFY(waitFor([&] {
                const QRect before = clientGeometry(main);
                QThread::msleep(300);
                geometry = clientGeometry(main);
                return geometry.isValid() && geometry == before;
            }));
            seen << geometry;
            exitByMenu(main);
            const bool exited = mealwise.waitForFinished(15000);
            if (!exited)
                mealwise.kill();
            QVERIFY2(exited, "the program did not end after E&xit");
            QSettings settings(home.filePath(QStringLiteral(".config/MEALWISE/MEALWISE.conf")), QSettings::IniFormat);
            stored << QStringLiteral("%1 %2 %3 %4")
                          .arg(settings.value(QStringLiteral("Settings/MainLeft")).toString(),
                               settings.value(QStringLiteral("Settings/MainTop")).toString(),
                               settings.value(QStringLiteral("Settings/MainWidth")).toString(),
                               settings.value(QStringLiteral("Settings/MainHeight")).toString());
        }
        // The first run starts from no placement; from then on every start
        // gives the same window and every exit stores the same values.
        QVERIFY2(seen.at(0).width() > 0, "xwininfo gave no geometry");
        for (int run = 1; run < 4; ++run) {
            QCOMPARE(seen.at(run), seen.at(0));
            QCOMPARE(stored.at(run), stored.at(0));
        }
    }

    void splash_paintedWhileTheDiaryIsBusy()
    {
        if (!needTools())
            QFAIL("Xvfb, xdotool, xwininfo, ImageMagick and the window manager asked for are needed (scripts/test "
                  "installs them)");
        QTemporaryDir home;
        Desktop desktop;
        QVERIFY2(desktop.up, "the X server or the window manager did not start");
        const QString diary = home.filePath(QStringLiteral("MEALWISE/Records.mdb"));
        QCOMPARE(QProcess::execute(QStringLiteral(MEALWISE_SETUP_BINARY), {QStringLiteral("--path"), diary}), 0);

        // Another program holds the diary's write lock, so loading waits.
        QProcess holder;
        holder.start(QStringLiteral("sqlite3"), {diary});
        QVERIFY(holder.waitForStarted());
        holder.write("BEGIN EXCLUSIVE;\nSELECT 'locked';\n");
        QVERIFY(holder.waitForReadyRead(10000));
        QVERIFY(holder.readAllStandardOutput().contains("locked"));

        QProcess mealwise;
        mealwise.setProcessEnvironment(programEnvironment(home.path(), desktop.display));
        mealwise.start(QStringLiteral(MEALWISE_BINARY), {});
        QVERIFY(mealwise.waitForStarted());
        // The splash is centred on the screen, 7395 x 4620 twips: the middle
        // 200 x 100 pixels are its picture and texts, never black. The screen
        // is looked at until they are painted, while the diary is still held.
        QImage screen;
        int black = 0;
        const int pixels = 200 * 100;
        const bool painted = waitFor([&] {
            QProcess shot;
            shot.start(QStringLiteral("import"),
                       {QStringLiteral("-display"), desktop.display, QStringLiteral("-window"), QStringLiteral("root"),
                        QStringLiteral("png:-")});
            shot.waitForFinished(20000);
            screen = QImage::fromData(shot.readAllStandardOutput(), "PNG");
            if (screen.isNull())
                return false;
            const QRect middle(screen.width() / 2 - 100, screen.height() / 2 - 50, 200, 100);
            black = 0;
            for (int y = middle.top(); y <= middle.bottom(); ++y) {
                for (int x = middle.left(); x <= middle.right(); ++x) {
                    if (qGray(screen.pixel(x, y)) < 16)
                        ++black;
                }
            }
            return black < pixels / 10;
        });
        holder.write("COMMIT;\n.quit\n");
        holder.closeWriteChannel();
        holder.waitForFinished(10000);

        const QString main = findWindow(QStringLiteral("MEALWISE"));
        if (!main.isEmpty())
            exitByMenu(main);
        bool exited = mealwise.waitForFinished(40000);
        if (!exited) {
            mealwise.terminate();
            exited = mealwise.waitForFinished(10000);
        }
        if (!exited)
            mealwise.kill();
        QVERIFY2(!screen.isNull(), "no picture of the screen could be taken");
        QVERIFY2(painted, qPrintable(QStringLiteral("%1 of %2 pixels of the splash are black").arg(black).arg(pixels)));
        QVERIFY(exited);
    }

private:
    void checkTrace(const QString &log, const QString &home, const QString &diary, const QString &settings)
    {
        const Trace t = readTrace(log);
        QFile::remove(log);
        QVERIFY2(t.opened.contains(diary), "the trace does not show the diary being opened");
        QVERIFY2(t.programs.isEmpty(), qPrintable(t.programs.join(QLatin1Char('\n'))));

        const QString settingsFolder = QFileInfo(settings).absolutePath();
        // The backups folder beside the diary: its finished backups and the
        // temporary files (with their journals) they are written through.
        const QString backups = QFileInfo(diary).absolutePath() + QStringLiteral("/Backups");
        static const QRegularExpression backupName(
            QStringLiteral("^(Records-\\d{4}-\\d{2}-\\d{2}-\\d{6}(-\\d+)?\\.mdb|\\.Records-\\w{6}\\.tmp)(-journal)?$"));
        const auto ownFile = [&](const QString &path) {
            // The diary with its rollback journal and its folder (synced when
            // the journal goes); the settings file with the
            // lock file and the temporary copy it is written through, and the
            // folders that hold it.
            if (path == backups)
                return true;
            if (path.startsWith(backups + QLatin1Char('/')))
                return backupName.match(path.mid(backups.size() + 1)).hasMatch();
            // What an end by signal could not write goes to the recovery
            // file beside the diary.
            return path == diary || path == diary + QStringLiteral("-journal") ||
                   path == diary + QStringLiteral(".unsaved.txt") || path == QFileInfo(diary).absolutePath() ||
                   path == settings || path == settings + QStringLiteral(".lock") ||
                   (path.startsWith(settings + QLatin1Char('.')) && path.size() == settings.size() + 7) ||
                   path == settingsFolder || path == QFileInfo(settingsFolder).absolutePath();
        };
        // What the toolkit and the libraries under it read: themselves, their
        // configuration, fonts, plugins beside the program, the system's
        // machine id, and the per-user runtime folder.
        static const QStringList systemPlaces = {QStringLiteral("/usr/"),
                                                 QStringLiteral("/lib"),
                                                 QStringLiteral("/etc/"),
                                                 QStringLiteral("/proc/"),
                                                 QStringLiteral("/sys/"),
                                                 QStringLiteral("/dev/"),
                                                 QStringLiteral("/var/cache/fontconfig/"),
                                                 QStringLiteral("/var/lib/dbus/"),
                                                 QStringLiteral("/tmp/runtime-"),
                                                 QFileInfo(QStringLiteral(MEALWISE_BINARY)).absolutePath() +
                                                     QLatin1Char('/')};
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
            if (!ownFile(path) && path != QStringLiteral("/dev/null") &&
                !path.startsWith(QLatin1String("/tmp/runtime-")))
                writes << path;
        }
        QVERIFY2(writes.isEmpty(), qPrintable(QStringLiteral("written: ") + writes.join(QStringLiteral(", "))));
    }
};

QTEST_GUILESS_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
