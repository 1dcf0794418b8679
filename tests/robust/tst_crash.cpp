// A writer killed at any moment leaves a sound diary holding all of its batch
// or none of it. The child writes changed and added days through the row set
// in one batch; it is killed with SIGKILL at a moment drawn from a fixed seed.
#include "data/diaryschema.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

#include <csignal>
#include <thread>

using testing_support::TempDiary;

namespace {
constexpr int kChanged = 25;
constexpr int kAdded = 60;

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
};

QTEST_GUILESS_MAIN(tst_Crash)
#include "tst_crash.moc"
