// The bin of deleted days as a user meets it: Delete in the records window
// asks nothing and puts the day in the bin; File > Deleted days lists the
// days of earlier runs and puts them back; a bin that cannot take a day stops
// the Delete; emptying it asks first.
#include "app/frmmain.h"
#include "app/keeping/choosers.h"
#include "app/keeping/frmbin.h"
#include "app/keeping/keepingwindows.h"
#include "data/daybin.h"
#include "entry/adodc.h"
#include "entry/frmrecords.h"
#include "keeping/backups.h"
#include "platform/flexgrid.h"
#include "platform/forms.h"
#include "testsupport.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

using testing_support::MessageLog;
using testing_support::TempDiary;
using testing_support::TempHome;

namespace {

struct Answers
{
    Answers()
    {
        app::Choosers c = app::choosers();
        c.askYesNo = [this](QWidget *, const QString &q) {
            questions << q;
            return yes;
        };
        m_previous = app::setChoosers(std::move(c));
    }
    ~Answers() { app::setChoosers(std::move(m_previous)); }
    bool yes = true;
    QStringList questions;

private:
    app::Choosers m_previous;
};

// Every stored value of a day with its type, as the file holds it.
QString storedDay(const TempDiary &d, qint64 id)
{
    QStringList parts;
    for (const QVariantList &c : d.rows(QStringLiteral("SELECT name FROM pragma_table_info('records')"))) {
        const QString col = QLatin1Char('[') + c.value(0).toString() + QLatin1Char(']');
        parts << d.scalar(QStringLiteral("SELECT typeof(%1) || ':' || hex(%1) FROM records WHERE ID = ?").arg(col),
                          {id})
                     .toString();
    }
    return parts.join(QLatin1Char('|'));
}

void click(QWidget *w, const char *name)
{
    QPushButton *b = w->findChild<QPushButton *>(QLatin1String(name));
    if (!b)
        QFAIL(name);
    QVERIFY2(b->isEnabled(), name);
    QTest::mouseClick(b, Qt::LeftButton);
}

template <typename T> T *newestWindow()
{
    const QList<QWidget *> windows = vb::Forms::list();
    for (qsizetype i = windows.size() - 1; i >= 0; --i) {
        if (auto *w = qobject_cast<T *>(windows.at(i)))
            return w;
    }
    return nullptr;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void fill(const TempDiary &d, int days)
{
    for (int i = 1; i <= days; ++i)
        QCOMPARE(d.insertDay({{QStringLiteral("DATE"), QStringLiteral("2026-03-%1").arg(i, 2, 10, QLatin1Char('0'))},
                              {QStringLiteral("OVERALL SCORE"), i},
                              {QStringLiteral("BREAKFAST"), QStringLiteral("toast %1").arg(i)},
                              {QStringLiteral("TEA"), QStringLiteral("fish %1").arg(i)}}),
                 qint64(i));
}

int gridDays(frmMain &w)
{
    return w.MSFlexGrid1->Rows() - w.MSFlexGrid1->FixedRows();
}

} // namespace

class tst_BinWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { flushDeletes(); }

    void threeDeletedInOneRun_listedNextRun_onePutBackWithItsId()
    {
        TempHome home;
        TempDiary d(true);
        fill(d, 6);
        QStringList before;
        for (qint64 id = 1; id <= 6; ++id)
            before << storedDay(d, id);
        MessageLog log;
        {
            // First run: three Deletes in one records window, no question asked.
            auto *main = new frmMain;
            main->setAttribute(Qt::WA_DeleteOnClose);
            main->load();
            main->show();
            main->mnuDatafrmrecords_Click();
            frmrecords *w = newestWindow<frmrecords>();
            QVERIFY(w);
            RowSet *rs = w->datPrimaryRS->Recordset();
            for (const int id : {2, 4, 5}) {
                QVERIFY(rs->setAbsolutePosition(rs->indexOf(QStringLiteral("ID"), qint64(id)) + 1));
                click(w, "cmdDelete");
            }
            QVERIFY2(log.messages.isEmpty(), qPrintable(log.messages.join(QLatin1Char('|'))));
            QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 3);
            main->close(); // quits: every window goes
            flushDeletes();
            QCOMPARE(vb::Forms::count(), 0);
        }
        // The next run: File > Deleted days lists them, newest deletion first.
        auto *main = new frmMain;
        main->setAttribute(Qt::WA_DeleteOnClose);
        main->load();
        main->show();
        QCOMPARE(gridDays(*main), 3);
        main->findChild<QAction *>(QStringLiteral("mnuFileDeletedDays"))->trigger();
        frmBin *bin = newestWindow<frmBin>();
        QVERIFY(bin);
        QStandardItemModel *m = bin->model();
        QCOMPARE(m->rowCount(), 3);
        QCOMPARE(m->item(0, 0)->text(), QStringLiteral("05/03/26"));
        QCOMPARE(m->item(0, 1)->text(), QStringLiteral("5"));
        QCOMPARE(m->item(0, 2)->text(), QStringLiteral("toast 5 / fish 5"));
        QCOMPARE(m->item(2, 0)->text(), QStringLiteral("02/03/26"));
        QVERIFY(QDateTime::fromString(m->item(0, 3)->text(), QStringLiteral("dd/MM/yy HH:mm:ss")).isValid());
        QVERIFY(!bin->cmdPutBack->isEnabled()); // nothing selected yet

