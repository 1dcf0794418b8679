// Faults of the disk itself, played through a VFS under every connection: a
// failed read, write, sync, truncate or lock (or a full disk) at each call of
// each write path, and power lost with writes not yet synced. Whatever
// happens, the diary passes its integrity check, nothing reported done is
// missing, a change is whole or absent, no backup is partial under its final
// name, the recovery file holds a text whole or not at all, and the next
// Update once the fault is gone succeeds.
//
// The normal run takes a seeded share of the cases; MEALWISE_STRESS=1 runs
// every call of every operation and 1,000 power cuts.
#include "app/keeping/autobackup.h"
#include "data/diarynames.h"
#include "data/diaryschema.h"
#include "data/recoveryfile.h"
#include "data/rowset.h"
#include "data/sqlitefile.h"
#include "faultvfs.h"
#include "keeping/backups.h"
#include "keeping/exchange.h"
#include "keeping/restore.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

using testing_support::FaultVfs;

namespace {

const QDate kToday(2026, 6, 15);
const QDateTime kNow(kToday, QTime(12, 0));
const QString kDiaryName = QStringLiteral("Records.mdb");
const QString kOtherName = QStringLiteral("Other.mdb"); // the backup a restore puts back

bool stress()
{
    return qEnvironmentVariableIntValue("MEALWISE_STRESS") == 1;
}

struct Outcome
{
    bool ok = false;
    QString message;
};

// Every row of both tables, as text; or a line saying why it could not be read.
QString dump(const QString &path)
{
    diary::SqliteFile file;
    if (!file.open(path, diary::SqliteFile::ReadWrite, 2000))
        return QStringLiteral("cannot open: ") + file.lastError();
    QString out;
    for (const QString &sql : {QStringLiteral("SELECT * FROM records ORDER BY ID"),
                               QStringLiteral("SELECT * FROM [FOOD AND MEDICATION] ORDER BY rowid"),
                               QStringLiteral("SELECT * FROM sqlite_sequence")}) {
        diary::Statement s(file, sql);
        if (!s.ok())
            return QStringLiteral("cannot read: ") + s.error();
        while (s.step()) {
            for (int c = 0; c < s.columnCount(); ++c)
                out += (s.isNull(c) ? QStringLiteral("<null>") : QString::fromUtf8(s.bytes(c))) + QLatin1Char('|');
            out += QLatin1Char('\n');
        }
        if (!s.error().isEmpty())
            return QStringLiteral("cannot read: ") + s.error();
        out += QStringLiteral("--\n");
    }
    return out;
}

QString integrity(const QString &path)
{
    diary::SqliteFile file;
    if (!file.open(path, diary::SqliteFile::ReadWrite, 2000))
        return file.lastError();
    return file.column(QStringLiteral("PRAGMA integrity_check")).join(QLatin1Char(';'));
}

// The files under the final names of backups (not the temporary ones).
QStringList finalBackups(const QString &folder)
{
    return QDir(keeping::backupsFolder(folder + QLatin1Char('/') + kDiaryName))
        .entryList({QStringLiteral("Records-*.mdb")}, QDir::Files);
}

Outcome updateDay(const QString &path, const QString &text)
{
    RowSet rs;
    if (!rs.open(path, diary::recordsRecordSource()))
        return {false, rs.lastError()};
    if (!rs.MoveFirst() || !rs.setField(QStringLiteral("BREAKFAST"), text) || !rs.UpdateBatch())
        return {false, rs.lastError()};
    return {true, {}};
}

Outcome addDay(const QString &path)
{
    RowSet rs;
    if (!rs.open(path, diary::recordsRecordSource()))
        return {false, rs.lastError()};
    if (!rs.AddNew() || !rs.setField(QStringLiteral("DATE"), QStringLiteral("2026-07-01")) ||
        !rs.setField(QStringLiteral("BREAKFAST"), QStringLiteral("an added day")) ||
        !rs.setField(QStringLiteral("OVERALL SCORE"), 7) || !rs.UpdateBatch())
        return {false, rs.lastError()};
    return {true, {}};
}

Outcome deleteDay(const QString &path)
{
    // As the program runs: a backup before the first delete.
    app::AutoBackup::install(path);
    testing_support::MessageLog log;
    RowSet rs;
    if (!rs.open(path, diary::recordsRecordSource()))
        return {false, rs.lastError()};
    if (!rs.MoveFirst() || !rs.Delete())
        return {false, rs.lastError()};
    return {true, log.messages.join(QLatin1Char(' '))};
}

Outcome updateLists(const QString &path)
{
    RowSet rs;
    if (!rs.open(path, diary::foodRecordSource()))
        return {false, rs.lastError()};
    if (!rs.MoveFirst() || !rs.setField(QStringLiteral("ADEQUATE FOOD"), QStringLiteral("RICE, TOAST")) ||
        !rs.UpdateBatch())
        return {false, rs.lastError()};
    return {true, {}};
}

Outcome backUp(const QString &path)
{
    const keeping::BackupResult r = keeping::backUp(path, kNow);
    return {r.ok(), r.error};
}

Outcome restore(const QString &path)
{
    const keeping::RestoreResult r =
        keeping::restoreDiary(path, QFileInfo(path).absolutePath() + QLatin1Char('/') + kOtherName, kNow);
    return {r.ok(), r.error};
}

keeping::ImportPlan &importPlan()
{
    static keeping::ImportPlan plan;
    return plan;
}

Outcome importDays(const QString &path)
{
    keeping::ImportPlan plan = importPlan();
    const QString why = keeping::findDuplicates(path, &plan);
    if (!why.isEmpty())
        return {false, why};
    const keeping::ImportResult r = keeping::applyImport(path, plan, keeping::Duplicates::Refuse, false);
    return {r.ok(), r.error};
}

const QString kRecoveryText = QStringLiteral("BREAKFAST: porridge, not saved when the session ended");

Outcome keepRecoveryText(const QString &path)
{
    const QString why = diary::keepForNextStart(path, kRecoveryText);
    return {why.isEmpty(), why};
}

struct Operation
{
    const char *name;
    Outcome (*run)(const QString &path);
    bool writesBackup; // into Backups, which must hold only whole backups
};

const Operation kOperations[] = {
    {"update of a day", [](const QString &p) { return updateDay(p, QStringLiteral("porridge after the fault")); },
     false},
    {"add", addDay, false},
    {"delete", deleteDay, true},
    {"update of the lists", updateLists, false},
    {"backup", backUp, true},
    {"restore", restore, true},
    {"import of 1,000 days", importDays, false},
    {"recovery file", keepRecoveryText, false},
};
constexpr int kOperationCount = int(std::size(kOperations));
constexpr int kBackUp = 4;
constexpr int kRestore = 5;
constexpr int kRecovery = 7;

// A copy of the prepared folder (the diary, and the backup a restore uses) in
// a temporary folder of its own.
struct Case
{
    QTemporaryDir dir;
    QString folder;
    QString path;
    explicit Case(const QString &from)
    {
        folder = dir.filePath(QStringLiteral("MEALWISE"));
        path = folder + QLatin1Char('/') + kDiaryName;
        QDir().mkpath(folder);
        QFile::copy(from + QLatin1Char('/') + kDiaryName, path);
        QFile::copy(from + QLatin1Char('/') + kOtherName, folder + QLatin1Char('/') + kOtherName);
    }
};

} // namespace

