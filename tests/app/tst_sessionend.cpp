// The real program, asked to stop by a signal, closes as its main window's
// unload does: the placement is stored and it exits normally.
#include "app/sessionend.h"
#include "data/recoveryfile.h"
#include "entry/boundentrywindow.h"
#include "entry/frmrecords.h"
#include "testsupport.h"

#include <QLineEdit>
#include <sys/stat.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class tst_SessionEnd : public QObject
{
    Q_OBJECT

private slots:
    void unattendedClose_keepsWhatCannotBeWrittenAndOffersItNextStart()
    {
        testing_support::TempDiary diary;
        QVERIFY(diary.ok());
        QVERIFY(diary.insertDay({{QStringLiteral("DATE"), QStringLiteral("2026-03-01")}}) > 0);
        testing_support::MessageLog log;
        auto *w = new frmrecords(nullptr, diary.path());
        w->show();
        // A date that is no date stops the write, as any failure would.
        auto *date = qobject_cast<QLineEdit *>(w->txtFields(7));
        date->setFocus();
        date->selectAll();
        QTest::keyClicks(date, QStringLiteral("hello"));
        QTest::keyClicks(w->txtFields(9), QStringLiteral("kept soup"));
        BoundEntryWindow::setClosingUnattended(true);
        w->close();
        BoundEntryWindow::setClosingUnattended(false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join(QLatin1Char('|'))));

        const QString kept = diary::recoveryPath(diary.path());
        QCOMPARE(QFileInfo(kept).absolutePath(), QFileInfo(diary.path()).absolutePath());
        struct stat st
        {
        };
        QVERIFY(::stat(QFile::encodeName(kept).constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 07777), 0600);
        const QString text = diary::keptText(diary.path());
        for (const char *part : {"The day 01/03/26", "DATE: hello", "LUNCH: kept soup", "not a date"})
            QVERIFY2(text.contains(QLatin1String(part)), qPrintable(text));
        QVERIFY(diary.scalar(QStringLiteral("SELECT LUNCH FROM records")).isNull());

        offerKeptChanges(diary.path());
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.last().contains(kept) && log.last().contains(QLatin1String("LUNCH: kept soup")),
                 qPrintable(log.last()));
        QFile::remove(kept);
        log.clear();
        offerKeptChanges(diary.path());
        QVERIFY(log.messages.isEmpty());
    }

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
        setup.start(QStringLiteral(MEALWISE_SETUP_BINARY),
                    {QStringLiteral("--path"), diary, QStringLiteral("--sample-days"), QStringLiteral("30")});
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

QTEST_MAIN(tst_SessionEnd)
#include "tst_sessionend.moc"
