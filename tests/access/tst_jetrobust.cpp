// Damaged Access files: cut short or with bytes changed, each read through a
// file of its own under a time limit. Whatever libmdb makes of them, the
// reader comes back, in time, with either the tables or a message.
#include "access/jetreader.h"
#include "jetfixtures.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int kLimitMs = 4000;
}

class TestJetRobust : public QObject
{
    Q_OBJECT
private slots:
    void wholeFiles_readInFull_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *f : {"nwind.mdb", "DateTestDatabase.mdb", "fruit.mdb"})
            QTest::newRow(f) << QString::fromLatin1(f);
    }
    void wholeFiles_readInFull()
    {
        // Every table of every file reads, its row count as its definition says.
        QFETCH(QString, file);
        const QString p = jetfixtures::path(file.toLatin1().constData());
        const jet::FileContents list = jet::readAccessFile(p);
        QVERIFY2(list.ok(), qPrintable(list.error));
        jet::ReadOptions o;
        o.tables = list.tables;
        const jet::FileContents all = jet::readAccessFile(p, o);
        QVERIFY2(all.ok(), qPrintable(all.error));
        QCOMPARE(all.read.size(), list.tables.size());
    }

    void damagedFiles_endInTimeWithAnAnswer()
    {
        const int rounds = qEnvironmentVariableIsSet("MEALWISE_JET_ROUNDS")
                               ? qEnvironmentVariableIntValue("MEALWISE_JET_ROUNDS")
                               : 100;
        QRandomGenerator rng(20261209);
        QList<QByteArray> sources;
        QList<QStringList> tables;
        for (const char *f : {"nwind.mdb", "DateTestDatabase.mdb", "fruit.mdb"}) {
            QFile file(jetfixtures::path(f));
            QVERIFY(file.open(QIODevice::ReadOnly));
            sources << file.readAll();
            tables << jet::readAccessFile(jetfixtures::path(f)).tables;
        }
        QTemporaryDir dir;
        int failed = 0, read = 0;
        for (int round = 0; round < rounds; ++round) {
            const int which = int(rng.bounded(sources.size()));
            QByteArray bytes = sources[which];
            const int page = which == 0 ? 2048 : 4096;
            QString what;
            switch (rng.bounded(3)) {
            case 0: { // cut at a page
                const qsizetype pages = bytes.size() / page;
                bytes.truncate(page * qsizetype(1 + rng.bounded(int(pages - 1))));
                what = QStringLiteral("cut to %1 bytes").arg(bytes.size());
                break;
            }
            case 1: { // cut anywhere
                bytes.truncate(qsizetype(rng.bounded(int(bytes.size()))));
                what = QStringLiteral("cut to %1 bytes").arg(bytes.size());
                break;
            }
            default: { // bytes changed past the signature
                const int flips = 1 + int(rng.bounded(32));
                for (int i = 0; i < flips; ++i) {
                    const qsizetype at = 0x20 + qsizetype(rng.bounded(int(bytes.size() - 0x20)));
                    bytes[at] = char(rng.bounded(256));
                }
                what = QStringLiteral("%1 bytes changed").arg(flips);
            }
            }
            const QString p = dir.filePath(QStringLiteral("round-%1.mdb").arg(round));
            QFile out(p);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(bytes);
            out.close();
            jet::ReadOptions o;
            o.tables = tables[which];
            o.timeLimitMs = kLimitMs;
            QElapsedTimer clock;
            clock.start();
            const jet::FileContents c = jet::readAccessFile(p, o);
            const qint64 took = clock.elapsed();
            QVERIFY2(took < kLimitMs + 2000,
                     qPrintable(QStringLiteral("round %1 (%2) took %3 ms").arg(round).arg(what).arg(took)));
            if (c.ok()) {
                ++read;
                for (const jet::Table &t : c.read) {
                    for (const QVariantList &row : t.rows)
                        QCOMPARE(row.size(), t.columns.size());
                }
            } else {
                ++failed;
                QVERIFY2(c.error.startsWith(p), qPrintable(c.error));
                QVERIFY(c.read.isEmpty());
            }
            QFile::remove(p);
        }
        qInfo("%d rounds: %d read, %d refused with a message", rounds, read, failed);
        QCOMPARE(read + failed, rounds);
    }
};

JET_FIXTURE_TEST_MAIN(TestJetRobust)
#include "tst_jetrobust.moc"