class tst_DiskFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_template;                                   // the folder every case starts from
    QString m_otherDump;                                  // what the restore's backup holds
    QString m_before;                                     // the diary as every case finds it
    QList<QString> m_after;                               // by operation: the diary after a clean run
    QList<std::array<int, FaultVfs::CallKinds>> m_counts; // by operation: the calls of a clean run
    QList<int> m_durable; // by operation: writes, syncs, truncates and deletes of a clean run
    // What the cases saw, for the summary: failures reported, faults SQLite
    // survived, power cuts that lost writes.
    int m_reportedFailures = 0;
    int m_survived = 0;
    int m_cutsLosingWrites = 0;
    int m_writesLost = 0;

    // Whole: the diary as it was before or after the operation, and every
    // backup under a final name a whole diary holding a state the diary had.
    void checkWholeOrAbsent(const Case &c, int op, const Outcome &outcome, const QString &before, const QString &after,
                            const QString &what)
    {
        QCOMPARE(integrity(c.path), QStringLiteral("ok"));
        const QString now = dump(c.path);
        if (outcome.ok) {
            QVERIFY2(now == after, qPrintable(what + QStringLiteral(": reported done, but not on disk")));
        } else {
            QVERIFY2(!outcome.message.trimmed().isEmpty(),
                     qPrintable(what + QStringLiteral(": failed without a word")));
            QVERIFY2(now == before || now == after,
                     qPrintable(what + QStringLiteral(": half written: ") + now.left(300)));
        }
        if (op == kRecovery) {
            // All of the text, or none of it.
            const QString kept = diary::keptText(c.path);
            if (outcome.ok)
                QCOMPARE(kept, kRecoveryText + QStringLiteral("\n\n"));
            else
                QVERIFY2(kept.isEmpty(), qPrintable(what + QStringLiteral(": part kept: ") + kept));
        }
        if (op == kBackUp && outcome.ok)
            QVERIFY2(finalBackups(c.folder).size() == 1,
                     qPrintable(what + QStringLiteral(": reported done, no backup")));
        if (kOperations[op].writesBackup) {
            for (const QString &name : finalBackups(c.folder)) {
                const QString backup = keeping::backupsFolder(c.path) + QLatin1Char('/') + name;
                QVERIFY2(integrity(backup) == QStringLiteral("ok"),
                         qPrintable(what + QStringLiteral(": partial backup ") + name));
                QVERIFY2(dump(backup) == before, qPrintable(what + QStringLiteral(": backup not the diary it copied")));
            }
        }
        // Once the fault is gone the next Update is written.
        const Outcome next = updateDay(c.path, QStringLiteral("the next update"));
        QVERIFY2(next.ok, qPrintable(what + QStringLiteral(": the next update failed: ") + next.message));
        QVERIFY(dump(c.path).contains(QStringLiteral("the next update")));
    }

