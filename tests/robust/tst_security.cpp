// Health data: the setup program makes the diary private whatever the umask,
// and SQL typed into any field is stored as the text it is.
#include "data/diarynames.h"
#include "data/rowset.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using testing_support::TempDiary;

namespace {
mode_t modeOf(const QString &path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 07777;
    return st.st_mode & 07777;
}
} // namespace

class tst_Security : public QObject
{
    Q_OBJECT

private slots:
    void setup_folderAndFilePrivateWhateverTheUmask_data()
    {
        QTest::addColumn<int>("umask");
        QTest::addColumn<int>("days");
        QTest::newRow("umask 000") << 0 << 20;
        QTest::newRow("umask 022") << 022 << 20;
        QTest::newRow("umask 077") << 077 << 20;
        QTest::newRow("umask 022, no sample days") << 022 << 0;
    }
    void setup_folderAndFilePrivateWhateverTheUmask()
    {
        QFETCH(int, umask);
        QFETCH(int, days);
        QTemporaryDir root;
        const QString path = root.filePath(QStringLiteral("MEALWISE/Records.mdb"));
        const mode_t old = ::umask(mode_t(umask));
        QProcess setup;
        setup.start(QStringLiteral(MEALWISE_SETUP_BINARY),
                    {QStringLiteral("--path"), path, QStringLiteral("--sample-days"), QString::number(days)});
        const bool finished = setup.waitForFinished(60000);
        ::umask(old);
        QVERIFY(finished);
        QCOMPARE(setup.exitCode(), 0);
        QCOMPARE(modeOf(QFileInfo(path).absolutePath()), mode_t(0700));
        QCOMPARE(modeOf(path), mode_t(0600));
        // No journal or other file left beside it that others could read.
        QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Records.mdb")});

        // A second run refuses and leaves the file's mode and bytes alone.
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        f.close();
        QProcess again;
        again.start(QStringLiteral(MEALWISE_SETUP_BINARY), {QStringLiteral("--path"), path});
        QVERIFY(again.waitForFinished(60000));
        QVERIFY(again.exitCode() != 0);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes);
        QCOMPARE(modeOf(path), mode_t(0600));
    }

    void setup_neverOpensTheDiaryWiderThanPrivate()
    {
        // The final modes could hide a moment in which others could open
        // the file; the system calls show the modes it is made with.
        const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        if (strace.isEmpty())
            QFAIL("strace is needed (scripts/test installs it)");
        QTemporaryDir root;
        const QString folder = root.filePath(QStringLiteral("MEALWISE"));
        const QString path = folder + QStringLiteral("/Records.mdb");
        const QString log = root.filePath(QStringLiteral("setup.strace"));
        QProcess setup;
        // The leak checker of a sanitizer build cannot run under a tracer.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        setup.setProcessEnvironment(env);
        setup.start(strace, {QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-o"), log,
                             QStringLiteral("-e"), QStringLiteral("trace=execve,mkdir,mkdirat,open,openat,creat"),
                             QStringLiteral(MEALWISE_SETUP_BINARY), QStringLiteral("--path"), path,
                             QStringLiteral("--sample-days"), QStringLiteral("3")});
        QVERIFY(setup.waitForFinished(60000));
        QCOMPARE(setup.exitCode(), 0);
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        int made = 0;
        int execs = 0;
        for (const QByteArray &raw : f.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw);
            if (line.contains(QLatin1String("execve(")))
                ++execs;
            const bool creates = line.contains(QLatin1String("O_CREAT")) || line.contains(QLatin1String("mkdir"));
            if (!creates || !line.contains(QLatin1Char('"') + folder))
                continue;
            ++made;
            // Every file beside the diary (journal included) is made 0600 or
            // narrower, the folder 0700.
            const QString mode = line.section(QLatin1String(", "), -1).section(QLatin1Char(')'), 0, 0);
            const QString expected =
                line.contains(QLatin1String("mkdir")) ? QStringLiteral("0700") : QStringLiteral("0600");
            QVERIFY2(mode == expected || mode == QStringLiteral("0400"), qPrintable(line));
        }
        QVERIFY2(made >= 2, "the trace shows neither the folder nor the file being made");
        QCOMPARE(execs, 1); // the setup program itself, and nothing it starts
    }

    void setup_refusesADanglingLinkAtThePath()
    {
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("MEALWISE"))));
        const QString path = root.filePath(QStringLiteral("MEALWISE/Records.mdb"));
        const QString target = root.filePath(QStringLiteral("elsewhere.mdb"));
        QVERIFY(QFile::link(target, path));
        QProcess setup;
        setup.start(QStringLiteral(MEALWISE_SETUP_BINARY), {QStringLiteral("--path"), path});
        QVERIFY(setup.waitForFinished(60000));
        QVERIFY(setup.exitCode() != 0);
        QVERIFY(!QFileInfo::exists(target));
    }

    void sqlTypedIntoFields_storedAsText()
    {
        TempDiary d;
        QVERIFY2(d.ok(), qPrintable(d.error()));
        const QStringList hostile{
            QStringLiteral("'); DROP TABLE records; --"),
            QStringLiteral("\"; DELETE FROM records; --"),
            QStringLiteral("x' OR '1'='1"),
            QStringLiteral("]; DROP VIEW [Diary Query]; --"),
            QStringLiteral("?1 ?2 :name @v $v"),
            QStringLiteral("Robert'); UPDATE records SET [OVERALL SCORE]=1; --"),
        };
        // Every text column of a day, with a different hostile text each.
        const QStringList textColumns{QStringLiteral("BREAKFAST"),   QStringLiteral("LUNCH"),
                                      QStringLiteral("TEA"),         QStringLiteral("COMMENTS"),
                                      QStringLiteral("SNACK1"),      QStringLiteral("SNACK4"),
                                      QStringLiteral("BEVERAGE1"),   QStringLiteral("BEVERAGE4"),
                                      QStringLiteral("MEDICATION1"), QStringLiteral("MEDICATION9")};
        const qint64 other = d.insertDay({{QStringLiteral("DATE"), QStringLiteral("2026-01-02")},
                                          {QStringLiteral("OVERALL SCORE"), 8},
                                          {QStringLiteral("BREAKFAST"), QStringLiteral("toast")}});
        QVERIFY(other > 0);

        RowSet rs;
        QVERIFY2(rs.open(d.path(), diary::recordsRecordSource()), qPrintable(rs.lastError()));
        QVERIFY(rs.AddNew());
        QVERIFY(rs.setField(QStringLiteral("DATE"), QStringLiteral("2026-01-03")));
        for (int i = 0; i < textColumns.size(); ++i)
            QVERIFY(rs.setField(textColumns.at(i), hostile.at(i % hostile.size())));
        QVERIFY2(rs.UpdateBatch(), qPrintable(rs.lastError()));

        // A change to the existing day as well: the match by old values and
        // the update both bind.
        QVERIFY(rs.MoveFirst());
        QVERIFY(rs.setField(QStringLiteral("COMMENTS"), hostile.first()));
        QVERIFY2(rs.UpdateBatch(), qPrintable(rs.lastError()));

        QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 2);
        QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name='Diary Query'")).toInt(), 1);
        QCOMPARE(d.scalar(QStringLiteral("SELECT [OVERALL SCORE] FROM records WHERE ID=?"), {other}).toInt(), 8);
        QCOMPARE(d.scalar(QStringLiteral("SELECT COMMENTS FROM records WHERE ID=?"), {other}).toString(),
                 hostile.first());
        for (int i = 0; i < textColumns.size(); ++i) {
            const QList<QVariantList> rows =
                d.rows(QStringLiteral("SELECT [") + textColumns.at(i) + QStringLiteral("], typeof([") +
                       textColumns.at(i) + QStringLiteral("]) FROM records WHERE DATE='2026-01-03'"));
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows.first().at(0).toString(), hostile.at(i % hostile.size()));
            QCOMPARE(rows.first().at(1).toString(), QStringLiteral("text"));
        }

        // The food and medication lists too.
        RowSet food;
        QVERIFY2(food.open(d.path(), diary::foodRecordSource()), qPrintable(food.lastError()));
        QVERIFY(food.setField(QStringLiteral("ADEQUATE FOOD"), hostile.at(3)));
        QVERIFY(food.setField(QStringLiteral("UNSATISFACTORY MEDICATION"), hostile.at(0)));
        QVERIFY2(food.UpdateBatch(), qPrintable(food.lastError()));
        QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM [FOOD AND MEDICATION]")).toInt(), 1);
        QCOMPARE(d.scalar(QStringLiteral("SELECT [ADEQUATE FOOD] FROM [FOOD AND MEDICATION]")).toString(),
                 hostile.at(3));
        QCOMPARE(d.scalar(QStringLiteral("SELECT [UNSATISFACTORY MEDICATION] FROM [FOOD AND MEDICATION]")).toString(),
                 hostile.at(0));
    }
};

QTEST_GUILESS_MAIN(tst_Security)
#include "tst_security.moc"
