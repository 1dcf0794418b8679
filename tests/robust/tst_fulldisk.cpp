// A disk really full: the diary on a small tmpfs filled to the last byte.
// Each write path then fails with a message that says so, changes and deletes
// nothing, leaves nothing under a final name, and works once room is made.
// Mounting needs root (and a kernel that lets it); elsewhere the test skips.
#include "data/diarynames.h"
#include "data/diaryschema.h"
#include "data/recoveryfile.h"
#include "data/rowset.h"
#include "keeping/backups.h"
#include "keeping/exchange.h"
#include "robusthelpers.h"
#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QDate kToday(2026, 6, 15);

struct Run
{
    Run(bool succeeded, const QString &text)
        : ok(succeeded)
        , message(text)
    {}
    bool ok = false;
    QString message;
    QString check; // after success: what must now be on the disk
};

Run cli(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral(MEALWISE_DIARY_BINARY), arguments);
    if (!p.waitForFinished(120000))
        return {false, QStringLiteral("did not finish")};
    return {p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
            QString::fromUtf8(p.readAllStandardError() + p.readAllStandardOutput())};
}

qint64 dayCount(const QString &path)
{
    const keeping::ExportResult r = keeping::exportDays(path, {});
    return r.ok() ? r.days : -1;
}

} // namespace

class tst_FullDisk : public QObject
{
    Q_OBJECT

    QTemporaryDir m_outside;
    QString m_mount;
    bool m_mounted = false;
    QString m_importFile;

