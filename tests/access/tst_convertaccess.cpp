// mealwise-diary convert-access end to end on the Jet 3 test file, and the
// renames that put a converted diary in the Access file's place.
#include "access/conversion.h"
#include "data/diaryschema.h"
#include "jetfixtures.h"
#include "keeping/diarycheck.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <sys/stat.h>

namespace {

struct Run
{
    int status = -1;
    QString out, err;
};

Run diaryCli(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(MEALWISE_DIARY_BINARY), QStringList{QStringLiteral("convert-access")} + args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// A conversion planned from rows, as if read from an Access file.
jet::PreparedConversion prepared()
{
    jet::PreparedConversion p;
    p.plan = jet::planConversion(
        jet::SourceTable{QStringLiteral("records"),
                         {QStringLiteral("ID"), QStringLiteral("DATE"), QStringLiteral("OVERALL SCORE")},
                         {{qint64(9), QStringLiteral("2020-03-01"), qint64(8)}}},
        std::nullopt, false, 2026);
    return p;
}

} // namespace

class TestConvertAccess : public QObject
{
    Q_OBJECT
private slots:
    void noRecordsTable_namesTheTablesAndCreatesNothing()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("MEALWISE/Records.mdb"));
        const Run r = diaryCli({jetfixtures::path("nwind.mdb"), QStringLiteral("--path"), target});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QLatin1String("has no table named records")), qPrintable(r.err));
        QVERIFY(r.err.contains(QStringLiteral("Its tables are: Order Details, Orders, Products, Shippers, Categories, "
                                              "Customers, Employees, Suppliers, Ums\u00e4tze.")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    void existingDiary_isLeftByteForByte()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("Records.mdb"));
        QVERIFY(diary::createDiary(target).isEmpty());
        const QByteArray before = bytesOf(target);
        for (const QStringList &extra : {QStringList{}, QStringList{QStringLiteral("--as-is")}}) {
            const Run r =
                diaryCli(QStringList{jetfixtures::path("nwind.mdb"), QStringLiteral("--path"), target} + extra);
            QCOMPARE(r.status, 1);
            QVERIFY2(r.err.contains(QLatin1String("already exists")), qPrintable(r.err));
            QCOMPARE(bytesOf(target), before);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Records.mdb")});
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0 << "--dry-run";
        QTest::newRow("no file") << QStringList{} << 2 << "name one Access file";
        QTest::newRow("two files") << QStringList{QStringLiteral("a"), QStringLiteral("b")} << 2
                                   << "name one Access file";
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--now")} << 2 << "Unknown option";
        QTest::newRow("not access") << QStringList{QStringLiteral("/etc/hostname"), QStringLiteral("--path"),
                                                   QStringLiteral("/nonexistent/x.mdb")}
                                    << 1 << "is not an Access database";
    }
    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, says);
        const Run r = diaryCli(args);
        QCOMPARE(r.status, status);
        const QString all = r.out + r.err;
        QVERIFY2(all.contains(says), qPrintable(all));
    }

    void dryRun_readsAndWritesNothing()
    {
        QTemporaryDir dir;
        const Run r = diaryCli({jetfixtures::path("fruit.mdb"), QStringLiteral("--dry-run"), QStringLiteral("--path"),
                                dir.filePath(QStringLiteral("Records.mdb"))});
        QCOMPARE(r.status, 1);
        QVERIFY(
            r.err.contains(QLatin1String("Its tables are: Fruit, Fruit Salad, Veggie Salad, Muffin/Bread, Dried.")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void jet3Records_convertedEndToEnd_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("into a new diary") << false;
        QTest::newRow("at the diary's own path") << true;
    }
    void jet3Records_convertedEndToEnd()
    {
        // The Jet 3 file with one table and two columns renamed in a copy
        // (names of equal length, so nothing else moves): its Umsätze
        // becomes records, ShipName COMMENTS and ShipAddress MEDICATION1.
        QFETCH(bool, inPlace);
        QByteArray bytes = bytesOf(jetfixtures::path("nwind.mdb"));
        bytes.replace(QByteArray("Ums\xe4tze"), QByteArray("records"));
        bytes.replace(QByteArray("ShipName"), QByteArray("COMMENTS"));
        bytes.replace(QByteArray("ShipAddress"), QByteArray("MEDICATION1"));
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("Records.mdb"));
        QFile f(source);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        const QString diaryPath = inPlace ? source : dir.filePath(QStringLiteral("New.mdb"));
        const Run r = diaryCli({source, QStringLiteral("--path"), diaryPath});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(QLatin1String("texts read as CP1252")));
        QVERIFY(r.out.contains(QLatin1String("\n830 days.\n")));
        QVERIFY(r.out.contains(QLatin1String("not carried: OrderID, CustomerID, EmployeeID, OrderDate")));
        QVERIFY(r.out.contains(QLatin1String("no FOOD AND MEDICATION table")));
        const keeping::Verdict v = keeping::checkDiary(diaryPath, keeping::CheckDepth::Full);
        QVERIFY2(v.ok, qPrintable(v.text(diaryPath)));
        QCOMPARE(v.days, 830);
        QProcess exporter;
        exporter.start(QStringLiteral(MEALWISE_DIARY_BINARY),
                       {QStringLiteral("export"), QStringLiteral("--path"), diaryPath});
        QVERIFY(exporter.waitForFinished(60000));
        const QString csv = QString::fromUtf8(exporter.readAllStandardOutput());
        QVERIFY(
            csv.contains(QStringLiteral(",LILA-Supermercado,,,Carrera 52 con Ave. Bol\u00edvar #65-98 Llano Largo,")));
        if (inPlace) {
            const QStringList kept = jet::keptAccessFiles(diaryPath);
            QCOMPARE(kept.size(), 1);
            QCOMPARE(bytesOf(kept.first()), bytes);
            QVERIFY(r.out.contains(kept.first()));
        } else {
            QCOMPARE(bytesOf(source), bytes);
        }
    }

    void keptName()
    {
        const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7));
        QCOMPARE(jet::keptAccessName(QStringLiteral("/home/u/MEALWISE/Records.mdb"), when),
                 QStringLiteral("/home/u/MEALWISE/Records-access-2026-03-04-050607.mdb"));
    }

    void replace_keepsTheAccessFileAsItWas()
    {
        QTemporaryDir dir;
        const QString diaryPath = dir.filePath(QStringLiteral("Records.mdb"));
        QVERIFY(QFile::copy(jetfixtures::path("nwind.mdb"), diaryPath));
        ::chmod(QFile::encodeName(diaryPath).constData(), 0640);
        const QByteArray before = bytesOf(diaryPath);
        const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7));
        const jet::ReplaceResult r = jet::replaceAccessDiary(prepared(), diaryPath, when);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.keptPath, dir.filePath(QStringLiteral("Records-access-2026-03-04-050607.mdb")));
        QCOMPARE(bytesOf(r.keptPath), before);
        struct stat st
        {
        };
        QCOMPARE(::stat(QFile::encodeName(r.keptPath).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0640);
        const keeping::Verdict v = keeping::checkDiary(diaryPath, keeping::CheckDepth::Full);
        QVERIFY2(v.ok, qPrintable(v.text(diaryPath)));
        QCOMPARE(v.days, 1);
        QCOMPARE(jet::keptAccessFiles(diaryPath), QStringList{r.keptPath});
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void replace_refusedPlanChangesNothing()
    {
        QTemporaryDir dir;
        const QString diaryPath = dir.filePath(QStringLiteral("Records.mdb"));
        QVERIFY(QFile::copy(jetfixtures::path("fruit.mdb"), diaryPath));
        jet::PreparedConversion p = prepared();
        p.plan.refused << jet::RowRefusal{1, QStringLiteral("a refusal")};
        const jet::ReplaceResult r = jet::replaceAccessDiary(p, diaryPath, QDateTime::currentDateTime());
        QVERIFY(!r.ok());
        QCOMPARE(bytesOf(diaryPath), bytesOf(jetfixtures::path("fruit.mdb")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Records.mdb")});
    }
};

JET_FIXTURE_TEST_MAIN(TestConvertAccess)
#include "tst_convertaccess.moc"
