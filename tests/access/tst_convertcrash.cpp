// A conversion killed (SIGKILL) at a random moment: afterwards the diary's
// path holds the Access file as it was, or a whole diary with the Access
// file kept unchanged beside it, or nothing but the kept file (which the
// start offers to convert again). Never half of anything.
#include "access/conversion.h"
#include "keeping/diarycheck.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kDays = 8000;

QByteArray accessBytes()
{
    QByteArray b(64 * 1024, '\0');
    b.replace(0, 20, QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20));
    for (qsizetype i = 20; i < b.size(); ++i)
        b[i] = char((i * 7919) & 0xff);
    return b;
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

jet::PreparedConversion bigConversion()
{
    jet::SourceTable s{QStringLiteral("records"),
                       {QStringLiteral("ID"), QStringLiteral("DATE"), QStringLiteral("OVERALL SCORE"),
                        QStringLiteral("BREAKFAST"), QStringLiteral("COMMENTS")},
                       {}};
    const QDate first(1990, 1, 1);
    for (int i = 0; i < kDays; ++i)
        s.rows << QVariantList{qint64(i + 1), first.addDays(i).toString(Qt::ISODate), qint64(1 + i % 10),
                               QStringLiteral("porridge, toast and tea on day %1").arg(i),
                               QString(200, QLatin1Char('a' + i % 26))};
    jet::PreparedConversion p;
    p.plan = jet::planConversion(s, std::nullopt, false, 2026);
    return p;
}

// Runs the conversion in a child; kills it after `delayUs` unless it ended.
void runAndKill(const jet::PreparedConversion &p, const QString &diaryPath, qint64 delayUs)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const jet::ReplaceResult r =
            jet::replaceAccessDiary(p, diaryPath, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
        ::_exit(r.ok() ? 0 : 1);
    }
    ::usleep(useconds_t(delayUs));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

} // namespace

class TestConvertCrash : public QObject
{
    Q_OBJECT
private slots:
    void killedAnywhere_leavesAWholeStateBehind()
    {
        const jet::PreparedConversion p = bigConversion();
        QVERIFY(p.ok());
        const QByteArray access = accessBytes();
        // How long a whole conversion takes here, to spread the kills over it.
        qint64 fullUs = 0;
        {
            QTemporaryDir dir;
            const QString diaryPath = dir.filePath(QStringLiteral("Records.mdb"));
            QFile f(diaryPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(access);
            f.close();
            QElapsedTimer t;
            t.start();
            QVERIFY(jet::replaceAccessDiary(p, diaryPath, QDateTime::currentDateTime()).ok());
            fullUs = t.nsecsElapsed() / 1000;
        }
        QRandomGenerator rng(20261209);
        const int rounds = qEnvironmentVariableIsSet("MEALWISE_CRASH_ROUNDS")
                               ? qEnvironmentVariableIntValue("MEALWISE_CRASH_ROUNDS")
                               : 30;
        int before = 0, between = 0, after = 0;
        for (int round = 0; round < rounds; ++round) {
            QTemporaryDir dir;
            const QString diaryPath = dir.filePath(QStringLiteral("Records.mdb"));
            const QString kept = dir.filePath(QStringLiteral("Records-access-2026-01-02-030405.mdb"));
            QFile f(diaryPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(access);
            f.close();
            const qint64 delay = qint64(rng.bounded(quint32(fullUs * 12 / 10 + 1)));
            runAndKill(p, diaryPath, delay);
            const QString where = QStringLiteral("round %1, killed after %2 us").arg(round).arg(delay);
            if (!QFile::exists(diaryPath)) {
                ++between;
                QVERIFY2(bytesOf(kept) == access, qPrintable(where));
            } else if (bytesOf(diaryPath) == access) {
                ++before;
                QVERIFY2(!QFile::exists(kept), qPrintable(where));
            } else {
                ++after;
                const keeping::Verdict v = keeping::checkDiary(diaryPath, keeping::CheckDepth::Full);
                QVERIFY2(v.ok, qPrintable(where + QLatin1Char(' ') + v.text(diaryPath)));
                QCOMPARE(v.days, kDays);
                QVERIFY2(bytesOf(kept) == access, qPrintable(where));
            }
        }
        qInfo("%d rounds: %d before the renames, %d between them, %d after", rounds, before, between, after);
        QVERIFY(before > 0);
    }
};

QTEST_GUILESS_MAIN(TestConvertCrash)
#include "tst_convertcrash.moc"
