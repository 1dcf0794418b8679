// The program must not start a D-Bus daemon of its own where the desktop
// has no session bus, and must leave a desktop's bus alone.
#include "app/processenv.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_ProcessEnv : public QObject
{
    Q_OBJECT

private slots:
    void init() { qunsetenv("DBUS_SESSION_BUS_ADDRESS"); }

    void noBusAnywhere_lookUpSwitchedOff()
    {
        QTemporaryDir runtime; // a runtime folder without a bus socket
        QVERIFY(app::keepFromStartingABus(runtime.path().toLocal8Bit()));
        QCOMPARE(qgetenv("DBUS_SESSION_BUS_ADDRESS"), QByteArray("disabled:"));
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        QVERIFY(app::keepFromStartingABus(QByteArray()));
        QCOMPARE(qgetenv("DBUS_SESSION_BUS_ADDRESS"), QByteArray("disabled:"));
    }

    void desktopBus_leftAlone()
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus");
        QVERIFY(!app::keepFromStartingABus(QByteArray()));
        QCOMPARE(qgetenv("DBUS_SESSION_BUS_ADDRESS"), QByteArray("unix:path=/run/user/1000/bus"));

        // Only the socket in the runtime folder names the bus.
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        QTemporaryDir runtime;
        QFile socket(runtime.filePath(QStringLiteral("bus")));
        QVERIFY(socket.open(QIODevice::WriteOnly));
        socket.close();
        QVERIFY(!app::keepFromStartingABus(runtime.path().toLocal8Bit()));
        QVERIFY(!qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"));
    }
};

QTEST_GUILESS_MAIN(tst_ProcessEnv)
#include "tst_processenv.moc"