        bin->lstDeleted->selectRow(1); // 04/03/26
        click(bin, "cmdPutBack");
        QVERIFY2(log.last().startsWith(QStringLiteral("1 day was put back.")), qPrintable(log.last()));
        QVERIFY2(!log.last().contains(QStringLiteral("new ID")), qPrintable(log.last()));
        QCOMPARE(storedDay(d, 4), before.at(3));
        QCOMPARE(m->rowCount(), 2);
        QCOMPARE(gridDays(*main), 4); // the ranking is read again
        main->close();
    }

    void putBack_idTaken_getsNewIdAndSaysSo()
    {
        TempDiary d;
        fill(d, 3);
        const QString kept = storedDay(d, 2);
        MessageLog log;
        frmrecords w(nullptr, d.path());
        RowSet *rs = w.datPrimaryRS->Recordset();
        QVERIFY(rs->setAbsolutePosition(2));
        click(&w, "cmdDelete");
        // Another program stores a day under the ID that came free.
        QVERIFY(d.exec(QStringLiteral("INSERT INTO records (ID, DATE) VALUES (2, '2026-04-01')")));
        frmBin bin(d.path());
        bin.lstDeleted->selectRow(0);
        click(&bin, "cmdPutBack");
        QVERIFY2(
            log.last().contains(QStringLiteral("The day 02/03/26 got the new ID 4, since another day has its ID 2.")),
            qPrintable(log.last()));
        QCOMPARE(d.scalar(QStringLiteral("SELECT DATE FROM records WHERE ID = 2")).toString(),
                 QStringLiteral("2026-04-01"));
        // All but the ID as it was.
        QCOMPARE(storedDay(d, 4).section(QLatin1Char('|'), 0, 7), kept.section(QLatin1Char('|'), 0, 7));
        QCOMPARE(storedDay(d, 4).section(QLatin1Char('|'), 9), kept.section(QLatin1Char('|'), 9));
    }

    void binCannotBeWritten_deleteStops_nothingDeleted_data()
    {
        QTest::addColumn<QString>("arrange");
        QTest::newRow("the name taken by a view") << QStringLiteral("CREATE VIEW [deleted days] AS SELECT 1 AS x");
        QTest::newRow("a table of another program under the name")
            << QStringLiteral("CREATE TABLE [deleted days] (what TEXT NOT NULL)");
        QTest::newRow("the bin refuses rows") << QStringLiteral(
            "CREATE TABLE [deleted days] ([BIN ID] INTEGER PRIMARY KEY, [DELETED WHEN] TEXT NOT NULL, "
            "[DELETED BY] TEXT NOT NULL CHECK (length([DELETED BY]) < 3))");
    }
    void binCannotBeWritten_deleteStops_nothingDeleted()
    {
        QFETCH(QString, arrange);
        TempDiary d;
        fill(d, 3);
        QVERIFY(d.exec(arrange));
        const QString day2 = storedDay(d, 2);
        MessageLog log;
        frmrecords w(nullptr, d.path());
        QVERIFY(w.datPrimaryRS->Recordset()->setAbsolutePosition(2));
        click(&w, "cmdDelete");
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(
            log.last().contains(QStringLiteral("was not deleted: the bin of deleted days in the diary could not be "
                                               "written")),
            qPrintable(log.last()));
        QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM records")).toInt(), 3);
        QCOMPARE(storedDay(d, 2), day2);
        QCOMPARE(w.datPrimaryRS->Caption(), QStringLiteral("Record: 2")); // still on the day
    }

    void importWindowReplace_noBackupPossible_writesNothing()
    {
        TempDiary d;
        fill(d, 2);
        QFile blocker(keeping::backupsFolder(d.path()));
        QVERIFY(blocker.open(QIODevice::WriteOnly) && blocker.write("a file, not a folder") > 0);
        blocker.close();
        auto hash = [&] {
            QFile f(d.path());
            return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                               : QByteArray();
        };
        const QByteArray before = hash();
        MessageLog log;
        frmImport window(d.path(), QStringLiteral("days.csv"), "DATE,BREAKFAST\r\n2026-03-01,eggs\r\n");
        window.cboDuplicates->setCurrentIndex(1); // replace
        click(&window, "cmdImport");
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.last().startsWith(QStringLiteral("The diary could not be backed up before its days or lists were "
                                                      "replaced: No backup was made: ")),
                 qPrintable(log.last()));
        QVERIFY(log.last().endsWith(QStringLiteral("Nothing was written.")));
        QCOMPARE(hash(), before);
    }

    void emptyTheBin_asksFirst_andLeavesNoTraceInTheFile_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("no keeps the bin") << false;
        QTest::newRow("yes empties it") << true;
    }
    void emptyTheBin_asksFirst_andLeavesNoTraceInTheFile()
    {
        QFETCH(bool, yes);
        TempDiary d;
        fill(d, 2);
        QVERIFY(d.exec(QStringLiteral("UPDATE records SET COMMENTS = 'unmistakable-secret-words' WHERE ID = 1")));
        MessageLog log;
        {
            frmrecords w(nullptr, d.path());
            click(&w, "cmdDelete");
        }
        Answers answers;
        answers.yes = yes;
        frmBin bin(d.path());
        QCOMPARE(bin.model()->rowCount(), 1);
        click(&bin, "cmdEmpty");
        QCOMPARE(answers.questions.size(), 1);
        QVERIFY2(answers.questions.first().startsWith(QStringLiteral("Remove the 1 day in the bin for good?")),
                 qPrintable(answers.questions.first()));
        QCOMPARE(bin.model()->rowCount(), yes ? 0 : 1);
        QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM [deleted days]")).toInt(), yes ? 0 : 1);
        QFile f(d.path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().contains("unmistakable-secret-words"), !yes);
        QVERIFY(log.messages.isEmpty());
    }
};

QTEST_MAIN(tst_BinWindow)
#include "tst_binwindow.moc"
