// A writer killed at any moment leaves a sound diary holding all of its batch
// or none of it. The child writes changed and added days through the row set
// in one batch; it is killed with SIGKILL at a moment drawn from a fixed seed.
#include "data/diaryschema.h"
#include "keeping/backups.h"
#include "keeping/diarycheck.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <thread>

using testing_support::TempDiary;

namespace {
constexpr int kChanged = 25;
constexpr int kAdded = 60;

// Starts the child on one job, waits for its "ready", and lets it finish
// (returns its run time) or kills it after `delayUs`.
qint64 runAndMaybeKill(const QStringList &arguments, qint64 delayUs, bool *done)
{
    QProcess child;
    child.start(QStringLiteral(CRASHWRITER_BINARY), arguments);
    if (!child.waitForStarted(10000))
        return -1;
    QByteArray out;
    while (!out.contains("ready\n")) {
        if (!child.waitForReadyRead(20000))
            return -1;
        out += child.readAllStandardOutput();
    }
    QElapsedTimer t;
    t.start();
    if (delayUs < 0) {
        child.waitForFinished(30000);
    } else {
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished(30000);
    }
    const qint64 took = t.nsecsElapsed() / 1000;
    out += child.readAllStandardOutput();
    *done = out.contains("done\n");
    return took;
}

// Every day of `table` by its ID, each with the columns of records in one order.
QMap<qint64, QVariantList> daysIn(const TempDiary &d, const QString &table)
{
    QMap<qint64, QVariantList> out;
    if (d.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = ?"), {table}).toInt() == 0)
        return out;
    QStringList columns;
    for (const QVariantList &c : d.rows(QStringLiteral("SELECT name FROM pragma_table_info('records')")))
        columns << QStringLiteral("quote([%1])").arg(c.value(0).toString());
    for (const QVariantList &row :
         d.rows(QStringLiteral("SELECT ID, %1 FROM [%2]").arg(columns.join(QLatin1Char(',')), table)))
        out.insert(row.first().toLongLong(), row);
    return out;
}

QMap<qint64, QVariantList> allRows(const TempDiary &d)
{
    QMap<qint64, QVariantList> out;
    for (const QVariantList &row : d.rows(QStringLiteral("SELECT ID, * FROM records")))
        out.insert(row.first().toLongLong(), row);
    return out;
}
} // namespace

class tst_Crash : public QObject
{
    Q_OBJECT

private slots:
    void killedWriter_leavesSoundDiaryWithAllOrNothing()
    {
        const int rounds = qEnvironmentVariableIsSet("MEALWISE_CRASH_ROUNDS")
                               ? qEnvironmentVariableIntValue("MEALWISE_CRASH_ROUNDS")
                               : 60;
        TempDiary d;
        QVERIFY2(d.ok(), qPrintable(d.error()));
        QVERIFY(diary::addSampleDays(d.path(), 40, QDate::currentDate(), 3).isEmpty());
        const QString journal = d.path() + QStringLiteral("-journal");

        QRandomGenerator rng(20261209);
        qint64 windowUs = 0; // how long one batch takes, measured in round 0
        int none = 0, all = 0, killedMidWrite = 0, acknowledged = 0;

        for (int round = 0; round < rounds; ++round) {
            const QMap<qint64, QVariantList> before = allRows(d);
            QProcess child;
            child.start(QStringLiteral(CRASHWRITER_BINARY),
                        {d.path(), QString::number(round), QString::number(kChanged), QString::number(kAdded)});
            QVERIFY(child.waitForStarted(10000));
            QByteArray out;
            while (!out.contains("ready\n")) {
                QVERIFY2(child.waitForReadyRead(20000), child.readAllStandardError().constData());
                out += child.readAllStandardOutput();
            }
            QElapsedTimer t;
            t.start();
            if (round == 0) {
                // Calibration: let the first batch finish and time it.
                QVERIFY(child.waitForFinished(30000));
                windowUs = std::max<qint64>(t.nsecsElapsed() / 1000, 1000);
                QCOMPARE(child.exitCode(), 0);
            } else {
                const qint64 delay = qint64(rng.bounded(quint32(windowUs * 3 / 2)));
                std::this_thread::sleep_for(std::chrono::microseconds(delay));
                ::kill(pid_t(child.processId()), SIGKILL);
                QVERIFY(child.waitForFinished(30000));
            }
            out += child.readAllStandardOutput();
            const bool done = out.contains("done\n");
            acknowledged += done ? 1 : 0;
            if (QFileInfo::exists(journal) && QFileInfo(journal).size() > 0)
                ++killedMidWrite; // a hot journal: the kill came inside the transaction

            // Opening the file rolls a hot journal back; then it must be sound.
            QCOMPARE(d.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
            const QMap<qint64, QVariantList> after = allRows(d);
            const int marked = d.scalar(QStringLiteral("SELECT count(*) FROM records WHERE COMMENTS LIKE ?"),
                                        {QStringLiteral("round %1 %").arg(round)})
                                   .toInt();
            if (marked == 0) {
                QVERIFY2(!done, "an acknowledged batch is missing");
                QCOMPARE(after, before);
                ++none;
            } else {
                QCOMPARE(marked, kChanged + kAdded);
                QCOMPARE(after.size(), before.size() + kAdded);
                // Days outside the batch are as they were.
                int unchanged = 0;
                for (auto it = before.begin(); it != before.end(); ++it) {
                    QVERIFY(after.contains(it.key()));
                    if (!after.value(it.key()).at(7).toString().startsWith(QStringLiteral("round %1 ").arg(round))) {
                        QCOMPARE(after.value(it.key()), it.value());
                        ++unchanged;
                    }
                }
                QCOMPARE(unchanged, before.size() - kChanged);
                ++all;
            }
        }
        qInfo("crash rounds %d (1 timed, %d killed): batch of %d changed + %d added days; "
              "%d all, %d none, %d killed inside the transaction, %d acknowledged; batch takes %lld us",
              rounds, rounds - 1, kChanged, kAdded, all, none, killedMidWrite, acknowledged, windowUs);
        // The kills must have hit the writing itself, not only its edges.
        if (rounds >= 20)
            QVERIFY2(killedMidWrite > 0, "no kill landed inside a transaction");
    }

    // Deletes killed at any moment: each day is in the diary or in the bin,
    // whole, and never in both.
    void killedDelete_leavesEachDayInDiaryOrBin()
    {
        const int rounds = qEnvironmentVariableIsSet("MEALWISE_CRASH_ROUNDS")
                               ? qEnvironmentVariableIntValue("MEALWISE_CRASH_ROUNDS")
                               : 40;
        TempDiary d;
        QVERIFY2(d.ok(), qPrintable(d.error()));
        QVERIFY(diary::addSampleDays(d.path(), 30, QDate(2026, 6, 15), 3).isEmpty());
        QTemporaryDir dir;
        const QString fresh = dir.filePath(QStringLiteral("fresh.mdb"));
        QVERIFY(QFile::copy(d.path(), fresh));
        const QMap<qint64, QVariantList> before = daysIn(d, QStringLiteral("records"));
        QCOMPARE(before.size(), 30);

        QRandomGenerator rng(20261211);
        qint64 windowUs = 0;
        int split = 0, acknowledged = 0;
        for (int round = 0; round < rounds; ++round) {
            QFile::remove(d.path() + QStringLiteral("-journal"));
            QVERIFY(QFile::remove(d.path()) && QFile::copy(fresh, d.path()));
            bool done = false;
            const qint64 delay = round == 0 ? -1 : qint64(rng.bounded(quint32(windowUs * 5 / 4)));
            const qint64 took = runAndMaybeKill({QStringLiteral("--delete"), d.path()}, delay, &done);
            QVERIFY(took >= 0);
            if (round == 0) {
                QVERIFY(done);
                windowUs = std::max<qint64>(took, 1000);
            }
            acknowledged += done ? 1 : 0;
            // Opening rolls a hot journal back; then every day is in exactly one place.
            QCOMPARE(d.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
            const QMap<qint64, QVariantList> kept = daysIn(d, QStringLiteral("records"));
            const QMap<qint64, QVariantList> binned = daysIn(d, QStringLiteral("deleted days"));
            for (auto it = before.begin(); it != before.end(); ++it) {
                const bool inDiary = kept.contains(it.key());
                const bool inBin = binned.contains(it.key());
                QVERIFY2(inDiary != inBin,
                         qPrintable(QStringLiteral("round %1: day %2 is %3")
                                        .arg(round)
                                        .arg(it.key())
                                        .arg(inDiary ? QStringLiteral("in both") : QStringLiteral("in neither"))));
                QCOMPARE(inDiary ? kept.value(it.key()) : binned.value(it.key()), it.value());
            }
            QCOMPARE(kept.size() + binned.size(), before.size());
            if (done)
                QCOMPARE(kept.size(), 0);
            split += !kept.isEmpty() && !binned.isEmpty() ? 1 : 0;
        }
        qInfo("delete: %d rounds (1 timed, %lld us for 30 days), %d killed part way, %d acknowledged", rounds, windowUs,
              split, acknowledged);
        if (rounds >= 20)
            QVERIFY2(split > 0, "no kill landed among the deletes");
    }

    // Backups, restores and imports killed at any moment: the diary passes
    // integrity_check and holds all of an import or none of it, a restore
    // leaves the old diary or the restored one, and no backup under its
    // final name is half written.
    void killedKeeping_leavesWholeFiles_data()
    {
        QTest::addColumn<QString>("job");
        QTest::newRow("backup") << QStringLiteral("--backup");
        QTest::newRow("restore") << QStringLiteral("--restore");
        QTest::newRow("import") << QStringLiteral("--import");
    }
    void killedKeeping_leavesWholeFiles()
    {
        QFETCH(QString, job);
        const int rounds = qEnvironmentVariableIsSet("MEALWISE_CRASH_ROUNDS")
                               ? qEnvironmentVariableIntValue("MEALWISE_CRASH_ROUNDS")
                               : 60;
        TempDiary d;
        QVERIFY(diary::addSampleDays(d.path(), 400, QDate(2026, 6, 15), 3).isEmpty());
        QTemporaryDir dir;
        // Two diaries to restore in turn: 400 days and 150.
        const QString big = dir.filePath(QStringLiteral("big.mdb"));
        const QString small = dir.filePath(QStringLiteral("small.mdb"));
        QVERIFY(diary::createDiary(small).isEmpty());
        QVERIFY(diary::addSampleDays(small, 150, QDate(2026, 6, 15), 4).isEmpty());
        QVERIFY(QFile::copy(d.path(), big));
        const QString folder = keeping::backupsFolder(d.path());

        QRandomGenerator rng(20261210);
        qint64 windowUs = 0;
        int whole = 0, none = 0, acknowledged = 0;
        for (int round = 0; round < rounds; ++round) {
            const qint64 daysBefore = d.scalar(QStringLiteral("SELECT count(*) FROM records")).toLongLong();
            QStringList args{job, d.path()};
            qint64 expectAfter = daysBefore;
            if (job == QLatin1String("--restore")) {
                const bool toSmall = daysBefore == 400;
                args << (toSmall ? small : big);
                expectAfter = toSmall ? 150 : 400;
            } else if (job == QLatin1String("--import")) {
                QByteArray csv = "DATE,COMMENTS\r\n";
                for (int i = 0; i < 300; ++i)
                    csv += QDate(1900, 1, 1).addDays(round * 300 + i).toString(Qt::ISODate).toLatin1() +
                           ",import round " + QByteArray::number(round) + "\r\n";
                const QString file = dir.filePath(QStringLiteral("import.csv"));
                QFile f(file);
                QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
                f.write(csv);
                f.close();
                args << file;
                expectAfter = daysBefore + 300;
            }
            bool done = false;
            const qint64 delay = round == 0 ? -1 : qint64(rng.bounded(quint32(windowUs * 3 / 2)));
            const qint64 took = runAndMaybeKill(args, delay, &done);
            QVERIFY(took >= 0);
            if (round == 0) {
                QVERIFY(done);
                windowUs = std::max<qint64>(took, 1000);
            }
            acknowledged += done ? 1 : 0;

            QCOMPARE(d.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
            const qint64 daysAfter = d.scalar(QStringLiteral("SELECT count(*) FROM records")).toLongLong();
            if (job == QLatin1String("--backup"))
                QCOMPARE(daysAfter, daysBefore);
            else
                QVERIFY2(daysAfter == daysBefore || daysAfter == expectAfter,
                         qPrintable(QStringLiteral("%1 days, before %2").arg(daysAfter).arg(daysBefore)));
            if (done)
                QCOMPARE(daysAfter, expectAfter);
            (daysAfter == expectAfter ? whole : none) += 1;
            // Every backup under a final name is whole.
            for (const QString &name : QDir(folder).entryList(QDir::Files)) {
                if (keeping::backupTime(name).isValid())
                    QVERIFY2(keeping::checkDiary(QDir(folder).filePath(name), keeping::CheckDepth::Quick).ok,
                             qPrintable(name));
            }
        }
        qInfo("%s: %d rounds (1 timed, %lld us), %d whole, %d not done, %d acknowledged", qPrintable(job), rounds,
              windowUs, whole, none, acknowledged);
        if (job != QLatin1String("--backup") && rounds >= 20)
            QVERIFY2(whole > 0 && none > 0, "the kills fell only on one side of the write");
    }
};

QTEST_GUILESS_MAIN(tst_Crash)
#include "tst_crash.moc"