    // Fills what is left of the disk; the filler's path.
    QString fill()
    {
        const QString filler = m_mount + QStringLiteral("/filler");
        const int fd = ::open(QFile::encodeName(filler).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0)
            return {};
        const QByteArray chunk(65536, 'x');
        for (qsizetype size = chunk.size(); size > 0; size /= 2) {
            while (::write(fd, chunk.constData(), size_t(size)) == size) {
            }
        }
        ::fsync(fd);
        ::close(fd);
        return filler;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_outside.isValid());
        m_mount = m_outside.filePath(QStringLiteral("disk"));
        QVERIFY(QDir().mkpath(m_mount));
        QProcess mount;
        mount.start(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                              QStringLiteral("size=2m,mode=0700"), QStringLiteral("tmpfs"), m_mount});
        if (!mount.waitForFinished(20000) || mount.exitStatus() != QProcess::NormalExit || mount.exitCode() != 0)
            QSKIP(qPrintable(QStringLiteral("A small tmpfs cannot be mounted here (%1); the full-disk test needs root "
                                            "and the right to mount.")
                                 .arg(QString::fromLocal8Bit(mount.readAllStandardError()).trimmed())));
        m_mounted = true;
        // 300 days long before the diary's, in a file outside the small disk.
        const QString source = m_outside.filePath(QStringLiteral("source.mdb"));
        QCOMPARE(diary::createDiary(source), QString());
        QCOMPARE(diary::addSampleDays(source, 300, kToday.addYears(-3), 3), QString());
        const keeping::ExportResult exported = keeping::exportDays(source, {});
        QVERIFY(exported.ok());
        m_importFile = m_outside.filePath(QStringLiteral("days.csv"));
        QVERIFY(robust::writeAll(m_importFile, exported.bytes));
    }

    void cleanupTestCase()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {m_mount});
    }

    void fullThenFreed_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<int>("room"); // bytes left free: room for a part of what is written
        for (const char *op : {"update", "backup", "export", "import", "report", "recovery file"})
            QTest::newRow(op) << QString::fromLatin1(op) << 0;
        QTest::newRow("recovery file, room for a part") << QStringLiteral("recovery file") << 8192;
        QTest::newRow("export, room for a part") << QStringLiteral("export") << 16384;
    }

    void fullThenFreed()
    {
        QFETCH(QString, op);
        QFETCH(int, room);
        const QString folder = m_mount + QStringLiteral("/MEALWISE");
        QDir(folder).removeRecursively();
        QFile::remove(m_mount + QStringLiteral("/filler"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/Records.mdb");
        QCOMPARE(diary::createDiary(path), QString());
        QCOMPARE(diary::addSampleDays(path, 200, kToday, 5), QString());
        // A backup already there, which nothing may remove.
        QVERIFY(keeping::backUp(path, QDateTime(kToday, QTime(8, 0))).ok());
        const QString exportPath = folder + QStringLiteral("/days.csv");
        const QString pdfPath = folder + QStringLiteral("/report.pdf");

        auto attempt = [&]() -> Run {
            if (op == QLatin1String("update")) {
                RowSet rs;
                if (!rs.open(path, diary::recordsRecordSource()))
                    return {false, rs.lastError()};
                if (!rs.MoveFirst() || !rs.setField(QStringLiteral("BREAKFAST"), QString(3000, QLatin1Char('p'))) ||
                    !rs.UpdateBatch())
                    return {false, rs.lastError()};
                return {true, {}};
            }
            if (op == QLatin1String("backup"))
                return cli({QStringLiteral("backup"), QStringLiteral("--path"), path});
            if (op == QLatin1String("export"))
                return cli(
                    {QStringLiteral("export"), QStringLiteral("--path"), path, QStringLiteral("--out"), exportPath});
            if (op == QLatin1String("import"))
                return cli({QStringLiteral("import"), QStringLiteral("--path"), path, m_importFile});
            if (op == QLatin1String("report"))
                return cli({QStringLiteral("report"), QStringLiteral("--path"), path, QStringLiteral("--from"),
                            kToday.addDays(-200).toString(Qt::ISODate), QStringLiteral("--to"),
                            kToday.toString(Qt::ISODate), QStringLiteral("--pdf"), pdfPath});
            const QString why = diary::keepForNextStart(path, QString(20000, QLatin1Char('k')));
            return {why.isEmpty(), why};
        };

        const QString filler = fill();
        QVERIFY(!filler.isEmpty());
        if (room > 0)
            QVERIFY(QFile::resize(filler, QFileInfo(filler).size() - room));
        const QMap<QString, QString> before = robust::snapshot(m_mount);
        const Run full = attempt();
        qInfo("%s on a full disk: %s", qPrintable(op), qPrintable(full.message.trimmed()));
        QVERIFY2(!full.ok, qPrintable(op + QStringLiteral(" reported success on a full disk")));
        QVERIFY2(full.message.contains(QLatin1String("full"), Qt::CaseInsensitive) ||
                     full.message.contains(QLatin1String("space"), Qt::CaseInsensitive),
                 qPrintable(full.message));
        // A full disk is no line's fault.
        QVERIFY2(!full.message.contains(QRegularExpression(QStringLiteral("\\bline \\d"))), qPrintable(full.message));
        // Nothing changed, removed or left behind, the folders aside.
        QMap<QString, QString> after = robust::snapshot(m_mount);
        auto filesOnly = [](QMap<QString, QString> s) {
            for (auto it = s.begin(); it != s.end();)
                it = it.value().startsWith(QLatin1String("mode=4")) ? s.erase(it) : std::next(it);
            return s;
        };
        QCOMPARE(filesOnly(after).keys(), filesOnly(before).keys());
        const auto a = filesOnly(after), b = filesOnly(before);
        for (auto it = b.begin(); it != b.end(); ++it) {
            QVERIFY2(a.value(it.key()).section(QLatin1String(" sha="), 1) ==
                         it.value().section(QLatin1String(" sha="), 1),
                     qPrintable(it.key() + QStringLiteral(" changed")));
        }

        // Room again: the same succeeds.
        QVERIFY(QFile::remove(filler));
        const qint64 daysBefore = dayCount(path);
        const Run freed = attempt();
        QVERIFY2(freed.ok, qPrintable(freed.message));
        if (op == QLatin1String("backup"))
            QCOMPARE(QDir(keeping::backupsFolder(path)).entryList({QStringLiteral("Records-*.mdb")}).size(), 2);
        else if (op == QLatin1String("export"))
            QCOMPARE(robust::readAll(exportPath), keeping::exportDays(path, {}).bytes);
        else if (op == QLatin1String("import"))
            QCOMPARE(dayCount(path), daysBefore + 300);
        else if (op == QLatin1String("report"))
            QVERIFY(robust::readAll(pdfPath).startsWith("%PDF"));
        else if (op == QLatin1String("recovery file"))
            QCOMPARE(diary::keptText(path).size(), 20002);
        else
            QVERIFY(robust::readAll(path).contains(QByteArray(3000, 'p')));
    }
};

QTEST_GUILESS_MAIN(tst_FullDisk)
#include "tst_fulldisk.moc"
