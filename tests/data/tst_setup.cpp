// What mealwise-setup says and does with the folder, the path and the day
// count it is given, and where the programs refuse to guess the diary's place.
#include "data/diarynames.h"
#include "data/diaryschema.h"
#include "data/sampledays.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using testing_support::TempDiary;

namespace {

struct Run
{
    int status = -1;
    QString out, err;
};

Run run(const QString &program, const QStringList &arguments, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    Run r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("(did not end)");
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

int modeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

} // namespace

class tst_Setup : public QObject
{
    Q_OBJECT

private slots:
    void emptyPath_saysSo()
    {
        const Run r = run(QStringLiteral(MEALWISE_SETUP_BINARY), {QStringLiteral("--path"), QString()},
                          QProcessEnvironment::systemEnvironment());
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QLatin1String("--path is empty")), qPrintable(r.err));
        QVERIFY2(!r.err.contains(QLatin1String("QDir")), qPrintable(r.err));
    }

    void noHome_programsRefuse_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("home"); // null: unset
        for (const auto &[name, home] : {std::pair{"unset", QString()}, std::pair{"empty", QStringLiteral("")},
                                         std::pair{"relative", QStringLiteral("somewhere")}}) {
            QTest::addRow("setup, HOME %s", name) << QStringLiteral(MEALWISE_SETUP_BINARY) << QStringList() << home;
            QTest::addRow("mealwise, HOME %s", name) << QStringLiteral(MEALWISE_BINARY) << QStringList() << home;
        }
    }
    void noHome_programsRefuse()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(QString, home);
        QTemporaryDir cwd;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("HOME"));
        if (!home.isNull())
            env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), cwd.filePath(QStringLiteral(".config")));
        const bool rootFolderBefore = QFileInfo::exists(QStringLiteral("/MEALWISE"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(cwd.path());
        p.start(program, arguments);
        const bool ended = p.waitForFinished(20000);
        if (!ended) {
            p.kill();
            p.waitForFinished();
        }
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(ended, "the program waited instead of refusing");
        QVERIFY2(p.exitCode() != 0, qPrintable(err));
        QVERIFY2(err.contains(QLatin1String("HOME")), qPrintable(err));
        QCOMPARE(QFileInfo::exists(QStringLiteral("/MEALWISE")), rootFolderBefore);
        QVERIFY(!QFileInfo::exists(cwd.filePath(QStringLiteral("somewhere"))));
    }

    void existingFolder_madeTheUsersOnlyOrRefused_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("otherOwner");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("modeAfter");
        QTest::addColumn<QString>("says"); // on stdout when made, stderr when refused
        QTest::newRow("0777") << 0777 << false << 0 << 0700 << QStringLiteral("now yours only (mode 0700)");
        QTest::newRow("0755") << 0755 << false << 0 << 0700 << QStringLiteral("(mode 0755)");
        QTest::newRow("0710") << 0710 << false << 0 << 0700 << QStringLiteral("(mode 0710)");
        QTest::newRow("0700") << 0700 << false << 0 << 0700 << QString();
        QTest::newRow("another user's") << 0700 << true << 1 << 0700 << QStringLiteral("belongs to another user");
    }
    void existingFolder_madeTheUsersOnlyOrRefused()
    {
        QFETCH(int, mode);
        QFETCH(bool, otherOwner);
        QFETCH(int, status);
        QFETCH(int, modeAfter);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("MEALWISE"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), mode_t(mode)) == 0);
        if (otherOwner) {
            if (::geteuid() != 0)
                QSKIP("giving a folder to another user needs root");
            QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
        }
        const QString path = folder + QStringLiteral("/Records.mdb");
        const Run r = run(QStringLiteral(MEALWISE_SETUP_BINARY), {QStringLiteral("--path"), path},
                          QProcessEnvironment::systemEnvironment());
        QCOMPARE(r.status, status);
        QCOMPARE(modeOf(folder), modeAfter);
        QCOMPARE(QFileInfo::exists(path), status == 0);
        const QString text = status == 0 ? r.out : r.err;
        if (says.isEmpty())
            QVERIFY2(!text.contains(QLatin1String("mode")), qPrintable(text));
        else
            QVERIFY2(text.contains(says), qPrintable(text));
    }

    void otherFolders_leftAsTheyAre()
    {
        // --path into a folder that is not MEALWISE's own (a shared /tmp, say)
        // changes nothing about that folder.
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("shared"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 01777) == 0);
        const Run r = run(QStringLiteral(MEALWISE_SETUP_BINARY),
                          {QStringLiteral("--path"), folder + QStringLiteral("/Records.mdb")},
                          QProcessEnvironment::systemEnvironment());
        QCOMPARE(r.status, 0);
        QCOMPARE(modeOf(folder), 01777);
        // It says what it made, and nothing of the folder's mode.
        QCOMPARE(r.out.trimmed(), QStringLiteral("Created the diary %1/Records.mdb.").arg(folder));
        QVERIFY2(!QString(r.out + r.err).contains(QLatin1String("mode")), qPrintable(r.out + r.err));
    }

    void setup_fillsAWholeCycleOfSampleDays()
    {
        // Every day the generator makes over its whole cycle, as the diary
        // itself checks it (a full cycle is what a million days repeat).
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Records.mdb"));
        const Run r = run(QStringLiteral(MEALWISE_SETUP_BINARY),
                          {QStringLiteral("--path"), path, QStringLiteral("--sample-days"), QStringLiteral("50000")},
                          QProcessEnvironment::systemEnvironment());
        QVERIFY2(r.status == 0, qPrintable(r.err));
    }

    void sampleDays_fitTheDiaryAcrossTheWholeRange_data()
    {
        QTest::addColumn<int>("daysAgo");
        QTest::addColumn<QString>("date");
        // 2026-12-09 is 46363 days after 1900-01-01, where sample days begin.
        QTest::newRow("yesterday") << 1 << QStringLiteral("2026-12-08");
        QTest::newRow("a year") << 365 << QStringLiteral("2025-12-09");
        QTest::newRow("the first of 1900") << 46363 << QStringLiteral("1900-01-01");
        QTest::newRow("round again") << 46364 << QStringLiteral("2026-12-08");
        QTest::newRow("the most the setup takes") << 1000000 << QStringLiteral("1954-09-21");
    }
    void sampleDays_fitTheDiaryAcrossTheWholeRange()
    {
        QFETCH(int, daysAgo);
        QFETCH(QString, date);
        diary::SampleDays generator(7, QDate(2026, 12, 9));
        const diary::SampleDay day = generator.day(daysAgo);
        QCOMPARE(day.value(QStringLiteral("DATE")).toString(), date);
        TempDiary d;
        QVERIFY(d.ok());
        QVERIFY2(d.insertDay(day) > 0, "the diary refused a sample day");
    }
};

QTEST_GUILESS_MAIN(tst_Setup)
#include "tst_setup.moc"