private slots:
    void initTestCase()
    {
        FaultVfs::install();
        QVERIFY(m_root.isValid());
        m_template = m_root.filePath(QStringLiteral("template"));
        QVERIFY(QDir().mkpath(m_template));
        const QString diaryPath = m_template + QLatin1Char('/') + kDiaryName;
        QCOMPARE(diary::createDiary(diaryPath), QString());
        QCOMPARE(diary::addSampleDays(diaryPath, 30, kToday, 7), QString());
        const QString other = m_template + QLatin1Char('/') + kOtherName;
        QCOMPARE(diary::createDiary(other), QString());
        QCOMPARE(diary::addSampleDays(other, 12, kToday.addDays(-100), 8), QString());
        m_otherDump = dump(other);

        // 1,000 days long before the diary's, read as the import reads a file.
        const QString source = m_root.filePath(QStringLiteral("source.mdb"));
        QCOMPARE(diary::createDiary(source), QString());
        QCOMPARE(diary::addSampleDays(source, 1000, kToday.addYears(-5), 9), QString());
        const keeping::ExportResult exported = keeping::exportDays(source, {});
        QVERIFY2(exported.ok(), qPrintable(exported.error));
        importPlan() = keeping::readImport(exported.bytes, keeping::Format::Csv, false, kToday.year());
        QVERIFY(importPlan().ok());
        QCOMPARE(importPlan().days.size(), 1000);

        m_before = dump(diaryPath);
        QVERIFY(m_before.count(QLatin1Char('\n')) > 30);
        for (int op = 0; op < kOperationCount; ++op) {
            Case c(m_template);
            FaultVfs::reset();
            const Outcome clean = kOperations[op].run(c.path);
            std::array<int, FaultVfs::CallKinds> counts{};
            for (int k = 0; k < FaultVfs::CallKinds; ++k)
                counts[size_t(k)] = FaultVfs::count(FaultVfs::Call(k));
            m_counts << counts;
            m_durable << FaultVfs::durableCalls();
            QVERIFY2(clean.ok,
                     qPrintable(QString::fromLatin1(kOperations[op].name) + QStringLiteral(": ") + clean.message));
            m_after << dump(c.path);
            QVERIFY(m_after.last() != m_before || op == kBackUp || op == kRecovery);
            qInfo("%s: %d reads, %d writes, %d syncs, %d truncates, %d locks, %d file sizes, %d deletes",
                  kOperations[op].name, counts[0], counts[1], counts[2], counts[3], counts[4], counts[5], counts[6]);
        }
        QCOMPARE(m_after.at(kRestore), m_otherDump);
    }

    void cleanupTestCase()
    {
        qInfo("failed calls: %d reported as failures, %d survived and on disk; power cuts: %d lost writes not yet "
              "synced (%d writes in all)",
              m_reportedFailures, m_survived, m_cutsLosingWrites, m_writesLost);
    }

    // The windows' connections (Qt SQL) go through the VFS as well, or the
    // faults below would miss them.
    void qtSqlGoesThroughTheVfs()
    {
        Case c(m_template);
        FaultVfs::reset();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("probe"));
            db.setDatabaseName(c.path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM records")) && q.next());
            QCOMPARE(q.value(0).toInt(), 30);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("probe"));
        QVERIFY(FaultVfs::count(FaultVfs::Read) > 0);
        QVERIFY(FaultVfs::count(FaultVfs::Lock) > 0);
    }

    void failedCall_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<int>("call");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("lasting");
        // A seeded share: every call's first and last, and some between.
        QRandomGenerator rng(20261209);
        const int between = 4;
        int rows = 0;
        for (int op = 0; op < kOperationCount; ++op) {
            for (int call = 0; call < FaultVfs::CallKinds; ++call) {
                const int n = m_counts.at(op)[size_t(call)];
                for (const int code : {0, int(SQLITE_FULL)}) {
                    if (code == SQLITE_FULL && call != FaultVfs::Write)
                        continue;
                    for (const bool lasting : {false, true}) {
                        QList<int> picks;
                        if (stress()) {
                            for (int i = 1; i <= n; ++i)
                                picks << i;
                        } else if (n > 0) {
                            picks << 1 << n;
                            for (int i = 0; i < between && n > 2; ++i)
                                picks << 2 + int(rng.bounded(quint32(n - 2)));
                        }
                        std::sort(picks.begin(), picks.end());
                        picks.erase(std::unique(picks.begin(), picks.end()), picks.end());
                        for (const int i : picks) {
                            QTest::addRow("%s, %s %d of %d%s%s", kOperations[op].name,
                                          FaultVfs::kCallNames[size_t(call)], i, n,
                                          code == SQLITE_FULL ? ", disk full" : "", lasting ? " and on" : "")
                                << op << call << (code | (i << 8)) << lasting;
                            ++rows;
                        }
                    }
                }
            }
        }
        qInfo("failed calls: %d cases", rows);
    }

    // The nth call fails (once, or from then on until the disk is mended).
    void failedCall()
    {
        QFETCH(int, op);
        QFETCH(int, call);
        QFETCH(int, code);
        QFETCH(bool, lasting);
        const int n = code >> 8;
        Case c(m_template);
        FaultVfs::reset();
        FaultVfs::failAt(FaultVfs::Call(call), n, code & 0xff, lasting);
        const Outcome outcome = kOperations[op].run(c.path);
        const bool hit = FaultVfs::faultHit();
        FaultVfs::reset();
        QVERIFY(hit);
        ++(outcome.ok ? m_survived : m_reportedFailures);
        if ((code & 0xff) == SQLITE_FULL && !outcome.ok)
            QVERIFY2(outcome.message.contains(QLatin1String("full")), qPrintable(outcome.message));
        checkWholeOrAbsent(c, op, outcome, m_before, m_after.at(op), QString::fromLatin1(QTest::currentDataTag()));
    }

    void powerLost_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<int>("point");
        QTest::addColumn<bool>("torn");
        QTest::addColumn<quint32>("seed");
        QRandomGenerator rng(20261210);
        const int points = stress() ? 1000 : 100;
        for (int i = 0; i < points; ++i) {
            const int op = int(rng.bounded(quint32(kOperationCount)));
            // One past the last call: the power goes just after the operation said it was done.
            const int point = 1 + int(rng.bounded(quint32(m_durable.at(op) + 1)));
            const bool torn = rng.bounded(2) == 1;
            QTest::addRow("%d: %s, cut at %d of %d%s", i + 1, kOperations[op].name, point, m_durable.at(op),
                          torn ? ", some writes kept, the last torn" : "")
                << op << point << torn << rng.generate();
        }
        qInfo("power cuts: %d cases", points);
    }

    // An Update reported done, then the power goes during the operation:
    // whatever had not been synced is lost, the diary is opened again.
    void powerLost()
    {
        QFETCH(int, op);
        QFETCH(int, point);
        QFETCH(bool, torn);
        QFETCH(quint32, seed);
        Case c(m_template);
        FaultVfs::reset();
        const Outcome done = updateDay(c.path, QStringLiteral("reported done before the cut"));
        QVERIFY2(done.ok, qPrintable(done.message));
        const QString before = dump(c.path);
        // The same operation on a copy, undisturbed, gives the state after it.
        QString after;
        {
            Case clean(c.folder);
            QVERIFY(kOperations[op].run(clean.path).ok);
            after = dump(clean.path);
        }
        FaultVfs::reset();
        FaultVfs::crashAt(point);
        const Outcome outcome = kOperations[op].run(c.path);
        QCOMPARE(FaultVfs::crashed(), point <= m_durable.at(op));
        QRandomGenerator rng(seed);
        const int lost = FaultVfs::losePower(torn ? &rng : nullptr);
        m_writesLost += lost;
        m_cutsLosingWrites += lost > 0 ? 1 : 0;
        FaultVfs::reset();
        QVERIFY(before.contains(QStringLiteral("reported done before the cut")));
        checkWholeOrAbsent(c, op, outcome, before, after, QString::fromLatin1(QTest::currentDataTag()));
    }
};

QTEST_GUILESS_MAIN(tst_DiskFaults)
#include "tst_diskfaults.moc"
